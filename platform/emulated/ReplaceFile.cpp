// Files of the emulated Windows replaced as one step (registry.reg): a
// temporary file renamed into place, stale temporaries of killed runs removed,
// the flush to the disk deferred to the end of a run.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <mutex>
#include <set>
#include <vector>

#include "platform/FileSystem.h"
#include "platform/emulated/Emulated.h"

namespace plat::emulated {

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
