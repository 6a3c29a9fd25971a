// TInstallerController: the installer window's logic that does not draw. It
// owns the window's file copier and engine, holds what the window shows
// (caption, target folder, hint, status and file lines, progress, buttons),
// carries out the install and cancel buttons and reports the end of a run.
// A view (ui/InstallerView.h) draws it: the terminal front end on Linux, the
// Win32 window on Windows.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/InstallerWindow.h"
#include "engine/ScriptInstall.h"
#include "files/FileHandler.h"
#include "ui/InstallerView.h"

namespace setup {

// The texts of the project info dialog (About2).
struct AboutTexts {
    std::string Head1;
    std::string Head2;
    std::string Instit;
    std::string Copyright;
    std::string WWW;
    std::string eMail;
};

// Modal results of the window.
enum : int { ModalNone = 0, ModalOk = 1, ModalCancel = 2 };

// The program's exit status after the main window's last run.
enum : int { RunInstalled = 0, RunNotInstalled = 1, RunIncomplete = 3 };

// The words and lines of the end-of-run report (resource strings 65200-65207, 65231).
namespace uitexts {
inline const std::string CopyHeadline = "Kopieren von Dateien:";
inline const std::string Failed = "%s x gescheitert";
inline const std::string Cancelled = "%s x durch Benutzereingriff abgebrochen";
inline const std::string Unchanged = "bzgl. Aktualit\xE4t gepr\xFC"
                                     "ft und nicht ge\xE4ndert";
inline const std::string Updated = "aktualisiert";
inline const std::string FileSingular = "Datei";
inline const std::string FilePlural = "Dateien";
inline const std::string Superfluous = "\xFC"
                                       "berfl\xFCssige %s ausgesondert";
inline const std::string Success = "Setup erfolgreich beendet.";
inline const std::string ConfirmCancel =
    "Wenn Sie die Installation abbrechen, bleibt eine \runbrauchbare Teilinstallation "
    "zur\xFC"
    "ck. Falls Sie sich\rwirklich f\xFC"
    "r den Abbruch entscheiden, sollten Sie "
    "diese\ranschlie\xDF"
    "end deinstallieren.\r\rInstallation wirklich abbrechen?";
} // namespace uitexts

// The byte count of the progress bar: divided by 256, never negative.
int32_t ProgressUnits(int64_t bytes);

class TInstallerController : public InstallerWindow, public TReportLines {
  public:
    explicit TInstallerController(InstallerView* view = nullptr);
    ~TInstallerController() override;
    TInstallerController(const TInstallerController&) = delete;
    TInstallerController& operator=(const TInstallerController&) = delete;

    void SetView(InstallerView* view) { view_ = view; }
    // The effects of the runs of this window and its sub-project windows
    // (the machine itself unless set before CreateEngine; a plan's, say).
    void SetEffects(Effects& effects) { effects_ = &effects; }
    InstallerView* View() const { return view_; }

    // --- window state ---
    struct StopRunEntry {
        std::string text; // command line the stopped program reported
        uint32_t messageId = 0;
    };
    std::vector<StopRunEntry> StopRunList;
    bool Running = false;
    bool Installed = false;
    bool ConfirmCancel = true;
    int32_t TalkDefault = 0;
    uint32_t GradientTop = 0xF4F1D7;
    uint32_t GradientBottom = 0xCABB88;
    AboutTexts About2;
    bool AboutProjVisible = false; // SpeedButtonAboutProj

    // Heights in pixels that SetHint and a resize keep (the window's outer
    // height and its minimum, the hint area's height when last hidden).
    int32_t WindowHeight = 380;
    int32_t MinWindowHeight = 380;
    int32_t SavedHintHeight = 0;
    int32_t HintHeight = 88;

