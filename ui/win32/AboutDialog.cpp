#include "ui/win32/AboutDialog.h"

#include <commctrl.h>
#include <shellapi.h>

#include "common/Error.h"
#include "common/FileInfo.h"
#include "common/Text.h"
#include "common/WinInfo.h"
#include "platform/System.h"
#include "ui/Language.h"
#include "ui/win32/Resources.h"
#include "ui/win32/ModalWindow.h"

namespace setup::win {

namespace {

constexpr int IdHelpButton = 9;
constexpr COLORREF LinkColour = RGB(0, 0, 255);

std::string ProgramFile() {
    return plat::programPath();
}

std::string FileNameWithoutExtension(const std::string& path) {
    std::string name = path.substr(path.find_last_of("\\/:") + 1);
    const std::size_t dot = name.rfind('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

std::string ProgramFileVersion() {
    std::vector<std::string> values;
    ReadVersionInfo(ProgramFile(), values);
    for (const std::string& entry : values)
        if (StartsWith("FileVersion=", entry)) return entry.substr(12);
    return {};
}

// The window of one Execute: its fonts, logo, layout and links.
class AboutWindow {
  public:
    AboutWindow(const TAbout& about, HWND owner) : about_(about), owner_(owner) {}

    int Run();

  private:
    static LRESULT CALLBACK Proc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp);
    LRESULT Handle(UINT msg, WPARAM wp, LPARAM lp);
    void Build();
    void LoadLogo();
    void Paint(HDC dc);
    void DrawLine(HDC dc, HFONT font, const AboutRect& rect, const std::wstring& text,
                  COLORREF colour);
    // 1 = web line, 2 = e-mail line, 0 = neither.
    int LinkAt(POINT client) const;
    void OpenLink(int link);
    void ReleaseLogo();

    const TAbout& about_;
    HWND owner_;
    HWND wnd_ = nullptr;
    ModalLoop loop_;
    int dpi_ = 96;
    GdiObject textFont_, smallFont_;
    GdiObject logo_;
    GlyphIcon okGlyph_;
    HICON icon_ = nullptr;
    std::wstring head1_, head2_, instit_, copyright_, www_, email_, windows_, date_;
    AboutLayout layout_;
};

bool Contains(const AboutRect& rect, POINT p) {
    return p.x >= rect.Left && p.x < rect.Right() && p.y >= rect.Top && p.y < rect.Bottom();
}

LRESULT CALLBACK AboutWindow::Proc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
        auto* self =
            static_cast<AboutWindow*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
        ::SetWindowLongPtrW(wnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        self->wnd_ = wnd;
    }
    auto* self = reinterpret_cast<AboutWindow*>(::GetWindowLongPtrW(wnd, GWLP_USERDATA));
    if (self) return self->Handle(msg, wp, lp);
    return ::DefWindowProcW(wnd, msg, wp, lp);
}

LRESULT AboutWindow::Handle(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = ::BeginPaint(wnd_, &ps);
        Paint(dc);
        ::EndPaint(wnd_, &ps);
        return 0;
    }
    case WM_SETCURSOR: {
        POINT p;
        ::GetCursorPos(&p);
        ::ScreenToClient(wnd_, &p);
        if (LOWORD(lp) == HTCLIENT && LinkAt(p) != 0) {
            ::SetCursor(::LoadCursorW(nullptr, IDC_HAND));
            return TRUE;
        }
        break;
    }
    case WM_LBUTTONUP: {
        const POINT p{static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))};
        if (const int link = LinkAt(p)) OpenLink(link);
        return 0;
    }
    case WM_COMMAND:
        switch (LOWORD(wp)) {
        case IDOK:
            loop_.End(1);
            return 0;
        case IDCANCEL:
            loop_.End(2);
            return 0;
        case IdHelpButton:
            return 0; // the program has no help file to open
        }
        break;
    case WM_CLOSE:
        loop_.End(2);
        return 0;
    }
    return ::DefWindowProcW(wnd_, msg, wp, lp);
}

int AboutWindow::LinkAt(POINT client) const {
    if (Contains(layout_.WWW, client)) return 1;
    if (Contains(layout_.EMail, client)) return 2;
    return 0;
}

void AboutWindow::OpenLink(int link) {
    const std::string target =
        link == 1 ? CutText(about_.WWW, 80) : "mailto:" + CutText(about_.eMail, 120);
    // Failures are the shell's to show; the window closes in any case.
    ::ShellExecuteW(owner_, nullptr, plat::win::widen(target).c_str(), nullptr, nullptr, SW_HIDE);
    loop_.End(2);
}

