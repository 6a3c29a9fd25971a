// Effects: every change a run makes to the machine, and the reads its
// decisions depend on, through one interface that the run context holds.
// DirectEffects() carries them out on the machine itself. Another
// implementation may record them instead (a plan: reads answered from what
// it recorded, nothing changed) or pass them on and write each to the
// record of the run (for uninstalling); the steps stay as they are.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/FileSystem.h"
#include "platform/Registry.h"

namespace setup {

// A shortcut as the shell link stores it; each text is cut to 145 characters.
struct ShortcutSpec {
    std::string Path;
    std::string WorkingDirectory;
    std::string LinkFile;
    std::string Arguments;
    std::string Description;
    std::string IconFile;
    int32_t IconIndex = 0;
    int32_t ShowCmd = 5; // SW_SHOW
};

// A file being written beside its destination; it replaces the destination
// only when complete (Commit) and is removed otherwise (Discard or when it
// is destroyed).
class PendingFile {
  public:
    virtual ~PendingFile() = default;
    // false after a failing write; the error is in LastError.
    virtual bool Write(const void* data, size_t size) = 0;
    // Up to count bytes of source (see plat::File::copyFrom): the bytes
    // copied, 0 at the source's end, negative on an error.
    virtual int64_t CopyFrom(plat::File& source, uint64_t count, void* buffer,
                             uint64_t bufferSize) = 0;
    // Takes room for size bytes at once where the file system can.
    virtual void Reserve(uint64_t size) = 0;
    virtual bool Flush() = 0;
    virtual uint32_t LastError() const = 0;
    // Stamps the file and closes it (no more writes).
    virtual bool Finish(std::optional<plat::FileTime> creation, plat::FileTime writeTime) = 0;
    virtual bool SetAttributes(uint32_t attributes) = 0;
    // Puts the file in dest's place; false when that fails.
    virtual bool Commit(const std::string& dest) = 0;
    virtual void Discard() = 0;
};

// The outcome of a registry write: keyError when the key could not be
// opened or created (nothing written), else valueError of the write.
struct RegistryWrite {
    uint32_t keyError = 0;
    uint32_t valueError = 0;
    bool ok() const { return keyError == 0 && valueError == 0; }
};

// A registry value as stored: a string's text without its terminating zero,
// a DWORD's 4 bytes little-endian, other kinds their bytes.
struct RegistryValue {
    plat::RegType type = plat::RegType::None;
    std::string data;
    bool operator==(const RegistryValue&) const = default;
};

class Effects {
  public:
    virtual ~Effects() = default;

    // The effects a decorator passes its calls on to; null for those that
    // act themselves. A plan is found below any decorator (AsPlan).
    virtual Effects* Decorated() { return nullptr; }

    // --- reads a decision depends on ---
    virtual bool FileExists(const std::string& path) = 0;
    virtual bool FolderExists(const std::string& path) = 0;
    virtual std::optional<uint32_t> Attributes(const std::string& path) = 0;
    // The directory entry of the file path (size, times, attributes; the
    // first match of a pattern that is no folder); false when there is none.
    virtual bool Entry(const std::string& path, plat::DirEntry& entry) = 0;
    virtual std::optional<std::string> RegistryString(plat::RegRoot root, const std::string& key,
                                                      const std::string& name) = 0;
    virtual bool RegistryKeyExists(plat::RegRoot root, const std::string& key) = 0;
    // Whether the existing file path could be replaced: it opens for writing
    // (not read-only, not locked by a running program).
    virtual bool CanReplace(const std::string& path) = 0;
    // Any value with its type; nullopt when there is no such value or key.
    virtual std::optional<RegistryValue>
    ReadRegistryValue(plat::RegRoot root, const std::string& key, const std::string& name) = 0;

    // --- files and folders ---
    // One folder whose parent exists; 0 or the error code.
    virtual uint32_t CreateFolder(const std::string& path) = 0;
    // A new file in folder (with a backslash) that replaces its destination
    // when committed; null (with error set) when it cannot be created.
    virtual std::unique_ptr<PendingFile>
    BeginFile(const std::string& folder, const std::string& extension, uint32_t& error) = 0;
    // Removes the files a killed run left being written in folder.
    virtual void RemoveStaleFiles(const std::string& folder) = 0;
    virtual bool MoveFile(const std::string& from, const std::string& to, bool replace) = 0;
    virtual bool DeleteFile(const std::string& path) = 0;
    // Removes an empty folder; false when it is missing or holds anything.
    virtual bool RemoveFolder(const std::string& path) = 0;
    // Has the file (or empty folder) removed when Windows next starts; false
    // where that cannot be done (the emulated Windows).
    virtual bool DeleteFileAtRestart(const std::string& path) = 0;
    virtual bool SetAttributes(const std::string& path, uint32_t attributes) = 0;
    // Sets only the last-write time; 0 or the error code.
    virtual uint32_t SetWriteTime(const std::string& path, plat::FileTime time) = 0;

    // --- registry ---
    virtual RegistryWrite SetRegistryString(plat::RegRoot root, const std::string& key,
                                            const std::string& name, const std::string& value) = 0;
    virtual RegistryWrite SetRegistryDword(plat::RegRoot root, const std::string& key,
                                           const std::string& name, uint32_t value) = 0;
    // Opens or creates key; 0 or the error code.
    virtual uint32_t CreateRegistryKey(plat::RegRoot root, const std::string& key) = 0;
    // Puts back a value of any type (creating the key); 0 or the error code.
    virtual uint32_t WriteRegistryValue(plat::RegRoot root, const std::string& key,
                                        const std::string& name, const RegistryValue& value) = 0;
    // 0, or the error code (kErrFileNotFound when the value or key is missing).
    virtual uint32_t DeleteRegistryValue(plat::RegRoot root, const std::string& key,
                                         const std::string& name) = 0;
    // Removes a key without values and subkeys: 0; kErrFileNotFound when it
    // is missing, plat::kErrDirNotEmpty when it holds anything.
    virtual uint32_t DeleteRegistryKey(plat::RegRoot root, const std::string& key) = 0;

    // --- the shell, fonts, programs ---
    // Saves the shortcut: the result of saving (negative: failed), -3 when
    // the link object cannot be created; error names a step that failed.
    virtual int32_t CreateShortcut(const ShortcutSpec& spec, uint16_t hotKey,
                                   std::string& error) = 0;
    virtual int AddFontResource(const std::string& file) = 0;
    virtual uint32_t RemoveFontResource(const std::string& file) = 0;
    virtual uint32_t CreateScalableFontResource(const std::string& fotFile,
                                                const std::string& fontFile,
                                                const std::string& folder) = 0;
    virtual void BroadcastFontChange() = 0;
    virtual void BroadcastWinIniChange() = 0;
    virtual bool StartProgram(const std::string& commandLine, const std::string& folder) = 0;
    // owner: a window handle or 0.
    virtual bool ShellExecute(const std::string& verb, const std::string& file,
                              const std::string& parameters, uintptr_t owner) = 0;
};

// The effects carried out on the machine (the platform layer).
Effects& DirectEffects();

} // namespace setup
