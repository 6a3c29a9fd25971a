#include "platform/Process.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <memory>
#include <utility>
#include <vector>

#include "platform/System.h"
#include "platform/emulated/Emulated.h"

namespace plat {
namespace {

// Splits a Windows command line: blanks separate, double quotes group.
std::vector<std::string> SplitArguments(const std::string& line) {
    std::vector<std::string> args;
    std::string current;
    bool quoted = false, any = false;
    for (char c : line) {
        if (c == '"') {
            quoted = !quoted;
            any = true;
        } else if (c == ' ' && !quoted) {
            if (any) args.push_back(current);
            current.clear();
            any = false;
        } else {
            current += c;
            any = true;
        }
    }
    if (any) args.push_back(current);
    return args;
}

// A drive path ("C:\...") names a file of the emulated Windows; other
// arguments are passed as they are.
std::string ToLinux(const std::string& arg) {
    if (arg.size() >= 3 && arg[1] == ':' && arg[2] == '\\') return toNativePath(arg);
    return arg;
}

// The arguments of commandLine. As CreateProcess does, an unquoted program
// path with blanks ("C:\Program Files\x.exe -a") is found by trying ever
// longer parts up to a blank until one names an executable file.
std::vector<std::string> ProgramArguments(const std::string& commandLine) {
    std::vector<std::string> args = SplitArguments(commandLine);
    if (args.empty() || commandLine.front() == '"' || ::access(ToLinux(args[0]).c_str(), X_OK) == 0)
        return args;
    for (size_t blank = commandLine.find(' '); blank != std::string::npos;
         blank = commandLine.find(' ', blank + 1)) {
        const size_t next = commandLine.find(' ', blank + 1);
        const std::string program = commandLine.substr(0, next);
        if (::access(ToLinux(program).c_str(), X_OK) != 0) continue;
        std::vector<std::string> found{program};
        if (next != std::string::npos) {
            const std::vector<std::string> rest = SplitArguments(commandLine.substr(next + 1));
            found.insert(found.end(), rest.begin(), rest.end());
        }
        return found;
    }
    return args;
}

// Starts args[0] (a Linux path) with its arguments in folder (empty: the
// current one) without waiting for it; false when the exec fails.
bool Spawn(std::vector<std::string> args, const std::string& folder) {
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    // The program is started by a grandchild, so that nobody has to wait for
    // it; a pipe that closes on exec tells whether the exec worked.
    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0) return false;
    pid_t child = ::fork();
    if (child < 0) {
        ::close(report[0]);
        ::close(report[1]);
        return false;
    }
    if (child == 0) {
        ::close(report[0]);
        pid_t grandchild = ::fork();
        if (grandchild == 0) {
            ::setsid();
            if (!folder.empty() && ::chdir(folder.c_str()) != 0) {
                int err = errno;
                (void)!::write(report[1], &err, sizeof err);
                ::_exit(127);
            }
            ::execv(argv[0], argv.data());
            int err = errno;
            (void)!::write(report[1], &err, sizeof err);
            ::_exit(127);
        }
        if (grandchild < 0) {
            int err = errno;
            (void)!::write(report[1], &err, sizeof err);
        }
        ::_exit(0);
    }
    ::close(report[1]);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    int err = 0;
    ssize_t n;
    while ((n = ::read(report[0], &err, sizeof err)) < 0 && errno == EINTR) {
    }
    ::close(report[0]);
    return n == 0;
}

bool IsLinuxFolder(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The desktop's opener (xdg-open on the PATH) when a desktop is there to
// show what it opens; empty otherwise.
std::string DesktopOpener() {
    const char* display = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if ((!display || !*display) && (!wayland || !*wayland)) return {};
    const char* path = std::getenv("PATH");
    std::string folders = path ? path : "/usr/bin:/bin";
    size_t start = 0;
    while (start <= folders.size()) {
        size_t end = folders.find(':', start);
        if (end == std::string::npos) end = folders.size();
        const std::string candidate = folders.substr(start, end - start) + "/xdg-open";
        if (end > start && ::access(candidate.c_str(), X_OK) == 0) return candidate;
        start = end + 1;
    }
    return {};
}

} // namespace

bool startProgram(const std::string& commandLine, const std::string& workingFolder) {
    std::vector<std::string> args = ProgramArguments(commandLine);
    if (args.empty()) return false;
    for (std::string& a : args)
        a = ToLinux(a);
    if (::access(args[0].c_str(), X_OK) != 0) return false;
    return Spawn(std::move(args), workingFolder.empty() ? std::string() : ToLinux(workingFolder));
}

std::optional<int> runCopyOfProgram(const std::vector<std::string>&) {
    return std::nullopt;
}

std::vector<std::string> runningProgramPaths() {
    std::vector<std::string> paths;
    const std::unique_ptr<DIR, int (*)(DIR*)> proc(::opendir("/proc"), ::closedir);
    if (!proc) return paths;
    while (const dirent* entry = ::readdir(proc.get())) {
        const std::string name = entry->d_name;
        if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos) continue;
        // Processes of other users (and kernel threads) have no readable link.
        std::string target(4096, '\0');
        const ssize_t n =
            ::readlink(("/proc/" + name + "/exe").c_str(), target.data(), target.size());
        if (n <= 0 || static_cast<size_t>(n) >= target.size()) continue;
        target.resize(static_cast<size_t>(n));
        paths.push_back(emulated::driveForm(target));
    }
    return paths;
}

namespace {
std::atomic<pid_t> g_processId{0}; // 0: not asked yet, or forked since
} // namespace

// Asked for the name of every temporary file: kept, and learnt afresh in a
// forked child.
uint32_t currentProcessId() {
    static const bool watched = pthread_atfork(nullptr, nullptr, [] { g_processId.store(0); }) == 0;
    pid_t id = watched ? g_processId.load() : 0;
    if (id == 0) {
        id = getpid();
        g_processId.store(id);
    }
    return static_cast<uint32_t>(id);
}

bool processRunning(uint32_t id) {
    if (id == 0 || id > static_cast<uint32_t>(INT32_MAX)) return false;
    return kill(static_cast<pid_t>(id), 0) == 0 || errno == EPERM;
}

bool shellExecute(const std::string& verb, const std::string& file, const std::string& parameters,
                  uintptr_t) {
    const std::string target = ToLinux(file);
    // A Linux program opened with parameters is simply started.
    if ((verb.empty() || verb == "open") && !target.empty() && target.front() == '/' &&
        ::access(target.c_str(), X_OK) == 0 && !IsLinuxFolder(target))
        return startProgram("\"" + file + "\" " + parameters, "");
    if (!verb.empty() && verb != "open" && verb != "explore") return false;
    const std::string opener = DesktopOpener();
    if (opener.empty() || target.empty()) return false;
    return Spawn({opener, target}, "");
}

} // namespace plat
