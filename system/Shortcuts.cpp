// The start-menu group of a project and the shortcut of each part.
#include "system/Shortcuts.h"

#include <algorithm>
#include <cstdio>
#include <exception>

#include "common/Ansi.h"
#include "common/Error.h"
#include "common/Log.h"
#include "common/Messages.h"
#include "common/Paths.h"
#include "common/RegistryAccess.h"
#include "common/Text.h"
#include "files/FileHandler.h"
#include "platform/ShellLink.h"

namespace setup {

namespace {

const std::string ShellFolders = "\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\"
                                 "Shell Folders";

std::string Cut(const std::string& text) {
    return text.substr(0, ShortcutTextLength);
}

// A decimal icon index; a text that is not a number gives 0.
int32_t IconIndexOf(const std::string& text) {
    size_t pos = !text.empty() && text[0] == '-' ? 1 : 0;
    if (pos == text.size()) return 0;
    int64_t value = 0;
    for (; pos < text.size(); ++pos) {
        if (text[pos] < '0' || text[pos] > '9') return 0;
        value = value * 10 + (text[pos] - '0');
        if (value > INT32_MAX) return 0;
    }
    return static_cast<int32_t>(text[0] == '-' ? -value : value);
}

// The full form of folder + "\" + name when that lies inside folder (or is
// folder itself, when allowed); false when it leaves it: "..", a drive or a
// character Windows refuses in a name.
bool InsideFolder(const std::string& folder, const std::string& name, bool allowSame,
                  std::string& full) {
    std::string base;
    if (!FullFolderPath(folder, base) || !FullFolderPath(AddBackslash(folder) + name, full))
        return false;
    if (full.size() < base.size() || !AnsiSameText(full.substr(0, base.size()), base)) return false;
    return allowSame || full.size() > base.size();
}

std::string Hex(int32_t code) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%08X", static_cast<unsigned>(code));
    return buffer;
}

} // namespace

std::string MakeGroup(RunContext& run, const std::string& groupName) {
    const bool diagnose = run.diagnoseMode != ' ';
    std::string base = ReadRegistryString("M" + ShellFolders, "Common Programs", "");
    if (base.empty()) base = ReadRegistryString("U" + ShellFolders, "Programs", "");
    std::string parent = run.script ? script::Expanded(run.script->Project().parentGroup) : "";
    if (!parent.empty() && parent[0] == '\\') {
        parent.erase(0, 1);
        base = ReadRegistryString("U" + ShellFolders, "Common Start Menu", "");
        if (base.empty()) base = ReadRegistryString("U" + ShellFolders, "Start Menu", "");
    }
    // The group stays inside the start-menu folder it belongs to.
    std::string parentFolder, group;
    if (!InsideFolder(base, parent, true, parentFolder) ||
        !InsideFolder(base, AddBackslash(parent) + groupName, true, group)) {
        InfoMessage(run.MessageOwner(), "Die Programmgruppe " + AddBackslash(parent) + groupName +
                                            "\rliegt nicht im Ordner " + base +
                                            "\rund wird nicht angelegt.");
        return {};
    }
    run.copier.ForceFolders(parentFolder);

    group.pop_back();
    group.resize(std::min<size_t>(group.size(), 255));
    if (diagnose) InfoMessage(run.MessageOwner(), "GroupDir:" + group);
    run.copier.ForceFolders(group);
    run.groupList.push_back(group);

    run.effects.BroadcastWinIniChange();
    if (diagnose) InfoMessage(run.MessageOwner(), "nach PostMessage WinIniChange");
    if (diagnose) InfoMessage(run.MessageOwner(), "Nach MakeGroup (in MakeGroup)");
    return AddBackslash(group);
}

