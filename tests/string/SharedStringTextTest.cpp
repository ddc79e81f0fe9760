// Search, extraction, in-place edits and formatting.
#include "SharedString.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

using Korvanta::SharedString;

namespace {

int32_t capacity(const SharedString& s)
{
    return s.data()->capacity;
}

}  // namespace

TEST(StringText, SearchesAnswerPositionsOrMinusOne)
{
    SharedString s("a.b.c");
    EXPECT_EQ(1, s.find('.'));
    EXPECT_EQ(3, s.find('.', 2));
    EXPECT_EQ(-1, s.find('.', 5));
    EXPECT_EQ(-1, SharedString().find('a'));
    EXPECT_EQ(2, s.find("b.c"));
    EXPECT_EQ(-1, s.find("b.c", 3));
    EXPECT_EQ(5, s.find("", 5));
    EXPECT_EQ(-1, s.find("", 6));
    EXPECT_EQ(-1, s.find("c.d"));
    EXPECT_EQ(3, s.reverseFind('.'));
    EXPECT_EQ(-1, s.reverseFind('x'));
    EXPECT_EQ(2, s.findOneOf("xcb"));
    EXPECT_EQ(-1, s.findOneOf(""));
}

TEST(StringText, ExtractionClampsAndSharesTheWholeText)
{
    SharedString s("abcdef");
    EXPECT_STREQ("ab", s.mid(-3, 2));
    EXPECT_STREQ("cdef", s.mid(2));
    EXPECT_STREQ("", s.mid(9, 2));
    EXPECT_STREQ("", s.mid(2, -1));
    EXPECT_STREQ("def", s.mid(3, 100));
    EXPECT_STREQ("", s.left(-1));
    EXPECT_STREQ("ef", s.right(2));
    EXPECT_EQ(2, capacity(s.right(2)));
    EXPECT_EQ(s.c_str(), s.right(s.getLength() + 5).c_str());
    EXPECT_EQ(s.c_str(), s.left(6).c_str());
    EXPECT_EQ(s.c_str(), s.mid(-1).c_str());
    EXPECT_STREQ("abc", s.spanIncluding("cba"));
    EXPECT_STREQ("abcd", s.spanExcluding("fe"));
    EXPECT_STREQ("", s.spanIncluding("xyz"));
}

TEST(StringText, InsertAndDeleteReportLengthsAfterAndBefore)
{
    SharedString s("ace");
    SharedString keeper(s);
    EXPECT_EQ(4, s.insert(1, 'b'));
    EXPECT_EQ(5, s.insert(99, 'f'));
    EXPECT_EQ(8, s.insert(-2, "xyz"));
    EXPECT_STREQ("xyzabcef", s);
    EXPECT_EQ(8, s.insert(3, ""));
    EXPECT_EQ(16, s.insert(0, s.c_str()));
    EXPECT_STREQ("xyzabcefxyzabcef", s);
    EXPECT_EQ(16, s.deleteChars(-5, 8));
    EXPECT_STREQ("xyzabcef", s);
    EXPECT_EQ(8, s.deleteChars(6, 100));
    EXPECT_EQ(6, s.deleteChars(3, 0));
    EXPECT_EQ(6, s.deleteChars(6, 1));
    EXPECT_STREQ("xyzabc", s);
    EXPECT_STREQ("ace", keeper);

    // With room to spare the text moves inside the block it is read from.
    s.getBuffer(32);
    EXPECT_EQ(9, s.insert(1, s.c_str() + 3));
    EXPECT_STREQ("xabcyzabc", s);
    EXPECT_EQ(32, capacity(s));
}

