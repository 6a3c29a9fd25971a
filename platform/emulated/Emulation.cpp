// The emulated Windows: its root folder, the layout of a fresh root and the
// mapping of Windows paths onto the Linux file system.
#include "platform/Emulation.h"

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <iterator>
#include <mutex>
#include <set>
#include <unordered_map>
#include <vector>

#include "platform/Cp1252.h"
#include "platform/FileSystem.h"
#include "platform/Registry.h"
#include "platform/emulated/Emulated.h"

namespace plat::emulated {
namespace {

thread_local uint32_t tlsError = 0;

struct RootState {
    std::mutex mutex;
    bool ready = false;
    std::string path;
    std::string problem;
};

RootState& rootState() {
    static RootState state;
    return state;
}

std::string currentFolder() {
    std::string buffer(256, '\0');
    for (;;) {
        if (getcwd(buffer.data(), buffer.size())) return std::string(buffer.c_str());
        if (errno != ERANGE) return "/";
        buffer.resize(buffer.size() * 2);
    }
}

// Splits a Linux path and resolves "." and ".." lexically.
std::vector<std::string> linuxComponents(const std::string& path) {
    std::vector<std::string> out;
    size_t i = 0;
    while (i <= path.size()) {
        size_t j = path.find('/', i);
        if (j == std::string::npos) j = path.size();
        const std::string part = path.substr(i, j - i);
        if (part == "..") {
            if (!out.empty()) out.pop_back();
        } else if (!part.empty() && part != ".") {
            out.push_back(part);
        }
        i = j + 1;
    }
    return out;
}

std::string absoluteLinux(const std::string& path) {
    std::string full = !path.empty() && path[0] == '/' ? path : currentFolder() + "/" + path;
    std::string out;
    for (const std::string& part : linuxComponents(full))
        out += "/" + part;
    return out.empty() ? "/" : out;
}

bool isFolder(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// mkdir -p; false with errno set when a folder cannot be made.
bool makeFolders(const std::string& path) {
    std::string sofar;
    for (const std::string& part : linuxComponents(path)) {
        sofar += "/" + part;
        if (mkdir(sofar.c_str(), 0777) != 0 && errno != EEXIST) return false;
    }
    if (!isFolder(path)) {
        errno = ENOTDIR;
        return false;
    }
    return true;
}

std::string defaultRoot() {
    if (const char* env = std::getenv("SETUP_ROOT"); env && *env) return env;
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg)
        return std::string(xdg) + "/setup-root";
    std::string home;
    if (const char* env = std::getenv("HOME"); env && *env) {
        home = env;
    } else if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir) {
        home = pw->pw_dir;
    }
    return home + "/.local/share/setup-root";
}

// The folders a fresh Windows has (Linux paths below drive_c).
constexpr const char* kFreshFolders[] = {
    "Windows/System32",
    "Windows/Fonts",
    "Program Files",
    "Users/User/AppData/Roaming/Microsoft/Windows/Start Menu/Programs",
    "ProgramData/Microsoft/Windows/Start Menu/Programs",
};
// The folders the program itself needs in any root.
constexpr const char* kNeededFolders[] = {"Windows/System32", "Windows/Fonts"};

void layOut(RootState& state) {
    const std::string root = absoluteLinux(defaultRoot());
    if (!makeFolders(root + "/drive_c")) {
        state.problem = "Der Ordner des emulierten Windows " + plat::utf8ToCp1252(root) +
                        " kann nicht angelegt werden.";
        return;
    }
    const std::string registry = root + "/registry.reg";
    struct stat st;
    const bool fresh = lstat(registry.c_str(), &st) != 0 && errno == ENOENT;
    if (fresh) {
        for (const char* folder : kFreshFolders)
            makeFolders(root + "/drive_c/" + folder);
        uint32_t error = 0;
        if (!writeFreshRegistry(registry, error)) {
            state.problem = "Die Registrierung " + plat::utf8ToCp1252(registry) +
                            " kann nicht geschrieben werden.";
            return;
        }
    } else {
        for (const char* folder : kNeededFolders)
            makeFolders(root + "/drive_c/" + folder);
    }
    state.path = root;
}

bool validNameChar(char c) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (u < 32) return false;
    switch (c) {
    case '<':
    case '>':
    case ':':
    case '"':
    case '|':
    case '?':
    case '*':
        return false;
    default:
        return true;
    }
}

