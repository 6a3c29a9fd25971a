// The mapping of Windows paths onto the Linux file system: drive letters,
// separators, "." and "..", names without regard to case, and back from a
// Linux path to its drive form.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/Cp1252.h"
#include "platform/FileSystem.h"
#include "platform/emulated/Emulated.h"

namespace plat::emulated {
namespace {

std::string currentFolder() {
    std::string buffer(256, '\0');
    for (;;) {
        if (getcwd(buffer.data(), buffer.size())) return std::string(buffer.c_str());
        if (errno != ERANGE) return "/";
        buffer.resize(buffer.size() * 2);
    }
}

bool validNameChar(char c) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (u < 32) return false;
    switch (c) {
    case '<':
    case '>':
    case ':':
    case '"':
    case '|':
    case '?':
    case '*':
        return false;
    default:
        return true;
    }
}

// The Linux folder of a drive; empty when the drive does not exist.
std::string driveFolder(char drive) {
    if (drive == 'Z') return "";
    const std::string base = root();
    if (base.empty()) return {};
    const std::string folder = base + "/drive_" + static_cast<char>(drive - 'A' + 'a');
    if (drive != 'C' && !isFolder(folder)) return {};
    return folder;
}

} // namespace

// Splits a Linux path and resolves "." and ".." lexically.
std::vector<std::string> linuxComponents(const std::string& path) {
    std::vector<std::string> out;
    size_t i = 0;
    while (i <= path.size()) {
        size_t j = path.find('/', i);
        if (j == std::string::npos) j = path.size();
        const std::string part = path.substr(i, j - i);
        if (part == "..") {
            if (!out.empty()) out.pop_back();
        } else if (!part.empty() && part != ".") {
            out.push_back(part);
        }
        i = j + 1;
    }
    return out;
}

std::string absoluteLinux(const std::string& path) {
    std::string full = !path.empty() && path[0] == '/' ? path : currentFolder() + "/" + path;
    std::string out;
    for (const std::string& part : linuxComponents(full))
        out += "/" + part;
    return out.empty() ? "/" : out;
}

