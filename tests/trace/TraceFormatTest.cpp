// The trace formatter against the runtime's vsnprintf in the same build: every
// text must come out byte for byte the same, answer and cut included.
#include <cfloat>
#include <climits>
#include <clocale>
#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "../support/DebugOutputCapture.h"
#include "trace/TraceFormat.h"
#include "trace/TraceMessage.h"

namespace {

using velmorant_test::DebugOutputCapture;

// The whole buffer after a call (bytes past size show any overrun) and the answer.
struct Written {
    std::string bytes;
    int answer;

    bool operator==(const Written& other) const { return answer == other.answer && bytes == other.bytes; }
};

std::ostream& operator<<(std::ostream& stream, const Written& written)
{
    return stream << '"' << written.bytes.c_str() << "\" (" << written.bytes.size() << " bytes) answer "
                  << written.answer;
}

enum class Writer { runtime, direct, trace };

constexpr std::size_t guardBytes = 8;

Written write(Writer writer, std::size_t size, const char* format, va_list arguments)
{
    std::string bytes(size + guardBytes, '\x7f');
    char* text = size != 0 ? &bytes[0] : nullptr;
    int answer;
    switch (writer) {
    case Writer::runtime:
        answer = vsnprintf(text, size, format, arguments);
        break;
    case Writer::direct:
        answer = formatTraceDirect(text, size, format, arguments);
        break;
    default:
        answer = formatTrace(text, size, format, arguments);
        break;
    }
    return {bytes, answer};
}

#define VELMORANT_WRITER(name, writer)                                                                                 \
    Written name(std::size_t size, const char* format, ...) __attribute__((format(gnu_printf, 2, 3)));                 \
    Written name(std::size_t size, const char* format, ...)                                                            \
    {                                                                                                                  \
        va_list arguments;                                                                                             \
        va_start(arguments, format);                                                                                   \
        Written written = write(writer, size, format, arguments);                                                      \
        va_end(arguments);                                                                                             \
        return written;                                                                                                \
    }

VELMORANT_WRITER(runtimeText, Writer::runtime)
VELMORANT_WRITER(directText, Writer::direct)
VELMORANT_WRITER(traceText, Writer::trace)

// The direct path writes the runtime's text (a declined format answers -1 and
// fails here); the formats are literals so the compiler checks the arguments.
#define EXPECT_DIRECT(...) EXPECT_EQ(directText(256, __VA_ARGS__), runtimeText(256, __VA_ARGS__)) << #__VA_ARGS__
// The direct path declines and the whole formatter still writes the runtime's text.
#define EXPECT_DECLINED(...)                                                                                           \
    do {                                                                                                               \
        EXPECT_EQ(directText(256, __VA_ARGS__).answer, traceFormatDeclined) << #__VA_ARGS__;                           \
        EXPECT_EQ(traceText(256, __VA_ARGS__), runtimeText(256, __VA_ARGS__)) << #__VA_ARGS__;                         \
    } while (0)

int directInto(char* text, std::size_t size, const char* format, ...) __attribute__((format(gnu_printf, 3, 4)));
int directInto(char* text, std::size_t size, const char* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    const int answer = formatTraceDirect(text, size, format, arguments);
    va_end(arguments);
    return answer;
}

// "%.*f" of value: the direct text, or "declined".
std::string direct(double value, int precision)
{
    char text[64];
    return directInto(text, sizeof text, "%.*f", precision, value) == traceFormatDeclined ? "declined" : text;
}

// Counts values whose direct text differs from the runtime's, reporting the first few.
class FixedComparison {
public:
    void check(double value, int precision = 6)
    {
        ++checked;
        char expected[64];
        char actual[64];
        const int expectedLength = snprintf(expected, sizeof expected, "%.*f", precision, value);
        const int actualLength = directInto(actual, sizeof actual, "%.*f", precision, value);
        if (actualLength == expectedLength && std::strcmp(actual, expected) == 0)
            return;
        if (++mismatches <= 10)
            ADD_FAILURE() << "%." << precision << "f of " << std::hexfloat << value << ": "
                          << (actualLength == traceFormatDeclined ? "declined" : actual) << " instead of " << expected;
    }

