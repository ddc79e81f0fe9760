// The host's musical position in ticks of 480 per quarter note.
#pragma once

#include <cstdint>

namespace Korvanta {

// Musical time handed to engines counts this many ticks per quarter note.
constexpr int32_t ticksPerQuarterNote = 480;

class MidiContext {
public:
    virtual int32_t getTicksPerQuarter() = 0;                                                        // 1: 480
    virtual double getTempo() = 0;                                                                   // 2
    virtual int32_t barBeatTickToTicks(int32_t bar, int32_t beat, int32_t tick) = 0;                 // 3
    virtual void ticksToBarBeatTick(int32_t ticks, int32_t* bar, int32_t* beat, int32_t* tick) = 0;  // 4
    virtual int32_t getTimeSigNumerator() = 0;                                                       // 5
    virtual int32_t getTimeSigDenominator() = 0;                                                     // 6

protected:
    ~MidiContext() = default;
};

}  // namespace Korvanta
