#include "common/TextFiles.h"

#include "common/Effects.h"
#include "common/Paths.h"
#include "common/PlanEffects.h"
#include "platform/FileSystem.h"

namespace setup {

std::optional<std::string> ReadWholeFile(const std::string& path, uint64_t maxSize) {
    // A device, pipe or socket would be read forever or wait for a writer.
    if (!plat::isRegularFile(path)) return std::nullopt;
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

std::optional<std::string> ReadWholeFile(Effects& effects, const std::string& path,
                                         uint64_t maxSize) {
    std::optional<std::string> planned;
    if (const PlanEffects* plan = AsPlan(effects); plan && plan->PlannedText(path, planned)) {
        if (planned && planned->size() > maxSize) return std::nullopt;
        return planned;
    }
    return ReadWholeFile(path, maxSize);
}

uint32_t WriteWholeFile(const std::string& path, const std::string& bytes) {
    return WriteWholeFile(DirectEffects(), path, bytes);
}

uint32_t WriteWholeFile(Effects& effects, const std::string& path, const std::string& bytes) {
    uint32_t error = 0;
    const std::unique_ptr<PendingFile> file =
        effects.BeginFile(ExtractFilePath(path), ".tmp", error);
    if (!file) return error;
    if (!file->Write(bytes.data(), bytes.size()) || !file->Flush()) {
        const uint32_t writeError = file->LastError();
        return writeError != 0 ? writeError : plat::kErrDiskFull;
    }
    if (!file->Commit(path)) {
        const uint32_t error = plat::lastError();
        return error != 0 ? error : plat::kErrAccessDenied;
    }
    return 0;
}

} // namespace setup
