// "Run Single Job, then Concurrent" end to end: the Tasks command, the
// concurrency commands, the console-job timer and the job engine wired as
// the program wires them, with the console programs played by the fake
// launcher.
#include <set>

#include "base/fileutil.h"
#include "doubles/fakelauncher.h"
#include "doubles/scripteddialogs.h"
#include "jobs/engine.h"
#include "jobs/jobscommands.h"
#include "jobs/session.h"
#include "jobs/singlejob.h"
#include "jobs/tasks.h"
#include "model/simgrid.h"
#include "support/jobapp.h"
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
        testing::setUpTwoYearApplication(dir(), env, rec, settings);
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
    testing::BotRecorder recorder;
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
    EXPECT_EQ(dialogs.lastMessage(),
              "Will not run two concurrent solves, and will always run as job number 2.");
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

TEST_F(TasksFlowTest, TheLogOfAFailedPartOpensInTheEditorWhenAskedFor) {
    env.batchMode = false;
    settings.FewerMessages = true;
    std::vector<std::string> opened;
    TimerHooks hooks;
    hooks.openInEditor = [&](const std::string& f) {
        opened.push_back(f);
        return true;
    };
    JobsSession session({rec, settings, env, dialogs, years, clock, launcher, recorder, hooks});
    session.tick();
    ASSERT_TRUE(session.runTask(TaskCommand::RunBaseToPolicy)) << dialogs.lastMessage();
    const TOneDosJob& j = session.engine().job().Jobs[1];
    writeFile(j.ReportFile, "[Result]\r\nStatus=error\r\n");
    writeFile(j.LogFile, "the model program's complaint\r\n");
    const std::string log = j.LogFile;
    ASSERT_TRUE(launcher.endProcess(ProcessHandle{static_cast<std::uint64_t>(j.Process)}, 1));
    session.tick();
    EXPECT_EQ(session.engine().outcome(), JobOutcome::Failed);
    EXPECT_EQ(
        dialogs.lastMessage(),
        "Look at LOG file\r\n" + log + "\r\nto find details of the error.\r\nDo you want to look at it now?");
    EXPECT_EQ(opened, std::vector<std::string>{log});
    EXPECT_FALSE(session.watching());
}

}  // namespace
}  // namespace vdln
