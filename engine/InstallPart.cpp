// Installation of one part: its folders, its tests, and its steps in order
// (register lines, download, files, association, uninstall entry, shortcut,
// [Register] section).
#include "engine/ScriptInstall.h"

#include "common/Ansi.h"
#include "common/Messages.h"
#include "common/Paths.h"
#include "common/Text.h"
#include "engine/Steps.h"
#include "files/Download.h"
#include "system/RegistryEntries.h"
#include "system/Shortcuts.h"

namespace setup {

bool TScriptInstall::InstallPart(size_t index, const std::string& groupFolder) {
    bool result = false;
    const setup::Owner owner = MessageOwner();
    const std::string part = partList_[index];
    run_.ReportStatus(script_->PartHeadline(part).Or(part));

    const std::string name = AnsiUpperCase(part);
    if (run_.diagnoseMode != ' ') InfoMessage(owner, "Part " + name);

    if (!script_->HasSection(name)) {
        // A part list naming a section the script does not have is a broken
        // script, not an empty part: say so, and let the run ask whether to go on.
        InfoMessage(owner, "Der Teil " + part +
                               " ist im Installationsscript nicht beschrieben:\r"
                               "die Sektion [" +
                               part + "] fehlt.");
        return false;
    }
    const script::PartRecord& record = script_->Part(name);
    if (!CheckWinVersion(record.conditions.winVersion.text)) return true;

    std::string dir = record.copy.dir.text;
    if (!run_.Substitute(dir)) PlainMessage(texts::FailedSubstitution + dir);
    dir = AddBackslash(dir);

    const std::string sourceFolder = run_.installRoot + dir;
    const bool condition = CheckCondition(run_, sourceFolder, name, FirstChar(run_.targetDir));
    const bool required = !record.conditions.optional.Bool(false);
    const int subProject = RunSubProject(name, run_.talk > 1);

    if (subProject == 0) {
        const PartInRun partToInstall = run_.Part(name, dir);
        const std::string& partTarget = partToInstall.folders.target;

        if (condition) {
            run_.ReportStatus(record.headLine.Or(name));

            auto registerExpanded = [&](std::string line) {
                RunContext::ExpandPlaceholders(line);
                if (run_.Substitute(line, &partTarget)) {
                    RegisterLine(run_, partToInstall, line);
                } else {
                    PlainMessage(texts::FailedSubstitution + line);
                }
            };
            if (!record.registry.single.empty()) registerExpanded(record.registry.single.text);
            for (const script::Numbered& entry : record.registry.lines)
                registerExpanded(entry.value.text);
            for (const script::Numbered& entry : record.registry.unexpanded) {
                std::string line = entry.value.text;
                if (!run_.Substitute(line, &partTarget))
                    PlainMessage(texts::FailedSubstitution + line);
                RegisterLine(run_, partToInstall, line);
            }

            if (DownloadPartFiles(run_, partToInstall)) {
                if (CopyFilesOf(run_, partToInstall, true)) {
                    std::string extension = record.association.text;
                    if (!extension.empty()) {
                        if (!run_.Substitute(extension, &partTarget))
                            PlainMessage(texts::FailedSubstitution + extension);
                        RunContext::ExpandPlaceholders(extension);
                        RegisterExtension(run_, extension);
                    }
                    std::string unInst = record.uninstall.command.text;
                    if (!unInst.empty()) {
                        RunContext::ExpandPlaceholders(unInst);
                        if (!run_.Substitute(unInst, &partTarget))
                            PlainMessage(texts::FailedSubstitution + unInst);
                        WriteUninstallEntry(run_, partToInstall, unInst);
                    }
                } else {
                    if (CheckAbort()) return false;
                    if (AskYesNo(owner, texts::Continue) != IdYes) return false;
                }
            } else {
                run_.counters.leftOut =
                    true; // the part's files are not installed without their download
            }

            if (run_.diagnoseMode == '3') InfoMessage(owner, "vor MakeIcon:\r" + name + ": " + dir);
            if (AddShortcut(run_, partToInstall, groupFolder)) result = true;
        } else {
            CopyFilesOf(run_, partToInstall, false);
        }
    } else if (subProject == 2) {
        if (condition) run_.counters.leftOut = true;
        if (condition && required) {
            AbortRequested = true;
            const std::string& abortText = record.conditions.abortText.text;
            if (!abortText.empty()) InfoMessage(owner, abortText);
        }
    }

    if (!CheckAbort()) {
        RegisterClassesSection(run_);
        result = true;
    }
    return result;
}

} // namespace setup
