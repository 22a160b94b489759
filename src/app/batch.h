#pragma once
/// Batch mode: `vardelon` started with parameters runs one job without any
/// window, as a client of `AppSession`: it opens the session (directories,
/// settings, current application), loads the details file when one is
/// named, starts the job, drives it until it ends, logs to "BatchJobs.log"
/// in the Keep Directory and closes the session with the same exit sequence
/// as the window.  Progress goes to standard error, one line per completed
/// part (a single updating line when standard error is a terminal).
///
/// Exit status: 0 success; 1 a parameter error or a failed job; 2 no
/// Temporary or Keep Directory; 3 the job finished but something was left
/// unwritten (a completion not recorded, a details file or a record-of-runs
/// copy not written, the settings at exit), each logged in "BatchJobs.log".

#include <functional>
#include <string>
#include <vector>

#include "base/dialogs.h"

namespace vdln {

class ProcessLauncher;

/// Exit statuses of batch mode.
inline constexpr int kBatchOk = 0;
inline constexpr int kBatchFailed = 1;
inline constexpr int kBatchNoDirectories = 2;
inline constexpr int kBatchUnwritten = 3;

/// Dialogs of batch mode: nothing is shown; every message is written to
/// stderr; questions get the default answer (OK, else Yes, else the first
/// button); choosers are cancelled; option lists take their default.
class BatchDialogs : public Dialogs {
public:
    Button message(MsgKind kind, const std::string& text, Buttons buttons, int helpContext) override;
    std::optional<std::string> chooseFile(const FileRequest&) override { return std::nullopt; }
    std::optional<std::string> chooseFolder(const std::string&, const std::string&) override {
        return std::nullopt;
    }
    std::optional<std::string> inputText(const std::string&, const std::string&,
                                         const std::string& initial) override {
        return initial;
    }
    std::optional<int> chooseOption(const std::string&, const std::string&, const std::vector<std::string>&,
                                    int defaultIndex) override {
        return defaultIndex;
    }
    /// Messages shown so far.
    const std::vector<std::string>& messages() const { return m_messages; }
    /// Whether messages are echoed on stderr.
    bool echo = true;
    /// Called before a message is echoed (ends an updating progress line).
    std::function<void()> beforeEcho;

private:
    std::vector<std::string> m_messages;
};

/// Entry points for the archive commands of the command line ("-loadzip",
/// "-savezip"), replacing the built-in ones (tests).
struct BatchArchiveCommands {
    std::function<int(const std::vector<std::string>& params, Dialogs& dialogs, const std::string& keepDir,
                      const std::string& tempDir)>
        loadZip;
    std::function<int(const std::vector<std::string>& params, Dialogs& dialogs, const std::string& keepDir,
                      const std::string& tempDir)>
        saveZip;
};

/// Runs batch mode with the command-line parameters (without the program
/// name).  Returns the exit status; the reason of a failure is also written
/// to stderr.  The job's programs are started by `launcher` when one is
/// given (a benchmark watching what a job starts), else by the POSIX
/// launcher.
int runBatch(const std::vector<std::string>& params, const BatchArchiveCommands& archives = {},
             ProcessLauncher* launcher = nullptr);

}  // namespace vdln
