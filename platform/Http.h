// HTTP GET over the system's own client: libcurl on Linux, WinHTTP on
// Windows. Redirects are followed, https is supported, and any status other
// than 2xx is a failure. A connection must be made within ConnectTimeoutSeconds,
// and a transfer fails when fewer than HttpSpeedFloorBytes a second arrive
// over a whole speed window (HttpSpeedWindowSeconds): a server that drips or
// stalls ends as a failed transfer instead of holding the installation.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace plat {

inline constexpr int HttpConnectTimeoutSeconds = 30;
inline constexpr int HttpSpeedFloorBytes = 1024;
inline constexpr int HttpSpeedWindowSeconds = 30;

// Tests shorten the speed window; 0 restores HttpSpeedWindowSeconds.
void setHttpSpeedWindowForTests(int seconds);

struct HttpRequest {
    std::string url;       // Windows-1252
    std::string proxyHost; // empty: no proxy (not even one from the environment)
    int proxyPort = 0;
    std::vector<std::string> headers; // "Name: value"
};

// The work events of a transfer and where its body goes. Only the body of a
// 2xx answer is delivered.
struct HttpSink {
    // Before the first byte of the body: its announced length (-1 unknown).
    std::function<void(int64_t total)> workBegin;
    // After each received block: the running total of this transfer.
    std::function<void(int64_t received)> work;
    // Receives the body block by block; false stops the transfer (failure).
    std::function<bool(const char* data, std::size_t size)> write;
};

// The message of a transfer that fell below the speed floor.
inline std::string httpStallText(int windowSeconds) {
    return "Die \xDC"
           "bertragung stockt: weniger als " +
           std::to_string(HttpSpeedFloorBytes) + " Bytes pro Sekunde in " +
           std::to_string(windowSeconds) + " Sekunden.";
}

// true when the whole body was received. On failure error holds a text for
// the user: the status line ("HTTP/1.1 404 Not Found") or the client's error.
bool httpGet(const HttpRequest& request, const HttpSink& sink, std::string& error);

} // namespace plat
