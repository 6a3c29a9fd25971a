// The plan's summary: the changes grouped by kind, in the order planned.
#include "common/PlanSummary.h"

#include <map>
#include <utility>

#include "common/Ansi.h"

namespace setup {

namespace {

using Kind = PlannedChange::Kind;

struct Group {
    const char* title;
    std::vector<std::string> lines;
};

// The classes root holds the file types and their commands.
bool IsAssociation(const PlannedChange& change) {
    return change.path.rfind("HKEY_CLASSES_ROOT\\", 0) == 0;
}

// A file or value written more than once is shown once, where it was first
// written, with what it holds in the end.
struct Shown {
    std::map<std::string, std::pair<Group*, size_t>> at;
    // false when key was shown already; its line is then replaced.
    bool First(const std::string& key, Group& group, const std::string& line) {
        const auto [it, added] = at.try_emplace(AnsiUpperCase(key), &group, group.lines.size());
        if (added)
            group.lines.push_back(line);
        else
            it->second.first->lines[it->second.second] = line;
        return added;
    }
};

} // namespace

std::string FormatPlanSummary(const std::vector<PlannedChange>& changes, const PlanTotals& totals) {
    int32_t created = 0, replaced = 0;
    Group files{"Dateien", {}};
    Group folders{"Ordner, die angelegt w\xFCrden", {}};
    Group values{"Registrierungswerte", {}};
    Group associations{"Dateizuordnungen", {}};
    Group shortcuts{"Verkn\xFCpfungen", {}};
    Group fonts{"Schriften", {}};
    Group programs{"Programme, die gestartet w\xFCrden", {}};
    Group moved{"Dateien, die beiseitegelegt w\xFCrden (\xFC"
                "berfl\xFCssig)",
                {}};
    Group deleted{"Dateien, die gel\xF6scht w\xFCrden", {}};
    Group removedValues{"Registrierungswerte und -schl\xFCssel, die entfernt w\xFCrden", {}};
    Group removedFolders{"Ordner, die entfernt w\xFCrden", {}};
    Group web{"Web-Ordner, die gefragt w\xFCrden (der Plan fragt keinen)", {}};
    Shown shown;
    for (const PlannedChange& c : changes) {
        switch (c.kind) {
        case Kind::FileNew:
        case Kind::FileReplaced: {
            // A file first written new stays new however often it is written.
            const auto first = shown.at.find(AnsiUpperCase(c.path));
            const bool isNew = first == shown.at.end()
                                   ? c.kind == Kind::FileNew
                                   : files.lines[first->second.second].rfind("neu", 0) == 0;
            if (shown.First(c.path, files,
                            std::string(isNew ? "neu       " : "ersetzt   ") + c.path + " (" +
                                std::to_string(c.number) + " Bytes)"))
                ++(isNew ? created : replaced);
            break;
        }
        case Kind::Folder:
            folders.lines.push_back(c.path);
            break;
        case Kind::RegistryValue:
            shown.First(c.path + "\\\\" + c.name, IsAssociation(c) ? associations : values,
                        c.path + " | " + (c.name.empty() ? "(Standard)" : c.name) + " = " +
                            c.detail);
            break;
        case Kind::Shortcut:
            shortcuts.lines.push_back(c.path + " -> " + c.detail);
            break;
        case Kind::Font:
            fonts.lines.push_back("eingetragen   " + c.path);
            break;
        case Kind::FontRemoved:
            fonts.lines.push_back("ausgetragen   " + c.path);
            break;
        case Kind::Program:
            programs.lines.push_back(c.path);
            break;
        case Kind::ShellVerb:
            programs.lines.push_back(c.name + " " + c.path +
                                     (c.detail.empty() ? "" : " " + c.detail));
            break;
        case Kind::Move:
            moved.lines.push_back(c.path + " -> " + c.detail);
            break;
        case Kind::Delete:
            deleted.lines.push_back(c.path);
            break;
        case Kind::WebFolder:
            web.lines.push_back(c.path);
            break;
        case Kind::RegistryValueRemoved:
            removedValues.lines.push_back(c.path + " | " +
                                          (c.name.empty() ? "(Standard)" : c.name));
            break;
        case Kind::RegistryKeyRemoved:
            removedValues.lines.push_back(c.path);
            break;
        case Kind::FolderRemoved:
            removedFolders.lines.push_back(c.path);
            break;
        case Kind::Attributes:
        case Kind::WriteTime:
        case Kind::RegistryKey:
        case Kind::FontResource:
        case Kind::Broadcast:
            break;
        }
    }

    std::string text = "Plan: " + totals.caption + "\n";
    if (!totals.targetDir.empty()) text += "Zielordner: " + totals.targetDir + "\n";
    text += "Es wurde nichts ge\xE4ndert.\n\n";
    text += "Dateien: " + std::to_string(created) + " neu, " + std::to_string(replaced) +
            " ersetzt, " + std::to_string(totals.unchanged) +
            " unver\xE4ndert (aktuell oder behalten)";
    if (totals.failed != 0) text += ", " + std::to_string(totals.failed) + " gescheitert";
    if (totals.cancelled != 0) text += ", " + std::to_string(totals.cancelled) + " abgebrochen";
    text += "\n";
    for (const std::string& line : files.lines)
        text += "  " + line + "\n";
    for (const Group* group : {&folders, &values, &associations, &shortcuts, &fonts, &programs,
                               &moved, &deleted, &removedValues, &removedFolders, &web}) {
        if (group->lines.empty()) continue;
        text += std::string(group->title) + ": " + std::to_string(group->lines.size()) + "\n";
        for (const std::string& line : group->lines)
            text += "  " + line + "\n";
    }
    text += "\nExit-Status der Installation: " + std::to_string(totals.exitStatus) + "\n";
    return text;
}

} // namespace setup
