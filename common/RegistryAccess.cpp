#include "common/RegistryAccess.h"

#include "common/Effects.h"

#include "common/Ansi.h"
#include "common/Error.h"
#include "common/Log.h"
#include "common/WinInfo.h"

namespace setup {

namespace {

std::string applicationKey = "Qorv\\Setup.exe\\";

// The platform takes key paths without the leading backslash.
std::string PlatformPath(const std::string& keyPath) {
    return !keyPath.empty() && keyPath.front() == '\\' ? keyPath.substr(1) : keyPath;
}

// Opens the key of a notation path for writing, creating it; false when it
// cannot be opened.
bool OpenForWrite(const std::string& path, plat::RegKey& key, plat::RegRoot& root,
                  std::string& keyPath) {
    DecodeRegistryPath(path, root, keyPath);
    keyPath = PlatformPath(keyPath);
    return key.open(root, keyPath, plat::RegAccess::All, true) == 0;
}

[[noreturn]] void RaiseWriteError(const std::string& valueName, uint32_t code) {
    throw SetupError("Registry-Wert '" + valueName +
                     "' kann nicht geschrieben werden: " + SysErrorText(code));
}

} // namespace

std::string PlatformKeyPath(const std::string& keyPath) {
    std::string out;
    out.reserve(keyPath.size());
    for (char c : keyPath) {
        if (c == '\\' && (out.empty() || out.back() == '\\')) continue;
        out += c;
    }
    if (!out.empty() && out.back() == '\\') out.pop_back();
    return out;
}

const std::string& ApplicationKey() {
    return applicationKey;
}

void SetApplicationKey(const std::string& programFileName) {
    std::string name = AnsiLowerCase(programFileName);
    if (!name.empty()) name[0] = AnsiUpCaseChar(name[0]);
    applicationKey = "Qorv\\" + name + "\\";
}

void DecodeRegistryPath(const std::string& path, plat::RegRoot& root, std::string& keyPath,
                        const std::string& projectName) {
    using plat::RegRoot;
    if (path.size() < 2 || path[1] != '\\') {
        root = RegRoot::CurrentUser;
        keyPath = "\\Software\\" + applicationKey + path;
        return;
    }
    const std::string rest = path.substr(1);
    switch (AnsiUpCaseChar(path[0])) {
    case 'A':
        root = RegRoot::CurrentUser;
        keyPath = "\\Software\\Qorv\\Tarvel.Exe\\Projects\\" + projectName + rest;
        break;
    case 'C':
        root = RegRoot::ClassesRoot;
        keyPath = rest;
        break;
    case 'E':
        root = RegRoot::CurrentUser;
        keyPath = "\\Software\\Qorv" + rest;
        break;
    case 'F':
        root = RegRoot::CurrentUser;
        keyPath = "\\Software\\Microsoft\\Windows\\Currentversion\\Explorer\\Shell Folders" + rest;
        break;
    case 'H':
        root = RegRoot::LocalMachine;
        keyPath = "\\Software\\Qorv\\Tarvel.Exe" + rest;
        break;
    case 'K':
        root = RegRoot::LocalMachine;
        keyPath = "\\Software\\Classes" + rest;
        break;
    case 'M':
        root = RegRoot::LocalMachine;
        keyPath = rest;
        break;
    case 'P':
        root = RegRoot::LocalMachine;
        keyPath = "\\Software\\Qorv\\Tarvel.Exe\\Projects\\" + projectName + rest;
        break;
    case 'R':
        root = RegRoot::LocalMachine;
        keyPath = "\\Software\\Qorv" + rest;
        break;
    case 'V':
        root = RegRoot::LocalMachine;
        keyPath = "\\Software\\Microsoft\\Windows\\Currentversion" + rest;
        break;
    case 'Z':
        root = RegRoot::CurrentUser;
        keyPath = "\\Software\\Classes" + rest;
        break;
    default: // 'U' and any other letter
        root = RegRoot::CurrentUser;
        keyPath = rest;
        break;
    }
}

std::string ReadRegistryString(const std::string& path, const std::string& valueName,
                               const std::string& def) {
    plat::RegRoot root;
    std::string keyPath;
    DecodeRegistryPath(path, root, keyPath);
    keyPath = PlatformPath(keyPath);
    plat::RegKey key;
    if (key.open(root, keyPath, plat::RegAccess::Read) != 0) {
        if (keyPath.empty() || keyPath.back() != '\\') return def;
        keyPath.pop_back();
        if (key.open(root, keyPath, plat::RegAccess::Read) != 0) return def;
    }
    std::string value;
    if (key.queryString(valueName, value) != 0 || value.empty()) return def;
    return value;
}

int32_t ReadRegistryInteger(const std::string& path, const std::string& valueName, int32_t def) {
    plat::RegRoot root;
    std::string keyPath;
    DecodeRegistryPath(path, root, keyPath);
    plat::RegKey key;
    // A read creates nothing: a missing key gives the default.
    if (key.open(root, PlatformPath(keyPath), plat::RegAccess::Read) != 0) return def;
    uint32_t value = 0;
    if (key.queryDword(valueName, value) != 0) return def;
    return static_cast<int32_t>(value);
}

void WriteRegistryString(const std::string& path, const std::string& valueName,
                         const std::string& text) {
    WriteRegistryString(DirectEffects(), path, valueName, text);
}

void WriteRegistryString(Effects& effects, const std::string& path, const std::string& valueName,
                         const std::string& text) {
    plat::RegRoot root;
    std::string keyPath;
    DecodeRegistryPath(path, root, keyPath);
    keyPath = PlatformPath(keyPath);
    const RegistryWrite written = effects.SetRegistryString(root, keyPath, valueName, text);
    if (written.keyError != 0) return;
    if (written.valueError != 0) RaiseWriteError(valueName, written.valueError);
    log::Line("REG", {plat::regRootName(root), keyPath, valueName, "REG_SZ", text});
}

void WriteRegistryInteger(const std::string& path, const std::string& valueName, int32_t number) {
    plat::RegKey key;
    plat::RegRoot root;
    std::string keyPath;
    if (!OpenForWrite(path, key, root, keyPath)) return;
    const uint32_t value = static_cast<uint32_t>(number);
    if (const uint32_t err = key.setDword(valueName, value); err != 0)
        RaiseWriteError(valueName, err);
    log::Line("REG",
              {plat::regRootName(root), keyPath, valueName, "REG_DWORD", std::to_string(value)});
}

} // namespace setup
