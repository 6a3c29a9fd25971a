#include "platform/Emulation.h"

namespace plat {
std::string emulationRoot() { return {}; }
void resetEmulation() {}
} // namespace plat
namespace plat {
bool emulationProblem(std::string&) { return false; }
}
