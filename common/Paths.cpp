#include "common/Paths.h"

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
