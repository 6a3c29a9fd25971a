// TScriptInstall: the installation engine, one per installer window. It loads
// the script into its model, holds the run context and runs an installation
// step by step and part by part.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/Effects.h"
#include "files/InstallRecord.h"
#include "files/RecordingEffects.h"
#include "files/RunContext.h"
#include "script/Ini.h"
#include "script/Script.h"
#include "engine/InstallerWindow.h"
#include "files/FileHandler.h"

namespace setup {

// The name of the Windows version code for WinVersion ("XP", "Vista", ...);
// empty for codes that are not tested (7 and later, 64-bit systems).
std::string WinVersionName(int versionCode);

// Why a loaded script cannot be installed, as a message naming it: its text
// has no Windows-1252 form, or (a main script) it has no [Project] section.
// Empty when it can be.
std::string ScriptProblem(const script::Model& script, bool mainScript);

// The step names the engine reports through ReportStatus.
namespace status {
inline constexpr const char* Init = "Init";
inline constexpr const char* CheckDiskSpace = "CheckDiskSpace";
inline constexpr const char* CopyWinFiles = "CopyWinFiles";
inline constexpr const char* CopyWinSystemFiles = "CopyWinSystemFiles";
inline constexpr const char* CopyWinSystem32Files = "CopyWinSystem32Files";
inline constexpr const char* ExecProgs = "ExecProgs";
inline constexpr const char* Fonts = "Fonts";
inline constexpr const char* MakeGroup = "MakeGroup";
inline constexpr const char* EndInstall = "EndInstall";
inline constexpr const char* Ready = "Ready";
} // namespace status

// The installation engine, one per installer window: loads the script into
// its model, holds the run context and orchestrates a run, step by step and
// part by part. The steps are functions of their subsystems that take the
// context (engine/Steps.h, system/, files/Download.h).
class TScriptInstall {
  public:
    using StatusEvent = std::function<void(TScriptInstall& engine, const std::string& name,
                                           const std::string& detail)>;

    // owner may be null (tests); the copier belongs to the caller. effects:
    // what the run does to the machine (the machine itself by default).
    TScriptInstall(InstallerWindow* owner, TFileHandler& fileHandler,
                   Effects& effects = DirectEffects());
    ~TScriptInstall();
    TScriptInstall(const TScriptInstall&) = delete;
    TScriptInstall& operator=(const TScriptInstall&) = delete;

    StatusEvent OnStatus;

    // What the steps of a run are given.
    RunContext& Context() { return run_; }
    const RunContext& Context() const { return run_; }
    // The loaded script; null before LoadScript and after a run.
    const script::Model* Script() const { return script_.get(); }

    // --- project ---
    void LoadScript(const std::string& path);
    void SetTargetDir(const std::string& path);
    // Puts the target folder into its full form (common/Paths FullFolderPath);
    // false after a message when it is no full path or lies on a drive the
    // program may not change: nothing may be written then.
    bool CheckTargetDir();
    const std::string& TargetDir() const { return run_.targetDir; }
    const std::string& GroupName() const { return groupName_; }
    std::string GetScriptPath() const;
    std::string GetHeadLine() const;
    std::string GetCopyright() const;
    std::string GetWWW() const;
    std::string GetEMail() const;
    int64_t GetProjectBytes() const;
    bool GetNeed83() const;
    bool GetRestorePoint() const;
    std::string GetPreviousInstallDir() const;
    std::string GetDefaultTargetDir() const;
    static char ReadDiagnoseMode();
    // Records a folder the copier created as the next P# key of [Pathes] in
    // Deinst.ins (the window's folder handler calls it).
    void RecordCreatedFolder(const std::string& folder);
    // The copier's OnFileDone handler (bound by BuildPartList).
    void CountFileResult(TFileHandler& fileHandler, FileKind kind);
    // true when the last run left out something it was asked to install:
    // a left-out step, a file that failed or was cancelled, a source not found.
    bool RunLeftSomethingOut() const;

    // --- the run ---
    // The [CheckRun] test before a run; false when the user gave up.
    // stopRequested: programs were just asked to end ([StopRun]).
    bool CheckRun(bool stopRequested = false);
    // The parts of [Project] Part# and the copier's counting, before a run.
    bool BuildPartList();
    const std::vector<std::string>& Parts() const { return partList_; }
    // [Project] IPath with a backslash, as BuildPartList read it.
    const std::string& IPath() const { return iPath_; }
    bool RunInstallation(TReportLines* reportLines);

  private:
    bool DoInstall1();
    void EndInstall();
    bool InstallPart(size_t index, const std::string& groupFolder);
    // 0 no sub-project, 1 installed, 2 its window closed without success.
    int RunSubProject(const std::string& partName, bool summary);
    setup::Owner MessageOwner() const;

    InstallerWindow* owner_;
    std::unique_ptr<const script::Model> script_;
    // The effects of the engine: passed on, and recorded in Deinst.ins
    // while a run has its journal open.
    RecordingEffects recording_;
    Effects* copierEffects_; // the copier's effects before this engine's
    RunContext run_;
    // Appends to run_.record during a run (destroyed before it).
    std::unique_ptr<record::RecordJournal> journal_;
    std::string groupName_;
    std::string iPath_; // set by BuildPartList
    std::vector<std::string> partList_;
    TReportLines* reportLines_ = nullptr;
    int32_t missingSourcesAtStart_ = 0; // the copier's MissingSources when the run began
    std::vector<std::string> pendingFolders_;
    CopyDecider copierQuestions_; // the copier's question handler before this engine's
};

// The Windows-1252 texts of the engine's messages shared with tests.
namespace texts {
inline const std::string FailedPartQuestion1 = "Im Teil ";
inline const std::string FailedPartQuestion2 =
    " ist ein Fehler aufgetreten.\rSoll dennoch fortgesetzt werden?";
inline const std::string Continue = "Weiter?";
inline const std::string TargetNotFull1 = "Der Zielordner\r";
inline const std::string TargetNotFull2 =
    "\rist kein vollst\xE4ndiger Pfad. Geben Sie ein Laufwerk mit Ordner\r"
    "(C:\\Programme\\Name) oder eine Freigabe (\\\\Server\\Freigabe\\Name) an.\r"
    "Es wurde nichts installiert.";
inline const std::string TargetReadOnly =
    "\rliegt auf einem Laufwerk, auf dem nichts ge\xE4ndert werden darf.\r"
    "Es wurde nichts installiert.";
} // namespace texts

} // namespace setup
