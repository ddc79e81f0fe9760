// Programs are bare numbers the plug-in names itself: "Prg <number>".
#pragma once

#include <cstdint>

#include "bridge/VelmorantConstants.h"

namespace bridge {

constexpr int32_t programCount = velmorantProgramCount;

// Writes the name into the host's 24-byte buffer and answers true; a number
// outside 0 to 511 (or no buffer) answers false and leaves the buffer untouched.
bool writeProgramName(int32_t index, char* text);

}  // namespace bridge
