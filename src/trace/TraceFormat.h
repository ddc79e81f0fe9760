// printf-style formatting of trace lines without the C runtime's cost. The
// conversions trace formats use are written here and give the very text the
// runtime's vsnprintf gives in this build (mingw-w64's own printf, which C++
// builds get): %d %i %u %x %X with l, ll, I32 and I64, %c, %s, %p, %% and %f
// with precision 0 to 9, under the flags - and 0 and any width. %f is exact
// for magnitudes below 2^64: the double's binary value is scaled and rounded
// half to even in integer arithmetic, as the runtime rounds it.
#pragma once

#include <cstdarg>
#include <cstddef>

// The answer of formatTraceDirect when the format holds a conversion it does
// not write, or %f meets a value or locale it does not handle exactly.
constexpr int traceFormatDeclined = -1;

// Same contract and text as vsnprintf(text, size, format, arguments): writes
// at most size - 1 characters and a terminator (nothing at all when size is
// 0) and answers the length of the whole text. Formats directly where it can
// and hands the whole text to vsnprintf otherwise. Allocates nothing itself.
int formatTrace(char* text, std::size_t size, const char* format, va_list arguments);

// The direct path alone: the text and answer of vsnprintf, or
// traceFormatDeclined with text left undefined and the arguments partly read.
int formatTraceDirect(char* text, std::size_t size, const char* format, va_list arguments);
