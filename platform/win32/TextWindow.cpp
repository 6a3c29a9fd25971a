// A modal window that shows a long text in a scrollable read-only field, for
// output of a GUI program started without a console (the findings of a check).
#include "platform/Console.h"

#include "platform/win32/WindowsSupport.h"

namespace plat {

namespace {

constexpr wchar_t kClassName[] = L"SetupTextWindow";
constexpr int kEditId = 100;

LRESULT CALLBACK textWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_SIZE:
        if (HWND edit = ::GetDlgItem(window, kEditId))
            ::MoveWindow(edit, 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
        return 0;
    case WM_CLOSE:
        ::DestroyWindow(window);
        return 0;
    case WM_DESTROY:
        ::PostQuitMessage(0);
        return 0;
    default:
        return ::DefWindowProcW(window, message, wParam, lParam);
    }
}

} // namespace

bool showTextWindow(const std::string& title, const std::string& text) {
    const HINSTANCE instance = ::GetModuleHandleW(nullptr);
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = textWindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = kClassName;
    ::RegisterClassW(&windowClass); // fails harmlessly when registered before
    const std::wstring wideTitle = win::widen(title);
    HWND window =
        ::CreateWindowExW(0, kClassName, wideTitle.c_str(), WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                          CW_USEDEFAULT, 760, 420, nullptr, nullptr, instance, nullptr);
    if (!window) return false;
    // The edit field wants CR LF line ends.
    std::string crlf;
    for (const char c : text) {
        if (c == '\n') crlf += '\r';
        crlf += c;
    }
    const std::wstring wideText = win::widen(crlf);
    HWND edit = ::CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", wideText.c_str(),
                                  WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_HSCROLL | ES_MULTILINE |
                                      ES_READONLY | ES_AUTOVSCROLL | ES_AUTOHSCROLL,
                                  0, 0, 0, 0, window,
                                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(kEditId)), instance,
                                  nullptr);
    if (!edit) {
        ::DestroyWindow(window);
        return false;
    }
    ::SendMessageW(edit, WM_SETFONT, reinterpret_cast<WPARAM>(::GetStockObject(ANSI_FIXED_FONT)),
                   TRUE);
    RECT client{};
    ::GetClientRect(window, &client);
    ::MoveWindow(edit, 0, 0, client.right, client.bottom, TRUE);
    ::ShowWindow(window, SW_SHOWNORMAL);
    ::SetForegroundWindow(window);
    MSG message;
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (message.message == WM_KEYDOWN && message.wParam == VK_ESCAPE) {
            ::DestroyWindow(window);
            continue;
        }
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
    return true;
}

} // namespace plat
