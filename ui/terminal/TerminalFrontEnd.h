// The terminal front end of the Linux build: plays the installer window's
// part of a run on the terminal (caption, hint, target folder, progress bar,
// status and file lines, Ctrl-C as Cancel, the end-of-run report).
#pragma once

#include <string>

namespace setup {

struct FrontEndOptions {
    // Nobody is at the screen: the install button is pressed at once and the
    // program ends with the run.
    bool unattended = false;
    // Target folder of the main script (Windows form); empty = the default.
    std::string targetDir;
};

// Runs the installer window for the script (Windows form, existing file) and
// returns the exit status of its last run (TInstallerController::
// RunExitStatus: 0, 3 or 1). modalResult receives the window's modal
// result. Logs CAPTION, HINT, TARGET, STATUS and ERROR lines; the caller
// writes RESULT.
int RunTerminalFrontEnd(const std::string& scriptPath, const FrontEndOptions& options,
                        int* modalResult = nullptr);

} // namespace setup
