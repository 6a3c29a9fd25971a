// The info dialog's text rules and its layout from measured sizes.
#include <gtest/gtest.h>

#include "ui/AboutText.h"

namespace {

using setup::AboutLayout;
using setup::AboutLayoutInput;
using setup::AboutSize;
using setup::TAboutAlignment;

TEST(AboutText, CopyrightRuleInsertsOrDropsTheYear) {
    using setup::ApplyCopyrightRule;
    EXPECT_EQ("Beispiel 2001, 2005", ApplyCopyrightRule("Beispiel 2001, %yyyy%", 2005));
    // The year is there already: the placeholder and the comma before it go.
    EXPECT_EQ("Beispiel 2001 ", ApplyCopyrightRule("Beispiel 2001, %yyyy%", 2001));
    EXPECT_EQ("(c) 2005 by us", ApplyCopyrightRule("(c) %yyyy% by us", 2005));
    EXPECT_EQ("2005", ApplyCopyrightRule("%yyyy%", 2005));
    EXPECT_EQ("2005 ", ApplyCopyrightRule("2005 %yyyy%", 2005));
    // Only the first placeholder is replaced.
    EXPECT_EQ("2005 %yyyy%", ApplyCopyrightRule("%yyyy% %yyyy%", 2005));
    EXPECT_EQ("ohne Platzhalter", ApplyCopyrightRule("ohne Platzhalter", 2005));
    // Cut to 80 characters before the placeholder is looked for.
    const std::string longText(78, 'x');
    EXPECT_EQ(longText + "%y", ApplyCopyrightRule(longText + "%yyyy%", 2005));
}

TEST(AboutText, VersionLineAndNames) {
    using setup::AboutVersionLine;
    EXPECT_EQ("Version  1.2.3.4", AboutVersionLine("Version ", "1.2.3.4"));
    EXPECT_EQ("Version 2.1", AboutVersionLine("Version 2.1\xB0", "1.2.3.4"));
    EXPECT_EQ("", AboutVersionLine("\xB0", "1.2.3.4"));
    EXPECT_EQ("Version ", AboutVersionLine("Version", ""));
    EXPECT_EQ("", setup::WindowsVersionName(0));
    EXPECT_EQ("7 (64 Bit)", setup::WindowsVersionName(17));
    EXPECT_EQ("2008 (32 Bit)", setup::WindowsVersionName(12));
    EXPECT_EQ("?", setup::WindowsVersionName(18));
    EXPECT_EQ("?", setup::WindowsVersionName(-1));
    EXPECT_TRUE(setup::IsBitmapFileName("logo.bmp"));
    EXPECT_FALSE(setup::IsBitmapFileName("QRT_BMPA"));
    EXPECT_FALSE(setup::IsBitmapFileName("BMP"));
}

AboutLayoutInput Typical() {
    AboutLayoutInput in;
    in.Icon = {32, 32};
    in.Head1 = {60, 14};
    in.Head2 = {120, 14};
    in.Logo = {200, 50};
    in.Instit = {100, 18};
    in.Copyright = {150, 18};
    in.WWW = {170, 18};
    in.EMail = {160, 18};
    in.HelpButton = {75, 25};
    in.OkButton = {75, 25};
    in.WindowsLine = {80, 15};
    in.DateLine = {120, 15};
    return in;
}

TEST(AboutLayoutTest, PlacesEveryElementTopToBottom) {
    const AboutLayout l = setup::LayoutAbout(Typical());
    // Short lines never make the window narrower than 360 + 20.
    EXPECT_EQ(380, l.ClientWidth);
    EXPECT_EQ(12, l.Icon.Top);
    EXPECT_EQ(12, l.Head1.Top);
    EXPECT_EQ(26, l.Head2.Top);
    // The icon is taller than both lines: the logo starts below it.
    EXPECT_EQ(12 + 32 + 2 + 10, l.Logo.Top);
    EXPECT_EQ((380 - 200) / 2, l.Logo.Left);
    EXPECT_EQ(l.Logo.Bottom() + 12, l.Instit.Top);
    EXPECT_EQ(l.Instit.Bottom(), l.Copyright.Top);
    EXPECT_EQ(182, l.WWW.Width); // the text and 12 pixels for the hand cursor
    EXPECT_EQ((380 - 182) / 2, l.WWW.Left);
    EXPECT_EQ(l.EMail.Bottom() + 10, l.OkButton.Top);
    EXPECT_EQ(380 - 10, l.HelpButton.Right());
    EXPECT_EQ(l.HelpButton.Left - 20, l.OkButton.Right());
    EXPECT_EQ(l.OkButton.Bottom() + 2, l.WindowsLine.Top);
    EXPECT_EQ(10, l.WindowsLine.Left);
    EXPECT_EQ(380 - 10, l.DateLine.Right());
    EXPECT_EQ(l.DateLine.Bottom() + 10, l.ClientHeight);
    // Title lines are centred but never reach into the icon.
    EXPECT_EQ((380 - 60) / 2, l.Head1.Left);
    AboutLayoutInput wide = Typical();
    wide.Head2 = {330, 14};
    EXPECT_EQ(10 + 32 + 10, setup::LayoutAbout(wide).Head2.Left);
}

TEST(AboutLayoutTest, OptionalElementsLeaveNoGap) {
    AboutLayoutInput in = Typical();
    in.HasHelp = false;
    in.HasInstit = false;
    const AboutLayout l = setup::LayoutAbout(in);
    EXPECT_EQ(380 - 20, l.OkButton.Right());
    EXPECT_EQ(l.Logo.Bottom() + 12, l.Copyright.Top);
    EXPECT_EQ(setup::LayoutAbout(Typical()).ClientHeight - 18, l.ClientHeight);
}

TEST(AboutLayoutTest, LongLinesWidenTheWindowAndAlignmentPlacesThem) {
    AboutLayoutInput in = Typical();
    in.Copyright = {500, 18};
    in.Alignment = TAboutAlignment::Right;
    AboutLayout l = setup::LayoutAbout(in);
    EXPECT_EQ(500 + 42 + 20, l.ClientWidth);
    EXPECT_EQ(l.ClientWidth - 500 - 10, l.Copyright.Left);
    in.Alignment = TAboutAlignment::Left;
    EXPECT_EQ(10, setup::LayoutAbout(in).WWW.Left);
    // A link: max(10 + text, text + 12 + 42).
    in = Typical();
    in.EMail = {400, 18};
    EXPECT_EQ(400 + 12 + 42 + 20, setup::LayoutAbout(in).ClientWidth);
    // A logo wider than the window widens it by its width alone.
    in = Typical();
    in.Logo = {450, 10};
    EXPECT_EQ(470, setup::LayoutAbout(in).ClientWidth);
    // A missing logo resource (0 x 0) still leaves the gaps around it.
    in = Typical();
    in.Logo = {0, 0};
    EXPECT_EQ(12 + 32 + 2 + 10 + 12, setup::LayoutAbout(in).Instit.Top);
}

TEST(AboutLayoutTest, ScalesFixedDistancesWithTheScreen) {
    AboutLayoutInput in = Typical();
    in.Dpi = 144;
    const AboutLayout l = setup::LayoutAbout(in);
    EXPECT_EQ(570, l.ClientWidth);
    EXPECT_EQ(18, l.Icon.Top);
    EXPECT_EQ(15, l.Icon.Left);
}

} // namespace
