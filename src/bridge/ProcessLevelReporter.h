// Tells the engine the host's kind of processing thread, once per resume, at
// the first processing entry.
#pragma once

#include <cstdint>

#include "SoftSynth.h"
#include "bridge/BridgeHost.h"

namespace bridge {

class ProcessLevelReporter {
public:
    // After construction and every resume the next entry reports again.
    void reset() { reported = false; }
    void ensureReported(SoftSynth& engine, BridgeHost& host)
    {
        if (!reported)
            report(engine, host);
    }
    bool hasReported() const { return reported; }

    // User thread and offline: 1; real-time and prefetch: 2; anything else: 0.
    static int32_t modeFor(int32_t processLevel);

private:
    void report(SoftSynth& engine, BridgeHost& host);

    bool reported = false;
};

}  // namespace bridge
