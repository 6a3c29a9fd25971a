// The engine's own steps of a run: the copy sections, the conditions of a
// part, the disk-space test and the superfluous files. Like the steps of
// system/ and files/ they are functions that take the run context.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "files/FileHandler.h"
#include "files/RunContext.h"

namespace setup {

// --- copy sections (CopySections.cpp) ---
// The files of a part: Del#, File#, FileMacro#, Hold#. false when the
// section was not installed completely.
bool CopyFilesOf(RunContext& run, const PartInRun& part, bool install);
// The files of [Project] Win#, WSys#, W32Sys#.
bool CopyWinFiles(RunContext& run);
bool CopyWinSystemFiles(RunContext& run);
bool CopyWinSystem32Files(RunContext& run);
// FileN#: one file under a new name (CopyOneFile); a name that is a
// device, or a folder that is not there, is refused with a message.
CopyResult CopyRenamed(RunContext& run, const std::string& source, const std::string& destDir,
                       const std::string& newName, CopyMode mode);
// Copies a text file line by line with the macro-line variables expanded.
void CopyMacroFile(RunContext& run, const std::string& source, const std::string& dest,
                   bool overwrite);

// --- conditions and disk space (Conditions.cpp) ---
bool CheckWinVersion(const std::string& value);
// The part's Cond question (a text file in sourceFolder); true when the part
// is to be installed.
bool CheckCondition(RunContext& run, const std::string& sourceFolder, const std::string& partName,
                    char driveLetter);
bool CheckDiskSpace(RunContext& run);

// --- superfluous files (SuperfluousFiles.cpp) ---
// The superfluous files of the project's folders ([Project] DelExt):
// UNUSED.TXT, the "old" side folder, cf.txt.
void FindSuperfluousFiles(RunContext& run);
void WriteUnusedList(RunContext& run);
void SetAsideUnused(RunContext& run, const std::string& listPath);

} // namespace setup
