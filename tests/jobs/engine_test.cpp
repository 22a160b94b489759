#include "jobs/engine.h"

#include <poll.h>

#include <set>

#include "base/fileutil.h"
#include "base/textfile.h"
#include "doubles/fakelauncher.h"
#include "doubles/scripteddialogs.h"
#include "model/simgrid.h"
#include "support/jobapp.h"
#include "support/tempdir.h"

namespace vdln {
namespace {

using testing::writeFile;

// Remembers BOT completions, as the record of runs would.
class MemoryRecorder : public NullRecorder {
public:
    Status recordCompletion(int run, int year, JobKind jobName, const TSolutionMethod&,
                            const TAutoAccuracy&) override {
        records.push_back(std::string(text(jobName)) + " r" + std::to_string(run) + " y" +
                          std::to_string(year));
        if (jobName == JobKind::Bot) bots.insert(year);
        return Status::ok();
    }
    bool botFinishedSince(int year, std::int64_t) override { return bots.count(year) > 0; }
    std::set<int> bots;
    std::vector<std::string> records;
};

// A small application: 2 years, one updated data file, a common Base
// closure, a common policy closure and policy shocks in year 2.  The console
// programs are played by the fake launcher: the test writes each part's
// report and output file and ends it.
class EngineTest : public testing::JobAppTest {
protected:
    JobRequest everything() { return testing::everythingRequest(2); }

    // Plays the program of a slot: writes its report and output, then ends it.
    void finishSlot(JobEngine& e, int slot, bool ok = true, bool writeOutput = true) {
        endSlot(e, slot,
                std::string("Status=") + (ok ? "ok" : "error") +
                    "\r\nLog file=" + e.job().Jobs[slot].LogFile + "\r\n",
                writeOutput ? "out" : nullptr);
    }

