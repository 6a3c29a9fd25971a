// Windows information and process services of the emulated Windows.
#include "platform/System.h"

#include <time.h>
#include <unistd.h>

#include <cstdlib>
#include <mutex>

#include "platform/Registry.h"
#include "platform/emulated/Emulated.h"

namespace plat {
namespace {

struct VersionEntry {
    const char* text;
    uint32_t platformId, major, minor, build;
};

// Build numbers of the releases a version text names.
constexpr VersionEntry kVersions[] = {
    {"4.0", 1, 4, 0, 950},  {"4.10", 1, 4, 10, 2222}, {"4.90", 1, 4, 90, 3000},
    {"4.0", 2, 4, 0, 1381}, {"5.0", 2, 5, 0, 2195},   {"5.1", 2, 5, 1, 2600},
    {"5.2", 2, 5, 2, 3790}, {"6.0", 2, 6, 0, 6002},   {"6.1", 2, 6, 1, 7601},
    {"6.2", 2, 6, 2, 9200}, {"6.3", 2, 6, 3, 9600},   {"10.0", 2, 10, 0, 19045},
};

// "major.minor" -> numbers; false when the text is not of that form.
bool parseVersion(const std::string& text, uint32_t& major, uint32_t& minor) {
    const size_t dot = text.find('.');
    if (dot == std::string::npos || dot == 0 || dot + 1 == text.size()) return false;
    uint32_t parts[2] = {0, 0};
    for (int i = 0; i < 2; ++i) {
        const std::string digits = i == 0 ? text.substr(0, dot) : text.substr(dot + 1);
        if (digits.size() > 4) return false;
        for (char c : digits) {
            if (c < '0' || c > '9') return false;
            parts[i] = parts[i] * 10 + static_cast<uint32_t>(c - '0');
        }
    }
    major = parts[0];
    minor = parts[1];
    return true;
}

std::string readString(const char* path, const char* name) {
    RegKey key;
    std::string value;
    if (key.open(RegRoot::LocalMachine, path, RegAccess::Read) != kErrSuccess) return {};
    if (key.queryString(name, value) != kErrSuccess) return {};
    return value;
}

struct ErrorText {
    uint32_t code;
    const char* text;
};

// The system's texts of the error codes this program meets.
constexpr ErrorText kErrorTexts[] = {
    {0, "Der Vorgang wurde erfolgreich beendet."},
    {1, "Unzul\xE4ssige Funktion."},
    {2, "Das System kann die angegebene Datei nicht finden."},
    {3, "Das System kann den angegebenen Pfad nicht finden."},
    {4, "Das System kann die Datei nicht \xF6"
        "ffnen."},
    {5, "Zugriff verweigert"},
    {6, "Das Handle ist ung\xFCltig."},
    {8, "Nicht gen\xFCgend Speicher verf\xFC"
        "gbar, um diesen Befehl zu verarbeiten."},
    {13, "Die Daten sind ung\xFCltig."},
    {15, "Das System kann das angegebene Laufwerk nicht finden."},
    {17, "Die Datei kann nicht auf ein anderes Laufwerk verschoben werden."},
    {18, "Es sind keine weiteren Dateien vorhanden."},
    {19, "Das Medium ist schreibgesch\xFCtzt."},
    {21, "Das Ger\xE4t ist nicht bereit."},
    {31, "Ein an das System angeschlossenes Ger\xE4t funktioniert nicht."},
    {32, "Der Prozess kann nicht auf die Datei zugreifen, da sie von einem anderen Prozess "
         "verwendet wird."},
    {39, "Der Datentr\xE4ger ist voll."},
    {53, "Der Netzwerkpfad wurde nicht gefunden."},
    {80, "Die Datei ist vorhanden."},
    {87, "Falscher Parameter."},
    {112, "Nicht gen\xFCgend Speicherplatz auf dem Datentr\xE4ger."},
    {123, "Die Syntax f\xFCr den Dateinamen, Verzeichnisnamen oder die "
          "Datentr\xE4gerbezeichnung ist falsch."},
    {145, "Das Verzeichnis ist nicht leer."},
    {183, "Eine Datei kann nicht erstellt werden, wenn sie bereits vorhanden ist."},
    {206, "Der Dateiname oder die Erweiterung ist zu lang."},
    {234, "Weitere Daten sind verf\xFC"
          "gbar."},
    {259, "Es sind keine weiteren Daten vorhanden."},
    {267, "Der Verzeichnisname ist ung\xFCltig."},
    {1009, "Die Konfigurationsregistrierungsdatenbank ist besch\xE4"
           "digt."},
    {1018, "Unzul\xE4ssiger Vorgang f\xFCr einen Registrierungsschl\xFC"
           "ssel, der zum "
           "L\xF6schen markiert wurde."},
    {1117, "Die Anforderung konnte wegen eines E/A-Ger\xE4"
           "tefehlers nicht ausgef\xFChrt "
           "werden."},
};

std::vector<std::string>& argumentList() {
    static std::vector<std::string> list;
    return list;
}

} // namespace

bool getOsVersion(OsVersion& out) {
    uint32_t major = 0, minor = 0;
    // Windows 95, 98 and ME keep their version in the Windows key.
    const std::string old =
        readString("Software\\Microsoft\\Windows\\CurrentVersion", "CurrentVersion");
    if (parseVersion(old, major, minor) && major == 4) {
        out = {1, 4, minor, 0};
        for (const VersionEntry& v : kVersions)
            if (v.platformId == 1 && v.minor == minor) out.build = v.build;
        return true;
    }
    out = {2, 6, 1, 7601}; // Windows 7 when nothing says otherwise
    const char* nt = "Software\\Microsoft\\Windows NT\\CurrentVersion";
    if (parseVersion(readString(nt, "CurrentVersion"), major, minor)) {
        out = {2, major, minor, 0};
        for (const VersionEntry& v : kVersions)
            if (v.platformId == 2 && v.major == major && v.minor == minor) out.build = v.build;
    }
    const std::string build = readString(nt, "CurrentBuildNumber");
    if (!build.empty() && build.size() <= 9 &&
        build.find_first_not_of("0123456789") == std::string::npos)
        out.build = static_cast<uint32_t>(std::stoul(build));
    return true;
}

bool isWow64Process() {
    OsVersion version;
    if (getOsVersion(version) && version.platformId == 1) return false;
    RegKey key;
    uint32_t wow64 = 0;
    if (key.open(RegRoot::LocalMachine, "Software\\Microsoft\\Windows NT\\CurrentVersion",
                 RegAccess::Read) != kErrSuccess)
        return false;
    return key.queryDword("Wow64", wow64) == kErrSuccess && wow64 == 1;
}

std::string programPath() {
    std::string buffer(4096, '\0');
    const ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (n <= 0) return {};
    buffer.resize(static_cast<size_t>(n));
    return emulated::driveForm(buffer);
}

std::string windowsDirectory() {
    return "C:\\Windows";
}

std::string systemDirectory() {
    return "C:\\Windows\\System32";
}

std::string sysErrorText(uint32_t code) {
    for (const ErrorText& e : kErrorTexts)
        if (e.code == code) return e.text;
    return {};
}

void setArguments(const std::vector<std::string>& args) {
    argumentList() = args;
}

const std::vector<std::string>& arguments() {
    return argumentList();
}

std::string toWindowsPath(const std::string& platformPath) {
    if (platformPath.size() >= 2 && platformPath[1] == ':' &&
        ((platformPath[0] >= 'A' && platformPath[0] <= 'Z') ||
         (platformPath[0] >= 'a' && platformPath[0] <= 'z')))
        return platformPath; // already a Windows path
    // A path inside a drive folder of the root names that drive.
    return emulated::driveForm(platformPath);
}

std::string toNativePath(const std::string& windowsPath) {
    const std::optional<emulated::Resolved> r = emulated::resolve(windowsPath);
    return r ? r->native : windowsPath;
}

std::string userLanguageAbbreviation() {
    if (const char* forced = std::getenv("SETUP_LANG"); forced && *forced) return forced;
    const char* locale = nullptr;
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        locale = std::getenv(name);
        if (locale && *locale) break;
    }
    if (!locale || !*locale) return {};
    // "de_AT.UTF-8" -> language "de", region "AT".
    const std::string text(locale);
    const std::string language = text.substr(0, text.find_first_of("_.@"));
    std::string region;
    if (const size_t us = text.find('_'); us != std::string::npos && us == language.size())
        region = text.substr(us + 1, text.find_first_of(".@", us) - us - 1);
    struct Entry {
        const char* language;
        const char* region; // nullptr: any region
        const char* abbreviation;
    };
    static constexpr Entry kTable[] = {
        {"en", "GB", "ENG"},    {"en", nullptr, "ENU"}, {"de", "CH", "DES"},
        {"de", "AT", "DEA"},    {"de", nullptr, "DEU"}, {"fr", nullptr, "FRA"},
        {"it", nullptr, "ITA"}, {"es", nullptr, "ESN"}, {"nl", nullptr, "NLD"},
        {"pl", nullptr, "PLK"}, {"pt", "BR", "PTB"},    {"pt", nullptr, "PTG"},
        {"sv", nullptr, "SVE"}, {"da", nullptr, "DAN"}, {"nb", nullptr, "NOR"},
        {"fi", nullptr, "FIN"}, {"cs", nullptr, "CSY"}, {"hu", nullptr, "HUN"},
        {"ru", nullptr, "RUS"}, {"ja", nullptr, "JPN"},
    };
    for (const Entry& e : kTable)
        if (language == e.language && (!e.region || region == e.region)) return e.abbreviation;
    return {};
}

// No windows, no messages; signals reach the abort flag without help.
void pumpMessages() {}

uint64_t tickCount() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<uint64_t>(ts.tv_sec) * 1000 + static_cast<uint64_t>(ts.tv_nsec) / 1000000;
}

void sleepMs(uint32_t ms) {
    timespec ts{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000};
    while (nanosleep(&ts, &ts) != 0) {
    }
}

} // namespace plat
