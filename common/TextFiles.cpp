#include "common/TextFiles.h"

#include "common/Paths.h"
#include "common/TempFile.h"
#include "platform/FileSystem.h"

namespace setup {

std::optional<std::string> ReadWholeFile(const std::string& path, uint64_t maxSize) {
    plat::File file;
    if (!file.open(path, plat::OpenMode::Read)) return std::nullopt;
    std::string bytes;
    char buffer[16384];
    for (;;) {
        const int64_t n = file.read(buffer, sizeof buffer);
        if (n < 0) return std::nullopt;
        if (n == 0) break;
        bytes.append(buffer, static_cast<size_t>(n));
        if (bytes.size() > maxSize) return std::nullopt;
    }
    return bytes;
}

uint32_t WriteWholeFile(const std::string& path, const std::string& bytes) {
    TempFile temporary;
    if (!temporary.Create(ExtractFilePath(path), ".tmp")) {
        const uint32_t error = temporary.file().lastError();
        return error != 0 ? error : plat::kErrPathNotFound;
    }
    plat::File& file = temporary.file();
    if (file.write(bytes.data(), bytes.size()) != static_cast<int64_t>(bytes.size()) ||
        !file.flush()) {
        const uint32_t error = file.lastError();
        return error != 0 ? error : plat::kErrDiskFull;
    }
    if (!temporary.ReplaceInto(path)) {
        const uint32_t error = plat::lastError();
        return error != 0 ? error : plat::kErrAccessDenied;
    }
    return 0;
}

} // namespace setup
