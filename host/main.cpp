// velmorant-host: a command-line VST 2.4 host. Loads an instrument, lists
// it, sets parameters, restores or saves its state and renders a MIDI file
// (or a built-in phrase) to WAV, the way a sequencer's offline render would.
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "BuiltInPhrase.h"
#include "CommandLine.h"
#include "DebugTraceCapture.h"
#include "EditorShot.h"
#include "MidiFile.h"
#include "PluginInstance.h"
#include "PngWriter.h"
#include "PresetTransfer.h"
#include "Renderer.h"
#include "Soak.h"
#include "Transport.h"
#include "VelmorantVersion.h"
#include "WavWriter.h"
#include "common/Files.h"
#include "common/FourCharacterCode.h"

namespace {

using namespace host;

// Exit codes, one per kind of failure.
enum ExitCode {
    ExitOk = 0,
    ExitUsage = 1,
    ExitPluginMissing = 2,
    ExitNotAPlugin = 3,
    ExitRefused = 4,
    ExitBadInput = 5,
    ExitCannotWrite = 6,
    ExitSoakFault = 7,
};

int fail(int code, const std::string& message)
{
    std::fprintf(stderr, "velmorant-host: %s\n", message.c_str());
    return code;
}

std::string lowered(std::string text)
{
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    while (!text.empty() && text.back() == ' ') {
        text.pop_back();
    }
    return text;
}

void listPlugin(PluginInstance& plugin)
{
    const EffectRecord& record = plugin.record();
    std::printf("name: %s\n", plugin.text(effGetEffectName, 0, 64).c_str());
    std::printf("vendor: %s\n", plugin.text(effGetVendorString, 0, 64).c_str());
    std::printf("product: %s\n", plugin.text(effGetProductString, 0, 64).c_str());
    std::printf("vendor version: %lld\n", static_cast<long long>(plugin.dispatch(effGetVendorVersion)));
    std::printf("VST version: %lld\n", static_cast<long long>(plugin.dispatch(effGetVstVersion)));
    std::printf("unique id: '%s' (0x%08X)\n", common::fourCharacterText(record.uniqueID).c_str(),
                static_cast<unsigned>(record.uniqueID));
    const intptr_t category = plugin.dispatch(effGetPlugCategory);
    std::printf("category: %lld%s\n", static_cast<long long>(category), category == 2 ? " (instrument)" : "");
    std::printf(
        "flags: 0x%X%s%s%s%s\n", static_cast<unsigned>(record.flags),
        (record.flags & effFlagsHasEditor) ? " editor" : "", (record.flags & effFlagsCanReplacing) ? " replacing" : "",
        (record.flags & effFlagsProgramChunks) ? " chunks" : "", (record.flags & effFlagsIsSynth) ? " synth" : "");
    std::printf("inputs: %d, outputs: %d, programs: %d, parameters: %d\n", record.numInputs, record.numOutputs,
                record.numPrograms, record.numParams);
    for (int32_t output = 0; output < plugin.outputCount(); ++output) {
        VstPinProperties pin = {};
        if (plugin.dispatch(effGetOutputProperties, output, 0, &pin) == 1) {
            pin.label[sizeof pin.label - 1] = '\0';
            std::printf("output %d: %s\n", output + 1, pin.label);
        }
    }
    std::printf("parameters:\n");
    for (int32_t index = 0; index < plugin.parameterCount(); ++index) {
        const std::string name = plugin.text(effGetParamName, index, 24);
        const std::string display = plugin.text(effGetParamDisplay, index, 24);
        const std::string label = plugin.text(effGetParamLabel, index, 24);
        std::printf("  %3d  %-10s %-10s %-8s (%.4f)\n", index, name.c_str(), display.c_str(), label.c_str(),
                    static_cast<double>(plugin.getParameter(index)));
    }
    std::printf("capabilities:\n");
    for (const char* capability : {"receiveVstEvents", "receiveVstMidiEvent", "sendVstEvents", "sendVstMidiEvent",
                                   "receiveVstTimeInfo", "offline", "midiProgramNames", "bypass"}) {
        const int32_t answer = plugin.canDo(capability);
        std::printf("  %-20s %s\n", capability, answer > 0 ? "yes" : (answer < 0 ? "no" : "don't know"));
    }
}

// An index, or a parameter's name compared without case and trailing blanks.
bool findParameter(PluginInstance& plugin, const std::string& target, int32_t& index)
{
    char* end = nullptr;
    const long number = std::strtol(target.c_str(), &end, 10);
    if (!target.empty() && *end == '\0') {
        index = static_cast<int32_t>(number);
        return number >= 0 && number < plugin.parameterCount();
    }
    for (int32_t candidate = 0; candidate < plugin.parameterCount(); ++candidate) {
        if (lowered(plugin.text(effGetParamName, candidate, 64)) == lowered(target)) {
            index = candidate;
            return true;
        }
    }
    return false;
}

double decibels(double value)
{
    return value > 0.0 ? 20.0 * std::log10(value) : -INFINITY;
}

// The soak's figures on standard output; a state that does not read back as
// it was restored, or output that is not a number, fails it.
int soak(PluginInstance& plugin, const MidiSequence& sequence, const Transport& transport, const Options& options)
{
    SoakSettings settings;
    settings.seconds = options.soakSeconds;
    settings.blockSize = options.blockSize;
    settings.stateEverySeconds = options.stateEverySeconds;
    settings.editEverySeconds = options.editEverySeconds;
    settings.reportEverySeconds = options.reportEverySeconds;
    SoakResult result;
    std::string error;
    if (!runSoak(plugin, sequence, transport, settings, result, error)) {
        return fail(ExitSoakFault, error);
    }
    plugin.close();
    const double seconds = static_cast<double>(result.frames) / options.sampleRate;
    std::printf("soak: %.1f s of audio in %lld blocks of %d (%lld loops) in %.1f s, %.1f times real time\n", seconds,
                static_cast<long long>(result.blocks), options.blockSize, static_cast<long long>(result.loops),
                result.wallSeconds, result.wallSeconds > 0.0 ? seconds / result.wallSeconds : 0.0);
    std::printf("notes played: %lld, MIDI events from the plug-in: %lld, peak %.4f\n",
                static_cast<long long>(result.notesPlayed), static_cast<long long>(result.midiEventsFromPlugin),
                static_cast<double>(result.peak));
    std::printf("editor: %s, drags: %lld, automation from the plug-in: %lld\n", result.editorOpened ? "open" : "none",
                static_cast<long long>(result.drags), static_cast<long long>(result.automationReported));
    std::printf("state round trips: %lld (%lld with suspend and resume), mismatches: %lld\n",
                static_cast<long long>(result.stateRoundTrips), static_cast<long long>(result.restarts),
                static_cast<long long>(result.stateMismatches));
    std::printf("memory after load: %s\n", result.afterLoad.describe().c_str());
    std::printf("memory after warm-up: %s\n", result.afterWarmUp.describe().c_str());
    std::printf("memory at end: %s\n", result.atEnd.describe().c_str());
    if (result.stateMismatches > 0) {
        return fail(ExitSoakFault, "a restored state read back differently");
    }
    if (result.nonFiniteOutput) {
        return fail(ExitSoakFault, "the plug-in rendered samples that are not numbers");
    }
    return ExitOk;
}

int run(const Options& options)
{
    DebugTraceCapture::start(options.trace);
    PluginInstance plugin;
    std::string error;
    switch (plugin.load(options.pluginPath, error)) {
    case LoadFailure::None:
        break;
    case LoadFailure::FileMissing:
        return fail(ExitPluginMissing, error);
    case LoadFailure::NotLoadable:
        return fail(ExitNotAPlugin, error);
    case LoadFailure::NotAPlugin:
        return fail(ExitNotAPlugin, error);
    case LoadFailure::Refused:
        return fail(ExitRefused, error);
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
            return fail(ExitBadInput, "cannot read the state file '" + options.loadStatePath + "'");
        }
        if (!plugin.setChunk(state, error)) {
            return fail(ExitBadInput, error);
        }
    }
    if (!options.loadPresetPath.empty() && !loadPreset(plugin, options.loadPresetPath, error)) {
        return fail(ExitBadInput, error);
    }
    for (const ParameterSetting& setting : options.parameters) {
        int32_t index = 0;
        if (!findParameter(plugin, setting.target, index)) {
            return fail(ExitUsage, "the plug-in has no parameter '" + setting.target + "' (--list shows them)");
        }
        plugin.setParameter(index, setting.value);
    }
    if (!options.saveStatePath.empty()) {
        std::vector<uint8_t> state;
        if (!plugin.getChunk(state, error)) {
            return fail(ExitCannotWrite, error);
        }
        if (!common::writeFile(options.saveStatePath, state)) {
            return fail(ExitCannotWrite, "cannot write the state file '" + options.saveStatePath + "'");
        }
        if (!options.quiet) {
            std::printf("state saved: %s (%zu bytes)\n", options.saveStatePath.c_str(), state.size());
        }
    }
    if (!options.savePresetPath.empty()) {
        size_t size = 0;
        if (!savePreset(plugin, options.savePresetPath, options.presetName, size, error)) {
            return fail(ExitCannotWrite, error);
        }
        if (!options.quiet) {
            std::printf("preset saved: %s (%zu bytes)\n", options.savePresetPath.c_str(), size);
        }
    }
    if (!options.editorShotPath.empty()) {
        EditorPicture picture;
        if (!captureEditor(plugin, picture, error)) {
            return fail(ExitCannotWrite, error);
        }
        if (!common::writeFile(options.editorShotPath, encodePng(picture.width, picture.height, picture.rgb))) {
            return fail(ExitCannotWrite, "cannot write the picture '" + options.editorShotPath + "'");
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
            return fail(ExitBadInput, "cannot read the MIDI file '" + options.midiPath + "'");
        }
        if (!parseMidiFile(bytes, sequence, error)) {
            return fail(ExitBadInput, "'" + options.midiPath + "': " + error);
        }
    }
    const Transport transport(sequence, options.sampleRate, options.tempo, options.numerator, options.denominator);
    if (options.soakSeconds > 0.0) {
        return soak(plugin, sequence, transport, options);
    }
    WavWriter writer;
    if (!writer.open(options.outputPath, 2, options.sampleRate, options.format)) {
        return fail(ExitCannotWrite, "cannot create the WAV file '" + options.outputPath + "'");
    }
    RenderSettings settings;
    settings.blockSize = options.blockSize;
    settings.tailSeconds = options.tailSeconds;
    const double seconds = transport.sampleOfTick(sequence.endTick) / options.sampleRate + options.tailSeconds;
    settings.showProgress = !options.quiet && (options.progress || seconds > 30.0);
    RenderResult result;
    if (!renderSequence(plugin, sequence, transport, &writer, settings, result, error)) {
        writer.close();
        return fail(ExitCannotWrite, error);
    }
    if (!writer.close()) {
        return fail(ExitCannotWrite, "cannot complete the WAV file '" + options.outputPath + "'");
    }
    const int64_t midiOut = plugin.midiEventsReceived;
    const int64_t automation = plugin.automationReceived;
    plugin.close();
    if (!options.quiet) {
        const char* format = options.format == SampleFormat::Pcm16   ? "16-bit"
                             : options.format == SampleFormat::Pcm24 ? "24-bit"
                                                                     : "32-bit float";
        std::printf("rendered: %s (%s, %d Hz, blocks of %d)\n", options.outputPath.c_str(), format, options.sampleRate,
                    options.blockSize);
        std::printf("duration: %.2f s\n", static_cast<double>(result.frames) / options.sampleRate);
        std::printf("peak: %.4f (%.1f dBFS)\n", static_cast<double>(result.peak), decibels(result.peak));
        std::printf("rms: %.4f (%.1f dBFS)\n", result.rms, decibels(result.rms));
        std::printf("notes played: %d\n", result.notesPlayed);
        std::printf("MIDI events from the plug-in: %lld\n", static_cast<long long>(midiOut));
        std::printf("automation from the plug-in: %lld\n", static_cast<long long>(automation));
        std::printf("trace lines seen: %lld\n", static_cast<long long>(DebugTraceCapture::linesSeen()));
    }
    return ExitOk;
}

}  // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> arguments(argv + 1, argv + argc);
    Options options;
    std::string error;
    if (!parseCommandLine(arguments, options, error)) {
        std::fprintf(stderr, "velmorant-host: %s\n%s", error.c_str(), usageText());
        return ExitUsage;
    }
    if (options.help) {
        std::printf("%s", usageText());
        return ExitOk;
    }
    if (options.version) {
        std::printf("velmorant-host %s\n", VELMORANT_VERSION_TEXT);
        return ExitOk;
    }
    const int code = run(options);
    std::fflush(stdout);
    return code;
}
