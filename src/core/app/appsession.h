#pragma once
/// One running application of the program, from start-up to exit: the
/// owner of the start-up directories, the settings, the current record, the
/// current simulation-details file, the record-of-runs recorder and the jobs
/// session.  The window and batch mode are both clients of this object; it
/// is given the process environment, the dialogs, the clock and the process
/// launcher, and needs no window.
///
/// Life of a session:
///   open()   the Temporary and Keep Directories (or the shut-down
///            messages), the settings file (Keep Directory, else the folder
///            of earlier versions), "VdlnSim.txt" (or a new application),
///            the model part kept in the settings;
///   ...      load and save simulation details, start jobs, tick, cancel;
///   close()  the exit sequence: the Temporary Directory cleared when "Clear
///            Temp Dir when Exit" is on, the settings file and "VdlnSim.txt"
///            written unless "Don't update INI file when exit".
///
/// The record of runs follows the application: its working files are
/// replaced by the durable copies of the current names after every load of
/// simulation details and before every job; the copies are saved with the
/// details, after every recorded completion and, at the normal end of a job,
/// for every run that made progress.
///
/// Nothing that fails is dropped: every failure the user has been told of
/// and that leaves something unwritten (a completion that could not be
/// recorded, a details file or a record-of-runs copy that could not be
/// written, the settings at exit) is also kept in `problems()`, so that
/// batch mode can log each one and end with a non-zero status.

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/contexts.h"
#include "base/clock.h"
#include "base/dialogs.h"
#include "base/result.h"
#include "env/directories.h"
#include "env/environment.h"
#include "env/process.h"
#include "jobs/engine.h"
#include "jobs/recorder.h"
#include "jobs/session.h"
#include "jobs/tasks.h"
#include "model/modelsel.h"
#include "model/settings.h"
#include "model/simdetails.h"
#include "model/simrecord.h"
#include "runrecord/recordfiles.h"
#include "runrecord/runrecord.h"

namespace vdln {

/// What a session is given; every reference must outlive the session.
struct AppSessionParts {
    AppSessionParts(const Environment& e, Dialogs& d, const Clock& c, ProcessLauncher& l, bool batch = false)
        : env(e), dialogs(d), clock(c), launcher(l), batchMode(batch) {}

    const Environment& env;
    Dialogs& dialogs;
    const Clock& clock;
    ProcessLauncher& launcher;
    /// Started with command-line parameters: no question is asked that has
    /// a default, no wait window, details loaded whole.
    bool batchMode = false;
    /// The years dialog of the Tasks commands; null: every such dialog is
    /// cancelled (batch mode never asks).
    YearsDialog* years = nullptr;
    /// The dialogs of the details commands beyond message boxes (the parts
    /// dialog, the omit-periods dialog) and the recent files and editor;
    /// null: the defaults of `SimDetailsHooks`.
    SimDetailsHooks* detailsHooks = nullptr;
    /// The owners of the single checking jobs and the window's hooks.
    TimerHooks timerHooks;
    /// The folders standing for the fixed directory sources (tests).
    FixedFolders fixedFolders;
    /// The folder of earlier versions' settings ("" to skip it).
    std::string legacySettingsDir = kLegacySettingsDir;
    /// Processor count for the start-up defaults; 0: ask the system.
    int processors = 0;
};

/// The whole-run buttons of the bottom panel.
enum class RunButton { Base, Rerun, Policy, All };

/// One failure that left something unwritten.
struct SessionProblem {
    enum class Kind {
        UnrecordedCompletion,
        DetailsNotWritten,
        CopyNotSaved,
        CopyNotRestored,
        SettingsNotWritten
    };
    Kind kind;
    std::string text;  ///< the message (the user has seen it, or its cause)
};

class AppSession {
public:
    explicit AppSession(AppSessionParts parts);
    ~AppSession();
    AppSession(const AppSession&) = delete;
    AppSession& operator=(const AppSession&) = delete;

    // ---- start-up and exit ------------------------------------------------

    /// The start-up sequence.  Failure: no Temporary or Keep Directory could
    /// be found (the shut-down messages have been shown); the program must
    /// stop.  Opening twice is refused.
    [[nodiscard]] Status open();
    bool isOpen() const { return m_open; }
    /// The exit sequence (a running job is asked to stop first; its programs
    /// are not killed).  Failure: the settings or "VdlnSim.txt" could not be
    /// written (the message ending in "[CloseDown]" has been shown).  Does
    /// nothing the second time.
    [[nodiscard]] Status close();
    bool isClosed() const { return m_closed; }

    // ---- state ------------------------------------------------------------

    const StartupDirectories& directories() const { return m_dirs; }
    const std::string& tempDir() const { return m_dirs.tempDir; }
    const std::string& keepDir() const { return m_dirs.keepDir; }
    /// The folder the settings were read from (the Keep Directory, or the
    /// folder of earlier versions).
    const std::string& settingsFolder() const { return m_settingsFolder; }
    const std::string& programDir() const { return m_programDir; }
    bool batchMode() const { return m_parts.batchMode; }

    ProgramSettings& settings() { return m_settings; }
    const ProgramSettings& settings() const { return m_settings; }
    TSimRecord& record() { return m_rec; }
    const TSimRecord& record() const { return m_rec; }
    /// The Model/Data page's state, filled from the settings' model part at
    /// start-up and after a load.
    ModelDataState& modelState() { return m_modelState; }

