#include "env/joblock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>

#include "base/fileutil.h"
#include "base/paths.h"
#include "base/strutil.h"
#include "env/directories.h"

namespace vdln {

namespace {

std::string hostName() {
    char buf[HOST_NAME_MAX + 1] = {};
    if (::gethostname(buf, sizeof buf - 1) != 0) return "unknown";
    return buf;
}

std::string stamp(const std::tm& t) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%02d/%02d/%04d %02d:%02d:%02d", t.tm_mday, t.tm_mon + 1, t.tm_year + 1900,
                  t.tm_hour, t.tm_min, t.tm_sec);
    return buf;
}

// The whole (small) content of an open lock file.
std::string readAll(int fd) {
    std::string text;
    char buf[512];
    off_t at = 0;
    while (text.size() < 4096) {
        ssize_t n = ::pread(fd, buf, sizeof buf, at);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        text.append(buf, static_cast<size_t>(n));
        at += n;
    }
    return text;
}

Status writeAll(int fd, const std::string& text) {
    if (::ftruncate(fd, 0) != 0) return Status::fail(std::strerror(errno));
    size_t done = 0;
    while (done < text.size()) {
        ssize_t n = ::pwrite(fd, text.data() + done, text.size() - done, static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return Status::fail(n < 0 ? std::strerror(errno) : "nothing written");
        done += static_cast<size_t>(n);
    }
    if (::fsync(fd) != 0) return Status::fail(std::strerror(errno));
    return Status::ok();
}

}  // namespace

std::string LockHolder::text() const {
    return "process " + std::to_string(pid) + " on host " + (host.empty() ? "unknown" : host) + ", started " +
           (started.empty() ? "at an unknown time" : started);
}

LockHolder parseLockHolder(const std::string& text) {
    LockHolder h;
    for (const std::string& raw : split(text, '\n')) {
        const std::string line = trim(raw);
        const size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        const std::string key = toLower(trim(line.substr(0, eq)));
        const std::string value = trim(line.substr(eq + 1));
        if (key == "pid") h.pid = parseInt(value).value_or(0);
        if (key == "host") h.host = value;
        if (key == "started") h.started = value;
    }
    return h;
}

DirectoryLock::~DirectoryLock() {
    release();
}

DirectoryLock::DirectoryLock(DirectoryLock&& other) noexcept
    : m_fd(other.m_fd), m_path(std::move(other.m_path)), m_note(std::move(other.m_note)) {
    other.m_fd = -1;
}

DirectoryLock& DirectoryLock::operator=(DirectoryLock&& other) noexcept {
    if (this != &other) {
        release();
        m_fd = other.m_fd;
        m_path = std::move(other.m_path);
        m_note = std::move(other.m_note);
        other.m_fd = -1;
    }
    return *this;
}

void DirectoryLock::release() {
    if (m_fd < 0) return;
    // Emptied while still locked: an empty file tells the next holder that
    // this one ended properly.  A failure only means the next holder sees a
    // take-over note.
    // Removed while still locked (a job that opened it meanwhile sees that
    // it is gone and looks again); emptied first, so that a file that
    // cannot be removed still tells the next holder this one ended properly.
    if (::ftruncate(m_fd, 0) != 0 || ::unlink(m_path.c_str()) != 0)
        std::fprintf(stderr, "vardelon: cannot remove %s: %s\n", m_path.c_str(), std::strerror(errno));
    ::flock(m_fd, LOCK_UN);
    ::close(m_fd);
    m_fd = -1;
}

Result<DirectoryLock> DirectoryLock::acquire(const std::string& dir, const std::string& role,
                                             const std::tm& now) {
    return acquire(dir, kJobLockFileName, role, now, nullptr);
}

