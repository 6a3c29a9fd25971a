#include "ui/win32/FolderDialog.h"

#include <commctrl.h>
#include <objbase.h>

#include <algorithm>

#include "common/Error.h"
#include "common/Messages.h"
#include "platform/FileSystem.h"
#include "ui/FolderPath.h"
#include "ui/Language.h"
#include "ui/win32/FolderTree.h"
#include "ui/win32/ModalWindow.h"
#include "ui/win32/Resources.h"

namespace setup::win {

namespace {

using plat::win::narrow;
using plat::win::widen;

// Control identifiers.
enum : int {
    IdTree = 100,
    IdOk = 101,
    IdCancel = 102,
    IdNewFolderButton = 103,
    IdNewFolderEdit = 104,
    IdMenuNewFolder = 105,
};

// Design sizes at 96 dpi.
constexpr int DesignWidth = 471, DesignHeight = 281;
constexpr int MinWidth = 471, MinHeight = 280;
constexpr int Panel1Height = 33, Panel2Height = 51;
constexpr int ButtonWidth = 132, ButtonHeight = 25;
constexpr int SpeedWidth = 23, SpeedHeight = 22;
constexpr int PanelNewFolderWidth = 426;

struct MenuTraits {
    using Handle = HMENU;
    static Handle invalid() { return nullptr; }
    static bool valid(Handle h) { return h != nullptr; }
    static void close(Handle h) { ::DestroyMenu(h); }
};
using MenuHandle = plat::win::ScopedHandle<MenuTraits>;

// Balances a successful CoInitializeEx.
class ComScope {
  public:
    ComScope() : ok_(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
    ~ComScope() {
        if (ok_) ::CoUninitialize();
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;

  private:
    bool ok_;
};

// A window that holds controls and passes their messages to its parent: the
// new-folder panel.
LRESULT CALLBACK PanelProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
        return ::SendMessageW(::GetParent(wnd), msg, wp, lp);
    }
    return ::DefWindowProcW(wnd, msg, wp, lp);
}

} // namespace

// The window of one TDirDlg::Execute.
class TFormDirSel {
  public:
    TFormDirSel(TDirDlg& dlg, HWND owner) : dlg_(dlg), owner_(owner) {}
    ~TFormDirSel() {
        if (wnd_) ::DestroyWindow(wnd_);
    }
    TFormDirSel(const TFormDirSel&) = delete;
    TFormDirSel& operator=(const TFormDirSel&) = delete;

    bool Execute();

  private:
    static LRESULT CALLBACK Proc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp);
    static LRESULT CALLBACK EditProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id,
                                     DWORD_PTR self);
    LRESULT Handle(UINT msg, WPARAM wp, LPARAM lp);
    LRESULT OnNotify(NMHDR* header);
    void Create();
    void Layout();
    int Px(int n) const { return ScaleToDpi(n, dpi_); }
    int MinTrackWidth() const;

    // The handlers of the form.
    void FormActivate();
    void ShellTreeView1Change();
    void SpeedButton1Click();
    void EditNewFolderEnter();
    void EditNewFolderEscape();
    void EditNewFolderExit();
    void ContextMenuNewFolder();
    bool BeginLabelEdit(NMTVDISPINFOW* info);
    bool EndLabelEdit(NMTVDISPINFOW* info);
    void SetButtonRoles(bool active);
    void HideNewFolderPanel();
    void DrawSpeedButton(const DRAWITEMSTRUCT* item);

    TDirDlg& dlg_;
    HWND owner_;
    HWND wnd_ = nullptr;
    HWND labelDirectory_ = nullptr, tree_ = nullptr, speedButton1_ = nullptr;
    HWND panelNewFolder_ = nullptr, labelNewFolder_ = nullptr, editNewFolder_ = nullptr;
    HWND bitBtnCancel_ = nullptr, bitBtnOk_ = nullptr, tips_ = nullptr;
    GdiObject font_;
    GlyphIcon okGlyph_, cancelGlyph_;
    MenuHandle contextMenu_;
    ModalLoop loop_;
    int dpi_ = 96;
    bool buttonRoles_ = true; // OK is the default button, Cancel the cancel button
    bool extras_ = false;     // context menu and label editing installed
    bool activated_ = false;
    FolderTree folders_;
};

LRESULT CALLBACK TFormDirSel::Proc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
        auto* self =
            static_cast<TFormDirSel*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
        ::SetWindowLongPtrW(wnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        self->wnd_ = wnd;
    }
    auto* self = reinterpret_cast<TFormDirSel*>(::GetWindowLongPtrW(wnd, GWLP_USERDATA));
    if (self) return self->Handle(msg, wp, lp);
    return ::DefWindowProcW(wnd, msg, wp, lp);
}

