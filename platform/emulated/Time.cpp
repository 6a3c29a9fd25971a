// File times and local time through the C library (the TZ rules of the machine).
#include "platform/Time.h"

#include <time.h>

#include "platform/emulated/Emulated.h"

namespace plat {
namespace {

constexpr FileTime kMaxFileTime = 0x7FFFFFFFFFFFFFFFULL; // FileTimeToSystemTime's limit

bool leapYear(int y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int daysInMonth(int y, int m) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && leapYear(y) ? 29 : kDays[m - 1];
}

} // namespace

std::optional<DateTime> fileTimeToLocal(FileTime t) {
    if (t > kMaxFileTime) return std::nullopt;
    const timespec ts = emulated::toTimespec(t);
    tm local{};
    if (!localtime_r(&ts.tv_sec, &local)) return std::nullopt;
    DateTime out;
    out.year = local.tm_year + 1900;
    out.month = local.tm_mon + 1;
    out.day = local.tm_mday;
    out.hour = local.tm_hour;
    out.minute = local.tm_min;
    out.second = local.tm_sec > 59 ? 59 : local.tm_sec;
    out.millisecond = static_cast<int>(ts.tv_nsec / 1000000);
    return out;
}

std::optional<FileTime> localToFileTime(const DateTime& local) {
    if (local.year < 1601 || local.year > 30827 || local.month < 1 || local.month > 12 ||
        local.day < 1 || local.day > daysInMonth(local.year, local.month) || local.hour < 0 ||
        local.hour > 23 || local.minute < 0 || local.minute > 59 || local.second < 0 ||
        local.second > 59 || local.millisecond < 0 || local.millisecond > 999)
        return std::nullopt;
    tm t{};
    t.tm_year = local.year - 1900;
    t.tm_mon = local.month - 1;
    t.tm_mday = local.day;
    t.tm_hour = local.hour;
    t.tm_min = local.minute;
    t.tm_sec = local.second;
    t.tm_isdst = -1;
    const time_t seconds = mktime(&t);
    if (seconds == static_cast<time_t>(-1) && t.tm_year != 69) return std::nullopt;
    timespec ts{seconds, static_cast<long>(local.millisecond) * 1000000};
    const FileTime out = emulated::toFileTime(ts);
    if (out == 0 && seconds < 0) return std::nullopt;
    return out;
}

FileTime now() {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return emulated::toFileTime(ts);
}

} // namespace plat
