#include "HostProgram.h"

#include <cstdio>
#include <vector>

#include "BuiltInPhrase.h"
#include "DebugTraceCapture.h"
#include "EditorShot.h"
#include "MidiFile.h"
#include "ParameterLookup.h"
#include "PluginInstance.h"
#include "PluginListing.h"
#include "PngWriter.h"
#include "PresetTransfer.h"
#include "RenderRun.h"
#include "SoakRun.h"
#include "Transport.h"
#include "common/Files.h"

namespace host {

int reportFailure(int code, const std::string& message)
{
    std::fprintf(stderr, "velmorant-host: %s\n", message.c_str());
    return code;
}

int runHost(const Options& options)
{
    DebugTraceCapture::start(options.trace);
    PluginInstance plugin;
    std::string error;
    switch (plugin.load(options.pluginPath, error)) {
    case LoadFailure::None:
        break;
    case LoadFailure::FileMissing:
        return reportFailure(ExitPluginMissing, error);
    case LoadFailure::NotLoadable:
        return reportFailure(ExitNotAPlugin, error);
    case LoadFailure::NotAPlugin:
        return reportFailure(ExitNotAPlugin, error);
    case LoadFailure::Refused:
        return reportFailure(ExitRefused, error);
    }
    if ((plugin.record().flags & effFlagsIsSynth) == 0 && !options.quiet) {
        std::fprintf(stderr, "velmorant-host: note: the plug-in does not call itself an instrument\n");
    }
    plugin.setProcessLevel(options.processLevel);
    plugin.setSampleRateAndBlockSize(static_cast<float>(options.sampleRate), options.blockSize);

    if (options.list) {
        listPlugin(plugin);
    }
    if (!options.loadStatePath.empty()) {
        std::vector<uint8_t> state;
        if (!common::readFile(options.loadStatePath, state)) {
            return reportFailure(ExitBadInput, "cannot read the state file '" + options.loadStatePath + "'");
        }
        if (!plugin.setChunk(state, error)) {
            return reportFailure(ExitBadInput, error);
        }
    }
    if (!options.loadPresetPath.empty() && !loadPreset(plugin, options.loadPresetPath, error)) {
        return reportFailure(ExitBadInput, error);
    }
    for (const ParameterSetting& setting : options.parameters) {
        int32_t index = 0;
        if (!findParameter(plugin, setting.target, index)) {
            return reportFailure(ExitUsage,
                                 "the plug-in has no parameter '" + setting.target + "' (--list shows them)");
        }
        plugin.setParameter(index, setting.value);
    }
    if (!options.saveStatePath.empty()) {
        std::vector<uint8_t> state;
        if (!plugin.getChunk(state, error)) {
            return reportFailure(ExitCannotWrite, error);
        }
        if (!common::writeFile(options.saveStatePath, state)) {
            return reportFailure(ExitCannotWrite, "cannot write the state file '" + options.saveStatePath + "'");
        }
        if (!options.quiet) {
            std::printf("state saved: %s (%zu bytes)\n", options.saveStatePath.c_str(), state.size());
        }
    }
    if (!options.savePresetPath.empty()) {
        size_t size = 0;
        if (!savePreset(plugin, options.savePresetPath, options.presetName, size, error)) {
            return reportFailure(ExitCannotWrite, error);
        }
        if (!options.quiet) {
            std::printf("preset saved: %s (%zu bytes)\n", options.savePresetPath.c_str(), size);
        }
    }
    if (!options.editorShotPath.empty()) {
        EditorPicture picture;
        if (!captureEditor(plugin, picture, error)) {
            return reportFailure(ExitCannotWrite, error);
        }
        if (!common::writeFile(options.editorShotPath, encodePng(picture.width, picture.height, picture.rgb))) {
            return reportFailure(ExitCannotWrite, "cannot write the picture '" + options.editorShotPath + "'");
        }
        if (!options.quiet) {
            std::printf("editor shot: %s (%d x %d)\n", options.editorShotPath.c_str(), picture.width, picture.height);
        }
    }
    if (options.outputPath.empty() && options.soakSeconds <= 0.0) {
        return ExitOk;
    }

    MidiSequence sequence;
    if (options.midiPath.empty()) {
        sequence = builtInPhrase();
    } else {
        std::vector<uint8_t> bytes;
        if (!common::readFile(options.midiPath, bytes)) {
            return reportFailure(ExitBadInput, "cannot read the MIDI file '" + options.midiPath + "'");
        }
        if (!parseMidiFile(bytes, sequence, error)) {
            return reportFailure(ExitBadInput, "'" + options.midiPath + "': " + error);
        }
    }
    const Transport transport(sequence, options.sampleRate, options.tempo, options.numerator, options.denominator);
    if (options.soakSeconds > 0.0) {
        return soakRun(plugin, sequence, transport, options);
    }
    return renderRun(plugin, sequence, transport, options);
}

}  // namespace host
