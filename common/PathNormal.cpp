#include "common/PathNormal.h"

#include <vector>

#include "common/Ansi.h"

namespace setup {

namespace {

// Length of the root of a path with backslashes only: "C:\", "C:", "\\server\share\",
// "\" or nothing.
size_t RootLength(const std::string& path) {
    if (path.size() >= 2 && path[1] == ':') return path.size() >= 3 && path[2] == '\\' ? 3 : 2;
    if (path.compare(0, 2, "\\\\") == 0) {
        // "\\server\share\" (also "\\?\C:\" and "\\.\device\").
        size_t end = path.find('\\', 2);
        if (end == std::string::npos) return path.size();
        end = path.find('\\', end + 1);
        return end == std::string::npos ? path.size() : end + 1;
    }
    return !path.empty() && path[0] == '\\' ? 1 : 0;
}

} // namespace

std::string NormalPath(const std::string& path) {
    std::string text = path;
    for (char& c : text)
        if (c == '/') c = '\\';
    const size_t rootLength = RootLength(text);
    std::string root = text.substr(0, rootLength);
    if (rootLength > 2 && root.compare(0, 2, "\\\\") == 0) {
        // Doubled backslashes inside a share name are one.
        std::string single = "\\\\";
        for (size_t i = 2; i < root.size(); ++i)
            if (root[i] != '\\' || single.back() != '\\') single += root[i];
        root = single;
    }
    const bool trailing = text.size() > rootLength && text.back() == '\\';

    std::vector<std::string> names;
    size_t start = rootLength;
    while (start <= text.size()) {
        size_t end = text.find('\\', start);
        if (end == std::string::npos) end = text.size();
        std::string name = text.substr(start, end - start);
        start = end + 1;
        if (name.empty() || name == ".") continue;
        if (name == "..") {
            if (!names.empty() && names.back() != "..")
                names.pop_back();
            else if (rootLength == 0)
                names.push_back(name); // a relative path keeps what it cannot resolve
            continue;
        }
        while (!name.empty() && (name.back() == ' ' || name.back() == '.'))
            name.pop_back();
        if (!name.empty()) names.push_back(name);
    }

    std::string out = root;
    for (size_t i = 0; i < names.size(); ++i) {
        if (i > 0) out += '\\';
        out += names[i];
    }
    if (trailing && !names.empty()) out += '\\';
    return out;
}

bool PathInsideFolder(const std::string& path, const std::string& folder) {
    std::string base = AnsiUpperCase(NormalPath(folder));
    if (!base.empty() && base.back() != '\\' && base.back() != ':') base += '\\';
    const std::string full = AnsiUpperCase(NormalPath(path));
    return full.size() > base.size() && full.compare(0, base.size(), base) == 0;
}

bool NamesDevice(const std::string& path) {
    std::string text = path;
    for (char& c : text)
        if (c == '/') c = '\\';
    if (text.compare(0, 4, "\\\\?\\") == 0 || text.compare(0, 4, "\\\\.\\") == 0) return true;
    const size_t slash = text.find_last_of("\\:");
    std::string name = text.substr(slash == std::string::npos ? 0 : slash + 1);
    name = AnsiUpperCase(name.substr(0, name.find('.')));
    while (!name.empty() && name.back() == ' ')
        name.pop_back();
    for (const char* device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"})
        if (name == device) return true;
    return name.size() == 4 && (name.compare(0, 3, "COM") == 0 || name.compare(0, 3, "LPT") == 0) &&
           name[3] >= '1' && name[3] <= '9';
}

} // namespace setup
