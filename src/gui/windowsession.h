#pragma once
/// What the window runs on: the directories, the settings, the current
/// application record, the model selector, the simulation-details commands,
/// the record-of-runs recorder and the job session, wired as batch mode wires
/// them.  No Qt here: the window shows this object and forwards its commands.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/clock.h"
#include "base/dialogs.h"
#include "env/directories.h"
#include "env/environment.h"
#include "jobs/process.h"
#include "jobs/recorder.h"
#include "jobs/session.h"
#include "jobs/singlejob.h"
#include "cmf/closurecheck.h"
#include "archive/archiveenv.h"
#include "model/modelsel.h"
#include "model/settings.h"
#include "model/simdetails.h"
#include "model/simrecord.h"
#include "runrecord/runrecord.h"

namespace vdln::gui {

/// Where a session comes from.  Tests give their own directories; the
/// program lets the directory sources choose.
struct SessionSetup {
    Environment& env;
    Dialogs& dialogs;
    YearsDialog& years;
    const Clock& clock;
    ProcessLauncher& launcher;
    /// Given: used as they are; absent: chosen from the environment.
    std::optional<StartupDirectories> dirs;
};

class WindowSession : private SimDetailsHooks {
public:
    /// The start-up sequence: the directories (failure: nullptr, the messages
    /// were shown), the settings from the Keep Directory, the application
    /// last used, the model named in the settings.
    static std::unique_ptr<WindowSession> open(SessionSetup setup);
    ~WindowSession() override;

    TSimRecord& rec() { return m_rec; }
    ProgramSettings& settings() { return m_settings; }
    ModelDataState& model() { return m_model; }
    ModelSelector& models() { return *m_selector; }
    JobsSession& jobs() { return *m_jobs; }
    const StartupDirectories& dirs() const { return m_dirs; }
    const SettingsContext& settingsContext() const { return m_sctx; }
    Environment& env() { return m_setup.env; }
    Dialogs& dialogs() { return m_setup.dialogs; }
    ProcessLauncher& launcher() { return m_setup.launcher; }
    SimDetailsSession details() { return {m_rec, m_settings, m_sctx, m_setup.dialogs, *this, m_setup.clock}; }
    ToolLocations tools() const;
    std::string settingsFile() const;

    /// The details file of the application ("" before one was saved or loaded).
    const std::string& detailsFile() const { return m_detailsFile; }
    /// The name a new details file gets in the Working Directory.
    std::string defaultDetailsFile() const;
    const std::vector<std::string>& recentFiles() const { return m_recent; }

    /// "Load Simulation Details" (the file given, or chosen by the user).
    bool loadDetails(std::optional<std::string> file);
    /// "Save Simulation Details As": the name chosen, or nullopt.
    std::optional<std::string> saveDetailsAs();
    /// Writes the details to the current details file (the default name when none).
    bool saveDetails();
    /// The model selector's state went to the settings (after a model change
    /// or a first-year list edit).
    void modelChanged();

    /// Starts a Tasks-menu job (the run buttons and "Run &All" too).
    bool startTask(TaskCommand command);
    /// A job over the whole of one run (the "Run &Base", "&Rerun Base" and
    /// "Run &Policy" buttons).
    bool startRun(int run);
    /// Starts a job over the ranges of a request (what "Where to start?" offers).
    bool startRequest(const JobRequest& request);
    /// The record-of-runs description of the application, brought up to date.
    RunRecordEnv& runRecordEnv() {
        refreshRecorderEnv();
        return *m_runEnv;
    }
    /// What every closure check of this application shares (job folder,
    /// model program, suite folder, first-year list).
    ClosureCheckRequest closureCheckCommon() const;
    /// Starts closure-check jobs (the Tasks checks, the grid's "Check
    /// &Closure"); the timer watches them.
    bool startClosureChecks(const ClosureCheckPlan& plan);
    /// The archive commands' description of the current application.
    /// `loadRestored` loads restored details (the window refreshes after).
    ArchiveEnv archiveEnv();
    void tick() { m_jobs->tick(); }
    bool cancel() { return m_jobs->cancelJob(); }
    bool jobRunning() const { return m_jobs->engine().running(); }

    /// Closing: while a job runs asks first (false: stay open); then the
    /// clean-up of the Temporary Directory and the settings write.
    bool close(bool askWhileRunning = true);

    /// Opens a file in the user's editor (messages on failure).
    bool editFile(const std::string& file);

private:
    explicit WindowSession(SessionSetup setup);
    bool start();
    void refreshRecorderEnv();
    // SimDetailsHooks
    void saveRunRecordCopies(int run) override;
    void restoreRunRecordCopies() override;
    void addRecentFile(const std::string& file) override;
    void openInEditor(const std::string& file) override;

    SessionSetup m_setup;
    StartupDirectories m_dirs;
    ProgramSettings m_settings;
    TSimRecord m_rec;
    SettingsContext m_sctx;
    ModelDataState m_model;
    std::unique_ptr<ModelSelector> m_selector;
    std::unique_ptr<RunRecordEnv> m_runEnv;
    std::unique_ptr<RunRecordRecorder> m_recorder;
    std::unique_ptr<JobsSession> m_jobs;
    std::string m_settingsFolder;
    std::string m_detailsFile;
    std::vector<std::string> m_recent;
    bool m_closed = false;
};

}  // namespace vdln::gui
