#include "bridge/MidiIntake.h"

#include <cstring>

#include "trace/TraceMessage.h"

namespace bridge {

// Runs on the audio thread: the message lives on the stack and the trace
// line is formatted there.
void deliverMidiEvents(SoftSynth& engine, const VstEvents* events, const VstTimeInfo& time)
{
    if (events == nullptr)
        return;
    VstEvent* const* list = events->events;
    const int32_t count = events->numEvents;
    for (int32_t i = 0; i < count; ++i) {
        const VstEvent* event = list[i];
        if (event == nullptr || event->type != kVstMidiType)
            continue;
        const VstMidiEvent* midiEvent = reinterpret_cast<const VstMidiEvent*>(event);
        unsigned char message[4];
        std::memcpy(message, midiEvent->midiData, sizeof message);
        const int32_t deltaFrames = midiEvent->deltaFrames;
        // Trace text kept on purpose (the whole format): debug-output readers match it.
        traceMessage("%12f  vst->processEvents(%d): { %02X %02X %02X %02X } deltaFrames %ld\n", time.ppqPos,
                     static_cast<int>(i), message[0], message[1], message[2], message[3],
                     static_cast<long>(deltaFrames));
        engine.receiveMidi(message, deltaFrames);
    }
}

}  // namespace bridge
