#pragma once
/// Batch mode's rational-expectations side: the iterations of a batch job
/// and the lines printed after it (each run's convergence report, then the
/// largest change of RORG between successive iterations of each run).

#include <string>
#include <vector>

#include "jobs/batch.h"
#include "results/ratexp.h"

namespace vdln {

/// The iterations for `runBatch`: each job gets a fresh `KoraleRE` with the
/// counts of the settings; its reports are not shown in message boxes (batch
/// mode prints them).
BatchRationalExpectations batchRationalExpectations();

/// The lines printed after a batch job: for each run with a report its text
/// (one line per line), then for each run of the job with at least two
/// iterations "Largest change of RORG between successive iterations of the
/// <run>:" and one line "  iteration <n>: <value>" per iteration.
std::vector<std::string> reBatchReportLines(const KoraleRE& re);

}  // namespace vdln
