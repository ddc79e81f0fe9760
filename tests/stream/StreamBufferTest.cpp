#include <gtest/gtest.h>

#include <cstring>

#include "StreamBufferException.h"
#include "StreamTestSupport.h"
#include "stream/MemoryStream.h"
#include "stream/StreamBuffer.h"

using namespace Korvanta;
using streamtest::Bytes;
using streamtest::contents;
using streamtest::CountingAllocator;

namespace {

// Runs action and answers the code of the StreamBufferException it throws, or -1.
template <typename Action>
int32_t codeThrownBy(Action action, StreamBuffer* expectedBuffer)
{
    try {
        action();
    } catch (const StreamBufferException& e) {
        EXPECT_EQ(e.buffer, expectedBuffer);
        return e.code;
    }
    return -1;
}

}  // namespace

TEST(StreamMemoryBuffer, GrowsToExactlyTheBytesWrittenAndSeeksPastTheEndWithZeros)
{
    StreamBuffer buffer;
    MemoryStream stream(&buffer);
    stream.writeInt32(7);
    stream.writeString(SharedString("ab"));
    EXPECT_EQ(buffer.size(), 10u);
    EXPECT_EQ(contents(buffer), (Bytes{0x07, 0, 0, 0, 0x02, 0, 0, 0, 'a', 'b'}));

    EXPECT_EQ(stream.seek(0, RandomAccess::FromEnd), 10u);
    EXPECT_EQ(stream.seek(20, RandomAccess::FromStart), 20u);
    EXPECT_EQ(buffer.size(), 20u);
    EXPECT_EQ(contents(buffer), (Bytes{0x07, 0, 0, 0, 0x02, 0, 0, 0, 'a', 'b', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(StreamMemoryBuffer, SeekBeforeTheStartStopsAtZeroWithoutGrowing)
{
    StreamBuffer buffer;
    buffer.write("abc", 3);
    EXPECT_EQ(buffer.seek(-5, RandomAccess::FromCurrent), 0u);
    EXPECT_EQ(buffer.seek(-1, RandomAccess::FromStart), 0u);
    EXPECT_EQ(buffer.seek(-4, RandomAccess::FromEnd), 0u);
    EXPECT_EQ(buffer.seek(-1, RandomAccess::FromEnd), 2u);
    EXPECT_EQ(buffer.size(), 3u);
}

TEST(StreamMemoryBuffer, BorrowedBlockStopsSeekAtItsEndAndRefusesGrowthWithCode0)
{
    uint8_t bytes[4] = {1, 2, 3, 4};
    StreamBuffer buffer(bytes, sizeof bytes);
    MemoryStream stream(&buffer);
    EXPECT_EQ(stream.seek(10, RandomAccess::FromStart), 4u);
    EXPECT_EQ(codeThrownBy([&] { stream.writeUInt8(9); }, &buffer), StreamBufferException::NoAllocator);
    EXPECT_EQ(stream.tell(), 4u);

    stream.seek(2, RandomAccess::FromStart);
    EXPECT_EQ(codeThrownBy([&] { stream.writeInt32(-1); }, &buffer), StreamBufferException::NoAllocator);
    EXPECT_EQ(stream.tell(), 2u);
    EXPECT_TRUE(stream.writeUInt16(0x0A0B));  // overwriting inside the block is allowed
    EXPECT_EQ(Bytes(bytes, bytes + 4), (Bytes{1, 2, 0x0B, 0x0A}));
    EXPECT_EQ(buffer.size(), 4u);
}

TEST(StreamMemoryBuffer, ReadPastTheEndThrowsCode2AndLeavesThePosition)
{
    uint8_t bytes[5] = {1, 2, 3, 4, 5};
    StreamBuffer buffer(bytes, sizeof bytes);
    MemoryStream stream(&buffer);
    stream.seek(2, RandomAccess::FromStart);
    EXPECT_EQ(codeThrownBy([&] { stream.readInt32(); }, &buffer), StreamBufferException::ReadPastEnd);
    EXPECT_EQ(stream.tell(), 2u);
    uint8_t target[4] = {};
    EXPECT_EQ(buffer.read(target, 0), 0u);
    EXPECT_EQ(stream.readRaw(target, -1), 0);  // a negative count is not 4 GB
    EXPECT_EQ(stream.tell(), 2u);
    EXPECT_EQ(stream.readRaw(target, 3), 3);
    EXPECT_EQ(target[2], 5);
}

TEST(StreamMemoryBuffer, NullBorrowedPointerGivesAnEmptyBuffer)
{
    StreamBuffer buffer(nullptr, 100);
    MemoryStream stream(&buffer);
    EXPECT_EQ(buffer.size(), 0u);
    EXPECT_TRUE(stream.atEnd());
    EXPECT_EQ(codeThrownBy([&] { stream.readUInt8(); }, &buffer), StreamBufferException::ReadPastEnd);
}

TEST(StreamMemoryBuffer, TruncateEndsGrowableDataAtThePositionAndLeavesBorrowedAlone)
{
    StreamBuffer growable;
    growable.write("0123456789", 10);
    growable.seek(6, RandomAccess::FromStart);
    EXPECT_EQ(growable.truncate(), 6u);
    EXPECT_EQ(contents(growable), (Bytes{'0', '1', '2', '3', '4', '5'}));
    growable.seek(0, RandomAccess::FromStart);
    EXPECT_EQ(growable.truncate(), 0u);
    EXPECT_EQ(growable.data(), nullptr);

    char bytes[] = "0123456789";
    StreamBuffer borrowed(bytes, 10);
    borrowed.seek(6, RandomAccess::FromStart);
    EXPECT_EQ(borrowed.truncate(), 10u);
    EXPECT_EQ(borrowed.size(), 10u);
}

TEST(StreamMemoryBuffer, ResizeBelowThePositionPullsThePositionBack)
{
    StreamBuffer buffer;
    buffer.write("0123456789", 10);
    buffer.resize(4);
    EXPECT_EQ(buffer.seek(0, RandomAccess::FromCurrent), 4u);
    buffer.write("x", 1);
    EXPECT_EQ(contents(buffer), (Bytes{'0', '1', '2', '3', 'x'}));
}

TEST(StreamMemoryBuffer, AtEndOnAnEmptyBufferAndAfterTheLastByte)
{
    StreamBuffer buffer;
    MemoryStream stream(&buffer);
    EXPECT_TRUE(stream.atEnd());
    stream.writeUInt16(0x0102);
    EXPECT_TRUE(stream.atEnd());
    stream.seek(0, RandomAccess::FromStart);
    EXPECT_FALSE(stream.atEnd());
    stream.readUInt8();
    EXPECT_FALSE(stream.atEnd());
    stream.readUInt8();
    EXPECT_TRUE(stream.atEnd());
}

TEST(StreamMemoryBuffer, DetachHandsOverTheBlockWithTheAllocatorHoldingOneReference)
{
    StreamBuffer buffer;
    buffer.write("abcd", 4);
    uint8_t* block = nullptr;
    uint32_t size = 0;
    Allocator* allocator = buffer.detach(&block, &size);
    ASSERT_NE(allocator, nullptr);
    EXPECT_EQ(size, 4u);
    EXPECT_EQ(std::memcmp(block, "abcd", 4), 0);
    EXPECT_EQ(buffer.size(), 0u);
    EXPECT_EQ(buffer.data(), nullptr);
    EXPECT_EQ(buffer.seek(0, RandomAccess::FromCurrent), 0u);
    // Detached, the buffer has no allocator: it no longer grows.
    EXPECT_EQ(codeThrownBy([&] { buffer.write("e", 1); }, &buffer), StreamBufferException::NoAllocator);

    EXPECT_EQ(allocator->addRef(), 2);
    EXPECT_EQ(allocator->release(), 1);
    allocator->deallocate(block);
    EXPECT_EQ(allocator->release(), 0);
}

TEST(StreamMemoryBuffer, DetachOfABorrowedBlockAnswersNoAllocator)
{
    uint8_t bytes[3] = {1, 2, 3};
    StreamBuffer buffer(bytes, 3);
    uint8_t* block = nullptr;
    uint32_t size = 0;
    EXPECT_EQ(buffer.detach(&block, &size), nullptr);
    EXPECT_EQ(block, bytes);
    EXPECT_EQ(size, 3u);
    EXPECT_EQ(buffer.size(), 0u);
}

TEST(StreamMemoryBuffer, LastReleaseFreesTheBlockAndReleasesTheAllocator)
{
    CountingAllocator allocator;
    StreamBuffer* buffer = new StreamBuffer(&allocator);
    EXPECT_EQ(allocator.references, 2);
    buffer->write("abc", 3);
    EXPECT_EQ(allocator.live.size(), 1u);
    EXPECT_EQ(buffer->addRef(), 2);
    EXPECT_EQ(buffer->release(), 1);
    EXPECT_EQ(allocator.live.size(), 1u);
    EXPECT_EQ(buffer->release(), 0);
    EXPECT_TRUE(allocator.live.empty());
    EXPECT_EQ(allocator.references, 1);
}

TEST(StreamMemoryBuffer, ManySmallWritesReallocateGeometricallyNotPerWrite)
{
    CountingAllocator allocator;
    StreamBuffer buffer(&allocator);
    MemoryStream stream(&buffer);
    const int32_t writes = 1 << 18;  // 1 MB in 4-byte values
    for (int32_t i = 0; i < writes; ++i) {
        stream.writeInt32(i);
    }
    EXPECT_EQ(buffer.size(), 4u * writes);
    EXPECT_LT(allocator.reallocations, 40);
    stream.seek(-4, RandomAccess::FromEnd);
    EXPECT_EQ(stream.readInt32(), writes - 1);
}

TEST(StreamMemoryBuffer, RefusedSpareRoomFallsBackToTheExactSize)
{
    CountingAllocator allocator;
    StreamBuffer buffer(&allocator);
    buffer.write("0123456789", 10);
    allocator.refuseAbove = 300;  // the spare room a 300-byte block would get is refused
    uint8_t block[290] = {};
    EXPECT_EQ(buffer.write(block, sizeof block), 290u);
    EXPECT_EQ(buffer.size(), 300u);
    EXPECT_EQ(codeThrownBy([&] { buffer.write("x", 1); }, &buffer), StreamBufferException::AllocationFailed);
    EXPECT_EQ(buffer.size(), 300u);
    EXPECT_EQ(buffer.seek(0, RandomAccess::FromCurrent), 300u);
    EXPECT_EQ(buffer.data()[9], '9');
}

TEST(StreamMemoryBuffer, WriteWhoseEndPassesFourGigabytesIsRefusedWithCode1)
{
    // An allocator that hands out an address it never lets anyone touch: the
    // buffer claims 4 GB of data without a byte being written.
    struct ClaimingAllocator : CountingAllocator {
        void* reallocate(void*, uint32_t) override { return &claimed; }
        void deallocate(void*) override {}
        uint8_t claimed = 0;
    } allocator;
    StreamBuffer buffer(&allocator);
    buffer.resize(UINT32_MAX);
    EXPECT_EQ(buffer.seek(-8, RandomAccess::FromEnd), UINT32_MAX - 8);
    uint8_t sixteen[16] = {};
    EXPECT_EQ(codeThrownBy([&] { buffer.write(sixteen, sizeof sixteen); }, &buffer),
              StreamBufferException::AllocationFailed);
    EXPECT_EQ(buffer.size(), UINT32_MAX);
    EXPECT_EQ(buffer.seek(0, RandomAccess::FromCurrent), UINT32_MAX - 8);
}

TEST(StreamMemoryBuffer, FailedGrowthThroughResizeThrowsCode1AndKeepsTheBlock)
{
    CountingAllocator allocator;
    StreamBuffer buffer(&allocator);
    buffer.write("abc", 3);
    allocator.refuseAbove = 1000;
    EXPECT_EQ(codeThrownBy([&] { buffer.resize(5000); }, &buffer), StreamBufferException::AllocationFailed);
    EXPECT_EQ(contents(buffer), (Bytes{'a', 'b', 'c'}));
    uint8_t bytes[2] = {};
    StreamBuffer borrowed(bytes, 2);
    EXPECT_EQ(codeThrownBy([&] { borrowed.resize(1); }, &borrowed), StreamBufferException::NoAllocator);
}

TEST(StreamMemoryBuffer, ExceptionNamesItsOwnClassWithItsNamespace)
{
    StreamBuffer buffer(nullptr, 0);
    try {
        buffer.read(&buffer, 1);
        FAIL() << "no exception";
    } catch (const Exception& e) {
        EXPECT_STREQ(e.typeName().c_str(), "Korvanta::StreamBufferException");
    }
}
