// The installation run: the 8.3 precondition, Deinst.ins and the target
// folder, the fixed order of the steps, the loop over the parts and the
// clean-up after a successful run.
#include "engine/ScriptInstall.h"

#include "common/Error.h"
#include "common/Messages.h"
#include "common/WinInfo.h"
#include "platform/Registry.h"

namespace setup {

namespace {

// Releases the project file list however DoInstall1 ends.
struct FileListScope {
    std::unique_ptr<TProjectFileList>& list;
    ~FileListScope() { list.reset(); }
};

} // namespace

bool TScriptInstall::RunInstallation(TReportLines* reportLines) {
    // The registry changes of the run reach the disk once, when it ends.
    struct RegistryFlush {
        ~RegistryFlush() { plat::flushRegistry(); }
    } registryFlush;
    ReportLines = reportLines;
    DiagnoseMode = ReadDiagnoseMode();

    if (GetNeed83() && !ShortNamesEnabled()) {
        if (AskYesNo(MessageOwner(),
                     ProjectName + " ben\xF6tigt die 8.3-Dateinamenunterst\xFCtzung,\r"
                                   "die auf Ihrem System ausgeschaltet ist.\r\r"
                                   "Wollen Sie die 8.3-Dateinamenunterst\xFCtzung aktivieren?") ==
            IdYes) {
            EnableShortNames();
            InfoMessage(MessageOwner(), "Starten Sie Ihren Computer nun neu, damit die\r"
                                        "8.3-Dateinamenunterst\xFCtzung wirksam wird.");
            if (Owner) Owner->TerminateApplication();
        }
        return false;
    }

    // A folder that is no full path would land wherever the process happens
    // to be: nothing is written then.
    if (!CheckTargetDir()) return false;
    LeftOut = false;
    missingSourcesAtStart_ = FileHandler->MissingSources;
    BuildPartList();
    ReportStatus(status::Init);

    // The folders made for the target are recorded in Deinst.ins inside it,
    // so the target is created first and the file opened when it exists:
    // a target that cannot be made leaves nothing behind to write.
    pendingFolders_.clear();
    PathCounter = 1;
    struct UninstallScope {
        TScriptInstall& engine;
        ~UninstallScope() {
            engine.pendingFolders_.clear();
            engine.UninstallScript.reset(); // writes Deinst.ins when anything was recorded
        }
    } uninstallScope{*this};

    if (!FileHandler->ForceFolders(TargetDir)) return false;
    UninstallScript = std::make_unique<TIni>(TargetDir + "Deinst.ins", IniKind::Record);
    // Records that could not be read would be lost when the file is written
    // back: the run stops before it changes anything.
    if (!UninstallScript->ReadComplete()) {
        const std::string name = UninstallScript->FileName();
        UninstallScript.reset();
        throw SetupError(name + "\rkann nicht gelesen werden: die Installation wird nicht "
                                "fortgesetzt.");
    }
    // A later run into the same folder adds to the folders of the earlier
    // ones instead of writing over their records.
    while (!UninstallScript->ReadString("Pathes", "P" + std::to_string(PathCounter), "").empty())
        ++PathCounter;
    for (const std::string& folder : pendingFolders_)
        RecordCreatedFolder(folder);
    pendingFolders_.clear();

    RecordInstallFolder(TargetDir);
    const bool result = DoInstall1();
    if (result) {
        ReportStatus(status::EndInstall);
        EndInstall();
    }
    // Written here so that an error in writing it reaches the caller.
    if (UninstallScript && UninstallScript->Modified()) UninstallScript->SaveFile();
    return result;
}

bool TScriptInstall::DoInstall1() {
    FailedCount = CancelledCount = UnchangedCount = UpdatedCount = SuperfluousCount = 0;
    bool result = true;
    const bool diagnose = DiagnoseMode != ' ';
    const setup::Owner owner = MessageOwner();
    if (diagnose) InfoMessage(owner, "DoInstall1: " + GetScriptPath());
    Decisions.StartRun();

    ReportStatus(status::CheckDiskSpace);
    if (!CheckDiskSpace()) return false;

    // A failing step stops the run only when an abort was requested;
    // otherwise the run goes on without what the step left out.
    auto goOn = [this](bool stepDone) {
        if (stepDone) return true;
        if (CheckAbort()) return false;
        LeftOut = true;
        return true;
    };
    ReportStatus(status::CopyWinFiles);
    if (!goOn(CopyWinFiles())) return false;
    ReportStatus(status::CopyWinSystemFiles);
    if (!goOn(CopyWinSystemFiles())) return false;
    ReportStatus(status::CopyWinSystem32Files);
    if (!goOn(CopyWinSystem32Files())) return false;
    ReportStatus(status::ExecProgs, " ");
    if (!goOn(ExecProgs())) return false;
    ReportStatus(status::Fonts);
    if (diagnose) InfoMessage(owner, "vor Fonts");
    const bool fonts = InstallFonts();
    if (diagnose) InfoMessage(owner, "nach Fonts");
    if (!goOn(fonts)) return false;

    ProjectFileList = std::make_unique<TProjectFileList>();
    ProjectFileList->reserve(8000);
    FileListScope fileListScope{ProjectFileList};

    if (diagnose) InfoMessage(owner, "vor CopyPacked");
    if (diagnose) InfoMessage(owner, "vor MakeGroup");
    ReportStatus(status::MakeGroup);
    const std::string groupFolder = MakeGroup(GroupName, GroupList);
    if (diagnose) InfoMessage(owner, "nach CreateGroup");

    for (size_t index = 0; index < PartList.size(); ++index) {
        if (!InstallPart(index, groupFolder)) {
            if (AskYesNoDefaultNo(owner, texts::FailedPartQuestion1 + PartList[index] +
                                             texts::FailedPartQuestion2) != IdYes) {
                result = false;
                break;
            }
            LeftOut = true;
        }
        // A run stopped here by the abort request still counts as completed,
        // with what it did not get to left out.
        if (CheckAbort()) {
            LeftOut = true;
            break;
        }
    }

    if (result) FindSuperfluousFiles();

    if (Talk == 2) {
        std::string copied;
        for (const ProjectFileEntry& entry : *ProjectFileList) {
            if (entry.result == FileKindNumber(FileKind::Copied)) copied += entry.name + "\r\n";
        }
        if (!copied.empty() && ReportLines) ReportLines->SetText("kopiert wurden:\r\n" + copied);
    }
    return result;
}

void TScriptInstall::EndInstall() {
    ReportStatus(" ", " ");
    PartList.clear();
    Script.reset();
    ReportStatus(status::Ready);
}

} // namespace setup
