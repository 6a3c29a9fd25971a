#include "platform/RestorePoint.h"

namespace plat {

// The emulated Windows is a Windows without System Restore.
RestorePointAnswer setRestorePoint(uint32_t, uint32_t, int64_t, const std::string&) {
    return {};
}

void setRestorePointLibraryForTests(const std::string&) {}

} // namespace plat
