// Bytes behind a memory stream: a block the buffer grows itself, or a
// borrowed block it can read and overwrite but never grow.
#pragma once

#include <cstdint>

#include "IRefCounter.h"

namespace Korvanta {

class Allocator;

class IStreamBuffer : public IRefCounter {
public:
    // Slots 1 and 2 are addRef and release.
    virtual uint32_t read(void* destination, uint32_t count) = 0;    // 3: count, or throws code 2
    virtual uint32_t write(const void* source, uint32_t count) = 0;  // 4: count, or throws code 0/1
    virtual uint32_t seek(int32_t offset, int32_t origin) = 0;       // 5: the new position
    virtual uint8_t* data() = 0;                                     // 6
    virtual uint32_t size() = 0;                                     // 7: bytes of data
    // 8: hands over the block and its size and empties the buffer; answers the
    // allocator (one reference, now the caller's) that must free the block, or
    // null for a borrowed block.
    virtual Allocator* detach(uint8_t** block, uint32_t* size) = 0;
    virtual uint32_t truncate() = 0;  // 9: ends the data at the position

protected:
    ~IStreamBuffer() = default;
};

static_assert(sizeof(IStreamBuffer) == sizeof(void*), "IStreamBuffer is one table pointer");

}  // namespace Korvanta
