// Paths compared as the file system sees them: the same file may be written
// "C:\App\sub\..\x.txt", "C:/App//x.txt" or "c:\app\x.txt ".
#pragma once

#include <string>

namespace setup {

// path with "/" read as "\", repeated backslashes made one, "." and ".."
// resolved (never above the root: "C:\..\x" is "C:\x"), and each name
// without the trailing blanks and dots that Windows drops. The root stays as
// written ("C:\", "\\server\share\", "\"); a trailing backslash stays; the
// case of the names is kept.
std::string NormalPath(const std::string& path);

// Whether path lies inside folder (not folder itself), both normalised and
// compared without regard to case.
bool PathInsideFolder(const std::string& path, const std::string& folder);

// Whether a name given for a file names a device instead: CON, PRN, AUX,
// NUL, COM1-9, LPT1-9, CONIN$, CONOUT$ (also with an extension or trailing
// blanks, as Windows reads them) as its last part, or a path in the
// device namespaces "\\?\" and "\\.\".
bool NamesDevice(const std::string& path);

} // namespace setup
