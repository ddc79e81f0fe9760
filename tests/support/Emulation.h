// Where the kernel cannot run 32-bit programs, 32-bit Wine runs under qemu's
// user-mode emulation, which has limits of its own: an exception raised while
// a second thread lives, nested vectored handlers and some page-protection
// faults end the process. scripts/wine-run sets VELMORANT_EMULATED for such
// runs so that the tests that meet those limits step aside there, and only
// there; on a kernel that runs 32-bit Wine natively they all run.
#pragma once

#include <cstdlib>

namespace velmorant_test {

inline bool emulated()
{
    const char* value = std::getenv("VELMORANT_EMULATED");
    return value != nullptr && *value != '\0' && *value != '0';
}

}  // namespace velmorant_test
