// Where the kernel cannot run 32-bit programs, 32-bit Wine runs under qemu's
// user-mode emulation: every program start costs about a minute and every
// call far more than natively. scripts/wine-run sets VELMORANT_EMULATED for
// such runs (and leaves out the cases in tests/emulated.filter), so that the
// long-running tests do less there, and only there.
#pragma once

#include <cstdlib>

namespace velmorant_test {

inline bool emulated()
{
    const char* value = std::getenv("VELMORANT_EMULATED");
    return value != nullptr && *value != '\0' && *value != '0';
}

}  // namespace velmorant_test
