#include "system/RestorePoint.h"

#include "platform/RestorePoint.h"

namespace setup {

uint32_t BeginRestorePoint(const std::string& description, int64_t& sequenceNumber) {
    const plat::RestorePointAnswer answer = plat::setRestorePoint(
        plat::BeginSystemChange, plat::ApplicationInstall, 0, description.substr(0, 256));
    sequenceNumber = answer.sequenceNumber;
    return answer.success ? 0 : answer.status;
}

uint32_t EndRestorePoint(int64_t sequenceNumber) {
    const plat::RestorePointAnswer answer =
        plat::setRestorePoint(plat::EndSystemChange, plat::ApplicationInstall, sequenceNumber, "");
    return answer.success ? 0 : answer.status;
}

} // namespace setup
