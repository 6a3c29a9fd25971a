// The user-interface language: texts of the string table and of the forms'
// controls from a language file, with the built-in German texts as fallback.
//
// A language file is a text file in the script format:
//
//   [Strings]
//   65200=Copying files:
//   [TFormSubProj]
//   BitBtnInstallNow=install now
//   SpeedButtonAboutProj.Hint=About the project
//
// Section and key names are compared without regard to case. In values the
// escapes \r, \n, \t and \\ stand for a carriage return, a line feed, a tab
// and a backslash, so that texts of several lines fit on one line.
#pragma once

#include <string>

namespace setup {

// Replaces the loaded language by the file's texts. A missing, empty or
// unreadable file (or an empty path) leaves only the built-in German texts.
void LoadLanguageFile(const std::string& path);

// The text of a form's control (control "Name" for its caption, "Name.Hint"
// for its hint, ...); germanDefault when the language file has none.
std::string FormText(const std::string& form, const std::string& control,
                     const std::string& germanDefault);

// The string-table entry id; germanDefault when the language file has none.
std::string StringText(int id, const std::string& germanDefault);

// The language file the program loads from its folder: "Setup.<LANG>" with
// the three-letter abbreviation (ENU, DEU, ...) of the user's language, or of
// the environment variable SETUP_LANG when it is set. Empty when the
// abbreviation is unknown.
std::string LanguageFileName(const std::string& programFolder);

} // namespace setup
