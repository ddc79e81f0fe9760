#include "trace/TraceFormat.h"

#include <climits>
#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {

// The texts below are those of mingw-w64's printf, measured; under any other
// runtime's printf every text goes to vsnprintf.
#if defined(__USE_MINGW_ANSI_STDIO) && __USE_MINGW_ANSI_STDIO
constexpr bool runtimeMatched = true;
#else
constexpr bool runtimeMatched = false;
#endif

// Widths and precisions beyond this go to vsnprintf; no trace line comes near.
constexpr int largestWidth = 4096;
constexpr int largestFixedPrecision = 9;

constexpr uint32_t powersOfTen[largestFixedPrecision + 1] = {
    1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000, 1000000000,
};

// Where the characters go: up to size - 1 of them are stored, all are counted.
class Output {
public:
    Output(char* text, std::size_t size) : next(text), end(size != 0 ? text + size - 1 : text), terminated(size != 0) {}

    void put(char c)
    {
        if (next != end)
            *next++ = c;
        ++count;
    }

    void put(const char* chars, std::size_t length)
    {
        const std::size_t room = static_cast<std::size_t>(end - next);
        const std::size_t stored = length < room ? length : room;
        if (stored != 0)
            std::memcpy(next, chars, stored);
        next += stored;
        count += length;
    }

    void fill(char c, std::size_t length)
    {
        const std::size_t room = static_cast<std::size_t>(end - next);
        const std::size_t stored = length < room ? length : room;
        if (stored != 0)
            std::memset(next, c, stored);
        next += stored;
        count += length;
    }

    // One converted field: the sign (or nothing), then the digits, padded to
    // width on the left with spaces or zeros (zeros go after the sign) or on
    // the right with spaces.
    void field(const char* sign, std::size_t signLength, const char* body, std::size_t bodyLength, int width, bool left,
               bool zeros)
    {
        const std::size_t length = signLength + bodyLength;
        const std::size_t wanted = static_cast<std::size_t>(width);
        const std::size_t padding = wanted > length ? wanted - length : 0;
        if (padding != 0 && !left && !zeros)
            fill(' ', padding);
        put(sign, signLength);
        if (padding != 0 && !left && zeros)
            fill('0', padding);
        put(body, bodyLength);
        if (padding != 0 && left)
            fill(' ', padding);
    }

    int finish()
    {
        if (terminated)
            *next = '\0';
        return count > static_cast<std::size_t>(INT_MAX) ? traceFormatDeclined : static_cast<int>(count);
    }

private:
    char* next;
    char* const end;
    const bool terminated;
    std::size_t count = 0;
};

// Decimal digits of value, written backwards so that they end at last;
// answers where they start.
char* decimalDigits(uint64_t value, char* last)
{
    // 32-bit divisions where they do: on i686 a 64-bit one is a library call.
    while (value > UINT32_MAX) {
        *--last = static_cast<char>('0' + value % 10);
        value /= 10;
    }
    uint32_t small = static_cast<uint32_t>(value);
    do {
        *--last = static_cast<char>('0' + small % 10);
        small /= 10;
    } while (small != 0);
    return last;
}

char* hexDigits(uint64_t value, char* last, const char* digits, int minimum)
{
    do {
        *--last = digits[value & 0xF];
        value >>= 4;
        --minimum;
    } while (value != 0 || minimum > 0);
    return last;
}

// An unsigned 128-bit number in two halves, for the scaled fraction.
struct Wide {
    uint64_t high;
    uint64_t low;
};

// fraction (below 2^53) times factor (below 2^32).
Wide multiply(uint64_t fraction, uint32_t factor)
{
    const uint64_t lowPart = (fraction & 0xFFFFFFFFu) * factor;
    const uint64_t highPart = (fraction >> 32) * factor;
    Wide product;
    product.low = lowPart + (highPart << 32);
    product.high = (highPart >> 32) + (product.low < lowPart ? 1 : 0);
    return product;
}

