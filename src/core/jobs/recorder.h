#pragma once
/// The engine's link to the record of runs: completions are written to the
/// run's record-of-runs file, BOT validity and "finished in this job" are
/// read from it, and the whole prerequisite check runs before a job.

#include <array>
#include <map>

#include "base/paths.h"
#include "jobs/engine.h"
#include "runrecord/prereqcheck.h"
#include "runrecord/recordstore.h"
#include "runrecord/runrecord.h"
#include "runrecord/wheretostart.h"

namespace vdln {

class RunRecordRecorder : public CompletionRecorder {
public:
    /// `env` describes the application and must outlive the recorder;
    /// `quiet` is batch mode (no wait window).
    RunRecordRecorder(RunRecordEnv& env, Dialogs& dialogs, bool quiet)
        : m_env(env), m_dialogs(dialogs), m_quiet(quiet) {}

    /// The options of the check before a job ("Check Prerequisites", "Fewer
    /// Messages", the model program's release record...).  Batch mode is
    /// also taken from `quiet`.
    void setPrereqOptions(PrereqOptions options) { m_options = std::move(options); }
    const PrereqOptions& prereqOptions() const { return m_options; }

    /// Writes the step into the run's record-of-runs file.  Failure: the
    /// file could not be updated (the user has seen "Problem updating Record
    /// of Runs file ..."); the text names the file and the step.
    Status recordCompletion(int run, int year, JobKind jobName, const TSolutionMethod& method,
                            const TAutoAccuracy& accuracy) override;
    void setUserDsName(int run, const std::string& ds1) override;
    void backupAtJobStart() override;
    void jobEnded(const std::array<bool, 4>& progress) override;
    bool botNeeded(int year) override;
    bool botFinishedSince(int year, std::int64_t since) override;
    /// The check before a job, then the short-name check; false stops the
    /// job and `lastProblem` holds the text of the problem.
    bool prerequisitesOk(const TBigJobDetails& job) override;
    std::string lastProblem() const override { return m_problem; }
    void jobStarting(int firstPolicyYear) override {
        m_env.firstPolicyYear = firstPolicyYear;
        m_dsName = {};
    }
    void selectionBegin() override;
    void selectionEnd() override;

    /// The record-of-runs files as this recorder holds them; other readers
    /// during a job (the durable copies after each step) use it too.
    RunRecordStore& store() { return m_store; }

private:
    RunRecordEnv& m_env;
    Dialogs& m_dialogs;
    bool m_quiet;
    PrereqOptions m_options;
    BotCache m_cache;
    RunRecordStore m_store;
    /// The folders read in this round of step selection: a round starts no
    /// program and records nothing, so what they list holds for all of it.
    FolderListings m_listings;
    std::string m_problem;
    bool m_selecting = false;
    std::map<int, bool> m_finishedSince;  ///< `botFinishedSince` answers of this round
    std::array<std::string, 4> m_dsName;  ///< "User DS name" last written per run
};

}  // namespace vdln
