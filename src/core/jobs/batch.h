#pragma once
/// Batch mode: `vardelon` started with parameters runs one job without any
/// window: it chooses the Temporary and Keep Directories, reads the settings,
/// loads the details file, starts the job, drives it until it ends, logs to
/// "BatchJobs.log" in the Keep Directory, and returns the process exit
/// status (0 on success).

#include <functional>
#include <string>
#include <vector>

#include "base/clock.h"
#include "base/dialogs.h"
#include "jobs/rehooks.h"
#include "model/settings.h"
#include "model/simrecord.h"

namespace vdln {

/// Dialogs of batch mode: nothing is shown; every message is written to
/// stderr; questions get the default answer (OK, else Yes, else the first
/// button); choosers are cancelled; option lists take their default.
class BatchDialogs : public Dialogs {
public:
    Button message(MsgKind kind, const std::string& text, Buttons buttons, int helpContext) override;
    std::optional<std::string> chooseFile(const FileRequest&) override { return std::nullopt; }
    std::optional<std::string> chooseFolder(const std::string&, const std::string&) override { return std::nullopt; }
    std::optional<std::string> inputText(const std::string&, const std::string&, const std::string& initial) override {
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

private:
    std::vector<std::string> m_messages;
};

/// Entry points for the archive commands of the command line ("-loadzip",
/// "-savezip"); set by the program when the archive module is linked.
struct BatchArchiveCommands {
    std::function<int(const std::vector<std::string>& params, Dialogs& dialogs, const std::string& keepDir,
                      const std::string& tempDir)>
        loadZip;
    std::function<int(const std::vector<std::string>& params, Dialogs& dialogs, const std::string& keepDir,
                      const std::string& tempDir)>
        saveZip;
};

/// The rational-expectations iterations of a batch job, supplied by the
/// program (they live above the job layer).  When the application's
/// rational-expectations box is checked, `begin` gives the hooks of the job
/// (with the iteration counts of the settings); after a finished job
/// `reportLines` gives what is printed on standard output and written to
/// "BatchJobs.log": each run's convergence report and the largest change of
/// RORG between successive iterations.
struct BatchRationalExpectations {
    struct Context {
        TSimRecord& rec;
        ProgramSettings& settings;
        Dialogs& dialogs;
        const Clock& clock;
        std::string tempDir;
        std::function<int()> firstPolicyYear;
    };
    std::function<RationalExpectationsHooks*(const Context&)> begin;
    std::function<std::vector<std::string>()> reportLines;
};

/// Runs batch mode with the command-line parameters (without the program
/// name).  Returns the exit status; the reason of a failure is also written
/// to stderr.
int runBatch(const std::vector<std::string>& params, const BatchArchiveCommands& archives = {},
             const BatchRationalExpectations& re = {});

}  // namespace vdln
