// The heap allocator behind growable stream buffers.
#pragma once

#include <cstdint>

#include "Allocator.h"

namespace Korvanta {

class MemAllocator final : public Allocator {
public:
    MemAllocator() = default;
    MemAllocator(const MemAllocator&) = delete;
    MemAllocator& operator=(const MemAllocator&) = delete;

    int32_t addRef() override;
    int32_t release() override;  // frees the allocator itself at 0
    void* allocate(uint32_t size) override;
    void* reallocate(void* block, uint32_t size) override;
    void deallocate(void* block) override;

private:
    ~MemAllocator() = default;  // only release destroys it

    // The LONG of the interlocked calls: 32 bits on both Windows ABIs.
    volatile long refCount = 1;
};

static_assert(sizeof(long) == 4, "the interlocked count is 32 bits");

}  // namespace Korvanta
