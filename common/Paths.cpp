#include "common/Paths.h"

#include <algorithm>
#include <string_view>
#include <vector>

#include "common/Messages.h"
#include "platform/FileSystem.h"
#include "platform/System.h"

namespace setup {

namespace {
std::string programPath;
std::string programFolder;
std::string windowsFolder;
std::string systemFolder;
} // namespace

std::string AddBackslash(const std::string& path) {
    if (path.empty() || path.back() == ':' || path.back() == '\\') return path;
    return path + '\\';
}

void EnsureBackslash(std::string& path) {
    if (!path.empty() && path.back() != '\\') path.push_back('\\');
}

std::string ExtractFilePath(const std::string& path) {
    const size_t slash = path.rfind('\\');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string ExtractFileName(const std::string& path) {
    const size_t slash = path.rfind('\\');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

namespace {

bool ValidNameChar(char c) {
    return static_cast<unsigned char>(c) >= 32 &&
           std::string_view("<>:\"|?*").find(c) == std::string_view::npos;
}

bool IsDriveLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

} // namespace

bool FullFolderPath(const std::string& path, std::string& full) {
    std::string text = path;
    for (char& c : text)
        if (c == '/') c = '\\';
    std::string root;
    size_t rest = 0;
    if (text.size() >= 3 && IsDriveLetter(text[0]) && text[1] == ':' && text[2] == '\\') {
        root = text.substr(0, 2);
        rest = 3;
    } else if (text.rfind("\\\\", 0) == 0) {
        // "\\server\share": both names are part of the root, neither may be
        // "." or "..", and no folder above the share can be named.
        root = "\\";
        size_t pos = 2;
        for (int n = 0; n < 2; ++n) {
            if (pos > text.size()) return false;
            const size_t end = std::min(text.find('\\', pos), text.size());
            std::string name = text.substr(pos, end - pos);
            while (!name.empty() && (name.back() == ' ' || name.back() == '.'))
                name.pop_back();
            if (name.empty()) return false;
            for (char c : name)
                if (!ValidNameChar(c)) return false;
            root += "\\" + name;
            pos = end + 1;
        }
        rest = pos;
    } else {
        return false; // relative, or a drive without its root ("C:foo")
    }
    std::vector<std::string> names;
    while (rest < text.size()) {
        const size_t end = std::min(text.find('\\', rest), text.size());
        std::string name = text.substr(rest, end - rest);
        rest = end + 1;
        if (name == "..") {
            if (!names.empty()) names.pop_back();
            continue;
        }
        while (!name.empty() && (name.back() == ' ' || name.back() == '.'))
            name.pop_back();
        if (name.empty()) continue;
        for (char c : name)
            if (!ValidNameChar(c)) return false;
        names.push_back(name);
    }
    full = root + "\\";
    for (const std::string& name : names)
        full += name + "\\";
    return true;
}

std::string UniqueFileName(const std::string& name) {
    if (!plat::getAttributes(name)) return name;
    const size_t slash = name.rfind('\\');
    const size_t dot = name.rfind('.');
    const bool hasExt = dot != std::string::npos && (slash == std::string::npos || dot > slash);
    const std::string base = hasExt ? name.substr(0, dot) : name;
    const std::string ext = hasExt ? name.substr(dot) : std::string();
    for (unsigned long n = 0;; ++n) {
        std::string candidate = base + std::to_string(n) + ext;
        if (!plat::getAttributes(candidate)) return candidate;
    }
}

const std::string& ProgramPath() {
    return programPath;
}
const std::string& ProgramFolder() {
    return programFolder;
}

void InitProgramPath() {
    programPath = plat::programPath();
    programFolder = ExtractFilePath(programPath);
}

const std::string& WindowsFolder() {
    return windowsFolder;
}
const std::string& SystemFolder() {
    return systemFolder;
}

void InitWindowsFolder() {
    std::string folder = plat::windowsDirectory();
    if (!folder.empty() && folder.back() == '\\') folder.pop_back();
    if (folder.size() >= 4 && folder[1] == ':' && folder[2] == '\\') {
        windowsFolder = AddBackslash(folder);
    } else {
        windowsFolder = folder;
        WarnOkCancel(NoOwner, "Windows-Pfad fehlerhaft oder unvollst\xE4ndig");
    }
}

void InitSystemFolder() {
    systemFolder = plat::systemDirectory();
    EnsureBackslash(systemFolder);
}

} // namespace setup
