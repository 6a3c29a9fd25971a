#include "files/TempFile.h"

#include <cstdint>

#include "platform/System.h"

namespace setup {

bool TempFile::Create(const std::string& folder, const std::string& extension) {
    static uint32_t counter = static_cast<uint32_t>(plat::tickCount());
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = folder + "~setup" + std::to_string(++counter) + extension;
        if (file_.open(name, plat::OpenMode::CreateNew)) {
            path_ = std::move(name);
            return true;
        }
        if (file_.lastError() != plat::kErrFileExists &&
            file_.lastError() != plat::kErrAlreadyExists)
            return false;
    }
    return false;
}

bool TempFile::ReplaceInto(const std::string& dest) {
    file_.close();
    if (!plat::moveFile(path_, dest, true)) return false;
    path_.clear();
    return true;
}

void TempFile::Discard() {
    file_.close();
    if (!path_.empty()) plat::deleteFile(path_);
    path_.clear();
}

} // namespace setup
