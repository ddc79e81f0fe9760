#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "foundation/RegistryStream.h"

using namespace Korvanta;

namespace {

// A key below HKEY_CURRENT_USER\Software of this run alone, deleted afterwards.
class StreamRegistry : public ::testing::Test {
protected:
    void SetUp() override
    {
        keyPath = "VelmorantStreamTest-" + std::to_string(GetCurrentProcessId()) + "-" +
                  std::to_string(GetTickCount()) + "-" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name();
    }

    void TearDown() override { RegDeleteKeyA(HKEY_CURRENT_USER, ("Software\\" + keyPath).c_str()); }

    HKEY openKey()
    {
        HKEY key = nullptr;
        RegCreateKeyExA(HKEY_CURRENT_USER, ("Software\\" + keyPath).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &key, nullptr);
        return key;
    }

    void store(DWORD type, const std::string& bytes)
    {
        HKEY key = openKey();
        ASSERT_NE(key, nullptr);
        ASSERT_EQ(RegSetValueExA(key, "State", 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                                 static_cast<DWORD>(bytes.size())),
                  ERROR_SUCCESS);
        RegCloseKey(key);
    }

    // The stored value's type and bytes; type 0 and "missing" when there is none.
    std::pair<DWORD, std::string> stored()
    {
        HKEY key = openKey();
        EXPECT_NE(key, nullptr);
        char data[256] = {};
        DWORD type = 0;
        DWORD size = sizeof data;
        const LONG status = RegQueryValueExA(key, "State", nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
        RegCloseKey(key);
        if (status != ERROR_SUCCESS) {
            return {0, "missing"};
        }
        return {type, std::string(data, size)};
    }

    std::string keyPath;
};

}  // namespace

TEST_F(StreamRegistry, MissingValueStartsEmptyAndIsStoredAsExactlyTheBytesWritten)
{
    {
        RegistryStream stream(keyPath.c_str(), "State");
        EXPECT_TRUE(stream.atEnd());
        EXPECT_EQ(stream.readInt32(), 0);
        EXPECT_TRUE(stream.writeInt32(0x11223344));
        EXPECT_EQ(stored().second, "missing");  // nothing is written before destruction
    }
    EXPECT_EQ(stored(), std::make_pair(DWORD(REG_BINARY), std::string("\x44\x33\x22\x11")));
}

TEST_F(StreamRegistry, ExistingValueIsLoadedAsRawBytesWhateverItsType)
{
    store(REG_SZ, std::string("hi\0", 3));
    RegistryStream stream(keyPath.c_str(), "State");
    EXPECT_FALSE(stream.atEnd());
    char bytes[8] = {};
    EXPECT_EQ(stream.readRaw(bytes, 8), 3);
    EXPECT_EQ(std::string(bytes, 3), std::string("hi\0", 3));
    EXPECT_TRUE(stream.atEnd());
}

TEST_F(StreamRegistry, RewrittenContentReplacesTheStoredValue)
{
    store(REG_BINARY, "abcdef");
    {
        RegistryStream stream(keyPath.c_str(), "State");
        char two[2] = {};
        stream.readRaw(two, 2);
        stream.writeUInt8('Z');
    }
    EXPECT_EQ(stored(), std::make_pair(DWORD(REG_BINARY), std::string("abZ")));
}

TEST_F(StreamRegistry, EmptyStreamLeavesTheStoredValueAlone)
{
    {
        RegistryStream stream(keyPath.c_str(), "State");
        EXPECT_TRUE(stream.atEnd());
        store(REG_SZ, std::string("kept\0", 5));  // another writer, after the stream loaded
    }
    EXPECT_EQ(stored(), std::make_pair(DWORD(REG_SZ), std::string("kept\0", 5)));

    store(REG_DWORD, "");
    {
        RegistryStream stream(keyPath.c_str(), "State");
    }
    EXPECT_EQ(stored(), std::make_pair(DWORD(REG_DWORD), std::string()));
}
