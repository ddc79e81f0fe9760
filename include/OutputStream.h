// Binary output with the encoding of InputStream. The slot order is a binary
// contract with separately built engines.
#pragma once

#include <cstdint>

#include "SharedString.h"

namespace Korvanta {

class OutputStream {
public:
    virtual bool write(const SharedString& value);                                       // 1
    virtual bool write(int64_t value);                                                   // 2
    virtual bool write(int32_t value);                                                   // 3
    virtual bool write(int16_t value);                                                   // 4
    virtual bool write(int8_t value);                                                    // 5
    virtual bool write(double value);                                                    // 6
    virtual bool write(float value);                                                     // 7
    virtual bool write(uint64_t value);                                                  // 8
    virtual bool write(uint32_t value);                                                  // 9
    virtual bool write(uint16_t value);                                                  // 10
    virtual bool write(uint8_t value);                                                   // 11
    virtual int32_t writeRaw(const void* source, int32_t count) = 0;                     // 12
    virtual int32_t writeBlock(const void* source, int32_t elementSize, int32_t count);  // 13
    virtual bool writeInt8(int8_t value);                                                // 14
    virtual bool writeInt16(int16_t value);                                              // 15
    virtual bool writeInt32(int32_t value);                                              // 16
    virtual bool writeInt64(int64_t value);                                              // 17
    virtual bool writeUInt8(uint8_t value);                                              // 18
    virtual bool writeUInt16(uint16_t value);                                            // 19
    virtual bool writeUInt32(uint32_t value);                                            // 20
    virtual bool writeUInt64(uint64_t value);                                            // 21
    virtual bool writeFloat(float value);                                                // 22
    virtual bool writeDouble(double value);                                              // 23
    virtual bool writeString(SharedString value);                                        // 24

protected:
    ~OutputStream() = default;
};

static_assert(sizeof(OutputStream) == sizeof(void*), "OutputStream is one table pointer");

}  // namespace Korvanta
