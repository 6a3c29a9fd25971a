#include "ui/win32/ModalWindow.h"

#include <vector>

namespace setup::win {

GlyphIcon LoadButtonGlyph(int id, int pixels) {
    return GlyphIcon(
        static_cast<HICON>(::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id),
                                        IMAGE_ICON, pixels, pixels, LR_DEFAULTCOLOR)));
}

void SetButtonGlyph(HWND button, const GlyphIcon& glyph) {
    if (button && glyph)
        ::SendMessageW(button, BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(glyph.get()));
}

int ScreenDpi() {
    plat::win::WindowDC dc(nullptr);
    const int dpi = dc.get() ? ::GetDeviceCaps(dc.get(), LOGPIXELSY) : 96;
    return dpi > 0 ? dpi : 96;
}

GdiObject MakeFont(const wchar_t* face, int points, int dpi, bool underline) {
    const int height = points > 0 ? -::MulDiv(points, dpi, 72) : -ScaleToDpi(-points, dpi);
    return GdiObject(::CreateFontW(height, 0, 0, 0, FW_NORMAL, FALSE, underline, FALSE,
                                   DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                   DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, face));
}

GdiObject MakeDialogFont(int points, int dpi) {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    if (!::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0))
        return MakeFont(L"MS Shell Dlg", points, dpi);
    return MakeFont(metrics.lfMessageFont.lfFaceName, points, dpi);
}

SIZE MeasureText(HFONT font, const std::wstring& text) {
    plat::win::WindowDC dc(nullptr);
    SIZE size{0, 0};
    if (!dc.get()) return size;
    HGDIOBJ old = ::SelectObject(dc.get(), font);
    TEXTMETRICW metrics{};
    ::GetTextMetricsW(dc.get(), &metrics);
    if (!text.empty())
        ::GetTextExtentPoint32W(dc.get(), text.c_str(), static_cast<int>(text.size()), &size);
    size.cy = metrics.tmHeight;
    ::SelectObject(dc.get(), old);
    return size;
}

void CentreOver(HWND wnd, HWND owner, int width, int height) {
    RECT work{};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    RECT area = work;
    if (owner && ::IsWindowVisible(owner)) ::GetWindowRect(owner, &area);
    int left = area.left + (area.right - area.left - width) / 2;
    int top = area.top + (area.bottom - area.top - height) / 2;
    if (left + width > work.right) left = work.right - width;
    if (top + height > work.bottom) top = work.bottom - height;
    if (left < work.left) left = work.left;
    if (top < work.top) top = work.top;
    ::SetWindowPos(wnd, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

const wchar_t* RegisterDialogClass(const wchar_t* name, WNDPROC proc) {
    WNDCLASSEXW cls{};
    cls.cbSize = sizeof(cls);
    HINSTANCE instance = ::GetModuleHandleW(nullptr);
    if (::GetClassInfoExW(instance, name, &cls)) return name;
    cls.cbSize = sizeof(cls);
    cls.style = CS_DBLCLKS;
    cls.lpfnWndProc = proc;
    cls.hInstance = instance;
    cls.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    cls.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    cls.lpszClassName = name;
    ::RegisterClassExW(&cls);
    return name;
}

int ModalLoop::Run(HWND wnd, HWND owner) {
    done_ = false;
    result_ = 0;
    const bool ownerWasEnabled = owner && ::IsWindowEnabled(owner);
    if (ownerWasEnabled) ::EnableWindow(owner, FALSE);
    ::ShowWindow(wnd, SW_SHOW);
    ::SetForegroundWindow(wnd);
    MSG msg;
    while (!done_) {
        const BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0) {
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        if (got < 0) break;
        if (!::IsDialogMessageW(wnd, &msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
    // The owner is enabled before the window goes, so that it becomes the
    // active window again rather than some other program's.
    if (ownerWasEnabled) ::EnableWindow(owner, TRUE);
    ::ShowWindow(wnd, SW_HIDE);
    return result_;
}

std::string WindowText(HWND wnd) {
    const int length = ::GetWindowTextLengthW(wnd);
    std::vector<wchar_t> buffer(static_cast<size_t>(length) + 1);
    ::GetWindowTextW(wnd, buffer.data(), length + 1);
    return plat::win::narrow(buffer.data());
}

} // namespace setup::win
