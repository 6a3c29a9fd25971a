// A system restore point around an installation run: opened before the
// engine runs and closed afterwards, also after an error. Failures of the
// service are not reported; the run goes on either way.
#pragma once

#include <cstdint>
#include <string>

namespace setup {

// Opens a restore point of the kind for application installs. 0 on success,
// else the status the service reported; sequenceNumber is the one the service
// returned. At most the first 256 characters of description are used.
uint32_t BeginRestorePoint(const std::string& description, int64_t& sequenceNumber);
// Closes the restore point with that number; 0 on success, else the status.
uint32_t EndRestorePoint(int64_t sequenceNumber);

namespace texts {
inline const std::string RestorePointBegin = "Systemwiederherstellungspunkt erzeugen";
inline const std::string RestorePointEnd = "Systemwiederherstellungspunkt abschlie\xDF"
                                           "en";
} // namespace texts

} // namespace setup
