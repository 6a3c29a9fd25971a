// RunContext: what a step of an installation run needs, passed to each step
// (the copy sections, the system steps, the download): the script's records,
// the folders, the substitution of path variables, the record of what was
// done (Deinst.ins), the counters, the copier, the effects on the machine and
// the owner of messages and status reports. The engine owns one per window
// and orchestrates the steps; the steps are functions of their subsystems.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/Effects.h"
#include "common/Messages.h"
#include "files/CopyDecisions.h"
#include "script/Ini.h"
#include "script/Script.h"

namespace setup {

class TFileHandler;
class THttpClient;

// One entry of the project file list: an upper-cased destination path (or a
// path as found on disk for hold files) and its result code (0 to 3).
struct ProjectFileEntry {
    std::string name;
    int result = 0;
};
using TProjectFileList = std::vector<ProjectFileEntry>;

// The folders of a part, worked out in one place (RunContext::Part).
struct PartFolders {
    // The part's folder, %DIR% of its values: a part folder that begins with
    // a backslash as it is, with TDir=.. the parent of the part folder in the
    // target folder, else target folder + part folder; with a backslash.
    std::string target;
    // Where its files go: as target, but an explicit TDir (%DIR% standing
    // for the part folder) wins.
    std::string copyTarget;
    // Where its files come from, and the part folder as the copy takes it
    // (empty for one that begins with a backslash).
    std::string copySource;
    std::string relative;
};

// A part as a run installs it: its name (the section), its record and folders.
struct PartInRun {
    std::string name;
    const script::PartRecord* record = nullptr;
    std::string folder; // the part folder (Dir, substituted, with a backslash)
    PartFolders folders;
};

// The counters of a run.
struct RunCounters {
    int32_t failed = 0;
    int32_t cancelled = 0;
    int32_t unchanged = 0;
    int32_t updated = 0;
    int32_t superfluous = 0;
    // Set when the run went on after something it was asked to install was
    // left out: a section not complete, a step or part that failed or was
    // cancelled, a download, a font, a sub-project that left something out.
    bool leftOut = false;
};

class RunContext {
  public:
    RunContext(TFileHandler& copier, Effects& effects);
    ~RunContext();
    RunContext(const RunContext&) = delete;
    RunContext& operator=(const RunContext&) = delete;

    // The script (null before one is loaded and after a run).
    const script::Model* script = nullptr;
    std::string projectName;
    std::string installRoot; // script folder + IPath, with a backslash
    std::string targetDir;   // with a backslash

    TFileHandler& copier;
    Effects& effects;
    std::shared_ptr<THttpClient> http; // created by the first download

    // The record of what was done: Deinst.ins, only during a run.
    std::unique_ptr<TIni> record;
    int32_t pathCounter = 0; // the next P# of [Pathes]
    int32_t fontCounter = 0; // the next FO# of [Fonts]
    // The project file list, only while the parts are installed.
    std::unique_ptr<TProjectFileList> projectFiles;
    // The start-menu groups made by the run.
    std::vector<std::string> groupList;
    RunCounters counters;
    // The run's copy decisions: its "All" answer, the mode of entries without
    // a FileOverride of their own. The copier's questions go to it (bound by
    // the engine), and from there to the engine's asker.
    CopyDecisions decisions;

    bool reportMissing = true; // sources not found are reported
    bool runPrograms = false;  // Exec# programs are started
    int32_t talk = 0;
    char diagnoseMode = ' ';
    // The section the copy sections work on ("Win", "WSys", a part name...).
    std::string currentSection;

    // The owner of messages, and the receiver of status reports.
    std::function<Owner()> messageOwner;
    std::function<void(const std::string& name, const std::string& detail)> onStatus;

    Owner MessageOwner() const { return messageOwner ? messageOwner() : ActiveForm; }
    void ReportStatus(const std::string& name, const std::string& detail = "");
    const std::string& LastStatus() const { return lastStatus_; }

    // The record of a section (an empty one without a script or section).
    const script::PartRecord& PartRecord(const std::string& section) const;
    // The part of section with the part folder dir (substituted, with a
    // backslash): its record and folders.
    PartInRun Part(const std::string& section, const std::string& dir) const;
    PartFolders FoldersOf(const std::string& partFolder, const script::PartRecord& record) const;

    // Folder variables (%DIR% = dir when given), see script/Substitute.h.
    bool Substitute(std::string& value, const std::string* dir = nullptr) const;
    // Registry variables (%\xA7name%) and "%%" of value, in place. Always true.
    static bool ExpandPlaceholders(std::string& value);

    // Appends the upper-cased path with its result while the file list exists.
    void AddToFileList(const std::string& path, int result);
    // Adds the existing files folder + pattern to the file list (kind 0),
    // except those listed already from the entry listedFrom on.
    void KeepFiles(const std::string& folder, const std::string& pattern,
                   size_t listedFrom = SIZE_MAX);

  private:
    std::string lastStatus_;
};

// The message texts the steps share.
namespace texts {
inline const std::string FailedSubstitution = "Gescheiterte Substitution:\r";
} // namespace texts

} // namespace setup
