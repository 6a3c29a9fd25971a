#include "ui/win32/FormSubProj.h"

#include <exception>
#include <vector>

#include "common/Error.h"
#include "ui/win32/FolderDialog.h"
#include "ui/win32/FormSubProjParts.h"
#include "ui/win32/Layout.h"
#include "ui/win32/Resources.h"

namespace setup::win {

namespace {

constexpr const wchar_t* kClassName = L"TFormSubProj";

constexpr COLORREF kMemoColor = RGB(255, 251, 240);

std::vector<TFormSubProj*>& OpenWindows() {
    static std::vector<TFormSubProj*> windows;
    return windows;
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

TFormSubProj* TFormSubProj::Topmost() {
    return OpenWindows().empty() ? nullptr : OpenWindows().back();
}

void TFormSubProj::ApplicationMessage(const MSG& msg) {
    if (msg.message >= WM_USER && msg.wParam == 8 && !controller_.StopRunList.empty())
        controller_.StopRunReply(msg.message, WindowText(edit1_));
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