Result<DirectoryLock> DirectoryLock::acquire(const std::string& dir, const std::string& fileName,
                                             const std::string& role, const std::tm& now,
                                             LockHolder* holderOut) {
    DirectoryLock lock;
    lock.m_path = JoinPath(dir, fileName);
    // The holder removes the file when it is done; a file removed between
    // our open and our lock is not the lock any more, so look again.
    for (int attempt = 0;; ++attempt) {
        lock.m_fd = ::open(lock.m_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
        if (lock.m_fd < 0)
            return Result<DirectoryLock>::fail("Cannot create the lock file " + lock.m_path + " of the " +
                                               role + ": " + std::strerror(errno));
        int r;
        do {
            r = ::flock(lock.m_fd, LOCK_EX | LOCK_NB);
        } while (r != 0 && errno == EINTR);
        if (r != 0) {
            const int err = errno;
            const LockHolder holder = parseLockHolder(readAll(lock.m_fd));
            ::close(lock.m_fd);
            lock.m_fd = -1;
            if (err != EWOULDBLOCK)
                return Result<DirectoryLock>::fail("Cannot lock the " + role + " " + dir + ": " +
                                                   std::strerror(err));
            if (holderOut) *holderOut = holder;
            return Result<DirectoryLock>::fail(
                "Another Vardelon job is using the " + role + "\r\n  " + dir + "\r\n(" + holder.text() +
                ").\r\n" + "Two jobs cannot share it: wait until that job has finished, or give this job a " +
                role + " of its own" +
                (role == "Temporary Directory" ? " (environment variable SVTEMP)."
                                               : " (environment variable SVKEEP)."));
        }
        struct stat held {
        }, named{};
        if (::fstat(lock.m_fd, &held) == 0 && ::stat(lock.m_path.c_str(), &named) == 0 &&
            held.st_ino == named.st_ino && held.st_dev == named.st_dev)
            break;
        ::close(lock.m_fd);
        lock.m_fd = -1;
        if (attempt >= 20)
            return Result<DirectoryLock>::fail("Cannot lock the " + role + " " + dir + ": it keeps changing");
    }
    const std::string previous = readAll(lock.m_fd);
    if (!trim(previous).empty())
        lock.m_note = "Took over the lock of the " + role + " " + dir + " left by " +
                      parseLockHolder(previous).text() + ", which is no longer running.";
    // Who holds it is for the messages of a refused job; on a full disk the
    // lock holds all the same, without the holder's details.
    const std::string text =
        "pid=" + std::to_string(::getpid()) + "\r\nhost=" + hostName() + "\r\nstarted=" + stamp(now) + "\r\n";
    if (Status s = writeAll(lock.m_fd, text); !s) {
        if (::ftruncate(lock.m_fd, 0) != 0) {
            // An old holder's text stays; the next job's note may name it.
        }
        std::fprintf(stderr, "vardelon: the lock file %s holds no details of this job: %s\n",
                     lock.m_path.c_str(), s.message().c_str());
    }
    return lock;
}

std::vector<std::string> JobDirectoryLocks::notes() const {
    std::vector<std::string> out;
    for (const auto& l : locks)
        if (!l.note().empty()) out.push_back(l.note());
    return out;
}

WindowPresence acquireWindowPresence(const std::string& keepDir, const std::tm& now) {
    WindowPresence p;
    LockHolder other;
    other.pid = -1;  // stays so unless another process holds the lock
    auto lock = DirectoryLock::acquire(keepDir, kWindowLockFileName, "Keep Directory", now, &other);
    if (lock)
        p.lock = std::move(*lock);
    else if (other.pid != -1)
        p.otherWindow = other;
    else
        p.problem = lock.message();
    return p;
}

std::string secondWindowWarning(const std::string& keepDir, const LockHolder& holder) {
    return "Another Vardelon window is open on the Keep Directory\r\n  " + keepDir + "\r\n(" + holder.text() +
           ").\r\nBoth windows keep their settings, the record of runs and the logs there: only one of "
           "them can run a job at a time, and the window closed last writes the settings.";
}

Result<JobDirectoryLocks> acquireJobLocks(const std::string& tempDir, const std::string& keepDir,
                                          const std::tm& now) {
    JobDirectoryLocks all;
    auto temp = DirectoryLock::acquire(tempDir, "Temporary Directory", now);
    if (!temp) return Result<JobDirectoryLocks>(temp.status());
    all.locks.push_back(std::move(*temp));
    if (keepDir != tempDir) {
        auto keep = DirectoryLock::acquire(keepDir, "Keep Directory", now);
        if (!keep) return Result<JobDirectoryLocks>(keep.status());
        all.locks.push_back(std::move(*keep));
    }
    return all;
}

Result<int> clearTemporaryDirectoryUnlessInUse(const std::string& tempDir, const std::string& workDir,
                                               const std::tm& now) {
    if (!directoryExists(tempDir)) return 0;
    auto lock = DirectoryLock::acquire(tempDir, "Temporary Directory", now);
    if (!lock) return Result<int>::fail(lock.message());
    return clearTemporaryDirectory(tempDir, workDir);
}

}  // namespace vdln
