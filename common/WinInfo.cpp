#include "common/WinInfo.h"

#include "common/Ansi.h"
#include "common/RegistryAccess.h"
#include "platform/FileSystem.h"
#include "platform/Registry.h"
#include "platform/System.h"

namespace setup {

namespace {

const char* const kShortNamesKey = "M\\SYSTEM\\CurrentControlSet\\Control\\FileSystem";
const char* const kShortNamesValue = "NtfsDisable8dot3NameCreation";

// ProductName of an open key, upper case, cut to the 78 characters the
// version check reads.
std::string UpperProductName(const plat::RegKey& key) {
    std::string name;
    if (key.queryString("ProductName", name) != 0) return {};
    if (name.size() > 78) name.resize(78);
    return AnsiUpperCase(name);
}

bool Holds(const std::string& text, const char* part) {
    return text.find(part) != std::string::npos;
}

} // namespace

bool IsWow64() {
    return plat::isWow64Process();
}

int WindowsVersion() {
    plat::OsVersion v;
    if (!plat::getOsVersion(v)) return WinUnknown;
    if (v.platformId == 1) {
        if (v.minor < 10) return Win95;
        plat::RegKey key;
        if (key.open(plat::RegRoot::LocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion",
                     plat::RegAccess::Read) == 0 &&
            Holds(UpperProductName(key), "WINDOWS ME"))
            return WinMe;
        return Win98;
    }
    if (v.platformId != 2) return WinUnknown;
    plat::RegKey key;
    if (key.open(plat::RegRoot::LocalMachine, "Software\\Microsoft\\Windows NT\\CurrentVersion",
                 plat::RegAccess::Read) != 0)
        return WinNt4;
    const std::string product = UpperProductName(key);
    const bool wow = IsWow64();
    if (Holds(product, "WINDOWS 2000")) return Win2000;
    if (Holds(product, "WINDOWS XP")) return wow ? WinXp64 : WinXp;
    if (v.major == 5) return WinNt5;
    if (v.major == 6) {
        if (v.minor == 0) {
            if (Holds(product, "2008")) return wow ? WinServer2008x64 : WinServer2008;
            return wow ? WinVista64 : WinVista;
        }
        return wow ? Win7x64 : Win7;
    }
    return WinUnknown;
}

bool ShortNamesEnabled() {
    return ReadRegistryInteger(kShortNamesKey, kShortNamesValue, 0) == 0;
}

void EnableShortNames() {
    WriteRegistryInteger(kShortNamesKey, kShortNamesValue, 0);
}

std::string SysErrorText(uint32_t code) {
    std::string text = plat::sysErrorText(code);
    if (!text.empty()) return text;
    const uint32_t lookupError = plat::lastError();
    return std::to_string(lookupError != 0 ? lookupError : code);
}

std::string LastErrorText() {
    return SysErrorText(plat::lastError());
}

} // namespace setup
