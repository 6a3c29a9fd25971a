// The download step of a part: the files of its web folders (URLDir#) that
// are missing or differ from their local copies, into the part's folder.
#pragma once

#include "files/RunContext.h"

namespace setup {

// false when a list or a file could not be had (the run goes on without it).
bool DownloadPartFiles(RunContext& run, const PartInRun& part);

} // namespace setup
