#include "trace/TraceMessage.h"

#include <cstdarg>
#include <cstdio>

#include <windows.h>

void traceMessage(const char* format, ...)
{
    if (format == nullptr)
        return;
    char text[traceTextSize];
    va_list arguments;
    va_start(arguments, format);
    // vsnprintf cuts at size - 1 and always terminates; a negative answer
    // (encoding error) leaves nothing worth sending.
    const int written = vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);
    if (written < 0)
        return;
    OutputDebugStringA(text);
}
