// The chunk store's buffer and its lifetime, with a fake engine.
#include <gtest/gtest.h>

#include "BridgePartsFakes.h"
#include "bridge/ChunkStore.h"
#include "stream/StreamBuffer.h"

namespace bridge_test {
namespace {

TEST(ChunkStore, SaveHandsOutExactlyTheEngineBytesAndASecondSaveReleasesTheFirstBuffer)
{
    FakeEngine engine;
    bridge::ChunkStore store;
    engine.toSave = {1, 2, 3};
    void* data = nullptr;
    ASSERT_EQ(store.save(&engine, &data), 3);
    EXPECT_EQ(std::vector<unsigned char>(static_cast<unsigned char*>(data), static_cast<unsigned char*>(data) + 3),
              engine.toSave);

    // Hold the first buffer: the store must give up its one reference.
    Korvanta::StreamBuffer* first = store.buffer();
    EXPECT_EQ(first->addRef(), 2);
    engine.toSave = {9, 8, 7, 6, 5};
    EXPECT_EQ(store.save(&engine, &data), 5);
    EXPECT_NE(store.buffer(), first);
    EXPECT_EQ(first->release(), 0);
    EXPECT_EQ(static_cast<unsigned char*>(data)[4], 5);
}

TEST(ChunkStore, AThrowingEngineKeepsWhatItWroteAndMissingPiecesAnswerZero)
{
    FakeEngine engine;
    bridge::ChunkStore store;
    engine.toSave = {4, 5};
    engine.throwWhileSaving = true;
    void* data = nullptr;
    EXPECT_EQ(store.save(&engine, &data), 2);
    EXPECT_EQ(static_cast<unsigned char*>(data)[1], 5);
    EXPECT_EQ(store.save(nullptr, &data), 0);
    EXPECT_EQ(store.buffer(), nullptr);  // the previous chunk is dropped all the same
    EXPECT_EQ(store.save(&engine, nullptr), 0);
}

TEST(ChunkStore, RestoreLendsAViewOfTheHostBytesAndHostileCountsGiveAnEmptyStream)
{
    FakeEngine engine;
    bridge::ChunkStore store;
    std::vector<unsigned char> hostBytes = {7, 6, 5};
    EXPECT_EQ(store.restore(&engine, hostBytes.data(), 3), 1);
    EXPECT_EQ(engine.loaded, hostBytes);
    EXPECT_EQ(store.buffer()->data(), hostBytes.data());  // not copied

    EXPECT_EQ(store.restore(&engine, hostBytes.data(), -5), 1);
    EXPECT_TRUE(engine.loaded.empty());
    EXPECT_EQ(store.restore(&engine, nullptr, 100), 1);
    EXPECT_TRUE(engine.loaded.empty());

    engine.throwWhileLoading = true;
    EXPECT_EQ(store.restore(&engine, hostBytes.data(), 2), 1);
    store.drop();
    EXPECT_EQ(store.buffer(), nullptr);
    EXPECT_EQ(hostBytes, (std::vector<unsigned char>{7, 6, 5}));  // dropping a view leaves them alone
}

}  // namespace
}  // namespace bridge_test
