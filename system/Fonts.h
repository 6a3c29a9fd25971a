// Installation of TrueType fonts: one font file copied into the Fonts folder
// of Windows, added to the system's font table and registered; the Fonts
// step of a run.
#pragma once

#include <string>
#include <vector>

#include "common/Effects.h"
#include "files/RunContext.h"

namespace setup {

class TFileHandler;

// Message levels of InstallFontFile.
enum : int { FontTrace = 0, FontNote = 1, FontError = 2 };

// Installs one font file under the registered name fontName. Texts of at
// least minimumLevel are appended to messageList, or shown as information
// messages when there is no list. copier is the engine's file copier (null:
// the shared one). true when the font is installed or already up to date.
// Every change goes through effects.
bool InstallFontFile(const std::string& sourcePath, const std::string& fontName,
                     std::vector<std::string>* messageList, int minimumLevel, TFileHandler* copier,
                     Effects& effects = DirectEffects());

// The name a font is registered under: fontName, or when the script gives
// none, the font's own full name, or else its file name without extension.
std::string RegisteredFontName(const std::string& sourcePath, const std::string& fontName);

// --- steps of a run ---
// Records the font as the next FO# of [Fonts] in Deinst.ins and installs it:
// 0 installed or up to date, 1 not.
int InstallFont(RunContext& run, const std::string& sourcePath, const std::string& fontName);
// The fonts of [Project] Font#; false when one was not installed.
bool InstallFonts(RunContext& run);

} // namespace setup
