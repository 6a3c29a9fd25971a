// The installation run: the 8.3 precondition, Deinst.ins and the target
// folder, the fixed order of the steps, the loop over the parts and the
// clean-up after a successful run.
#include "engine/ScriptInstall.h"

#include "common/Error.h"
#include "common/Messages.h"
#include "common/PlanEffects.h"
#include "common/WinInfo.h"
#include "engine/Steps.h"
#include "system/Fonts.h"
#include "system/Programs.h"
#include "system/RegistryEntries.h"
#include "system/Shortcuts.h"
#include "platform/Registry.h"

namespace setup {

namespace {

// Releases the project file list however DoInstall1 ends.
struct FileListScope {
    std::unique_ptr<TProjectFileList>& list;
    ~FileListScope() { list.reset(); }
};

// The folders of path (with a backslash) that do not exist yet, parent first.
std::vector<std::string> MissingFolders(Effects& effects, const std::string& path) {
    std::vector<std::string> missing;
    std::string folder = path;
    while (folder.size() > 1 && folder.back() == '\\')
        folder.pop_back();
    while (!folder.empty() && !effects.FolderExists(folder)) {
        missing.insert(missing.begin(), folder + "\\");
        const size_t slash = folder.find_last_of('\\');
        if (slash == std::string::npos || slash < 3) break;
        folder.resize(slash);
    }
    return missing;
}

} // namespace

bool TScriptInstall::RunInstallation(TReportLines* reportLines) {
    // The registry changes of the run reach the disk once, when it ends.
    // A plan changes nothing: there is nothing to flush.
    struct RegistryFlush {
        bool plan;
        ~RegistryFlush() {
            if (!plan) plat::flushRegistry();
        }
    } registryFlush{AsPlan(run_.effects) != nullptr};
    reportLines_ = reportLines;
    run_.diagnoseMode = ReadDiagnoseMode();

    if (GetNeed83() && !ShortNamesEnabled()) {
        if (AskYesNo(MessageOwner(),
                     run_.projectName +
                         " ben\xF6tigt die 8.3-Dateinamenunterst\xFCtzung,\r"
                         "die auf Ihrem System ausgeschaltet ist.\r\r"
                         "Wollen Sie die 8.3-Dateinamenunterst\xFCtzung aktivieren?") == IdYes) {
            if (!AsPlan(run_.effects)) EnableShortNames();
            InfoMessage(MessageOwner(), "Starten Sie Ihren Computer nun neu, damit die\r"
                                        "8.3-Dateinamenunterst\xFCtzung wirksam wird.");
            if (owner_) owner_->TerminateApplication();
        }
        return false;
    }

    // A folder that is no full path would land wherever the process happens
    // to be: nothing is written then.
    if (!CheckTargetDir()) return false;
    run_.counters.leftOut = false;
    missingSourcesAtStart_ = run_.copier.MissingSources;
    BuildPartList();
    run_.ReportStatus(status::Init);

    // The folders made for the target are recorded in Deinst.ins inside it,
    // so the target is created first and the file opened when it exists:
    // a target that cannot be made leaves nothing behind to write.
    pendingFolders_.clear();
    run_.pathCounter = 1;
    struct UninstallScope {
        TScriptInstall& engine;
        ~UninstallScope() {
            engine.pendingFolders_.clear();
            engine.recording_.SetJournal(nullptr);
            engine.journal_.reset();
            engine.run_.record.reset(); // writes Deinst.ins when anything was recorded
        }
    } uninstallScope{*this};

    const std::vector<std::string> targetFolders = MissingFolders(run_.effects, run_.targetDir);
    if (!run_.copier.ForceFolders(run_.targetDir)) return false;
    run_.record = std::make_unique<TIni>(run_.targetDir + "Deinst.ins", IniKind::Record);
    // A plan records the file among its changes instead of writing it.
    if (AsPlan(run_.effects)) run_.record->SaveThrough(&run_.effects);
    // Records that could not be read would be lost when the file is written
    // back: the run stops before it changes anything.
    if (!run_.record->ReadComplete()) {
        const std::string name = run_.record->FileName();
        run_.record.reset();
        throw SetupError(name + "\rkann nicht gelesen werden: die Installation wird nicht "
                                "fortgesetzt.");
    }
    // A later run into the same folder adds to the folders of the earlier
    // ones instead of writing over their records.
    while (!run_.record->ReadString("Pathes", "P" + std::to_string(run_.pathCounter), "").empty())
        ++run_.pathCounter;
    // From here on every change of the run is appended to the record as it
    // happens (after the lines of earlier runs, merged).
    // A plan writes no record: the journal would append to the file itself.
    if (!AsPlan(run_.effects)) {
        journal_ = std::make_unique<record::RecordJournal>(*run_.record);
        recording_.SetJournal(journal_.get());
        for (const std::string& folder : targetFolders)
            journal_->Append(record::FolderLine{folder});
    }
    for (const std::string& folder : pendingFolders_)
        RecordCreatedFolder(folder);
    pendingFolders_.clear();

    RecordInstallFolder(run_, run_.targetDir);
    const bool result = DoInstall1();
    if (result) {
        run_.ReportStatus(status::EndInstall);
        EndInstall();
    }
    // Written here so that an error in writing it reaches the caller.
    if (run_.record && run_.record->Modified()) run_.record->SaveFile();
    if (journal_) journal_->Sync();
    return result;
}

bool TScriptInstall::DoInstall1() {
    run_.counters.failed = run_.counters.cancelled = run_.counters.unchanged =
        run_.counters.updated = run_.counters.superfluous = 0;
    bool result = true;
    const bool diagnose = run_.diagnoseMode != ' ';
    const setup::Owner owner = MessageOwner();
    if (diagnose) InfoMessage(owner, "DoInstall1: " + GetScriptPath());
    run_.decisions.StartRun();

    run_.ReportStatus(status::CheckDiskSpace);
    if (!CheckDiskSpace(run_)) return false;

    // A failing step stops the run only when an abort was requested;
    // otherwise the run goes on without what the step left out.
    auto goOn = [this](bool stepDone) {
        if (stepDone) return true;
        if (CheckAbort()) return false;
        run_.counters.leftOut = true;
        return true;
    };
    run_.ReportStatus(status::CopyWinFiles);
    if (!goOn(CopyWinFiles(run_))) return false;
    run_.ReportStatus(status::CopyWinSystemFiles);
    if (!goOn(CopyWinSystemFiles(run_))) return false;
    run_.ReportStatus(status::CopyWinSystem32Files);
    if (!goOn(CopyWinSystem32Files(run_))) return false;
    run_.ReportStatus(status::ExecProgs, " ");
    if (!goOn(ExecProgs(run_))) return false;
    run_.ReportStatus(status::Fonts);
    if (diagnose) InfoMessage(owner, "vor Fonts");
    const bool fonts = InstallFonts(run_);
    if (diagnose) InfoMessage(owner, "nach Fonts");
    if (!goOn(fonts)) return false;

    run_.projectFiles = std::make_unique<TProjectFileList>();
    run_.projectFiles->reserve(8000);
    FileListScope fileListScope{run_.projectFiles};

    if (diagnose) InfoMessage(owner, "vor CopyPacked");
    if (diagnose) InfoMessage(owner, "vor MakeGroup");
    run_.ReportStatus(status::MakeGroup);
    const std::string groupFolder = MakeGroup(run_, groupName_);
    if (diagnose) InfoMessage(owner, "nach CreateGroup");

    for (size_t index = 0; index < partList_.size(); ++index) {
        if (!InstallPart(index, groupFolder)) {
            if (AskYesNoDefaultNo(owner, texts::FailedPartQuestion1 + partList_[index] +
                                             texts::FailedPartQuestion2) != IdYes) {
                result = false;
                break;
            }
            run_.counters.leftOut = true;
        }
        // A run stopped here by the abort request still counts as completed,
        // with what it did not get to left out.
        if (CheckAbort()) {
            run_.counters.leftOut = true;
            break;
        }
    }

    if (result) FindSuperfluousFiles(run_);

    if (run_.talk == 2) {
        std::string copied;
        for (const ProjectFileEntry& entry : *run_.projectFiles) {
            if (entry.result == FileKindNumber(FileKind::Copied)) copied += entry.name + "\r\n";
        }
        if (!copied.empty() && reportLines_) reportLines_->SetText("kopiert wurden:\r\n" + copied);
    }
    return result;
}

void TScriptInstall::EndInstall() {
    run_.ReportStatus(" ", " ");
    partList_.clear();
    run_.script = nullptr;
    script_.reset();
    run_.ReportStatus(status::Ready);
}

} // namespace setup
