// The findings of a script check and their printed form
// "PATH:LINE: error|warning: TEXT [CODE]".
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace setup::check {

enum class Code {
    UnknownSection,
    UnknownKey,
    NumberingGap,
    BadValue,
    UnknownVariable,
    MissingSource,
    MissingPart,
    Encoding,
    UnsafeTarget,
};

enum class Severity { Warning, Error };

struct Finding {
    std::string file;  // as the script names it (the main script as given)
    uint32_t line = 0; // 1-based; 0 for the file as a whole
    Severity severity = Severity::Error;
    Code code = Code::BadValue;
    std::string text; // English, Windows-1252
};

// The word of a code ("unknown-key").
std::string_view CodeName(Code code);
// The severity every finding of the code has (encoding: either).
Severity DefaultSeverity(Code code);

// One finding as its line (without line end).
std::string FormatFinding(const Finding& finding);

struct Summary {
    int errors = 0;
    int warnings = 0;
    // 0 no findings, 1 warnings only, 2 errors.
    int ExitStatus() const { return errors ? 2 : warnings ? 1 : 0; }
};
Summary Summarize(const std::vector<Finding>& findings);
// Every finding a line, then "N errors, M warnings" (lines end with "\n").
std::string FormatReport(const std::vector<Finding>& findings);

} // namespace setup::check
