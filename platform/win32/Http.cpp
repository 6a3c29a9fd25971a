// HTTP GET through WinHTTP.
#include "platform/Http.h"

#include "platform/win32/WindowsSupport.h"

#include <winhttp.h>

#include <algorithm>
#include <atomic>
#include <vector>

namespace plat {

namespace {

std::atomic<int> speedWindowSeconds{HttpSpeedWindowSeconds};

struct InternetTraits {
    using Handle = HINTERNET;
    static Handle invalid() { return nullptr; }
    static bool valid(Handle h) { return h != nullptr; }
    static void close(Handle h) { WinHttpCloseHandle(h); }
};
using InternetHandle = win::ScopedHandle<InternetTraits>;

// The system's text for a WinHTTP error code, with the code itself.
std::string ErrorText(DWORD code) {
    wchar_t* text = nullptr;
    DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_HMODULE |
                                      FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                  GetModuleHandleW(L"winhttp.dll"), code, 0,
                                  reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string result;
    if (length && text) {
        std::wstring w(text, length);
        while (!w.empty() && (w.back() == L'\r' || w.back() == L'\n' || w.back() == L' '))
            w.pop_back();
        result = win::narrow(w) + " ";
    }
    if (text) LocalFree(text);
    return result + "(WinHTTP-Fehler " + std::to_string(code) + ")";
}

bool Fail(std::string& error) {
    error = ErrorText(GetLastError());
    return false;
}

std::wstring QueryHeader(HINTERNET request, DWORD info) {
    DWORD size = 0;
    WinHttpQueryHeaders(request, info, WINHTTP_HEADER_NAME_BY_INDEX, WINHTTP_NO_OUTPUT_BUFFER,
                        &size, WINHTTP_NO_HEADER_INDEX);
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || size == 0) return {};
    std::wstring value(size / sizeof(wchar_t) + 1, L'\0');
    if (!WinHttpQueryHeaders(request, info, WINHTTP_HEADER_NAME_BY_INDEX, value.data(), &size,
                             WINHTTP_NO_HEADER_INDEX))
        return {};
    value.resize(size / sizeof(wchar_t));
    return value;
}

} // namespace

void setHttpSpeedWindowForTests(int seconds) {
    speedWindowSeconds = seconds > 0 ? seconds : HttpSpeedWindowSeconds;
}

