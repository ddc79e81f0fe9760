#include "OutputStream.h"

namespace Korvanta {

bool OutputStream::write(const SharedString& value)
{
    const int32_t length = value.getLength();
    if (!writeInt32(length)) {
        return false;
    }
    return length == 0 || writeRaw(value.c_str(), length) == length;
}

// As on the input side, each signed form reaches its unsigned twin through the table.
bool OutputStream::write(int64_t value)
{
    return write(static_cast<uint64_t>(value));
}

bool OutputStream::write(int32_t value)
{
    return write(static_cast<uint32_t>(value));
}

bool OutputStream::write(int16_t value)
{
    return write(static_cast<uint16_t>(value));
}

bool OutputStream::write(int8_t value)
{
    return write(static_cast<uint8_t>(value));
}

bool OutputStream::write(double value)
{
    return writeRaw(&value, sizeof value) == sizeof value;
}

bool OutputStream::write(float value)
{
    return writeRaw(&value, sizeof value) == sizeof value;
}

bool OutputStream::write(uint64_t value)
{
    return writeRaw(&value, sizeof value) == sizeof value;
}

bool OutputStream::write(uint32_t value)
{
    return writeRaw(&value, sizeof value) == sizeof value;
}

bool OutputStream::write(uint16_t value)
{
    return writeRaw(&value, sizeof value) == sizeof value;
}

bool OutputStream::write(uint8_t value)
{
    return writeRaw(&value, sizeof value) == sizeof value;
}

int32_t OutputStream::writeBlock(const void* source, int32_t elementSize, int32_t count)
{
    if (elementSize < 0 || count < 0) {
        return 0;
    }
    const int64_t bytes = static_cast<int64_t>(elementSize) * count;
    if (bytes > INT32_MAX) {
        return 0;
    }
    return writeRaw(source, static_cast<int32_t>(bytes));
}

bool OutputStream::writeInt8(int8_t value)
{
    return write(value);
}

bool OutputStream::writeInt16(int16_t value)
{
    return write(value);
}

bool OutputStream::writeInt32(int32_t value)
{
    return write(value);
}

bool OutputStream::writeInt64(int64_t value)
{
    return write(value);
}

bool OutputStream::writeUInt8(uint8_t value)
{
    return write(value);
}

bool OutputStream::writeUInt16(uint16_t value)
{
    return write(value);
}

bool OutputStream::writeUInt32(uint32_t value)
{
    return write(value);
}

bool OutputStream::writeUInt64(uint64_t value)
{
    return write(value);
}

bool OutputStream::writeFloat(float value)
{
    return write(value);
}

bool OutputStream::writeDouble(double value)
{
    return write(value);
}

bool OutputStream::writeString(SharedString value)
{
    return write(value);
}

}  // namespace Korvanta
