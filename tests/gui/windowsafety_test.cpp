// The window's job safety: a job holds the locks of the Temporary and Keep
// Directories as batch mode does, so a second window's job is refused with
// the holder named; a second window on the same Keep Directory is warned;
// closing the window while a job runs asks, then stops the job's programs;
// the time limit of a part is set in its Run Preferences dialog and stops a
// program that hangs.
#include <signal.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QAction>
#include <QCheckBox>
#include <QDialog>
#include <QPushButton>
#include <QSpinBox>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "base/fileutil.h"
#include "base/paths.h"
#include "env/joblock.h"
#include "guifixture.h"
#include "jobs/jobslog.h"

namespace vdln::gui::testing {
namespace {

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// The programs this process started that are still there (not reaped), by
// name.
std::vector<pid_t> childrenNamed(const std::string& name) {
    std::vector<pid_t> out;
    for (const auto& e : std::filesystem::directory_iterator("/proc")) {
        const std::string pidText = e.path().filename().string();
        if (pidText.find_first_not_of("0123456789") != std::string::npos) continue;
        std::ifstream in(e.path() / "stat");
        std::string stat;
        std::getline(in, stat);
        const auto open = stat.find('('), close = stat.rfind(')');
        if (open == std::string::npos || close == std::string::npos || close + 4 >= stat.size()) continue;
        if (stat.substr(open + 1, close - open - 1) != name.substr(0, 15)) continue;
        std::istringstream rest(stat.substr(close + 2));
        char state = 0;
        long ppid = 0;
        rest >> state >> ppid;
        if (ppid == ::getpid()) out.push_back(static_cast<pid_t>(std::stol(pidText)));
    }
    return out;
}

class WindowSafety : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        app = path("app");
        ASSERT_TRUE(writeDemo(app)) << "the demonstration suite is not built";
    }
    void TearDown() override {
        ::unsetenv("VDLN_DEMO_FAULT");
        second.reset();
        WindowTest::TearDown();
    }
    void openDemo(ProcessLauncher& launcher) {
        open(launcher);
        ASSERT_TRUE(session->loadDetails(app + "/growth.ds1")) << dialogs.lastMessage();
        window->refreshPages();
        window->refreshMenus();
        dialogs.clear();
    }
    /// A second window session on the same Keep and Temporary Directories.
    std::unique_ptr<WindowSession> openSecond(ScriptedDialogs& d, ProcessLauncher& launcher) {
        FixedFolders fixed;
        for (std::string* f :
             {&fixed.windows, &fixed.systemDrive, &fixed.constTemp, &fixed.constSv, &fixed.constRoot})
            *f = path("fixed");
        return WindowSession::open(SessionSetup{env, d, years, clock, launcher, fixed});
    }
    std::string jobsLog() {
        const std::string f = JoinPath(session->dirs().keepDir, kJobsLogName);
        return fileExists(f) ? vdln::testing::readFile(f) : "";
    }
    std::string app;
    ScriptedDialogs dialogs2;
    FakeLauncher fake2;
    std::unique_ptr<WindowSession> second;
};