// The Linux folder of a drive; empty when the drive does not exist.
std::string driveFolder(char drive) {
    if (drive == 'Z') return "";
    const std::string base = root();
    if (base.empty()) return {};
    const std::string folder = base + "/drive_" + static_cast<char>(drive - 'A' + 'a');
    if (drive != 'C' && !isFolder(folder)) return {};
    return folder;
}

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

std::string upper(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        c = upCase(c);
    return out;
}

bool sameText(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (upCase(a[i]) != upCase(b[i])) return false;
    return true;
}

void setLastError(uint32_t code) {
    tlsError = code;
}

namespace {
constexpr int64_t kUnixEpoch = 116444736000000000; // 1970-01-01 as a FILETIME
}

FileTime toFileTime(const timespec& ts) {
    const int64_t t = static_cast<int64_t>(ts.tv_sec) * 10000000 + ts.tv_nsec / 100 + kUnixEpoch;
    return t < 0 ? 0 : static_cast<FileTime>(t);
}

timespec toTimespec(FileTime t) {
    const int64_t units = static_cast<int64_t>(t) - kUnixEpoch;
    int64_t seconds = units / 10000000;
    int64_t rest = units % 10000000;
    if (rest < 0) {
        rest += 10000000;
        --seconds;
    }
    timespec ts{};
    ts.tv_sec = static_cast<time_t>(seconds);
    ts.tv_nsec = static_cast<long>(rest * 100);
    return ts;
}

bool fail(uint32_t code) {
    tlsError = code;
    return false;
}

uint32_t fromErrno(int err, bool missingParent) {
    switch (err) {
    case 0:
        return kErrSuccess;
    case ENOENT:
        return missingParent ? kErrPathNotFound : kErrFileNotFound;
    case ENOTDIR:
        return kErrPathNotFound;
    case EACCES:
    case EPERM:
    case EISDIR:
    case EROFS:
        return err == EROFS ? kErrWriteProtect : kErrAccessDenied;
    case ENOSPC:
    case EFBIG:
    case EDQUOT:
        return kErrDiskFull;
    case EEXIST:
        return kErrAlreadyExists;
    case ENOTEMPTY:
        return 145; // ERROR_DIR_NOT_EMPTY
    case EXDEV:
        return 17; // ERROR_NOT_SAME_DEVICE
    case ENOMEM:
        return kErrNotEnoughMemory;
    case ENAMETOOLONG:
        return 206; // ERROR_FILENAME_EXCED_RANGE
    case EBUSY:
    case ETXTBSY:
        return kErrSharingViolation;
    case EMFILE:
    case ENFILE:
        return 4; // ERROR_TOO_MANY_OPEN_FILES
    case EINVAL:
        return kErrInvalidParameter;
    case EIO:
        return 1117; // ERROR_IO_DEVICE
    default:
        return 31; // ERROR_GEN_FAILURE
    }
}

std::string root() {
    RootState& state = rootState();
    std::lock_guard lock(state.mutex);
    if (!state.ready) {
        layOut(state);
        state.ready = true;
    }
    return state.path;
}

std::string rootProblem() {
    root();
    RootState& state = rootState();
    std::lock_guard lock(state.mutex);
    return state.problem;
}

