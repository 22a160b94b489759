#include "app/batch.h"

#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <set>

#include "app/appsession.h"
#include "app/batchargs.h"
#include "app/batchzip.h"
#include "app/progress.h"
#include "base/clock.h"
#include "base/fileutil.h"
#include "base/inifile.h"
#include "base/paths.h"
#include "base/strutil.h"
#include "env/environment.h"
#include "env/joblock.h"
#include "env/process.h"
#include "jobs/interrupts.h"
#include "jobs/jobslog.h"
#include "model/settings.h"
#include "model/simdetails.h"
#include "results/ratexp.h"
#include "results/rebatch.h"

namespace vdln {

Button BatchDialogs::message(MsgKind /*kind*/, const std::string& text, Buttons buttons,
                             int /*helpContext*/) {
    m_messages.push_back(text);
    if (echo) {
        if (beforeEcho) beforeEcho();
        std::string oneLine = text;
        for (size_t p; (p = oneLine.find("\r\n")) != std::string::npos;) oneLine.replace(p, 2, "\n  ");
        std::cerr << "vardelon: " << oneLine << "\n";
    }
    if (buttons & BtnOk) return BtnOk;
    if (buttons & BtnYes) return BtnYes;
    for (unsigned bit = 1; bit <= BtnNoToAll; bit <<= 1)
        if ((buttons & bit) && bit != BtnHelp) return static_cast<Button>(bit);
    return BtnOk;
}

namespace {

// The progress of a job on standard error: one line per completed part, or
// one line rewritten in place on a terminal.
class ProgressLine {
public:
    ProgressLine() : m_terminal(::isatty(STDERR_FILENO) == 1) {}
    void show(const std::string& text) {
        if (m_terminal) {
            std::cerr << "\r" << text << "\x1b[K" << std::flush;
            m_open = true;
        } else {
            std::cerr << "vardelon: " << text << "\n" << std::flush;
        }
    }
    // Ends an updating line before anything else is written.
    void end() {
        if (m_open) std::cerr << "\n" << std::flush;
        m_open = false;
    }

private:
    bool m_terminal;
    bool m_open = false;
};

class BatchRun {
public:
    BatchRun(const std::vector<std::string>& params, ProcessLauncher* launcher)
        : m_params(params),
          m_launcher(launcher ? *launcher : m_posixLauncher),
          m_session(AppSessionParts{m_env, m_dialogs, m_clock, m_launcher, true}) {
        m_dialogs.beforeEcho = [this] { m_progress.end(); };
    }

    int run(const BatchArchiveCommands& archives);

private:
    // Appends lines to the batch jobs log.  The log is the only channel
    // left once batch mode has no window: a line that cannot be written is
    // said on stderr instead.
    void batchLog(const std::vector<std::string>& lines) {
        if (m_batchLog.empty()) return;
        if (Status s = appendToLog(m_batchLog, lines); !s) {
            m_progress.end();
            std::cerr << "vardelon: could not write to " << m_batchLog << ": " << s.message() << "\n";
            for (const auto& l : lines) std::cerr << "  " << l << "\n";
        }
    }
    int finish(bool failed, const std::string& message, int failureStatus = kBatchFailed);
    int runJob();
    int runArchive(const std::string& p1, const BatchArchiveCommands& archives);

