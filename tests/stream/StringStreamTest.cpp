#include <gtest/gtest.h>

#include <string>

#include "foundation/StringStream.h"

using namespace Korvanta;

TEST(StreamString, WriteReplacesEverythingAfterThePosition)
{
    std::string bytes("0123456789");
    stringStream stream(bytes, 8);
    char two[2] = {};
    EXPECT_EQ(stream.readRaw(two, 2), 2);
    EXPECT_EQ(stream.writeRaw("abc", 3), 3);
    EXPECT_EQ(bytes, "01abc");
    EXPECT_TRUE(stream.atEnd());
}

TEST(StreamString, ReadRawDeliversWhatIsLeftThenNothing)
{
    std::string bytes("0123456789");
    stringStream stream(bytes, 8);
    char seven[7] = {};
    stream.readRaw(seven, 7);
    EXPECT_FALSE(stream.atEnd());
    char eight[8] = {};
    EXPECT_EQ(stream.readRaw(eight, 8), 3);
    EXPECT_EQ(std::string(eight, 3), "789");
    EXPECT_TRUE(stream.atEnd());
    EXPECT_EQ(stream.readRaw(eight, 8), 0);
}

TEST(StreamString, HostileCountsAndPointersTransferNothing)
{
    std::string bytes("abc");
    stringStream stream(bytes, 8);
    char one[1] = {};
    EXPECT_EQ(stream.readRaw(one, -1), 0);
    EXPECT_EQ(stream.readRaw(nullptr, 1), 0);
    EXPECT_EQ(stream.writeRaw(nullptr, 5), 0);
    EXPECT_EQ(stream.writeRaw("x", -5), 0);
    EXPECT_EQ(bytes, "abc");
}

TEST(StreamString, WriteAfterTheOwnerShortenedTheStringAppendsAtItsEnd)
{
    std::string bytes("abcdef");
    stringStream stream(bytes, 8);
    char four[4] = {};
    stream.readRaw(four, 4);
    bytes.resize(1);
    EXPECT_EQ(stream.writeRaw("z", 1), 1);
    EXPECT_EQ(bytes, "az");
    EXPECT_TRUE(stream.atEnd());
}
