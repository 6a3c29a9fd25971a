#include "common/TempFile.h"

#include <cstdint>
#include <mutex>
#include <set>

#include "common/Ansi.h"
#include "platform/Process.h"
#include "platform/System.h"

namespace setup {

namespace {

const std::string Prefix = "~setup";

// The id of the process that made a temporary file "~setup<id>_<n>...";
// 0 when the name is not of that form.
uint32_t CreatorOf(const std::string& name) {
    if (name.compare(0, Prefix.size(), Prefix) != 0) return 0;
    size_t i = Prefix.size();
    uint64_t id = 0;
    const size_t digitsFrom = i;
    while (i < name.size() && name[i] >= '0' && name[i] <= '9' && i - digitsFrom < 10)
        id = id * 10 + static_cast<uint64_t>(name[i++] - '0');
    if (i == digitsFrom || i + 1 >= name.size() || name[i] != '_' || id > UINT32_MAX) return 0;
    const size_t counterFrom = ++i;
    while (i < name.size() && name[i] >= '0' && name[i] <= '9')
        ++i;
    if (i == counterFrom || i >= name.size() || name[i] != '.') return 0;
    return static_cast<uint32_t>(id);
}

} // namespace

std::string TempFile::UniqueName(const std::string& folder, const std::string& extension) {
    static std::mutex mutex;
    static uint32_t counter = static_cast<uint32_t>(plat::tickCount());
    RemoveStale(folder);
    std::lock_guard lock(mutex);
    return folder + Prefix + std::to_string(plat::currentProcessId()) + "_" +
           std::to_string(++counter) + extension;
}

void TempFile::RemoveStale(const std::string& folder) {
    static std::mutex mutex;
    static std::set<std::string> done;
    {
        std::lock_guard lock(mutex);
        if (!done.insert(AnsiUpperCase(folder)).second) return;
    }
    plat::DirSearch search;
    for (bool found = search.first(folder + Prefix + "*"); found; found = search.next()) {
        const plat::DirEntry& entry = search.entry();
        if (entry.attributes & plat::kAttrDirectory) continue;
        const uint32_t creator = CreatorOf(entry.name);
        // Never one of a running Setup: two runs may work in one folder.
        if (creator != 0 && !plat::processRunning(creator)) plat::deleteFile(folder + entry.name);
    }
}

bool TempFile::Create(const std::string& folder, const std::string& extension) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = UniqueName(folder, extension);
        if (file_.open(name, plat::OpenMode::CreateNew)) {
            path_ = std::move(name);
            return true;
        }
        if (file_.lastError() != plat::kErrFileExists &&
            file_.lastError() != plat::kErrAlreadyExists)
            return false;
    }
    return false;
}

bool TempFile::ReplaceInto(const std::string& dest) {
    file_.close();
    if (!plat::moveFile(path_, dest, true)) return false;
    path_.clear();
    return true;
}

void TempFile::Discard() {
    file_.close();
    if (!path_.empty()) plat::deleteFile(path_);
    path_.clear();
}

} // namespace setup
