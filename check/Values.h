// The value kinds of an installation script, read as the run reads them but
// telling whether a text is what its key needs. Pure functions on text: the
// checker applies them key by key, the unit tests one by one.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace setup::check {

// Numbers are checked with the reader's own rule: IsScriptNumber (script/Ini.h).
// A flag that means what it looks like: "0" or "1" (the run reads every text
// but "0" as true, so "no" and "false" would switch it on).
bool IsScriptFlag(std::string_view text);
// The limit of a Del# value (after its comma): "-" and decimal digits, "$" and
// hexadecimal digits, or decimal digits, to the end.
bool IsDeleteLimit(std::string_view text);
// What is wrong with a register line (key path "=" value), or "" when
// nothing is: a "#dw:" number that is not a whole number within 32 bits,
// a misspelt type ("#dword:", "#DW:"), a root letter without a key path.
std::string RegisterLineProblem(std::string_view line);
// An address the download can fetch: http:// or https://, then a host.
bool IsWebAddress(std::string_view text);
// A Code# value: an optional digit 1-9, then "," and a file name.
bool IsCodeValue(std::string_view text);

// The variables one kind of value knows.
enum class Variables {
    Folder, // Substitute's folder variables (%DIR%, %WDIR%, %PDIR%, ...)
    Macro,  // the variables of a macro file's lines (%DIR_%, %CD%, ...)
};
// The %NAME% texts of value that are none of the kind's variables, in order.
// "%%" is a percent sign; %\xA7name% and %+\xA7name% are registry variables,
// which need a name. A "%" without a closing one is text.
std::vector<std::string> UnknownVariables(std::string_view value, Variables kind);

// Damerau-Levenshtein distance (adjacent transpositions count one), letters
// compared without regard to case.
size_t EditDistance(std::string_view a, std::string_view b);
// The candidate nearest to written when it is near enough to be a slip
// (distance at most 2 and less than half the written length); "" otherwise.
std::string NearestName(std::string_view written, std::span<const std::string> candidates);

// Whether name matches mask with Windows' wildcard rules (* and ?, case
// ignored; "*.*" matches every name).
bool MatchesMask(std::string_view name, std::string_view mask);

// Whether text names a registry variable (%\xA7name% or %+\xA7name%).
bool HasRegistryVariable(std::string_view text);
// text with each %...% replaced by a full stand-in folder, to see whether it
// makes a full path; registry variables are left to the caller.
std::string WithStandInFolders(std::string text);

} // namespace setup::check
