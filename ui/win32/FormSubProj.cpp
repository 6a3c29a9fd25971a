#include "ui/win32/FormSubProj.h"

#include <commctrl.h>
#include <shellapi.h>

#include <exception>
#include <functional>
#include <vector>

#include "common/CommandLineText.h"
#include "common/Error.h"
#include "common/Log.h"
#include "common/Messages.h"
#include "common/Paths.h"
#include "platform/FileSystem.h"
#include "ui/Language.h"
#include "ui/win32/AboutDialog.h"
#include "ui/win32/FolderDialog.h"
#include "ui/win32/Layout.h"
#include "ui/win32/ModalWindow.h"
#include "ui/win32/Resources.h"

namespace setup::win {

namespace {

constexpr const wchar_t* kClassName = L"TFormSubProj";
constexpr const char* kForm = "TFormSubProj";

enum ControlId : int {
    IdEditTarget = 200,
    IdButtonTarget,
    IdProgress,
    IdButtonInstall,
    IdButtonOk,
    IdButtonCancel,
    IdButtonAboutProject,
    IdButtonAboutSetup,
    IdMemo,
    IdEdit1,
};

// Design places (96 dpi) of the windowed controls.
const ControlPlace kEditTarget{{24, 96, 564, 30}, Anchor::Stretch};
const ControlPlace kButtonTarget{{595, 96, 33, 30}, Anchor::Right};
const ControlPlace kProgress{{24, 128, 564, 16}, Anchor::Stretch};
const ControlPlace kButtonInstall{{24, 216, 177, 33}, Anchor::Left};
const ControlPlace kButtonOk{{80, 216, 121, 33}, Anchor::Left};
const ControlPlace kButtonCancel{{208, 216, 169, 33}, Anchor::Left};
const ControlPlace kButtonAboutProject{{384, 216, 33, 33}, Anchor::Left};
const ControlPlace kButtonAboutSetup{{424, 216, 33, 33}, Anchor::Left};
const ControlPlace kEdit1{{168, 168, 321, 30}, Anchor::Left};

// The labels, drawn on the background: index into kLabels.
enum LabelIndex { LabelProject, LabelPath, LabelProgress, LabelFileNames, LabelCount };
struct LabelPlace {
    int left, top, width, height; // width 0: as wide as its text
    bool smallFont;
};
constexpr LabelPlace kLabels[LabelCount] = {{24, 24, 0, 24, false},
                                            {24, 72, 0, 24, false},
                                            {24, 152, 0, 14, true},
                                            {24, 168, 617, 14, true}};

constexpr COLORREF kMemoColor = RGB(255, 251, 240);

struct IconTraits {
    using Handle = HICON;
    static Handle invalid() { return nullptr; }
    static bool valid(Handle h) { return h != nullptr; }
    static void close(Handle h) { ::DestroyIcon(h); }
};
using IconHandle = plat::win::ScopedHandle<IconTraits>;

std::vector<TFormSubProj*>& OpenWindows() {
    static std::vector<TFormSubProj*> windows;
    return windows;
}

std::wstring Wide(const std::string& text) {
    return plat::win::widen(text);
}

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

IconHandle LoadGlyph(int id, int pixels) {
    return IconHandle(
        static_cast<HICON>(::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id),
                                        IMAGE_ICON, pixels, pixels, LR_DEFAULTCOLOR)));
}

void RegisterFormClass(WNDPROC proc) {
    HINSTANCE instance = ::GetModuleHandleW(nullptr);
    WNDCLASSEXW cls{};
    cls.cbSize = sizeof(cls);
    if (::GetClassInfoExW(instance, kClassName, &cls)) return;
    cls.cbSize = sizeof(cls);
    cls.style = CS_DBLCLKS;
    cls.lpfnWndProc = proc;
    cls.hInstance = instance;
    cls.hIcon = ::LoadIconW(instance, MAKEINTRESOURCEW(IDI_SETUP));
    cls.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    cls.hbrBackground = nullptr; // the gradient paints everything
    cls.lpszClassName = kClassName;
    ::RegisterClassExW(&cls);
}

} // namespace

