// The folder chooser: TDirDlg asks for a folder in a modal window,
// TFormDirSel, that shows the drives and folders below the computer node, the
// selected path above the tree and a panel for creating a new folder. The
// component keeps the window's size and position and the chosen folder
// between calls.
#pragma once

#include <string>

#include "platform/win32/WindowsSupport.h"

namespace setup::win {

class TDirDlg {
  public:
    // In: the folder to preselect (the nearest existing ancestor is shown when
    // it does not exist). Out: the folder selected when the window closed,
    // with a trailing backslash, also after Cancel.
    std::string Directory;
    std::string Caption;
    // Font size in points; 0 = the system's dialog size.
    int FontSize = 0;
    // Outer size of the window in pixels, updated after each call.
    int Height = 400;
    int Width = 350;
    bool NewFolderVisible = true;
    // Outer position of the window when it last closed.
    int Left = 0;
    int Top = 0;

    // Shows the window modally over owner (may be null); true when the user
    // closed it with OK.
    bool Execute(HWND owner);
};

} // namespace setup::win
