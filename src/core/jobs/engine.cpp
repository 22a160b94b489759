#include "jobs/engine.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "base/besteffort.h"
#include "base/fileutil.h"
#include "base/inifile.h"
#include "base/paths.h"
#include "base/strutil.h"
#include "base/textfile.h"
#include "cmf/cmfreader.h"
#include "cmf/cmfwriter.h"
#include "cmf/yearrun.h"
#include "env/suite.h"
#include "env/tools.h"
#include "jobs/interrupts.h"
#include "jobs/jobslog.h"
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
      m_recorder(recorder) {
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
               m_recorder.botFinishedSince(i, std::max(m_job.StartFileTime, m_botPassStart));
    };
    return c;
}

bool JobEngine::botDoneThisJob(int year) const {
    return std::find(m_botsDone.begin(), m_botsDone.end(), year) != m_botsDone.end();
}

PlanOptions JobEngine::planOptions() const {
    PlanOptions o;
    o.abbreviatedSS = m_settings.AbbreviatedSsJobs;
    o.yearOnYearDiffs = m_settings.YonYDifferencesSs;
    o.useSOLFilesForShocks = m_settings.SolFileShocks;
    return o;
}

ScriptContext JobEngine::scriptContext() const {
    ScriptContext c{m_rec, m_job, m_settings.NoRerun, m_firstPolicyYear, m_env.tempDir, {}};
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

std::string JobEngine::slotDir(int slot) const {
    if (slot <= 1) return m_rec.WorkDir;
    return JoinPath(m_env.tempDir, "simdir" + std::to_string(slot));
}

void JobEngine::log(const std::vector<std::string>& lines, int slot) {
    if (!m_settings.AddToJobsLog || lines.empty()) return;
    if (Status s = appendToLog(JoinPath(m_env.keepDir, kJobsLogName), lines); !s) m_logProblem = s.message();
    (void)slot;  // every slot writes the one log now
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
    m_outcome = JobOutcome::None;
    m_failure.clear();
    m_errorLine.clear();
    m_partsDone = 0;
    m_unrecorded.clear();
    m_botsDone.clear();
    const bool doingRE = m_re->doingRE();
    m_jobOrder = (m_settings.CompleteBaseFirst || doingRE) ? "base-ASAP" : "pol-ASAP";
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
    for (int s = 1; s <= 3; ++s) m_job.Jobs[s].Dir = slotDir(s);

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
            const std::string dir = slotDir(s);
            if (!m_settings.DeveloperMode && dir.size() > 8 && !iequals(dir, m_env.programDir) &&
                directoryExists(dir)) {
                for (const auto& e : std::filesystem::directory_iterator(dir))
                    if (e.is_regular_file())
                        bestEffort(
                            deleteFile(e.path().string()),
                            "old files of the slot folder; the files the part needs are copied over them");
            }
            if (Status st = prepareSlotDirectory(dir); !st) {
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
    m_botPassStart = 0;
    releaseUnlessStarted.armed = false;  // from here an abort releases it
    m_job.Stopped = false;
    m_cancelRequested = false;
    m_launchedAny = false;
    m_partsLaunched = 0;
    m_progress = {};
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

// Copies a set of the files a simulation reads into a slot's folder:
// "model" (the model's auxiliary files), "data inputs" (the data a run reads
// in `year`: the first-year data, or the updated data of the year before),
// "updated inputs" (the data `year` of `run` wrote), "cmfbits" (the closure
// and shock files of `run` in `year` with what they draw in), "cmfstart"
// (the start files) or "all".  A file that must be there and is not stops
// the copy, unless `onlyExisting`.
Status JobEngine::CopySimFilesToDir(const std::string& set, int run, int year, bool onlyExisting,
                                    const std::string& dir) {
    std::vector<std::string> files;
    const bool all = set == "all";
    const bool noRerun = m_settings.NoRerun;
    if (all || set == "model") {
        const std::string model = m_settings.model.Model;
        for (const char* ext : {".axs", ".axt", ".gss", ".gst"}) {
            std::string f = changeExt(model, ext);
            if (fileExists(f)) files.push_back(f);
        }
    }
    if (all || set == "data inputs") {
        if (year <= 1) {
            for (const auto& line : m_settings.model.FirstYearList) {
                const FirstYearLineParts parts = parseFirstYearLine(line);
                if (parts.valid && !parts.unset())
                    files.push_back(UserFilePath(m_rec.WorkDir, parts.actualPath()));
            }
        } else {
            for (int f = 1; f <= m_rec.NumFiles; ++f) {
                if (!m_rec.Files[f].IsInput) continue;
                auto res = ResolveLogicalFile(m_rec, year, run, run == 1 ? 1 : m_firstPolicyYear, noRerun, f,
                                              m_settings.model.FirstYearList);
                if (res && !res->name.empty()) files.push_back(ResolvePath(m_rec.WorkDir, res->name));
            }
        }
    }
    if (set == "updated inputs") {
        for (int f = 1; f <= m_rec.NumFiles; ++f) {
            const auto& F = m_rec.Files[f];
            if (F.IsInput && F.IsUpdated)
                files.push_back(JoinPath(m_rec.WorkDir, DataFileName(m_rec, year, run, noRerun, f)));
        }
    }
    auto gridFiles = [&](int row, std::initializer_list<int> cols) {
        for (int col : cols) {
            const std::string stem = m_rec.GridStem(row, col);
            if (stem.empty() || stem == "?" || stem == "N/A") continue;
            std::string f = UserFilePath(m_rec.WorkDir, m_rec.GridFile(row, col));
            files.push_back(f);
            std::vector<std::string> parts;
            // `f` is a full path: the constituents are listed from its own
            // folder (the first entry is the file itself).
            if (fileExists(f) && ListConstituents(dirOf(f), nameOf(f), parts))
                for (size_t k = 1; k < parts.size(); ++k)
                    files.push_back(ResolvePath(m_rec.WorkDir, parts[k]));
        }
    };
    if (all || set == "cmfbits") {
        // The Base reads the Base columns, runs 2 and 3 the policy ones; the
        // policy also reads the year's extra shock files.
        const bool base = run == 1;
        gridFiles(0, base ? std::initializer_list<int>{1, 2} : std::initializer_list<int>{3, 4});
        if (year >= 1 && year <= m_rec.NumYears)
            gridFiles(year, base ? std::initializer_list<int>{1, 2} : std::initializer_list<int>{3, 4});
    }
    if (all || set == "cmfstart") gridFiles(-1, {1, 2, 3, 4});
    for (size_t k = 0; k < files.size(); ++k) {
        const std::string& f = files[k];
        if (!fileExists(f)) {
            if (onlyExisting) continue;
            return Status::fail("[CopySimFilesToDir]: File " + f +
                                " does not exist. [k=" + std::to_string(k + 1) + "]");
        }
        if (Status s = copyFile(f, JoinPath(dir, nameOf(f)), true); !s)
            return Status::fail(s.message() + " [CopySimFilesToDir]");
    }
    return Status::ok();
}

// Prepares a secondary slot's folder: the model's auxiliary files, the
// first-year data, the data of each run that starts after the first year,
// the closure, shock and start files of every run and simulated year, and
// the results map file.
Status JobEngine::prepareSlotDirectory(const std::string& dir) {
    if (!makeDirectories(dir)) return Status::fail("Cannot create directory " + dir);
    if (Status s = CopySimFilesToDir("model", 1, 1, true, dir); !s) return s;
    if (Status s = CopySimFilesToDir("data inputs", 1, 1, false, dir); !s) return s;
    for (int r = 1; r <= 3; ++r) {
        if (!m_job.DoSims[r]) continue;
        // A later start reads data an earlier year wrote; when this job
        // writes it, it arrives with the updated inputs after that year.
        if (m_job.FirstSimYear[r] > 1)
            if (Status s = CopySimFilesToDir("data inputs", r, m_job.FirstSimYear[r], true, dir); !s)
                return s;
        for (int i = m_job.FirstSimYear[r]; i <= m_job.LastSimYear[r]; ++i) {
            if (Status s = CopySimFilesToDir("cmfbits", r, i, false, dir); !s) return s;
            if (Status s = CopySimFilesToDir("cmfstart", r, i, true, dir); !s) return s;
        }
    }
    if (!m_settings.ResultsMapFile.empty() && fileExists(m_settings.ResultsMapFile)) {
        const std::string copy = JoinPath(dir, nameOf(m_settings.ResultsMapFile));
        bestEffort(deleteFile(copy), "the copy below replaces it; its failure is reported");
        if (!copyFile(m_settings.ResultsMapFile, copy, true)) return Status::fail("Cound not create " + copy);
    }
    return Status::ok();
}

void JobEngine::copyUpdatedInputs(int run, int year) {
    for (int s = std::max(2, m_job.FirstSlot); s <= m_job.LastSlot; ++s)
        bestEffort(CopySimFilesToDir("updated inputs", run, year, true, slotDir(s)),
                   "a later part that needs a file that is not there stops with its own message");
}

bool JobEngine::StartNextSteps(int finishedSlot, std::optional<StepChoice> finished) {
    struct Selection {
        CompletionRecorder& r;
        explicit Selection(CompletionRecorder& rec) : r(rec) { r.selectionBegin(); }
        ~Selection() { r.selectionEnd(); }
    } selection{m_recorder};
    if (finished && finished->JobName == "sim" && finished->JobPart == "sim" &&
        finished->Year < m_rec.NumYears && m_job.LastSlot > 1)
        copyUpdatedInputs(finished->Run, finished->Year);
    bool launchedNow = false;
    const PlanOptions opt = planOptions();
    for (;;) {
        if (m_job.Stopped) break;
        int j = 0;
        for (int s = m_job.FirstSlot; s <= m_job.LastSlot; ++s)
            if (!m_job.Jobs[s].InUse) {
                j = s;
                break;
            }
        if (!j) break;
        std::optional<StepChoice> next;
        if (!launchedNow && finished) next = followOnPart(m_job, opt, *finished);
        if (!next) {
            SelectResult sel = SelectNextStep(m_job, planContext(), opt, m_jobOrder, finishedSlot == 0);
            if (!sel.ok) {
                if (sel.errorIsInfo)
                    m_dialogs.message(MsgKind::Information, sel.error, BtnOk);
                else
                    m_dialogs.message(MsgKind::Error, internalErrorText(sel.error), BtnOk);
                abortJob(sel.error);
                return false;
            }
            next = sel.step;
            if (next && sel.reRestart) {
                const int r = next->Run;
                m_re->setCurrentIteration(r, m_re->iterationsDone(r) + 1);
                if (r == botRun(m_settings.NoRerun)) {
                    m_botPassStart = m_clock.nowFileTime();
                    m_botsDone.clear();
                }
                m_job.LastDoneYear[r] = m_job.FirstSimYear[r] - 1;
                m_job.SSStageDone[r].clear();
                m_job.SSPartDone[r] = "csv";
            }
        }
        if (!next) break;
        if (Status s = launchPart(j, *next); !s) {
            if (m_job.Running) abortJob(s.message());
            return false;
        }
        launchedNow = true;
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

namespace {
std::string writingFailureText(const std::string& message) {
    if (message.empty()) return "BAT file not written so cannot start job";
    return "BAT file not written so cannot start job.\r\n  [Emes is \"" + message + "\"]";
}
}  // namespace

Status JobEngine::launchPart(int slot, const StepChoice& p) {
    const ScriptContext sc = scriptContext();
    const int i = p.Year, r = p.Run;
    const bool noRerun = m_settings.NoRerun;
    PartFiles pf;
    bool modelPart = (p.JobName == "sim" && p.JobPart == "sim") || (p.JobName == "bot" && p.JobPart == "env");
    auto writingFailure = [&](const std::string& message) {
        m_dialogs.waitEnd();
        m_dialogs.message(MsgKind::Information, writingFailureText(message), BtnOk);
        return Status::fail(message.empty() ? "BAT file not written so cannot start job" : message);
    };

    // A year marked for the alternative method uses the alternative pair.
    const bool alt = m_rec.AltMethodInUse && i >= 1 && i <= kMaxYears && m_rec.AltMethodYears[i];
    const TSolutionMethod& method = alt ? m_settings.AltMethod : m_settings.Method;
    const TAutoAccuracy& accuracy = alt ? m_settings.AltAccuracy : m_settings.Accuracy;
    if (p.JobName == "sim" || p.JobName == "bot") {
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
        req.jobDir = slot > 1 ? slotDir(slot) : std::string();
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
        if (p.JobName == "sim") {
            pf.program = m_settings.model.Model;
            pf.dir = slotDir(slot);
            pf.stdinFile = bat->simSti;
            pf.outputFile = SolutionFile(m_rec, i, r, noRerun);
            pf.stepLogFile = SimLogFile(m_rec, i, r, noRerun);
            pf.logFile = JobLogFile(m_rec, i, r, noRerun, m_env.tempDir);
            pf.reportFile = RptFile(m_rec, i, r, noRerun, m_env.tempDir);
            if (r > 1) {
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
                if (Status st = copySolShocksForSlot(slot, i, botFile); !st) return st;
                TxtFile out;
                Status s = TxtCreate(out, CmfFile(m_rec, i, r, noRerun));
                if (s) s = TxtAppend(out, top);
                if (s) s = TxtAppend(out, botFile);
                Status c = TxtClose(out);
                if (s) s = std::move(c);
                if (!s) return writingFailure(s.message());
            }
        } else {
            pf.dir = slotDir(slot);
            pf.stepLogFile = BotJobLogFile(m_rec, i, noRerun);
            const std::string tl = JoinPath(m_env.tempDir, RunStem(m_rec, i, r));
            if (p.JobPart == "env") {
                pf.program = m_settings.model.Model;
                pf.stdinFile = bat->envSti;
                pf.outputFile = tl + ".en4";
            } else if (p.JobPart == "tellur1") {
                pf.program = bat->tellur;
                pf.stdinFile = bat->mapSti;
                pf.outputFile = tl + ".map";
            } else if (p.JobPart == "sectra1" || p.JobPart == "tellur2") {
                pf.program = p.JobPart == "sectra1" ? bat->sectra : bat->tellur;
                pf.stdinFile = bat->botSti;
                pf.outputFile = BotFile(m_rec, i, noRerun);
            } else if (p.JobPart == "solpol") {
                auto w = writeSolpolScript(sc, i);
                if (!w) return writingFailure(w.message());
                auto f = partFiles(sc, p, slotDir(slot));
                if (!f) return writingFailure(f.message());
                pf = *f;
                pf.program = JoinPath(m_env.programDir, pf.program);
            }
            if (p.JobPart != "solpol") {
                pf.logFile = changeExt(pf.stdinFile, ".log");
                pf.reportFile = changeExt(pf.stdinFile, ".rpt");
            }
        }
    } else {
        Result<std::vector<std::string>> scripts = std::vector<std::string>{};
        if (p.JobName == "csv" || p.JobName == "sssol") {
            auto w = writeCsvScript(sc, p.JobName, r);
            if (!w) return writingFailure(w.message());
        } else if ((p.JobName == "aggrex" &&
                    (p.JobPart == "yony" || (p.JobPart == "py" && !m_job.DoSS[r]))) ||
                   (p.JobName == "cumsol" && (p.JobPart == "cum" || (p.JobPart == "py" && !m_job.DoSS[r])))) {
            scripts = writeAccumulationScripts(sc, p.JobName, r);
            if (!scripts) return writingFailure(scripts.message());
        }
        auto f = partFiles(sc, p, slotDir(slot));
        if (!f) return writingFailure(f.message());
        pf = *f;
        pf.program = JoinPath(m_env.programDir, pf.program);
    }
    if (p.JobName == "sim" && p.JobPart == "sol") {
        bestEffort(deleteFile(changeExt(pf.outputFile, ".sli")),
                   "a stale companion file; the conversion writes a new one");
        auto w = writeSolScript(sc, i, r);
        if (!w) return writingFailure(w.message());
        auto f = partFiles(sc, p, slotDir(slot));
        if (!f) return writingFailure(f.message());
        pf = *f;
        pf.program = JoinPath(m_env.programDir, pf.program);
    }

    // The job's simulation-details file goes into the run's record.
    if (!m_env.detailsFile.empty()) m_recorder.setUserDsName(r, m_env.detailsFile);

    // RecordCompletion for the last part of a step.
    const bool recordCompletion = recordsCompletion(m_job, planContext(), planOptions(), p);

    if (!m_launchedAny) {
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
        m_startSeconds = m_clock.monotonicSeconds();
        m_job.StartFileTime = m_clock.nowFileTime();
        log(jobStartLines(now(), m_job.FirstSlot, m_job.LastSlot), 0);
        if (Status s = treatPreviousOutputs(); !s) return s;
    }
    for (const std::string& f : {pf.logFile, pf.reportFile, pf.outputFile}) {
        if (f.empty()) continue;
        if (!deleteFile(f)) {
            m_dialogs.message(MsgKind::Error, "Could not delete file " + f, BtnOk);
            return Status::fail("Could not delete file " + f);
        }
    }
    if (p.JobName == "sim" && p.JobPart == "sim") {
        bestEffort(writeLinesAtomic(pf.stepLogFile,
                                    {"** Starting sim for year " + std::to_string(m_rec.Years[i]) + " of " +
                                     runName(r) + " **"},
                                    false),
                   "the heading of the step log; the part appends its own log below");
    } else if (p.JobName == "bot" && p.JobPart == "env") {
        bestEffort(writeLinesAtomic(
                       pf.stepLogFile,
                       {"** Starting BOT job for year " + std::to_string(m_rec.Years[i]) + " **"}, false),
                   "the heading of the step log; the part appends its own log below");
    } else if (p.JobName == "csv") {
        bestEffort(writeLinesAtomic(pf.stepLogFile, {"** Starting SS job for " + runName(r) + " **"}, false),
                   "the heading of the step log; the part appends its own log below");
    }

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
    s.InUse = true;
    s.Run = r;
    s.Year = i;
    s.Process = static_cast<std::int64_t>(handle->id);
    s.Dir = pf.dir;
    s.JobName = p.JobName;
    s.JobPart = p.JobPart;
    s.LogFile = pf.logFile;
    s.StepLogFile = pf.stepLogFile;
    s.OutputFile = pf.outputFile;
    s.ReportFile = pf.reportFile;
    s.RecordCompletion = recordCompletion;
    m_process[slot] = *handle;
    m_slotStarted[slot] = m_clock.monotonicSeconds();
    m_slotProgram[slot] = lr->program == "/bin/sh" && !lr->args.empty()
                              ? pf.program + " (through " + lr->args[0] + ")"
                              : lr->program;
    m_methods[slot] = {method, accuracy};
    m_launchedAny = true;
    m_panelPhase = PanelPhase::Running;
    ++m_partsLaunched;
    m_launchedAt[slot] = m_clock.monotonicSeconds();
    log(partStartLines(s, describeContext(), now()), slot);
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
    lines.push_back(commandLine(pf.program, {"-sti", pf.stdinFile, "-log", pf.logFile}));
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

// With SOL files for shocks the BOT file names the year's SOL-format results
// by their path in the Working Directory.  A policy sim in a secondary slot
// reads a copy in its own folder, through an edited copy of the BOT file in
// the Temporary Directory, which then becomes the BOT file used.
Status JobEngine::copySolShocksForSlot(int slot, int year, std::string& botFile) {
    if (!m_settings.SolFileShocks || slot <= 1 || m_maxConcurrent < 2) return Status::ok();
    const std::string rsl = BotResultsFile(m_rec, year, m_settings.NoRerun);
    const std::string copy = JoinPath(slotDir(slot), nameOf(rsl));
    bestEffort(deleteFile(copy), "the copy below replaces it; its failure is reported");
    if (!copyFile(rsl, copy, false)) {
        const std::string text = "Error copying SOL File for Policy shocks to SimDir2";
        m_dialogs.message(MsgKind::Error, internalErrorText(text), BtnOk);
        return Status::fail(text);
    }
    auto text = readWholeFile(botFile);
    const std::string edited = JoinPath(m_env.tempDir, nameOf(botFile));
    Status st = text ? Status::ok() : Status::fail(text.message());
    if (st) {
        std::string body = *text;
        const std::string from = "\"" + rsl + "\"", to = "\"" + copy + "\"";
        for (size_t pos = 0; (pos = body.find(from, pos)) != std::string::npos; pos += to.size())
            body.replace(pos, from.size(), to);
        st = writeFileAtomic(edited, body, false);
    }
    if (!st) {
        const std::string message = "Error copying and editing BOT File";
        m_dialogs.message(MsgKind::Error, internalErrorText(message), BtnOk);
        return Status::fail(message);
    }
    botFile = edited;
    return Status::ok();
}

// Before the model program of a step runs while iterating: the iteration
// files at a run's first year in its first iteration ("sim" for runs 1 and
// 3, the BOT step for the rerun), and the rerun's start copy in its later
// iterations.
Status JobEngine::reBeforeModelPart(const StepChoice& p) {
    if (!m_re->doingRE()) return Status::ok();
    const bool simPart = p.JobName == "sim" && p.JobPart == "sim";
    const bool envPart = p.JobName == "bot" && p.JobPart == "env";
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

// The outputs an earlier run left in the Working Directory: deleted, moved
// to "VDLNRes", or left, as the "Outputs Before Run" option says.
Status JobEngine::treatPreviousOutputs() {
    std::vector<std::string> outputs;
    const bool noRerun = m_settings.NoRerun;
    for (int r = 1; r <= 3; ++r) {
        if (!m_job.DoSims[r]) continue;
        for (int i = std::max(m_job.FirstSimYear[r], r == 1 ? 1 : m_firstPolicyYear);
             i <= m_job.LastSimYear[r]; ++i) {
            const std::string sol = SolutionFile(m_rec, i, r, noRerun);
            for (const char* ext : {".sl4", ".slc", ".udc", ".sol", ".sli"})
                outputs.push_back(changeExt(sol, ext));
            for (int f = 1; f <= m_rec.NumFiles; ++f) {
                const auto& F = m_rec.Files[f];
                if (F.IsInput && !F.IsUpdated) continue;
                outputs.push_back(JoinPath(m_rec.WorkDir, DataFileName(m_rec, i, r, noRerun, f)));
            }
        }
    }
    // The accumulated spreadsheet results each run's spreadsheet steps write.
    const ScriptContext sc = scriptContext();
    const int ssYear = m_rec.NumYears + 1;
    for (int r = 1; r <= 3; ++r) {
        if (!m_job.DoSS[r] && !m_job.DoPY[r]) continue;
        std::vector<StepChoice> parts;
        for (const char* part : {"yony", "cum", "py"}) parts.push_back({"aggrex", part, r, ssYear});
        for (const char* part : {"cum", "py"}) parts.push_back({"cumsol", part, r, ssYear});
        if (r == 3 && m_job.DoDeviations)
            for (const char* part : {"yony", "cum"}) parts.push_back({"divero", part, r, ssYear});
        if (r == 3 && m_job.DoDeviations) parts.push_back({"devsol", "cum", r, ssYear});
        for (const auto& part : parts) {
            if (part.JobPart == "py" && !m_job.DoPY[r]) continue;
            if (part.JobPart != "py" && !m_job.DoSS[r]) continue;
            auto f = partFiles(sc, part, m_rec.WorkDir);
            if (f && !f->outputFile.empty() && dirOf(f->outputFile) == dirOf(JoinPath(m_rec.WorkDir, "x")))
                outputs.push_back(f->outputFile);
        }
    }
    const std::string resDir = JoinPath(m_rec.WorkDir, "VDLNRes");
    const OutputsBeforeRun mode = m_settings.Outputs;
    bool haveResDir = mode != OutputsBeforeRun::Delete && makeDirectories(resDir);
    std::vector<std::string> locked;
    for (const auto& f : outputs) {
        if (!fileExists(f)) continue;
        const std::string to = JoinPath(resDir, nameOf(f));
        if (mode == OutputsBeforeRun::Neither) {
            // Left in place; a file that cannot be moved away and back is
            // held by another program.
            if (!haveResDir || std::rename(f.c_str(), to.c_str()) != 0) {
                locked.push_back(f);
                continue;
            }
            if (std::rename(to.c_str(), f.c_str()) != 0)
                bestEffort(copyFile(to, f, true), "the file stays in \"VDLNRes\", where the user finds it");
            continue;
        }
        if (mode == OutputsBeforeRun::Move && haveResDir) {
            bestEffort(deleteFile(to), "an older moved copy; the move below replaces it");
            if (std::rename(f.c_str(), to.c_str()) != 0)
                bestEffort(
                    deleteFile(f),
                    "an output of the previous run; the part rewrites it and is judged by its new report");
        } else {
            bestEffort(deleteFile(f),
                       "an output of the previous run; the part rewrites it and is judged by its new report");
        }
        if (fileExists(f)) locked.push_back(f);
    }
    if (locked.empty()) return Status::ok();
    std::string text = "The following files in the Working Directory: " + m_rec.WorkDir + "\r\n" +
                       " appear to be locked by another program (eg, Excel or Word)." + "\r\n" +
                       "This will probably cause an error running this job since" + "\r\n" +
                       " new versions of these files cannot be created." + "\r\n";
    for (const auto& f : locked) text += "  " + nameOf(f) + "\r\n";
    text +=
        "\r\n\r\nWe recommend that you cancel the job now in order\r\n to unlock these files.\r\nIs this "
        "what you wish to do?";
    if (m_dialogs.message(MsgKind::Error, text, BtnYes | BtnNo | BtnHelp, kHelp) == BtnYes)
        return Status::fail("Files in the Working Directory are locked.");
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
    if (m_cancelRequested) {
        cancelJob();
        return;
    }
    int ended = 0;
    for (int s = std::max(1, m_job.FirstSlot); s <= 3 && !ended; ++s) {
        if (!m_job.Jobs[s].InUse) continue;
        if (m_launcher.ended(m_process[s])) ended = s;
    }
    if (ended) {
        handleEnded(ended);
        return;
    }
    // A part past its time limit ends the job; nothing else is left to do.
    if (checkTimeLimits()) return;
}

void JobEngine::cancelJob(const std::string& reason, int graceMs) {
    m_cancelRequested = false;
    if (!m_job.Running) return;
    m_cancelling = true;
    m_cancelReason = reason;
    stopRunningParts(graceMs);
    abortJob("Job cancelled");
    m_outcome = JobOutcome::Cancelled;
    m_cancelling = false;
    m_dialogs.message(MsgKind::Information, "Solve job aborted via Cancel button", BtnOk);
    if (!m_stopProblem.empty())
        m_dialogs.message(
            MsgKind::Information,
            "However the DOS job may still be running.\r\nYou may be able to kill it by clicking on "
            "this job in the TaskBar and then hitting Control-C.\r\n" +
                m_stopProblem,
            BtnOk);
}

// Stops every part still running (a cancel, a failed part, an overrun): a
// program left running would go on writing into the folders the next job
// reads.  Its slot is freed and nothing is recorded for it.
void JobEngine::stopRunningParts(int graceMs) {
    std::vector<ProcessHandle> running;
    for (int s = 1; s <= 3; ++s)
        if (m_process[s]) running.push_back(m_process[s]);
    m_stopProblem.clear();
    if (running.empty()) return;
    if (Status st = m_launcher.stop(running, kSignalExitBase + 15, graceMs); !st)
        m_stopProblem = st.message();
    for (int s = 1; s <= 3; ++s) {
        if (!m_process[s]) continue;
        m_launcher.release(m_process[s]);
        m_process[s] = ProcessHandle{};
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
        if (!slot.InUse || !m_process[s] || nowSeconds - m_slotStarted[s] < limit) continue;
        const DescribeContext dc = describeContext();
        const int calendar = dc.year ? dc.year(slot.Year) : slot.Year;
        const std::string text = "Time limit exceeded for:\r\nProgram: " + m_slotProgram[s] + "\r\n" +
                                 "Run: " + runName(slot.Run) + "\r\n" + "Year: " + std::to_string(calendar) +
                                 " (" + (dc.usesPeriods ? "period" : "year") + " number " +
                                 std::to_string(slot.Year) + ")" + "\r\n" +
                                 "Part: " + slotDescription(slot, dc) + partNote(slot) + "\r\n" +
                                 "Limit: " + std::to_string(limit) + " seconds";
        m_errorLine = partErrorLine(slot, dc, now());
        log({m_errorLine}, s);
        stopRunningParts(kStopGraceMs);
        m_dialogs.message(MsgKind::Error, text, BtnOk);
        abortJob(m_stopProblem.empty() ? text : text + "\r\n" + m_stopProblem);
        return true;
    }
    return false;
}

void JobEngine::handleEnded(int slotNo) {
    TOneDosJob& slot = m_job.Jobs[slotNo];
    const std::optional<int> endSignal = m_launcher.endSignal(m_process[slotNo]);
    m_launcher.release(m_process[slotNo]);
    m_process[slotNo] = ProcessHandle{};
    if (m_job.Stopped) {
        slot.InUse = false;
        return;
    }
    // The part's log goes at the end of the step's log.
    if (fileExists(slot.LogFile)) {
        const std::string lox = changeExt(slot.LogFile, ".lox");
        TxtFile out;
        Status s = TxtCreate(out, lox);
        if (s && fileExists(slot.StepLogFile)) s = TxtAppend(out, slot.StepLogFile);
        if (s) s = TxtAppend(out, slot.LogFile);
        Status c = TxtClose(out);
        if (s && c)
            bestEffort(copyFile(lox, slot.StepLogFile, false),
                       "the step log keeps its earlier text; the part's own log is still there");
        bestEffort(deleteFile(lox), "scratch file of the step log");
    }
    bool failed = true;
    std::string reportedError;  // the report's "Error" sentence
    if (fileExists(slot.ReportFile)) {
        auto rep = readSuiteReport(slot.ReportFile);
        if (rep && rep->ok()) failed = false;
        if (rep && !rep->ok()) reportedError = rep->error;
        if (rep && (slot.JobPart == "sim" || slot.JobPart == "env")) {
            // The model program tells which release made it.
            auto ini = IniFile::load(slot.ReportFile);
            if (ini) {
                auto& v = m_settings.model.Version;
                if (auto x = parseInt(ini->getString(kReportSection, kReportSvVerLarge))) {
                    v.Release = static_cast<std::int32_t>(*x);
                    v.ReleaseKnown = true;
                }
                if (auto x = parseInt(ini->getString(kReportSection, kReportPrVerInteger))) {
                    v.Version = static_cast<std::int32_t>(*x);
                    v.VersionKnown = true;
                }
                // An empty "Fortran Compiler=" names no compiler.
                if (std::string c = trim(ini->getString(kReportSection, kReportFortranCompiler));
                    !c.empty()) {
                    v.Compiler = c;
                    v.CompilerKnown = true;
                }
            }
        }
    }
    const DescribeContext dc = describeContext();
    if (!failed && m_settings.SplitBatchJobs && fileExists(slot.OutputFile)) {
        const StepChoice done{slot.JobName, slot.JobPart, slot.Run, slot.Year};
        if (slot.RecordCompletion) {
            const auto& m = m_methods[slotNo];
            if (Status rs = m_recorder.recordCompletion(slot.Run, slot.Year, slot.JobName, m.first, m.second);
                !rs)
                m_unrecorded.push_back(rs.message());
            if (slot.JobName == "bot" && !botDoneThisJob(slot.Year)) m_botsDone.push_back(slot.Year);
            if (!m_env.detailsFile.empty()) m_recorder.setUserDsName(slot.Run, m_env.detailsFile);
        }
        if (m_re->doingRE() && slot.JobName == "sim" && slot.JobPart == "sol" &&
            !m_re->standardChecks(slot.Run, slot.Year)) {
            slot.InUse = false;
            abortJob("The checks of the rational-expectations iteration failed.");
            return;
        }
        const TOneDosJob before = slot;
        const std::string stageBefore = m_job.SSStageDone[slot.Run];
        CompleteStep(m_job, planOptions(), slotNo);
        const bool stageCompleted = m_job.SSStageDone[before.Run] != stageBefore;
        if (!reAfterCompletion(before, stageCompleted)) return;
        if (m_writeDetails) m_writeDetails(before.Run, before.RecordCompletion);
        if (partGetsEndLine(before, stageCompleted, m_settings.SolFileShocks))
            log({partEndLine(before, dc, now())}, slotNo);
        if (before.JobName == "sim" && before.JobPart == "sol") m_progress[before.Run] = true;
        const std::string& st = m_job.SSStageDone[before.Run];
        if (st == "aggrex" || st == "cumsol" || (before.Run == 3 && (st == "divero" || st == "devsol")))
            m_progress[before.Run] = true;
        ++m_partsDone;
        if (m_onPartDone)
            m_onPartDone(PartDone{slotNo, before.Run, before.Year, before.JobName, before.JobPart,
                                  m_clock.monotonicSeconds() - m_launchedAt[slotNo], m_partsLaunched,
                                  m_partsDone});
        StartNextSteps(slotNo, done);
        return;
    }
    // Why a part failed, beyond the texts that follow: the signal that
    // ended its program, the report's own sentence.
    std::string cause;
    if (endSignal)
        cause += "\r\nThe program " + m_slotProgram[slotNo] + " was ended by signal " +
                 signalText(*endSignal) + ".";
    if (!reportedError.empty()) cause += "\r\nThe program reported: " + reportedError;
    const std::string partText = "\r\n" + slotDescription(slot, dc) + partNote(slot);
    if (!failed) {
        std::string text = "Dos Job Number " + std::to_string(slotNo) + " not spawned another job";
        text += partText;
        if (!m_settings.SplitBatchJobs)
            text += "\r\n(\"Do not split batch jobs\" is selected.)";
        else
            text += "\r\nThe program " + m_slotProgram[slotNo] + " reported success but did not write" +
                    "\r\n  " + slot.OutputFile;
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
    log({m_errorLine}, slotNo);
    std::string errorLog;
    if (fileExists(slot.LogFile)) {
        errorLog = slot.LogFile;
    } else if (fileExists(slot.ReportFile)) {
        auto ini = IniFile::load(slot.ReportFile);
        if (ini) {
            std::string named = ini->getString(kReportSection, kReportLogFile);
            if (!named.empty() && fileExists(named)) errorLog = named;
        }
    }
    std::string message;
    if (!fileExists(slot.ReportFile) && !fileExists(slot.LogFile)) {
        message = missingReportText(slot.ReportFile, "", false) + cause;
        m_dialogs.message(MsgKind::Error, message, BtnOk | BtnHelp, kHelp);
        if (slot.JobName == "sim" && slot.JobPart == "sim")
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
            m_openInEditor)
            m_openInEditor(errorLog);
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
    if (before.JobName == "sim" && before.JobPart == "sol" && before.Year == m_job.FirstSimYear[r] &&
        m_re->currentIteration(r) == m_re->startIteration(r)) {
        if (!m_re->startConvergenceFile(r)) {
            m_dialogs.message(MsgKind::Information,
                              "Cannot continue with Rational Expectations because of earlier error.",
                              BtnOk | BtnHelp, kHelp);
            ok = false;
        }
    } else if (before.JobName == "cumsol" && stageCompleted) {
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
    if (!m_cancelling) stopRunningParts(kStopGraceMs);
    if (m_job.Running && m_launchedAny) log(jobEndedLines(now(), m_cancelling, m_cancelReason), 0);
    if (m_job.Running) {
        m_job.Running = false;
        m_failure = message;
        m_outcome = JobOutcome::Failed;
        m_recorder.jobEnded(m_progress);
    }
}

void JobEngine::finishJob() {
    m_job.Running = false;
    m_elapsed = m_clock.monotonicSeconds() - m_startSeconds;
    const std::string t = "Total elapsed time is: " + elapsedText(m_elapsed);
    log(jobFinishedLines(now(), elapsedText(m_elapsed)), 0);
    m_outcome = JobOutcome::Finished;
    m_panelPhase = PanelPhase::Finished;
    chooseResults();
    m_recorder.jobEnded(m_progress);
    // "Run Single Job, then Concurrent" may start its next pass; then nothing
    // else happens here.
    if (m_onFinished && m_onFinished()) return;
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
