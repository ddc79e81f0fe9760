#include "RenderRun.h"

#include <cmath>
#include <cstdio>
#include <string>

#include "DebugTraceCapture.h"
#include "HostProgram.h"
#include "Renderer.h"
#include "WavWriter.h"

namespace host {

namespace {

double decibels(double value)
{
    return value > 0.0 ? 20.0 * std::log10(value) : -INFINITY;
}

}  // namespace

int renderRun(PluginInstance& plugin, const MidiSequence& sequence, const Transport& transport, const Options& options)
{
    std::string error;
    WavWriter writer;
    if (!writer.open(options.outputPath, 2, options.sampleRate, options.format)) {
        return reportFailure(ExitCannotWrite, "cannot create the WAV file '" + options.outputPath + "'");
    }
    RenderSettings settings;
    settings.blockSize = options.blockSize;
    settings.tailSeconds = options.tailSeconds;
    const double seconds = transport.sampleOfTick(sequence.endTick) / options.sampleRate + options.tailSeconds;
    settings.showProgress = !options.quiet && (options.progress || seconds > 30.0);
    RenderResult result;
    if (!renderSequence(plugin, sequence, transport, &writer, settings, result, error)) {
        writer.close();
        return reportFailure(ExitCannotWrite, error);
    }
    if (!writer.close()) {
        return reportFailure(ExitCannotWrite, "cannot complete the WAV file '" + options.outputPath + "'");
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

}  // namespace host
