#include "app/batchargs.h"

#include "base/fileutil.h"
#include "support/tempdir.h"

namespace vdln {
namespace {

auto years = [](int i) { return 2000 + i; };  // 2001..2006 for a 6-year application

TEST(BatchArgs, RunsAndYearsFromTheFirstTwoParameters) {
    struct Case {
        std::vector<std::string> params;
        bool noRerun;
        std::string error;
        PerRun<bool> runs;
        int first, last;
        bool ss;
    } cases[] = {
        {{"all"}, false, "", {false, true, true, true}, 1, 6, false},
        {{"ALL", "SS"}, false, "", {false, true, true, true}, 1, 6, true},
        {{"base", "2001-2003"}, false, "", {false, true, false, false}, 1, 3, false},
        {{"rerun+policy", "2002-2006"}, true, "", {false, false, false, true}, 2, 6, false},
        {{"rerun"}, true, "Nothing to do", {}, 0, 0, false},
        {{"bsae"},
         false,
         "Unexpected Param1 - expected base, rerun, policy, all, base+rerun or rerun+policy",
         {},
         0,
         0,
         false},
        {{"all", "2001-2010"}, false, "2010 is not one of the years on Closure/Shocks page", {}, 0, 0, false},
        {{"all", "-2003"}, false, "Unexpected Param2", {}, 0, 0, false},
        {{"all", "2003-"}, false, "Unexpected Param2", {}, 0, 0, false},
        {{"all", "some"}, false, "Unexpected Param2", {}, 0, 0, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.params[0] + (c.params.size() > 1 ? " " + c.params[1] : ""));
        auto r = parseBatchJob(c.params, 6, years, c.noRerun);
        if (!c.error.empty()) {
            ASSERT_FALSE(r);
            EXPECT_EQ(r.message(), c.error);
            continue;
        }
        ASSERT_TRUE(r) << r.message();
        EXPECT_EQ(r->runs, c.runs);
        EXPECT_EQ(r->firstYear, c.first);
        EXPECT_EQ(r->lastYear, c.last);
        EXPECT_EQ(r->spreadsheetsOnly, c.ss);
    }
}

TEST(BatchArgs, SpreadsheetsOnlyWhenTheLastYearIsReachedOrAskedFor) {
    auto part = parseBatchJob({"base", "2001-2003"}, 6, years, false);
    ASSERT_TRUE(part);
    JobRequest r = batchRequest(*part, 6);
    EXPECT_EQ(r.FirstSimYear[1], 1);
    EXPECT_EQ(r.LastSimYear[1], 3);
    EXPECT_LT(r.LastSSYear[1], r.FirstSSYear[1]);
    EXPECT_LT(r.LastSimYear[2], r.FirstSimYear[2]);

    auto ss = parseBatchJob({"all", "ss"}, 6, years, false);
    ASSERT_TRUE(ss);
    r = batchRequest(*ss, 6);
    for (int run = 1; run <= 3; ++run) {
        EXPECT_LT(r.LastSimYear[run], r.FirstSimYear[run]);
        EXPECT_EQ(r.FirstSSYear[run], 1);
        EXPECT_EQ(r.LastSSYear[run], 6);
    }
    EXPECT_TRUE(r.DoDeviations);
}

class LoadZipArgsTest : public testing::TempDirTest {};

TEST_F(LoadZipArgsTest, ChecksTheArchiveAndCreatesTheWorkingDirectory) {
    EXPECT_EQ(parseLoadZipArgs({"-loadzip"}, dir()).message(),
              "Expect -loadzip <zip-file> -workdir <work-dir>");
    EXPECT_EQ(parseLoadZipArgs({"-loadzip", "a.zip"}, dir()).message(),
              "Specified ZIP file to load a.zip does not exist.");
    testing::writeFile(path("a.zip"), "PK");
    auto here = parseLoadZipArgs({"-loadzip", "a.zip"}, dir());
    ASSERT_TRUE(here);
    EXPECT_EQ(here->workDir, dir());
    EXPECT_EQ(parseLoadZipArgs({"-loadzip", "a.zip", "-dir", "x"}, dir()).message(),
              "Expect -loadzip <zip-file> -workdir <work-dir>");
    auto made = parseLoadZipArgs({"-loadzip", "a.zip", "-WorkDir", "new/app"}, dir());
    ASSERT_TRUE(made) << made.message();
    EXPECT_TRUE(directoryExists(path("new/app")));
    testing::writeFile(path("file"), "x");
    EXPECT_EQ(parseLoadZipArgs({"-loadzip", "a.zip", "-workdir", "file/sub"}, dir()).message(),
              "Could not create specified working directory file/sub");
}

TEST(BatchArgs, LogLines) {
    std::tm t{};
    t.tm_year = 126;
    t.tm_mon = 0;
    t.tm_mday = 2;
    auto begin = batchBeginLines(t, {"all", "all", "app/growth"}, "/w", "/w/BS1-BR1-PL1.ds1");
    ASSERT_EQ(begin.size(), 5u);
    EXPECT_EQ(begin[0], std::string(48, '+'));
    EXPECT_EQ(begin[2], "Begin batch job. Param1 is all  Param2 is all  Param3 is app/growth");
    EXPECT_EQ(begin[3], "Working directory for Vardelon is: /w");
    EXPECT_EQ(begin[4], "Sim Details File Name is: BS1-BR1-PL1.ds1");
    auto end = batchEndLines(t, true, "Unexpected Param2");
    EXPECT_EQ(end[0], "Job finished with error: Unexpected Param2 02/01/2026 00:00:00");
    EXPECT_EQ(end[1], std::string(37, '+'));
    EXPECT_EQ(batchEndLines(t, true, "")[0], "Job finished with error. 02/01/2026 00:00:00");
    EXPECT_EQ(batchEndLines(t, false, "")[0], "Job ended successfully 02/01/2026 00:00:00");
    EXPECT_EQ(batchDetailsFile("app/growth", "/start"), "/start/app/growth.ds1");
    EXPECT_EQ(batchDetailsFile("/abs/growth.DS2", "/start"), "/abs/growth.ds1");
}

}  // namespace
}  // namespace vdln
