#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <functional>
#include <utility>
#include <string>
#include <vector>

#include "FoundationTestSupport.h"
#include "foundation/ModuleState.h"
#include "foundation/RegistryAccess.h"
#include "foundation/RegistryException.h"

using namespace Korvanta;

namespace {

std::string text(const SharedString& s) {
    return std::string(s.c_str());
}

// A key of its own below HKCU and HKLM, which is also the application's
// registry root for the run; both are removed afterwards.
class FoundationRegistry : public ::testing::Test {
protected:
    void SetUp() override {
        appName = FoundationTest::uniqueName("VelmorantTest");
        keyPath = "Software\\Korvanta\\" + appName;
        initModule(appName.c_str(), GetModuleHandleA(nullptr), DLL_PROCESS_ATTACH);
    }
    void TearDown() override {
        FoundationTest::deleteKeyTree(HKEY_CURRENT_USER, keyPath);
        FoundationTest::deleteKeyTree(HKEY_LOCAL_MACHINE, keyPath);
        initModule("Velmorant", GetModuleHandleA(nullptr), DLL_PROCESS_ATTACH);
    }

    void store(const char* name, DWORD type, const void* data, DWORD size, HKEY root = HKEY_CURRENT_USER,
               const std::string& sub = "") {
        HKEY key = nullptr;
        std::string path = sub.empty() ? keyPath : keyPath + "\\" + sub;
        ASSERT_EQ(ERROR_SUCCESS,
                  RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr));
        EXPECT_EQ(ERROR_SUCCESS, RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size));
        RegCloseKey(key);
    }

    // The system's result of reading the value straight from the registry.
    LONG fetch(HKEY root, const std::string& sub, const char* name, DWORD& type, std::vector<BYTE>& data) {
        HKEY key = nullptr;
        std::string path = sub.empty() ? keyPath : keyPath + "\\" + sub;
        LONG result = RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key);
        if (result != ERROR_SUCCESS) return result;
        DWORD size = 0;
        result = RegQueryValueExA(key, name, nullptr, &type, nullptr, &size);
        data.assign(size, 0);
        if (result == ERROR_SUCCESS && size) result = RegQueryValueExA(key, name, nullptr, &type, data.data(), &size);
        RegCloseKey(key);
        return result;
    }

    bool keyExists(HKEY root) {
        HKEY key = nullptr;
        if (RegOpenKeyExA(root, keyPath.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
        RegCloseKey(key);
        return true;
    }

    // The code of the registry exception the call raises; -1 when it raises none.
    template <typename Call>
    static int32_t raisedCode(Call call, bool* wrongType = nullptr) {
        try {
            call();
        } catch (registry_exception* failure) {
            int32_t code = failure->code();
            if (wrongType) *wrongType = dynamic_cast<registry_invalid_value_type*>(failure) != nullptr;
            delete failure;
            return code;
        }
        return -1;
    }

    std::string appName;
    std::string keyPath;
};

}  // namespace

TEST_F(FoundationRegistry, ReadRegistryStringReturnsTextValuesAsStored) {
    store("plain", REG_SZ, "C:\\Engines\\A.dll", 17);
    store("expand", REG_EXPAND_SZ, "%TEMP%\\B.dll", 13);
    store("unterminated", REG_SZ, "abcXYZ", 3);
    EXPECT_EQ("C:\\Engines\\A.dll", text(readRegistryString(keyPath.c_str(), "plain", "dflt", true)));
    EXPECT_EQ("%TEMP%\\B.dll", text(readRegistryString(keyPath.c_str(), "expand", "dflt", true)));
    EXPECT_EQ("abc", text(readRegistryString(keyPath.c_str(), "unterminated", "dflt", true)));
    EXPECT_EQ("dflt", text(readRegistryString(keyPath.c_str(), "plain", "dflt", false))) << "HKLM has no such key";
}

TEST_F(FoundationRegistry, ReadRegistryStringGivesTheDefaultForAnythingButNonEmptyText) {
    DWORD number = 7;
    store("empty", REG_SZ, "", 0);
    store("nul", REG_SZ, "", 1);
    store("number", REG_DWORD, &number, 4);
    store("bytes", REG_BINARY, "abc", 4);
    for (const char* name : {"empty", "nul", "number", "bytes", "missing"}) {
        EXPECT_EQ("dflt", text(readRegistryString(keyPath.c_str(), name, "dflt", true))) << name;
    }
    EXPECT_EQ("dflt", text(readRegistryString((keyPath + "\\missing").c_str(), "empty", "dflt", true)));
    EXPECT_EQ("dflt", text(readRegistryString(nullptr, "empty", "dflt", true)));
    EXPECT_EQ("", text(readRegistryString(keyPath.c_str(), "number", nullptr, true)));
}

