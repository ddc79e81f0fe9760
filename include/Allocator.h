// Memory behind growable stream buffers; reference-counted like them.
#pragma once

#include <cstdint>

#include "IRefCounter.h"

namespace Korvanta {

class Allocator : public IRefCounter {
public:
    // Slots 1 and 2 are addRef and release.
    virtual void* allocate(uint32_t size) = 0;                 // 3: null on failure
    virtual void* reallocate(void* block, uint32_t size) = 0;  // 4: null on failure, old block intact
    virtual void deallocate(void* block) = 0;                  // 5

protected:
    ~Allocator() = default;
};

static_assert(sizeof(Allocator) == sizeof(void*), "Allocator is one table pointer");

}  // namespace Korvanta
