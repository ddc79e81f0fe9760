#include "bridge/TransportTracker.h"

#include <cstring>

#include "bridge/TickArithmetic.h"

namespace bridge {

static_assert(TransportTracker::timeInfoFilter ==
                  (kVstPpqPosValid | kVstTempoValid | kVstBarsValid | kVstCyclePosValid | kVstTimeSigValid),
              "time information filter");

// At most one start or stop, then at most one cycle, in that order.
void TransportTracker::announce(uint64_t previousSampleBits, uint64_t previousPpqBits)
{
    const double previousSamplePos = transport_bits::valueOf(previousSampleBits);
    const double previousPpqPos = transport_bits::valueOf(previousPpqBits);
    const int32_t flags = current.flags;
    const bool isPlaying = (flags & kVstTransportPlaying) != 0;
    if ((flags & kVstTransportChanged) != 0) {
        if (isPlaying && !transportRunning) {
            transportRunning = true;
            listeners.onTransportStart(quartersToTicks(current.ppqPos));
        } else if (!isPlaying && transportRunning) {
            transportRunning = false;
            listeners.onTransportStop(quartersToTicks(current.ppqPos));
        }
    } else if (current.samplePos != previousSamplePos) {
        // Hosts that never set the changed flag: a moving position is playback.
        if (!transportRunning) {
            transportRunning = true;
            listeners.onTransportStart(quartersToTicks(current.ppqPos));
        }
    } else if (transportRunning && !isPlaying) {
        transportRunning = false;
        listeners.onTransportStop(quartersToTicks(current.ppqPos));
    }

    const int32_t cycleFlags = kVstTransportCycleActive | kVstCyclePosValid;
    if (transportRunning && (flags & cycleFlags) == cycleFlags) {
        const double now = current.ppqPos;
        const double end = current.cycleEndPos;
        const bool endWithinNextStep = end > now && now + (now - previousPpqPos) > end;
        const bool jumpedBack = now < previousPpqPos;
        if (endWithinNextStep || jumpedBack)
            listeners.onCycle(quartersToTicks(current.cycleStartPos), quartersToTicks(end));
    }
}

}  // namespace bridge
