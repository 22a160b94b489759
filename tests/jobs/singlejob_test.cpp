#include "jobs/singlejob.h"

#include <filesystem>
#include <map>

#include "base/fileutil.h"
#include "base/paths.h"
#include "doubles/fakelauncher.h"
#include "doubles/scripteddialogs.h"
#include "env/joblock.h"
#include "support/tempdir.h"

namespace vdln {
namespace {

using testing::readFile;
using testing::writeFile;

// A launcher on which every start fails.
class RefusingLauncher : public FakeLauncher {
public:
    Result<ProcessHandle> start(const LaunchRequest& request) override {
        attempts.push_back(request.program);
        return Result<ProcessHandle>::fail("Cannot run " + request.program);
    }
    std::vector<std::string> attempts;
};

class TimerTest : public testing::TempDirTest {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        env.tempDir = path("tmp");
        env.keepDir = path("keep");
        writeFile(env.tempDir + "/.keep", "");
        writeFile(env.keepDir + "/.keep", "");
        hooks.startupChecks = [this] { events.push_back("startup"); };
        hooks.refreshCaption = [this] { events.push_back("caption"); };
        hooks.openInEditor = [this](const std::string& f) { return opened.push_back(f), true; };
        hooks.releaseCheckEnded = [this](const ReleaseJobFiles& f, bool cancelled) {
            events.push_back("release " + nameOf(f.rpt) + (cancelled ? " cancelled" : ""));
        };
        hooks.tempDirCheckEnded = [this](const TempDirCheckJob& j, bool timedOut, bool) {
            events.push_back("tempdir " + nameOf(j.reportFile) + (timedOut ? " timed out" : ""));
        };
        // The fake programs write the report, log and flag a test asks for.
        launcher.onStart = [this](const LaunchRequest& r) {
            const Outcome o = outcomes[r.program];
            if (!o.status.empty())
                writeFile(changeExt(r.program, ".rpt"), "[Result]\r\nStatus=" + o.status + "\r\n");
            if (o.log) writeFile(changeExt(r.program, ".log"), "log of " + nameOf(r.program) + "\r\n");
            if (o.flag) writeFile(changeExt(r.program, ".flg"), "error\r\n");
        };
    }
    // A timer whose start-up tick has run.
    ConsoleJobTimer& timer(ProcessLauncher& l) {
        m_timer = std::make_unique<ConsoleJobTimer>(l, dialogs, env, hooks);
        m_timer->tick();
        events.clear();
        return *m_timer;
    }
    // Closure checks whose files go to the temporary folder.
    PrepareClosureCheckFn prepare() {
        return [this](const ClosureCheckRequest& q) -> Result<ClosureCheckFiles> {
            if (!prepareError.empty()) return Result<ClosureCheckFiles>::fail(prepareError);
            ClosureCheckFiles f;
            f.cmf = JoinPath(env.tempDir, "oneB" + std::to_string(2020 + q.sim) + ".cmf");
            f.bat = changeExt(f.cmf, ".bat");
            f.rpt = changeExt(f.cmf, ".rpt");
            f.log = changeExt(f.cmf, ".log");
            f.flg = changeExt(f.cmf, ".flg");
            return f;
        };
    }
    static std::vector<ClosureCheckRequest> years(int first, int last) {
        std::vector<ClosureCheckRequest> out(last - first + 1);
        for (int i = first; i <= last; ++i) out[i - first].sim = i;
        return out;
    }
    std::string file(int year, const char* ext) {
        return JoinPath(env.tempDir, "oneB" + std::to_string(year) + ext);
    }