bool AddShortcut(RunContext& run, const PartInRun& partToInstall, const std::string& groupFolder) {
    const std::string& partName = partToInstall.name;
    const std::string& partTarget = partToInstall.folders.target;
    // A part cancelled during its copy gets no shortcut, and its run does not
    // count as installed.
    if (AbortRequested) return false;
    const setup::Owner owner = run.MessageOwner();
    const script::PartRecord& part = *partToInstall.record;
    const script::ShortcutRecord& shortcut = part.shortcut;
    std::string execute = shortcut.execute.Or(partName + ".EXE");
    // Shown in the file line under the part's status.
    run.ReportStatus(run.LastStatus(), "Execute=" + execute);
    RunContext::ExpandPlaceholders(execute);
    run.Substitute(execute, &partTarget);
    if (!execute.empty() && execute[0] == '\\') {
        execute.erase(0, 1);
    } else if (execute.find(":\\") == std::string::npos) {
        execute = partTarget + execute;
    }
    // A target already in quotes keeps them and its arguments after them.
    if (execute.find(' ') != std::string::npos && execute[0] != '"') execute = '"' + execute + '"';

    const std::string icon = Trim(shortcut.icon.text);
    if (run.diagnoseMode == '1')
        InfoMessage(owner, "insFile:" + (run.script ? run.script->FileName() : std::string()) +
                               "\rPartName=" + partName + "\raIconNm=" + icon);
    if (icon == "-") return true;

    std::string iconFile;
    if (!icon.empty()) {
        std::string text = icon;
        RunContext::ExpandPlaceholders(text);
        if (!text.empty() && text[0] == '\\') {
            iconFile = text.substr(1);
        } else if (text.find(":\\") != std::string::npos) {
            iconFile = text;
        } else {
            iconFile = partTarget + text;
        }
    }
    const std::string& iconNr = shortcut.iconNumber.text;

    std::string workingFolder = shortcut.workingFolder.text;
    if (workingFolder.empty()) {
        workingFolder = partTarget;
    } else {
        RunContext::ExpandPlaceholders(workingFolder);
        if (!run.Substitute(workingFolder, &partTarget))
            PlainMessage(texts::FailedSubstitution + workingFolder);
    }

    std::string program, defaultArguments;
    if (!execute.empty() && execute[0] == '"') {
        const size_t close = execute.find('"', 1);
        program = execute.substr(1, close == std::string::npos ? std::string::npos : close - 1);
        if (close != std::string::npos && close + 2 < execute.size())
            defaultArguments = execute.substr(close + 2);
    } else {
        const size_t blank = execute.find(' ');
        program = execute.substr(0, blank);
        if (blank != std::string::npos) defaultArguments = execute.substr(blank + 1);
    }

    std::string arguments = shortcut.arguments.Or(defaultArguments);
    RunContext::ExpandPlaceholders(arguments);
    if (!run.Substitute(arguments, &partTarget))
        PlainMessage(texts::FailedSubstitution + arguments);
    const std::string name = part.name.Or(partName);
    const int32_t iconIndex = IconIndexOf(iconNr);
    // Without Icon (also with IconNr alone) the icon is the program's.
    if (iconFile.empty()) iconFile = program;

    const std::string& ownGroup = shortcut.group.text;
    const std::string group = ownGroup.empty() ? groupFolder : MakeGroup(run, ownGroup);
    // The shortcut is its group's: a name that leaves the group's folder is
    // refused, and so is every shortcut of a refused group.
    std::string link;
    if (group.empty() || !InsideFolder(group, name, false, link)) {
        InfoMessage(owner,
                    "Die Verkn\xFCpfung " + name +
                        (group.empty() ? "\rhat keine Programmgruppe"
                                       : "\rliegt nicht im Ordner ihrer Programmgruppe " + group) +
                        "\rund wird nicht angelegt.");
        return true;
    }
    std::string groupBase;
    FullFolderPath(group, groupBase);
    const std::string linkName = link.substr(groupBase.size(), link.size() - groupBase.size() - 1);

    if (run.diagnoseMode == '2')
        InfoMessage(owner, partName + "\r\rAddItem32:\r" + group + "\r" + program + "\r" +
                               arguments + "\r" + name + "\r" + iconFile + "\r" +
                               std::to_string(iconIndex) + "\r" + workingFolder);
    CreateShortcut(run, groupBase, program, workingFolder, iconIndex, iconFile, linkName,
                   arguments);
    return true;
}

void CreateShortcut(RunContext& run, const std::string& groupFolder, const std::string& target,
                    const std::string& workingFolder, int32_t iconIndex,
                    const std::string& iconFile, const std::string& name,
                    const std::string& arguments) {
    ShortcutSpec spec;
    spec.Path = Cut(target);
    spec.WorkingDirectory = Cut(workingFolder);
    spec.LinkFile = Cut(groupFolder + name + ".LNK");
    spec.Arguments = Cut(arguments);
    spec.Description = Cut(name);
    spec.IconFile = Cut(iconFile);
    spec.IconIndex = iconIndex;
    spec.ShowCmd = 5;
    const size_t slash = spec.LinkFile.rfind('\\');
    if (slash != std::string::npos) run.copier.ForceFolders(spec.LinkFile.substr(0, slash));
    CreateLinkEx(spec, run.effects);
}

int32_t CreateLinkEx(const ShortcutSpec& spec, Effects& effects) {
    try {
        const int32_t init = plat::comInitialize();
        if (init < 0) {
            const char* what = init == plat::kHrUnexpected    ? "unexpected err"
                               : init == plat::kHrOutOfMemory ? "out of memory"
                               : init == plat::kHrInvalidArg  ? "invalid arg"
                                                              : nullptr;
            if (what) InfoMessage(ActiveForm, std::string("CoInitialize:\r") + what);
            return init;
        }
        struct ComScope {
            ~ComScope() { plat::comUninitialize(); }
        } comScope;
        return CreateLink(effects, spec, 0);
    } catch (const std::exception& e) {
        InfoMessage(ActiveForm, std::string("CreateLinkEx:") + e.what());
        return -1;
    }
}

int32_t CreateLink(Effects& effects, ShortcutSpec spec, uint16_t hotKey) {
    if (spec.IconIndex != 0 && spec.IconFile.empty()) spec.IconFile = spec.Path;
    std::string error;
    int32_t saved = -1;
    try {
        saved = effects.CreateShortcut(spec, hotKey, error);
    } catch (const std::exception& e) {
        error = e.what();
    }
    if (saved == -3) return -3;
    // A shortcut that could not be saved is not there: say so instead of
    // passing over it in silence.
    if (error.empty() && saved < 0)
        error = "Save failed:\r" + spec.LinkFile + " (" + Hex(saved) + ")";
    if (!error.empty()) {
        InfoMessage(ActiveForm, "CreateLink: " + error);
        return -1;
    }
    log::Line("LINK", {spec.LinkFile, spec.Path, spec.Arguments, spec.WorkingDirectory,
                       spec.IconFile, std::to_string(spec.IconIndex)});
    return saved;
}

} // namespace setup
