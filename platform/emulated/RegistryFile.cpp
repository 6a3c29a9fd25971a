// The REGEDIT4 text of the emulated registry: written the way regedit writes
// it (hex forms, continuation lines), read with the line of any fault.
#include "platform/emulated/RegistryTree.h"

#include <cstdio>

namespace plat::emulated {
namespace {

// What Windows allows: keys 512 levels deep, key names of 255 characters,
// value names of 16383.
constexpr size_t kMaxKeyDepth = 512;
constexpr size_t kMaxKeyName = 255;
constexpr size_t kMaxValueName = 16383;

constexpr const char* kRootNames[] = {"HKEY_LOCAL_MACHINE", "HKEY_CURRENT_USER", "HKEY_USERS",
                                      "HKEY_CURRENT_CONFIG"};

} // namespace

std::vector<std::string> splitKeyPath(const std::string& path) {
    std::vector<std::string> out;
    size_t i = 0;
    while (i <= path.size()) {
        size_t j = path.find('\\', i);
        if (j == std::string::npos) j = path.size();
        if (j > i) out.push_back(path.substr(i, j - i));
        i = j + 1;
    }
    return out;
}

const char* keyProblem(const std::vector<std::string>& names) {
    if (names.size() > kMaxKeyDepth) return "mehr als 512 Ebenen";
    for (const std::string& name : names) {
        if (name.size() > kMaxKeyName) return "Schl\xFCsselname l\xE4nger als 255 Zeichen";
        for (unsigned char c : name)
            if (c < 0x20 && c != '\t') return "Steuerzeichen im Schl\xFCsselnamen";
    }
    return nullptr;
}

bool storableValueName(const std::string& name) {
    if (name.size() > kMaxValueName) return false;
    for (unsigned char c : name)
        if (c < 0x20 && c != '\t' && c != '\r' && c != '\n') return false;
    return true;
}

namespace {

// ---- Writing ----

bool needsHexForm(const std::string& text) {
    for (unsigned char c : text)
        if (c < 0x20 && c != '\t') return true;
    return false;
}

// A quoted name or text; line breaks in a value name are written as \r and \n.
std::string quoted(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '\r' || c == '\n') {
            out += c == '\r' ? "\\r" : "\\n";
            continue;
        }
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    return out + "\"";
}

std::string hexBytes(const char* prefix, const std::string& bytes) {
    std::string out = prefix;
    size_t column = out.size();
    char buffer[4];
    for (size_t i = 0; i < bytes.size(); ++i) {
        std::snprintf(buffer, sizeof buffer, "%02x", static_cast<unsigned char>(bytes[i]));
        out += buffer;
        column += 2;
        if (i + 1 < bytes.size()) {
            out += ',';
            ++column;
            if (column > 76) { // regedit's continuation lines
                out += "\\\r\n  ";
                column = 2;
            }
        }
    }
    return out;
}

// Writes a root and its keys depth first, in the order they were created,
// with a stack of its own: no recursion over the depth of the tree.
void writeTree(std::string& out, const Key& root) {
    std::vector<std::pair<const Key*, std::string>> pending{{&root, root.name}};
    while (!pending.empty()) {
        const auto [key, path] = std::move(pending.back());
        pending.pop_back();
        // Keys that only hold other keys come into being with them.
        if (!key->values.empty() || (key != &root && key->children.empty())) {
            out += "[" + path + "]\r\n";
            for (const Value& v : key->values) {
                out += v.name.empty() ? std::string("@") : quoted(v.name);
                out += '=';
                if (!v.raw.empty()) {
                    out += v.raw;
                } else if (v.type == RegType::Dword) {
                    char buffer[16];
                    std::snprintf(buffer, sizeof buffer, "dword:%08x", v.dword);
                    out += buffer;
                } else if (v.type == RegType::ExpandString) {
                    out += hexBytes("hex(2):", v.data + std::string(1, '\0'));
                } else if (v.type == RegType::Binary) {
                    out += hexBytes("hex:", v.data);
                } else if (v.type != RegType::String) {
                    // Any other kind keeps its number: "hex(7):...".
                    char prefix[24];
                    std::snprintf(prefix, sizeof prefix, "hex(%x):", static_cast<unsigned>(v.type));
                    out += hexBytes(prefix, v.data);
                } else if (needsHexForm(v.data)) {
                    // Line breaks inside a quoted text would break the file: REG_SZ in hex form.
                    out += hexBytes("hex(1):", v.data + std::string(1, '\0'));
                } else {
                    out += quoted(v.data);
                }
                out += "\r\n";
            }
            out += "\r\n";
        }
        for (auto it = key->children.rbegin(); it != key->children.rend(); ++it)
            pending.emplace_back(it->get(), path + "\\" + (*it)->name);
    }
}

} // namespace

