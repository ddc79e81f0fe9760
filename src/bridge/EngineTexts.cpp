#include "bridge/EngineTexts.h"

#include <cstdio>
#include <cstring>

namespace bridge {

namespace {

constexpr size_t pinLabelSize = sizeof(VstPinProperties::label);
static_assert(pinLabelSize == 64, "pin label size");

}  // namespace

void endParameterText(char* text)
{
    if (std::memchr(text, '\0', parameterTextSize) == nullptr)
        text[parameterTextSize - 1] = '\0';
}

bool describeOutputPin(int32_t index, const char* base, VstPinProperties* properties)
{
    if (index < 0 || index >= outputPinCount || properties == nullptr)
        return false;
    std::snprintf(properties->label, pinLabelSize, "%s %1ld", base != nullptr ? base : "",
                  static_cast<long>(index + 1));
    properties->flags = kVstPinIsActive | kVstPinIsStereo;
    return true;
}

}  // namespace bridge
