#include "ui/FolderPath.h"

#include "common/Text.h"
#include "platform/FileSystem.h"

namespace setup {

std::string NearestExistingFolder(const std::string& directory) {
    std::string path = directory;
    while (!path.empty() && !plat::folderExists(path)) {
        if (EndsWith(":\\", path)) break;
        const std::size_t cut = path.find_last_of("\\:");
        if (cut == std::string::npos || path[cut] != '\\') break;
        // The folder part without its trailing backslash; a drive root keeps
        // it ("C:\A" -> "C:\", not the drive's current folder "C:").
        path.erase(cut > 0 && path[cut - 1] == ':' ? cut + 1 : cut);
    }
    return !path.empty() && plat::folderExists(path) ? path : std::string();
}

} // namespace setup
