// Windows-1252 <-> Unicode, independent of the machine's ANSI code page.
// The program's texts are Windows-1252 bytes; these convert at the boundary.
#pragma once

#include <string>

namespace plat {

std::wstring cp1252ToWide(const std::string& text);
// The Windows-1252 byte of a Unicode code point; -1 when it has none.
int unicodeToCp1252(char32_t codePoint);
// Characters without a Windows-1252 form become "?".
std::string wideToCp1252(const std::wstring& text);
std::string cp1252ToUtf8(const std::string& text);
// Invalid UTF-8 and characters without a Windows-1252 form become "?".
std::string utf8ToCp1252(const std::string& text);
// A program text for a terminal: its line breaks (CR or CR LF) become LF,
// the rest UTF-8.
std::string cp1252ToTerminalText(const std::string& text);

} // namespace plat
