// Case rules of the program's 8-bit text (Windows-1252). Case-insensitive
// comparisons of script and path texts go through AnsiUpCaseChar.
#pragma once

#include <string>
#include <string_view>

namespace setup {

// a-z and 0xE0-0xFE up by 32 positions, and the pairs 0x9A/0x8A, 0x9C/0x8C,
// 0x9E/0x8E, 0xFF/0x9F; AnsiLowCaseChar the other way.
constexpr char AnsiUpCaseChar(char ch) {
    const unsigned char c = static_cast<unsigned char>(ch);
    if ((c >= 'a' && c <= 'z') || (c >= 0xE0 && c <= 0xFE)) return static_cast<char>(c - 32);
    switch (c) {
    case 0x9A: return static_cast<char>(0x8A);
    case 0x9C: return static_cast<char>(0x8C);
    case 0x9E: return static_cast<char>(0x8E);
    case 0xFF: return static_cast<char>(0x9F);
    default: return ch;
    }
}

constexpr char AnsiLowCaseChar(char ch) {
    const unsigned char c = static_cast<unsigned char>(ch);
    if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE)) return static_cast<char>(c + 32);
    switch (c) {
    case 0x8A: return static_cast<char>(0x9A);
    case 0x8C: return static_cast<char>(0x9C);
    case 0x8E: return static_cast<char>(0x9E);
    case 0x9F: return static_cast<char>(0xFF);
    default: return ch;
    }
}

std::string AnsiUpperCase(std::string_view text);
std::string AnsiLowerCase(std::string_view text);
// Compares through AnsiUpCaseChar: <0, 0, >0 like strcmp.
int AnsiCompareText(std::string_view a, std::string_view b);
inline bool AnsiSameText(std::string_view a, std::string_view b) {
    return a.size() == b.size() && AnsiCompareText(a, b) == 0;
}

} // namespace setup