struct TFormSubProj::Resources {
    GdiObject windowFont, smallFont, memoFont;
    GdiObject memoBrush;
    IconHandle folder, install, ok, cancel, aboutProject, aboutSetup;
};

TFormSubProj::TFormSubProj(TInstallerController& controller, HWND owner, bool unattended,
                           bool mainWindow)
    : controller_(controller), owner_(owner), unattended_(unattended), mainWindow_(mainWindow),
      dpi_(ScreenDpi()), res_(std::make_unique<Resources>()), dirDlg_(std::make_unique<TDirDlg>()) {
    RegisterFormClass(&TFormSubProj::WindowProc);
    res_->windowFont = MakeFont(L"Arial", -19, dpi_);
    res_->smallFont = MakeFont(L"Arial", -11, dpi_);
    res_->memoFont = MakeFont(L"Arial", -16, dpi_);
    res_->memoBrush = GdiObject(::CreateSolidBrush(kMemoColor));

    // No title-bar buttons: a caption without system menu; resizable.
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_THICKFRAME | WS_CLIPCHILDREN;
    const DWORD exStyle = WS_EX_CONTROLPARENT | (mainWindow_ ? WS_EX_APPWINDOW : 0);
    wnd_ = ::CreateWindowExW(exStyle, kClassName, L"", style, CW_USEDEFAULT, CW_USEDEFAULT,
                             S(kFormWidth), S(kFormHeight), owner_, nullptr,
                             ::GetModuleHandleW(nullptr), this);
    if (!wnd_) {
        // Nobody looks at an unattended run: it goes on without a window
        // (a service session or a Wine without a display has none to give).
        if (!unattended_) throw SetupError("Das Installationsfenster kann nicht angelegt werden.");
        OpenWindows().push_back(this);
        controller_.SetView(this);
        return;
    }
    CreateControls();

    // Place: centred over the start form, or 20 pixels right of and below the
    // calling installer window.
    RECT ownerRect{};
    if (owner_) ::GetWindowRect(owner_, &ownerRect);
    int left, top;
    if (mainWindow_ || !owner_) {
        RECT work{};
        ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
        const RECT& area = owner_ ? ownerRect : work;
        left = area.left + (area.right - area.left - S(kFormWidth)) / 2;
        top = area.top + (area.bottom - area.top - S(kFormHeight)) / 2;
        if (left < work.left) left = work.left;
        if (top < work.top) top = work.top;
    } else {
        left = ownerRect.left + S(20);
        top = ownerRect.top + S(20);
    }
    appliedHeight_ = controller_.WindowHeight;
    ::SetWindowPos(wnd_, nullptr, left, top, S(kFormWidth), S(appliedHeight_),
                   SWP_NOZORDER | SWP_NOACTIVATE);

    OpenWindows().push_back(this);
    // What the controller already holds (a sub-project window is filled
    // before its window exists).
    CaptionChanged();
    TargetFolderChanged();
    HintChanged();
    ProgressChanged();
    ControlsChanged();
    controller_.SetView(this);
}

TFormSubProj::~TFormSubProj() {
    if (controller_.View() == this) controller_.SetView(nullptr);
    auto& windows = OpenWindows();
    for (auto it = windows.begin(); it != windows.end(); ++it) {
        if (*it == this) {
            windows.erase(it);
            break;
        }
    }
    if (wnd_) {
        ::SetWindowLongPtrW(wnd_, GWLP_USERDATA, 0);
        ::DestroyWindow(wnd_);
    }
}

int TFormSubProj::S(int pixels) const {
    return ScaleToDpi(pixels, dpi_);
}

