// Cost of one trace line, the runtime's vsnprintf beside the trace formatter
// in the same run: the MIDI event line and the transport line, formatted into
// the 256-byte trace buffer only, then formatted and sent with
// OutputDebugStringA (the old traceMessage beside the current one).
#include <windows.h>

#include <algorithm>
#include <cstdarg>
#include <cstddef>
#include <cstdio>
#include <cstring>

#include "BenchTiming.h"
#include "trace/TraceFormat.h"
#include "trace/TraceMessage.h"

namespace {

using bench::bestNanoseconds;
using bench::now;

char text[traceTextSize];
volatile char sink;

// One trace line formatted into the scratch text by the given formatter.
using Formatter = int (*)(char*, std::size_t, const char*, va_list);

template <Formatter formatInto>
void formatWith(const char* format, ...) __attribute__((format(gnu_printf, 1, 2)));
template <Formatter formatInto>
void formatWith(const char* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    formatInto(text, sizeof text, format, arguments);
    va_end(arguments);
    sink = text[0];
}

int runtimeInto(char* line, std::size_t size, const char* format, va_list arguments)
{
    return vsnprintf(line, size, format, arguments);
}

const auto runtimeFormat = formatWith<runtimeInto>;
const auto traceFormat = formatWith<formatTrace>;

// traceMessage as it was: the runtime's vsnprintf, then the debugger output.
void runtimeMessage(const char* format, ...) __attribute__((format(gnu_printf, 1, 2)));
void runtimeMessage(const char* format, ...)
{
    char line[traceTextSize];
    va_list arguments;
    va_start(arguments, format);
    const int written = vsnprintf(line, sizeof line, format, arguments);
    va_end(arguments);
    if (written >= 0)
        OutputDebugStringA(line);
}

constexpr int positionCount = 64;
double positions[positionCount];

// The MIDI event line of event i of a list, as event intake writes it.
template <typename Print>
void eventLine(Print print, int i)
{
    const int event = i % positionCount;
    print("%12f  vst->processEvents(%d): { %02X %02X %02X %02X } deltaFrames %ld\n", positions[event], event, 0x90,
          0x30 + event % 32, 0x64, 0, static_cast<long>(event));
}

template <typename Print>
void transportLine(Print print, int i)
{
    const double ppq = positions[i % positionCount];
    print("%f %f processEvents%s\n", ppq * 22050.0, ppq, (i & 1) != 0 ? " -- start!" : "");
}

void row(const char* name, double runtime, double formatter)
{
    std::printf("%-34s %12.1f %12.1f %8.2f\n", name, runtime, formatter, runtime / formatter);
}

}  // namespace

int main()
{
    // Beat positions at 120 bpm, 44.1 kHz and 512-frame blocks, some hours in.
    for (int i = 0; i < positionCount; ++i)
        positions[i] = (1000000.0 + 512.0 * i * 37.0) / 22050.0;

    const int formatRepetitions = 200000;
    const double runtimeEvent = bestNanoseconds(formatRepetitions, [](int i) { eventLine(runtimeFormat, i); });
    const double formatterEvent = bestNanoseconds(formatRepetitions, [](int i) { eventLine(traceFormat, i); });
    const double runtimeTransport = bestNanoseconds(formatRepetitions, [](int i) { transportLine(runtimeFormat, i); });
    const double formatterTransport = bestNanoseconds(formatRepetitions, [](int i) { transportLine(traceFormat, i); });

    // The debugger output dominates under Wine: fewer lines.
    const int sendRepetitions = 2000;
    const double runtimeSent = bestNanoseconds(
        sendRepetitions, [](int i) { eventLine(runtimeMessage, i); }, 3);
    const double formatterSent = bestNanoseconds(
        sendRepetitions, [](int i) { eventLine(traceMessage, i); }, 3);

    std::printf("trace line cost, %d-bit (ns per line)\n", static_cast<int>(8 * sizeof(void*)));
    std::printf("%-34s %12s %12s %8s\n", "", "vsnprintf", "formatter", "ratio");
    row("MIDI event line, formatting", runtimeEvent, formatterEvent);
    row("transport line, formatting", runtimeTransport, formatterTransport);
    row("MIDI event line, formatted + sent", runtimeSent, formatterSent);
    return runtimeEvent > 0.0 && formatterEvent > 0.0 && runtimeSent > 0.0 && formatterSent > 0.0 ? 0 : 1;
}
