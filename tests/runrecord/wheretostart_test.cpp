#include "runrecord/wheretostart.h"

#include "base/strutil.h"
#include "doubles/scripteddialogs.h"
#include "runrecord/appbuilder.h"
#include "runrecord/filestamp.h"
#include "support/tempdir.h"

namespace vdln {
namespace {

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

class WhereToStartTest : public testing::TempDirTest {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        app = std::make_unique<testing::AppBuilder>(dir(), 3);
    }
    const RunRecordEnv& env() { return *app->env; }
    // Gives a file a new time without changing its content.
    static void touch(const std::string& f) {
        auto t = fileWriteTime(f);
        ASSERT_TRUE(t.has_value()) << f;
        ASSERT_TRUE(setFileWriteTime(f, *t + 600000000LL).isOk());
    }
    RunStarts sequence() {
        RunRecords records(env().keep);
        StillOkChecker ck(env(), records);
        return WhereRunInSequence(ck);
    }
    std::unique_ptr<testing::AppBuilder> app;
    ScriptedDialogs dialogs;
};

TEST_F(WhereToStartTest, ACompleteApplicationIsDoneInSequenceAndStillOk) {
    app->runAll();
    CheckReport rep = WhereToStart(env(), dialogs, false, {});
    ASSERT_TRUE(rep.done);
    EXPECT_EQ(
        rep.text,
        "Where to Start?. Taking account of prerequisites.\r\n"
        " That is, \"Would the Results be the Same if you Run the jobs Again?\"\r\n"
        "The report below takes account of prerequisites (input files) and of\r\n"
        " completion of the jobs in sequence.\r\n\r\n"
        "Base: Completed in sequence. Results would be the same if you were to run the jobs again.\r\n"
        "Rerun: Completed in sequence. Results would be the same if you were to run the jobs again.\r\n"
        "Policy: Completed in sequence. Results would be the same if you were to run the jobs again.\r\n");
    EXPECT_EQ(dialogs.messages().size(), 1u);  // nothing left: no job offered
    EXPECT_EQ(dialogs.waitTitles(), std::vector<std::string>{"Please Wait - Vardelon at work"});

    rep = AreResultsOk(env(), dialogs, true, {});
    EXPECT_TRUE(contains(rep.text, "Base: All results you asked to be checked are ok\r\n"));
    EXPECT_TRUE(contains(rep.text, "Policy: All results you asked to be checked are ok\r\n"));
    EXPECT_FALSE(contains(rep.text, "Reasons:"));
}

TEST_F(WhereToStartTest, MissingRecordsMeanNothingHasBeenRun) {
    dialogs.queueButton(BtnOk);
    dialogs.queueButton(BtnNo);
    CheckReport rep = WhereToStart(env(), dialogs, true, {});
    EXPECT_EQ(rep.starts[1].start, 1);
    EXPECT_EQ(rep.starts[2].start, 2);
    EXPECT_TRUE(
        contains(rep.text, "Base: Start at simulation for year 2024 (year number 1) of the Base\r\n"));
    EXPECT_TRUE(contains(rep.text, "Reasons:\r\nNone of Base has been run."));
    // The offer to start a job: No starts nothing.
    EXPECT_EQ(dialogs.messages().back(), "Do you want to start a job to carry out the parts not done?");
    EXPECT_FALSE(rep.jobStarted);
}

TEST_F(WhereToStartTest, CompletionRecordsDecideWhereEachRunStarts) {
    app->runRun(1);
    app->runStep(2, 2, StepKind::Bot);
    app->runStep(2, 2, StepKind::Sim);
    app->saveCopies();
    (void)RestoreRunRecordCopies(env().keep, env().copies, false);
    RunStarts s = sequence();
    EXPECT_EQ(s[1].start, 5);  // everything done
    EXPECT_EQ(s[2].start, 3);
    EXPECT_EQ(s[2].reason, "BOT job for year number 3 of the Rerun has not been completed.");
    EXPECT_EQ(s[3].start, 2);
    EXPECT_EQ(s[3].reason, "None of Policy has been run.");

    app->runStep(2, 3, StepKind::Bot);
    app->runStep(2, 3, StepKind::Sim);
    s = sequence();
    EXPECT_EQ(s[2].start, 4);
    EXPECT_EQ(s[2].reason, "Spreadsheet job for Rerun has not been completed.");
}

TEST_F(WhereToStartTest, StepsCompletedOutOfOrderAreReported) {
    app->runStep(1, 1, StepKind::Sim);
    app->runStep(1, 3, StepKind::Sim);
    app->runStep(1, 2, StepKind::Sim);  // year 2 after year 3
    app->runStep(1, 4, StepKind::Sim);
    app->saveCopies();
    CheckReport rep = WhereToStart(env(), dialogs, true, {});
    EXPECT_EQ(rep.starts[1].start, 3);
    EXPECT_TRUE(
        contains(rep.text, "Base: Start at simulation for year 2026 (year number 3) of the Base\r\n"));
    EXPECT_TRUE(contains(rep.text, "Sim for year 2026 of Base was completed before sim for year 2025."));

    // "Still as when Created" does not look at the order: nothing changed.
    CheckReport ok = AreResultsOk(env(), dialogs, false, {});
    EXPECT_TRUE(contains(ok.text, "Base: All results you asked to be checked are ok\r\n"));
    EXPECT_TRUE(
        contains(ok.text, "The report below does NOT take into account completion of the jobs in sequence."));
}

TEST_F(WhereToStartTest, ABotJobFinishedBeforeTheBaseYearMakesTheRunWait) {
    app->runStep(1, 1, StepKind::Sim);
    app->runStep(2, 2, StepKind::Bot);  // before the Base's year 2
    app->runStep(1, 2, StepKind::Sim);
    app->runStep(1, 3, StepKind::Sim);
    app->runStep(1, 4, StepKind::Sim);
    app->runStep(2, 2, StepKind::Sim);
    RunStarts s = sequence();
    EXPECT_EQ(s[1].start, 5);
    EXPECT_EQ(s[2].start, 2);
    EXPECT_TRUE(
        contains(s[2].reason, "The BOT job for year 2025 was completed before the simulation for year 2025"));
}

TEST_F(WhereToStartTest, ATouchedOutputMovesTheStartAndOffersAJob) {
    app->runAll();
    touch(SolutionFile(app->sim, 2, 1, false));
    JobStartRanges started{};
    CheckOperationHooks hooks;
    hooks.startJob = [&](const JobStartRanges& r) { started = r; };
    dialogs.queueButton(BtnOk);   // the report
    dialogs.queueButton(BtnYes);  // start a job
    dialogs.queueButton(BtnYes);  // take the prerequisites into account
    CheckReport rep = WhereToStart(env(), dialogs, false, hooks);
    EXPECT_EQ(rep.sequence[1].start, 5);
    EXPECT_EQ(rep.starts[1].start, 2);
    EXPECT_EQ(rep.starts[2].start, 2);
    EXPECT_TRUE(rep.starts[2].needsBaseFirst);
    EXPECT_TRUE(
        contains(rep.text, "Base: Start at simulation for year 2025 (year number 2) of the Base\r\n"));
    EXPECT_TRUE(contains(rep.text,
                         "Rerun: Start at simulation for year 2025 (year number 2) of the Rerun but\r\n"
                         "      only after this year of the Base has been run.\r\n"));
    EXPECT_TRUE(
        contains(rep.text,
                 "Base:  Results from the simulation for year 2025 (year number 2) of the Base are not ok."));
    EXPECT_TRUE(contains(rep.text, "is different since"));
    ASSERT_TRUE(rep.jobStarted);
    EXPECT_EQ(started[1].first, 2);
    EXPECT_EQ(started[1].last, 4);
    EXPECT_EQ(started[2].first, 2);
}

TEST_F(WhereToStartTest, ATimePreservingCopyLeavesResultsValid) {
    app->runAll();
    const std::string f = SolutionFile(app->sim, 2, 1, false);
    const std::string saved = f + ".saved";
    ASSERT_TRUE(copyFile(f, saved, true).isOk());
    ASSERT_TRUE(deleteFile(f).isOk());
    ASSERT_TRUE(copyFile(saved, f, true).isOk());
    CheckReport rep = AreResultsOk(env(), dialogs, true, {});
    EXPECT_FALSE(contains(rep.text, "Reasons:"));
    // The same copy without its time is noticed.
    ASSERT_TRUE(copyFile(saved, f, false).isOk());
    touch(f);
    rep = AreResultsOk(env(), dialogs, true, {});
    EXPECT_TRUE(contains(rep.text,
                         "Base: Results you asked to be checked are ok up to the simulation for year 2024"));
    EXPECT_TRUE(contains(rep.text, "Reasons:"));
}

TEST_F(WhereToStartTest, ChangedInputsAndRenamedFilesFailThePrerequisiteChecks) {
    app->runAll();
    RunRecords records(env().keep);
    StillOkChecker ck(env(), records);
    EXPECT_TRUE(ck.checkStep(1, 2, false, true, {}).ok);
    // The closure of year 2 renamed: same content and time, another name.
    ASSERT_TRUE(copyFile(app->work + "/BASE.CLS", app->work + "/BASE2.CLS", true).isOk());
    app->sim.GridStem(2, 1) = "BASE2";
    CheckOutcome o = ck.ClosureShocksPageStillOkOneJob(1, 2, false);
    EXPECT_FALSE(o.ok);
    EXPECT_TRUE(contains(
        o.reason, "The name of the Period-specific closure file\r\n    has changed. Now it is: " + app->work +
                      "/BASE2.CLS"));
    app->sim.GridStem(2, 1) = "BASE";
    // A constituent of a shock file touched.
    touch(app->work + "/grow.har");
    o = ck.ClosureShocksPageStillOkOneJob(1, 1, false);
    EXPECT_FALSE(o.ok);
    EXPECT_TRUE(contains(o.reason, "However one constituent has changed:"));
    // A first-year input changed.
    testing::AppBuilder::write(app->work + "/params2023.har", "new parameters!");
    o = ck.StartingDataInputsForSimOrBotJobStillAsWhenLastRan(1, 1, false);
    EXPECT_FALSE(o.ok);
    EXPECT_TRUE(
        contains(o.reason, "should be the same as the file with logical name PARAMS used when you last ran"));
    // The model program replaced.
    touch(app->env->modelFile);
    o = ck.ModelFilesStillOk(1, 1, false);
    EXPECT_FALSE(o.ok);
    EXPECT_TRUE(
        contains(o.reason, "The Lexor-generated program EXE (see the Model part of the Model/Data page): "));
    // Calvex now instead of the model program.
    app->env->modelFile = app->modelDir + "/growth.gss";
    o = ck.ModelFilesStillOk(1, 1, false);
    EXPECT_TRUE(contains(o.reason,
                         "You are now using Calvex to solve the model.\r\nHowever, when you last ran the "
                         "simulation for year 2024 (year number 1) of the Base you were running a "
                         "Lexor-generated program, namely: " +
                             app->modelDir + "/growth.exe"));
}

TEST_F(WhereToStartTest, SettingsOfTheSimOverviewAreCompared) {
    app->runAll();
    RunRecords records(env().keep);
    StillOkChecker ck(env(), records);
    app->sim.WorkDir = "/elsewhere";
    CheckOutcome o = ck.SimOverviewStillOk(1, 1, false);
    EXPECT_TRUE(contains(o.reason,
                         "Working directory has changed. Now it is: /elsewhere but when you last ran the "
                         "simulation for year 2024 (year number 1) of the Base it was: " +
                             app->work));
    app->sim.WorkDir = app->work;
    app->env->method.Method = kGragg;
    app->env->method.NSol = 3;
    o = ck.SimOverviewStillOk(1, 1, false);
    EXPECT_TRUE(contains(o.reason, "Solution method has changed since"));
    app->env->method = defaultSolutionMethod();
    // The results map file.
    EXPECT_TRUE(ck.SimOverviewStillOk(1, 4, false).ok);
    const std::string map = app->env->resultsMapFile;
    app->env->resultsMapFile.clear();
    o = ck.SimOverviewStillOk(1, 4, false);
    EXPECT_TRUE(
        contains(o.reason, "The name of the Spreadsheet Mapping file\r\n    has changed. Now it is: \r\n"));
    app->env->resultsMapFile = map;
    app->sim.PeriodLength[2] = 2;
    ComputeYears(app->sim);
    o = ck.SimOverviewStillOk(1, 4, false);  // the spreadsheet job
    EXPECT_TRUE(contains(o.reason, "Now have 2 years in period number 2"));
    EXPECT_TRUE(contains(
        o.reason, "The year for which data is produced in the last simulation of the Base has changed."));
}

TEST_F(WhereToStartTest, NoRerunModeHasNoRerunLineAndPolicyWaitsForTheBaseSpreadsheets) {
    app->env->noRerun = true;
    app->runStep(1, 1, StepKind::Sim);
    app->runStep(1, 2, StepKind::Sim);
    app->runStep(1, 3, StepKind::Sim);
    for (int i = 2; i <= 3; ++i) {
        app->runStep(3, i, StepKind::Bot);
        app->runStep(3, i, StepKind::Sim);
    }
    app->runStep(3, 4, StepKind::Sim);  // the Policy's spreadsheets before the Base's
    app->saveCopies();
    CheckReport rep = WhereToStart(env(), dialogs, true, {});
    EXPECT_FALSE(contains(rep.text, "Rerun"));
    EXPECT_EQ(rep.starts[1].start, 4);
    EXPECT_EQ(rep.starts[3].start, 4);
    EXPECT_TRUE(rep.starts[3].needsBaseFirst);
    EXPECT_TRUE(contains(rep.text, "Base: Start at Spreadsheet job\r\nPolicy: Start at Spreadsheet job\r\n"));
    rep = AreResultsOk(env(), dialogs, false, {});
    EXPECT_FALSE(contains(rep.text, "Rerun"));
}

TEST_F(WhereToStartTest, TheChecksNeedTheFileNameCheckAndCanBeCancelled) {
    CheckOperationHooks hooks;
    hooks.closureShockNamesOk = [] { return false; };
    EXPECT_FALSE(AreResultsOk(env(), dialogs, true, hooks).done);
    EXPECT_EQ(dialogs.lastMessage(), "Sorry, not checking Results Ok until this problem is fixed.");
    EXPECT_FALSE(WhereToStart(env(), dialogs, true, hooks).done);
    EXPECT_EQ(dialogs.lastMessage(), "Sorry, not checking Where to Start until this problem is fixed.");
    hooks.closureShockNamesOk = nullptr;
    bool offeredSolBox = true;
    hooks.chooseSelection = [&](const CheckSelection&, bool solBox) -> std::optional<CheckSelection> {
        offeredSolBox = solBox;
        return std::nullopt;
    };
    EXPECT_FALSE(AreResultsOk(env(), dialogs, true, hooks).done);
    EXPECT_FALSE(offeredSolBox);
}

TEST_F(WhereToStartTest, BotNeededAndItsCache) {
    app->runAll();
    (void)RestoreRunRecordCopies(env().keep, env().copies, false);
    BotCache cache;
    EXPECT_FALSE(BotNeeded(env(), cache, 2));
    EXPECT_TRUE(BotNeeded(env(), cache, 1));  // before the policy start there is no BOT job

    // Within one prerequisite check the second question comes from the cache.
    cache.begin();
    EXPECT_FALSE(BotNeeded(env(), cache, 2));
    ASSERT_TRUE(deleteFile(RunRecordFileName(env().keep, 2)).isOk());
    EXPECT_FALSE(BotNeeded(env(), cache, 2));
    EXPECT_EQ(cache.entry(2), 'n');
    cache.end();
    EXPECT_TRUE(BotNeeded(env(), cache, 2));

    // A BOT job finished before the Base's year is needed again.
    (void)RestoreRunRecordCopies(env().keep, env().copies, false);
    EXPECT_FALSE(BotNeeded(env(), cache, 3));
    app->runStep(1, 3, StepKind::Sim);  // the Base's year 3 again, after the BOT job
    EXPECT_TRUE(BotNeeded(env(), cache, 3));
    // A changed BOT file too.
    touch(BotFile(app->sim, 2, false));
    EXPECT_TRUE(BotNeeded(env(), cache, 2));
}

}  // namespace
}  // namespace vdln

