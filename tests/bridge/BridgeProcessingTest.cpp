// MIDI intake, rendering and the process level, driven through the effect record.
#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "BridgeFixture.h"

namespace {

using namespace bridge_test;

using Bytes = std::array<int, 4>;

Bytes bytesOf(const ProbeCall& call)
{
    return {call.midi[0], call.midi[1], call.midi[2], call.midi[3]};
}

class BridgeProcessing : public BridgeFixture {
protected:
    intptr_t processEvents(VstEvents* list) { return effect().dispatch(effProcessEvents, 0, 0, list); }
};

TEST_F(BridgeProcessing, MidiEventsReachTheEngineInListOrderWithBytesAndDeltaUnchanged)
{
    open();
    VstTimeInfo time = {};
    time.ppqPos = 2.5;
    time.flags = kVstPpqPosValid;
    host.answerTime(&time);

    EventList events;
    events.midi(0x90, 0x3C, 0x64, 0x00, 17);
    events.sysex(4);
    events.midi(0x80, 0x3C, 0x00, 0x7F, 3);
    events.midi(0x3E, 0x40, 0x00, 0x00, 0);  // running status: data bytes only
    EXPECT_EQ(processEvents(events.list()), 1);

    const std::vector<ProbeCall> midi = calls(Call::ReceiveMidi);
    ASSERT_EQ(midi.size(), 3u);
    EXPECT_EQ(bytesOf(midi[0]), (Bytes{0x90, 0x3C, 0x64, 0x00}));
    EXPECT_EQ(midi[0].a, 17);
    EXPECT_EQ(bytesOf(midi[1]), (Bytes{0x80, 0x3C, 0x00, 0x7F}));
    EXPECT_EQ(midi[1].a, 3);
    EXPECT_EQ(bytesOf(midi[2]), (Bytes{0x3E, 0x40, 0x00, 0x00}));
    EXPECT_EQ(midi[2].a, 0);

    // The SysEx event is dropped but keeps index 1.
    EXPECT_EQ(traced("vst->processEvents"),
              (std::vector<std::string>{"    2.500000  vst->processEvents(0): { 90 3C 64 00 } deltaFrames 17\n",
                                        "    2.500000  vst->processEvents(2): { 80 3C 00 7F } deltaFrames 3\n",
                                        "    2.500000  vst->processEvents(3): { 3E 40 00 00 } deltaFrames 0\n"}));
}

TEST_F(BridgeProcessing, NullListsNullEntriesAndNegativeCountsAreSkipped)
{
    open();
    processEvents(nullptr);

    EventList negative;
    negative.midi(0x90, 0x40, 0x40, 0x00, 0);
    VstEvents* list = negative.list();
    list->numEvents = -3;
    EXPECT_EQ(processEvents(list), 1);
    EXPECT_TRUE(calls(Call::ReceiveMidi).empty());

    EventList holes;
    holes.midi(0x90, 0x40, 0x40, 0x00, 1);
    holes.null();
    holes.midi(0x80, 0x40, 0x00, 0x00, 2);
    EXPECT_EQ(processEvents(holes.list()), 1);
    const std::vector<ProbeCall> midi = calls(Call::ReceiveMidi);
    ASSERT_EQ(midi.size(), 2u);
    EXPECT_EQ(midi[0].a, 1);
    EXPECT_EQ(midi[1].a, 2);
    EXPECT_EQ(traced("vst->processEvents").size(), 2u);
    EXPECT_EQ(calls(Call::SetProcessMode).size(), 1u);
}

TEST_F(BridgeProcessing, ProcessLevelIsReportedOncePerResumeWithTheModeTable)
{
    open();
    EventList empty;
    EXPECT_EQ(processEvents(empty.list()), 1);  // first processing call after construction
    EXPECT_EQ(processEvents(empty.list()), 1);
    ASSERT_EQ(calls(Call::SetProcessMode).size(), 1u);
    EXPECT_EQ(host.count(audioMasterGetCurrentProcessLevel), 1u);

    const std::vector<std::pair<int32_t, int32_t>> levelToMode = {{1, 1}, {2, 2}, {3, 2}, {4, 1}, {0, 0}, {7, 0}};
    for (const auto& [level, mode] : levelToMode) {
        const std::string where = "host process level " + std::to_string(level);
        host.processLevel(level);
        probe->callCount = 0;
        host.clear();
        effect().dispatch(effMainsChanged, 0, 1);
        block();
        block();
        float left[4] = {}, right[4] = {};
        float* outputs[2] = {left, right};
        effect().process(nullptr, outputs, 4);
        EXPECT_EQ(processEvents(empty.list()), 1);
        const std::vector<ProbeCall> modes = calls(Call::SetProcessMode);
        ASSERT_EQ(modes.size(), 1u) << where;
        EXPECT_EQ(modes[0].a, mode) << where;
        EXPECT_EQ(host.count(audioMasterGetCurrentProcessLevel), 1u) << where;
    }
}

TEST_F(BridgeProcessing, ReplacingClearsExactlyTheBlockBeforeTheEngineRenders)
{
    open();
    std::vector<float> left(8, 9.0f), right(8, 9.0f);
    float* outputs[2] = {left.data(), right.data()};
    effect().processReplacing(nullptr, outputs, 5);

    std::vector<ProbeCall> renders = calls(Call::RenderReplacing);
    ASSERT_EQ(renders.size(), 1u);
    EXPECT_EQ(renders[0].a, 5);
    EXPECT_EQ(renders[0].b, 1) << "the engine found samples that were not cleared";
    const std::vector<float> expected = {0, 0, 0, 0, 0, 9, 9, 9};
    EXPECT_EQ(left, expected);
    EXPECT_EQ(right, expected);

    // What the engine renders is what the host gets.
    probe->renderValue = 0.25f;
    effect().processReplacing(nullptr, outputs, 2);
    EXPECT_EQ(left, (std::vector<float>{0.25f, 0.25f, 0, 0, 0, 9, 9, 9}));

    // Zero frames clear nothing and still reach the engine.
    probe->callCount = 0;
    std::vector<float> untouched(4, 9.0f);
    float* zeroOutputs[2] = {untouched.data(), untouched.data()};
    effect().processReplacing(nullptr, zeroOutputs, 0);
    renders = calls(Call::RenderReplacing);
    ASSERT_EQ(renders.size(), 1u);
    EXPECT_EQ(renders[0].a, 0);
    EXPECT_EQ(untouched, std::vector<float>(4, 9.0f));

    // Every length the short-block stores handle, and the first beyond them.
    probe->renderValue = 0.0f;
    for (int32_t frames = 1; frames <= 130; ++frames) {
        std::vector<float> first(140, 9.0f), second(140, 9.0f);
        float* both[2] = {first.data(), second.data()};
        effect().processReplacing(nullptr, both, frames);
        std::vector<float> cleared(140, 9.0f);
        std::fill(cleared.begin(), cleared.begin() + frames, 0.0f);
        ASSERT_EQ(first, cleared) << frames << " frames";
        ASSERT_EQ(second, cleared) << frames << " frames";
    }
}

TEST_F(BridgeProcessing, AccumulatingProcessLeavesTheHostsSamplesForTheEngine)
{
    open();
    std::vector<float> left(6, 9.0f), right(6, 9.0f);
    float* outputs[2] = {left.data(), right.data()};
    effect().process(nullptr, outputs, 6);

    const std::vector<ProbeCall> renders = calls(Call::RenderAdding);
    ASSERT_EQ(renders.size(), 1u);
    EXPECT_EQ(renders[0].a, 6);
    EXPECT_EQ(renders[0].real, 9.0);
    EXPECT_EQ(left, std::vector<float>(6, 9.0f));
    EXPECT_TRUE(calls(Call::RenderReplacing).empty());
}

TEST_F(BridgeProcessing, MissingOutputsOrNegativeFramesNeitherCrashNorReachTheEngine)
{
    open();
    VstTimeInfo time = {};
    host.answerTime(&time);
    effect().processReplacing(nullptr, nullptr, 16);
    effect().process(nullptr, nullptr, 16);

    std::vector<float> left(4, 9.0f);
    float* halfOutputs[2] = {left.data(), nullptr};
    effect().processReplacing(nullptr, halfOutputs, 4);
    EXPECT_EQ(left, std::vector<float>(4, 0.0f)) << "the channel that exists still gets silence";

    std::vector<float> right(4, 9.0f);
    left.assign(4, 9.0f);
    float* outputs[2] = {left.data(), right.data()};
    effect().processReplacing(nullptr, outputs, -4);
    effect().process(nullptr, outputs, -4);
    EXPECT_EQ(left, std::vector<float>(4, 9.0f));
    EXPECT_EQ(right, std::vector<float>(4, 9.0f));

    EXPECT_TRUE(calls(Call::RenderReplacing).empty());
    EXPECT_TRUE(calls(Call::RenderAdding).empty());
    // Each of those calls still ended its block.
    EXPECT_EQ(host.count(audioMasterGetTime), 5u);
}

// An engine that throws from a render loses that block, not the host: the
// entry returns, and the next block asks for the time again.
TEST_F(BridgeProcessing, ARenderThatThrowsEndsItsBlockAndTheNextAsksTheTimeAgain)
{
    open();
    VstTimeInfo time = {};
    time.flags = kVstPpqPosValid;
    host.answerTime(&time);
    std::vector<float> left(4, 9.0f), right(4, 9.0f);
    float* outputs[2] = {left.data(), right.data()};

    probe->renderThrows = 1;
    effect().processReplacing(nullptr, outputs, 4);
    effect().process(nullptr, outputs, 4);
    probe->renderThrows = 0;
    effect().processReplacing(nullptr, outputs, 4);
    effect().process(nullptr, outputs, 4);

    EXPECT_EQ(calls(Call::RenderReplacing).size(), 2u);
    EXPECT_EQ(calls(Call::RenderAdding).size(), 2u);
    EXPECT_EQ(host.count(audioMasterGetTime), 4u) << "a block after a throwing render used the stale time";
}

TEST_F(BridgeProcessing, TimeIsAskedOncePerBlockWithTheTransportFilter)
{
    open();
    VstTimeInfo time = {};
    host.answerTime(&time);
    EventList empty;

    processEvents(empty.list());
    block();
    ASSERT_EQ(host.count(audioMasterGetTime), 1u);
    EXPECT_EQ(host.requests(audioMasterGetTime)[0].value, 0x3E00);

    block();
    block();
    EXPECT_EQ(host.count(audioMasterGetTime), 3u);

    // Events alone do not end a block: the second list reuses the time.
    processEvents(empty.list());
    processEvents(empty.list());
    EXPECT_EQ(host.count(audioMasterGetTime), 4u);

    // A host with no time to give is asked again by the next entry of the block.
    block();
    host.clear();
    host.answerTime(nullptr);
    block();
    processEvents(empty.list());
    block();
    EXPECT_EQ(host.count(audioMasterGetTime), 3u);
}

TEST_F(BridgeProcessing, TransportChangesAreTracedAroundEachEntry)
{
    open();
    VstTimeInfo time = {};
    time.samplePos = 1000.0;
    time.ppqPos = 0.5;
    time.flags = kVstTransportChanged | kVstTransportPlaying | kVstPpqPosValid;
    host.answerTime(&time);
    EventList empty;

    processEvents(empty.list());
    block();
    time.flags = kVstTransportChanged | kVstPpqPosValid;
    time.samplePos = 2000.0;
    float left[4] = {}, right[4] = {};
    float* outputs[2] = {left, right};
    effect().process(nullptr, outputs, 4);
    time.flags = kVstPpqPosValid;
    block();  // no change flag: no lines

    EXPECT_EQ(traced(" process"), (std::vector<std::string>{"1000.000000 0.500000 processEvents -- start!\n",
                                                            "1000.000000 0.500000 processReplacing -- start!\n",
                                                            "1000.000000 0.500000 process completed\n",
                                                            "2000.000000 0.500000 process -- stop!\n",
                                                            "2000.000000 0.500000 process completed\n"}));
}

}  // namespace