    // What the controls show.
    const std::string& WindowCaption() const { return caption_; }
    const std::string& ProjectLabel() const { return projectLabel_; }
    const std::string& TargetFolder() const { return targetFolder_; }
    const std::string& HintText() const { return hint_; }
    bool HintVisible() const { return hintVisible_; }
    const std::string& StatusText() const { return status_; }
    const std::string& FileNameText() const { return fileName_; }
    int32_t ProgressPosition() const { return progressPosition_; }
    int32_t ProgressMaximum() const { return progressMaximum_; }
    bool ProgressVisible() const { return progressVisible_; }
    bool InstallNowVisible() const { return installNowVisible_; }
    bool InstallNowEnabled() const { return installNowEnabled_; }
    bool TargetFolderButtonEnabled() const { return targetButtonEnabled_; }
    bool CancelVisible() const { return cancelVisible_; }
    bool OkVisible() const { return okVisible_; }
    // 0 while the window is open, else its modal result.
    int ModalResult() const { return modalResult_; }
    // What the last run comes to: RunInstalled when it ended with success and
    // left nothing out, RunIncomplete when it ended with success without
    // something it was asked to install, else RunNotInstalled. Every front
    // end ends the program with it.
    int RunExitStatus() const;

    TFileHandler& FileHandler() { return *fileHandler_; }
    TScriptInstall& Engine() { return *engine_; }

    // --- set-up by the creator ---
    // Creates the copier (its progress, file and folder events bound here)
    // and the engine (RunPrograms set).
    void CreateEngine();
    // Loads the script into the engine; caption label, target folder and
    // gradient colours from it.
    void LoadScript(const std::string& path);
    void SetCaption(const std::string& caption);
    // Fills caption, About2 and the hint from the loaded script: the main
    // window's (program start) or a sub-project window's rules.
    void FillFromScript(bool mainWindow);
    void SetHint(const std::string& text);
    // Typed into the target folder field (or --dir).
    void SetTargetFolder(const std::string& folder);

    // --- what the user does ---
    // The install button. An error raised by the run goes on to the caller
    // after the window state was restored.
    void InstallNowClick();
    void CancelClick();
    // The OK button shown after the report.
    void OkClick();
    // A program answered the [StopRun] broadcast (message id, wParam 8) with
    // its command line (the text of the receiving field).
    void StopRunReply(uint32_t messageId, const std::string& commandLine);
    // The window's client area changed size: the hint area follows it.
    void Resized(int32_t clientWidth, int32_t clientHeight);

    // --- status ---
    void ShowStatus(const std::string& text);
    void ShowFileName(const std::string& text);
    // The end-of-run statistics text.
    std::string StatisticsText() const;

    // InstallerWindow
    Owner Handle() const override;
    std::string Caption() const override { return caption_; }
    int RunSubProjectWindow(const std::string& scriptPath, bool summary) override;
    void TerminateApplication() override;

    // TReportLines (the hint area's lines)
    void SetText(const std::string& text) override;
    std::string Text() const override { return hint_; }

  private:
    void StatusHandler(const std::string& name, const std::string& detail);
    void ProgressHandler();
    void FileStartHandler();
    void FolderHandler(const std::string& folder);
    void BroadcastStopRun();
    void PrepareProgress();
    void RestartStoppedPrograms();
    void Report();
    void Close(int modalResult);
    void ControlsChanged();

    InstallerView* view_;
    Effects* effects_ = &DirectEffects();
    std::unique_ptr<TFileHandler> fileHandler_;
    std::unique_ptr<TScriptInstall> engine_;
    std::string caption_ = "Teilprojekt installieren";
    std::string projectLabel_ = "Projekt sowieso...";
    std::string targetFolder_;
    std::string hint_;
    bool hintVisible_ = true;
    std::string status_ = ".";
    std::string fileName_;
    int32_t progressPosition_ = 0;
    int32_t progressMaximum_ = 100;
    bool progressVisible_ = false;
    bool installNowVisible_ = true;
    bool installNowEnabled_ = true;
    bool targetButtonEnabled_ = true;
    bool cancelVisible_ = true;
    bool okVisible_ = false;
    int modalResult_ = ModalNone;
};

} // namespace setup
