#include "platform/Emulation.h"

namespace plat {

// The Win32 build runs on the real Windows: there is nothing to emulate.
std::string emulationRoot() {
    return std::string();
}

void resetEmulation() {}

bool emulationProblem(std::string&) {
    return false;
}

} // namespace plat
