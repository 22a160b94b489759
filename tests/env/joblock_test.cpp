#include "env/joblock.h"

#include <unistd.h>

#include "base/fileutil.h"
#include "support/tempdir.h"

namespace vdln {
namespace {

using testing::readFile;
using testing::writeFile;

class JobLockTest : public testing::TempDirTest {
protected:
    std::tm now() const {
        std::tm t{};
        t.tm_year = 126, t.tm_mon = 11, t.tm_mday = 9, t.tm_hour = 16;
        return t;
    }
};

TEST_F(JobLockTest, ASecondJobIsRefusedNamingTheHolder) {
    writeFile(path("temp/.keep"), "");
    auto first = DirectoryLock::acquire(path("temp"), "Temporary Directory", now());
    ASSERT_TRUE(first) << first.message();
    EXPECT_TRUE(first->note().empty());
    const LockHolder holder = parseLockHolder(readFile(path("temp/VdlnJob.lock")));
    EXPECT_EQ(holder.pid, ::getpid());
    EXPECT_EQ(holder.started, "09/12/2026 16:00:00");
    EXPECT_FALSE(holder.host.empty());

    // flock belongs to the open file, so a second open in this process is
    // refused as another process would be.
    auto second = DirectoryLock::acquire(path("temp"), "Temporary Directory", now());
    ASSERT_FALSE(second);
    EXPECT_EQ(second.message(),
              "Another Vardelon job is using the Temporary Directory\r\n  " + path("temp") + "\r\n(" +
                  holder.text() +
                  ").\r\nTwo jobs cannot share it: wait until that job "
                  "has finished, or give this job a Temporary Directory of its own (environment "
                  "variable SVTEMP).");
    EXPECT_NE(second.message().find("process " + std::to_string(::getpid()) + " on host "),
              std::string::npos);

    // Released properly: the file is removed and the next job takes it
    // without a note.
    first->release();
    EXPECT_FALSE(fileExists(path("temp/VdlnJob.lock")));
    auto third = DirectoryLock::acquire(path("temp"), "Temporary Directory", now());
    ASSERT_TRUE(third) << third.message();
    EXPECT_TRUE(third->note().empty());
}

TEST_F(JobLockTest, ALockLeftByADeadProcessIsTakenOverWithANote) {
    writeFile(path("keep/VdlnJob.lock"), "pid=999999\r\nhost=otherhost\r\nstarted=08/12/2026 09:00:00\r\n");
    auto lock = DirectoryLock::acquire(path("keep"), "Keep Directory", now());
    ASSERT_TRUE(lock) << lock.message();
    EXPECT_EQ(lock->note(),
              "Took over the lock of the Keep Directory " + path("keep") +
                  " left by process 999999 on host otherhost, started 08/12/2026 09:00:00, which is no "
                  "longer running.");
    EXPECT_EQ(parseLockHolder(readFile(path("keep/VdlnJob.lock"))).pid, ::getpid());
}

TEST_F(JobLockTest, BothDirectoriesOrNeither) {
    writeFile(path("temp/.keep"), "");
    writeFile(path("keep/.keep"), "");
    auto keepHeld = DirectoryLock::acquire(path("keep"), "Keep Directory", now());
    ASSERT_TRUE(keepHeld);
    auto both = acquireJobLocks(path("temp"), path("keep"), now());
    ASSERT_FALSE(both);
    EXPECT_EQ(both.message().rfind("Another Vardelon job is using the Keep Directory", 0), 0u)
        << both.message();
    // The Temporary Directory's lock was given back with the refusal.
    auto temp = DirectoryLock::acquire(path("temp"), "Temporary Directory", now());
    EXPECT_TRUE(temp) << temp.message();
    // One folder for both roles: one lock.
    temp->release();
    keepHeld->release();
    auto same = acquireJobLocks(path("temp"), path("temp"), now());
    ASSERT_TRUE(same) << same.message();
    EXPECT_EQ(same->locks.size(), 1u);
    // A folder that cannot hold a lock file is an error naming it.
    auto missing = DirectoryLock::acquire(path("no/such"), "Temporary Directory", now());
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.message().rfind("Cannot create the lock file " + path("no/such/VdlnJob.lock"), 0), 0u);
}

// The window's hold on its Keep Directory is a lock file of its own: a
// second window learns who holds it, a job's lock is not disturbed, and the
// folder is free again once the first window has let go.
TEST_F(JobLockTest, ASecondWindowOnTheKeepDirectoryLearnsWhoHoldsIt) {
    writeFile(path("keep/.keep"), "");
    WindowPresence first = acquireWindowPresence(path("keep"), now());
    ASSERT_TRUE(first.lock.held()) << first.problem;
    EXPECT_FALSE(first.otherWindow);
    EXPECT_EQ(first.lock.path(), path("keep/VdlnWindow.lock"));
    auto job = DirectoryLock::acquire(path("keep"), "Keep Directory", now());
    EXPECT_TRUE(job) << "a job of the first window still takes the job lock: " << job.message();

    WindowPresence second = acquireWindowPresence(path("keep"), now());
    EXPECT_FALSE(second.lock.held());
    ASSERT_TRUE(second.otherWindow);
    EXPECT_EQ(second.otherWindow->pid, ::getpid());
    EXPECT_EQ(second.otherWindow->started, "09/12/2026 16:00:00");
    EXPECT_TRUE(second.problem.empty());
    EXPECT_EQ(
        secondWindowWarning(path("keep"), *second.otherWindow),
        "Another Vardelon window is open on the Keep Directory\r\n  " + path("keep") + "\r\n(" +
            second.otherWindow->text() +
            ").\r\nBoth windows keep their settings, the record of runs and the logs there: only one of "
            "them can run a job at a time, and the window closed last writes the settings.");

    first.lock.release();
    WindowPresence third = acquireWindowPresence(path("keep"), now());
    EXPECT_TRUE(third.lock.held());
    EXPECT_FALSE(third.otherWindow);

    // A folder where no lock file can be made is a problem, not another window.
    WindowPresence nowhere = acquireWindowPresence(path("missing"), now());
    EXPECT_FALSE(nowhere.lock.held());
    EXPECT_FALSE(nowhere.otherWindow);
    EXPECT_NE(nowhere.problem.find("Cannot create the lock file"), std::string::npos) << nowhere.problem;
}

// At exit the Temporary Directory is cleared only when no other process's
// job uses it: another window's or a batch job's files there are its
// inputs and results.
TEST_F(JobLockTest, ExitClearsTheTemporaryDirectoryOnlyWhenNoOtherJobUsesIt) {
    const std::vector<std::string> files = {"temp/B2025.sl4", "temp/simdir2/P2026.har", "temp/simdir3/x.log"};
    auto writeAll = [&] {
        for (const auto& f : files) writeFile(path(f), "data");
    };
    auto present = [&] {
        int n = 0;
        for (const auto& f : files) n += fileExists(path(f)) ? 1 : 0;
        return n;
    };
    writeAll();
    // Held by a job of another process: the lock is ours through another
    // open file, but the file names a different holder, as it would.
    auto other = DirectoryLock::acquire(path("temp"), "Temporary Directory", now());
    ASSERT_TRUE(other) << other.message();
    writeFile(path("temp/VdlnJob.lock"), "pid=1\r\nhost=otherhost\r\nstarted=09/12/2026 15:00:00\r\n");
    auto refused = clearTemporaryDirectoryUnlessInUse(path("temp"), path("work"), now());
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.message().rfind("Another Vardelon job is using the Temporary Directory", 0), 0u)
        << refused.message();
    EXPECT_NE(refused.message().find("process 1 on host otherhost"), std::string::npos) << refused.message();
    EXPECT_EQ(present(), 3) << "another job's files were removed";
    other->release();

    // Free: cleared under the lock, which is given back (no file left).
    writeAll();
    auto cleared = clearTemporaryDirectoryUnlessInUse(path("temp"), path("work"), now());
    ASSERT_TRUE(cleared) << cleared.message();
    EXPECT_EQ(*cleared, 3);
    EXPECT_EQ(present(), 0);
    EXPECT_FALSE(fileExists(path("temp/VdlnJob.lock")));
    auto next = DirectoryLock::acquire(path("temp"), "Temporary Directory", now());
    EXPECT_TRUE(next) << next.message();
}

}  // namespace
}  // namespace vdln
