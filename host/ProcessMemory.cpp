#include "ProcessMemory.h"

#define PSAPI_VERSION 2  // GetProcessMemoryInfo from kernel32, no psapi.dll
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <vector>

namespace host {

ProcessMemory ProcessMemory::sample()
{
    ProcessMemory memory;
    HANDLE self = GetCurrentProcess();
    PROCESS_MEMORY_COUNTERS_EX counters = {};
    counters.cb = sizeof counters;
    if (GetProcessMemoryInfo(self, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters), sizeof counters)) {
        memory.privateBytes = counters.PrivateUsage;
        memory.workingSetBytes = counters.WorkingSetSize;
    }
    DWORD handles = 0;
    if (GetProcessHandleCount(self, &handles)) {
        memory.handles = handles;
    }
    memory.userObjects = GetGuiResources(self, GR_USEROBJECTS);
    memory.gdiObjects = GetGuiResources(self, GR_GDIOBJECTS);

    // Heaps can be created between the two calls; ask again with room to spare.
    std::vector<HANDLE> heaps(16);
    DWORD count = GetProcessHeaps(static_cast<DWORD>(heaps.size()), heaps.data());
    while (count > heaps.size()) {
        heaps.resize(count + 8);
        count = GetProcessHeaps(static_cast<DWORD>(heaps.size()), heaps.data());
    }
    heaps.resize(count);
    for (HANDLE heap : heaps) {
        if (!HeapLock(heap)) {
            continue;
        }
        PROCESS_HEAP_ENTRY entry = {};
        while (HeapWalk(heap, &entry)) {
            if ((entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) != 0) {
                memory.heapBytesInUse += entry.cbData;
                ++memory.heapBlocksInUse;
            }
        }
        HeapUnlock(heap);
    }
    return memory;
}

std::string ProcessMemory::describe() const
{
    char text[256];
    std::snprintf(text, sizeof text,
                  "private %llu KiB, working set %llu KiB, heap %llu bytes in %llu blocks, %u handles, "
                  "%u window objects, %u GDI objects",
                  static_cast<unsigned long long>(privateBytes / 1024),
                  static_cast<unsigned long long>(workingSetBytes / 1024),
                  static_cast<unsigned long long>(heapBytesInUse), static_cast<unsigned long long>(heapBlocksInUse),
                  handles, userObjects, gdiObjects);
    return text;
}

}  // namespace host
