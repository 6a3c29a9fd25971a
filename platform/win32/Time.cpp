#include "platform/Time.h"

#include "platform/win32/WindowsSupport.h"

namespace plat {
namespace {

int daysInMonth(int year, int month) {
    static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[month - 1];
}

} // namespace

std::optional<DateTime> fileTimeToLocal(FileTime t) {
    FILETIME utc = win::toFileTime(t);
    FILETIME local;
    SYSTEMTIME st;
    if (!::FileTimeToLocalFileTime(&utc, &local) || !::FileTimeToSystemTime(&local, &st))
        return std::nullopt;
    DateTime d;
    d.year = st.wYear;
    d.month = st.wMonth;
    d.day = st.wDay;
    d.hour = st.wHour;
    d.minute = st.wMinute;
    d.second = st.wSecond;
    d.millisecond = st.wMilliseconds;
    return d;
}

std::optional<FileTime> localToFileTime(const DateTime& local) {
    // Out-of-range fields would wrap in the 16-bit SYSTEMTIME fields and
    // come back as a different, valid date.
    if (local.year < 1601 || local.year > 30827 || local.month < 1 || local.month > 12 ||
        local.day < 1 || local.day > 31 || local.hour < 0 || local.hour > 23 || local.minute < 0 ||
        local.minute > 59 || local.second < 0 || local.second > 59 || local.millisecond < 0 ||
        local.millisecond > 999)
        return std::nullopt;
    // Checked here too: Wine's SystemTimeToFileTime takes 29 February of any year.
    if (local.day > daysInMonth(local.year, local.month)) return std::nullopt;
    SYSTEMTIME st{};
    st.wYear = static_cast<WORD>(local.year);
    st.wMonth = static_cast<WORD>(local.month);
    st.wDay = static_cast<WORD>(local.day);
    st.wHour = static_cast<WORD>(local.hour);
    st.wMinute = static_cast<WORD>(local.minute);
    st.wSecond = static_cast<WORD>(local.second);
    st.wMilliseconds = static_cast<WORD>(local.millisecond);
    FILETIME localTime;
    FILETIME utc;
    if (!::SystemTimeToFileTime(&st, &localTime) || !::LocalFileTimeToFileTime(&localTime, &utc))
        return std::nullopt;
    return win::fromFileTime(utc);
}

FileTime now() {
    FILETIME t;
    ::GetSystemTimeAsFileTime(&t);
    return win::fromFileTime(t);
}

} // namespace plat
