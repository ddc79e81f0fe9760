#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "../support/Emulation.h"
#include "common/Folders.h"
#include "common/PluginStage.h"

namespace {

bool exists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

[[maybe_unused]] std::vector<std::string> namesIn(const std::string& folder)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do {
        const std::string name = found.cFileName;
        if (name != "." && name != "..")
            names.push_back(name);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return names;
}

TEST(PluginStage, StagesThePlugInAndItsEngineUnderOneNameAndRemovesThemAfterwards)
{
    std::string folder;
    {
        common::PluginStage stage("VelCommon", "Staged");
        ASSERT_TRUE(stage.created());
        folder = stage.folder();
        EXPECT_EQ(
            folder.rfind(common::temporaryFolder() + "VelCommon" + std::to_string(GetCurrentProcessId()) + "_", 0), 0u)
            << folder;
        EXPECT_EQ(folder.back(), '\\');
        const std::string bin = common::executableFolder();
        ASSERT_TRUE(stage.stagePlugin(bin + "Velmorant.dll"));
        ASSERT_TRUE(stage.stageEngine(bin + "VelmorantEngine.dll"));
        ASSERT_TRUE(stage.stageRuntime(bin));
        EXPECT_EQ(stage.path(), folder + "Staged.dll");
        EXPECT_EQ(stage.enginePath(), folder + "StagedEngine.dll");
        EXPECT_TRUE(exists(stage.enginePath()));
#if !defined(_WIN64)
        EXPECT_TRUE(exists(folder + common::runtimeFolderName + "\\libstdc++-6.dll"));
#endif
        EXPECT_FALSE(stage.stage(bin + "NoSuchFile.dll", "x.dll"));

        ASSERT_TRUE(stage.load());
        EXPECT_NE(GetProcAddress(static_cast<HMODULE>(stage.module()), "VSTPluginMain"), nullptr);
        stage.unload();
        EXPECT_EQ(stage.module(), nullptr);
        EXPECT_TRUE(stage.load());
    }
    EXPECT_FALSE(exists(folder + "Staged.dll"));
    EXPECT_FALSE(exists(folder + "StagedEngine.dll"));
#if defined(_WIN64)
    EXPECT_FALSE(exists(folder));
#else
    // GCC's shared libgcc pins itself: the runtime folder alone may stay until
    // the process ends.
    if (exists(folder)) {
        EXPECT_EQ(namesIn(folder), std::vector<std::string>{common::runtimeFolderName});
    }
#endif
}

TEST(PluginStage, TwoStagesOfOneProcessGetFoldersOfTheirOwn)
{
    common::PluginStage first("VelCommon", "Same");
    common::PluginStage second("VelCommon", "Same");
    ASSERT_TRUE(first.created());
    ASSERT_TRUE(second.created());
    EXPECT_NE(first.folder(), second.folder());
}

// The stages of a process that has ended go; this process's own stay.
TEST(PluginStage, SweepingDeletesOnlyTheStagesOfEndedProcesses)
{
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION child = {};
    // Any process that ends will do. Where 32-bit programs are emulated, a
    // 32-bit one costs a minute to start: there the 64-bit cmd, through the
    // folder that shows a 32-bit process the 64-bit system folder.
    std::string line = "cmd.exe /c exit";
    if (sizeof(void*) == 4 && velmorant_test::emulated()) {
        char windows[MAX_PATH];
        ASSERT_NE(GetWindowsDirectoryA(windows, MAX_PATH), 0u);
        line = std::string(windows) + "\\sysnative\\" + line;
    }
    std::vector<char> command(line.begin(), line.end());
    command.push_back('\0');
    ASSERT_TRUE(CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr,
                               &startup, &child));
    WaitForSingleObject(child.hProcess, 30000);
    const std::string ended = std::to_string(child.dwProcessId);
    CloseHandle(child.hThread);
    CloseHandle(child.hProcess);

    const std::string temp = common::temporaryFolder();
    const std::string left = temp + "VelSweep" + ended + "_1_1";
    ASSERT_TRUE(CreateDirectoryA(left.c_str(), nullptr));
    CreateDirectoryA((left + "\\inner").c_str(), nullptr);
    common::PluginStage own("VelSweep", "Own");
    ASSERT_TRUE(own.created());

    common::PluginStage::sweepLeftovers("VelSweep");
    EXPECT_FALSE(exists(left));
    EXPECT_TRUE(exists(own.folder()));
    common::deleteFolder(left);
}

}  // namespace
