// The emulated Windows: its root folder, the layout of a fresh root, and the
// basics every part of the backend shares (case rules, the last error, times).
#include "platform/Emulation.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <mutex>

#include "platform/Cp1252.h"
#include "platform/FileSystem.h"
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

} // namespace

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

bool emulationProblem(std::string& message) {
    message = emulated::rootProblem();
    if (!message.empty()) return true;
    return emulated::registryProblem(message);
}

} // namespace plat
