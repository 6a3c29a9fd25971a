// The installation worked out as a plan: the installer window's logic runs
// without a window, as under --unattended, on a plan's effects.
#pragma once

#include <string>

#include "common/PlanEffects.h"
#include "common/PlanSummary.h"

namespace setup {

// Runs the installation of script (Windows form, a usable script) into
// targetDir (empty: the script's default) on plan: every question takes its
// unattended answer, sub-projects run in nested windows of their own, nothing
// is shown. Returns the totals for the summary, with the exit status the run
// would end with; modalResult receives the main window's modal result.
PlanTotals RunPlannedInstallation(const std::string& script, const std::string& targetDir,
                                  PlanEffects& plan, int& modalResult);

} // namespace setup
