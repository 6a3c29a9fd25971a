// The folder listings behind the lookups of names without regard to case.
#include <dirent.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <iterator>
#include <mutex>
#include <unordered_map>

#include "platform/Cp1252.h"
#include "platform/emulated/Emulated.h"

namespace plat::emulated {
namespace {

// Listings of folders, by names in upper case, for the lookups of names whose
// case differs from the disk's (without them every new file would cost a scan
// of its folder). inotify tells when another program changed a listed folder;
// changes made through this process update the listing instead.
struct Listing {
    dev_t device = 0;
    ino_t inode = 0;
    int watch = -1;
    std::unordered_map<std::string, std::string> byUpper; // upper-case Windows-1252 -> on disk
};

struct ListingCache {
    std::mutex mutex;
    std::unordered_map<std::string, Listing> folders;
    int notify = -1;
    bool notifyTried = false;

    ~ListingCache() {
        if (notify >= 0) close(notify);
    }

    bool ready() {
        if (!notifyTried) {
            notifyTried = true;
            notify = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        }
        return notify >= 0;
    }

    void forget(std::unordered_map<std::string, Listing>::iterator it) {
        if (it->second.watch >= 0) inotify_rm_watch(notify, it->second.watch);
        folders.erase(it);
    }

    void forgetAll() {
        while (!folders.empty())
            forget(folders.begin());
    }

    // Drops the listings of folders changed since the last call, except for
    // the change this process made itself in own (name added or removed).
    void drain(const std::string* own = nullptr, const std::string& added = {},
               const std::string& removed = {}) {
        if (notify < 0) return;
        alignas(inotify_event) char buffer[8192];
        for (;;) {
            const ssize_t n = read(notify, buffer, sizeof buffer);
            if (n <= 0) return;
            for (ssize_t i = 0; i < n;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + i);
                i += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
                if (event->mask & IN_Q_OVERFLOW) {
                    forgetAll();
                    continue;
                }
                const std::string name = event->len ? std::string(event->name) : std::string();
                for (auto it = folders.begin(); it != folders.end();) {
                    auto next = std::next(it);
                    if (it->second.watch == event->wd) {
                        const bool mine =
                            own && it->first == *own && !name.empty() &&
                            (((event->mask & (IN_CREATE | IN_MOVED_TO)) && name == added) ||
                             ((event->mask & (IN_DELETE | IN_MOVED_FROM)) && name == removed));
                        if (!mine) {
                            if (event->mask & IN_IGNORED) it->second.watch = -1;
                            forget(it);
                        }
                    }
                    it = next;
                }
            }
        }
    }

    // The listing of folder if it is still good (known: the folder's stat,
    // just taken by the caller).
    Listing* current(const std::string& folder, const struct stat* known = nullptr) {
        drain();
        const auto it = folders.find(folder);
        if (it == folders.end()) return nullptr;
        struct stat st;
        if (known)
            st = *known;
        else if (stat(folder.c_str(), &st) != 0)
            st.st_ino = 0;
        if (st.st_ino == 0 || st.st_dev != it->second.device || st.st_ino != it->second.inode) {
            forget(it);
            return nullptr;
        }
        return &it->second;
    }
};

ListingCache& listingCache() {
    static ListingCache cache;
    return cache;
}

constexpr size_t kMaxListings = 256;
constexpr uint32_t kWatchMask = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO |
                                IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;

std::optional<std::string> scanFolder(const std::string& folder, const std::string& name,
                                      Listing* keep) {
    DIR* dir = opendir(folder.c_str());
    if (!dir) return std::nullopt;
    std::optional<std::string> found;
    while (const dirent* entry = readdir(dir)) {
        const std::string onDisk = entry->d_name;
        if (onDisk == "." || onDisk == "..") continue;
        const std::string text = plat::utf8ToCp1252(onDisk);
        if (!found && sameText(text, name)) found = onDisk;
        if (keep) keep->byUpper.emplace(upper(text), onDisk);
    }
    closedir(dir);
    return found;
}

} // namespace

std::optional<std::string> findInFolder(const std::string& folder, const std::string& name,
                                        const struct stat* folderStat) {
    ListingCache& cache = listingCache();
    std::lock_guard lock(cache.mutex);
    if (!cache.ready()) return scanFolder(folder, name, nullptr);
    if (Listing* listing = cache.current(folder, folderStat)) {
        const auto found = listing->byUpper.find(upper(name));
        if (found == listing->byUpper.end()) return std::nullopt;
        return found->second;
    }
    struct stat st;
    if (folderStat)
        st = *folderStat;
    else if (stat(folder.c_str(), &st) != 0)
        return std::nullopt;
    if (!S_ISDIR(st.st_mode)) return std::nullopt;
    if (cache.folders.size() >= kMaxListings) cache.forgetAll();
    // Watched before it is read, so that no change can slip in between.
    Listing listing;
    listing.device = st.st_dev;
    listing.inode = st.st_ino;
    listing.watch = inotify_add_watch(cache.notify, folder.c_str(), kWatchMask);
    if (listing.watch < 0) return scanFolder(folder, name, nullptr);
    const std::optional<std::string> found = scanFolder(folder, name, &listing);
    cache.folders[folder] = std::move(listing);
    return found;
}

bool listingCurrent(const std::string& folder) {
    ListingCache& cache = listingCache();
    std::lock_guard lock(cache.mutex);
    return cache.current(folder) != nullptr;
}

void listingChanged(const std::string& folder, bool wasCurrent, const std::string& added,
                    const std::string& removed) {
    ListingCache& cache = listingCache();
    std::lock_guard lock(cache.mutex);
    cache.drain(&folder, added, removed);
    const auto it = cache.folders.find(folder);
    if (it == cache.folders.end()) return;
    if (!wasCurrent) {
        cache.forget(it);
        return;
    }
    Listing& listing = it->second;
    if (!removed.empty()) {
        const auto old = listing.byUpper.find(upper(plat::utf8ToCp1252(removed)));
        if (old != listing.byUpper.end() && old->second == removed) listing.byUpper.erase(old);
    }
    if (!added.empty()) listing.byUpper.emplace(upper(plat::utf8ToCp1252(added)), added);
}

} // namespace plat::emulated
