#include "platform/Dialogs.h"

#include <algorithm>

#include "platform/win32/WindowsSupport.h"

namespace plat {
namespace {

constexpr WORD kTextId = 100;
constexpr WORD kIconId = 101;
constexpr WORD kFirstButtonId = 1000;

// An in-memory dialog template (DLGTEMPLATE and DLGITEMTEMPLATE records).
// Positions are placeholders: the dialog lays itself out in pixels once it
// knows its font.
class DialogTemplate {
  public:
    DialogTemplate(const std::wstring& title, WORD itemCount) {
        dword(DS_SETFONT | DS_MODALFRAME | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU);
        dword(0);
        word(itemCount);
        rect();
        word(0); // no menu
        word(0); // standard dialog class
        text(title);
        word(8);
        text(L"MS Shell Dlg");
    }

    void item(DWORD style, WORD id, WORD classAtom, const std::wstring& title) {
        if (words_.size() % 2) word(0); // items start on a DWORD boundary
        dword(style | WS_CHILD | WS_VISIBLE);
        dword(0);
        rect();
        word(id);
        word(0xFFFF);
        word(classAtom);
        text(title);
        word(0); // no creation data
    }

    const DLGTEMPLATE* get() const { return reinterpret_cast<const DLGTEMPLATE*>(words_.data()); }

  private:
    void word(WORD w) { words_.push_back(w); }
    void dword(DWORD d) {
        word(LOWORD(d));
        word(HIWORD(d));
    }
    void rect() {
        for (int i = 0; i < 4; ++i)
            word(i < 2 ? 0 : 10);
    }
    void text(const std::wstring& s) {
        for (wchar_t c : s)
            word(static_cast<WORD>(c));
        word(0);
    }

