// Fuzz target for the font file reader of the emulated Windows: any bytes as
// a font file. The reader must never read outside the bytes it is given, and
// a name it returns is plain Windows-1252 text without NUL bytes.
//
// Run with scripts/fuzz.sh [seconds] font_name_fuzz; a real font (for
// example /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf) in the corpus
// folder gives it a good start.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/FontFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const plat::FontByteReader read = [&](uint64_t offset, uint32_t length, std::string& out) {
        if (offset > bytes.size() || length > bytes.size() - offset) return false;
        out = bytes.substr(offset, length);
        return true;
    };
    std::string name;
    if (plat::inspectFont(read, bytes.size(), &name) && name.find('\0') != std::string::npos)
        std::abort();
    return 0;
}
