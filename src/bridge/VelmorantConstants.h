// Facts of the Velmorant instance that the shell and the bridge share.
#pragma once

#include <cstdint>

namespace bridge {

// The programs the host sees: the effect record's program count and the range
// of program numbers that get a name.
constexpr int32_t velmorantProgramCount = 512;

}  // namespace bridge
