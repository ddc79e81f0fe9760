#include "bridge/Capabilities.h"

#include <cstring>

#include "trace/TraceMessage.h"

namespace bridge {

namespace {

// The capability names, kept as is: hosts ask for exactly these texts.
const char* const capabilities[] = {"receiveVstEvents", "receiveVstMidiEvent", "sendVstEvents", "sendVstMidiEvent",
                                    "bypass"};

}  // namespace

// The "canDo: ...?" trace text is kept on purpose: debug-output readers match it.
int32_t answerCanDo(const char* text)
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

}  // namespace bridge
