// The processing paths allocate nothing: every allocation the staged
// plug-in's own code makes is counted (tests/support/AllocationCounters.h).
#include <string>
#include <vector>

#include "../support/AllocationCounters.h"
#include "BridgeFixture.h"
#include "IMidiOut.h"

namespace {

using namespace bridge_test;

using velmorant_test::allocations;
using velmorant_test::ImportCounters;

class CountingListener : public Korvanta::MidiTransportListener {
public:
    void onTransportStart(int32_t) override { ++heard; }
    void onTransportStop(int32_t) override { ++heard; }
    void onCycle(int32_t, int32_t) override { ++heard; }
    int heard = 0;
};

class BridgeAllocation : public BridgeFixture {};

TEST_F(BridgeAllocation, ProcessingPathsAllocateNothing)
{
    // Everything the processing paths will meet is set up before counting.
    probe->renderMidi[0][0] = 0x90;
    probe->renderMidi[0][1] = 0x3C;
    probe->renderMidi[0][2] = 0x40;
    probe->renderMidi[1][0] = 0x80;
    probe->renderMidi[1][1] = 0x3C;
    probe->renderMidiCount = 2;
    probe->renderValue = 0.5f;
    open();
    CountingListener first, second;
    notifier()->addListener(&first);
    notifier()->addListener(&second);
    IMidiOut* midiOut = service<IMidiOut>("IMidiOut");
    ASSERT_NE(midiOut, nullptr);
    Korvanta::MidiContext* midi = context();

    VstTimeInfo time = {};
    time.sampleRate = 44100.0;
    time.cycleStartPos = 0.0;
    time.cycleEndPos = 8.0;
    host.answerTime(&time);
    host.processLevel(kVstProcessLevelRealtime);

    EventList events;
    for (int i = 0; i < 8; ++i) {
        events.midi(0x90, static_cast<uint8_t>(0x30 + i), 0x64, 0x00, i);
        events.sysex(i);
    }
    VstEvents* list = events.list();
    std::vector<float> left(512), right(512);
    float* outputs[2] = {left.data(), right.data()};

    ImportCounters counters(stage.module());
    ASSERT_FALSE(counters.hooked().empty()) << "no allocation import found to count";

    // The counters see the plug-in's allocations: a chunk needs a buffer.
    const long beforeChunk = allocations.load();
    void* chunk = nullptr;
    effect().dispatch(effGetChunk, 0, 0, &chunk);
    ASSERT_GT(allocations.load(), beforeChunk) << "the counters miss the plug-in's allocations";

    const long before = allocations.load();
    for (int blockIndex = 0; blockIndex < 400; ++blockIndex) {
        if (blockIndex % 100 == 0)
            effect().dispatch(effMainsChanged, 0, 1);  // the process level is reported again
        const int phase = blockIndex % 40;
        time.flags = kVstTempoValid | kVstCyclePosValid | kVstTransportCycleActive;
        if (phase < 30)
            time.flags |= kVstTransportPlaying;
        if (phase == 0 || phase == 30)
            time.flags |= kVstTransportChanged;
        time.samplePos = phase < 30 ? blockIndex * 512.0 : time.samplePos;
        time.ppqPos = (phase % 16) * 0.5;  // playing loops back now and then: cycles
        time.tempo = 120.0;
        if (blockIndex % 2 == 0)
            time.flags |= kVstPpqPosValid;

        effect().dispatch(effProcessEvents, 0, 0, list);
        if (blockIndex % 5 == 0) {
            effect().process(nullptr, outputs, 512);
        } else {
            effect().processReplacing(nullptr, outputs, blockIndex % 3 == 0 ? 32 : 512);
        }
        const unsigned char message[4] = {0xB0, 0x07, static_cast<unsigned char>(blockIndex & 0x7F), 0};
        midiOut->sendMidi(message, blockIndex % 64);
        int32_t bar = 0, beat = 0, tick = 0;
        midi->ticksToBarBeatTick(blockIndex * 97 - 5000, &bar, &beat, &tick);
        midi->barBeatTickToTicks(bar, beat, tick);
    }
    const long during = allocations.load() - before;

    EXPECT_EQ(during, 0) << "allocations on the processing paths";
    EXPECT_GT(first.heard, 10);
    EXPECT_EQ(first.heard, second.heard);
    EXPECT_EQ(calls(Call::ReceiveMidi).size(), 400u * 8u);
    EXPECT_GE(host.midiEvents().size(), 400u * 3u);
    EXPECT_EQ(host.dropped(), 0u);
    EXPECT_EQ(capture.dropped(), 0u);

    notifier()->removeListener(&first);
    notifier()->removeListener(&second);
}

}  // namespace