TEST(StringText, ReplaceCountsOccurrencesAndSizesTheBlockExactly)
{
    SharedString s("abab");
    EXPECT_EQ(2, s.replace("ab", "xyz"));
    EXPECT_STREQ("xyzxyz", s);
    EXPECT_EQ(6, s.getLength());
    EXPECT_EQ(6, capacity(s));
    EXPECT_EQ(2, s.replace("yz", nullptr));
    EXPECT_STREQ("xx", s);
    EXPECT_EQ(6, capacity(s));
    EXPECT_EQ(2, s.replace("x", "ab"));
    EXPECT_STREQ("abab", s);
    EXPECT_EQ(0, s.replace("q", "r"));
    EXPECT_EQ(0, s.replace("", "r"));
    EXPECT_EQ(0, s.replace('a', 'a'));
    EXPECT_EQ(2, s.replace('a', 'o'));
    EXPECT_STREQ("obob", s);

    SharedString hidden("a\0a", 3);
    SharedString keeper(hidden);
    EXPECT_EQ(2, hidden.replace("a", "bb"));
    EXPECT_EQ(0, std::memcmp("bb\0bb", hidden.c_str(), 6));
    EXPECT_EQ(0, std::memcmp("a\0a", keeper.c_str(), 4));

    SharedString self("aXa");
    EXPECT_EQ(2, self.replace("a", self.c_str()));
    EXPECT_STREQ("aXaXaXa", self);
    self.getBuffer(32);
    EXPECT_EQ(3, self.replace(self.c_str() + 5, self.c_str() + 4));  // "Xa" by "aXa"
    EXPECT_STREQ("aaXaaXaaXa", self);
    EXPECT_EQ(32, capacity(self));
}

TEST(StringText, RemoveReverseAndTrimEditOnlyTheirOwnBlock)
{
    SharedString s("  a-b-c \t");
    SharedString keeper(s);
    EXPECT_EQ(2, s.remove('-'));
    s.trimRight();
    s.trimLeft();
    EXPECT_STREQ("abc", s);
    s.makeReverse();
    EXPECT_STREQ("cba", s);
    s = "xxabcyy";
    s.trimLeft('x');
    s.trimRight("zy");
    EXPECT_STREQ("abc", s);
    s.trimLeft("cba");
    EXPECT_STREQ("", s);
    EXPECT_STREQ("  a-b-c \t", keeper);
}

TEST(StringFormat, ReservesTheEstimateOfTheFormat)
{
    SharedString s;
    s.format("%s", static_cast<const char*>(nullptr));
    EXPECT_EQ(6, capacity(s));
    EXPECT_STREQ("(null)", s);

    s.empty();
    s.format("ab%d", 7);  // "ab%d": 4 + 3 for the literals, 32 for the number
    EXPECT_EQ(39, capacity(s));
    EXPECT_STREQ("ab7", s);

    s.empty();
    // Items 8, 2 and 2; each '|' counts the rest of the format from it: 8 and 3.
    s.format("%-8s|%.2s|%c", "xy", "long", 'q');
    EXPECT_STREQ("xy      |lo|q", s);
    EXPECT_EQ(23, capacity(s));

    s.empty();
    s.format("%I64d %s %lld %s", INT64_C(-5000000000), "a", INT64_C(1) << 40, "b");
    EXPECT_STREQ("-5000000000 a 1099511627776 b", s);

    s.empty();
    s.format("%.1f", 2.26);  // measured as "2.2600000": precision plus 6
    EXPECT_STREQ("2.3", s);
    EXPECT_EQ(9, capacity(s));

    s.empty();
    s.format("%%");
    EXPECT_STREQ("%", s);
    EXPECT_EQ(1, capacity(s));
}

TEST(StringFormat, TextLongerThanTheEstimateIsStillWhole)
{
    SharedString s;
    s.format("%F", 1e300);          // F is read as a size modifier: the estimate counts nothing
    ASSERT_EQ(308, s.getLength());  // 301 digits, the point and 6 decimals
    EXPECT_EQ(308, capacity(s));
    EXPECT_EQ('1', s.getAt(0));
    EXPECT_STREQ(".000000", s.c_str() + 301);
}

TEST(StringFormat, FormattingMayReadTheStringsOwnText)
{
    SharedString s("engine");
    s.format("%s.dll (%s)", s.c_str(), s.c_str());
    EXPECT_STREQ("engine.dll (engine)", s);
    SharedString big;
    big.getBuffer(200);
    big.releaseBuffer(0);
    big.append("ab");
    const char* block = big.c_str();
    big.format("<%s>", big.c_str());
    EXPECT_STREQ("<ab>", big);
    EXPECT_EQ(block, big.c_str());
}

TEST(StringFormat, FormatMessageFillsNumberedInsertsOrLeavesTheStringEmpty)
{
    SharedString s;
    s.formatMessage("%2 before %1, code %3!d!", "first", "second", 42);
    EXPECT_STREQ("second before first, code 42", s);
    s.formatMessage("%1!", "unterminated insert type");
    EXPECT_STREQ("", s);
    s = "old";
    s.formatMessage(nullptr);
    EXPECT_STREQ("", s);
}
