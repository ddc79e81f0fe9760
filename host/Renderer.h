// Plays a sequence through a plug-in block by block, as a host's offline
// render does: time information and MIDI for each block, then the audio,
// written to a WAV file and measured.
#pragma once

#include <cstdint>
#include <string>

#include "MidiSequence.h"
#include "PluginInstance.h"
#include "Transport.h"
#include "WavWriter.h"

namespace host {

struct RenderSettings {
    int32_t blockSize = 512;
    double tailSeconds = 2.0;   // after the last message, for releases to die away
    bool showProgress = false;  // percentages on standard error
};

struct RenderResult {
    int64_t frames = 0;
    float peak = 0.0f;
    double rms = 0.0;
    int32_t notesPlayed = 0;
};

// `writer` may be null to render without a file. False with `error` when
// the output cannot be written or the plug-in has no outputs.
bool renderSequence(PluginInstance& plugin, const MidiSequence& sequence, const Transport& transport, WavWriter* writer,
                    const RenderSettings& settings, RenderResult& result, std::string& error);

}  // namespace host
