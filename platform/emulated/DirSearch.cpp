// Directory search of the emulated Windows: FindFirstFile's wildcard rules on
// Linux folders, entries sorted without regard to case.
#include "platform/FileSystem.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <vector>

#include "platform/Cp1252.h"
#include "platform/emulated/FileStatus.h"

namespace plat {
namespace {

using emulated::fail;
using emulated::fromErrno;
using emulated::Info;
using emulated::infoOf;
using emulated::kErrInvalidHandle;
using emulated::makeEntry;
using emulated::missingError;
using emulated::resolve;
using emulated::Resolved;

constexpr uint32_t kErrNoMoreFiles = 18;

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

} // namespace

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

} // namespace plat
