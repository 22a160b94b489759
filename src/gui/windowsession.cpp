#include "windowsession.h"

#include <algorithm>

#include "base/besteffort.h"
#include "base/paths.h"
#include "env/tools.h"
#include "jobs/jobslog.h"
#include "model/recentfiles.h"
#include "model/simgrid.h"

namespace vdln::gui {

WindowSession::~WindowSession() {
    // The engine keeps a pointer to the iterations: it goes first.
    m_selector.reset();
    m_app.reset();
}

std::unique_ptr<WindowSession> WindowSession::open(SessionSetup setup) {
    std::unique_ptr<WindowSession> s(new WindowSession(std::move(setup)));
    if (!s->start()) return nullptr;
    return s;
}

bool WindowSession::start() {
    AppSessionParts parts{m_setup.env, m_setup.dialogs, m_setup.clock, m_setup.launcher};
    parts.batchMode = false;
    parts.years = &m_setup.years;
    parts.detailsHooks = this;
    parts.fixedFolders = m_setup.fixedFolders;
    parts.timerHooks.openInEditor = [this](const std::string& f) { return editFile(f); };
    parts.timerHooks.releaseCheckEnded = [this](const ReleaseJobFiles& files, bool cancelled) {
        // A refused release clears the model (the reason was shown); either
        // way the settings follow the selector.
        if (!cancelled && m_selector && !m_selector->finishReleaseCheck(files)) model().modelReady = false;
        modelChanged();
    };
    m_app = std::make_unique<AppSession>(std::move(parts));
    // Without its directories the program cannot run; the messages were shown.
    if (Status st = m_app->open(); !st) return false;
    m_recent = readRecentFiles(settingsFile());

    // A second window on the same Keep Directory may go on, but is told: the
    // two share the record of runs, the logs and the settings file.
    m_presence = acquireWindowPresence(dirs().keepDir, m_setup.clock.nowLocal());
    if (m_presence.otherWindow)
        m_setup.dialogs.message(MsgKind::Warning,
                                secondWindowWarning(dirs().keepDir, *m_presence.otherWindow), BtnOk);
    // A lock file that cannot be made leaves the warning out; the jobs' own
    // locks still keep two jobs apart.
    bestEffort(m_presence.problem.empty() ? Status::ok() : Status::fail(m_presence.problem),
               "the second-window warning only; every job takes its own locks");

    // The iterations of every job of this window.
    m_re = std::make_unique<KoraleRE>(
        REContext{rec(), settings(), m_setup.dialogs, m_setup.clock, dirs().tempDir,
                  [this] { return jobs().engine().firstPolicyYear(); },
                  [this](const std::string& title, const std::string& text) { showOverview(title, text); }});
    jobs().engine().setRationalExpectations(*m_re);
    // A job holds the Temporary and Keep Directories from its start to its
    // end, as batch mode does; so do the checking jobs (closures, the model
    // program's release, the Temporary Directory), which run the suite's
    // programs in the same folder.
    jobs().engine().setJobLocks([this] { return takeJobLocks(); }, [this] { m_jobLocks.locks.clear(); });
    jobs().timer().setJobLocks([this] { return takeJobLocks(); }, [this] { m_jobLocks.locks.clear(); });

    ModelSelectEnv menv = m_app->modelSelectEnv();
    menv.startReleaseCheck = [this] {
        // A check that cannot start says so; the model stays chosen.
        if (!model().programPath.empty() && !jobs().timer().startReleaseCheck(model().programPath))
            model().modelReady = false;
    };
    m_selector = std::make_unique<ModelSelector>(rec(), model(), m_setup.dialogs, menv);
    // The model kept in the settings is loaded as the program left it.
    loadModel();
    return true;
}

void WindowSession::loadModel() {
    if (model().modelPath.empty()) return;
    // A model whose files are missing is cleared by the selector, which has
    // told the user; the Model/Data page then shows no model.
    if (!m_selector->LoadModel(false, true)) model().modelReady = false;
    modelChanged();
}

std::string WindowSession::settingsFile() const {
    return JoinPath(dirs().keepDir, kSettingsFileName);
}

ToolLocations WindowSession::tools() const {
    return toolLocationsFor(m_app->settings());
}

void WindowSession::modelChanged() {
    modelStateToSettings(model(), settings().model);
    m_app->refreshContexts();
}

bool WindowSession::loadDetails(std::optional<std::string> file) {
    if (!m_app->loadDetails(std::move(file))) return false;
    ComputeYears(rec());
    RefreshGrid(rec());
    // The details may name another model: it is loaded as at start-up.
    loadModel();
    return true;
}

std::optional<std::string> WindowSession::saveDetailsAs() {
    return m_app->saveDetails();
}

bool WindowSession::startTask(TaskCommand command) {
    return m_app->runTask(command);
}

bool WindowSession::startRun(RunButton button) {
    return m_app->runWhole(button);
}

bool WindowSession::startRequest(const JobRequest& request) {
    return m_app->startJob(request);
}

ArchiveEnv WindowSession::archiveEnv() {
    ArchiveEnv env = m_app->archiveEnv();
    env.showFile = [this](const std::string& f) { openInEditor(f); };
    return env;
}

ClosureCheckRequest WindowSession::closureCheckCommon() {
    ClosureCheckRequest c;
    c.jobDir = dirs().tempDir;
    c.modelProgram = model().programPath.empty() ? settings().model.Model : model().programPath;
    if (!settings().tools.UseSolvaneDir.empty()) c.suiteDir = settings().tools.UseSolvaneDir;
    c.firstYearList = settings().model.FirstYearList;
    c.noRerun = settings().NoRerun;
    return c;
}

bool WindowSession::startClosureChecks(const ClosureCheckPlan& plan) {
    if (plan.requests.empty()) return false;
    if (settings().model.Model.empty()) {
        m_setup.dialogs.info("Please select a model first (Model/Data page).");
        return false;
    }
    return jobs().timer().startClosureChecks(plan.mode, plan.requests, [this](const ClosureCheckRequest& r) {
        return CheckClosureCMF(rec(), r, m_setup.dialogs);
    });
}

void WindowSession::addRecentFile(const std::string& file) {
    vdln::addRecentFile(m_recent, file);
}

void WindowSession::openInEditor(const std::string& file) {
    // The editor reports its own failure.
    if (!editFile(file)) return;
}

bool WindowSession::editFile(const std::string& file) {
    // Without an editor anywhere a new user could read no log or report:
    // the window shows the file itself.
    if (m_textViewer && locateProgram(m_setup.env, tools(), "editor").empty()) return m_textViewer(file);
    return OpenInEditor(file, m_setup.env, tools(), m_setup.dialogs, m_setup.launcher);
}

bool WindowSession::close(bool askWhileRunning) {
    if (m_closed) return true;
    if (jobRunning()) {
        if (askWhileRunning &&
            !m_setup.dialogs.askYesNo("A job is running.\r\nDo you really want to close Vardelon now?"))
            return false;
        // Programs left running would go on writing into the folders the
        // next job reads: the job is cancelled as the Cancel button does.
        jobs().engine().cancelJob("the window was closed");
    }
    m_closed = true;
    modelChanged();
    // A failure has been shown and is kept among the session's problems.
    if (Status st = m_app->close(); !st) return true;
    if (!settings().DontUpdateIniAtExit) {
        if (Status st = writeRecentFiles(settingsFile(), m_recent); !st) m_setup.dialogs.error(st.message());
    }
    m_presence.lock.release();
    return true;
}

REMenuContext WindowSession::reMenu() {
    return REMenuContext{rec(),
                         settings(),
                         m_setup.dialogs,
                         *m_re,
                         [this](const JobRequest& request) { return startRequest(request); },
                         [this] { return jobRunning(); }};
}

TaskEnv WindowSession::taskEnv() {
    return TaskEnv{rec(), settings(), jobs().engine().firstPolicyYear(), m_setup.dialogs, m_setup.years};
}

void WindowSession::showOverview(const std::string& title, const std::string& text) {
    if (m_overview)
        m_overview(title, text);
    else
        m_setup.dialogs.message(MsgKind::Information, text, BtnOk | BtnHelp);
}

bool WindowSession::takeJobLocks() {
    if (!m_jobLocks.locks.empty()) return true;
    auto locks = acquireJobLocks(dirs().tempDir, dirs().keepDir, m_setup.clock.nowLocal());
    if (!locks) {
        m_setup.dialogs.message(MsgKind::Error, locks.message(), BtnOk);
        return false;
    }
    m_jobLocks = std::move(*locks);
    // A lock left by a program that ended without giving it up is taken
    // over; the jobs log says so.
    const std::vector<std::string> notes = m_jobLocks.notes();
    if (!notes.empty() && settings().AddToJobsLog)
        bestEffort(appendToLog(JoinPath(dirs().keepDir, kJobsLogName), notes),
                   "the take-over note; the job runs with the locks it took");
    return true;
}

void WindowSession::setPartTimeLimit(int seconds) {
    settings().PartTimeLimit = std::clamp(seconds, 0, kMaxPartTimeLimit);
    if (settings().PartTimeLimit > 0)
        m_setup.dialogs.info("A part of a job that runs for longer than " +
                             std::to_string(settings().PartTimeLimit) +
                             " seconds will be stopped, and the job ended.");
    else
        m_setup.dialogs.info("Parts of jobs will run without a time limit.");
}

}  // namespace vdln::gui