void AboutWindow::LoadLogo() {
    const std::string& name = about_.ImageName;
    if (IsBitmapFileName(name)) {
        const bool absolute = name.find(':') != std::string::npos || FirstChar(name) == '\\';
        std::string folder = ProgramFile();
        folder.erase(folder.find_last_of('\\') + 1);
        const std::wstring path = plat::win::widen(absolute ? name : folder + name);
        logo_.reset(::LoadImageW(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE));
    } else if (!name.empty()) {
        logo_.reset(::LoadImageW(::GetModuleHandleW(nullptr), plat::win::widen(name).c_str(),
                                 IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    }
}

void AboutWindow::ReleaseLogo() {
    if (logo_ && !::DeleteObject(logo_.release())) throw SetupError("deleteObject gescheitert");
}

void AboutWindow::Build() {
    dpi_ = ScreenDpi();
    textFont_ = MakeFont(L"Arial", 12, dpi_);
    smallFont_ = MakeFont(L"Arial", 9, dpi_);
    const HFONT text = static_cast<HFONT>(textFont_.get());
    const HFONT small = static_cast<HFONT>(smallFont_.get());
    using plat::win::widen;

    head1_ = widen(CutText(about_.Head1, 80));
    head2_ = widen(AboutVersionLine(CutText(about_.Head2, 80), ProgramFileVersion()));
    instit_ = widen(about_.Instit());
    copyright_ = widen(about_.Copyright());
    www_ = widen(CutText(about_.WWW, 80));
    email_ = widen(TextBeforeQuestionMark(CutText(about_.eMail, 120)));
    windows_ = widen(FormText("TAbout", "LabelWindows", "Windows ") +
                     WindowsVersionName(WindowsVersion() & 0x7F));
    date_ = widen(about_.VersionDate);

    AboutLayoutInput in;
    in.Dpi = dpi_;
    in.Alignment = about_.Alignment;
    in.HasInstit = !instit_.empty();
    in.HasHelp = about_.HelpContext != 0;
    const auto measure = [](HFONT font, const std::wstring& line) {
        const SIZE size = MeasureText(font, line);
        return AboutSize{size.cx, size.cy};
    };
    icon_ = static_cast<HICON>(
        ::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_SETUP), IMAGE_ICON,
                     ::GetSystemMetrics(SM_CXICON), ::GetSystemMetrics(SM_CYICON), LR_SHARED));
    if (!icon_) icon_ = ::LoadIconW(nullptr, IDI_APPLICATION);
    in.Icon = AboutSize{::GetSystemMetrics(SM_CXICON), ::GetSystemMetrics(SM_CYICON)};
    in.Head1 = measure(text, head1_);
    in.Head2 = measure(text, head2_);
    LoadLogo();
    if (IsBitmapFileName(about_.ImageName) && !logo_)
        in.Logo = AboutSize{ScaleToDpi(280, dpi_), ScaleToDpi(5, dpi_)};
    BITMAP bitmap{};
    if (logo_ && ::GetObjectW(logo_.get(), sizeof(bitmap), &bitmap))
        in.Logo = AboutSize{bitmap.bmWidth, bitmap.bmHeight};
    in.Instit = measure(text, instit_);
    in.Copyright = measure(text, copyright_);
    in.WWW = measure(text, www_);
    in.EMail = measure(text, email_);
    const std::wstring helpText = widen(about_.helpBtnText);
    const std::wstring okText = widen(FormText("TAbout", "BitBtnOK", "OK"));
    const int buttonWidth = ScaleToDpi(75, dpi_), buttonHeight = ScaleToDpi(25, dpi_);
    const auto buttonSize = [&](const std::wstring& caption) {
        const int textWidth = measure(text, caption).Width + ScaleToDpi(16, dpi_);
        return AboutSize{std::max(buttonWidth, textWidth), buttonHeight};
    };
    in.HelpButton = buttonSize(helpText);
    in.OkButton = buttonSize(okText);
    in.WindowsLine = measure(small, windows_);
    in.DateLine = measure(small, date_);
    layout_ = LayoutAbout(in);

    const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
    const DWORD exStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;
    RECT frame{0, 0, layout_.ClientWidth, layout_.ClientHeight};
    ::AdjustWindowRectEx(&frame, style, FALSE, exStyle);
    const wchar_t* cls = RegisterDialogClass(L"SetupAboutDialog", Proc);
    ::CreateWindowExW(exStyle, cls, widen(about_.Caption).c_str(), style, 0, 0,
                      frame.right - frame.left, frame.bottom - frame.top, owner_, nullptr,
                      ::GetModuleHandleW(nullptr), this);
    if (!wnd_) throw SetupError("Das Info-Fenster kann nicht angelegt werden.");
    ::SetWindowContextHelpId(wnd_, static_cast<DWORD>(about_.HelpContext));
    CentreOver(wnd_, owner_, frame.right - frame.left, frame.bottom - frame.top);

    const auto button = [&](const std::wstring& caption, const AboutRect& rect, int id,
                            DWORD kind) {
        HWND b = ::CreateWindowExW(0, L"BUTTON", caption.c_str(),
                                   WS_CHILD | WS_VISIBLE | WS_TABSTOP | kind, rect.Left, rect.Top,
                                   rect.Width, rect.Height, wnd_,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                   ::GetModuleHandleW(nullptr), nullptr);
        ::SendMessageW(b, WM_SETFONT, reinterpret_cast<WPARAM>(text), FALSE);
        return b;
    };
    HWND ok = button(okText, layout_.OkButton, IDOK, BS_DEFPUSHBUTTON);
    okGlyph_ = LoadButtonGlyph(IDI_OK, ScaleToDpi(16, dpi_));
    SetButtonGlyph(ok, okGlyph_);
    if (in.HasHelp) {
        HWND help = button(helpText, layout_.HelpButton, IdHelpButton, BS_PUSHBUTTON);
        ::SetWindowContextHelpId(help, static_cast<DWORD>(about_.HelpContext));
    }
    ::SetFocus(ok);

    HWND tips = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                                  WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT,
                                  CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, wnd_, nullptr,
                                  ::GetModuleHandleW(nullptr), nullptr);
    const auto tip = [&](UINT id, const AboutRect& rect, const std::string& hint,
                         const std::string& standard) {
        std::wstring tipText = widen(hint.empty() ? standard : hint);
        TTTOOLINFOW info{};
        info.cbSize = TTTOOLINFOW_V2_SIZE;
        info.uFlags = TTF_SUBCLASS;
        info.hwnd = wnd_;
        info.uId = id;
        info.rect = RECT{rect.Left, rect.Top, rect.Right(), rect.Bottom()};
        info.lpszText = tipText.data();
        ::SendMessageW(tips, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
    };
    if (tips) {
        tip(1, layout_.WWW, about_.HintWWW,
            FormText("TAbout", "HintWWW", "Hier finden Sie weitere Informationen im Internet."));
        tip(2, layout_.EMail, about_.HintEmail,
            FormText("TAbout", "HintEmail", "Eine Email an den Programmautor senden..."));
    }
}

