// Binary input with one value encoding: integers and floats as their
// little-endian memory image, strings as a 32-bit length and the bytes.
// The slot order is a binary contract with separately built engines.
#pragma once

#include <cstdint>

#include "SharedString.h"

namespace Korvanta {

class InputStream {
public:
    virtual bool atEnd();                                                              // 1
    virtual bool read(SharedString& value);                                            // 2
    virtual bool read(int64_t& value);                                                 // 3
    virtual bool read(int32_t& value);                                                 // 4
    virtual bool read(int16_t& value);                                                 // 5
    virtual bool read(int8_t& value);                                                  // 6
    virtual bool read(double& value);                                                  // 7
    virtual bool read(float& value);                                                   // 8
    virtual bool read(uint64_t& value);                                                // 9
    virtual bool read(uint32_t& value);                                                // 10
    virtual bool read(uint16_t& value);                                                // 11
    virtual bool read(uint8_t& value);                                                 // 12
    virtual int32_t readRaw(void* destination, int32_t count) = 0;                     // 13
    virtual int32_t readBlock(void* destination, int32_t elementSize, int32_t count);  // 14
    virtual int8_t readInt8();                                                         // 15
    virtual int16_t readInt16();                                                       // 16
    virtual int32_t readInt32();                                                       // 17
    virtual int64_t readInt64();                                                       // 18
    virtual uint8_t readUInt8();                                                       // 19
    virtual uint16_t readUInt16();                                                     // 20
    virtual uint32_t readUInt32();                                                     // 21
    virtual uint64_t readUInt64();                                                     // 22
    virtual float readFloat();                                                         // 23
    virtual double readDouble();                                                       // 24
    virtual SharedString readString();                                                 // 25

protected:
    ~InputStream() = default;
};

static_assert(sizeof(InputStream) == sizeof(void*), "InputStream is one table pointer");

}  // namespace Korvanta
