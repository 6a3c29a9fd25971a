// The drawing side of an installer window: what the controller
// (ui/InstallerController.h) tells its view. The terminal front end and the
// Win32 window are views; neither holds logic of its own beyond drawing.
#pragma once

#include <cstdint>
#include <string>

#include "common/Messages.h"

namespace setup {

class TInstallerController;

class InstallerView {
  public:
    virtual ~InstallerView() = default;

    // The window's handle as the owner of message boxes.
    virtual Owner WindowHandle() const = 0;

    // Something the window shows changed; the controller holds the new state.
    virtual void CaptionChanged() {}
    virtual void HintChanged() {}
    virtual void TargetFolderChanged() {}
    // The status line (LabelProgress) and the file line (LabelFileNames);
    // both are to be redrawn at once.
    virtual void StatusChanged() {}
    virtual void FileNameChanged() {}
    virtual void ProgressChanged() {}
    // Visibility or enabled state of the progress bar and the buttons.
    virtual void ControlsChanged() {}

    // The window closes itself with this modal result (1 OK, 2 Cancel).
    virtual void CloseWindow(int modalResult) = 0;
    // Shows a nested installer window for a sub-project modally over this one
    // and returns its modal result.
    virtual int ShowSubWindowModal(TInstallerController& sub) = 0;
    // The application is to end (after the 8.3 question).
    virtual void TerminateApplication() = 0;

    // The [StopRun] exchange: registers messageName as a window message, posts
    // it to all top-level windows and returns its id (0 when not possible).
    virtual uint32_t BroadcastStopRun(const std::string& messageName) {
        (void)messageName;
        return 0;
    }
    // Starts a program that the StopRun exchange stopped (its command line).
    virtual void RestartProgram(const std::string& commandLine) { (void)commandLine; }
};

} // namespace setup
