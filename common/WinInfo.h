// Windows information: the version code, WOW64, 8.3 names, error texts.
#pragma once

#include <cstdint>
#include <string>

namespace setup {

// Windows version codes.
enum : int {
    WinUnknown = 1,
    Win95 = 3,
    Win98 = 4,
    WinMe = 6,
    WinNt4 = 7,
    Win2000 = 8,
    WinXp = 9,
    WinNt5 = 10,
    WinVista = 11,
    WinServer2008 = 12,
    Win7 = 13,
    WinXp64 = 14,
    WinVista64 = 15,
    WinServer2008x64 = 16,
    Win7x64 = 17,
};

// The version code, computed on each call.
int WindowsVersion();
bool IsWow64();
// NtfsDisable8dot3NameCreation is 0.
bool ShortNamesEnabled();
void EnableShortNames();
// The system's message for an error code; never fails.
std::string SysErrorText(uint32_t code);
std::string LastErrorText();

} // namespace setup
