// The stream interfaces over an IStreamBuffer. Reading and writing share the
// buffer's one position. The stream holds no reference: whoever created the
// buffer keeps it alive while the stream is used.
#pragma once

#include <cstdint>

#include "IStreamBuffer.h"
#include "RandomAccessStreams.h"

namespace Korvanta {

class MemoryStream : public InputRandomAccessStream, public OutputRandomAccessStream {
public:
    explicit MemoryStream(IStreamBuffer* buffer) : buffer(buffer) {}
    ~MemoryStream() = default;

    bool atEnd() override;
    int32_t readRaw(void* destination, int32_t count) override;    // throws code 2 past the end
    int32_t writeRaw(const void* source, int32_t count) override;  // throws code 0 or 1 when it cannot grow
    uint32_t seek(int32_t offset, int32_t origin) override;
    uint32_t truncate() override;

private:
    IStreamBuffer* buffer;
};

}  // namespace Korvanta
