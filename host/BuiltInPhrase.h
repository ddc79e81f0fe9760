// The phrase the host plays when no MIDI file is given: four bars of
// chords under a melody at 112 bpm, long enough to hear every voice stage.
#pragma once

#include "MidiSequence.h"

namespace host {

MidiSequence builtInPhrase();

}  // namespace host
