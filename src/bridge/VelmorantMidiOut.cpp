// IMidiOut: one engine message becomes one host event list of one event.
#include <cstring>

#include "shell/Velmorant.h"
#include "trace/TraceMessage.h"

// Called by the engine, usually while it renders on the processing thread:
// everything lives on the stack. The host callback is called directly rather
// than through sendVstEventsToHost so that the host's raw answer can be traced.
void Velmorant::sendMidi(const unsigned char* midi, int32_t deltaFrames)
{
    if (midi == nullptr)
        return;

    VstMidiEvent event;
    std::memset(&event, 0, sizeof event);
    event.type = kVstMidiType;
    event.byteSize = static_cast<int32_t>(sizeof(VstMidiEvent) - 8);
    event.deltaFrames = deltaFrames;
    std::memcpy(event.midiData, midi, sizeof event.midiData);

    VstEvents list;
    std::memset(&list, 0, sizeof list);
    list.numEvents = 1;
    list.events[0] = reinterpret_cast<VstEvent*>(&event);

    intptr_t answer = 0;
    if (hostCallback != nullptr)
        answer = hostCallback(&effect, audioMasterProcessEvents, 0, 0, &list, 0.0f);

    traceMessage("sendVstEventsToHost([%02X %02X %02X %02X] @ %ld) --> %d\n", midi[0], midi[1], midi[2], midi[3],
                 static_cast<long>(deltaFrames), static_cast<int>(answer));
}
