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

// Under Wine's heap checking (WINEDEBUG=+heap) a freed block waits in a
// queue of up to 1024 per heap before it is really freed, and a heap walk
// still counts it as in use. Freeing more small blocks than the queue holds
// pushes everything freed before out, so that only live blocks are counted
// beyond the same few kilobytes each time.
inline void settleDelayedFrees(HANDLE heap)
{
    for (int n = 0; n < 1100; ++n) {
        if (void* block = HeapAlloc(heap, 0, 16))
            HeapFree(heap, 0, block);
    }
}

inline HeapCensus takeHeapCensus()
{
    HeapCensus census;
    HANDLE heaps[256];
    const DWORD count = GetProcessHeaps(256, heaps);
    for (DWORD h = 0; h < count && h < 256; ++h)
        settleDelayedFrees(heaps[h]);
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
