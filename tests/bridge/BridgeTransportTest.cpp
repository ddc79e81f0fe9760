// The transport refresh and its notifications, seen by listeners the engine
// registers through Korvanta::MidiTransportNotifier.
#include <string>
#include <vector>

#include "BridgeFixture.h"

namespace {

using namespace bridge_test;
using Log = std::vector<std::string>;

class BridgeTransport : public BridgeFixture {
protected:
    void SetUp() override
    {
        BridgeFixture::SetUp();
        open();
        host.answerTime(&time);
        ASSERT_NE(notifier(), nullptr);
        notifier()->addListener(&listener);
    }

    void TearDown() override
    {
        if (instance && notifier() != nullptr)
            notifier()->removeListener(&listener);
        BridgeFixture::TearDown();
    }

    void at(double samplePos, double ppqPos, int32_t flags)
    {
        time.samplePos = samplePos;
        time.ppqPos = ppqPos;
        time.flags = flags | kVstPpqPosValid;
        block();
    }

    VstTimeInfo time = {};
    Log log;
    RecordingListener listener{log, "L"};
};

TEST_F(BridgeTransport, ChangedFlagStartsOnceAndStopsWithTheTruncatedTick)
{
    at(0.0, 1.999, kVstTransportChanged | kVstTransportPlaying);
    at(512.0, 2.0, kVstTransportChanged | kVstTransportPlaying);  // still playing: no second start
    at(1024.0, 3.5, kVstTransportChanged);
    at(1024.0, 3.5, kVstTransportChanged);
    EXPECT_EQ(log, (Log{"L start 959", "L stop 1680"}));
}

TEST_F(BridgeTransport, WithoutTheChangedFlagTheSamplePositionDecides)
{
    at(0.0, 0.0, 0);  // standing at 0, where the cleared record stood
    EXPECT_TRUE(log.empty());
    at(256.0, 0.25, 0);  // moving: start, whatever the playing flag says
    at(512.0, 0.5, 0);
    at(512.0, 0.5, kVstTransportPlaying);  // standing while playing: nothing
    EXPECT_EQ(log, (Log{"L start 120"}));
    at(512.0, 0.5, 0);  // standing and not playing: stop
    EXPECT_EQ(log, (Log{"L start 120", "L stop 240"}));
}

TEST_F(BridgeTransport, CycleIsAnnouncedBeforeTheEndAndAfterAJumpBack)
{
    const int32_t cycle = kVstTransportCycleActive | kVstCyclePosValid | kVstTransportPlaying;
    time.cycleStartPos = 4.0;
    time.cycleEndPos = 8.0;
    at(0.0, 2.0, kVstTransportChanged | cycle);
    at(100.0, 5.0, cycle);   // one more step of 3.0 reaches 8.0 exactly: strict, nothing
    at(200.0, 6.5, cycle);   // 6.5 + 1.5 = 8.0: nothing
    at(300.0, 7.25, cycle);  // 7.25 + 0.75 = 8.0: nothing
    at(400.0, 7.9, cycle);   // 7.9 + 0.65 > 8.0: announced
    at(500.0, 4.1, cycle);   // went backwards: announced
    EXPECT_EQ(log, (Log{"L start 960", "L cycle 1920 3840", "L cycle 1920 3840"}));

    log.clear();
    at(600.0, 3.0, kVstTransportPlaying | kVstCyclePosValid);         // cycle not active
    at(700.0, 2.0, kVstTransportPlaying | kVstTransportCycleActive);  // positions not valid
    EXPECT_TRUE(log.empty());
}

TEST_F(BridgeTransport, NoCycleWhileTheTransportIsStopped)
{
    time.cycleStartPos = 0.0;
    time.cycleEndPos = 4.0;
    at(100.0, 3.0, kVstTransportChanged | kVstTransportCycleActive | kVstCyclePosValid);
    at(100.0, 1.0, kVstTransportChanged | kVstTransportCycleActive | kVstCyclePosValid);
    EXPECT_TRUE(log.empty());
}

TEST_F(BridgeTransport, ListenersHearInRegistrationOrderOncePerRegistration)
{
    Log shared;
    RecordingListener a(shared, "A"), b(shared, "B");
    notifier()->removeListener(&listener);
    notifier()->addListener(&a);
    notifier()->addListener(&b);
    notifier()->addListener(&a);
    at(0.0, 1.0, kVstTransportChanged | kVstTransportPlaying);
    EXPECT_EQ(shared, (Log{"A start 480", "B start 480", "A start 480"}));

    shared.clear();
    notifier()->removeListener(&a);         // the most recent registration goes
    notifier()->removeListener(&listener);  // not registered: nothing changes
    at(0.0, 2.0, kVstTransportChanged);
    EXPECT_EQ(shared, (Log{"A stop 960", "B stop 960"}));

    notifier()->removeListener(&a);
    notifier()->removeListener(&b);
    notifier()->addListener(&listener);
}

// A listener that changes the registrations while it is being notified.
class MeddlingListener : public Korvanta::MidiTransportListener {
public:
    MeddlingListener(Korvanta::MidiTransportNotifier* notifier, Korvanta::MidiTransportListener* extra, Log& log)
        : notifier(notifier), extra(extra), log(log)
    {
    }
    void onTransportStart(int32_t) override
    {
        log.push_back("meddler start");
        notifier->addListener(extra);  // may move the array
        notifier->removeListener(this);
    }
    void onTransportStop(int32_t) override { log.push_back("meddler stop"); }
    void onCycle(int32_t, int32_t) override {}

private:
    Korvanta::MidiTransportNotifier* notifier;
    Korvanta::MidiTransportListener* extra;
    Log& log;
};

TEST_F(BridgeTransport, ListenersMayRegisterAndLeaveFromInsideANotification)
{
    RecordingListener extra(log, "extra");
    MeddlingListener meddler(notifier(), &extra, log);
    notifier()->removeListener(&listener);
    notifier()->addListener(&meddler);
    notifier()->addListener(&listener);
    at(0.0, 1.0, kVstTransportChanged | kVstTransportPlaying);
    // The walk re-reads the array: the meddler's removal shifted L into the
    // slot already visited, and the listener added meanwhile is reached.
    EXPECT_EQ(log, (Log{"meddler start", "extra start 480"}));

    log.clear();
    at(0.0, 1.0, kVstTransportChanged);
    EXPECT_EQ(log, (Log{"L stop 480", "extra stop 480"}));
    notifier()->removeListener(&extra);
}

TEST_F(BridgeTransport, GettersReportTheStoredRecordAndDefaultsFillTheGaps)
{
    Korvanta::MidiContext* midi = context();
    Korvanta::MidiTransportNotifier* transport = notifier();
    ASSERT_NE(midi, nullptr);
    // Before any time information everything but the resolution is zero.
    EXPECT_EQ(midi->getTicksPerQuarter(), 480);
    EXPECT_EQ(midi->getTempo(), 0.0);
    EXPECT_EQ(midi->getTimeSigNumerator(), 0);
    EXPECT_EQ(midi->getTimeSigDenominator(), 0);
    EXPECT_EQ(transport->isPlaying(), 0);
    EXPECT_EQ(transport->getPpqPosition(), 0.0);

    // A host that gives neither tempo nor signature, nor a musical position.
    time.samplePos = 88200.0;
    time.sampleRate = 44100.0;
    time.ppqPos = 123.0;  // not valid: derived from the sample position instead
    time.cycleStartPos = 1.5;
    time.cycleEndPos = 9.25;
    time.timeSigNumerator = 7;
    time.flags = kVstTransportChanged | kVstTransportPlaying | kVstTransportCycleActive;
    block();
    EXPECT_EQ(midi->getTempo(), 120.0);
    EXPECT_EQ(midi->getTimeSigNumerator(), 4);
    EXPECT_EQ(midi->getTimeSigDenominator(), 4);
    EXPECT_EQ(transport->getPpqPosition(), 4.0);  // 2 s at 120 bpm
    EXPECT_EQ(transport->getSamplePosition(), 88200.0);
    EXPECT_EQ(transport->isPlaying(), 1);
    EXPECT_EQ(transport->isCycleActive(), 1);
    EXPECT_EQ(transport->getCycleStart(), 1.5);
    EXPECT_EQ(transport->getCycleEnd(), 9.25);
    EXPECT_EQ(log, (Log{"L start 1920"}));

    // Given values are kept as they are.
    time.tempo = 90.0;
    time.timeSigNumerator = 6;
    time.timeSigDenominator = 8;
    time.flags = kVstTempoValid | kVstTimeSigValid | kVstTransportPlaying;
    block();
    EXPECT_EQ(midi->getTempo(), 90.0);
    EXPECT_EQ(midi->getTimeSigNumerator(), 6);
    EXPECT_EQ(midi->getTimeSigDenominator(), 8);
    EXPECT_EQ(transport->getPpqPosition(), 3.0);  // 2 s at 90 bpm
    EXPECT_EQ(transport->isCycleActive(), 0);
}

TEST_F(BridgeTransport, AMissingTimeAnswerKeepsTheValuesAndNotifiesNobody)
{
    at(4410.0, 2.0, kVstTransportChanged | kVstTransportPlaying | kVstTempoValid);
    ASSERT_EQ(log, (Log{"L start 960"}));
    host.answerTime(nullptr);
    block();
    block();
    EXPECT_EQ(notifier()->getPpqPosition(), 2.0);
    EXPECT_EQ(notifier()->isPlaying(), 1);
    EXPECT_EQ(log, (Log{"L start 960"}));
}

TEST_F(BridgeTransport, HostilePositionsAreHeldAtTheTickRange)
{
    at(0.0, 1e12, kVstTransportChanged | kVstTransportPlaying);
    at(0.0, -1e12, kVstTransportChanged);
    EXPECT_EQ(log, (Log{"L start 2147483647", "L stop -2147483648"}));
}

}  // namespace
