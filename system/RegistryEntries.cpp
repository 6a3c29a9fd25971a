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
#include "files/RunContext.h"

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

// Writes the value of path through effects: a key that cannot be opened or
// created gives 3 and the message "<operation>(1):", a failing write the
// message "<operation>(2):".
template <typename Write>
int WriteValue(Effects& effects, const char* operation, plat::RegRoot root, const std::string& path,
               Write write) {
    try {
        std::string key, name;
        if (!SplitValuePath(path, key, name)) return 0;
        key = PlatformKeyPath(key);
        RegistryWrite written;
        try {
            written = write(effects, key, name);
        } catch (const std::exception& e) {
            InfoMessage(ActiveForm, std::string(operation) + "(2):" + e.what());
            return 0;
        }
        if (written.keyError != 0) {
            // A key the registry does not take (too long a name, too deep, a
            // control character) is said, like a value that cannot be written.
            InfoMessage(ActiveForm, std::string(operation) +
                                        "(1):" + SysErrorText(written.keyError) + "\r" +
                                        plat::regRootName(root) + "\\" + key);
            return 3;
        }
        if (written.valueError != 0)
            InfoMessage(ActiveForm,
                        std::string(operation) + "(2):" + SysErrorText(written.valueError));
    } catch (const std::exception& e) {
        InfoMessage(ActiveForm, std::string(operation) + "(1):" + e.what());
    }
    return 0;
}

} // namespace

int SetRegistryString(Effects& effects, plat::RegRoot root, const std::string& path,
                      const std::string& text) {
    return WriteValue(
        effects, "SetRegistryString", root, path,
        [&](Effects& to, const std::string& keyPath, const std::string& name) {
            const RegistryWrite written = to.SetRegistryString(root, keyPath, name, text);
            if (written.ok())
                log::Line("REG", {plat::regRootName(root), keyPath, name, "REG_SZ", text});
            return written;
        });
}

int SetRegistryInteger(Effects& effects, plat::RegRoot root, const std::string& path,
                       int32_t number) {
    return WriteValue(effects, "SetRegistryInteger", root, path,
                      [&](Effects& to, const std::string& keyPath, const std::string& name) {
                          const uint32_t value = static_cast<uint32_t>(number);
                          const RegistryWrite written =
                              to.SetRegistryDword(root, keyPath, name, value);
                          if (written.ok())
                              log::Line("REG", {plat::regRootName(root), keyPath, name, "REG_DWORD",
                                                std::to_string(value)});
                          return written;
                      });
}

