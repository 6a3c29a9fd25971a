// The program start: command line, log, answers, common services, script.
#pragma once

#include <string>
#include <vector>

namespace setup {

// Exit statuses of the program.
enum : int { ExitInstalled = 0, ExitNotInstalled = 1, ExitBadStart = 2 };

// The script path from the first command-line parameter (Windows form):
// empty gives programFolder + "install.ins", a parameter without ":" is
// taken relative to programFolder, any other is used unchanged.
std::string LocateScript(const std::string& parameter, const std::string& programFolder);

// The whole start for the arguments after the program name; returns the
// exit status.
int RunProgram(const std::vector<std::string>& args);

} // namespace setup
