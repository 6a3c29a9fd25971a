// Other programs: the running-program test before a run ([CheckRun]), the
// programs of Exec# and the shell's verbs.
#pragma once

#include <string>
#include <vector>

#include "common/Messages.h"
#include "files/RunContext.h"

namespace setup {

// Appends the program file (full path) of every process that can be inspected.
void ListProcessFiles(std::vector<std::string>& list);
// true when a running process's program file is path, letter case ignored.
bool IsProgramRunning(const std::string& path);
// Lets the shell carry out verb ("open", "explore") on file with parameters;
// false when it refuses. Logged as a SHELL line.
bool ShellOpen(RunContext& run, const std::string& verb, const std::string& file,
               const std::string& parameters);

// The command line of an Exec# value (registry variables expanded; fromValues
// flags the characters that came from values): a program that is no full path
// is taken from folder (the installation source). When the program is a batch
// file or the command interpreter, the interpreter's operators that came from
// values are escaped; false when such text cannot be made harmless (a quote,
// a percent sign, a control character).
bool ExecCommandLine(const std::string& folder, const std::string& value,
                     std::vector<bool> fromValues, std::string& commandLine);

// The question of CheckRun for a listed program that runs.
std::string ProgramRunningQuestion(const std::string& programPath);

// --- steps of a run ---
// The [CheckRun] test: while a listed program runs, asks to end it; false
// when the user gave up. stopRequested: programs were just asked to end.
bool CheckRunningPrograms(RunContext& run, bool stopRequested);
// Starts the programs of [Project] Exec# (only when the run may start
// programs), without waiting for them.
bool ExecProgs(RunContext& run);

} // namespace setup
