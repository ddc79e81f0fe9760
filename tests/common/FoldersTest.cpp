#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "common/Files.h"
#include "common/Folders.h"

namespace {

bool exists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string scratch(const char* what)
{
    static int serial = 0;
    return common::temporaryFolder() + "velmorant-folders-" + what + "-" + std::to_string(GetCurrentProcessId()) + "-" +
           std::to_string(++serial);
}

TEST(Folders, TheExecutableFolderHoldsThisProgram)
{
    const std::string folder = common::executableFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), '\\');
    EXPECT_TRUE(exists(folder + "common_tests.exe"));
    EXPECT_EQ(common::besideExecutable("x.dll"), folder + "x.dll");
    EXPECT_EQ(common::besideExecutable("C:\\y\\x.dll"), "C:\\y\\x.dll");
    EXPECT_EQ(common::besideExecutable("\\\\host\\share\\x.dll"), "\\\\host\\share\\x.dll");
    const std::string temp = common::temporaryFolder();
    ASSERT_FALSE(temp.empty());
    EXPECT_EQ(temp.back(), '\\');
}

TEST(Folders, CopyTakesEverythingBelowAndDeleteRemovesIt)
{
    const std::string from = scratch("from");
    const std::string to = scratch("to");
    ASSERT_TRUE(CreateDirectoryA(from.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA((from + "\\inner").c_str(), nullptr));
    ASSERT_TRUE(common::writeFile(from + "\\top.txt", {'t'}));
    ASSERT_TRUE(common::writeFile(from + "\\inner\\deep.txt", {'d', 0, 'p'}));

    EXPECT_TRUE(common::copyFolder(from, to));
    std::vector<uint8_t> read;
    ASSERT_TRUE(common::readFile(to + "\\inner\\deep.txt", read));
    EXPECT_EQ(read, (std::vector<uint8_t>{'d', 0, 'p'}));
    ASSERT_TRUE(common::readFile(to + "\\top.txt", read));
    EXPECT_EQ(read, (std::vector<uint8_t>{'t'}));
    // Into a folder that is there already, named with a trailing backslash.
    EXPECT_TRUE(common::copyFolder(from + "\\", to + "\\"));

    common::deleteFolder(from);
    common::deleteFolder(to + "\\");
    EXPECT_FALSE(exists(from));
    EXPECT_FALSE(exists(to));
}

TEST(Folders, CopyingAFolderThatIsNotThereFails)
{
    const std::string to = scratch("nothing");
    EXPECT_FALSE(common::copyFolder(scratch("missing"), to));
    common::deleteFolder(to);
    EXPECT_FALSE(exists(to));
}

}  // namespace
