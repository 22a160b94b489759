// The engine's modes beyond a plain job: one solve in the second slot, SOL
// files for shocks in another slot, model programs run through a batch file,
// the rational-expectations hook points, the outputs of a previous run and
// the choices left for the Results page.
#include <filesystem>
#include <set>

#include "base/fileutil.h"
#include "base/paths.h"
#include "base/textfile.h"
#include "doubles/fakelauncher.h"
#include "doubles/scripteddialogs.h"
#include "jobs/engine.h"
#include "model/filenames.h"
#include "model/simgrid.h"
#include "support/jobapp.h"
#include "support/tempdir.h"

namespace vdln {
namespace {

using testing::readFile;
using testing::writeFile;

class ModesTest : public testing::JobAppTest {
protected:
    void SetUp() override {
        JobAppTest::SetUp();
        settings.NeverBatJob = true;
    }

    JobRequest everything() { return testing::everythingRequest(2); }

    // Plays the program of a slot.  A BOT part that makes the BOT file from a
    // SOL file names it the way the suite's program does: quoted, as given.
    void finishSlot(JobEngine& e, int slot) {
        const TOneDosJob& j = e.job().Jobs[slot];
        slotsUsed.insert(slot);
        const std::string botShock =
            "shock a = file \"" + BotResultsFile(rec, j.Year, false) + "\" header \"A\" ;\n";
        endSlot(e, slot, "Status=ok\r\n", j.JobPart == PartKind::Tellur2 ? botShock.c_str() : "out");
    }

    void runToEnd(JobEngine& e) {
        JobAppTest::runToEnd(e, [&](int s) { finishSlot(e, s); });
    }

