#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>

#include "FoundationTestSupport.h"
#include "foundation/ModulePaths.h"
#include "foundation/ModuleState.h"

using namespace Korvanta;

namespace {

std::string text(const SharedString& s) {
    return std::string(s.c_str());
}

std::string forward(std::string path) {
    for (char& c : path) {
        if (c == '\\') c = '/';
    }
    return path;
}

// A folder of its own below the user's application-data folder, removed afterwards.
class FoundationFolders : public ::testing::Test {
protected:
    void SetUp() override {
        initModule("Velmorant", GetModuleHandleA(nullptr), DLL_PROCESS_ATTACH);
        base = text(systemFolder(UserAppData));
        ASSERT_FALSE(base.empty());
        unique = FoundationTest::uniqueName("velmorant-folders");
    }
    void TearDown() override {
        FoundationTest::removeFolderTree(base + unique + "/");
        initModule("Velmorant", GetModuleHandleA(nullptr), DLL_PROCESS_ATTACH);
    }

    std::string base;
    std::string unique;
};

}  // namespace

TEST(FoundationPaths, SplitsReportTheSizeNeededAndCopyIntoExactBuffers) {
    char buffer[8];
    EXPECT_EQ(-1, splitFolder(nullptr, buffer, 8));
    EXPECT_EQ(-1, splitFileName(nullptr, buffer, 8));

    EXPECT_EQ(5, splitFolder("dir/file", nullptr, 0));
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(5, splitFolder("dir/file", buffer, 4));
    EXPECT_EQ('x', buffer[0]) << "a short buffer is left alone";
    EXPECT_EQ(5, splitFolder("dir/file", buffer, -1));
    EXPECT_EQ(0, splitFolder("dir/file", buffer, 5));
    EXPECT_STREQ("dir/", buffer);

    EXPECT_EQ(5, splitFileName("dir/file", nullptr, 100));
    EXPECT_EQ(0, splitFileName("dir/file", buffer, 5));
    EXPECT_STREQ("file", buffer);

    EXPECT_EQ(5, splitFileName("file", nullptr, 0));
    EXPECT_EQ(0, splitFileName("file", buffer, 5));
    EXPECT_STREQ("file", buffer);
    EXPECT_EQ(1, splitFolder("file", nullptr, 0));
    EXPECT_EQ(0, splitFolder("file", buffer, 1));
    EXPECT_STREQ("", buffer);
    EXPECT_EQ(1, splitFileName("a/b/", nullptr, 0));
    EXPECT_EQ(0, splitFolder("a/b/", buffer, 5));
    EXPECT_STREQ("a/b/", buffer);
}

TEST(FoundationPaths, SlashConversionsKeepTheNetworkPrefixAndLeaveOtherSharersAlone) {
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
    toForwardSlashes(static_cast<char*>(nullptr));

    SharedString original("C:\\x\\y");
    SharedString copy(original);
    toForwardSlashes(copy);
    EXPECT_EQ("C:/x/y", text(copy));
    EXPECT_EQ("C:\\x\\y", text(original));
    toBackslashes(copy);
    EXPECT_EQ("C:\\x\\y", text(copy));
    EXPECT_EQ(1, copy.data()->refCount) << "unlocked after the in-place edit";
}

TEST_F(FoundationFolders, SystemFoldersAreExistingDirectoriesInSlashFormEndingInOneSlash) {
    EXPECT_EQ(forward(FoundationTest::executableFolder()), text(systemFolder(ModuleFolder)));
    for (FolderKind kind : {UserAppData, LocalAppData, CommonAppData}) {
        std::string folder = text(systemFolder(kind));
        ASSERT_GE(folder.size(), 4u) << kind;
        EXPECT_EQ(std::string::npos, folder.find('\\')) << folder;
        EXPECT_EQ('/', folder.back()) << folder;
        EXPECT_NE('/', folder[folder.size() - 2]) << folder;
        EXPECT_TRUE(FoundationTest::isDirectory(folder)) << folder;
    }
    EXPECT_EQ("", text(systemFolder(FolderKind(4))));
    EXPECT_EQ("", text(systemFolder(FolderKind(-1))));
}

TEST_F(FoundationFolders, FolderPathSkipsEmptyComponentsAndCreatesNothing) {
    std::string relative = "/" + unique + "//b/";
    EXPECT_EQ(base + unique + "/b/", text(folderPath(UserAppData, relative.c_str())));
    EXPECT_FALSE(FoundationTest::exists(base + unique));
    EXPECT_EQ(base, text(folderPath(UserAppData, nullptr)));
    EXPECT_EQ("", text(folderPath(FolderKind(7), "a/b")));
    EXPECT_EQ("", text(createFolderPath(FolderKind(7), "a/b")));
}

TEST_F(FoundationFolders, CreateFolderPathCreatesEachLevelAndPassesThroughExistingOnes) {
    std::string relative = unique + "/a/b";
    std::string expected = base + unique + "/a/b/";
    EXPECT_EQ(expected, text(createFolderPath(UserAppData, relative.c_str())));
    EXPECT_TRUE(FoundationTest::isDirectory(expected));
    EXPECT_EQ(expected, text(createFolderPath(UserAppData, relative.c_str())));
}

TEST_F(FoundationFolders, CreateFolderPathFallsBackToTheModuleFolderWhereAFileStandsInTheWay) {
    ASSERT_EQ(base + unique + "/", text(createFolderPath(UserAppData, unique.c_str())));
    std::string blocker = base + unique + "/blocker";
    HANDLE file = CreateFileA(blocker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    CloseHandle(file);

    // The module folder keeps its "\" form; the failed component is dropped.
    std::string folder = FoundationTest::executableFolder();
    EXPECT_EQ(folder + "/", text(createFolderPath(UserAppData, (unique + "/blocker").c_str())));

    std::string inner = FoundationTest::uniqueName("velmorant-fallback");
    EXPECT_EQ(folder + "/" + inner + "/",
              text(createFolderPath(UserAppData, (unique + "/blocker/" + inner).c_str())));
    EXPECT_TRUE(FoundationTest::isDirectory(folder + inner));
    RemoveDirectoryA((folder + inner).c_str());
    EXPECT_FALSE(FoundationTest::isDirectory(blocker));
}

TEST_F(FoundationFolders, CreateFolderPathWithoutAModuleFolderCreatesNothingAtTheDriveRoot) {
    ASSERT_EQ(base + unique + "/", text(createFolderPath(UserAppData, unique.c_str())));
    HANDLE file = CreateFileA((base + unique + "/blocker").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    CloseHandle(file);

    initModule("Velmorant", reinterpret_cast<HMODULE>(0x10), DLL_PROCESS_ATTACH);
    EXPECT_EQ("", text(systemFolder(ModuleFolder)));
    std::string stray = FoundationTest::uniqueName("velmorant-stray");
    EXPECT_EQ("", text(createFolderPath(UserAppData, (unique + "/blocker/" + stray).c_str())));
    EXPECT_FALSE(FoundationTest::exists("/" + stray));
    RemoveDirectoryA(("/" + stray).c_str());
}
