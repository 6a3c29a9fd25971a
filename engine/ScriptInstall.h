// TScriptInstall: the installation engine, one per installer window. Holds the
// loaded script, the project's folders and names, the list of parts, the file
// counters and the diagnostic mode, and runs an installation step by step and
// part by part.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "script/Ini.h"
#include "script/Script.h"
#include "engine/InstallerWindow.h"
#include "files/FileHandler.h"

namespace setup {

class THttpClient;

// The folders of a part, worked out in one place (TScriptInstall::FoldersOf).
struct PartFolders {
    // The part's folder, %DIR% of its values: a part folder that begins with
    // "\" as it is, with TDir=.. the parent of the part folder in the target
    // folder, else target folder + part folder; with a trailing backslash.
    std::string target;
    // Where its files go: as target, but an explicit TDir (%DIR% standing
    // for the part folder) wins.
    std::string copyTarget;
    // Where its files come from, and the part folder as the copy takes it
    // (empty for one that begins with "\").
    std::string copySource;
    std::string relative;
};

// One entry of the project file list: an upper-cased destination path (or a
// path as found on disk for hold files) and its result code (0 to 3).
struct ProjectFileEntry {
    std::string name;
    int result = 0;
};
using TProjectFileList = std::vector<ProjectFileEntry>;

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

class TScriptInstall {
  public:
    using StatusEvent = std::function<void(TScriptInstall& engine, const std::string& name,
                                           const std::string& detail)>;

    // owner may be null (tests); the copier belongs to the caller.
    TScriptInstall(InstallerWindow* owner, TFileHandler& fileHandler);
    ~TScriptInstall();
    TScriptInstall(const TScriptInstall&) = delete;
    TScriptInstall& operator=(const TScriptInstall&) = delete;

    // --- fields other parts of the program use ---
    InstallerWindow* Owner;
    std::unique_ptr<const script::Model> Script;
    std::unique_ptr<TIni> UninstallScript; // Deinst.ins, only during a run
    TFileHandler* FileHandler;
    std::string ProjectName;
    std::string InstallRootDir; // script folder + IPath, with a trailing backslash
    std::string TargetDir;      // with a trailing backslash
    std::string IPath;          // set by BuildPartList
    std::string GroupName;
    std::vector<std::string> PartList;
    std::vector<std::string> GroupList;
    std::unique_ptr<TProjectFileList> ProjectFileList; // only during DoInstall1
    int32_t FailedCount = 0;
    int32_t CancelledCount = 0;
    int32_t UnchangedCount = 0;
    int32_t UpdatedCount = 0;
    int32_t SuperfluousCount = 0;
    // Set when the run went on after something it was asked to install was
    // left out: a section not complete, a step or part that failed or was
    // cancelled, a download, a font, a sub-project that left something out.
    bool LeftOut = false;
    TReportLines* ReportLines = nullptr;
    char DiagnoseMode = ' ';
    StatusEvent OnStatus;
    bool RunPrograms = false;
    bool ReportMissing = true;
    int32_t PathCounter = 0;
    int32_t Talk = 0;
    // The section the copy sections work on ("Win", "WSys", a part name...).
    std::string CurrentSection;

    // --- project ---
    void LoadScript(const std::string& path);
    void SetTargetDir(const std::string& path);
    // Puts TargetDir into its full form (common/Paths FullFolderPath); false
    // after a message when it is no full path or lies on a drive the program
    // may not change: nothing may be written then.
    bool CheckTargetDir();
    std::string GetScriptPath() const;
    std::string GetHeadLine();
    std::string GetCopyright();
    std::string GetWWW();
    std::string GetEMail();
    int64_t GetProjectBytes();
    bool GetNeed83();
    bool GetRestorePoint();
    // Registry variables (%§name%) and "%%" of value, in place. Always true.
    bool ExpandPlaceholders(std::string& value);
    std::string GetPreviousInstallDir();
    std::string GetDefaultTargetDir();
    bool BuildPartList();
    static char ReadDiagnoseMode();
    void ReportStatus(const std::string& name, const std::string& detail = "");
    // Records a folder the copier created as the next P# key of [Pathes] in
    // Deinst.ins (the window's folder handler calls it).
    void RecordCreatedFolder(const std::string& folder);
    // The copier's OnFileDone handler (bound by BuildPartList).
    void CountFileResult(TFileHandler& fileHandler, uint8_t result);
    // Appends the upper-cased path with its result while ProjectFileList exists.
    void AddToFileList(const std::string& path, int result);
    // true when the last run left out something it was asked to install:
    // LeftOut, a file that failed or was cancelled, a source not found.
    bool RunLeftSomethingOut() const;

    // --- path variables ---
    // Expands %DIR% (only when dir is given), %WDIR%, %SDIR%, %SDIR32%, %PDIR%,
    // %SMDIR%, %SPDIR%, %SMDIRA%, %SPDIRA% in place. false when a variable had
    // no value (it is removed).
    bool Substitute(std::string& value, const std::string* dir = nullptr) const;
    // The variables of a macro-file line (copiedFile: the macro file's path).
    // false when the line grew too long to take in more variables (the rest
    // of it stays as it was).
    bool SubstituteMacroLine(std::string& line, const std::string& copiedFile);

