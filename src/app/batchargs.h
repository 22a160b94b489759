#pragma once
/// The command line of batch mode: which runs and years to do, the details
/// file to load, or the restore form "-loadzip <zip> [-workdir <dir>]".

#include <ctime>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "base/result.h"
#include "jobs/plan.h"

namespace vdln {

/// The restore form of the command line.
struct LoadZipArgs {
    std::string zipFile;
    std::string workDir;  ///< the current directory when not given
};

/// Checks the restore form: at least two parameters, the ZIP file exists,
/// an optional "-workdir <dir>" pair (created with its parents when
/// missing).  `currentDir` is the start-up directory.
Result<LoadZipArgs> parseLoadZipArgs(const std::vector<std::string>& params, const std::string& currentDir);

/// The details file named by parameter 3: relative to the start-up
/// directory, extension forced to ".ds1".
std::string batchDetailsFile(const std::string& param3, const std::string& currentDir);

/// The job a batch command line asks for.
struct BatchJob {
    PerRun<bool> runs{};  ///< runs selected by parameter 1 (after no-rerun mode)
    bool spreadsheetsOnly = false;
    int firstYear = 1;  ///< year indexes of a Y1-Y2 range
    int lastYear = 1;
    bool yearRange = false;
};

/// Parses parameters 1 and 2 (compared in lower case) against the loaded
/// application.  Messages: "Unexpected Param1 - expected base, rerun,
/// policy, all, base+rerun or rerun+policy", "<Y> is not one of the years on
/// Closure/Shocks page", "Unexpected Param2", "Nothing to do".
Result<BatchJob> parseBatchJob(const std::vector<std::string>& params, int numYears,
                               const std::function<int(int)>& year, bool noRerun);

/// The request a batch job makes: simulations over the chosen years of each
/// selected run (none with "ss"), spreadsheets over all years when the last
/// simulated year is the last year or with "ss", deviations on.
JobRequest batchRequest(const BatchJob& job, int numYears);

/// The lines that open a batch run in the batch jobs log.
std::vector<std::string> batchBeginLines(const std::tm& now, const std::vector<std::string>& params,
                                         const std::string& workDir, const std::string& detailsFileName);

/// The lines that close a batch run: the outcome and 37 plus signs.
std::vector<std::string> batchEndLines(const std::tm& now, bool failed, const std::string& message);

}  // namespace vdln