void AboutWindow::DrawLine(HDC dc, HFONT font, const AboutRect& rect, const std::wstring& text,
                           COLORREF colour) {
    if (text.empty()) return;
    ::SelectObject(dc, font);
    ::SetTextColor(dc, colour);
    ::TextOutW(dc, rect.Left, rect.Top, text.c_str(), static_cast<int>(text.size()));
}

void AboutWindow::Paint(HDC dc) {
    const HFONT text = static_cast<HFONT>(textFont_.get());
    const HFONT small = static_cast<HFONT>(smallFont_.get());
    HGDIOBJ oldFont = ::SelectObject(dc, text);
    ::SetBkMode(dc, TRANSPARENT);
    const COLORREF black = ::GetSysColor(COLOR_WINDOWTEXT);
    ::DrawIconEx(dc, layout_.Icon.Left, layout_.Icon.Top, icon_, layout_.Icon.Width,
                 layout_.Icon.Height, 0, nullptr, DI_NORMAL);
    DrawLine(dc, text, layout_.Head1, head1_, black);
    DrawLine(dc, text, layout_.Head2, head2_, black);
    if (logo_) {
        HDC memory = ::CreateCompatibleDC(dc);
        HGDIOBJ old = ::SelectObject(memory, logo_.get());
        ::BitBlt(dc, layout_.Logo.Left, layout_.Logo.Top, layout_.Logo.Width, layout_.Logo.Height,
                 memory, 0, 0, SRCCOPY);
        ::SelectObject(memory, old);
        ::DeleteDC(memory);
    }
    DrawLine(dc, text, layout_.Instit, instit_, black);
    DrawLine(dc, text, layout_.Copyright, copyright_, black);
    DrawLine(dc, text, layout_.WWW, www_, LinkColour);
    DrawLine(dc, text, layout_.EMail, email_, LinkColour);
    DrawLine(dc, small, layout_.WindowsLine, windows_, black);
    DrawLine(dc, small, layout_.DateLine, date_, black);
    ::SelectObject(dc, oldFont);
}

int AboutWindow::Run() {
    struct Cleanup {
        AboutWindow& w;
        ~Cleanup() {
            if (w.wnd_) ::DestroyWindow(w.wnd_);
        }
    } cleanup{*this};
    Build();
    const int result = loop_.Run(wnd_, owner_);
    ::DestroyWindow(wnd_);
    wnd_ = nullptr;
    ReleaseLogo();
    return result;
}

} // namespace

TAbout::TAbout() {
    const std::string program = ProgramFile();
    const int32_t date = FileDosDate(program);
    const int32_t now = date != -1 ? date : DosDateNow();
    programYear_ = static_cast<int>((static_cast<uint32_t>(now) >> 25) & 0x7F) + 1980;
    SetInstit(AboutDefaultInstit);
    SetCopyright(AboutDefaultCopyright);
    WWW = AboutDefaultWWW;
    eMail = std::string(AboutDefaultEMailAddress) + "?subject=" + FileNameWithoutExtension(program);
    VersionDate = FileTimeText(program);
    Caption = FormText("TAbout", "Caption", "Info");
    helpBtnText = FormText("TAbout", "helpBtnText", "&Hilfe");
}

void TAbout::SetCopyright(const std::string& value) {
    copyright_ = ApplyCopyrightRule(value, programYear_);
}

void TAbout::SetInstit(const std::string& value) {
    instit_ = CutText(value, 80);
}

bool TAbout::Execute(HWND owner) {
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&controls);
    AboutWindow window(*this, owner);
    return window.Run() == 1;
}

} // namespace setup::win