std::optional<Resolved> resolve(const std::string& windowsPath) {
    std::string path = windowsPath;
    for (char& c : path)
        if (c == '/') c = '\\';
    // "\\?\C:\..." names the same file as "C:\...".
    if (path.rfind("\\\\?\\", 0) == 0 || path.rfind("\\\\.\\", 0) == 0) path.erase(0, 4);
    Resolved out;
    std::string rest;
    auto isLetter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
    if (path.size() >= 2 && isLetter(path[0]) && path[1] == ':') {
        out.drive = upCase(path[0]);
        rest = path.substr(2);
    } else if (path.rfind("\\\\", 0) == 0) {
        fail(53); // ERROR_BAD_NETPATH: no network shares here
        return std::nullopt;
    } else {
        // Relative or rooted without a drive: the current folder's drive.
        const std::string current = driveForm(currentFolder());
        out.drive = current[0];
        rest = !path.empty() && path[0] == '\\' ? path : current.substr(2) + "\\" + path;
    }

    std::vector<std::string> parts;
    size_t i = 0;
    while (i <= rest.size()) {
        size_t j = rest.find('\\', i);
        if (j == std::string::npos) j = rest.size();
        std::string part = rest.substr(i, j - i);
        const bool last = j == rest.size();
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (part != "." && !part.empty()) {
            // Windows drops trailing dots and blanks of the last name.
            if (last)
                while (!part.empty() && (part.back() == '.' || part.back() == ' '))
                    part.pop_back();
            if (!part.empty()) parts.push_back(part);
        }
        i = j + 1;
    }
    for (const std::string& part : parts)
        for (char c : part)
            if (!validNameChar(c)) {
                fail(123); // ERROR_INVALID_NAME
                return std::nullopt;
            }

    const std::string base = driveFolder(out.drive);
    if (base.empty() && out.drive != 'Z') {
        fail(kErrPathNotFound);
        return std::nullopt;
    }

    std::string full = base;
    for (const std::string& part : parts)
        full += "/" + plat::cp1252ToUtf8(part);
    out.components = parts;
    // The path's own record is kept for the caller.
    auto look = [&out](const std::string& path) {
        out.hasInfo =
            statx(AT_FDCWD, path.c_str(), 0, STATX_BASIC_STATS | STATX_BTIME, &out.info) == 0;
        return out.hasInfo;
    };
    if (look(full.empty() ? "/" : full)) {
        // Fast path: the name exists exactly as asked.
        out.native = full.empty() ? "/" : full;
        out.exists = true;
        out.parentExists = true;
        return out;
    }
    // Second fast path: the folder exists exactly as asked and only the last
    // name is missing or spelt in another case (a file about to be created).
    struct stat st;
    if (!parts.empty()) {
        const std::string parent = full.substr(0, full.rfind('/'));
        const std::string folder = parent.empty() ? "/" : parent;
        if (stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
            out.parentExists = true;
            out.native = full;
            if (const std::optional<std::string> name = findInFolder(folder, parts.back(), &st)) {
                const std::string found = parent + "/" + *name;
                if (look(found)) {
                    out.native = found;
                    out.components.back() = plat::utf8ToCp1252(*name);
                    out.exists = true;
                }
            }
            return out;
        }
    }

    // Component by component; a missing name is looked up without regard to case.
    std::string current = base;
    bool present = true; // current exists as a folder
    for (size_t k = 0; k < parts.size(); ++k) {
        const std::string exact = current + "/" + plat::cp1252ToUtf8(parts[k]);
        const bool lastPart = k + 1 == parts.size();
        if (present) {
            if (lastPart) out.parentExists = true;
            std::string found;
            if (look(exact)) {
                found = exact;
            } else if (const std::optional<std::string> name =
                           findInFolder(current.empty() ? "/" : current, parts[k])) {
                found = current + "/" + *name;
                out.components[k] = plat::utf8ToCp1252(*name);
                if (!look(found)) found.clear();
            }
            if (!found.empty()) {
                current = found;
                if (lastPart)
                    out.exists = true;
                else
                    present = S_ISDIR(out.info.stx_mode);
                continue;
            }
            present = false;
        }
        current = exact;
    }
    out.hasInfo = out.hasInfo && out.exists;
    out.native = current.empty() ? "/" : current;
    return out;
}

std::string zForm(const std::string& linuxPath) {
    std::string out = "Z:";
    for (const std::string& part : linuxComponents(absoluteLinux(linuxPath)))
        out += "\\" + plat::utf8ToCp1252(part);
    return out.size() == 2 ? "Z:\\" : out;
}

std::string driveForm(const std::string& linuxPath) {
    const std::string path = absoluteLinux(linuxPath);
    const std::string base = root();
    if (!base.empty()) {
        // Each drive folder of the root, under its own name and, where the
        // root lies behind a symbolic link, under its real name.
        for (char letter = 'a'; letter < 'z'; ++letter) {
            const std::string folder = base + "/drive_" + letter;
            if (!isFolder(folder)) continue;
            std::vector<std::string> names{folder};
            if (char* real = realpath(folder.c_str(), nullptr)) {
                if (names[0] != real) names.push_back(real);
                std::free(real);
            }
            const char drive = static_cast<char>(letter - 'a' + 'A');
            for (const std::string& name : names) {
                if (path != name && path.rfind(name + "/", 0) != 0) continue;
                std::string out{drive, ':'};
                for (const std::string& part : linuxComponents(path.substr(name.size())))
                    out += "\\" + plat::utf8ToCp1252(part);
                return out.size() == 2 ? out + "\\" : out;
            }
        }
    }
    return zForm(path);
}

