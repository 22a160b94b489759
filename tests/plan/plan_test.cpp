#include "plan/plan.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

namespace vdln {
namespace {

std::string str(const StepChoice& s) {
    return stepText(s.JobName, s.JobPart) + " r" + std::to_string(s.Run) + " y" + std::to_string(s.Year);
}

// A step as the jobs log names it.
StepChoice step(std::string_view name, std::string_view part, int run, int year) {
    return StepChoice{jobKindFromText(name).value(), partKindFromText(part).value(), run, year};
}

TOneDosJob runningSlot(std::string_view name, std::string_view part, int run, int year) {
    TBigJobDetails job;
    occupySlot(job, 1, step(name, part, run, year));
    return job.Jobs[1];
}

// Plays a job through the plan as the engine does: `fillFreeSlots` fills the
// free slots, every part succeeds, slots finish in a chosen order.
struct Driver {
    TBigJobDetails job;
    PlanContext ctx;
    PlanOptions opt;
    JobOrder order = JobOrder::PolicyAsap;
    std::set<int> botDone;         // BOT steps finished in this job
    std::set<int> botStillValid;   // years whose stored BOT files are valid
    std::vector<std::string> log;  // every part launched, in order
    std::string error;

    Driver(int years, bool noRerun, int fpy, int slots) {
        ctx.numYears = years;
        ctx.year = [](int i) { return 2023 + i; };
        ctx.noRerun = noRerun;
        ctx.firstPolicyYear = fpy;
        ctx.botFinishedThisJob = [this](int i) { return botDone.count(i) > 0; };
        ctx.botNeeded = [this](int i) { return botStillValid.count(i) == 0 && botDone.count(i) == 0; };
        job.FirstSlot = 1;
        job.LastSlot = slots;
    }

    void start(JobRequest req) {
        normaliseRequest(req, ctx, nullptr, job);
        fill(0);
    }

    void fill(int finishedSlot) {
        std::optional<StepChoice> finished;
        if (finishedSlot) {
            const auto& s = job.Jobs[finishedSlot];
            finished = StepChoice{s.JobName, s.JobPart, s.Run, s.Year};
        }
        const FillPlan plan = fillFreeSlots(job, ctx, opt, order, finished, finishedSlot == 0);
        for (const SlotFill& f : plan.fills) {
            EXPECT_FALSE(job.Jobs[f.slot].InUse) << "slot " << f.slot << " filled twice";
            occupySlot(job, f.slot, f.part);
            log.push_back(str(f.part));
        }
        if (!plan.ok) error = plan.error;
    }

    bool busy() const {
        for (int s = 1; s <= 3; ++s)
            if (job.Jobs[s].InUse) return true;
        return false;
    }

    void finish(int slot) {
        auto& s = job.Jobs[slot];
        ASSERT_TRUE(s.InUse);
        if (s.JobName == JobKind::Bot && s.JobPart == lastBotPart(opt.useSOLFilesForShocks))
            botDone.insert(s.Year);
        CompleteStep(job, opt, slot);
        fill(slot);
    }

    // Finishes slots lowest first until the job is over.
    void runToEnd() {
        for (int guard = 0; guard < 10000 && busy() && error.empty(); ++guard)
            for (int s = 1; s <= 3; ++s)
                if (job.Jobs[s].InUse) {
                    finish(s);
                    break;
                }
        ASSERT_FALSE(busy());
    }

