// Korvanta::MidiContext: musical time in ticks of 480 per quarter note.
//
// Before the first time information, or from a host that reports one, a
// numerator or denominator of 0 or less would divide by zero; 4 stands in for
// it. The arithmetic runs in 64 bits so that hostile signatures or positions
// cannot overflow before the result is cut back to 32 bits.
#include "shell/Velmorant.h"

namespace {

constexpr int64_t wholeNoteTicks = 1920;

int64_t usable(int32_t timeSigPart)
{
    return timeSigPart > 0 ? timeSigPart : 4;
}

}  // namespace

int32_t Velmorant::getTicksPerQuarter()
{
    return 480;
}

double Velmorant::getTempo()
{
    return currentTime.tempo;
}

int32_t Velmorant::getTimeSigNumerator()
{
    return currentTime.timeSigNumerator;
}

int32_t Velmorant::getTimeSigDenominator()
{
    return currentTime.timeSigDenominator;
}

int32_t Velmorant::barBeatTickToTicks(int32_t bar, int32_t beat, int32_t tick)
{
    int64_t beats = int64_t{beat} - 1;
    if (bar != 1)
        beats += (int64_t{bar} - 1) * usable(getTimeSigNumerator());
    const int64_t denominator = usable(getTimeSigDenominator());
    // beats * 1920 / denominator, split so that no product leaves 64 bits
    // (extreme bars times a huge numerator would): whole beats of the
    // denominator, then the rest. The sum is cut to 32 bits by unsigned,
    // wrapping arithmetic, the same value the plain sum gives when it fits.
    const int64_t whole = beats / denominator;
    const int64_t part = beats % denominator * wholeNoteTicks / denominator;
    const uint64_t sum = static_cast<uint64_t>(int64_t{tick}) + static_cast<uint64_t>(whole) * wholeNoteTicks +
                         static_cast<uint64_t>(part);
    return static_cast<int32_t>(static_cast<uint32_t>(sum));
}

void Velmorant::ticksToBarBeatTick(int32_t ticks, int32_t* bar, int32_t* beat, int32_t* tick)
{
    int64_t numerator = usable(getTimeSigNumerator());
    int64_t denominator = usable(getTimeSigDenominator());
    int64_t barTicks = numerator * wholeNoteTicks / denominator;
    if (barTicks <= 0) {
        // A denominator so large that a bar has no whole tick: count in 4/4.
        numerator = 4;
        denominator = 4;
        barTicks = wholeNoteTicks;
    }
    int64_t dividend = ticks;
    if (dividend < 0)
        dividend -= barTicks - 1;  // rounds the bar toward minus infinity
    const int64_t barIndex = dividend / barTicks;
    const int64_t rest = ticks - barIndex * barTicks;
    const int64_t beatIndex = rest * denominator / wholeNoteTicks;
    const int64_t tickInBeat = rest - beatIndex * wholeNoteTicks / denominator;
    if (bar != nullptr)
        *bar = static_cast<int32_t>(barIndex + 1);
    if (beat != nullptr)
        *beat = static_cast<int32_t>(beatIndex + 1);
    if (tick != nullptr)
        *tick = static_cast<int32_t>(tickInBeat);
}
