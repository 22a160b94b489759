#include "env/process.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "base/fileutil.h"
#include "doubles/fakelauncher.h"
#include "doubles/scripteddialogs.h"
#include "env/tools.h"
#include "support/processes.h"
#include "support/tempdir.h"
#include "support/testpaths.h"

namespace vdln {
namespace {

using testing::readFile;
using testing::writeFile;

// A generous guard so that a broken launcher fails the test instead of
// hanging it; no test depends on how long anything takes.
constexpr int kHangGuardMs = 60000;

bool readable(int fd, int timeoutMs) {
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, timeoutMs) == 1;
}

// The process id a program writes to `file`, once it is there (0 when it
// never comes).
long pidWrittenTo(const std::string& file) {
    long pid = 0;
    for (int i = 0; i < 500 && pid == 0; ++i) {
        pid = std::atol(testing::quietRead(file).c_str());
        if (!pid) ::usleep(10000);
    }
    return pid;
}

class PosixLauncherTest : public testing::TempDirTest {
protected:
    // Writes a /bin/sh script and returns its path.
    std::string script(const std::string& name, const std::string& body) {
        std::string p = path(name);
        writeFile(p, "#!/bin/sh\n" + body);
        ::chmod(p.c_str(), 0755);
        return p;
    }
    // A named pipe a program can block on until the test writes to it.
    std::string fifo(const std::string& name) {
        std::string p = path(name);
        EXPECT_EQ(::mkfifo(p.c_str(), 0600), 0);
        return p;
    }
    // Lets a program blocked on `fifo` go on.
    void release(const std::string& fifoPath) {
        int fd = ::open(fifoPath.c_str(), O_WRONLY);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::write(fd, "go\n", 3), 3);
        ::close(fd);
    }
    ProcessHandle startOk(const LaunchRequest& req) {
        Result<ProcessHandle> h = m_launcher.start(req);
        EXPECT_TRUE(h) << h.message();
        return h ? *h : ProcessHandle{};
    }
    PosixProcessLauncher m_launcher;
};

TEST_F(PosixLauncherTest, ExitCodes) {
    struct Case {
        const char* body;
        int code;
    } cases[] = {{"exit 0\n", 0}, {"exit 3\n", 3}, {"exit 42\n", 42}, {"kill -9 $$\n", kSignalExitBase + 9}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.body);
        ProcessHandle h = startOk({script("s.sh", c.body), {}, dir(), "", ""});
        ASSERT_TRUE(m_launcher.waitForEnd(h, kHangGuardMs));
        EXPECT_EQ(m_launcher.ended(h), c.code);
        EXPECT_EQ(m_launcher.ended(h), c.code) << "asking again gives the same answer";
        m_launcher.release(h);
        EXPECT_EQ(m_launcher.ended(h), -1) << "a released handle is unknown";
    }
}

TEST_F(PosixLauncherTest, ArgumentsReachTheProgramUntouched) {
    std::string work = path("work dir");
    ASSERT_TRUE(makeDirectories(work).isOk());
    std::string s =
        script("args.sh", "pwd > out.txt\nfor a in \"$@\"; do printf '%s\\n' \"$a\" >> out.txt; done\n");
    std::vector<std::string> args = {"a b", "it's", "$(touch pwned)", "*", "", "\"q\""};
    ProcessHandle h = startOk({s, args, work, "", ""});
    ASSERT_TRUE(m_launcher.waitForEnd(h, kHangGuardMs));
    EXPECT_EQ(m_launcher.ended(h), 0);
    EXPECT_EQ(readFile(work + "/out.txt"), work + "\na b\nit's\n$(touch pwned)\n*\n\n\"q\"\n");
    EXPECT_FALSE(fileExists(work + "/pwned"));
}

TEST_F(PosixLauncherTest, RedirectsStdinAndStdout) {
    writeFile(path("in.txt"), "first line\nsecond line\n");
    ProcessHandle h = startOk(
        {"/bin/sh", {"-c", "read a; read b; echo \"$b|$a\""}, dir(), path("in.txt"), path("out.txt")});
    ASSERT_TRUE(m_launcher.waitForEnd(h, kHangGuardMs));
    EXPECT_EQ(m_launcher.ended(h), 0);
    EXPECT_EQ(readFile(path("out.txt")), "second line|first line\n");
}

