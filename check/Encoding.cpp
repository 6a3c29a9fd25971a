#include "check/Encoding.h"

#include <cstdint>

#include "common/ScriptEncoding.h"

namespace setup::check {

namespace {

// The length of a well-formed multi-byte UTF-8 sequence at i, 0 when there is none.
size_t Utf8Sequence(std::string_view s, size_t i) {
    const auto b = [&](size_t k) { return static_cast<uint8_t>(s[k]); };
    const uint8_t lead = b(i);
    size_t length = 0;
    if (lead >= 0xC2 && lead <= 0xDF)
        length = 2;
    else if (lead >= 0xE0 && lead <= 0xEF)
        length = 3;
    else if (lead >= 0xF0 && lead <= 0xF4)
        length = 4;
    else
        return 0;
    if (i + length > s.size()) return 0;
    for (size_t k = 1; k < length; ++k)
        if ((b(i + k) & 0xC0) != 0x80) return 0;
    return length;
}

Finding Make(uint32_t line, Severity severity, std::string text) {
    return Finding{{}, line, severity, Code::Encoding, std::move(text)};
}

} // namespace

std::vector<Finding> EncodingFindings(std::string_view bytes, TextKind kind, bool& fatal) {
    fatal = false;
    std::vector<Finding> out;
    if (HasByteOrderMark(bytes.substr(0, 3))) {
        out.push_back(Make(0, Severity::Warning,
                           "the file begins with a byte-order mark: it is read, but the "
                           "format's own encoding is Windows-1252"));
        return out; // the text is converted as a whole; line ends are the mark's encoding's
    }
    size_t crlf = 0, lf = 0, cr = 0;
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\r') {
            if (i + 1 < bytes.size() && bytes[i + 1] == '\n') {
                ++crlf;
                ++i;
            } else {
                ++cr;
            }
        } else if (bytes[i] == '\n') {
            ++lf;
        }
    }
    if (lf && !crlf && !cr) {
        if (kind == TextKind::Script) {
            fatal = true;
            out.push_back(Make(0, Severity::Error,
                               "the line ends are LF only: the installation reads the whole "
                               "script as one line (save it with CR LF line ends)"));
        } else {
            out.push_back(Make(0, Severity::Warning, "the line ends are LF only, not CR LF"));
        }
    } else if (cr && !crlf && !lf) {
        out.push_back(Make(0, Severity::Warning, "the line ends are CR only, not CR LF"));
    } else if (lf && (crlf || cr)) {
        out.push_back(Make(0, Severity::Warning,
                           kind == TextKind::Script
                               ? "some lines end with LF alone: the installation reads such "
                                 "an LF as part of the line"
                               : "the line ends are mixed: CR LF and LF alone"));
    } else if (cr && crlf) {
        out.push_back(Make(0, Severity::Warning, "the line ends are mixed: CR LF and CR alone"));
    }

    // UTF-8 text without a mark: every byte above 127 belongs to a well-formed
    // sequence, and there is at least one.
    uint32_t line = 1, firstLine = 0;
    bool utf8 = true;
    for (size_t i = 0; i < bytes.size() && utf8; ++i) {
        const char c = bytes[i];
        if (c == '\r') {
            if (i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
            ++line;
        } else if (c == '\n') {
            if (kind == TextKind::LineFile) ++line; // in a script an LF alone is text
        } else if (static_cast<uint8_t>(c) >= 0x80) {
            const size_t n = Utf8Sequence(bytes, i);
            if (n == 0) {
                utf8 = false;
            } else {
                if (!firstLine) firstLine = line;
                i += n - 1;
            }
        }
    }
    if (utf8 && firstLine)
        out.push_back(Make(firstLine, Severity::Warning,
                           "the text looks like UTF-8 without a byte-order mark: it is read as "
                           "Windows-1252 (save it as Windows-1252, or as UTF-8 with a mark)"));
    return out;
}

} // namespace setup::check
