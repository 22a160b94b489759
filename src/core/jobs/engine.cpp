#include "jobs/engine.h"

#include <algorithm>
#include <cstdio>

#include "base/besteffort.h"
#include "base/fileutil.h"
#include "base/paths.h"
#include "base/strutil.h"
#include "base/textfile.h"
#include "cmf/cmfwriter.h"
#include "cmf/yearrun.h"
#include "env/suite.h"
#include "env/tools.h"
#include "jobs/interrupts.h"
#include "jobs/jobslog.h"
#include "jobs/previousoutputs.h"
#include "model/filenames.h"
#include "model/modelsel.h"
#include "model/release.h"
#include "model/simgrid.h"

namespace vdln {

namespace {
constexpr int kHelp = 1;
}

bool UseBatJobForSims(ProgramSettings& settings) {
    if (settings.NeverBatJob) return false;
    const bool concurrent = settings.BatJobsForConcurrent && settings.ConcurrentSolves > 1;
    const TSVVersionInfo& v = settings.model.Version;
    if (v.CompilerKnown && toLower(v.Compiler) == "f77l3") {
        settings.model.NotWinconsoleExe = true;
        return true;
    }
    if (v.CompilerKnown && v.ReleaseKnown && v.Release >= 70000) {
        settings.model.NotWinconsoleExe = false;
        return concurrent;
    }
    return settings.model.NotWinconsoleExe || concurrent;
}

JobEngine::JobEngine(TSimRecord& rec, ProgramSettings& settings, const EngineEnvironment& env,
                     Dialogs& dialogs, const Clock& clock, ProcessLauncher& launcher,
                     CompletionRecorder& recorder)
    : m_rec(rec),
      m_settings(settings),
      m_env(env),
      m_dialogs(dialogs),
      m_clock(clock),
      m_launcher(launcher),
      m_recorder(recorder),
      m_folders(rec, settings, env.tempDir, env.programDir),
      m_judge(settings.model.Version) {
    m_maxConcurrent = std::clamp(settings.ConcurrentSolves, 1, 3);
}

PlanContext JobEngine::planContext() {
    PlanContext c;
    c.numYears = m_rec.NumYears;
    c.year = [this](int i) { return (i >= -1 && i <= kMaxYears) ? m_rec.Years[i] : 0; };
    c.noRerun = m_settings.NoRerun;
    c.firstPolicyYear = m_firstPolicyYear;
    c.doingRE = m_re->doingRE();
    c.reIterationsDone = [this](int r) { return m_re->iterationsDone(r); };
    c.reMaxIterations = [this](int r) { return m_re->maxIterations(r); };
    // While iterating, "this job" for a BOT step means this pass of the run
    // that makes the BOT files: its data change from pass to pass.
    c.botNeeded = [this](int i) { return !botDoneThisJob(i) && m_recorder.botNeeded(i); };
    c.botFinishedThisJob = [this](int i) {
        return botDoneThisJob(i) ||
               m_recorder.botFinishedSince(i, std::max(m_job.StartFileTime, m_tally.botPassStart));
    };
    return c;
}

bool JobEngine::botDoneThisJob(int year) const {
    return std::find(m_tally.botsDone.begin(), m_tally.botsDone.end(), year) != m_tally.botsDone.end();
}

PlanOptions JobEngine::planOptions() const {
    PlanOptions o;
    o.abbreviatedSS = m_settings.AbbreviatedSsJobs;
    o.yearOnYearDiffs = m_settings.YonYDifferencesSs;
    o.useSOLFilesForShocks = m_settings.SolFileShocks;
    return o;
}

ScriptContext JobEngine::scriptContext() const {
    ScriptContext c{m_rec,         m_job, m_settings.NoRerun, m_firstPolicyYear,
                    m_env.tempDir, {},    m_env.programDir,   m_settings.model.Model};
    c.opt.subtotals = m_settings.AccumulateSubtotals;
    c.opt.arithmeticNotFatal = m_settings.ArithProbNotFatalRsl;
    c.opt.abbreviated = m_settings.AbbreviatedSsJobs;
    c.opt.yearOnYearDiffs = m_settings.YonYDifferencesSs;
    c.opt.mapFile = m_settings.ResultsMapFile;
    return c;
}

DescribeContext JobEngine::describeContext() const {
    DescribeContext d;
    d.year = [this](int i) { return (i >= -1 && i <= kMaxYears) ? m_rec.Years[i] : 0; };
    for (int i = 1; i <= m_rec.NumYears && i <= kMaxYears; ++i)
        if (m_rec.PeriodLength[i] != 1) d.usesPeriods = true;
    return d;
}

void JobEngine::log(const std::vector<std::string>& lines) {
    if (!m_settings.AddToJobsLog || lines.empty()) return;
    if (Status s = appendToLog(JoinPath(m_env.keepDir, kJobsLogName), lines); !s) m_logProblem = s.message();
}

StatusLines JobEngine::status() const {
    PerRun<int> iter{0, 1, 1, 1};
    for (int r = 1; r <= 3; ++r) iter[r] = m_re->currentIteration(r);
    return statusLines(m_job, m_maxConcurrent, describeContext(), m_passNote, m_re->doingRE(), iter);
}

bool JobEngine::StartBigJob(JobRequest request) {
    if (m_job.Running) {
        m_dialogs.message(MsgKind::Information, "Is already a big job running. Cannot start another.", BtnOk);
        return false;
    }
    // The job's folders are locked before anything of the job touches them;
    // a job that does not start gives them up again.
    if (m_hooks.takeLocks && !m_hooks.takeLocks()) {
        m_outcome = JobOutcome::Failed;
        m_failure = "The folders of the job are in use by another job.";
        return false;
    }
    struct ReleaseLocksUnlessStarted {
        const std::function<void()>& release;
        bool armed = true;
        ~ReleaseLocksUnlessStarted() {
            if (armed && release) release();
        }
    } releaseLocksUnlessStarted{m_hooks.releaseLocks};
    m_outcome = JobOutcome::None;
    m_failure.clear();
    m_errorLine.clear();
    m_tally = JobTally{};
    const bool doingRE = m_re->doingRE();
    m_jobOrder = (m_settings.CompleteBaseFirst || doingRE) ? JobOrder::BaseAsap : JobOrder::PolicyAsap;
    const bool suppressReQuestion = m_suppressReQuestion;
    m_suppressReQuestion = false;
    m_results = ResultsPageChoice{};
    // A rational-expectations job that does not start leaves no iteration
    // state behind (the next job would otherwise iterate too).
    struct ReleaseUnlessStarted {
        RationalExpectationsHooks* re;
        bool armed;
        ~ReleaseUnlessStarted() {
            if (armed) re->release();
        }
    } releaseUnlessStarted{m_re, doingRE};
    if (!CheckLastYear(m_rec, m_dialogs)) return false;
    // Every file the job writes is named from the record: a name that would
    // put one outside its folder stops the job before anything is written.
    if (Status st = CheckGeneratedPaths(m_rec, m_settings.NoRerun, m_env.tempDir); !st) {
        m_dialogs.message(MsgKind::Error, st.message(), BtnOk);
        m_outcome = JobOutcome::Failed;
        m_failure = st.message();
        return false;
    }
    m_job = TBigJobDetails{};
    PlanContext ctx = planContext();
    bool policyRefused = false;
    auto recompute = [&] {
        int mode = 1;
        for (int r = 1; r <= 3; ++r)
            if (request.LastSimYear[r] >= request.FirstSimYear[r] ||
                request.LastSSYear[r] >= request.FirstSSYear[r])
                mode = r;
        // An iterating policy run may start some periods before its first
        // shock ("Policy run starts"); an offset reaching before the first
        // year is reset there.
        PolicyStartOptions opts;
        opts.doingRE = doingRE;
        opts.policyStartOffset = m_settings.re.PolicyStartYear;
        // A refusal here is a policy request without any policy shocks: the
        // job does not start.  A reset offset is no refusal: the policy
        // then starts with the first year.
        const bool computed = ComputeFirstPolicyYear(m_rec, mode, m_env.batchMode || m_settings.FewerMessages,
                                                     true, opts, m_firstPolicyYear, m_dialogs);
        const bool offsetReset = opts.policyStartOffset != m_settings.re.PolicyStartYear;
        if (offsetReset) m_settings.re.PolicyStartYear = opts.policyStartOffset;
        policyRefused = !computed && !offsetReset;
        ctx.firstPolicyYear = m_firstPolicyYear;
    };
    normaliseRequest(request, ctx, recompute, m_job);
    if (policyRefused) {
        m_job.Running = false;
        m_outcome = JobOutcome::Failed;
        m_failure = kNoPolicyShocksText;
        return false;
    }
    m_job.FirstSlot = m_firstSlot;
    m_job.LastSlot = doingRE ? 1 : std::max(m_firstSlot, m_maxConcurrent);
    if (doingRE) m_job.FirstSlot = 1;
    if (!anythingToDo(m_job)) {
        m_dialogs.message(MsgKind::Information, "Are no simulations or spreadsheet jobs to do.", BtnOk);
        m_outcome = JobOutcome::Failed;
        m_failure = "Nothing to do";
        return false;
    }
    m_recorder.jobStarting(m_firstPolicyYear);
    if (!m_recorder.prerequisitesOk(m_job)) {
        m_dialogs.message(MsgKind::Information, "Cannot run this simulation because of problems reported.",
                          BtnOk | BtnHelp, kHelp);
        m_outcome = JobOutcome::Failed;
        m_failure = "Cannot run this simulation because of problems reported.";
        if (!m_recorder.lastProblem().empty()) m_failure = m_recorder.lastProblem() + "\r\n" + m_failure;
        return false;
    }
    if (!m_env.batchMode) m_dialogs.waitBegin("Please Wait - Vardelon at work");
    m_dialogs.waitStage("Preparing to run the first sim");
    for (int s = 1; s <= 3; ++s) m_job.Jobs[s].Dir = m_folders.dir(s);

    if (doingRE) {
        if (!m_re->startJob(m_job)) {
            m_dialogs.waitEnd();
            m_outcome = JobOutcome::Failed;
            m_failure = "Could not start the rational-expectations iterations.";
            return false;
        }
        m_dialogs.message(MsgKind::Information, "Doing Rational Expectations a la KORALE.", BtnOk | BtnHelp,
                          kHelp);
    } else if (m_re->boxCheckedOnSupportingModel() && !suppressReQuestion) {
        if (m_dialogs.message(
                MsgKind::Confirmation,
                "Although you have checked the \"Do Rational Expectations\" box,\r\n this way of "
                "running the job will NOT do Rational Expectations.\r\nDo you wish to continue?",
                BtnYes | BtnNo | BtnHelp, kHelp) == BtnNo) {
            m_dialogs.waitEnd();
            m_outcome = JobOutcome::Failed;
            m_failure = "Cancelled";
            return false;
        }
    }

    if (m_job.LastSlot > 1) {
        for (int s = std::max(2, m_job.FirstSlot); s <= m_job.LastSlot; ++s) {
            if (Status st = m_folders.prepare(s, m_job, m_firstPolicyYear); !st) {
                m_dialogs.waitEnd();
                m_dialogs.message(MsgKind::Error, st.message(), BtnOk | BtnHelp, kHelp);
                m_outcome = JobOutcome::Failed;
                m_failure = st.message();
                return false;
            }
        }
    }
    for (int s = 1; s <= 3; ++s) m_job.Jobs[s].InUse = false;
    m_panelPhase = PanelPhase::StartingJob;
    m_job.Running = true;
    releaseUnlessStarted.armed = false;       // from here an abort releases it
    releaseLocksUnlessStarted.armed = false;  // from here the job's end releases them
    m_job.Stopped = false;
    m_stop.cancelRequested = false;
    m_outcome = JobOutcome::Running;

    if (!m_env.batchMode && m_job.FirstSimYear[1] == 1 && !m_settings.SolFileShocks &&
        m_settings.model.Version.ReleaseKnown && m_settings.model.Version.Release > 69999) {
        if (m_dialogs.message(
                MsgKind::Confirmation,
                "We recommend that you use SOL Files for Shocks.\r\nIf you want to do that, please "
                "click on the Yes button.\r\n[Click on the Help button for information about this.]",
                BtnYes | BtnNo | BtnHelp, kHelp) == BtnYes)
            m_settings.SolFileShocks = true;
    }
    StartNextSteps(0);
    return m_outcome == JobOutcome::Running || m_outcome == JobOutcome::Finished;
}

// Fills the free slots as the plan says and launches their parts; when a
// part restarts its run for another iteration, the restart is applied and
// the plan made again.
bool JobEngine::StartNextSteps(int finishedSlot, std::optional<StepChoice> finished) {
    struct Selection {
        CompletionRecorder& r;
        explicit Selection(CompletionRecorder& rec) : r(rec) { r.selectionBegin(); }
        ~Selection() { r.selectionEnd(); }
    } selection{m_recorder};
    if (finished && finished->JobName == JobKind::Sim && finished->JobPart == PartKind::Sim &&
        finished->Year < m_rec.NumYears && m_job.LastSlot > 1)
        m_folders.copyUpdatedInputs(m_job, finished->Run, finished->Year, m_firstPolicyYear);
    bool launchedNow = false;
    const PlanOptions opt = planOptions();
    for (bool again = true; again && !m_job.Stopped;) {
        const FillPlan plan = fillFreeSlots(m_job, planContext(), opt, m_jobOrder,
                                            launchedNow ? std::nullopt : finished, finishedSlot == 0);
        for (const SlotFill& fill : plan.fills) {
            if (m_job.Stopped) break;
            if (fill.reRestart) restartIteration(fill.part.Run);
            if (Status s = launchPart(fill.slot, fill.part); !s) {
                if (m_job.Running) abortJob(s.message());
                return false;
            }
            launchedNow = true;
        }
        if (!plan.ok) {
            if (plan.errorIsInfo)
                m_dialogs.message(MsgKind::Information, plan.error, BtnOk);
            else
                m_dialogs.message(MsgKind::Error, internalErrorText(plan.error), BtnOk);
            abortJob(plan.error);
            return false;
        }
        again = plan.restarted;
    }
    if (!m_job.Running) return false;
    bool busy = false;
    for (int s = 1; s <= 3; ++s)
        if (m_job.Jobs[s].InUse) busy = true;
    if (launchedNow || busy) return true;
    // Nothing running and nothing to start: the whole job may be over.
    SelectResult again = SelectNextStep(m_job, planContext(), opt, m_jobOrder, false);
    if (!again.ok || again.step) {
        const std::string text = "Internal error determining if whole job is finished.";
        m_dialogs.message(MsgKind::Error, internalErrorText(text), BtnOk);
        abortJob(text);
        return false;
    }
    finishJob();
    return true;
}

// Another iteration of a run while doing rational expectations: the run's
// next iteration becomes the current one; for the run that makes the BOT
// files a new pass of BOT steps begins.
void JobEngine::restartIteration(int run) {
    m_re->setCurrentIteration(run, m_re->iterationsDone(run) + 1);
    if (run == botRun(m_settings.NoRerun)) {
        m_tally.botPassStart = m_clock.nowFileTime();
        m_tally.botsDone.clear();
    }
    restartRun(m_job, run);
}

namespace {
std::string writingFailureText(const std::string& message) {
    if (message.empty()) return "BAT file not written so cannot start job";
    return "BAT file not written so cannot start job.\r\n  [Emes is \"" + message + "\"]";
}
}  // namespace

// Writes what a part reads before it starts: for the steps that run the
// model ("sim" and "bot") the command file and the stored inputs of the
// year, and for policy sims the command file made of the top part and the
// BOT file; for the other parts their scripts.
Status JobEngine::writePartInputs(int slot, const StepChoice& p, const TSolutionMethod& method,
                                  const TAutoAccuracy& accuracy) {
    const ScriptContext sc = scriptContext();
    const int i = p.Year, r = p.Run;
    const bool noRerun = m_settings.NoRerun;
    if (p.JobName == JobKind::Sim || p.JobName == JobKind::Bot) {
        if (Status st = reBeforeModelPart(p); !st) return st;
        CmfRequest req;
        req.modelProgram = m_settings.model.Model;
        req.sim = i;
        req.run = r;
        req.method = method;
        req.accuracy = accuracy;
        req.policyStart = m_firstPolicyYear;
        req.noRerun = noRerun;
        req.firstYearList = m_settings.model.FirstYearList;
        req.jobDir = slot > 1 ? m_folders.dir(slot) : std::string();
        req.suiteRelease = m_settings.model.Version.ReleaseKnown ? m_settings.model.Version.Release : 0;
        req.reMode = m_re->doingRE();
        req.useReNames = req.reMode && m_re->currentIteration(r) == m_re->startIteration(r);
        if (req.reMode) {
            const TReFileNames names = m_re->reFileNames();
            req.reRorextName = names.rorext;
            req.reIterName = names.iter;
            req.reExtraName = names.extra;
        }
        bestEffort(deleteFile(changeExt(SolutionFile(m_rec, i, r, noRerun), ".udc")),
                   "a stale companion file; the model program writes a new one");
        auto cmf = MakeCMF(m_rec, req);
        if (!cmf) return writingFailure(cmf.message());
        ProgramLocator locate = [this](std::string_view name) -> std::string {
            std::string f = JoinPath(m_env.programDir, std::string(name) + "a.exe");
            return fileExists(f) ? f : "";
        };
        auto bat = WriteRunBat(m_rec, req, m_env.tempDir, m_settings.SolFileShocks, locate, m_dialogs);
        if (!bat) return writingFailure(bat.message());
        if (p.JobName == JobKind::Sim && r > 1) {
            // The command file of runs 2 and 3: the top part and the BOT file.
            const std::string top = TopFile(m_rec, i, r, noRerun);
            std::string botFile = BotFile(m_rec, i, noRerun);
            if (!fileExists(top)) {
                m_dialogs.message(MsgKind::Error, "File " + top + " does not exist.", BtnOk);
                return Status::fail("File " + top + " does not exist.");
            }
            if (!fileExists(botFile)) {
                m_dialogs.message(MsgKind::Error,
                                  internalErrorText("The BOT file: " + botFile + " does not exist."),
                                  BtnOk | BtnHelp, kHelp);
                m_dialogs.message(MsgKind::Information, "Sorry, are stopping all jobs because of this.",
                                  BtnOk);
                return Status::fail("The BOT file: " + botFile + " does not exist.");
            }
            if (Status st = m_folders.copySolShocks(slot, i, m_maxConcurrent, botFile, m_dialogs); !st)
                return st;
            TxtFile out;
            Status s = TxtCreate(out, CmfFile(m_rec, i, r, noRerun));
            if (s) s = TxtAppend(out, top);
            if (s) s = TxtAppend(out, botFile);
            Status c = TxtClose(out);
            if (s) s = std::move(c);
            if (!s) return writingFailure(s.message());
        }
        if (p.JobName == JobKind::Bot && p.JobPart == PartKind::Solpol) {
            auto w = writeSolpolScript(sc, i);
            if (!w) return writingFailure(w.message());
        }
    } else if (p.JobName == JobKind::Csv || p.JobName == JobKind::SsSol) {
        auto w = writeCsvScript(sc, p.JobName, r);
        if (!w) return writingFailure(w.message());
    } else if ((p.JobName == JobKind::Aggrex &&
                (p.JobPart == PartKind::Yony || (p.JobPart == PartKind::Py && !m_job.DoSS[r]))) ||
               (p.JobName == JobKind::Cumsol &&
                (p.JobPart == PartKind::Cum || (p.JobPart == PartKind::Py && !m_job.DoSS[r])))) {
        auto scripts = writeAccumulationScripts(sc, p.JobName, r);
        if (!scripts) return writingFailure(scripts.message());
    }
    if (p.JobName == JobKind::Sim && p.JobPart == PartKind::Sol) {
        bestEffort(deleteFile(changeExt(SolutionFile(m_rec, i, r, noRerun), ".sli")),
                   "a stale companion file; the conversion writes a new one");
        auto w = writeSolScript(sc, i, r);
        if (!w) return writingFailure(w.message());
    }
    return Status::ok();
}

Status JobEngine::writingFailure(const std::string& message) {
    m_dialogs.waitEnd();
    m_dialogs.message(MsgKind::Information, writingFailureText(message), BtnOk);
    return Status::fail(message.empty() ? "BAT file not written so cannot start job" : message);
}

Status JobEngine::launchPart(int slot, const StepChoice& p) {
    const int i = p.Year, r = p.Run;
    const bool modelPart = isModelPart(p.JobName, p.JobPart);

    // A year marked for the alternative method uses the alternative pair.
    const bool alt = m_rec.AltMethodInUse && i >= 1 && i <= kMaxYears && m_rec.AltMethodYears[i];
    const TSolutionMethod& method = alt ? m_settings.AltMethod : m_settings.Method;
    const TAutoAccuracy& accuracy = alt ? m_settings.AltAccuracy : m_settings.Accuracy;
    if (Status st = writePartInputs(slot, p, method, accuracy); !st) return st;
    auto files = partFiles(scriptContext(), p, m_folders.dir(slot));
    if (!files) return writingFailure(files.message());
    const PartFiles& pf = *files;

    // The job's simulation-details file goes into the run's record.
    if (!m_env.detailsFile.empty()) m_recorder.setUserDsName(r, m_env.detailsFile);

    // RecordCompletion for the last part of a step.
    const bool recordCompletion = recordsCompletion(m_job, planContext(), planOptions(), p);

    if (!m_tally.launchedAny) {
        m_dialogs.waitEnd();
        if (!m_settings.FewerMessages && !m_env.batchMode) {
            Button b =
                m_dialogs.message(MsgKind::Information,
                                  "Beginning simulation(s). The Bottom Panel indicates the part(s) currently "
                                  "running.\r\n[Job can be cancelled using the \"Cancel Job\" button there.]",
                                  BtnOk | BtnCancel | BtnHelp, kHelp);
            if (b == BtnCancel) return Status::fail("Cancelled");
        }
        m_recorder.backupAtJobStart();
        m_tally.startSeconds = m_clock.monotonicSeconds();
        m_job.StartFileTime = m_clock.nowFileTime();
        log(jobStartLines(now(), m_job.FirstSlot, m_job.LastSlot));
        if (Status s = PreviousOutputs(scriptContext(), m_settings).treat(m_dialogs); !s) return s;
    }
    for (const std::string& f : {pf.logFile, pf.reportFile, pf.outputFile}) {
        if (f.empty()) continue;
        if (!deleteFile(f)) {
            m_dialogs.message(MsgKind::Error, "Could not delete file " + f, BtnOk);
            return Status::fail("Could not delete file " + f);
        }
    }
    std::string heading;
    if (p.JobName == JobKind::Sim && p.JobPart == PartKind::Sim)
        heading = "** Starting sim for year " + std::to_string(m_rec.Years[i]) + " of " + runName(r) + " **";
    else if (p.JobName == JobKind::Bot && p.JobPart == PartKind::Env)
        heading = "** Starting BOT job for year " + std::to_string(m_rec.Years[i]) + " **";
    else if (p.JobName == JobKind::Csv)
        heading = "** Starting SS job for " + runName(r) + " **";
    if (!heading.empty())
        bestEffort(writeLinesAtomic(pf.stepLogFile, {heading}, false),
                   "the heading of the step log; the part appends its own log below");

    // The command line: the model program names its log explicitly unless it
    // is recent enough to name it after the stored input.
    auto lr = commandFor(pf, modelPart);
    if (!lr) return lr.status();
    auto handle = m_launcher.start(*lr);
    if (!handle) {
        m_dialogs.message(MsgKind::Error, "Could not launch solution process !", BtnOk | BtnHelp, kHelp);
        return Status::fail("Could not launch solution process ! " + handle.message());
    }
    TOneDosJob& s = m_job.Jobs[slot];
    if (s.InUse) {
        m_dialogs.message(MsgKind::Error, "Internal error. Spot for job conflict.", BtnOk);
        return Status::fail("Internal error. Spot for job conflict.");
    }
    occupySlot(m_job, slot, p);
    s.Process = static_cast<std::int64_t>(handle->id);
    s.Dir = pf.dir;
    s.LogFile = pf.logFile;
    s.StepLogFile = pf.stepLogFile;
    s.OutputFile = pf.outputFile;
    s.ReportFile = pf.reportFile;
    s.RecordCompletion = recordCompletion;
    RunningPart& running = m_running[slot];
    running.process = *handle;
    running.started = m_clock.monotonicSeconds();
    running.program = lr->program == "/bin/sh" && !lr->args.empty()
                          ? pf.program + " (through " + lr->args[0] + ")"
                          : lr->program;
    running.method = method;
    running.accuracy = accuracy;
    m_tally.launchedAny = true;
    m_panelPhase = PanelPhase::Running;
    ++m_tally.partsLaunched;
    running.launchedAt = m_clock.monotonicSeconds();
    log(partStartLines(s, describeContext(), now()));
    return Status::ok();
}

// The command that runs a part: the suite program with its stored input and
// log options, or, for the model program when it needs it, a batch file run
// by the shell that changes to the slot's folder first.
Result<LaunchRequest> JobEngine::commandFor(const PartFiles& pf, bool modelPart) {
    const LogOption option = m_settings.VisibleLogFiles ? LogOption::Log : LogOption::Lon;
    const auto& v = m_settings.model.Version;
    const bool explicitLog = modelPart && (!v.VersionKnown || v.Version < 78300);
    LaunchRequest lr;
    lr.program = pf.program;
    lr.dir = pf.dir;
    lr.args = suiteArguments(pf.stdinFile, option, explicitLog ? pf.logFile : kLogNamedAfterSti);
    if (!modelPart || !UseBatJobForSims(m_settings)) return lr;
    const std::string bat = changeExt(pf.stdinFile, ".bat");
    std::vector<std::string> lines = changeDirLines(pf.dir);
    // The shell becomes the model program: nothing stands between the
    // launcher and the program (its end, its signal, its parent-death
    // request).
    lines.push_back("exec " + commandLine(pf.program, {"-sti", pf.stdinFile, "-log", pf.logFile}));
    if (Status st = writeBatchFile(bat, lines); !st) {
        const std::string text =
            "Unable to write BAT file to run model.\r\n" + st.message() + " [ChangeDirBat]";
        m_dialogs.message(MsgKind::Error, text, BtnOk | BtnHelp, kHelp);
        return Status::fail(text);
    }
    lr.program = "/bin/sh";
    lr.args = {bat};
    return lr;
}

// Before the model program of a step runs while iterating: the iteration
// files at a run's first year in its first iteration ("sim" for runs 1 and
// 3, the BOT step for the rerun), and the rerun's start copy in its later
// iterations.
Status JobEngine::reBeforeModelPart(const StepChoice& p) {
    if (!m_re->doingRE()) return Status::ok();
    const bool simPart = p.JobName == JobKind::Sim && p.JobPart == PartKind::Sim;
    const bool envPart = p.JobName == JobKind::Bot && p.JobPart == PartKind::Env;
    if (!simPart && !envPart) return Status::ok();
    const int r = p.Run;
    // Only a step of the run's own pass counts: a BOT step the policy needs
    // later carries run 2 too, after the rerun has done that year.
    if (m_job.LastDoneYear[r] >= p.Year) return Status::ok();
    const bool firstYear = p.Year == m_job.FirstSimYear[r];
    const bool firstPass = m_re->currentIteration(r) == m_re->startIteration(r);
    // The rerun's files are made at its BOT step, or at its first sim when
    // no BOT step comes first (the hook makes them once per pass).
    if (firstPass && firstYear && (simPart || (envPart && r == 2))) {
        if (!m_re->setUpIterationFiles(r)) {
            const std::string text = "Could not set up ROREXT, ITER and EXTRA files to start " + runName(r);
            m_dialogs.message(MsgKind::Error, text, BtnOk | BtnHelp, kHelp);
            return Status::fail(text);
        }
    } else if (r == 2 && m_re->currentIteration(2) > 1 && p.Year == m_firstPolicyYear) {
        if (!m_re->saveRerunStartCopy()) return Status::fail("Could not save the rerun's start copy.");
    }
    return Status::ok();
}

void JobEngine::tick() {
    // Drain first: a tick that arrives while an earlier one waits on a
    // message box must still consume the wake-up, or an event loop watching
    // the descriptor is woken again and again.
    m_launcher.drainWakeups();
    if (m_timerBusy) return;
    m_timerBusy = true;
    struct Clear {
        bool& b;
        ~Clear() { b = false; }
    } clear{m_timerBusy};
    if (!m_job.Running) return;
    if (m_stop.cancelRequested) {
        cancelJob();
        return;
    }
    int ended = 0;
    for (int s = std::max(1, m_job.FirstSlot); s <= 3 && !ended; ++s) {
        if (!m_job.Jobs[s].InUse) continue;
        if (m_launcher.ended(m_running[s].process)) ended = s;
    }
    if (ended) {
        handleEnded(ended);
        return;
    }
    // A part past its time limit ends the job; nothing else is left to do.
    if (checkTimeLimits()) return;
}

void JobEngine::cancelJob(const std::string& reason, int graceMs) {
    m_stop.cancelRequested = false;
    if (!m_job.Running) return;
    m_stop.cancelling = true;
    m_stop.cancelReason = reason;
    stopRunningParts(graceMs);
    abortJob("Job cancelled");
    m_outcome = JobOutcome::Cancelled;
    m_stop.cancelling = false;
    m_dialogs.message(MsgKind::Information, "Solve job aborted via Cancel button", BtnOk);
    if (!m_stop.stopProblem.empty())
        m_dialogs.message(
            MsgKind::Information,
            "However the DOS job may still be running.\r\nYou may be able to kill it by clicking on "
            "this job in the TaskBar and then hitting Control-C.\r\n" +
                m_stop.stopProblem,
            BtnOk);
}

// Stops every part still running (a cancel, a failed part, an overrun): a
// program left running would go on writing into the folders the next job
// reads.  Its slot is freed and nothing is recorded for it.
void JobEngine::stopRunningParts(int graceMs) {
    std::vector<ProcessHandle> running;
    for (int s = 1; s <= 3; ++s)
        if (m_running[s].process) running.push_back(m_running[s].process);
    m_stop.stopProblem.clear();
    if (running.empty()) return;
    if (Status st = m_launcher.stop(running, kSignalExitBase + 15, graceMs); !st)
        m_stop.stopProblem = st.message();
    for (int s = 1; s <= 3; ++s) {
        if (!m_running[s].process) continue;
        m_launcher.release(m_running[s].process);
        m_running[s].process = ProcessHandle{};
        m_job.Jobs[s].InUse = false;
    }
}

// The time limit of a part ("Part Time Limit", seconds; 0 = none): a part
// still running past it is stopped and ends the job.  True when that
// happened.
bool JobEngine::checkTimeLimits() {
    const int limit = m_settings.PartTimeLimit;
    if (limit <= 0) return false;
    const double nowSeconds = m_clock.monotonicSeconds();
    for (int s = std::max(1, m_job.FirstSlot); s <= 3; ++s) {
        const TOneDosJob& slot = m_job.Jobs[s];
        if (!slot.InUse || !m_running[s].process || nowSeconds - m_running[s].started < limit) continue;
        const DescribeContext dc = describeContext();
        const int calendar = dc.year ? dc.year(slot.Year) : slot.Year;
        const std::string text = "Time limit exceeded for:\r\nProgram: " + m_running[s].program + "\r\n" +
                                 "Run: " + runName(slot.Run) + "\r\n" + "Year: " + std::to_string(calendar) +
                                 " (" + (dc.usesPeriods ? "period" : "year") + " number " +
                                 std::to_string(slot.Year) + ")" + "\r\n" +
                                 "Part: " + slotDescription(slot, dc) + partNote(slot) + "\r\n" +
                                 "Limit: " + std::to_string(limit) + " seconds";
        m_errorLine = partErrorLine(slot, dc, now());
        log({m_errorLine});
        stopRunningParts(kStopGraceMs);
        m_dialogs.message(MsgKind::Error, text, BtnOk);
        abortJob(m_stop.stopProblem.empty() ? text : text + "\r\n" + m_stop.stopProblem);
        return true;
    }
    return false;
}

void JobEngine::handleEnded(int slotNo) {
    TOneDosJob& slot = m_job.Jobs[slotNo];
    RunningPart& running = m_running[slotNo];
    const std::optional<int> endSignal = m_launcher.endSignal(running.process);
    m_launcher.release(running.process);
    running.process = ProcessHandle{};
    if (m_job.Stopped) {
        slot.InUse = false;
        return;
    }
    const PartVerdict verdict = m_judge.judge(slot);
    if (verdict.reportOk && m_settings.SplitBatchJobs && verdict.outputWritten)
        partSucceeded(slotNo);
    else
        partFailed(slotNo, verdict, endSignal);
}

void JobEngine::partSucceeded(int slotNo) {
    TOneDosJob& slot = m_job.Jobs[slotNo];
    const DescribeContext dc = describeContext();
    const StepChoice done{slot.JobName, slot.JobPart, slot.Run, slot.Year};
    if (slot.RecordCompletion) {
        const RunningPart& m = m_running[slotNo];
        if (Status rs = m_recorder.recordCompletion(slot.Run, slot.Year, slot.JobName, m.method, m.accuracy);
            !rs)
            m_tally.unrecorded.push_back(rs.message());
        if (slot.JobName == JobKind::Bot && !botDoneThisJob(slot.Year)) m_tally.botsDone.push_back(slot.Year);
        if (!m_env.detailsFile.empty()) m_recorder.setUserDsName(slot.Run, m_env.detailsFile);
    }
    if (m_re->doingRE() && slot.JobName == JobKind::Sim && slot.JobPart == PartKind::Sol &&
        !m_re->standardChecks(slot.Run, slot.Year)) {
        slot.InUse = false;
        abortJob("The checks of the rational-expectations iteration failed.");
        return;
    }
    const TOneDosJob before = slot;
    const JobKind stageBefore = m_job.SSStageDone[slot.Run];
    CompleteStep(m_job, planOptions(), slotNo);
    const bool stageCompleted = m_job.SSStageDone[before.Run] != stageBefore;
    if (!reAfterCompletion(before, stageCompleted)) return;
    if (m_hooks.writeDetails) m_hooks.writeDetails(before.Run, before.RecordCompletion);
    if (partGetsEndLine(before, stageCompleted, m_settings.SolFileShocks))
        log({partEndLine(before, dc, now())});
    if (before.JobName == JobKind::Sim && before.JobPart == PartKind::Sol)
        m_tally.progress[before.Run] = true;
    const JobKind st = m_job.SSStageDone[before.Run];
    if (st == JobKind::Aggrex || st == JobKind::Cumsol || (before.Run == 3 && isDeviationStep(st)))
        m_tally.progress[before.Run] = true;
    ++m_tally.partsDone;
    if (m_hooks.onPartDone)
        m_hooks.onPartDone(PartDone{slotNo, before.Run, before.Year, before.JobName, before.JobPart,
                                    m_clock.monotonicSeconds() - m_running[slotNo].launchedAt,
                                    m_tally.partsLaunched, m_tally.partsDone});
    StartNextSteps(slotNo, done);
}

void JobEngine::partFailed(int slotNo, const PartVerdict& verdict, const std::optional<int>& endSignal) {
    TOneDosJob& slot = m_job.Jobs[slotNo];
    const DescribeContext dc = describeContext();
    const std::string& program = m_running[slotNo].program;
    // Why a part failed, beyond the texts that follow: the signal that
    // ended its program, the report's own sentence.
    std::string cause;
    if (endSignal)
        cause += "\r\nThe program " + program + " was ended by signal " + signalText(*endSignal) + ".";
    if (!verdict.reportedError.empty()) cause += "\r\nThe program reported: " + verdict.reportedError;
    const std::string partText = "\r\n" + slotDescription(slot, dc) + partNote(slot);
    if (verdict.reportOk) {
        std::string text = "Dos Job Number " + std::to_string(slotNo) + " not spawned another job";
        text += partText;
        if (!m_settings.SplitBatchJobs)
            text += "\r\n(\"Do not split batch jobs\" is selected.)";
        else
            text += "\r\nThe program " + program + " reported success but did not write" + "\r\n  " +
                    slot.OutputFile;
        m_dialogs.message(MsgKind::Error, internalErrorText(text), BtnOk);
        abortJob(text);
        slot.InUse = false;
        return;
    }
    // The part failed: the job ends.
    const std::string description = slotDescription(slot, dc);
    if (!m_env.batchMode)
        m_dialogs.message(MsgKind::Error, "An error has occurred doing\r\n" + description, BtnOk);
    m_errorLine = partErrorLine(slot, dc, now());
    log({m_errorLine});
    std::string errorLog = PartJudge::errorLog(slot);
    std::string message;
    if (!fileExists(slot.ReportFile) && !fileExists(slot.LogFile)) {
        message = missingReportText(slot.ReportFile, "", false) + cause;
        m_dialogs.message(MsgKind::Error, message, BtnOk | BtnHelp, kHelp);
        if (slot.JobName == JobKind::Sim && slot.JobPart == PartKind::Sim)
            m_dialogs.message(
                MsgKind::Error,
                "An alternative is that the model \r\n   " + m_settings.model.Model + "\r\n" +
                    "was not made with Release 7.0 or later of SOLVANE.\r\n"
                    "You can check that explicitly if you load this model again,\r\n"
                    " using the \"Change Model\" button on the Model/Data page.\r\n"
                    " That will check which version of SOLVANE was used to create this model.\r\n"
                    "[Click on the \"Help\" button for more information.]",
                BtnOk | BtnHelp, kHelp);
    } else if (m_env.batchMode) {
        if (!errorLog.empty() && dirOf(errorLog) != m_rec.WorkDir) {
            const std::string copy = JoinPath(m_rec.WorkDir, nameOf(errorLog));
            if (copyFile(errorLog, copy, false)) errorLog = copy;
        }
        message = errorLog.empty() ? "Error running job - no log file"
                                   : "Error running job - see log file\r\n" + errorLog;
        message += partText + cause;
    } else if (!errorLog.empty()) {
        const std::string last = JoinPath(m_env.keepDir, kLastErrorLogName);
        bestEffort(copyFile(errorLog, last, false),
                   "a convenience copy for \"Last Error Log\"; the log itself is named in the message");
        message = "Look at LOG file\r\n" + errorLog + "\r\nto find details of the error." + cause;
        if (m_dialogs.message(MsgKind::Information, message + "\r\nDo you want to look at it now?",
                              BtnYes | BtnNo) == BtnYes &&
            m_hooks.openInEditor)
            m_hooks.openInEditor(errorLog);
    } else {
        message = "(Unfortunately cannot find an Error Log file for you to look at.)" + cause;
        m_dialogs.message(MsgKind::Information, message, BtnOk);
    }
    slot.InUse = false;
    abortJob(message.empty() ? "An error has occurred doing " + description : message);
}

// Completion bookkeeping of the iterations: the convergence file starts
// after the first simulated year of a run's first pass; a completed "cumsol"
// stage ends an iteration.  False when the job was aborted.
bool JobEngine::reAfterCompletion(const TOneDosJob& before, bool stageCompleted) {
    if (!m_re->doingRE()) return true;
    const int r = before.Run;
    bool ok = true;
    if (before.JobName == JobKind::Sim && before.JobPart == PartKind::Sol &&
        before.Year == m_job.FirstSimYear[r] && m_re->currentIteration(r) == m_re->startIteration(r)) {
        if (!m_re->startConvergenceFile(r)) {
            m_dialogs.message(MsgKind::Information,
                              "Cannot continue with Rational Expectations because of earlier error.",
                              BtnOk | BtnHelp, kHelp);
            ok = false;
        }
    } else if (before.JobName == JobKind::Cumsol && stageCompleted) {
        m_re->countIteration(r);
        ok = m_re->endOfIteration(r);
    }
    if (!ok) abortJob("Cannot continue with Rational Expectations because of earlier error.");
    return ok;
}

void JobEngine::abortJob(const std::string& message) {
    m_dialogs.waitEnd();
    m_job.Stopped = true;
    if (m_job.Running) m_re->release();
    m_panelPhase = PanelPhase::Idle;
    // Parts of other slots would go on writing results nobody records.
    if (!m_stop.cancelling) stopRunningParts(kStopGraceMs);
    if (m_job.Running && m_tally.launchedAny)
        log(jobEndedLines(now(), m_stop.cancelling, m_stop.cancelReason));
    if (m_job.Running) {
        m_job.Running = false;
        m_failure = message;
        m_outcome = JobOutcome::Failed;
        m_recorder.jobEnded(m_tally.progress);
        if (m_hooks.releaseLocks) m_hooks.releaseLocks();
    }
}

void JobEngine::finishJob() {
    m_job.Running = false;
    m_tally.elapsed = m_clock.monotonicSeconds() - m_tally.startSeconds;
    const std::string t = "Total elapsed time is: " + elapsedText(m_tally.elapsed);
    log(jobFinishedLines(now(), elapsedText(m_tally.elapsed)));
    m_outcome = JobOutcome::Finished;
    m_panelPhase = PanelPhase::Finished;
    chooseResults();
    m_recorder.jobEnded(m_tally.progress);
    // "Run Single Job, then Concurrent" may start its next pass; then nothing
    // else happens here.
    if (m_hooks.onFinished && m_hooks.onFinished()) return;
    if (m_hooks.releaseLocks && !m_job.Running) m_hooks.releaseLocks();
    if (!m_env.batchMode)
        m_dialogs.message(MsgKind::Information, "Vardelon:\r\nWhole job is finished\r\n[" + t + ".]",
                          BtnOk | BtnHelp, kHelp);
    if (m_re->doingRE()) m_re->finalReport();
}

// The Results page after a finished job: the policy (with its differences
// when deviations were made) when it had spreadsheets, else the rerun, else
// the Base; "All" years when that run's spreadsheets covered its whole range.
void JobEngine::chooseResults() {
    ResultsPageChoice c;
    c.valid = true;
    for (int r : {3, 2, 1}) {
        if (!m_job.DoSS[r]) continue;
        c.run = r;
        break;
    }
    if (c.run == 3 && m_job.DoDeviations) c.differences = c.cumulative = true;
    if (c.run) {
        const int first = c.run == 1 ? 1 : m_firstPolicyYear;
        c.allYears = m_job.FirstSSYear[c.run] <= first && m_job.LastSSYear[c.run] >= m_rec.NumYears;
    }
    for (int r : {3, 2, 1})
        if (m_job.DoSims[r]) {
            c.individualYearsRun = r;
            break;
        }
    m_results = c;
}

}  // namespace vdln
