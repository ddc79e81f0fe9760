#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "FoundationTestSupport.h"
#include "foundation/ModuleState.h"
#include "foundation/RegistryAccess.h"
#include "foundation/RegistryException.h"

using namespace Korvanta;

namespace {

// A key of its own, which is also the application's registry root for the
// run; removed afterwards from HKCU and HKLM.
class FoundationRegistry : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string appName = FoundationTest::uniqueName("VelmorantTest");
        keyPath = "Software\\Korvanta\\" + appName;
        path = keyPath.c_str();
        initModule(appName.c_str(), GetModuleHandleA(nullptr), DLL_PROCESS_ATTACH);
    }
    void TearDown() override
    {
        RegDeleteTreeA(HKEY_CURRENT_USER, path);
        RegDeleteKeyA(HKEY_CURRENT_USER, path);
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, path);
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, path);
        initModule("Velmorant", GetModuleHandleA(nullptr), DLL_PROCESS_ATTACH);
    }

    void store(const char* name, DWORD type, const void* data, DWORD size)
    {
        ASSERT_EQ(ERROR_SUCCESS, RegSetKeyValueA(HKEY_CURRENT_USER, path, name, type, data, size));
    }

    // The system's own reading of a value, as type then bytes; empty when missing.
    std::vector<BYTE> fetch(HKEY root, const std::string& sub, const char* name)
    {
        std::string full = sub.empty() ? keyPath : keyPath + "\\" + sub;
        BYTE data[64];
        DWORD type = 0;
        DWORD size = sizeof data;
        if (RegGetValueA(root, full.c_str(), name, RRF_RT_ANY | RRF_NOEXPAND, &type, data, &size) != ERROR_SUCCESS) {
            return {};
        }
        std::vector<BYTE> result(1, BYTE(type));
        result.insert(result.end(), data, data + size);
        return result;
    }

    // The code of the registry exception the call raises, -1 for none; `wrongType`
    // tells whether it was a registry_invalid_value_type.
    static int32_t raisedCode(const std::function<void()>& call, bool* wrongType = nullptr)
    {
        try {
            call();
        } catch (registry_exception* failure) {
            int32_t code = failure->code();
            if (wrongType)
                *wrongType = dynamic_cast<registry_invalid_value_type*>(failure) != nullptr;
            delete failure;
            return code;
        }
        return -1;
    }

    std::string keyPath;
    const char* path = nullptr;
};

}  // namespace

TEST_F(FoundationRegistry, ReadRegistryStringGivesStoredTextOrElseTheDefault)
{
    DWORD number = 7;
    store("plain", REG_SZ, "C:\\Engines\\A.dll", 17);
    store("expand", REG_EXPAND_SZ, "%TEMP%\\B.dll", 13);
    store("unterminated", REG_SZ, "abcXYZ", 3);
    store("empty", REG_SZ, "", 0);
    store("nul", REG_SZ, "", 1);
    store("number", REG_DWORD, &number, 4);
    EXPECT_STREQ("C:\\Engines\\A.dll", readRegistryString(path, "plain", "dflt", true));
    EXPECT_STREQ("%TEMP%\\B.dll", readRegistryString(path, "expand", "dflt", true));
    EXPECT_STREQ("abc", readRegistryString(path, "unterminated", "dflt", true));
    for (const char* name : {"empty", "nul", "number", "missing"}) {
        EXPECT_STREQ("dflt", readRegistryString(path, name, "dflt", true)) << name;
    }
    EXPECT_STREQ("dflt", readRegistryString(path, "plain", "dflt", false)) << "no such key below HKLM";
    EXPECT_STREQ("dflt", readRegistryString(nullptr, "plain", "dflt", true));
    EXPECT_STREQ("", readRegistryString(path, "number", nullptr, true));
}

