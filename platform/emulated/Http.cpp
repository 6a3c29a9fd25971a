// HTTP GET through libcurl.
#include "platform/Http.h"

#include <atomic>

#include <curl/curl.h>

#include <memory>

namespace plat {

namespace {
std::atomic<int> speedWindowSeconds{HttpSpeedWindowSeconds};
} // namespace

void setHttpSpeedWindowForTests(int seconds) {
    speedWindowSeconds = seconds > 0 ? seconds : HttpSpeedWindowSeconds;
}

namespace {

struct Transfer {
    const HttpSink* sink = nullptr;
    CURL* curl = nullptr;
    std::string statusLine;
    bool begun = false;
    bool refused = false; // not a 2xx answer: the body is dropped
    bool sinkStopped = false;
    int64_t received = 0;
};

bool IsSuccess(long code) {
    return code >= 200 && code < 300;
}

size_t OnHeader(char* data, size_t size, size_t count, void* user) {
    auto* t = static_cast<Transfer*>(user);
    std::string line(data, size * count);
    if (line.rfind("HTTP/", 0) == 0) {
        // Each answer of a redirect chain starts with its own status line.
        while (!line.empty() && (line.back() == '\r' || line.back() == '\n'))
            line.pop_back();
        t->statusLine = line;
    }
    return size * count;
}

size_t OnBody(char* data, size_t size, size_t count, void* user) {
    auto* t = static_cast<Transfer*>(user);
    size_t bytes = size * count;
    if (!t->begun) {
        t->begun = true;
        long code = 0;
        curl_easy_getinfo(t->curl, CURLINFO_RESPONSE_CODE, &code);
        t->refused = !IsSuccess(code);
        if (!t->refused && t->sink->workBegin) {
            curl_off_t length = -1;
            curl_easy_getinfo(t->curl, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
            t->sink->workBegin(length);
        }
    }
    if (t->refused) return bytes;
    if (t->sink->write && !t->sink->write(data, bytes)) {
        t->sinkStopped = true;
        return 0;
    }
    t->received += static_cast<int64_t>(bytes);
    if (t->sink->work) t->sink->work(t->received);
    return bytes;
}

struct CurlDeleter {
    void operator()(CURL* c) const { curl_easy_cleanup(c); }
};
struct ListDeleter {
    void operator()(curl_slist* l) const { curl_slist_free_all(l); }
};

} // namespace

bool httpGet(const HttpRequest& request, const HttpSink& sink, std::string& error) {
    static const bool initialised = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    if (!initialised) {
        error = "libcurl kann nicht gestartet werden.";
        return false;
    }
    std::unique_ptr<CURL, CurlDeleter> curl(curl_easy_init());
    if (!curl) {
        error = "libcurl kann nicht gestartet werden.";
        return false;
    }
    Transfer t;
    t.sink = &sink;
    t.curl = curl.get();
    std::unique_ptr<curl_slist, ListDeleter> headers;
    for (const std::string& h : request.headers) {
        curl_slist* grown = curl_slist_append(headers.get(), h.c_str());
        if (!grown) break;
        (void)headers.release();
        headers.reset(grown);
    }
    std::string proxy;
    if (!request.proxyHost.empty())
        proxy = request.proxyHost + ":" + std::to_string(request.proxyPort);

    CURL* c = curl.get();
    char errorBuffer[CURL_ERROR_SIZE] = {};
    curl_easy_setopt(c, CURLOPT_URL, request.url.c_str());
    curl_easy_setopt(c, CURLOPT_ERRORBUFFER, errorBuffer);
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(c, CURLOPT_MAXREDIRS, 20L);
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT, static_cast<long>(HttpConnectTimeoutSeconds));
    const int window = speedWindowSeconds;
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, static_cast<long>(HttpSpeedFloorBytes));
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_TIME, static_cast<long>(window));
    // Only the proxy given counts: an empty text also ignores http_proxy.
    curl_easy_setopt(c, CURLOPT_PROXY, proxy.c_str());
    curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers.get());
    curl_easy_setopt(c, CURLOPT_HEADERFUNCTION, OnHeader);
    curl_easy_setopt(c, CURLOPT_HEADERDATA, &t);
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, OnBody);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, &t);
    curl_easy_setopt(c, CURLOPT_BUFFERSIZE, 512L * 1024L);

    CURLcode code = curl_easy_perform(c);
    long status = 0;
    curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &status);
    if (code == CURLE_OK && !IsSuccess(status)) {
        error = t.statusLine.empty() ? "HTTP-Status " + std::to_string(status) : t.statusLine;
        return false;
    }
    if (code != CURLE_OK) {
        curl_off_t connected = 0;
        curl_easy_getinfo(c, CURLINFO_CONNECT_TIME_T, &connected);
        if (t.sinkStopped)
            error = "Die Datei kann nicht geschrieben werden.";
        else if (code == CURLE_OPERATION_TIMEDOUT && connected > 0)
            error = httpStallText(window);
        else
            error = errorBuffer[0] ? errorBuffer : curl_easy_strerror(code);
        return false;
    }
    if (!t.begun && sink.workBegin) sink.workBegin(0); // an empty body
    return true;
}

} // namespace plat
