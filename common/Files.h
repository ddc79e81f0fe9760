// Whole files between disk and memory, for the programs and the tests: one
// read and one write, and one limit on what a read takes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace common {

// Larger than any state, preset, MIDI file or picture these programs read: a
// path to something else entirely, refused rather than read.
constexpr uint64_t maxFileBytes = 256 * 1024 * 1024;

// The whole file into `bytes`; false when it cannot be opened or read in
// full, or holds more than maxFileBytes.
bool readFile(const std::string& path, std::vector<uint8_t>& bytes);

// Creates or replaces the file with `bytes`; false when it cannot be written in full.
bool writeFile(const std::string& path, const std::vector<uint8_t>& bytes);

}  // namespace common
