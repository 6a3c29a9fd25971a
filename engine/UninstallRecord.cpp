// Reading Deinst.ins for the uninstaller: a record that does not read as
// one is refused whole, so that nothing is undone from a damaged file.
#include "engine/UninstallRecord.h"

#include <variant>

#include "common/Ansi.h"
#include "common/TextFiles.h"
#include "files/InstallRecord.h"
#include "script/Ini.h"

namespace setup {

namespace {

constexpr uint64_t kMaxRecordSize = uint64_t{1} << 31;

// A full Windows path: a drive and its root, or a share.
bool FullPath(const std::string& path) {
    return (path.size() >= 3 && path[1] == ':' && path[2] == '\\') ||
           (path.size() > 2 && path[0] == '\\' && path[1] == '\\');
}

} // namespace

std::optional<JournalLine> ParseJournalLine(const std::string& kind, const std::string& fields) {
    const std::optional<record::Line> parsed = record::Parse(kind, fields);
    if (!parsed) return std::nullopt;
    JournalLine line;
    using Kind = JournalLine::Kind;
    if (const auto* folder = std::get_if<record::FolderLine>(&*parsed)) {
        line.kind = Kind::Folder;
        line.path = folder->path;
    } else if (const auto* file = std::get_if<record::FileLine>(&*parsed)) {
        line.kind = Kind::File;
        line.path = file->path;
        line.size = file->size;
        line.writeTime = file->writeTime;
    } else if (const auto* link = std::get_if<record::LinkLine>(&*parsed)) {
        line.kind = Kind::Link;
        line.path = link->path;
    } else if (const auto* font = std::get_if<record::FontLine>(&*parsed)) {
        line.kind = Kind::Font;
        line.path = font->path;
        line.name = font->name;
    } else if (const auto* key = std::get_if<record::KeyLine>(&*parsed)) {
        line.kind = Kind::Key;
        line.root = key->root;
        line.key = key->key;
    } else if (const auto* value = std::get_if<record::ValueLine>(&*parsed)) {
        line.kind = Kind::Value;
        line.root = value->root;
        line.key = value->key;
        line.name = value->name;
        line.before = value->old;
    }
    // A path that is not full would be taken relative to wherever the
    // uninstaller runs: such a record is no record of ours.
    const bool hasPath = line.kind != Kind::Key && line.kind != Kind::Value;
    if (hasPath && !FullPath(line.path)) return std::nullopt;
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
