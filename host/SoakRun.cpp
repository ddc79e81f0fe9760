#include "SoakRun.h"

#include <cstdio>

#include "HostProgram.h"
#include "Soak.h"

namespace host {

int soakRun(PluginInstance& plugin, const MidiSequence& sequence, const Transport& transport, const Options& options)
{
    SoakSettings settings;
    settings.seconds = options.soakSeconds;
    settings.blockSize = options.blockSize;
    settings.stateEverySeconds = options.stateEverySeconds;
    settings.editEverySeconds = options.editEverySeconds;
    settings.reportEverySeconds = options.reportEverySeconds;
    settings.drag.left = options.dragLeft;
    settings.drag.right = options.dragRight;
    settings.drag.heights = options.dragHeights;
    SoakResult result;
    std::string error;
    if (!runSoak(plugin, sequence, transport, settings, result, error)) {
        return reportFailure(ExitSoakFault, error);
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
        return reportFailure(ExitSoakFault, "a restored state read back differently");
    }
    if (result.nonFiniteOutput) {
        return reportFailure(ExitSoakFault, "the plug-in rendered samples that are not numbers");
    }
    return ExitOk;
}

}  // namespace host
