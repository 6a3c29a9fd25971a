// Console output of the Linux build: the terminal expects UTF-8.
#include "platform/Console.h"

#include "platform/Cp1252.h"

#include <cstdio>

namespace plat {

bool writeConsole(const std::string& text, bool toError) {
    std::FILE* stream = toError ? stderr : stdout;
    const std::string utf8 = cp1252ToUtf8(text);
    const bool ok = std::fwrite(utf8.data(), 1, utf8.size(), stream) == utf8.size();
    return std::fflush(stream) == 0 && ok;
}

bool showTextWindow(const std::string&, const std::string& text) {
    return writeConsole(text, false);
}

} // namespace plat
