// Parsing speed of the script reader against the C library inih on the same
// generated 20 MB script. inih is timed twice: with a handler that stores
// nothing (pure parsing) and with one that keeps every value in a map of
// sections, which is what TIni does.
//
// Usage: ini_bench [megabytes=20] [rounds=5]
#include <ini.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "script/Ini.h"
#include "platform/System.h"

namespace {

// A script as projects write them: a [Project] section with numbered parts,
// part sections of file, register and shortcut keys, comments and blank lines.
std::string GenerateScript(size_t targetBytes) {
    std::mt19937 rng(2024);
    std::string out;
    out.reserve(targetBytes + 4096);
    out += "; generated installation script\r\n[Project]\r\nName=Benchmark\r\n"
           "HeadLine=Benchmark Project\r\nPath=%PDIR%\\Qorv\\Bench\r\ntalk=2\r\n\r\n";
    char line[512];
    int part = 0;
    while (out.size() < targetBytes) {
        ++part;
        std::snprintf(line, sizeof line, "[Part%d]\r\n; part %d of the project\r\n", part, part);
        out += line;
        std::snprintf(line, sizeof line, "HeadLine=Component number %d\r\nDir=Comp%d\r\nfak=%d\r\n",
                      part, part, part % 2);
        out += line;
        const int files = 5 + static_cast<int>(rng() % 40);
        for (int f = 1; f <= files; ++f) {
            std::snprintf(line, sizeof line, "File%d=bin\\module%d_%d.dll\r\n", f, part, f);
            out += line;
            if (rng() % 4 == 0) {
                std::snprintf(line, sizeof line, "FileOverride%d=%u\r\n", f,
                              static_cast<unsigned>(rng() % 7));
                out += line;
            }
        }
        std::snprintf(line, sizeof line,
                      "Register1=M\\Software\\Qorv\\Bench\\Part%d,InstallDir,%%DIR%%\r\n"
                      "Execute=%%DIR%%\\program%d.exe\r\nName = Program %d \r\n\r\n",
                      part, part, part);
        out += line;
    }
    return out;
}

int CountingHandler(void* user, const char*, const char*, const char*) {
    ++*static_cast<long*>(user);
    return 1;
}

using Sections = std::map<std::string, std::vector<std::pair<std::string, std::string>>>;

int StoringHandler(void* user, const char* section, const char* name, const char* value) {
    (*static_cast<Sections*>(user))[section].emplace_back(name, value);
    return 1;
}

template <typename F> double Seconds(F&& f) {
    const auto start = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

int main(int argc, char** argv) {
    const size_t megabytes = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 20;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 5;
    const std::string script = GenerateScript(megabytes * 1024 * 1024);

    char nativePath[] = "/tmp/ini_benchXXXXXX";
    const int fd = mkstemp(nativePath);
    if (fd < 0) {
        std::perror("mkstemp");
        return 1;
    }
    FILE* f = fdopen(fd, "wb");
    std::fwrite(script.data(), 1, script.size(), f);
    std::fclose(f);
    const std::string windowsPath = plat::toWindowsPath(nativePath);

    std::vector<double> tIni, tInihCount, tInihStore;
    int sections = 0;
    long pairs = 0;
    size_t stored = 0;
    for (int r = 0; r < rounds; ++r) {
        tIni.push_back(Seconds([&] {
            setup::TIni ini(windowsPath);
            sections = ini.SectionCount();
        }));
        tInihCount.push_back(Seconds([&] {
            pairs = 0;
            ini_parse(nativePath, CountingHandler, &pairs);
        }));
        tInihStore.push_back(Seconds([&] {
            Sections map;
            ini_parse(nativePath, StoringHandler, &map);
            stored = map.size();
        }));
    }
    std::remove(nativePath);

    auto best = [](std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); };
    const double ini = best(tIni), count = best(tInihCount), store = best(tInihStore);
    std::printf("script: %.1f MB, %d sections (inih: %zu sections, %ld pairs), best of %d\n",
                script.size() / 1048576.0, sections, stored, pairs, rounds);
    std::printf("TIni load:                     %8.1f ms\n", ini * 1000);
    std::printf("inih ini_parse, storing none:  %8.1f ms  (TIni/inih %.2f)\n", count * 1000,
                ini / count);
    std::printf("inih ini_parse, storing a map: %8.1f ms  (TIni/inih %.2f)\n", store * 1000,
                ini / store);
    return 0;
}
