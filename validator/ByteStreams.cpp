#include "ByteStreams.h"

#include <cstring>

#include "StreamBufferException.h"

namespace validator {

int32_t ByteOutput::writeRaw(const void* source, int32_t count)
{
    if (source == nullptr || count <= 0) {
        return 0;
    }
    const auto* begin = static_cast<const uint8_t*>(source);
    bytes.insert(bytes.end(), begin, begin + count);
    return count;
}

int32_t ByteInput::readRaw(void* destination, int32_t count)
{
    if (count <= 0) {
        return 0;
    }
    if (static_cast<size_t>(count) > bytes.size() - position) {
        throw Korvanta::StreamBufferException(nullptr, Korvanta::StreamBufferException::ReadPastEnd);
    }
    if (destination != nullptr) {
        std::memcpy(destination, bytes.data() + position, static_cast<size_t>(count));
    }
    position += static_cast<size_t>(count);
    return count;
}

}  // namespace validator