    /// The simulation-details file last loaded or saved ("" when none).
    const std::string& currentDetailsFile() const { return m_currentDetails; }
    /// The application's default ".ds1" file (full path in `WorkDir`).
    std::string defaultDetailsFile() const;
    /// The job's ".ds1": the default one ("User DS name", and the file kept
    /// up to date after every completed step).
    std::string jobDetailsFile() const { return defaultDetailsFile(); }
    /// Whether jobs rewrite the job's details file after every completed
    /// step (on by default; batch mode turns it off when the user named the
    /// details file, which is then the job's input).
    void setWriteDetailsDuringJobs(bool on) { m_writeDetailsDuringJobs = on; }

    Dialogs& dialogs() { return m_parts.dialogs; }
    const Clock& clock() const { return m_parts.clock; }
    ProcessLauncher& launcher() { return m_parts.launcher; }
    const Environment& environment() const { return m_parts.env; }

    /// The jobs session (valid once open): the engine, the timer, the Tasks
    /// and concurrency commands.
    JobsSession& jobs();
    const JobsSession& jobs() const;
    JobEngine& engine() { return jobs().engine(); }
    const JobEngine& engine() const { return jobs().engine(); }
    /// The record-of-runs context of the current application (refreshed).
    RunRecordEnv& runRecordEnv();
    /// The recorder the engine writes completions through.
    RunRecordRecorder& recorder();

    // ---- contexts ---------------------------------------------------------

    /// The state every context is made from (see app/contexts.h).
    AppState state() const;
    /// The settings reader's context (kept by the session).
    const SettingsContext& settingsContext();
    /// The details commands' state (the session's hooks restore and save
    /// the record-of-runs copies).
    SimDetailsSession detailsSession();
    /// An archive context of the current application.
    ArchiveEnv archiveEnv();
    /// The report commands' context.
    ReportCommandEnv reportEnv(std::function<void(const std::string&)> viewText = {}, int helpContext = 0);
    /// Model selection's context.
    ModelSelectEnv modelSelectEnv() const;
    /// Refreshes every context the session keeps from the settings and the
    /// record (called before each operation; the window calls it after it
    /// changed settings directly).
    void refreshContexts();

    // ---- simulation details -----------------------------------------------

    /// "Load Simulation Details" (`ds1` used when it exists and ends in
    /// ".ds1"; otherwise the user chooses).  After a load the record-of-runs
    /// files are the copies of the new names.  True when something loaded.
    [[nodiscard]] bool loadDetails(std::optional<std::string> ds1 = std::nullopt);
    /// "Save Sim Details": asks for the name (batch mode: the default name),
    /// writes the pair and saves the record-of-runs copies of all runs.
    std::optional<std::string> saveDetails();
    /// Writes the details pair under `ds1` (and, with `copyRunRecords`, the
    /// record-of-runs copies of `run`, 0 = all).  False when something was
    /// not written (shown, and kept in `problems()`).
    [[nodiscard]] bool writeDetails(const std::string& ds1, bool copyRunRecords = true, int run = 0);

    // ---- record of runs ---------------------------------------------------

    /// Replaces the record-of-runs files by the durable copies of the
    /// current names.  A failure is kept in `problems()`.
    [[nodiscard]] Status restoreRunRecordCopies();
    /// Saves the copies of the selected runs (index 1..3).  A failure is
    /// shown and kept in `problems()`.
    [[nodiscard]] Status saveRunRecordCopies(const std::array<bool, 4>& runs);

    // ---- jobs -------------------------------------------------------------

    /// Starts a job from a request (batch mode, where-to-start answers).
    /// False when it did not start (the reason was shown).
    [[nodiscard]] bool startJob(const JobRequest& request);
    /// A Tasks-menu job command.
    [[nodiscard]] bool runTask(TaskCommand command);
    /// "Run Single Job, then Concurrent".
    [[nodiscard]] bool runSingleThenConcurrent();
    /// A whole-run button of the bottom panel ("Run All" is "Run Base to
    /// Policy").
    [[nodiscard]] bool runWhole(RunButton button);
    /// The Cancel button: asks, then the next tick ends the job.
    bool cancelJob();
    /// Ends the running job at the next tick without asking.
    void requestCancel();
    /// The timer tick (once a second and whenever `wakeFd()` is readable).
    void tick();
    /// Whether a job or a single check is being watched.
    bool watching() const;
    bool jobRunning() const;
    /// The descriptor that becomes readable when a watched program ends.
    int wakeFd() const { return m_parts.launcher.wakeFd(); }
    /// Called after every successful part (progress reports).
    void setPartDoneHook(std::function<void(const PartDone&)> hook);

    // ---- failures ---------------------------------------------------------

    /// Everything that was left unwritten since the session opened.
    const std::vector<SessionProblem>& problems() const { return m_problems; }
    /// Adds a problem (the caller has told the user).
    void addProblem(SessionProblem::Kind kind, std::string text);

private:
    class Hooks;
    class Recorder;
    bool beginJob();
    void jobEnded();
    void writeDetailsAfterStep(int run, bool recorded);

    AppSessionParts m_parts;
    std::string m_programDir;
    StartupDirectories m_dirs;
    std::string m_settingsFolder;
    ProgramSettings m_settings;
    TSimRecord m_rec;
    ModelDataState m_modelState;
    SettingsContext m_sctx;
    std::string m_currentDetails;
    bool m_writeDetailsDuringJobs = true;
    bool m_open = false;
    bool m_closed = false;
    bool m_restoreFailedAtJobStart = false;
    bool m_stepWritesFailed = false;

    std::unique_ptr<Hooks> m_hooks;
    std::unique_ptr<ScriptedYearsDialog> m_noYears;
    std::unique_ptr<RunRecordEnv> m_rrEnv;
    std::unique_ptr<Recorder> m_recorder;
    std::unique_ptr<JobsSession> m_jobs;
    std::function<void(const PartDone&)> m_onPartDone;
    std::vector<SessionProblem> m_problems;
};

}  // namespace vdln