    std::vector<WORD> words_; // vector storage is suitably aligned for DWORDs
};

constexpr WORD kButtonClass = 0x0080;
constexpr WORD kStaticClass = 0x0082;

struct DialogState {
    std::wstring text;
    bool questionIcon;
    const std::vector<DialogButton>* buttons;
    int cancelId;
};

// Message texts break lines with a single CR; controls want CR LF.
std::wstring withCrLf(const std::wstring& text) {
    std::wstring out;
    for (size_t i = 0; i < text.size(); ++i) {
        out += text[i];
        if (text[i] == L'\r' && (i + 1 >= text.size() || text[i + 1] != L'\n')) out += L'\n';
    }
    return out;
}

SIZE measure(HDC dc, const std::wstring& text, int maxWidth, UINT format) {
    RECT r{0, 0, maxWidth, 0};
    ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, format | DT_CALCRECT);
    return SIZE{r.right - r.left, r.bottom - r.top};
}

void layout(HWND dlg, const DialogState& state) {
    // Dialog units -> pixels for this font: margin, button size, gaps.
    RECT units{7, 14, 50, 14};
    ::MapDialogRect(dlg, &units);
    const int margin = units.left;
    const int buttonHeight = units.bottom;
    const int minButtonWidth = units.right;
    RECT gapUnits{4, 0, 0, 0};
    ::MapDialogRect(dlg, &gapUnits);
    const int gap = gapUnits.left;

    win::WindowDC dc(dlg);
    HGDIOBJ oldFont =
        ::SelectObject(dc.get(), reinterpret_cast<HGDIOBJ>(::SendMessageW(dlg, WM_GETFONT, 0, 0)));
    const int maxTextWidth = std::max(200, ::GetSystemMetrics(SM_CXSCREEN) / 2);
    SIZE textSize =
        measure(dc.get(), state.text, maxTextWidth, DT_WORDBREAK | DT_NOPREFIX | DT_EXPANDTABS);
    std::vector<int> widths;
    int buttonsWidth = 0;
    for (const DialogButton& b : *state.buttons) {
        SIZE s = measure(dc.get(), win::widen(b.label), 1000, DT_SINGLELINE);
        widths.push_back(std::max(minButtonWidth, static_cast<int>(s.cx) + 2 * margin));
        buttonsWidth += widths.back();
    }
    if (!widths.empty()) buttonsWidth += gap * static_cast<int>(widths.size() - 1);
    ::SelectObject(dc.get(), oldFont);

    const int iconSize = state.questionIcon ? ::GetSystemMetrics(SM_CXICON) : 0;
    const int textX = margin + (state.questionIcon ? iconSize + margin : 0);
    const int bodyHeight = std::max(static_cast<int>(textSize.cy), iconSize);
    const int clientWidth =
        std::max(textX + static_cast<int>(textSize.cx) + margin, buttonsWidth + 2 * margin);
    const int buttonsY = margin + bodyHeight + margin;
    const int clientHeight = buttonsY + buttonHeight + margin;

    if (state.questionIcon)
        ::MoveWindow(::GetDlgItem(dlg, kIconId), margin, margin, iconSize, iconSize, FALSE);
    ::MoveWindow(::GetDlgItem(dlg, kTextId), textX, margin + (bodyHeight - textSize.cy) / 2,
                 textSize.cx, textSize.cy, FALSE);
    int x = (clientWidth - buttonsWidth) / 2;
    for (size_t i = 0; i < widths.size(); ++i) {
        ::MoveWindow(::GetDlgItem(dlg, static_cast<int>(kFirstButtonId + i)), x, buttonsY,
                     widths[i], buttonHeight, FALSE);
        x += widths[i] + gap;
    }

    RECT frame{0, 0, clientWidth, clientHeight};
    ::AdjustWindowRectEx(&frame, static_cast<DWORD>(::GetWindowLongW(dlg, GWL_STYLE)), FALSE,
                         static_cast<DWORD>(::GetWindowLongW(dlg, GWL_EXSTYLE)));
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    ::SetWindowPos(dlg, nullptr, (::GetSystemMetrics(SM_CXSCREEN) - width) / 2,
                   (::GetSystemMetrics(SM_CYSCREEN) - height) / 2, width, height,
                   SWP_NOZORDER | SWP_NOACTIVATE);
}

INT_PTR CALLBACK dialogProc(HWND dlg, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* state = reinterpret_cast<DialogState*>(::GetWindowLongPtrW(dlg, GWLP_USERDATA));
    switch (message) {
    case WM_INITDIALOG: {
        state = reinterpret_cast<DialogState*>(lParam);
        ::SetWindowLongPtrW(dlg, GWLP_USERDATA, lParam);
        if (state->questionIcon)
            ::SendDlgItemMessageW(dlg, kIconId, STM_SETICON,
                                  reinterpret_cast<WPARAM>(::LoadIconW(nullptr, IDI_QUESTION)), 0);
        layout(dlg, *state);
        if (!state->buttons->empty()) {
            ::SendMessageW(dlg, DM_SETDEFID, kFirstButtonId, 0);
            ::SetFocus(::GetDlgItem(dlg, kFirstButtonId));
        }
        return FALSE; // focus is set
    }
    case WM_COMMAND: {
        if (!state) return FALSE;
        const int id = LOWORD(wParam);
        const int count = static_cast<int>(state->buttons->size());
        if (id >= kFirstButtonId && id < kFirstButtonId + count) {
            ::EndDialog(dlg, (*state->buttons)[id - kFirstButtonId].id);
            return TRUE;
        }
        if (id == IDOK && count > 0) {
            ::EndDialog(dlg, state->buttons->front().id);
            return TRUE;
        }
        if (id == IDCANCEL) {
            ::EndDialog(dlg, state->cancelId);
            return TRUE;
        }
        return FALSE;
    }
    case WM_CLOSE:
        if (state) ::EndDialog(dlg, state->cancelId);
        return TRUE;
    }
    return FALSE;
}

} // namespace

int messageBox(uintptr_t owner, const std::string& text, const std::string& caption,
               uint32_t flags) {
    return ::MessageBoxW(reinterpret_cast<HWND>(owner), win::widen(text).c_str(),
                         win::widen(caption).c_str(), flags);
}

int buttonDialog(const std::string& title, const std::string& text, bool questionIcon,
                 const std::vector<DialogButton>& buttons, int cancelId) {
    DialogState state{withCrLf(win::widen(text)), questionIcon, &buttons, cancelId};
    const WORD itemCount = static_cast<WORD>(1 + (questionIcon ? 1 : 0) + buttons.size());
    DialogTemplate tmpl(win::widen(title), itemCount);
    tmpl.item(SS_LEFT | SS_NOPREFIX, kTextId, kStaticClass, state.text);
    if (questionIcon) tmpl.item(SS_ICON, kIconId, kStaticClass, L"");
    for (size_t i = 0; i < buttons.size(); ++i) {
        DWORD style = WS_TABSTOP | (i == 0 ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
        if (i == 0) style |= WS_GROUP;
        tmpl.item(style, static_cast<WORD>(kFirstButtonId + i), kButtonClass,
                  win::widen(buttons[i].label));
    }
    INT_PTR result =
        ::DialogBoxIndirectParamW(::GetModuleHandleW(nullptr), tmpl.get(), ::GetActiveWindow(),
                                  dialogProc, reinterpret_cast<LPARAM>(&state));
    // Could not be shown: the safe answer is the one closing would give.
    if (result == -1 || result == 0) return cancelId;
    return static_cast<int>(result);
}

bool canAskPerson() {
    return true;
}

} // namespace plat
