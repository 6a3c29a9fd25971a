// Windows information and process-wide services of the platform layer.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace plat {

// The fields of GetVersionExA's OSVERSIONINFOA that the version code needs.
struct OsVersion {
    uint32_t platformId = 0; // 1 = Windows 95 family, 2 = NT family
    uint32_t major = 0;
    uint32_t minor = 0;
    uint32_t build = 0;
};

// false when the version cannot be read (GetVersionExA failed).
bool getOsVersion(OsVersion& out);
// IsWow64Process of the running process; false when the function is missing.
bool isWow64Process();

// Full path of the running program (Windows form; Linux: Z:\... or C:\...).
std::string programPath();
// The Windows folder and the system folder as the system reports them
// (GetWindowsDirectory / GetSystemDirectory; no guarantees about the trailing backslash).
std::string windowsDirectory();
std::string systemDirectory();

// The system's message text for an error code; empty when there is none.
std::string sysErrorText(uint32_t code);

// Command-line arguments after the program name, as Windows-1252 texts.
// Linux: argv; Win32: CommandLineToArgvW rules via the C runtime's wide argv.
void setArguments(const std::vector<std::string>& args);
const std::vector<std::string>& arguments();

// Turns a path given on the command line (platform form: a Linux path on Linux)
// into the Windows form the program works with. Linux: a path inside the
// root's drive_x folder names drive X:, any other Linux path its Z: form.
std::string toWindowsPath(const std::string& platformPath);
// The opposite, for messages and for options that name files outside the
// emulated Windows (log, answers): a Windows path to the platform's own form.
std::string toNativePath(const std::string& windowsPath);

// Handles pending window messages (Win32: PeekMessage/Dispatch loop). Linux
// has no windows and nothing to do here: Ctrl-C, SIGTERM and SIGHUP set the
// abort flag from their handler at once (platform/CancelSignals.h).
void pumpMessages();

// Three-letter Windows abbreviation of the user's interface language (ENU,
// DEU, ...; Win32: LOCALE_SABBREVLANGNAME, Linux: from LC_ALL, LC_MESSAGES or
// LANG). The environment variable SETUP_LANG, when set, is used instead.
// Empty when unknown.
std::string userLanguageAbbreviation();

// Milliseconds of a monotonic clock.
uint64_t tickCount();
void sleepMs(uint32_t ms);

} // namespace plat
