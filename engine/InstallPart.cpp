// Installation of one part: its folders, its tests, and its steps in order
// (register lines, download, files, association, uninstall entry, shortcut,
// [Register] section).
#include "engine/ScriptInstall.h"

#include "common/Ansi.h"
#include "common/Messages.h"
#include "common/Paths.h"
#include "common/Text.h"

namespace setup {

bool TScriptInstall::InstallPart(size_t index, const std::string& groupFolder) {
    bool result = false;
    const setup::Owner owner = MessageOwner();
    const std::string part = PartList[index];
    ReportStatus(Script->PartHeadline(part).Or(part));

    const std::string name = AnsiUpperCase(part);
    if (DiagnoseMode != ' ') InfoMessage(owner, "Part " + name);

    if (!Script->HasSection(name)) {
        // A part list naming a section the script does not have is a broken
        // script, not an empty part: say so, and let the run ask whether to go on.
        InfoMessage(owner, "Der Teil " + part +
                               " ist im Installationsscript nicht beschrieben:\r"
                               "die Sektion [" +
                               part + "] fehlt.");
        return false;
    }
    const script::PartRecord& record = Script->Part(name);
    if (!CheckWinVersion(record.conditions.winVersion.text)) return true;

    std::string dir = record.copy.dir.text;
    if (!Substitute(dir)) PlainMessage(texts::FailedSubstitution + dir);
    dir = AddBackslash(dir);

    const std::string sourceFolder = InstallRootDir + dir;
    const bool condition = CheckCondition(sourceFolder, name, FirstChar(TargetDir));
    const bool required = !record.conditions.optional.Bool(false);
    const int subProject = RunSubProject(name, Talk > 1);

    if (subProject == 0) {
        const std::string partTarget = FoldersOf(dir, record).target;

        if (condition) {
            ReportStatus(record.headLine.Or(name));

            auto registerExpanded = [&](std::string line) {
                ExpandPlaceholders(line);
                if (Substitute(line, &partTarget)) {
                    RegisterLine(line, name);
                } else {
                    PlainMessage(texts::FailedSubstitution + line);
                }
            };
            if (!record.registry.single.empty()) registerExpanded(record.registry.single.text);
            for (const script::Numbered& entry : record.registry.lines)
                registerExpanded(entry.value.text);
            for (const script::Numbered& entry : record.registry.unexpanded) {
                std::string line = entry.value.text;
                if (!Substitute(line, &partTarget)) PlainMessage(texts::FailedSubstitution + line);
                RegisterLine(line, name);
            }

            if (DownloadPartFiles(name, dir)) {
                if (CopyFilesOf(name, dir, true)) {
                    std::string extension = record.association.text;
                    if (!extension.empty()) {
                        if (!Substitute(extension, &partTarget))
                            PlainMessage(texts::FailedSubstitution + extension);
                        ExpandPlaceholders(extension);
                        RegisterExtension(extension);
                    }
                    std::string unInst = record.uninstall.command.text;
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
            const std::string& abortText = record.conditions.abortText.text;
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
