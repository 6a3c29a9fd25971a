#include "check/Values.h"

#include <algorithm>
#include <array>
#include <cstdint>

#include "common/Ansi.h"
#include "script/Ini.h"

namespace setup::check {

namespace {

constexpr char kSectionSign = '\xA7';

int DigitValue(char c, unsigned base) {
    int d = -1;
    if (c >= '0' && c <= '9') d = c - '0';
    if (c >= 'a' && c <= 'f') d = c - 'a' + 10;
    if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
    return d >= 0 && static_cast<unsigned>(d) < base ? d : -1;
}

// Digits of base from the start to the end of text, within limit.
bool AllDigits(std::string_view text, unsigned base, uint64_t limit) {
    if (text.empty()) return false;
    uint64_t value = 0;
    for (const char c : text) {
        const int d = DigitValue(c, base);
        if (d < 0) return false;
        value = value * base + static_cast<unsigned>(d);
        if (value > limit) return false;
    }
    return true;
}

bool StartsWithNoCase(std::string_view text, std::string_view head) {
    return text.size() >= head.size() && AnsiSameText(text.substr(0, head.size()), head);
}

constexpr std::array<std::string_view, 9> kFolderVariables = {
    "DIR", "WDIR", "SDIR", "SDIR32", "PDIR", "SMDIR", "SPDIR", "SMDIRA", "SPDIRA"};
constexpr std::array<std::string_view, 9> kMacroVariables = {
    "CD", "SELFDIR", "DIR", "DIR83", "DIR_", "DIR83_", "_DIR_", "_DIR83_", "DRIVE"};

// Whether text between percent signs is meant as a variable name: letters,
// digits and "_" only.
bool LooksLikeName(std::string_view name) {
    return !name.empty() && std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
               c == '_';
    });
}

} // namespace

bool IsScriptFlag(std::string_view text) {
    return text == "0" || text == "1";
}

bool IsDeleteLimit(std::string_view text) {
    if (!text.empty() && text[0] == '-') return AllDigits(text.substr(1), 10, uint64_t{1} << 31);
    if (!text.empty() && text[0] == '$') return AllDigits(text.substr(1), 16, UINT32_MAX);
    return AllDigits(text, 10, INT32_MAX);
}

std::string RegisterLineProblem(std::string_view line) {
    const size_t eq = line.find('=');
    const std::string_view path = line.substr(0, eq);
    if (path.empty()) return "the register line has no key path before its \"=\"";
    if (path.size() >= 2 && path[1] == '\\' && path.size() == 2)
        return "the register line names a root but no key";
    if (eq == std::string_view::npos) return {};
    const std::string_view value = line.substr(eq + 1);
    if (value.empty() || value[0] != '#') return {};
    if (value.compare(0, 4, "#dw:") == 0) {
        std::string_view number = value.substr(4);
        bool ok;
        if (!number.empty() && number[0] == '-')
            ok = AllDigits(number.substr(1), 10, uint64_t{1} << 31);
        else if (!number.empty() && number[0] == '$')
            ok = AllDigits(number.substr(1), 16, UINT32_MAX);
        else
            ok = AllDigits(number, 10, UINT32_MAX);
        if (!ok)
            return "\"" + std::string(number) +
                   "\" after #dw: is not a whole number of 32 bits (decimal, -decimal or "
                   "$hexadecimal)";
        return {};
    }
    if (value.compare(0, 4, "#sz:") == 0) return {};
    // "#dword:", "#DW:", "#sz=" ...: a type meant, written as text.
    for (const std::string_view type : {"#dw", "#sz"}) {
        if (StartsWithNoCase(value, type))
            return "\"" + std::string(value.substr(0, std::min<size_t>(value.size(), 8))) +
                   "\" is no value type (#dw: or #sz:); the line writes it as text";
    }
    return {};
}

bool IsWebAddress(std::string_view text) {
    std::string_view rest;
    if (StartsWithNoCase(text, "http://"))
        rest = text.substr(7);
    else if (StartsWithNoCase(text, "https://"))
        rest = text.substr(8);
    else
        return false;
    const size_t end = rest.find_first_of("/?#");
    const std::string_view host = rest.substr(0, end);
    return !host.empty() && host.find(' ') == std::string_view::npos;
}

bool IsCodeValue(std::string_view text) {
    if (!text.empty() && text[0] >= '1' && text[0] <= '9') text.remove_prefix(1);
    return text.size() >= 2 && text[0] == ',';
}

