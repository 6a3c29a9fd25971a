// The folder chooser's rule for the preselected folder of a start path,
// which needs no window.
#pragma once

#include <string>

namespace setup {

// directory when it names an existing folder, else its nearest existing
// ancestor ("C:\A\B\" -> "C:\A" when only C:\A exists). Stepping up stops at
// a drive root ("X:\") and at a text without a backslash; "" when no folder
// was found on the way.
std::string NearestExistingFolder(const std::string& directory);

} // namespace setup
