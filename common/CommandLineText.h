// Command-line texts.
#pragma once

#include <string>
#include <vector>

namespace setup {

// Argument n; 0 is the program's full path (at most 260 characters). Empty
// when there is no such argument; arguments are cut at 4096 characters.
std::string ParamText(int n);
// Splits a raw command line: separators are characters 1 to 32, double
// quotes group, "" inside a quoted part is one quote; each argument is cut at
// 4096 characters. The first element is the program.
std::vector<std::string> SplitArguments(const std::string& commandLine);
// program = quoted first part without its quotes (or up to the first blank),
// parameters = the rest after the one separating blank.
void SplitCommandLine(const std::string& commandLine, std::string& program,
                      std::string& parameters);

} // namespace setup