bool isFolder(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::optional<Resolved> resolve(const std::string& windowsPath) {
    std::string path = windowsPath;
    for (char& c : path)
        if (c == '/') c = '\\';
    // "\\?\C:\..." names the same file as "C:\...".
    if (path.rfind("\\\\?\\", 0) == 0 || path.rfind("\\\\.\\", 0) == 0) path.erase(0, 4);
    Resolved out;
    std::string rest;
    auto isLetter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
    if (path.size() >= 2 && isLetter(path[0]) && path[1] == ':') {
        out.drive = upCase(path[0]);
        rest = path.substr(2);
    } else if (path.rfind("\\\\", 0) == 0) {
        fail(53); // ERROR_BAD_NETPATH: no network shares here
        return std::nullopt;
    } else {
        // Relative or rooted without a drive: the current folder's drive.
        const std::string current = driveForm(currentFolder());
        out.drive = current[0];
        rest = !path.empty() && path[0] == '\\' ? path : current.substr(2) + "\\" + path;
    }

    std::vector<std::string> parts;
    size_t i = 0;
    while (i <= rest.size()) {
        size_t j = rest.find('\\', i);
        if (j == std::string::npos) j = rest.size();
        std::string part = rest.substr(i, j - i);
        const bool last = j == rest.size();
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (part != "." && !part.empty()) {
            // Windows drops trailing dots and blanks of the last name.
            if (last)
                while (!part.empty() && (part.back() == '.' || part.back() == ' '))
                    part.pop_back();
            if (!part.empty()) parts.push_back(part);
        }
        i = j + 1;
    }
    for (const std::string& part : parts)
        for (char c : part)
            if (!validNameChar(c)) {
                fail(123); // ERROR_INVALID_NAME
                return std::nullopt;
            }

    const std::string base = driveFolder(out.drive);
    if (base.empty() && out.drive != 'Z') {
        fail(kErrPathNotFound);
        return std::nullopt;
    }

    std::string full = base;
    for (const std::string& part : parts)
        full += "/" + plat::cp1252ToUtf8(part);
    out.components = parts;
    // The path's own record is kept for the caller.
    auto look = [&out](const std::string& path) {
        out.hasInfo =
            statx(AT_FDCWD, path.c_str(), 0, STATX_BASIC_STATS | STATX_BTIME, &out.info) == 0;
        return out.hasInfo;
    };
    // A name the folder's listing lacks is most likely missing (a file about
    // to be created): the listing, brought up to date, answers for it.
    const std::string parent = parts.empty() ? std::string() : full.substr(0, full.rfind('/'));
    const bool likelyMissing =
        !parts.empty() && listedAsMissing(parent.empty() ? "/" : parent, parts.back());
    if (!likelyMissing && look(full.empty() ? "/" : full)) {
        // Fast path: the name exists exactly as asked.
        out.native = full.empty() ? "/" : full;
        out.exists = true;
        out.parentExists = true;
        return out;
    }
    // Second fast path: the folder exists exactly as asked and only the last
    // name is missing or spelt in another case (a file about to be created).
    struct stat st;
    if (!parts.empty()) {
        const std::string folder = parent.empty() ? "/" : parent;
        if (stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
            out.parentExists = true;
            out.native = full;
            if (const std::optional<std::string> name =
                    findInFolder(folder, parts.back(), &st, &out.parentListed)) {
                const std::string found = parent + "/" + *name;
                if (look(found)) {
                    out.native = found;
                    out.components.back() = plat::utf8ToCp1252(*name);
                    out.exists = true;
                }
            }
            return out;
        }
    }

    // Component by component; a missing name is looked up without regard to case.
    std::string current = base;
    bool present = true; // current exists as a folder
    for (size_t k = 0; k < parts.size(); ++k) {
        const std::string exact = current + "/" + plat::cp1252ToUtf8(parts[k]);
        const bool lastPart = k + 1 == parts.size();
        if (present) {
            if (lastPart) out.parentExists = true;
            std::string found;
            if (look(exact)) {
                found = exact;
            } else if (const std::optional<std::string> name =
                           findInFolder(current.empty() ? "/" : current, parts[k], nullptr,
                                        lastPart ? &out.parentListed : nullptr)) {
                found = current + "/" + *name;
                out.components[k] = plat::utf8ToCp1252(*name);
                if (!look(found)) found.clear();
            }
            if (!found.empty()) {
                current = found;
                if (lastPart)
                    out.exists = true;
                else
                    present = S_ISDIR(out.info.stx_mode);
                continue;
            }
            present = false;
        }
        current = exact;
    }
    out.hasInfo = out.hasInfo && out.exists;
    out.native = current.empty() ? "/" : current;
    return out;
}

std::string zForm(const std::string& linuxPath) {
    std::string out = "Z:";
    for (const std::string& part : linuxComponents(absoluteLinux(linuxPath)))
        out += "\\" + plat::utf8ToCp1252(part);
    return out.size() == 2 ? "Z:\\" : out;
}

std::string driveForm(const std::string& linuxPath) {
    const std::string path = absoluteLinux(linuxPath);
    const std::string base = root();
    if (!base.empty()) {
        // Each drive folder of the root, under its own name and, where the
        // root lies behind a symbolic link, under its real name.
        for (char letter = 'a'; letter < 'z'; ++letter) {
            const std::string folder = base + "/drive_" + letter;
            if (!isFolder(folder)) continue;
            std::vector<std::string> names{folder};
            if (char* real = realpath(folder.c_str(), nullptr)) {
                if (names[0] != real) names.push_back(real);
                std::free(real);
            }
            const char drive = static_cast<char>(letter - 'a' + 'A');
            for (const std::string& name : names) {
                if (path != name && path.rfind(name + "/", 0) != 0) continue;
                std::string out{drive, ':'};
                for (const std::string& part : linuxComponents(path.substr(name.size())))
                    out += "\\" + plat::utf8ToCp1252(part);
                return out.size() == 2 ? out + "\\" : out;
            }
        }
    }
    return zForm(path);
}

} // namespace plat::emulated
