// Files and folders of the emulated Windows by path: attributes, existence,
// delete, move, folders, free space. Names match without regard to case; the
// read-only attribute is enforced even for root, who ignores permission bits.
#include "platform/FileSystem.h"

#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>

#include "platform/Cp1252.h"
#include "platform/emulated/FileStatus.h"

namespace plat {
namespace {

using emulated::attributesOf;
using emulated::baseName;
using emulated::fail;
using emulated::FolderChange;
using emulated::fromErrno;
using emulated::Info;
using emulated::infoOf;
using emulated::kStoredBits;
using emulated::missingError;
using emulated::parentOf;
using emulated::readOnlyFile;
using emulated::resolve;
using emulated::Resolved;
using emulated::storeBits;

constexpr uint32_t kErrDirectory = 267; // ERROR_DIRECTORY: not a folder

} // namespace

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
    FolderChange change(*r);
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
    // The target's lookup has just checked the listing of its folder where it
    // consulted it.
    const bool targetCurrent = target->parentListed || emulated::listingCurrent(targetFolder);
    const bool sourceCurrent =
        targetFolder == sourceFolder ? targetCurrent : emulated::listingCurrent(sourceFolder);
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
    FolderChange change(*r);
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
    FolderChange change(*r);
    if (rmdir(r->native.c_str()) != 0) return fail(fromErrno(errno));
    change.removed();
    return true;
}

bool deleteFileAtRestart(const std::string&) {
    return fail(50); // ERROR_NOT_SUPPORTED: this Windows never restarts
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

} // namespace plat
