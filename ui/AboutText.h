// The info dialog's texts and layout without drawing: the copyright and
// version-line rules, the Windows names and the placement of every element
// from the measured sizes of its texts.
#pragma once

#include <string>

namespace setup {

enum class TAboutAlignment { Left, Right, Center };

// Standard texts of a new info dialog (the installer's own).
extern const char* const AboutDefaultInstit;
extern const char* const AboutDefaultCopyright;
extern const char* const AboutDefaultWWW;
extern const char* const AboutDefaultEMailAddress;

// The first max characters of text.
std::string CutText(const std::string& text, std::size_t max);
// Cuts value to 80 characters; "%yyyy%" is replaced by year when the text does
// not hold that year yet, else removed together with a comma two characters
// before it ("2001, %yyyy%" -> "2001, 2005", or "2001 " for the year 2001).
std::string ApplyCopyrightRule(const std::string& value, int year);
// head2 without a final "\xB0", or head2, a blank and the file version.
std::string AboutVersionLine(const std::string& head2, const std::string& fileVersion);
// The name of a Windows version code (0 .. 17); "?" for any other code.
std::string WindowsVersionName(int code);
// Whether a logo name is a bitmap file (ends in ".BMP", any case) rather than
// a resource name.
bool IsBitmapFileName(const std::string& imageName);

struct AboutSize {
    int Width = 0;
    int Height = 0;
};
struct AboutRect {
    int Left = 0;
    int Top = 0;
    int Width = 0;
    int Height = 0;
    int Right() const { return Left + Width; }
    int Bottom() const { return Top + Height; }
};

// Measured sizes (device pixels) of the elements; Instit and Help are left out
// when HasInstit / HasHelp is false. Web and e-mail sizes are their texts'.
struct AboutLayoutInput {
    int Dpi = 96; // the fixed distances are given at 96 dots per inch
    TAboutAlignment Alignment = TAboutAlignment::Center;
    bool HasInstit = true;
    bool HasHelp = true;
    AboutSize Icon, Head1, Head2, Logo, Instit, Copyright, WWW, EMail;
    AboutSize HelpButton, OkButton, WindowsLine, DateLine;
};

struct AboutLayout {
    int ClientWidth = 0;
    int ClientHeight = 0;
    AboutRect Icon, Head1, Head2, Logo, Instit, Copyright, WWW, EMail;
    AboutRect HelpButton, OkButton, WindowsLine, DateLine;
};

// Places the elements top to bottom, widening the window for long lines (it is
// never narrower than 360 pixels at 96 dpi), then centres and aligns them.
AboutLayout LayoutAbout(const AboutLayoutInput& in);

} // namespace setup
