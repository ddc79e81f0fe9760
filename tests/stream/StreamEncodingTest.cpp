#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "StreamTestSupport.h"
#include "foundation/StringStream.h"
#include "stream/MemoryStream.h"
#include "stream/StreamBuffer.h"

using namespace Korvanta;
using streamtest::Bytes;
using streamtest::contents;

namespace {

struct EncodingFixture : ::testing::Test {
    StreamBuffer buffer;
    MemoryStream stream{&buffer};
    OutputStream& out = stream;
    InputStream& in = stream;

    void load(const Bytes& bytes)
    {
        out.writeRaw(bytes.data(), static_cast<int32_t>(bytes.size()));
        stream.seek(0, RandomAccess::FromStart);
    }
};

using StreamEncoding = EncodingFixture;

}  // namespace

TEST_F(StreamEncoding, NumbersAreWrittenAsTheirLittleEndianImage)
{
    EXPECT_TRUE(out.writeInt32(1));
    EXPECT_TRUE(out.writeInt16(-2));
    EXPECT_TRUE(out.writeDouble(1.0));
    EXPECT_TRUE(out.writeFloat(-2.0f));
    EXPECT_TRUE(out.writeUInt64(0x0102030405060708ull));
    EXPECT_EQ(contents(buffer), (Bytes{0x01, 0x00, 0x00, 0x00,                          //
                                       0xFE, 0xFF,                                      //
                                       0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xF0, 0x3F,  //
                                       0x00, 0x00, 0x00, 0xC0,                          //
                                       0x08, 0x07, 0x06, 0x05, 0x04, 0x03, 0x02, 0x01}));
}

TEST_F(StreamEncoding, StringsAreWrittenAsLengthThenBytesWithoutTerminator)
{
    EXPECT_TRUE(out.write(SharedString("abc")));
    EXPECT_TRUE(out.writeString(SharedString()));
    EXPECT_EQ(contents(buffer), (Bytes{0x03, 0x00, 0x00, 0x00, 'a', 'b', 'c', 0x00, 0x00, 0x00, 0x00}));
}

TEST_F(StreamEncoding, StringReadBackEndsAtAnEmbeddedNul)
{
    load(Bytes{0x02, 0x00, 0x00, 0x00, 'a', 0x00});
    SharedString text("previous");
    EXPECT_TRUE(in.read(text));
    EXPECT_EQ(text.getLength(), 1);
    EXPECT_STREQ(text.c_str(), "a");
    EXPECT_TRUE(stream.atEnd());
}

TEST_F(StreamEncoding, ByteFfReadsAsMinusOneSignedAnd255Unsigned)
{
    load(Bytes{0xFF, 0xFF, 0xFF, 0xFF});
    EXPECT_EQ(in.readInt8(), -1);
    stream.seek(0, RandomAccess::FromStart);
    EXPECT_EQ(in.readUInt8(), 255);
    stream.seek(0, RandomAccess::FromStart);
    EXPECT_EQ(in.readInt16(), -1);
    stream.seek(0, RandomAccess::FromStart);
    EXPECT_EQ(in.readUInt16(), 0xFFFF);
}

TEST_F(StreamEncoding, ReadBlockAnswersBytesNotElements)
{
    load(Bytes{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13});
    uint8_t target[12] = {};
    EXPECT_EQ(in.readBlock(target, 4, 3), 12);
    EXPECT_EQ(target[11], 12);
    EXPECT_EQ(stream.tell(), 12u);
}

TEST_F(StreamEncoding, BlockSizesThatAreNegativeOrOverflowAreRefusedUntouched)
{
    load(Bytes{1, 2, 3, 4});
    uint8_t target[4] = {};
    EXPECT_EQ(in.readBlock(target, 4, 0x40000001), 0);  // 4 × count wraps to 4 in 32 bits
    EXPECT_EQ(in.readBlock(target, -4, 1), 0);
    EXPECT_EQ(stream.tell(), 0u);
    EXPECT_EQ(out.writeBlock(target, 2, -1), 0);
    EXPECT_EQ(out.writeBlock(target, 0x10000, 0x10000), 0);
    EXPECT_EQ(buffer.size(), 4u);
}

TEST_F(StreamEncoding, NegativeStringLengthFailsTheReadAndKeepsTheTarget)
{
    load(Bytes{0xFE, 0xFF, 0xFF, 0xFF, 'x', 'y'});
    SharedString text("kept");
    EXPECT_FALSE(in.read(text));
    EXPECT_STREQ(text.c_str(), "kept");
    stream.seek(0, RandomAccess::FromStart);
    EXPECT_TRUE(in.readString().isEmpty());
}

TEST(StreamEncodingShortReads, TypedReadsFailAndByValueReadsAnswerZero)
{
    std::string bytes("\x01\x02\x03", 3);
    stringStream stream(bytes, 16);
    int32_t value = 0;
    EXPECT_FALSE(stream.read(value));
    EXPECT_TRUE(stream.atEnd());
    EXPECT_EQ(stream.readInt32(), 0);
    EXPECT_EQ(stream.readDouble(), 0.0);
}

TEST(StreamEncodingShortReads, StringAtTheVeryEndIsEmptyAndOk)
{
    std::string bytes;
    stringStream stream(bytes, 16);
    SharedString text("previous");
    EXPECT_TRUE(stream.read(text));
    EXPECT_TRUE(text.isEmpty());
}

TEST(StreamEncodingShortReads, StringCutShortFailsAndKeepsTheTarget)
{
    std::string bytes("\x05\x00\x00\x00"
                      "ab",
                      6);
    stringStream stream(bytes, 16);
    SharedString text("kept");
    EXPECT_FALSE(stream.read(text));
    EXPECT_STREQ(text.c_str(), "kept");
}
