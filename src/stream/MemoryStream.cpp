#include "stream/MemoryStream.h"

namespace Korvanta {

bool MemoryStream::atEnd()
{
    if (!buffer) {
        return true;
    }
    return buffer->seek(0, FromCurrent) == buffer->size();
}

int32_t MemoryStream::readRaw(void* destination, int32_t count)
{
    // A negative count from an engine is refused, not read as 4 GB.
    if (!buffer || count <= 0) {
        return 0;
    }
    return static_cast<int32_t>(buffer->read(destination, static_cast<uint32_t>(count)));
}

int32_t MemoryStream::writeRaw(const void* source, int32_t count)
{
    if (!buffer || count <= 0) {
        return 0;
    }
    return static_cast<int32_t>(buffer->write(source, static_cast<uint32_t>(count)));
}

uint32_t MemoryStream::seek(int32_t offset, int32_t origin)
{
    return buffer ? buffer->seek(offset, origin) : 0;
}

uint32_t MemoryStream::truncate()
{
    return buffer ? buffer->truncate() : 0;
}

}  // namespace Korvanta
