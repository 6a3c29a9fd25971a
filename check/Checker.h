// Checks an installation script without installing: reads it through the
// script model as a run would, follows its sub-project scripts, condition
// files and macro files, and reports what is wrong with file and line. It
// reads files and folders only; it writes nothing, starts nothing and asks
// nothing (registry variables are checked by their form, never looked up).
#pragma once

#include <string>
#include <vector>

#include "check/Findings.h"

namespace setup::check {

struct Options {
    // Whether a target on Z: is unsafe: the Linux build's Z: is the Linux
    // root, where an installation writes nothing.
    bool zDriveUnsafe = false;
};

// The findings of the script at path (a Windows path as the program names
// files), in file order; a script that does not exist gives one error.
std::vector<Finding> CheckScript(const std::string& path, const Options& options);

} // namespace setup::check
