// MIDI intake from hostile host lists and MIDI out to the host, with the
// exact trace lines of each.
#include <gtest/gtest.h>

#include "../support/DebugOutputCapture.h"
#include "BridgeFixture.h"
#include "BridgePartsFakes.h"
#include "bridge/MidiIntake.h"
#include "bridge/MidiOut.h"
#include "bridge/ProcessLevelReporter.h"

namespace bridge_test {
namespace {

TEST(MidiIntake, EveryMidiEventInListOrderWithItsIndexAndTheOthersSkipped)
{
    FakeEngine engine;
    EventList events;
    events.midi(0x90, 0x3C, 0x64, 0x7F, 17);
    events.sysex(3);
    events.null();
    events.midi(0x80, 0x3C, 0x00, 0x00, 0);
    VstTimeInfo time{};
    time.ppqPos = 1.5;
    DebugOutputCapture capture;
    bridge::deliverMidiEvents(engine, events.list(), time);
    EXPECT_EQ(engine.midiLog, (std::vector<std::string>{"90 3C 64 7F @17", "80 3C 00 00 @0"}));
    EXPECT_EQ(capture.texts(),
              (std::vector<std::string>{"    1.500000  vst->processEvents(0): { 90 3C 64 7F } deltaFrames 17\n",
                                        "    1.500000  vst->processEvents(3): { 80 3C 00 00 } deltaFrames 0\n"}));
}

TEST(MidiIntake, NullListsAndNegativeCountsDeliverNothing)
{
    FakeEngine engine;
    VstTimeInfo time{};
    bridge::deliverMidiEvents(engine, nullptr, time);
    EventList events;
    events.midi(0x90, 1, 2, 3, 0);
    VstEvents* list = events.list();
    list->numEvents = -4;
    bridge::deliverMidiEvents(engine, list, time);
    EXPECT_TRUE(engine.midiLog.empty());
}

TEST(MidiOut, OneEventPerMessageWithAllFourBytesAndTheHostAnswerTraced)
{
    FakeBridgeHost host;
    host.answer = -3;
    const unsigned char twoBytes[4] = {0xC0, 0x05, 0xAA, 0xBB};
    DebugOutputCapture capture;
    bridge::sendMidiToHost(host, twoBytes, 12);
    bridge::sendMidiToHost(host, nullptr, 0);
    ASSERT_EQ(host.sent.size(), 1u);
    EXPECT_EQ(host.sentCounts[0], 1);
    const VstMidiEvent& event = host.sent[0];
    EXPECT_EQ(event.type, kVstMidiType);
    EXPECT_EQ(event.byteSize, 24);
    EXPECT_EQ(event.deltaFrames, 12);
    EXPECT_EQ(event.flags, 0);
    EXPECT_EQ(std::memcmp(event.midiData, twoBytes, 4), 0);
    EXPECT_EQ(event.noteLength + event.noteOffset + event.detune + event.noteOffVelocity, 0);
    EXPECT_EQ(capture.texts(), (std::vector<std::string>{"sendVstEventsToHost([C0 05 AA BB] @ 12) --> -3\n"}));
}

TEST(ProcessLevelReporter, ReportsOncePerResetWithTheMappedMode)
{
    FakeBridgeHost host;
    FakeEngine engine;
    bridge::ProcessLevelReporter reporter;
    host.processLevel = kVstProcessLevelPrefetch;
    reporter.ensureReported(engine, host);
    reporter.ensureReported(engine, host);
    reporter.reset();
    host.processLevel = kVstProcessLevelOffline;
    reporter.ensureReported(engine, host);
    reporter.reset();
    host.processLevel = 77;
    reporter.ensureReported(engine, host);
    EXPECT_EQ(host.levelRequests, 3);
    EXPECT_EQ(engine.modes, (std::vector<int32_t>{2, 1, 0}));
}

}  // namespace
}  // namespace bridge_test
