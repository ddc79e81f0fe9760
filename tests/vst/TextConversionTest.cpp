#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "VstTestSupport.h"

namespace {

constexpr char kGuard = 0x7F;

// Runs a conversion into a guard-filled buffer and checks that exactly the
// cut text and its terminator were written; answers the text.
template <typename Convert>
std::string convertGuarded(Convert convert, int32_t maxLen)
{
    char buffer[40];
    std::memset(buffer, kGuard, sizeof(buffer));
    convert(buffer, maxLen);
    const char* end = static_cast<const char*>(std::memchr(buffer, '\0', sizeof(buffer)));
    if (end == nullptr) {
        ADD_FAILURE() << "no terminator written";
        return {};
    }
    const size_t length = static_cast<size_t>(end - buffer);
    EXPECT_LE(length, static_cast<size_t>(maxLen));
    for (size_t i = length + 1; i < sizeof(buffer); ++i) {
        EXPECT_EQ(buffer[i], kGuard) << "byte " << i << " written past the text";
    }
    return std::string(buffer, length);
}

struct Converter {
    DefaultEffect* effect = new DefaultEffect(nullptr);
    ~Converter() { dispatch(effect->getEffectRecord(), effClose); }

    std::string floatText(float value, int32_t maxLen = 30)
    {
        return convertGuarded([&](char* text, int32_t max) { effect->floatToText(value, text, max); }, maxLen);
    }
    std::string intText(int32_t value, int32_t maxLen = 30)
    {
        return convertGuarded([&](char* text, int32_t max) { effect->intToText(value, text, max); }, maxLen);
    }
    std::string decibelText(float value)
    {
        return convertGuarded([&](char* text, int32_t max) { effect->decibelsToText(value, text, max); }, 30);
    }
    std::string hertzText(float samples)
    {
        return convertGuarded([&](char* text, int32_t max) { effect->hertzToText(samples, text, max); }, 30);
    }
    std::string millisecondText(float samples)
    {
        return convertGuarded([&](char* text, int32_t max) { effect->millisecondsToText(samples, text, max); }, 30);
    }
};

}  // namespace

TEST(VstTextConversion, FloatToTextWritesEightCharactersWithTruncatedFraction)
{
    Converter c;
    EXPECT_EQ(c.floatText(1.5f), "1.500000");
    EXPECT_EQ(c.floatText(-2.25f), "-2.25000");
    EXPECT_EQ(c.floatText(0.0f), "0.000000");
    EXPECT_EQ(c.floatText(-0.0f), "0.000000");
    EXPECT_EQ(c.floatText(-0.5f), "-0.50000");
    EXPECT_EQ(c.floatText(99.99f), "99.98999");  // 99.9899978... truncated, not rounded
    EXPECT_EQ(c.floatText(1234567.0f), "1234567.");
    EXPECT_EQ(c.floatText(-123456.0f), "-123456.");
}

TEST(VstTextConversion, FloatToTextKeepsEveryDigitUpToTheHugeLimits)
{
    Converter c;
    EXPECT_EQ(c.floatText(12345678.0f), "12345678.");
    EXPECT_EQ(c.floatText(99999992.0f), "99999992.");
    EXPECT_EQ(c.floatText(-1234567.0f), "-1234567.");
    EXPECT_EQ(c.floatText(-9999999.0f), "-9999999.");
    EXPECT_EQ(c.floatText(100000000.0f), "Huge!");
    EXPECT_EQ(c.floatText(-10000000.0f), "Huge!");
    EXPECT_EQ(c.floatText(std::numeric_limits<float>::infinity()), "Huge!");
    EXPECT_EQ(c.floatText(-std::numeric_limits<float>::infinity()), "Huge!");
    EXPECT_EQ(c.floatText(std::nanf("")), "NaN");
}

TEST(VstTextConversion, IntToTextHasNoLeadingZerosAndHandlesEveryNegative)
{
    Converter c;
    EXPECT_EQ(c.intText(0), "0");
    EXPECT_EQ(c.intText(7), "7");
    EXPECT_EQ(c.intText(1000), "1000");
    EXPECT_EQ(c.intText(-42), "-42");
    EXPECT_EQ(c.intText(99999999), "99999999");
    EXPECT_EQ(c.intText(100000000), "Huge!");
    EXPECT_EQ(c.intText(std::numeric_limits<int32_t>::max()), "Huge!");
    EXPECT_EQ(c.intText(-999999999), "-999999999");
    EXPECT_EQ(c.intText(-1000000000), "-1000000000");
    EXPECT_EQ(c.intText(std::numeric_limits<int32_t>::min()), "-2147483648");
}

TEST(VstTextConversion, DecibelsHertzAndMillisecondsGoThroughFloatToText)
{
    Converter c;
    EXPECT_EQ(c.decibelText(0.0f), "-oo");
    EXPECT_EQ(c.decibelText(-1.0f), "-oo");
    EXPECT_EQ(c.decibelText(1.0f), "0.000000");
    EXPECT_EQ(c.decibelText(100.0f), "40.00000");
    EXPECT_EQ(c.hertzText(0.0f), "0.000000");
    EXPECT_EQ(c.hertzText(441.0f), "100.0000");  // 44100 / 441
    EXPECT_EQ(c.millisecondText(4410.0f), "100.0000");
    c.effect->setBlockSizeAndSampleRate(64, 48000.0f);
    EXPECT_EQ(c.hertzText(480.0f), "100.0000");
    EXPECT_EQ(c.millisecondText(48.0f), "1.000000");
}

TEST(VstTextConversion, TextsAreCutToMaxLenAndNothingIsWrittenBeyondIt)
{
    Converter c;
    EXPECT_EQ(c.floatText(1.5f, 3), "1.5");
    EXPECT_EQ(c.floatText(-2.25f, 1), "-");
    EXPECT_EQ(c.floatText(1.5f, 0), "");
    EXPECT_EQ(c.intText(-123456, 4), "-123");
    EXPECT_EQ(c.intText(100000000, 2), "Hu");
    EXPECT_EQ(convertGuarded([&](char* t, int32_t m) { c.effect->decibelsToText(0.0f, t, m); }, 2), "-o");
    EXPECT_EQ(convertGuarded([&](char* t, int32_t m) { c.effect->hertzToText(441.0f, t, m); }, 5), "100.0");
}

TEST(VstTextConversion, NullTextOrNegativeMaxLenWritesNothing)
{
    Converter c;
    char buffer[8];
    std::memset(buffer, kGuard, sizeof(buffer));

    c.effect->floatToText(1.5f, buffer, -1);
    c.effect->intToText(5, buffer, -8);
    c.effect->decibelsToText(0.0f, buffer, -1);
    c.effect->floatToText(1.5f, nullptr, 8);
    c.effect->intToText(5, nullptr, 8);
    c.effect->decibelsToText(0.0f, nullptr, 8);
    c.effect->hertzToText(1.0f, nullptr, 8);
    c.effect->millisecondsToText(1.0f, nullptr, 8);

    for (char byte : buffer) {
        EXPECT_EQ(byte, kGuard);
    }
}
