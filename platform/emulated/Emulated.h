// Private helpers of the emulated Windows (the Linux build's backend): its
// root, the mapping of Windows paths onto it, case rules and error codes.
#pragma once

#include <sys/stat.h>
#include <time.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/FileSystem.h"

namespace plat::emulated {

// Windows-1252 case rules (the same as the program's own AnsiUpCaseChar; the
// platform layer does not depend on common/).
constexpr char upCase(char ch) {
    const unsigned char c = static_cast<unsigned char>(ch);
    if ((c >= 'a' && c <= 'z') || (c >= 0xE0 && c <= 0xFE)) return static_cast<char>(c - 32);
    switch (c) {
    case 0x9A:
        return static_cast<char>(0x8A);
    case 0x9C:
        return static_cast<char>(0x8C);
    case 0x9E:
        return static_cast<char>(0x8E);
    case 0xFF:
        return static_cast<char>(0x9F);
    default:
        return ch;
    }
}
std::string upper(std::string_view text);
bool sameText(std::string_view a, std::string_view b);

// Sets the thread's last error and returns false, for one-line failure paths.
bool fail(uint32_t code);
void setLastError(uint32_t code);
// errno -> Win32 error code. missingParent selects ERROR_PATH_NOT_FOUND for ENOENT.
uint32_t fromErrno(int err, bool missingParent = false);

// FILETIME (100 ns since 1601, UTC) <-> Linux time.
FileTime toFileTime(const timespec& ts);
timespec toTimespec(FileTime t);

// The root folder (no trailing slash), laid out on first use; empty when it
// cannot be created (rootProblem() tells why).
std::string root();
std::string rootProblem();

// A Windows path mapped onto the Linux file system.
struct Resolved {
    char drive = 0;     // upper-case drive letter
    std::string native; // Linux path, UTF-8, components in on-disk case where they exist
    std::vector<std::string>
        components;            // Windows-1252 names after the drive, on-disk case where found
    bool exists = false;       // the whole path exists
    bool parentExists = false; // the folder that holds it exists
    // What the lookup learnt of an existing path (STATX_BASIC_STATS and
    // STATX_BTIME), so that callers need not ask the file system again.
    bool hasInfo = false;
    struct statx info {};
    // The lookup found the listing of the folder that holds the path current,
    // so that a change of that folder need not check it again.
    bool parentListed = false;
};

// Maps a Windows path (absolute, or relative to the current folder; "\" or "/"
// separators; "." and ".." resolved lexically). Names that do not exist with
// their exact case are looked up without regard to case. nullopt (with the last
// error set) when the path names no drive this emulation has.
std::optional<Resolved> resolve(const std::string& windowsPath);

// The on-disk name (UTF-8) of the entry of a Linux folder that matches a
// Windows-1252 name without regard to case. folderStat: the folder's stat
// when the caller has just taken it; listed: set to whether the folder's
// listing is current after the call.
std::optional<std::string> findInFolder(const std::string& folder, const std::string& name,
                                        const struct stat* folderStat = nullptr,
                                        bool* listed = nullptr);
// Whether the listing kept of a folder, as last read and without asking the
// disk, lacks a name: a hint that a lookup of the name will find nothing.
bool listedAsMissing(const std::string& folder, const std::string& name);
// Keeping the listings of findInFolder current: listingCurrent before a change
// of a folder, listingChanged after it succeeded (names on disk, empty for none).
bool listingCurrent(const std::string& folder);
void listingChanged(const std::string& folder, bool wasCurrent, const std::string& added,
                    const std::string& removed);

// A Linux path (absolute or relative to the current folder) in Z: form.
std::string zForm(const std::string& linuxPath);
// A Linux path in its drive form: X:\... under the root's drive_x, else Z:\...
std::string driveForm(const std::string& linuxPath);

// Linux paths: the names of a path with "." and ".." resolved lexically, its
// absolute form (relative to the current folder), whether it is a folder.
std::vector<std::string> linuxComponents(const std::string& path);
std::string absoluteLinux(const std::string& path);
bool isFolder(const std::string& path);

} // namespace plat::emulated

namespace plat::emulated {

// Writes a file as one step: a temporary file beside it, renamed over the old
// one before the call returns. false with errno's Win32 code in error. The
// flush to the disk waits for flushReplacedFiles (also called at exit).
bool replaceFile(const std::string& path, const std::string& bytes, uint32_t& error);
void flushReplacedFiles();

// Writes the registry of a fresh Windows to file (registry part of a new root).
bool writeFreshRegistry(const std::string& file, uint32_t& error);
// Forgets the registry contents read so far.
void resetRegistry();
// A message naming the file and line when registry.reg cannot be read.
bool registryProblem(std::string& message);

} // namespace plat::emulated