    MemoryRecorder recorder;
};

TEST_F(EngineTest, RunsEveryStepOfAllThreeRunsInOrderWithOneSlot) {
    JobEngine e(rec, settings, env, dialogs, clock, launcher, recorder);
    ASSERT_TRUE(e.StartBigJob(everything())) << e.failureMessage() << " / " << dialogs.lastMessage();
    runToEnd(
        e, [&](int s) { finishSlot(e, s); }, 200);
    EXPECT_EQ(e.outcome(), JobOutcome::Finished)
        << e.failureMessage()
        << ::testing::PrintToString(std::vector<std::string>(
               launched.begin(), launched.begin() + std::min<size_t>(launched.size(), 30)));
    // The policy starts in year 2: Base years 1-2, then BOT, rerun and
    // policy of year 2, then the spreadsheets, the policy's last with its
    // deviations.
    std::vector<std::string> want{"sim/sim r1 y1", "sim/sol r1 y1",     "sim/sim r1 y2",     "sim/sol r1 y2",
                                  "bot/env r2 y2", "bot/tellur1 r2 y2", "bot/sectra1 r2 y2", "sim/sim r3 y2",
                                  "sim/sol r3 y2", "sim/sim r2 y2",     "sim/sol r2 y2"};
    ASSERT_GE(launched.size(), want.size());
    // pol-ASAP: the policy runs as soon as the BOT exists; the rerun of
    // the same year is not needed before it.
    EXPECT_EQ(std::vector<std::string>(launched.begin(), launched.begin() + 7),
              std::vector<std::string>(want.begin(), want.begin() + 7));
    // The policy's last steps are its deviations; every run accumulates.
    for (const char* step : {"divero/cum r3 y3", "devsol/cum r3 y3", "cumsol/cum r1 y3", "cumsol/cum r2 y3"})
        EXPECT_NE(std::find(launched.begin(), launched.end(), step), launched.end()) << step;
    EXPECT_EQ(launched.size(), 28u) << ::testing::PrintToString(launched);
    // Completions recorded: each simulation and BOT step, and the
    // spreadsheet jobs that cover their run's whole range.
    std::multiset<std::string> got(recorder.records.begin(), recorder.records.end());
    EXPECT_EQ(got, (std::multiset<std::string>{"sim r1 y1", "sim r1 y2", "bot r2 y2", "sim r3 y2",
                                               "sim r2 y2", "cumsol r1 y3", "cumsol r2 y3", "devsol r3 y3"}));
    EXPECT_EQ(e.partsLaunched(), static_cast<int>(launched.size()));
    // The command file of a policy year is its top part and the BOT file.
    auto cmf = readTextLines(work + "/bs1b-br1r-pl1p-2025.cmf");
    ASSERT_TRUE(cmf) << cmf.message();
    EXPECT_EQ(cmf->back(), "out");
}

TEST_F(EngineTest, AFailedPartEndsTheJobWithTheLogNamed) {
    JobEngine e(rec, settings, env, dialogs, clock, launcher, recorder);
    ASSERT_TRUE(e.StartBigJob(everything()));
    finishSlot(e, 1);
    e.tick();
    finishSlot(e, 1, false);
    e.tick();
    EXPECT_FALSE(e.running());
    EXPECT_EQ(e.outcome(), JobOutcome::Failed);
    EXPECT_EQ(e.failureMessage().rfind("Error running job - see log file\r\n" + work + "/", 0), 0u)
        << e.failureMessage();
    // A later end of another program is ignored.
    e.tick();
    EXPECT_EQ(e.outcome(), JobOutcome::Failed);
}

TEST_F(EngineTest, AProgramThatLeavesNoReportPointsAtTheTemporaryDirectory) {
    JobEngine e(rec, settings, env, dialogs, clock, launcher, recorder);
    ASSERT_TRUE(e.StartBigJob(everything()));
    const TOneDosJob& j = e.job().Jobs[1];
    ASSERT_TRUE(launcher.endProcess(ProcessHandle{static_cast<std::uint64_t>(j.Process)}, 1));
    e.tick();
    EXPECT_EQ(e.outcome(), JobOutcome::Failed);
    EXPECT_EQ(e.failureMessage().rfind(
                  "The expected Report File\r\n  " + j.ReportFile + "\r\n has not been created.", 0),
              0u)
        << e.failureMessage();
    // A model program that writes no report may be too old for the suite.
    EXPECT_EQ(
        dialogs.lastMessage().rfind("An alternative is that the model \r\n   " + work + "/model.exe\r\n", 0),
        0u)
        << dialogs.lastMessage();
}

TEST_F(EngineTest, AnOkReportWithoutTheOutputIsAnInternalError) {
    JobEngine e(rec, settings, env, dialogs, clock, launcher, recorder);
    ASSERT_TRUE(e.StartBigJob(everything()));
    finishSlot(e, 1, true, false);
    e.tick();
    EXPECT_EQ(e.outcome(), JobOutcome::Failed);
    // The text of the check, then the part and the file it did not write.
    EXPECT_EQ(e.failureMessage(),
              "Dos Job Number 1 not spawned another job\r\nBase: sim for year 2024 (year number 1)"
              " [sim part of job sim]\r\nThe program " +
                  work +
                  "/model.exe reported success but"
                  " did not write\r\n  " +
                  work + "/bs1b-2024.sl4");
}

TEST_F(EngineTest, ASecondSlotGetsItsOwnFolderAndCancelEndsTheJob) {
    settings.ConcurrentSolves = 2;
    JobEngine e(rec, settings, env, dialogs, clock, launcher, recorder);
    JobRequest base = emptyRequest(2);
    base.FirstSSYear[1] = 1;
    base.LastSSYear[1] = 2;
    base.FirstSimYear[1] = 3;
    base.LastSimYear[1] = 0;
    ASSERT_TRUE(e.StartBigJob(base)) << dialogs.lastMessage();
    // Only the "csv" step can run; the second slot stays free.
    EXPECT_TRUE(e.job().Jobs[1].InUse);
    EXPECT_FALSE(e.job().Jobs[2].InUse);
    EXPECT_EQ(e.job().Jobs[1].JobName, JobKind::Csv);
    // The slot directory of slot 2 was prepared with the first-year data and
    // the results map (a job without simulations needs no closure files).
    EXPECT_TRUE(fileExists(env.tempDir + "/simdir2/growth.map"));
    EXPECT_TRUE(fileExists(env.tempDir + "/simdir2/base.har"));
    EXPECT_FALSE(fileExists(env.tempDir + "/simdir2/BASE.CLS"));
    e.requestCancel();
    e.tick();
    EXPECT_EQ(e.outcome(), JobOutcome::Cancelled);
}

TEST_F(EngineTest, TwoSlotsEndingTogetherAreHandledOnConsecutiveTicks) {
    settings.ConcurrentSolves = 2;
    JobEngine e(rec, settings, env, dialogs, clock, launcher, recorder);
    ASSERT_TRUE(e.StartBigJob(everything())) << dialogs.lastMessage();
    // Base year 1 and 2 in slot 1 (slot 2 has nothing it may run yet).
    for (int k = 0; k < 4; ++k) {
        ASSERT_TRUE(e.job().Jobs[1].InUse);
        EXPECT_FALSE(e.job().Jobs[2].InUse);
        finishSlot(e, 1);
        e.tick();
    }
    // Now the BOT of year 2 and the Base's spreadsheets run side by side.
    ASSERT_TRUE(e.job().Jobs[1].InUse);
    ASSERT_TRUE(e.job().Jobs[2].InUse);
    const JobKind second = e.job().Jobs[2].JobName;
    finishSlot(e, 1);
    finishSlot(e, 2);
    e.tick();
    // The first tick handled slot 1 only: slot 2 still holds its ended part.
    EXPECT_EQ(e.job().Jobs[2].JobName, second);
    EXPECT_TRUE(e.job().Jobs[2].InUse);
    const int before = e.partsLaunched();
    e.tick();
    EXPECT_GT(e.partsLaunched(), before) << "the second tick handles slot 2 and starts its follow-on";
    EXPECT_EQ(e.outcome(), JobOutcome::Running);
}

TEST_F(EngineTest, RefusesASecondJobAndAJobWithNothingToDo) {
    JobEngine e(rec, settings, env, dialogs, clock, launcher, recorder);
    EXPECT_FALSE(e.StartBigJob(emptyRequest(2)));
    EXPECT_EQ(dialogs.lastMessage(), "Are no simulations or spreadsheet jobs to do.");
    ASSERT_TRUE(e.StartBigJob(everything()));
    EXPECT_FALSE(e.StartBigJob(everything()));
    EXPECT_EQ(dialogs.lastMessage(), "Is already a big job running. Cannot start another.");
}

TEST_F(EngineTest, CancelStopsTheRunningPartsRecordsNothingAndClosesTheLog) {
    settings.ConcurrentSolves = 2;
    settings.AddToJobsLog = true;
    writeFile(env.keepDir + "/bigjobs.log", "");
    JobEngine e(rec, settings, env, dialogs, clock, launcher, recorder);
    ASSERT_TRUE(e.StartBigJob(everything())) << dialogs.lastMessage();
    for (int k = 0; k < 4; ++k) {
        finishSlot(e, 1);
        e.tick();
    }
    ASSERT_TRUE(e.job().Jobs[1].InUse);
    ASSERT_TRUE(e.job().Jobs[2].InUse);
    const size_t recordedBefore = recorder.records.size();
    // Slot 1's program has written everything but not ended yet: an
    // interrupted part is never recorded, however far it got.
    const TOneDosJob one = e.job().Jobs[1];
    writeFile(one.ReportFile, "[Result]\r\nStatus=ok\r\n");
    writeFile(one.OutputFile, "out");
    e.cancelJob("interrupted by signal 2 (SIGINT)");
    EXPECT_EQ(e.outcome(), JobOutcome::Cancelled);
    EXPECT_FALSE(e.running());
    EXPECT_EQ(recorder.records.size(), recordedBefore);
    EXPECT_TRUE(launcher.running().empty()) << "both running programs were stopped";
    for (const auto& st : launcher.started()) EXPECT_TRUE(st.ended);
    const std::string log = testing::readFile(env.keepDir + "/bigjobs.log");
    EXPECT_NE(log.find("BEGINNING A JOB at "), std::string::npos) << log;
    EXPECT_NE(log.find("JOB CANCELLED at 09/12/2026 10:00:00 [interrupted by signal 2 (SIGINT)]\r\n"),
              std::string::npos)
        << log;
    EXPECT_EQ(dialogs.lastMessage(), "Solve job aborted via Cancel button")
        << "every program was stopped: no word of programs left running";
}

TEST_F(EngineTest, AFailedJobAlsoGetsItsEndLineInTheJobsLog) {
    settings.AddToJobsLog = true;
    writeFile(env.keepDir + "/bigjobs.log", "");
    JobEngine e(rec, settings, env, dialogs, clock, launcher, recorder);
    ASSERT_TRUE(e.StartBigJob(everything()));
    finishSlot(e, 1, false);
    e.tick();
    EXPECT_EQ(e.outcome(), JobOutcome::Failed);
    const std::string log = testing::readFile(env.keepDir + "/bigjobs.log");
    EXPECT_NE(log.find("ERROR Base: sim for year 2024 (year number 1)"), std::string::npos) << log;
    EXPECT_NE(log.find("JOB FAILED at 09/12/2026 10:00:00\r\n"), std::string::npos) << log;
}

TEST_F(EngineTest, APartPastTheTimeLimitIsStoppedAndNamed) {
    struct Case {
        int limit;
        double after;
        bool stopped;
    } cases[] = {{0, 100000, false}, {60, 59, false}, {60, 61, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.limit) + " after " + std::to_string(c.after));
        FakeLauncher fake;
        ScriptedDialogs d;
        FixedClock t{fileTimeFromLocal(2026, 12, 9, 10, 0, 0)};
        settings.PartTimeLimit = c.limit;
        JobEngine e(rec, settings, env, d, t, fake, recorder);
        ASSERT_TRUE(e.StartBigJob(everything()));
        t.advanceSeconds(c.after);
        e.tick();
        EXPECT_EQ(e.running(), !c.stopped);
        if (!c.stopped) {
            e.cancelJob();
            continue;
        }
        EXPECT_EQ(e.outcome(), JobOutcome::Failed);
        EXPECT_TRUE(fake.started()[0].ended) << "the program was stopped";
        EXPECT_EQ(e.failureMessage(),
                  "Time limit exceeded for:\r\nProgram: " + work +
                      "/model.exe\r\nRun: Base\r\n"
                      "Year: 2024 (year number 1)\r\nPart: Base: sim for year 2024 (year number 1)"
                      " [sim part of job sim]\r\nLimit: 60 seconds");
        EXPECT_TRUE(recorder.records.empty());
    }
}

}  // namespace
}  // namespace vdln

