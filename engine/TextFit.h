// Texts handed to the plug-in go into buffers it sized (9 bytes for parameter
// texts): copy what fits and always terminate inside the buffer.
#pragma once

#include <cstdint>
#include <cstring>

namespace engine {

inline void copyText(char* destination, int32_t size, const char* source)
{
    if (destination == nullptr || size <= 0) {
        return;
    }
    if (source == nullptr) {
        source = "";
    }
    std::size_t length = std::strlen(source);
    const std::size_t room = static_cast<std::size_t>(size) - 1;
    if (length > room) {
        length = room;
    }
    std::memcpy(destination, source, length);
    destination[length] = '\0';
}

}  // namespace engine
