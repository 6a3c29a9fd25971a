// File status of the emulated Windows: stat records, attributes kept in an
// extended attribute, the read-only rules. Root ignores permission bits, so
// the read-only attribute is enforced here.
#include "platform/emulated/FileStatus.h"

#include <fcntl.h>
#include <sys/sysmacros.h>
#include <sys/xattr.h>

#include <time.h>

#include <cerrno>
#include <functional>
#include <mutex>
#include <unordered_map>

namespace plat::emulated {
namespace {

// Hidden, system and archive (and read-only of folders) as decimal text.
constexpr const char* kAttrXattr = "user.setup.attributes";

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
    out.change.tv_sec = static_cast<time_t>(sx.stx_ctime.tv_sec);
    out.change.tv_nsec = static_cast<long>(sx.stx_ctime.tv_nsec);
}

// The attribute records read last, by file, with the status change time they
// were read at. A run reads the records of its sources several times (count,
// listing, copy). A record is taken from here only when the file's status
// change lies well before the read: any change after the read moves the
// status change time past the one kept, also with a coarse file system clock.
struct RecordCache {
    struct Key {
        dev_t device;
        ino_t inode;
        bool operator==(const Key&) const = default;
    };
    struct KeyHash {
        size_t operator()(const Key& k) const {
            return std::hash<uint64_t>()(static_cast<uint64_t>(k.inode) * 31 +
                                         static_cast<uint64_t>(k.device));
        }
    };
    struct Record {
        timespec change;
        std::optional<uint32_t> bits;
    };
    static constexpr size_t kMaxRecords = 16384;
    static constexpr time_t kSettledSeconds = 2;
    std::mutex mutex;
    std::unordered_map<Key, Record, KeyHash> records;

    static bool same(const timespec& a, const timespec& b) {
        return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
    }

    bool find(const Info& info, std::optional<uint32_t>& bits) {
        std::lock_guard lock(mutex);
        const auto it = records.find({info.device, info.inode});
        if (it == records.end() || !same(it->second.change, info.change)) return false;
        bits = it->second.bits;
        return true;
    }

    // Keeps what was just read, for a file whose status has settled.
    void keep(const Info& info, std::optional<uint32_t> bits) {
        timespec now{};
        clock_gettime(CLOCK_REALTIME, &now);
        if (info.change.tv_sec > now.tv_sec - kSettledSeconds) return;
        std::lock_guard lock(mutex);
        if (records.size() >= kMaxRecords) records.clear();
        records[{info.device, info.inode}] = {info.change, bits};
    }
};

RecordCache& recordCache() {
    static RecordCache cache;
    return cache;
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

} // namespace

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

bool infoOf(const Resolved& r, Info& out) {
    if (!r.exists) return false;
    if (!r.hasInfo) return infoOf(r.native, out);
    fillInfo(r.info, out);
    return true;
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

void markArchive(int fd) {
    char buffer[16];
    const std::optional<uint32_t> bits =
        parseBits(buffer, fgetxattr(fd, kAttrXattr, buffer, sizeof buffer));
    if (!bits || (*bits & kAttrArchive)) return; // no record reads as archive
    const std::string text = std::to_string(*bits | kAttrArchive);
    fsetxattr(fd, kAttrXattr, text.data(), text.size(), 0);
}

uint32_t attributesOf(const std::string& native, const Info& info) {
    std::optional<uint32_t> bits;
    if (!recordCache().find(info, bits)) {
        bits = storedBits(native);
        recordCache().keep(info, bits);
    }
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

bool readOnlyDrive(const Resolved& r) {
    return r.drive == 'Z';
}

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

std::string parentOf(const std::string& native) {
    const size_t slash = native.rfind('/');
    return slash == 0 || slash == std::string::npos ? "/" : native.substr(0, slash);
}

std::string baseName(const std::string& native) {
    return native.substr(native.rfind('/') + 1);
}

} // namespace plat::emulated
