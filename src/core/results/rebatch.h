#pragma once
/// What batch mode prints after an iterating job: each run's convergence
/// report, then the largest change of RORG between successive iterations of
/// each run.

#include <string>
#include <vector>

#include "results/ratexp.h"

namespace vdln {

/// The lines printed after a batch job: for each run with a report its text
/// (one line per line), then for each run of the job with at least two
/// iterations "Largest change of RORG between successive iterations of the
/// <run>:" and one line "  iteration <n>:" + the value per iteration.
std::vector<std::string> reBatchReportLines(const KoraleRE& re);

}  // namespace vdln
