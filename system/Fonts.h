// Installation of TrueType fonts: one font file copied into the Fonts folder
// of Windows, added to the system's font table and registered.
#pragma once

#include <string>
#include <vector>

namespace setup {

class TFileHandler;

// Message levels of InstallFontFile.
enum : int { FontTrace = 0, FontNote = 1, FontError = 2 };

// Installs one font file under the registered name fontName. Texts of at
// least minimumLevel are appended to messageList, or shown as information
// messages when there is no list. copier is the engine's file copier (null:
// the shared one). true when the font is installed or already up to date.
bool InstallFontFile(const std::string& sourcePath, const std::string& fontName,
                     std::vector<std::string>* messageList, int minimumLevel, TFileHandler* copier);

// The name a font is registered under: fontName, or when the script gives
// none, the font's own full name, or else its file name without extension.
std::string RegisteredFontName(const std::string& sourcePath, const std::string& fontName);

} // namespace setup
