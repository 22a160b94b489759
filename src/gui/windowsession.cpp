#include "windowsession.h"

#include <unistd.h>

#include <algorithm>

#include "base/fileutil.h"
#include "base/paths.h"
#include "env/tools.h"
#include "jobs/batchargs.h"
#include "archive/batchzip.h"
#include "archive/tabetc.h"
#include "model/recentfiles.h"
#include "model/simgrid.h"
#include "runrecord/recordfiles.h"

namespace vdln::gui {

WindowSession::WindowSession(SessionSetup setup) : m_setup(std::move(setup)), m_rec(CreateSimRecord()) {}

WindowSession::~WindowSession() = default;

std::unique_ptr<WindowSession> WindowSession::open(SessionSetup setup) {
    std::unique_ptr<WindowSession> s(new WindowSession(std::move(setup)));
    if (!s->start()) return nullptr;
    return s;
}

bool WindowSession::start() {
    if (m_setup.dirs) {
        m_dirs = *m_setup.dirs;
    } else {
        DirectorySources sources(m_setup.env);
        auto dirs = chooseStartupDirectories(sources, m_setup.dialogs);
        if (!dirs) return false;
        m_dirs = *dirs;
    }
    m_sctx.programDir = m_setup.env.programDirectory();
    m_sctx.currentTempDir = m_dirs.tempDir;
    m_sctx.batchMode = false;
    const int processors = static_cast<int>(std::max(1L, ::sysconf(_SC_NPROCESSORS_ONLN)));
    m_settingsFolder = StartupReadSettings(m_dirs.keepDir, kLegacySettingsDir, processors, m_settings, m_rec,
                                           m_sctx, m_setup.dialogs);
    m_recent = readRecentFiles(settingsFile());
    if (!m_recent.empty() && fileExists(m_recent.front())) m_detailsFile = m_recent.front();
    ComputeYears(m_rec);
    RefreshGrid(m_rec);

    modelStateFromSettings(m_settings.model, m_model);
    ModelSelectEnv menv;
    menv.tempDir = m_dirs.tempDir;
    menv.programDir = m_setup.env.programDirectory();
    menv.locateCalvex = [this] { return locateProgram(m_setup.env, tools(), "calvex"); };
    menv.startReleaseCheck = [this] {
        if (m_jobs && !m_model.programPath.empty()) (void)m_jobs->timer().startReleaseCheck(m_model.programPath);
    };
    m_selector = std::make_unique<ModelSelector>(m_rec, m_model, m_setup.dialogs, menv);
    if (!m_model.modelPath.empty()) {
        (void)m_selector->LoadModel(false, true);
        modelStateToSettings(m_model, m_settings.model);
    }

    m_runEnv = std::make_unique<RunRecordEnv>(m_rec, TKeepRunInfo::inDirectory(m_dirs.keepDir), m_setup.clock);
    refreshRecorderEnv();
    m_recorder = std::make_unique<RunRecordRecorder>(*m_runEnv, m_setup.dialogs, false);
    EngineEnvironment eenv;
    eenv.programDir = m_setup.env.programDirectory();
    eenv.tempDir = m_dirs.tempDir;
    eenv.keepDir = m_dirs.keepDir;
    eenv.batchMode = false;
    eenv.detailsFile = m_detailsFile.empty() ? defaultDetailsFile() : m_detailsFile;
    TimerHooks hooks;
    hooks.openInEditor = [this](const std::string& f) { return editFile(f); };
    hooks.releaseCheckEnded = [this](const ReleaseJobFiles& files, bool cancelled) {
        if (!cancelled) (void)m_selector->finishReleaseCheck(files);
        modelStateToSettings(m_model, m_settings.model);
    };
    m_jobs = std::make_unique<JobsSession>(JobsSessionParts{m_rec, m_settings, eenv, m_setup.dialogs, m_setup.years,
                                                            m_setup.clock, m_setup.launcher, *m_recorder, hooks});
    // The details file follows every recorded completion, so an interrupted
    // job leaves it matching the record of runs.
    m_jobs->engine().setDetailsWriter([this](int run, bool recorded) {
        if (!recorded) return;
        auto d = details();
        (void)WriteDynamicSimInfo(d, m_detailsFile.empty() ? defaultDetailsFile() : m_detailsFile, true, run);
    });
    return true;
}

std::string WindowSession::settingsFile() const {
    return JoinPath(m_settingsFolder.empty() ? m_dirs.keepDir : m_settingsFolder, kSettingsFileName);
}

ToolLocations WindowSession::tools() const {
    ToolLocations t;
    t.editor = m_settings.tools.Editor;
    t.outlens = m_settings.tools.Outlens;
    t.gridlens = m_settings.tools.Gridlens;
    t.suiteProgramsDir = m_settings.tools.UseSolvaneDir;
    return t;
}

std::string WindowSession::defaultDetailsFile() const {
    return DefaultDs1Name(m_rec, m_settings.model.ModelName, m_settings.NoRerun);
}

void WindowSession::refreshRecorderEnv() {
    RunRecordEnv& env = *m_runEnv;
    env.noRerun = m_settings.NoRerun;
    env.beLikeOld = m_settings.BeLikeOldVardelon;
    env.developerMode = m_settings.DeveloperMode;
    env.modelFile = m_settings.model.Model;
    env.notWinconsoleExe = m_settings.model.NotWinconsoleExe;
    env.modelInfoFile = m_settings.model.ModelInfoFile;
    env.dynamicInfoFile = m_settings.model.IsDinFile ? m_settings.model.DynamicInfoFile : "";
    env.solFileShocks = m_settings.SolFileShocks;
    env.resultsMapFile = m_settings.ResultsMapFile;
    env.abbreviatedSS = m_settings.AbbreviatedSsJobs;
    env.yearOnYearDiffs = m_settings.YonYDifferencesSs;
    env.firstYearList = m_settings.model.FirstYearList;
    env.method = m_settings.Method;
    env.accuracy = m_settings.Accuracy;
    env.altMethod = m_settings.AltMethod;
    env.altAccuracy = m_settings.AltAccuracy;
    for (int r = 1; r <= 3; ++r)
        env.copies[r] = RunRecordCopyName(m_rec, m_settings.model.ModelName, r, m_settings.NoRerun);
    if (m_recorder) {
        PrereqOptions prereq;
        prereq.checkPrerequisites = m_settings.CheckPrerequisites;
        prereq.fewerMessages = m_settings.FewerMessages;
        prereq.batchMode = false;
        prereq.version = &m_settings.model.Version;
        m_recorder->setPrereqOptions(std::move(prereq));
    }
}

void WindowSession::modelChanged() { modelStateToSettings(m_model, m_settings.model); }

bool WindowSession::loadDetails(std::optional<std::string> file) {
    auto d = details();
    if (!LoadSimDetails(d, std::move(file))) return false;
    ComputeYears(m_rec);
    RefreshGrid(m_rec);
    // The details may name another model: load it as start-up does.
    modelStateFromSettings(m_settings.model, m_model);
    if (!m_model.modelPath.empty()) {
        (void)m_selector->LoadModel(false, true);
        modelStateToSettings(m_model, m_settings.model);
    }
    if (!m_recent.empty()) m_detailsFile = m_recent.front();
    return true;
}

std::optional<std::string> WindowSession::saveDetailsAs() {
    auto d = details();
    auto name = SaveSimDetails(d);
    if (name) m_detailsFile = *name;
    return name;
}

bool WindowSession::saveDetails() {
    if (m_detailsFile.empty()) m_detailsFile = defaultDetailsFile();
    auto d = details();
    if (!WriteDynamicSimInfo(d, m_detailsFile, true, 0)) return false;
    addRecentFile(m_detailsFile);
    return true;
}

void WindowSession::saveRunRecordCopies(int run) {
    refreshRecorderEnv();
    std::array<bool, 4> runs{false, run == 0 || run == 1, (run == 0 || run == 2) && !m_settings.NoRerun,
                             run == 0 || run == 3};
    Status s = SaveRunRecordCopies(m_runEnv->keep, runs, m_runEnv->copies,
                                   {"", m_rec.SimNames[1].str(), m_rec.SimNames[2].str(), m_rec.SimNames[3].str()},
                                   m_rec.WorkDir);
    if (!s) m_setup.dialogs.error(s.message());
}

void WindowSession::restoreRunRecordCopies() {}

void WindowSession::addRecentFile(const std::string& file) {
    vdln::addRecentFile(m_recent, file);
    m_detailsFile = file;
}

void WindowSession::openInEditor(const std::string& file) {
    if (!editFile(file)) return;  // the editor's own message was shown
}

bool WindowSession::editFile(const std::string& file) {
    ToolLocations t = tools();
    return OpenInEditor(file, m_setup.env, t, m_setup.dialogs, m_setup.launcher);
}

bool WindowSession::startTask(TaskCommand command) {
    refreshRecorderEnv();
    return m_jobs->runTask(command);
}

bool WindowSession::startRun(int run) {
    if (run < kRunBase || run > kRunPolicy) return false;
    refreshRecorderEnv();
    // The whole of one run with its spreadsheets, as batch mode asks for it.
    BatchJob whole;
    whole.runs[run] = true;
    whole.firstYear = 1;
    whole.lastYear = m_rec.NumYears;
    return startRequest(batchRequest(whole, m_rec.NumYears));
}

bool WindowSession::startRequest(const JobRequest& request) {
    refreshRecorderEnv();
    JobEngine& engine = m_jobs->engine();
    if (!engine.StartBigJob(request)) return false;
    if (engine.running()) return m_jobs->timer().watchBigJob();
    return engine.outcome() == JobOutcome::Finished;
}

ArchiveEnv WindowSession::archiveEnv() {
    ArchiveEnv env(m_rec, m_setup.dialogs, m_setup.clock);
    env.programDir = m_setup.env.programDirectory();
    env.tempDir = m_dirs.tempDir;
    env.batch = false;
    useSettings(env, m_settings, m_sctx);
    env.extractTabEtc = tabEtcExtractor(m_setup.dialogs, env.programDir, env.tempDir, env.modelFile);
    env.loadRestored = [this](const std::string& ds1, bool closShOnly) {
        if (closShOnly) {
            // Only the closure/shock part: the grid and the Working Directory.
            TSimRecord other = m_rec;
            std::string ds2 = ds1;
            if (ds2.size() > 4) ds2.replace(ds2.size() - 4, 4, ".ds2");
            Status st = ReadSimRecordFile(other, ds2, m_settings.NoRerun);
            if (!st) {
                m_setup.dialogs.error(st.message());
                return false;
            }
            m_rec.GridStem = other.GridStem;
            m_rec.CMFStartExt = other.CMFStartExt;
            m_rec.WorkDir = other.WorkDir;
            RefreshGrid(m_rec);
            return true;
        }
        return loadDetails(ds1);
    };
    env.addRecentFile = [this](const std::string& f) { addRecentFile(f); };
    env.showFile = [this](const std::string& f) { (void)editFile(f); };
    return env;
}

ClosureCheckRequest WindowSession::closureCheckCommon() const {
    ClosureCheckRequest c;
    c.jobDir = m_dirs.tempDir;
    c.modelProgram = m_model.programPath.empty() ? m_settings.model.Model : m_model.programPath;
    if (!m_settings.tools.UseSolvaneDir.empty()) c.suiteDir = m_settings.tools.UseSolvaneDir;
    c.firstYearList = m_settings.model.FirstYearList;
    c.noRerun = m_settings.NoRerun;
    return c;
}

bool WindowSession::startClosureChecks(const ClosureCheckPlan& plan) {
    if (plan.requests.empty()) return false;
    if (m_settings.model.Model.empty()) {
        m_setup.dialogs.info("Please select a model first (Model/Data page).");
        return false;
    }
    return m_jobs->timer().startClosureChecks(plan.mode, plan.requests, [this](const ClosureCheckRequest& r) {
        return CheckClosureCMF(m_rec, r, m_setup.dialogs);
    });
}

bool WindowSession::close(bool askWhileRunning) {
    if (m_closed) return true;
    if (jobRunning()) {
        if (askWhileRunning &&
            !m_setup.dialogs.askYesNo("A job is running.\r\nDo you really want to close Vardelon now?"))
            return false;
        m_jobs->engine().requestCancel();
        m_jobs->tick();
    }
    m_closed = true;
    if (m_settings.ClearTempDirAtExit) (void)clearTemporaryDirectory(m_dirs.tempDir, m_rec.WorkDir);
    if (!m_settings.DontUpdateIniAtExit) {
        modelStateToSettings(m_model, m_settings.model);
        (void)ExitWriteSettings(m_dirs.keepDir, true, m_settings, m_rec, m_sctx, m_setup.dialogs);
        Status s = writeRecentFiles(JoinPath(m_dirs.keepDir, kSettingsFileName), m_recent);
        if (!s) m_setup.dialogs.error(s.message());
    }
    return true;
}

}  // namespace vdln::gui
