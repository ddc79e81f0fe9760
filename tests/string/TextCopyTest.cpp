#include <gtest/gtest.h>

#include <cstring>

#include "TextCopy.h"

namespace {

using Korvanta::copyText;

TEST(TextCopy, SizeCountsTheTerminatorAndNothingIsWrittenBeyondIt)
{
    char text[8];
    std::memset(text, 'Z', sizeof text);
    copyText(text, 4, "abcdef");
    EXPECT_STREQ(text, "abc");
    EXPECT_EQ(text[4], 'Z');

    std::memset(text, 'Z', sizeof text);
    copyText(text, 8, "abc");
    EXPECT_STREQ(text, "abc");
    EXPECT_EQ(text[4], 'Z');

    copyText(text, 1, "abc");
    EXPECT_EQ(text[0], '\0');
}

TEST(TextCopy, NullOrEmptyBuffersAreLeftAloneAndANullSourceGivesTheEmptyText)
{
    char text[4] = {'Z', 'Z', 'Z', 'Z'};
    copyText(text, 0, "abc");
    copyText(text, -5, "abc");
    EXPECT_EQ(text[0], 'Z');
    copyText(nullptr, 4, "abc");
    copyText(text, 4, nullptr);
    EXPECT_EQ(text[0], '\0');
    EXPECT_EQ(text[1], 'Z');
}

TEST(TextCopy, AnUnterminatedSourceIsReadOnlyAsFarAsFits)
{
    const char source[3] = {'x', 'y', 'z'};  // no terminator
    char text[4];
    copyText(text, 4, source);
    EXPECT_STREQ(text, "xyz");
    copyText(text, 3, source);
    EXPECT_STREQ(text, "xy");
}

}  // namespace
