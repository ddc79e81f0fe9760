// Memory behind growable stream buffers; reference-counted like them.
#pragma once

#include <cstdint>

#include "IRefCounter.h"

namespace Korvanta {

class Allocator : public IRefCounter {
public:
    virtual void* allocate(uint32_t size) = 0;                  // null on failure
    virtual void* reallocate(void* block, uint32_t size) = 0;   // null on failure, old block intact
    virtual void deallocate(void* block) = 0;

protected:
    ~Allocator() = default;
};

}  // namespace Korvanta
