#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "model/helpers.h"

namespace {

std::string apply(void (*f)(char*), const std::string& in) {
    char buffer[256];
    std::snprintf(buffer, sizeof buffer, "%s", in.c_str());
    f(buffer);
    return buffer;
}

std::string advance(const char* pair) {
    char first = pair[0], second = pair[1];
    advanceNameInitials(first, second);
    return std::string{first, second};
}

}  // namespace

TEST(Helpers, TrimLine) {
    EXPECT_EQ(apply(trimLine, " \t\r\n"), "");
    EXPECT_EQ(apply(trimLine, "\n\r\t "), "");
    EXPECT_EQ(apply(trimLine, "x"), "x");
    EXPECT_EQ(apply(trimLine, "\t  WP 1 \r\n"), "WP 1");
    EXPECT_EQ(apply(trimLine, "a \t b"), "a \t b");
    EXPECT_EQ(apply(trimLine, ""), "");
    trimLine(nullptr);
}

TEST(Helpers, TrimBlanksKeepsLineEnds) {
    EXPECT_EQ(apply(trimBlanks, "  Name \t\r\n"), "Name \t\r\n");
    EXPECT_EQ(apply(trimBlanks, "\t Name  "), "Name");
    EXPECT_EQ(apply(trimBlanks, "\r\n "), "\r\n");
    EXPECT_EQ(apply(trimBlanks, " \t "), "");
    trimBlanks(nullptr);
}

TEST(Helpers, FilterIdentAndComment) {
    EXPECT_EQ(filterIdent("12:30"), "12-30");
    EXPECT_EQ(filterComment("12:30"), "12:30");
    EXPECT_EQ(filterIdent("a-b_c+d!e"), "A-B_C+D E");
    EXPECT_EQ(filterComment("Start: 08:15 Uhr"), "START: 08:15 UHR");
    EXPECT_EQ(filterIdent("\t\r\n"), "");
    // What the receivers cannot show is spelled out, not dropped.
    EXPECT_EQ(filterIdent("Trac\xE9 actuel: 25 SEPT 2012 13:39"), "TRACE ACTUEL 25 SEPT 2012 13-39");
    EXPECT_EQ(filterIdent("M\xFCnchner Haus"), "MUENCHNER HAUS");
    EXPECT_EQ(filterIdent("Oc\xE9" "an/mer"), "OCEAN-MER");
    EXPECT_EQ(filterIdent("\xC4\xD6\xDC\xDF \xE0\xE7\xF1 \xC6\x9C"), "AEOEUESS ACN AEOE");
    EXPECT_EQ(filterIdent("Haus (alt) & Hof \x80"), "HAUS ALT + HOF");
}

TEST(Helpers, KeepFileText) {
    EXPECT_EQ(apply(keepFileText, "Oc\xE9" "an/mer: 13:39  "), "Oc\xE9" "an/mer: 13:39");
    EXPECT_EQ(apply(keepFileText, "a\tb\x7F"), "a?b?");
    keepFileText(nullptr);
}

TEST(Helpers, StartsWithDigit) {
    EXPECT_TRUE(startsWithDigit("   7"));
    EXPECT_TRUE(startsWithDigit("0"));
    EXPECT_FALSE(startsWithDigit("-7"));
    EXPECT_FALSE(startsWithDigit("\t7"));
    EXPECT_FALSE(startsWithDigit(""));
    EXPECT_FALSE(startsWithDigit("   "));
    EXPECT_FALSE(startsWithDigit("x1"));
    const std::string manyBlanks = std::string(999, ' ') + "5";
    EXPECT_TRUE(startsWithDigit(manyBlanks.c_str()));
    const std::string tooMany = std::string(1000, ' ') + "5";
    EXPECT_FALSE(startsWithDigit(tooMany.c_str()));
}

TEST(Helpers, HasSignificantChar) {
    EXPECT_TRUE(hasSignificantChar("_X"));
    EXPECT_TRUE(hasSignificantChar("\xE9t\xE9"));
    EXPECT_TRUE(hasSignificantChar("  a"));
    EXPECT_TRUE(hasSignificantChar("9"));
    EXPECT_FALSE(hasSignificantChar("-A"));
    EXPECT_FALSE(hasSignificantChar(""));
    EXPECT_FALSE(hasSignificantChar("+-+"));
    EXPECT_FALSE(hasSignificantChar("\tA"));
    EXPECT_FALSE(hasSignificantChar("@"));
    EXPECT_FALSE(hasSignificantChar("["));
    EXPECT_FALSE(hasSignificantChar("`"));
    EXPECT_FALSE(hasSignificantChar("{"));
    EXPECT_FALSE(hasSignificantChar("\x7F"));
    const std::string tooMany = std::string(1000, ' ') + "A";
    EXPECT_FALSE(hasSignificantChar(tooMany.c_str()));
}

TEST(Helpers, AdvanceNameInitials) {
    EXPECT_EQ(advance("AB"), "AC");
    EXPECT_EQ(advance("A9"), "B0");
    EXPECT_EQ(advance("AZ"), "BA");
    EXPECT_EQ(advance("89"), "90");
    EXPECT_EQ(advance("99"), "9A");
    EXPECT_EQ(advance("9Z"), "AA");
    EXPECT_EQ(advance("Z9"), "ZA");
    EXPECT_EQ(advance("ZZ"), "AA");
    EXPECT_EQ(advance("00"), "01");
    EXPECT_EQ(advance("9A"), "9B");
    // From AA the second character runs through the letters and carries.
    char first = 'A', second = 'A';
    for (int i = 0; i < 26; ++i) advanceNameInitials(first, second);
    EXPECT_EQ(std::string({first, second}), "BA");
}
