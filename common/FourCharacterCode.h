// Four-character codes as text: a plug-in's unique id, a preset file's tags.
#pragma once

#include <cstdint>
#include <string>

namespace common {

// Four bytes in the order they are stored, each as its character, '.' for a
// byte that does not print.
std::string fourCharacterText(const char* bytes);

// A code held in an integer, its highest byte first ('Vlmt' is 0x566C6D74).
std::string fourCharacterText(int32_t code);

}  // namespace common