std::string serialize(const Tree& tree) {
    std::string out = "REGEDIT4\r\n\r\n";
    for (const auto& r : tree.roots)
        writeTree(out, *r);
    return out;
}

// ---- Reading ----

namespace {

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string trimmed(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t'))
        ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t'))
        --e;
    return s.substr(b, e - b);
}

// A quoted text starting at s[pos] == '"'; pos ends after the closing quote.
bool parseQuoted(const std::string& s, size_t& pos, std::string& out) {
    out.clear();
    ++pos;
    while (pos < s.size()) {
        const char c = s[pos++];
        if (c == '"') return true;
        if (c == '\\' && pos < s.size()) {
            const char e = s[pos++];
            if (e == '\\' || e == '"')
                out += e;
            else if (e == 'n')
                out += '\n';
            else if (e == 'r')
                out += '\r';
            else {
                out += '\\';
                out += e;
            }
        } else {
            out += c;
        }
    }
    return false;
}

// "hex:..." or "hex(N):..." with its bytes; false when malformed.
bool parseHex(const std::string& text, RegType& type, std::string& bytes) {
    size_t pos = 3;
    uint32_t kind = static_cast<uint32_t>(RegType::Binary);
    if (pos < text.size() && text[pos] == '(') {
        size_t close = text.find(')', pos);
        if (close == std::string::npos || close == pos + 1) return false;
        kind = 0;
        for (size_t i = pos + 1; i < close; ++i) {
            const int d = hexDigit(text[i]);
            if (d < 0 || kind > 0x0FFFFFFF) return false;
            kind = kind * 16 + static_cast<uint32_t>(d);
        }
        pos = close + 1;
    }
    if (pos >= text.size() || text[pos] != ':') return false;
    ++pos;
    bytes.clear();
    bool expectByte = true;
    while (pos < text.size()) {
        const char c = text[pos];
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\\') {
            ++pos;
        } else if (c == ',' && !expectByte) {
            expectByte = true;
            ++pos;
        } else if (expectByte && pos + 1 < text.size() && hexDigit(c) >= 0 &&
                   hexDigit(text[pos + 1]) >= 0) {
            bytes += static_cast<char>(hexDigit(c) * 16 + hexDigit(text[pos + 1]));
            expectByte = false;
            pos += 2;
        } else {
            return false;
        }
    }
    if (expectByte && !bytes.empty()) return false; // a trailing comma
    type = static_cast<RegType>(kind);
    return true;
}

} // namespace

