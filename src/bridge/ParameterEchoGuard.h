// Host parameter writes in progress, and what becomes of the engine's own
// reports of parameter changes: during a host write a report is that write's
// echo and is dropped; otherwise the engine's value is automated.
#pragma once

#include <cstdint>

#include "SoftSynth.h"
#include "bridge/BridgeHost.h"

static_assert(sizeof(long) == 4, "the depth is the 32-bit counter of the interlocked operations");

namespace bridge {

class ParameterEchoGuard {
public:
    // Keeps the depth raised while a host write is inside the engine, also
    // if the engine unwinds out of it. Writes may come on any host thread.
    class HostWrite {
    public:
        explicit HostWrite(ParameterEchoGuard& guard);
        ~HostWrite();
        HostWrite(const HostWrite&) = delete;
        HostWrite& operator=(const HostWrite&) = delete;

    private:
        ParameterEchoGuard& guard;
    };

    ParameterEchoGuard() = default;
    ParameterEchoGuard(const ParameterEchoGuard&) = delete;
    ParameterEchoGuard& operator=(const ParameterEchoGuard&) = delete;

    bool hostWriteInProgress() const { return depth != 0; }

    // The engine's callback: request 1 outside a host write reads the
    // engine's value of `index` and hands it to the host's automation.
    void engineReported(SoftSynth* engine, BridgeHost& host, int32_t index, int32_t request) const;

private:
    volatile long depth = 0;  // LONG for the interlocked operations
};

}  // namespace bridge