TEST_F(WindowSafety, ASecondWindowIsWarnedAndItsJobRefusedWhileTheFirstOnesRuns) {
    openDemo(fake);
    EXPECT_FALSE(session->sharesKeepDirectory());
    const std::string me = "process " + std::to_string(::getpid()) + " on host ";

    second = openSecond(dialogs2, fake2);
    ASSERT_TRUE(second);
    EXPECT_TRUE(second->sharesKeepDirectory());
    ASSERT_FALSE(dialogs2.records().empty());
    const DialogRecord warning = dialogs2.records().front();
    EXPECT_EQ(warning.kind, MsgKind::Warning);
    EXPECT_TRUE(contains(warning.text, "Another Vardelon window is open on the Keep Directory\r\n  " +
                                           session->dirs().keepDir + "\r\n(" + me))
        << warning.text;
    ASSERT_TRUE(second->loadDetails(app + "/growth.ds1")) << dialogs2.lastMessage();

    // The first window's job holds both folders from its start.
    window->panelButton("Run &All")->click();
    ASSERT_TRUE(session->jobRunning()) << dialogs.lastMessage();
    EXPECT_TRUE(session->holdsJobLocks());
    const std::string lockFile = JoinPath(session->dirs().tempDir, kJobLockFileName);
    EXPECT_EQ(parseLockHolder(vdln::testing::readFile(lockFile)).pid, ::getpid());

    // The second window's job is refused, naming the first as the holder,
    // and starts no program.
    dialogs2.clear();
    EXPECT_FALSE(second->startRun(RunButton::Base));
    EXPECT_FALSE(second->jobRunning());
    EXPECT_TRUE(fake2.started().empty());
    EXPECT_TRUE(
        contains(dialogs2.lastMessage(), "Another Vardelon job is using the Temporary Directory\r\n  " +
                                             session->dirs().tempDir + "\r\n(" + me))
        << dialogs2.lastMessage();
    EXPECT_EQ(dialogs2.records().back().kind, MsgKind::Error);
    EXPECT_FALSE(second->holdsJobLocks());

    // Batch mode takes the same locks: a batch job on these folders is refused too.
    ASSERT_TRUE(fileExists(kBin + "/vardelon"));
    // (In the window's environment, so that it finds the same folders.)
    const std::string batch = "cd " + dir() + " && HOME=" + dir() + " SVKEEP=" + path("keep") +
                              " SVTEMP=" + path("temp") + " " + kBin + "/vardelon base all " + app +
                              "/growth.ds1 > " + path("batch-out.txt") + " 2>&1";
    const int rc = std::system(batch.c_str());
    EXPECT_TRUE(WIFEXITED(rc) && WEXITSTATUS(rc) != 0);
    const std::string out = vdln::testing::readFile(path("batch-out.txt"));
    EXPECT_TRUE(contains(out, "Another Vardelon job is using the Temporary Directory")) << out;
    EXPECT_TRUE(contains(out, "process " + std::to_string(::getpid()))) << out;
    EXPECT_FALSE(contains(out, "Job finished successfully")) << out;

    // Once the first job has ended the second window may run.
    session->jobs().engine().cancelJob("test");
    EXPECT_FALSE(session->holdsJobLocks());
    EXPECT_FALSE(fileExists(lockFile)) << "a lock given up properly leaves no file";
    dialogs2.clear();
    ASSERT_TRUE(second->startRun(RunButton::Base)) << dialogs2.lastMessage();
    EXPECT_TRUE(second->holdsJobLocks());
    EXPECT_FALSE(fake2.started().empty());
    // ... and now the first is refused.
    dialogs.clear();
    EXPECT_FALSE(session->startRun(RunButton::Base));
    EXPECT_TRUE(contains(dialogs.lastMessage(), "Another Vardelon job is using the Temporary Directory"));
    second->jobs().engine().cancelJob("test");

    // A job that does not start gives the locks up at once.
    session->rec().NumYears = 0;
    EXPECT_FALSE(session->startRun(RunButton::Base));
    EXPECT_FALSE(session->holdsJobLocks());

    // Closed windows are no longer named: a new one is not warned.
    ASSERT_TRUE(second->close(false));
    second.reset();
    ASSERT_TRUE(window->close());
    ScriptedDialogs dialogs3;
    auto third = openSecond(dialogs3, fake2);
    ASSERT_TRUE(third);
    EXPECT_FALSE(third->sharesKeepDirectory());
    for (const auto& r : dialogs3.records())
        EXPECT_FALSE(contains(r.text, "Another Vardelon window")) << r.text;
    ASSERT_TRUE(third->close(false));
}

// While another window's job runs on the same folders, this window's
// checking jobs are refused as its jobs are, and closing this window leaves
// the shared Temporary Directory's files to that job; the window closed
// last clears them.
TEST_F(WindowSafety, AnotherWindowsJobKeepsItsTemporaryFilesAndItsFolders) {
    openDemo(fake);
    second = openSecond(dialogs2, fake2);
    ASSERT_TRUE(second);
    ASSERT_TRUE(second->loadDetails(app + "/growth.ds1")) << dialogs2.lastMessage();
    ASSERT_TRUE(second->startRun(RunButton::Base)) << dialogs2.lastMessage();
    ASSERT_TRUE(second->holdsJobLocks());
    const std::string tempDir = session->dirs().tempDir;
    ASSERT_EQ(tempDir, second->dirs().tempDir);
    const std::string inUse = JoinPath(tempDir, "B2025.sl4");
    std::ofstream(inUse) << "the second window's solution";
    ASSERT_TRUE(fileExists(inUse));

    dialogs.clear();
    EXPECT_FALSE(session->jobs().timer().startReleaseCheck(app + "/growth.exe"));
    EXPECT_TRUE(contains(dialogs.lastMessage(), "Another Vardelon job is using the Temporary Directory"))
        << dialogs.lastMessage();
    EXPECT_TRUE(fake.started().empty());
    EXPECT_FALSE(session->holdsJobLocks());

    ASSERT_TRUE(session->settings().ClearTempDirAtExit);
    ASSERT_TRUE(window->close());
    EXPECT_TRUE(fileExists(inUse)) << "closing this window removed the other job's files";
    EXPECT_TRUE(second->holdsJobLocks());

    second->jobs().engine().cancelJob("test");
    ASSERT_TRUE(second->close(false));
    EXPECT_FALSE(fileExists(inUse)) << "the window closed last clears the folder";
}

