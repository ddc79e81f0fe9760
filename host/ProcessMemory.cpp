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

namespace {

// A live process always has private memory and handles, and a window counts
// as objects; Wine keeps none of these counters and answers 0, which would
// read as a measurement.
std::string counted(const char* what, uint64_t value, const char* unit = "")
{
    char text[64];
    if (value == 0)
        std::snprintf(text, sizeof text, "%s not reported", what);
    else
        std::snprintf(text, sizeof text, "%s %llu%s", what, static_cast<unsigned long long>(value), unit);
    return text;
}

}  // namespace

std::string ProcessMemory::describe() const
{
    char text[128];
    std::snprintf(text, sizeof text, "working set %llu KiB, heap %llu bytes in %llu blocks",
                  static_cast<unsigned long long>(workingSetBytes / 1024),
                  static_cast<unsigned long long>(heapBytesInUse), static_cast<unsigned long long>(heapBlocksInUse));
    return counted("private", privateBytes / 1024, " KiB") + ", " + text + ", " + counted("handles", handles) + ", " +
           counted("window objects", userObjects) + ", " + counted("GDI objects", gdiObjects);
}

}  // namespace host