bool httpGet(const HttpRequest& request, const HttpSink& sink, std::string& error) {
    std::wstring url = win::widen(request.url);
    URL_COMPONENTS parts{};
    parts.dwStructSize = sizeof(parts);
    parts.dwSchemeLength = static_cast<DWORD>(-1);
    parts.dwHostNameLength = static_cast<DWORD>(-1);
    parts.dwUrlPathLength = static_cast<DWORD>(-1);
    parts.dwExtraInfoLength = static_cast<DWORD>(-1);
    if (!WinHttpCrackUrl(url.c_str(), static_cast<DWORD>(url.size()), 0, &parts))
        return Fail(error);
    std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
    std::wstring path(parts.lpszUrlPath, parts.dwUrlPathLength);
    if (parts.lpszExtraInfo) path.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
    if (path.empty()) path = L"/";

    std::wstring proxy;
    if (!request.proxyHost.empty())
        proxy = win::widen(request.proxyHost + ":" + std::to_string(request.proxyPort));
    InternetHandle session(WinHttpOpen(
        L"Setup", proxy.empty() ? WINHTTP_ACCESS_TYPE_NO_PROXY : WINHTTP_ACCESS_TYPE_NAMED_PROXY,
        proxy.empty() ? WINHTTP_NO_PROXY_NAME : proxy.c_str(), WINHTTP_NO_PROXY_BYPASS, 0));
    if (!session) return Fail(error);
    const int window = speedWindowSeconds;
    const int connectMs = HttpConnectTimeoutSeconds * 1000;
    // A read that waits a whole speed window for its first byte has failed the floor.
    const int receiveMs = window * 1000;
    WinHttpSetTimeouts(session.get(), connectMs, connectMs, receiveMs, receiveMs);
    InternetHandle connection(WinHttpConnect(session.get(), host.c_str(), parts.nPort, 0));
    if (!connection) return Fail(error);
    DWORD flags = WINHTTP_FLAG_REFRESH;
    if (parts.nScheme == INTERNET_SCHEME_HTTPS) flags |= WINHTTP_FLAG_SECURE;
    InternetHandle handle(WinHttpOpenRequest(connection.get(), L"GET", path.c_str(), nullptr,
                                             WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                             flags));
    if (!handle) return Fail(error);
    for (const std::string& h : request.headers) {
        std::wstring header = win::widen(h);
        WinHttpAddRequestHeaders(handle.get(), header.c_str(), static_cast<DWORD>(header.size()),
                                 WINHTTP_ADDREQ_FLAG_ADD | WINHTTP_ADDREQ_FLAG_REPLACE);
    }
    if (!WinHttpSendRequest(handle.get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA,
                            0, 0, 0))
        return Fail(error);
    if (!WinHttpReceiveResponse(handle.get(), nullptr)) return Fail(error);

    DWORD status = 0;
    DWORD size = sizeof(status);
    if (!WinHttpQueryHeaders(handle.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                             WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX))
        return Fail(error);
    if (status < 200 || status >= 300) {
        std::wstring version = QueryHeader(handle.get(), WINHTTP_QUERY_VERSION);
        std::wstring reason = QueryHeader(handle.get(), WINHTTP_QUERY_STATUS_TEXT);
        error = win::narrow(version.empty() ? std::wstring(L"HTTP") : version) + " " +
                std::to_string(status);
        if (!reason.empty()) error += " " + win::narrow(reason);
        return false;
    }
    int64_t total = -1;
    std::wstring length = QueryHeader(handle.get(), WINHTTP_QUERY_CONTENT_LENGTH);
    if (!length.empty()) total = _wcstoi64(length.c_str(), nullptr, 10);
    if (sink.workBegin) sink.workBegin(total);

    std::vector<char> buffer(512 * 1024);
    int64_t received = 0;
    // The speed floor: what arrived since the window began, checked whenever a
    // window has passed.
    ULONGLONG windowStart = GetTickCount64();
    int64_t windowBytes = 0;
    for (;;) {
        // Only what has arrived is read: a read of a whole buffer would wait
        // for it to fill, past the speed check.
        DWORD available = 0;
        DWORD got = 0;
        if (!WinHttpQueryDataAvailable(handle.get(), &available) ||
            (available > 0 &&
             !WinHttpReadData(handle.get(), buffer.data(),
                              std::min(available, static_cast<DWORD>(buffer.size())), &got))) {
            if (GetLastError() == ERROR_WINHTTP_TIMEOUT) {
                error = httpStallText(window);
                return false;
            }
            return Fail(error);
        }
        if (got == 0) break;
        windowBytes += got;
        const ULONGLONG now = GetTickCount64();
        if (now - windowStart >= static_cast<ULONGLONG>(window) * 1000) {
            if (windowBytes < static_cast<int64_t>(HttpSpeedFloorBytes) * window) {
                error = httpStallText(window);
                return false;
            }
            windowStart = now;
            windowBytes = 0;
        }
        if (sink.write && !sink.write(buffer.data(), got)) {
            error = "Die Datei kann nicht geschrieben werden.";
            return false;
        }
        received += got;
        if (sink.work) sink.work(received);
    }
    // A connection closed before the announced length is a failed transfer.
    if (total >= 0 && received != total) {
        error = "Die Verbindung wurde nach " + std::to_string(received) + " von " +
                std::to_string(total) + " Bytes beendet.";
        return false;
    }
    return true;
}

} // namespace plat