TEST_F(WindowSafety, ClosingWhileAJobRunsAsksThenStopsItsProgramsAndLogsTheEnd) {
    openDemo(real);
    // The jobs log on, as its menu item makes it (the log file is created).
    window->action("Run Preferences", "Add to Jobs Log File")->trigger();
    ASSERT_TRUE(session->settings().AddToJobsLog);
    // The model program of this job never ends by itself.
    ::setenv("VDLN_DEMO_FAULT", "hang", 1);
    window->panelButton("Run &Base")->click();
    ASSERT_TRUE(session->jobRunning()) << dialogs.lastMessage();
    std::vector<pid_t> programs;
    ASSERT_TRUE(waitFor(
        [&] {
            programs = childrenNamed("growth.exe");
            return !programs.empty();
        },
        20000))
        << "the model program did not start";

    // No: the window stays and so does the job.
    dialogs.clear();
    dialogs.queueButton(BtnNo);
    EXPECT_FALSE(window->close());
    EXPECT_EQ(dialogs.records().front().text,
              "A job is running.\r\nDo you really want to close Vardelon now?");
    EXPECT_TRUE(session->jobRunning());
    EXPECT_EQ(::kill(programs[0], 0), 0) << "the program still runs";

    // Yes: the job is cancelled as Cancel does, its program stopped.
    dialogs.queueButton(BtnYes);
    EXPECT_TRUE(window->close());
    EXPECT_FALSE(session->jobRunning());
    EXPECT_EQ(session->jobs().engine().outcome(), JobOutcome::Cancelled);
    EXPECT_TRUE(childrenNamed("growth.exe").empty()) << "the model program outlived the window";
    EXPECT_TRUE(::kill(programs[0], 0) != 0 && errno == ESRCH);
    const auto msgs = dialogs.messages();
    EXPECT_NE(std::find(msgs.begin(), msgs.end(), "Solve job aborted via Cancel button"), msgs.end());
    const std::string log = jobsLog();
    EXPECT_TRUE(contains(log, "JOB CANCELLED at ")) << log;
    EXPECT_TRUE(contains(log, "[the window was closed]")) << log;
    EXPECT_FALSE(session->holdsJobLocks());
}

TEST_F(WindowSafety, PartTimeLimitIsSetInItsDialogAndStopsAHungProgram) {
    openDemo(real);
    QAction* item = window->action("Run Preferences", "Part Time Limit...");
    ASSERT_NE(item, nullptr);
    window->refreshMenus();
    EXPECT_EQ(session->settings().PartTimeLimit, 0) << "off by default";
    EXPECT_FALSE(item->isChecked());

    auto dialogOf = [&] {
        item->trigger();
        auto* d = window->findChild<QDialog*>("partTimeLimitDialog");
        EXPECT_NE(d, nullptr);
        return d;
    };
    QDialog* d = dialogOf();
    ASSERT_NE(d, nullptr);
    auto* on = d->findChild<QCheckBox*>("partTimeLimitOn");
    auto* seconds = d->findChild<QSpinBox*>("partTimeLimitSeconds");
    ASSERT_TRUE(on && seconds);
    EXPECT_FALSE(on->isChecked());
    EXPECT_FALSE(seconds->isEnabled());
    on->setChecked(true);
    EXPECT_TRUE(seconds->isEnabled());
    seconds->setValue(2);
    d->accept();
    EXPECT_EQ(session->settings().PartTimeLimit, 2);
    EXPECT_EQ(dialogs.lastMessage(),
              "A part of a job that runs for longer than 2 seconds will be stopped, and the job ended.");
    EXPECT_TRUE(item->isChecked());

    // A hung model program is stopped at the limit and the job fails,
    // naming the program, the run, the year and the limit.
    ::setenv("VDLN_DEMO_FAULT", "hang", 1);
    dialogs.clear();
    window->panelButton("Run &Base")->click();
    ASSERT_TRUE(session->jobRunning()) << dialogs.lastMessage();
    ASSERT_TRUE(waitFor([&] { return !session->jobRunning(); }, 30000)) << "the limit did not stop the job";
    EXPECT_EQ(session->jobs().engine().outcome(), JobOutcome::Failed);
    std::string limit;
    for (const auto& m : dialogs.messages())
        if (contains(m, "Time limit exceeded for:")) limit = m;
    EXPECT_TRUE(contains(limit, "growth.exe")) << limit;
    EXPECT_TRUE(contains(limit, "Run: Base")) << limit;
    EXPECT_TRUE(contains(limit, "Year: " + std::to_string(session->rec().Years[1]))) << limit;
    EXPECT_TRUE(contains(limit, "Limit: 2 seconds")) << limit;
    EXPECT_TRUE(childrenNamed("growth.exe").empty());
    ::unsetenv("VDLN_DEMO_FAULT");

    // Switched off again in the same dialog.
    d = dialogOf();
    ASSERT_NE(d, nullptr);
    d->findChild<QCheckBox*>("partTimeLimitOn")->setChecked(false);
    d->accept();
    EXPECT_EQ(session->settings().PartTimeLimit, 0);
    EXPECT_EQ(dialogs.lastMessage(), "Parts of jobs will run without a time limit.");
    EXPECT_FALSE(item->isChecked());
}

}  // namespace
}  // namespace vdln::gui::testing
