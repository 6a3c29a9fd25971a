// Path variables: the folder variables of script values (Substitute) and the
// variables of macro-file lines (SubstituteMacroLine).
#include "script/Substitute.h"

#include <array>
#include <string_view>

#include "common/Ansi.h"
#include "common/Paths.h"
#include "common/RegistryAccess.h"
#include "common/RegistryVariables.h"

namespace setup {

namespace {

const char* const kShellFolders =
    "Software\\Microsoft\\Windows\\CurrentVersion\\explorer\\Shell Folders";
const char* const kStartMenuDefault = "C:\\Windows\\Startmenu";

enum class FolderVar { Dir, WDir, SDir, SDir32, PDir, SMDir, SPDir, SMDirA, SPDirA };

struct FolderVarName {
    std::string_view name; // with its closing "%"
    FolderVar var;
};

// In the order in which names are tried.
constexpr std::array<FolderVarName, 9> kFolderVars = {{
    {"DIR%", FolderVar::Dir},
    {"WDIR%", FolderVar::WDir},
    {"SDIR%", FolderVar::SDir},
    {"SDIR32%", FolderVar::SDir32},
    {"PDIR%", FolderVar::PDir},
    {"SMDIR%", FolderVar::SMDir},
    {"SPDIR%", FolderVar::SPDir},
    {"SMDIRA%", FolderVar::SMDirA},
    {"SPDIRA%", FolderVar::SPDirA},
}};

// Looked up every time a variable is met: the registry may change during a run.
std::string FolderVarValue(FolderVar var, const std::string* dir) {
    const std::string user = std::string("U\\") + kShellFolders;
    const std::string machine = std::string("M\\") + kShellFolders;
    switch (var) {
    case FolderVar::Dir:
        return dir ? *dir : std::string();
    case FolderVar::WDir:
        return WindowsFolder();
    case FolderVar::SDir:
        return WindowsFolder() + "system\\";
    case FolderVar::SDir32:
        return SystemFolder();
    case FolderVar::PDir:
        return ReadRegistryString("M\\Software\\Microsoft\\Windows\\CurrentVersion",
                                  "ProgramFilesDir", "C:\\Programs");
    case FolderVar::SMDir:
        return ReadRegistryString(user, "Start Menu", kStartMenuDefault);
    case FolderVar::SPDir:
        return ReadRegistryString(user, "Programs", kStartMenuDefault);
    case FolderVar::SMDirA:
        return ReadRegistryString(machine, "Common Start Menu", kStartMenuDefault);
    case FolderVar::SPDirA:
        return ReadRegistryString(machine, "Common Programs", kStartMenuDefault);
    }
    return {};
}

std::string WithoutTrailingBackslash(const std::string& path) {
    if (!path.empty() && path.back() == '\\') return path.substr(0, path.size() - 1);
    return path;
}

} // namespace

bool Substitute(std::string& value, const std::string* dir) {
    // Names are matched in an upper-case copy; every change is made to both.
    std::string upper = AnsiUpperCase(value);
    bool result = true;
    size_t pos = 0;
    for (;;) {
        const size_t percent = value.find('%', pos);
        if (percent == std::string::npos || percent + 1 >= value.size()) break;
        if (value[percent + 1] == '%') {
            pos = percent + 2;
            continue;
        }
        const FolderVarName* found = nullptr;
        for (const auto& candidate : kFolderVars) {
            if (std::string_view(upper).substr(percent + 1, candidate.name.size()) ==
                candidate.name) {
                found = &candidate;
                break;
            }
        }
        if (!found) {
            // The closing "%" of an unknown name may open the next variable.
            const size_t next = value.find('%', percent + 1);
            if (next == std::string::npos) break;
            pos = next;
            continue;
        }
        const size_t length = found->name.size() + 1;
        value.erase(percent, length);
        upper.erase(percent, length);
        std::string replacement = FolderVarValue(found->var, dir);
        if (replacement.empty()) {
            result = false;
            pos = percent;
            continue;
        }
        // "%WDIR%\fonts" must not give two backslashes.
        if (replacement.back() == '\\' && percent < value.size() && value[percent] == '\\') {
            value.erase(percent, 1);
            upper.erase(percent, 1);
        }
        value.insert(percent, replacement);
        upper.insert(percent, AnsiUpperCase(replacement));
        pos = percent + replacement.size();
    }
    return result;
}

bool SubstituteMacroLine(std::string& line, const std::string& copiedFile,
                         const std::string& targetDir) {
    // A registry variable may name itself: each one grows the line by up to
    // what one expansion allows, so a line stops taking variables in once it
    // has grown by that much, and the rest of it is kept as it was.
    constexpr size_t kMaxMacroLineGrowth = 256 * 1024;
    const size_t limit = line.size() + kMaxMacroLineGrowth;
    size_t i = 0;
    while (i + 1 < line.size()) {
        if (line[i] != '%') {
            ++i;
            continue;
        }
        if (line[i + 1] == '%') {
            line.erase(i, 1);
            ++i;
            continue;
        }
        const size_t close = line.find('%', i + 1);
        if (close == std::string::npos) return true;
        if (line.size() > limit) return false;
        const std::string name = line.substr(i + 1, close - i - 1);
        line.erase(i, close - i + 1);
        if (!name.empty() && name[0] == '\xA7') {
            std::string variable = "%" + name + "%";
            ExpandRegistryVariables(variable, true);
            line.insert(i, variable);
            i += variable.size();
            continue;
        }
        const std::string upper = AnsiUpperCase(name);
        const std::string target = WithoutTrailingBackslash(targetDir);
        std::string replacement;
        bool known = true;
        if (upper == "CD") {
            replacement = copiedFile.substr(0, 1);
        } else if (upper == "SELFDIR") {
            const std::string path = WithoutTrailingBackslash(copiedFile);
            const size_t slash = path.rfind('\\');
            replacement = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
        } else if (upper == "DIR" || upper == "DIR83") {
            replacement = targetDir;
        } else if (upper == "DIR_" || upper == "DIR83_") {
            replacement = target;
        } else if (upper == "_DIR_" || upper == "_DIR83_") {
            replacement = target.size() > 2 ? target.substr(2) : std::string();
        } else if (upper == "DRIVE") {
            replacement = targetDir.substr(0, 1);
        } else {
            known = false;
        }
        if (!known) {
            // An unknown name is put back as it was and the scan goes on after it.
            const std::string original = "%" + name + "%";
            line.insert(i, original);
            i += original.size();
            continue;
        }
        line.insert(i, replacement);
        ++i;
    }
    return true;
}

} // namespace setup
