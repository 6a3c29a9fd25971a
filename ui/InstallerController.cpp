// The installer window's logic: creation of copier and engine, the script's
// texts, the install button's steps, Cancel, the status handlers and the
// end-of-run report.
#include "ui/InstallerController.h"

#include "common/Log.h"
#include "common/Messages.h"
#include "common/PlanEffects.h"
#include "common/Text.h"
#include "system/RestorePoint.h"
#include "ui/Language.h"

namespace setup {

namespace {

std::string Left(const std::string& text, size_t count) {
    return text.size() > count ? text.substr(0, count) : text;
}

// The string-table texts, from the language file when it has them.
std::string FileWord(int32_t count) {
    return count == 1 ? StringText(65205, uitexts::FileSingular)
                      : StringText(65206, uitexts::FilePlural);
}

// A resource text with "%s" replaced by the value.
std::string Format(const std::string& pattern, const std::string& value) {
    std::string text = pattern;
    const size_t at = text.find("%s");
    if (at != std::string::npos) text.replace(at, 2, value);
    return text;
}

} // namespace

int32_t ProgressUnits(int64_t bytes) {
    return static_cast<int32_t>((static_cast<uint64_t>(bytes) >> 8) & 0x7FFFFFFF);
}

TInstallerController::TInstallerController(InstallerView* view) : view_(view) {}

TInstallerController::~TInstallerController() {
    // The engine refers to the copier: release it first.
    engine_.reset();
    fileHandler_.reset();
}

Owner TInstallerController::Handle() const {
    return view_ ? view_->WindowHandle() : NoOwner;
}

void TInstallerController::CreateEngine() {
    fileHandler_ = std::make_unique<TFileHandler>();
    fileHandler_->OnProgress = [this] { ProgressHandler(); };
    fileHandler_->OnFileStart = [this] { FileStartHandler(); };
    fileHandler_->OnFolderCreated = [this](const std::string& folder) { FolderHandler(folder); };
    engine_ = std::make_unique<TScriptInstall>(this, *fileHandler_, *effects_);
    engine_->Context().runPrograms = true;
}

void TInstallerController::LoadScript(const std::string& path) {
    Installed = false;
    engine_->OnStatus = [this](TScriptInstall&, const std::string& name,
                               const std::string& detail) { StatusHandler(name, detail); };
    engine_->LoadScript(path);
    projectLabel_ = engine_->GetHeadLine();
    targetFolder_ = engine_->TargetDir();
    const script::ProjectRecord& project = engine_->Script()->Project();
    GradientTop = static_cast<uint32_t>(project.color1.Integer(0xF4F1D7));
    GradientBottom = static_cast<uint32_t>(project.color2.Integer(0xCABB88));
    if (view_) {
        view_->CaptionChanged();
        view_->TargetFolderChanged();
    }
}

void TInstallerController::SetCaption(const std::string& caption) {
    caption_ = caption;
    log::Line("CAPTION", {caption_});
    if (view_) view_->CaptionChanged();
}

void TInstallerController::FillFromScript(bool mainWindow) {
    const script::ProjectRecord& project = engine_->Script()->Project();
    if (mainWindow) {
        SetCaption(project.headLine.Or(project.name.text));
        About2.Head1 = Left(caption_, 80);
        About2.WWW = Left(project.www.text, 80);
        About2.Copyright = project.copyright.text;
        About2.eMail = Left(project.email.text, 120);
        About2.Head2 = Left(project.version.Or("\xB0"), 80);
        if (!project.instit.empty()) About2.Instit = project.instit.text;
    } else {
        About2.Head1 = Left(engine_->GetHeadLine(), 80);
        SetCaption(About2.Head1);
        About2.Head2 = Left(project.version.Or("\xB0"), 80);
        About2.WWW = Left(engine_->GetWWW(), 80);
        About2.Copyright = engine_->GetCopyright();
        About2.eMail = Left(engine_->GetEMail(), 120);
    }
    SetHint(script::Expanded(project.memo));
}

void TInstallerController::SetHint(const std::string& text) {
    hint_ = text;
    if (!text.empty()) {
        if (!hintVisible_) {
            WindowHeight = MinWindowHeight + SavedHintHeight;
            MinWindowHeight = 388;
        }
        hintVisible_ = true;
    } else {
        if (hintVisible_) {
            MinWindowHeight = 300;
            SavedHintHeight = HintHeight;
            WindowHeight = MinWindowHeight;
        }
        hintVisible_ = false;
    }
    log::Line("HINT", {hint_});
    if (view_) view_->HintChanged();
}

void TInstallerController::SetText(const std::string& text) {
    // The engine's report replaces the lines of the hint area, which keeps
    // its visibility.
    hint_ = text;
    log::Line("HINT", {hint_});
    if (view_) view_->HintChanged();
}

void TInstallerController::Resized(int32_t clientWidth, int32_t clientHeight) {
    (void)clientWidth;
    HintHeight = clientHeight - 264;
}

void TInstallerController::SetTargetFolder(const std::string& folder) {
    targetFolder_ = folder;
    if (view_) view_->TargetFolderChanged();
}

void TInstallerController::ShowStatus(const std::string& text) {
    status_ = text;
    log::Line("STATUS", {text});
    if (view_) view_->StatusChanged();
}

void TInstallerController::ShowFileName(const std::string& text) {
    fileName_ = text;
    if (view_) view_->FileNameChanged();
}

void TInstallerController::StatusHandler(const std::string& name, const std::string& detail) {
    status_ = name;
    if (detail.empty()) {
        log::Line("STATUS", {name});
    } else {
        log::Line("STATUS", {name, detail});
    }
    if (view_) view_->StatusChanged();
    if (!detail.empty()) ShowFileName(detail);
}

void TInstallerController::ProgressHandler() {
    progressPosition_ = ProgressUnits(fileHandler_->ProcessedBytes());
    if (view_) view_->ProgressChanged();
}

void TInstallerController::FileStartHandler() {
    ShowFileName(fileHandler_->DestName);
}

void TInstallerController::FolderHandler(const std::string& folder) {
    engine_->RecordCreatedFolder(folder);
}

void TInstallerController::ControlsChanged() {
    if (view_) view_->ControlsChanged();
}

void TInstallerController::BroadcastStopRun() {
    const script::Model* script = engine_->Script();
    if (!script) return;
    for (const script::Numbered& entry : script->StopRun()) {
        const std::string& name = entry.value.text;
        const uint32_t id = view_ ? view_->BroadcastStopRun(name) : 0;
        StopRunList.push_back({std::string(), id});
    }
}

void TInstallerController::StopRunReply(uint32_t messageId, const std::string& commandLine) {
    if (messageId < 1024) return;
    for (StopRunEntry& entry : StopRunList) {
        if (entry.messageId == messageId) {
            if (!commandLine.empty()) entry.text = commandLine;
            return;
        }
    }
}

void TInstallerController::RestartStoppedPrograms() {
    for (const StopRunEntry& entry : StopRunList) {
        if (!Trim(entry.text).empty() && view_) view_->RestartProgram(Trim(entry.text));
    }
}

void TInstallerController::PrepareProgress() {
    fileName_.clear();
    status_.clear();
    progressMaximum_ = ProgressUnits(engine_->GetProjectBytes());
    progressPosition_ = 0;
    progressVisible_ = true;
    if (view_) {
        view_->StatusChanged();
        view_->FileNameChanged();
        view_->ProgressChanged();
    }
    ControlsChanged();
}

void TInstallerController::InstallNowClick() {
    if (Running || modalResult_ != ModalNone) return;
    const script::Model* script = engine_->Script();
    engine_->Context().talk = script ? script->Project().talk.Integer(TalkDefault) : TalkDefault;
    engine_->SetTargetDir(targetFolder_);
    const bool fullTarget = engine_->CheckTargetDir();
    log::Line("TARGET", {engine_->TargetDir()});
    // The window stays open for another folder; nobody at the screen cancels.
    if (!fullTarget) return;
    StopRunList.clear();
    BroadcastStopRun();
    PrepareProgress();
    if (!engine_->CheckRun(!StopRunList.empty())) return;

    Running = true;
    installNowEnabled_ = false;
    targetButtonEnabled_ = false;
    ControlsChanged();
    // A restore point brackets the run when the script asks for one, and is
    // ended however the run ends.
    // A plan shows the status texts but asks the system for no restore point.
    const bool restorePoint = engine_->GetRestorePoint();
    const bool planned = AsPlan(*effects_) != nullptr;
    int64_t sequenceNumber = 0;
    if (restorePoint) {
        ShowStatus(texts::RestorePointBegin);
        CheckAbort(); // paints the status before the service works
        if (!planned) BeginRestorePoint(engine_->GetHeadLine(), sequenceNumber);
    }

    auto restore = [this, restorePoint, planned, &sequenceNumber] {
        Running = false;
        installNowVisible_ = true;
        installNowEnabled_ = true;
        targetButtonEnabled_ = true;
        ControlsChanged();
        RestartStoppedPrograms();
        if (restorePoint) {
            ShowStatus(texts::RestorePointEnd);
            CheckAbort();
            if (!planned) EndRestorePoint(sequenceNumber);
        }
    };
    try {
        Installed = engine_->RunInstallation(this);
    } catch (...) {
        restore();
        throw;
    }
    restore();
    Report();
}

int TInstallerController::RunExitStatus() const {
    if (!Installed) return RunNotInstalled;
    return engine_ && engine_->RunLeftSomethingOut() ? RunIncomplete : RunInstalled;
}

void TInstallerController::Report() {
    const int result = Installed ? ModalOk : ModalCancel;
    const int32_t talk = engine_->Context().talk;
    if (talk == 0) {
        Close(result);
        return;
    }
    if (talk == 1) {
        if (Installed) InfoMessage(Handle(), StringText(65231, uitexts::Success));
        Close(result);
        return;
    }
    InfoMessage(Handle(), StatisticsText());
    if (view_) view_->HintChanged(); // back to its first line
    okVisible_ = true;
    installNowVisible_ = false;
    cancelVisible_ = false;
    ControlsChanged();
    if (!hintVisible_) Close(result);
}

std::string TInstallerController::StatisticsText() const {
    const RunCounters& e = engine_->Context().counters;
    std::string text = StringText(65200, uitexts::CopyHeadline) + "\r\r";
    if (e.failed != 0)
        text += Format(StringText(65201, uitexts::Failed), std::to_string(e.failed)) + "\r";
    if (e.cancelled != 0)
        text += Format(StringText(65202, uitexts::Cancelled), std::to_string(e.cancelled)) + "\r";
    if (e.unchanged != 0) {
        text += std::to_string(e.unchanged) + " " + FileWord(e.unchanged) + " " +
                StringText(65203, uitexts::Unchanged) + "\r";
    }
    if (e.updated != 0) {
        text += std::to_string(e.updated) + " " + FileWord(e.updated) + " " +
                StringText(65204, uitexts::Updated) + "\r";
    }
    if (e.superfluous != 0) {
        text += std::to_string(e.superfluous) + " " +
                Format(StringText(65207, uitexts::Superfluous), FileWord(e.superfluous)) + "\r";
    }
    return text;
}

void TInstallerController::CancelClick() {
    if (Running) {
        AbortRequested = true;
        return;
    }
    if (modalResult_ != ModalNone) return;
    if (!ConfirmCancel || AskYesNoDefaultNo(Handle(), uitexts::ConfirmCancel) == IdYes)
        Close(ModalCancel);
}

void TInstallerController::OkClick() {
    Close(ModalOk);
}

void TInstallerController::Close(int modalResult) {
    modalResult_ = modalResult;
    if (view_) view_->CloseWindow(modalResult);
}

int TInstallerController::RunSubProjectWindow(const std::string& scriptPath, bool summary) {
    TInstallerController sub;
    sub.SetEffects(*effects_);
    if (summary) sub.TalkDefault = 2;
    sub.CreateEngine();
    sub.LoadScript(scriptPath);
    if (const std::string problem = ScriptProblem(*sub.Engine().Script(), false);
        !problem.empty()) {
        // Like a missing sub-project script: the part did not succeed.
        InfoMessage(Handle(), problem);
        return ModalCancel;
    }
    sub.AboutProjVisible = true;
    sub.FillFromScript(false);
    if (!view_) return ModalCancel;
    const int result = view_->ShowSubWindowModal(sub);
    // What the sub-project left out is missing from this installation too.
    if (result == ModalOk && sub.RunExitStatus() == RunIncomplete && engine_)
        engine_->Context().counters.leftOut = true;
    return result;
}

void TInstallerController::TerminateApplication() {
    if (view_) view_->TerminateApplication();
}

} // namespace setup
