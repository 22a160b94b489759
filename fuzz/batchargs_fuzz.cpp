// libFuzzer target over the batch command line: the input is split at NUL
// bytes into parameters and handed to the readers of the job form and of
// the restore form.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzzscratch.h"
#include "jobs/batchargs.h"

using namespace vdln;
using vdln::fuzz::check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string dir = fuzz::scratch("batchargs_fuzz");
    if (size == 0) return 0;
    const int numYears = data[0] % 12;
    const bool noRerun = data[0] & 0x80;
    const std::string input(reinterpret_cast<const char*>(data) + 1, size - 1);
    std::vector<std::string> params;
    size_t start = 0;
    while (start <= input.size() && params.size() < 8) {
        size_t end = input.find('\0', start);
        if (end == std::string::npos) end = input.size();
        params.push_back(input.substr(start, end - start));
        start = end + 1;
    }
    auto job = parseBatchJob(
        params, numYears, [](int i) { return 2023 + i; }, noRerun);
    if (job) {
        check(job->firstYear >= 1 || !job->yearRange);
        check(job->lastYear <= numYears || !job->yearRange);
        JobRequest req = batchRequest(*job, numYears);
        (void)req;
    }
    if (params.size() > 2) (void)batchDetailsFile(params[2], dir);
    // The restore form creates its working directory: only under the
    // scratch folder.
    if (params.size() >= 4 && params[3].find("..") == std::string::npos && params[3].rfind('/', 0) != 0) {
        std::vector<std::string> zipParams = {"-loadzip", params[1], "-workdir", params[3]};
        (void)parseLoadZipArgs(zipParams, dir);
    }
    std::tm t{};
    (void)batchBeginLines(t, params, dir, params[0]);
    return 0;
}