    struct Outcome {
        std::string status = "ok";
        bool log = true;
        bool flag = false;
    };
    TimerEnvironment env;
    TimerHooks hooks;
    ScriptedDialogs dialogs;
    FakeLauncher launcher;
    std::map<std::string, Outcome> outcomes;
    std::string prepareError;
    std::vector<std::string> events, opened;

private:
    std::unique_ptr<ConsoleJobTimer> m_timer;
};

TEST_F(TimerTest, FirstTickRunsStartupChecksThenTicksTheEngineOncePerTick) {
    int engineTicks = 0;
    bool running = true;
    ConsoleJobTimer* self = nullptr;
    hooks.bigJobTick = [&] {
        ++engineTicks;
        EXPECT_TRUE(self->TimerBusy());
        self->tick();  // a tick arriving while this one waits for the user
    };
    hooks.bigJobRunning = [&] { return running; };
    ConsoleJobTimer t(launcher, dialogs, env, hooks);
    self = &t;
    ASSERT_TRUE(t.watchBigJob());
    t.tick();
    EXPECT_EQ(engineTicks, 0);
    t.tick();
    t.tick();
    EXPECT_EQ(engineTicks, 2);
    EXPECT_TRUE(t.enabled());
    running = false;
    t.tick();
    t.tick();
    EXPECT_EQ(engineTicks, 3) << "the timer stops with the job";
    EXPECT_EQ(t.JobMode(), kJobModeIdle);
    EXPECT_FALSE(t.enabled());
    EXPECT_EQ(events, (std::vector<std::string>{"startup", "caption"}));
}

TEST_F(TimerTest, ReleaseCheckLaunchAndItsOwnerFinishingIt) {
    const std::string program = path("growth.exe");
    const std::vector<std::string> direct{"-sti", JoinPath(env.tempDir, "chkmodel.sti"), "-log",
                                          JoinPath(env.tempDir, "chkmodel.log")};
    for (int c = 0; c < 3; ++c) {  // batch file; batch file refused so direct; never batch files
        SCOPED_TRACE(c);
        FakeLauncher fake;
        env.neverBatJob = c == 2;
        if (c == 1) fake.failNextStart("no shell");
        ConsoleJobTimer& t = timer(fake);
        ASSERT_TRUE(t.startReleaseCheck(program));
        ASSERT_EQ(fake.started().size(), 1u);
        EXPECT_EQ(fake.started()[0].request.program,
                  c == 0 ? JoinPath(env.tempDir, "chkmodel.bat") : program);
        EXPECT_EQ(fake.started()[0].request.args, c == 0 ? std::vector<std::string>{} : direct);
        EXPECT_EQ(dialogs.waitStages().back(), "Checking Release of model program");
        EXPECT_EQ(t.JobMode(), kJobModeReleaseCheck);
        t.tick();
        t.tick();
        EXPECT_EQ(t.ElapsedSeconds(), 2);
        EXPECT_FALSE(t.watchBigJob()) << "one watched job at a time";
        EXPECT_TRUE(events.empty());
        ASSERT_TRUE(fake.endStarted(0));
        t.tick();
        EXPECT_EQ(events, (std::vector<std::string>{"caption", "release chkmodel.rpt"}));
        EXPECT_EQ(t.JobMode(), kJobModeIdle);
        EXPECT_FALSE(t.enabled());
        ASSERT_TRUE(t.startReleaseCheck(program));
        EXPECT_EQ(t.ElapsedSeconds(), 0) << "a new single job counts from zero";
    }
    EXPECT_TRUE(dialogs.records().empty());

    env.neverBatJob = false;
    RefusingLauncher refusing;
    ConsoleJobTimer& t = timer(refusing);
    EXPECT_FALSE(t.startReleaseCheck(program));
    EXPECT_EQ(refusing.attempts, (std::vector<std::string>{JoinPath(env.tempDir, "chkmodel.bat"), program}));
    EXPECT_EQ(dialogs.messages(), std::vector<std::string>{"Could not launch model checking job !"});
    EXPECT_FALSE(t.enabled());
}

// Left running, a cancelled check's program would go on writing into the
// Temporary Directory after its locks are given up: it is stopped.
TEST_F(TimerTest, CancelFromTheWaitWindowEndsTheSingleJobAndStopsItsProgram) {
    ConsoleJobTimer& t = timer(launcher);
    ASSERT_TRUE(t.startReleaseCheck(path("growth.exe")));
    dialogs.queueButton(BtnNo);
    EXPECT_FALSE(t.askCancelSingleJob());
    t.tick();
    EXPECT_TRUE(events.empty());
    EXPECT_FALSE(launcher.started()[0].ended) << "No leaves the check running";
    dialogs.queueButton(BtnYes);
    EXPECT_TRUE(t.askCancelSingleJob());
    t.tick();
    EXPECT_EQ(events, (std::vector<std::string>{"caption", "release chkmodel.rpt cancelled"}));
    EXPECT_TRUE(launcher.started()[0].ended);
    EXPECT_EQ(launcher.started()[0].terminatedCode, std::optional<int>(kSignalExitBase + 15));
}

TEST_F(TimerTest, TempDirCheckReportsOrGivesUpAfterTwentySeconds) {
    const std::string sectra = path("bin/sectraa.exe");
    ConsoleJobTimer& t = timer(launcher);
    EXPECT_FALSE(t.startTempDirCheck(sectra));
    EXPECT_EQ(dialogs.lastMessage(), "Program \r\n  " + sectra + "\r\ndoes not exist.");
    writeFile(sectra, "");
    ASSERT_TRUE(t.startTempDirCheck(sectra));
    EXPECT_EQ(t.JobMode(), kJobModeTempDirCheck);
    for (int k = 0; k < 21; ++k) t.tick();
    EXPECT_TRUE(events.empty()) << "twenty seconds are allowed";
    t.tick();
    EXPECT_EQ(events, std::vector<std::string>{"tempdir tdcheck.rpt timed out"});
    EXPECT_EQ(launcher.started()[0].terminatedCode, std::optional<int>(3)) << "the hung program is stopped";
    EXPECT_FALSE(t.enabled());

    // Without an owner's callback the check's own result is shown.
    hooks.tempDirCheckEnded = nullptr;
    outcomes[sectra].status = "";
    launcher.onStart = [&](const LaunchRequest&) {
        writeFile(JoinPath(env.tempDir, "tdcheck.rpt"), "[Result]\r\n");
    };
    ConsoleJobTimer& t2 = timer(launcher);
    ASSERT_TRUE(t2.startTempDirCheck(sectra));
    ASSERT_TRUE(launcher.endStarted(1));
    t2.tick();
    EXPECT_EQ(dialogs.lastMessage(), "Temporary Directory\r\n  " + env.tempDir + "\r\nseems ok.");
}

// The checking jobs write in the Temporary Directory and run the model
// program there, so they hold the job locks as a job does: from their start
// (every year of a closure check) to their end, and not at all when another
// job holds the folders.
TEST_F(TimerTest, CheckingJobsHoldTheJobLocksFromStartToEnd) {
    std::tm now{};
    now.tm_year = 126, now.tm_mday = 1;
    JobDirectoryLocks held;
    int takes = 0, releases = 0;
    std::string refusal;
    auto wire = [&](ConsoleJobTimer& t) {
        t.setJobLocks(
            [&] {
                ++takes;
                if (!held.locks.empty()) return true;
                auto l = acquireJobLocks(env.tempDir, env.keepDir, now);
                if (!l) return refusal = l.message(), false;
                held = std::move(*l);
                return true;
            },
            [&] {
                ++releases;
                held.locks.clear();
            });
    };
    auto freeNow = [&] { return static_cast<bool>(acquireJobLocks(env.tempDir, env.keepDir, now)); };

    ConsoleJobTimer& t = timer(launcher);
    wire(t);
    const ClosureCheckPlan plan = allYearsClosureChecks(ClosureCheckScope::BaseClosures, 3, 2, {});
    ASSERT_TRUE(t.startClosureChecks(plan.mode, plan.requests, prepare()));
    for (size_t k = 0; k < 3; ++k) {
        EXPECT_FALSE(held.locks.empty()) << "year " << k;
        EXPECT_FALSE(freeNow()) << "another job could start during year " << k;
        ASSERT_TRUE(launcher.endStarted(k));
        t.tick();
    }
    EXPECT_EQ(t.JobMode(), kJobModeIdle);
    EXPECT_EQ(takes, 1);
    EXPECT_EQ(releases, 1);
    EXPECT_TRUE(freeNow()) << "the locks outlived the check";

    // The release check, ended and cancelled, gives them back as well.
    ASSERT_TRUE(t.startReleaseCheck(path("growth.exe")));
    EXPECT_FALSE(freeNow());
    t.cancelSingleJob();
    t.tick();
    EXPECT_EQ(releases, 2);
    EXPECT_TRUE(freeNow());

    // A check that cannot start does not keep them.
    RefusingLauncher refusing;
    ConsoleJobTimer& r = timer(refusing);
    wire(r);
    EXPECT_FALSE(r.startReleaseCheck(path("growth.exe")));
    EXPECT_EQ(releases, 3);
    EXPECT_TRUE(freeNow());

    // Another job holds the folders: nothing is written or started.
    std::filesystem::remove(JoinPath(env.tempDir, "chkmodel.bat"));
    auto other = acquireJobLocks(env.tempDir, env.keepDir, now);
    ASSERT_TRUE(other) << other.message();
    FakeLauncher idle;
    ConsoleJobTimer& u = timer(idle);
    wire(u);
    const std::string sectra = path("bin/sectraa.exe");
    writeFile(sectra, "");
    EXPECT_FALSE(u.startReleaseCheck(path("growth.exe")));
    EXPECT_EQ(refusal.rfind("Another Vardelon job is using the Temporary Directory", 0), 0u) << refusal;
    EXPECT_FALSE(u.startClosureChecks(plan.mode, plan.requests, prepare()));
    EXPECT_FALSE(u.startTempDirCheck(sectra));
    EXPECT_TRUE(idle.started().empty());
    EXPECT_FALSE(fileExists(JoinPath(env.tempDir, "chkmodel.bat")));
    EXPECT_EQ(u.JobMode(), kJobModeIdle);
    EXPECT_EQ(releases, 3) << "what was not taken is not given back";
}

TEST(ClosureCheckPlans, YearsAndColumnsOfEachCommand) {
    ClosureCheckRequest common;
    common.jobDir = "/jobs";
    struct Case {
        ClosureCheckPlan plan;
        int mode;
        const char* expected;
    } cases[] = {
        {allYearsClosureChecks(ClosureCheckScope::BaseClosures, 4, 3, common), 13,
         "oneclcheck 1/1 oneclcheck 2/1 oneclcheck 3/1 oneclcheck 4/1 "},
        {allYearsClosureChecks(ClosureCheckScope::PolicyClosuresAndShocks, 4, 3, common), 14,
         "oneshcheck 3/3 oneshcheck 4/3 "},
        {allYearsClosureChecks(ClosureCheckScope::PolicyClosures, 2, 3, common), 13, ""},
        {cellClosureCheck(2, 4, true, common), 12, "oneshcheck 2/4 "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected);
        EXPECT_EQ(c.plan.mode, c.mode);
        std::string got;
        for (const auto& q : c.plan.requests) {
            got += q.jobKind + " " + std::to_string(q.sim) + "/" + std::to_string(q.column) + " ";
            EXPECT_EQ(q.jobDir, "/jobs");
        }
        EXPECT_EQ(got, c.expected);
    }
}

TEST_F(TimerTest, ClosureChecksOfSeveralYearsRunOneAfterAnother) {
    ConsoleJobTimer& t = timer(launcher);
    const ClosureCheckPlan plan = allYearsClosureChecks(ClosureCheckScope::BaseClosuresAndShocks, 3, 2, {});
    ASSERT_TRUE(t.startClosureChecks(plan.mode, plan.requests, prepare()));
    for (size_t k = 0; k < 3; ++k) {
        ASSERT_EQ(launcher.started().size(), k + 1) << "a year starts when the one before it has passed";
        EXPECT_EQ(launcher.started()[k].request.program, file(2021 + static_cast<int>(k), ".bat"));
        EXPECT_EQ(t.JobMode(), kJobModeClosureShocksYears);
        t.tick();
        ASSERT_TRUE(launcher.endStarted(k));
        t.tick();
    }
    EXPECT_EQ(dialogs.messages(),
              std::vector<std::string>{
                  "The model program found no problems checking the closure and shocks in\r\n  " +
                  file(2021, ".cmf") + "\r\nand the 2 later one(s), the last in\r\n  " + file(2023, ".cmf")});
    EXPECT_EQ(t.JobMode(), kJobModeIdle);
    EXPECT_FALSE(t.enabled());
}

TEST_F(TimerTest, AFailedClosureCheckStopsAndOffersItsLog) {
    struct Case {
        Outcome outcome;
        Button answer;
        std::string last;
    } cases[] = {
        {{"error", true, false}, BtnYes, "Look at LOG file\r\n" + file(2022, ".log")},
        {{"ok", true, true},
         BtnNo,
         "Look at LOG file\r\n" + file(2022, ".log")},  // the program itself failed
        {{"warning", false, false},
         BtnOk,
         "(Unfortunately cannot find an Error Log file for you to look at.)"},
        {{"", false, false}, BtnOk, "(Unfortunately cannot find an Error Log file for you to look at.)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.outcome.status);
        for (const char* ext : {".rpt", ".log", ".flg"}) (void)deleteFile(file(2022, ext));
        FakeLauncher fake;
        fake.onStart = launcher.onStart;
        outcomes[file(2022, ".bat")] = c.outcome;
        dialogs = ScriptedDialogs();
        dialogs.queueButton(BtnOk);
        dialogs.queueButton(c.answer);
        opened.clear();
        ConsoleJobTimer& t = timer(fake);
        ASSERT_TRUE(t.startClosureChecks(kJobModeClosureYears, years(1, 3), prepare()));
        ASSERT_TRUE(fake.endStarted(0));
        t.tick();
        ASSERT_TRUE(fake.endStarted(1));
        t.tick();
        EXPECT_EQ(fake.started().size(), 2u) << "no check after a failed one";
        ASSERT_EQ(dialogs.messages().size(), 2u);
        EXPECT_EQ(dialogs.messages()[0],
                  "The model program found a problem checking the closure in\r\n  " + file(2022, ".cmf"));
        EXPECT_EQ(dialogs.messages()[1].substr(0, c.last.size()), c.last);
        EXPECT_EQ(opened.size(), c.answer == BtnYes ? 1u : 0u);
        EXPECT_EQ(t.JobMode(), kJobModeIdle);
    }
    EXPECT_EQ(readFile(JoinPath(env.keepDir, "lasterr.log")), "log of oneB2022.bat\r\n");
}

TEST_F(TimerTest, ClosureChecksCancelledOrUnableToStart) {
    ConsoleJobTimer& t = timer(launcher);
    ASSERT_TRUE(t.startClosureChecks(kJobModeClosure, years(1, 2), prepare()));
    EXPECT_FALSE(t.startClosureChecks(kJobModeClosure, years(1, 1), prepare()))
        << "one watched job at a time";
    t.cancelSingleJob();
    t.tick();
    EXPECT_EQ(dialogs.messages(), std::vector<std::string>{"Solve job aborted via Cancel button"});
    EXPECT_EQ(launcher.started().size(), 1u);
    EXPECT_TRUE(launcher.started()[0].ended) << "the cancelled check's program was stopped";

    // A writer's file error is shown here; a missing CMFSTART constituent was shown by the writer.
    dialogs = ScriptedDialogs();
    prepareError = "Cannot create file x.cmf[CheckClosureCMF]";
    EXPECT_FALSE(t.startClosureChecks(kJobModeClosure, years(1, 1), prepare()));
    prepareError = "At least one constituent of the CMFStart file\r\nx\r\n does not exist.";
    EXPECT_FALSE(t.startClosureChecks(kJobModeClosure, years(1, 1), prepare()));
    prepareError.clear();
    launcher.failNextStart("no shell");
    EXPECT_FALSE(t.startClosureChecks(kJobModeClosure, years(1, 1), prepare()));
    EXPECT_EQ(dialogs.messages(), (std::vector<std::string>{"Cannot create file x.cmf[CheckClosureCMF]",
                                                            "Could not launch solution process !"}));
    for (int mode : {kJobModeSingleBase, kJobModePolicyClosures, kJobModeBigJob, kJobModeReleaseCheck})
        EXPECT_FALSE(t.startClosureChecks(mode, years(1, 1), prepare())) << mode;
    EXPECT_EQ(t.JobMode(), kJobModeIdle);
    EXPECT_FALSE(t.enabled());

    // A program that cannot be stopped is said to be still running, with why.
    class Unstoppable : public FakeLauncher {
    public:
        Status stop(const std::vector<ProcessHandle>&, int, int) override {
            return Status::fail("Cannot stop process 42: Operation not permitted");
        }
    } unstoppable;
    dialogs = ScriptedDialogs();
    ConsoleJobTimer& u = timer(unstoppable);
    ASSERT_TRUE(u.startClosureChecks(kJobModeClosure, years(1, 1), prepare()));
    u.cancelSingleJob();
    u.tick();
    EXPECT_EQ(
        dialogs.messages(),
        (std::vector<std::string>{
            "Solve job aborted via Cancel button",
            "However the DOS job may still be running.\r\nYou may be able to kill it by "
            "clicking on this job in the TaskBar and then hitting Control-C.\r\nCannot stop process 42: "
            "Operation not permitted"}));
}

}  // namespace
}  // namespace vdln
