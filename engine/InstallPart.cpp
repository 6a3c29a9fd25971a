// Installation of one part: its folders, its tests, and its steps in order
// (register lines, download, files, association, uninstall entry, shortcut,
// [Register] section).
#include "engine/ScriptInstall.h"

#include "common/Ansi.h"
#include "common/Messages.h"
#include "common/Paths.h"
#include "common/Text.h"

namespace setup {

namespace {

// The parent folder of a part folder ("a\b\" -> "a\", "a\" -> "").
std::string ParentFolder(const std::string& dir) {
    std::string path = dir;
    if (!path.empty() && path.back() == '\\') path.pop_back();
    const size_t slash = path.rfind('\\');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

} // namespace

bool TScriptInstall::InstallPart(size_t index, const std::string& groupFolder) {
    bool result = false;
    const setup::Owner owner = MessageOwner();
    const std::string part = PartList[index];
    ReportStatus(Script->ReadString("Headline", part, part));

    const std::string name = AnsiUpperCase(part);
    if (DiagnoseMode != ' ') InfoMessage(owner, "Part " + name);

    if (Script->FindSection(name) < 0) {
        // A part list naming a section the script does not have is a broken
        // script, not an empty part: say so, and let the run ask whether to go on.
        InfoMessage(owner, "Der Teil " + part +
                               " ist im Installationsscript nicht beschrieben:\r"
                               "die Sektion [" +
                               part + "] fehlt.");
        return false;
    }
    if (!CheckWinVersion(Script->ReadString(name, "WinVersion", ""))) return true;

    std::string dir = Script->ReadString(name, "Dir", "");
    if (!Substitute(dir)) PlainMessage(texts::FailedSubstitution + dir);
    dir = AddBackslash(dir);

    const std::string sourceFolder = InstallRootDir + dir;
    const bool condition = CheckCondition(sourceFolder, name, FirstChar(TargetDir));
    const bool required = !Script->ReadBool(name, "fak", false);
    const int subProject = RunSubProject(name, Talk > 1);

    if (subProject == 0) {
        std::string partTarget;
        if (!dir.empty() && dir[0] == '\\') {
            partTarget = dir;
        } else if (Script->ReadString(name, "TDir", "") == "..") {
            partTarget = TargetDir + ParentFolder(dir);
        } else {
            partTarget = TargetDir + dir;
        }
        partTarget = AddBackslash(partTarget);

        if (condition) {
            ReportStatus(Script->ReadString(name, "HeadLine", name));

            auto registerExpanded = [&](std::string line) {
                ExpandPlaceholders(line);
                if (Substitute(line, &partTarget)) {
                    RegisterLine(line, name);
                } else {
                    PlainMessage(texts::FailedSubstitution + line);
                }
            };
            const std::string single = Script->ReadString(name, "Register", "");
            if (!single.empty()) registerExpanded(single);
            for (int n = 1;; ++n) {
                const std::string line =
                    Script->ReadString(name, "Register" + std::to_string(n), "");
                if (line.empty()) break;
                registerExpanded(line);
            }
            for (int n = 1;; ++n) {
                std::string line = Script->ReadString(name, "RegisterX" + std::to_string(n), "");
                if (line.empty()) break;
                if (!Substitute(line, &partTarget)) PlainMessage(texts::FailedSubstitution + line);
                RegisterLine(line, name);
            }

            if (DownloadPartFiles(name, dir)) {
                if (CopyFilesOf(name, dir, true)) {
                    std::string extension = Script->ReadString(name, "Extension", "");
                    if (!extension.empty()) {
                        if (!Substitute(extension, &partTarget))
                            PlainMessage(texts::FailedSubstitution + extension);
                        ExpandPlaceholders(extension);
                        RegisterExtension(extension);
                    }
                    std::string unInst = Script->ReadString(name, "UnInst", "");
                    if (!unInst.empty()) {
                        ExpandPlaceholders(unInst);
                        if (!Substitute(unInst, &partTarget))
                            PlainMessage(texts::FailedSubstitution + unInst);
                        WriteUninstallEntry(name, partTarget, unInst);
                    }
                } else {
                    if (CheckAbort()) return false;
                    if (AskYesNo(owner, texts::Continue) != IdYes) return false;
                }
            } else {
                LeftOut = true; // the part's files are not installed without their download
            }

            if (DiagnoseMode == '3') InfoMessage(owner, "vor MakeIcon:\r" + name + ": " + dir);
            if (AddItem32(name, partTarget, groupFolder, dir)) result = true;
        } else {
            CopyFilesOf(name, dir, false);
        }
    } else if (subProject == 2) {
        if (condition) LeftOut = true;
        if (condition && required) {
            AbortRequested = true;
            const std::string abortText = Script->ReadString(name, "AbortText", "");
            if (!abortText.empty()) InfoMessage(owner, abortText);
        }
    }

    if (!CheckAbort()) {
        RegisterClassesSection();
        result = true;
    }
    return result;
}

} // namespace setup
