#include "platform/Cp1252.h"

#include <gtest/gtest.h>

namespace {

TEST(Cp1252, UmlautsAndEuroSurviveTheRoundTripThroughUtf8AndWide) {
    const std::string text = "Gr\xFC\xDF"
                             "e \x80 \x84"
                             "x\x93";
    EXPECT_EQ(plat::cp1252ToUtf8(text), "Gr\xC3\xBC\xC3\x9F"
                                        "e \xE2\x82\xAC \xE2\x80\x9Ex\xE2\x80\x9C");
    EXPECT_EQ(plat::utf8ToCp1252(plat::cp1252ToUtf8(text)), text);
    EXPECT_EQ(plat::wideToCp1252(plat::cp1252ToWide(text)), text);
}

TEST(Cp1252, WhatWindows1252CannotHoldBecomesAQuestionMark) {
    EXPECT_EQ(plat::utf8ToCp1252("a\xE2\x88\x9E"
                                 "b"),
              "a?b");                                // infinity sign
    EXPECT_EQ(plat::utf8ToCp1252("a\xC3"), "a?");    // cut sequence
    EXPECT_EQ(plat::utf8ToCp1252("\xFF\xFE"), "??"); // no UTF-8 at all
    EXPECT_EQ(plat::wideToCp1252(L"\x4E2D"), "?");
}

TEST(Cp1252, TerminalTextTurnsEveryLineBreakIntoOneLineFeed) {
    EXPECT_EQ(plat::cp1252ToTerminalText("a\rb\r\nc\n\r\r"), "a\nb\nc\n\n\n");
    EXPECT_EQ(plat::cp1252ToTerminalText("j\xFCnger\r"), "j\xC3\xBCnger\n");
    EXPECT_EQ(plat::cp1252ToTerminalText(""), "");
}

} // namespace
