// Diagnostic lines on the debugger output. Always on; nothing listens unless a
// debugger or a debug-output viewer is attached.
#pragma once

#include <cstddef>

// Bytes of one trace text, terminator included: longer texts are cut to 255
// characters.
constexpr std::size_t traceTextSize = 256;

// printf-style: formats into a 256-byte stack buffer (cutting at 255
// characters) and hands the result to OutputDebugStringA. Adds no line end.
// Allocates nothing of its own, so the processing paths may call it.
void traceMessage(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(gnu_printf, 1, 2)))
#endif
    ;
