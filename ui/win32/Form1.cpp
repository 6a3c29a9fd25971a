// TForm1: the hidden start form. It owns the message loop; on its first idle
// moment it shows the installer window modally and closes itself when that
// window has closed, which ends the program.
#include "platform/win32/WindowsSupport.h"

#include <commctrl.h>
#include <ole2.h>

#include "common/Messages.h"
#include "ui/InstallerController.h"
#include "ui/Language.h"
#include "ui/win32/FormSubProj.h"
#include "ui/win32/Layout.h"
#include "ui/win32/WindowsFrontEnd.h"

namespace setup::win {

namespace {

constexpr const wchar_t* kForm1Class = L"TForm1";
constexpr UINT kStart = WM_APP + 2;

struct StartState {
    TFormSubProj* window = nullptr;
    bool startPending = true;
    int modalResult = ModalCancel;
};

LRESULT CALLBACK Form1Proc(HWND wnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        ::SetWindowLongPtrW(wnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* state = reinterpret_cast<StartState*>(::GetWindowLongPtrW(wnd, GWLP_USERDATA));
    switch (message) {
    case kStart:
        // Later idle moments do nothing.
        if (state && state->startPending) {
            state->startPending = false;
            state->modalResult = state->window->ShowModal();
            ::DestroyWindow(wnd);
        }
        return 0;
    case WM_DESTROY:
        ::PostQuitMessage(0);
        return 0;
    default:
        break;
    }
    return ::DefWindowProcW(wnd, message, wParam, lParam);
}

// COM for the shell's dialogs, released when the windows are gone.
struct OleSession {
    OleSession() : ok(SUCCEEDED(::OleInitialize(nullptr))) {}
    ~OleSession() {
        if (ok) ::OleUninitialize();
    }
    OleSession(const OleSession&) = delete;
    OleSession& operator=(const OleSession&) = delete;
    bool ok;
};

struct WindowTraits {
    using Handle = HWND;
    static Handle invalid() { return nullptr; }
    static bool valid(Handle h) { return h != nullptr && ::IsWindow(h); }
    static void close(Handle h) { ::DestroyWindow(h); }
};
using WindowHandle = plat::win::ScopedHandle<WindowTraits>;

HWND CreateForm1(StartState& state, int dpi) {
    HINSTANCE instance = ::GetModuleHandleW(nullptr);
    WNDCLASSEXW cls{};
    cls.cbSize = sizeof(cls);
    if (!::GetClassInfoExW(instance, kForm1Class, &cls)) {
        cls.cbSize = sizeof(cls);
        cls.lpfnWndProc = Form1Proc;
        cls.hInstance = instance;
        cls.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
        cls.hbrBackground = static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH));
        cls.lpszClassName = kForm1Class;
        ::RegisterClassExW(&cls);
    }
    const int width = ScaleToDpi(400, dpi);
    const int height = ScaleToDpi(352, dpi);
    // Centred on the screen's full-screen work area; never shown.
    const int left = (::GetSystemMetrics(SM_CXFULLSCREEN) - width) / 2;
    const int top = (::GetSystemMetrics(SM_CYFULLSCREEN) - height) / 2;
    const std::wstring caption = plat::win::widen(FormText("TForm1", "Caption", "Installation"));
    return ::CreateWindowExW(0, kForm1Class, caption.c_str(),
                             WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MAXIMIZEBOX, left, top,
                             width, height, nullptr, nullptr, instance, &state);
}

} // namespace

int RunWindowsFrontEnd(const std::string& scriptPath, bool unattended, const std::string& targetDir,
                       int* modalResult) {
    // Coordinates and fonts are scaled by the system dpi rather than left to
    // the system's bitmap stretching, which blurs them.
    ::SetProcessDPIAware();
    INITCOMMONCONTROLSEX controls{sizeof(controls),
                                  ICC_PROGRESS_CLASS | ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&controls);
    OleSession ole;

    MessageHost host;
    host.activeForm = [] {
        TFormSubProj* top = TFormSubProj::Topmost();
        return top ? top->WindowHandle() : Owner(0);
    };
    host.windowTitle = [](Owner owner) {
        HWND wnd = reinterpret_cast<HWND>(owner);
        wchar_t title[256] = {};
        if (wnd && ::IsWindow(wnd)) ::GetWindowTextW(wnd, title, 254);
        return plat::win::narrow(title);
    };
    SetMessageHost(host);

    StartState state;
    int dpi = 96;
    {
        plat::win::WindowDC dc(nullptr);
        if (dc.get()) dpi = ::GetDeviceCaps(dc.get(), LOGPIXELSY);
    }
    WindowHandle form1(CreateForm1(state, dpi));
    int status = RunNotInstalled;
    {
        TInstallerController controller;
        TFormSubProj window(controller, form1.get(), unattended, true);
        state.window = &window;
        controller.TalkDefault = 2;
        controller.CreateEngine();
        controller.LoadScript(scriptPath);
        controller.AboutProjVisible = true;
        window.ControlsChanged();
        // The main window closes on Cancel without asking while nothing runs.
        controller.ConfirmCancel = false;
        controller.FillFromScript(true);
        if (!targetDir.empty()) controller.SetTargetFolder(targetDir);

        if (unattended) {
            // No window is shown: the run starts at once and ends the program.
            state.modalResult = window.ShowModal();
        } else {
            // The first idle moment of the message loop opens the window.
            ::PostMessageW(form1.get(), kStart, 0, 0);
            MSG msg;
            while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
                ::TranslateMessage(&msg);
                ::DispatchMessageW(&msg);
            }
        }
        status = controller.RunExitStatus();
        state.window = nullptr;
    }
    SetMessageHost({});
    if (modalResult) *modalResult = state.modalResult;
    return status;
}

} // namespace setup::win
