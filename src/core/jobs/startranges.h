#pragma once
/// The job that "Where to start?" offers: its per-run step ranges (year
/// numbers, `NumYears` + 1 standing for the spreadsheet job) as the job
/// engine's request.

#include "plan/plan.h"
#include "runrecord/wheretostart.h"

namespace vdln {

/// Simulations over each run's years first..min(last, NumYears); the
/// spreadsheet jobs over the run's whole range when the range reaches the
/// spreadsheet job; deviations on.  Runs without a range do nothing.
JobRequest requestFromStartRanges(const JobStartRanges& ranges, int numYears);

}  // namespace vdln