std::vector<std::string> UnknownVariables(std::string_view value, Variables kind) {
    std::vector<std::string> unknown;
    size_t i = 0;
    while (i < value.size()) {
        const size_t open = value.find('%', i);
        if (open == std::string_view::npos || open + 1 >= value.size()) break;
        if (value[open + 1] == '%') {
            i = open + 2;
            continue;
        }
        const size_t close = value.find('%', open + 1);
        if (close == std::string_view::npos) break;
        const std::string_view name = value.substr(open + 1, close - open - 1);
        bool known = false;
        if (!name.empty() && (name[0] == kSectionSign ||
                              (name.size() > 1 && name[0] == '+' && name[1] == kSectionSign))) {
            known = name.back() != kSectionSign; // a registry variable needs a name
        } else if (!LooksLikeName(name)) {
            // Text between two percent signs ("%1" %DIR%): as in the run, the
            // closing sign may open the next variable.
            i = close;
            continue;
        } else {
            const auto& names = kind == Variables::Folder ? kFolderVariables : kMacroVariables;
            known = std::any_of(names.begin(), names.end(),
                                [&](std::string_view n) { return AnsiSameText(n, name); });
        }
        if (!known) unknown.push_back("%" + std::string(name) + "%");
        i = close + 1;
    }
    return unknown;
}

size_t EditDistance(std::string_view a, std::string_view b) {
    const size_t n = a.size(), m = b.size();
    std::vector<size_t> d((n + 1) * (m + 1));
    auto at = [&](size_t i, size_t j) -> size_t& { return d[i * (m + 1) + j]; };
    for (size_t i = 0; i <= n; ++i)
        at(i, 0) = i;
    for (size_t j = 0; j <= m; ++j)
        at(0, j) = j;
    for (size_t i = 1; i <= n; ++i) {
        for (size_t j = 1; j <= m; ++j) {
            const bool same = AnsiUpCaseChar(a[i - 1]) == AnsiUpCaseChar(b[j - 1]);
            size_t best = std::min({at(i - 1, j) + 1, at(i, j - 1) + 1, at(i - 1, j - 1) + !same});
            if (i > 1 && j > 1 && AnsiUpCaseChar(a[i - 1]) == AnsiUpCaseChar(b[j - 2]) &&
                AnsiUpCaseChar(a[i - 2]) == AnsiUpCaseChar(b[j - 1]))
                best = std::min(best, at(i - 2, j - 2) + 1);
            at(i, j) = best;
        }
    }
    return at(n, m);
}

std::string NearestName(std::string_view written, std::span<const std::string> candidates) {
    std::string best;
    size_t bestDistance = SIZE_MAX;
    for (const std::string& candidate : candidates) {
        const size_t distance = EditDistance(written, candidate);
        if (distance < bestDistance) {
            bestDistance = distance;
            best = candidate;
        }
    }
    if (bestDistance > 2 || bestDistance * 2 >= written.size()) return {};
    return best;
}

bool MatchesMask(std::string_view name, std::string_view mask) {
    if (mask == "*.*" || mask == "*") return true;
    // Iterative wildcard match with backtracking to the last "*".
    size_t n = 0, m = 0, star = std::string_view::npos, mark = 0;
    while (n < name.size()) {
        if (m < mask.size() &&
            (mask[m] == '?' || AnsiUpCaseChar(mask[m]) == AnsiUpCaseChar(name[n]))) {
            ++n;
            ++m;
        } else if (m < mask.size() && mask[m] == '*') {
            star = m++;
            mark = n;
        } else if (star != std::string_view::npos) {
            m = star + 1;
            n = ++mark;
        } else {
            return false;
        }
    }
    while (m < mask.size() && (mask[m] == '*' || mask[m] == '.'))
        ++m; // "name.*" and "name*" match "name"
    return m == mask.size();
}

bool HasRegistryVariable(std::string_view text) {
    return text.find(std::string("%") + kSectionSign) != std::string_view::npos ||
           text.find(std::string("%+") + kSectionSign) != std::string_view::npos;
}

std::string WithStandInFolders(std::string text) {
    for (;;) {
        const size_t open = text.find('%');
        if (open == std::string::npos) break;
        const size_t close = text.find('%', open + 1);
        if (close == std::string::npos) break;
        text.replace(open, close - open + 1, "C:\\Folder");
    }
    return text;
}

} // namespace setup::check