TEST_F(FoundationRegistry, ReadRegistryDwordReadsBothByteOrders) {
    DWORD little = 0x12345678;
    const BYTE big[4] = {0x00, 0x00, 0x01, 0x02};
    store("little", REG_DWORD, &little, 4);
    store("big", REG_DWORD_BIG_ENDIAN, big, 4);
    EXPECT_EQ(0x12345678u, readRegistryDword(keyPath.c_str(), "little", true));
    EXPECT_EQ(0x102u, readRegistryDword(keyPath.c_str(), "big", true));
    EXPECT_EQ(0x102u, readRegistryDwordOr(keyPath.c_str(), "big", 9, true));
}

TEST_F(FoundationRegistry, ReadRegistryDwordRaisesForLongWrongOrMissingValuesAndTheOrFormDefaults) {
    const BYTE eight[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    store("eight", REG_BINARY, eight, 8);
    store("text", REG_SZ, "abc", 4);
    const char* path = keyPath.c_str();

    bool wrongType = true;
    EXPECT_EQ(0, raisedCode([&] { readRegistryDword(path, "eight", true); }, &wrongType));
    EXPECT_FALSE(wrongType) << "a long value is a plain registry_exception";
    EXPECT_EQ(0, raisedCode([&] { readRegistryDword(path, "text", true); }, &wrongType));
    EXPECT_TRUE(wrongType);
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, raisedCode([&] { readRegistryDword(path, "missing", true); }));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, raisedCode([&] { readRegistryDword(path, "eight", false); }));

    for (const char* name : {"eight", "text", "missing"}) {
        EXPECT_EQ(77u, readRegistryDwordOr(path, name, 77, true)) << name;
    }
}

TEST_F(FoundationRegistry, ReadRegistryBinaryReportsTheStoredSizeWhateverTheBuffer) {
    const BYTE stored[5] = {9, 8, 7, 6, 5};
    store("blob", REG_BINARY, stored, 5);
    store("text", REG_SZ, "abcd", 5);
    const char* path = keyPath.c_str();

    uint32_t size = 0;
    EXPECT_TRUE(readRegistryBinary(path, "blob", nullptr, size, true));
    EXPECT_EQ(5u, size);

    BYTE buffer[8] = {0};
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

TEST_F(FoundationRegistry, WriteRegistryBinaryStoresAnEmptyValueButRefusesNullDataWithASize) {
    const char* path = keyPath.c_str();
    EXPECT_FALSE(writeRegistryBinary(path, "refused", nullptr, 4, true));
    EXPECT_FALSE(keyExists(HKEY_CURRENT_USER)) << "a refused write touches nothing";

    EXPECT_TRUE(writeRegistryBinary(path, "empty", nullptr, 0, true));
    DWORD type = 0;
    std::vector<BYTE> data(1, 0xEE);
    ASSERT_EQ(ERROR_SUCCESS, fetch(HKEY_CURRENT_USER, "", "empty", type, data));
    EXPECT_EQ(DWORD(REG_BINARY), type);
    EXPECT_TRUE(data.empty());

    const BYTE bytes[3] = {1, 0, 2};
    EXPECT_TRUE(writeRegistryBinary(path, "bytes", bytes, 3, true));
    ASSERT_EQ(ERROR_SUCCESS, fetch(HKEY_CURRENT_USER, "", "bytes", type, data));
    EXPECT_EQ(std::vector<BYTE>(bytes, bytes + 3), data);
}

TEST_F(FoundationRegistry, WritesStoreTypedValuesAndReportFailuresAsCodes) {
    const char* path = keyPath.c_str();
    EXPECT_EQ(0, writeRegistryDword(path, "number", 0xA1B2C3D4, true));
    EXPECT_EQ(0, writeRegistryString(path, "name", "Engine.dll", true));
    DWORD type = 0;
    std::vector<BYTE> data;
    ASSERT_EQ(ERROR_SUCCESS, fetch(HKEY_CURRENT_USER, "", "number", type, data));
    EXPECT_EQ(DWORD(REG_DWORD), type);
    EXPECT_EQ(std::vector<BYTE>({0xD4, 0xC3, 0xB2, 0xA1}), data);
    ASSERT_EQ(ERROR_SUCCESS, fetch(HKEY_CURRENT_USER, "", "name", type, data));
    EXPECT_EQ(DWORD(REG_SZ), type);
    EXPECT_EQ(11u, data.size()) << "the terminator is stored";

    EXPECT_EQ(ERROR_INVALID_PARAMETER, writeRegistryString(path, "null", nullptr, true));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, fetch(HKEY_CURRENT_USER, "", "null", type, data));
    EXPECT_EQ(ERROR_INVALID_PARAMETER, writeRegistryDword(nullptr, "number", 1, true));
}

