#include "runrecord/prereqcheck.h"

#include <algorithm>
#include <functional>

#include "base/fileutil.h"
#include "doubles/scripteddialogs.h"
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

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// A pass-1 message: the input's line, its producer line, and the fixed tail
// naming the item that cannot run.
std::string missingText(const std::string& input, const std::string& producer, const std::string& item) {
    return input + "\r\n" + producer + "\r\n     does not exist." +
           "\r\n    This file will not be created by any of the other jobs you are about to run." +
           "\r\n    This makes it IMPOSSIBLE to run the " + item + ".";
}

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
    // A new application; `folder` (under the test's folder) keeps cases of
    // one test apart.
    void make(int years, int firstPolicyYear, const std::string& folder = "") {
        app = std::make_unique<testing::AppBuilder>(folder.empty() ? dir() : path(folder), years, 1,
                                                    firstPolicyYear);
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
        return normalised(req);
    }
    // The request as the engine normalises it at the start of a job.
    TBigJobDetails normalised(JobRequest req) {
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
        return normalised(req);
    }
    PrereqOutcome check(const TBigJobDetails& j) {
        return PreviousSimsEtcStillOk_Version2(env(), j, options, cache, dialogs);
    }
    std::string updatedData(int run, int i) {
        return env().inWorkDir(UpdatedFileName(app->sim, i, run, env().noRerun, 1));
    }
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
        // The rerun remakes the starting data of the BOT jobs after its first year.
        {"rerun alone, valid BOT files stored", true, job(kNone, {2, 3}, kNone), {3}},
        {"Base and policy, valid BOT files stored", true, job({1, 3}, kNone, {2, 3}), {2, 3}},
        {"base alone", false, job({1, 3}, kNone, kNone), {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        make(3, 2, "case" + std::to_string(&c - cases));
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
    const int ss = n() + 1, dev = n() + 2;
    PrereqPlan whole(env(), job({1, 3}, {2, 3}, {2, 3}, true, true), [](int) { return true; });
    const std::pair<WorkItem, std::vector<WorkItem>> cases[] = {
        {{kItemBase, 1}, {}},
        {{kItemBase, 2}, {{kItemBase, 1}}},
        // The first policy year starts from the Base's previous year.
        {{kItemBot, 2}, {{kItemBase, 2}, {kItemBase, 1}}},
        {{kItemRerun, 2}, {{kItemBase, 1}, {kItemBot, 2}}},
        {{kItemPolicy, 3}, {{kItemPolicy, 2}, {kItemBot, 3}}},
        {{kItemBot, 3}, {{kItemBase, 3}, {kItemRerun, 2}}},
        {{kItemBase, ss}, {{kItemBase, 1}, {kItemBase, 2}, {kItemBase, 3}}},
        {{kItemPolicy, dev},
         {{kItemRerun, 2},
          {kItemPolicy, 2},
          {kItemRerun, 3},
          {kItemPolicy, 3},
          {kItemRerun, ss},
          {kItemPolicy, ss}}},
    };
    for (const auto& [item, deps] : cases) {
        SCOPED_TRACE(whole.describe(item));
        EXPECT_EQ(whole.dependsOn(item), deps);
    }
    EXPECT_TRUE(whole.prerequisites().empty()) << "the whole application builds on nothing earlier";

    // The Policy's spreadsheet job alone builds on everything before it.
    TBigJobDetails policySS = spreadsheetsOnly();
    policySS.DoSS[1] = policySS.DoSS[2] = policySS.DoDeviations = false;
    PrereqPlan plan(env(), policySS, [](int) { return false; });
    EXPECT_EQ(plan.prerequisites(), (std::vector<WorkItem>{{kItemBase, 1},
                                                           {kItemBase, 2},
                                                           {kItemBot, 2},
                                                           {kItemRerun, 2},
                                                           {kItemPolicy, 2},
                                                           {kItemBase, 3},
                                                           {kItemBot, 3},
                                                           {kItemPolicy, 3}}));
}

// ---------------------------------------------------------------------------
// The order of the checks.

TEST_F(PrereqCheckTest, ARequestOutOfSequenceIsRefusedBeforeAnythingElse) {
    make(5, 1);
    std::remove(env().modelFile.c_str());  // would be reported later
    const PrereqOutcome out = check(job({3, 5}, kNone, {4, 5}));
    EXPECT_FALSE(out.goAhead);
    const std::string want = sequenceCheckMessage(
        job({3, 5}, kNone, {4, 5}), 1, [&](int i) { return app->sim.Years[i]; }, false, false);
    ASSERT_FALSE(want.empty());
    EXPECT_EQ(dialogs.messages(), std::vector<std::string>{want});
    EXPECT_EQ(out.problem, want);
    EXPECT_TRUE(dialogs.waitTitles().empty()) << "refused before the wait window";
    EXPECT_FALSE(cache.inUse());
}

TEST_F(PrereqCheckTest, AModelProgramOfAnOldReleaseStopsTheCheck) {
    TSVVersionInfo version;
    version.ReleaseKnown = version.CompilerKnown = true;
    version.Release = 60000;
    version.Compiler = "LF95";
    options.version = &version;
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
    version.Release = 80000;
    EXPECT_TRUE(contains(check(job({1, 3}, kNone, kNone)).problem, "The Model Lexor-generated EXE"));
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
    ASSERT_TRUE(
        PreviousSimsEtcStillOk_Version2(env(), job({2, 3}, kNone, kNone), options, cache, batch).goAhead);
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

TEST_F(PrereqCheckTest, JobsThatHaveWhatTheyNeedGoAheadAskingOnlyAboutEarlierResults) {
    struct Case {
        const char* name;
        bool runEverythingFirst;
        bool noRerun;
        std::function<TBigJobDetails()> job;
        bool buildsOnEarlierResults;  // the still-ok question is asked
    };
    const Case cases[] = {
        // No BOT file, solution or updated data exists yet: the job makes them.
        {"whole application, nothing stored", false, false,
         [&] {
             return job({1, 3}, {2, 3}, {2, 3}, true, true);
         },
         false},
        {"whole application, no rerun", false, true,
         [&] {
             return job({1, 3}, kNone, {2, 3}, true, true);
         },
         false},
        {"all spreadsheets after a whole run", true, false, [&] { return spreadsheetsOnly(); }, true},
        {"Base from year 2 after a whole run", true, false,
         [&] {
             return job({2, 3}, kNone, kNone);
         },
         true},
        {"whole application again", true, false,
         [&] {
             return job({1, 3}, {2, 3}, {2, 3}, true, true);
         },
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        make(3, 2, "case" + std::to_string(&c - cases));
        env().noRerun = c.noRerun;
        if (c.runEverythingFirst) app->runAll();
        dialogs.clear();
        EXPECT_TRUE(check(c.job()).goAhead);
        EXPECT_EQ(dialogs.messages(), c.buildsOnEarlierResults
                                          ? std::vector<std::string>{kCheckPrerequisitesQuestion}
                                          : std::vector<std::string>{});
    }
}

TEST_F(PrereqCheckTest, AMissingFileNoStepOfTheJobMakesIsReportedAndMayBeOverridden) {
    const std::string want =
        missingText("    The data file " + updatedData(1, 1),
                    "     created by the simulation for year 2024 (year number 1) of the Base",
                    "simulation for year 2025 (year number 2) of the Base");
    for (Button answer : {BtnNo, BtnYes}) {
        SCOPED_TRACE(answer == BtnYes ? "Yes" : "No");
        dialogs.clear();
        dialogs.queueButton(BtnOk);
        dialogs.queueButton(answer);
        const PrereqOutcome out = check(job({2, 3}, kNone, kNone));
        EXPECT_EQ(out.goAhead, answer == BtnYes);
        EXPECT_EQ(out.problem, answer == BtnYes ? "" : want);
        // Yes goes ahead at once, without the still-ok pass and its question.
        EXPECT_EQ(dialogs.messages(), (std::vector<std::string>{want, kIgnoreMissingFilesQuestion}));
    }
    // In batch mode nobody can answer: the job does not start.
    options.batchMode = true;
    dialogs.clear();
    const PrereqOutcome batch = check(job({2, 3}, kNone, kNone));
    EXPECT_FALSE(batch.goAhead);
    EXPECT_EQ(batch.problem, want);
    EXPECT_EQ(dialogs.messages(), std::vector<std::string>{want});
}

TEST_F(PrereqCheckTest, EachKindOfMissingInputHasItsRoleAndProducer) {
    app->runAll();
    options.checkPrerequisites = false;
    const std::string sp = "simulation for year 2026 (year number 3) of the ";
    const std::string firstYear = env().inWorkDir("basedata2023.har");
    TBigJobDetails policySS = spreadsheetsOnly();
    policySS.DoDeviations = false;
    TBigJobDetails deviationsOnly = spreadsheetsOnly();
    deviationsOnly.DoSS[1] = deviationsOnly.DoSS[2] = false;
    std::string rerunCumulative;  // as the Rerun's spreadsheet job recorded it
    for (const auto& [key, file] : spreadsheetOutputs(env(), 2))
        if (key == "Output RSL cum") rerunCumulative = file;
    ASSERT_TRUE(fileExists(rerunCumulative)) << rerunCumulative;
    struct Case {
        const char* name;
        std::string removed;
        TBigJobDetails job;
        std::string want;
    };
    const Case cases[] = {
        {"starting data", firstYear, job({1, 1}, kNone, kNone),
         missingText("    The starting data file " + firstYear,
                     "     (see the Data part of the Model/Data page)",
                     "simulation for year 2024 (year number 1) of the Base")},
        // The BOT files of the year are then no longer valid, so the job makes
        // them again, from this solution file.
        {"Base solution read by a BOT job", solution(1, 3), job(kNone, kNone, {3, 3}),
         missingText("    The Solution file from the " + sp + "Base " + solution(1, 3),
                     "     created by the " + sp + "Base", "BOT job for year 2026")},
        {"solution file read by a spreadsheet job", solution(3, 2), policySS,
         missingText(
             "    The Solution file from the simulation for year 2025 (year number 2) of the Policy " +
                 solution(3, 2),
             "     created by the simulation for year 2025 (year number 2) of the Policy",
             "ss job for the Policy")},
        {"comparison run's cumulative results read by the deviations", rerunCumulative, deviationsOnly,
         missingText("    The cumulative results file from the ss job for the Rerun " + rerunCumulative,
                     "     created by the ss job for the Rerun", "differences ss job for the Policy")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string kept = testing::readFile(c.removed);
        std::remove(c.removed.c_str());
        dialogs.queueButton(BtnOk);
        dialogs.queueButton(BtnNo);
        EXPECT_EQ(check(c.job).problem, c.want);
        testing::AppBuilder::write(c.removed, kept);
        app->runAll();  // records every step again
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
              std::vector<std::string>{missingText(
                  "    The SOL file for Shocks " + sol, "     created by the BOT job for year 2026",
                  "simulation for year 2026 (year number 3) of the Policy")});
    env().solFileShocks = false;
    EXPECT_TRUE(missingPrerequisiteFiles(plan).empty());
    // Judged afresh, the stored BOT job is not valid without its SOL file:
    // the job makes both again.
    env().solFileShocks = true;
    options.checkPrerequisites = false;
    EXPECT_TRUE(check(j).goAhead);
    EXPECT_TRUE(dialogs.messages().empty()) << joined(dialogs.messages());
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
    EXPECT_TRUE(contains(out.problem,
                         "Results from the simulation for year 2024 (year number 1) of the Base are not "
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

TEST_F(PrereqCheckTest, EarlierStepsOutOfOrderOrNeverCompletedAreReported) {
    options.fewerMessages = true;
    TBigJobDetails baseSS = spreadsheetsOnly();
    baseSS.DoSS[2] = baseSS.DoSS[3] = baseSS.DoDeviations = false;
    TBigJobDetails policyAfterBase1 = spreadsheetsOnly();
    policyAfterBase1.DoSS[1] = policyAfterBase1.DoSS[2] = policyAfterBase1.DoDeviations = false;
    policyAfterBase1.DoSims[1] = true;
    policyAfterBase1.FirstSimYear[1] = policyAfterBase1.LastSimYear[1] = 1;
    struct Case {
        const char* name;
        int firstPolicyYear;
        std::function<void()> earlier;
        TBigJobDetails job;
        std::string want;  // the whole text, or its first line
    };
    const Case cases[] = {
        {"Base year 3 recorded before year 2", 2,
         [&] {
             app->runStep(1, 1, StepKind::Sim);
             app->runStep(1, 3, StepKind::Sim);
             app->runStep(1, 2, StepKind::Sim);
         },
         baseSS, "Sim for year 2026 of Base was completed before sim for year 2025."},
        // Redoing Base year 2 makes the stored Base year 3 out of date; the
        // BOT job of year 3, whose starting data it also makes, is redone.
        {"a Base year redone before the policy", 3, [&] { app->runAll(); }, job({2, 2}, kNone, {3, 3}),
         "Sim for year 2026 of Base was completed before sim for year 2025."},
        {"the first Base year redone before the Policy's spreadsheet job", 2, [&] { app->runAll(); },
         policyAfterBase1,
         "Sim for year 2025 of Base was completed before sim for year 2024.\r\n"
         "   The BOT job for year 2025 was completed before the simulation for year 2024 (year number 1) of "
         "the "
         "Base\r\n      [The starting data for this BOT job includes updated data from that simulation.]\r\n"
         "   The simulation for year 2025 (year number 2) of the Rerun was completed before the simulation "
         "for year "
         "2024 (year number 1) of the Base\r\n"},
        {"files there but no record", 2,
         [&] {
             app->runRun(1);
             std::remove(env().keep.BaseFile.c_str());
         },
         job({2, 3}, kNone, kNone),
         "Simulation for year 2024 (year number 1) of the Base has not been completed."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        make(3, c.firstPolicyYear, "case" + std::to_string(&c - cases));
        c.earlier();
        dialogs.queueButton(BtnOk);
        dialogs.queueButton(BtnNo);
        const PrereqOutcome out = check(c.job);
        EXPECT_FALSE(out.goAhead);
        EXPECT_EQ(out.problem.substr(0, c.want.size()), c.want);
    }
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
        {"shock file reads the data file", "B2025.BSH",
         "shock x = file \"BaseData2023.HAR\" header \"X\" ;\n", false},
        {"closure reads it", "BASE.CLS",
         "exogenous x l t ;\nrest endogenous ;\ntake x from file basedata2023.har ;\n", false},
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
            const std::string want =
                "File with short name \"basedata2023.har\" is used\r\n"
                " as a data file (Model/Data page)\r\n"
                "and in file " +
                JoinPath(app->work, c.file) +
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
        testing::AppBuilder::write(JoinPath(app->work, "B2025.BSH"),
                                   "shock x = file \"grow.har\" header \"G2025\" ;\n");
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

    testing::AppBuilder::write(JoinPath(app->work, "B2024.BSH"),
                               "shock x = file basedata2023.har header \"X\" ;\n");
    EXPECT_FALSE(recorder.prerequisitesOk(job({1, 3}, kNone, kNone)));
    EXPECT_TRUE(contains(recorder.lastProblem(), "File with short name \"basedata2023.har\" is used"))
        << recorder.lastProblem();

    std::remove(JoinPath(app->work, "POLICY.CLS").c_str());
    EXPECT_FALSE(recorder.prerequisitesOk(job({1, 3}, {2, 3}, {2, 3})));
    EXPECT_TRUE(contains(recorder.lastProblem(), "POLICY.CLS (see the Closure/Shocks page) does not exist."))
        << recorder.lastProblem();
    EXPECT_TRUE(dialogs.waitTitles().empty()) << "the recorder in batch mode shows no wait window";
}

}  // namespace
}  // namespace vdln