    size_t indexOf(const std::string& entry) const {
        for (size_t k = 0; k < log.size(); ++k)
            if (log[k] == entry) return k;
        ADD_FAILURE() << "never launched: " << entry;
        return log.size();
    }
};

JobRequest allRuns(int years, bool devs = true) {
    JobRequest r = emptyRequest(years);
    for (int run = 1; run <= 3; ++run) {
        r.FirstSimYear[run] = r.FirstSSYear[run] = 1;
        r.LastSimYear[run] = r.LastSSYear[run] = years;
    }
    r.DoDeviations = devs;
    return r;
}

TEST(JobPlan, NormalisationRaisesPolicyRunsAndSetsPyRanges) {
    PlanContext ctx;
    ctx.numYears = 8;
    ctx.firstPolicyYear = 3;
    TBigJobDetails job;
    JobRequest req = allRuns(8);
    req.FirstSSYear[3] = 5;  // policy spreadsheets over 5..8 only
    normaliseRequest(req, ctx, nullptr, job);
    EXPECT_EQ(job.FirstSimYear[1], 1);
    EXPECT_EQ(job.FirstSimYear[2], 3);
    EXPECT_EQ(job.FirstSimYear[3], 3);
    EXPECT_EQ(job.FirstSSYear[2], 3);
    EXPECT_TRUE(job.DoPY[2]);
    EXPECT_EQ(job.PYFirstYear[2], 5);
    EXPECT_EQ(job.PYLastYear[2], 8);
    EXPECT_FALSE(job.DoPY[1]);
    EXPECT_EQ(job.LastDoneYear[2], 2);

    // No policy spreadsheets: no deviations, and a run with nothing to
    // accumulate starts at the end of its spreadsheet stages.
    JobRequest req2 = allRuns(8);
    req2.FirstSSYear[3] = 9;
    req2.LastSSYear[3] = 0;
    TBigJobDetails job2;
    normaliseRequest(req2, ctx, nullptr, job2);
    EXPECT_FALSE(job2.DoDeviations);
    EXPECT_EQ(job2.SSStageDone[3], JobKind::Cumsol);
    EXPECT_EQ(job2.SSPartDone[3], PartKind::Cum);
}

TEST(JobPlan, NoRerunGivesTheBaseAPyRangeWhenPolicyStartsLater) {
    PlanContext ctx;
    ctx.numYears = 6;
    ctx.noRerun = true;
    ctx.firstPolicyYear = 2;
    TBigJobDetails job;
    JobRequest req = allRuns(6);
    normaliseRequest(req, ctx, nullptr, job);
    EXPECT_FALSE(job.DoSims[2]);
    EXPECT_FALSE(job.DoSS[2]);
    EXPECT_TRUE(job.DoPY[1]);
    EXPECT_EQ(job.PYFirstYear[1], 2);
    EXPECT_EQ(job.PYLastYear[1], 6);
}

TEST(JobPlan, PolicySimWaitsForBaseYearAndRerunsPreviousYear) {
    Driver d(3, false, 1, 3);
    d.start(allRuns(3));
    ASSERT_TRUE(d.error.empty()) << d.error;
    d.runToEnd();
    ASSERT_TRUE(d.error.empty()) << d.error;
    for (int i = 1; i <= 3; ++i) {
        SCOPED_TRACE(i);
        std::string y = " y" + std::to_string(i);
        size_t policySim = d.indexOf("sim/sim r3" + y);
        size_t rerunSim = d.indexOf("sim/sim r2" + y);
        EXPECT_GT(rerunSim, d.indexOf("sim/sol r1" + y));
        EXPECT_GT(policySim, d.indexOf("sim/sol r1" + y));
        EXPECT_GT(policySim, d.indexOf("bot/sectra1 r2" + y));
        if (i > 1) {
            EXPECT_GT(policySim, d.indexOf("sim/sol r2 y" + std::to_string(i - 1)));
        }
    }
    // Spreadsheets: the policy accumulates only after the rerun finished its
    // cumulative step, then the deviations follow.
    EXPECT_GT(d.indexOf("aggrex/yony r3 y4"), d.indexOf("cumsol/cum r2 y4"));
    EXPECT_GT(d.indexOf("divero/cum r3 y4"), d.indexOf("cumsol/cum r3 y4"));
    EXPECT_GT(d.indexOf("devsol/cum r3 y4"), d.indexOf("divero/cum r3 y4"));
}

TEST(JobPlan, NoRerunRecordsBotUnderPolicyAndNeverSelectsRun2) {
    Driver d(3, true, 1, 2);
    d.start(allRuns(3));
    d.runToEnd();
    ASSERT_TRUE(d.error.empty()) << d.error;
    for (const auto& e : d.log) {
        SCOPED_TRACE(e);
        EXPECT_EQ(e.find(" r2 "), std::string::npos);
    }
    EXPECT_LT(d.indexOf("bot/env r3 y2"), d.indexOf("sim/sim r3 y2"));
}

TEST(JobPlan, BaseAsapWithOneSlotCompletesTheBaseFirst) {
    Driver d(3, false, 1, 1);
    d.order = JobOrder::BaseAsap;
    d.start(allRuns(3));
    d.runToEnd();
    ASSERT_TRUE(d.error.empty()) << d.error;
    size_t firstOther = d.log.size();
    for (size_t k = 0; k < d.log.size(); ++k)
        if (d.log[k].find(" r1 ") == std::string::npos) {
            firstOther = k;
            break;
        }
    EXPECT_GT(firstOther, d.indexOf("cumsol/cum r1 y4"));
}

TEST(JobPlan, ComparisonRunWithPyRangeEndsItsStepsWithPyParts) {
    Driver d(6, false, 1, 1);
    JobRequest req = allRuns(6);
    req.FirstSSYear[3] = 5;
    d.start(req);
    d.runToEnd();
    ASSERT_TRUE(d.error.empty()) << d.error;
    EXPECT_LT(d.indexOf("aggrex/cum r2 y7"), d.indexOf("aggrex/py r2 y7"));
    EXPECT_LT(d.indexOf("cumsol/cum r2 y7"), d.indexOf("cumsol/py r2 y7"));
    EXPECT_EQ(d.job.SSStageDone[2], JobKind::Cumsol);
}

TEST(JobPlan, AtStartABotStepIsRedoneEvenIfAnEarlierJobFinishedIt) {
    // An earlier job left valid BOT files for every year.
    Driver d(2, false, 1, 1);
    d.botStillValid = {1, 2};
    JobRequest req = emptyRequest(2);
    for (int run = 2; run <= 3; ++run) {
        req.FirstSimYear[run] = 1;
        req.LastSimYear[run] = 2;
    }
    d.job.LastDoneYear[1] = 2;
    d.start(req);
    d.job.LastDoneYear[1] = 2;  // Base already done in an earlier job
    ASSERT_FALSE(d.log.empty());
    EXPECT_EQ(d.log[0], "bot/env r2 y1");
}

TEST(JobPlan, LoopGuardStopsARepeatedBotStep) {
    Driver d(2, false, 1, 1);
    d.ctx.botNeeded = [](int) { return true; };  // the stored BOT never becomes valid
    JobRequest req = emptyRequest(2);
    req.FirstSimYear[2] = 1;
    req.LastSimYear[2] = 1;
    d.start(req);
    d.job.LastDoneYear[1] = 2;
    d.runToEnd();
    // Rerun only: the year is not in both ranges, so after the first BOT the
    // stale record makes it needed again, and the guard stops the job.
    EXPECT_EQ(d.error, "Have got into infinite loop running BOT job for year 2024 [TrySimType=2]");
}

TEST(JobPlan, FillingFreeSlotsFollowsOnFirstThenSelectsByOrder) {
    Driver d(3, false, 1, 3);
    JobRequest req = allRuns(3);
    normaliseRequest(req, d.ctx, nullptr, d.job);
    // At the start only the Base can run: its first year fills slot 1 and
    // nothing else is ready (policy and rerun wait for the Base year).
    FillPlan start = fillFreeSlots(d.job, d.ctx, d.opt, JobOrder::PolicyAsap, std::nullopt, true);
    ASSERT_TRUE(start.ok) << start.error;
    ASSERT_EQ(start.fills.size(), 1u);
    EXPECT_EQ(start.fills[0].slot, 1);
    EXPECT_EQ(str(start.fills[0].part), "sim/sim r1 y1");
    EXPECT_FALSE(d.job.Jobs[1].InUse) << "the plan leaves the job record alone";

    // Slot 2 busy with a policy part; slot 1 just finished the Base sim:
    // its follow-on part takes the lowest free slot, the next selection the
    // one after it.
    occupySlot(d.job, 2, step("sim", "sim", 3, 1));
    const StepChoice finished = step("sim", "sim", 1, 1);
    FillPlan next = fillFreeSlots(d.job, d.ctx, d.opt, JobOrder::PolicyAsap, finished, false);
    ASSERT_TRUE(next.ok) << next.error;
    ASSERT_GE(next.fills.size(), 1u);
    EXPECT_EQ(next.fills[0].slot, 1);
    EXPECT_EQ(str(next.fills[0].part), "sim/sol r1 y1");
    for (size_t k = 1; k < next.fills.size(); ++k) {
        EXPECT_EQ(next.fills[k].slot, 3);
        EXPECT_NE(str(next.fills[k].part), "sim/sol r1 y1");
    }
    // Every slot taken: nothing to fill.
    occupySlot(d.job, 1, step("sim", "sol", 1, 1));
    occupySlot(d.job, 3, step("sim", "sim", 1, 2));
    EXPECT_TRUE(fillFreeSlots(d.job, d.ctx, d.opt, JobOrder::PolicyAsap, finished, false).fills.empty());
}

TEST(JobPlan, ARestartEndsThePlanAndAFailedSelectionKeepsTheEarlierFills) {
    // One iterating run whose first pass is over: the restart is the plan's
    // last fill even with a second slot free.
    Driver d(2, false, 1, 2);
    JobRequest req = emptyRequest(2);
    req.FirstSimYear[1] = 1;
    req.LastSimYear[1] = 2;
    normaliseRequest(req, d.ctx, nullptr, d.job);
    d.job.LastDoneYear[1] = 2;
    d.job.SSStageDone[1] = JobKind::Cumsol;
    d.ctx.doingRE = true;
    d.ctx.reIterationsDone = [](int) { return 1; };
    d.ctx.reMaxIterations = [](int) { return 3; };
    FillPlan plan = fillFreeSlots(d.job, d.ctx, d.opt, JobOrder::BaseAsap, std::nullopt, false);
    ASSERT_TRUE(plan.ok) << plan.error;
    ASSERT_EQ(plan.fills.size(), 1u);
    EXPECT_TRUE(plan.restarted);
    EXPECT_TRUE(plan.fills[0].reRestart);
    EXPECT_EQ(str(plan.fills[0].part), "sim/sim r1 y1");
    restartRun(d.job, 1);
    EXPECT_EQ(d.job.LastDoneYear[1], 0);
    EXPECT_EQ(d.job.SSStageDone[1], JobKind::None);
    EXPECT_EQ(d.job.SSPartDone[1], PartKind::Csv);
    d.ctx.reIterationsDone = [](int) { return 3; };
    EXPECT_TRUE(fillFreeSlots(d.job, d.ctx, d.opt, JobOrder::BaseAsap, std::nullopt, false).fills.size() ==
                1u)
        << "after the restart the run's first year is selected normally";

    // A BOT step that never becomes valid: the Base fills the first slot,
    // then the selection for the second slot fails.
    Driver g(2, false, 1, 2);
    g.ctx.botNeeded = [](int) { return true; };
    g.botDone = {1};
    JobRequest both = emptyRequest(2);
    both.FirstSimYear[1] = both.LastSimYear[1] = 2;
    both.FirstSimYear[2] = both.LastSimYear[2] = 1;
    normaliseRequest(both, g.ctx, nullptr, g.job);
    FillPlan failed = fillFreeSlots(g.job, g.ctx, g.opt, JobOrder::BaseAsap, std::nullopt, false);
    EXPECT_FALSE(failed.ok);
    ASSERT_EQ(failed.fills.size(), 1u);
    EXPECT_EQ(failed.fills[0].slot, 1);
    EXPECT_EQ(str(failed.fills[0].part), "sim/sim r1 y2");
    EXPECT_EQ(failed.error, "Have got into infinite loop running BOT job for year 2024 [TrySimType=2]");
}

TEST(JobPlan, FollowOnPartsOfEachStep) {
    TBigJobDetails job;
    PlanOptions opt;
    auto next = [&](const char* n, const char* p, int run = 1) {
        auto c = followOnPart(job, opt, step(n, p, run, 7));
        return c ? stepText(c->JobName, c->JobPart) : std::string("-");
    };
    EXPECT_EQ(next("bot", "env"), "bot/tellur1");
    EXPECT_EQ(next("bot", "tellur1"), "bot/sectra1");
    EXPECT_EQ(next("bot", "sectra1"), "-");
    EXPECT_EQ(next("sim", "sim"), "sim/sol");
    EXPECT_EQ(next("sim", "sol"), "-");
    EXPECT_EQ(next("aggrex", "yony"), "aggrex/cum");
    EXPECT_EQ(next("aggrex", "cum"), "-");
    opt.abbreviatedSS = true;
    EXPECT_EQ(next("aggrex", "yony"), "-");
    job.DoDeviations = true;
    EXPECT_EQ(next("cumsol", "cum", 3), "divero/cum");
    opt.yearOnYearDiffs = true;
    EXPECT_EQ(next("cumsol", "cum", 3), "divero/yony");
    EXPECT_EQ(next("divero", "yony", 3), "divero/cum");
    EXPECT_EQ(next("divero", "cum", 3), "devsol/cum");
    opt.useSOLFilesForShocks = true;
    EXPECT_EQ(next("bot", "env"), "bot/solpol");
    EXPECT_EQ(next("bot", "solpol"), "bot/tellur2");
    job.DoPY[2] = true;
    job.SSPartDone[2] = PartKind::Cum;
    EXPECT_EQ(next("cumsol", "cum", 2), "cumsol/py");
    job.SSPartDone[2] = PartKind::Py;
    EXPECT_EQ(next("cumsol", "py", 2), "-");
}

TEST(JobPlan, CompletionRecordsForWholeRangesOnly) {
    PlanContext ctx;
    ctx.numYears = 5;
    ctx.firstPolicyYear = 2;
    TBigJobDetails job;
    PlanOptions opt;
    job.FirstSSYear = {0, 1, 2, 2};
    job.LastSSYear = {0, 5, 5, 4};
    EXPECT_TRUE(recordsCompletion(job, ctx, opt, step("sim", "sol", 1, 1)));
    EXPECT_FALSE(recordsCompletion(job, ctx, opt, step("sim", "sim", 1, 1)));
    EXPECT_TRUE(recordsCompletion(job, ctx, opt, step("bot", "sectra1", 2, 1)));
    EXPECT_TRUE(recordsCompletion(job, ctx, opt, step("cumsol", "cum", 1, 6)));
    EXPECT_TRUE(recordsCompletion(job, ctx, opt, step("cumsol", "cum", 2, 6)));
    EXPECT_FALSE(recordsCompletion(job, ctx, opt, step("devsol", "cum", 3, 6)));  // 2..4 is not whole
    opt.abbreviatedSS = true;
    EXPECT_TRUE(recordsCompletion(job, ctx, opt, step("cumsol", "yony", 1, 6)));
}

TEST(JobPlan, SlotQueriesOnlyLookFromTheFirstSlot) {
    TBigJobDetails job;
    job.FirstSlot = 2;
    job.Jobs[1] = runningSlot("sim", "sim", 1, 3);
    EXPECT_FALSE(IsSimRunning(job, 1, 3));
    job.Jobs[3] = runningSlot("divero", "cum", 2, 4);
    EXPECT_TRUE(IsSSJobRunning(job, 2, JobKind::Aggrex));
    EXPECT_FALSE(IsSSJobRunning(job, 2, JobKind::Cumsol));
    job.Jobs[2] = runningSlot("bot", "env", 2, 4);
    EXPECT_TRUE(IsBotRunning(job, 4));
    EXPECT_FALSE(IsBotRunning(job, 3));
}

}  // namespace
}  // namespace vdln
