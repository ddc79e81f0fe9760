// A long run the way a session in a sequencer goes: the sequence played in a
// loop, block after block, while the user drags parameters in the plug-in's
// own window (so the engine reports changes back through the plug-in) and
// the project's state is saved and restored every few seconds. Records the
// process's memory before and after, for a leak to show as growth.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "MidiSequence.h"
#include "PluginInstance.h"
#include "ProcessMemory.h"
#include "Transport.h"

namespace host {

// Where the drags go in the plug-in's window (its pixels): from near `left`
// to near `right` along one of `heights` after the other. Without heights,
// lines across the middle half of the rectangle the plug-in gives for its
// editor, at five heights spread over it.
struct DragLines {
    int32_t left = 0;
    int32_t right = 0;
    std::vector<int32_t> heights;
};

struct SoakSettings {
    double seconds = 3600.0;  // audio to render
    int32_t blockSize = 64;
    double stateEverySeconds = 5.0;   // save, restore the previous save, read back; 0: never
    double editEverySeconds = 1.0;    // one drag in the plug-in's window; 0: never
    double warmUpSeconds = 10.0;      // rendered (and at least 2 s of wall time) before the memory counts
    double reportEverySeconds = 0.0;  // memory lines on standard error during the run; 0: none
    DragLines drag;
};

struct SoakResult {
    int64_t frames = 0;
    int64_t blocks = 0;
    int64_t loops = 0;
    int64_t notesPlayed = 0;
    int64_t stateRoundTrips = 0;
    int64_t stateMismatches = 0;  // a restored state read back differently
    int64_t restarts = 0;         // suspend and resume around a restore
    int64_t drags = 0;
    int64_t automationReported = 0;  // audioMasterAutomate requests from the plug-in
    int64_t midiEventsFromPlugin = 0;
    bool editorOpened = false;
    bool nonFiniteOutput = false;
    float peak = 0.0f;
    double wallSeconds = 0.0;
    ProcessMemory afterLoad;
    ProcessMemory afterWarmUp;
    ProcessMemory atEnd;
};

// False with `error` when the plug-in cannot be soaked (no outputs, no state
// chunk) or a state request fails on the way.
bool runSoak(PluginInstance& plugin, const MidiSequence& sequence, const Transport& transport,
             const SoakSettings& settings, SoakResult& result, std::string& error);

}  // namespace host
