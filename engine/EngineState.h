// The engine's saved state: "VLMT", a format version, the parameter count,
// the normalised values and a checksum over all of it. A state is applied
// only when every part of it has been read and checked.
#pragma once

#include <cstdint>

#include "InputStream.h"
#include "OutputStream.h"
#include "Parameters.h"

namespace engine {

constexpr uint32_t stateMagic = 0x544D4C56;  // the bytes V L M T
constexpr uint32_t stateVersion = 1;

// Writes through the stream's typed operations; lets the stream's
// exceptions pass (the plug-in catches them and keeps what was written).
void writeState(Korvanta::OutputStream& stream, const ParameterSet& parameters);

// Reads a complete state into `values`; false for a short, foreign, damaged
// or newer state, in which case `values` must not be used. Never throws.
// Parameters a shorter state of this version lacks get their defaults.
bool readState(Korvanta::InputStream& stream, float (&values)[ParameterCount]);

}  // namespace engine
