#include "files/HttpClient.h"

#include "common/Ansi.h"
#include "common/Error.h"
#include "common/Paths.h"
#include "common/RegistryAccess.h"
#include "common/Text.h"
#include "platform/FileSystem.h"
#include "platform/Http.h"
#include "platform/System.h"
#include "platform/Time.h"

#include <cstdio>

namespace setup {

namespace {

// The current user's Internet Settings ("U": HKEY_CURRENT_USER).
const char* const InternetSettings =
    "U\\Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";

int PortNumber(const std::string& text) {
    std::string_view cursor = text;
    const bool digits = !text.empty() && DigitValue(text[0]) >= 0 && DigitValue(text[0]) < 10;
    const int64_t value = ParseInteger(cursor);
    if (!digits || !cursor.empty() || value > 65535)
        throw SetupError("'" + text + "' ist kein g\xFCltiger Integerwert");
    return static_cast<int>(value);
}

// An HTTP date ("Tue, 08 Dec 2026 10:00:00 GMT") of now plus days.
std::string HttpDate(int days) {
    constexpr int64_t UnixEpoch = 11644473600; // seconds from 1601 to 1970
    const int64_t seconds = static_cast<int64_t>(plat::now() / 10000000) - UnixEpoch +
                            static_cast<int64_t>(days) * 86400;
    int64_t z = seconds / 86400 + 719468; // civil date from days since 1970
    const int64_t dayOfWeek = (seconds / 86400 + 4) % 7;
    const int64_t era = z / 146097;
    const int64_t dayOfEra = z - era * 146097;
    const int64_t yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const int64_t mp = (5 * dayOfYear + 2) / 153;
    const int64_t day = dayOfYear - (153 * mp + 2) / 5 + 1;
    const int64_t month = mp < 10 ? mp + 3 : mp - 9;
    const int64_t year = yearOfEra + era * 400 + (month <= 2);
    static const char* const Days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const Months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    char text[40];
    const int64_t inDay = seconds % 86400;
    std::snprintf(text, sizeof text, "%s, %02d %s %04d %02d:%02d:%02d GMT", Days[dayOfWeek],
                  static_cast<int>(day), Months[month - 1], static_cast<int>(year),
                  static_cast<int>(inDay / 3600), static_cast<int>(inDay / 60 % 60),
                  static_cast<int>(inDay % 60));
    return text;
}

} // namespace

ProxySetting ParseProxyServer(const std::string& value) {
    std::string text = value;
    const std::string upper = AnsiUpperCase(text);
    const size_t http = upper.find("HTTP=");
    if (http != std::string::npos) {
        text = text.substr(http + 5);
        const size_t semicolon = text.find(';');
        if (semicolon != std::string::npos) text.resize(semicolon);
    }
    const size_t first = text.find_first_not_of(' ');
    text = first == std::string::npos ? "" : text.substr(first);
    ProxySetting proxy;
    const size_t colon = text.find(':');
    if (colon == std::string::npos) {
        // No port: the host stays empty, and the number is missing.
        PortNumber(text);
        return proxy;
    }
    proxy.port = PortNumber(text.substr(colon + 1));
    proxy.host = text.substr(0, colon);
    return proxy;
}

THttpClient::THttpClient() {
    if (ReadRegistryInteger(InternetSettings, "proxyEnable", 0) == 0) return;
    try {
        const std::string server = ReadRegistryString(InternetSettings, "ProxyServer", "");
        if (server.empty()) return;
        Proxy = ParseProxyServer(server);
    } catch (const SetupError& e) {
        Proxy = {};
        PlainMessage(texts::HttpInit + e.what());
    }
}

bool THttpClient::Get(const std::string& url,
                      const std::function<bool(const char*, std::size_t)>& write) {
    plat::HttpRequest request;
    request.url = url;
    request.proxyHost = Proxy.host;
    request.proxyPort = Proxy.port;
    // Caches on the way must not answer with an old list or file: the request
    // expired yesterday and was modified the day after tomorrow.
    request.headers = {"Expires: " + HttpDate(-1), "Last-Modified: " + HttpDate(2),
                       "Cache-Control: no-cache", "Pragma: no-cache"};
    plat::HttpSink sink;
    sink.workBegin = [this](int64_t total) {
        if (OnWorkBegin) OnWorkBegin(total);
    };
    sink.work = [this](int64_t count) {
        if (OnWork) OnWork(count);
    };
    sink.write = write;
    lastError_.clear();
    return plat::httpGet(request, sink, lastError_);
}

std::string THttpClient::GetText(const std::string& url, std::size_t maxBytes) {
    std::string text;
    bool tooLong = false;
    if (Get(url, [&](const char* data, std::size_t size) {
            if (size > maxBytes - text.size()) {
                tooLong = true;
                return false;
            }
            text.append(data, size);
            return true;
        }))
        return text;
    if (tooLong) lastError_ = "Der Text ist l\xE4nger als " + std::to_string(maxBytes) + " Bytes.";
    PlainMessage(url + "\r" + lastError_);
    return {};
}

bool THttpClient::DownloadToFile(Owner owner, const std::string& url, const std::string& localPath,
                                 int64_t expectedSize, Effects& effects,
                                 std::optional<plat::FileTime> writeTime) {
    uint32_t error = 0;
    const std::unique_ptr<PendingFile> temp =
        effects.BeginFile(ExtractFilePath(localPath), ".dl", error);
    bool ok = false;
    if (!temp) {
        lastError_ = "Die Datei " + localPath + " kann nicht angelegt werden.";
    } else {
        bool cancelled = false;
        bool writeFailed = false;
        int64_t received = 0;
        ok = Get(url, [&](const char* data, std::size_t size) {
            if (!temp->Write(data, size)) {
                writeFailed = true;
                return false;
            }
            received += static_cast<int64_t>(size);
            cancelled = CheckAbort();
            return !cancelled;
        });
        if (cancelled) return false; // Cancel: no message, the old file stays
        if (writeFailed) lastError_ = "Die Datei " + localPath + " kann nicht geschrieben werden.";
        // A server that closes early without announcing a length: the size
        // of the list tells a short transfer.
        if (ok && expectedSize >= 0 && received != expectedSize) {
            ok = false;
            lastError_ = std::to_string(received) + " statt " + std::to_string(expectedSize) +
                         " Bytes empfangen.";
        }
        if (ok && writeTime) temp->Finish(std::nullopt, *writeTime);
        if (ok && !temp->Commit(localPath)) {
            ok = false;
            lastError_ = "Die Datei " + localPath + " kann nicht ersetzt werden.";
        }
    }
    if (!ok) InfoMessage(owner, url + "\r" + lastError_);
    return ok;
}

std::vector<std::string> SplitListLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start <= text.size()) {
        const size_t end = text.find_first_of("\r\n", start);
        lines.push_back(text.substr(start, end - start));
        if (end == std::string::npos) break;
        start = end + (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n' ? 2 : 1);
    }
    return lines;
}

