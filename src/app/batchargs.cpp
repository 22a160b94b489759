#include "app/batchargs.h"

#include "base/fileutil.h"
#include "base/paths.h"
#include "base/strutil.h"
#include "jobs/jobslog.h"

namespace vdln {

namespace {
const char* kLoadZipUsage = "Expect -loadzip <zip-file> -workdir <work-dir>";
}

Result<LoadZipArgs> parseLoadZipArgs(const std::vector<std::string>& params, const std::string& currentDir) {
    if (params.size() < 2) return Result<LoadZipArgs>::fail(kLoadZipUsage);
    LoadZipArgs a;
    a.zipFile = ResolvePath(currentDir, params[1]);
    if (!fileExists(a.zipFile))
        return Result<LoadZipArgs>::fail("Specified ZIP file to load " + params[1] + " does not exist.");
    if (params.size() < 4) {
        a.workDir = currentDir;
        return a;
    }
    if (toLower(params[2]) != "-workdir") return Result<LoadZipArgs>::fail(kLoadZipUsage);
    a.workDir = ResolvePath(currentDir, params[3]);
    if (!directoryExists(a.workDir) && !makeDirectories(a.workDir))
        return Result<LoadZipArgs>::fail("Could not create specified working directory " + params[3]);
    return a;
}

std::string batchDetailsFile(const std::string& param3, const std::string& currentDir) {
    return changeExt(ResolvePath(currentDir, param3), ".ds1");
}

Result<BatchJob> parseBatchJob(const std::vector<std::string>& params, int numYears,
                               const std::function<int(int)>& year, bool noRerun) {
    BatchJob job;
    const std::string p1 = params.empty() ? "" : toLower(params[0]);
    if (p1 == "base") {
        job.runs[1] = true;
    } else if (p1 == "rerun") {
        job.runs[2] = true;
    } else if (p1 == "policy") {
        job.runs[3] = true;
    } else if (p1 == "all") {
        job.runs[1] = job.runs[2] = job.runs[3] = true;
    } else if (p1 == "base+rerun") {
        job.runs[1] = job.runs[2] = true;
    } else if (p1 == "rerun+policy") {
        job.runs[2] = job.runs[3] = true;
    } else {
        return Result<BatchJob>::fail(
            "Unexpected Param1 - expected base, rerun, policy, all, base+rerun or rerun+policy");
    }
    if (noRerun) job.runs[2] = false;

    const std::string p2 = params.size() > 1 ? toLower(params[1]) : "all";
    job.firstYear = 1;
    job.lastYear = numYears;
    if (p2 == "ss") {
        job.spreadsheetsOnly = true;
    } else if (p2 != "all") {
        size_t dash = p2.find('-');
        if (dash == std::string::npos || dash == 0 || dash + 1 >= p2.size())
            return Result<BatchJob>::fail("Unexpected Param2");
        auto indexOf = [&](const std::string& text) -> Result<int> {
            auto y = parseInt(text);
            if (y)
                for (int i = 1; i <= numYears; ++i)
                    if (year(i) == *y) return i;
            return Result<int>::fail(text + " is not one of the years on Closure/Shocks page");
        };
        auto first = indexOf(p2.substr(0, dash));
        if (!first) return Result<BatchJob>::fail(first.message());
        auto last = indexOf(p2.substr(dash + 1));
        if (!last) return Result<BatchJob>::fail(last.message());
        job.firstYear = *first;
        job.lastYear = *last;
        job.yearRange = true;
    }
    if (!job.runs[1] && !job.runs[2] && !job.runs[3]) return Result<BatchJob>::fail("Nothing to do");
    return job;
}

JobRequest batchRequest(const BatchJob& b, int numYears) {
    JobRequest req = emptyRequest(numYears);
    for (int r = 1; r <= 3; ++r) {
        if (!b.runs[r]) continue;
        if (!b.spreadsheetsOnly) {
            req.FirstSimYear[r] = b.firstYear;
            req.LastSimYear[r] = b.lastYear;
        }
        if (b.spreadsheetsOnly || b.lastYear == numYears) {
            req.FirstSSYear[r] = 1;
            req.LastSSYear[r] = numYears;
        }
    }
    req.DoDeviations = true;
    return req;
}

std::vector<std::string> batchBeginLines(const std::tm& now, const std::vector<std::string>& params,
                                         const std::string& workDir, const std::string& detailsFileName) {
    std::vector<std::string> lines;
    lines.push_back(std::string(48, '+'));
    lines.push_back(logDateTime(now));
    std::string p = "Begin batch job. Param1 is " + (params.empty() ? std::string() : params[0]) +
                    "  Param2 is " + (params.size() > 1 ? params[1] : std::string("all"));
    if (params.size() > 2) p += "  Param3 is " + params[2];
    lines.push_back(p);
    lines.push_back("Working directory for Vardelon is: " + workDir);
    lines.push_back("Sim Details File Name is: " + nameOf(detailsFileName));
    return lines;
}

std::vector<std::string> batchEndLines(const std::tm& now, bool failed, const std::string& message) {
    std::vector<std::string> lines;
    if (failed)
        lines.push_back((message.empty() ? std::string("Job finished with error.")
                                         : "Job finished with error: " + message) +
                        " " + logDateTime(now));
    else
        lines.push_back("Job ended successfully " + logDateTime(now));
    lines.push_back(std::string(37, '+'));
    return lines;
}

}  // namespace vdln
