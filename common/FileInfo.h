// File dates (DOS date-times: date in the high 16 bits, time in the low 16,
// 2-second resolution, local time; -1 = no file), sizes and version texts.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/FileSystem.h"

namespace setup {
class Effects;
}

namespace setup {

class Effects;

// The date and size of a directory entry, as file lists carry them.
struct TFileInf {
    int32_t Time = 0;
    uint64_t Size = 0;
};

// UTC file time -> DOS date-time of its local time; -1 outside 1980..2107.
int32_t FileTimeToDosDate(plat::FileTime t);
// DOS date-time (local) -> UTC file time; nullopt for an invalid value.
std::optional<plat::FileTime> DosDateToFileTime(int32_t dosDate);
int32_t DosDateNow();

// > 0 when a is newer. Dates within 3 seconds, or exactly one hour apart,
// are equal; a negative date compares as a - b.
int CompareFileDates(int32_t a, int32_t b);
// Sets the last-write date; false when the file cannot be opened or set.
bool SetFileDate(const std::string& path, int32_t dosDate);
// The same through the effects of a run.
bool SetFileDate(Effects& effects, const std::string& path, int32_t dosDate);
// From a directory search of path: -1 when there is no such entry.
int32_t FileDosDate(const std::string& path);
// The same, as the run's effects see the file (a plan: after its changes).
int32_t FileDosDate(Effects& effects, const std::string& path);
int64_t FileSize64(const std::string& path);
bool CanOpenForReading(const std::string& path);
// "dd.mm.yy hh:nn:ss,zzz" in local time.
std::string FormatFileTime(plat::FileTime t);
// Last-write time of an existing file (not a folder); empty otherwise.
std::string FileTimeText(const std::string& path);
// The path rebuilt from the long names on disk; a missing part becomes empty.
std::string LongPathName(const std::string& path);
// Appends "Name=Value" for each of the standard version texts the file's
// version resource holds (German block first, then US English).
void ReadVersionInfo(const std::string& file, std::vector<std::string>& list);

} // namespace setup