std::optional<ParseError> parse(const std::string& bytes, Tree& tree) {
    std::vector<std::string> lines;
    {
        size_t i = 0;
        while (i < bytes.size()) {
            size_t j = bytes.find('\n', i);
            if (j == std::string::npos) j = bytes.size();
            std::string line = bytes.substr(i, j - i);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            lines.push_back(std::move(line));
            i = j + 1;
        }
    }
    if (!lines.empty() && lines[0].rfind("\xEF\xBB\xBF", 0) == 0) lines[0].erase(0, 3);
    if (lines.empty() || trimmed(lines[0]) != "REGEDIT4")
        return ParseError{1, "\"REGEDIT4\" erwartet"};

    Key* current = nullptr;
    for (size_t n = 1; n < lines.size(); ++n) {
        const std::string line = trimmed(lines[n]);
        const size_t lineNo = n + 1;
        if (line.empty() || line[0] == ';') continue;
        if (line[0] == '[') {
            if (line.back() != ']') return ParseError{lineNo, "\"]\" fehlt"};
            const std::string inner = line.substr(1, line.size() - 2);
            if (!inner.empty() && inner[0] == '-')
                return ParseError{lineNo, "L\xF6schzeilen werden nicht unterst\xFCtzt"};
            std::vector<std::string> names = splitKeyPath(inner);
            if (names.empty()) return ParseError{lineNo, "Schl\xFCsselname fehlt"};
            std::string rootName;
            if (sameText(names[0], "HKEY_CLASSES_ROOT")) {
                rootName = "HKEY_LOCAL_MACHINE";
                names.erase(names.begin());
                names.insert(names.begin(), {"Software", "Classes"});
            } else {
                for (const char* known : kRootNames)
                    if (sameText(names[0], known)) rootName = known;
                if (rootName.empty())
                    return ParseError{lineNo, "unbekannter Hauptschl\xFCssel " + names[0]};
                names.erase(names.begin());
            }
            if (const char* problem = keyProblem(names)) return ParseError{lineNo, problem};
            current = &tree.rootKey(rootName);
            for (const std::string& name : names) {
                Key* next = current->child(name);
                current = next ? next : &current->addChild(name);
            }
            continue;
        }
        if (line[0] != '"' && line[0] != '@') return ParseError{lineNo, "unerwarteter Text"};
        if (!current)
            return ParseError{lineNo, "Wert au\xDF"
                                      "erhalb eines Schl\xFCssels"};
        Value v;
        size_t pos = 0;
        if (line[0] == '@') {
            pos = 1;
        } else if (!parseQuoted(line, pos, v.name)) {
            return ParseError{lineNo, "Anf\xFChrungszeichen fehlt"};
        }
        while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t'))
            ++pos;
        if (pos >= line.size() || line[pos] != '=') return ParseError{lineNo, "\"=\" fehlt"};
        ++pos;
        while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t'))
            ++pos;
        const std::string rest = line.substr(pos);
        if (!rest.empty() && rest[0] == '"') {
            size_t p = 0;
            if (!parseQuoted(rest, p, v.data) || !trimmed(rest.substr(p)).empty())
                return ParseError{lineNo, "Text ohne schlie\xDF"
                                          "endes Anf\xFChrungszeichen"};
            v.type = RegType::String;
        } else if (rest.rfind("dword:", 0) == 0) {
            const std::string digits = trimmed(rest.substr(6));
            if (digits.empty() || digits.size() > 8) return ParseError{lineNo, "DWORD ung\xFCltig"};
            uint32_t value = 0;
            for (char c : digits) {
                if (hexDigit(c) < 0) return ParseError{lineNo, "DWORD ung\xFCltig"};
                value = value * 16 + static_cast<uint32_t>(hexDigit(c));
            }
            v.type = RegType::Dword;
            v.dword = value;
        } else if (rest.rfind("hex", 0) == 0) {
            // Continuation lines end with a backslash; keep them as written.
            std::string raw = rest;
            size_t last = n;
            while (!trimmed(raw).empty() && trimmed(raw).back() == '\\' &&
                   last + 1 < lines.size()) {
                ++last;
                raw += "\r\n" + lines[last];
            }
            n = last;
            if (!parseHex(raw, v.type, v.data)) return ParseError{lineNo, "Hex-Daten ung\xFCltig"};
            v.raw = raw;
            if (v.type == RegType::Dword) {
                if (v.data.size() != 4) return ParseError{lineNo, "DWORD ung\xFCltig"};
                for (int i = 3; i >= 0; --i)
                    v.dword = v.dword * 256 + static_cast<unsigned char>(v.data[i]);
            } else if (v.type == RegType::String || v.type == RegType::ExpandString) {
                while (!v.data.empty() && v.data.back() == '\0')
                    v.data.pop_back();
            }
        } else {
            return ParseError{lineNo, "unbekannte Wertart"};
        }
        if (Value* existing = current->value(v.name))
            *existing = std::move(v);
        else
            current->setValue(std::move(v));
    }
    return std::nullopt;
}

} // namespace plat::emulated
