// The bytes in use on every heap of the process, walked block by block: a
// leak shows as growth between two censuses taken at the same point of
// repeated identical work.
#pragma once

#include <cstddef>

#include <windows.h>

namespace hostile_test {

struct HeapCensus {
    size_t bytes = 0;
    size_t blocks = 0;
    bool walked = false;  // false when no heap could be walked
};

inline HeapCensus takeHeapCensus()
{
    HeapCensus census;
    HANDLE heaps[256];
    const DWORD count = GetProcessHeaps(256, heaps);
    for (DWORD h = 0; h < count && h < 256; ++h) {
        if (!HeapLock(heaps[h]))
            continue;
        PROCESS_HEAP_ENTRY entry{};
        while (HeapWalk(heaps[h], &entry)) {
            if ((entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) != 0) {
                census.bytes += entry.cbData;
                ++census.blocks;
                census.walked = true;
            }
        }
        HeapUnlock(heaps[h]);
    }
    return census;
}

}  // namespace hostile_test
