#pragma once
/// What the window runs on: the core's application session (directories,
/// settings, the current record, details files, the record of runs, jobs)
/// plus what only the window has: the model selector of the Model/Data
/// page, the recent details files, the editor and the closure checks of the
/// grid.  No Qt here: the window shows this object and forwards commands.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/appsession.h"
#include "archive/archiveenv.h"
#include "base/clock.h"
#include "base/dialogs.h"
#include "cmf/closurecheck.h"
#include "env/directories.h"
#include "env/environment.h"
#include "env/joblock.h"
#include "env/process.h"
#include "jobs/session.h"
#include "jobs/singlejob.h"
#include "model/modelsel.h"
#include "model/settings.h"
#include "model/simdetails.h"
#include "model/simrecord.h"
#include "results/ratexp.h"
#include "results/remenu.h"
#include "runrecord/runrecord.h"

namespace vdln::gui {

/// What a session is made with; every reference must outlive it.
struct SessionSetup {
    Environment& env;
    Dialogs& dialogs;
    YearsDialog& years;
    const Clock& clock;
    ProcessLauncher& launcher;
    /// The folders standing for the fixed directory sources (tests).
    FixedFolders fixedFolders{};
};

class WindowSession : private SimDetailsHooks {
public:
    /// The start-up sequence of the application session, then the model
    /// named in the settings.  nullptr when no Temporary or Keep Directory
    /// could be found (the messages were shown).
    static std::unique_ptr<WindowSession> open(SessionSetup setup);
    ~WindowSession() override;

    AppSession& app() { return *m_app; }
    TSimRecord& rec() { return m_app->record(); }
    ProgramSettings& settings() { return m_app->settings(); }
    ModelDataState& model() { return m_app->modelState(); }
    ModelSelector& models() { return *m_selector; }
    JobsSession& jobs() { return m_app->jobs(); }
    const StartupDirectories& dirs() const { return m_app->directories(); }
    const SettingsContext& settingsContext() { return m_app->settingsContext(); }
    Environment& env() { return m_setup.env; }
    Dialogs& dialogs() { return m_setup.dialogs; }
    ProcessLauncher& launcher() { return m_setup.launcher; }
    SimDetailsSession details() { return m_app->detailsSession(); }
    ToolLocations tools() const;
    /// The settings file the program writes at exit.
    std::string settingsFile() const;

    /// The details file of the application ("" before one was saved or loaded).
    const std::string& detailsFile() const { return m_app->currentDetailsFile(); }
    /// The application's default ".ds1" file in the Working Directory.
    std::string defaultDetailsFile() const { return m_app->defaultDetailsFile(); }
    const std::vector<std::string>& recentFiles() const { return m_recent; }

    /// "Load Simulation Details" (the file given, or chosen by the user).
    bool loadDetails(std::optional<std::string> file);
    /// "Save Simulation Details As": the name chosen, or nullopt.
    std::optional<std::string> saveDetailsAs();
    /// The model selector changed the model part (a model change or an edit
    /// of the first-year list): the settings follow.
    void modelChanged();

    /// A Tasks-menu job (and "Run &All").
    bool startTask(TaskCommand command);
    /// A whole-run button of the bottom panel.
    bool startRun(RunButton button);
    /// A job over the ranges of a request (what "Where to start?" offers).
    bool startRequest(const JobRequest& request);
    RunRecordEnv& runRecordEnv() { return m_app->runRecordEnv(); }
    /// The archive commands' description of the current application.
    ArchiveEnv archiveEnv();
    /// What every closure check of this application shares.
    ClosureCheckRequest closureCheckCommon();
    /// Starts closure-check jobs; the timer watches them.
    bool startClosureChecks(const ClosureCheckPlan& plan);
    void tick() { m_app->tick(); }
    bool cancel() { return m_app->cancelJob(); }
    bool jobRunning() const { return m_app->jobRunning(); }

    /// Closing: while a job runs asks first (false: stay open) and then
    /// cancels the job as a confirmed Cancel does (its programs are stopped,
    /// the logs get their end line); then the exit sequence and the recent
    /// files.  Without `askWhileRunning` the job is cancelled unasked.
    bool close(bool askWhileRunning = true);

    // ---- rational expectations ------------------------------------------

    /// The iterations of this application's jobs (the engine's hooks).
    KoraleRE& re() { return *m_re; }
    /// What the "&Rational Expectations" menu commands work with.
    REMenuContext reMenu();
    /// What the Tasks commands (and their iterating variants) work with.
    TaskEnv taskEnv();
    /// Where a convergence report goes (title, text); unset: an information
    /// box with OK and Help.
    void setOverviewViewer(std::function<void(const std::string&, const std::string&)> show) {
        m_overview = std::move(show);
    }

    // ---- job safety -------------------------------------------------------

    /// Whether this window's job holds the locks of the Temporary and Keep
    /// Directories (from the start of a job to its end).
    bool holdsJobLocks() const { return !m_jobLocks.locks.empty(); }
    /// Whether another window was open on the same Keep Directory when this
    /// one opened (the user was warned).
    bool sharesKeepDirectory() const { return m_presence.otherWindow.has_value(); }
    /// "Part Time Limit": `seconds` (0: no limit) becomes the limit of every
    /// part of later jobs, and the new state is confirmed in a message.
    void setPartTimeLimit(int seconds);

    /// Opens a file in the user's editor (messages on failure).  When no
    /// editor can be found and a text viewer is set, the file is shown there.
    bool editFile(const std::string& file);
    /// The window's read-only text viewer for when no editor is found.
    void setTextViewer(std::function<bool(const std::string&)> show) { m_textViewer = std::move(show); }

private:
    explicit WindowSession(SessionSetup setup) : m_setup(std::move(setup)) {}
    bool start();
    void loadModel();
    bool takeJobLocks();
    void showOverview(const std::string& title, const std::string& text);
    // SimDetailsHooks: the recent files and the editor.
    void addRecentFile(const std::string& file) override;
    void openInEditor(const std::string& file) override;

    SessionSetup m_setup;
    std::unique_ptr<AppSession> m_app;
    std::unique_ptr<ModelSelector> m_selector;
    std::vector<std::string> m_recent;
    bool m_closed = false;
    std::unique_ptr<KoraleRE> m_re;
    std::function<void(const std::string&, const std::string&)> m_overview;
    JobDirectoryLocks m_jobLocks;
    WindowPresence m_presence;
    std::function<bool(const std::string&)> m_textViewer;
};

}  // namespace vdln::gui
