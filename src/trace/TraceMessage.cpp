#include "trace/TraceMessage.h"

#include <cstdarg>

#include <windows.h>

#include "trace/TraceFormat.h"

void traceMessage(const char* format, ...)
{
    if (format == nullptr)
        return;
    char text[traceTextSize];
    va_list arguments;
    va_start(arguments, format);
    // Cuts at size - 1 and always terminates, like vsnprintf; a negative
    // answer (encoding error) leaves nothing worth sending.
    const int written = formatTrace(text, sizeof text, format, arguments);
    va_end(arguments);
    if (written < 0)
        return;
    OutputDebugStringA(text);
}
