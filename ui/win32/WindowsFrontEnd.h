// The Windows program's windows: the hidden start form TForm1 that owns the
// message loop and the program's lifetime, and the installer window of the
// main script shown from it.
#pragma once

#include <string>

namespace setup::win {

// Runs the installer window for the script (Windows form, existing file) and
// returns the exit status of its last run (TInstallerController::
// RunExitStatus: 0, 3 or 1); modalResult receives the window's modal
// result. unattended: no window is shown, the install button is pressed at
// once and the program ends with the run. targetDir (empty = the script's
// default) replaces the target folder.
int RunWindowsFrontEnd(const std::string& scriptPath, bool unattended, const std::string& targetDir,
                       int* modalResult = nullptr);

} // namespace setup::win