namespace {

// Removes "<name>.<pid>-XXXXXX" files beside path whose process has ended (a
// run killed while it replaced the file); once per file and process.
void removeStaleTemporaries(const std::string& folder, const std::string& name) {
    static std::mutex mutex;
    static std::set<std::string> done;
    {
        std::lock_guard lock(mutex);
        if (!done.insert(folder + name).second) return;
    }
    DIR* dir = opendir(folder.c_str());
    if (!dir) return;
    const std::string prefix = name + ".";
    while (const dirent* entry = readdir(dir)) {
        const std::string candidate = entry->d_name;
        if (candidate.compare(0, prefix.size(), prefix) != 0) continue;
        const std::string rest = candidate.substr(prefix.size());
        const size_t dash = rest.find('-');
        if (dash == 0 || dash == std::string::npos || dash > 9 || rest.size() != dash + 7 ||
            rest.find_first_not_of("0123456789") != dash)
            continue;
        const pid_t pid = static_cast<pid_t>(std::stol(rest.substr(0, dash)));
        if (pid > 0 && kill(pid, 0) != 0 && errno == ESRCH) unlink((folder + candidate).c_str());
    }
    closedir(dir);
}

// Files replaced since the last flush: their contents and the renames that
// put them in place reach the disk together, once, when a run ends or the
// program exits, instead of with every change.
class PendingFlush {
  public:
    ~PendingFlush() { flush(); }

    void add(const std::string& path) {
        std::lock_guard lock(mutex_);
        for (const std::string& known : files_)
            if (known == path) return;
        files_.push_back(path);
    }

    void flush() {
        std::vector<std::string> files;
        {
            std::lock_guard lock(mutex_);
            files.swap(files_);
        }
        for (const std::string& path : files) {
            const size_t slash = path.rfind('/');
            const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
            for (const std::string& name : {path, folder}) {
                const int fd = open(name.c_str(), O_RDONLY | O_CLOEXEC);
                if (fd < 0) continue;
                fsync(fd);
                close(fd);
            }
        }
    }

  private:
    std::mutex mutex_;
    std::vector<std::string> files_;
};

PendingFlush& pendingFlush() {
    static PendingFlush pending;
    return pending;
}

} // namespace

bool replaceFile(const std::string& path, const std::string& bytes, uint32_t& error) {
    const size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "./" : path.substr(0, slash + 1);
    removeStaleTemporaries(folder, slash == std::string::npos ? path : path.substr(slash + 1));
    // The process id in the name tells a later run whether its writer is gone.
    std::string temp = path + "." + std::to_string(getpid()) + "-XXXXXX";
    const int fd = mkstemp(temp.data());
    if (fd < 0) {
        error = fromErrno(errno);
        return false;
    }
    size_t done = 0;
    bool ok = true;
    while (ok && done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0)
            ok = false;
        else
            done += static_cast<size_t>(n);
    }
    if (ok && fchmod(fd, 0644) != 0) ok = false;
    const int savedErrno = errno;
    if (close(fd) != 0 && ok) ok = false;
    // Renamed complete: a program killed at any moment leaves the old file
    // or the new one, never a part of one.
    if (ok && rename(temp.c_str(), path.c_str()) != 0) ok = false;
    if (!ok) {
        error = fromErrno(errno ? errno : savedErrno);
        unlink(temp.c_str());
        return false;
    }
    pendingFlush().add(path);
    error = 0;
    return true;
}

void flushReplacedFiles() {
    pendingFlush().flush();
}

} // namespace plat::emulated

namespace plat {

std::string emulationRoot() {
    return emulated::root();
}

void resetEmulation() {
    emulated::RootState& state = emulated::rootState();
    {
        std::lock_guard lock(state.mutex);
        state.ready = false;
        state.path.clear();
        state.problem.clear();
    }
    emulated::resetRegistry();
}

uint32_t lastError() {
    return emulated::tlsError;
}

void flushRegistry() {
    emulated::flushReplacedFiles();
}

bool emulationProblem(std::string& message) {
    message = emulated::rootProblem();
    if (!message.empty()) return true;
    return emulated::registryProblem(message);
}

} // namespace plat
