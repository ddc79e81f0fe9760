// Bytes behind a memory stream: a block the buffer grows itself, or a
// borrowed block it can read and overwrite but never grow.
#pragma once

#include <cstdint>

#include "IRefCounter.h"

namespace Korvanta {

class Allocator;

class IStreamBuffer : public IRefCounter {
public:
    virtual uint32_t read(void* destination, uint32_t count) = 0;
    virtual uint32_t write(const void* source, uint32_t count) = 0;
    virtual uint32_t seek(int32_t offset, int32_t origin) = 0;
    virtual uint8_t* data() = 0;
    virtual uint32_t size() = 0;
    virtual Allocator* detach(uint8_t** block, uint32_t* size) = 0;
    virtual uint32_t truncate() = 0;

protected:
    ~IStreamBuffer() = default;
};

}  // namespace Korvanta
