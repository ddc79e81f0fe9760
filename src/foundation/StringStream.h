// A stream over a caller's byte string: reads from the position, and a write
// replaces everything after the position. No seek.
#pragma once

#include <cstdint>
#include <string>

#include "Stream.h"

namespace Korvanta {

class stringStream : public Stream {
public:
    // target stays the caller's and must outlive the stream; its existing
    // bytes are readable from the start. growthStep is the spare room
    // reserved beyond the need whenever the string must grow.
    stringStream(std::string& target, uint32_t growthStep);
    ~stringStream() = default;

    bool atEnd() override;  // true once every byte has been read
    int32_t readRaw(void* destination, int32_t count) override;
    int32_t writeRaw(const void* source, int32_t count) override;

protected:
    uint32_t growthStep;
    std::string* target;
    uint32_t position;
};

}  // namespace Korvanta
