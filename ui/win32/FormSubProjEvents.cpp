#include "ui/win32/FormSubProjParts.h"

#include <commctrl.h>
#include <shellapi.h>

#include <exception>
#include <functional>

#include "common/CommandLineText.h"
#include "common/Error.h"
#include "common/Log.h"
#include "common/Messages.h"
#include "common/Paths.h"
#include "ui/Language.h"
#include "ui/win32/AboutDialog.h"
#include "ui/win32/FolderDialog.h"
#include "ui/win32/Resources.h"

namespace setup::win {

namespace {

// Line breaks of any kind ("\r", "\n", "\r\n") as an edit control shows them.
std::string EditLines(const std::string& text) {
    std::string out;
    out.reserve(text.size() + 16);
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' || text[i] == '\n') {
            out += "\r\n";
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

} // namespace

// --- the controller's notifications ---

void TFormSubProj::CaptionChanged() {
    if (!wnd_) return;
    ::SetWindowTextW(wnd_, Wide(controller_.WindowCaption()).c_str());
    RepaintLabel(LabelProject);
}

void TFormSubProj::HintChanged() {
    if (!wnd_) return;
    ::SetWindowTextW(memo_, Wide(EditLines(controller_.HintText())).c_str());
    ::ShowWindow(memo_, controller_.HintVisible() ? SW_SHOWNA : SW_HIDE);
    if (controller_.WindowHeight != appliedHeight_) {
        appliedHeight_ = controller_.WindowHeight;
        RECT r{};
        ::GetWindowRect(wnd_, &r);
        ::SetWindowPos(wnd_, nullptr, 0, 0, r.right - r.left, S(appliedHeight_),
                       SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

void TFormSubProj::TargetFolderChanged() {
    if (!wnd_) return;
    if (WindowText(editTarget_) == controller_.TargetFolder()) return;
    updatingTarget_ = true;
    ::SetWindowTextW(editTarget_, Wide(controller_.TargetFolder()).c_str());
    updatingTarget_ = false;
}

void TFormSubProj::StatusChanged() {
    if (!wnd_) return;
    RepaintLabel(LabelProgress);
}

void TFormSubProj::FileNameChanged() {
    if (!wnd_) return;
    RepaintLabel(LabelFileNames);
}

void TFormSubProj::ProgressChanged() {
    if (!wnd_) return;
    ::SendMessageW(progress_, PBM_SETRANGE32, 0, controller_.ProgressMaximum());
    ::SendMessageW(progress_, PBM_SETPOS, WPARAM(controller_.ProgressPosition()), 0);
}

void TFormSubProj::ControlsChanged() {
    if (!wnd_) return;
    auto show = [](HWND control, bool visible) {
        if (control && (::IsWindowVisible(control) != FALSE) != visible)
            ::ShowWindow(control, visible ? SW_SHOWNA : SW_HIDE);
    };
    const bool progressShown = controller_.ProgressVisible();
    if ((::IsWindowVisible(progress_) != FALSE) != progressShown) {
        show(progress_, progressShown);
        RepaintLabel(LabelProgress);
        RepaintLabel(LabelFileNames);
    }
    show(buttonInstall_, controller_.InstallNowVisible());
    show(buttonOk_, controller_.OkVisible());
    show(buttonCancel_, controller_.CancelVisible());
    show(buttonAboutProject_, controller_.AboutProjVisible);
    const bool installEnabled = controller_.InstallNowEnabled();
    ::EnableWindow(buttonInstall_, installEnabled);
    ::EnableWindow(buttonTarget_, controller_.TargetFolderButtonEnabled());
    // After a run the install button gets the focus back.
    if (installEnabled && !installWasEnabled_ && controller_.InstallNowVisible())
        ::SetFocus(buttonInstall_);
    installWasEnabled_ = installEnabled;
    if (controller_.OkVisible()) {
        ::SendMessageW(buttonOk_, BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
        if (::IsWindowVisible(wnd_)) ::SetFocus(buttonOk_);
        // The report box has just gone: show the report at once.
        ::RedrawWindow(wnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    }
}

void TFormSubProj::CloseWindow(int modalResult) {
    result_ = modalResult;
    closed_ = true;
}

int TFormSubProj::ShowSubWindowModal(TInstallerController& sub) {
    TFormSubProj window(sub, wnd_, unattended_, false);
    return window.ShowModal();
}

void TFormSubProj::TerminateApplication() {
    ::PostQuitMessage(1);
    closed_ = true;
    if (result_ == ModalNone) result_ = ModalCancel;
}

uint32_t TFormSubProj::BroadcastStopRun(const std::string& messageName) {
    const UINT id = ::RegisterWindowMessageW(Wide(messageName).c_str());
    if (id == 0) return 0;
    ::PostMessageW(HWND_BROADCAST, id, 9, reinterpret_cast<LPARAM>(edit1_));
    return id;
}

void TFormSubProj::RestartProgram(const std::string& commandLine) {
    std::string program, parameters;
    SplitCommandLine(commandLine, program, parameters);
    const std::string folder = ExtractFilePath(program);
    // Failures are ignored: the program is simply not running afterwards.
    ::ShellExecuteW(nullptr, nullptr, Wide(program).c_str(), Wide(parameters).c_str(),
                    folder.empty() ? nullptr : Wide(folder).c_str(), SW_SHOW);
}

// --- the buttons ---

void TFormSubProj::InstallNowClick() {
    if (editTarget_) controller_.SetTargetFolder(WindowText(editTarget_));
    controller_.InstallNowClick();
}

void TFormSubProj::CancelClick() {
    controller_.CancelClick();
}

void TFormSubProj::TargetFolderClick() {
    dirDlg_->Caption =
        StringText(IDS_TARGET_FOLDER_CAPTION, "Zielordner der Installation ausw\xE4hlen:");
    // The chooser opens on the field's folder, or on its nearest existing
    // ancestor when it does not exist yet.
    dirDlg_->Directory = WindowText(editTarget_);
    if (dirDlg_->Execute(wnd_)) {
        controller_.SetTargetFolder(dirDlg_->Directory);
        TargetFolderChanged();
    }
}

void TFormSubProj::AboutClick(bool project) {
    TAbout about;
    about.HelpContext = 0;
    if (project) {
        const AboutTexts& texts = controller_.About2;
        about.Head1 = texts.Head1;
        about.Head2 = texts.Head2;
        // Without a text of its own the dialog keeps its institution.
        if (!texts.Instit.empty()) about.SetInstit(texts.Instit);
        about.SetCopyright(texts.Copyright);
        about.WWW = texts.WWW;
        about.eMail = texts.eMail;
    } else {
        about.Head1 = "Setup";
        about.Head2 = "Version ";
    }
    about.Execute(wnd_);
}

void TFormSubProj::WithDialog(const std::function<void()>& show) {
    HWND focus = ::GetFocus();
    // Restores activation and focus however the dialog ends, so that the
    // keys reach this window again (a system without a window manager does
    // not give them back by itself).
    struct Restore {
        HWND wnd, focus;
        ~Restore() {
            ::SetActiveWindow(wnd);
            ::SetFocus(focus && ::IsWindow(focus) ? focus : wnd);
        }
    } restore{wnd_, focus};
    show();
}

void TFormSubProj::ShowError(const std::string& text) {
    // The default error box: the message, the application title, and the
    // window stays usable.
    log::Line("ERROR", {text});
    PlainMessage(text);
}

void TFormSubProj::Command(int id, int notification) {
    try {
        switch (id) {
        case IDOK: // Enter: the default button
            if (controller_.OkVisible()) {
                controller_.OkClick();
            } else if (controller_.InstallNowVisible() && controller_.InstallNowEnabled()) {
                InstallNowClick();
            }
            break;
        case IDCANCEL: // Esc
            if (controller_.CancelVisible()) CancelClick();
            break;
        case IdButtonInstall:
            if (notification == BN_CLICKED && controller_.InstallNowEnabled()) InstallNowClick();
            break;
        case IdButtonOk:
            if (notification == BN_CLICKED) controller_.OkClick();
            break;
        case IdButtonCancel:
            if (notification == BN_CLICKED) CancelClick();
            break;
        case IdButtonTarget:
            if (notification == BN_CLICKED) WithDialog([this] { TargetFolderClick(); });
            break;
        case IdButtonAboutProject:
            if (notification == BN_CLICKED) WithDialog([this] { AboutClick(true); });
            break;
        case IdButtonAboutSetup:
            if (notification == BN_CLICKED) WithDialog([this] { AboutClick(false); });
            break;
        case IdEditTarget:
            if (notification == EN_CHANGE && !updatingTarget_)
                controller_.SetTargetFolder(WindowText(editTarget_));
            break;
        default:
            break;
        }
    } catch (const SilentAbort&) {
    } catch (const std::exception& e) {
        ShowError(e.what());
    }
}

} // namespace setup::win
