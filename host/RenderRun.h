// A render run: the sequence through the plug-in into the WAV file --out
// names, and the summary on standard output.
#pragma once

#include "CommandLine.h"
#include "MidiSequence.h"
#include "PluginInstance.h"
#include "Transport.h"

namespace host {

// Renders, closes the plug-in and answers the exit code.
int renderRun(PluginInstance& plugin, const MidiSequence& sequence, const Transport& transport, const Options& options);

}  // namespace host
