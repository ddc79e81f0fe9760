// Counts (and optionally echoes) the lines the plug-in writes to the
// debugger output. OutputDebugStringA raises exception 0x40010006 with the
// text; a vectored handler sees it first and lets the normal handling go on.
#pragma once

#include <cstdint>

namespace host {

class DebugTraceCapture {
public:
    // One capture per process; `echo` prints each line to standard error.
    static void start(bool echo);
    static void stop();
    static int64_t linesSeen();
};

}  // namespace host
