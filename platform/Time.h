// Conversions between file times (UTC), local time and broken-down dates.
#pragma once

#include <cstdint>
#include <optional>

#include "platform/FileSystem.h"

namespace plat {

struct DateTime {
    int year = 0, month = 0, day = 0;
    int hour = 0, minute = 0, second = 0, millisecond = 0;
};

// UTC file time -> broken-down local time (FileTimeToLocalFileTime + FileTimeToSystemTime).
std::optional<DateTime> fileTimeToLocal(FileTime t);
// Broken-down local time -> UTC file time; nullopt for an invalid date.
std::optional<FileTime> localToFileTime(const DateTime& local);
// The current time as a UTC file time.
FileTime now();

} // namespace plat
