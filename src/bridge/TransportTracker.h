// The host transport as the engine sees it: the block's time information,
// fetched once per processing block, with the defaults the engine relies on,
// and the start, stop and cycle notifications to the registered listeners.
#pragma once

#include <cstddef>
#include <cstdint>

#include "bridge/BridgeHost.h"
#include "bridge/MidiTransportBroadcaster.h"
#include "vst/VstAbi.h"

namespace bridge {

class TransportTracker {
public:
    // kVstPpqPosValid, kVstTempoValid, kVstBarsValid, kVstCyclePosValid, kVstTimeSigValid.
    static constexpr int32_t timeInfoFilter = 0x3E00;

    TransportTracker() = default;
    TransportTracker(const TransportTracker&) = delete;
    TransportTracker& operator=(const TransportTracker&) = delete;

    // Every processing entry calls it before the engine: only the first call
    // of a block asks the host. A host that gives no record leaves the
    // values as they were and is asked again by the next call.
    void refresh(BridgeHost& host)
    {
        if (!fetched)
            accept(host.requestTimeInfo(timeInfoFilter));
    }
    // The host's answer to the time request of this block: a copy is kept,
    // the defaults filled in and the listeners told of a start, stop or cycle.
    void accept(const VstTimeInfo* info);
    // The end of an audio entry: the next block asks again.
    void endBlock() { fetched = false; }

    // The latest host record with its defaults; all zero before the first.
    const VstTimeInfo& time() const { return current; }
    bool changed() const { return (current.flags & kVstTransportChanged) != 0; }
    bool playing() const { return (current.flags & kVstTransportPlaying) != 0; }
    bool cycleActive() const { return (current.flags & kVstTransportCycleActive) != 0; }
    // The state last announced to the listeners.
    bool running() const { return transportRunning; }

    void addListener(Korvanta::MidiTransportListener* listener) { listeners.addListener(listener); }
    void removeListener(Korvanta::MidiTransportListener* listener) { listeners.removeListener(listener); }
    size_t listenerCount() const { return listeners.listenerCount(); }

private:
    void announce(uint64_t previousSampleBits, uint64_t previousPpqBits);

    VstTimeInfo current{};
    bool fetched = false;
    bool transportRunning = false;
    Korvanta::MidiTransportBroadcaster listeners;
};

}  // namespace bridge