namespace vdln {
namespace {

// Dialogs that, while a message box of a tick is up, let the event loop run
// another tick (as a window's socket notifier would) and note whether the
// launcher's descriptor was still readable afterwards.
class ReentrantDialogs : public ScriptedDialogs {
public:
    Button message(MsgKind kind, const std::string& text, Buttons buttons, int help) override {
        if (engine && launcher && !inside) {
            inside = true;
            // Some other watched program ends while the box is up.
            auto other = launcher->start(LaunchRequest{});
            endedOk = other.isOk() && launcher->endProcess(*other, 0);
            engine->tick();
            pollfd p{launcher->wakeFd(), POLLIN, 0};
            stillReadable = ::poll(&p, 1, 0) > 0 && (p.revents & POLLIN);
            inside = false;
        }
        return ScriptedDialogs::message(kind, text, buttons, help);
    }
    JobEngine* engine = nullptr;
    FakeLauncher* launcher = nullptr;
    bool inside = false;
    bool endedOk = false;
    bool stillReadable = true;
};

TEST_F(EngineTest, ATickDuringAMessageBoxStillConsumesTheWakeUp) {
    ReentrantDialogs reentrant;
    JobEngine e(rec, settings, env, reentrant, clock, launcher, recorder);
    ASSERT_TRUE(e.StartBigJob(everything())) << reentrant.lastMessage();
    reentrant.engine = &e;
    reentrant.launcher = &launcher;
    e.requestCancel();
    e.tick();  // the cancel messages open; the program ends meanwhile
    EXPECT_TRUE(reentrant.endedOk);
    EXPECT_FALSE(reentrant.stillReadable);
    EXPECT_EQ(e.outcome(), JobOutcome::Cancelled);
}

}  // namespace
}  // namespace vdln
