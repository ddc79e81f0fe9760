// The transport tracker driven directly with a fake host: one request per
// block, defaults, start/stop/cycle detection and the listener walk.
#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "BridgeFixture.h"
#include "BridgePartsFakes.h"
#include "bridge/TransportTracker.h"

namespace bridge_test {
namespace {

class TransportTrackerTest : public ::testing::Test {
protected:
    TransportTrackerTest()
    {
        tracker.addListener(&first);
        tracker.addListener(&second);
    }

    // One block: the refresh, then the end of the audio entry.
    void block(int32_t flags, double ppq, double samplePos)
    {
        host.time.flags = flags;
        host.time.ppqPos = ppq;
        host.time.samplePos = samplePos;
        tracker.refresh(host);
        tracker.endBlock();
    }

    FakeBridgeHost host;
    bridge::TransportTracker tracker;
    std::vector<std::string> log;
    RecordingListener first{log, "A"};
    RecordingListener second{log, "B"};
};

TEST_F(TransportTrackerTest, AsksTheHostOncePerBlockWithTheFilterAndAgainAfterAnEmptyAnswer)
{
    tracker.refresh(host);
    tracker.refresh(host);
    EXPECT_EQ(host.timeRequests, 1);
    EXPECT_EQ(host.lastFilter, 0x3E00);
    tracker.endBlock();
    host.giveTime = false;
    tracker.refresh(host);
    tracker.refresh(host);
    EXPECT_EQ(host.timeRequests, 3);
}

TEST_F(TransportTrackerTest, MissingTempoAndSignatureDefaultToOneTwentyInFourFour)
{
    EXPECT_EQ(tracker.time().tempo, 0.0);
    host.time.tempo = 99.0;
    host.time.timeSigNumerator = 7;
    host.time.timeSigDenominator = 8;
    block(0, 0.0, 0.0);
    EXPECT_EQ(tracker.time().tempo, 120.0);
    EXPECT_EQ(tracker.time().timeSigNumerator, 4);
    EXPECT_EQ(tracker.time().timeSigDenominator, 4);
    block(kVstTempoValid | kVstTimeSigValid, 0.0, 0.0);
    EXPECT_EQ(tracker.time().tempo, 99.0);
    EXPECT_EQ(tracker.time().timeSigNumerator, 7);
    EXPECT_EQ(tracker.time().timeSigDenominator, 8);
}

TEST_F(TransportTrackerTest, AnEmptyAnswerKeepsTheValuesAndTellsNoListener)
{
    host.time.tempo = 90.0;
    block(kVstTempoValid | kVstTransportChanged | kVstTransportPlaying, 1.0, 100.0);
    host.giveTime = false;
    block(kVstTransportChanged, 2.0, 200.0);
    EXPECT_EQ(tracker.time().tempo, 90.0);
    EXPECT_EQ(tracker.time().ppqPos, 1.0);
    EXPECT_EQ(log, (std::vector<std::string>{"A start 480", "B start 480"}));
}

TEST_F(TransportTrackerTest, ChangedFlagStartsOnceAndStopsWithThePositionInTicks)
{
    block(kVstTransportChanged | kVstTransportPlaying | kVstPpqPosValid, 2.5, 0.0);
    block(kVstTransportChanged | kVstTransportPlaying | kVstPpqPosValid, 3.0, 0.0);
    block(kVstTransportChanged | kVstPpqPosValid, 4.0, 0.0);
    EXPECT_EQ(log, (std::vector<std::string>{"A start 1200", "B start 1200", "A stop 1920", "B stop 1920"}));
}

TEST_F(TransportTrackerTest, WithoutTheChangedFlagAMovingPositionStartsAndAStandingOneStops)
{
    block(kVstTransportPlaying, 0.0, 512.0);
    EXPECT_TRUE(tracker.running());
    block(kVstTransportPlaying, 0.0, 512.0);  // standing, still playing: nothing
    block(0, 0.0, 512.0);                     // standing, not playing: stop
    EXPECT_FALSE(tracker.running());
    block(0, 0.0, 512.0);
    EXPECT_EQ(log, (std::vector<std::string>{"A start 0", "B start 0", "A stop 0", "B stop 0"}));
}

TEST_F(TransportTrackerTest, NegativeZeroIsTheSamePositionAndNotANumberAlwaysMoves)
{
    block(0, 0.0, 0.0);
    block(0, 0.0, -0.0);
    EXPECT_TRUE(log.empty());
    const double nan = std::numeric_limits<double>::quiet_NaN();
    block(kVstPpqPosValid, nan, nan);
    block(kVstTransportChanged | kVstPpqPosValid, nan, nan);  // stopped, standing on the same NaN
    block(kVstPpqPosValid, nan, nan);                         // NaN differs from itself: a start
    EXPECT_EQ(log,
              (std::vector<std::string>{"A start 0", "B start 0", "A stop 0", "B stop 0", "A start 0", "B start 0"}));
}

TEST_F(TransportTrackerTest, PositionsBeyondTheTickRangeAreHeldAtItsEnds)
{
    block(kVstTransportChanged | kVstTransportPlaying | kVstPpqPosValid, 1e12, 0.0);
    block(kVstTransportChanged | kVstPpqPosValid, -1e12, 0.0);
    EXPECT_EQ(log[0], "A start 2147483647");
    EXPECT_EQ(log[2], "A stop -2147483648");
}

TEST_F(TransportTrackerTest, CycleIsAnnouncedBeforeTheEndAndOnAJumpBackOnlyWhileRunningWithCycleValid)
{
    host.time.cycleStartPos = 4.0;
    host.time.cycleEndPos = 8.0;
    const int32_t cycle = kVstTransportPlaying | kVstPpqPosValid | kVstTransportCycleActive | kVstCyclePosValid;
    block(cycle | kVstTransportChanged, 6.0, 0.0);  // start; 6 + (6 - 0) > 8: cycle too
    block(cycle, 7.0, 0.0);                         // 7 + 1 = 8 is not past the end
    block(cycle, 7.5, 0.0);                         // 7.5 + 0.5 = 8: not past either
    block(cycle, 7.8, 0.0);                         // 7.8 + 0.3 > 8
    block(cycle, 4.0, 0.0);                         // jumped back
    block(cycle & ~kVstCyclePosValid, 3.0, 0.0);    // jumped back, cycle not valid
    EXPECT_EQ(log, (std::vector<std::string>{"A start 2880", "B start 2880", "A cycle 1920 3840", "B cycle 1920 3840",
                                             "A cycle 1920 3840", "B cycle 1920 3840", "A cycle 1920 3840",
                                             "B cycle 1920 3840"}));
}

TEST_F(TransportTrackerTest, PlayingWithoutAValidPositionDerivesItFromSamplesAndTempo)
{
    host.time.sampleRate = 44100.0;
    block(kVstTransportPlaying | kVstTransportChanged, 99.0, 88200.0);  // 2 s at 120 bpm
    EXPECT_DOUBLE_EQ(tracker.time().ppqPos, 4.0);
    host.time.sampleRate = 0.0;
    block(kVstTransportPlaying, 99.0, 1000.0);  // no rate: the host's field stays
    EXPECT_EQ(tracker.time().ppqPos, 99.0);
}

TEST_F(TransportTrackerTest, ListenerRemovedOnceOfTwoRegistrationsStillHearsOnce)
{
    tracker.addListener(&first);
    tracker.removeListener(&first);
    tracker.removeListener(&second);
    tracker.removeListener(&second);  // not registered any more: nothing changes
    EXPECT_EQ(tracker.listenerCount(), 1u);
    block(kVstTransportChanged | kVstTransportPlaying, 0.0, 0.0);
    EXPECT_EQ(log, (std::vector<std::string>{"A start 0"}));
}

}  // namespace
}  // namespace bridge_test
