#pragma once
/// The job engine: runs a multi-step job over the three runs with up to three
/// console programs at once.  `StartBigJob` normalises a request and starts
/// the first parts; `tick` is the timer (once a second, or as soon as a
/// watched program ends): it handles one ended slot, decides success from the
/// part's report and output files, records completions and starts what can
/// run next.  Nothing blocks; every message goes through `Dialogs`.

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "base/clock.h"
#include "base/dialogs.h"
#include "base/result.h"
#include "env/process.h"
#include "jobs/jobslog.h"
#include "jobs/partjudge.h"
#include "jobs/rehooks.h"
#include "jobs/slotfolders.h"
#include "jobs/ssscripts.h"
#include "model/settings.h"
#include "model/simrecord.h"
#include "model/solutionmethod.h"
#include "plan/plan.h"

namespace vdln {

/// What the engine needs from the record of runs.
class CompletionRecorder {
public:
    virtual ~CompletionRecorder() = default;
    /// Records a completed step (`jobName` "sim", "bot" or a spreadsheet
    /// kind) of a run and year with the year's method settings.  A failure
    /// (the record could not be written; the user has been told) does not
    /// stop the job: the engine counts the step as done for this job and
    /// keeps the failure for its owner.
    [[nodiscard]] virtual Status recordCompletion(int run, int year, JobKind jobName,
                                                  const TSolutionMethod& method,
                                                  const TAutoAccuracy& accuracy) = 0;
    /// Writes "User DS name" into the run's record-of-runs file.
    virtual void setUserDsName(int run, const std::string& ds1) = 0;
    /// Backs up the record-of-runs files at the first launch of a job.
    virtual void backupAtJobStart() = 0;
    /// Tells which runs made progress when a job ends.
    virtual void jobEnded(const std::array<bool, 4>& progress) = 0;
    /// The stored BOT files of year i are no longer valid.
    virtual bool botNeeded(int year) = 0;
    /// The BOT step of year i completed at or after `since` (a file time).
    virtual bool botFinishedSince(int year, std::int64_t since) = 0;
    /// The prerequisite check before a job; false stops the job.
    virtual bool prerequisitesOk(const TBigJobDetails& job) = 0;
    /// The text of the last problem `prerequisitesOk` found ("" when none).
    virtual std::string lastProblem() const { return ""; }
    /// Called when a job's request has been normalised.
    virtual void jobStarting(int /*firstPolicyYear*/) {}
    /// Bracket one round of step selection: nothing the answers of
    /// `botNeeded` and `botFinishedSince` depend on changes in between, so
    /// they may be remembered until `selectionEnd`.
    virtual void selectionBegin() {}
    virtual void selectionEnd() {}
};

/// A recorder that records nothing and lets every job go ahead.
class NullRecorder : public CompletionRecorder {
public:
    Status recordCompletion(int, int, JobKind, const TSolutionMethod&, const TAutoAccuracy&) override {
        return Status::ok();
    }
    void setUserDsName(int, const std::string&) override {}
    void backupAtJobStart() override {}
    void jobEnded(const std::array<bool, 4>&) override {}
    bool botNeeded(int) override { return false; }
    bool botFinishedSince(int, std::int64_t) override { return false; }
    bool prerequisitesOk(const TBigJobDetails&) override { return true; }
};

/// Folders and modes the engine runs with.
struct EngineEnvironment {
    std::string programDir;  ///< where the suite's conversion programs are
    std::string tempDir;
    std::string keepDir;
    bool batchMode = false;
    std::string detailsFile;  ///< the job's simulation-details file name (".ds1")
};

/// A part that completed successfully (for progress reports).
struct PartDone {
    int slot = 0;
    int run = 0;
    int year = 0;                       ///< year number (`NumYears` + 1 for spreadsheet parts)
    JobKind jobName = JobKind::None;    ///< "sim", "bot", "csv", ...
    PartKind jobPart = PartKind::None;  ///< "sim", "sol", "env", ...
    double seconds = 0;                 ///< from the part's launch to its end being seen
    int partsLaunched = 0;              ///< parts launched in the job so far
    int partsDone = 0;                  ///< parts completed in the job so far (this one included)
};

/// How a job ended.
enum class JobOutcome { None, Running, Finished, Failed, Cancelled };

/// What the Results page shows once a job has finished: the window applies
/// these choices; the engine only decides them.
struct ResultsPageChoice {
    bool valid = false;           ///< a finished job left choices
    bool yearOnYear = true;       ///< year-on-year results chosen
    bool allYearsResults = true;  ///< all-years (cumulative) results chosen
    int run = 0;                  ///< run shown: 3, else 2, else 1 (the highest with spreadsheets); 0 none
    bool differences = false;     ///< "Differences" (the policy with deviations)
    bool cumulative = false;      ///< "Cumulative" (the policy with deviations)
    bool allYears = false;        ///< "All" years (the run's whole range), else "Some"
    int individualYearsRun = 0;   ///< the highest run that had simulations; 0 none
};

/// Whether the model program is run through a batch file: off with "Never
/// Use Bat Job for Simulations"; otherwise on for a program built with the
/// "f77l3" compiler and off for any other compiler from release 70000 on;
/// for an older program the "not a winconsole EXE" box decides.  When the
/// compiler decides, the box is set to match.  "Use Bat Jobs for Concurrent
/// Solves" turns it on whenever more than one solve may run at once.
bool UseBatJobForSims(ProgramSettings& settings);

class JobEngine {
public:
    JobEngine(TSimRecord& rec, ProgramSettings& settings, const EngineEnvironment& env, Dialogs& dialogs,
              const Clock& clock, ProcessLauncher& launcher, CompletionRecorder& recorder);

