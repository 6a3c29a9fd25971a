// What the emulated Windows knows of a file beyond Linux's stat: the
// attributes hidden, system and archive (an extended attribute), the
// read-only rules, and keeping the folder listings current across a change.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string>

#include "platform/FileSystem.h"
#include "platform/emulated/Emulated.h"

namespace plat::emulated {

constexpr uint32_t kErrInvalidHandle = 6; // ERROR_INVALID_HANDLE

// Hidden, system and archive: the attributes kept in the extended attribute.
constexpr uint32_t kStoredBits = kAttrHidden | kAttrSystem | kAttrArchive;

struct Info {
    mode_t mode = 0;
    uint64_t size = 0;
    FileTime creation = 0;
    FileTime access = 0;
    FileTime write = 0;
    dev_t device = 0;
    ino_t inode = 0;
    timespec change{}; // status change (ctime): every change of the attribute record moves it
};

bool infoOf(const std::string& native, Info& out);
bool infoOf(int fd, Info& out);
// The record of a resolved path: the one its lookup took, else a fresh one.
bool infoOf(const Resolved& r, Info& out);

// The attribute bits recorded for a file; nullopt when it has no record.
std::optional<uint32_t> storedBits(const std::string& native);
// Records attribute bits; true also where the file system cannot keep them.
bool storeBits(const std::string& native, uint32_t bits);
// Windows sets archive whenever a file is written.
void markArchive(int fd);
// The Windows attributes of a file (FILE_ATTRIBUTE_*). The record of a file
// whose status has not changed since it was read is not read again.
uint32_t attributesOf(const std::string& native, const Info& info);

bool readOnlyFile(const Info& info);
// Z: is the Linux file system outside the emulated Windows: the program may
// read there (scripts, sources) but never change anything, as Windows
// answers a denied access.
bool readOnlyDrive(const Resolved& r);
// The error for a path that does not exist.
uint32_t missingError(const Resolved& r);

DirEntry makeEntry(const std::string& native, const std::string& name, const Info& info);

std::string parentOf(const std::string& native);
std::string baseName(const std::string& native);

// Keeps the folder listings for case-insensitive lookups up to date across
// one change made by this process to the path r names.
class FolderChange {
  public:
    explicit FolderChange(const Resolved& r)
        : folder_(parentOf(r.native)), name_(baseName(r.native)),
          wasCurrent_(r.parentListed || listingCurrent(folder_)) {}
    void added() { listingChanged(folder_, wasCurrent_, name_, ""); }
    void removed() { listingChanged(folder_, wasCurrent_, "", name_); }

  private:
    std::string folder_, name_;
    bool wasCurrent_;
};

} // namespace plat::emulated
