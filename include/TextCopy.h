// The one bounded text copy: the plug-in, the engine and hosts all fill
// buffers that someone else sized with it.
#pragma once

#include <cstdint>
#include <cstring>

namespace Korvanta {

// Copies source into destination, a buffer of size bytes with the terminator
// included: at most size - 1 characters, always terminated. Nothing is
// written for a null destination or a size below 1; a null source gives the
// empty text. The source is read no further than size - 1 characters, so a
// text that is not terminated within that reach is safe to pass.
inline void copyText(char* destination, int64_t size, const char* source)
{
    if (destination == nullptr || size <= 0)
        return;
    std::size_t length = 0;
    if (source != nullptr) {
        const void* end = std::memchr(source, '\0', static_cast<std::size_t>(size - 1));
        length = end != nullptr ? static_cast<std::size_t>(static_cast<const char*>(end) - source)
                                : static_cast<std::size_t>(size - 1);
        std::memcpy(destination, source, length);
    }
    destination[length] = '\0';
}

}  // namespace Korvanta
