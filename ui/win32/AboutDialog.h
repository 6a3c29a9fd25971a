// The info dialog: TAbout builds its window at run time from its texts (icon,
// title, version line, logo, institution, copyright, web and e-mail links,
// OK and help buttons, Windows name and program date) and shows it modally.
#pragma once

#include <string>

#include "platform/win32/WindowsSupport.h"
#include "ui/AboutText.h"

namespace setup::win {

class TAbout {
  public:
    TAbout();

    // Help topic; 0 = no help button.
    int HelpContext = 1299;
    std::string Caption = "Info";
    // A bitmap file beside the program (name ending in ".BMP"), or the name of
    // a bitmap resource of the program.
    std::string ImageName = "QRT_BMPA";
    TAboutAlignment Alignment = TAboutAlignment::Center;
    // Title line (at most 80 characters are shown); the application title.
    std::string Head1 = "Setup";
    // Version line: ending in "\xB0" it is shown without that sign, otherwise
    // followed by a blank and the program's file version (at most 80).
    std::string Head2;
    // Web address, shown and opened when clicked (at most 80).
    std::string WWW;
    // E-mail address, shown up to its first "?" and opened as "mailto:" with
    // the whole text (at most 120).
    std::string eMail;
    std::string helpBtnText = "&Hilfe";
    // Bottom right line: the program file's date and time.
    std::string VersionDate;
    // Tool-tips of the e-mail and web lines; empty = the standard texts.
    std::string HintEmail;
    std::string HintWWW;

    // Applies the copyright rule ("%yyyy%" becomes the program file's year).
    void SetCopyright(const std::string& value);
    const std::string& Copyright() const { return copyright_; }
    // Stores the institution line (at most 80 characters); empty = no line.
    void SetInstit(const std::string& value);
    const std::string& Instit() const { return instit_; }

    // Builds the window and shows it modally over owner (may be null); true
    // when it was closed with OK.
    bool Execute(HWND owner);

  private:
    std::string instit_;
    std::string copyright_;
    // Year of the program file's modification date, for the copyright rule.
    int programYear_ = 0;
};

} // namespace setup::win
