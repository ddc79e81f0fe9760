// Positioning shared by the reading and writing sides of a stream.
#pragma once

#include <cstdint>

namespace Korvanta {

class RandomAccess {
public:
    enum Origin : int32_t { FromStart = 0, FromCurrent = 1, FromEnd = 2 };

    virtual uint32_t seek(int32_t offset, int32_t origin) = 0;  // 1: the new position
    virtual uint32_t tell();                                    // 2: seek(0, FromCurrent)
    virtual bool skip(int32_t count);                           // 3
    virtual uint32_t truncate() = 0;                            // 4: the resulting size

protected:
    ~RandomAccess() = default;
};

static_assert(sizeof(RandomAccess) == sizeof(void*), "RandomAccess is one table pointer");

}  // namespace Korvanta
