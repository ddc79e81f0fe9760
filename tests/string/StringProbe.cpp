// A separately linked module that hands out strings allocated on its own
// count of heap requests, so tests can see which module frees a block.
#include "SharedString.h"

#include <windows.h>

#include <cstdlib>
#include <new>

namespace {
volatile LONG liveAllocations = 0;
}

void* operator new(size_t size)
{
    void* memory = std::malloc(size != 0 ? size : 1);
    if (memory == nullptr)
        throw std::bad_alloc();
    InterlockedIncrement(&liveAllocations);
    return memory;
}

void operator delete(void* memory) noexcept
{
    if (memory == nullptr)
        return;
    InterlockedDecrement(&liveAllocations);
    std::free(memory);
}

void operator delete(void* memory, size_t) noexcept
{
    operator delete(memory);
}

extern "C" __declspec(dllexport) void probeAssignText(Korvanta::SharedString* target, const char* text)
{
    *target = Korvanta::SharedString(text);
}

extern "C" __declspec(dllexport) int probeLiveAllocations()
{
    return liveAllocations;
}
