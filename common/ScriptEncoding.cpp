// Conversion of UTF-8 and UTF-16 files with a byte-order mark to Windows-1252.
#include "common/ScriptEncoding.h"

#include "platform/Cp1252.h"

#include <cstdio>

namespace setup {

namespace {

enum class Mark { None, Utf8, Utf16Le, Utf16Be };

Mark FindMark(std::string_view head) {
    if (head.starts_with("\xEF\xBB\xBF")) return Mark::Utf8;
    if (head.starts_with("\xFF\xFE")) return Mark::Utf16Le;
    if (head.starts_with("\xFE\xFF")) return Mark::Utf16Be;
    return Mark::None;
}

// Reads the code points of UTF-8 or UTF-16 bytes one after the other.
class Decoder {
  public:
    Decoder(std::string_view bytes, Mark mark) : bytes_(bytes), mark_(mark) {}
    bool AtEnd() const { return pos_ >= bytes_.size(); }
    // The next code point; false when the bytes there are no valid character.
    bool Next(char32_t& codePoint) {
        return mark_ == Mark::Utf8 ? NextUtf8(codePoint) : NextUtf16(codePoint);
    }

  private:
    unsigned Byte(size_t at) const { return static_cast<unsigned char>(bytes_[at]); }

    bool NextUtf8(char32_t& u) {
        const unsigned c = Byte(pos_);
        size_t length;
        char32_t least;
        if (c < 0x80) {
            u = c;
            ++pos_;
            return true;
        } else if ((c & 0xE0) == 0xC0) {
            length = 2, u = c & 0x1F, least = 0x80;
        } else if ((c & 0xF0) == 0xE0) {
            length = 3, u = c & 0x0F, least = 0x800;
        } else if ((c & 0xF8) == 0xF0) {
            length = 4, u = c & 0x07, least = 0x10000;
        } else {
            return false;
        }
        if (pos_ + length > bytes_.size()) return false;
        for (size_t k = 1; k < length; ++k) {
            const unsigned cc = Byte(pos_ + k);
            if ((cc & 0xC0) != 0x80) return false;
            u = (u << 6) | (cc & 0x3F);
        }
        // Overlong forms and surrogates are no characters.
        if (u < least || u > 0x10FFFF || (u >= 0xD800 && u < 0xE000)) return false;
        pos_ += length;
        return true;
    }

    bool Unit(char16_t& unit) {
        if (pos_ + 2 > bytes_.size()) return false;
        unit = mark_ == Mark::Utf16Le ? static_cast<char16_t>(Byte(pos_) | Byte(pos_ + 1) << 8)
                                      : static_cast<char16_t>(Byte(pos_) << 8 | Byte(pos_ + 1));
        pos_ += 2;
        return true;
    }

    bool NextUtf16(char32_t& u) {
        char16_t first;
        if (!Unit(first)) return false;
        u = first;
        if (first >= 0xDC00 && first < 0xE000) return false;
        if (first < 0xD800 || first >= 0xDC00) return true;
        char16_t second;
        if (!Unit(second) || second < 0xDC00 || second >= 0xE000) return false;
        u = 0x10000 + ((char32_t(first) - 0xD800) << 10) + (char32_t(second) - 0xDC00);
        return true;
    }

    std::string_view bytes_;
    Mark mark_;
    size_t pos_ = 0;
};

std::string CodePointName(char32_t u) {
    char name[16];
    std::snprintf(name, sizeof name, "U+%04X", static_cast<unsigned>(u));
    return name;
}

} // namespace

bool HasByteOrderMark(std::string_view head) {
    return FindMark(head) != Mark::None;
}

bool ConvertScriptText(std::string& bytes, std::string& error) {
    const Mark mark = FindMark(bytes);
    if (mark == Mark::None) return true;
    const size_t markSize = mark == Mark::Utf8 ? 3 : 2;
    Decoder decoder(std::string_view(bytes).substr(markSize), mark);
    std::string text;
    text.reserve(bytes.size());
    int line = 1;
    char32_t previous = 0;
    while (!decoder.AtEnd()) {
        char32_t u = 0;
        if (!decoder.Next(u)) {
            error = "Zeile " + std::to_string(line) + ": ung\xFCltige " +
                    (mark == Mark::Utf8 ? "UTF-8" : "UTF-16") + "-Zeichenfolge";
            return false;
        }
        const int byte = plat::unicodeToCp1252(u);
        if (byte < 0) {
            error = "Zeile " + std::to_string(line) + ": das Zeichen " + CodePointName(u) +
                    " hat keine Windows-1252-Form";
            return false;
        }
        // A line ends at a CR, at an LF, and once at CR LF.
        if (u == '\r' || (u == '\n' && previous != '\r')) ++line;
        previous = u;
        text += static_cast<char>(byte);
    }
    bytes = std::move(text);
    return true;
}

} // namespace setup
