// The host transport's state, and registration of transport listeners.
// Listeners are called on the processing thread, inside processing calls.
#pragma once

#include <cstdint>

#include "MidiTransportListener.h"

namespace Korvanta {

class MidiTransportNotifier {
public:
    virtual void addListener(MidiTransportListener* listener) = 0;     // 1
    virtual void removeListener(MidiTransportListener* listener) = 0;  // 2
    virtual int32_t isPlaying() = 0;                                   // 3
    virtual int32_t isCycleActive() = 0;                               // 4
    virtual double getSamplePosition() = 0;                            // 5
    virtual double getPpqPosition() = 0;                               // 6
    virtual double getCycleStart() = 0;                                // 7
    virtual double getCycleEnd() = 0;                                  // 8

protected:
    ~MidiTransportNotifier() = default;
};

}  // namespace Korvanta
