// Registry entries of the installation: the register lines of a part, the
// [Register] section under HKEY_CLASSES_ROOT, the install record and the
// uninstall entry of a part.
#include "system/RegistryEntries.h"

#include <algorithm>
#include <exception>

#include "common/Log.h"
#include "common/Messages.h"
#include "common/RegistryAccess.h"
#include "common/Text.h"
#include "common/WinInfo.h"
#include "engine/ScriptInstall.h"

namespace setup {

namespace {

constexpr size_t MaxValueLength = 255;
const std::string UninstallKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

// Splits path at its last backslash that is not the first character; false
// when there is none (nothing to write).
bool SplitValuePath(const std::string& path, std::string& key, std::string& name) {
    const size_t slash = path.rfind('\\');
    if (slash == std::string::npos || slash == 0) return false;
    key = path.substr(0, slash);
    name = path.substr(slash + 1);
    return true;
}

// Opens the key of path for writing and hands it to write; the code of
// SetRegistryString / SetRegistryInteger.
template <typename Write>
int WriteValue(const char* operation, plat::RegRoot root, const std::string& path, Write write) {
    try {
        std::string key, name;
        if (!SplitValuePath(path, key, name)) return 0;
        key = PlatformKeyPath(key);
        plat::RegKey regKey;
        if (const uint32_t err = regKey.open(root, key, plat::RegAccess::All, true); err != 0) {
            // A key the registry does not take (too long a name, too deep, a
            // control character) is said, like a value that cannot be written.
            InfoMessage(ActiveForm, std::string(operation) + "(1):" + SysErrorText(err) + "\r" +
                                        plat::regRootName(root) + "\\" + key);
            return 3;
        }
        try {
            if (const uint32_t err = write(regKey, key, name); err != 0)
                InfoMessage(ActiveForm, std::string(operation) + "(2):" + SysErrorText(err));
            regKey.close();
        } catch (const std::exception& e) {
            InfoMessage(ActiveForm, std::string(operation) + "(2):" + e.what());
        }
    } catch (const std::exception& e) {
        InfoMessage(ActiveForm, std::string(operation) + "(1):" + e.what());
    }
    return 0;
}

} // namespace

int SetRegistryString(plat::RegRoot root, const std::string& path, const std::string& text) {
    return WriteValue(
        "SetRegistryString", root, path,
        [&](plat::RegKey& key, const std::string& keyPath, const std::string& name) {
            const uint32_t err = key.setString(name, text);
            if (err == 0)
                log::Line("REG", {plat::regRootName(root), keyPath, name, "REG_SZ", text});
            return err;
        });
}

int SetRegistryInteger(plat::RegRoot root, const std::string& path, int32_t number) {
    return WriteValue("SetRegistryInteger", root, path,
                      [&](plat::RegKey& key, const std::string& keyPath, const std::string& name) {
                          const uint32_t value = static_cast<uint32_t>(number);
                          const uint32_t err = key.setDword(name, value);
                          if (err == 0)
                              log::Line("REG", {plat::regRootName(root), keyPath, name, "REG_DWORD",
                                                std::to_string(value)});
                          return err;
                      });
}

bool SetKeyDefault(plat::RegRoot root, const std::string& key, const std::string& text) {
    plat::RegKey regKey;
    const std::string keyPath = PlatformKeyPath(key);
    if (regKey.open(root, keyPath, plat::RegAccess::All, true) != 0) return false;
    if (regKey.setString("", text) != 0) return false;
    log::Line("REG", {plat::regRootName(root), keyPath, "", "REG_SZ", text});
    return true;
}

bool ParseDwordValue(const std::string& text, int32_t& number) {
    size_t pos = 0;
    bool negative = false;
    int base = 10;
    if (pos < text.size() && text[pos] == '-') {
        negative = true;
        ++pos;
    } else if (pos < text.size() && text[pos] == '$') {
        base = 16;
        ++pos;
    }
    // Anything above 2^32 is out of range; stop counting there.
    constexpr uint64_t Limit = uint64_t{1} << 32;
    uint64_t value = 0;
    for (; pos < text.size(); ++pos) {
        const int digit = DigitValue(text[pos]);
        if (digit < 0 || digit >= base) break;
        value = value * static_cast<uint64_t>(base) + static_cast<uint64_t>(digit);
        if (value >= Limit) return false;
    }
    if (negative) {
        if (value > uint64_t{1} << 31) return false;
        number = static_cast<int32_t>(-static_cast<int64_t>(value));
    } else {
        number = static_cast<int32_t>(static_cast<uint32_t>(value));
    }
    return true;
}

void TScriptInstall::RegisterLine(const std::string& line, const std::string& partName) {
    const size_t equals = line.find('=');
    const std::string keyPath = line.substr(0, equals);
    const std::string value =
        equals == std::string::npos ? std::string() : line.substr(equals + 1, MaxValueLength);

    plat::RegRoot root;
    std::string path;
    if (keyPath.size() >= 2 && keyPath[1] == '\\') {
        DecodeRegistryPath(keyPath, root, path, ProjectName);
    } else {
        InfoMessage(MessageOwner(), "veraltete Angabe:\r\n[" + partName + "]\r\n" + line);
        std::string node = Script ? script::Expanded(Script->Project().registryNode) : "";
        if (!node.empty()) node += '\\';
        root = plat::RegRoot::CurrentUser;
        path = "SOFTWARE\\" + node + keyPath;
    }
    if (value.empty() || value[0] != '#') {
        if (path.empty() || path.back() != '\\') path += '\\';
    }

    if (PartOf(partName).registry.onlyNew.Bool(false)) {
        // The key the line names: with the trailing backslash of a default
        // value removed, which the registry does not take in a key name.
        if (plat::regKeyExists(root, PlatformKeyPath(path))) return;
    }

    if (value.compare(0, 4, "#dw:") == 0) {
        int32_t number = 0;
        if (ParseDwordValue(value.substr(4), number)) {
            SetRegistryInteger(root, path, number);
        } else {
            InfoMessage(MessageOwner(), "SetRegistryInteger(1):Zahl au\xDF"
                                        "erhalb von 32 Bit, nicht geschrieben:\r" +
                                            line);
        }
    } else if (value.compare(0, 4, "#sz:") == 0) {
        SetRegistryString(root, path, value.substr(4));
    } else {
        SetRegistryString(root, path, value);
    }
}

void TScriptInstall::RegisterClassesSection() {
    if (!Script) return;
    for (const script::Numbered& line : Script->ClassEntries()) {
        std::string entry = line.value.text;
        ExpandPlaceholders(entry);
        if (entry.empty()) break;
        const size_t equals = entry.find('=');
        if (equals == std::string::npos) {
            plat::RegKey key;
            key.open(plat::RegRoot::ClassesRoot, entry, plat::RegAccess::All, true);
            continue;
        }
        std::string data = entry.substr(equals + 1, MaxValueLength);
        if (!Substitute(data, &TargetDir)) PlainMessage(texts::FailedSubstitution + data);
        SetKeyDefault(plat::RegRoot::ClassesRoot, entry.substr(0, equals), data);
    }
}

void TScriptInstall::RecordInstallFolder(const std::string& folder) {
    // The install record that GetPreviousInstallDir reads back ("R\Installs\").
    WriteRegistryString("M\\Software\\Qorv\\Installs", ProjectName, folder);
}

void TScriptInstall::WriteUninstallEntry(const std::string& partName, const std::string& partTarget,
                                         const std::string& unInst) {
    using plat::RegRoot;
    // A part without a Name would write into the Uninstall key itself, among
    // every other program's entries: its section name names the entry then.
    const script::PartRecord& part = PartOf(partName);
    const std::string name = part.name.Or(partName);
    const std::string key = UninstallKey + name + "\\";
    SetRegistryString(RegRoot::LocalMachine, key + "DisplayName", part.headLine.Or(name));
    SetRegistryString(RegRoot::LocalMachine, key + "UninstallString", unInst);
    // Windows reads the size in KiB; a part of a KiB counts as a whole one.
    const int64_t bytes = std::max<int32_t>(0, Script ? Script->Project().bytes.Integer(0) : 0);
    SetRegistryInteger(RegRoot::LocalMachine, key + "EstimatedSize",
                       static_cast<int32_t>((bytes + 1023) / 1024));
    std::string publisher = Script ? script::Expanded(Script->Project().publisher) : "";
    if (publisher.empty() && Script) publisher = script::Expanded(Script->Project().instit);
    SetRegistryString(RegRoot::LocalMachine, key + "Publisher", publisher);
    SetRegistryString(RegRoot::LocalMachine, key + "InstallLocation", TargetDir);
    std::string icon = part.uninstall.icon.text;
    if (!icon.empty()) {
        ExpandPlaceholders(icon);
        if (Substitute(icon, &partTarget))
            SetRegistryString(RegRoot::LocalMachine, key + "DisplayIcon", icon);
    }

    const std::string& groupReg = part.uninstall.groupKey.text;
    if (groupReg.empty()) return;
    for (size_t n = 0; n < GroupList.size(); ++n) {
        RegRoot root;
        std::string path;
        DecodeRegistryPath(groupReg + "\\ProgGroup\\" + std::to_string(n + 1), root, path,
                           ProjectName);
        SetRegistryString(root, path, GroupList[n]);
    }
}

} // namespace setup