    long checked = 0;
    long mismatches = 0;
};

// The cases below pass forms the compiler's gnu_printf check does not know
// (I64) or frowns on (0 with - or with %s): the runtime takes them all.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat"

TEST(TraceFormat, IntegersMatchTheRuntimeAtTheirExtremes)
{
    EXPECT_DIRECT("%d %d %d %d %i", INT_MIN, INT_MAX, 0, -1, -12345);
    EXPECT_DIRECT("%u %u %x %X %x", 0u, UINT_MAX, UINT_MAX, 0xabcdefu, 0u);
    EXPECT_DIRECT("%ld %ld %lu %lx", LONG_MIN, LONG_MAX, ULONG_MAX, 0x7fffffffUL);
    EXPECT_DIRECT("%lld %lld %llu %llx %llX", LLONG_MIN, LLONG_MAX, ULLONG_MAX, ULLONG_MAX, 0x1234abcdULL);
    EXPECT_DIRECT("%I64d %I64u %I64x %I32d %I32x", LLONG_MIN, ULLONG_MAX, 0xfeedULL, INT_MIN, 0xbeefu);
    EXPECT_DIRECT("%02X %02X %02X %02X", 0x00, 0x9, 0xab, 0x1abc);
    EXPECT_DIRECT("%08x %08x %08llx %08llx", 0x1234u, 0x23456789u, 0x12ULL, 0x123456789abULL);
}

TEST(TraceFormat, IntegerWidthsAndFlagsMatchTheRuntime)
{
    EXPECT_DIRECT("[%5d][%-5d][%05d][%-05d][%05d]", 42, 42, 42, 42, -42);
    EXPECT_DIRECT("[%1d][%3d][%03d][%20lld][%-20lld|]", -123456, -7, -7, LLONG_MIN, LLONG_MIN);
    EXPECT_DIRECT("[%*d][%*d][%-*x][%0*X]", 6, -3, -6, -3, 4, 0xau, 5, 0xbu);
    EXPECT_DIRECT("[%10u][%010u][%-10x][%012llX]", 77u, 77u, 0xffu, 0xabcULL);
}

TEST(TraceFormat, TextsCharactersAndPercentMatchTheRuntime)
{
    const char* none = nullptr;
    EXPECT_DIRECT("[%s][%s][%s]", "receiveVstEvents", "", none);
    EXPECT_DIRECT("[%8s][%-8s][%05s][%2s]", "ab", "ab", "ab", "longer");
    EXPECT_DIRECT("[%.3s][%.0s][%.2s][%.10s][%.*s][%.*s]", none, "abc", "abcdef", "abc", 4, "abcdef", -1, "abc");
    EXPECT_DIRECT("[%5.1s][%-6.3s][%8s][%.*s]", "abc", "abcdef", none, 2, none);
    EXPECT_DIRECT("[%c][%3c][%-3c][%05c][%c]", 'a', 'b', 'c', 'd', 0xff);
    EXPECT_DIRECT("100%% [%%] %%%d%%", 5);
    // A NUL character is stored like any other; the text goes on after it.
    EXPECT_EQ(directText(16, "a%cb", 0), runtimeText(16, "a%cb", 0));
}

#pragma GCC diagnostic pop

TEST(TraceFormat, PointersMatchTheRuntime)
{
    int local = 0;
    EXPECT_DIRECT("%p %p %p", nullptr, reinterpret_cast<void*>(0x1234), static_cast<void*>(&local));
    EXPECT_DIRECT("%p", reinterpret_cast<void*>(UINTPTR_MAX));
}

TEST(TraceFormat, TextsAreCutAtEverySizeLikeTheRuntime)
{
    // Every conversion kind once, cut at each size from nothing to beyond the whole text.
    const char* format = "%12f  vst->processEvents(%d): { %02X %02X } %s %c %lld %p%% %-4d|%08x\n";
    const Written whole = runtimeText(256, format, -1.25, 3, 0x90, 0x3c, "(text)", 'z', LLONG_MIN,
                                      reinterpret_cast<void*>(0xabc), 7, 0xdeadu);
    ASSERT_GT(whole.answer, 40);
    for (std::size_t size = 0; size <= static_cast<std::size_t>(whole.answer) + 2; ++size) {
        EXPECT_EQ(directText(size, format, -1.25, 3, 0x90, 0x3c, "(text)", 'z', LLONG_MIN,
                             reinterpret_cast<void*>(0xabc), 7, 0xdeadu),
                  runtimeText(size, format, -1.25, 3, 0x90, 0x3c, "(text)", 'z', LLONG_MIN,
                              reinterpret_cast<void*>(0xabc), 7, 0xdeadu))
            << "size " << size;
    }
    // A long text and a wide field past the buffer: cut, counted in full.
    const std::string longText(5000, 'm');
    EXPECT_DIRECT("<%s>\n", longText.c_str());
    EXPECT_DIRECT("[%300d][%-300s]", 1, "x");
}

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat"

TEST(TraceFormat, UnwrittenConversionsGoToTheRuntimeFromTheFirstArgument)
{
    // The direct path reads arguments before it meets the conversion it declines.
    EXPECT_DECLINED("%d %s %e %d", 1, "two", 3.0, 4);
    EXPECT_DECLINED("%g %E %G %a %F", 1.5, 2.5, 3.5, 4.5, 5.5);
    EXPECT_DECLINED("%+d % d %#x %#o %o", 5, 5, 5u, 5u, 8u);
    EXPECT_DECLINED("%hd %hhd %zu %jd %lf %Lf", 70000, 300, static_cast<size_t>(5), static_cast<intmax_t>(6), 2.5,
                    2.5L);
    EXPECT_DECLINED("[%5%] %.3d %.0u", 7, 0u);
    EXPECT_DECLINED("%ls %lc", L"wide", L'w');
    EXPECT_DECLINED("%10p %-20p| %016p", nullptr, reinterpret_cast<void*>(0x12), reinterpret_cast<void*>(0x12));
    EXPECT_DECLINED("%.10f %.20f", 0.1, 0.1);
    EXPECT_DECLINED("%5000d|", 1);
    EXPECT_DECLINED("%f %f", 1.0, std::nan(""));
    EXPECT_DECLINED("%f", -std::nan(""));
    EXPECT_DECLINED("%12f|%-12f|%f", HUGE_VAL, -HUGE_VAL, -HUGE_VAL);
    EXPECT_DECLINED("%f", 18446744073709551616.0);
    EXPECT_DECLINED("%f %f", 1e300, -DBL_MAX);
}

#pragma GCC diagnostic pop

TEST(TraceFormat, FixedUnderACommaLocaleGoesToTheRuntime)
{
    const std::string previous = std::setlocale(LC_NUMERIC, nullptr);
    if (std::setlocale(LC_NUMERIC, "German") == nullptr)
        GTEST_SKIP() << "no German locale here";
    EXPECT_DECLINED("%f", 1.5);
    EXPECT_EQ(traceText(256, "%f", 1.5).bytes.c_str(), std::string("1,500000"));
    EXPECT_DIRECT("%d %s", 5, "integers and texts have no decimal point");
    std::setlocale(LC_NUMERIC, previous.c_str());
    EXPECT_DIRECT("%f", 1.5);
}

TEST(TraceFormat, FixedMatchesTheRuntimeAroundEveryRoundingEdge)
{
    FixedComparison comparison;
    // Halfway points between 6-digit results, as near as doubles get, and
    // their neighbours, at small and large integer parts.
    for (double base : {0.0, 1.0, 2.0, 100.0, 12345.0, 4503599627.0, 1e10}) {
        for (int k = 0; k <= 2000; ++k) {
            const double edge = base + (k + 0.5) * 1e-6;
            for (double value : {edge, std::nextafter(edge, 0.0), std::nextafter(edge, 1e300),
                                 std::nextafter(std::nextafter(edge, 0.0), 0.0), base + k * 1e-6}) {
                comparison.check(value);
                comparison.check(-value);
            }
        }
    }
    // Exact ties: odd multiples of 2^-(p+1)... of 10^-p halves are dyadic only as
    // j / 2^(p+1); at precision 6, 0.0078125 = 1/128 is one.
    for (int precision = 0; precision <= 9; ++precision) {
        const double unit = std::ldexp(1.0, -(precision + 1));
        for (int j = 1; j < 4000; j += 2) {
            comparison.check(j * unit, precision);
            comparison.check(-j * unit, precision);
            comparison.check(std::nextafter(j * unit, 0.0), precision);
            comparison.check(std::nextafter(j * unit, 1e300), precision);
        }
        for (double value : {0.5, 1.5, 2.5, 0.0000005, 0.00000049999999999999998, 0.9999995, 0.99999949999999999, 9.5,
                             999999.9999995, 0.25, 0.125, 1.0000005, 2.0005})
            comparison.check(value, precision);
    }
    // 10^-7 and below: "0.000000" with the sign of the value.
    for (double value : {0.0, -0.0, 1e-7, -1e-7, 4.9e-7, -4.9e-7, 5e-7, -5e-7, 5.1e-7, -5.1e-7, DBL_MIN, -DBL_MIN,
                         DBL_TRUE_MIN, -DBL_TRUE_MIN, 1e-300, -1e-300})
        comparison.check(value);
    EXPECT_EQ(comparison.mismatches, 0);
    EXPECT_EQ(direct(-0.0, 6), "-0.000000");
    EXPECT_EQ(direct(-1e-7, 6), "-0.000000");
    EXPECT_EQ(direct(0.0078125, 6), "0.007812");
    EXPECT_EQ(direct(0.0234375, 6), "0.023438");
}

TEST(TraceFormat, FixedMatchesTheRuntimeUpToTwoToThe64)
{
    FixedComparison comparison;
    // Integers at the edge of the direct range and powers of ten in it.
    const double below = std::nextafter(18446744073709551616.0, 0.0);
    for (double value : {below, std::nextafter(below, 0.0), 9007199254740992.0, 9007199254740993.0, 4503599627370495.5,
                         4503599627370496.5, 1e15, 1e15 + 0.25, 123456789012345678.0, 1e19}) {
        comparison.check(value);
        comparison.check(-value);
        comparison.check(value, 0);
        comparison.check(value, 9);
    }
    for (int exponent = -20; exponent <= 19; ++exponent) {
        const double power = std::pow(10.0, exponent);
        for (int precision : {0, 1, 6, 9}) {
            comparison.check(power, precision);
            comparison.check(-power, precision);
            comparison.check(std::nextafter(power, 0.0), precision);
            comparison.check(std::nextafter(power, 1e300), precision);
        }
    }
    for (int bit = -80; bit < 64; ++bit) {
        const double power = std::ldexp(1.0, bit);
        comparison.check(power);
        comparison.check(std::nextafter(power, 0.0));
        comparison.check(-std::nextafter(power, 1e300));
    }
    EXPECT_EQ(comparison.mismatches, 0);
    EXPECT_EQ(direct(below, 6), "18446744073709549568.000000");
    EXPECT_EQ(direct(18446744073709551616.0, 6), "declined");
}

TEST(TraceFormat, FixedMatchesTheRuntimeOnMillionsOfRandomDoubles)
{
    FixedComparison comparison;
    std::mt19937_64 generator(20261208);
    // Uniform binary exponents over the direct range and a little beyond it
    // on both sides, random mantissas and signs.
    std::uniform_int_distribution<int> exponents(-40, 64);
    for (int i = 0; i < 1200000; ++i) {
        const uint64_t bits = generator();
        const double mantissa = 1.0 + static_cast<double>(bits >> 12) * 0x1p-52;
        double value = std::ldexp(mantissa, exponents(generator));
        if (bits & 1)
            value = -value;
        if (std::fabs(value) < 0x1p64)
            comparison.check(value, (bits & 0xF0) != 0 ? 6 : static_cast<int>((bits >> 1) % 10));
    }
    // Positions as a host reports them: samples and beats at plain decimals.
    std::uniform_int_distribution<int64_t> samples(0, int64_t{1} << 40);
    for (int i = 0; i < 300000; ++i) {
        const double samplePos = static_cast<double>(samples(generator));
        comparison.check(samplePos);
        comparison.check(samplePos / 44100.0 * 2.0);
        comparison.check(-samplePos / 48000.0);
    }
    EXPECT_EQ(comparison.mismatches, 0);
    EXPECT_GT(comparison.checked, 2000000);
}

TEST(TraceFormat, FixedWidthsAndFlagsMatchTheRuntime)
{
    EXPECT_DIRECT("[%12f][%-12f][%012f][%12f]", 1.5, -1.5, -1.5, 44100.0);
    EXPECT_DIRECT("[%1f][%3.0f][%-8.2f][%08.3f][%20.9f]", 123.456, 2.5, -0.125, -0.0, 1.0000000005);
    EXPECT_DIRECT("[%12f][%012f][%-12f][%12f]", -0.0, -1e-7, 0.0078125, 1e15);
    EXPECT_DIRECT("[%.f][%.0f][%.1f][%*.*f][%-*.*f]", 2.5, 3.5, 0.25, 10, 2, 1.005, 9, 3, -2.0005);
}

TEST(TraceFormat, TraceLinesTakeTheDirectPath)
{
    // The formats the plug-in traces with, each with values of its kind.
    EXPECT_DIRECT("%12f  vst->processEvents(%d): { %02X %02X %02X %02X } deltaFrames %ld\n", 17.25, 63, 0x90, 0x3c,
                  0x64, 0x00, 511L);
    EXPECT_DIRECT("%f %f processEvents%s\n", 1323000.0, 60.0, " -- start!");
    EXPECT_DIRECT("%f %f processReplacing%s\n", 0.0, -0.0, " -- stop!");
    EXPECT_DIRECT("%f %f process%s\n", 88200.0, 4.000000476837158, "");
    EXPECT_DIRECT("%f %f process completed\n", 512.0, 0.023219954648526078);
    EXPECT_DIRECT("  (%d times repeated)\n", INT32_MAX);
    EXPECT_DIRECT("setProgram: %d\n", -1);
    EXPECT_DIRECT("canDo: %s?\n", "receiveVstMidiEvent");
    EXPECT_DIRECT("get_interface(IMidiOut) --> %p\n", reinterpret_cast<void*>(0x7ff6a1b2c3d0));
    EXPECT_DIRECT("sendVstEventsToHost([%02X %02X %02X %02X] @ %ld) --> %d\n", 0xb0, 0x07, 0x7f, 0x00, -3L, 1);
    EXPECT_DIRECT("effSetSampleRate: %f |%d %lld %08llx %f", 44100.0, 0, 0LL, 0ULL, 44100.0);
    EXPECT_DIRECT("audioMasterAutomate: idx=%d, opt=%f", 12, static_cast<double>(0.3f));
}

TEST(TraceFormat, TraceMessageSendsTheRuntimesTextByteForByte)
{
    DebugOutputCapture capture;
    std::vector<std::string> expected;
    const std::string longText(5000, 'm');
    const std::string edgeText(250, 'e');
    const double positions[] = {0.0, -0.0, 1.0000005, 1234.5678, -3.25e-7, 0.0078125, 1e15, 7e18};
    int i = 0;
    for (double ppq : positions) {
        traceMessage("%12f  vst->processEvents(%d): { %02X %02X %02X %02X } deltaFrames %ld\n", ppq, i, 0x90, 0x30 + i,
                     0x64, 0, static_cast<long>(i * 7));
        expected.push_back(runtimeText(256, "%12f  vst->processEvents(%d): { %02X %02X %02X %02X } deltaFrames %ld\n",
                                       ppq, i, 0x90, 0x30 + i, 0x64, 0, static_cast<long>(i * 7))
                               .bytes.c_str());
        traceMessage("%f %f processEvents%s\n", ppq * 44100.0, ppq, " -- start!");
        expected.push_back(runtimeText(256, "%f %f processEvents%s\n", ppq * 44100.0, ppq, " -- start!").bytes.c_str());
        ++i;
    }
    // Cut at 255 characters, whether by a long text or a long number near the edge.
    traceMessage("<%s>\n", longText.c_str());
    expected.push_back(runtimeText(256, "<%s>\n", longText.c_str()).bytes.c_str());
    traceMessage("%s %f\n", edgeText.c_str(), -12345.678);
    expected.push_back(runtimeText(256, "%s %f\n", edgeText.c_str(), -12345.678).bytes.c_str());
    // Values the direct path leaves to the runtime still reach the output.
    traceMessage("%f %f process completed\n", std::nan(""), 1e300);
    expected.push_back(runtimeText(256, "%f %f process completed\n", std::nan(""), 1e300).bytes.c_str());
    EXPECT_EQ(capture.texts(), expected);
    EXPECT_EQ(capture.texts()[16], "<" + std::string(254, 'm'));
    EXPECT_EQ(capture.texts()[17].size(), 255u);
}

}  // namespace