    // --- conditions, sub-projects, disk space ---
    bool CheckWinVersion(const std::string& value) const;
    bool CheckCondition(const std::string& sourceFolder, const std::string& partName,
                        char driveLetter);
    // The record of a part (an empty one without a script).
    const script::PartRecord& PartOf(const std::string& section) const;
    // 0 no sub-project, 1 installed, 2 its window closed without success.
    int RunSubProject(const std::string& partName, bool summary);
    bool CheckDiskSpace();

    // --- the run ---
    bool RunInstallation(TReportLines* reportLines);
    bool DoInstall1();
    void EndInstall();
    bool InstallPart(size_t index, const std::string& groupFolder);

    // --- steps of the run: the copy sections (CopySections.cpp) and the
    // system integration (system/), downloads and superfluous files ---
    bool CopyWinFiles();
    bool CopyWinSystemFiles();
    bool CopyWinSystem32Files();
    bool CopyFilesOf(const std::string& section, const std::string& partFolder, bool install);
    PartFolders FoldersOf(const std::string& partFolder, const script::PartRecord& record) const;
    // Del#: the files of the target folder itself that match.
    void DeleteListedFiles(const std::string& section, const std::vector<script::Numbered>& deletes,
                           const std::string& target);
    // One File# entry; CopyDone, CopyNotCopied or CopyAbort.
    int CopyEntryFiles(const script::CopyEntry& entry, const PartFolders& folders, bool install,
                       int& sectionCount);
    // FileN#: one file under a new name (CopyOneFile); a name that is a
    // device, or a folder that is not there, is refused with a message.
    int CopyRenamed(const std::string& source, const std::string& destDir,
                    const std::string& newName, CopyMode mode);
    // Copies a text file line by line with the macro-line variables expanded.
    void CopyMacroFile(const std::string& source, const std::string& dest, bool overwrite);
    // Adds the files target + Hold# to ProjectFileList (kind 0).
    void AddHoldFiles(const std::string& target, const std::vector<script::Numbered>& holds);
    // Adds the existing files folder + pattern to ProjectFileList (kind 0),
    // except those listed already from the entry listedFrom on.
    void KeepFiles(const std::string& folder, const std::string& pattern,
                   size_t listedFrom = SIZE_MAX);
    bool ExecProgs();
    bool InstallFonts();
    // Records the font as the next FO# of [Fonts] in Deinst.ins and installs
    // it (system/Fonts.cpp): 0 installed or up to date, 1 not.
    int InstallFont(const std::string& sourcePath, const std::string& fontName);
    int32_t FontCounter = 0; // the next FO# during the Fonts step
    // Creates the start-menu group; returns its folder.
    std::string MakeGroup(const std::string& groupName, std::vector<std::string>& groupList);
    void RecordInstallFolder(const std::string& folder);
    void RegisterLine(const std::string& line, const std::string& partName);
    bool DownloadPartFiles(const std::string& partName, const std::string& partFolder);
    // The files of the part's web folders (URLDir#) into TargetDir + partFolder
    // (files/Download.cpp); false when a list or a file could not be had.
    bool DownloadSection(const std::string& section, const std::string& partFolder);
    bool DownloadList(const std::vector<std::string>& lines, const std::string& folderUrl,
                      const std::string& section, const std::string& partFolder);
    // Created by the first download, kept for the engine's lifetime.
    std::shared_ptr<THttpClient> HttpClient;
    void RegisterExtension(const std::string& value);
    void WriteUninstallEntry(const std::string& partName, const std::string& partTarget,
                             const std::string& unInst);
    bool AddItem32(const std::string& partName, const std::string& partTarget,
                   const std::string& groupFolder, const std::string& partFolder);
    void RegisterClassesSection();
    // The superfluous files of the project's folders ([Project] DelExt,
    // SuperfluousFiles.cpp): UNUSED.TXT, the "old" side folder, cf.txt.
    void FindSuperfluousFiles();
    void WriteUnusedList();
    void SetAsideUnused(const std::string& listPath);
    // The [CheckRun] test before a run; false when the user gave up.
    // stopRequested: programs were just asked to end ([StopRun]).
    bool CheckRun(bool stopRequested = false);

  private:
    setup::Owner MessageOwner() const;
    std::string lastStatus_;            // the status name last reported
    int32_t missingSourcesAtStart_ = 0; // the copier's MissingSources when the run began
    std::vector<std::string> pendingFolders_;
};

// The Windows-1252 texts of the engine's messages shared with tests.
namespace texts {
inline const std::string FailedPartQuestion1 = "Im Teil ";
inline const std::string FailedPartQuestion2 =
    " ist ein Fehler aufgetreten.\rSoll dennoch fortgesetzt werden?";
inline const std::string Continue = "Weiter?";
inline const std::string FailedSubstitution = "Gescheiterte Substitution:\r";
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
