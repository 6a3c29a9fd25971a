#include "platform/FileSystem.h"

#include <algorithm>
#include <vector>

#include "platform/win32/WindowsSupport.h"

namespace plat {
namespace {

thread_local uint32_t tLastError = 0;

// Records the error of the call that just failed for plat::lastError().
uint32_t recordFailure() {
    tLastError = win::failureCode();
    return tLastError;
}

uint32_t recordError(uint32_t code) {
    tLastError = code;
    return code;
}

// Windows-1252 cannot hold every name a disk may carry. When the long name
// does not survive the conversion, the short name (plain ASCII) still names
// the file, where "?" would make it unreachable.
std::string entryName(const WIN32_FIND_DATAW& data) {
    std::wstring longName = data.cFileName;
    std::string name = win::narrow(longName);
    if (data.cAlternateFileName[0] != L'\0' && win::widen(name) != longName)
        return win::narrow(data.cAlternateFileName);
    return name;
}

DirEntry toEntry(const WIN32_FIND_DATAW& data) {
    DirEntry e;
    e.name = entryName(data);
    e.attributes = data.dwFileAttributes;
    e.size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    e.creationTime = win::fromFileTime(data.ftCreationTime);
    e.accessTime = win::fromFileTime(data.ftLastAccessTime);
    e.writeTime = win::fromFileTime(data.ftLastWriteTime);
    return e;
}

bool hasWildcards(const std::string& path) {
    return path.find_first_of("*?") != std::string::npos;
}

// "C:\a\b\" -> "b", "C:\a\b" -> "b", "C:\" -> "C:".
std::string lastComponent(std::string path) {
    while (path.size() > 1 && (path.back() == '\\' || path.back() == '/'))
        path.pop_back();
    size_t cut = path.find_last_of("\\/");
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

// The folder above path, or empty at a root ("C:\", "\\server\share\").
std::string parentFolder(const std::string& path) {
    std::string p = path;
    while (!p.empty() && (p.back() == '\\' || p.back() == '/'))
        p.pop_back();
    size_t cut = p.find_last_of("\\/");
    if (cut == std::string::npos || p.size() <= 2) return std::string();
    if (cut == 2 && p[1] == ':') return p.substr(0, 3);
    if (p.starts_with("\\\\") && std::count(p.begin(), p.end(), '\\') <= 3) return std::string();
    return p.substr(0, cut + 1);
}

constexpr DWORD kMaxChunk = 1u << 30;

// Windows refuses to change, replace or delete a read-only file. Wine running
// as root lets the Unix permission check pass; checking the attribute here
// keeps the Windows rule wherever the program runs.
bool isReadOnlyFile(const std::wstring& path) {
    DWORD attr = ::GetFileAttributesW(path.c_str());
    return attr != INVALID_FILE_ATTRIBUTES && !(attr & FILE_ATTRIBUTE_DIRECTORY) &&
           (attr & FILE_ATTRIBUTE_READONLY);
}

// The name a directory entry has on disk; empty when there is none.
std::wstring storedName(const std::wstring& path) {
    WIN32_FIND_DATAW data;
    win::FindHandle find(::FindFirstFileW(path.c_str(), &data));
    return find ? std::wstring(data.cFileName) : std::wstring();
}

std::wstring lastWideComponent(const std::wstring& path) {
    size_t cut = path.find_last_of(L"\\/");
    return cut == std::wstring::npos ? path : path.substr(cut + 1);
}

std::wstring fullPath(const std::wstring& path) {
    std::vector<wchar_t> buffer(MAX_PATH + 1);
    while (true) {
        DWORD n = ::GetFullPathNameW(path.c_str(), static_cast<DWORD>(buffer.size()), buffer.data(),
                                     nullptr);
        if (n == 0) return std::wstring();
        if (n < buffer.size()) return std::wstring(buffer.data(), n);
        buffer.resize(n + 1);
    }
}

} // namespace

// --- DirSearch -------------------------------------------------------------

struct DirSearch::Impl {
    win::FindHandle handle;
};

DirSearch::DirSearch() : impl_(std::make_unique<Impl>()) {}
DirSearch::~DirSearch() = default;

bool DirSearch::first(const std::string& pattern) {
    impl_->handle.reset();
    entry_ = DirEntry();
    WIN32_FIND_DATAW data;
    {
        win::CriticalErrorsSilenced silenced;
        impl_->handle.reset(::FindFirstFileW(win::widen(pattern).c_str(), &data));
    }
    if (!impl_->handle) {
        error_ = recordFailure();
        return false;
    }
    entry_ = toEntry(data);
    error_ = 0;
    return true;
}

bool DirSearch::next() {
    if (!impl_->handle) {
        error_ = ERROR_NO_MORE_FILES;
        return false;
    }
    WIN32_FIND_DATAW data;
    if (!::FindNextFileW(impl_->handle.get(), &data)) {
        error_ = win::failureCode();
        impl_->handle.reset();
        return false;
    }
    entry_ = toEntry(data);
    return true;
}

std::optional<DirEntry> statPath(const std::string& path) {
    if (path.empty() || hasWildcards(path)) {
        recordError(ERROR_INVALID_NAME);
        return std::nullopt;
    }
    std::wstring wide = win::widen(path);
    win::CriticalErrorsSilenced silenced;
    WIN32_FILE_ATTRIBUTE_DATA attr;
    if (!::GetFileAttributesExW(wide.c_str(), GetFileExInfoStandard, &attr)) {
        recordFailure();
        return std::nullopt;
    }
    DirEntry e;
    e.attributes = attr.dwFileAttributes;
    e.size = (static_cast<uint64_t>(attr.nFileSizeHigh) << 32) | attr.nFileSizeLow;
    e.creationTime = win::fromFileTime(attr.ftCreationTime);
    e.accessTime = win::fromFileTime(attr.ftLastAccessTime);
    e.writeTime = win::fromFileTime(attr.ftLastWriteTime);
    // The name as stored on disk; roots and paths ending in a backslash have
    // no directory entry of their own.
    WIN32_FIND_DATAW data;
    win::FindHandle find(::FindFirstFileW(wide.c_str(), &data));
    e.name = find ? entryName(data) : lastComponent(path);
    return e;
}

// --- File ------------------------------------------------------------------

struct File::Impl {
    win::FileHandle handle;
};

File::File() : impl_(std::make_unique<Impl>()) {}
File::~File() = default;
File::File(File&&) noexcept = default;
File& File::operator=(File&&) noexcept = default;

bool File::openPlatformFile(const std::string& platformPath, OpenMode mode) {
    return open(platformPath, mode);
}

bool File::open(const std::string& path, OpenMode mode) {
    if (!impl_) impl_ = std::make_unique<Impl>();
    impl_->handle.reset();
    DWORD access = GENERIC_READ | GENERIC_WRITE;
    DWORD share = FILE_SHARE_READ;
    DWORD disposition = OPEN_EXISTING;
    switch (mode) {
    case OpenMode::Read:
        access = GENERIC_READ;
        share = FILE_SHARE_READ | FILE_SHARE_WRITE;
        break;
    case OpenMode::Write:
        break;
    case OpenMode::CreateAlways:
        disposition = CREATE_ALWAYS;
        break;
    case OpenMode::CreateNew:
        disposition = CREATE_NEW;
        break;
    }
    std::wstring wide = win::widen(path);
    win::CriticalErrorsSilenced silenced;
    if (mode != OpenMode::Read && mode != OpenMode::CreateNew && isReadOnlyFile(wide)) {
        error_ = recordError(ERROR_ACCESS_DENIED);
        return false;
    }
    impl_->handle.reset(::CreateFileW(wide.c_str(), access, share, nullptr, disposition,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!impl_->handle) {
        error_ = recordFailure();
        return false;
    }
    error_ = 0;
    return true;
}

bool File::isOpen() const {
    return impl_ && impl_->handle.valid();
}

void File::close() {
    if (impl_) impl_->handle.reset();
}

int64_t File::read(void* buffer, uint64_t count) {
    if (!isOpen()) {
        error_ = recordError(ERROR_INVALID_HANDLE);
        return -1;
    }
    auto* out = static_cast<uint8_t*>(buffer);
    uint64_t total = 0;
    while (total < count) {
        DWORD chunk = static_cast<DWORD>(std::min<uint64_t>(count - total, kMaxChunk));
        DWORD got = 0;
        if (!::ReadFile(impl_->handle.get(), out + total, chunk, &got, nullptr)) {
            error_ = recordFailure();
            // What arrived before the error is handed out; the next call reports it.
            return total > 0 ? static_cast<int64_t>(total) : -1;
        }
        if (got == 0) break;
        total += got;
    }
    return static_cast<int64_t>(total);
}

int64_t File::write(const void* buffer, uint64_t count) {
    if (!isOpen()) {
        error_ = recordError(ERROR_INVALID_HANDLE);
        return -1;
    }
    const auto* in = static_cast<const uint8_t*>(buffer);
    uint64_t total = 0;
    while (total < count) {
        DWORD chunk = static_cast<DWORD>(std::min<uint64_t>(count - total, kMaxChunk));
        DWORD written = 0;
        BOOL ok = ::WriteFile(impl_->handle.get(), in + total, chunk, &written, nullptr);
        total += written;
        if (!ok) {
            error_ = recordFailure();
            // A full disk is a short write: the caller learns how much got out.
            bool full = error_ == ERROR_DISK_FULL || error_ == ERROR_HANDLE_DISK_FULL;
            return (full || total > 0) ? static_cast<int64_t>(total) : -1;
        }
        if (written == 0) {
            error_ = recordError(ERROR_DISK_FULL);
            return static_cast<int64_t>(total);
        }
    }
    return static_cast<int64_t>(total);
}

bool File::seek(uint64_t position) {
    if (!isOpen()) {
        error_ = recordError(ERROR_INVALID_HANDLE);
        return false;
    }
    if (position > static_cast<uint64_t>(INT64_MAX)) {
        error_ = recordError(ERROR_INVALID_PARAMETER);
        return false;
    }
    LARGE_INTEGER to;
    to.QuadPart = static_cast<LONGLONG>(position);
    if (!::SetFilePointerEx(impl_->handle.get(), to, nullptr, FILE_BEGIN)) {
        error_ = recordFailure();
        return false;
    }
    return true;
}

std::optional<uint64_t> File::size() const {
    if (!isOpen()) {
        recordError(ERROR_INVALID_HANDLE);
        return std::nullopt;
    }
    LARGE_INTEGER size;
    if (!::GetFileSizeEx(impl_->handle.get(), &size)) {
        recordFailure();
        return std::nullopt;
    }
    return static_cast<uint64_t>(size.QuadPart);
}

bool File::setTimes(std::optional<FileTime> creation, std::optional<FileTime> access,
                    std::optional<FileTime> write) {
    if (!isOpen()) {
        error_ = recordError(ERROR_INVALID_HANDLE);
        return false;
    }
    FILETIME c = win::toFileTime(creation.value_or(0));
    FILETIME a = win::toFileTime(access.value_or(0));
    FILETIME w = win::toFileTime(write.value_or(0));
    if (!::SetFileTime(impl_->handle.get(), creation ? &c : nullptr, access ? &a : nullptr,
                       write ? &w : nullptr)) {
        error_ = recordFailure();
        return false;
    }
    return true;
}

std::optional<FileTime> File::writeTime() const {
    if (!isOpen()) {
        recordError(ERROR_INVALID_HANDLE);
        return std::nullopt;
    }
    FILETIME w;
    if (!::GetFileTime(impl_->handle.get(), nullptr, nullptr, &w)) {
        recordFailure();
        return std::nullopt;
    }
    return win::fromFileTime(w);
}

bool File::flush() {
    if (!isOpen()) {
        error_ = recordError(ERROR_INVALID_HANDLE);
        return false;
    }
    if (!::FlushFileBuffers(impl_->handle.get())) {
        error_ = recordFailure();
        return false;
    }
    return true;
}

void File::reserve(uint64_t size) {
    if (!isOpen() || size > static_cast<uint64_t>(INT64_MAX)) return;
    FILE_ALLOCATION_INFO info{};
    info.AllocationSize.QuadPart = static_cast<LONGLONG>(size);
    (void)::SetFileInformationByHandle(impl_->handle.get(), FileAllocationInfo, &info, sizeof info);
}

// --- Paths -----------------------------------------------------------------

std::optional<uint32_t> getAttributes(const std::string& path) {
    win::CriticalErrorsSilenced silenced;
    DWORD attr = ::GetFileAttributesW(win::widen(path).c_str());
    if (attr == INVALID_FILE_ATTRIBUTES) {
        recordFailure();
        return std::nullopt;
    }
    return static_cast<uint32_t>(attr);
}

bool setAttributes(const std::string& path, uint32_t attributes) {
    if (!::SetFileAttributesW(win::widen(path).c_str(), attributes)) {
        recordFailure();
        return false;
    }
    return true;
}

bool fileExists(const std::string& path) {
    auto attr = getAttributes(path);
    return attr && !(*attr & FILE_ATTRIBUTE_DIRECTORY);
}

bool folderExists(const std::string& path) {
    auto attr = getAttributes(path);
    return attr && (*attr & FILE_ATTRIBUTE_DIRECTORY);
}

bool isRegularFile(const std::string& path) {
    auto attr = getAttributes(path);
    if (!attr || (*attr & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE))) return false;
    // Names such as NUL or CON, and pipes, are no files on a disk.
    win::CriticalErrorsSilenced silenced;
    win::FileHandle file(::CreateFileW(win::widen(path).c_str(), 0,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                       nullptr, OPEN_EXISTING, 0, nullptr));
    return file.valid() && ::GetFileType(file.get()) == FILE_TYPE_DISK;
}

bool deleteFile(const std::string& path) {
    std::wstring wide = win::widen(path);
    if (isReadOnlyFile(wide)) {
        recordError(ERROR_ACCESS_DENIED);
        return false;
    }
    if (!::DeleteFileW(wide.c_str())) {
        recordFailure();
        return false;
    }
    return true;
}

bool moveFile(const std::string& from, const std::string& to, bool replace) {
    std::wstring source = win::widen(from);
    std::wstring target = win::widen(to);
    const bool caseOnly =
        source != target &&
        ::CompareStringOrdinal(source.c_str(), -1, target.c_str(), -1, TRUE) == CSTR_EQUAL;
    if (replace && !caseOnly && isReadOnlyFile(target)) {
        recordError(ERROR_ACCESS_DENIED);
        return false;
    }
    DWORD flags = MOVEFILE_COPY_ALLOWED;
    if (replace) flags |= MOVEFILE_REPLACE_EXISTING;
    if (!::MoveFileExW(source.c_str(), target.c_str(), flags)) {
        recordFailure();
        return false;
    }
    // A rename that changes only the case succeeds on Wine without renaming:
    // take a detour over a temporary name.
    const std::wstring wanted = lastWideComponent(target);
    if (caseOnly && storedName(target) != wanted) {
        std::wstring detour = source + L".~" + std::to_wstring(::GetTickCount64());
        if (!::MoveFileExW(source.c_str(), detour.c_str(), 0)) {
            recordFailure();
            return false;
        }
        if (!::MoveFileExW(detour.c_str(), target.c_str(), 0)) {
            recordFailure();
            ::MoveFileExW(detour.c_str(), source.c_str(), 0);
            return false;
        }
    }
    return true;
}

bool createFolder(const std::string& path) {
    if (!::CreateDirectoryW(win::widen(path).c_str(), nullptr)) {
        recordFailure();
        return false;
    }
    return true;
}

bool removeFolder(const std::string& path) {
    if (!::RemoveDirectoryW(win::widen(path).c_str())) {
        recordFailure();
        return false;
    }
    return true;
}

bool deleteFileAtRestart(const std::string& path) {
    if (!::MoveFileExW(win::widen(path).c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT)) {
        recordFailure();
        return false;
    }
    return true;
}

std::optional<uint64_t> freeSpace(const std::string& path) {
    win::CriticalErrorsSilenced silenced;
    // The target folder of an installation usually does not exist yet: ask
    // the nearest folder above it that does, which lies on the same drive.
    std::string probe = path;
    while (true) {
        std::wstring wide = win::widen(probe);
        if (!wide.empty() && wide.back() != L'\\') wide += L'\\';
        ULARGE_INTEGER available;
        if (::GetDiskFreeSpaceExW(wide.c_str(), &available, nullptr, nullptr))
            return static_cast<uint64_t>(available.QuadPart);
        uint32_t code = recordFailure();
        bool missing = code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND ||
                       code == ERROR_DIRECTORY || code == ERROR_INVALID_NAME;
        std::string up = parentFolder(probe);
        if (!missing || up.empty() || up == probe) return std::nullopt;
        probe = up;
    }
}

// Rebuilt component by component from directory searches, so that every
// component has the name stored on disk: its long name and its case.
std::optional<std::string> longPathName(const std::string& path) {
    if (hasWildcards(path)) {
        recordError(ERROR_INVALID_NAME);
        return std::nullopt;
    }
    std::wstring full = fullPath(win::widen(path));
    if (full.empty()) {
        recordFailure();
        return std::nullopt;
    }
    // The root stays as given: "C:\" or "\\server\share\".
    size_t pos = 0;
    if (full.size() >= 3 && full[1] == L':' && full[2] == L'\\') {
        pos = 3;
    } else if (full.starts_with(L"\\\\")) {
        size_t server = full.find(L'\\', 2);
        size_t share = server == std::wstring::npos ? server : full.find(L'\\', server + 1);
        pos = share == std::wstring::npos ? full.size() : share + 1;
    }
    std::wstring result = full.substr(0, pos);
    win::CriticalErrorsSilenced silenced;
    while (pos < full.size()) {
        size_t end = full.find(L'\\', pos);
        if (end == std::wstring::npos) end = full.size();
        if (end > pos) {
            WIN32_FIND_DATAW data;
            win::FindHandle find(
                ::FindFirstFileW((result + full.substr(pos, end - pos)).c_str(), &data));
            if (!find) {
                recordFailure();
                return std::nullopt;
            }
            result += win::widen(entryName(data));
        }
        if (end < full.size()) result += L'\\';
        pos = end + 1;
    }
    return win::narrow(result);
}

uint32_t lastError() {
    return tLastError;
}

// ---- Block copy ----

int64_t File::copyFrom(File& source, uint64_t count, void* buffer, uint64_t bufferSize) {
    const int64_t got = source.read(buffer, count < bufferSize ? count : bufferSize);
    if (got <= 0) {
        if (got < 0) error_ = recordError(source.lastError());
        return got;
    }
    const int64_t written = write(buffer, static_cast<uint64_t>(got));
    if (written != got) {
        if (written >= 0) error_ = recordError(ERROR_DISK_FULL);
        return -1;
    }
    return got;
}

bool readOnlyDrive(const std::string&) {
    return false;
}

} // namespace plat
