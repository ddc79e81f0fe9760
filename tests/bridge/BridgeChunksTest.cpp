// State chunks: exactly the engine's bytes out, exactly the host's bytes in.
#include <cstring>
#include <vector>

#include "BridgeFixture.h"

namespace {

using namespace bridge_test;
using Bytes = std::vector<uint8_t>;

class BridgeChunks : public BridgeFixture {
protected:
    void SetUp() override
    {
        BridgeFixture::SetUp();
        open();
    }

    void engineWrites(const Bytes& bytes)
    {
        if (!bytes.empty())  // an empty vector's data() may be null, which memcpy must not get
            std::memcpy(probe->saveBytes, bytes.data(), bytes.size());
        probe->saveCount = static_cast<int32_t>(bytes.size());
    }

    Bytes getChunk(bool preset = false)
    {
        void* data = reinterpret_cast<void*>(intptr_t{-1});
        const intptr_t size = effect().dispatch(effGetChunk, preset ? 1 : 0, 0, &data);
        if (size <= 0)
            return {};
        const auto* bytes = static_cast<const uint8_t*>(data);
        return Bytes(bytes, bytes + size);
    }

    Bytes loaded() const { return Bytes(probe->loaded, probe->loaded + probe->loadedCount); }
};

TEST_F(BridgeChunks, TheChunkIsExactlyWhatTheEngineWrote)
{
    engineWrites({0x07, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 'a', 'b'});
    EXPECT_EQ(getChunk(false), (Bytes{0x07, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 'a', 'b'}));
    EXPECT_EQ(getChunk(true), (Bytes{0x07, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 'a', 'b'}));

    // The next request replaces the chunk with what the engine writes then.
    engineWrites({0xFE, 0xED});
    void* first = nullptr;
    void* second = nullptr;
    EXPECT_EQ(effect().dispatch(effGetChunk, 0, 0, &first), 2);
    EXPECT_EQ(effect().dispatch(effGetChunk, 0, 0, &second), 2);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(Bytes(static_cast<uint8_t*>(second), static_cast<uint8_t*>(second) + 2), (Bytes{0xFE, 0xED}));
    EXPECT_EQ(calls(Call::SaveState).size(), 4u);

    engineWrites({});
    void* data = nullptr;
    EXPECT_EQ(effect().dispatch(effGetChunk, 0, 0, &data), 0);
    EXPECT_EQ(effect().dispatch(effGetChunk, 0, 0, nullptr), 0);
}

TEST_F(BridgeChunks, AnEngineFailingWhileSavingYieldsWhatItWroteBefore)
{
    engineWrites({1, 2, 3, 4, 5});
    probe->saveThrowsAfter = 3;
    EXPECT_EQ(getChunk(), (Bytes{1, 2, 3}));
    probe->saveThrowsAfter = 0;
    EXPECT_EQ(getChunk(), Bytes{});
}

TEST_F(BridgeChunks, TheEngineReadsTheHostsBytesAndTheHostGetsOne)
{
    Bytes state = {9, 8, 7, 6, 5, 4, 3};
    const Bytes original = state;
    EXPECT_EQ(effect().dispatch(effSetChunk, 0, static_cast<intptr_t>(state.size()), state.data()), 1);
    EXPECT_EQ(loaded(), original);
    EXPECT_EQ(effect().dispatch(effSetChunk, 1, 3, state.data()), 1);
    EXPECT_EQ(loaded(), (Bytes{9, 8, 7}));

    // A save after a restore fills a fresh buffer and leaves the host's bytes alone.
    engineWrites({0xAA});
    EXPECT_EQ(getChunk(), Bytes{0xAA});
    EXPECT_EQ(state, original);
}

TEST_F(BridgeChunks, EmptyNullOrNegativeRestoresGiveTheEngineNothingToRead)
{
    uint8_t bytes[4] = {1, 2, 3, 4};
    EXPECT_EQ(effect().dispatch(effSetChunk, 0, 0, bytes), 1);
    ASSERT_EQ(calls(Call::LoadState).size(), 1u);
    EXPECT_EQ(probe->loadedCount, 0);

    effect().dispatch(effSetChunk, 0, 4, nullptr);
    EXPECT_EQ(probe->loadedCount, 0);
    effect().dispatch(effSetChunk, 0, -4, bytes);
    EXPECT_EQ(probe->loadedCount, 0);

    engineWrites({5});
    EXPECT_EQ(getChunk(), Bytes{5});
}

// A project whose chunk size field was damaged: the restore still answers 1
// and the engine is asked to restore from nothing, so it keeps its state.
TEST_F(BridgeChunks, SetChunk_WithNegativeSize_GivesTheEngineAnEmptyStream)
{
    uint8_t bytes[4] = {1, 2, 3, 4};
    EXPECT_EQ(effect().dispatch(effSetChunk, 0, -4, bytes), 1);
    EXPECT_EQ(effect().dispatch(effSetChunk, 0, INT32_MIN, bytes), 1);
    std::vector<ProbeCall> restores = calls(Call::LoadState);
    ASSERT_EQ(restores.size(), 2u);
    EXPECT_EQ(restores[0].a, 0);
    EXPECT_EQ(restores[1].a, 0);
    if (sizeof(intptr_t) == 8) {
        EXPECT_EQ(effect().dispatch(effSetChunk, 0, static_cast<intptr_t>(INT64_C(0x100000004)), bytes), 1);
        restores = calls(Call::LoadState);
        ASSERT_EQ(restores.size(), 3u);
        EXPECT_EQ(restores[2].a, 0);
    }
}

TEST_F(BridgeChunks, AnEngineThrowingWhileRestoringDoesNotReachTheHost)
{
    probe->loadThrows = 1;
    uint8_t bytes[2] = {1, 2};
    EXPECT_EQ(effect().dispatch(effSetChunk, 0, 2, bytes), 1);
    EXPECT_EQ(loaded(), (Bytes{1, 2}));
    // The instance goes on working.
    engineWrites({3});
    EXPECT_EQ(getChunk(), Bytes{3});
}

}  // namespace
