// The host transport as the engine sees it: the block's time information,
// fetched once per processing block, with the defaults the engine relies on,
// and the start, stop and cycle notifications to the registered listeners.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

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
    // An audio entry's block is done with the host's record (called before
    // the engine renders, which may throw): the next block asks again.
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

namespace transport_bits {

inline uint64_t bitsOf(double value)
{
    uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

inline double valueOf(uint64_t bits)
{
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

inline bool isNotANumber(uint64_t bits)
{
    return (bits & 0x7FFFFFFFFFFFFFFFull) > 0x7FF0000000000000ull;
}

}  // namespace transport_bits

// The common block (a record with its fields valid, the transport standing
// where it was) costs the copy and a few integer tests: the previous record is
// kept only as the bits of the two positions the comparisons read, ticks are
// computed only for a notification, and floating point is reached only when a
// notification may be due (on emulated 32-bit hosts every x87 operation counts).
// Inline, as every processing block runs it; the announcements stay out of line.
inline void TransportTracker::accept(const VstTimeInfo* info)
{
    const uint64_t previousSampleBits = transport_bits::bitsOf(current.samplePos);
    const uint64_t previousPpqBits = transport_bits::bitsOf(current.ppqPos);
    if (info == nullptr)
        return;
    std::memcpy(&current, info, sizeof current);
    fetched = true;

    const int32_t flags = current.flags;
    if ((flags & kVstTempoValid) == 0)
        current.tempo = 120.0;
    if ((flags & kVstTimeSigValid) == 0) {
        current.timeSigNumerator = 4;
        current.timeSigDenominator = 4;
    }
    if ((flags & (kVstPpqPosValid | kVstTransportPlaying)) == kVstTransportPlaying && current.sampleRate > 0.0)
        current.ppqPos = current.samplePos / current.sampleRate * current.tempo / 60.0;

    // Nothing to announce unless the host marks a change, the transport runs
    // (a stop or a cycle may be due) or the position may have moved: equal
    // bits that are not a NaN are equal positions; anything else is left to
    // the floating-point comparison.
    const uint64_t sampleBits = transport_bits::bitsOf(current.samplePos);
    if ((flags & kVstTransportChanged) != 0 || transportRunning || sampleBits != previousSampleBits ||
        transport_bits::isNotANumber(sampleBits))
        announce(previousSampleBits, previousPpqBits);
}

}  // namespace bridge
