#include "files/RunContext.h"

#include <unordered_set>

#include "common/Ansi.h"
#include "common/Paths.h"
#include "common/RegistryVariables.h"
#include "files/HttpClient.h"
#include "script/Substitute.h"

namespace setup {

RunContext::RunContext(TFileHandler& copierOfRun, Effects& effectsOfRun)
    : copier(copierOfRun), effects(effectsOfRun) {}

RunContext::~RunContext() {
    // Deinst.ins of an interrupted run is still written by its own destructor.
    record.reset();
}

void RunContext::ReportStatus(const std::string& name, const std::string& detail) {
    lastStatus_ = name;
    if (onStatus) onStatus(name, detail);
}

const script::PartRecord& RunContext::PartRecord(const std::string& section) const {
    static const script::Model none("");
    return (script ? *script : none).Part(section);
}

PartInRun RunContext::Part(const std::string& section, const std::string& dir) const {
    PartInRun part;
    part.name = section;
    part.record = &PartRecord(section);
    part.folder = dir;
    part.folders = FoldersOf(dir, *part.record);
    return part;
}

PartFolders RunContext::FoldersOf(const std::string& partFolder,
                                  const script::PartRecord& record) const {
    PartFolders folders;
    folders.relative = partFolder;
    if (!partFolder.empty() && partFolder[0] == '\\') {
        // A part folder that begins with a backslash is the part's own target
        // folder, never a folder relative to the process's current folder.
        folders.target = AddBackslash(partFolder);
        folders.copyTarget = partFolder;
        folders.relative.clear();
        folders.copySource = installRoot;
        return folders;
    }
    std::string parent = partFolder;
    if (!parent.empty() && parent.back() == '\\') parent.pop_back();
    parent = ExtractFilePath(parent);
    const std::string& tdir = record.copy.targetDir.text;
    folders.target = AddBackslash(tdir == ".." ? targetDir + parent : targetDir + partFolder);
    if (tdir.empty()) {
        folders.copyTarget = targetDir + partFolder;
    } else if (tdir == "..") {
        folders.copyTarget = targetDir + parent;
    } else {
        // An explicit target folder of the files, %DIR% being the part folder.
        folders.copyTarget = tdir;
        setup::Substitute(folders.copyTarget, &partFolder);
    }
    EnsureBackslash(folders.copyTarget);
    folders.copySource = installRoot + partFolder;
    return folders;
}

bool RunContext::Substitute(std::string& value, const std::string* dir) const {
    return setup::Substitute(value, dir);
}

bool RunContext::ExpandPlaceholders(std::string& value) {
    return ExpandRegistryVariables(value, true);
}

void RunContext::AddToFileList(const std::string& path, int result) {
    if (!projectFiles || path.empty()) return;
    projectFiles->push_back({AnsiUpperCase(path), result});
}

void RunContext::KeepFiles(const std::string& folder, const std::string& pattern,
                           size_t listedFrom) {
    if (!projectFiles) return;
    std::unordered_set<std::string> listed;
    for (size_t i = listedFrom; i < projectFiles->size(); ++i)
        listed.insert((*projectFiles)[i].name);
    plat::DirSearch search;
    if (!search.first(folder + pattern)) return;
    do {
        const std::string& name = search.entry().name;
        if (name == "." || name == "..") continue;
        if (!listed.count(AnsiUpperCase(folder + name)))
            projectFiles->push_back({folder + name, 0});
    } while (search.next());
}

} // namespace setup
