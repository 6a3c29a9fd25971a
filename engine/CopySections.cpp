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
#include "engine/ScriptInstall.h"
#include "common/TextFiles.h"
#include "platform/FileSystem.h"

namespace setup {

namespace {

// Macro files are small text files; larger ones are not read whole.
constexpr uint64_t kMaxMacroFileSize = 16 * 1024 * 1024;

std::string Numbered(const char* key, int n) {
    return key + std::to_string(n);
}

bool AnyFileMatches(const std::string& pattern) {
    plat::DirSearch search;
    if (!search.first(pattern)) return false;
    do {
        const auto& entry = search.entry();
        if (entry.name != "." && entry.name != ".." && !(entry.attributes & plat::kAttrDirectory))
            return true;
    } while (search.next());
    return false;
}

void ShowAttributeFailure(Owner owner, const std::string& path) {
    InfoMessage(owner, "FileSetAttr\r" + path + ": " + std::to_string(plat::lastError()));
}

void ChangeReadOnly(Owner owner, const std::string& path, bool readOnly) {
    const std::optional<uint32_t> attributes = plat::getAttributes(path);
    if (!attributes) return;
    const uint32_t wanted =
        readOnly ? (*attributes | plat::kAttrReadOnly) : (*attributes & ~plat::kAttrReadOnly);
    if (wanted != *attributes && !plat::setAttributes(path, wanted))
        ShowAttributeFailure(owner, path);
}

} // namespace

PartFolders TScriptInstall::FoldersOf(const std::string& partFolder,
                                      const script::PartRecord& record) const {
    PartFolders folders;
    folders.relative = partFolder;
    const std::string& tdir = record.copy.targetDir.text;
    std::string parent = partFolder;
    if (!parent.empty() && parent.back() == '\\') parent.pop_back();
    parent = ExtractFilePath(parent);
    if (!partFolder.empty() && partFolder[0] == '\\') {
        // A part folder that begins with a backslash is the part's own target
        // folder, never a folder relative to the process's current folder.
        folders.target = AddBackslash(partFolder);
        folders.copyTarget = partFolder;
        folders.relative.clear();
        folders.copySource = InstallRootDir;
        return folders;
    }
    folders.target = AddBackslash(tdir == ".." ? TargetDir + parent : TargetDir + partFolder);
    if (tdir.empty()) {
        folders.copyTarget = TargetDir + partFolder;
    } else if (tdir == "..") {
        folders.copyTarget = TargetDir + parent;
    } else {
        // An explicit target folder of the files, %DIR% being the part folder.
        folders.copyTarget = tdir;
        Substitute(folders.copyTarget, &partFolder);
    }
    EnsureBackslash(folders.copyTarget);
    folders.copySource = InstallRootDir + partFolder;
    return folders;
}

bool TScriptInstall::CopyFilesOf(const std::string& section, const std::string& partFolder,
                                 bool install) {
    const setup::Owner owner = MessageOwner();
    const bool diagnose = DiagnoseMode != ' ';
    if (diagnose) InfoMessage(owner, "CopyFilesOf " + section + "\rSbDir=" + partFolder);
    CurrentSection = section;
    if (diagnose) {
        InfoMessage(owner, "InstallRootDir=" + InstallRootDir +
                               "\rIPath=" + (Script ? Script->Project().installPath.text : "") +
                               "\rSubDir=" + partFolder);
    }
    const script::PartRecord& record = PartOf(section);
    const PartFolders folders = FoldersOf(partFolder, record);
    const std::string& target = folders.copyTarget;

    bool complete = true;
    if (install && !FileHandler->ForceFolders(target)) {
        if (WarnOkCancel(owner, "Sektion " + section + "\r" + target + " nicht angelegt!") ==
            IdCancel)
            AbortRequested = true;
        complete = false;
    } else {
        if (install) DeleteListedFiles(section, record.copy.deletes, target);
        int sectionCount = 0;
        for (const script::CopyEntry& entry : record.copy.files) {
            if (CheckAbort()) break;
            const int result = CopyEntryFiles(entry, folders, install, sectionCount);
            if (result == CopyNotCopied) complete = false;
            if (result == CopyAbort) {
                complete = false;
                break;
            }
        }
        for (const script::MacroEntry& macro : record.copy.macros) {
            CopyMacroFile(InstallRootDir + folders.relative + macro.file.text,
                          target + macro.newName.Or(macro.file.text), macro.override.Bool(false));
        }
    }

    if (!complete) LeftOut = true;
    if (!CheckAbort() && !complete) {
        AbortRequested =
            WarnOkCancel(owner, section + ": Anwendung nicht vollst\xE4ndig installiert!") ==
            IdCancel;
    }
    AddHoldFiles(target, record.copy.holds);
    return complete;
}

void TScriptInstall::DeleteListedFiles(const std::string& section,
                                       const std::vector<script::Numbered>& deletes,
                                       const std::string& target) {
    for (const script::Numbered& entry : deletes) {
        if (CheckAbort()) break;
        const std::string& value = entry.value.text;
        const size_t comma = value.find(',');
        const std::string pattern = value.substr(0, comma);
        if (pattern.find_first_of("\\/:") != std::string::npos) {
            // Only files of the target folder itself may be deleted.
            InfoMessage(MessageOwner(), "Sektion " + section + "\r" +
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
        DeleteMatchingFiles(target, pattern, false, limit);
    }
}

int TScriptInstall::CopyEntryFiles(const script::CopyEntry& entry, const PartFolders& folders,
                                   bool install, int& sectionCount) {
    const setup::Owner owner = MessageOwner();
    std::string value = entry.file.text;
    bool reportMissing = ReportMissing;
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

    if (entry.noCopy.Bool(false)) return CopyDone;
    if (install) FileHandler->ForceFolders(destDir);

    const int32_t override = entry.override.Integer(0);
    const CopyMode mode = override == 0 ? DefaultCopyMode : CopyMode(6);
    bool toInstall = install;
    if (override == 2 && AnyFileMatches(destDir + mask)) toInstall = false;

    if (!toInstall) {
        const size_t listed = ProjectFileList ? ProjectFileList->size() : 0;
        FileHandler->CountSkipped(sourceDir + mask, destDir);
        // Files installed once and kept belong to the project: they
        // must never be set aside as superfluous.
        if (install) KeepFiles(destDir, mask, listed);
        return CopyDone;
    }
    const int32_t readOnly = entry.readOnly.Integer(0);
    if (readOnly >= 1) ChangeReadOnly(owner, destDir + mask, false);
    int result = CopyDone;
    if (!entry.newName.empty()) {
        result = CopyRenamed(sourceDir + mask, destDir, entry.newName.text, mode);
    } else if (recursive) {
        result =
            FileHandler->CopyTree(sourceDir, destDir, mask, 0, reportMissing, sectionCount, mode);
    } else {
        result =
            FileHandler->CopyFiles(sourceDir, destDir, mask, 0, reportMissing, sectionCount, mode);
    }
    std::string code = entry.code.text;
    if (!code.empty() && code[0] >= '1' && code[0] <= '9') code.erase(0, 1);
    if (!code.empty() && code[0] == ',') code.erase(0, 1);
    if (!code.empty()) {
        // The copied file and its companion get the companion's date.
        const std::string copied = destDir + mask;
        const std::string other = ExtractFilePath(copied) + code;
        const int32_t date = FileDosDate(other);
        if (date > 0) {
            ChangeReadOnly(owner, other, false);
            ChangeReadOnly(owner, copied, false);
            SetFileDate(other, date);
            SetFileDate(copied, date);
        }
    }
    if (readOnly == 1 && result == CopyDone) ChangeReadOnly(owner, destDir + mask, true);
    return result;
}

int TScriptInstall::CopyRenamed(const std::string& source, const std::string& destDir,
                                const std::string& newName, CopyMode mode) {
    // A device takes whatever is written to it, and a copy into a folder
    // that is not there fails: both are refused with the file named.
    const std::string dest = destDir + newName;
    std::string reason;
    if (NamesDevice(newName))
        reason = newName + " ist ein Ger\xE4t, keine Datei.";
    else if (!plat::folderExists(ExtractFilePath(dest)))
        reason = "der Ordner " + ExtractFilePath(dest) + " fehlt.";
    if (reason.empty()) return FileHandler->CopyOneFile(source, dest, 0, mode);
    InfoMessage(MessageOwner(), source + " ->\r" + dest + "\rnicht kopiert: " + reason);
    FileHandler->RefuseFile(source, dest);
    return CopyNotCopied;
}

void TScriptInstall::CopyMacroFile(const std::string& source, const std::string& dest,
                                   bool overwrite) {
    const setup::Owner owner = MessageOwner();
    if (!overwrite && FileDosDate(dest) > FileDosDate(source)) {
        if (AskYesNoDefaultNo(owner, dest + " ist j\xFCnger.\rTrotzdem kopieren?") != IdYes) {
            // The newer file stays and stays part of the project.
            KeepFiles(ExtractFilePath(dest), ExtractFileName(dest));
            return;
        }
    }
    FileHandler->SetFileNames(source, dest);
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
            if (!SubstituteMacroLine(line, source) && !tooLong) {
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
    if (!text || output.size() > maxOutput || WriteWholeFile(dest, output) != 0) {
        LeftOut = true;
        InfoMessage(owner, source + " ->\r" + dest + "\rgescheitert.");
        return;
    }
    FileHandler->AddCopied(1, static_cast<int64_t>(output.size()));
}

void TScriptInstall::AddHoldFiles(const std::string& target,
                                  const std::vector<script::Numbered>& holds) {
    for (const script::Numbered& entry : holds) {
        const std::string& value = entry.value.text;
        const std::string folder = target + ExtractFilePath(value);
        const std::string pattern = ExtractFileName(value);
        if (DiagnoseMode == '9') InfoMessage(MessageOwner(), "AddHoldFiles:\r" + folder + pattern);
        KeepFiles(folder, pattern);
    }
}

void TScriptInstall::KeepFiles(const std::string& folder, const std::string& pattern,
                               size_t listedFrom) {
    if (!ProjectFileList) return;
    std::unordered_set<std::string> listed;
    for (size_t i = listedFrom; i < ProjectFileList->size(); ++i)
        listed.insert((*ProjectFileList)[i].name);
    plat::DirSearch search;
    if (!search.first(folder + pattern)) return;
    do {
        const std::string& name = search.entry().name;
        if (name == "." || name == "..") continue;
        if (!listed.count(AnsiUpperCase(folder + name)))
            ProjectFileList->push_back({folder + name, 0});
    } while (search.next());
}

namespace {

// Result handling shared by the Windows-folder steps: false when a file was
// not copied; stop on an abort.
bool CopyWinResult(int result, bool& ok) {
    if (result == CopyNotCopied) ok = false;
    if (result == CopyAbort) {
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

bool TScriptInstall::CopyWinFiles() {
    if (DiagnoseMode != ' ') InfoMessage(MessageOwner(), "CopyWinFiles");
    CurrentSection = "Win";
    bool ok = true;
    if (!Script) return ok;
    const script::ProjectRecord& project = Script->Project();
    const std::vector<int>& refused = project.refusedWinSys;
    for (size_t i = 0;; ++i) {
        // Reported for each number up to the first Win# that is missing.
        const int n = static_cast<int>(i) + 1;
        if (std::find(refused.begin(), refused.end(), n) != refused.end()) {
            InfoMessage(MessageOwner(), "WinSys#= now unsupported, use Win#= or WSys#= !");
            ok = false;
        }
        if (i >= project.windowsFiles.size()) break;
        const std::string value = script::Expanded(project.windowsFiles[i].value);
        if (value.empty()) break;
        int count = 0;
        if (!CopyWinResult(FileHandler->CopyFiles(InstallRootDir, WindowsFolder(), value, 0,
                                                  ReportMissing, count, 3),
                           ok))
            break;
    }
    return ok;
}

bool TScriptInstall::CopyWinSystemFiles() {
    CurrentSection = "WSys";
    if (DiagnoseMode != ' ') InfoMessage(MessageOwner(), "CopyWinSystemFiles");
    bool ok = true;
    if (!Script) return ok;
    for (const script::Numbered& entry : Script->Project().systemFiles) {
        const std::string value = script::Expanded(entry.value);
        if (value.empty()) break;
        const std::string dest = plat::fileExists(WindowsFolder() + value)
                                     ? WindowsFolder()
                                     : WindowsFolder() + "system\\";
        int count = 0;
        if (!CopyWinResult(
                FileHandler->CopyFiles(InstallRootDir, dest, value, 0, ReportMissing, count, 3),
                ok))
            break;
    }
    return ok;
}

bool TScriptInstall::CopyWinSystem32Files() {
    CurrentSection = "W32Sys";
    if (DiagnoseMode != ' ') InfoMessage(MessageOwner(), "CopyWinSystem32Files");
    bool ok = true;
    if (!Script) return ok;
    for (const script::Numbered& entry : Script->Project().system32Files) {
        std::string value = script::Expanded(entry.value);
        if (value.empty()) break;
        CopyMode mode = 3;
        if (EndsWith(",U", value)) {
            // Replaced without comparison. The copier writes the new file
            // beside the old one and puts it in its place only when complete:
            // a copy that fails leaves the old file, and nothing is deleted
            // by a name that leads out of the system folder.
            value.resize(value.size() - 2);
            mode = 1;
        }
        int count = 0;
        if (!CopyWinResult(
                FileHandler->CopyFiles(InstallRootDir, SystemFolder(), value, 0, true, count, mode),
                ok))
            break;
    }
    return ok;
}

} // namespace setup