namespace vdln {
namespace {

class DamagedRecordsTest : public testing::TempDirTest {};

TEST_F(DamagedRecordsTest, DamagedRecordFilesReadAsNotRun) {
    testing::AppBuilder app(dir(), 3);
    app.runAll();
    const RunRecordEnv& env = *app.env;
    const std::string garbage[] = {
        std::string("\0\1\2[\xff]]]=\n==\r\r\n[2024]\nYear finished ok=abc def\n", 44),
        "[LastRan]\nBase Sim name=BS1\n[2024]\nYear finished ok=1\n[Run]\nss job finished ok=-1 "
        "99999999999\n",
        "[LastRan]\nBase Sim name=BS1\n[2024]\nYear finished ok=5 0\nSolution file=1 2\n[2025]\nYear "
        "finished ok=4 0\n",
    };
    for (const std::string& g : garbage) {
        SCOPED_TRACE(g);
        testing::AppBuilder::write(env.copies[1], g + "[Options]\nVardelVersion=330\n");
        ScriptedDialogs dialogs;
        CheckReport rep = WhereToStart(env, dialogs, false, {});
        ASSERT_TRUE(rep.done);
        EXPECT_LE(rep.starts[1].start, 2);
        rep = AreResultsOk(env, dialogs, false, {});
        EXPECT_TRUE(rep.done);
        BotCache cache;
        (void)BotNeeded(env, cache, 2);
    }
}

TEST_F(DamagedRecordsTest, AnApplicationBeyondTheLimitsIsAnInternalError) {
    testing::AppBuilder app(dir(), 3);
    app.runAll();
    app.sim.NumYears = 1200;  // beyond the record's 999 years
    ScriptedDialogs dialogs;
    EXPECT_FALSE(WhereToStart(*app.env, dialogs, false, {}).done);
    EXPECT_EQ(dialogs.lastMessage().rfind("An internal programming error has occured.", 0), 0u);
    BotCache cache;
    EXPECT_TRUE(BotNeeded(*app.env, cache, 2));
}

}  // namespace
}  // namespace vdln