TEST_F(FoundationRegistry, ReadRegistryDwordReadsBothByteOrdersAndRaisesForEverythingElse)
{
    DWORD little = 0x12345678;
    const BYTE big[4] = {0x00, 0x00, 0x01, 0x02};
    const BYTE eight[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    store("little", REG_DWORD, &little, 4);
    store("big", REG_DWORD_BIG_ENDIAN, big, 4);
    store("eight", REG_BINARY, eight, 8);
    store("text", REG_SZ, "abc", 4);
    EXPECT_EQ(0x12345678u, readRegistryDword(path, "little", true));
    EXPECT_EQ(0x102u, readRegistryDword(path, "big", true));

    bool wrongType = true;
    EXPECT_EQ(0, raisedCode([&] { readRegistryDword(path, "eight", true); }, &wrongType));
    EXPECT_FALSE(wrongType) << "a long value raises a plain registry_exception";
    EXPECT_EQ(0, raisedCode([&] { readRegistryDword(path, "text", true); }, &wrongType));
    EXPECT_TRUE(wrongType);
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, raisedCode([&] { readRegistryDword(path, "missing", true); }));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, raisedCode([&] { readRegistryDword(path, "little", false); }));
    for (const char* name : {"eight", "text", "missing"}) {
        EXPECT_EQ(77u, readRegistryDwordOr(path, name, 77, true)) << name;
    }
    EXPECT_EQ(0x102u, readRegistryDwordOr(path, "big", 77, true));
}

TEST_F(FoundationRegistry, ReadRegistryBinaryReportsTheStoredSizeWhateverTheBuffer)
{
    const BYTE stored[5] = {9, 8, 7, 6, 5};
    store("blob", REG_BINARY, stored, 5);
    store("text", REG_SZ, "abcd", 5);
    BYTE buffer[8] = {0};
    uint32_t size = 0;
    EXPECT_TRUE(readRegistryBinary(path, "blob", nullptr, size, true));
    EXPECT_EQ(5u, size);
    size = 4;
    EXPECT_FALSE(readRegistryBinary(path, "blob", buffer, size, true));
    EXPECT_EQ(5u, size);
    EXPECT_EQ(0, buffer[0]);
    size = sizeof buffer;
    EXPECT_TRUE(readRegistryBinary(path, "blob", buffer, size, true));
    EXPECT_EQ(5u, size);
    EXPECT_EQ(0, std::memcmp(stored, buffer, 5));
    size = sizeof buffer;
    EXPECT_FALSE(readRegistryBinary(path, "text", buffer, size, true));
    EXPECT_EQ(5u, size);
    size = sizeof buffer;
    EXPECT_FALSE(readRegistryBinary(path, "missing", buffer, size, true));
    EXPECT_EQ(0u, size);
}

TEST_F(FoundationRegistry, WritesStoreTypedValuesAndRefuseNullInput)
{
    EXPECT_FALSE(writeRegistryBinary(path, "refused", nullptr, 4, true));
    EXPECT_TRUE(fetch(HKEY_CURRENT_USER, "", "refused").empty());
    EXPECT_TRUE(writeRegistryBinary(path, "empty", nullptr, 0, true));
    EXPECT_EQ(std::vector<BYTE>({REG_BINARY}), fetch(HKEY_CURRENT_USER, "", "empty"));
    const BYTE bytes[3] = {1, 0, 2};
    EXPECT_TRUE(writeRegistryBinary(path, "bytes", bytes, 3, true));
    EXPECT_EQ(std::vector<BYTE>({REG_BINARY, 1, 0, 2}), fetch(HKEY_CURRENT_USER, "", "bytes"));

    EXPECT_EQ(0, writeRegistryDword(path, "number", 0xA1B2C3D4, true));
    EXPECT_EQ(std::vector<BYTE>({REG_DWORD, 0xD4, 0xC3, 0xB2, 0xA1}), fetch(HKEY_CURRENT_USER, "", "number"));
    EXPECT_EQ(0, writeRegistryString(path, "name", "ab", true));
    EXPECT_EQ(std::vector<BYTE>({REG_SZ, 'a', 'b', 0}), fetch(HKEY_CURRENT_USER, "", "name"));

    EXPECT_EQ(ERROR_INVALID_PARAMETER, writeRegistryString(path, "null", nullptr, true));
    EXPECT_TRUE(fetch(HKEY_CURRENT_USER, "", "null").empty());
    EXPECT_EQ(ERROR_INVALID_PARAMETER, writeRegistryDword(nullptr, "number", 1, true));
}

