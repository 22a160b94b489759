#include "runrecord/prereqorder.h"

#include <algorithm>

namespace vdln {

std::string simDescription(int run, int yearIndex, const std::function<int(int)>& year, bool usesPeriods,
                           bool capital) {
    const char* unit = usesPeriods ? "period" : "year";
    return std::string(capital ? "S" : "s") + "imulation for " + unit + " " +
           std::to_string(year(yearIndex)) + " (" + unit + " number " + std::to_string(yearIndex) +
           ") of the " + runName(run);
}

std::string sequenceCheckMessage(const TBigJobDetails& job, int f, const std::function<int(int)>& year,
                                 bool usesPeriods, bool noRerun) {
    for (int r = 2; r <= 3; ++r) {
        if (r == 2 && noRerun) continue;
        if (!job.DoSims[r]) continue;
        if (!(job.FirstSimYear[r] > f && job.DoSims[1] && job.FirstSimYear[1] < job.FirstSimYear[r]))
            continue;
        const int h = std::max(f, job.FirstSimYear[1]);
        auto d = [&](int run, int i) { return simDescription(run, i, year, usesPeriods); };
        return "If you run these jobs, you will end up with run jobs not run in sequence.\r\n"
               "For example, you have asked to run the " +
               d(1, h) + "\r\n" + " to be follwed later on by the " + d(r, job.FirstSimYear[r]) + "." +
               "\r\n" + "However you have not asked to run the " + d(r, h) + "." + "\r\n" +
               "This means that this latter " + d(r, h) + "\r\n" +
               " will not have been run after the simulation for the " + " same year of the " + "Base" +
               " which is a prerequisite for it.";
    }
    return "";
}

}  // namespace vdln
