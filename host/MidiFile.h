// Standard MIDI Files, formats 0 and 1: read into a MidiSequence. Every
// length and count in the file is checked against the bytes really there.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "MidiSequence.h"

namespace host {

// False with a readable reason in `error` for a file that is not a
// Standard MIDI File of format 0 or 1, or is damaged.
bool parseMidiFile(const std::vector<uint8_t>& bytes, MidiSequence& sequence, std::string& error);

}  // namespace host
