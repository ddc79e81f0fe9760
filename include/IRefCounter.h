// Reference counting by interlocked increment and decrement; the object
// destroys itself when release brings the count to 0.
#pragma once

#include <cstdint>

namespace Korvanta {

class IRefCounter {
public:
    virtual int32_t addRef() = 0;   // 1: the new count
    virtual int32_t release() = 0;  // 2: the new count; at 0 the object is gone

protected:
    ~IRefCounter() = default;
};

static_assert(sizeof(IRefCounter) == sizeof(void*), "IRefCounter is one table pointer");

}  // namespace Korvanta
