#pragma once
/// Progress of a running job for a user who cannot see the bottom panel
/// (batch mode): how many parts a job will take, and one line per part.

#include <string>

#include "jobs/engine.h"
#include "model/simrecord.h"
#include "plan/plan.h"

namespace vdln {

/// About how many parts the job `engine` has just started will launch: the
/// plan is played forward from its current state with every part
/// succeeding and every BOT step needed once.  Exact for jobs without
/// rational expectations whose BOT steps all run; an upper bound otherwise.
int estimateJobParts(const JobEngine& engine, const TSimRecord& rec, const ProgramSettings& settings);

/// "part 3 of about 40: Base 2025 sim/sol (1.2 s)"; a spreadsheet part
/// shows "spreadsheets" instead of the year, and a count past the estimate
/// drops "about".
std::string progressLine(const PartDone& part, int aboutTotal, const TSimRecord& rec);

}  // namespace vdln
