// What the host learns about the instrument: names, version, output pins and
// capabilities. Texts come from the engine and are cut to the host's buffers.
#include <cstdio>
#include <cstring>

#include "shell/Velmorant.h"
#include "trace/TraceMessage.h"

namespace {

// Host buffer sizes, terminator included.
constexpr size_t effectNameSize = 32;
constexpr size_t vendorStringSize = 64;
constexpr size_t productStringSize = 64;
constexpr size_t pinLabelSize = sizeof(VstPinProperties::label);
static_assert(pinLabelSize == 64, "pin label size");

constexpr int32_t outputPinCount = 2;

// Copies an engine text into a host buffer of `size` bytes, cut to fit and
// always terminated; a null text gives the empty text.
void copyEngineText(char* destination, const char* text, size_t size)
{
    if (destination == nullptr || size == 0)
        return;
    size_t length = 0;
    if (text != nullptr) {
        while (length + 1 < size && text[length] != '\0')
            ++length;
        std::memcpy(destination, text, length);
    }
    destination[length] = '\0';
}

const char* const capabilities[] = {"receiveVstEvents", "receiveVstMidiEvent", "sendVstEvents", "sendVstMidiEvent",
                                    "bypass"};

}  // namespace

// The effect name is the engine's product name, as is the product string.
bool Velmorant::getEffectName(char* name)
{
    copyEngineText(name, engine != nullptr ? engine->getProductName() : nullptr, effectNameSize);
    return true;
}

bool Velmorant::getVendorString(char* text)
{
    copyEngineText(text, engine != nullptr ? engine->getVendorName() : nullptr, vendorStringSize);
    return true;
}

bool Velmorant::getProductString(char* text)
{
    copyEngineText(text, engine != nullptr ? engine->getProductName() : nullptr, productStringSize);
    return true;
}

int32_t Velmorant::getVendorVersion()
{
    return engine != nullptr ? engine->getVersion() : 0;
}

// Pins 0 and 1 are "<engine output name> 1" and "... 2", active and stereo.
// Any other index (negative ones included) and a null record answer false
// and leave the record alone.
bool Velmorant::getOutputProperties(int32_t index, VstPinProperties* properties)
{
    if (index < 0 || index >= outputPinCount || properties == nullptr)
        return false;
    const char* base = engine != nullptr ? engine->getOutputName() : nullptr;
    std::snprintf(properties->label, pinLabelSize, "%s %1ld", base != nullptr ? base : "",
                  static_cast<long>(index + 1));
    properties->flags = kVstPinIsActive | kVstPinIsStereo;
    return true;
}

// Answers 1 for the fixed list, matched whole and case-sensitively, and -1
// ("no", never 0) for anything else, a null text included.
int32_t Velmorant::canDo(char* text)
{
    if (text == nullptr) {
        traceMessage("canDo: %s?\n", "(null)");
        return -1;
    }
    traceMessage("canDo: %s?\n", text);
    for (const char* capability : capabilities) {
        if (std::strcmp(text, capability) == 0)
            return 1;
    }
    return -1;
}

// Listed as a capability, yet bypass is not carried out: the engine has no
// bypass of its own, so the request is refused.
bool Velmorant::setBypass(bool /*onOff*/)
{
    return false;
}

int32_t Velmorant::idle()
{
    return 1;
}
