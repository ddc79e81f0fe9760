// What the host process holds at one moment: committed private memory, the
// bytes in use on every heap, and its kernel, window and GDI handles. A soak
// compares two of these to see whether the plug-in leaks.
#pragma once

#include <cstdint>
#include <string>

namespace host {

struct ProcessMemory {
    uint64_t privateBytes = 0;
    uint64_t workingSetBytes = 0;
    uint64_t heapBytesInUse = 0;  // busy blocks on all process heaps
    uint64_t heapBlocksInUse = 0;
    uint32_t handles = 0;
    uint32_t userObjects = 0;
    uint32_t gdiObjects = 0;

    static ProcessMemory sample();
    // One line: "private 1234 KiB, working set ..., heap 56 bytes in 78 blocks, ...";
    // a counter the platform leaves at 0 reads "not reported".
    std::string describe() const;
};

}  // namespace host
