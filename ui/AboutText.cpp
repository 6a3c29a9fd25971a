#include "ui/AboutText.h"

#include <algorithm>

#include "common/Ansi.h"

namespace setup {

const char* const AboutDefaultInstit = "Setup-Projekt";
const char* const AboutDefaultCopyright = "Copyright \xA9 2026, %yyyy%";
const char* const AboutDefaultWWW = "https://setup.example.org";
const char* const AboutDefaultEMailAddress = "info@setup.example.org";

std::string CutText(const std::string& text, std::size_t max) {
    return text.size() > max ? text.substr(0, max) : text;
}

std::string ApplyCopyrightRule(const std::string& value, int year) {
    std::string text = CutText(value, 80);
    const std::size_t pos = text.find("%yyyy%");
    if (pos == std::string::npos) return text;
    text.erase(pos, 6);
    const std::string yearText = std::to_string(year);
    if (text.find(yearText) == std::string::npos)
        text.insert(pos, yearText);
    else if (pos >= 2 && text[pos - 2] == ',')
        text.erase(pos - 2, 1);
    return text;
}

std::string AboutVersionLine(const std::string& head2, const std::string& fileVersion) {
    if (!head2.empty() && head2.back() == '\xB0') return head2.substr(0, head2.size() - 1);
    return head2 + " " + fileVersion;
}

std::string WindowsVersionName(int code) {
    static const char* const names[] = {"",
                                        "?",
                                        "3",
                                        "95",
                                        "98",
                                        "98SE",
                                        "ME",
                                        "NT",
                                        "2000",
                                        "XP",
                                        "2003",
                                        "Vista (32-Bit)",
                                        "2008 (32 Bit)",
                                        "7 (32-Bit)",
                                        "XP (64 Bit)",
                                        "Vista (64-Bit)",
                                        "2008 (64-Bit)",
                                        "7 (64 Bit)"};
    if (code < 0 || code >= static_cast<int>(std::size(names))) return "?";
    return names[code];
}

bool IsBitmapFileName(const std::string& imageName) {
    return imageName.size() >= 4 && AnsiSameText(imageName.substr(imageName.size() - 4), ".BMP");
}

namespace {

AboutRect placed(int top, AboutSize size) {
    return AboutRect{0, top, size.Width, size.Height};
}

} // namespace

AboutLayout LayoutAbout(const AboutLayoutInput& in) {
    // The fixed distances are 96-dpi pixels; scaled, they keep their
    // proportions to the text, whose point sizes the system scales.
    const auto px = [&](int n) { return n * in.Dpi / 96; };
    AboutLayout out;
    int width = px(360);
    int y = px(10);

    out.Icon = AboutRect{px(10), px(12), in.Icon.Width, in.Icon.Height};
    y = out.Icon.Top;
    out.Head1 = placed(y, in.Head1);
    y += in.Head1.Height;
    width = std::max(width, in.Head1.Width + px(42));
    out.Head2 = placed(y, in.Head2);
    y += in.Head2.Height;
    width = std::max(width, in.Head2.Width);
    y = std::max(y, out.Icon.Bottom() + px(2));

    out.Logo = placed(y + px(10), in.Logo);
    y += px(10) + in.Logo.Height;
    width = std::max(width, in.Logo.Width);
    y += px(12);

    const auto textLine = [&](AboutRect& rect, AboutSize size) {
        rect = placed(y, size);
        y += size.Height;
        width = std::max(width, size.Width + px(42));
    };
    if (in.HasInstit) textLine(out.Instit, in.Instit);
    textLine(out.Copyright, in.Copyright);
    // The links are a little wider than their texts, so the hand cursor
    // covers the last character.
    const auto linkLine = [&](AboutRect& rect, AboutSize size) {
        width = std::max(width, px(10) + size.Width);
        textLine(rect, AboutSize{size.Width + px(12), size.Height});
    };
    linkLine(out.WWW, in.WWW);
    linkLine(out.EMail, in.EMail);

    out.ClientWidth = std::max(px(360), width + px(20));
    int buttonsRight = out.ClientWidth - px(20);
    if (in.HasHelp) {
        out.HelpButton = AboutRect{out.ClientWidth - px(10) - in.HelpButton.Width, y + px(10),
                                   in.HelpButton.Width, in.HelpButton.Height};
        buttonsRight = out.HelpButton.Left - px(20);
    }
    out.OkButton = AboutRect{buttonsRight - in.OkButton.Width, y + px(10), in.OkButton.Width,
                             in.OkButton.Height};
    y += px(10) + in.OkButton.Height + px(2);

    out.WindowsLine = AboutRect{px(10), y, in.WindowsLine.Width, in.WindowsLine.Height};
    out.DateLine = AboutRect{out.ClientWidth - px(10) - in.DateLine.Width, y, in.DateLine.Width,
                             in.DateLine.Height};
    y += in.DateLine.Height;

    const int cw = out.ClientWidth;
    const int headLeft = out.Icon.Right() + px(10);
    out.Head1.Left = std::max(headLeft, (cw - out.Head1.Width) / 2);
    out.Head2.Left = std::max(headLeft, (cw - out.Head2.Width) / 2);
    out.Logo.Left = (cw - out.Logo.Width) / 2;
    for (AboutRect* rect : {&out.Instit, &out.Copyright, &out.WWW, &out.EMail}) {
        switch (in.Alignment) {
        case TAboutAlignment::Left:
            rect->Left = px(10);
            break;
        case TAboutAlignment::Right:
            rect->Left = cw - rect->Width - px(10);
            break;
        case TAboutAlignment::Center:
            rect->Left = (cw - rect->Width) / 2;
            break;
        }
    }
    out.ClientHeight = y + px(10);
    return out;
}

} // namespace setup
