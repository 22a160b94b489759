#include "jobs/startranges.h"

#include <algorithm>

namespace vdln {

JobRequest requestFromStartRanges(const JobStartRanges& ranges, int numYears) {
    JobRequest req = emptyRequest(numYears);
    for (int r = 1; r <= 3; ++r) {
        const StepRange& s = ranges[r];
        if (!s.any()) continue;
        if (s.first <= numYears) {
            req.FirstSimYear[r] = s.first;
            req.LastSimYear[r] = std::min(s.last, numYears);
        }
        if (s.last > numYears) {
            req.FirstSSYear[r] = 1;
            req.LastSSYear[r] = numYears;
        }
    }
    req.DoDeviations = true;
    return req;
}

}  // namespace vdln
