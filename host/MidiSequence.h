// A piece of music as the host plays it: short channel messages at ticks,
// with the tempo and time-signature changes that place them in time.
#pragma once

#include <cstdint>
#include <vector>

namespace host {

struct MidiMessage {
    int64_t tick;
    unsigned char bytes[4];  // status, two data bytes, 0
};

struct TempoChange {
    int64_t tick;
    double microsecondsPerQuarter;
};

struct TimeSignatureChange {
    int64_t tick;
    int32_t numerator;
    int32_t denominator;
};

// The resolution of a sequence that names none, and of the built-in phrase.
constexpr int32_t defaultTicksPerQuarter = 480;

struct MidiSequence {
    int32_t ticksPerQuarter = defaultTicksPerQuarter;
    std::vector<MidiMessage> messages;            // in tick order, stable across tracks
    std::vector<TempoChange> tempoChanges;        // in tick order
    std::vector<TimeSignatureChange> signatures;  // in tick order
    int64_t endTick = 0;                          // the last message or end of track

    int32_t notesPlayed() const;  // note-ons with velocity above 0
};

}  // namespace host
