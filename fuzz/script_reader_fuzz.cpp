// Fuzz target for the script reader and its stream: any bytes as a script.
// The stream's lines are checked against the line rules written out plainly
// (with a buffer size taken from the input, so that refills fall anywhere);
// the reader must load, answer lookups, save and load its own output again
// with sorted, unique sections and no NUL byte in a value.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <unistd.h>

#include "common/Ansi.h"
#include "script/Ini.h"
#include "common/FStream.h"
#include "platform/System.h"

namespace {

std::string g_folder; // native, with a trailing slash
std::string g_script; // Windows form
std::string g_saved;  // Windows form

void Check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "check failed: %s\n", what);
        std::abort();
    }
}

std::vector<std::string> ReferenceLines(const std::string& bytes, size_t capacity) {
    std::vector<std::string> lines;
    size_t i = 0;
    do {
        std::string line;
        while (i < bytes.size() && bytes[i] != '\r') {
            if (line.size() + 1 < capacity) line += bytes[i];
            ++i;
        }
        if (i < bytes.size() && ++i < bytes.size() && bytes[i] == '\n') ++i;
        lines.push_back(line);
    } while (i < bytes.size());
    return lines;
}

void CheckWellFormed(const setup::TIni& ini) {
    for (int i = 0; i < ini.SectionCount(); ++i) {
        if (i > 0)
            Check(setup::AnsiCompareText(ini.SectionName(i - 1), ini.SectionName(i)) < 0,
                  "sections sorted and unique");
        Check(ini.SectionName(i).size() <= 80, "section name length");
        const setup::TSection_i& section = ini.Section(i);
        for (int k = 0; k < section.Count(); ++k) {
            Check(section.Value(k).find('\0') == std::string_view::npos, "no NUL in a value");
            Check(section.Key(k).size() <= 254, "key length");
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // A private emulated Windows and scratch folder, never the user's own.
    char root[] = "/tmp/script_reader_fuzzXXXXXX";
    if (!mkdtemp(root)) std::abort();
    setenv("SETUP_ROOT", root, 1);
    g_folder = std::string(root) + "/";
    g_script = plat::toWindowsPath(g_folder + "script.ins");
    g_saved = plat::toWindowsPath(g_folder + "saved.ins");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const uint16_t bufferSize = static_cast<uint16_t>(1 + data[0] % 64);
    const uint16_t capacity = static_cast<uint16_t>(1 + data[0] / 64 * 7);
    const std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    FILE* f = std::fopen((g_folder + "script.ins").c_str(), "wb");
    if (!f) std::abort();
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);

    {
        setup::TFStream stream(bufferSize);
        stream.FileName = g_script;
        Check(stream.OpenRead(), "open");
        std::vector<std::string> lines;
        std::vector<char> line(capacity);
        do {
            stream.ReadLine(line.data(), capacity);
            lines.emplace_back(line.data());
        } while (!stream.EndOfFile());
        std::vector<std::string> expected = ReferenceLines(bytes, capacity);
        for (std::string& l : expected)
            l = l.substr(0, l.find('\0'));
        Check(lines == expected, "stream lines follow the line rules");
    }

    setup::TIni ini(g_script);
    CheckWellFormed(ini);
    for (int i = 0; i < ini.SectionCount() && i < 4; ++i) {
        const setup::TSection_i& section = ini.Section(i);
        for (int k = 0; k < section.Count() && k < 4; ++k) {
            const std::string key(section.Key(k));
            ini.ReadInteger(ini.SectionName(i), key, 7);
            ini.ReadBool(ini.SectionName(i), key, true);
            const std::string value = ini.ReadString(ini.SectionName(i), key, "d");
            Check(!value.empty(), "a lookup never gives an empty text for a non-empty default");
        }
    }
    ini.WriteString("Fuzz", "Key", bytes.substr(0, 40));
    std::remove((g_folder + "saved.ins").c_str());
    setup::TIni saved(g_saved);
    for (int i = 0; i < ini.SectionCount(); ++i) {
        const setup::TSection_i& section = ini.Section(i);
        for (int k = 0; k < section.Count(); ++k)
            saved.WriteString(ini.SectionName(i), section.Key(k), section.Value(k));
    }
    saved.SaveFile();
    setup::TIni again(g_saved);
    CheckWellFormed(again);
    return 0;
}
