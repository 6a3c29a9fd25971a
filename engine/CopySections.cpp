// The copy sections: the file entries of a part (CopyFilesOf), the files for
// the Windows, System and System32 folders, macro files and hold files.
#include <algorithm>
#include <optional>
#include <unordered_set>

#include "common/Ansi.h"
#include "common/FileInfo.h"
#include "common/FileLists.h"
#include "common/Messages.h"
#include "common/PathNormal.h"
#include "common/Paths.h"
#include "common/ScriptEncoding.h"
#include "common/Text.h"
#include "common/WinInfo.h"
#include "engine/Steps.h"
#include "script/Substitute.h"
#include "common/TextFiles.h"
#include "platform/FileSystem.h"

namespace setup {

namespace {

// Macro files are small text files; larger ones are not read whole.
constexpr uint64_t kMaxMacroFileSize = 16 * 1024 * 1024;

std::string Numbered(const char* key, int n) {
    return key + std::to_string(n);
}

bool AnyFileMatches(Effects& effects, const std::string& pattern) {
    plat::DirEntry entry;
    return effects.Entry(pattern, entry);
}

void ChangeReadOnly(RunContext& run, const std::string& path, bool readOnly) {
    const std::optional<uint32_t> attributes = run.effects.Attributes(path);
    if (!attributes) return;
    const uint32_t wanted =
        readOnly ? (*attributes | plat::kAttrReadOnly) : (*attributes & ~plat::kAttrReadOnly);
    if (wanted != *attributes && !run.effects.SetAttributes(path, wanted))
        InfoMessage(run.MessageOwner(),
                    "FileSetAttr\r" + path + ": " + std::to_string(plat::lastError()));
}

void DeleteListedFiles(RunContext& run, const std::string& section,
                       const std::vector<script::Numbered>& deletes, const std::string& target) {
    for (const script::Numbered& entry : deletes) {
        if (CheckAbort()) break;
        const std::string& value = entry.value.text;
        const size_t comma = value.find(',');
        const std::string pattern = value.substr(0, comma);
        if (pattern.find_first_of("\\/:") != std::string::npos) {
            // Only files of the target folder itself may be deleted.
            InfoMessage(run.MessageOwner(), "Sektion " + section + "\r" +
                                                Numbered("Del", entry.number) + "=" + value +
                                                "\rnicht ausgef\xFChrt: nur Dateien in " + target +
                                                " werden gel\xF6scht.");
            continue;
        }
        int32_t limit = INT32_MAX;
        if (comma != std::string::npos) {
            std::string_view cursor(value);
            cursor.remove_prefix(comma + 1);
            limit = static_cast<int32_t>(ParseInteger(cursor));
        }
        DeleteMatchingFiles(run.effects, target, pattern, false, limit);
    }
}

CopyResult CopyEntryFiles(RunContext& run, const script::CopyEntry& entry,
                          const PartFolders& folders, bool install, int& sectionCount) {
    std::string value = entry.file.text;
    bool reportMissing = run.reportMissing;
    if (value[0] == '|') {
        value.erase(0, 1);
        reportMissing = false;
    }
    bool recursive = false;
    if (EndsWith(" /s", value)) {
        value.resize(value.size() - 3);
        recursive = true;
    }
    const std::string full = folders.copySource + value;
    const std::string sub = ExtractFilePath(value);
    const std::string mask = ExtractFileName(full);
    const std::string sourceDir = ExtractFilePath(full);
    const std::string destDir = folders.copyTarget + sub;

    if (entry.noCopy.Bool(false)) return CopyResult::Done;
    if (install) run.copier.ForceFolders(destDir);

    const int32_t override = entry.override.Integer(0);
    const CopyMode mode = run.decisions.ModeForOverride(override);
    bool toInstall = install;
    if (override == 2 && AnyFileMatches(run.effects, destDir + mask)) toInstall = false;

    if (!toInstall) {
        const size_t listed = run.projectFiles ? run.projectFiles->size() : 0;
        run.copier.CountSkipped(sourceDir + mask, destDir);
        // Files installed once and kept belong to the project: they
        // must never be set aside as superfluous.
        if (install) run.KeepFiles(destDir, mask, listed);
        return CopyResult::Done;
    }
    const int32_t readOnly = entry.readOnly.Integer(0);
    if (readOnly >= 1) ChangeReadOnly(run, destDir + mask, false);
    CopyResult result = CopyResult::Done;
    if (!entry.newName.empty()) {
        result = CopyRenamed(run, sourceDir + mask, destDir, entry.newName.text, mode);
    } else if (recursive) {
        result =
            run.copier.CopyTree(sourceDir, destDir, mask, 0, reportMissing, sectionCount, mode);
    } else {
        result =
            run.copier.CopyFiles(sourceDir, destDir, mask, 0, reportMissing, sectionCount, mode);
    }
    std::string code = entry.code.text;
    if (!code.empty() && code[0] >= '1' && code[0] <= '9') code.erase(0, 1);
    if (!code.empty() && code[0] == ',') code.erase(0, 1);
    if (!code.empty()) {
        // The copied file and its companion get the companion's date.
        const std::string copied = destDir + mask;
        const std::string other = ExtractFilePath(copied) + code;
        const int32_t date = FileDosDate(run.effects, other);
        if (date > 0) {
            ChangeReadOnly(run, other, false);
            ChangeReadOnly(run, copied, false);
            SetFileDate(run.effects, other, date);
            SetFileDate(run.effects, copied, date);
        }
    }
    if (readOnly == 1 && result == CopyResult::Done) ChangeReadOnly(run, destDir + mask, true);
    return result;
}

void AddHoldFiles(RunContext& run, const std::string& target,
                  const std::vector<script::Numbered>& holds) {
    for (const script::Numbered& entry : holds) {
        const std::string& value = entry.value.text;
        const std::string folder = target + ExtractFilePath(value);
        const std::string pattern = ExtractFileName(value);
        if (run.diagnoseMode == '9')
            InfoMessage(run.MessageOwner(), "AddHoldFiles:\r" + folder + pattern);
        run.KeepFiles(folder, pattern);
    }
}

} // namespace

bool CopyFilesOf(RunContext& run, const PartInRun& part, bool install) {
    const std::string& section = part.name;
    const std::string& partFolder = part.folder;
    const setup::Owner owner = run.MessageOwner();
    const bool diagnose = run.diagnoseMode != ' ';
    if (diagnose) InfoMessage(owner, "CopyFilesOf " + section + "\rSbDir=" + partFolder);
    run.currentSection = section;
    if (diagnose) {
        InfoMessage(owner, "InstallRootDir=" + run.installRoot + "\rIPath=" +
                               (run.script ? run.script->Project().installPath.text : "") +
                               "\rSubDir=" + partFolder);
    }
    const script::PartRecord& record = *part.record;
    const PartFolders& folders = part.folders;
    const std::string& target = folders.copyTarget;

    bool complete = true;
    if (install && !run.copier.ForceFolders(target)) {
        if (WarnOkCancel(owner, "Sektion " + section + "\r" + target + " nicht angelegt!") ==
            IdCancel)
            AbortRequested = true;
        complete = false;
    } else {
        if (install) DeleteListedFiles(run, section, record.copy.deletes, target);
        int sectionCount = 0;
        for (const script::CopyEntry& entry : record.copy.files) {
            if (CheckAbort()) break;
            const CopyResult result = CopyEntryFiles(run, entry, folders, install, sectionCount);
            if (result == CopyResult::NotCopied) complete = false;
            if (result == CopyResult::Abort) {
                complete = false;
                break;
            }
        }
        for (const script::MacroEntry& macro : record.copy.macros) {
            CopyMacroFile(run, run.installRoot + folders.relative + macro.file.text,
                          target + macro.newName.Or(macro.file.text), macro.override.Bool(false));
        }
    }

    if (!complete) run.counters.leftOut = true;
    if (!CheckAbort() && !complete) {
        AbortRequested =
            WarnOkCancel(owner, section + ": Anwendung nicht vollst\xE4ndig installiert!") ==
            IdCancel;
    }
    AddHoldFiles(run, target, record.copy.holds);
    return complete;
}

CopyResult CopyRenamed(RunContext& run, const std::string& source, const std::string& destDir,
                       const std::string& newName, CopyMode mode) {
    // A device takes whatever is written to it, and a copy into a folder
    // that is not there fails: both are refused with the file named.
    const std::string dest = destDir + newName;
    std::string reason;
    if (NamesDevice(newName))
        reason = newName + " ist ein Ger\xE4t, keine Datei.";
    else if (!run.effects.FolderExists(ExtractFilePath(dest)))
        reason = "der Ordner " + ExtractFilePath(dest) + " fehlt.";
    if (reason.empty()) return run.copier.CopyOneFile(source, dest, 0, mode);
    InfoMessage(run.MessageOwner(), source + " ->\r" + dest + "\rnicht kopiert: " + reason);
    run.copier.RefuseFile(source, dest);
    return CopyResult::NotCopied;
}

void CopyMacroFile(RunContext& run, const std::string& source, const std::string& dest,
                   bool overwrite) {
    const setup::Owner owner = run.MessageOwner();
    if (!overwrite && FileDosDate(run.effects, dest) > FileDosDate(source)) {
        if (AskYesNoDefaultNo(owner, dest + " ist j\xFCnger.\rTrotzdem kopieren?") != IdYes) {
            // The newer file stays and stays part of the project.
            run.KeepFiles(ExtractFilePath(dest), ExtractFileName(dest));
            return;
        }
    }
    run.copier.SetFileNames(source, dest);
    std::optional<std::string> text = ReadWholeFile(source, kMaxMacroFileSize);
    if (std::string error; text && !ConvertScriptText(*text, error)) {
        InfoMessage(owner, source + "\r" + error + ".");
        text.reset();
    }
    std::string output;
    // Expanded variables may grow the text, but not without end.
    const uint64_t maxOutput = (text ? text->size() : 0) + kMaxMacroFileSize;
    bool tooLong = false;
    if (text) {
        std::string line;
        size_t lineNumber = 0;
        auto emit = [&] {
            ++lineNumber;
            if (!SubstituteMacroLine(line, source, run.targetDir) && !tooLong) {
                tooLong = true;
                InfoMessage(owner, source + "\rZeile " + std::to_string(lineNumber) +
                                       ": zu lang, weitere Variablen nicht eingesetzt.");
            }
            output += line;
            output += "\r\n";
            line.clear();
        };
        for (size_t i = 0; i < text->size() && output.size() <= maxOutput; ++i) {
            const char ch = (*text)[i];
            if (ch == '\r' || ch == '\n') {
                emit();
                if (ch == '\r' && i + 1 < text->size() && (*text)[i + 1] == '\n') ++i;
            } else {
                line += ch;
            }
        }
        if (!line.empty()) emit();
    }
    if (!text || output.size() > maxOutput || WriteWholeFile(run.effects, dest, output) != 0) {
        run.counters.leftOut = true;
        InfoMessage(owner, source + " ->\r" + dest + "\rgescheitert.");
        return;
    }
    run.copier.AddCopied(1, static_cast<int64_t>(output.size()));
}

namespace {

// Result handling shared by the Windows-folder steps: false when a file was
// not copied; stop on an abort.
bool CopyWinResult(CopyResult result, bool& ok) {
    if (result == CopyResult::NotCopied) ok = false;
    if (result == CopyResult::Abort) {
        ok = false;
        return false;
    }
    if (CheckAbort()) {
        ok = false;
        return false;
    }
    return true;
}

} // namespace

bool CopyWinFiles(RunContext& run) {
    if (run.diagnoseMode != ' ') InfoMessage(run.MessageOwner(), "CopyWinFiles");
    run.currentSection = "Win";
    bool ok = true;
    if (!run.script) return ok;
    const script::ProjectRecord& project = run.script->Project();
    const std::vector<int>& refused = project.refusedWinSys;
    for (size_t i = 0;; ++i) {
        // Reported for each number up to the first Win# that is missing.
        const int n = static_cast<int>(i) + 1;
        if (std::find(refused.begin(), refused.end(), n) != refused.end()) {
            InfoMessage(run.MessageOwner(), "WinSys#= now unsupported, use Win#= or WSys#= !");
            ok = false;
        }
        if (i >= project.windowsFiles.size()) break;
        const std::string value = script::Expanded(project.windowsFiles[i].value);
        if (value.empty()) break;
        int count = 0;
        if (!CopyWinResult(run.copier.CopyFiles(run.installRoot, WindowsFolder(), value, 0,
                                                run.reportMissing, count, CopyMode::CompareAsk),
                           ok))
            break;
    }
    return ok;
}

bool CopyWinSystemFiles(RunContext& run) {
    run.currentSection = "WSys";
    if (run.diagnoseMode != ' ') InfoMessage(run.MessageOwner(), "CopyWinSystemFiles");
    bool ok = true;
    if (!run.script) return ok;
    for (const script::Numbered& entry : run.script->Project().systemFiles) {
        const std::string value = script::Expanded(entry.value);
        if (value.empty()) break;
        const std::string dest = run.effects.FileExists(WindowsFolder() + value)
                                     ? WindowsFolder()
                                     : WindowsFolder() + "system\\";
        int count = 0;
        if (!CopyWinResult(run.copier.CopyFiles(run.installRoot, dest, value, 0, run.reportMissing,
                                                count, CopyMode::CompareAsk),
                           ok))
            break;
    }
    return ok;
}

bool CopyWinSystem32Files(RunContext& run) {
    run.currentSection = "W32Sys";
    if (run.diagnoseMode != ' ') InfoMessage(run.MessageOwner(), "CopyWinSystem32Files");
    bool ok = true;
    if (!run.script) return ok;
    for (const script::Numbered& entry : run.script->Project().system32Files) {
        std::string value = script::Expanded(entry.value);
        if (value.empty()) break;
        CopyMode mode = CopyMode::CompareAsk;
        if (EndsWith(",U", value)) {
            // Replaced without comparison. The copier writes the new file
            // beside the old one and puts it in its place only when complete:
            // a copy that fails leaves the old file, and nothing is deleted
            // by a name that leads out of the system folder.
            value.resize(value.size() - 2);
            mode = CopyMode::Copy;
        }
        int count = 0;
        if (!CopyWinResult(
                run.copier.CopyFiles(run.installRoot, SystemFolder(), value, 0, true, count, mode),
                ok))
            break;
    }
    return ok;
}

} // namespace setup
