// The arithmetic runs in 64 bits so that hostile signatures or positions
// cannot overflow before the result is cut back to 32 bits.
#include "bridge/TickArithmetic.h"

#include <cmath>
#include <limits>

namespace bridge {

namespace {

constexpr int64_t wholeNoteTicks = 4 * ticksPerQuarter;

int64_t usable(int32_t timeSigPart)
{
    return timeSigPart > 0 ? timeSigPart : 4;
}

}  // namespace

int32_t quartersToTicks(double quarters)
{
    const double ticks = quarters * ticksPerQuarter;
    if (std::isnan(ticks))
        return 0;
    if (ticks >= static_cast<double>(std::numeric_limits<int32_t>::max()))
        return std::numeric_limits<int32_t>::max();
    if (ticks <= static_cast<double>(std::numeric_limits<int32_t>::min()))
        return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(ticks);
}

int32_t barBeatTickToTicks(int32_t numerator, int32_t denominator, int32_t bar, int32_t beat, int32_t tick)
{
    int64_t beats = int64_t{beat} - 1;
    if (bar != 1)
        beats += (int64_t{bar} - 1) * usable(numerator);
    const int64_t beatUnit = usable(denominator);
    // beats * 1920 / denominator, split so that no product leaves 64 bits
    // (extreme bars times a huge numerator would): whole beats of the
    // denominator, then the rest. The sum is cut to 32 bits by unsigned,
    // wrapping arithmetic, the same value the plain sum gives when it fits.
    const int64_t whole = beats / beatUnit;
    const int64_t part = beats % beatUnit * wholeNoteTicks / beatUnit;
    const uint64_t sum = static_cast<uint64_t>(int64_t{tick}) + static_cast<uint64_t>(whole) * wholeNoteTicks +
                         static_cast<uint64_t>(part);
    return static_cast<int32_t>(static_cast<uint32_t>(sum));
}

void ticksToBarBeatTick(int32_t numerator, int32_t denominator, int32_t ticks, int32_t* bar, int32_t* beat,
                        int32_t* tick)
{
    int64_t beatsPerBar = usable(numerator);
    int64_t beatUnit = usable(denominator);
    int64_t barTicks = beatsPerBar * wholeNoteTicks / beatUnit;
    if (barTicks <= 0) {
        // A denominator so large that a bar has no whole tick: count in 4/4.
        beatsPerBar = 4;
        beatUnit = 4;
        barTicks = wholeNoteTicks;
    }
    int64_t dividend = ticks;
    if (dividend < 0)
        dividend -= barTicks - 1;  // rounds the bar toward minus infinity
    const int64_t barIndex = dividend / barTicks;
    const int64_t rest = ticks - barIndex * barTicks;
    const int64_t beatIndex = rest * beatUnit / wholeNoteTicks;
    const int64_t tickInBeat = rest - beatIndex * wholeNoteTicks / beatUnit;
    if (bar != nullptr)
        *bar = static_cast<int32_t>(barIndex + 1);
    if (beat != nullptr)
        *beat = static_cast<int32_t>(beatIndex + 1);
    if (tick != nullptr)
        *tick = static_cast<int32_t>(tickInBeat);
}

}  // namespace bridge
