// The copy sections: the file entries of a part (CopyFilesOf), the files for
// the Windows, System and System32 folders, macro files and hold files.
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
#include "engine/TextFiles.h"
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

bool TScriptInstall::CopyFilesOf(const std::string& section, const std::string& partFolder,
                                 bool install) {
    const setup::Owner owner = MessageOwner();
    const bool diagnose = DiagnoseMode != ' ';
    if (diagnose) InfoMessage(owner, "CopyFilesOf " + section + "\rSbDir=" + partFolder);
    CurrentSection = section;
    if (diagnose) {
        InfoMessage(owner, "InstallRootDir=" + InstallRootDir +
                               "\rIPath=" + Script->ReadString("Project", "IPath", "") +
                               "\rSubDir=" + partFolder);
    }

    std::string folder = partFolder;
    std::string target;
    if (!folder.empty() && folder[0] == '\\') {
        // A part folder that begins with a backslash is the part's own target
        // folder (as InstallPart takes it), never a folder relative to the
        // process's current folder.
        target = folder;
        folder.clear();
    } else {
        const std::string tdir = Script->ReadString(section, "TDIR", "");
        if (tdir.empty()) {
            target = TargetDir + folder;
        } else if (tdir == "..") {
            std::string parent = folder;
            if (!parent.empty() && parent.back() == '\\') parent.pop_back();
            target = TargetDir + ExtractFilePath(parent);
        } else {
            target = tdir;
            Substitute(target, &folder);
        }
        EnsureBackslash(target);
    }

    bool complete = true;
    if (install && !FileHandler->ForceFolders(target)) {
        if (WarnOkCancel(owner, "Sektion " + section + "\r" + target + " nicht angelegt!") ==
            IdCancel)
            AbortRequested = true;
        complete = false;
    } else {
        const std::string source = InstallRootDir + folder;
        if (install) {
            for (int n = 1; !CheckAbort(); ++n) {
                const std::string value = Script->ReadString(section, Numbered("Del", n), "");
                if (value.empty()) break;
                const size_t comma = value.find(',');
                const std::string pattern = value.substr(0, comma);
                if (pattern.find_first_of("\\/:") != std::string::npos) {
                    // Only files of the target folder itself may be deleted.
                    InfoMessage(owner, "Sektion " + section + "\r" + Numbered("Del", n) + "=" +
                                           value + "\rnicht ausgef\xFChrt: nur Dateien in " +
                                           target + " werden gel\xF6scht.");
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

        int sectionCount = 0;
        for (int n = 1;; ++n) {
            std::string value = Script->ReadString(section, Numbered("File", n), "");
            if (value.empty() || CheckAbort()) break;
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
            const std::string full = source + value;
            const std::string sub = ExtractFilePath(value);
            const std::string mask = ExtractFileName(full);
            const std::string sourceDir = ExtractFilePath(full);
            const std::string destDir = target + sub;

            if (Script->ReadBool(section, Numbered("FileNoCopy", n), false)) continue;
            if (install) FileHandler->ForceFolders(destDir);

            const int32_t override = Script->ReadInteger(section, Numbered("FileOverride", n), 0);
            const CopyMode mode = Decisions.ModeForOverride(override);
            bool toInstall = install;
            if (override == 2 && AnyFileMatches(destDir + mask)) toInstall = false;

            CopyResult result = CopyResult::Done;
            if (!toInstall) {
                const size_t listed = ProjectFileList ? ProjectFileList->size() : 0;
                FileHandler->CountSkipped(sourceDir + mask, destDir);
                // Files installed once and kept belong to the project: they
                // must never be set aside as superfluous.
                if (install) KeepFiles(destDir, mask, listed);
            } else {
                const int32_t readOnly =
                    Script->ReadInteger(section, Numbered("FileReadOnly", n), 0);
                if (readOnly >= 1) ChangeReadOnly(owner, destDir + mask, false);
                const std::string newName = Script->ReadString(section, Numbered("FileN", n), "");
                if (!newName.empty()) {
                    result = CopyRenamed(sourceDir + mask, destDir, newName, mode);
                } else if (recursive) {
                    result = FileHandler->CopyTree(sourceDir, destDir, mask, 0, reportMissing,
                                                   sectionCount, mode);
                } else {
                    result = FileHandler->CopyFiles(sourceDir, destDir, mask, 0, reportMissing,
                                                    sectionCount, mode);
                }
                std::string code = Script->ReadString(section, Numbered("Code", n), "");
                if (!code.empty() && code[0] >= '1' && code[0] <= '9') code.erase(0, 1);
                if (!code.empty() && code[0] == ',') code.erase(0, 1);
                if (!code.empty()) {
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
                if (readOnly == 1 && result == CopyResult::Done)
                    ChangeReadOnly(owner, destDir + mask, true);
            }
            if (result == CopyResult::NotCopied) complete = false;
            if (result == CopyResult::Abort) {
                complete = false;
                break;
            }
        }

        for (int n = 1;; ++n) {
            const std::string value = Script->ReadString(section, Numbered("FileMacro", n), "");
            if (value.empty()) break;
            const std::string dest = Script->ReadString(section, Numbered("FileMacroN", n), value);
            CopyMacroFile(InstallRootDir + folder + value, target + dest,
                          Script->ReadBool(section, Numbered("FileMacroOverride", n), false));
        }
    }

    if (!complete) LeftOut = true;
    if (!CheckAbort() && !complete) {
        AbortRequested =
            WarnOkCancel(owner, section + ": Anwendung nicht vollst\xE4ndig installiert!") ==
            IdCancel;
    }
    AddHoldFiles(target, section);
    return complete;
}

CopyResult TScriptInstall::CopyRenamed(const std::string& source, const std::string& destDir,
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
    return CopyResult::NotCopied;
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

void TScriptInstall::AddHoldFiles(const std::string& target, const std::string& section) {
    for (int n = 1;; ++n) {
        const std::string value = Script->ReadString(section, Numbered("Hold", n), "");
        if (value.empty()) break;
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

bool TScriptInstall::CopyWinFiles() {
    if (DiagnoseMode != ' ') InfoMessage(MessageOwner(), "CopyWinFiles");
    CurrentSection = "Win";
    bool ok = true;
    for (int n = 1;; ++n) {
        if (!ReadProjectValue(Numbered("WinSys", n), "").empty()) {
            InfoMessage(MessageOwner(), "WinSys#= now unsupported, use Win#= or WSys#= !");
            ok = false;
        }
        const std::string value = ReadProjectValue(Numbered("Win", n), "");
        if (value.empty()) break;
        int count = 0;
        if (!CopyWinResult(FileHandler->CopyFiles(InstallRootDir, WindowsFolder(), value, 0,
                                                  ReportMissing, count, CopyMode::CompareAsk),
                           ok))
            break;
    }
    return ok;
}

bool TScriptInstall::CopyWinSystemFiles() {
    CurrentSection = "WSys";
    if (DiagnoseMode != ' ') InfoMessage(MessageOwner(), "CopyWinSystemFiles");
    bool ok = true;
    for (int n = 1;; ++n) {
        const std::string value = ReadProjectValue(Numbered("WSys", n), "");
        if (value.empty()) break;
        const std::string dest = plat::fileExists(WindowsFolder() + value)
                                     ? WindowsFolder()
                                     : WindowsFolder() + "system\\";
        int count = 0;
        if (!CopyWinResult(FileHandler->CopyFiles(InstallRootDir, dest, value, 0, ReportMissing,
                                                  count, CopyMode::CompareAsk),
                           ok))
            break;
    }
    return ok;
}

bool TScriptInstall::CopyWinSystem32Files() {
    CurrentSection = "W32Sys";
    if (DiagnoseMode != ' ') InfoMessage(MessageOwner(), "CopyWinSystem32Files");
    bool ok = true;
    for (int n = 1;; ++n) {
        std::string value = ReadProjectValue(Numbered("W32Sys", n), "");
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
                FileHandler->CopyFiles(InstallRootDir, SystemFolder(), value, 0, true, count, mode),
                ok))
            break;
    }
    return ok;
}

} // namespace setup