TDownloadLine ParseDownloadLine(const std::string& line) {
    TDownloadLine result;
    size_t position = 1;
    result.Date = static_cast<int32_t>(ParseIntegerAt(line, position));
    ++position; // one separator
    result.Size = ParseIntegerAt(line, position);
    // position is the second separator (1-based): the name follows it.
    result.Name = position < line.size() ? AnsiLowerCase(line.substr(position)) : "";
    return result;
}

std::string LocalDownloadName(const std::string& name) {
    std::string local = name.substr(0, name.find('?'));
    for (char& ch : local)
        if (ch == '/') ch = '\\';
    return local;
}

bool IsContainedName(const std::string& name) {
    std::string decoded;
    const std::string path = name.substr(0, name.find('?'));
    for (size_t i = 0; i < path.size(); ++i) {
        if (path[i] == '%' && i + 2 < path.size() && DigitValue(path[i + 1]) >= 0 &&
            DigitValue(path[i + 2]) >= 0) {
            decoded += static_cast<char>(DigitValue(path[i + 1]) * 16 + DigitValue(path[i + 2]));
            i += 2;
        } else {
            decoded += path[i];
        }
    }
    if (decoded.empty() || decoded[0] == '/' || decoded[0] == '\\') return false;
    if (decoded.find(':') != std::string::npos) return false;
    size_t start = 0;
    for (;;) {
        const size_t end = decoded.find_first_of("/\\", start);
        const std::string part = decoded.substr(start, end - start);
        if (part == "..") return false;
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return true;
}

} // namespace setup
