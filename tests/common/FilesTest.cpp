#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "common/Files.h"
#include "common/Folders.h"

namespace {

class Files : public testing::Test {
protected:
    void SetUp() override
    {
        folder = common::temporaryFolder() + "velmorant-files-" + std::to_string(GetCurrentProcessId()) + "\\";
        ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    }
    void TearDown() override { common::deleteFolder(folder); }

    std::string folder;
};

TEST_F(Files, WhatIsWrittenReadsBackByteForByte)
{
    std::vector<uint8_t> bytes;
    for (int i = 0; i < 70000; ++i)
        bytes.push_back(static_cast<uint8_t>(i * 7));
    ASSERT_TRUE(common::writeFile(folder + "a.bin", bytes));
    std::vector<uint8_t> read = {1, 2, 3};
    ASSERT_TRUE(common::readFile(folder + "a.bin", read));
    EXPECT_EQ(read, bytes);

    // A shorter write replaces the whole file; an empty one leaves it empty.
    ASSERT_TRUE(common::writeFile(folder + "a.bin", {0, 10, 13, 26}));
    ASSERT_TRUE(common::readFile(folder + "a.bin", read));
    EXPECT_EQ(read, (std::vector<uint8_t>{0, 10, 13, 26}));
    ASSERT_TRUE(common::writeFile(folder + "a.bin", {}));
    ASSERT_TRUE(common::readFile(folder + "a.bin", read));
    EXPECT_TRUE(read.empty());
}

TEST_F(Files, MissingFilesAndFoldersAreRefused)
{
    std::vector<uint8_t> read;
    EXPECT_FALSE(common::readFile(folder + "missing.bin", read));
    EXPECT_FALSE(common::readFile(folder, read));
    EXPECT_FALSE(common::writeFile(folder + "no-such-folder\\a.bin", {1}));
}

// A file one byte over the limit is refused without being read (a sparse
// file: the size costs no disk).
TEST_F(Files, AFileLargerThanTheLimitIsRefused)
{
    const std::string path = folder + "large.bin";
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    LARGE_INTEGER size;
    size.QuadPart = static_cast<LONGLONG>(common::maxFileBytes + 1);
    const bool sized = SetFilePointerEx(file, size, nullptr, FILE_BEGIN) && SetEndOfFile(file);
    CloseHandle(file);
    ASSERT_TRUE(sized);
    std::vector<uint8_t> read = {7};
    EXPECT_FALSE(common::readFile(path, read));
}

}  // namespace
