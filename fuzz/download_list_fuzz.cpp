// Fuzz target for the list file of a web folder ("tocopy.txt"): any bytes as
// a list. Every line is parsed; a name taken as contained must give a local
// name that stays inside the part's folder.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "files/HttpClient.h"

namespace {

void Check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "check failed: %s\n", what);
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    size_t total = 0;
    for (const std::string& line : setup::SplitListLines(text)) {
        Check(line.find_first_of("\r\n") == std::string::npos, "no line break in a line");
        total += line.size();
        const setup::TDownloadLine entry = setup::ParseDownloadLine(line);
        Check(entry.Name.size() <= line.size(), "the name is part of the line");
        if (!setup::IsContainedName(entry.Name)) continue;
        const std::string local = setup::LocalDownloadName(entry.Name);
        Check(local.find(':') == std::string::npos, "no drive or stream");
        Check(local.empty() || local[0] != '\\', "not absolute");
        size_t start = 0;
        for (;;) {
            const size_t end = local.find('\\', start);
            Check(local.substr(start, end == std::string::npos ? end : end - start) != "..",
                  "no .. component");
            if (end == std::string::npos) break;
            start = end + 1;
        }
    }
    Check(total <= text.size(), "lines are parts of the text");
    return 0;
}
