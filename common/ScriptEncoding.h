// The encodings of the script format's files (installation scripts,
// condition files, macro files): Windows-1252, or UTF-8 or UTF-16 (little or
// big endian) when the file begins with that encoding's byte-order mark. The
// program works on Windows-1252 only, so a marked file is converted first.
#pragma once

#include <string>
#include <string_view>

namespace setup {

// Whether the bytes begin with a UTF-8, UTF-16 LE or UTF-16 BE byte-order mark.
bool HasByteOrderMark(std::string_view head);

// Converts the bytes of a marked file to Windows-1252 in place, without the
// mark; bytes without a mark are Windows-1252 already and stay as they are.
// false when a character has no Windows-1252 form or the encoding is broken:
// error then names the line (1-based, counted at LF, CR LF or a lone CR),
// e.g. "Zeile 3: das Zeichen U+0416 hat keine Windows-1252-Form", and bytes
// is unchanged.
bool ConvertScriptText(std::string& bytes, std::string& error);

} // namespace setup
