// Uninstalling: the installations recorded in a folder's Deinst.ins undone
// through Effects, so that the same code runs on the machine or on a plan.
#pragma once

#include <string>
#include <vector>

#include "common/Effects.h"

namespace setup {

struct UninstallResult {
    // 0 everything undone, 3 something kept, 1 cancelled (No to the
    // question), 2 no usable record (nothing was changed).
    int status = 0;
    std::string problem;                // status 2: why
    std::vector<std::string> kept;      // what is still there, one text each
    std::vector<std::string> atRestart; // files left for Windows to remove at its restart
};

struct UninstallOptions {
    // The file of a program that waits for this one (a Setup.exe started
    // from the folder being removed, which Windows keeps while it runs): it
    // is moved into asideFolder, where Windows removes it at its restart.
    std::string waitingProgram;
    std::string asideFolder;
};

// The record file of a folder (with or without its trailing backslash).
std::string UninstallRecordFile(const std::string& folder);

// Asks once, then undoes the record of folder in the reverse order of the
// runs: files unchanged since they were installed, shortcuts, registry
// values put back or removed, created keys, fonts, associations of older
// records, then Deinst.ins when nothing was kept, then the recorded folders
// that are empty, deepest first. Logs DELETE, UNREG and RESTORE lines; each
// kept file is logged (FILE 2) and named on standard error.
UninstallResult Uninstall(Effects& effects, const std::string& folder,
                          const UninstallOptions& options = {});

// The closing message for a result of status 0 or 3.
std::string UninstallReport(const UninstallResult& result);

} // namespace setup
