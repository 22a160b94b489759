#include "app/appsession.h"

#include <unistd.h>

#include <algorithm>
#include <stdexcept>

#include "base/besteffort.h"
#include "base/fileutil.h"
#include "base/paths.h"
#include "base/strutil.h"
#include "env/joblock.h"
#include "model/simgrid.h"

namespace vdln {

// The details commands' hooks: the record-of-runs copies go through the
// session; the dialogs, recent files and editor through the window's hooks
// when it gave some.
class AppSession::Hooks : public SimDetailsHooks {
public:
    Hooks(AppSession& s, SimDetailsHooks* inner) : m_s(s), m_inner(inner) {}

    std::optional<LoadPartsChoice> chooseLoadParts(Dialogs& dialogs, bool noRerun) override {
        return m_inner ? m_inner->chooseLoadParts(dialogs, noRerun)
                       : SimDetailsHooks::chooseLoadParts(dialogs, noRerun);
    }
    std::optional<OmitPeriodsChoice> chooseOmitPeriods(Dialogs& dialogs, int maxPeriods) override {
        return m_inner ? m_inner->chooseOmitPeriods(dialogs, maxPeriods)
                       : SimDetailsHooks::chooseOmitPeriods(dialogs, maxPeriods);
    }
    void saveRunRecordCopies(int run) override {
        std::array<bool, 4> runs{};
        for (int r = 1; r <= 3; ++r) runs[r] = run == 0 || run == r;
        if (m_s.m_settings.NoRerun) runs[2] = false;
        // A failure has been shown and kept as a problem of the session.
        if (Status st = m_s.saveRunRecordCopies(runs); !st) m_lastFailed = true;
    }
    void restoreRunRecordCopies() override {
        // The names may have changed with the load: the copies are those of
        // the new names.
        m_s.refreshContexts();
        if (Status st = m_s.restoreRunRecordCopies(); !st) m_lastFailed = true;
    }
    bool yearFinishedOk(int run, int i) override {
        if (i < 1 || i > m_s.m_rec.NumYears) return false;
        const RunRecordView view = RunRecordView::load(RunRecordFileName(m_s.runRecordEnv().keep, run));
        return view.getTime(std::to_string(m_s.m_rec.Years[i]), "Year finished ok").has_value();
    }
    void addRecentFile(const std::string& file) override {
        // Loading and saving name their file here.
        m_lastNamed = file;
        if (m_inner) m_inner->addRecentFile(file);
    }
    void openInEditor(const std::string& file) override {
        if (m_inner) m_inner->openInEditor(file);
    }
    bool m_lastFailed = false;
    std::string m_lastNamed;

private:
    AppSession& m_s;
    SimDetailsHooks* m_inner;
};

// The recorder of the session: the record of runs, and the end of every job
// handed back to the session (which saves the copies of the runs that made
// progress).
class AppSession::Recorder : public RunRecordRecorder {
public:
    Recorder(AppSession& s, RunRecordEnv& env) : RunRecordRecorder(env, s.dialogs(), s.batchMode()), m_s(s) {}
    void jobEnded(const std::array<bool, 4>& progress) override {
        RunRecordRecorder::jobEnded(progress);
        m_s.jobEnded();
    }

private:
    AppSession& m_s;
};

AppSession::AppSession(AppSessionParts parts) : m_parts(std::move(parts)), m_rec(CreateSimRecord()) {
    m_programDir = m_parts.env.programDirectory();
    m_hooks = std::make_unique<Hooks>(*this, m_parts.detailsHooks);
    m_noYears = std::make_unique<ScriptedYearsDialog>();
}

AppSession::~AppSession() = default;

AppState AppSession::state() const {
    return AppState{m_rec, m_settings, m_dirs, m_programDir, m_parts.batchMode};
}

Status AppSession::open() {
    if (m_open) return Status::fail("The application is already open.");
    if (m_closed) return Status::fail("The application has been closed.");
    // 1. The Temporary and Keep Directories; without them nothing can run.
    DirectorySources sources(m_parts.env, m_parts.fixedFolders);
    auto dirs = chooseStartupDirectories(sources, m_parts.dialogs);
    if (!dirs) return Status::fail(dirs.message());
    m_dirs = *dirs;

    // 2. The settings file and 3. the current application ("VdlnSim.txt",
    // or a new application).
    m_sctx = settingsContextFor(state());
    int processors = m_parts.processors;
    if (processors <= 0) processors = static_cast<int>(std::max(1L, ::sysconf(_SC_NPROCESSORS_ONLN)));
    m_settingsFolder = StartupReadSettings(m_dirs.keepDir, m_parts.legacySettingsDir, processors, m_settings,
                                           m_rec, m_sctx, m_parts.dialogs);
    // A Temporary Directory requested in the settings ("Specify Temporary
    // Directory" at an earlier start) is used when it passes the checks.
    if (!m_settings.RequestedTempDir.empty() && m_settings.RequestedTempDir != m_dirs.tempDir) {
        DirectoryChoice requested = chooseTemporaryDirectory(sources, m_settings.RequestedTempDir);
        if (requested.directory) {
            m_dirs.tempDir = *requested.directory;
            m_dirs.tempLog = requested.log;
        }
    }
    if (!m_parts.batchMode)
        warnAboutTempDirName(m_parts.dialogs, m_dirs.tempDir, m_settings.WarnAboutTempDirName);
    ComputeYears(m_rec);
    RefreshGrid(m_rec);

    // 4. The model part kept in the settings (checked by the reader: a
    // model whose files are missing has been cleared).
    modelStateFromSettings(m_settings.model, m_modelState);

    m_sctx = settingsContextFor(state());
    m_rrEnv = std::make_unique<RunRecordEnv>(m_rec, TKeepRunInfo::inDirectory(m_dirs.keepDir), m_parts.clock);
    m_recorder = std::make_unique<Recorder>(*this, *m_rrEnv);
    refreshContexts();
    JobsSessionParts jp{m_rec,
                        m_settings,
                        engineEnvironmentFor(state(), jobDetailsFile()),
                        m_parts.dialogs,
                        m_parts.years ? *m_parts.years : *m_noYears,
                        m_parts.clock,
                        m_parts.launcher,
                        *m_recorder,
                        m_parts.timerHooks};
    m_jobs = std::make_unique<JobsSession>(std::move(jp));
    m_jobs->engine().setDetailsWriter(
        [this](int run, bool recorded) { writeDetailsAfterStep(run, recorded); });
    if (m_onPartDone) m_jobs->engine().setPartDoneHook(m_onPartDone);
    m_open = true;
    return Status::ok();
}

Status AppSession::close() {
    if (!m_open || m_closed) return Status::ok();
    m_closed = true;
    if (jobRunning()) m_jobs->engine().requestCancel();
    refreshContexts();
    // The Temporary Directory: its files (and those of the slot folders)
    // unless the option is off or developer mode keeps them, or another
    // process's job is using the folder.
    if (m_settings.ClearTempDirAtExit && !m_settings.DeveloperMode)
        bestEffort(
            clearTemporaryDirectoryUnlessInUse(m_dirs.tempDir, m_rec.WorkDir, m_parts.clock.nowLocal()),
            "the Temporary Directory is left to the job that uses it; its files are cleared at the "
            "next exit");
    // The settings file and "VdlnSim.txt" in the Keep Directory.
    if (!ExitWriteSettings(m_dirs.keepDir, isWriteableDirectory(m_dirs.keepDir), m_settings, m_rec, m_sctx,
                           m_parts.dialogs)) {
        const std::string text = "The settings or the current simulation details could not be written to " +
                                 m_dirs.keepDir + " [CloseDown]";
        addProblem(SessionProblem::Kind::SettingsNotWritten, text);
        return Status::fail(text);
    }
    return Status::ok();
}

std::string AppSession::defaultDetailsFile() const {
    return DefaultDs1Path(m_rec, m_settings.model.ModelName, m_settings.NoRerun);
}

JobsSession& AppSession::jobs() {
    if (!m_jobs) throw std::logic_error("AppSession: the jobs session is used before open()");
    return *m_jobs;
}

const JobsSession& AppSession::jobs() const {
    if (!m_jobs) throw std::logic_error("AppSession: the jobs session is used before open()");
    return *m_jobs;
}

RunRecordEnv& AppSession::runRecordEnv() {
    if (!m_rrEnv) throw std::logic_error("AppSession: the record of runs is used before open()");
    const int fpy = m_rrEnv->firstPolicyYear;
    fillRunRecordEnv(*m_rrEnv, state());
    m_rrEnv->firstPolicyYear = m_jobs ? m_jobs->engine().firstPolicyYear() : fpy;
    return *m_rrEnv;
}

RunRecordRecorder& AppSession::recorder() {
    if (!m_recorder) throw std::logic_error("AppSession: the recorder is used before open()");
    return *m_recorder;
}

const SettingsContext& AppSession::settingsContext() {
    m_sctx = settingsContextFor(state());
    return m_sctx;
}

SimDetailsSession AppSession::detailsSession() {
    m_sctx = settingsContextFor(state());
    return SimDetailsSession{m_rec, m_settings, m_sctx, m_parts.dialogs, *m_hooks, m_parts.clock};
}

ArchiveEnv AppSession::archiveEnv() {
    m_sctx = settingsContextFor(state());
    ArchiveEnv env(m_rec, m_parts.dialogs, m_parts.clock);
    fillArchiveEnv(env, state(), m_sctx);
    env.addRecentFile = [this](const std::string& file) { m_hooks->addRecentFile(file); };
    // Restored details become the current application (their folder is the
    // Working Directory written in them); loading only the closure/shock
    // part is the window's parts dialog.
    env.loadRestored = [this](const std::string& ds1, bool closShOnly) {
        if (closShOnly && !m_parts.detailsHooks) return false;
        return loadDetails(ds1);
    };
    return env;
}

ReportCommandEnv AppSession::reportEnv(std::function<void(const std::string&)> viewText, int helpContext) {
    return reportEnvFor(state(), std::move(viewText), helpContext);
}

ModelSelectEnv AppSession::modelSelectEnv() const {
    return modelSelectEnvFor(state(), m_parts.env);
}

void AppSession::refreshContexts() {
    m_sctx = settingsContextFor(state());
    if (m_rrEnv) runRecordEnv();
    if (m_recorder) m_recorder->setPrereqOptions(prereqOptionsFor(state()));
    if (m_jobs && !m_jobs->engine().running()) m_jobs->engine().setDetailsFile(jobDetailsFile());
}

void AppSession::addProblem(SessionProblem::Kind kind, std::string text) {
    m_problems.push_back(SessionProblem{kind, std::move(text)});
}

// ---- simulation details ----------------------------------------------------

bool AppSession::loadDetails(std::optional<std::string> ds1) {
    if (jobRunning()) {
        m_parts.dialogs.info("A job is running: simulation details cannot be loaded now.");
        return false;
    }
    SimDetailsSession s = detailsSession();
    m_hooks->m_lastNamed.clear();
    if (!LoadSimDetails(s, std::move(ds1))) return false;
    if (!m_hooks->m_lastNamed.empty()) m_currentDetails = m_hooks->m_lastNamed;
    modelStateFromSettings(m_settings.model, m_modelState);
    refreshContexts();
    return true;
}

std::optional<std::string> AppSession::saveDetails() {
    SimDetailsSession s = detailsSession();
    std::optional<std::string> name = SaveSimDetails(s);
    if (!name) {
        // Batch mode never cancels: nothing saved means a failed write.
        if (m_parts.batchMode)
            addProblem(SessionProblem::Kind::DetailsNotWritten, "The simulation details were not saved.");
        return std::nullopt;
    }
    m_currentDetails = *name;
    return name;
}

bool AppSession::writeDetails(const std::string& ds1, bool copyRunRecords, int run) {
    SimDetailsSession s = detailsSession();
    m_hooks->m_lastFailed = false;
    if (!WriteDynamicSimInfo(s, ds1, copyRunRecords, run)) {
        addProblem(SessionProblem::Kind::DetailsNotWritten,
                   "Simulation details " + ds1 + " were not written.");
        return false;
    }
    return !m_hooks->m_lastFailed;
}

// ---- record of runs ---------------------------------------------------------

Status AppSession::restoreRunRecordCopies() {
    RunRecordEnv& env = runRecordEnv();
    Status st = RestoreRunRecordCopies(env.keep, env.copies, env.noRerun);
    if (!st) {
        m_parts.dialogs.error(st.message());
        addProblem(SessionProblem::Kind::CopyNotRestored, st.message());
    }
    return st;
}

Status AppSession::saveRunRecordCopies(const std::array<bool, 4>& runs) {
    RunRecordEnv& env = runRecordEnv();
    const std::array<std::string, 4> names{"", m_rec.SimNames[1].str(), m_rec.SimNames[2].str(),
                                           m_rec.SimNames[3].str()};
    Status st = m_recorder ? SaveRunRecordCopies(env.keep, runs, env.copies, names, m_rec.WorkDir,
                                                 m_recorder->store())
                           : SaveRunRecordCopies(env.keep, runs, env.copies, names, m_rec.WorkDir);
    if (!st) {
        m_parts.dialogs.error(st.message());
        addProblem(SessionProblem::Kind::CopyNotSaved, st.message());
    }
    return st;
}

// ---- jobs -------------------------------------------------------------------

bool AppSession::beginJob() {
    if (!m_open) return false;
    // A running job keeps its records: the engine refuses the second job.
    if (jobRunning()) return true;
    refreshContexts();
    // The working records describe the application loaded.  A copy that
    // could not be restored has been shown and kept as a problem; its run
    // reads as empty, so the checks before the job judge it as never run.
    if (!restoreRunRecordCopies()) m_restoreFailedAtJobStart = true;
    return true;
}

bool AppSession::startJob(const JobRequest& request) {
    if (!beginJob()) return false;
    return m_jobs->startJob(request);
}

bool AppSession::runTask(TaskCommand command) {
    if (!beginJob()) return false;
    return m_jobs->runTask(command);
}

bool AppSession::runSingleThenConcurrent() {
    if (!beginJob()) return false;
    return m_jobs->runSingleThenConcurrent();
}

bool AppSession::runWhole(RunButton button) {
    if (button == RunButton::All) return runTask(TaskCommand::RunBaseToPolicy);
    const int run = button == RunButton::Base ? 1 : button == RunButton::Rerun ? 2 : 3;
    JobRequest request = emptyRequest(m_rec.NumYears);
    request.FirstSimYear[run] = request.FirstSSYear[run] = 1;
    request.LastSimYear[run] = request.LastSSYear[run] = m_rec.NumYears;
    request.DoDeviations = run == 3;
    return startJob(request);
}

bool AppSession::cancelJob() {
    return m_jobs && m_jobs->cancelJob();
}

void AppSession::requestCancel() {
    if (jobRunning()) m_jobs->engine().requestCancel();
}

void AppSession::tick() {
    if (m_jobs) m_jobs->tick();
}

bool AppSession::watching() const {
    return m_jobs && m_jobs->watching();
}

bool AppSession::jobRunning() const {
    return m_jobs && m_jobs->engine().running();
}

void AppSession::setPartDoneHook(std::function<void(const PartDone&)> hook) {
    m_onPartDone = std::move(hook);
    if (m_jobs) m_jobs->engine().setPartDoneHook(m_onPartDone);
}

void AppSession::writeDetailsAfterStep(int run, bool recorded) {
    if (!recorded) return;
    // The job's details file and the run's record-of-runs copy follow every
    // recorded completion, so an interrupted job leaves them matching; with
    // the details file left alone the copy is still saved.
    // Failures have been shown and kept as problems of the session.
    if (m_writeDetailsDuringJobs) {
        if (!writeDetails(jobDetailsFile(), true, run)) m_stepWritesFailed = true;
        return;
    }
    std::array<bool, 4> runs{};
    if (run >= 1 && run <= 3) runs[run] = true;
    if (!saveRunRecordCopies(runs)) m_stepWritesFailed = true;
}

void AppSession::jobEnded() {
    const JobEngine& e = m_jobs->engine();
    for (const std::string& text : e.unrecordedCompletions())
        addProblem(SessionProblem::Kind::UnrecordedCompletion, text);
    if (e.outcome() != JobOutcome::Finished) return;
    // The durable copies of the runs that made progress travel with the
    // application.
    std::array<bool, 4> runs = e.progress();
    if (m_settings.NoRerun) runs[2] = false;
    if (std::none_of(runs.begin() + 1, runs.end(), [](bool b) { return b; })) return;
    // A failure has been shown and kept as a problem of the session.
    if (!saveRunRecordCopies(runs)) m_stepWritesFailed = true;
}

}  // namespace vdln
