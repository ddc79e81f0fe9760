// A --soak run: the soak (Soak.h) with the options' settings, and its figures
// on standard output.
#pragma once

#include "CommandLine.h"
#include "MidiSequence.h"
#include "PluginInstance.h"
#include "Transport.h"

namespace host {

// Answers the exit code: a state that does not read back as it was
// restored, or output that is not a number, fails the soak.
int soakRun(PluginInstance& plugin, const MidiSequence& sequence, const Transport& transport, const Options& options);

}  // namespace host
