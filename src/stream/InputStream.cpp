#include "InputStream.h"

#include <new>

namespace Korvanta {

bool InputStream::atEnd()
{
    return false;
}

bool InputStream::read(SharedString& value)
{
    const int32_t length = readInt32();
    if (length == 0) {
        value.empty();
        return true;
    }
    // A negative length is corrupt data, not a size.
    if (length < 0) {
        return false;
    }
    SharedString text;
    char* characters = nullptr;
    try {
        characters = text.getBufferSetLength(length);
    } catch (const std::bad_alloc&) {
        // A corrupt length must not take the caller down with it.
        return false;
    }
    if (!characters) {
        return false;
    }
    if (readRaw(characters, length) != length) {
        return false;
    }
    text.releaseBuffer(-1);  // a stored text ends at its first NUL
    value = text;
    return true;
}

// The signed forms share the encoding of the unsigned ones and reach them
// through the table, so a stream that overrides an unsigned form serves both.
bool InputStream::read(int64_t& value)
{
    return read(reinterpret_cast<uint64_t&>(value));
}

bool InputStream::read(int32_t& value)
{
    return read(reinterpret_cast<uint32_t&>(value));
}

bool InputStream::read(int16_t& value)
{
    return read(reinterpret_cast<uint16_t&>(value));
}

bool InputStream::read(int8_t& value)
{
    return read(reinterpret_cast<uint8_t&>(value));
}

bool InputStream::read(double& value)
{
    return readRaw(&value, sizeof value) == sizeof value;
}

bool InputStream::read(float& value)
{
    return readRaw(&value, sizeof value) == sizeof value;
}

bool InputStream::read(uint64_t& value)
{
    return readRaw(&value, sizeof value) == sizeof value;
}

bool InputStream::read(uint32_t& value)
{
    return readRaw(&value, sizeof value) == sizeof value;
}

bool InputStream::read(uint16_t& value)
{
    return readRaw(&value, sizeof value) == sizeof value;
}

bool InputStream::read(uint8_t& value)
{
    return readRaw(&value, sizeof value) == sizeof value;
}

int32_t InputStream::readBlock(void* destination, int32_t elementSize, int32_t count)
{
    // Sizes whose product is negative or beyond 32 bits are refused rather than wrapped.
    if (elementSize < 0 || count < 0) {
        return 0;
    }
    const int64_t bytes = static_cast<int64_t>(elementSize) * count;
    if (bytes > INT32_MAX) {
        return 0;
    }
    return readRaw(destination, static_cast<int32_t>(bytes));
}

namespace {

template <typename T>
T valueOrZero(InputStream& stream)
{
    T value = 0;
    return stream.read(value) ? value : T(0);
}

}  // namespace

int8_t InputStream::readInt8()
{
    return valueOrZero<int8_t>(*this);
}

int16_t InputStream::readInt16()
{
    return valueOrZero<int16_t>(*this);
}

int32_t InputStream::readInt32()
{
    return valueOrZero<int32_t>(*this);
}

int64_t InputStream::readInt64()
{
    return valueOrZero<int64_t>(*this);
}

uint8_t InputStream::readUInt8()
{
    return valueOrZero<uint8_t>(*this);
}

uint16_t InputStream::readUInt16()
{
    return valueOrZero<uint16_t>(*this);
}

uint32_t InputStream::readUInt32()
{
    return valueOrZero<uint32_t>(*this);
}

uint64_t InputStream::readUInt64()
{
    return valueOrZero<uint64_t>(*this);
}

float InputStream::readFloat()
{
    return valueOrZero<float>(*this);
}

double InputStream::readDouble()
{
    return valueOrZero<double>(*this);
}

SharedString InputStream::readString()
{
    SharedString value;
    read(value);
    return value;
}

}  // namespace Korvanta
