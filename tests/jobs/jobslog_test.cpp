#include "jobs/jobslog.h"

#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <set>

#include "base/fileutil.h"
#include "base/strutil.h"
#include "support/tempdir.h"

namespace vdln {
namespace {

using testing::readFile;
using testing::writeFile;

class JobsLogTest : public testing::TempDirTest {};

TEST_F(JobsLogTest, AppendsOnlyToAnExistingLog) {
    std::string log = path("bigjobs.log");
    ASSERT_TRUE(appendToLog(log, {"START x"}));
    EXPECT_FALSE(fileExists(log)) << "a deleted log must not be recreated";

    writeFile(log, "old line\n");
    ASSERT_TRUE(appendToLog(log, {"START x", "END x"}));
    EXPECT_EQ(readFile(log), "old line\nSTART x\r\nEND x\r\n") << "what was there is not rewritten";
    // Nothing goes through a Temporary Directory any more.
    int entries = 0;
    for (auto& e : std::filesystem::directory_iterator(dir()))
        entries += e.path().filename() != "bigjobs.log";
    EXPECT_EQ(entries, 0) << "only the log is there";
}

TEST_F(JobsLogTest, WritersAtTheSameTimeLoseNoLine) {
    const std::string log = path("BatchJobs.log");
    writeFile(log, "");
    constexpr int kWriters = 4, kLines = 200;
    std::vector<pid_t> children;
    for (int w = 0; w < kWriters; ++w) {
        pid_t pid = ::fork();
        if (pid == 0) {
            for (int i = 0; i < kLines; ++i)
                if (!appendToLog(
                        log, {"writer " + std::to_string(w) + " line " + std::to_string(i), "second half"}))
                    ::_exit(1);
            ::_exit(0);
        }
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        ::waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    auto lines = split(readFile(log), '\n');
    std::set<std::string> seen;
    for (size_t i = 0; i + 1 < lines.size(); i += 2) {
        EXPECT_EQ(lines[i + 1], "second half\r") << "the two lines of one append stay together";
        seen.insert(lines[i]);
    }
    EXPECT_EQ(seen.size(), static_cast<size_t>(kWriters * kLines));
}

TOneDosJob slot(const char* name, const char* part, int run, int year) {
    TOneDosJob j;
    j.InUse = true;
    j.JobName = jobKindFromText(name).value();
    j.JobPart = partKindFromText(part).value();
    j.Run = run;
    j.Year = year;
    return j;
}

TEST(JobsLogText, SlotDescriptionsAndLogLines) {
    DescribeContext ctx{[](int i) { return 2023 + i; }, false};
    EXPECT_EQ(slotDescription(TOneDosJob{}, ctx), "[Not running]");
    EXPECT_EQ(slotDescription(slot("sim", "sim", 1, 2), ctx), "Base: sim for year 2025 (year number 2)");
    EXPECT_EQ(slotDescription(slot("sim", "sol", 2, 2), ctx), "Rerun: Sol job for year 2025 (year number 2)");
    EXPECT_EQ(slotDescription(slot("bot", "tellur1", 2, 3), ctx),
              "Rerun: Preparing closure for year 2026 (year number 3)");
    EXPECT_EQ(slotDescription(slot("divero", "cum", 3, 7), ctx), "Policy: Assembling the spreadsheets");
    ctx.usesPeriods = true;
    EXPECT_EQ(slotDescription(slot("sim", "sim", 3, 1), ctx), "Policy: sim for year 2024 (period number 1)");

    std::tm t{};
    t.tm_year = 126;
    t.tm_mon = 11;
    t.tm_mday = 9;
    t.tm_hour = 7;
    t.tm_min = 5;
    t.tm_sec = 3;
    EXPECT_EQ(
        partErrorLine(slot("bot", "tellur1", 2, 3), ctx, t),
        "ERROR Rerun: Preparing closure for year 2026 (period number 3) [tellur1 part of job bot] 07:05:03");
    EXPECT_EQ(partErrorLine(slot("sim", "sol", 1, 1), ctx, t),
              "ERROR Base: Sol job for year 2024 (period number 1) 07:05:03");
    EXPECT_TRUE(partStartLines(slot("sim", "sol", 1, 1), ctx, t).size() == 1);
    EXPECT_TRUE(partStartLines(slot("bot", "tellur1", 2, 1), ctx, t).empty());
    EXPECT_TRUE(partStartLines(slot("aggrex", "cum", 1, 7), ctx, t).empty());

    // Three concurrent solves: no concurrency line.
    EXPECT_EQ(jobStartLines(t, 1, 3).size(), 2u);
    EXPECT_EQ(jobStartLines(t, 1, 2).back(), "  [Allowing two concurrent jobs.]");
    EXPECT_EQ(jobStartLines(t, 2, 2).back(), "  [Allowing just one job (job number 2).]");
}

TEST(JobsLogText, EndLinesFollowTheRecordKeepingUnits) {
    EXPECT_TRUE(partGetsEndLine(slot("sim", "sim", 1, 1), false, false));
    EXPECT_TRUE(partGetsEndLine(slot("bot", "sectra1", 2, 1), false, false));
    EXPECT_FALSE(partGetsEndLine(slot("bot", "sectra1", 2, 1), false, true));
    EXPECT_TRUE(partGetsEndLine(slot("bot", "tellur2", 2, 1), false, true));
    EXPECT_TRUE(partGetsEndLine(slot("cumsol", "cum", 2, 7), true, false));
    EXPECT_FALSE(partGetsEndLine(slot("cumsol", "cum", 3, 7), true, false));
    EXPECT_FALSE(partGetsEndLine(slot("aggrex", "yony", 1, 7), false, false));
    EXPECT_TRUE(partGetsEndLine(slot("devsol", "cum", 3, 7), false, false));
}

TEST(JobsLogText, ElapsedTimeShowsOnlyTheUnitsNeeded) {
    EXPECT_EQ(elapsedText(5.9), "5 seconds");
    EXPECT_EQ(elapsedText(65), "1 minutes, 5 seconds");
    EXPECT_EQ(elapsedText(3600), "1 hours, 0 minutes, 0 seconds");
    EXPECT_EQ(elapsedText(7322), "2 hours, 2 minutes, 2 seconds");
}

TEST(JobsLogText, StatusLinesListRunningSlotsInOrder) {
    TBigJobDetails job;
    job.FirstSlot = 1;
    job.Jobs[3] = slot("sim", "sim", 3, 2);
    job.Jobs[1] = slot("sim", "sol", 1, 3);
    DescribeContext ctx{[](int i) { return 2023 + i; }, false};
    PerRun<int> iter{0, 1, 1, 4};
    StatusLines st = statusLines(job, 3, ctx, {}, true, iter);
    EXPECT_EQ(st.heading, "Running jobs:");
    ASSERT_EQ(st.lines.size(), 2u);
    EXPECT_EQ(st.lines[0], "  Base: Sol job for year 2026 (year number 3) [sol part of job sim] [Iter 1]");
    EXPECT_EQ(st.lines[1], "  Policy: sim for year 2025 (year number 2) [sim part of job sim] [Iter 4]");
    EXPECT_EQ(st.runs, (std::vector<int>{1, 3}));
    SingleThenConcurrentNote note{true, 2, false};
    EXPECT_EQ(statusLines(job, 2, ctx, note, false, iter).heading,
              "Running jobs: [pass number 2, Single job]");
    EXPECT_EQ(statusLines(job, 2, ctx, note, false, iter).lines.size(), 1u);
}

TEST(JobsLogText, TheBottomPanelThroughAJob) {
    TBigJobDetails job;
    job.Jobs[1] = slot("sim", "sim", 1, 3);
    job.Jobs[3] = slot("bot", "env", 2, 2);
    DescribeContext ctx{[](int i) { return 2023 + i; }, false};
    const StatusLines running = statusLines(job, 3, ctx, {}, false, {0, 1, 1, 1});

    BottomPanel idle = bottomPanel(PanelPhase::Idle, {}, true);
    EXPECT_FALSE(idle.jobRunning);
    EXPECT_FALSE(idle.rerunPanel) << "no-rerun mode hides \"&Rerun Base\"";
    EXPECT_EQ(idle.visible, (std::array<bool, 3>{false, false, false}));

    BottomPanel starting = bottomPanel(PanelPhase::StartingJob, {}, false);
    EXPECT_TRUE(starting.jobRunning);
    EXPECT_EQ(starting.labels[0], "[None running yet] ");
    EXPECT_EQ(starting.visible, (std::array<bool, 3>{true, false, false}));

    // Two running slots (1 and 3) fill the first two labels in their runs'
    // colours; the third is hidden.
    BottomPanel p = bottomPanel(PanelPhase::Running, running, false);
    EXPECT_EQ(p.labels[0], "  Base: sim for year 2026 (year number 3) [sim part of job sim]");
    EXPECT_EQ(p.labels[1], "  Rerun: Preparing closure for year 2025 (year number 2) [env part of job bot]");
    EXPECT_EQ(p.visible, (std::array<bool, 3>{true, true, false}));
    EXPECT_EQ(p.runs, (std::array<int, 3>{1, 2, 0}));
    EXPECT_FALSE(p.rerunPanel);

    BottomPanel none = bottomPanel(PanelPhase::Running, {}, false);
    EXPECT_EQ(none.labels[0], "[None running.]");
    EXPECT_EQ(none.runs[0], 0) << "the default colour";

    BottomPanel done = bottomPanel(PanelPhase::Finished, running, false);
    EXPECT_FALSE(done.jobRunning);
    EXPECT_TRUE(done.rerunPanel);
    EXPECT_EQ(done.labels, (std::array<std::string, 3>{"[Job finished] ", "", ""}));
}

TEST(JobsLogText, OverviewListsRunsWithWork) {
    TBigJobDetails job;
    PlanContext ctx;
    ctx.numYears = 3;
    ctx.year = [](int i) { return 2023 + i; };
    EXPECT_EQ(jobStatusOverview(job, ctx, false), (std::vector<std::string>{"Nothing is running."}));
    job.Running = true;
    job.DoSims[1] = true;
    job.FirstSimYear[1] = 1;
    job.LastSimYear[1] = 3;
    job.LastDoneYear[1] = 2;
    job.DoSS[1] = true;
    job.FirstSSYear[1] = 1;
    job.LastSSYear[1] = 3;
    job.DoSims[3] = true;
    job.FirstSimYear[3] = 2;
    job.LastSimYear[3] = 3;
    job.LastDoneYear[3] = 1;
    EXPECT_EQ(jobStatusOverview(job, ctx, false),
              (std::vector<std::string>{"Base:", "  Do simulations for years 2024 to 2026",
                                        "  Last simulation done is that for 2025 [year number 2]",
                                        "  Do spreadsheets for years 2024 to 2026  [Not yet done.]",
                                        "Policy:", "  Do simulations for years 2025 to 2026",
                                        "  [No sims completed yet.]"}));
}

}  // namespace
}  // namespace vdln