TEST_F(PosixLauncherTest, NoDescriptorBeyondStdioIsInherited) {
    int fd = ::open(path("held.txt").c_str(), O_CREAT | O_WRONLY, 0644);  // no close-on-exec
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::dup2(fd, 57), 57);
    int flags = ::fcntl(57, F_GETFD);
    ASSERT_EQ(flags & FD_CLOEXEC, 0);
    ProcessHandle h = startOk({"/bin/sh",
                               {"-c",
                                "if [ -e /proc/self/fd/57 ]; then echo open; else echo closed; fi; "
                                "ls /proc/self/fd | sort -n | head -3 | tr '\\n' ' '"},
                               dir(),
                               "",
                               path("fds.txt")});
    ASSERT_TRUE(m_launcher.waitForEnd(h, kHangGuardMs));
    ::close(57);
    ::close(fd);
    EXPECT_EQ(readFile(path("fds.txt")), "closed\n0 1 2 ");
}

TEST_F(PosixLauncherTest, BatchFilesRunThroughSh) {
    std::string work = path("w");
    ASSERT_TRUE(makeDirectories(work).isOk());
    // Not executable: it is the shell that runs it.
    writeFile(path("job.bat"), "cd '" + work + "'\necho \"ran $1\" > bat.out\nexit 5\n");
    ProcessHandle h = startOk({path("job.bat"), {"with arg"}, dir(), "", ""});
    ASSERT_TRUE(m_launcher.waitForEnd(h, kHangGuardMs));
    EXPECT_EQ(m_launcher.ended(h), 5);
    EXPECT_EQ(readFile(work + "/bat.out"), "ran with arg\n");
}