    std::vector<std::string> m_params;
    SystemEnvironment m_env;
    SystemClock m_clock;
    BatchDialogs m_dialogs;
    PosixProcessLauncher m_posixLauncher;
    ProcessLauncher& m_launcher;
    /// The iterations of a job with the rational-expectations box checked
    /// (kept until the session has closed).
    std::unique_ptr<KoraleRE> m_re;
    AppSession m_session;
    ProgressLine m_progress;
    std::string m_batchLog;
    JobDirectoryLocks m_locks;
    bool m_fewerMessages = false;  // the user's "Fewer Messages", written back at exit
};

// The end of batch mode: the session's exit sequence, then everything left
// unwritten (one line each) and the end lines in the batch jobs log.
int BatchRun::finish(bool failed, const std::string& message, int failureStatus) {
    m_progress.end();
    m_session.settings().FewerMessages = m_fewerMessages;
    // The job is over: the exit sequence clears the Temporary Directory
    // under a hold of its own on that folder's lock, which a job of another
    // process may have taken by then (its files are then left to it).
    if (!m_locks.locks.empty()) m_locks.locks.erase(m_locks.locks.begin());
    // A failure of the exit sequence is also one of the session's problems.
    const bool closed = m_session.close().isOk();
    std::vector<std::string> unwritten;
    for (const SessionProblem& p : m_session.problems()) {
        std::string text = p.text;
        for (size_t k; (k = text.find("\r\n")) != std::string::npos;) text.replace(k, 2, " ");
        unwritten.push_back("Not written: " + text);
    }
    if (!closed && unwritten.empty()) unwritten.push_back("Not written: the settings at exit");
    if (!unwritten.empty()) batchLog(unwritten);
    int status = failed ? failureStatus : kBatchOk;
    std::string why = message;
    if (!failed && !unwritten.empty()) {
        status = kBatchUnwritten;
        why = "The job finished, but " + std::to_string(unwritten.size()) +
              " record(s) or file(s) could not be written (listed above).";
        failed = true;
    }
    batchLog(batchEndLines(m_clock.nowLocal(), failed, why));
    if (failed) std::cerr << "vardelon: " << (why.empty() ? "Job finished with error." : why) << "\n";
    for (const std::string& u : unwritten) std::cerr << "vardelon: " << u << "\n";
    return status;
}

int BatchRun::run(const BatchArchiveCommands& archives) {
    if (Status opened = m_session.open(); !opened) {
        std::cerr << "vardelon: " << opened.message() << "\n";
        return kBatchNoDirectories;
    }
    m_fewerMessages = m_session.settings().FewerMessages;
    m_batchLog = JoinPath(m_session.keepDir(), kBatchJobsLogName);
    if (!fileExists(m_batchLog)) {
        if (Status s = writeFileAtomic(m_batchLog, ""); !s)
            std::cerr << "vardelon: could not create " << m_batchLog << ": " << s.message() << "\n";
    }
    // One job at a time per Temporary and Keep Directory: the temporary
    // files are named by simulation name and year only.  A refused job
    // leaves the folders alone (no exit sequence: it would write the
    // settings and clear the Temporary Directory under the other job).
    auto locks = acquireJobLocks(m_session.tempDir(), m_session.keepDir(), m_clock.nowLocal());
    if (!locks) {
        batchLog(batchBeginLines(m_clock.nowLocal(), m_params, m_env.currentDirectory(), ""));
        batchLog(batchEndLines(m_clock.nowLocal(), true, locks.message()));
        std::cerr << "vardelon: " << locks.message() << "\n";
        return kBatchFailed;
    }
    m_locks = std::move(*locks);
    if (!m_locks.notes().empty()) batchLog(m_locks.notes());
    const std::string p1 = m_params.empty() ? "" : toLower(m_params[0]);
    if (p1 == "-loadzip" || p1 == "-savezip") return runArchive(p1, archives);
    return runJob();
}

int BatchRun::runArchive(const std::string& p1, const BatchArchiveCommands& archives) {
    const std::string cwd = m_env.currentDirectory();
    batchLog(batchBeginLines(m_clock.nowLocal(), m_params, cwd, ""));
    BatchZipContext zctx;
    zctx.currentDir = cwd;
    zctx.programDir = m_session.programDir();
    zctx.tempDir = m_session.tempDir();
    BatchZipOutcome out;
    if (p1 == "-loadzip") {
        auto args = parseLoadZipArgs(m_params, cwd);
        if (!args) return finish(true, args.message());
        out = archives.loadZip ? BatchZipOutcome{archives.loadZip(m_params, m_dialogs, m_session.keepDir(),
                                                                  m_session.tempDir()),
                                                 ""}
                               : batchLoadZip(m_params, zctx, m_dialogs, m_clock);
    } else {
        out = archives.saveZip ? BatchZipOutcome{archives.saveZip(m_params, m_dialogs, m_session.keepDir(),
                                                                  m_session.tempDir()),
                                                 ""}
                               : batchSaveZip(m_params, zctx, m_dialogs, m_clock, &m_session.settings());
    }
    if (out.exitCode == 0) std::cout << (p1 == "-loadzip" ? "Restored " : "Saved ") << m_params[1] << "\n";
    return finish(out.exitCode != 0, out.message);
}

int BatchRun::runJob() {
    const std::string cwd = m_env.currentDirectory();
    ProgramSettings& settings = m_session.settings();
    TSimRecord& rec = m_session.record();
    settings.FewerMessages = true;

    // From here on SIGINT, SIGTERM and SIGHUP cancel the job as the Cancel
    // button does.
    InterruptWatch interrupts;
    auto interrupted = [&] {
        const int sig = interrupts.poll();
        if (sig) batchLog({"Interrupted by signal " + signalText(sig)});
        return sig;
    };

    std::string error;
    std::string detailsFile;
    if (m_params.size() > 2) {
        detailsFile = batchDetailsFile(m_params[2], cwd);
        if (!fileExists(detailsFile))
            error = "DS1 file: " + detailsFile + " does not exist";
        else if (!m_session.loadDetails(detailsFile))
            error = "Could not load the simulation details " + detailsFile +
                    (m_dialogs.messages().empty() ? std::string() : "\r\n" + m_dialogs.messages().back());
        // The details file the user named is the job's input: it is left as
        // it is (this session's batch options must not be written into it).
        m_session.setWriteDetailsDuringJobs(false);
    }
    if (m_params.size() <= 2 && error.empty()) {
        // The job would run on the current simulation file: a damaged one
        // must not become a new application that "succeeds".
        const std::string sim = JoinPath(m_session.keepDir(), kCurrentSimFileName);
        TSimRecord check = CreateSimRecord();
        if (fileExists(sim))
            if (Status read = ReadSimRecordFile(check, sim, settings.NoRerun); !read)
                error = "The current simulation file cannot be read:\r\n" + read.message();
    }
    // The settings reader drops a model file that does not exist; a job with
    // simulations must still say which file it was.
    std::string missingModel;
    if (error.empty() && settings.model.Model.empty()) {
        const std::string from =
            m_params.size() > 2 ? detailsFile : JoinPath(m_session.keepDir(), kSettingsFileName);
        if (auto ini = IniFile::load(from); ini && !trim(ini->getString("Environment", "Model")).empty())
            missingModel =
                "Model Exe File\r\n  " + trim(ini->getString("Environment", "Model")) + "\r\ndoes not exist.";
    }
    Result<BatchJob> job = Result<BatchJob>::fail("");
    if (error.empty()) {
        job = parseBatchJob(
            m_params, rec.NumYears, [&](int i) { return rec.Years[i]; }, settings.NoRerun);
        if (!job)
            error = job.message();
        else if (!job->spreadsheetsOnly && !missingModel.empty())
            error = missingModel;
    }
    if (detailsFile.empty()) detailsFile = m_session.defaultDetailsFile();
    batchLog(batchBeginLines(m_clock.nowLocal(), m_params, rec.WorkDir, detailsFile));
    if (!error.empty()) return finish(true, error);
    if (int sig = interrupted()) return finish(true, "Job cancelled", 128 + sig);

    int aboutParts = 0;
    m_session.setPartDoneHook([&](const PartDone& part) {
        if (aboutParts < part.partsLaunched) aboutParts = estimateJobParts(m_session.engine(), rec, settings);
        m_progress.show(progressLine(part, aboutParts, rec));
    });
    // With the rational-expectations box checked the same request iterates;
    // the reports are printed here, not shown in boxes.
    if (settings.re.DoingRE) {
        m_re = std::make_unique<KoraleRE>(REContext{rec, settings, m_dialogs, m_clock, m_session.tempDir(),
                                                    [this] { return m_session.engine().firstPolicyYear(); },
                                                    [](const std::string&, const std::string&) {}});
        m_re->setCounts(reIterationCounts(settings));
        m_session.engine().setRationalExpectations(*m_re);
    }
    // The timer's first tick after program start runs only the start-up
    // checks.  The window's timer has had it long before a job starts; here
    // it comes now, not when the first part has ended (which would leave
    // that end unseen until the next tick, a second later).
    m_session.tick();
    if (!m_session.startJob(batchRequest(*job, rec.NumYears))) {
        std::string why = m_session.engine().failureMessage();
        if (why.empty() && !m_dialogs.messages().empty()) why = m_dialogs.messages().back();
        return finish(true, why);
    }
    aboutParts = estimateJobParts(m_session.engine(), rec, settings);
    while (m_session.jobRunning()) {
        // Woken by a program's end, or after a second at the latest.
        waitForWakeup(m_launcher, 1000, interrupts.fd());
        if (int sig = interrupted()) {
            m_progress.end();
            m_session.engine().cancelJob("interrupted by signal " + signalText(sig));
            return finish(true, "Job cancelled", 128 + sig);
        }
        m_session.tick();
    }
    const JobEngine& engine = m_session.engine();
    if (engine.outcome() != JobOutcome::Finished) {
        m_progress.end();
        if (!engine.errorLine().empty()) batchLog({engine.errorLine()});
        return finish(true, engine.failureMessage());
    }
    m_progress.end();
    if (m_re) {
        const std::vector<std::string> lines = reBatchReportLines(*m_re);
        for (const auto& l : lines) std::cout << l << "\n";
        batchLog(lines);
    }
    std::cout << "Job finished successfully (" << engine.partsLaunched() << " parts, "
              << elapsedText(engine.elapsedSeconds()) << ")\n";
    return finish(false, "");
}

}  // namespace

int runBatch(const std::vector<std::string>& params, const BatchArchiveCommands& archives,
             ProcessLauncher* launcher) {
    BatchRun b(params, launcher);
    return b.run(archives);
}

}  // namespace vdln
