// The emulated Windows of the Linux build (a folder named by SETUP_ROOT).
// On Win32 these do nothing: the real Windows is used.
#pragma once

#include <string>

namespace plat {

// The Linux folder of the emulated Windows, created and laid out on first use
// (empty on Win32).
std::string emulationRoot();
// Forgets cached state (root folder, registry contents) so that the next call
// reads SETUP_ROOT anew. Used by tests that give each case a fresh root.
void resetEmulation();
// false when the emulated Windows is healthy; true with a message for the
// person when it is not (for example a registry.reg that cannot be read).
bool emulationProblem(std::string& message);

} // namespace plat
