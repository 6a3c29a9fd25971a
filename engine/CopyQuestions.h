// The copier's questions as the installer asks them: the overwrite and
// placeholder dialogs and the report of missing files, with their texts,
// buttons and defaults (answered, as every message, by the answers file, the
// default button or the person), and the compare program the overwrite
// dialog can start.
#pragma once

#include <string>

#include "files/CopyDecisions.h"

namespace setup {

// The external compare program the overwrite dialog offers to start.
extern const std::string CompareToolPath;

// Shows the message for question and returns its answer. The overwrite
// dialog's Retry starts the compare program and asks again.
CopyAnswer AskCopyQuestion(const CopyQuestion& question);

// Starts CompareToolPath on the folders of source and dest, or says that it
// is missing.
void LaunchCompareTool(const std::string& source, const std::string& dest);

} // namespace setup