// |value| to precision fraction digits: its integer part and its fraction
// scaled by 10^precision, rounded to nearest with ties to even on the exact
// binary value. Answers false for NaN, infinities and magnitudes of 2^64 and
// more, which the runtime writes instead.
bool roundFixed(double value, int precision, uint64_t& integer, uint32_t& scaledFraction)
{
    uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    const int exponentField = static_cast<int>(bits >> 52 & 0x7FF);
    uint64_t mantissa = bits & ((uint64_t{1} << 52) - 1);
    if (exponentField == 0x7FF)
        return false;
    // value = mantissa / 2^shift.
    int shift = 1074;
    if (exponentField != 0) {
        mantissa |= uint64_t{1} << 52;
        shift = 1075 - exponentField;
    }
    if (shift <= 0) {
        if (shift < -11)
            return false;
        integer = mantissa << -shift;
        scaledFraction = 0;
        return true;
    }

    const uint32_t scale = powersOfTen[precision];
    // The scaled fraction stays below 2^83; from 2^85 on it is below a
    // quarter of one unit and rounds to 0.
    if (shift >= 85) {
        integer = 0;
        scaledFraction = 0;
        return true;
    }
    const uint64_t fraction = shift < 64 ? mantissa & ((uint64_t{1} << shift) - 1) : mantissa;
    integer = shift < 64 ? mantissa >> shift : 0;

    // digits = product / 2^shift, then the remainder against one half.
    const Wide product = multiply(fraction, scale);
    uint64_t digits;
    Wide remainder;
    Wide half;
    if (shift < 64) {
        digits = product.low >> shift | product.high << (64 - shift);
        remainder = {0, product.low & ((uint64_t{1} << shift) - 1)};
        half = {0, uint64_t{1} << (shift - 1)};
    } else {
        const int highShift = shift - 64;
        digits = product.high >> highShift;
        remainder = {product.high & ((uint64_t{1} << highShift) - 1), product.low};
        half = highShift == 0 ? Wide{0, uint64_t{1} << 63} : Wide{uint64_t{1} << (highShift - 1), 0};
    }
    const bool above = remainder.high != half.high ? remainder.high > half.high : remainder.low > half.low;
    const bool tie = remainder.high == half.high && remainder.low == half.low;
    // The last written digit decides a tie: the units when there is no fraction.
    const bool odd = ((precision == 0 ? integer : digits) & 1) != 0;
    if (above || (tie && odd))
        ++digits;
    if (digits == scale) {
        digits = 0;
        ++integer;
    }
    scaledFraction = static_cast<uint32_t>(digits);
    return true;
}

// The runtime writes the locale's decimal point; only "." is written here.
bool plainDecimalPoint()
{
    const char* point = std::localeconv()->decimal_point;
    return point != nullptr && point[0] == '.' && point[1] == '\0';
}

enum class Length { plain, wide, wider };

}  // namespace

