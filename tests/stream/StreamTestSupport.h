// Helpers shared by the stream test files.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "Allocator.h"
#include "stream/StreamBuffer.h"

namespace streamtest {

using Bytes = std::vector<uint8_t>;

inline Bytes contents(Korvanta::StreamBuffer& buffer)
{
    const uint8_t* data = buffer.data();
    return data ? Bytes(data, data + buffer.size()) : Bytes();
}

// A heap allocator that counts what the buffer asks of it. It lives on the
// test's stack, so release never destroys it.
class CountingAllocator : public Korvanta::Allocator {
public:
    ~CountingAllocator()
    {
        for (void* block : live) {
            std::free(block);
        }
    }

    int32_t addRef() override { return ++references; }
    int32_t release() override { return --references; }
    void* allocate(uint32_t size) override
    {
        void* block = std::malloc(size ? size : 1);
        live.insert(block);
        return block;
    }
    void* reallocate(void* block, uint32_t size) override
    {
        if (size > refuseAbove) {
            return nullptr;
        }
        ++reallocations;
        void* moved = std::realloc(block, size ? size : 1);
        if (moved) {
            live.erase(block);
            live.insert(moved);
        }
        return moved;
    }
    void deallocate(void* block) override
    {
        if (block) {
            live.erase(block);
            std::free(block);
        }
    }

    int32_t references = 1;
    int32_t reallocations = 0;
    uint32_t refuseAbove = UINT32_MAX;
    std::set<void*> live;
};

}  // namespace streamtest
