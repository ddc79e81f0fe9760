// Musical time in ticks of 480 per quarter note: the conversions the MIDI
// context offers the engine, and host positions in quarter notes to ticks.
#pragma once

#include <cstdint>

#include "MidiContext.h"

namespace bridge {

constexpr int32_t ticksPerQuarter = Korvanta::ticksPerQuarterNote;

// Quarter notes to ticks, truncated toward zero; held at the ends of the
// 32-bit range, 0 for not a number.
int32_t quartersToTicks(double quarters);

// Bars and beats count from 1. A numerator or denominator of 0 or less (no
// time information yet, or a hostile host) counts as 4.
int32_t barBeatTickToTicks(int32_t numerator, int32_t denominator, int32_t bar, int32_t beat, int32_t tick);

// Writes through each pointer that is not null; bars round toward minus
// infinity, so negative ticks land in bar 0 and below.
void ticksToBarBeatTick(int32_t numerator, int32_t denominator, int32_t ticks, int32_t* bar, int32_t* beat,
                        int32_t* tick);

}  // namespace bridge