    /// Starts a job; false when it could not start (the reason was shown).
    [[nodiscard]] bool StartBigJob(JobRequest request);
    /// The timer: handles at most one ended slot.  Does nothing while a
    /// previous tick is still at work.
    void tick();
    /// Asks to cancel the running job (the next tick ends it).
    void requestCancel() { m_stop.cancelRequested = true; }
    /// Cancels the running job now, as a confirmed Cancel does: the running
    /// programs' process groups get SIGTERM and, after `graceMs`, SIGKILL;
    /// nothing is recorded for the parts they were doing; the jobs log gets
    /// its end line and the outcome is `Cancelled`.  `reason` (e.g. the
    /// interrupt) goes into the jobs log's end line.  Used by the Cancel
    /// panel (through `requestCancel`), an interrupt in batch mode and the
    /// window's close while a job runs.  Does nothing when no job runs.
    void cancelJob(const std::string& reason = "", int graceMs = kStopGraceMs);
    /// How long a stopped program may take to end after SIGTERM before it
    /// gets SIGKILL.
    static constexpr int kStopGraceMs = 2000;

    bool running() const { return m_job.Running; }
    JobOutcome outcome() const { return m_outcome; }
    /// The message of a failed job (batch mode logs it).
    const std::string& failureMessage() const { return m_failure; }
    const TBigJobDetails& job() const { return m_job; }
    int firstPolicyYear() const { return m_firstPolicyYear; }
    void setFirstPolicyYear(int fpy) { m_firstPolicyYear = fpy; }
    /// Seconds the whole job took (valid once finished).
    double elapsedSeconds() const { return m_tally.elapsed; }
    /// Parts launched in this job.
    int partsLaunched() const { return m_tally.partsLaunched; }
    /// The status lines for the bottom panel.
    StatusLines status() const;
    /// The bottom panel as it should look now.
    BottomPanel panel() const { return bottomPanel(m_panelPhase, status(), m_settings.NoRerun); }
    /// The rational-expectations hooks (by default: not doing them).  The
    /// object must outlive the engine.
    void setRationalExpectations(RationalExpectationsHooks& hooks) { m_re = &hooks; }
    /// Called once a job has finished successfully ("Run Single Job, then
    /// Concurrent" starts its next pass from here).
    /// The hook answers true when it started another job, in which case the
    /// finished message is not shown.
    void setFinishedHook(std::function<bool()> hook) { m_hooks.onFinished = std::move(hook); }
    /// Called after every successful part with its run and whether the part
    /// recorded a completion: keeps the job's simulation-details file (and
    /// the copies of the record of runs) up to date.
    void setDetailsWriter(std::function<void(int run, bool recorded)> writer) {
        m_hooks.writeDetails = std::move(writer);
    }
    /// The locks a job holds on its folders (the window's jobs; batch mode
    /// holds its own for the whole run): `take` is asked when a job is
    /// about to start and refuses it by answering false (after telling the
    /// user); `release` is called once the job has ended or did not start.
    /// `take` may be asked again while the locks are held (the next pass of
    /// "Run Single Job, then Concurrent") and must then answer true.
    void setJobLocks(std::function<bool()> take, std::function<void()> release) {
        m_hooks.takeLocks = std::move(take);
        m_hooks.releaseLocks = std::move(release);
    }
    /// The caller already warned that this way of running does not iterate:
    /// the next job start does not ask again.
    void suppressReQuestionOnce() { m_suppressReQuestion = true; }
    /// The pass note of "Run Single Job, then Concurrent" for the status lines.
    void setPassNote(const SingleThenConcurrentNote& note) { m_passNote = note; }
    /// Called after every successful part (progress reports of batch mode).
    void setPartDoneHook(std::function<void(const PartDone&)> hook) { m_hooks.onPartDone = std::move(hook); }
    /// The job's simulation-details file (written as "User DS name"; the
    /// details writer keeps it up to date).  Takes effect at the next job.
    void setDetailsFile(const std::string& ds1) { m_env.detailsFile = ds1; }
    const EngineEnvironment& environment() const { return m_env; }
    /// The completions of the last job that could not be recorded (one text
    /// each); those steps still counted as done for that job.
    const std::vector<std::string>& unrecordedCompletions() const { return m_tally.unrecorded; }
    /// The runs that made progress in the last job (index 1..3).
    const PerRun<bool>& progress() const { return m_tally.progress; }
    /// Parts completed in the last job.
    int partsDone() const { return m_tally.partsDone; }
    /// Opens a file in the user's editor (the error log of a failed part,
    /// when the user asks to look at it).
    void setEditor(std::function<void(const std::string&)> open) { m_hooks.openInEditor = std::move(open); }
    /// The last failure to write the jobs log ("" when none): the job goes
    /// on without its log lines.
    const std::string& logProblem() const { return m_logProblem; }
    /// The "ERROR" line of a part that failed ("" when none failed).
    const std::string& errorLine() const { return m_errorLine; }
    /// The Results-page choices left by the last finished job.
    const ResultsPageChoice& resultsChoice() const { return m_results; }
    /// The slot numbers the engine may use now: `FirstSlot` and `MaxConcurrent`.
    void setSlots(int firstSlot, int maxConcurrent) {
        m_firstSlot = firstSlot;
        m_maxConcurrent = maxConcurrent;
    }

private:
    /// What the engine keeps of the part running in a slot.
    struct RunningPart {
        ProcessHandle process;
        TSolutionMethod method;  ///< the year's method settings, recorded with the step
        TAutoAccuracy accuracy;
        double started = 0;     ///< monotonic time of the launch (time limits)
        double launchedAt = 0;  ///< monotonic time once launched (progress reports)
        std::string program;    ///< the program the part runs, as messages name it
    };
    /// What happened in the job so far.
    struct JobTally {
        bool launchedAny = false;
        int partsLaunched = 0;
        int partsDone = 0;
        std::array<bool, 4> progress{};
        std::vector<std::string> unrecorded;
        double startSeconds = 0;
        double elapsed = 0;
        /// BOT steps (year numbers) that completed in this job: done
        /// whatever the record of runs says, so a record that cannot be
        /// written never makes the job run them again.
        std::vector<int> botsDone;
        std::int64_t botPassStart = 0;  ///< file time the BOT-making run's current pass began (iterating)
    };
    /// What the engine's owner hooked in.
    struct Hooks {
        std::function<bool()> onFinished;
        std::function<void(int, bool)> writeDetails;
        std::function<void(const std::string&)> openInEditor;
        std::function<void(const PartDone&)> onPartDone;
        std::function<bool()> takeLocks;
        std::function<void()> releaseLocks;
    };
    /// Cancelling and stopping.
    struct StopState {
        bool cancelRequested = false;
        bool cancelling = false;
        std::string cancelReason;
        std::string stopProblem;  ///< a program that could not be stopped
    };