bool SetKeyDefault(Effects& effects, plat::RegRoot root, const std::string& key,
                   const std::string& text) {
    const std::string keyPath = PlatformKeyPath(key);
    if (!effects.SetRegistryString(root, keyPath, "", text).ok()) return false;
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

void RegisterLine(RunContext& run, const PartInRun& part, const std::string& line) {
    const std::string& partName = part.name;
    const size_t equals = line.find('=');
    const std::string keyPath = line.substr(0, equals);
    const std::string value =
        equals == std::string::npos ? std::string() : line.substr(equals + 1, MaxValueLength);

    plat::RegRoot root;
    std::string path;
    if (keyPath.size() >= 2 && keyPath[1] == '\\') {
        DecodeRegistryPath(keyPath, root, path, run.projectName);
    } else {
        InfoMessage(run.MessageOwner(), "veraltete Angabe:\r\n[" + partName + "]\r\n" + line);
        std::string node = run.script ? script::Expanded(run.script->Project().registryNode) : "";
        if (!node.empty()) node += '\\';
        root = plat::RegRoot::CurrentUser;
        path = "SOFTWARE\\" + node + keyPath;
    }
    if (value.empty() || value[0] != '#') {
        if (path.empty() || path.back() != '\\') path += '\\';
    }

    if (part.record->registry.onlyNew.Bool(false)) {
        // The key the line names: with the trailing backslash of a default
        // value removed, which the registry does not take in a key name.
        if (run.effects.RegistryKeyExists(root, PlatformKeyPath(path))) return;
    }

    if (value.compare(0, 4, "#dw:") == 0) {
        int32_t number = 0;
        if (ParseDwordValue(value.substr(4), number)) {
            SetRegistryInteger(run.effects, root, path, number);
        } else {
            InfoMessage(run.MessageOwner(), "SetRegistryInteger(1):Zahl au\xDF"
                                            "erhalb von 32 Bit, nicht geschrieben:\r" +
                                                line);
        }
    } else if (value.compare(0, 4, "#sz:") == 0) {
        SetRegistryString(run.effects, root, path, value.substr(4));
    } else {
        SetRegistryString(run.effects, root, path, value);
    }
}

void RegisterClassesSection(RunContext& run) {
    if (!run.script) return;
    for (const script::Numbered& line : run.script->ClassEntries()) {
        std::string entry = line.value.text;
        RunContext::ExpandPlaceholders(entry);
        if (entry.empty()) break;
        const size_t equals = entry.find('=');
        if (equals == std::string::npos) {
            run.effects.CreateRegistryKey(plat::RegRoot::ClassesRoot, entry);
            continue;
        }
        std::string data = entry.substr(equals + 1, MaxValueLength);
        if (!run.Substitute(data, &run.targetDir)) PlainMessage(texts::FailedSubstitution + data);
        SetKeyDefault(run.effects, plat::RegRoot::ClassesRoot, entry.substr(0, equals), data);
    }
}

void RecordInstallFolder(RunContext& run, const std::string& folder) {
    // The install record that GetPreviousInstallDir reads back ("R\Installs\").
    WriteRegistryString(run.effects, "M\\Software\\Qorv\\Installs", run.projectName, folder);
}

void WriteUninstallEntry(RunContext& run, const PartInRun& partToInstall,
                         const std::string& unInst) {
    const std::string& partName = partToInstall.name;
    const std::string& partTarget = partToInstall.folders.target;
    using plat::RegRoot;
    // A part without a Name would write into the Uninstall key itself, among
    // every other program's entries: its section name names the entry then.
    const script::PartRecord& part = *partToInstall.record;
    const std::string name = part.name.Or(partName);
    const std::string key = UninstallKey + name + "\\";
    SetRegistryString(run.effects, RegRoot::LocalMachine, key + "DisplayName",
                      part.headLine.Or(name));
    SetRegistryString(run.effects, RegRoot::LocalMachine, key + "UninstallString", unInst);
    // Windows reads the size in KiB; a part of a KiB counts as a whole one.
    const int64_t bytes =
        std::max<int32_t>(0, run.script ? run.script->Project().bytes.Integer(0) : 0);
    SetRegistryInteger(run.effects, RegRoot::LocalMachine, key + "EstimatedSize",
                       static_cast<int32_t>((bytes + 1023) / 1024));
    std::string publisher = run.script ? script::Expanded(run.script->Project().publisher) : "";
    if (publisher.empty() && run.script) publisher = script::Expanded(run.script->Project().instit);
    SetRegistryString(run.effects, RegRoot::LocalMachine, key + "Publisher", publisher);
    SetRegistryString(run.effects, RegRoot::LocalMachine, key + "InstallLocation", run.targetDir);
    std::string icon = part.uninstall.icon.text;
    if (!icon.empty()) {
        RunContext::ExpandPlaceholders(icon);
        if (run.Substitute(icon, &partTarget))
            SetRegistryString(run.effects, RegRoot::LocalMachine, key + "DisplayIcon", icon);
    }

    const std::string& groupReg = part.uninstall.groupKey.text;
    if (groupReg.empty()) return;
    for (size_t n = 0; n < run.groupList.size(); ++n) {
        RegRoot root;
        std::string path;
        DecodeRegistryPath(groupReg + "\\ProgGroup\\" + std::to_string(n + 1), root, path,
                           run.projectName);
        SetRegistryString(run.effects, root, path, run.groupList[n]);
    }
}

} // namespace setup