LRESULT CALLBACK TFormDirSel::EditProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR,
                                       DWORD_PTR data) {
    auto* self = reinterpret_cast<TFormDirSel*>(data);
    switch (msg) {
    case WM_GETDLGCODE:
        // Enter and Esc belong to the field while the panel is open.
        return ::DefSubclassProc(wnd, msg, wp, lp) | DLGC_WANTALLKEYS;
    case WM_CHAR:
        if (wp == VK_RETURN) {
            self->EditNewFolderEnter();
            return 0;
        }
        if (wp == VK_ESCAPE) {
            self->EditNewFolderEscape();
            return 0;
        }
        break;
    }
    return ::DefSubclassProc(wnd, msg, wp, lp);
}

LRESULT TFormDirSel::Handle(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_SIZE:
        Layout();
        return 0;
    case WM_GETMINMAXINFO: {
        auto* info = reinterpret_cast<MINMAXINFO*>(lp);
        info->ptMinTrackSize.x = MinTrackWidth();
        info->ptMinTrackSize.y = Px(std::max(MinHeight, 200));
        return 0;
    }
    case WM_ACTIVATE:
        if (LOWORD(wp) != WA_INACTIVE && !activated_) {
            activated_ = true;
            FormActivate();
        }
        break;
    case DM_GETDEFID:
        return buttonRoles_ ? MAKELRESULT(IdOk, DC_HASDEFID) : 0;
    case WM_COMMAND:
        switch (LOWORD(wp)) {
        case IdOk:
            loop_.End(1);
            return 0;
        case IdCancel:
            loop_.End(2);
            return 0;
        case IDCANCEL: // Esc
            if (buttonRoles_) loop_.End(2);
            return 0;
        case IdNewFolderButton:
            SpeedButton1Click();
            return 0;
        case IdMenuNewFolder:
            ContextMenuNewFolder();
            return 0;
        case IdNewFolderEdit:
            if (HIWORD(wp) == EN_KILLFOCUS) EditNewFolderExit();
            return 0;
        }
        return 0;
    case WM_NOTIFY:
        return OnNotify(reinterpret_cast<NMHDR*>(lp));
    case WM_CONTEXTMENU:
        if (extras_ && reinterpret_cast<HWND>(wp) == tree_) {
            POINT p{static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))};
            if (p.x == -1 && p.y == -1) { // from the keyboard: at the selected item
                RECT rect{};
                HTREEITEM item = TreeView_GetSelection(tree_);
                if (item && TreeView_GetItemRect(tree_, item, &rect, TRUE)) {
                    p = POINT{rect.left, rect.bottom};
                    ::ClientToScreen(tree_, &p);
                }
            }
            ::TrackPopupMenu(::GetSubMenu(contextMenu_.get(), 0), TPM_LEFTALIGN | TPM_RIGHTBUTTON,
                             p.x, p.y, 0, wnd_, nullptr);
            return 0;
        }
        break;
    case WM_DRAWITEM:
        if (wp == IdNewFolderButton) {
            DrawSpeedButton(reinterpret_cast<DRAWITEMSTRUCT*>(lp));
            return TRUE;
        }
        break;
    case WM_CLOSE:
        loop_.End(2);
        return 0;
    }
    return ::DefWindowProcW(wnd_, msg, wp, lp);
}

LRESULT TFormDirSel::OnNotify(NMHDR* header) {
    if (header->hwndFrom != tree_) return 0;
    switch (header->code) {
    case TVN_ITEMEXPANDINGW: {
        auto* info = reinterpret_cast<NMTREEVIEWW*>(header);
        if (info->action & TVE_EXPAND) folders_.Populate(info->itemNew.hItem);
        return FALSE;
    }
    case TVN_SELCHANGEDW:
        ShellTreeView1Change();
        return 0;
    case NM_RCLICK: {
        // A right click selects the item under the mouse before the menu opens.
        TVHITTESTINFO hit{};
        ::GetCursorPos(&hit.pt);
        ::ScreenToClient(tree_, &hit.pt);
        if (HTREEITEM item = TreeView_HitTest(tree_, &hit)) TreeView_SelectItem(tree_, item);
        ::SendMessageW(wnd_, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(tree_),
                       static_cast<LPARAM>(::GetMessagePos()));
        return TRUE;
    }
    case TVN_KEYDOWN:
        // F2 renames the selected folder, as in the Explorer.
        if (extras_ && reinterpret_cast<NMTVKEYDOWN*>(header)->wVKey == VK_F2) {
            if (HTREEITEM item = TreeView_GetSelection(tree_)) TreeView_EditLabel(tree_, item);
            return TRUE;
        }
        return FALSE;
    case TVN_BEGINLABELEDITW:
        return BeginLabelEdit(reinterpret_cast<NMTVDISPINFOW*>(header));
    case TVN_ENDLABELEDITW:
        return EndLabelEdit(reinterpret_cast<NMTVDISPINFOW*>(header));
    }
    return 0;
}

