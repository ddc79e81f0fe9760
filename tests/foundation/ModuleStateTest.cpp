#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "FoundationTestSupport.h"
#include "common/Folders.h"
#include "foundation/ModuleState.h"

using namespace Korvanta;

namespace {

typedef int32_t (*ProbeText)(int32_t which, char* buffer, int32_t size);

std::string probe(ProbeText probeText, int32_t which)
{
    char buffer[MAX_PATH * 2] = {};
    EXPECT_EQ(0, probeText(which, buffer, sizeof buffer));
    return buffer;
}

}  // namespace

TEST(FoundationModule, InitModuleRecordsTheExecutablesPathAndIgnoresOtherReasons)
{
    HMODULE exe = GetModuleHandleA(nullptr);
    initModule("Kept", exe, DLL_PROCESS_ATTACH, "Level");
    for (DWORD reason : {DWORD(DLL_PROCESS_DETACH), DWORD(DLL_THREAD_ATTACH), DWORD(DLL_THREAD_DETACH)}) {
        initModule("Other", reinterpret_cast<HMODULE>(0x10), reason, "Else");
    }
    std::string path = FoundationTest::executablePath();
    std::string folder = common::executableFolder();
    EXPECT_EQ(exe, moduleHandle());
    EXPECT_EQ(path, modulePath().c_str());
    EXPECT_EQ(folder, moduleFolder().c_str());
    EXPECT_EQ(path.substr(folder.size()), moduleFileName().c_str());
    EXPECT_EQ(folder, getAppFolder().c_str());
    EXPECT_STREQ("Software\\Korvanta\\Kept\\Level", registryRoot());
    EXPECT_STREQ("Korvanta/Kept/Level/", appRelativePath());
}

TEST(FoundationModule, EmptyNamesAddNoLevelAndAnUnknownModuleHasNoPaths)
{
    initModule("App", GetModuleHandleA(nullptr), DLL_PROCESS_ATTACH, "");
    EXPECT_STREQ("Software\\Korvanta\\App", registryRoot());
    EXPECT_STREQ("Korvanta/App/", appRelativePath());
    initModule(nullptr, reinterpret_cast<HMODULE>(0x10), DLL_PROCESS_ATTACH, "Orphan");
    EXPECT_STREQ("Korvanta/", appRelativePath());
    EXPECT_STREQ("", modulePath());
    EXPECT_STREQ("", moduleFolder());
    EXPECT_STREQ("", moduleFileName());
    EXPECT_STREQ("", getAppFolder());
    initModule("Velmorant", GetModuleHandleA(nullptr), DLL_PROCESS_ATTACH);
}

// The probe carries the plug-in's own entry point. Staged below a folder whose
// name has spaces, it must report that copy's location.
TEST(FoundationModule, EntryPointOfAStagedCopyRecordsItsOwnFolderAndTheVelmorantNames)
{
    char temp[MAX_PATH + 1] = {};
    ASSERT_NE(0u, GetTempPathA(MAX_PATH, temp));
    std::string root = std::string(temp) + FoundationTest::uniqueName("velmorant-foundation") + "\\";
    std::string staged = root + "with spaces\\";
    ASSERT_TRUE(CreateDirectoryA(root.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA(staged.c_str(), nullptr));

    std::string bin = common::executableFolder();
    bool copied = CopyFileA((bin + "FoundationProbe.dll").c_str(), (staged + "FoundationProbe.dll").c_str(), FALSE);
    // i686 binaries find the shared runtime through the private assembly beside them.
    if (copied && FoundationTest::isDirectory(bin + "Velmorant.Runtime")) {
        copied = common::copyFolder(bin + "Velmorant.Runtime\\", staged + "Velmorant.Runtime\\");
    }
    HMODULE library = copied ? LoadLibraryA((staged + "FoundationProbe.dll").c_str()) : nullptr;
    DWORD loadError = library ? 0 : GetLastError();
    auto probeText =
        library ? reinterpret_cast<ProbeText>(reinterpret_cast<void*>(GetProcAddress(library, "probeText"))) : nullptr;
    if (probeText) {
        EXPECT_EQ(0, _stricmp(staged.c_str(), probe(probeText, 0).c_str())) << probe(probeText, 0);
        EXPECT_EQ("FoundationProbe.dll", probe(probeText, 1));
        EXPECT_EQ(0, _stricmp(staged.c_str(), probe(probeText, 2).c_str())) << probe(probeText, 2);
        EXPECT_EQ("Software\\Korvanta\\Velmorant", probe(probeText, 3));
        EXPECT_EQ("Korvanta/Velmorant/", probe(probeText, 4));
    }
    if (library)
        FreeLibrary(library);
    common::deleteFolder(root);

    EXPECT_TRUE(copied);
    EXPECT_NE(nullptr, library) << "LoadLibrary error " << loadError;
    EXPECT_NE(nullptr, probeText);
}
