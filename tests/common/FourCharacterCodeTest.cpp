#include <gtest/gtest.h>

#include "common/FourCharacterCode.h"

namespace {

TEST(FourCharacterCode, AnIntegerReadsHighestByteFirst)
{
    EXPECT_EQ(common::fourCharacterText(0x566C6D74), "Vlmt");
    EXPECT_EQ(common::fourCharacterText(0x41420A43), "AB.C");
}

TEST(FourCharacterCode, BytesThatDoNotPrintBecomeDots)
{
    const char bytes[4] = {'\0', '\x7F', static_cast<char>(0xFF), ' '};
    EXPECT_EQ(common::fourCharacterText(bytes), "... ");
    EXPECT_EQ(common::fourCharacterText(static_cast<int32_t>(0xFF000041)), "...A");
    EXPECT_EQ(common::fourCharacterText("CcnKmore"), "CcnK");  // four bytes, whatever follows
}

}  // namespace
