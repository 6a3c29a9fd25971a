#include "common/FileInfo.h"

#include "common/Effects.h"

#include "common/Effects.h"

#include <cstdio>
#include <cstdlib>

#include "common/Text.h"
#include "platform/Time.h"
#include "platform/VersionInfo.h"

namespace setup {

namespace {

struct DosParts {
    int year, month, day, hour, minute, second;
};

DosParts SplitDos(int32_t dos) {
    const uint32_t v = static_cast<uint32_t>(dos);
    return {static_cast<int>((v >> 25) & 0x7F) + 1980, static_cast<int>((v >> 21) & 0x0F),
            static_cast<int>((v >> 16) & 0x1F),        static_cast<int>((v >> 11) & 0x1F),
            static_cast<int>((v >> 5) & 0x3F),         static_cast<int>(v & 0x1F) * 2};
}

bool ValidDos(const DosParts& p) {
    return p.month >= 1 && p.month <= 12 && p.day >= 1 && p.day <= 31 && p.hour <= 23 &&
           p.minute <= 59 && p.second <= 59;
}

// Days since 1970-01-01 of a proleptic Gregorian date.
int64_t DaysFromCivil(int y, int m, int d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

int64_t DosSeconds(const DosParts& p) {
    return DaysFromCivil(p.year, p.month, p.day) * 86400 + p.hour * 3600 + p.minute * 60 + p.second;
}

// DOS date-times are kept non-negative (a negative one means "no file"), so
// the range is 1980-01-01 to 2043-12-31.
constexpr int kLastDosYear = 2043;

int32_t PackDos(const plat::DateTime& t) {
    if (t.year < 1980) return (1 << 21) | (1 << 16); // 1980-01-01 00:00:00
    if (t.year > kLastDosYear)
        return static_cast<int32_t>((uint32_t(kLastDosYear - 1980) << 25) | (12u << 21) |
                                    (31u << 16) | (23u << 11) | (59u << 5) | 29u);
    return static_cast<int32_t>((uint32_t(t.year - 1980) << 25) | (uint32_t(t.month) << 21) |
                                (uint32_t(t.day) << 16) | (uint32_t(t.hour) << 11) |
                                (uint32_t(t.minute) << 5) | uint32_t(t.second / 2));
}

// The first file (not folder) a directory search for path finds.
std::optional<plat::DirEntry> FindFile(const std::string& path) {
    plat::DirSearch search;
    if (!search.first(path)) return std::nullopt;
    do {
        const plat::DirEntry& e = search.entry();
        if ((e.attributes & plat::kAttrDirectory) == 0) return e;
    } while (search.next());
    return std::nullopt;
}

} // namespace

int32_t FileTimeToDosDate(plat::FileTime t) {
    const auto local = plat::fileTimeToLocal(t);
    return local ? PackDos(*local) : -1;
}

std::optional<plat::FileTime> DosDateToFileTime(int32_t dosDate) {
    if (dosDate < 0) return std::nullopt;
    const DosParts p = SplitDos(dosDate);
    if (!ValidDos(p)) return std::nullopt;
    plat::DateTime t;
    t.year = p.year;
    t.month = p.month;
    t.day = p.day;
    t.hour = p.hour;
    t.minute = p.minute;
    t.second = p.second;
    return plat::localToFileTime(t);
}

int32_t DosDateNow() {
    return FileTimeToDosDate(plat::now());
}

int CompareFileDates(int32_t a, int32_t b) {
    if (a < 0 || b < 0) {
        const int64_t d = int64_t(a) - int64_t(b);
        return d > 0 ? 1 : (d < 0 ? -1 : 0);
    }
    if (std::llabs(int64_t(a) - int64_t(b)) <= 2) return 0;
    const DosParts pa = SplitDos(a);
    const DosParts pb = SplitDos(b);
    if (ValidDos(pa) && ValidDos(pb)) {
        const int64_t d = std::llabs(DosSeconds(pa) - DosSeconds(pb));
        if (d <= 3 || std::llabs(d - 3600) <= 3) return 0;
    }
    return a > b ? 1 : -1;
}

bool SetFileDate(const std::string& path, int32_t dosDate) {
    return SetFileDate(DirectEffects(), path, dosDate);
}

bool SetFileDate(Effects& effects, const std::string& path, int32_t dosDate) {
    const auto t = DosDateToFileTime(dosDate);
    if (!t) return false;
    return effects.SetWriteTime(path, *t) == 0;
}

int32_t FileDosDate(const std::string& path) {
    const auto e = FindFile(path);
    return e ? FileTimeToDosDate(e->writeTime) : -1;
}

int32_t FileDosDate(Effects& effects, const std::string& path) {
    plat::DirEntry entry;
    return effects.Entry(path, entry) ? FileTimeToDosDate(entry.writeTime) : -1;
}

int64_t FileSize64(const std::string& path) {
    const auto e = FindFile(path);
    return e ? static_cast<int64_t>(e->size) : -1;
}

bool CanOpenForReading(const std::string& path) {
    plat::File f;
    return f.open(path, plat::OpenMode::Read);
}

std::string FormatFileTime(plat::FileTime t) {
    const auto l = plat::fileTimeToLocal(t);
    if (!l) return {};
    char buf[64];
    std::snprintf(buf, sizeof buf, "%02d.%02d.%02d %02d:%02d:%02d,%03d", l->day, l->month,
                  l->year % 100, l->hour, l->minute, l->second, l->millisecond);
    return buf;
}

std::string FileTimeText(const std::string& path) {
    const auto e = plat::statPath(path);
    if (!e || (e->attributes & plat::kAttrDirectory) != 0) return {};
    return FormatFileTime(e->writeTime);
}

std::string LongPathName(const std::string& path) {
    if (path.size() <= 2) return path;
    if (path.back() == '\\') {
        const std::string inner = LongPathName(path.substr(0, path.size() - 1));
        return inner.empty() ? inner : inner + '\\';
    }
    const size_t slash = path.rfind('\\');
    if (slash == std::string::npos) return {};
    plat::DirSearch search;
    if (!search.first(path)) return {};
    std::string name = search.entry().name;
    const std::string parent = LongPathName(path.substr(0, slash));
    if (parent.empty() && slash > 0) return {};
    return parent + '\\' + name;
}

void ReadVersionInfo(const std::string& file, std::vector<std::string>& list) {
    static const char* const names[] = {
        "CompanyName",     "FileDescription",  "FileVersion", "InternalName",   "LegalCopyright",
        "LegalTradeMarks", "OriginalFileName", "ProductName", "ProductVersion", "Comments"};
    std::vector<uint8_t> block;
    if (plat::versionInfoSize(file) == 0 || !plat::readVersionInfo(file, block)) return;
    for (const char* name : names) {
        std::string value;
        if (plat::queryVersionString(block, std::string("StringFileInfo\\040704E4\\") + name,
                                     value) ||
            plat::queryVersionString(block, std::string("StringFileInfo\\040904E4\\") + name,
                                     value))
            list.push_back(std::string(name) + " = " + value);
    }
    for (std::string& line : list) {
        const size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        line = Trim(line.substr(0, eq)) + "=" + Trim(line.substr(eq + 1));
    }
}

} // namespace setup
