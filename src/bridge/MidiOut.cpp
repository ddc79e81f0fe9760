#include "bridge/MidiOut.h"

#include <cstring>

#include "trace/TraceMessage.h"
#include "vst/VstAbi.h"

namespace bridge {

void sendMidiToHost(BridgeHost& host, const unsigned char* midi, int32_t deltaFrames)
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

    const intptr_t answer = host.sendEvents(&list);
    // Trace text kept on purpose (the whole format): debug-output readers match it.
    traceMessage("sendVstEventsToHost([%02X %02X %02X %02X] @ %ld) --> %d\n", midi[0], midi[1], midi[2], midi[3],
                 static_cast<long>(deltaFrames), static_cast<int>(answer));
}

}  // namespace bridge
