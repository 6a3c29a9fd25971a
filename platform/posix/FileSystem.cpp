#include "platform/FileSystem.h"

namespace plat {
namespace {
thread_local uint32_t tlsError = 0;
}

struct DirSearch::Impl {};
DirSearch::DirSearch() = default;
DirSearch::~DirSearch() = default;
bool DirSearch::first(const std::string&) {
    error_ = kErrFileNotFound;
    return false;
}
bool DirSearch::next() { return false; }

std::optional<DirEntry> statPath(const std::string&) { return std::nullopt; }

struct File::Impl {};
File::File() = default;
File::~File() = default;
File::File(File&&) noexcept = default;
File& File::operator=(File&&) noexcept = default;
bool File::open(const std::string&, OpenMode) {
    error_ = kErrAccessDenied;
    return false;
}
bool File::isOpen() const { return false; }
void File::close() {}
int64_t File::read(void*, uint64_t) { return -1; }
int64_t File::write(const void*, uint64_t) { return -1; }
bool File::seek(uint64_t) { return false; }
std::optional<uint64_t> File::size() const { return std::nullopt; }
bool File::setTimes(std::optional<FileTime>, std::optional<FileTime>, std::optional<FileTime>) {
    return false;
}
std::optional<FileTime> File::writeTime() const { return std::nullopt; }
bool File::flush() { return false; }

std::optional<uint32_t> getAttributes(const std::string&) { return std::nullopt; }
bool setAttributes(const std::string&, uint32_t) { return false; }
bool fileExists(const std::string&) { return false; }
bool folderExists(const std::string&) { return false; }
bool deleteFile(const std::string&) { return false; }
bool moveFile(const std::string&, const std::string&, bool) { return false; }
bool createFolder(const std::string&) { return false; }
bool removeFolder(const std::string&) { return false; }
std::optional<uint64_t> freeSpace(const std::string&) { return std::nullopt; }
std::optional<std::string> longPathName(const std::string&) { return std::nullopt; }
uint32_t lastError() { return tlsError; }

} // namespace plat
