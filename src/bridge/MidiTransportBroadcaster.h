// Fans the transport notifications out to the engine's registered listeners.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "MidiTransportListener.h"

namespace Korvanta {

class MidiTransportBroadcaster : public MidiTransportListener {
public:
    MidiTransportBroadcaster() = default;
    MidiTransportBroadcaster(const MidiTransportBroadcaster&) = delete;
    MidiTransportBroadcaster& operator=(const MidiTransportBroadcaster&) = delete;

    // Each calls the same operation on every registration, first to last.
    void onTransportStart(int32_t tick) override;
    void onTransportStop(int32_t tick) override;
    void onCycle(int32_t startTick, int32_t endTick) override;

    // Frees the array only; the listeners belong to the engine.
    virtual ~MidiTransportBroadcaster();

    // Appends unconditionally: a listener registered twice hears everything twice.
    void addListener(MidiTransportListener* listener);
    // Drops the most recent registration of the listener, if any.
    void removeListener(MidiTransportListener* listener);

    size_t listenerCount() const { return listeners.size(); }

private:
    std::vector<MidiTransportListener*> listeners;
};

}  // namespace Korvanta
