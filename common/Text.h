// Small text utilities on the program's 8-bit text (Windows-1252): character
// and trim helpers, searches with 1-based positions (0 = not found), number
// parsing and number formatting.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace setup {

// First and last character; a blank for an empty text.
char FirstChar(std::string_view text);
char LastChar(std::string_view text);
// The text without its last character (empty stays empty).
std::string WithoutLastChar(std::string_view text);
void AppendChar(std::string& text, char ch);
// Upper or lower case of a whole text in place (AnsiUpCaseChar/AnsiLowCaseChar).
void UpperCaseInPlace(std::string& text);
void LowerCaseInPlace(std::string& text);
// Trimming of blanks (character 32 only).
std::string TrimRight(std::string_view text);
std::string TrimLeft(std::string_view text);
std::string Trim(std::string_view text);
// Whether text ends with suffix, compared through AnsiUpCaseChar.
bool EndsWithText(std::string_view suffix, std::string_view text);
// The text before the first "?" (the whole text when there is none).
std::string TextBeforeQuestionMark(std::string_view text);
// Advances a cursor in a null-terminated text to ch or to the terminating zero.
// A null cursor raises SetupError("skipTo mit Nil-Pointer").
void SkipTo(char ch, const char*& cursor);
constexpr int Max(int a, int b) {
    return a > b ? a : b;
}

// First position at or after from (1-based) holding ch; 0 when none.
size_t PosChar(char ch, std::string_view text, size_t from = 1);
// As PosChar, but length + 1 instead of 0.
size_t PosCharOrEnd(char ch, std::string_view text, size_t from = 1);
// Last position holding ch; 0 when none.
size_t LastPosChar(char ch, std::string_view text);
// First position at or after from where sub occurs (case-sensitive); 0 when
// none or when sub is empty.
size_t PosFrom(std::string_view sub, std::string_view text, size_t from = 1);
// First position of sub in text, compared through AnsiUpCaseChar; 0 when
// either is empty.
size_t PosTextNoCase(std::string_view sub, std::string_view text);
// Case-sensitive; true for an empty prefix or suffix.
bool StartsWith(std::string_view prefix, std::string_view text);
bool EndsWith(std::string_view suffix, std::string_view text);

// Value of a hexadecimal digit (either case), -1 for any other character.
int DigitValue(char ch);
// Reads an integer from the front of cursor and advances it past what was
// read: a leading "-" (negative) or else "$" (base 16), then digits of the
// base. No digits give 0. Overflow wraps around in 64 bits.
int64_t ParseInteger(std::string_view& cursor, int base = 10);
// ParseInteger on the whole text, base 10 ("$1F" gives 31, "12abc" 12).
int64_t StrToIntPrefix(std::string_view text);
// Reads an integer at position (1-based) with "$" and "-" prefixes; sets
// position to the first character after the number, to 1 when both prefixes
// are given, or to the offending character (result 0).
int64_t ParseIntegerAt(std::string_view text, size_t& position);
// Digits grouped in threes with "." ("5.000.123").
std::string FormatThousands(uint64_t value);

// The locale's decimal separator (the user's "sDecimal" setting; "." when unset).
char DecimalSeparator();
// "1023 B", "1,500 KB" / "1.500 KByte", "... MB", "... GB": three decimals
// from KB on; shortUnit false appends "yte" to the unit.
std::string FormatSize(bool shortUnit, uint64_t bytes);

} // namespace setup
