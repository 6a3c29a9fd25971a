// The program start: command line, log, answers, common services, script.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace setup {

// Exit statuses of the program.
enum : int { ExitInstalled = 0, ExitNotInstalled = 1, ExitBadStart = 2, ExitIncomplete = 3 };

// The script path from the first command-line parameter (Windows form):
// empty gives programFolder + "install.ins", a parameter without ":" is
// taken relative to programFolder, any other is used unchanged.
std::string LocateScript(const std::string& parameter, const std::string& programFolder);

// The installer window of a found script (script and target folder in
// Windows form; targetDir empty = the script's default): runs it and returns
// the exit status, with the window's modal result in modalResult.
using InstallerWindowRunner = std::function<int(const std::string& script, bool unattended,
                                                const std::string& targetDir, int& modalResult)>;

// The whole start for the arguments after the program name; returns the
// exit status. Without a window runner the program reports that it cannot
// install in this build.
int RunProgram(const std::vector<std::string>& args, const InstallerWindowRunner& window = {});

} // namespace setup
