// velmorant-host once its command line is read: load the plug-in, apply the
// options in their order (list, state, preset, parameters, saves, editor
// picture), then render or soak. The exit code says how it ended.
#pragma once

#include <string>

#include "CommandLine.h"

namespace host {

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

// Prints "velmorant-host: <message>" on standard error; answers `code`.
int reportFailure(int code, const std::string& message);

int runHost(const Options& options);

}  // namespace host