TEST_F(FoundationRegistry, ApplicationFunctionsWriteBelowTheRootTheMachineWideFlagSelects) {
    for (bool machineWide : {false, true}) {
        HKEY chosen = machineWide ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
        HKEY other = machineWide ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
        std::string sub = machineWide ? "Machine" : "User";
        const BYTE bytes[2] = {4, 2};
        ASSERT_EQ(0, writeAppDword(sub.c_str(), "dword", 42, machineWide)) << machineWide;
        EXPECT_EQ(0, writeAppString(sub.c_str(), "text", "hello", machineWide));
        EXPECT_TRUE(writeAppBinary(sub.c_str(), "blob", bytes, 2, machineWide));

        DWORD type = 0;
        std::vector<BYTE> data;
        ASSERT_EQ(ERROR_SUCCESS, fetch(chosen, sub, "dword", type, data));
        EXPECT_EQ(std::vector<BYTE>({42, 0, 0, 0}), data);
        EXPECT_EQ(ERROR_FILE_NOT_FOUND, fetch(other, sub, "dword", type, data));

        EXPECT_EQ(42u, readAppDword(sub.c_str(), "dword", machineWide));
        EXPECT_EQ(5u, readAppDwordOr(sub.c_str(), "dword", 5, !machineWide)) << "missing on the other root";
        EXPECT_EQ(42u, readAppDwordOr(sub.c_str(), "dword", 5, machineWide));
        EXPECT_EQ("hello", text(readAppString(sub.c_str(), "text", "dflt", machineWide)));
        EXPECT_EQ("dflt", text(readAppString(sub.c_str(), "text", "dflt", !machineWide)));
        BYTE buffer[2] = {0, 0};
        uint32_t size = 2;
        EXPECT_TRUE(readAppBinary(sub.c_str(), "blob", buffer, size, machineWide));
        EXPECT_EQ(0, std::memcmp(bytes, buffer, 2));
    }
    EXPECT_EQ(0, writeAppDword(nullptr, "top", 1, false));
    DWORD type = 0;
    std::vector<BYTE> data;
    EXPECT_EQ(ERROR_SUCCESS, fetch(HKEY_CURRENT_USER, "", "top", type, data)) << "a null sub-key is the root";
}

// Every path out of the one-call functions must close the key it opened. The
// system hands out the lowest free handle slot again, so a leaked key shows as
// a different handle for the next key opened.
TEST_F(FoundationRegistry, CallsLeaveNoKeyHandleOpenOnAnyPath) {
    DWORD number = 1;
    store("number", REG_DWORD, &number, 4);
    store("text", REG_SZ, "abc", 4);
    const char* path = keyPath.c_str();
    auto nextHandle = [&] {
        HKEY key = nullptr;
        RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_READ, &key);
        RegCloseKey(key);
        return key;
    };
    HKEY free = nextHandle();
    if (free == nullptr || nextHandle() != free) GTEST_SKIP() << "handle slots are not reused in order";

    BYTE buffer[4] = {};
    uint32_t size = 1;
    const std::pair<const char*, std::function<void()>> calls[] = {
        {"string read of a DWORD", [&] { readRegistryString(path, "number", "d", true); }},
        {"string read", [&] { readRegistryString(path, "text", "d", true); }},
        {"DWORD read of text", [&] { raisedCode([&] { readRegistryDword(path, "text", true); }); }},
        {"DWORD read, missing", [&] { readRegistryDwordOr(path, "missing", 0, true); }},
        {"DWORD read", [&] { readRegistryDword(path, "number", true); }},
        {"binary read of text", [&] { readRegistryBinary(path, "text", buffer, size, true); }},
        {"binary write", [&] { writeRegistryBinary(path, "blob", buffer, 1, true); }},
        {"DWORD write", [&] { writeRegistryDword(path, "number", 2, true); }},
        {"string write", [&] { writeRegistryString(path, "text", "x", true); }},
    };
    for (const auto& call : calls) {
        call.second();
        EXPECT_EQ(free, nextHandle()) << call.first;
    }
}
