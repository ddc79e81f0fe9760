// The MIDI events of one processing block, taken from a sequence in order.
// Storage is sized once for the whole sequence, so filling a block allocates
// nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "MidiSequence.h"
#include "Transport.h"
#include "vst/VstAbi.h"

namespace host {

class BlockEvents {
public:
    BlockEvents(const MidiSequence& sequence, const Transport& transport);

    // Fills the list with the messages from `next` on that fall before
    // position + count, advancing `next`; counts the note-ons among them.
    // Answers the number of events in the list.
    int32_t collect(size_t& next, int64_t position, int32_t count, int64_t& notesPlayed);

    VstEvents* list() { return reinterpret_cast<VstEvents*>(listStorage.data()); }

private:
    const MidiSequence& sequence;
    std::vector<int64_t> messageFrames;
    std::vector<VstMidiEvent> midiEvents;
    std::vector<uint8_t> listStorage;
};

}  // namespace host
