#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <map>
#include <memory>
#include <string>

#include "FoundationTestSupport.h"
#include "foundation/RegistryKey.h"
#include "foundation/RegistryValueList.h"

using namespace Korvanta;

namespace {

class FoundationRegistryKey : public ::testing::Test {
protected:
    void SetUp() override
    {
        path = "Software\\Korvanta\\" + FoundationTest::uniqueName("VelmorantKeyTest");
        key = RegistryKey(RegistryKey::createKey(HKEY_CURRENT_USER, path.c_str(), KEY_ALL_ACCESS));
    }
    void TearDown() override
    {
        key.closeKey();
        RegDeleteTreeA(HKEY_CURRENT_USER, path.c_str());
        RegDeleteKeyA(HKEY_CURRENT_USER, path.c_str());
    }

    void store(const char* name, DWORD type, const void* data, DWORD size)
    {
        ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key.handle(), name, 0, type, static_cast<const BYTE*>(data), size));
    }

    template <typename Call>
    static bool raisesWrongType(Call call)
    {
        try {
            call();
        } catch (registry_exception* failure) {
            bool wrongType = dynamic_cast<registry_invalid_value_type*>(failure) != nullptr;
            delete failure;
            return wrongType;
        }
        return false;
    }

    std::string path;
    RegistryKey key;
};

}  // namespace

TEST_F(FoundationRegistryKey, TextReadsAcceptOnlyTheirTypesAndAlwaysTerminate)
{
    store("multi", REG_MULTI_SZ, "a\0bc\0", 6);
    store("cut", REG_MULTI_SZ, "a\0b", 3);
    store("text", REG_SZ, "abc", 4);
    store("empty", REG_SZ, "", 0);

    std::unique_ptr<char[]> multi(key.readMultiText("multi"));
    ASSERT_TRUE(multi);
    EXPECT_EQ(0, std::memcmp("a\0bc\0", multi.get(), 6));
    std::unique_ptr<char[]> cut(key.readMultiText("cut"));
    ASSERT_TRUE(cut);
    EXPECT_EQ(0, std::memcmp("a\0b\0\0", cut.get(), 5));
    EXPECT_TRUE(raisesWrongType([&] { delete[] key.readText("multi"); }));
    EXPECT_TRUE(raisesWrongType([&] { delete[] key.readMultiText("text"); }));
    EXPECT_EQ(nullptr, key.readText("empty"));

    EXPECT_FALSE(key.writeBinaryChecked("blob", nullptr, 3));
    EXPECT_EQ(ERROR_INVALID_PARAMETER, key.writeBinary("blob", nullptr, 3));
    EXPECT_FALSE(key.hasValue("blob"));
    EXPECT_EQ(0u, key.valueType("blob"));
}

TEST_F(FoundationRegistryKey, ValueListWalksEveryValueWithItsTypeAndData)
{
    const DWORD number = 5;
    const BYTE bytes[2] = {1, 2};
    store("s", REG_SZ, "text", 5);
    store("d", REG_DWORD, &number, 4);
    store("b", REG_BINARY, bytes, 2);
    store("e", REG_EXPAND_SZ, "xyzzy", 2);  // stored without its terminator

    RegistryValueList list(RegistryKey::openKey(HKEY_CURRENT_USER, path.c_str(), KEY_READ));
    EXPECT_EQ(4u, list.count());
    std::map<std::string, uint32_t> seen;
    while (list.next()) {
        std::string name = list.name();
        seen[name] = list.type();
        uint32_t size = 0;
        if (name == "s") {
            EXPECT_STREQ("text", list.stringValue());
        } else if (name == "d") {
            EXPECT_EQ(5u, list.dwordValue());
            EXPECT_TRUE(raisesWrongType([&] { list.stringValue(); }));
        } else if (name == "b") {
            EXPECT_EQ(0x0201u, list.dwordValue()) << "short data is zero-padded";
            std::unique_ptr<char[]> copy(list.binaryValue(size));
            ASSERT_EQ(2u, size);
            EXPECT_EQ(0, std::memcmp(bytes, copy.get(), 2));
        } else if (name == "e") {
            EXPECT_STREQ("xy", list.stringValue());
            EXPECT_TRUE(raisesWrongType([&] { delete[] list.binaryValue(size); }));
        }
    }
    EXPECT_EQ(
        (std::map<std::string, uint32_t>{{"b", REG_BINARY}, {"d", REG_DWORD}, {"e", REG_EXPAND_SZ}, {"s", REG_SZ}}),
        seen);
    EXPECT_FALSE(list.next());
    RegistryValueList nothing(nullptr);
    EXPECT_FALSE(nothing.next());
}
