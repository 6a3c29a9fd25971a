// TFormSubProj: the installer window on Windows, a view of the portable
// controller (ui/InstallerController.h) drawn with plain Win32 controls and
// GDI: gradient background, transparent labels, target field, progress bar,
// buttons with glyphs, the cream hint area and the [StopRun] receiving field.
// The layout follows the design at 96 dpi, scaled to the system's dpi.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/win32/WindowsSupport.h"
#include "ui/InstallerController.h"

namespace setup::win {

class TDirDlg;

class TFormSubProj : public InstallerView {
  public:
    // Creates the (hidden) window for the controller. owner is the start form
    // for the main window (centred over it) or the calling installer window
    // (placed 20 pixels right of and below it). unattended: the window is never
    // shown and its install button is pressed at once.
    TFormSubProj(TInstallerController& controller, HWND owner, bool unattended, bool mainWindow);
    ~TFormSubProj() override;
    TFormSubProj(const TFormSubProj&) = delete;
    TFormSubProj& operator=(const TFormSubProj&) = delete;

    HWND Handle() const { return wnd_; }
    TInstallerController& Controller() { return controller_; }
    // Shows the window modally over its owner until it closes; its modal result.
    int ShowModal();

    // The installer window opened last and not yet closed; null when none.
    static TFormSubProj* Topmost();

    // A posted message as the application sees it before it is dispatched:
    // a [StopRun] reply (message id of the exchange, wParam 8).
    void ApplicationMessage(const MSG& msg);

    // InstallerView
    Owner WindowHandle() const override { return reinterpret_cast<Owner>(wnd_); }
    void CaptionChanged() override;
    void HintChanged() override;
    void TargetFolderChanged() override;
    void StatusChanged() override;
    void FileNameChanged() override;
    void ProgressChanged() override;
    void ControlsChanged() override;
    void CloseWindow(int modalResult) override;
    int ShowSubWindowModal(TInstallerController& sub) override;
    void TerminateApplication() override;
    uint32_t BroadcastStopRun(const std::string& messageName) override;
    void RestartProgram(const std::string& commandLine) override;

  private:
    struct Resources;
    static LRESULT CALLBACK WindowProc(HWND wnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void CreateControls();
    void ArrangeControls();
    void Paint(HDC dc, const RECT& client);
    void Command(int id, int notification);
    void InstallNowClick();
    void CancelClick();
    void TargetFolderClick();
    void AboutClick(bool project);
    // Runs a modal dialog of this window and gives the window back its focus.
    void WithDialog(const std::function<void()>& show);
    void PressForUnattended();
    void ShowError(const std::string& text);
    void RepaintLabel(int which);
    RECT LabelRect(int which) const;
    int S(int pixels) const; // design pixels at the system's dpi

    TInstallerController& controller_;
    HWND owner_;
    bool unattended_;
    bool mainWindow_;
    int dpi_ = 96;
    HWND wnd_ = nullptr;
    HWND editTarget_ = nullptr, buttonTarget_ = nullptr, progress_ = nullptr;
    HWND buttonInstall_ = nullptr, buttonOk_ = nullptr, buttonCancel_ = nullptr;
    HWND buttonAboutProject_ = nullptr, buttonAboutSetup_ = nullptr;
    HWND memo_ = nullptr, edit1_ = nullptr, tooltip_ = nullptr;
    std::unique_ptr<Resources> res_;
    std::unique_ptr<TDirDlg> dirDlg_; // DirDlg1: keeps its size and folder between calls
    int appliedHeight_ = 0;           // design height last given to the window
    bool installWasEnabled_ = true;
    bool updatingTarget_ = false;
    bool closed_ = false;
    int result_ = ModalNone;
};

} // namespace setup::win
