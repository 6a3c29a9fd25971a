#include "ui/win32/FormSubProjParts.h"

#include <commctrl.h>

#include "ui/Language.h"
#include "ui/win32/Layout.h"
#include "ui/win32/Resources.h"

namespace setup::win {

namespace {

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

// Where the labels are drawn (index LabelIndex).
struct LabelPlace {
    int left, top, width, height; // width 0: as wide as its text
    bool smallFont;
};
constexpr LabelPlace kLabels[LabelCount] = {{24, 24, 0, 24, false},
                                            {24, 72, 0, 24, false},
                                            {24, 152, 0, 14, true},
                                            {24, 168, 617, 14, true}};

} // namespace

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

    res_->folder = LoadButtonGlyph(IDI_FOLDER, S(20));
    res_->install = LoadButtonGlyph(IDI_INSTALL, S(20));
    res_->ok = LoadButtonGlyph(IDI_OK, S(20));
    res_->cancel = LoadButtonGlyph(IDI_CANCEL, S(20));
    res_->aboutProject = LoadButtonGlyph(IDI_INFO_PROJECT, S(24));
    res_->aboutSetup = LoadButtonGlyph(IDI_INFO_SETUP, S(24));
    SetButtonGlyph(buttonTarget_, res_->folder);
    SetButtonGlyph(buttonInstall_, res_->install);
    SetButtonGlyph(buttonOk_, res_->ok);
    SetButtonGlyph(buttonCancel_, res_->cancel);
    SetButtonGlyph(buttonAboutProject_, res_->aboutProject);
    SetButtonGlyph(buttonAboutSetup_, res_->aboutSetup);

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

} // namespace setup::win
