#include "runrecord/prereqcheck.h"

#include <algorithm>
#include <functional>

#include "base/fileutil.h"
#include "jobs/recorder.h"
#include "model/filenames.h"
#include "runrecord/appbuilder.h"
#include "runrecord/prereqorder.h"
#include "runrecord/shortnames.h"
#include "support/tempdir.h"

namespace vdln {
namespace {

using Range = std::pair<int, int>;
constexpr Range kNone{0, -1};

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

std::string joined(const std::vector<std::string>& texts) {
    std::string out;
    for (const auto& t : texts) out += t + "\n----\n";
    return out;
}

class PrereqCheckTest : public testing::TempDirTest {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        make(3, 2);
    }
    void make(int years, int firstPolicyYear) {
        app = std::make_unique<testing::AppBuilder>(dir(), years, 1, firstPolicyYear);
    }
    RunRecordEnv& env() { return *app->env; }
    int n() { return app->sim.NumYears; }

    // A job as the engine normalises it: per run the simulation range and
    // whether its spreadsheet job over the whole run is asked for.
    TBigJobDetails job(Range base, Range rerun, Range policy, bool ss = false, bool deviations = false) {
        JobRequest req = emptyRequest(n());
        const Range sims[4] = {kNone, base, rerun, policy};
        for (int r = 1; r <= 3; ++r) {
            if (sims[r].second < sims[r].first) continue;
            req.FirstSimYear[r] = sims[r].first;
            req.LastSimYear[r] = sims[r].second;
            if (ss) {
                req.FirstSSYear[r] = 1;
                req.LastSSYear[r] = n();
            }
        }
        req.DoDeviations = deviations;
        PlanContext ctx;
        ctx.numYears = n();
        ctx.year = [this](int i) { return app->sim.Years[i]; };
        ctx.noRerun = env().noRerun;
        ctx.firstPolicyYear = env().firstPolicyYear;
        TBigJobDetails j;
        normaliseRequest(req, ctx, {}, j);
        return j;
    }
    // Only the spreadsheet jobs of every run (with deviations).
    TBigJobDetails spreadsheetsOnly() {
        JobRequest req = emptyRequest(n());
        for (int r = 1; r <= 3; ++r) {
            req.FirstSSYear[r] = 1;
            req.LastSSYear[r] = n();
        }
        req.DoDeviations = true;
        PlanContext ctx;
        ctx.numYears = n();
        ctx.year = [this](int i) { return app->sim.Years[i]; };
        ctx.noRerun = env().noRerun;
        ctx.firstPolicyYear = env().firstPolicyYear;
        TBigJobDetails j;
        normaliseRequest(req, ctx, {}, j);
        return j;
    }
    PrereqOutcome check(const TBigJobDetails& j) {
        return PreviousSimsEtcStillOk_Version2(env(), j, options, cache, dialogs);
    }
    std::string updatedData(int run, int i) { return env().inWorkDir(UpdatedFileName(app->sim, i, run, env().noRerun, 1)); }
    std::string solution(int run, int i) { return SolutionFile(app->sim, i, run, env().noRerun); }
    // Gives a file new contents (and so a new size) at a later time.
    static void change(const std::string& f) {
        testing::AppBuilder::write(f, "changed since it was recorded");
        auto t = fileWriteTime(f);
        ASSERT_TRUE(t.has_value()) << f;
        ASSERT_TRUE(setFileWriteTime(f, *t + 600000000LL).isOk());
    }

