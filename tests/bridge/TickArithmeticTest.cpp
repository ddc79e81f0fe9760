// Bar/beat/tick conversions at ordinary and hostile signatures.
#include <cstdint>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

#include "bridge/TickArithmetic.h"

namespace bridge_test {
namespace {

struct Position {
    int32_t bar, beat, tick;
};

Position position(int32_t numerator, int32_t denominator, int32_t ticks)
{
    Position p{-99, -99, -99};
    bridge::ticksToBarBeatTick(numerator, denominator, ticks, &p.bar, &p.beat, &p.tick);
    return p;
}

TEST(TickArithmetic, ConvertsBothWaysAtFourFourAndSixEight)
{
    EXPECT_EQ(bridge::barBeatTickToTicks(4, 4, 2, 1, 80), 2000);
    const Position p = position(4, 4, 2000);
    EXPECT_EQ((std::vector<int32_t>{p.bar, p.beat, p.tick}), (std::vector<int32_t>{2, 1, 80}));
    EXPECT_EQ(bridge::barBeatTickToTicks(6, 8, 2, 2, 0), 1440 + 240);
    const Position q = position(6, 8, 1440 + 240 + 7);
    EXPECT_EQ((std::vector<int32_t>{q.bar, q.beat, q.tick}), (std::vector<int32_t>{2, 2, 7}));
}

TEST(TickArithmetic, NegativeTicksRoundTheBarTowardMinusInfinity)
{
    const Position p = position(4, 4, -1);
    EXPECT_EQ((std::vector<int32_t>{p.bar, p.beat, p.tick}), (std::vector<int32_t>{0, 4, 479}));
    const Position q = position(4, 4, 0);
    EXPECT_EQ((std::vector<int32_t>{q.bar, q.beat, q.tick}), (std::vector<int32_t>{1, 1, 0}));
}

TEST(TickArithmetic, ZeroOrNegativeSignatureCountsAsFourAndNullPointersAreSkipped)
{
    EXPECT_EQ(bridge::barBeatTickToTicks(0, 0, 3, 1, 0), 3840);
    EXPECT_EQ(bridge::barBeatTickToTicks(-3, 4, 2, 1, 0), 1920);
    int32_t beat = -1;
    bridge::ticksToBarBeatTick(0, -8, 2400, nullptr, &beat, nullptr);
    EXPECT_EQ(beat, 2);
}

TEST(TickArithmetic, ExtremeValuesWrapToThirtyTwoBitsWithoutLeavingSixtyFour)
{
    // The plain 64-bit sum cut to 32 bits, also when numerator times bar is huge.
    const int64_t beats = int64_t{INT32_MAX - 1} * INT32_MAX;
    const uint64_t expected = static_cast<uint64_t>(beats / 4) * 1920u + static_cast<uint64_t>(beats % 4) * 480u;
    EXPECT_EQ(bridge::barBeatTickToTicks(INT32_MAX, 4, INT32_MAX, 1, 0),
              static_cast<int32_t>(static_cast<uint32_t>(expected)));
    // A denominator so large a bar has no whole tick falls back to 4/4.
    const Position p = position(1, INT32_MAX, 1920 + 480);
    EXPECT_EQ((std::vector<int32_t>{p.bar, p.beat, p.tick}), (std::vector<int32_t>{2, 2, 0}));
    const Position q = position(4, 4, INT32_MIN);
    EXPECT_LE(q.bar, 0);
    EXPECT_GE(q.tick, 0);
}

TEST(TickArithmetic, QuarterNotesBecomeTruncatedTicks)
{
    EXPECT_EQ(bridge::quartersToTicks(1.999), 959);
    EXPECT_EQ(bridge::quartersToTicks(-1.999), -959);
    EXPECT_EQ(bridge::quartersToTicks(std::numeric_limits<double>::quiet_NaN()), 0);
    EXPECT_EQ(bridge::quartersToTicks(std::numeric_limits<double>::infinity()), INT32_MAX);
    EXPECT_EQ(bridge::quartersToTicks(-std::numeric_limits<double>::infinity()), INT32_MIN);
}

}  // namespace
}  // namespace bridge_test