int TFormDirSel::MinTrackWidth() const {
    const int buttons = 2 * ButtonWidth + SpeedWidth + 40;
    return Px(std::max(MinWidth, buttons));
}

void TFormDirSel::Create() {
    dpi_ = ScreenDpi();
    font_ = MakeDialogFont(dlg_.FontSize > 0 ? dlg_.FontSize : 8, dpi_);
    const HINSTANCE instance = ::GetModuleHandleW(nullptr);
    const DWORD style =
        WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MAXIMIZEBOX | WS_THICKFRAME | WS_CLIPCHILDREN;
    const DWORD exStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;
    ::CreateWindowExW(exStyle, RegisterDialogClass(L"SetupFolderDialog", Proc),
                      widen(dlg_.Caption).c_str(), style, 0, 0, Px(DesignWidth), Px(DesignHeight),
                      owner_, nullptr, instance, this);
    if (!wnd_) throw SetupError("Das Fenster zur Ordnerwahl kann nicht angelegt werden.");

    const auto child = [&](HWND parent, DWORD ex, const wchar_t* cls, const std::string& text,
                           DWORD childStyle, int id) {
        HWND c = ::CreateWindowExW(ex, cls, widen(text).c_str(), WS_CHILD | childStyle, 0, 0, 0, 0,
                                   parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                   instance, nullptr);
        ::SendMessageW(c, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
        return c;
    };
    labelDirectory_ =
        child(wnd_, 0, L"STATIC", "", WS_VISIBLE | SS_NOPREFIX | SS_LEFTNOWORDWRAP, -1);
    tree_ =
        child(wnd_, WS_EX_CLIENTEDGE, WC_TREEVIEWW, "",
              WS_VISIBLE | WS_TABSTOP | TVS_HASBUTTONS | TVS_HASLINES | TVS_SHOWSELALWAYS, IdTree);
    TreeView_SetIndent(tree_, Px(19));
    speedButton1_ = child(wnd_, 0, L"BUTTON", "", WS_TABSTOP | BS_OWNERDRAW, IdNewFolderButton);
    bitBtnCancel_ = child(wnd_, 0, L"BUTTON", FormText("TFormDirSel", "BitBtnCancel", "Abbrechen"),
                          WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, IdCancel);
    bitBtnOk_ = child(wnd_, 0, L"BUTTON", FormText("TFormDirSel", "BitBtnOK", "OK"),
                      WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, IdOk);
    okGlyph_ = LoadButtonGlyph(IDI_OK, Px(16));
    cancelGlyph_ = LoadButtonGlyph(IDI_CANCEL, Px(16));
    SetButtonGlyph(bitBtnOk_, okGlyph_);
    SetButtonGlyph(bitBtnCancel_, cancelGlyph_);
    panelNewFolder_ = child(wnd_, WS_EX_CLIENTEDGE | WS_EX_CONTROLPARENT,
                            RegisterDialogClass(L"SetupPanel", PanelProc), "", 0, -1);
    labelNewFolder_ = child(panelNewFolder_, 0, L"STATIC",
                            FormText("TFormDirSel", "LabelNewFolder", "Neuer Ordner:"),
                            WS_VISIBLE | SS_NOPREFIX, -1);
    editNewFolder_ = child(panelNewFolder_, WS_EX_CLIENTEDGE, L"EDIT",
                           FormText("TFormDirSel", "EditNewFolder", "neuerOrdner"),
                           WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL, IdNewFolderEdit);
    ::SetWindowSubclass(editNewFolder_, EditProc, 1, reinterpret_cast<DWORD_PTR>(this));

    tips_ = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP,
                              CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, wnd_,
                              nullptr, instance, nullptr);
    if (tips_) {
        std::wstring tip =
            widen(FormText("TFormDirSel", "SpeedButton1.Hint", "neuen Ordner anlegen"));
        TTTOOLINFOW tool{};
        tool.cbSize = TTTOOLINFOW_V2_SIZE;
        tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        tool.hwnd = wnd_;
        tool.uId = reinterpret_cast<UINT_PTR>(speedButton1_);
        tool.lpszText = tip.data();
        ::SendMessageW(tips_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    }

    folders_.Attach(tree_);
}

void TFormDirSel::Layout() {
    RECT client{};
    ::GetClientRect(wnd_, &client);
    const int w = client.right, h = client.bottom;
    const int panel2Top = h - Px(Panel2Height);
    ::MoveWindow(labelDirectory_, 0, Px(8), w, Px(16), TRUE);
    ::MoveWindow(tree_, 0, Px(Panel1Height), w, std::max(0, panel2Top - Px(Panel1Height)), TRUE);
    // Buttons keep their places at the left; the speed button keeps its
    // distance to the bottom.
    ::MoveWindow(speedButton1_, Px(5), h - Px(Panel2Height - 15), Px(SpeedWidth), Px(SpeedHeight),
                 TRUE);
    ::MoveWindow(bitBtnCancel_, Px(160), panel2Top + Px(15), Px(ButtonWidth), Px(ButtonHeight),
                 TRUE);
    ::MoveWindow(bitBtnOk_, Px(299), panel2Top + Px(15), Px(ButtonWidth), Px(ButtonHeight), TRUE);
    const int panelWidth = std::max(Px(PanelNewFolderWidth), w - Px(35 + 10));
    ::MoveWindow(panelNewFolder_, Px(35), panel2Top + Px(3), panelWidth, Px(41), TRUE);
    ::MoveWindow(labelNewFolder_, Px(8), Px(9), Px(92), Px(16), TRUE);
    ::MoveWindow(editNewFolder_, Px(102), Px(6), std::max(Px(317), panelWidth - Px(102 + 7)),
                 Px(24), TRUE);
}

void TFormDirSel::FormActivate() {
    if (dlg_.Directory.empty()) return;
    const std::string folder = NearestExistingFolder(dlg_.Directory);
    if (!folder.empty()) folders_.SelectFolder(folder);
}

void TFormDirSel::ShellTreeView1Change() {
    ::SetWindowTextW(labelDirectory_, folders_.SelectedPath().c_str());
}

void TFormDirSel::SetButtonRoles(bool active) {
    buttonRoles_ = active;
    ::SendMessageW(bitBtnOk_, BM_SETSTYLE, active ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
}

void TFormDirSel::SpeedButton1Click() {
    SetButtonRoles(false);
    ::ShowWindow(bitBtnCancel_, SW_HIDE);
    ::ShowWindow(bitBtnOk_, SW_HIDE);
    ::ShowWindow(panelNewFolder_, SW_SHOW);
    ::SetFocus(editNewFolder_);
    ::SendMessageW(editNewFolder_, EM_SETSEL, 0, -1);
}

void TFormDirSel::HideNewFolderPanel() {
    if (!::IsWindowVisible(panelNewFolder_)) return;
    ::ShowWindow(panelNewFolder_, SW_HIDE);
    ::ShowWindow(bitBtnCancel_, SW_SHOW);
    ::ShowWindow(bitBtnOk_, SW_SHOW);
}

void TFormDirSel::EditNewFolderEnter() {
    const std::wstring name = widen(WindowText(editNewFolder_));
    const std::wstring selected = folders_.SelectedPath();
    // Only a name inside a folder of the tree is created; the computer node
    // has no folder of its own.
    const bool created = !selected.empty() && !name.empty() &&
                         ::CreateDirectoryW((WithBackslash(selected) + name).c_str(), nullptr);
    if (!created) {
        PlainMessage(
            FormText("TFormDirSel", "NewFolderFailed", "Ordner konnte nicht angelegt werden"));
    } else {
        folders_.RefreshSelected();
        folders_.SelectChild(name);
        ::SetFocus(tree_);
    }
    HideNewFolderPanel();
    SetButtonRoles(true);
    if (::GetFocus() == editNewFolder_ || !::GetFocus()) ::SetFocus(tree_);
}

void TFormDirSel::EditNewFolderEscape() {
    HideNewFolderPanel();
    SetButtonRoles(true);
    ::SetFocus(tree_);
}

void TFormDirSel::EditNewFolderExit() {
    HideNewFolderPanel();
}

void TFormDirSel::ContextMenuNewFolder() {
    const std::wstring selected = folders_.SelectedPath();
    if (selected.empty()) return;
    const std::wstring name = widen(StringText(65228, "Neuer Ordner"));
    ::CreateDirectoryW((WithBackslash(selected) + name).c_str(), nullptr); // failures are silent
    folders_.RefreshSelected();
    folders_.SelectChild(name);
}

bool TFormDirSel::BeginLabelEdit(NMTVDISPINFOW* info) {
    if (!folders_.Renamable(info->item.hItem)) return TRUE;
    SetButtonRoles(false);
    return FALSE;
}

bool TFormDirSel::EndLabelEdit(NMTVDISPINFOW* info) {
    SetButtonRoles(true);
    if (!folders_.Rename(info->item.hItem, info->item.pszText)) return FALSE;
    ShellTreeView1Change();
    return TRUE;
}

void TFormDirSel::DrawSpeedButton(const DRAWITEMSTRUCT* item) {
    const RECT rect = item->rcItem;
    ::FillRect(item->hDC, &rect, ::GetSysColorBrush(COLOR_BTNFACE));
    const bool pressed = item->itemState & ODS_SELECTED;
    if (pressed)
        ::DrawEdge(item->hDC, const_cast<RECT*>(&rect), BDR_SUNKENOUTER, BF_RECT);
    else if (item->itemState & ODS_FOCUS)
        ::DrawEdge(item->hDC, const_cast<RECT*>(&rect), BDR_RAISEDINNER, BF_RECT);
    // The folder glyph with a small star in its upper right corner.
    const int size = ::GetSystemMetrics(SM_CXSMICON);
    const int x = rect.left + (rect.right - rect.left - size) / 2 + (pressed ? 1 : 0);
    const int y = rect.top + (rect.bottom - rect.top - size) / 2 + (pressed ? 1 : 0);
    if (folders_.Images())
        ImageList_Draw(folders_.Images(), folders_.FolderIcon(), item->hDC, x, y, ILD_TRANSPARENT);
    const int cx = x + size - 3, cy = y + 3, arm = std::max(2, size / 5);
    GdiObject pen(::CreatePen(PS_SOLID, std::max(1, size / 12), RGB(0, 128, 0)));
    HGDIOBJ old = ::SelectObject(item->hDC, pen.get());
    ::MoveToEx(item->hDC, cx - arm, cy, nullptr);
    ::LineTo(item->hDC, cx + arm + 1, cy);
    ::MoveToEx(item->hDC, cx, cy - arm, nullptr);
    ::LineTo(item->hDC, cx, cy + arm + 1);
    ::SelectObject(item->hDC, old);
}

bool TFormDirSel::Execute() {
    Create();
    // Step 2: the remembered size, kept within the limits, centred over the owner.
    int width = Px(DesignWidth), height = Px(DesignHeight);
    if (dlg_.Width != 0 || dlg_.Height != 0) {
        width = std::max(dlg_.Width, MinTrackWidth());
        height = std::max(dlg_.Height, Px(MinHeight));
    }
    CentreOver(wnd_, owner_, width, height);
    Layout();

    // Step 3: an existing folder is selected and may be worked on.
    if (!dlg_.Directory.empty() && plat::folderExists(dlg_.Directory)) {
        folders_.SelectFolder(NearestExistingFolder(dlg_.Directory));
        contextMenu_.reset(::CreateMenu());
        HMENU popup = ::CreatePopupMenu();
        ::AppendMenuW(popup, MF_STRING, IdMenuNewFolder,
                      widen(StringText(65227, "&Neuen Ordner anlegen")).c_str());
        ::AppendMenuW(contextMenu_.get(), MF_POPUP, reinterpret_cast<UINT_PTR>(popup), L"");
        ::SetWindowLongPtrW(tree_, GWL_STYLE,
                            ::GetWindowLongPtrW(tree_, GWL_STYLE) | TVS_EDITLABELS);
        extras_ = true;
    }
    ::ShowWindow(speedButton1_, dlg_.NewFolderVisible ? SW_SHOW : SW_HIDE);
    ShellTreeView1Change();
    ::SetFocus(tree_);

    const int result = loop_.Run(wnd_, owner_);

    WINDOWPLACEMENT placement{};
    placement.length = sizeof(placement);
    ::GetWindowPlacement(wnd_, &placement);
    const RECT& normal = placement.rcNormalPosition;
    dlg_.Left = normal.left;
    dlg_.Top = normal.top;
    dlg_.Width = normal.right - normal.left;
    dlg_.Height = normal.bottom - normal.top;
    const std::wstring selected = folders_.SelectedPath();
    if (!selected.empty()) dlg_.Directory = narrow(WithBackslash(selected));
    return result == 1;
}

bool TDirDlg::Execute(HWND owner) {
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_TREEVIEW_CLASSES | ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&controls);
    ComScope com;
    TFormDirSel form(*this, owner);
    return form.Execute();
}

} // namespace setup::win
