// Restores damaged copies of a real saved state through "effSetChunk": bit
// flips, cuts, extensions, 32-bit words (counts, lengths) set huge or
// negative, and bytes of no format at all. Each restore must answer 1, raise
// nothing, write nothing into the host's bytes and leave the instrument
// rendering; the state must stay as the last good chunk left it; and the good
// chunk, restored again, must render the same samples bit for bit.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "vst/VstAbi.h"

namespace hostile_test {

struct GarbageOutcome {
    bool passed = false;
    int64_t mutations = 0;       // restores of damaged chunks made
    std::string failure;         // with the seed and mutation that found it
    std::vector<uint8_t> state;  // the good chunk the run started from
    std::vector<float> phrase;   // what the good chunk rendered
};

// Instantiates through `entry`, saves a state of distinct parameter values,
// then restores `mutations` damaged copies of it drawn from `seed`.
GarbageOutcome restoreGarbageChunks(VstPluginMainProc entry, uint64_t seed, int64_t mutations);

}  // namespace hostile_test
