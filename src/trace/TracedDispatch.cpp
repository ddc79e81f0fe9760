#include "trace/TracedDispatch.h"

#include <cstdint>
#include <cstring>

#include "trace/OpcodeFormatter.h"
#include "trace/TraceMessage.h"
#include "vst/VstAbi.h"

void traceDispatcherCall(int32_t& lastTracedOpcode, int32_t& repeatCount, int32_t opcode, int32_t index, intptr_t value,
                         void* ptr, float opt)
{
    // Hosts send these many times a second; tracing them would bury the rest.
    if (opcode == effIdle || opcode == effEditIdle)
        return;

    if (opcode != lastTracedOpcode) {
        traceMessage("  (%d times repeated)\n", static_cast<int>(repeatCount));  // text kept on purpose
        lastTracedOpcode = opcode;
        repeatCount = 0;
    }
    // A run of processing calls can outlast the counter over weeks of
    // playback; it stops at the largest count instead of wrapping.
    if (repeatCount < INT32_MAX)
        ++repeatCount;

    if (repeatCount < 3) {
        // One byte kept back so that a cut line still ends with its line end.
        char line[traceTextSize];
        formatEffectOpcode(line, opcode, index, value, ptr, opt, sizeof line - 1);
        const std::size_t length = strlen(line);
        line[length] = '\n';
        line[length + 1] = '\0';
        traceMessage("%s", line);
    }
}
