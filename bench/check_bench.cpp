// The work of --check on a generated 20 MB script against loading it: the
// script reader alone, the reader and the script model, and the whole check
// (every key looked up in the key table, every value checked by its kind,
// every file source looked up on the disk).
//
// Usage: check_bench [megabytes=20] [rounds=3]
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "check/Checker.h"
#include "script/Ini.h"
#include "script/Script.h"

namespace {

// A script that lists its parts, with file, register, flag and shortcut keys
// and comments, whose file sources all exist (comp\bin\module.dll).
std::string GenerateScript(size_t targetBytes) {
    std::mt19937 rng(2024);
    std::string parts;
    parts.reserve(targetBytes + 4096);
    char line[512];
    int part = 0;
    while (parts.size() < targetBytes && part < 9999) {
        ++part;
        std::snprintf(line, sizeof line, "[Part%d]\r\n; part %d of the project\r\n", part, part);
        parts += line;
        std::snprintf(line, sizeof line, "HeadLine=Component number %d\r\nDir=comp\r\nfak=%d\r\n",
                      part, part % 2);
        parts += line;
        const int files = 60 + static_cast<int>(rng() % 40);
        for (int f = 1; f <= files; ++f) {
            std::snprintf(line, sizeof line, "File%d=bin\\module.dll\r\n", f);
            parts += line;
            if (rng() % 4 == 0) {
                std::snprintf(line, sizeof line, "FileOverride%d=%u\r\n", f,
                              static_cast<unsigned>(rng() % 3));
                parts += line;
            }
        }
        std::snprintf(line, sizeof line,
                      "Register1=M\\Software\\Qorv\\Bench\\Part%d\\InstallDir=#sz:%%DIR%%\r\n"
                      "Register2=U\\Software\\Qorv\\Bench\\Part%d\\Count=#dw:%d\r\n"
                      "Execute=bin\\module.dll\r\nName = Program %d \r\n\r\n",
                      part, part, part, part);
        parts += line;
    }
    std::string out = "; generated installation script\r\n[Project]\r\nName=Benchmark\r\n"
                      "HeadLine=Benchmark Project\r\nPath=%PDIR%\\Qorv\\Bench\r\nGroup=Bench\r\n"
                      "talk=2\r\n";
    for (int p = 1; p <= part; ++p) {
        std::snprintf(line, sizeof line, "Part%d=Part%d\r\n", p, p);
        out += line;
    }
    return out + "\r\n" + parts;
}

template <typename F> double Seconds(F&& f) {
    const auto start = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

std::string ZPath(const std::string& linux) {
    std::string path = "Z:" + linux;
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

} // namespace

int main(int argc, char** argv) {
    const size_t megabytes = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 20;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 3;
    const std::string script = GenerateScript(megabytes * 1024 * 1024);

    char folder[] = "/tmp/check_benchXXXXXX";
    if (!mkdtemp(folder)) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::string base = folder;
    mkdir((base + "/comp").c_str(), 0755);
    mkdir((base + "/comp/bin").c_str(), 0755);
    FILE* f = std::fopen((base + "/comp/bin/module.dll").c_str(), "wb");
    std::fputs("MZ", f);
    std::fclose(f);
    f = std::fopen((base + "/install.ins").c_str(), "wb");
    std::fwrite(script.data(), 1, script.size(), f);
    std::fclose(f);
    const std::string path = ZPath(base + "/install.ins");

    std::vector<double> tLoad, tModel, tCheck;
    int sections = 0;
    size_t findings = 0;
    for (int r = 0; r < rounds; ++r) {
        tLoad.push_back(Seconds([&] {
            setup::TIni ini(path);
            sections = ini.SectionCount();
        }));
        tModel.push_back(Seconds([&] {
            setup::TIni ini(path);
            const setup::script::Model model(ini);
            sections = static_cast<int>(model.Project().parts.size());
        }));
        tCheck.push_back(Seconds([&] {
            findings = setup::check::CheckScript(path, setup::check::Options{true}).size();
        }));
    }
    std::remove((base + "/install.ins").c_str());
    std::remove((base + "/comp/bin/module.dll").c_str());
    rmdir((base + "/comp/bin").c_str());
    rmdir((base + "/comp").c_str());
    rmdir(folder);

    auto best = [](std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); };
    const double load = best(tLoad), model = best(tModel), check = best(tCheck);
    std::printf("script: %.1f MB, %d parts, %zu findings, best of %d\n", script.size() / 1048576.0,
                sections, findings, rounds);
    std::printf("TIni load:            %8.1f ms\n", load * 1000);
    std::printf("TIni load + model:    %8.1f ms  (%.2f x load)\n", model * 1000, model / load);
    std::printf("--check (whole work): %8.1f ms  (%.2f x load)\n", check * 1000, check / load);
    return findings == 0 ? 0 : 1;
}