TEST_F(PosixLauncherTest, StartFailures) {
    writeFile(path("plain.txt"), "not a program");
    struct Case {
        LaunchRequest req;
        std::string message;
    } cases[] = {
        {{path("missing.exe"), {}, dir(), "", ""},
         "Cannot run " + path("missing.exe") + ": No such file or directory"},
        {{path("plain.txt"), {}, dir(), "", ""}, "Cannot run " + path("plain.txt") + ": Permission denied"},
        {{"no-such-program-anywhere", {}, dir(), "", ""}, "Cannot find program no-such-program-anywhere"},
        {{"/bin/sh", {"-c", "true"}, path("nodir"), "", ""},
         "Cannot change to directory " + path("nodir") + ": No such file or directory"},
        {{"/bin/sh", {"-c", "true"}, dir(), path("nostdin"), ""}, "Cannot open file " + path("nostdin")},
        {{"/bin/sh", {"-c", "true"}, dir(), "", path("nodir/out")},
         "Cannot create file " + path("nodir/out")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        Result<ProcessHandle> h = m_launcher.start(c.req);
        ASSERT_FALSE(h);
        EXPECT_EQ(h.message(), c.message);
    }
    // A bare name is found on the PATH.
    ProcessHandle h = startOk({"sh", {"-c", "exit 9"}, dir(), "", ""});
    ASSERT_TRUE(m_launcher.waitForEnd(h, kHangGuardMs));
    EXPECT_EQ(m_launcher.ended(h), 9);
}

TEST_F(PosixLauncherTest, EndedNeverBlocksAndWakesTheLoopAtOnce) {
    std::string f1 = fifo("f1"), f2 = fifo("f2");
    ProcessHandle h1 = startOk({"/bin/sh", {"-c", "read x < \"$0\"; exit 11", f1}, dir(), "", ""});
    ProcessHandle h2 = startOk({"/bin/sh", {"-c", "read x < \"$0\"; exit 22", f2}, dir(), "", ""});
    const int wake = m_launcher.wakeFd();
    ASSERT_GE(wake, 0);
    EXPECT_EQ(m_launcher.ended(h1), std::nullopt);
    EXPECT_EQ(m_launcher.ended(h2), std::nullopt);
    EXPECT_FALSE(readable(wake, 0)) << "nothing has ended yet";

    release(f2);
    ASSERT_TRUE(readable(wake, kHangGuardMs)) << "the end of a program wakes the loop";
    m_launcher.drainWakeups();
    EXPECT_EQ(m_launcher.ended(h2), 22);
    EXPECT_EQ(m_launcher.ended(h1), std::nullopt);
    EXPECT_FALSE(readable(wake, 0)) << "drained";

    release(f1);
    EXPECT_TRUE(waitForWakeup(m_launcher, kHangGuardMs));
    EXPECT_EQ(m_launcher.ended(h1), 11);
    EXPECT_FALSE(waitForWakeup(m_launcher, 0));
}

TEST_F(PosixLauncherTest, TerminateKillsAndReportsTheGivenCode) {
    std::string f = fifo("f");
    ProcessHandle h = startOk({"/bin/sh", {"-c", "read x < \"$0\"", f}, dir(), "", ""});
    EXPECT_EQ(m_launcher.ended(h), std::nullopt);
    ASSERT_TRUE(m_launcher.terminate(h, 3).isOk());
    ASSERT_TRUE(m_launcher.waitForEnd(h, kHangGuardMs));
    EXPECT_EQ(m_launcher.ended(h), 3);
    EXPECT_TRUE(m_launcher.terminate(h, 4).isOk()) << "terminating an ended program does nothing";
    EXPECT_EQ(m_launcher.ended(h), 3);
}

using testing::processGone;
using testing::processGoneWithin;
using testing::quietRead;

TEST_F(PosixLauncherTest, StopEndsTheWholeProcessGroupAfterTheGrace) {
    struct Case {
        const char* what;
        std::string body;  // the program: starts a grandchild and waits
    } cases[] = {
        {"ends on SIGTERM", "sleep 300 & echo $! > \"$0\"; wait"},
        {"ignores SIGTERM", "trap '' TERM; sleep 300 & echo $! > \"$0\"; while :; do sleep 0.05; done"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string pidFile = path(std::string("pid-") + c.what[0]);
        ProcessHandle h = startOk({"/bin/sh", {"-c", c.body, pidFile}, dir(), "", ""});
        const long grandchild = pidWrittenTo(pidFile);
        ASSERT_GT(grandchild, 0);
        const int shell = m_launcher.pidOf(h);
        ASSERT_GT(shell, 0);
        ASSERT_TRUE(m_launcher.stop({h}, 143, 300).isOk());
        EXPECT_EQ(m_launcher.ended(h), 143);
        EXPECT_TRUE(processGoneWithin(shell, kHangGuardMs));
        EXPECT_TRUE(processGoneWithin(grandchild, kHangGuardMs))
            << "what the program started is stopped with it";
    }
}

TEST_F(PosixLauncherTest, ProgramsDieWithTheLaunchingProcess) {
    // A launching process that is killed outright (no destructor runs)
    // takes its program along, and what that program started: a batch
    // file's shell waits for the model it runs, which is its child, not the
    // launcher's.
    struct Case {
        const char* what;
        std::string body;  // writes the pid of the process that must die to "$0"
    } cases[] = {
        {"the program itself", "echo $$ > \"$0\"; exec sleep 300"},
        {"the program's child", "/bin/sh -c 'echo $$ > \"$1\"; exec sleep 300' x \"$0\"; echo after"},
        {"a grandchild that ignores SIGTERM and SIGHUP",
         "/bin/sh -c 'trap \"\" TERM HUP; /bin/sh -c \"echo \\$\\$ > $1; exec sleep 300\"; :' x \"$0\"; :"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string pidFile = path("child.pid." + std::to_string(&c - cases));
        pid_t launcher = ::fork();
        if (launcher == 0) {
            PosixProcessLauncher l;
            auto h = l.start({"/bin/sh", {"-c", c.body, pidFile}, dir(), "", ""});
            if (!h) ::_exit(1);
            while (true) ::pause();
        }
        const long child = pidWrittenTo(pidFile);
        ASSERT_GT(child, 0);
        EXPECT_FALSE(processGone(child));
        ::kill(launcher, SIGKILL);
        int status = 0;
        ::waitpid(launcher, &status, 0);
        EXPECT_TRUE(processGoneWithin(child, kHangGuardMs)) << child << " outlived the launching process";
    }
}

// The children of this process, from every thread's list.
std::set<long> childrenOfThisProcess() {
    std::set<long> out;
    std::error_code ec;
    for (auto& t : std::filesystem::directory_iterator("/proc/self/task", ec)) {
        std::istringstream in(quietRead(t.path().string() + "/children"));
        for (long id; in >> id;) out.insert(id);
    }
    return out;
}

TEST_F(PosixLauncherTest, OneGuardPerLauncherAndNothingLeftBehind) {
    const std::set<long> before = childrenOfThisProcess();
    {
        PosixProcessLauncher l;
        for (int k = 0; k < 5; ++k) {
            auto h = l.start({"/bin/sh", {"-c", "exit " + std::to_string(k)}, dir(), "", ""});
            ASSERT_TRUE(h) << h.message();
            ASSERT_TRUE(l.waitForEnd(*h, kHangGuardMs));
            EXPECT_EQ(l.ended(*h), k);
            l.release(*h);
        }
        // Programs that ended leave no zombie and no guard of their own:
        // one guard watches the launcher's groups.
        std::set<long> now = childrenOfThisProcess();
        for (long id : before) now.erase(id);
        EXPECT_EQ(now.size(), 1u) << "a guard per program, or a program not reaped";
    }
    EXPECT_EQ(childrenOfThisProcess(), before) << "a guard or a program is left";
}

TEST_F(PosixLauncherTest, AGuardThatIsGoneIsReplacedAndWatchesTheRunningGroups) {
    // A program's child outlives a SIGKILL of the launching process only if
    // no guard kills its group.  Here the guard is killed while the program
    // runs; the next start replaces it, and the new guard must know the
    // group that was already running.
    const std::string pidFile = path("grandchild.pid"), readyFile = path("second.pid");
    pid_t launcher = ::fork();
    if (launcher == 0) {
        PosixProcessLauncher l;
        auto held = l.start({"/bin/sh",
                             {"-c", "/bin/sh -c 'echo $$ > \"$1\"; exec sleep 300' x \"$0\"; :", pidFile},
                             dir(),
                             "",
                             ""});
        if (!held) ::_exit(1);
        // This process's children are the program and the guard.
        for (long id : childrenOfThisProcess())
            if (id != l.pidOf(*held)) {
                ::kill(static_cast<pid_t>(id), SIGKILL);
                ::waitpid(static_cast<pid_t>(id), nullptr, 0);
            }
        // The next start finds the guard gone and replaces it; then this
        // process says it is ready to be killed.
        auto next = l.start({"/bin/sh", {"-c", "exit 0"}, dir(), "", ""});
        if (!next || !l.waitForEnd(*next, kHangGuardMs)) ::_exit(1);
        l.release(*next);
        std::ofstream(readyFile) << ::getpid() << "\n";
        while (true) ::pause();
    }
    const long grandchild = pidWrittenTo(pidFile);
    ASSERT_GT(grandchild, 0);
    ASSERT_GT(pidWrittenTo(readyFile), 0) << "the second program never ran";
    ::kill(launcher, SIGKILL);
    int status = 0;
    ::waitpid(launcher, &status, 0);
    EXPECT_FALSE(WIFEXITED(status)) << "the launching process failed: exit " << WEXITSTATUS(status);
    EXPECT_TRUE(processGoneWithin(grandchild, kHangGuardMs))
        << grandchild << " outlived the launching process";
}

TEST_F(PosixLauncherTest, DetachedStart) {
    std::string f = fifo("f");
    ASSERT_TRUE(m_launcher.startProgram("/bin/sh", {"-c", "pwd > \"$0\"", f}, path("")).isOk());
    // Reading the pipe waits for the detached program's answer.
    EXPECT_EQ(readFile(f), dir() + "\n");
    Status bad = m_launcher.startProgram(path("missing"), {}, dir());
    ASSERT_FALSE(bad);
    EXPECT_EQ(bad.message(), "Cannot run " + path("missing") + ": No such file or directory");
}

TEST_F(PosixLauncherTest, RunWithTimeLimitRealPrograms) {
    ScriptedDialogs d;
    std::uint32_t code = 99;
    EXPECT_TRUE(RunWithTimeLimit(m_launcher, d, "  /bin/sh ", {"-c", "exit 7"}, dir(), 0, code));
    EXPECT_EQ(code, 7u);
    EXPECT_TRUE(d.messages().empty());

    EXPECT_FALSE(RunWithTimeLimit(m_launcher, d, path("no tool"), {"-x", "a b"}, dir(), 0, code));
    EXPECT_EQ(d.lastMessage(), "LaunchCmd error:\r\nCannot run " + path("no tool") +
                                   ": No such file or directory\r\nSent: \"" + path("no tool") +
                                   "\" -x \"a b\"\r\nWorkDir: " + dir());

    // A program that never ends is stopped at the limit.
    std::string f = fifo("f");
    TCmdRec rec;
    rec.Command = "/bin/sh";
    rec.Parameters = {"-c", "read x < \"$0\"", f};
    rec.CmdDir = dir();
    rec.TimeLimit = 1;
    EXPECT_FALSE(LaunchCmd(rec, m_launcher, d));
    EXPECT_TRUE(rec.TimedOut);
    EXPECT_EQ(rec.ExitCode, 3u);
    EXPECT_FALSE(rec.Process);
    EXPECT_EQ(d.lastMessage(),
              "Time limit exceeded for:\r\nCommand: /bin/sh\r\nParameters: -c \"read x < \"$0\"\" " + f +
                  "\r\nWorkDir: " + dir() + "\r\nLimit: 1 seconds");
}

// The Temporary Directory check against the real conversion program of the
// demonstration suite, which the build makes before the tests.
TEST_F(PosixLauncherTest, TempDirCheckWithTheSuiteProgram) {
    const std::string sectra = vdln::testing::testBinDir() + "/sectraa.exe";
    ASSERT_TRUE(fileExists(sectra)) << sectra << " is not built";
    std::string temp = path("temp");
    ASSERT_TRUE(makeDirectories(temp).isOk());
    Result<TempDirCheckJob> job = prepareTempDirCheck(temp, sectra);
    ASSERT_TRUE(job) << job.message();
    ProcessHandle h = startOk({job->program, job->args, temp, "", ""});
    ASSERT_TRUE(m_launcher.waitForEnd(h, kHangGuardMs));
    ScriptedDialogs d;
    EXPECT_TRUE(finishTempDirCheck(d, *job, temp)) << d.lastMessage();
    EXPECT_EQ(d.lastMessage(), "Temporary Directory\r\n  " + temp + "\r\nseems ok.");
}

TEST(FakeLauncher, ProgramsEndInAnyOrder) {
    FakeLauncher fake;
    std::vector<std::string> seen;
    fake.onStart = [&](const LaunchRequest& r) { seen.push_back(r.program); };
    ProcessHandle h[3];
    for (int i = 0; i < 3; ++i) {
        Result<ProcessHandle> r = fake.start({"prog" + std::to_string(i), {"-sti", "x"}, "/slot", "", ""});
        ASSERT_TRUE(r);
        h[i] = *r;
    }
    EXPECT_EQ(seen, (std::vector<std::string>{"prog0", "prog1", "prog2"}));
    EXPECT_EQ(fake.running().size(), 3u);
    EXPECT_FALSE(readable(fake.wakeFd(), 0));

    ASSERT_TRUE(fake.endProcess(h[2], 0));
    ASSERT_TRUE(fake.endStarted(0, 1));
    EXPECT_FALSE(fake.endProcess(h[2], 5)) << "a program ends once";
    EXPECT_TRUE(waitForWakeup(fake, 0));
    EXPECT_FALSE(readable(fake.wakeFd(), 0));
    EXPECT_EQ(fake.ended(h[0]), 1);
    EXPECT_EQ(fake.ended(h[1]), std::nullopt);
    EXPECT_EQ(fake.ended(h[2]), 0);
    EXPECT_EQ(fake.running(), std::vector<ProcessHandle>{h[1]});

    fake.release(h[1]);  // still running: not forgotten
    EXPECT_EQ(fake.ended(h[1]), std::nullopt);
    fake.release(h[0]);
    EXPECT_EQ(fake.ended(h[0]), -1);
    EXPECT_EQ(fake.started()[1].request.dir, "/slot");
}

TEST(FakeLauncher, SynchronousRunsThroughTheFake) {
    FakeLauncher fake;
    ScriptedDialogs d;
    std::uint32_t code = 0;
    fake.failNextStart("Cannot run tool: Permission denied");
    EXPECT_FALSE(RunWithTimeLimit(fake, d, "tool", {"-sti", "a.sti"}, "/w", 5, code));
    EXPECT_EQ(d.lastMessage(),
              "LaunchCmd error:\r\nCannot run tool: Permission denied\r\nSent: tool -sti a.sti\r\n"
              "WorkDir: /w");

    fake.onWait = [&](ProcessHandle h) { fake.endProcess(h, 12); };
    EXPECT_TRUE(RunWithTimeLimit(fake, d, "tool", {}, "/w", 5, code));
    EXPECT_EQ(code, 12u);

    fake.onWait = nullptr;  // never ends
    EXPECT_FALSE(RunWithTimeLimit(fake, d, "tool", {"-sti", "my file.sti"}, "/w", 20, code));
    EXPECT_EQ(code, 3u);
    EXPECT_EQ(fake.started().back().terminatedCode, 3);
    EXPECT_EQ(d.lastMessage(),
              "Time limit exceeded for:\r\nCommand: tool\r\nParameters: -sti \"my file.sti\"\r\n"
              "WorkDir: /w\r\nLimit: 20 seconds");

    fake.failDetached = true;
    EXPECT_FALSE(fake.startProgram("viewer", {"f"}, "/m"));
    ASSERT_EQ(fake.detached().size(), 1u);
    EXPECT_EQ(fake.detached()[0].args, std::vector<std::string>{"f"});
}

}  // namespace
}  // namespace vdln
