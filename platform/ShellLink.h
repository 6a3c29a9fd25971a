// Shortcut files (.LNK) and the shell notification of the start menu. Win32:
// the shell link object through COM (IShellLinkW, IPersistFile); Linux: a
// writer of the published Shell Link binary format. Texts are Windows-1252.
// Results are HRESULT values: 0 (S_OK) on success, negative on failure.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace plat {

// S_FALSE and the CoInitialize failures the installer names.
enum : int32_t {
    kHrFalse = 1,
    kHrUnexpected = static_cast<int32_t>(0x8000FFFF),
    kHrOutOfMemory = static_cast<int32_t>(0x8007000E),
    kHrInvalidArg = static_cast<int32_t>(0x80070057),
};

// CoInitialize / CoUninitialize for the calling thread (Linux: 0, nothing).
int32_t comInitialize();
void comUninitialize();

// One shell link object. Each setter returns the HRESULT of its call.
class ShellLink {
  public:
    ShellLink();
    ~ShellLink();
    ShellLink(const ShellLink&) = delete;
    ShellLink& operator=(const ShellLink&) = delete;

    // Creates the object (CoCreateInstance of CLSID_ShellLink).
    int32_t create();
    int32_t setPath(const std::string& path);
    int32_t setDescription(const std::string& description);
    int32_t setWorkingDirectory(const std::string& folder);
    int32_t setArguments(const std::string& arguments);
    int32_t setHotkey(uint16_t hotKey);
    int32_t setShowCmd(int32_t showCmd);
    int32_t setIconLocation(const std::string& iconFile, int32_t index);
    // Queries IPersistFile (before save).
    int32_t queryPersistFile();
    // Saves to linkFile (a Windows path; at most 259 characters are used).
    int32_t save(const std::string& linkFile);

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// Tells every top-level window that settings changed (WM_WININICHANGE to
// HWND_BROADCAST), so that the shell shows a new start-menu group. Linux:
// nothing to tell.
void broadcastWinIniChange();

} // namespace plat
