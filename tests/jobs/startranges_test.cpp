#include "jobs/startranges.h"

#include <gtest/gtest.h>

namespace vdln {
namespace {

TEST(StartRanges, YearsAndTheSpreadsheetJobBecomeTheRequest) {
    const int n = 6;
    JobStartRanges r{};
    r[1] = {4, n + 1};      // Base: years 4..6 and its spreadsheets
    r[2] = {n + 1, n + 1};  // Rerun: only the spreadsheet job
    r[3] = {2, 3};          // Policy: two years, no spreadsheets
    const JobRequest q = requestFromStartRanges(r, n);
    const JobRequest none = emptyRequest(n);
    struct Want {
        int run, firstSim, lastSim, firstSS, lastSS;
    };
    const Want want[] = {{1, 4, 6, 1, n},
                         {2, none.FirstSimYear[2], none.LastSimYear[2], 1, n},
                         {3, 2, 3, none.FirstSSYear[3], none.LastSSYear[3]}};
    for (const Want& w : want) {
        SCOPED_TRACE(w.run);
        EXPECT_EQ(q.FirstSimYear[w.run], w.firstSim);
        EXPECT_EQ(q.LastSimYear[w.run], w.lastSim);
        EXPECT_EQ(q.FirstSSYear[w.run], w.firstSS);
        EXPECT_EQ(q.LastSSYear[w.run], w.lastSS);
    }
    EXPECT_TRUE(q.DoDeviations);
    const JobRequest empty = requestFromStartRanges(JobStartRanges{}, n);
    for (int run = 1; run <= 3; ++run) {
        EXPECT_EQ(empty.FirstSimYear[run], none.FirstSimYear[run]);
        EXPECT_EQ(empty.FirstSSYear[run], none.FirstSSYear[run]);
    }
}

}  // namespace
}  // namespace vdln
