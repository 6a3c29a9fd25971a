// Reading Deinst.ins for the uninstaller: a record that does not read as
// one is refused whole, so that nothing is undone from a damaged file.
#include "engine/UninstallRecord.h"

#include <charconv>

#include "common/Ansi.h"
#include "common/TextFiles.h"
#include "script/Ini.h"

namespace setup {

namespace {

constexpr uint64_t kMaxRecordSize = uint64_t{1} << 31;

std::vector<std::string> SplitFields(const std::string& text) {
    std::vector<std::string> fields;
    size_t start = 0;
    while (true) {
        const size_t bar = text.find('|', start);
        fields.push_back(text.substr(start, bar - start));
        if (bar == std::string::npos) return fields;
        start = bar + 1;
    }
}

// Registry fields escape "%", "|", CR and LF; any other "%" stands for itself.
std::string Unescape(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            const std::string code = AnsiUpperCase(text.substr(i + 1, 2));
            const char* replacement = code == "25"   ? "%"
                                      : code == "7C" ? "|"
                                      : code == "0D" ? "\r"
                                      : code == "0A" ? "\n"
                                                     : nullptr;
            if (replacement) {
                out += replacement;
                i += 2;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

template <typename Number> bool ParseDecimal(const std::string& text, Number& out) {
    if (text.empty()) return false;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), out);
    return error == std::errc() && end == text.data() + text.size();
}

bool ParseHexBytes(const std::string& text, std::string& out) {
    if (text.size() % 2 != 0) return false;
    out.clear();
    for (size_t i = 0; i < text.size(); i += 2) {
        unsigned value = 0;
        const auto [end, error] = std::from_chars(text.data() + i, text.data() + i + 2, value, 16);
        if (error != std::errc() || end != text.data() + i + 2) return false;
        out += static_cast<char>(value);
    }
    return true;
}

std::optional<plat::RegRoot> ParseRoot(const std::string& text) {
    for (plat::RegRoot root :
         {plat::RegRoot::ClassesRoot, plat::RegRoot::CurrentUser, plat::RegRoot::LocalMachine})
        if (text == plat::regRootName(root)) return root;
    return std::nullopt;
}

// The old value of a Value line: "none" gives no value.
bool ParseBefore(const std::string& type, const std::string& data,
                 std::optional<RegistryValue>& before) {
    before.reset();
    if (type == "none") return true;
    RegistryValue value;
    if (type == "sz" || type == "expand") {
        value.type = type == "sz" ? plat::RegType::String : plat::RegType::ExpandString;
        value.data = data;
    } else if (type == "dword") {
        uint32_t number = 0;
        if (!ParseDecimal(data, number)) return false;
        value.type = plat::RegType::Dword;
        for (int i = 0; i < 4; ++i)
            value.data += static_cast<char>((number >> (8 * i)) & 0xFF);
    } else if (type == "binary") {
        value.type = plat::RegType::Binary;
        if (!ParseHexBytes(data, value.data)) return false;
    } else if (type.starts_with("other:")) {
        uint32_t number = 0;
        if (!ParseDecimal(type.substr(6), number)) return false;
        value.type = static_cast<plat::RegType>(number);
        if (!ParseHexBytes(data, value.data)) return false;
    } else {
        return false;
    }
    before = std::move(value);
    return true;
}

// A full Windows path: a drive and its root, or a share.
bool FullPath(const std::string& path) {
    return (path.size() >= 3 && path[1] == ':' && path[2] == '\\') ||
           (path.size() > 2 && path[0] == '\\' && path[1] == '\\');
}

} // namespace

std::optional<JournalLine> ParseJournalLine(const std::string& kind, const std::string& text) {
    using Kind = JournalLine::Kind;
    const std::vector<std::string> fields = SplitFields(text);
    JournalLine line;
    if (AnsiSameText(kind, "Folder") || AnsiSameText(kind, "Link")) {
        line.kind = AnsiSameText(kind, "Folder") ? Kind::Folder : Kind::Link;
        if (fields.size() != 1 || !FullPath(fields[0])) return std::nullopt;
        line.path = fields[0];
    } else if (AnsiSameText(kind, "File")) {
        line.kind = Kind::File;
        if (fields.size() != 3 || !FullPath(fields[0]) || !ParseDecimal(fields[1], line.size) ||
            !ParseDecimal(fields[2], line.writeTime))
            return std::nullopt;
        line.path = fields[0];
    } else if (AnsiSameText(kind, "Font")) {
        line.kind = Kind::Font;
        if (fields.size() != 2 || !FullPath(fields[0])) return std::nullopt;
        line.path = fields[0];
        line.name = fields[1];
    } else if (AnsiSameText(kind, "Key") || AnsiSameText(kind, "Value")) {
        const bool isKey = AnsiSameText(kind, "Key");
        line.kind = isKey ? Kind::Key : Kind::Value;
        if (isKey ? fields.size() != 2 : (fields.size() != 5 && fields.size() != 4))
            return std::nullopt;
        const std::optional<plat::RegRoot> root = ParseRoot(fields[0]);
        if (!root) return std::nullopt;
        line.root = *root;
        line.key = Unescape(fields[1]);
        if (line.key.empty()) return std::nullopt;
        if (!isKey) {
            line.name = Unescape(fields[2]);
            const std::string data = fields.size() == 5 ? Unescape(fields[4]) : std::string();
            if (!ParseBefore(fields[3], data, line.before)) return std::nullopt;
            if (fields.size() == 4 && line.before) return std::nullopt;
        }
    } else {
        return std::nullopt;
    }
    return line;
}

std::optional<UninstallRecord> ReadUninstallRecord(const std::string& file, std::string& problem) {
    const std::optional<std::string> bytes = ReadWholeFile(file, kMaxRecordSize);
    if (!bytes) {
        problem = "Keine Deinstallationsdaten gefunden:\r\n" + file;
        return std::nullopt;
    }
    const auto damaged = [&](uint32_t line) {
        problem = "Die Deinstallationsdaten sind besch\xE4"
                  "digt:\r\n" +
                  file + (line > 0 ? " (Zeile " + std::to_string(line) + ")" : std::string());
        return std::nullopt;
    };
    // A killed run may have left its last line without its line end.
    uint32_t tornLine = 0;
    if (!bytes->empty() && bytes->back() != '\n' && bytes->back() != '\r') {
        tornLine = 1;
        for (size_t i = 0; i < bytes->size(); ++i)
            if ((*bytes)[i] == '\n' ||
                ((*bytes)[i] == '\r' && (i + 1 >= bytes->size() || (*bytes)[i + 1] != '\n')))
                ++tornLine;
    }

    TIni ini(file, IniKind::Record);
    if (!ini.ReadComplete() || !ini.LoadError().empty()) return damaged(0);
    UninstallRecord record;
    bool anything = false;
    for (int s = 0; s < ini.SectionCount(); ++s) {
        const std::string& name = ini.SectionName(s);
        const TSection_i& section = ini.Section(s);
        const bool installed = AnsiSameText(name, "Installed");
        const bool pathes = AnsiSameText(name, "Pathes");
        const bool fonts = AnsiSameText(name, "Fonts");
        const bool extensions = AnsiSameText(name, "Extensions");
        for (int i = 0; i < section.Count(); ++i) {
            const std::string key(section.Key(i));
            const std::string value(section.Value(i));
            if (key.empty()) {
                // Comments and blank lines are fine; other text is no record.
                if (!value.empty() && value[0] != ';' &&
                    value.find_first_not_of(" \t") != std::string::npos) {
                    if (installed && section.Line(i) == tornLine && tornLine != 0) continue;
                    return damaged(section.Line(i));
                }
                continue;
            }
            if (installed) {
                std::optional<JournalLine> line = ParseJournalLine(key, value);
                if (!line) {
                    if (section.Line(i) == tornLine && tornLine != 0) continue;
                    return damaged(section.Line(i));
                }
                record.journal.push_back(std::move(*line));
            } else if (pathes) {
                if (!FullPath(value)) return damaged(section.Line(i));
                record.pathes.push_back(value);
            } else if (fonts) {
                record.fonts.push_back(value);
            } else if (extensions) {
                record.associations.emplace_back(key, value);
            } else {
                continue;
            }
            anything = true;
        }
    }
    // The journal is in file order; TIni keeps each section's lines in
    // that order, and a repeated [Installed] header adds to the same section.
    if (!anything) return damaged(0);
    return record;
}

} // namespace setup
