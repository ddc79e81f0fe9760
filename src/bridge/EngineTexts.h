// Texts from the engine into the host's buffers, cut to the sizes the host
// provides (names go through Korvanta::copyText): parameter texts and output
// pin labels.
#pragma once

#include <cstddef>
#include <cstdint>

#include "vst/VstAbi.h"

namespace bridge {

// Host buffer sizes, terminator included.
constexpr size_t effectNameSize = kVstEffectNameSize;
constexpr size_t vendorStringSize = kVstVendorStringSize;
constexpr size_t productStringSize = kVstProductStringSize;
// The engine writes parameter texts into 9 bytes: 8 characters and the terminator.
constexpr int32_t parameterTextSize = kVstParameterTextSize;
constexpr int32_t outputPinCount = 2;

// An engine that fills all 9 bytes of a parameter text leaves the host a text
// without an end: the last byte becomes the terminator. A text that ends
// earlier stays exactly as the engine wrote it.
void endParameterText(char* text);

// Pins 0 and 1 are "<base> 1" and "<base> 2", active and stereo. Any other
// index and a null record answer false and leave the record alone.
bool describeOutputPin(int32_t index, const char* base, VstPinProperties* properties);

}  // namespace bridge
