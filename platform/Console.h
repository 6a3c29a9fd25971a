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

// Shows a long Windows-1252 text (lines ending with "\n") to the person in a
// modal window with a scrollable read-only text field and waits until it is
// closed (Win32); writes it to standard output on POSIX. false when it could
// not be shown.
bool showTextWindow(const std::string& title, const std::string& text);

} // namespace plat
