// Preset files between disk and a loaded plug-in: the whole file is read and
// checked against the plug-in before the plug-in is told anything.
#pragma once

#include <string>

#include "PluginInstance.h"
#include "PresetFile.h"

namespace host {

// What a plug-in's record says a preset must match.
PresetTarget presetTargetOf(PluginInstance& plugin);

// Applies the program or bank in `path` (the file's own tags say which).
// False with `error` (naming the file) when it cannot be read, is malformed
// or is for another plug-in; the plug-in is then left untouched.
bool loadPreset(PluginInstance& plugin, const std::string& path, std::string& error);

// The plug-in's current program (.fxp) or its bank (.fxb), chosen by the
// extension: chunks when the record says programs are chunks, otherwise the
// parameter values. `programName`, when not empty, names the program in
// place of the plug-in's own name for it.
bool capturePreset(PluginInstance& plugin, bool bank, const std::string& programName, PresetFile& preset,
                   std::string& error);

// Captures as above and writes the file; `size` receives its length.
bool savePreset(PluginInstance& plugin, const std::string& path, const std::string& programName, size_t& size,
                std::string& error);

// True when `path` ends in .fxb (any case); .fxp otherwise.
bool isBankPath(const std::string& path);

}  // namespace host
