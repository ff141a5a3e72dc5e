#include "core/text.h"

#include <clocale>
#include <gtest/gtest.h>

using namespace shelvix::core;

TEST(Text, TrimAndCut) {
    EXPECT_EQ(trim("  Tolkien \t "), "Tolkien");
    EXPECT_EQ(trim("   "), "");
    EXPECT_EQ(trimLeft("  a b  "), "a b  ");
    EXPECT_EQ(trimRight("  a b  "), "  a b");
    // Bytes above 0x7F are letters, not blanks (signed char must not fool it).
    EXPECT_EQ(trim("\xE9t\xE9 "), "\xE9t\xE9");
    EXPECT_EQ(trimCut("  Dewey Decimal System ", 13), "Dewey Decimal");
    EXPECT_EQ(trimCut(" ab ", 10), "ab");
}

TEST(Text, PaddingNeverCuts) {
    EXPECT_EQ(padRight("ab", 5), "ab   ");
    EXPECT_EQ(padLeft("ab", 5), "   ab");
    EXPECT_EQ(padRight("abcdef", 3), "abcdef");
    EXPECT_EQ(padLeft("abcdef", 3), "abcdef");
}

TEST(Text, SmallHelpers) {
    EXPECT_EQ(removeChar("1,234,567", ','), "1234567");
    EXPECT_EQ(repeatChar('-', 4), "----");
    EXPECT_EQ(repeatChar('-', 0), "");
    EXPECT_EQ(intToText(-2147483648LL), "-2147483648");
    EXPECT_EQ(yesNo(true), "Yes");
    EXPECT_EQ(yesNo(false), "No");
    EXPECT_TRUE(equalsNoCase("DESCRIPTIO", "Descriptio"));
    EXPECT_FALSE(equalsNoCase("Sub1", "Sub12"));
}

// Whatever the locale says: a to z only, so "é" never meets "É" where names
// and folded searches compare bytes.
TEST(Text, UpperCaseIsAsciiOnly) {
    std::setlocale(LC_ALL, "C.UTF-8");
    for (int b = 0; b < 256; ++b) {
        const char c = char(b);
        EXPECT_EQ(toUpperAscii(c), b >= 'a' && b <= 'z' ? char(b - 32) : c) << b;
    }
    EXPECT_EQ(toUpperAscii("r\xe9sum\xe9 z{"), "R\xe9SUM\xe9 Z{");
    EXPECT_FALSE(equalsNoCase("\xe9", "\xc9"));
}