void TFormSubProj::CreateControls() {
    HINSTANCE instance = ::GetModuleHandleW(nullptr);
    auto make = [&](DWORD exStyle, const wchar_t* cls, const std::string& text, DWORD style, int id,
                    HGDIOBJ font) {
        HWND control =
            ::CreateWindowExW(exStyle, cls, Wide(text).c_str(), WS_CHILD | style, 0, 0, 0, 0, wnd_,
                              reinterpret_cast<HMENU>(INT_PTR(id)), instance, nullptr);
        if (control && font) ::SendMessageW(control, WM_SETFONT, WPARAM(font), FALSE);
        return control;
    };
    HGDIOBJ font = res_->windowFont.get();
    editTarget_ = make(WS_EX_CLIENTEDGE, L"EDIT", "", WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL,
                       IdEditTarget, font);
    buttonTarget_ = make(0, L"BUTTON", "", WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON | BS_ICON,
                         IdButtonTarget, font);
    progress_ = make(0, PROGRESS_CLASSW, "", PBS_SMOOTH | WS_DISABLED, IdProgress, nullptr);
    buttonInstall_ = make(0, L"BUTTON", FormText(kForm, "BitBtnInstallNow", "jetzt installieren"),
                          WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, IdButtonInstall, font);
    buttonCancel_ = make(0, L"BUTTON", FormText(kForm, "BitBtnCancel", "Abbrechen"),
                         WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, IdButtonCancel, font);
    buttonOk_ = make(0, L"BUTTON", FormText(kForm, "BitBtnOK", "OK"), WS_TABSTOP | BS_PUSHBUTTON,
                     IdButtonOk, font);
    buttonAboutProject_ = make(0, L"BUTTON", "", WS_TABSTOP | BS_PUSHBUTTON | BS_ICON | BS_FLAT,
                               IdButtonAboutProject, nullptr);
    buttonAboutSetup_ =
        make(0, L"BUTTON", "", WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON | BS_ICON | BS_FLAT,
             IdButtonAboutSetup, nullptr);
    memo_ = make(WS_EX_CLIENTEDGE, L"EDIT", "",
                 WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL, IdMemo,
                 res_->memoFont.get());
    // Hidden, but with a window of its own: stopped programs write their
    // command lines into it.
    edit1_ = make(0, L"EDIT", "Edit1", ES_AUTOHSCROLL, IdEdit1, nullptr);

    res_->folder = LoadGlyph(IDI_FOLDER, S(20));
    res_->install = LoadGlyph(IDI_INSTALL, S(20));
    res_->ok = LoadGlyph(IDI_OK, S(20));
    res_->cancel = LoadGlyph(IDI_CANCEL, S(20));
    res_->aboutProject = LoadGlyph(IDI_INFO_PROJECT, S(24));
    res_->aboutSetup = LoadGlyph(IDI_INFO_SETUP, S(24));
    auto glyph = [](HWND button, const IconHandle& icon) {
        if (button && icon.get())
            ::SendMessageW(button, BM_SETIMAGE, IMAGE_ICON, LPARAM(icon.get()));
    };
    glyph(buttonTarget_, res_->folder);
    glyph(buttonInstall_, res_->install);
    glyph(buttonOk_, res_->ok);
    glyph(buttonCancel_, res_->cancel);
    glyph(buttonAboutProject_, res_->aboutProject);
    glyph(buttonAboutSetup_, res_->aboutSetup);

    tooltip_ = ::CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, 0, 0, 0, 0,
                                 wnd_, nullptr, instance, nullptr);
    auto tip = [&](HWND button, const std::string& text) {
        if (!tooltip_ || !button) return;
        std::wstring wide = Wide(text);
        TOOLINFOW info{};
        info.cbSize = sizeof(info);
        info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        info.hwnd = wnd_;
        info.uId = reinterpret_cast<UINT_PTR>(button);
        info.lpszText = wide.data();
        ::SendMessageW(tooltip_, TTM_ADDTOOLW, 0, LPARAM(&info));
    };
    tip(buttonAboutProject_, FormText(kForm, "SpeedButtonAboutProj.Hint", "Info zum Projekt"));
    tip(buttonAboutSetup_, FormText(kForm, "SpeedButtonAboutSetup.Hint", "Info zum Setup"));
    tip(buttonTarget_,
        FormText(kForm, "BitBtnTargetFolder.Hint", "Zielordner der Installation ausw\xE4hlen"));
}

