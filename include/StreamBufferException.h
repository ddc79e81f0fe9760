// Raised by StreamBuffer: 0 the block cannot be resized (borrowed), 1 the
// allocator gave no block, 2 a read asked for more bytes than remain.
#pragma once

#include <cstdint>

#include "Exception.h"

namespace Korvanta {

class StreamBuffer;

class StreamBufferException : public Exception {
public:
    enum Code : int32_t { NoAllocator = 0, AllocationFailed = 1, ReadPastEnd = 2 };

    StreamBufferException(StreamBuffer* buffer, int32_t code) : buffer(buffer), code(code) {}
    ~StreamBufferException() override {}

    StreamBuffer* buffer;
    int32_t code;
};

}  // namespace Korvanta
