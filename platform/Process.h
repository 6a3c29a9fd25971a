// Starting another program of the system.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace plat {

// Starts the program named first on commandLine (a path in double quotes, or
// up to the first blank) with the rest as its arguments, shown normally, in
// workingFolder (empty: the current one), without waiting for it. false when
// it cannot be started. Linux: the program's Linux path in the emulated
// Windows is started when it exists and is executable.
bool startProgram(const std::string& commandLine, const std::string& workingFolder);

// Copies the running program's file into the temporary folder, runs the copy
// with args, waits for it and removes the copy: the copy's exit status;
// nullopt when it could not be copied or started. So a program can remove
// the folder it was started from, which Windows keeps while the program
// runs from there. The copy finds the path of the waiting program's file in
// its environment variable SETUP_WAITING_PROGRAM. Linux: nullopt (a running
// program's file can go there).
std::optional<int> runCopyOfProgram(const std::vector<std::string>& args);

// The program files of the running processes that may be inspected, as full
// paths in Windows form; processes that cannot be inspected are left out.
// Empty when no process list is available. Linux: /proc/<pid>/exe in drive
// form (C:\... below the emulated drive, else Z:\...).
std::vector<std::string> runningProgramPaths();

// The id of this process, and whether a process of that id is running (a
// process that cannot be inspected counts as running).
uint32_t currentProcessId();
bool processRunning(uint32_t id);

// Lets the shell carry out verb ("open", ...) on file with parameters, owned
// by the window ownerWindow (0: none), shown normally, in no particular
// working folder; false when the shell refuses. Linux: "open" of a Linux
// program starts it with parameters; "open" and "explore" of anything else go
// to the desktop's opener (xdg-open) when there is a desktop, else nothing is
// started and the result is false.
bool shellExecute(const std::string& verb, const std::string& file, const std::string& parameters,
                  uintptr_t ownerWindow);

} // namespace plat
