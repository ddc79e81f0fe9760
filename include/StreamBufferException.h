// Raised by StreamBuffer: 0 the block cannot be resized (borrowed), 1 the
// allocator gave no block, 2 a read asked for more bytes than remain.
#pragma once

#include <cstddef>
#include <cstdint>

#include "Exception.h"

namespace Korvanta {

class StreamBuffer;

class StreamBufferException : public Exception {
public:
    enum Code : int32_t { NoAllocator = 0, AllocationFailed = 1, ReadPastEnd = 2 };

    StreamBufferException(StreamBuffer* buffer, int32_t code) : buffer(buffer), code(code) {}
    ~StreamBufferException() override {}

    StreamBuffer* buffer;  // i686: 4, x86_64: 8
    int32_t code;          // i686: 8, x86_64: 16
};

// An engine reads the code of a caught exception at these offsets. The class is
// polymorphic, hence not standard-layout; GCC still computes offsetof exactly.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Winvalid-offsetof"
static_assert(offsetof(StreamBufferException, buffer) == sizeof(void*),
              "StreamBufferException::buffer follows the table pointer");
static_assert(offsetof(StreamBufferException, code) == 2 * sizeof(void*), "StreamBufferException::code follows buffer");
#pragma GCC diagnostic pop

}  // namespace Korvanta
