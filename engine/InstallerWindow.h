// What the installation engine needs of the window that owns it. The window's
// controller (ui/InstallerController.h) implements it; the engine never draws.
#pragma once

#include <string>

#include "common/Messages.h"

namespace setup {

// The lines of the window's hint area: at the end of a run with talk 2 the
// engine replaces them with the list of copied files.
class TReportLines {
  public:
    virtual ~TReportLines() = default;
    virtual void SetText(const std::string& text) = 0;
    virtual std::string Text() const = 0;
};

class InstallerWindow {
  public:
    virtual ~InstallerWindow() = default;

    // The window as the owner of message boxes (its title is the caption).
    virtual Owner Handle() const = 0;
    virtual std::string Caption() const = 0;

    // Runs the sub-project scriptPath in a nested installer window of its own
    // (own copier, own engine), shown modally over this one. summary: the
    // nested window reports with talk 2 by default. Returns the nested
    // window's modal result (1 = installed).
    virtual int RunSubProjectWindow(const std::string& scriptPath, bool summary) = 0;

    // Ends the application after the current handler (the 8.3 question).
    virtual void TerminateApplication() = 0;
};

} // namespace setup