TEST_F(FoundationRegistry, ApplicationFunctionsWorkBelowTheRootTheMachineWideFlagSelects)
{
    for (bool machineWide : {false, true}) {
        HKEY chosen = machineWide ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
        HKEY other = machineWide ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
        const char* sub = machineWide ? "Machine" : "User";
        const BYTE bytes[2] = {4, 2};
        ASSERT_EQ(0, writeAppDword(sub, "dword", 42, machineWide)) << machineWide;
        EXPECT_EQ(0, writeAppString(sub, "text", "hi", machineWide));
        EXPECT_TRUE(writeAppBinary(sub, "blob", bytes, 2, machineWide));
        EXPECT_EQ(std::vector<BYTE>({REG_DWORD, 42, 0, 0, 0}), fetch(chosen, sub, "dword"));
        EXPECT_TRUE(fetch(other, sub, "dword").empty());

        EXPECT_EQ(42u, readAppDword(sub, "dword", machineWide));
        EXPECT_EQ(42u, readAppDwordOr(sub, "dword", 5, machineWide));
        EXPECT_EQ(5u, readAppDwordOr(sub, "dword", 5, !machineWide));
        EXPECT_STREQ("hi", readAppString(sub, "text", "dflt", machineWide));
        EXPECT_STREQ("dflt", readAppString(sub, "text", "dflt", !machineWide));
        BYTE buffer[2] = {0, 0};
        uint32_t size = 2;
        EXPECT_TRUE(readAppBinary(sub, "blob", buffer, size, machineWide));
        EXPECT_EQ(0, std::memcmp(bytes, buffer, 2));
    }
    EXPECT_EQ(0, writeAppDword(nullptr, "top", 1, false));
    EXPECT_EQ(std::vector<BYTE>({REG_DWORD, 1, 0, 0, 0}), fetch(HKEY_CURRENT_USER, "", "top")) << "null sub-key";
}

// Every path out of the one-call functions must close the key it opened. The
// system hands out the lowest free handle slot again, so a leaked key shows as
// a different handle for the next key opened.
TEST_F(FoundationRegistry, CallsLeaveNoKeyHandleOpenOnAnyPath)
{
    DWORD number = 1;
    store("number", REG_DWORD, &number, 4);
    store("text", REG_SZ, "abc", 4);
    auto nextHandle = [&] {
        HKEY key = nullptr;
        RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_READ, &key);
        RegCloseKey(key);
        return key;
    };
    HKEY free = nextHandle();
    if (free == nullptr || nextHandle() != free)
        GTEST_SKIP() << "handle slots are not reused in order";

    BYTE buffer[4] = {};
    uint32_t size = 1;
    const std::pair<const char*, std::function<void()>> calls[] = {
        {"string read of a DWORD",
         [&] {
             readRegistryString(path, "number", "d", true);
         }},
        {"string read",
         [&] {
             readRegistryString(path, "text", "d", true);
         }},
        {"DWORD read of text",
         [&] {
             raisedCode([&] { readRegistryDword(path, "text", true); });
         }},
        {"DWORD read, missing",
         [&] {
             readRegistryDwordOr(path, "missing", 0, true);
         }},
        {"DWORD read",
         [&] {
             readRegistryDword(path, "number", true);
         }},
        {"binary read of text",
         [&] {
             readRegistryBinary(path, "text", buffer, size, true);
         }},
        {"binary write",
         [&] {
             writeRegistryBinary(path, "blob", buffer, 1, true);
         }},
        {"DWORD write",
         [&] {
             writeRegistryDword(path, "number", 2, true);
         }},
        {"string write",
         [&] {
             writeRegistryString(path, "text", "x", true);
         }},
    };
    for (const auto& call : calls) {
        call.second();
        EXPECT_EQ(free, nextHandle()) << call.first;
    }
}
