#include <gtest/gtest.h>

#include "common/Text.h"
#include "support/TestEnv.h"

using namespace setup;

TEST(Text, FormatThousandsGroupsInThrees) {
    EXPECT_EQ(FormatThousands(0), "0");
    EXPECT_EQ(FormatThousands(999), "999");
    EXPECT_EQ(FormatThousands(1000), "1.000");
    EXPECT_EQ(FormatThousands(5000123), "5.000.123");
    // Wider than the 20 characters of the original buffer: nothing is cut.
    EXPECT_EQ(FormatThousands(18446744073709551615ull), "18.446.744.073.709.551.615");
}

class TextEnv : public testenv::FreshEnv {};

TEST_F(TextEnv, FormatSizeUnitsAndDecimals) {
    const std::string sep(1, DecimalSeparator());
    EXPECT_EQ(FormatSize(true, 0), "0 B");
    EXPECT_EQ(FormatSize(true, 1023), "1023 B");
    EXPECT_EQ(FormatSize(false, 1023), "1023 Byte");
    EXPECT_EQ(FormatSize(true, 1536), "1" + sep + "500 KB");
    EXPECT_EQ(FormatSize(false, 1536), "1" + sep + "500 KByte");
    EXPECT_EQ(FormatSize(true, 1048575), "1023" + sep + "999 KB");
    EXPECT_EQ(FormatSize(true, 1048576), "1" + sep + "000 MB");
    EXPECT_EQ(FormatSize(false, 1073741823), "1024" + sep + "000 MByte");
    EXPECT_EQ(FormatSize(true, 3221225472ull), "3" + sep + "000 GB");
}

TEST(Text, StrToIntPrefixAcceptsOnePrefix) {
    EXPECT_EQ(StrToIntPrefix("-10"), -10);
    EXPECT_EQ(StrToIntPrefix("-$10"), 0);
    EXPECT_EQ(StrToIntPrefix("$1F"), 31);
    EXPECT_EQ(StrToIntPrefix("$1f"), 31);
    EXPECT_EQ(StrToIntPrefix("12abc"), 12);
    EXPECT_EQ(StrToIntPrefix("x"), 0);
    EXPECT_EQ(StrToIntPrefix(""), 0);
    std::string_view cursor = "42,7";
    EXPECT_EQ(ParseInteger(cursor), 42);
    EXPECT_EQ(cursor, ",7");
    // Far too many digits wrap instead of overflowing.
    (void)StrToIntPrefix(std::string(400, '9'));
}

TEST(Text, ParseIntegerAtPrefixesAndPositions) {
    struct Case {
        const char* text;
        size_t from;
        int64_t value;
        size_t after;
    } cases[] = {
        {"123", 1, 123, 4}, {"ab 45;", 4, 45, 6}, {"$ff ", 1, 255, 4}, {"-12", 1, -12, 4},
        {"--7", 1, 7, 4},   {"-$5", 1, 0, 1},     {"$-5", 1, 0, 1},    {"x12", 1, 0, 1},
        {"a 12", 2, 0, 2},  {"12AB", 1, 12, 3},   {"", 1, 0, 1},       {"-", 1, 0, 2},
    };
    for (const Case& c : cases) {
        size_t pos = c.from;
        EXPECT_EQ(ParseIntegerAt(c.text, pos), c.value) << c.text;
        EXPECT_EQ(pos, c.after) << c.text;
    }
}

TEST(Text, SearchesAreOneBased) {
    EXPECT_EQ(PosChar('b', "abcb"), 2u);
    EXPECT_EQ(PosChar('b', "abcb", 3), 4u);
    EXPECT_EQ(PosChar('b', "abcb", 9), 0u);
    EXPECT_EQ(PosCharOrEnd('x', "abc"), 4u);
    EXPECT_EQ(LastPosChar('b', "abcb"), 4u);
    EXPECT_EQ(LastPosChar('x', "abcb"), 0u);
    EXPECT_EQ(PosFrom("cb", "cbacb", 2), 4u);
    EXPECT_EQ(PosFrom("", "abc", 1), 0u);
    EXPECT_EQ(PosTextNoCase("\xC4Rger", "Viel \xE4rger"), 6u);
    EXPECT_EQ(PosTextNoCase("", "abc"), 0u);
    EXPECT_TRUE(StartsWith("", "x"));
    EXPECT_FALSE(StartsWith("abc", "ab"));
    EXPECT_FALSE(EndsWith("EXE", "Setup.exe"));
    EXPECT_TRUE(EndsWith("exe", "Setup.exe"));
    EXPECT_FALSE(EndsWith("xSetup.exe", "Setup.exe"));
    EXPECT_TRUE(EndsWithText(".EXE", "setup.exe"));
    EXPECT_EQ(DigitValue('f'), 15);
    EXPECT_EQ(DigitValue('g'), -1);
}

TEST(Text, SkipToStopsAtTheEnd) {
    const char* text = "key=value";
    SkipTo('=', text);
    EXPECT_STREQ(text, "=value");
    SkipTo('#', text);
    EXPECT_EQ(*text, '\0');
    const char* none = nullptr;
    EXPECT_THROW(SkipTo('=', none), std::exception);
}
