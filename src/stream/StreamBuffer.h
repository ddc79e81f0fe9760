// Bytes behind a memory stream: either a block grown through an allocator, or
// a borrowed block that can be read and overwritten but never grown or freed.
#pragma once

#include <cstdint>

#include "Allocator.h"
#include "IStreamBuffer.h"

namespace Korvanta {

class StreamBuffer : public IStreamBuffer {
public:
    // Growable: empty, with a MemAllocator of its own.
    StreamBuffer();
    // Growable over the caller's allocator, on a reference of its own.
    explicit StreamBuffer(Allocator* allocator);
    // Borrowed: views size bytes at block (0 when block is null); the memory stays the caller's.
    StreamBuffer(void* block, uint32_t size);
    StreamBuffer(const StreamBuffer&) = delete;
    StreamBuffer& operator=(const StreamBuffer&) = delete;

    int32_t addRef() override;
    int32_t release() override;  // destroys the buffer at 0
    uint32_t read(void* destination, uint32_t count) override;
    uint32_t write(const void* source, uint32_t count) override;
    uint32_t seek(int32_t offset, int32_t origin) override;
    uint8_t* data() override;
    uint32_t size() override;
    Allocator* detach(uint8_t** outBlock, uint32_t* outSize) override;
    uint32_t truncate() override;

    virtual ~StreamBuffer();
    // Gives the data exactly newSize bytes, the added ones uninitialised;
    // throws code 0 without an allocator and code 1 when the allocator has no
    // block of that size.
    virtual uint8_t* resize(uint32_t newSize);

private:
    // Makes room for end bytes, growing geometrically so that a long run of
    // small writes costs linear time; throws code 1 when no block is given.
    void reserve(uint32_t end);

    volatile long refCount;  // the LONG of the interlocked calls
    Allocator* allocator;    // owns block; null for a borrowed block
    uint8_t* block;          // null while a growable buffer is empty
    uint32_t blockSize;      // bytes of data: what size() answers and the chunk length
    uint32_t position;       // 0 <= position <= blockSize
    bool ownsAllocator;
    uint32_t capacity;  // bytes the block can hold; blockSize <= capacity
};

}  // namespace Korvanta
