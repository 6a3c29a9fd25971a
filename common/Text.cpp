#include "common/Text.h"

#include <cstdio>
#include <cstring>

#include "common/Ansi.h"
#include "common/Error.h"
#include "platform/Registry.h"

namespace setup {

char FirstChar(std::string_view text) {
    return text.empty() ? ' ' : text.front();
}

char LastChar(std::string_view text) {
    return text.empty() ? ' ' : text.back();
}

std::string WithoutLastChar(std::string_view text) {
    return std::string(text.empty() ? text : text.substr(0, text.size() - 1));
}

void AppendChar(std::string& text, char ch) {
    text.push_back(ch);
}

void UpperCaseInPlace(std::string& text) {
    for (char& c : text)
        c = AnsiUpCaseChar(c);
}

void LowerCaseInPlace(std::string& text) {
    for (char& c : text)
        c = AnsiLowCaseChar(c);
}

std::string TrimRight(std::string_view text) {
    const size_t end = text.find_last_not_of(' ');
    return end == std::string_view::npos ? std::string() : std::string(text.substr(0, end + 1));
}

std::string TrimLeft(std::string_view text) {
    const size_t start = text.find_first_not_of(' ');
    return start == std::string_view::npos ? std::string() : std::string(text.substr(start));
}

std::string Trim(std::string_view text) {
    return TrimLeft(TrimRight(text));
}

bool EndsWithText(std::string_view suffix, std::string_view text) {
    if (suffix.size() > text.size()) return false;
    const std::string_view tail = text.substr(text.size() - suffix.size());
    for (size_t i = 0; i < suffix.size(); ++i)
        if (AnsiUpCaseChar(tail[i]) != AnsiUpCaseChar(suffix[i])) return false;
    return true;
}

std::string TextBeforeQuestionMark(std::string_view text) {
    return std::string(text.substr(0, text.find('?')));
}

void SkipTo(char ch, const char*& cursor) {
    if (cursor == nullptr) throw SetupError("skipTo mit Nil-Pointer");
    while (*cursor != '\0' && *cursor != ch)
        ++cursor;
}

size_t PosChar(char ch, std::string_view text, size_t from) {
    if (from < 1) from = 1;
    if (from > text.size()) return 0;
    const size_t p = text.find(ch, from - 1);
    return p == std::string_view::npos ? 0 : p + 1;
}

size_t PosCharOrEnd(char ch, std::string_view text, size_t from) {
    const size_t p = PosChar(ch, text, from);
    return p == 0 ? text.size() + 1 : p;
}

size_t LastPosChar(char ch, std::string_view text) {
    const size_t p = text.rfind(ch);
    return p == std::string_view::npos ? 0 : p + 1;
}

size_t PosFrom(std::string_view sub, std::string_view text, size_t from) {
    if (sub.empty()) return 0;
    if (from < 1) from = 1;
    if (from > text.size()) return 0;
    const size_t p = text.find(sub, from - 1);
    return p == std::string_view::npos ? 0 : p + 1;
}

size_t PosTextNoCase(std::string_view sub, std::string_view text) {
    if (sub.empty() || text.empty() || sub.size() > text.size()) return 0;
    for (size_t i = 0; i + sub.size() <= text.size(); ++i) {
        size_t k = 0;
        while (k < sub.size() && AnsiUpCaseChar(text[i + k]) == AnsiUpCaseChar(sub[k]))
            ++k;
        if (k == sub.size()) return i + 1;
    }
    return 0;
}

bool StartsWith(std::string_view prefix, std::string_view text) {
    return text.substr(0, prefix.size()) == prefix;
}

bool EndsWith(std::string_view suffix, std::string_view text) {
    return suffix.size() <= text.size() && text.substr(text.size() - suffix.size()) == suffix;
}

int DigitValue(char ch) {
    static constexpr std::string_view digits = "0123456789ABCDEF";
    const size_t p = digits.find(AnsiUpCaseChar(ch));
    return p == std::string_view::npos ? -1 : static_cast<int>(p);
}

namespace {

// Accumulates digits of base from the front of cursor; wraps instead of
// overflowing.
uint64_t AccumulateDigits(std::string_view& cursor, int base) {
    uint64_t value = 0;
    while (!cursor.empty()) {
        const int d = DigitValue(cursor.front());
        if (d < 0 || d >= base) break;
        value = value * static_cast<uint64_t>(base) + static_cast<uint64_t>(d);
        cursor.remove_prefix(1);
    }
    return value;
}

int64_t ApplySign(uint64_t value, bool negative) {
    return static_cast<int64_t>(negative ? 0 - value : value);
}

} // namespace

int64_t ParseInteger(std::string_view& cursor, int base) {
    bool negative = false;
    if (!cursor.empty() && cursor.front() == '-') {
        negative = true;
        cursor.remove_prefix(1);
    } else if (!cursor.empty() && cursor.front() == '$') {
        base = 16;
        cursor.remove_prefix(1);
    }
    return ApplySign(AccumulateDigits(cursor, base), negative);
}

int64_t StrToIntPrefix(std::string_view text) {
    return ParseInteger(text, 10);
}

int64_t ParseIntegerAt(std::string_view text, size_t& position) {
    if (position < 1) position = 1;
    size_t i = position - 1;
    int base = 10;
    bool negative = false;
    bool sawMinus = false;
    bool sawDollar = false;
    while (i < text.size() && DigitValue(text[i]) < 0) {
        if (text[i] == '$' && !sawMinus) {
            sawDollar = true;
            base = 16;
        } else if (text[i] == '-' && !sawDollar) {
            sawMinus = true;
            negative = !negative;
        } else if (text[i] == '$' || text[i] == '-') {
            position = 1;
            return 0;
        } else {
            position = i + 1;
            return 0;
        }
        ++i;
    }
    std::string_view rest = text.substr(i < text.size() ? i : text.size());
    const size_t before = rest.size();
    const uint64_t value = AccumulateDigits(rest, base);
    position = i + (before - rest.size()) + 1;
    return ApplySign(value, negative);
}

std::string FormatThousands(uint64_t value) {
    const std::string digits = std::to_string(value);
    std::string out;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out.push_back('.');
        out.push_back(digits[i]);
    }
    return out;
}

char DecimalSeparator() {
    plat::RegKey key;
    std::string sep;
    if (key.open(plat::RegRoot::CurrentUser, "Control Panel\\International",
                 plat::RegAccess::Read) == 0 &&
        key.queryString("sDecimal", sep) == 0 && sep.size() == 1)
        return sep[0];
    return '.';
}

std::string FormatSize(bool shortUnit, uint64_t bytes) {
    const char* unit = "B";
    double divisor = 1;
    if (bytes >= 1073741824) {
        unit = "GB";
        divisor = 1073741824.0;
    } else if (bytes >= 1048576) {
        unit = "MB";
        divisor = 1048576.0;
    } else if (bytes >= 1024) {
        unit = "KB";
        divisor = 1024.0;
    }
    char buf[80];
    if (divisor == 1) {
        std::snprintf(buf, sizeof buf, "%llu %s", static_cast<unsigned long long>(bytes), unit);
    } else {
        std::snprintf(buf, sizeof buf, "%.3f %s", static_cast<double>(bytes) / divisor, unit);
        // The decimal point is the first "." of the number.
        char* dot = std::strchr(buf, '.');
        if (dot != nullptr) *dot = DecimalSeparator();
    }
    std::string text = buf;
    if (!shortUnit) text.append("yte");
    return text;
}

} // namespace setup
