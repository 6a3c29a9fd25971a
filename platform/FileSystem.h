// File system services of the platform layer. Paths are Windows paths in
// Windows-1252 ("C:\Dir\File.txt"); the emulated backend maps them onto the
// emulated Windows, the Win32 backend converts them to UTF-16 and calls the W API.
// Every call that can fail reports the OS error as a Win32 error code
// (ERROR_FILE_NOT_FOUND, ERROR_ACCESS_DENIED, ...; 0 = success).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace plat {

// Win32 error codes the portable code looks at.
enum : uint32_t {
    kErrSuccess = 0,
    kErrFileNotFound = 2,
    kErrPathNotFound = 3,
    kErrAccessDenied = 5,
    kErrNotEnoughMemory = 8,
    kErrWriteProtect = 19,
    kErrSharingViolation = 32,
    kErrHandleDiskFull = 39,
    kErrFileExists = 80,
    kErrInvalidParameter = 87,
    kErrDiskFull = 112,
    kErrAlreadyExists = 183,
    kErrMoreData = 234,
    kErrNoMoreItems = 259,
};

// File attribute bits, as Windows defines them.
enum : uint32_t {
    kAttrReadOnly = 0x01,
    kAttrHidden = 0x02,
    kAttrSystem = 0x04,
    kAttrDirectory = 0x10,
    kAttrArchive = 0x20,
    kAttrNormal = 0x80,
};

// Times are FILETIME values: 100 ns units since 1601-01-01, UTC.
using FileTime = uint64_t;

struct DirEntry {
    std::string name; // long name, Windows-1252
    uint32_t attributes = 0;
    uint64_t size = 0;
    FileTime creationTime = 0;
    FileTime accessTime = 0;
    FileTime writeTime = 0;
};

// A directory search (FindFirstFile/FindNextFile). The pattern is a path whose
// last component may hold the wildcards "*" and "?" with Windows' matching
// rules ("*.*" matches every name, also names without a dot). "." and ".."
// are returned where the file system has them (Win32) and never on Linux;
// callers skip them. Not copyable; closes its handle when destroyed.
class DirSearch {
  public:
    DirSearch();
    ~DirSearch();
    DirSearch(const DirSearch&) = delete;
    DirSearch& operator=(const DirSearch&) = delete;

    // Starts a search; false when nothing matches (lastError() tells why).
    bool first(const std::string& pattern);
    // The next match; false at the end.
    bool next();
    const DirEntry& entry() const { return entry_; }
    uint32_t lastError() const { return error_; }

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
    DirEntry entry_;
    uint32_t error_ = 0;
};

// Directory entry of one exact path (no wildcards); nullopt when there is none.
std::optional<DirEntry> statPath(const std::string& path);

enum class OpenMode {
    Read,         // existing file, read only; others may read and write it
    Write,        // existing file, read and write, not truncated
    CreateAlways, // create or truncate, read and write
    CreateNew,    // create; fails with kErrFileExists when it exists
};

// An open file. Not copyable; closes when destroyed.
class File {
  public:
    File();
    ~File();
    File(File&&) noexcept;
    File& operator=(File&&) noexcept;
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    // Opens the file; false on failure (lastError()).
    bool open(const std::string& path, OpenMode mode);
    // Opens a file of the platform itself, named as the platform names files
    // (UTF-8 Linux path on Linux, where the emulated Windows' drive rules do
    // not apply; the same as open on Win32). For the program's own files
    // such as the log.
    bool openPlatformFile(const std::string& platformPath, OpenMode mode);
    bool isOpen() const;
    void close();

    // Reads up to count bytes; returns the number read (0 at the end), -1 on error.
    int64_t read(void* buffer, uint64_t count);
    // Writes count bytes; returns the number written (less on a full disk), -1 on error.
    int64_t write(const void* buffer, uint64_t count);
    bool seek(uint64_t position);
    std::optional<uint64_t> size() const;
    // Sets the times that are given (nullopt leaves a time as it is).
    bool setTimes(std::optional<FileTime> creation, std::optional<FileTime> access,
                  std::optional<FileTime> write);
    std::optional<FileTime> writeTime() const;
    bool flush();
    // Copies up to count bytes from source's position to this file's position
    // and advances both: inside the kernel where the system can (Linux
    // copy_file_range), else by one read into buffer (at most bufferSize
    // bytes) and one write. Returns the bytes copied, 0 at the source's end,
    // -1 when reading or writing failed or not all could be written
    // (lastError()).
    int64_t copyFrom(File& source, uint64_t count, void* buffer, uint64_t bufferSize);
    // Reserves disk space for a file that will grow to size bytes, without
    // changing its size, where the file system can; a hint (writes still
    // report a full disk).
    void reserve(uint64_t size);

    uint32_t lastError() const { return error_; }

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
    uint32_t error_ = 0;
};

// Attributes of a file or folder; nullopt when it does not exist (lastError()).
std::optional<uint32_t> getAttributes(const std::string& path);
bool setAttributes(const std::string& path, uint32_t attributes);
bool fileExists(const std::string& path);   // a file, not a folder
bool folderExists(const std::string& path); // a folder
// A file that holds data on a disk: not a folder, device, pipe or socket,
// so it can be read to its end without waiting for anyone.
bool isRegularFile(const std::string& path);
bool deleteFile(const std::string& path);
// Moves or renames a file or folder; with replace, an existing destination
// file is replaced in one step (MoveFileEx MOVEFILE_REPLACE_EXISTING / rename).
bool moveFile(const std::string& from, const std::string& to, bool replace);
bool createFolder(const std::string& path);
bool removeFolder(const std::string& path);
// Has a file (or an empty folder) removed when Windows next starts
// (MoveFileEx with MOVEFILE_DELAY_UNTIL_REBOOT), for one held open by a
// running program. False where that cannot be done: the emulated Windows
// never restarts (and holds no locks).
bool deleteFileAtRestart(const std::string& path);
// Free bytes available to the caller on the drive that holds path.
std::optional<uint64_t> freeSpace(const std::string& path);
// Full path of an existing file with each component's long name as stored on
// disk; nullopt when a component is missing.
std::optional<std::string> longPathName(const std::string& path);
// true when the program may change nothing on the drive of path: on Linux the
// emulated Windows' Z:, which is the Linux file system; never on Win32.
bool readOnlyDrive(const std::string& path);
// The Win32 error code of the last failed call of this thread.
uint32_t lastError();

} // namespace plat
