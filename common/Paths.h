// Path texts and the folders found at program start.
#pragma once

#include <string>

namespace setup {

// path + "\" unless path is empty or ends with ":" or "\" ("C:" stays "C:").
std::string AddBackslash(const std::string& path);
// Appends "\" to a non-empty path that does not end with one ("C:" -> "C:\").
void EnsureBackslash(std::string& path);
// The folder part of a path up to and including its last backslash ("" when
// there is none), and the part after it (the whole path when there is none).
std::string ExtractFilePath(const std::string& path);
std::string ExtractFileName(const std::string& path);
// The full form of a folder that an installation writes to: "/" read as "\",
// repeated backslashes, "." and ".." resolved, and each name without the
// trailing blanks and dots that Windows drops; with a trailing backslash.
// false when the folder is not a full path: a drive letter with its root
// ("C:\...") or a share ("\\server\share\..."), names free of the
// characters Windows refuses in them.
bool FullFolderPath(const std::string& path, std::string& full);
// name when no such file exists, else base + "0" + extension, base + "1" +
// extension, ... (the first that does not exist).
std::string UniqueFileName(const std::string& name);

// The running program's full path and its folder (with trailing backslash).
const std::string& ProgramPath();
const std::string& ProgramFolder();
// Sets both from the platform (called at start-up).
void InitProgramPath();

// The Windows folder and the system folder with a trailing backslash.
const std::string& WindowsFolder();
const std::string& SystemFolder();
// Asks the system; a Windows folder that is not of the form "X:\..." is
// reported with a warning and kept as it is.
void InitWindowsFolder();
void InitSystemFolder();

} // namespace setup
