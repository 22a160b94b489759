// "Run Single Job, then Concurrent" end to end: the Tasks command, the
// concurrency commands, the console-job timer and the job engine wired as
// the program wires them, with the console programs played by the fake
// launcher.
#include <set>

#include "base/fileutil.h"
#include "jobs/engine.h"
#include "jobs/jobscommands.h"
#include "jobs/session.h"
#include "jobs/singlejob.h"
#include "jobs/tasks.h"
#include "model/simgrid.h"
#include "support/tempdir.h"

namespace vdln {
namespace {

using testing::writeFile;

// Two years; the policy shock is in year 2, so the rerun and the policy of
// year 2 can run side by side once its BOT step is done.
class TasksFlowTest : public testing::TempDirTest {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        const std::string work = path("work");
        env.tempDir = path("tmp");
        env.keepDir = path("keep");
        env.programDir = path("bin");
        env.batchMode = true;
        for (const auto& d : {work, env.tempDir, env.keepDir}) writeFile(d + "/.keep", "");
        for (const char* p : {"tellura.exe", "sectraa.exe", "aggrexa.exe", "diveroa.exe", "mergixa.exe"})
            writeFile(env.programDir + "/" + p, "");
        for (const char* f : {"model.exe", "base.har", "growth.map"}) writeFile(work + "/" + f, "x");
        writeFile(work + "/BASE.CLS", "exogenous x ;\n rest endogenous ;\n");
        writeFile(work + "/POL.CLS", "exogenous a ;\n rest endogenous ;\n");
        writeFile(work + "/P2.PSH", "shock a = 1 ;\n");
        rec = CreateSimRecord();
        rec.NumYears = 2;
        rec.StartYear = 2024;
        rec.SimNames[1] = "BS1";
        rec.SimNames[2] = "BR1";
        rec.SimNames[3] = "PL1";
        rec.WorkDir = work;
        rec.NumModelFiles = rec.NumFiles = 1;
        rec.ModelFiles[1] = makeModelFileDesc("BASEDATA", "HAR", true, true, "data");
        rec.Files[1] = makeSimFileEntry(rec.ModelFiles[1], 1);
        rec.PeriodLength.fill(1);
        ComputeYears(rec);
        rec.GridStem(-1, 2) = "N/A";
        rec.GridStem(0, 1) = "BASE";
        rec.GridStem(0, 3) = "POL";
        for (int i = 1; i <= 2; ++i) rec.GridStem(i, 1) = rec.GridStem(i, 3) = "?";
        rec.GridStem(2, 4) = "P2";
        RefreshGrid(rec);
        settings.model.Model = work + "/model.exe";
        settings.model.FirstYearList = {"file BASEDATA = base.har ;"};
        settings.ResultsMapFile = work + "/growth.map";
        settings.ConcurrentSolves = 3;
    }

    // Ends the first running program of the job, leaving the report and
    // output a good run leaves; false when none runs.
    bool finishOne(const JobEngine& e) {
        for (int s = 1; s <= 3; ++s) {
            const TOneDosJob& j = e.job().Jobs[s];
            const ProcessHandle h{static_cast<std::uint64_t>(j.Process)};
            if (!j.InUse || launcher.ended(h)) continue;
            writeFile(j.ReportFile, "[Result]\r\nStatus=ok\r\n");
            writeFile(j.OutputFile, "out");
            return launcher.endProcess(h);
        }
        return false;
    }

