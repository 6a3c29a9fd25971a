// Text output of the command line (usage, errors, the run's caption). The
// Windows program is a GUI program: it writes to redirected standard handles
// or to the console of the program that started it, when there is one.
#pragma once

#include <string>

namespace plat {

// Writes Windows-1252 text to standard output (or, with toError, standard
// error). false when the process has nowhere to write it (a Windows GUI
// program started without a console and without redirection).
bool writeConsole(const std::string& text, bool toError);

} // namespace plat
