#pragma once
/// One job at a time per Temporary Directory and per Keep Directory.
///
/// The temporary files of a job are named by simulation name and year only,
/// so two jobs sharing a Temporary Directory (two applications with the
/// default names) would read each other's files and report the other's
/// numbers as their own; the record of runs and the logs in the Keep
/// Directory would be interleaved the same way.  A job therefore holds an
/// exclusive lock on each: the lock file "VdlnJob.lock" in the folder, taken
/// with `flock` (released by the system however the holder ends; the file is
/// removed when the holder gives it up properly) and holding
/// the holder's process id, host and start time, so that a refused job can
/// name it.  A lock file that is not empty when the lock is taken was left
/// by a holder that died: it is taken over and the caller gets a note for
/// its log.  On a full disk the lock holds without the holder's details.

#include <ctime>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/result.h"

namespace vdln {

inline constexpr const char* kJobLockFileName = "VdlnJob.lock";
/// The lock file a window holds in its Keep Directory while it is open.
inline constexpr const char* kWindowLockFileName = "VdlnWindow.lock";

/// Who holds (or held) a lock, as its file says.
struct LockHolder {
    long long pid = 0;
    std::string host;
    std::string started;  ///< "dd/mm/yyyy hh:mm:ss" local time
    /// "process 123 on host h, started 09/12/2026 16:00:00".
    std::string text() const;
};

/// Reads a lock file's text ("" gives a holder with pid 0).
LockHolder parseLockHolder(const std::string& text);

/// An exclusive lock on a folder, held until destroyed.
class DirectoryLock {
public:
    DirectoryLock() = default;
    ~DirectoryLock();
    DirectoryLock(DirectoryLock&& other) noexcept;
    DirectoryLock& operator=(DirectoryLock&& other) noexcept;
    DirectoryLock(const DirectoryLock&) = delete;
    DirectoryLock& operator=(const DirectoryLock&) = delete;

    /// Takes the lock of `dir`, whose role ("Temporary Directory", "Keep
    /// Directory") the messages name.  Refused while another process holds
    /// it: "Another Vardelon job is using the <role>\r\n  <dir>\r\n(<holder>).
    /// \r\n..."; also fails when the lock file cannot be created or written.
    static Result<DirectoryLock> acquire(const std::string& dir, const std::string& role, const std::tm& now);
    /// The same with another lock file of `dir`; when the lock is refused
    /// because another process holds it, `holder` (when given) gets what
    /// the file says of that process.
    static Result<DirectoryLock> acquire(const std::string& dir, const std::string& fileName,
                                         const std::string& role, const std::tm& now, LockHolder* holder);

    bool held() const { return m_fd >= 0; }
    const std::string& path() const { return m_path; }
    /// The take-over note ("" when the lock file was free): "Took over the
    /// lock of the <role> <dir> left by <holder>, which is no longer
    /// running."
    const std::string& note() const { return m_note; }
    /// Gives the lock up (removes the file, so the next holder sees it was
    /// released properly).
    void release();

private:
    int m_fd = -1;
    std::string m_path;
    std::string m_note;
};

/// A window's hold on its Keep Directory while it is open: a second window
/// on the same folder is told of the first (its jobs would share the record
/// of runs and the logs), but may go on.
struct WindowPresence {
    DirectoryLock lock;  ///< held while the window is open (not held: another window has it)
    std::optional<LockHolder> otherWindow;  ///< the window that already holds the folder
    std::string problem;                    ///< the lock file could not be made ("" when none)
};

/// Takes the window lock of `keepDir` ("VdlnWindow.lock").
WindowPresence acquireWindowPresence(const std::string& keepDir, const std::tm& now);

/// The warning for a second window: "Another Vardelon window is open on the
/// Keep Directory\r\n  <dir>\r\n(<holder>).\r\n...".
std::string secondWindowWarning(const std::string& keepDir, const LockHolder& holder);

/// The locks of one job: the Temporary and the Keep Directory (one lock
/// when they are the same folder).
struct JobDirectoryLocks {
    std::vector<DirectoryLock> locks;
    /// Take-over notes for the log.
    std::vector<std::string> notes() const;
};

/// Takes both locks, the Temporary Directory's first; nothing is held when
/// either is refused.
Result<JobDirectoryLocks> acquireJobLocks(const std::string& tempDir, const std::string& keepDir,
                                          const std::tm& now);

/// Clears the Temporary Directory at exit (`clearTemporaryDirectory`: its
/// files and those of the slot folders) unless a job of another process is
/// using it: two windows, or a window and a batch job, may share the folder,
/// and the other job's files are its inputs and results.  The job lock is
/// held while the files are removed, so no job starts in between; a caller
/// that holds it for its own job gives it up first.  Gives
/// the number of files removed, or fails with the reason the folder was
/// left as it is.
Result<int> clearTemporaryDirectoryUnlessInUse(const std::string& tempDir, const std::string& workDir,
                                               const std::tm& now);

}  // namespace vdln
