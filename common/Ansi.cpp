#include "common/Ansi.h"

namespace setup {

std::string AnsiUpperCase(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = AnsiUpCaseChar(c);
    return out;
}

std::string AnsiLowerCase(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = AnsiLowCaseChar(c);
    return out;
}

int AnsiCompareText(std::string_view a, std::string_view b) {
    const size_t n = a.size() < b.size() ? a.size() : b.size();
    for (size_t i = 0; i < n; ++i) {
        const unsigned char x = static_cast<unsigned char>(AnsiUpCaseChar(a[i]));
        const unsigned char y = static_cast<unsigned char>(AnsiUpCaseChar(b[i]));
        if (x != y) return x < y ? -1 : 1;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

} // namespace setup
