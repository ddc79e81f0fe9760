#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>

#include "FoundationTestSupport.h"
#include "common/Folders.h"
#include "foundation/ModulePaths.h"
#include "foundation/ModuleState.h"

using namespace Korvanta;

namespace {

// A folder of its own below the user's application-data folder, removed afterwards.
class FoundationFolders : public ::testing::Test {
protected:
    void SetUp() override
    {
        initModule("Velmorant", GetModuleHandleA(nullptr), DLL_PROCESS_ATTACH);
        base = systemFolder(UserAppData).c_str();
        ASSERT_FALSE(base.empty());
        unique = FoundationTest::uniqueName("velmorant-folders");
        ASSERT_EQ(base + unique + "/", createFolderPath(UserAppData, unique.c_str()).c_str());
        ASSERT_TRUE(FoundationTest::createFile(base + unique + "/blocker"));
    }
    void TearDown() override
    {
        common::deleteFolder(base + unique + "/");
        initModule("Velmorant", GetModuleHandleA(nullptr), DLL_PROCESS_ATTACH);
    }

    std::string base;
    std::string unique;
};

}  // namespace

TEST(FoundationPaths, SplitsReportTheSizeNeededAndCopyIntoExactBuffers)
{
    char buffer[8];
    EXPECT_EQ(-1, splitFolder(nullptr, buffer, 8));
    EXPECT_EQ(-1, splitFileName(nullptr, buffer, 8));

    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(5, splitFolder("dir/file", nullptr, 0));
    EXPECT_EQ(5, splitFolder("dir/file", buffer, 4));
    EXPECT_EQ(5, splitFolder("dir/file", buffer, -1));
    EXPECT_EQ('x', buffer[0]) << "a short buffer is left alone";
    EXPECT_EQ(0, splitFolder("dir/file", buffer, 5));
    EXPECT_STREQ("dir/", buffer);
    EXPECT_EQ(0, splitFileName("dir/file", buffer, 5));
    EXPECT_STREQ("file", buffer);

    EXPECT_EQ(5, splitFileName("file", nullptr, 0));
    EXPECT_EQ(1, splitFolder("file", nullptr, 0));
    EXPECT_EQ(0, splitFolder("file", buffer, 1));
    EXPECT_STREQ("", buffer);
    EXPECT_EQ(1, splitFileName("a/b/", nullptr, 0));
}

TEST(FoundationPaths, SlashConversionsKeepTheNetworkPrefixAndLeaveOtherSharersAlone)
{
    char network[] = "\\\\server\\share\\dir";
    toForwardSlashes(network);
    EXPECT_STREQ("\\\\server/share/dir", network);
    char rooted[] = "\\single\\x";
    toForwardSlashes(rooted);
    EXPECT_STREQ("/single/x", rooted);
    char mixed[] = "a/b\\c/";
    EXPECT_EQ(mixed + 6, toBackslashes(mixed));
    EXPECT_STREQ("a\\b\\c\\", mixed);
    EXPECT_EQ(nullptr, toBackslashes(static_cast<char*>(nullptr)));

    SharedString original("C:\\x\\y");
    SharedString copy(original);
    toForwardSlashes(copy);
    EXPECT_STREQ("C:/x/y", copy);
    EXPECT_STREQ("C:\\x\\y", original);
    EXPECT_EQ(1, copy.data()->refCount) << "unlocked after the in-place edit";
}

TEST_F(FoundationFolders, SystemFoldersAreExistingDirectoriesInSlashFormEndingInOneSlash)
{
    std::string moduleForm = common::executableFolder();
    for (char& c : moduleForm)
        c = c == '\\' ? '/' : c;
    EXPECT_EQ(moduleForm, systemFolder(ModuleFolder).c_str());
    for (FolderKind kind : {UserAppData, LocalAppData, CommonAppData}) {
        std::string folder = systemFolder(kind).c_str();
        ASSERT_GE(folder.size(), 4u) << kind;
        EXPECT_EQ(std::string::npos, folder.find('\\')) << folder;
        EXPECT_EQ("/", folder.substr(folder.size() - 1)) << folder;
        EXPECT_NE("//", folder.substr(folder.size() - 2)) << folder;
        EXPECT_TRUE(FoundationTest::isDirectory(folder)) << folder;
    }
    EXPECT_STREQ("", systemFolder(FolderKind(4)));
    EXPECT_STREQ("", systemFolder(FolderKind(-1)));
}

TEST_F(FoundationFolders, FolderPathSkipsEmptyComponentsAndCreateFolderPathCreatesEachLevel)
{
    std::string relative = "/" + unique + "//a/b/";
    std::string expected = base + unique + "/a/b/";
    EXPECT_EQ(expected, folderPath(UserAppData, relative.c_str()).c_str());
    EXPECT_FALSE(FoundationTest::isDirectory(base + unique + "/a"));
    EXPECT_EQ(base, folderPath(UserAppData, nullptr).c_str());
    EXPECT_STREQ("", folderPath(FolderKind(7), "a/b"));

    EXPECT_EQ(expected, createFolderPath(UserAppData, relative.c_str()).c_str());
    EXPECT_TRUE(FoundationTest::isDirectory(expected));
    EXPECT_EQ(expected, createFolderPath(UserAppData, relative.c_str()).c_str()) << "existing levels pass";
}

TEST_F(FoundationFolders, CreateFolderPathFallsBackToTheModuleFolderWhereAFileStandsInTheWay)
{
    // The module folder keeps its "\" form; the failed component is dropped.
    std::string folder = common::executableFolder();
    EXPECT_EQ(folder + "/", createFolderPath(UserAppData, (unique + "/blocker").c_str()).c_str());

    std::string inner = FoundationTest::uniqueName("velmorant-fallback");
    EXPECT_EQ(folder + "/" + inner + "/",
              createFolderPath(UserAppData, (unique + "/blocker/" + inner).c_str()).c_str());
    EXPECT_TRUE(FoundationTest::isDirectory(folder + inner));
    RemoveDirectoryA((folder + inner).c_str());
}

TEST_F(FoundationFolders, CreateFolderPathWithoutAModuleFolderCreatesNothingAtTheDriveRoot)
{
    initModule("Velmorant", reinterpret_cast<HMODULE>(0x10), DLL_PROCESS_ATTACH);
    EXPECT_STREQ("", systemFolder(ModuleFolder));
    std::string stray = FoundationTest::uniqueName("velmorant-stray");
    EXPECT_STREQ("", createFolderPath(UserAppData, (unique + "/blocker/" + stray).c_str()));
    EXPECT_FALSE(FoundationTest::isDirectory("/" + stray));
    RemoveDirectoryA(("/" + stray).c_str());
}
