// The path variables of script values (%DIR%, %WDIR%, ...) and of the lines
// of macro files (%DIR%, %DRIVE%, %SELFDIR%, ...).
#pragma once

#include <string>

namespace setup {

// Expands %DIR% (only when dir is given), %WDIR%, %SDIR%, %SDIR32%, %PDIR%,
// %SMDIR%, %SPDIR%, %SMDIRA%, %SPDIRA% in place. false when a variable had
// no value (it is removed).
bool Substitute(std::string& value, const std::string* dir = nullptr);

// The variables of a macro-file line (copiedFile: the macro file's path;
// targetDir: the installation folder with its backslash). false when the
// line grew too long to take in more variables (the rest of it stays as it
// was).
bool SubstituteMacroLine(std::string& line, const std::string& copiedFile,
                         const std::string& targetDir);

} // namespace setup
