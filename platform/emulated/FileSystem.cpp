// Files and folders of the emulated Windows. Windows behaviour the Linux file
// system lacks is added here: names without regard to case, the attributes
// hidden, system and archive (an extended attribute), and the read-only
// attribute, which is enforced even for root, who ignores permission bits.
#include "platform/FileSystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/statvfs.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <vector>

#include "platform/Cp1252.h"
#include "platform/emulated/Emulated.h"

namespace plat {
namespace {

using emulated::fail;
using emulated::fromErrno;
using emulated::resolve;
using emulated::Resolved;

constexpr uint32_t kErrNoMoreFiles = 18;
constexpr uint32_t kErrDirectory = 267; // ERROR_DIRECTORY: not a folder
constexpr uint32_t kErrInvalidHandle = 6;

// Hidden, system and archive (and read-only of folders) as decimal text.
constexpr const char* kAttrXattr = "user.setup.attributes";
constexpr uint32_t kStoredBits = kAttrHidden | kAttrSystem | kAttrArchive;

struct Info {
    mode_t mode = 0;
    uint64_t size = 0;
    FileTime creation = 0;
    FileTime access = 0;
    FileTime write = 0;
    dev_t device = 0;
    ino_t inode = 0;
};

void fillInfo(const struct statx& sx, Info& out) {
    out.mode = sx.stx_mode;
    out.size = sx.stx_size;
    auto ts = [](const statx_timestamp& t) {
        timespec s{};
        s.tv_sec = static_cast<time_t>(t.tv_sec);
        s.tv_nsec = static_cast<long>(t.tv_nsec);
        return emulated::toFileTime(s);
    };
    out.write = ts(sx.stx_mtime);
    out.access = ts(sx.stx_atime);
    out.creation = (sx.stx_mask & STATX_BTIME) ? ts(sx.stx_btime) : out.write;
    out.device = makedev(sx.stx_dev_major, sx.stx_dev_minor);
    out.inode = sx.stx_ino;
}

bool infoOf(const std::string& native, Info& out) {
    struct statx sx;
    if (statx(AT_FDCWD, native.c_str(), 0, STATX_BASIC_STATS | STATX_BTIME, &sx) != 0) return false;
    fillInfo(sx, out);
    return true;
}

bool infoOf(int fd, Info& out) {
    struct statx sx;
    if (statx(fd, "", AT_EMPTY_PATH, STATX_BASIC_STATS | STATX_BTIME, &sx) != 0) return false;
    fillInfo(sx, out);
    return true;
}

// The record of a resolved path: the one its lookup took, else a fresh one.
bool infoOf(const Resolved& r, Info& out) {
    if (!r.exists) return false;
    if (!r.hasInfo) return infoOf(r.native, out);
    fillInfo(r.info, out);
    return true;
}

std::optional<uint32_t> parseBits(const char* buffer, ssize_t n) {
    if (n <= 0) return std::nullopt;
    uint32_t bits = 0;
    for (ssize_t i = 0; i < n; ++i) {
        if (buffer[i] < '0' || buffer[i] > '9') return std::nullopt;
        bits = bits * 10 + static_cast<uint32_t>(buffer[i] - '0');
    }
    return bits;
}

std::optional<uint32_t> storedBits(const std::string& native) {
    char buffer[16];
    return parseBits(buffer, getxattr(native.c_str(), kAttrXattr, buffer, sizeof buffer));
}

bool storeBits(const std::string& native, uint32_t bits) {
    const std::string text = std::to_string(bits);
    if (setxattr(native.c_str(), kAttrXattr, text.data(), text.size(), 0) == 0) return true;
    // A file system without extended attributes keeps only what it has.
    return errno == ENOTSUP;
}

// Windows sets archive whenever a file is written.
void markArchive(int fd) {
    char buffer[16];
    const std::optional<uint32_t> bits =
        parseBits(buffer, fgetxattr(fd, kAttrXattr, buffer, sizeof buffer));
    if (!bits || (*bits & kAttrArchive)) return; // no record reads as archive
    const std::string text = std::to_string(*bits | kAttrArchive);
    fsetxattr(fd, kAttrXattr, text.data(), text.size(), 0);
}

uint32_t attributesOf(const std::string& native, const Info& info) {
    const std::optional<uint32_t> bits = storedBits(native);
    uint32_t attributes = 0;
    if (S_ISDIR(info.mode)) {
        attributes = kAttrDirectory | (bits ? *bits & (kStoredBits | kAttrReadOnly) : 0);
    } else {
        attributes = bits ? *bits & kStoredBits : kAttrArchive;
        if (!(info.mode & S_IWUSR)) attributes |= kAttrReadOnly;
    }
    return attributes ? attributes : kAttrNormal;
}

bool readOnlyFile(const Info& info) {
    return !S_ISDIR(info.mode) && !(info.mode & S_IWUSR);
}

// Z: is the Linux file system outside the emulated Windows: the program may
// read there (scripts, sources) but never change anything, as Windows
// answers a denied access.
bool readOnlyDrive(const Resolved& r) {
    return r.drive == 'Z';
}

// The error for a path that does not exist.
uint32_t missingError(const Resolved& r) {
    return r.parentExists ? kErrFileNotFound : kErrPathNotFound;
}

DirEntry makeEntry(const std::string& native, const std::string& name, const Info& info) {
    DirEntry entry;
    entry.name = name;
    entry.attributes = attributesOf(native, info);
    entry.size = S_ISDIR(info.mode) ? 0 : info.size;
    entry.creationTime = info.creation;
    entry.accessTime = info.access;
    entry.writeTime = info.write;
    return entry;
}

// "*" and "?" without regard to case.
bool wildMatch(std::string_view pattern, std::string_view name) {
    size_t p = 0, n = 0, starP = std::string_view::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() &&
            (pattern[p] == '?' || emulated::upCase(pattern[p]) == emulated::upCase(name[n]))) {
            ++p;
            ++n;
        } else if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (starP != std::string_view::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

// Windows' rules: "*.*" is every name, "name.*" also matches "name" and a
// pattern ending in "." matches names without an extension.
bool windowsMatch(std::string_view pattern, std::string_view name) {
    if (pattern == "*" || pattern == "*.*") return true;
    if (wildMatch(pattern, name)) return true;
    const bool noDot = name.find('.') == std::string_view::npos;
    if (pattern.size() >= 2 && pattern.substr(pattern.size() - 2) == ".*")
        return noDot && wildMatch(pattern.substr(0, pattern.size() - 2), name);
    if (!pattern.empty() && pattern.back() == '.')
        return noDot && wildMatch(pattern.substr(0, pattern.size() - 1), name);
    return false;
}

std::string parentOf(const std::string& native) {
    const size_t slash = native.rfind('/');
    return slash == 0 || slash == std::string::npos ? "/" : native.substr(0, slash);
}

std::string baseName(const std::string& native) {
    return native.substr(native.rfind('/') + 1);
}

// Keeps the folder listings for case-insensitive lookups up to date across
// one change made by this process.
class FolderChange {
  public:
    explicit FolderChange(const std::string& native)
        : folder_(parentOf(native)), name_(baseName(native)),
          wasCurrent_(emulated::listingCurrent(folder_)) {}
    void added() { emulated::listingChanged(folder_, wasCurrent_, name_, ""); }
    void removed() { emulated::listingChanged(folder_, wasCurrent_, "", name_); }

  private:
    std::string folder_, name_;
    bool wasCurrent_;
};

} // namespace

// ---- DirSearch ----

struct DirSearch::Impl {
    std::string folder;                                     // Linux folder
    std::vector<std::pair<std::string, std::string>> names; // on disk (UTF-8), Windows-1252
    size_t position = 0;
};

DirSearch::DirSearch() = default;
DirSearch::~DirSearch() = default;

bool DirSearch::first(const std::string& pattern) {
    impl_.reset();
    size_t split = pattern.find_last_of("\\/");
    std::string folder, name;
    if (split != std::string::npos) {
        folder = pattern.substr(0, split + 1);
        name = pattern.substr(split + 1);
    } else if (pattern.size() >= 2 && pattern[1] == ':') {
        folder = pattern.substr(0, 2) + "\\";
        name = pattern.substr(2);
    } else {
        folder = ".";
        name = pattern;
    }
    if (name.find_first_of("*?") == std::string::npos) {
        // No wildcard: the one entry of that name, if any.
        std::optional<DirEntry> found;
        if (!name.empty()) found = statPath(pattern);
        if (!found) {
            error_ = name.empty() ? kErrFileNotFound : plat::lastError();
            emulated::setLastError(error_);
            return false;
        }
        entry_ = std::move(*found);
        impl_ = std::make_unique<Impl>();
        return true;
    }
    const std::optional<Resolved> where = resolve(folder);
    if (!where) {
        error_ = plat::lastError();
        return false;
    }
    Info info;
    if (!infoOf(*where, info) || !S_ISDIR(info.mode)) {
        error_ = kErrPathNotFound;
        return fail(error_);
    }
    auto impl = std::make_unique<Impl>();
    impl->folder = where->native == "/" ? "" : where->native;
    if (DIR* dir = opendir(where->native.c_str())) {
        while (const dirent* e = readdir(dir)) {
            const std::string onDisk = e->d_name;
            if (onDisk == "." || onDisk == "..") continue;
            std::string text = utf8ToCp1252(onDisk);
            if (windowsMatch(name, text)) impl->names.emplace_back(onDisk, std::move(text));
        }
        closedir(dir);
    } else {
        error_ = fromErrno(errno);
        return fail(error_);
    }
    std::sort(impl->names.begin(), impl->names.end(), [](const auto& a, const auto& b) {
        return emulated::upper(a.second) < emulated::upper(b.second);
    });
    impl_ = std::move(impl);
    if (!next()) {
        impl_.reset();
        error_ = kErrFileNotFound;
        return fail(error_);
    }
    return true;
}

bool DirSearch::next() {
    if (!impl_) {
        error_ = kErrInvalidHandle;
        return fail(error_);
    }
    while (impl_->position < impl_->names.size()) {
        const auto& [onDisk, text] = impl_->names[impl_->position++];
        const std::string native = impl_->folder + "/" + onDisk;
        Info info;
        if (!infoOf(native, info)) continue; // gone since the folder was read
        entry_ = makeEntry(native, text, info);
        error_ = kErrSuccess;
        return true;
    }
    error_ = kErrNoMoreFiles;
    return fail(error_);
}

std::optional<DirEntry> statPath(const std::string& path) {
    const std::optional<Resolved> r = resolve(path);
    if (!r) return std::nullopt;
    Info info;
    if (!infoOf(*r, info)) {
        fail(missingError(*r));
        return std::nullopt;
    }
    return makeEntry(r->native, r->components.empty() ? std::string() : r->components.back(), info);
}

// ---- File ----

struct File::Impl {
    int fd = -1;
    bool readOnlyDrive = false; // times of a file on Z: stay as they are
    bool kernelCopied = false;  // copy_file_range has read from this file
    ~Impl() {
        if (fd >= 0) ::close(fd);
    }
};

File::File() = default;
File::~File() = default;
File::File(File&&) noexcept = default;
File& File::operator=(File&&) noexcept = default;

bool File::open(const std::string& path, OpenMode mode) {
    close();
    auto failWith = [this](uint32_t code) {
        error_ = code;
        return fail(code);
    };
    const std::optional<Resolved> r = resolve(path);
    if (!r) return failWith(plat::lastError());
    const bool writing = mode != OpenMode::Read;
    if (writing && readOnlyDrive(*r)) return failWith(kErrAccessDenied);
    Info info;
    if (infoOf(*r, info)) {
        if (S_ISDIR(info.mode)) return failWith(kErrAccessDenied);
        if (mode == OpenMode::CreateNew) return failWith(kErrFileExists);
        if (writing && readOnlyFile(info)) return failWith(kErrAccessDenied);
        if (mode == OpenMode::CreateAlways) {
            // CreateFile with CREATE_ALWAYS refuses to replace a hidden or system file.
            const std::optional<uint32_t> bits = storedBits(r->native);
            if (bits && (*bits & (kAttrHidden | kAttrSystem))) return failWith(kErrAccessDenied);
        }
    } else if (mode == OpenMode::Read || mode == OpenMode::Write || !r->parentExists) {
        return failWith(missingError(*r));
    }
    int flags = O_CLOEXEC | (writing ? O_RDWR : O_RDONLY);
    if (mode == OpenMode::CreateAlways) flags |= O_CREAT | O_TRUNC;
    if (mode == OpenMode::CreateNew) flags |= O_CREAT | O_EXCL;
    std::optional<FolderChange> change;
    if (!r->exists) change.emplace(r->native);
    const int fd = ::open(r->native.c_str(), flags, 0666);
    if (fd < 0) {
        return failWith(errno == EEXIST && mode == OpenMode::CreateNew
                            ? kErrFileExists
                            : fromErrno(errno, !r->parentExists));
    }
    if (change) change->added();
    impl_ = std::make_unique<Impl>();
    impl_->fd = fd;
    impl_->readOnlyDrive = readOnlyDrive(*r);
    // A file this call created has no record yet, which reads as archive.
    if (writing && mode != OpenMode::CreateNew) markArchive(fd);
    error_ = kErrSuccess;
    return true;
}

bool File::openPlatformFile(const std::string& platformPath, OpenMode mode) {
    close();
    int flags = O_CLOEXEC | (mode == OpenMode::Read ? O_RDONLY : O_RDWR);
    if (mode == OpenMode::CreateAlways) flags |= O_CREAT | O_TRUNC;
    if (mode == OpenMode::CreateNew) flags |= O_CREAT | O_EXCL;
    const int fd = ::open(platformPath.c_str(), flags, 0666);
    if (fd < 0) {
        error_ = fromErrno(errno, true);
        return fail(error_);
    }
    impl_ = std::make_unique<Impl>();
    impl_->fd = fd;
    error_ = kErrSuccess;
    return true;
}

bool File::isOpen() const {
    return impl_ && impl_->fd >= 0;
}

void File::close() {
    impl_.reset();
}

int64_t File::read(void* buffer, uint64_t count) {
    if (!isOpen()) {
        error_ = kErrInvalidHandle;
        fail(error_);
        return -1;
    }
    char* out = static_cast<char*>(buffer);
    uint64_t done = 0;
    while (done < count) {
        const size_t chunk = static_cast<size_t>(std::min<uint64_t>(count - done, INT_MAX));
        const ssize_t n = ::read(impl_->fd, out + done, chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            error_ = fromErrno(errno);
            fail(error_);
            return -1;
        }
        if (n == 0) break;
        done += static_cast<uint64_t>(n);
    }
    return static_cast<int64_t>(done);
}

int64_t File::write(const void* buffer, uint64_t count) {
    if (!isOpen()) {
        error_ = kErrInvalidHandle;
        fail(error_);
        return -1;
    }
    const char* in = static_cast<const char*>(buffer);
    uint64_t done = 0;
    while (done < count) {
        const size_t chunk = static_cast<size_t>(std::min<uint64_t>(count - done, INT_MAX));
        const ssize_t n = ::write(impl_->fd, in + done, chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            const int err = n < 0 ? errno : ENOSPC;
            error_ = fromErrno(err);
            fail(error_);
            // A full disk reports what fit; other failures are errors.
            if (error_ == kErrDiskFull) return static_cast<int64_t>(done);
            return -1;
        }
        done += static_cast<uint64_t>(n);
    }
    return static_cast<int64_t>(done);
}

bool File::seek(uint64_t position) {
    if (!isOpen()) {
        error_ = kErrInvalidHandle;
        return fail(error_);
    }
    if (position > static_cast<uint64_t>(INT64_MAX) ||
        lseek(impl_->fd, static_cast<off_t>(position), SEEK_SET) < 0) {
        error_ =
            position > static_cast<uint64_t>(INT64_MAX) ? kErrInvalidParameter : fromErrno(errno);
        return fail(error_);
    }
    return true;
}

std::optional<uint64_t> File::size() const {
    Info info;
    if (!isOpen() || !infoOf(impl_->fd, info)) {
        fail(isOpen() ? fromErrno(errno) : kErrInvalidHandle);
        return std::nullopt;
    }
    return info.size;
}

bool File::setTimes(std::optional<FileTime> creation, std::optional<FileTime> access,
                    std::optional<FileTime> write) {
    if (!isOpen()) {
        error_ = kErrInvalidHandle;
        return fail(error_);
    }
    (void)creation; // Linux keeps the birth time itself
    if (impl_->readOnlyDrive) {
        error_ = kErrAccessDenied;
        return fail(error_);
    }
    timespec times[2];
    times[0] = access ? emulated::toTimespec(*access) : timespec{0, UTIME_OMIT};
    times[1] = write ? emulated::toTimespec(*write) : timespec{0, UTIME_OMIT};
    if (futimens(impl_->fd, times) != 0) {
        error_ = fromErrno(errno);
        return fail(error_);
    }
    return true;
}

std::optional<FileTime> File::writeTime() const {
    Info info;
    if (!isOpen() || !infoOf(impl_->fd, info)) {
        fail(isOpen() ? fromErrno(errno) : kErrInvalidHandle);
        return std::nullopt;
    }
    return info.write;
}

bool File::flush() {
    if (!isOpen()) {
        error_ = kErrInvalidHandle;
        return fail(error_);
    }
    if (fsync(impl_->fd) != 0 && errno != EINVAL) {
        error_ = fromErrno(errno);
        return fail(error_);
    }
    return true;
}

// ---- Paths ----

std::optional<uint32_t> getAttributes(const std::string& path) {
    const std::optional<Resolved> r = resolve(path);
    if (!r) return std::nullopt;
    Info info;
    if (!infoOf(*r, info)) {
        fail(missingError(*r));
        return std::nullopt;
    }
    return attributesOf(r->native, info);
}

bool setAttributes(const std::string& path, uint32_t attributes) {
    const std::optional<Resolved> r = resolve(path);
    if (!r) return false;
    Info info;
    if (!infoOf(*r, info)) return fail(missingError(*r));
    if (readOnlyDrive(*r)) return fail(kErrAccessDenied);
    const bool readOnly = attributes & kAttrReadOnly;
    uint32_t bits = attributes & kStoredBits;
    if (S_ISDIR(info.mode)) {
        // A folder stays writable on Linux: its read-only flag is only recorded.
        if (readOnly) bits |= kAttrReadOnly;
    } else {
        const mode_t mode =
            readOnly ? info.mode & ~(S_IWUSR | S_IWGRP | S_IWOTH) : info.mode | S_IWUSR;
        if ((mode & 07777) != (info.mode & 07777) && chmod(r->native.c_str(), mode & 07777) != 0)
            return fail(fromErrno(errno));
    }
    if (!storeBits(r->native, bits)) return fail(fromErrno(errno));
    return true;
}

bool fileExists(const std::string& path) {
    const std::optional<Resolved> r = resolve(path);
    Info info;
    return r && infoOf(*r, info) && !S_ISDIR(info.mode);
}

bool folderExists(const std::string& path) {
    const std::optional<Resolved> r = resolve(path);
    Info info;
    return r && infoOf(*r, info) && S_ISDIR(info.mode);
}

bool isRegularFile(const std::string& path) {
    const std::optional<Resolved> r = resolve(path);
    Info info;
    return r && r->exists && infoOf(r->native, info) && S_ISREG(info.mode);
}

bool deleteFile(const std::string& path) {
    const std::optional<Resolved> r = resolve(path);
    if (!r) return false;
    Info info;
    if (!infoOf(*r, info)) return fail(missingError(*r));
    if (S_ISDIR(info.mode) || readOnlyFile(info) || readOnlyDrive(*r))
        return fail(kErrAccessDenied);
    FolderChange change(r->native);
    if (unlink(r->native.c_str()) != 0) return fail(fromErrno(errno));
    change.removed();
    return true;
}

bool moveFile(const std::string& from, const std::string& to, bool replace) {
    const std::optional<Resolved> source = resolve(from);
    if (!source) return false;
    Info sourceInfo;
    if (!infoOf(*source, sourceInfo)) return fail(missingError(*source));
    const std::optional<Resolved> target = resolve(to);
    if (!target) return false;
    if (target->components.empty()) return fail(kErrAccessDenied); // a drive's root
    if (readOnlyDrive(*source) || readOnlyDrive(*target)) return fail(kErrAccessDenied);
    std::string destination = target->native;
    Info targetInfo;
    if (infoOf(*target, targetInfo)) {
        if (targetInfo.device == sourceInfo.device && targetInfo.inode == sourceInfo.inode) {
            // The same file under another case: a rename to the case asked for.
            std::string lastName = to.substr(to.find_last_of("\\/:") + 1);
            while (!lastName.empty() && (lastName.back() == '.' || lastName.back() == ' '))
                lastName.pop_back();
            destination = parentOf(target->native) + "/" + cp1252ToUtf8(lastName);
        } else {
            if (!replace) return fail(kErrAlreadyExists);
            if (S_ISDIR(targetInfo.mode) || S_ISDIR(sourceInfo.mode) || readOnlyFile(targetInfo))
                return fail(kErrAccessDenied);
        }
    } else if (!target->parentExists) {
        return fail(kErrPathNotFound);
    }
    const std::string sourceFolder = parentOf(source->native);
    const std::string targetFolder = parentOf(destination);
    const bool sourceCurrent = emulated::listingCurrent(sourceFolder);
    const bool targetCurrent =
        targetFolder == sourceFolder ? sourceCurrent : emulated::listingCurrent(targetFolder);
    if (rename(source->native.c_str(), destination.c_str()) != 0)
        return fail(errno == EINVAL ? kErrAccessDenied : fromErrno(errno));
    if (targetFolder == sourceFolder) {
        emulated::listingChanged(sourceFolder, sourceCurrent, baseName(destination),
                                 baseName(source->native));
    } else {
        emulated::listingChanged(sourceFolder, sourceCurrent, "", baseName(source->native));
        emulated::listingChanged(targetFolder, targetCurrent, baseName(destination), "");
    }
    return true;
}

bool createFolder(const std::string& path) {
    const std::optional<Resolved> r = resolve(path);
    if (!r) return false;
    if (r->exists) return fail(kErrAlreadyExists);
    if (readOnlyDrive(*r)) return fail(kErrAccessDenied);
    if (!r->parentExists) return fail(kErrPathNotFound);
    FolderChange change(r->native);
    if (mkdir(r->native.c_str(), 0777) != 0) return fail(fromErrno(errno, true));
    change.added();
    return true;
}

bool removeFolder(const std::string& path) {
    const std::optional<Resolved> r = resolve(path);
    if (!r) return false;
    Info info;
    if (!infoOf(*r, info)) return fail(missingError(*r));
    if (!S_ISDIR(info.mode)) return fail(kErrDirectory);
    if (r->components.empty() || readOnlyDrive(*r)) return fail(kErrAccessDenied);
    FolderChange change(r->native);
    if (rmdir(r->native.c_str()) != 0) return fail(fromErrno(errno));
    change.removed();
    return true;
}

std::optional<uint64_t> freeSpace(const std::string& path) {
    const std::optional<Resolved> r = resolve(path);
    if (!r) return std::nullopt;
    // The nearest folder that exists lies on the file system in question.
    std::string folder = r->native;
    struct statvfs vfs;
    while (statvfs(folder.c_str(), &vfs) != 0) {
        if (folder == "/") {
            fail(fromErrno(errno));
            return std::nullopt;
        }
        folder = parentOf(folder);
    }
    return static_cast<uint64_t>(vfs.f_bavail) * vfs.f_frsize;
}

std::optional<std::string> longPathName(const std::string& path) {
    const std::optional<Resolved> r = resolve(path);
    if (!r) return std::nullopt;
    if (!r->exists) {
        fail(missingError(*r));
        return std::nullopt;
    }
    std::string out(1, path.size() >= 2 && path[1] == ':' ? path[0] : r->drive);
    out += ":";
    for (const std::string& name : r->components)
        out += "\\" + name;
    if (r->components.empty() || path.back() == '\\' || path.back() == '/') out += "\\";
    return out;
}

bool readOnlyDrive(const std::string& path) {
    const std::optional<Resolved> r = resolve(path);
    return r && readOnlyDrive(*r);
}

// ---- Block copy ----

int64_t File::copyFrom(File& source, uint64_t count, void* buffer, uint64_t bufferSize) {
    if (!isOpen() || !source.isOpen()) {
        error_ = kErrInvalidHandle;
        fail(error_);
        return -1;
    }
    const size_t chunk = static_cast<size_t>(std::min<uint64_t>(count, INT_MAX));
    for (;;) {
        const ssize_t n =
            ::copy_file_range(source.impl_->fd, nullptr, impl_->fd, nullptr, chunk, 0);
        if (n > 0) {
            source.impl_->kernelCopied = true;
            return n;
        }
        // 0 after a kernel copy is the end; before one it may also be a file
        // whose size the system does not know (/proc): the read below tells.
        if (n == 0 && source.impl_->kernelCopied) return 0;
        if (n == 0) break;
        if (errno == EINTR) continue;
        if (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP ||
            errno == EBADF)
            break; // not between these two files: copy through the buffer
        error_ = fromErrno(errno);
        fail(error_);
        return -1;
    }
    const int64_t got = source.read(buffer, std::min(count, bufferSize));
    if (got <= 0) {
        if (got < 0) error_ = source.lastError();
        return got;
    }
    const int64_t written = write(buffer, static_cast<uint64_t>(got));
    if (written != got) {
        if (written >= 0) fail(error_ = kErrDiskFull);
        return -1;
    }
    return got;
}

void File::reserve(uint64_t size) {
    if (!isOpen() || size > static_cast<uint64_t>(INT64_MAX)) return;
    (void)fallocate(impl_->fd, FALLOC_FL_KEEP_SIZE, 0, static_cast<off_t>(size));
}

} // namespace plat
