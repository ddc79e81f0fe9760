#include "common/FourCharacterCode.h"

#include <cctype>

namespace common {

std::string fourCharacterText(const char* bytes)
{
    std::string text;
    for (int i = 0; i < 4; ++i) {
        const unsigned char c = static_cast<unsigned char>(bytes[i]);
        text += std::isprint(c) ? static_cast<char>(c) : '.';
    }
    return text;
}

std::string fourCharacterText(int32_t code)
{
    const char bytes[4] = {static_cast<char>((code >> 24) & 0xFF), static_cast<char>((code >> 16) & 0xFF),
                           static_cast<char>((code >> 8) & 0xFF), static_cast<char>(code & 0xFF)};
    return fourCharacterText(bytes);
}

}  // namespace common