void TFormSubProj::ArrangeControls() {
    RECT client{};
    ::GetClientRect(wnd_, &client);
    const int width = client.right;
    auto place = [&](HWND control, const ControlPlace& where) {
        const Rect r = PlaceControl(where, width, dpi_);
        ::MoveWindow(control, r.left, r.top, r.width, r.height, FALSE);
    };
    place(editTarget_, kEditTarget);
    place(buttonTarget_, kButtonTarget);
    place(progress_, kProgress);
    place(buttonInstall_, kButtonInstall);
    place(buttonOk_, kButtonOk);
    place(buttonCancel_, kButtonCancel);
    place(buttonAboutProject_, kButtonAboutProject);
    place(buttonAboutSetup_, kButtonAboutSetup);
    place(edit1_, kEdit1);
    const Rect memo = MemoPlace(width, client.bottom, dpi_);
    ::MoveWindow(memo_, memo.left, memo.top, memo.width, memo.height, FALSE);
}

RECT TFormSubProj::LabelRect(int which) const {
    const LabelPlace& p = kLabels[which];
    RECT r{S(p.left), S(p.top), 0, S(p.top + p.height)};
    if (p.width > 0) {
        r.right = S(p.left + p.width);
    } else {
        RECT client{};
        ::GetClientRect(wnd_, &client);
        r.right = client.right;
    }
    return r;
}

void TFormSubProj::Paint(HDC dc, const RECT& client) {
    for (const GradientBand& band :
         GradientBands(controller_.GradientTop, controller_.GradientBottom, client.bottom)) {
        RECT r{0, band.top, client.right, band.top + 3};
        GdiObject brush(::CreateSolidBrush(band.color & 0xFFFFFF));
        ::FillRect(dc, &r, static_cast<HBRUSH>(brush.get()));
    }
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, RGB(0, 0, 0));
    const bool statusShown = controller_.ProgressVisible();
    const std::string texts[LabelCount] = {
        controller_.ProjectLabel(), FormText(kForm, "LabelPath", "Installieren in:"),
        statusShown ? controller_.StatusText() : std::string(),
        statusShown ? controller_.FileNameText() : std::string()};
    for (int i = 0; i < LabelCount; ++i) {
        if (texts[i].empty()) continue;
        HGDIOBJ old = ::SelectObject(dc, kLabels[i].smallFont ? res_->smallFont.get()
                                                              : res_->windowFont.get());
        RECT r = LabelRect(i);
        if (!kLabels[i].smallFont) r.bottom = client.bottom; // auto size: as high as needed
        const std::wstring text = Wide(texts[i]);
        UINT format = DT_LEFT | DT_TOP | DT_NOPREFIX | DT_SINGLELINE;
        if (i == LabelFileNames) format |= DT_PATH_ELLIPSIS;
        ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, format);
        ::SelectObject(dc, old);
    }
}

void TFormSubProj::RepaintLabel(int which) {
    if (!wnd_) return; // a null window would repaint every window
    RECT r = LabelRect(which);
    ::InvalidateRect(wnd_, &r, FALSE);
    // The message loop does not run while a file is copied: paint now.
    ::UpdateWindow(wnd_);
}

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

TFormSubProj* TFormSubProj::Topmost() {
    return OpenWindows().empty() ? nullptr : OpenWindows().back();
}