    EngineEnvironment env;
    TSimRecord rec;
    ProgramSettings settings;
    ScriptedDialogs dialogs;
    ScriptedYearsDialog years;
    FixedClock clock{fileTimeFromLocal(2026, 12, 9, 10, 0, 0)};
    FakeLauncher launcher;
    // Remembers BOT completions, as the record of runs would (a BOT step
    // done in this job is not done again).
    struct BotRecorder : NullRecorder {
        void recordCompletion(int, int year, const std::string& name, const TSolutionMethod&,
                              const TAutoAccuracy&) override {
            if (name == "bot") bots.insert(year);
        }
        bool botFinishedSince(int year, std::int64_t) override { return bots.count(year) > 0; }
        void backupAtJobStart() override { bots.clear(); }
        std::set<int> bots;
    } recorder;
};

TEST_F(TasksFlowTest, ThreeSingleAndThreeConcurrentPassesOfTheWholeJob) {
    JobsSession session({rec, settings, env, dialogs, years, clock, launcher, recorder, {}});
    session.tick();  // the start-up tick
    const JobEngine& engine = session.engine();

    struct Pass {
        std::string heading;
        int mostBusy = 0;
        std::set<int> slots;
    };
    std::vector<Pass> passes;
    int lastStarted = -1;
    ASSERT_TRUE(session.runSingleThenConcurrent()) << dialogs.lastMessage();
    for (int guard = 0; guard < 1000 && session.watching(); ++guard) {
        // A new pass shows its note in the status heading.
        if (engine.partsLaunched() < lastStarted || passes.empty())
            passes.push_back({engine.status().heading, 0, {}});
        lastStarted = engine.partsLaunched();
        Pass& p = passes.back();
        int busy = 0;
        for (int s = 1; s <= 3; ++s)
            if (engine.job().Jobs[s].InUse) busy++, p.slots.insert(s);
        p.mostBusy = std::max(p.mostBusy, busy);
        ASSERT_TRUE(finishOne(engine) || busy == 0) << engine.failureMessage();
        session.tick();
    }
    EXPECT_FALSE(session.watching());
    EXPECT_EQ(engine.outcome(), JobOutcome::Finished) << engine.failureMessage();
    EXPECT_FALSE(session.sequence().active());
    ASSERT_EQ(passes.size(), 6u);
    for (size_t k = 0; k < passes.size(); ++k) {
        SCOPED_TRACE(k);
        const bool concurrent = k % 2 == 1;
        EXPECT_EQ(passes[k].heading, "Running jobs: [pass number " + std::to_string(k / 2) +
                                         (concurrent ? ", Concurrent jobs]" : ", Single job]"));
        EXPECT_EQ(passes[k].mostBusy, concurrent ? 2 : 1);
        EXPECT_EQ(passes[k].slots, concurrent ? (std::set<int>{1, 2}) : std::set<int>{1});
    }
    EXPECT_EQ(dialogs.messages(), std::vector<std::string>{}) << "no pass shows the finished message";
    EXPECT_EQ(settings.ConcurrentSolves, 2) << "the last pass left two concurrent solves";
}

TEST_F(TasksFlowTest, ACancelledPassEndsTheSequenceAndOneSolveInSlotTwoStaysThere) {
    JobsSession session({rec, settings, env, dialogs, years, clock, launcher, recorder, {}});
    session.tick();
    ASSERT_TRUE(session.runSingleThenConcurrent());
    ASSERT_TRUE(finishOne(session.engine()));
    session.tick();
    dialogs.queueButton(BtnYes);
    ASSERT_TRUE(session.cancelJob());
    EXPECT_EQ(dialogs.lastMessage(), "Do you really want to kill this job?");
    session.tick();
    EXPECT_EQ(session.engine().outcome(), JobOutcome::Cancelled);
    EXPECT_FALSE(session.sequence().active());
    EXPECT_FALSE(session.watching());

    // "Just One Solve (no. 2)" after three concurrent solves: every part
    // runs in slot 2.
    session.concurrency(ConcurrencyCommand::AllowThree, true);
    EXPECT_EQ(session.concurrency(ConcurrencyCommand::JustOneNo2).FirstSlot, 2);
    EXPECT_EQ(dialogs.lastMessage(), "Will not run two concurrent solves, and will always run as job number 2.");
    ASSERT_TRUE(session.runTask(TaskCommand::RunBaseToPolicy)) << dialogs.lastMessage();
    std::set<int> slots;
    for (int guard = 0; guard < 200 && session.watching(); ++guard) {
        for (int s = 1; s <= 3; ++s)
            if (session.engine().job().Jobs[s].InUse) slots.insert(s);
        (void)finishOne(session.engine());
        session.tick();
    }
    EXPECT_EQ(session.engine().outcome(), JobOutcome::Finished) << session.engine().failureMessage();
    EXPECT_EQ(slots, std::set<int>{2});
}

}  // namespace
}  // namespace vdln
