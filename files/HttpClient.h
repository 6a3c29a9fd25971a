// THttpClient: HTTP GET of texts and files with the proxy of the current
// user's Internet Settings, and the pieces of the web folders' list files
// "tocopy.txt".
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "common/Effects.h"
#include "common/Messages.h"

namespace setup {

struct ProxySetting {
    std::string host; // empty: no proxy
    int port = 0;
};

// The proxy of a "ProxyServer" value: the "HTTP=" entry when there is one
// (up to its ";"), else the whole value; host before the first ":", port
// after it. Raises SetupError when the port is not a number.
ProxySetting ParseProxyServer(const std::string& value);

class THttpClient {
  public:
    // Applies the proxy of the Internet Settings; a bad setting is shown as
    // "HTTP-init:\r" + its message and leaves the client without a proxy.
    THttpClient();

    ProxySetting Proxy;
    // Work events of each transfer (the announced length, the running total).
    std::function<void(int64_t maximum)> OnWorkBegin;
    std::function<void(int64_t count)> OnWork;

    // The body of url, at most maxBytes; on failure (also a longer body) shows
    // URL + "\r" + the error and returns "".
    std::string GetText(const std::string& url, std::size_t maxBytes = MaxTextSize);
    // Downloads url into localPath through a temporary file beside it, which
    // replaces localPath only when the whole body arrived, and, when
    // expectedSize is not negative, is exactly that long: on failure or Cancel
    // the previous file stays as it was. On failure shows InfoMessage (owner)
    // with URL + "\r" + the error; false then. The file is written through
    // effects and, with writeTime, stamped with it before it takes its place.
    bool DownloadToFile(Owner owner, const std::string& url, const std::string& localPath,
                        int64_t expectedSize = -1, Effects& effects = DirectEffects(),
                        std::optional<plat::FileTime> writeTime = std::nullopt);
    // A list file is text: a few MB at most.
    static constexpr std::size_t MaxTextSize = 4 * 1024 * 1024;
    // The error text of the last failed transfer.
    const std::string& LastError() const { return lastError_; }

  private:
    bool Get(const std::string& url, const std::function<bool(const char*, std::size_t)>& write);
    std::string lastError_;
};

// One line of a list file: a DOS date-time, a size and a name (lower case,
// "/" for subfolders, may carry a "?" query).
struct TDownloadLine {
    int32_t Date = 0;
    int64_t Size = 0;
    std::string Name;
};
// The lines of a list file: ended by CR LF, CR or LF.
std::vector<std::string> SplitListLines(const std::string& text);
// Date at the first character, one separator, size, one separator, name.
TDownloadLine ParseDownloadLine(const std::string& line);
// The local file name of a list name: before the first "?", "/" as "\".
std::string LocalDownloadName(const std::string& name);
// false when the name, URL-decoded, is absolute, names a drive or stream
// (":"), or has a ".." component (either slash): it would leave the folder.
bool IsContainedName(const std::string& name);

namespace texts {
inline const std::string ListFileName = "tocopy.txt";
inline const std::string NotFound = " nicht gefunden!";
inline const std::string NotCopied = " nicht kopiert!";
inline const std::string HttpInit = "HTTP-init:\r";
inline const std::string UnsafeName = "Der Name f\xFChrt aus dem Ordner des Teils hinaus:\r";
} // namespace texts

} // namespace setup
