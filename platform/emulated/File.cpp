// Open files of the emulated Windows: CreateFile's open modes and the
// read-only rules on a Linux file descriptor, reads, writes, times and the
// block copy between two open files.
#include "platform/FileSystem.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>

#include "platform/emulated/FileStatus.h"

namespace plat {
namespace {

using emulated::fail;
using emulated::FolderChange;
using emulated::fromErrno;
using emulated::Info;
using emulated::infoOf;
using emulated::kErrInvalidHandle;
using emulated::markArchive;
using emulated::missingError;
using emulated::readOnlyFile;
using emulated::resolve;
using emulated::Resolved;
using emulated::storedBits;

} // namespace

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
    if (!r->exists) change.emplace(*r);
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
