#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "FoundationTestSupport.h"
#include "foundation/ModuleState.h"

using namespace Korvanta;

namespace {

std::string text(const SharedString& s) {
    return std::string(s.c_str());
}

typedef int32_t (*ProbeText)(int32_t which, char* buffer, int32_t size);

std::string probe(ProbeText probeText, int32_t which) {
    int32_t needed = probeText(which, nullptr, 0);
    std::vector<char> buffer(size_t(needed > 0 ? needed : 1));
    EXPECT_EQ(0, probeText(which, buffer.data(), needed));
    return std::string(buffer.data());
}

}  // namespace

TEST(FoundationModule, InitModuleRecordsTheExecutablesPathAndTheApplicationNames) {
    HMODULE exe = GetModuleHandleA(nullptr);
    initModule("VelmorantProbeApp", exe, DLL_PROCESS_ATTACH);

    char path[MAX_PATH + 1] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder = FoundationTest::executableFolder();
    EXPECT_EQ(exe, moduleHandle());
    EXPECT_EQ(std::string(path), text(modulePath()));
    EXPECT_EQ(folder, text(moduleFolder()));
    EXPECT_EQ(std::string(path).substr(folder.size()), text(moduleFileName()));
    EXPECT_EQ(folder, text(getAppFolder()));
    EXPECT_EQ("Software\\Korvanta\\VelmorantProbeApp", text(registryRoot()));
    EXPECT_EQ("Korvanta/VelmorantProbeApp/", text(appRelativePath()));
}

TEST(FoundationModule, InitModuleIgnoresEveryReasonButProcessAttach) {
    HMODULE exe = GetModuleHandleA(nullptr);
    initModule("Kept", exe, DLL_PROCESS_ATTACH, "Level");
    for (DWORD reason : {DWORD(DLL_PROCESS_DETACH), DWORD(DLL_THREAD_ATTACH), DWORD(DLL_THREAD_DETACH)}) {
        initModule("Other", reinterpret_cast<HMODULE>(0x10), reason, "Else");
    }
    EXPECT_EQ(exe, moduleHandle());
    EXPECT_EQ("Software\\Korvanta\\Kept\\Level", text(registryRoot()));
    EXPECT_EQ("Korvanta/Kept/Level/", text(appRelativePath()));
    EXPECT_EQ(FoundationTest::executableFolder(), text(getAppFolder()));
}

TEST(FoundationModule, EmptyOrNullNamesAddNoLevelAndNoStraySeparator) {
    HMODULE exe = GetModuleHandleA(nullptr);
    initModule("App", exe, DLL_PROCESS_ATTACH, "");
    EXPECT_EQ("Software\\Korvanta\\App", text(registryRoot()));
    EXPECT_EQ("Korvanta/App/", text(appRelativePath()));

    initModule(nullptr, exe, DLL_PROCESS_ATTACH, "Orphan");
    EXPECT_EQ("Korvanta/", text(appRelativePath()));
}

TEST(FoundationModule, UnknownModuleHandleGivesEmptyPaths) {
    initModule("App", reinterpret_cast<HMODULE>(0x10), DLL_PROCESS_ATTACH);
    EXPECT_EQ("", text(modulePath()));
    EXPECT_EQ("", text(moduleFolder()));
    EXPECT_EQ("", text(moduleFileName()));
    EXPECT_EQ("", text(getAppFolder()));
    initModule("App", GetModuleHandleA(nullptr), DLL_PROCESS_ATTACH);
}

// The probe carries the plug-in's entry point; staged below a folder whose name
// has spaces, it must report that copy's own location.
TEST(FoundationModule, EntryPointOfAStagedCopyRecordsItsOwnFolderAndVelmorantNames) {
    char temp[MAX_PATH + 1] = {};
    ASSERT_NE(0u, GetTempPathA(MAX_PATH, temp));
    std::string root = std::string(temp) + FoundationTest::uniqueName("velmorant-foundation") + "\\";
    std::string staged = root + "with spaces\\";
    ASSERT_TRUE(CreateDirectoryA(root.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA(staged.c_str(), nullptr));

    std::string bin = FoundationTest::executableFolder();
    bool copied = CopyFileA((bin + "FoundationProbe.dll").c_str(), (staged + "FoundationProbe.dll").c_str(), FALSE);
    // i686 binaries find the shared runtime through the private assembly beside them.
    if (copied && FoundationTest::isDirectory(bin + "Velmorant.Runtime")) {
        copied = FoundationTest::copyFolderFiles(bin + "Velmorant.Runtime\\", staged + "Velmorant.Runtime\\");
    }
    HMODULE library = copied ? LoadLibraryA((staged + "FoundationProbe.dll").c_str()) : nullptr;
    DWORD loadError = library ? 0 : GetLastError();
    ProbeText probeText =
        library ? reinterpret_cast<ProbeText>(reinterpret_cast<void*>(GetProcAddress(library, "probeText"))) : nullptr;
    if (probeText) {
        EXPECT_EQ(0, _stricmp(staged.c_str(), probe(probeText, 0).c_str())) << probe(probeText, 0);
        EXPECT_EQ("FoundationProbe.dll", probe(probeText, 1));
        EXPECT_EQ(0, _stricmp(staged.c_str(), probe(probeText, 2).c_str())) << probe(probeText, 2);
        EXPECT_EQ("Software\\Korvanta\\Velmorant", probe(probeText, 3));
        EXPECT_EQ("Korvanta/Velmorant/", probe(probeText, 4));
    }
    if (library) FreeLibrary(library);
    FoundationTest::removeFolderTree(root);

    EXPECT_TRUE(copied);
    EXPECT_NE(nullptr, library) << "LoadLibrary error " << loadError;
    EXPECT_NE(nullptr, probeText);
    EXPECT_FALSE(FoundationTest::exists(root));
}
