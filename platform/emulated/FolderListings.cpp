// The folder listings behind the lookups of names without regard to case.
#include <dirent.h>
#include <pthread.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <iterator>
#include <mutex>
#include <unordered_map>
#include <vector>

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

    // A forked child shares the parent's inotify queue: events it read would
    // be lost to the parent. It starts afresh with a queue of its own.
    bool forked = false;
    void afterFork() {
        if (!forked) return;
        forked = false;
        folders.clear();
        own.clear();
    }

    bool ready() {
        if (!notifyTried) {
            notifyTried = true;
            notify = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        }
        return notify >= 0;
    }

    void forget(std::unordered_map<std::string, Listing>::iterator it) {
        const int watch = it->second.watch;
        if (watch >= 0) {
            inotify_rm_watch(notify, watch);
            std::erase_if(own, [watch](const auto& change) { return change.watch == watch; });
        }
        folders.erase(it);
    }

    void forgetAll() {
        while (!folders.empty())
            forget(folders.begin());
        own.clear();
    }

    // Changes this process made to listed folders whose events have not been
    // read yet: an event that matches one is no news.
    struct OwnChange {
        int watch;
        bool added; // else removed
        std::string name;
    };
    std::vector<OwnChange> own;

    bool ownChange(int watch, uint32_t mask, const std::string& name) {
        const bool added = mask & (IN_CREATE | IN_MOVED_TO);
        if (!added && !(mask & (IN_DELETE | IN_MOVED_FROM))) return false;
        for (auto it = own.begin(); it != own.end(); ++it)
            if (it->watch == watch && it->added == added && it->name == name) {
                own.erase(it);
                return true;
            }
        return false;
    }

    // Drops the listings of folders changed since the last call, except for
    // the changes this process made itself. A read that leaves room for a
    // further event took everything there was: no second read to learn so.
    void drain() {
        if (notify < 0) return;
        alignas(inotify_event) char buffer[8192];
        constexpr ssize_t kRoomForOne = sizeof(inotify_event) + NAME_MAX + 1;
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
                if (!name.empty() && ownChange(event->wd, event->mask, name)) continue;
                for (auto it = folders.begin(); it != folders.end();) {
                    auto next = std::next(it);
                    if (it->second.watch == event->wd) {
                        if (event->mask & IN_IGNORED) it->second.watch = -1;
                        forget(it);
                    }
                    it = next;
                }
            }
            if (n < static_cast<ssize_t>(sizeof buffer) - kRoomForOne) return;
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
    static const bool watched = pthread_atfork(nullptr, nullptr, [] {
                                    ListingCache& child = listingCache();
                                    if (child.notify >= 0) close(child.notify);
                                    child.notify = -1;
                                    child.notifyTried = false;
                                    child.forked = true;
                                }) == 0;
    (void)watched;
    return cache;
}

constexpr size_t kMaxListings = 256;
constexpr size_t kMaxOwnChanges = 4096;
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
                                        const struct stat* folderStat, bool* listed) {
    if (listed) *listed = false;
    ListingCache& cache = listingCache();
    std::lock_guard lock(cache.mutex);
    cache.afterFork();
    if (!cache.ready()) return scanFolder(folder, name, nullptr);
    if (Listing* listing = cache.current(folder, folderStat)) {
        if (listed) *listed = true;
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
    if (listed) *listed = true;
    return found;
}

bool listedAsMissing(const std::string& folder, const std::string& name) {
    ListingCache& cache = listingCache();
    std::lock_guard lock(cache.mutex);
    cache.afterFork();
    const auto it = cache.folders.find(folder);
    return it != cache.folders.end() && !it->second.byUpper.contains(upper(name));
}

bool listingCurrent(const std::string& folder) {
    ListingCache& cache = listingCache();
    std::lock_guard lock(cache.mutex);
    cache.afterFork();
    return cache.current(folder) != nullptr;
}

void listingChanged(const std::string& folder, bool wasCurrent, const std::string& added,
                    const std::string& removed) {
    ListingCache& cache = listingCache();
    std::lock_guard lock(cache.mutex);
    cache.afterFork();
    const auto it = cache.folders.find(folder);
    if (it == cache.folders.end()) return;
    Listing& listing = it->second;
    // Too many changes whose events are still unread: the queue is not being
    // read, so the listings start afresh.
    if (!wasCurrent || listing.watch < 0 || cache.own.size() >= kMaxOwnChanges) {
        cache.forget(it);
        return;
    }
    // The listing takes the change now; its events, read with the next
    // lookup, are then recognised as this process's own.
    if (!removed.empty()) {
        const auto old = listing.byUpper.find(upper(plat::utf8ToCp1252(removed)));
        if (old != listing.byUpper.end() && old->second == removed) listing.byUpper.erase(old);
        cache.own.push_back({listing.watch, false, removed});
    }
    if (!added.empty()) {
        listing.byUpper.emplace(upper(plat::utf8ToCp1252(added)), added);
        cache.own.push_back({listing.watch, true, added});
    }
}

} // namespace plat::emulated
