// Superfluous files: after a successful run the folders that received project
// files are searched for files the project no longer ships. They are listed
// in UNUSED.TXT, those with an extension of [Project] DelExt (and those
// without extension) are moved into a new side folder "old", "old1", ... of
// the installation folder, and the project file list is saved as cf.txt.
#include <unordered_set>

#include "common/Ansi.h"
#include "common/Error.h"
#include "common/FileInfo.h"
#include "common/FileLists.h"
#include "common/Log.h"
#include "common/Messages.h"
#include "common/PathNormal.h"
#include "common/Paths.h"
#include "engine/Steps.h"
#include "common/TextFiles.h"
#include "platform/FileSystem.h"
#include "system/Programs.h"

namespace setup {

namespace {

const std::string SearchStatus = "\xDC"
                                 "berfl\xFCssige Dateien mit folgenden Extensionen ermitteln:";
const std::string SetAsideQuestion = "In den Verzeichnissen des Projekts befanden sich Dateien,\r"
                                     "die nicht (mehr) zum Projekt geh\xF6ren.\r"
                                     "Diese Dateien sind wohl verzichtbar.\r\r"
                                     "Ausgesondertes zeigen?\r(";

// The list file is written by this run; anything much larger is not ours.
constexpr uint64_t kMaxListFileSize = 256 * 1024 * 1024;

// The extension of a path's file name with its dot; empty when it has none.
std::string ExtensionOf(const std::string& path) {
    const size_t dot = path.find_last_of(".\\:");
    if (dot == std::string::npos || path[dot] != '.') return {};
    return path.substr(dot);
}

// Backup copies and files of development tools are never listed.
bool NeverListed(const std::string& ext) {
    if (ext.size() >= 2 && ext[1] == '~') return true;
    for (const char* skipped : {".DCU", ".DSK", ".DSM", ".OPT", ".&&&", ".$$$"}) {
        if (ext == skipped) return true;
    }
    return false;
}

void WriteOrRaise(Effects& effects, const std::string& path, const std::string& bytes) {
    const uint32_t error = WriteWholeFile(effects, path, bytes);
    if (error != 0)
        throw SetupError(path + "\rkann nicht geschrieben werden (" + std::to_string(error) + ")");
}

// The name of the file path as the folder holds it; fallback when not found.
std::string NameOnDisk(const std::string& path, const std::string& fallback) {
    plat::DirSearch search;
    if (!search.first(path)) return fallback;
    const std::string& name = search.entry().name;
    return AnsiSameText(name, fallback) ? name : fallback;
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find_first_of("\r\n", start);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end;
        if (start < text.size() && text[start] == '\r') ++start;
        if (start < text.size() && text[start] == '\n') ++start;
    }
    return lines;
}

} // namespace

void FindSuperfluousFiles(RunContext& run) {
    const std::string& delExt = run.script->Project().delExt.text;
    if (delExt.empty()) return;
    run.ReportStatus(SearchStatus, delExt);
    WriteUnusedList(run);
    SetAsideUnused(run, run.targetDir + "Unused.txt");

    std::string saved;
    if (run.projectFiles) {
        for (const ProjectFileEntry& entry : *run.projectFiles)
            saved += entry.name + "\r\n";
    }
    WriteOrRaise(run.effects, run.targetDir + "cf.txt", saved);
}

void WriteUnusedList(RunContext& run) {
    std::unordered_set<std::string> projectFiles;
    std::unordered_set<std::string> seenFolders;
    std::vector<std::string> folders;
    if (run.projectFiles) {
        for (const ProjectFileEntry& entry : *run.projectFiles) {
            // "T\SUB\..\X\A.TXT" and "T\X\A.TXT" are one file in one folder.
            std::string name = AnsiUpperCase(NormalPath(entry.name));
            std::string folder = ExtractFilePath(name);
            if (!folder.empty() && seenFolders.insert(folder).second) folders.push_back(folder);
            projectFiles.insert(std::move(name));
        }
    }
    // The installer's own records in the installation folder belong to it.
    const std::string root = AnsiUpperCase(NormalPath(run.targetDir));
    for (const char* own : {"UNUSED.TXT", "CF.TXT", "DEINST.INS"})
        projectFiles.insert(root + own);

    std::string text;
    for (const std::string& folder : folders) {
        const TFileList files = CreateFileList(folder + "*.*", true, false);
        for (const FileListEntry& file : files) {
            const std::string full = AnsiUpperCase(folder + file.name);
            if (NeverListed(ExtensionOf(file.name))) continue;
            if (!projectFiles.count(full)) text += full + "\r\n";
        }
    }
    WriteOrRaise(run.effects, run.targetDir + "UNUSED.TXT", text);
}

void SetAsideUnused(RunContext& run, const std::string& listPath) {
    const std::optional<std::string> listed =
        ReadWholeFile(run.effects, listPath, kMaxListFileSize);
    if (!listed) return;
    const std::string exts = run.script->Project().delExt.text + ".";

    // Files outside the installation folder (another product's, reached
    // through ".." or a folder of its own) have no place below the side
    // folder: they stay where they are and are only listed.
    const std::string installFolder = AddBackslash(NormalPath(run.targetDir));
    std::vector<std::string> lines;
    for (const std::string& line : SplitLines(*listed)) {
        const std::string ext = ExtensionOf(line).substr(0, 8) + ".";
        if (exts.find(ext) == std::string::npos) continue;
        if (!PathInsideFolder(line, installFolder)) continue;
        lines.push_back(NormalPath(line));
    }
    if (lines.empty()) return;

    std::string root = ExtractFilePath(listPath);
    std::string displayRoot = LongPathName(root);
    if (displayRoot.empty()) displayRoot = root;
    // A name held by a file cannot become the side folder either.
    std::string name = "old";
    for (int n = 1; run.effects.Attributes(root + name); ++n)
        name = "old" + std::to_string(n);
    root += name + "\\";
    displayRoot += name + "\\";

    const bool show = AskYesNo(run.MessageOwner(), SetAsideQuestion + displayRoot + ")") == IdYes;

    run.counters.superfluous = 0;
    for (const std::string& line : lines) {
        // The list is in capitals; the moved file keeps its own name.
        const std::string relative = line.substr(installFolder.size());
        const std::string target =
            root + ExtractFilePath(relative) + NameOnDisk(line, ExtractFileName(relative));
        try {
            run.copier.ForceFolders(ExtractFilePath(target));
        } catch (const SetupError&) {
            continue; // the file stays where it is
        }
        // Never over an existing file: a move that fails leaves both as they are.
        if (run.effects.MoveFile(line, target, false)) {
            log::Line("MOVE", {line, target});
            ++run.counters.superfluous;
        }
    }

    if (show && run.effects.FolderExists(root)) ShellOpen(run, "explore", displayRoot, "");
}

} // namespace setup
