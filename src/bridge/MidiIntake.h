// The host's event list to the engine: every MIDI event in list order, one
// trace line and one engine call each.
#pragma once

#include "SoftSynth.h"
#include "vst/VstAbi.h"

namespace bridge {

// Other event types are dropped but keep their index in the trace. A null
// list, a count of 0 or less and null entries (hosts in a hurry send them)
// are skipped rather than followed. `time` gives the position traced.
void deliverMidiEvents(SoftSynth& engine, const VstEvents* events, const VstTimeInfo& time);

}  // namespace bridge