    std::unique_ptr<testing::AppBuilder> app;
    PrereqOptions options;
    BotCache cache;
    ScriptedDialogs dialogs;
};

// ---------------------------------------------------------------------------
// Which items a job does, what they read and what they build on.

TEST_F(PrereqCheckTest, BotJobsBelongToTheJobWhenBothRunsDoTheYearOrTheStoredOnesAreStale) {
    struct Case {
        const char* name;
        bool runEverythingFirst;
        TBigJobDetails job;
        std::vector<int> botYears;
    };
    const Case cases[] = {
        {"whole application, nothing stored", false, job({1, 3}, {2, 3}, {2, 3}), {2, 3}},
        {"policy alone, nothing stored", false, job(kNone, kNone, {2, 3}), {2, 3}},
        {"policy alone, valid BOT files stored", true, job(kNone, kNone, {2, 3}), {}},
        {"rerun and policy again, valid BOT files stored", true, job(kNone, {3, 3}, {3, 3}), {3}},
        {"base alone", false, job({1, 3}, kNone, kNone), {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        testing::TempDirTest::TearDown();
        testing::TempDirTest::SetUp();
        make(3, 2);
        if (c.runEverythingFirst) app->runAll();
        BotCache fresh;
        fresh.begin();
        PrereqPlan plan(env(), c.job, [&](int i) { return BotNeeded(env(), fresh, i); });
        std::vector<int> bots;
        for (const WorkItem& it : plan.jobItems())
            if (it.type == kItemBot) bots.push_back(it.year);
        EXPECT_EQ(bots, c.botYears);
    }
}

TEST_F(PrereqCheckTest, ItemsBuildOnThePreviousYearTheBotJobAndTheSolutionFiles) {
    const TBigJobDetails j = job({1, 3}, {2, 3}, {2, 3}, true, true);
    PrereqPlan plan(env(), j, [](int) { return true; });
    struct Case {
        WorkItem item;
        std::vector<WorkItem> dependsOn;
    };
    const int ss = n() + 1, dev = n() + 2;
    const Case cases[] = {
        {{kItemBase, 1}, {}},
        {{kItemBase, 2}, {{kItemBase, 1}}},
        // The first policy year starts from the Base's previous year.
        {{kItemBot, 2}, {{kItemBase, 2}, {kItemBase, 1}}},
        {{kItemRerun, 2}, {{kItemBase, 1}, {kItemBot, 2}}},
        {{kItemPolicy, 3}, {{kItemPolicy, 2}, {kItemBot, 3}}},
        {{kItemBot, 3}, {{kItemBase, 3}, {kItemRerun, 2}}},
        {{kItemBase, ss}, {{kItemBase, 1}, {kItemBase, 2}, {kItemBase, 3}}},
        {{kItemPolicy, ss}, {{kItemPolicy, 2}, {kItemPolicy, 3}}},
        {{kItemPolicy, dev},
         {{kItemRerun, 2}, {kItemPolicy, 2}, {kItemRerun, 3}, {kItemPolicy, 3}, {kItemRerun, ss}, {kItemPolicy, ss}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(plan.describe(c.item));
        EXPECT_EQ(plan.dependsOn(c.item), c.dependsOn);
    }
    EXPECT_TRUE(plan.prerequisites().empty()) << "the whole application builds on nothing earlier";
}

TEST_F(PrereqCheckTest, PrerequisitesAreFollowedBackThroughEarlierResults) {
    struct Case {
        const char* name;
        TBigJobDetails job;
        std::vector<WorkItem> prerequisites;
    };
    const Case cases[] = {
        {"later Base years", job({2, 3}, kNone, kNone), {{kItemBase, 1}}},
        {"the Policy's spreadsheet job",
         [&] {
             TBigJobDetails j = spreadsheetsOnly();
             j.DoSS[1] = j.DoSS[2] = false;
             j.DoDeviations = false;
             return j;
         }(),
         {{kItemBase, 1}, {kItemBase, 2}, {kItemBot, 2}, {kItemPolicy, 2}, {kItemBase, 3}, {kItemBot, 3},
          {kItemRerun, 2}, {kItemPolicy, 3}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PrereqPlan plan(env(), c.job, [](int) { return false; });
        std::vector<WorkItem> want = c.prerequisites;
        std::sort(want.begin(), want.end(), [&](WorkItem a, WorkItem b) { return plan.order(a) < plan.order(b); });
        EXPECT_EQ(plan.prerequisites(), want);
    }
}

// ---------------------------------------------------------------------------
// The order of the checks.

TEST_F(PrereqCheckTest, ARequestOutOfSequenceIsRefusedBeforeAnythingElse) {
    make(5, 1);
    std::remove(env().modelFile.c_str());  // would be reported later
    const PrereqOutcome out = check(job({3, 5}, kNone, {4, 5}));
    EXPECT_FALSE(out.goAhead);
    const std::string want = sequenceCheckMessage(job({3, 5}, kNone, {4, 5}), 1,
                                                  [&](int i) { return app->sim.Years[i]; }, false, false);
    ASSERT_FALSE(want.empty());
    EXPECT_EQ(dialogs.messages(), std::vector<std::string>{want});
    EXPECT_EQ(out.problem, want);
    EXPECT_TRUE(dialogs.waitTitles().empty()) << "refused before the wait window";
    EXPECT_FALSE(cache.inUse());
}

TEST_F(PrereqCheckTest, AModelProgramOfAnOldReleaseStopsTheCheck) {
    TSVVersionInfo old;
    old.ReleaseKnown = true;
    old.Release = 60000;
    old.CompilerKnown = true;
    old.Compiler = "LF95";
    options.version = &old;
    bool cleared = false;
    options.clearModel = [&] { cleared = true; };
    std::remove(env().modelFile.c_str());
    const PrereqOutcome out = check(job({1, 3}, kNone, kNone));
    EXPECT_FALSE(out.goAhead);
    EXPECT_TRUE(cleared);
    ASSERT_EQ(dialogs.messages().size(), 2u) << "the refusal and the note that the model was cleared";
    EXPECT_EQ(dialogs.messages()[0], out.problem);
    EXPECT_TRUE(contains(out.problem, " was not made SOLVANE Release 7.0 or later.")) << out.problem;

    // A current release goes on to the essential inputs.
    TSVVersionInfo current = old;
    current.Release = 80000;
    options.version = &current;
    dialogs.clear();
    const PrereqOutcome next = check(job({1, 3}, kNone, kNone));
    EXPECT_FALSE(next.goAhead);
    EXPECT_TRUE(contains(next.problem, "The Model Lexor-generated EXE")) << next.problem;
}

TEST_F(PrereqCheckTest, TheWaitWindowNamesEachStageAndIsNeverShownInBatchMode) {
    app->runRun(1);
    options.fewerMessages = true;
    ASSERT_TRUE(check(job({2, 3}, kNone, kNone)).goAhead) << joined(dialogs.messages());
    EXPECT_EQ(dialogs.waitTitles(), std::vector<std::string>{"Please Wait - Vardelon at work"});
    EXPECT_EQ(dialogs.waitStages(), (std::vector<std::string>{
                                        "Checking if prerequisite files exist",
                                        " Checking if essential user inputs all exist",
                                        " Checking if essential user inputs all exist. [YearNo = 1]",
                                        " Checking if essential user inputs all exist. [YearNo = 2]",
                                        " Checking if essential user inputs all exist. [YearNo = 3]",
                                        "Checking if essential files exist",
                                        " Checking if previous sims are still ok",
                                        "Checking if previous sims are still ok. [YearNo = 1]",
                                    }));
    ScriptedDialogs batch;
    options.batchMode = true;
    ASSERT_TRUE(PreviousSimsEtcStillOk_Version2(env(), job({2, 3}, kNone, kNone), options, cache, batch).goAhead);
    EXPECT_TRUE(batch.waitTitles().empty());
    EXPECT_TRUE(batch.waitStages().empty());
}

TEST_F(PrereqCheckTest, TheBotCacheIsResetForTheCheckAndOffAfterIt) {
    app->runAll();
    cache.set(2, 'y');  // left from an earlier check
    options.checkPrerequisites = false;
    ASSERT_TRUE(check(job(kNone, kNone, {2, 3})).goAhead);
    EXPECT_FALSE(cache.inUse());
    EXPECT_EQ(cache.entry(2), 'n') << "worked out afresh: the stored BOT files are valid";
    EXPECT_EQ(cache.entry(3), 'n');
}

// ---------------------------------------------------------------------------
// Pass 1: files the job needs.

TEST_F(PrereqCheckTest, AWholeJobNeedsNoStoredResults) {
    for (bool noRerun : {false, true}) {
        SCOPED_TRACE(noRerun ? "no-rerun mode" : "with rerun");
        env().noRerun = noRerun;
        dialogs.clear();
        const PrereqOutcome out = check(job({1, 3}, {2, 3}, {2, 3}, true, true));
        EXPECT_TRUE(out.goAhead);
        EXPECT_EQ(dialogs.messages(), std::vector<std::string>{kCheckPrerequisitesQuestion})
            << "no BOT file, solution or updated data exists yet, and the job makes them all";
    }
}

TEST_F(PrereqCheckTest, AMissingFileNoStepOfTheJobMakesIsReportedAndMayBeOverridden) {
    const std::string missing = updatedData(1, 1);
    const std::string want = "    The data file " + missing +
                             "\r\n     created by the simulation for year 2024 (year number 1) of the Base"
                             "\r\n     does not exist."
                             "\r\n    This file will not be created by any of the other jobs you are about to run."
                             "\r\n    This makes it IMPOSSIBLE to run the simulation for year 2025 (year number 2) "
                             "of the Base.";
    // No: the job does not start.
    dialogs.queueButton(BtnOk);
    dialogs.queueButton(BtnNo);
    PrereqOutcome out = check(job({2, 3}, kNone, kNone));
    EXPECT_FALSE(out.goAhead);
    EXPECT_EQ(out.problem, want);
    EXPECT_EQ(dialogs.messages(), (std::vector<std::string>{want, kIgnoreMissingFilesQuestion}));
    // Yes: the job goes ahead at once, without the still-ok pass.
    dialogs.clear();
    dialogs.queueButton(BtnOk);
    dialogs.queueButton(BtnYes);
    out = check(job({2, 3}, kNone, kNone));
    EXPECT_TRUE(out.goAhead);
    EXPECT_EQ(dialogs.messages(), (std::vector<std::string>{want, kIgnoreMissingFilesQuestion}));
}

TEST_F(PrereqCheckTest, EachKindOfMissingInputHasItsRoleAndProducer) {
    app->runAll();
    options.checkPrerequisites = false;
    struct Case {
        const char* name;
        std::function<std::string()> remove;  // removes a file, returns the expected text
        TBigJobDetails job;
    };
    const std::string sp = "simulation for year 2026 (year number 3) of the ";
    const Case cases[] = {
        {"starting data",
         [&] {
             const std::string f = env().inWorkDir("basedata2023.har");
             std::remove(f.c_str());
             return "    The starting data file " + f +
                    "\r\n     (see the Data part of the Model/Data page)\r\n     does not exist."
                    "\r\n    This file will not be created by any of the other jobs you are about to run."
                    "\r\n    This makes it IMPOSSIBLE to run the simulation for year 2024 (year number 1) of the Base.";
         },
         job({1, 1}, kNone, kNone)},
        {"Base solution read by a BOT job",
         [&] {
             // The BOT files of the year are then no longer valid, so the job
             // makes them again, from this solution file.
             const std::string f = solution(1, 3);
             std::remove(f.c_str());
             return "    The Solution file from the " + sp + "Base " + f + "\r\n     created by the " + sp +
                    "Base\r\n     does not exist."
                    "\r\n    This file will not be created by any of the other jobs you are about to run."
                    "\r\n    This makes it IMPOSSIBLE to run the BOT job for year 2026.";
         },
         job(kNone, kNone, {3, 3})},
        {"solution file read by a spreadsheet job",
         [&] {
             const std::string f = solution(3, 2);
             std::remove(f.c_str());
             return "    The Solution file from the simulation for year 2025 (year number 2) of the Policy " + f +
                    "\r\n     created by the simulation for year 2025 (year number 2) of the Policy"
                    "\r\n     does not exist."
                    "\r\n    This file will not be created by any of the other jobs you are about to run."
                    "\r\n    This makes it IMPOSSIBLE to run the ss job for the Policy.";
         },
         [&] {
             TBigJobDetails j = spreadsheetsOnly();
             j.DoDeviations = false;
             return j;
         }()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string want = c.remove();
        dialogs.clear();
        dialogs.queueButton(BtnOk);
        dialogs.queueButton(BtnNo);
        const PrereqOutcome out = check(c.job);
        EXPECT_FALSE(out.goAhead);
        EXPECT_EQ(out.problem, want);
        // Every file back.
        testing::AppBuilder::write(env().inWorkDir("basedata2023.har"), "first year data of BASEDATA");
        app->runAll();
    }
}

TEST_F(PrereqCheckTest, TheSolFileForShocksIsNeededOnlyWhenThatOptionIsOn) {
    env().solFileShocks = true;
    app->runAll();
    const std::string sol = BotResultsFile(app->sim, 3, false);
    std::remove(sol.c_str());
    // As if the stored BOT job of the year had been judged valid.
    const TBigJobDetails j = job(kNone, kNone, {3, 3});
    PrereqPlan plan(env(), j, [](int) { return false; });
    EXPECT_EQ(missingPrerequisiteFiles(plan),
              std::vector<std::string>{"    The SOL file for Shocks " + sol +
                                       "\r\n     created by the BOT job for year 2026\r\n     does not exist."
                                       "\r\n    This file will not be created by any of the other jobs you are about "
                                       "to run.\r\n    This makes it IMPOSSIBLE to run the simulation for year 2026 "
                                       "(year number 3) of the Policy."});
    env().solFileShocks = false;
    EXPECT_TRUE(missingPrerequisiteFiles(plan).empty());
    // Judged afresh, the stored BOT job is not valid without its SOL file:
    // the job makes both again.
    env().solFileShocks = true;
    options.checkPrerequisites = false;
    EXPECT_TRUE(check(j).goAhead);
    EXPECT_TRUE(dialogs.messages().empty()) << joined(dialogs.messages());
}

TEST_F(PrereqCheckTest, SpreadsheetsAfterAWholeRunAndLaterBaseYearsPass) {
    app->runAll();
    options.fewerMessages = true;
    struct Case {
        const char* name;
        TBigJobDetails job;
    };
    const Case cases[] = {
        {"all spreadsheets", spreadsheetsOnly()},
        {"Base from year 2", job({2, 3}, kNone, kNone)},
        {"whole application again", job({1, 3}, {2, 3}, {2, 3}, true, true)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        dialogs.clear();
        EXPECT_TRUE(check(c.job).goAhead);
        EXPECT_TRUE(dialogs.messages().empty()) << joined(dialogs.messages());
    }
}

// ---------------------------------------------------------------------------
// Pass 2: earlier results.

TEST_F(PrereqCheckTest, AnEarlierResultChangedOnDiskIsFoundOnlyWhenPrerequisitesAreChecked) {
    app->runRun(1);
    change(updatedData(1, 1));
    options.checkPrerequisites = false;
    EXPECT_TRUE(check(job({2, 3}, kNone, kNone)).goAhead);
    EXPECT_TRUE(dialogs.messages().empty()) << "no earlier result examined";

    options.checkPrerequisites = true;
    dialogs.clear();
    dialogs.queueButton(BtnYes);  // check?
    dialogs.queueButton(BtnOk);   // the problems
    dialogs.queueButton(BtnNo);   // ignore them?
    const PrereqOutcome out = check(job({2, 3}, kNone, kNone));
    EXPECT_FALSE(out.goAhead);
    ASSERT_EQ(dialogs.messages().size(), 3u);
    EXPECT_EQ(dialogs.messages()[0], kCheckPrerequisitesQuestion);
    EXPECT_EQ(dialogs.messages()[1], out.problem);
    EXPECT_EQ(dialogs.messages()[2], kIgnorePrerequisiteProblemsQuestion);
    EXPECT_TRUE(contains(out.problem, "Results from the simulation for year 2024 (year number 1) of the Base are not "
                                      "ok.\r\n  The updated data file with logical name BASEDATA"))
        << out.problem;
    EXPECT_TRUE(fileExists(runRecordBackupName(env().keep.BaseFile))) << "the records are backed up first";

    // Yes to the override lets the job go.
    dialogs.clear();
    dialogs.queueButton(BtnYes);
    dialogs.queueButton(BtnOk);
    dialogs.queueButton(BtnYes);
    EXPECT_TRUE(check(job({2, 3}, kNone, kNone)).goAhead);
}

TEST_F(PrereqCheckTest, TheQuestionBeforeTheStillOkPassCanSkipItOrBeLeftOut) {
    app->runRun(1);
    change(updatedData(1, 1));
    dialogs.queueButton(BtnNo);
    EXPECT_TRUE(check(job({2, 3}, kNone, kNone)).goAhead);
    EXPECT_EQ(dialogs.messages(), std::vector<std::string>{kCheckPrerequisitesQuestion});

    options.fewerMessages = true;
    dialogs.clear();
    dialogs.queueButton(BtnOk);
    dialogs.queueButton(BtnNo);
    EXPECT_FALSE(check(job({2, 3}, kNone, kNone)).goAhead);
    ASSERT_EQ(dialogs.messages().size(), 2u);
    EXPECT_EQ(dialogs.messages()[1], kIgnorePrerequisiteProblemsQuestion) << "checked without asking";
}

TEST_F(PrereqCheckTest, StepsCompletedOutOfOrderAreReported) {
    // Base year 3 recorded before year 2: the Base's spreadsheet job builds on both.
    app->runStep(1, 1, StepKind::Sim);
    app->runStep(1, 3, StepKind::Sim);
    app->runStep(1, 2, StepKind::Sim);
    options.fewerMessages = true;
    TBigJobDetails ss = spreadsheetsOnly();
    ss.DoSS[2] = ss.DoSS[3] = ss.DoDeviations = false;
    dialogs.queueButton(BtnOk);
    dialogs.queueButton(BtnNo);  // do not ignore the problems
    const PrereqOutcome out = check(ss);
    EXPECT_FALSE(out.goAhead);
    EXPECT_TRUE(contains(out.problem, "Sim for year 2026 of Base was completed before sim for year 2025.")) << out.problem;
}

TEST_F(PrereqCheckTest, RedoingABaseYearMakesTheStoredResultsBuiltOnItStale) {
    // Policy from year 3: the rerun of Base year 2 comes before the BOT job of
    // year 3, whose starting data it makes, and before the Base's year 3.
    make(3, 3);
    app->runAll();
    options.fewerMessages = true;
    dialogs.queueButton(BtnOk);
    dialogs.queueButton(BtnNo);  // do not ignore the problems
    const PrereqOutcome out = check(job({2, 2}, kNone, {3, 3}));
    EXPECT_FALSE(out.goAhead);
    EXPECT_EQ(out.problem,
              "Sim for year 2026 of Base was completed before sim for year 2025.\r\n"
              "   The BOT job for year 2026 was completed before the simulation for year 2025 (year number 2) of the "
              "Base\r\n"
              "      [The starting data for this BOT job includes updated data from that simulation.]");
}

TEST_F(PrereqCheckTest, AStepNeverCompletedIsReported) {
    // Files are there but the Base's year 1 was never recorded.
    app->runRun(1);
    std::remove(env().keep.BaseFile.c_str());
    dialogs.queueButton(BtnOk);
    dialogs.queueButton(BtnNo);  // do not ignore the problems
    options.fewerMessages = true;
    const PrereqOutcome out = check(job({2, 3}, kNone, kNone));
    EXPECT_FALSE(out.goAhead);
    EXPECT_EQ(out.problem, "Simulation for year 2024 (year number 1) of the Base has not been completed.");
}

// ---------------------------------------------------------------------------
// Short names and the recorder.

class ShortNameTest : public PrereqCheckTest {};

TEST_F(ShortNameTest, ADataFileNamedByItsShortNameInAClosureOrShockFileIsRefused) {
    struct Case {
        const char* name;
        const char* file;
        std::string contents;
        bool ok;
    };
    const Case cases[] = {
        {"shock file reads the data file", "B2025.BSH", "shock x = file \"BaseData2023.HAR\" header \"X\" ;\n", false},
        {"closure reads it", "BASE.CLS", "exogenous x l t ;\nrest endogenous ;\ntake x from file basedata2023.har ;\n",
         false},
        {"another file", "B2025.BSH", "shock x = file \"grow.har\" header \"G2025\" ;\n", true},
        {"named with its folder", "B2025.BSH",
         "shock x = file \"" + app->work + "/basedata2023.har\" header \"X\" ;\n", true},
    };
    const TBigJobDetails j = job({1, 3}, kNone, kNone);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        testing::AppBuilder::write(JoinPath(app->work, c.file), c.contents);
        dialogs.clear();
        const ShortNameOutcome out = CheckShortNamesDataCMFBits(env(), j, dialogs);
        EXPECT_EQ(out.ok, c.ok);
        if (!c.ok) {
            const std::string want = "File with short name \"basedata2023.har\" is used\r\n"
                                     " as a data file (Model/Data page)\r\n"
                                     "and in file " + JoinPath(app->work, c.file) +
                                     " on the Closure/Shocks page.\r\n"
                                     "Sorry, but this is not allowed.\r\n"
                                     "Please change this.";
            EXPECT_EQ(out.problem, want);
            EXPECT_EQ(dialogs.messages(), std::vector<std::string>{want});
        } else {
            EXPECT_TRUE(dialogs.messages().empty());
        }
        // Back to the builder's files.
        testing::AppBuilder::write(JoinPath(app->work, "BASE.CLS"), "exogenous x l t ; rest endogenous ;\n");
        testing::AppBuilder::write(JoinPath(app->work, "B2025.BSH"), "shock x = file \"grow.har\" header \"G2025\" ;\n");
    }
}

TEST_F(ShortNameTest, AFileThatCannotBeFoundIsAnInternalProblemThatDoesNotStopTheJob) {
    std::remove(JoinPath(app->work, "B2025.BSH").c_str());
    std::remove(JoinPath(app->work, "B2026.BSH").c_str());
    const ShortNameOutcome out = CheckShortNamesDataCMFBits(env(), job({1, 3}, kNone, kNone), dialogs);
    EXPECT_TRUE(out.ok);
    EXPECT_EQ(dialogs.messages(), std::vector<std::string>{kShortNameInternalProblem}) << "said once";
}

TEST_F(ShortNameTest, TheRecorderStopsTheJobAndKeepsTheProblemText) {
    RunRecordRecorder recorder(env(), dialogs, true);
    PrereqOptions opt;
    opt.fewerMessages = true;
    recorder.setPrereqOptions(opt);
    EXPECT_TRUE(recorder.prerequisitesOk(job({1, 3}, kNone, kNone)));
    EXPECT_EQ(recorder.lastProblem(), "");

    testing::AppBuilder::write(JoinPath(app->work, "B2024.BSH"), "shock x = file basedata2023.har header \"X\" ;\n");
    EXPECT_FALSE(recorder.prerequisitesOk(job({1, 3}, kNone, kNone)));
    EXPECT_TRUE(contains(recorder.lastProblem(), "File with short name \"basedata2023.har\" is used")) << recorder.lastProblem();

    std::remove(JoinPath(app->work, "POLICY.CLS").c_str());
    EXPECT_FALSE(recorder.prerequisitesOk(job({1, 3}, {2, 3}, {2, 3})));
    EXPECT_TRUE(contains(recorder.lastProblem(), "POLICY.CLS (see the Closure/Shocks page) does not exist."))
        << recorder.lastProblem();
    EXPECT_TRUE(dialogs.waitTitles().empty()) << "the recorder in batch mode shows no wait window";
}

}  // namespace
}  // namespace vdln