int formatTraceDirect(char* text, std::size_t size, const char* format, va_list arguments)
{
    if (!runtimeMatched || format == nullptr || (text == nullptr && size != 0))
        return traceFormatDeclined;
    Output out(text, size);
    bool pointChecked = false;
    const char* at = format;
    for (;;) {
        const char* literal = at;
        while (*at != '\0' && *at != '%')
            ++at;
        if (at != literal)
            out.put(literal, static_cast<std::size_t>(at - literal));
        if (*at == '\0')
            break;
        ++at;
        if (*at == '%') {
            out.put('%');
            ++at;
            continue;
        }

        bool left = false;
        bool zeros = false;
        for (;; ++at) {
            if (*at == '-')
                left = true;
            else if (*at == '0')
                zeros = true;
            else
                break;
        }
        int width = 0;
        if (*at == '*') {
            width = va_arg(arguments, int);
            if (width < 0) {
                if (width == INT_MIN)
                    return traceFormatDeclined;
                left = true;
                width = -width;
            }
            ++at;
        } else {
            while (*at >= '0' && *at <= '9' && width <= largestWidth)
                width = width * 10 + (*at++ - '0');
        }
        int precision = -1;
        if (*at == '.') {
            ++at;
            if (*at == '*') {
                precision = va_arg(arguments, int);
                if (precision < 0)
                    precision = -1;
                ++at;
            } else {
                precision = 0;
                while (*at >= '0' && *at <= '9' && precision <= largestWidth)
                    precision = precision * 10 + (*at++ - '0');
            }
        }
        if (width > largestWidth || precision > largestWidth)
            return traceFormatDeclined;

        Length length = Length::plain;
        if (at[0] == 'l' && at[1] == 'l') {
            length = Length::wider;
            at += 2;
        } else if (at[0] == 'l') {
            length = Length::wide;
            ++at;
        } else if (at[0] == 'I' && at[1] == '6' && at[2] == '4') {
            length = Length::wider;
            at += 3;
        } else if (at[0] == 'I' && at[1] == '3' && at[2] == '2') {
            at += 3;
        }

        const char conversion = *at++;
        // Room for a 64-bit number in any base used here, or a %f body:
        // 20 integer digits, the point and 9 fraction digits.
        char digits[32];
        char* const last = digits + sizeof digits;
        switch (conversion) {
        case 'd':
        case 'i': {
            if (precision >= 0)
                return traceFormatDeclined;
            int64_t value;
            if (length == Length::wider)
                value = va_arg(arguments, long long);
            else if (length == Length::wide)
                value = va_arg(arguments, long);
            else
                value = va_arg(arguments, int);
            const uint64_t magnitude = value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
            const char* first = decimalDigits(magnitude, last);
            out.field("-", value < 0 ? 1 : 0, first, static_cast<std::size_t>(last - first), width, left, zeros);
            break;
        }
        case 'u':
        case 'x':
        case 'X': {
            if (precision >= 0)
                return traceFormatDeclined;
            uint64_t value;
            if (length == Length::wider)
                value = va_arg(arguments, unsigned long long);
            else if (length == Length::wide)
                value = va_arg(arguments, unsigned long);
            else
                value = va_arg(arguments, unsigned int);
            const char* first =
                conversion == 'u'
                    ? decimalDigits(value, last)
                    : hexDigits(value, last, conversion == 'x' ? "0123456789abcdef" : "0123456789ABCDEF", 1);
            out.field("", 0, first, static_cast<std::size_t>(last - first), width, left, zeros);
            break;
        }
        case 'c': {
            // The runtime pads %c and %s with spaces even under the 0 flag.
            if (length != Length::plain || precision >= 0)
                return traceFormatDeclined;
            const char c = static_cast<char>(va_arg(arguments, int));
            out.field("", 0, &c, 1, width, left, false);
            break;
        }
        case 's': {
            if (length != Length::plain)
                return traceFormatDeclined;
            const char* string = va_arg(arguments, const char*);
            if (string == nullptr)
                string = "(null)";
            const std::size_t count =
                precision >= 0 ? strnlen(string, static_cast<std::size_t>(precision)) : std::strlen(string);
            out.field("", 0, string, count, width, left, false);
            break;
        }
        case 'p': {
            // Bare %p is the pointer in lowercase hexadecimal at full width; the
            // runtime drops the zeros once a width is given.
            if (left || zeros || width != 0 || precision >= 0 || length != Length::plain)
                return traceFormatDeclined;
            const uintptr_t value = reinterpret_cast<uintptr_t>(va_arg(arguments, void*));
            const char* first = hexDigits(value, last, "0123456789abcdef", static_cast<int>(2 * sizeof(void*)));
            out.put(first, static_cast<std::size_t>(last - first));
            break;
        }
        case 'f': {
            if (length != Length::plain || precision > largestFixedPrecision)
                return traceFormatDeclined;
            if (precision < 0)
                precision = 6;
            const double value = va_arg(arguments, double);
            if (!pointChecked) {
                if (!plainDecimalPoint())
                    return traceFormatDeclined;
                pointChecked = true;
            }
            uint64_t integer;
            uint32_t fraction;
            if (!roundFixed(value, precision, integer, fraction))
                return traceFormatDeclined;
            char* first = last;
            if (precision > 0) {
                for (int i = 0; i < precision; ++i) {
                    *--first = static_cast<char>('0' + fraction % 10);
                    fraction /= 10;
                }
                *--first = '.';
            }
            first = decimalDigits(integer, first);
            // The sign follows the sign bit: -0.0 and negatives that round to
            // zero are written "-0.000000".
            out.field("-", std::signbit(value) ? 1 : 0, first, static_cast<std::size_t>(last - first), width, left,
                      zeros);
            break;
        }
        default:
            return traceFormatDeclined;
        }
    }
    return out.finish();
}

int formatTrace(char* text, std::size_t size, const char* format, va_list arguments)
{
    va_list again;
    va_copy(again, arguments);
    int written = formatTraceDirect(text, size, format, arguments);
    if (written == traceFormatDeclined)
        written = vsnprintf(text, size, format, again);
    va_end(again);
    return written;
}
