// The readable summary of a plan: what a run would do to the machine.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/PlanEffects.h"

namespace setup {

// What the plan's changes do not tell: the copier's decisions to leave a
// file as it is, and the outcome.
struct PlanTotals {
    std::string caption;
    std::string targetDir;
    int32_t unchanged = 0; // up to date, or kept
    int32_t failed = 0;
    int32_t cancelled = 0;
    int exitStatus = 0;
};

// Windows-1252 text, lines ending with "\n": a headline, then one group per
// kind of change with its count and entries, then the exit status.
std::string FormatPlanSummary(const std::vector<PlannedChange>& changes, const PlanTotals& totals);

} // namespace setup
