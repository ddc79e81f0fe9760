// The streams lent to an engine's saveState and loadState: bytes in memory,
// with the plug-in's behaviour at the end of a short state (a read past the
// end throws Korvanta::StreamBufferException, code ReadPastEnd).
#pragma once

#include <cstdint>
#include <vector>

#include "InputStream.h"
#include "OutputStream.h"

namespace validator {

class ByteOutput final : public Korvanta::OutputStream {
public:
    int32_t writeRaw(const void* source, int32_t count) override;
    std::vector<uint8_t> bytes;
};

class ByteInput final : public Korvanta::InputStream {
public:
    explicit ByteInput(const std::vector<uint8_t>& bytes) : bytes(bytes) {}
    bool atEnd() override { return position >= bytes.size(); }
    int32_t readRaw(void* destination, int32_t count) override;

private:
    const std::vector<uint8_t>& bytes;
    size_t position = 0;
};

}  // namespace validator
