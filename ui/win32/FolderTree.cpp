#include "ui/win32/FolderTree.h"

#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>

#include "platform/FileSystem.h"

namespace setup::win {

namespace {

using plat::win::narrow;
using plat::win::widen;

bool SameName(const std::wstring& a, const std::wstring& b) {
    return ::CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                                  static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

// The sub-folders of folder, sorted by name without regard to case; folders
// that are both hidden and system (the system's own) are left out.
std::vector<std::wstring> SubFolders(const std::wstring& folder, bool firstOnly = false) {
    std::vector<std::wstring> names;
    plat::win::CriticalErrorsSilenced silenced;
    WIN32_FIND_DATAW data;
    plat::win::FindHandle find(::FindFirstFileExW((WithBackslash(folder) + L"*").c_str(),
                                                  FindExInfoBasic, &data,
                                                  FindExSearchLimitToDirectories, nullptr, 0));
    if (!find) return names;
    constexpr DWORD systemOwn = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    do {
        const std::wstring name = data.cFileName;
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || name == L"." || name == L"..")
            continue;
        if ((data.dwFileAttributes & systemOwn) == systemOwn) continue;
        names.push_back(name);
        if (firstOnly) break;
    } while (::FindNextFileW(find.get(), &data));
    std::sort(names.begin(), names.end(), [](const std::wstring& a, const std::wstring& b) {
        return ::CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_LESS_THAN;
    });
    return names;
}

} // namespace

std::wstring WithBackslash(const std::wstring& path) {
    return !path.empty() && path.back() == L'\\' ? path : path + L'\\';
}

void FolderTree::Attach(HWND tree) {
    tree_ = tree;
    // Folder icons from the system's image list.
    SHFILEINFOW info{};
    systemImages_ = reinterpret_cast<HIMAGELIST>(
        ::SHGetFileInfoW(L"C:\\", FILE_ATTRIBUTE_DIRECTORY, &info, sizeof(info),
                         SHGFI_SYSICONINDEX | SHGFI_SMALLICON | SHGFI_USEFILEATTRIBUTES));
    if (systemImages_) TreeView_SetImageList(tree_, systemImages_, TVSIL_NORMAL);

    // The computer node, opened on its drives.
    std::wstring computer = L"Computer";
    int computerIcon = 0;
    LPITEMIDLIST pidl = nullptr;
    if (SUCCEEDED(::SHGetSpecialFolderLocation(nullptr, CSIDL_DRIVES, &pidl)) && pidl) {
        SHFILEINFOW drives{};
        if (::SHGetFileInfoW(reinterpret_cast<LPCWSTR>(pidl), 0, &drives, sizeof(drives),
                             SHGFI_PIDL | SHGFI_DISPLAYNAME | SHGFI_SYSICONINDEX |
                                 SHGFI_SMALLICON)) {
            if (drives.szDisplayName[0]) computer = drives.szDisplayName;
            computerIcon = drives.iIcon;
        }
        ::CoTaskMemFree(pidl);
    }
    HTREEITEM root = Insert(TVI_ROOT, std::wstring(), computer, true, computerIcon, computerIcon);
    TreeView_Expand(tree_, root, TVE_EXPAND);
    TreeView_SelectItem(tree_, root);
}

FolderTree::Node* FolderTree::NodeOf(HTREEITEM item) const {
    TVITEMW tv{};
    tv.mask = TVIF_PARAM;
    tv.hItem = item;
    if (!item || !TreeView_GetItem(tree_, &tv)) return nullptr;
    return reinterpret_cast<Node*>(tv.lParam);
}

HTREEITEM FolderTree::AddItem(HTREEITEM parent, const std::wstring& path, const std::wstring& text,
                              bool drive) {
    int icon = 0, openIcon = 0;
    SHFILEINFOW info{};
    if (drive) {
        plat::win::CriticalErrorsSilenced silenced;
        if (::SHGetFileInfoW(path.c_str(), 0, &info, sizeof(info),
                             SHGFI_SYSICONINDEX | SHGFI_SMALLICON))
            icon = openIcon = info.iIcon;
    } else {
        // Every folder gets the standard folder icons: asking the shell for
        // each folder's own icon would read every folder of a long list.
        if (!folderIconKnown_) {
            const UINT flags = SHGFI_SYSICONINDEX | SHGFI_SMALLICON | SHGFI_USEFILEATTRIBUTES;
            if (::SHGetFileInfoW(L"folder", FILE_ATTRIBUTE_DIRECTORY, &info, sizeof(info), flags))
                folderIcon_ = info.iIcon;
            if (::SHGetFileInfoW(L"folder", FILE_ATTRIBUTE_DIRECTORY, &info, sizeof(info),
                                 flags | SHGFI_OPENICON))
                folderOpenIcon_ = info.iIcon;
            folderIconKnown_ = true;
        }
        icon = folderIcon_;
        openIcon = folderOpenIcon_;
    }
    // Drives are not searched before they are opened (a floppy or an empty
    // card reader would be asked); a folder shows a button only when it has
    // sub-folders.
    const bool hasChildren = drive || !SubFolders(path, true).empty();
    return Insert(parent, path, text, hasChildren, icon, openIcon);
}

HTREEITEM FolderTree::Insert(HTREEITEM parent, const std::wstring& path, std::wstring text,
                             bool hasChildren, int icon, int openIcon) {
    nodes_.push_back(std::make_unique<Node>(Node{path, false}));
    TVINSERTSTRUCTW insert{};
    insert.hParent = parent;
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask = TVIF_TEXT | TVIF_PARAM | TVIF_CHILDREN | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
    insert.item.pszText = text.data();
    insert.item.lParam = reinterpret_cast<LPARAM>(nodes_.back().get());
    insert.item.cChildren = hasChildren ? 1 : 0;
    insert.item.iImage = icon;
    insert.item.iSelectedImage = openIcon;
    return TreeView_InsertItem(tree_, &insert);
}

void FolderTree::Populate(HTREEITEM item) {
    Node* node = NodeOf(item);
    if (!node || node->populated) return;
    node->populated = true;
    ::SendMessageW(tree_, WM_SETREDRAW, FALSE, 0);
    if (node->path.empty()) {
        wchar_t drives[512] = {};
        const DWORD length = ::GetLogicalDriveStringsW(511, drives);
        for (const wchar_t* d = drives; length && length < 512 && *d; d += wcslen(d) + 1) {
            const std::wstring root = d;
            std::wstring text = root.substr(0, 2);
            SHFILEINFOW info{};
            plat::win::CriticalErrorsSilenced silenced;
            if (::SHGetFileInfoW(root.c_str(), 0, &info, sizeof(info), SHGFI_DISPLAYNAME) &&
                info.szDisplayName[0])
                text = info.szDisplayName;
            AddItem(item, root, text, true);
        }
    } else {
        for (const std::wstring& name : SubFolders(node->path))
            AddItem(item, WithBackslash(node->path) + name, name, false);
    }
    if (!TreeView_GetChild(tree_, item)) {
        TVITEMW tv{};
        tv.mask = TVIF_CHILDREN;
        tv.hItem = item;
        tv.cChildren = 0;
        TreeView_SetItem(tree_, &tv);
    }
    ::SendMessageW(tree_, WM_SETREDRAW, TRUE, 0);
}

HTREEITEM FolderTree::FindChild(HTREEITEM parent, const std::wstring& name) {
    Populate(parent);
    for (HTREEITEM child = TreeView_GetChild(tree_, parent); child;
         child = TreeView_GetNextSibling(tree_, child)) {
        const Node* node = NodeOf(child);
        if (!node) continue;
        std::wstring childName = node->path;
        if (!childName.empty() && childName.back() == L'\\') childName.pop_back();
        childName = childName.substr(childName.find_last_of(L'\\') + 1);
        if (SameName(childName, name)) return child;
    }
    return nullptr;
}

bool FolderTree::SelectFolder(const std::string& path) {
    const std::wstring wide = widen(path);
    if (wide.size() < 2 || wide[1] != L':') return false;
    HTREEITEM item = TreeView_GetRoot(tree_);
    item = FindChild(item, wide.substr(0, 2));
    if (!item) return false;
    std::size_t start = 3;
    while (start < wide.size()) {
        std::size_t end = wide.find(L'\\', start);
        if (end == std::wstring::npos) end = wide.size();
        const std::wstring name = wide.substr(start, end - start);
        start = end + 1;
        if (name.empty()) continue;
        HTREEITEM child = FindChild(item, name);
        if (!child) {
            // A folder the listing leaves out (hidden and system) is still
            // shown when it is asked for.
            const Node* parent = NodeOf(item);
            const std::wstring childPath = WithBackslash(parent->path) + name;
            if (!plat::folderExists(narrow(childPath))) return false;
            child = AddItem(item, childPath, name, false);
        }
        item = child;
    }
    TreeView_SelectItem(tree_, item);
    TreeView_EnsureVisible(tree_, item);
    return true;
}

std::wstring FolderTree::SelectedPath() const {
    const Node* node = NodeOf(TreeView_GetSelection(tree_));
    return node ? node->path : std::wstring();
}

void FolderTree::Collapse(HTREEITEM item, Node& node, bool hasChildren) {
    TreeView_Expand(tree_, item, TVE_COLLAPSE | TVE_COLLAPSERESET);
    node.populated = false;
    TVITEMW tv{};
    tv.mask = TVIF_CHILDREN;
    tv.hItem = item;
    tv.cChildren = hasChildren ? 1 : 0;
    TreeView_SetItem(tree_, &tv);
}

void FolderTree::RefreshSelected() {
    HTREEITEM item = TreeView_GetSelection(tree_);
    Node* node = NodeOf(item);
    if (!node) return;
    Collapse(item, *node, true);
}

void FolderTree::SelectChild(const std::wstring& name) {
    HTREEITEM item = TreeView_GetSelection(tree_);
    if (!item) return;
    TreeView_Expand(tree_, item, TVE_EXPAND);
    if (HTREEITEM child = FindChild(item, name)) {
        TreeView_SelectItem(tree_, child);
        TreeView_EnsureVisible(tree_, child);
    }
}

bool FolderTree::Renamable(HTREEITEM item) const {
    const Node* node = NodeOf(item);
    return node && !node->path.empty() && node->path.back() != L'\\';
}

bool FolderTree::Rename(HTREEITEM item, const wchar_t* text) {
    Node* node = NodeOf(item);
    if (!node || !text || !text[0]) return false;
    const std::wstring name = text;
    const std::wstring parent = node->path.substr(0, node->path.find_last_of(L'\\') + 1);
    const std::wstring renamed = parent + name;
    if (renamed == node->path) return false;
    if (!::MoveFileW(node->path.c_str(), renamed.c_str())) return false;
    node->path = renamed;
    // The sub-folders' paths changed with it: they are listed anew when opened.
    Collapse(item, *node, !SubFolders(renamed, true).empty());
    return true;
}

} // namespace setup::win
