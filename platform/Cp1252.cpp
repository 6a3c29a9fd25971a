#include "platform/Cp1252.h"

#include <cstdint>

namespace plat {
namespace {

// Unicode code points of 0x80..0x9F; the five undefined bytes map to the
// C1 controls of the same value, as Windows' MultiByteToWideChar does.
constexpr char16_t kHigh[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char32_t toUnicode(unsigned char c) {
    if (c >= 0x80 && c < 0xA0) return kHigh[c - 0x80];
    return c;
}

char fromUnicode(char32_t u) {
    const int byte = unicodeToCp1252(u);
    return byte < 0 ? '?' : static_cast<char>(byte);
}

void appendUtf8(std::string& out, char32_t u) {
    if (u < 0x80) {
        out += static_cast<char>(u);
    } else if (u < 0x800) {
        out += static_cast<char>(0xC0 | (u >> 6));
        out += static_cast<char>(0x80 | (u & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (u >> 12));
        out += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (u & 0x3F));
    }
}

} // namespace

int unicodeToCp1252(char32_t codePoint) {
    if (codePoint < 0x80 || (codePoint >= 0xA0 && codePoint <= 0xFF))
        return static_cast<int>(codePoint);
    for (int i = 0; i < 32; ++i)
        if (kHigh[i] == codePoint) return 0x80 + i;
    return -1;
}

std::wstring cp1252ToWide(const std::string& text) {
    std::wstring out;
    out.reserve(text.size());
    for (unsigned char c : text)
        out += static_cast<wchar_t>(toUnicode(c));
    return out;
}

std::string wideToCp1252(const std::wstring& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t u = static_cast<char32_t>(text[i]);
        if (sizeof(wchar_t) == 2 && u >= 0xD800 && u < 0xDC00 && i + 1 < text.size()) {
            ++i; // a surrogate pair has no Windows-1252 form
            u = 0xFFFD;
        }
        out += fromUnicode(u);
    }
    return out;
}

std::string cp1252ToUtf8(const std::string& text) {
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    for (unsigned char c : text)
        appendUtf8(out, toUnicode(c));
    return out;
}

std::string utf8ToCp1252(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    size_t i = 0;
    const size_t n = text.size();
    while (i < n) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        int len = 0;
        char32_t u = 0;
        if (c < 0x80) {
            len = 1;
            u = c;
        } else if ((c & 0xE0) == 0xC0) {
            len = 2;
            u = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            len = 3;
            u = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            len = 4;
            u = c & 0x07;
        }
        bool ok = len > 0 && i + len <= n;
        for (int k = 1; ok && k < len; ++k) {
            const unsigned char cc = static_cast<unsigned char>(text[i + k]);
            if ((cc & 0xC0) != 0x80)
                ok = false;
            else
                u = (u << 6) | (cc & 0x3F);
        }
        if (!ok) {
            out += '?';
            ++i;
            continue;
        }
        out += fromUnicode(u);
        i += len;
    }
    return out;
}

std::string cp1252ToTerminalText(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            out += '\n';
            if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else {
            out += text[i];
        }
    }
    return cp1252ToUtf8(out);
}

} // namespace plat
