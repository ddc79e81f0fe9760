#include "bridge/TransportTracker.h"

#include <cstring>

#include "bridge/TickArithmetic.h"

namespace bridge {

static_assert(TransportTracker::timeInfoFilter ==
                  (kVstPpqPosValid | kVstTempoValid | kVstBarsValid | kVstCyclePosValid | kVstTimeSigValid),
              "time information filter");

namespace {

uint64_t bitsOf(double value)
{
    uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

double valueOf(uint64_t bits)
{
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

bool isNotANumber(uint64_t bits)
{
    return (bits & 0x7FFFFFFFFFFFFFFFull) > 0x7FF0000000000000ull;
}

}  // namespace

// The common block (a record with its fields valid, the transport standing
// where it was) costs the copy and a few integer tests: the previous record is
// kept only as the bits of the two positions the comparisons read, ticks are
// computed only for a notification, and floating point is reached only when a
// notification may be due (on emulated 32-bit hosts every x87 operation counts).
void TransportTracker::accept(const VstTimeInfo* info)
{
    const uint64_t previousSampleBits = bitsOf(current.samplePos);
    const uint64_t previousPpqBits = bitsOf(current.ppqPos);
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
    const uint64_t sampleBits = bitsOf(current.samplePos);
    if ((flags & kVstTransportChanged) != 0 || transportRunning || sampleBits != previousSampleBits ||
        isNotANumber(sampleBits))
        announce(previousSampleBits, previousPpqBits);
}

// At most one start or stop, then at most one cycle, in that order.
void TransportTracker::announce(uint64_t previousSampleBits, uint64_t previousPpqBits)
{
    const double previousSamplePos = valueOf(previousSampleBits);
    const double previousPpqPos = valueOf(previousPpqBits);
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
