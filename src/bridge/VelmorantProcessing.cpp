// The real-time entries: MIDI intake, replacing and accumulating rendering.
// Nothing here allocates; trace lines are formatted on the stack.
#include <cstring>

#include "shell/Velmorant.h"
#include "trace/TraceMessage.h"

namespace {

const char* transportSuffix(const VstTimeInfo& time)
{
    return (time.flags & kVstTransportPlaying) != 0 ? " -- start!" : " -- stop!";
}

bool transportChanged(const VstTimeInfo& time)
{
    return (time.flags & kVstTransportChanged) != 0;
}

int32_t processModeFor(intptr_t processLevel)
{
    switch (processLevel) {
    case kVstProcessLevelUser:
    case kVstProcessLevelOffline:
        return SoftSynthModeOffline;
    case kVstProcessLevelRealtime:
    case kVstProcessLevelPrefetch:
        return SoftSynthModeRealtime;
    default:
        return SoftSynthModeUnknown;
    }
}

// True when every channel the effect declares can be written: the engine
// renders into all of them, so a missing array or channel means no render.
bool outputsUsable(float* const* outputs, int32_t channels)
{
    if (outputs == nullptr)
        return channels <= 0;
    for (int32_t c = 0; c < channels; ++c) {
        if (outputs[c] == nullptr)
            return false;
    }
    return true;
}

}  // namespace

// Tells the engine the host's thread kind once per resume.
void Velmorant::reportProcessLevel()
{
    if (engine == nullptr)
        return;
    engine->setProcessMode(processModeFor(getCurrentProcessLevel()));
    processLevelReported = true;
}

// "effProcessEvents": every MIDI event of the list goes to the engine in list
// order; other event types are dropped but keep their index. Answers 1.
// A null list, a negative count or a null entry (hosts in a hurry send them)
// is skipped rather than followed.
int32_t Velmorant::processEvents(VstEvents* events)
{
    refreshTransport();
    if (transportChanged(currentTime))
        traceMessage("%f %f processEvents%s\n", currentTime.samplePos, currentTime.ppqPos,
                     transportSuffix(currentTime));
    if (engine == nullptr)
        return 1;
    if (!processLevelReported)
        reportProcessLevel();
    if (events == nullptr)
        return 1;

    VstEvent* const* list = events->events;
    const int32_t count = events->numEvents;
    for (int32_t i = 0; i < count; ++i) {
        const VstEvent* event = list[i];
        if (event == nullptr || event->type != kVstMidiType)
            continue;
        const VstMidiEvent* midiEvent = reinterpret_cast<const VstMidiEvent*>(event);
        unsigned char message[4];
        std::memcpy(message, midiEvent->midiData, sizeof message);
        traceMessage("%12f  vst->processEvents(%d): { %02X %02X %02X %02X } deltaFrames %ld\n", getPpqPosition(),
                     static_cast<int>(i), message[0], message[1], message[2], message[3],
                     static_cast<long>(midiEvent->deltaFrames));
        engine->receiveMidi(message, midiEvent->deltaFrames);
    }
    return 1;
}

// The replacing render: outputs are cleared first (so the engine starts from
// silence, and an engine-less instance delivers silence). A null output array
// or channel, or a negative frame count, leaves the buffers alone and the
// engine is not asked to render into them; the block still ends normally.
void Velmorant::processReplacing(float** /*inputs*/, float** outputs, int32_t sampleFrames)
{
    const int32_t channels = effect.numOutputs;
    if (outputs != nullptr && sampleFrames > 0) {
        for (int32_t c = 0; c < channels; ++c) {
            if (outputs[c] != nullptr)
                std::memset(outputs[c], 0, sizeof(float) * static_cast<size_t>(sampleFrames));
        }
    }

    refreshTransport();
    const bool changed = transportChanged(currentTime);
    if (changed)
        traceMessage("%f %f processReplacing%s\n", currentTime.samplePos, currentTime.ppqPos,
                     transportSuffix(currentTime));
    if (engine != nullptr) {
        if (!processLevelReported)
            reportProcessLevel();
        if (sampleFrames >= 0 && outputsUsable(outputs, channels))
            engine->renderReplacing(outputs, sampleFrames);
    }
    if (changed)
        traceMessage("%f %f process completed\n", currentTime.samplePos, currentTime.ppqPos);
    timeInfoFetched = false;
}

// The accumulating render: the engine adds into what the host left in the
// buffers, so nothing is cleared. Same guards as processReplacing.
void Velmorant::process(float** /*inputs*/, float** outputs, int32_t sampleFrames)
{
    refreshTransport();
    const bool changed = transportChanged(currentTime);
    if (changed)
        traceMessage("%f %f process%s\n", currentTime.samplePos, currentTime.ppqPos, transportSuffix(currentTime));
    if (engine != nullptr) {
        if (!processLevelReported)
            reportProcessLevel();
        if (sampleFrames >= 0 && outputsUsable(outputs, effect.numOutputs))
            engine->renderAdding(outputs, sampleFrames);
    }
    if (changed)
        traceMessage("%f %f process completed\n", currentTime.samplePos, currentTime.ppqPos);
    timeInfoFetched = false;
}