    PlanContext planContext();
    PlanOptions planOptions() const;
    ScriptContext scriptContext() const;
    bool StartNextSteps(int finishedSlot, std::optional<StepChoice> finished = std::nullopt);
    void restartIteration(int run);
    Status launchPart(int slot, const StepChoice& part);
    Status writePartInputs(int slot, const StepChoice& part, const TSolutionMethod& method,
                           const TAutoAccuracy& accuracy);
    Status writingFailure(const std::string& message);
    Status reBeforeModelPart(const StepChoice& part);
    bool reAfterCompletion(const TOneDosJob& before, bool stageCompleted);
    Result<LaunchRequest> commandFor(const PartFiles& pf, bool modelPart);
    void chooseResults();
    void handleEnded(int slot);
    void partSucceeded(int slotNo);
    void partFailed(int slotNo, const PartVerdict& verdict, const std::optional<int>& endSignal);
    void abortJob(const std::string& message);
    void stopRunningParts(int graceMs);
    bool checkTimeLimits();
    void finishJob();
    void log(const std::vector<std::string>& lines);
    DescribeContext describeContext() const;
    std::tm now() const { return m_clock.nowLocal(); }
    bool botDoneThisJob(int year) const;

    TSimRecord& m_rec;
    ProgramSettings& m_settings;
    EngineEnvironment m_env;
    Dialogs& m_dialogs;
    const Clock& m_clock;
    ProcessLauncher& m_launcher;
    CompletionRecorder& m_recorder;
    SlotFolders m_folders;
    PartJudge m_judge;

    NoRationalExpectations m_noRE;
    RationalExpectationsHooks* m_re = &m_noRE;
    Hooks m_hooks;
    bool m_suppressReQuestion = false;
    SingleThenConcurrentNote m_passNote;
    ResultsPageChoice m_results;
    PanelPhase m_panelPhase = PanelPhase::Idle;
    TBigJobDetails m_job;
    std::array<RunningPart, 4> m_running{};
    int m_firstSlot = 1;
    int m_maxConcurrent = 1;
    int m_firstPolicyYear = 1;
    JobOrder m_jobOrder = JobOrder::PolicyAsap;
    bool m_timerBusy = false;
    StopState m_stop;
    JobTally m_tally;
    JobOutcome m_outcome = JobOutcome::None;
    std::string m_failure;
    std::string m_errorLine;
    std::string m_logProblem;  ///< the last jobs-log write that failed
};

}  // namespace vdln
