// The System Restore service of Windows: SRSetRestorePointW of SRCLIENT.DLL,
// loaded on first use and kept until the program ends.
#pragma once

#include <cstdint>
#include <string>

namespace plat {

// Event types and the restore point type of the published interface.
enum : uint32_t {
    BeginSystemChange = 100,
    EndSystemChange = 101,
    ApplicationInstall = 0,
};

// What the service answered: its result and its status record.
struct RestorePointAnswer {
    bool success = true;
    uint32_t status = 0;
    int64_t sequenceNumber = 0;
};

// One call of SRSetRestorePointW with the given record fields (description:
// Windows-1252, at most its first 256 characters are passed). Where the
// library or its entry point is missing (and always on Linux, whose emulated
// Windows has no System Restore) a stand-in answers success with status 0 and
// sequence number 0.
RestorePointAnswer setRestorePoint(uint32_t eventType, uint32_t restorePointType,
                                   int64_t sequenceNumber, const std::string& description);

// Tests only: the library file (full path) to load instead of the system's
// SRCLIENT.DLL; empty: the system's again. A library loaded before is released.
void setRestorePointLibraryForTests(const std::string& path);

} // namespace plat
