// Starting another program of the system.
#pragma once

#include <string>

namespace plat {

// Starts the program named first on commandLine (a path in double quotes, or
// up to the first blank) with the rest as its arguments, shown normally, in
// workingFolder (empty: the current one), without waiting for it. false when
// it cannot be started. POSIX: the program's Linux path in the emulated
// Windows is started when it exists and is executable.
bool startProgram(const std::string& commandLine, const std::string& workingFolder);

} // namespace plat
