// The tree of the folder chooser: the computer node, its drives and the
// folders below them, each listed the first time its node is opened. Every
// item knows the path it stands for; the tree selects a path, creates room
// for a new sub-folder and renames a folder in place.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/win32/WindowsSupport.h"

#include <commctrl.h>

namespace setup::win {

// path with one trailing backslash.
std::wstring WithBackslash(const std::wstring& path);

class FolderTree {
  public:
    FolderTree() = default;
    FolderTree(const FolderTree&) = delete;
    FolderTree& operator=(const FolderTree&) = delete;

    // Takes over a tree-view control: the system's small icons, and the
    // computer node, opened on its drives and selected.
    void Attach(HWND tree);

    // Lists the sub-folders of item the first time it is opened.
    void Populate(HTREEITEM item);
    // Selects a folder ("C:\a\b") node by node; false when a part is missing.
    bool SelectFolder(const std::string& path);
    // The selected folder without a trailing backslash (except at a drive
    // root); empty for the computer node.
    std::wstring SelectedPath() const;
    // Closes the selected node, so that it lists its sub-folders anew.
    void RefreshSelected();
    // Opens the selected node and selects its sub-folder name.
    void SelectChild(const std::wstring& name);

    // The computer and the drives cannot be renamed.
    bool Renamable(HTREEITEM item) const;
    // Renames the folder of item to name (in the same parent folder); false
    // when nothing was renamed.
    bool Rename(HTREEITEM item, const wchar_t* name);

    // The system's small icons and the folder icon's index in them (0 until
    // the first folder is listed).
    HIMAGELIST Images() const { return systemImages_; }
    int FolderIcon() const { return folderIcon_; }

  private:
    // What a tree item stands for: a folder or drive, or the computer (no path).
    struct Node {
        std::wstring path; // no trailing backslash except at a drive root
        bool populated = false;
    };

    // A folder or drive below parent, with the shell's icons.
    HTREEITEM AddItem(HTREEITEM parent, const std::wstring& path, const std::wstring& text,
                      bool drive);
    // An item for path (empty: the computer) with its node, last below parent.
    HTREEITEM Insert(HTREEITEM parent, const std::wstring& path, std::wstring text,
                     bool hasChildren, int icon, int openIcon);
    Node* NodeOf(HTREEITEM item) const;
    HTREEITEM FindChild(HTREEITEM parent, const std::wstring& name);
    // Lets item show its button again and list its sub-folders when opened.
    void Collapse(HTREEITEM item, Node& node, bool hasChildren);

    HWND tree_ = nullptr;
    HIMAGELIST systemImages_ = nullptr;
    bool folderIconKnown_ = false;
    int folderIcon_ = 0, folderOpenIcon_ = 0;
    std::vector<std::unique_ptr<Node>> nodes_;
};

} // namespace setup::win
