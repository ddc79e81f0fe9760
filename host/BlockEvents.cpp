#include "BlockEvents.h"

#include <algorithm>
#include <cmath>

namespace host {

BlockEvents::BlockEvents(const MidiSequence& sequence, const Transport& transport)
    : sequence(sequence), midiEvents(sequence.messages.size() + 1),
      listStorage(sizeof(VstEvents) + sizeof(VstEvent*) * (sequence.messages.size() + 1))
{
    messageFrames.reserve(sequence.messages.size());
    for (const MidiMessage& message : sequence.messages) {
        messageFrames.push_back(static_cast<int64_t>(std::llround(transport.sampleOfTick(message.tick))));
    }
}

int32_t BlockEvents::collect(size_t& next, int64_t position, int32_t count, int64_t& notesPlayed)
{
    // The record declares two entries; the storage holds one per message.
    VstEvent** slots = reinterpret_cast<VstEvent**>(listStorage.data() + offsetof(VstEvents, events));
    int32_t events = 0;
    while (next < sequence.messages.size() && messageFrames[next] < position + count) {
        VstMidiEvent& event = midiEvents[static_cast<size_t>(events)];
        event = VstMidiEvent();
        event.type = kVstMidiType;
        event.byteSize = sizeof(VstMidiEvent) - 8;
        event.deltaFrames = static_cast<int32_t>(std::max<int64_t>(messageFrames[next] - position, 0));
        const unsigned char* bytes = sequence.messages[next].bytes;
        for (int i = 0; i < 4; ++i) {
            event.midiData[i] = static_cast<char>(bytes[i]);
        }
        if ((bytes[0] & 0xF0) == 0x90 && bytes[2] > 0) {
            ++notesPlayed;
        }
        slots[events++] = reinterpret_cast<VstEvent*>(&event);
        ++next;
    }
    list()->numEvents = events;
    list()->reserved = 0;
    return events;
}

}  // namespace host
