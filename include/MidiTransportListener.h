// Implemented by the engine: told when the host transport starts, stops or loops.
#pragma once

#include <cstdint>

namespace Korvanta {

class MidiTransportListener {
public:
    virtual void onTransportStart(int32_t tick) = 0;               // 1
    virtual void onTransportStop(int32_t tick) = 0;                // 2
    virtual void onCycle(int32_t startTick, int32_t endTick) = 0;  // 3

protected:
    ~MidiTransportListener() = default;
};

}  // namespace Korvanta
