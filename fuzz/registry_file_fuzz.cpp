// Fuzz target for the registry file of the emulated Windows: any bytes as
// registry.reg. A file that reads must take a change, and what is then
// written must read back (the writer never makes a file its reader refuses)
// and be written again unchanged. The change uses a key and value name from
// the input, so that names with every kind of character reach the writer.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/Emulation.h"
#include "platform/Registry.h"

namespace {

std::string g_file;

void Check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "check failed: %s\n", what);
        std::abort();
    }
}

std::string Slurp() {
    std::ifstream in(g_file, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), {});
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // A private emulated Windows, never the user's own.
    static char root[] = "/tmp/registry-file-fuzz-XXXXXX";
    if (!mkdtemp(root)) std::abort();
    setenv("SETUP_ROOT", root, 1);
    g_file = std::string(root) + "/registry.reg";
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    // The first byte splits a key name and a value name off the end.
    const size_t nameBytes = std::min<size_t>(data[0] % 32, size - 1);
    const std::string names(reinterpret_cast<const char*>(data) + size - nameBytes, nameBytes);
    const std::string keyName = names.substr(0, nameBytes / 2);
    const std::string valueName = names.substr(nameBytes / 2);
    {
        std::ofstream out(g_file, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data) + 1,
                  static_cast<std::streamsize>(size - 1 - nameBytes));
    }
    plat::resetEmulation();
    std::string problem;
    if (plat::emulationProblem(problem)) return 0;

    plat::RegKey key;
    const std::string path = "Software\\Fuzz\\" + keyName;
    if (key.open(plat::RegRoot::CurrentUser, path, plat::RegAccess::All, true) != 0) return 0;
    if (key.setString(valueName, "v\r\n\"\\") != 0) return 0;
    const std::string written = Slurp();

    plat::resetEmulation();
    Check(!plat::emulationProblem(problem), "the written file reads back");
    plat::RegKey again;
    std::string value;
    Check(again.open(plat::RegRoot::CurrentUser, path, plat::RegAccess::All) == 0,
          "the key reads back");
    Check(again.queryString(valueName, value) == 0 && value == "v\r\n\"\\", "the value reads back");
    Check(again.setString(valueName, value) == 0, "the same value is written again");
    Check(Slurp() == written, "the file is written again unchanged");
    return 0;
}
