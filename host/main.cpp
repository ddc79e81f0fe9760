// velmorant-host: a command-line VST 2.4 host. Loads an instrument, lists
// it, sets parameters, restores or saves its state and renders a MIDI file
// (or a built-in phrase) to WAV, the way a sequencer's offline render would.
#include <cstdio>
#include <string>
#include <vector>

#include "CommandLine.h"
#include "HostProgram.h"
#include "VelmorantVersion.h"

int main(int argc, char** argv)
{
    std::vector<std::string> arguments(argv + 1, argv + argc);
    host::Options options;
    std::string error;
    if (!host::parseCommandLine(arguments, options, error)) {
        std::fprintf(stderr, "velmorant-host: %s\n%s", error.c_str(), host::usageText());
        return host::ExitUsage;
    }
    if (options.help) {
        std::printf("%s", host::usageText());
        return host::ExitOk;
    }
    if (options.version) {
        std::printf("velmorant-host %s\n", VELMORANT_VERSION_TEXT);
        return host::ExitOk;
    }
    const int code = host::runHost(options);
    std::fflush(stdout);
    return code;
}
