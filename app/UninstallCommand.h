// --uninstall[=FOLDER]: the installations recorded in FOLDER undone.
#pragma once

#include "app/CommandLine.h"

namespace setup {

// The folder to undo in Windows form: FOLDER as the platform names it (on
// Linux a path in the root's drive_x folder names drive X:, any other Linux
// path its Z: form, a Windows path stays), else programFolder.
std::string UninstallFolder(const std::string& value, const std::string& programFolder);

// Runs the uninstallation and returns the exit status: 0 undone, 3 something
// kept, 1 cancelled, 2 no usable record or a bad start.
int RunUninstall(const CommandLine& commandLine);

} // namespace setup