void TFormSubProj::ApplicationMessage(const MSG& msg) {
    if (msg.message >= WM_USER && msg.wParam == 8 && !controller_.StopRunList.empty())
        controller_.StopRunReply(msg.message, WindowText(edit1_));
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

void TFormSubProj::PressForUnattended() {
    // Nobody is at the screen: the install button at once, OK when offered;
    // a window that neither closed nor offers OK (stopped before the run, or
    // the run raised an error) is cancelled, and closed when it would ask.
    try {
        InstallNowClick();
    } catch (const SilentAbort&) {
    } catch (const std::exception& e) {
        ShowError(e.what());
    }
    if (closed_) return;
    if (controller_.OkVisible()) {
        controller_.OkClick();
        return;
    }
    controller_.CancelClick();
    if (!closed_) CloseWindow(ModalCancel);
}

int TFormSubProj::ShowModal() {
    const bool ownerWasEnabled = owner_ && ::IsWindowEnabled(owner_);
    if (ownerWasEnabled) ::EnableWindow(owner_, FALSE);
    if (unattended_) {
        // The install button at once; the run pumps the window's messages.
        PressForUnattended();
        if (ownerWasEnabled) ::EnableWindow(owner_, TRUE);
        return result_ == ModalNone ? ModalCancel : result_;
    } else {
        ::ShowWindow(wnd_, SW_SHOW);
        ::SetForegroundWindow(wnd_);
        ::SetFocus(buttonInstall_);
    }
    MSG msg;
    while (!closed_) {
        const BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0) {
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        if (got < 0) break;
        for (TFormSubProj* window : OpenWindows())
            window->ApplicationMessage(msg);
        if (!::IsDialogMessageW(wnd_, &msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
    if (ownerWasEnabled) ::EnableWindow(owner_, TRUE);
    ::ShowWindow(wnd_, SW_HIDE);
    return result_ == ModalNone ? ModalCancel : result_;
}

LRESULT CALLBACK TFormSubProj::WindowProc(HWND wnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        auto* self = static_cast<TFormSubProj*>(create->lpCreateParams);
        self->wnd_ = wnd;
        ::SetWindowLongPtrW(wnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<TFormSubProj*>(::GetWindowLongPtrW(wnd, GWLP_USERDATA));
    if (!self) return ::DefWindowProcW(wnd, message, wParam, lParam);
    try {
        return self->HandleMessage(message, wParam, lParam);
    } catch (const std::exception& e) {
        self->ShowError(e.what());
        return 0;
    }
}

LRESULT TFormSubProj::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = ::BeginPaint(wnd_, &ps);
        RECT client{};
        ::GetClientRect(wnd_, &client);
        // Drawn off screen first, so that the labels do not flicker.
        HDC memory = ::CreateCompatibleDC(dc);
        GdiObject bitmap(::CreateCompatibleBitmap(dc, client.right, client.bottom));
        HGDIOBJ old = ::SelectObject(memory, bitmap.get());
        Paint(memory, client);
        ::BitBlt(dc, 0, 0, client.right, client.bottom, memory, 0, 0, SRCCOPY);
        ::SelectObject(memory, old);
        ::DeleteDC(memory);
        ::EndPaint(wnd_, &ps);
        return 0;
    }
    case WM_SIZE:
        ArrangeControls();
        controller_.Resized(UnscaleFromDpi(LOWORD(lParam), dpi_),
                            UnscaleFromDpi(HIWORD(lParam), dpi_));
        // Moved controls and the labels over the gradient: all repainted.
        ::RedrawWindow(wnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
        return 0;
    case WM_PRINTCLIENT: {
        // Themed buttons draw their corners over the window's background.
        RECT client{};
        ::GetClientRect(wnd_, &client);
        Paint(reinterpret_cast<HDC>(wParam), client);
        return 0;
    }
    case WM_GETMINMAXINFO: {
        auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
        info->ptMinTrackSize.x = S(kFormMinWidth);
        info->ptMinTrackSize.y = S(controller_.MinWindowHeight);
        return 0;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
        if (reinterpret_cast<HWND>(lParam) == memo_) {
            HDC dc = reinterpret_cast<HDC>(wParam);
            ::SetBkColor(dc, kMemoColor);
            ::SetTextColor(dc, RGB(0, 0, 0));
            return reinterpret_cast<LRESULT>(res_->memoBrush.get());
        }
        break;
    case DM_GETDEFID:
        return MAKELRESULT(controller_.OkVisible() ? IdButtonOk : IdButtonInstall, DC_HASDEFID);
    case WM_COMMAND:
        Command(LOWORD(wParam), HIWORD(wParam));
        return 0;
    case WM_CLOSE:
        // No close box; Alt+F4 acts as the visible one of Cancel and OK.
        Command(controller_.CancelVisible() ? IdButtonCancel : IdButtonOk, BN_CLICKED);
        return 0;
    default:
        if (message >= WM_USER && wParam == 8) {
            MSG msg{wnd_, message, wParam, lParam, 0, {0, 0}};
            ApplicationMessage(msg);
            return 0;
        }
        break;
    }
    return ::DefWindowProcW(wnd_, message, wParam, lParam);
}

} // namespace setup::win
