// The encoding and line ends of a script, condition or macro file, judged
// from its bytes.
#pragma once

#include <string_view>
#include <vector>

#include "check/Findings.h"

namespace setup::check {

enum class TextKind {
    Script,   // lines end at CR only: LF-only line ends make the file one line
    LineFile, // condition and macro files: CR LF, CR or LF end a line
};

// The encoding findings of a file's bytes (their file left empty): a
// byte-order mark, line ends other than CR LF, UTF-8 text without a mark (on
// the first line that holds it). fatal is set when the file cannot be read
// as lines at all (a script with LF-only line ends).
std::vector<Finding> EncodingFindings(std::string_view bytes, TextKind kind, bool& fatal);

} // namespace setup::check
