#include "stream/MemAllocator.h"

#include <cstdlib>

#include <windows.h>

namespace Korvanta {

int32_t MemAllocator::addRef()
{
    return InterlockedIncrement(&refCount);
}

int32_t MemAllocator::release()
{
    const int32_t count = InterlockedDecrement(&refCount);
    if (count == 0) {
        delete this;
    }
    return count;
}

void* MemAllocator::allocate(uint32_t size)
{
    return std::malloc(size);
}

void* MemAllocator::reallocate(void* block, uint32_t size)
{
    return std::realloc(block, size);
}

void MemAllocator::deallocate(void* block)
{
    std::free(block);
}

}  // namespace Korvanta
