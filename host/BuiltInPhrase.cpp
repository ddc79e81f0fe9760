#include "BuiltInPhrase.h"

#include <algorithm>

namespace host {

namespace {

void addNote(MidiSequence& sequence, int64_t start, int64_t length, int note, int velocity)
{
    sequence.messages.push_back(
        {start, {0x90, static_cast<unsigned char>(note), static_cast<unsigned char>(velocity), 0}});
    sequence.messages.push_back({start + length, {0x80, static_cast<unsigned char>(note), 0, 0}});
}

}  // namespace

MidiSequence builtInPhrase()
{
    MidiSequence sequence;
    const int64_t quarter = sequence.ticksPerQuarter;
    sequence.tempoChanges.push_back({0, 60.0e6 / 112.0});
    sequence.signatures.push_back({0, 4, 4});
    const int64_t bar = 4 * quarter;

    // Am - F - C - G, one chord a bar, the last held a little longer.
    const int chords[4][3] = {{57, 60, 64}, {53, 57, 60}, {48, 55, 64}, {55, 59, 62}};
    for (int i = 0; i < 4; ++i) {
        for (int note : chords[i]) {
            addNote(sequence, i * bar, i == 3 ? bar + quarter : bar - 60, note, 72);
        }
        addNote(sequence, i * bar, bar / 2, chords[i][0] - 12, 96);
    }
    // A melody in eighths and quarters over the chords.
    const int melody[][3] = {
        {0, 2, 76},  {2, 1, 74},  {3, 1, 72},  {4, 2, 71},  {6, 2, 72},  {8, 2, 69},
        {10, 1, 72}, {11, 1, 74}, {12, 4, 76}, {16, 2, 79}, {18, 2, 76}, {20, 2, 72},
        {22, 2, 74}, {24, 1, 71}, {25, 1, 72}, {26, 2, 74}, {28, 4, 79},
    };
    for (const auto& step : melody) {
        addNote(sequence, step[0] * 240, step[1] * 240 - 20, step[2], 100);
    }
    std::stable_sort(sequence.messages.begin(), sequence.messages.end(),
                     [](const MidiMessage& a, const MidiMessage& b) { return a.tick < b.tick; });
    for (const MidiMessage& message : sequence.messages) {
        sequence.endTick = std::max(sequence.endTick, message.tick);
    }
    return sequence;
}

}  // namespace host