    testing::BotRecorder recorder;
    std::set<int> slotsUsed;
};

TEST_F(ModesTest, OneSolveInTheSecondSlotRunsEverythingThereWithTheSolShocksCopied) {
    settings.ConcurrentSolves = 3;
    settings.SolFileShocks = true;
    JobEngine e(rec, settings, env, dialogs, clock, launcher, recorder);
    e.setSlots(2, 2);  // "Just One Solve (no. 2)"
    ASSERT_TRUE(e.StartBigJob(everything())) << e.failureMessage();
    runToEnd(e);
    ASSERT_EQ(e.outcome(), JobOutcome::Finished) << e.failureMessage();
    EXPECT_EQ(slotsUsed, std::set<int>{2});
    for (const char* f : {"BASE.CLS", "POL.CLS", "P2.PSH", "base.har", "growth.map"})
        EXPECT_TRUE(fileExists(env.tempDir + "/simdir2/" + f)) << f;
    // Every part runs in the slot's folder; the solution conversion runs in
    // the Temporary Directory as in any slot.
    for (const auto& s : launcher.started()) {
        if (s.request.program != env.programDir + "/sectraa.exe" || s.request.dir != env.tempDir) {
            EXPECT_EQ(s.request.dir, env.tempDir + "/simdir2") << s.request.program;
        }
    }
    EXPECT_NE(std::find(launched.begin(), launched.end(), "bot/tellur2 r2 y2"), launched.end());

    // The SOL results were copied into the slot's folder and the policy's
    // command file reads them there, through the edited copy of the BOT file.
    const std::string rsl = BotResultsFile(rec, 2, false);
    const std::string copy = env.tempDir + "/simdir2/" + nameOf(rsl);
    EXPECT_TRUE(fileExists(copy));
    auto cmf = readWholeFile(CmfFile(rec, 2, 3, false));
    ASSERT_TRUE(cmf) << cmf.message();
    EXPECT_NE(cmf->find("file \"" + copy + "\" header"), std::string::npos) << *cmf;
    EXPECT_EQ(cmf->find("\"" + rsl + "\""), std::string::npos) << *cmf;
    // The BOT file in the Working Directory is left as the program wrote it.
    auto bot = readWholeFile(BotFile(rec, 2, false));
    ASSERT_TRUE(bot);
    EXPECT_NE(bot->find("\"" + rsl + "\""), std::string::npos);
}

TEST_F(ModesTest, ASecondSlotCannotBePreparedWithoutTheFilesItsSimulationsRead) {
    settings.ConcurrentSolves = 2;
    (void)deleteFile(work + "/P2.PSH");
    JobEngine e(rec, settings, env, dialogs, clock, launcher, recorder);
    EXPECT_FALSE(e.StartBigJob(everything()));
    EXPECT_EQ(
        dialogs.lastMessage().rfind("[CopySimFilesToDir]: File " + work + "/P2.PSH does not exist. [k=", 0),
        0u)
        << dialogs.lastMessage();
    EXPECT_TRUE(launcher.started().empty());
    // Not needed when only the Base runs.
    JobRequest base = emptyRequest(2);
    base.FirstSimYear[1] = 1;
    base.LastSimYear[1] = 2;
    JobEngine e2(rec, settings, env, dialogs, clock, launcher, recorder);
    EXPECT_TRUE(e2.StartBigJob(base)) << dialogs.lastMessage();
}

TEST_F(ModesTest, WithoutSplitBatchJobsTheFirstPartEndsTheJob) {
    settings.SplitBatchJobs = false;
    JobEngine e(rec, settings, env, dialogs, clock, launcher, recorder);
    ASSERT_TRUE(e.StartBigJob(everything()));
    finishSlot(e, 1);
    e.tick();
    EXPECT_EQ(e.outcome(), JobOutcome::Failed);
    EXPECT_EQ(e.failureMessage(),
              "Dos Job Number 1 not spawned another job\r\nBase: sim for year 2024 (year number 1)"
              " [sim part of job sim]\r\n(\"Do not split batch jobs\" is selected.)");
}

TEST_F(ModesTest, WhenToRunTheModelThroughABatchFile) {
    struct Case {
        const char* what;
        bool never;
        bool compilerKnown;
        const char* compiler;
        int release;
        bool boxBefore;
        bool want;
        bool boxAfter;
    };
    const Case cases[] = {
        {"never, even for f77l3", true, true, "f77l3", 70000, true, false, true},
        {"f77l3 in any case", false, true, "F77L3", 80000, false, true, true},
        {"another compiler from 70000", false, true, "gfortran", 70000, true, false, false},
        {"older program: the box decides (on)", false, true, "gfortran", 69999, true, true, true},
        {"older program: the box decides (off)", false, true, "gfortran", 60000, false, false, false},
        {"nothing known: the box decides", false, false, "", 0, true, true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ProgramSettings s;
        s.NeverBatJob = c.never;
        s.model.Version.CompilerKnown = c.compilerKnown;
        s.model.Version.Compiler = c.compiler;
        s.model.Version.ReleaseKnown = c.release > 0;
        s.model.Version.Release = c.release;
        s.model.NotWinconsoleExe = c.boxBefore;
        EXPECT_EQ(UseBatJobForSims(s), c.want);
        EXPECT_EQ(s.model.NotWinconsoleExe, c.boxAfter);
    }
    // "Use Bat Jobs for Concurrent Solves" asks for a batch file only while
    // more than one solve may run, and never against "Never Use Bat Job".
    struct Concurrent {
        bool option;
        int solves;
        bool never;
        bool want;
    };
    const Concurrent concurrent[] = {
        {true, 2, false, true},   {true, 3, false, true}, {true, 1, false, false},
        {false, 3, false, false}, {true, 3, true, false},
    };
    for (const auto& c : concurrent) {
        SCOPED_TRACE(std::to_string(c.solves) + (c.option ? " with the option" : " without") +
                     (c.never ? ", never" : ""));
        ProgramSettings s;
        s.BatJobsForConcurrent = c.option;
        s.ConcurrentSolves = c.solves;
        s.NeverBatJob = c.never;
        s.model.Version.CompilerKnown = true;
        s.model.Version.Compiler = "gfortran";
        s.model.Version.ReleaseKnown = true;
        s.model.Version.Release = 80000;
        EXPECT_EQ(UseBatJobForSims(s), c.want);
        EXPECT_FALSE(s.model.NotWinconsoleExe) << "the compiler still sets the box";
    }
}

TEST_F(ModesTest, AModelProgramRunThroughABatchFileChangesToTheSlotFolderFirst) {
    settings.NeverBatJob = false;
    settings.model.NotWinconsoleExe = true;
    JobEngine e(rec, settings, env, dialogs, clock, launcher, recorder);
    ASSERT_TRUE(e.StartBigJob(everything())) << e.failureMessage();
    ASSERT_EQ(launcher.started().size(), 1u);
    const LaunchRequest& lr = launcher.started()[0].request;
    EXPECT_EQ(lr.program, "/bin/sh");
    ASSERT_EQ(lr.args.size(), 1u);
    const TOneDosJob& j = e.job().Jobs[1];
    auto lines = readTextLines(lr.args[0]);
    ASSERT_TRUE(lines) << lines.message();
    ASSERT_EQ(lines->size(), 2u);
    EXPECT_EQ((*lines)[0], "cd " + work);
    // The shell becomes the program: a SIGKILL of vardelon reaches it.
    EXPECT_EQ((*lines)[1].rfind("exec ", 0), 0u) << (*lines)[1];
    EXPECT_NE((*lines)[1].find(" -sti "), std::string::npos);
    EXPECT_NE((*lines)[1].find(" -log " + j.LogFile), std::string::npos) << (*lines)[1];
    // The conversion that follows is started directly.
    finishSlot(e, 1);
    e.tick();
    EXPECT_EQ(launcher.started().back().request.program, env.programDir + "/sectraa.exe");
}

// Iterations of the Base: two passes over its years and spreadsheets.
class CountingRE : public RationalExpectationsHooks {
public:
    bool doingRE() const override { return true; }
    bool boxCheckedOnSupportingModel() const override { return true; }
    int iterationsDone(int r) const override { return done[r]; }
    int maxIterations(int r) const override { return r == 1 ? 2 : 0; }
    int currentIteration(int r) const override { return current[r]; }
    void setCurrentIteration(int r, int it) override { current[r] = it; }
    bool startJob(const TBigJobDetails&) override { return true; }
    bool setUpIterationFiles(int r) override {
        calls.push_back("setup r" + std::to_string(r));
        return setupOk;
    }
    bool saveRerunStartCopy() override { return true; }
    bool startConvergenceFile(int r) override {
        calls.push_back("convergence r" + std::to_string(r));
        return true;
    }
    bool standardChecks(int r, int y) override {
        calls.push_back("checks r" + std::to_string(r) + " y" + std::to_string(y));
        return true;
    }
    bool endOfIteration(int r) override {
        calls.push_back("end of iteration r" + std::to_string(r) + " done " + std::to_string(done[r]));
        return true;
    }
    void countIteration(int r) override { ++done[r]; }
    void finalReport() override { calls.push_back("final report"); }
    void release() override { calls.push_back("release"); }

    PerRun<int> done{};
    PerRun<int> current{0, 1, 1, 1};
    bool setupOk = true;
    std::vector<std::string> calls;
};

TEST_F(ModesTest, IteratingRunsRestartUntilTheirIterationsAreDoneInOneSlot) {
    settings.ConcurrentSolves = 3;
    CountingRE re;
    JobEngine e(rec, settings, env, dialogs, clock, launcher, recorder);
    e.setRationalExpectations(re);
    JobRequest base = emptyRequest(2);
    base.FirstSimYear[1] = base.FirstSSYear[1] = 1;
    base.LastSimYear[1] = base.LastSSYear[1] = 2;
    ASSERT_TRUE(e.StartBigJob(base)) << e.failureMessage();
    EXPECT_EQ(dialogs.messages().front(), "Doing Rational Expectations a la KORALE.");
    EXPECT_EQ(e.job().LastSlot, 1);
    runToEnd(e);
    ASSERT_EQ(e.outcome(), JobOutcome::Finished) << e.failureMessage();
    EXPECT_EQ(slotsUsed, std::set<int>{1});
    const std::vector<std::string> pass{"sim/sim r1 y1",     "sim/sol r1 y1",    "sim/sim r1 y2",
                                        "sim/sol r1 y2",     "csv/csv r1 y3",    "sssol/sssol r1 y3",
                                        "aggrex/yony r1 y3", "aggrex/cum r1 y3", "cumsol/cum r1 y3"};
    std::vector<std::string> twice = pass;
    twice.insert(twice.end(), pass.begin(), pass.end());
    EXPECT_EQ(launched, twice);
    EXPECT_EQ(re.calls,
              (std::vector<std::string>{"setup r1", "checks r1 y1", "convergence r1", "checks r1 y2",
                                        "end of iteration r1 done 1", "checks r1 y1", "checks r1 y2",
                                        "end of iteration r1 done 2", "final report"}));
    EXPECT_EQ(re.current[1], 2);
}

TEST_F(ModesTest, IterationFilesThatCannotBeMadeStopTheJob) {
    CountingRE re;
    re.setupOk = false;
    JobEngine e(rec, settings, env, dialogs, clock, launcher, recorder);
    e.setRationalExpectations(re);
    EXPECT_FALSE(e.StartBigJob(everything()));
    EXPECT_EQ(e.outcome(), JobOutcome::Failed);
    EXPECT_EQ(dialogs.lastMessage(), "Could not set up ROREXT, ITER and EXTRA files to start Base");
    EXPECT_EQ(re.calls.back(), "release");
    EXPECT_TRUE(launcher.started().empty());
}

// The box is checked but the job is run another way.
class BoxOnly : public NoRationalExpectations {
public:
    bool boxCheckedOnSupportingModel() const override { return true; }
};

TEST_F(ModesTest, AJobThatWillNotIterateAsksFirstUnlessTheCallerWarned) {
    BoxOnly box;
    JobEngine e(rec, settings, env, dialogs, clock, launcher, recorder);
    e.setRationalExpectations(box);
    dialogs.queueButton(BtnNo);
    EXPECT_FALSE(e.StartBigJob(everything()));
    EXPECT_EQ(dialogs.lastMessage(),
              "Although you have checked the \"Do Rational Expectations\" box,\r\n this way of running the "
              "job will "
              "NOT do Rational Expectations.\r\nDo you wish to continue?");
    EXPECT_TRUE(launcher.started().empty());
    const size_t asked = dialogs.messages().size();
    e.suppressReQuestionOnce();
    EXPECT_TRUE(e.StartBigJob(everything()));
    EXPECT_EQ(dialogs.messages().size(), asked) << "no question the second time";
}

TEST_F(ModesTest, OutputsLeftInPlaceAreCheckedForLocksAndMovedOnesKept) {
    // Outputs of an earlier run: the Base's second solution (the first part
    // of the job deletes only its own output, the first year's).
    const std::string sol = SolutionFile(rec, 2, 1, false);
    writeFile(sol, "old solution");
    settings.Outputs = OutputsBeforeRun::Neither;
    {
        JobEngine e(rec, settings, env, dialogs, clock, launcher, recorder);
        ASSERT_TRUE(e.StartBigJob(everything()));
        EXPECT_EQ(readFile(sol), "old solution") << "left in place";
        EXPECT_FALSE(fileExists(work + "/VDLNRes/" + nameOf(sol)));
        e.requestCancel();
        e.tick();
    }
    // A results folder that cannot be made (a file is in its way): the
    // files cannot be moved away and back, so they are reported as locked.
    std::filesystem::remove_all(work + "/VDLNRes");
    writeFile(work + "/VDLNRes", "in the way");
    dialogs.queueButton(BtnYes);
    {
        JobEngine e(rec, settings, env, dialogs, clock, launcher, recorder);
        EXPECT_FALSE(e.StartBigJob(everything()));
        EXPECT_EQ(
            dialogs.lastMessage().rfind("The following files in the Working Directory: " + work + "\r\n" +
                                            " appear to be locked by another program (eg, Excel or Word).",
                                        0),
            0u)
            << dialogs.lastMessage();
        EXPECT_NE(dialogs.lastMessage().find("  " + nameOf(sol) + "\r\n"), std::string::npos);
        EXPECT_EQ(readFile(sol), "old solution");
    }
    // Moving keeps the earlier results in the results folder, the
    // spreadsheet results among them.
    (void)deleteFile(work + "/VDLNRes");
    settings.Outputs = OutputsBeforeRun::Move;
    JobEngine e(rec, settings, env, dialogs, clock, launcher, recorder);
    ASSERT_TRUE(e.StartBigJob(everything())) << e.failureMessage();
    runToEnd(e);
    ASSERT_EQ(e.outcome(), JobOutcome::Finished);
    EXPECT_EQ(readFile(work + "/VDLNRes/" + nameOf(sol)), "old solution");
    const size_t before = launched.size();
    JobEngine again(rec, settings, env, dialogs, clock, launcher, recorder);
    ASSERT_TRUE(again.StartBigJob(everything()));
    runToEnd(again);
    int moved = 0;
    for (const auto& entry : std::filesystem::directory_iterator(work + "/VDLNRes"))
        if (entry.path().extension() == ".rsl" || entry.path().extension() == ".csv") ++moved;
    EXPECT_GT(moved, 0) << "the accumulated results of the first job were moved too";
    EXPECT_EQ(launched.size(), 2 * before);
}

TEST_F(ModesTest, TheFinishedJobLeavesTheResultsPageChoices) {
    JobEngine e(rec, settings, env, dialogs, clock, launcher, recorder);
    std::vector<std::pair<int, bool>> details;
    e.setDetailsWriter([&](int run, bool recorded) { details.emplace_back(run, recorded); });
    EXPECT_FALSE(e.panel().jobRunning);
    ASSERT_TRUE(e.StartBigJob(everything()));
    EXPECT_TRUE(e.panel().jobRunning);
    EXPECT_EQ(e.panel().labels[0], "  Base: sim for year 2024 (year number 1) [sim part of job sim]");
    runToEnd(e);
    ASSERT_EQ(e.outcome(), JobOutcome::Finished);
    EXPECT_EQ(e.panel().labels[0], "[Job finished] ");
    EXPECT_FALSE(e.panel().jobRunning);
    const ResultsPageChoice& c = e.resultsChoice();
    EXPECT_TRUE(c.valid);
    EXPECT_EQ(c.run, 3);
    EXPECT_TRUE(c.differences && c.cumulative && c.allYears);
    EXPECT_EQ(c.individualYearsRun, 3);
    // One details write per successful part, flagged when it recorded.
    EXPECT_EQ(details.size(), launched.size());
    int recordedWrites = 0;
    for (const auto& d : details) recordedWrites += d.second ? 1 : 0;
    EXPECT_EQ(recordedWrites, 8);

    // Only the Base's later year with spreadsheets: "Some" years of the Base.
    JobRequest part = emptyRequest(2);
    part.FirstSimYear[1] = part.FirstSSYear[1] = 2;
    part.LastSimYear[1] = part.LastSSYear[1] = 2;
    JobEngine e2(rec, settings, env, dialogs, clock, launcher, recorder);
    ASSERT_TRUE(e2.StartBigJob(part));
    runToEnd(e2);
    ASSERT_EQ(e2.outcome(), JobOutcome::Finished);
    EXPECT_EQ(e2.resultsChoice().run, 1);
    EXPECT_FALSE(e2.resultsChoice().allYears);
    EXPECT_FALSE(e2.resultsChoice().differences);
    EXPECT_EQ(e2.resultsChoice().individualYearsRun, 1);
}

TEST_F(ModesTest, AFinishedHookThatStartsAnotherPassSuppressesTheFinishedMessage) {
    env.batchMode = false;
    settings.FewerMessages = true;
    JobEngine e(rec, settings, env, dialogs, clock, launcher, recorder);
    int passes = 0;
    e.setFinishedHook([&] { return ++passes < 2 && e.StartBigJob(everything()); });
    ASSERT_TRUE(e.StartBigJob(everything()));
    runToEnd(e);
    ASSERT_EQ(e.outcome(), JobOutcome::Finished);
    EXPECT_EQ(passes, 2);
    int finished = 0;
    for (const auto& m : dialogs.messages()) finished += m.find("Whole job is finished") != std::string::npos;
    EXPECT_EQ(finished, 1) << "only the last pass tells that the job is finished";
}

}  // namespace
}  // namespace vdln
