// The host transport as the engine sees it: the per-block refresh of the
// host's time information, the start, stop and cycle notifications it raises,
// and the Korvanta::MidiTransportNotifier getters and registration.
#include <cmath>
#include <cstring>
#include <limits>

#include "shell/Velmorant.h"

namespace {

constexpr int32_t timeInfoFilter =
    kVstPpqPosValid | kVstTempoValid | kVstBarsValid | kVstCyclePosValid | kVstTimeSigValid;  // 0x3E00
static_assert(timeInfoFilter == 0x3E00, "time information filter");

// Quarter notes to ticks, truncated toward zero. A host position outside the
// 32-bit tick range (or not a number) would make the conversion undefined, so
// it is held at the range's ends (0 for not a number).
int32_t quartersToTicks(double quarters)
{
    const double ticks = quarters * 480.0;
    if (std::isnan(ticks))
        return 0;
    if (ticks >= static_cast<double>(std::numeric_limits<int32_t>::max()))
        return std::numeric_limits<int32_t>::max();
    if (ticks <= static_cast<double>(std::numeric_limits<int32_t>::min()))
        return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(ticks);
}

}  // namespace

// Runs at the start of every processing entry; does its work once per block
// because the audio entries clear timeInfoFetched when they end.
void Velmorant::refreshTransport()
{
    if (timeInfoFetched)
        return;
    const VstTimeInfo* info = getTimeInfo(timeInfoFilter);
    previousTime = currentTime;
    if (info == nullptr)
        return;  // the next entry of this block asks again
    std::memcpy(&currentTime, info, sizeof currentTime);
    timeInfoFetched = true;

    const int32_t flags = currentTime.flags;
    if ((flags & kVstTempoValid) == 0)
        currentTime.tempo = 120.0;
    if ((flags & kVstTimeSigValid) == 0) {
        currentTime.timeSigNumerator = 4;
        currentTime.timeSigDenominator = 4;
    }
    if ((flags & kVstPpqPosValid) == 0 && (flags & kVstTransportPlaying) != 0 && currentTime.sampleRate > 0.0)
        currentTime.ppqPos = currentTime.samplePos / currentTime.sampleRate * currentTime.tempo / 60.0;

    const bool playing = (flags & kVstTransportPlaying) != 0;
    const int32_t position = quartersToTicks(currentTime.ppqPos);
    if ((flags & kVstTransportChanged) != 0) {
        if (playing && !transportRunning) {
            transportRunning = true;
            transportBroadcaster.onTransportStart(position);
        } else if (!playing && transportRunning) {
            transportRunning = false;
            transportBroadcaster.onTransportStop(position);
        }
    } else if (currentTime.samplePos != previousTime.samplePos) {
        // Hosts that never set the changed flag: a moving position is playback.
        if (!transportRunning) {
            transportRunning = true;
            transportBroadcaster.onTransportStart(position);
        }
    } else if (transportRunning && !playing) {
        transportRunning = false;
        transportBroadcaster.onTransportStop(position);
    }

    const int32_t cycleFlags = kVstTransportCycleActive | kVstCyclePosValid;
    if (transportRunning && (flags & cycleFlags) == cycleFlags) {
        const double now = currentTime.ppqPos;
        const double before = previousTime.ppqPos;
        const double end = currentTime.cycleEndPos;
        const bool endWithinNextStep = end > now && now + (now - before) > end;
        const bool jumpedBack = now < before;
        if (endWithinNextStep || jumpedBack)
            transportBroadcaster.onCycle(quartersToTicks(currentTime.cycleStartPos), quartersToTicks(end));
    }
}

void Velmorant::addListener(Korvanta::MidiTransportListener* listener)
{
    transportBroadcaster.addListener(listener);
}

void Velmorant::removeListener(Korvanta::MidiTransportListener* listener)
{
    transportBroadcaster.removeListener(listener);
}

int32_t Velmorant::isPlaying()
{
    return (currentTime.flags & kVstTransportPlaying) != 0 ? 1 : 0;
}

int32_t Velmorant::isCycleActive()
{
    return (currentTime.flags & kVstTransportCycleActive) != 0 ? 1 : 0;
}

double Velmorant::getSamplePosition()
{
    return currentTime.samplePos;
}

double Velmorant::getPpqPosition()
{
    return currentTime.ppqPos;
}

double Velmorant::getCycleStart()
{
    return currentTime.cycleStartPos;
}

double Velmorant::getCycleEnd()
{
    return currentTime.cycleEndPos;
}
