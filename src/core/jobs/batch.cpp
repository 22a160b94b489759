#include "jobs/batch.h"

#include <unistd.h>

#include <cstdio>
#include <iostream>

#include "archive/batchzip.h"
#include "base/clock.h"
#include "base/fileutil.h"
#include "base/inifile.h"
#include "base/paths.h"
#include "base/strutil.h"
#include "base/textfile.h"
#include "env/directories.h"
#include "env/environment.h"
#include "env/joblock.h"
#include "jobs/batchargs.h"
#include "jobs/engine.h"
#include "jobs/interrupts.h"
#include "jobs/jobslog.h"
#include "jobs/recorder.h"
#include "model/settings.h"
#include "model/simdetails.h"
#include "model/simgrid.h"
#include "runrecord/recordfiles.h"

namespace vdln {

Button BatchDialogs::message(MsgKind /*kind*/, const std::string& text, Buttons buttons, int /*helpContext*/) {
    m_messages.push_back(text);
    if (echo) {
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

class BatchRun {
public:
    explicit BatchRun(const std::vector<std::string>& params) : m_params(params) {}

    int run(const BatchArchiveCommands& archives);

private:
    void batchLog(const std::vector<std::string>& lines) {
        if (m_batchLog.empty()) return;
        if (Status s = appendToLog(m_batchLog, lines); !s) std::cerr << "vardelon: " << s.message() << "\n";
    }
    int close(bool failed, const std::string& message, int failureCode = 1) {
        batchLog(batchEndLines(m_clock.nowLocal(), failed, message));
        if (failed) std::cerr << "vardelon: " << (message.empty() ? "Job finished with error." : message) << "\n";
        return failed ? failureCode : 0;
    }

    std::vector<std::string> m_params;
    SystemEnvironment m_env;
    SystemClock m_clock;
    BatchDialogs m_dialogs;
    StartupDirectories m_dirs;
    std::string m_batchLog;
    JobDirectoryLocks m_locks;
};

int BatchRun::run(const BatchArchiveCommands& archives) {
    DirectorySources sources(m_env);
    auto dirs = chooseStartupDirectories(sources, m_dialogs);
    if (!dirs) {
        std::cerr << "vardelon: " << dirs.message() << "\n";
        return 2;
    }
    m_dirs = *dirs;
    m_batchLog = JoinPath(m_dirs.keepDir, kBatchJobsLogName);
    if (!fileExists(m_batchLog)) (void)writeFileAtomic(m_batchLog, "");

    // One job at a time per Temporary and Keep Directory: the temporary files
    // are named by simulation name and year only.
    auto locks = acquireJobLocks(m_dirs.tempDir, m_dirs.keepDir, m_clock.nowLocal());
    if (!locks) {
        batchLog(batchBeginLines(m_clock.nowLocal(), m_params, m_env.currentDirectory(), ""));
        return close(true, locks.message());
    }
    m_locks = std::move(*locks);
    if (!m_locks.notes().empty()) batchLog(m_locks.notes());

    const std::string cwd = m_env.currentDirectory();
    const std::string p1 = m_params.empty() ? "" : toLower(m_params[0]);
    if (p1 == "-loadzip" || p1 == "-savezip") {
        batchLog(batchBeginLines(m_clock.nowLocal(), m_params, cwd, ""));
        BatchZipContext zctx;
        zctx.currentDir = cwd;
        zctx.programDir = m_env.programDirectory();
        zctx.tempDir = m_dirs.tempDir;
        BatchZipOutcome out;
        if (p1 == "-loadzip") {
            auto args = parseLoadZipArgs(m_params, cwd);
            if (!args) return close(true, args.message());
            out = archives.loadZip ? BatchZipOutcome{archives.loadZip(m_params, m_dialogs, m_dirs.keepDir, m_dirs.tempDir), ""}
                                   : batchLoadZip(m_params, zctx, m_dialogs, m_clock);
        } else {
            out = archives.saveZip ? BatchZipOutcome{archives.saveZip(m_params, m_dialogs, m_dirs.keepDir, m_dirs.tempDir), ""}
                                   : batchSaveZip(m_params, zctx, m_dialogs, m_clock);
        }
        if (out.exitCode == 0) std::cout << (p1 == "-loadzip" ? "Restored " : "Saved ") << m_params[1] << "\n";
        return close(out.exitCode != 0, out.message);
    }

    // From here on SIGINT, SIGTERM and SIGHUP cancel the job as the Cancel
    // button does.
    InterruptWatch interrupts;
    auto interrupted = [&] {
        const int sig = interrupts.poll();
        if (sig) batchLog({"Interrupted by signal " + signalText(sig)});
        return sig;
    };

    // Settings and the current application, then the details file.
    ProgramSettings settings;
    TSimRecord rec = CreateSimRecord();
    SettingsContext sctx;
    sctx.programDir = m_env.programDirectory();
    sctx.currentTempDir = m_dirs.tempDir;
    sctx.batchMode = true;
    const int processors = static_cast<int>(std::max(1L, ::sysconf(_SC_NPROCESSORS_ONLN)));
    (void)StartupReadSettings(m_dirs.keepDir, kLegacySettingsDir, processors, settings, rec, sctx, m_dialogs);
    settings.FewerMessages = true;

    std::string error;
    std::string detailsFile;
    SimDetailsHooks hooks;
    SimDetailsSession session{rec, settings, sctx, m_dialogs, hooks, m_clock};
    if (m_params.size() > 2) {
        detailsFile = batchDetailsFile(m_params[2], cwd);
        if (!fileExists(detailsFile))
            error = "DS1 file: " + detailsFile + " does not exist";
        else if (!LoadSimDetails(session, detailsFile))
            error = "Could not load the simulation details " + detailsFile +
                    (m_dialogs.messages().empty() ? std::string() : "\r\n" + m_dialogs.messages().back());
    } else if (const std::string sim = JoinPath(m_dirs.keepDir, kCurrentSimFileName); fileExists(sim)) {
        // The job would run on the current simulation file: a damaged one
        // must not become an empty application that "succeeds".
        TSimRecord check = CreateSimRecord();
        if (Status read = ReadSimRecordFile(check, sim, settings.NoRerun); !read)
            error = "The current simulation file cannot be read:\r\n" + read.message();
    }
    std::string missingModel;
    if (error.empty() && settings.model.Model.empty()) {
        // The settings reader drops a model file that does not exist; the
        // job's refusal must still say which file it was.
        const std::string from = m_params.size() > 2 ? detailsFile : JoinPath(m_dirs.keepDir, kSettingsFileName);
        if (auto ini = IniFile::load(from); ini && !trim(ini->getString("Environment", "Model")).empty())
            missingModel = "Model Exe File\r\n  " + trim(ini->getString("Environment", "Model")) + "\r\ndoes not exist.";
    }
    ComputeYears(rec);
    RefreshGrid(rec);
    Result<BatchJob> job = Result<BatchJob>::fail("");
    if (error.empty()) {
        job = parseBatchJob(m_params, rec.NumYears, [&](int i) { return rec.Years[i]; }, settings.NoRerun);
        if (!job) error = job.message();
        else if (!job->spreadsheetsOnly && !missingModel.empty()) error = missingModel;
    }
    if (detailsFile.empty()) detailsFile = JoinPath(rec.WorkDir, DefaultDs1Name(rec, settings.model.ModelName, settings.NoRerun));
    batchLog(batchBeginLines(m_clock.nowLocal(), m_params, rec.WorkDir, detailsFile));
    if (!error.empty()) return close(true, error);
    if (int sig = interrupted()) return close(true, "Job cancelled", kSignalExitBase + sig);

    // The job.
    RunRecordEnv env(rec, TKeepRunInfo::inDirectory(m_dirs.keepDir), m_clock);
    env.noRerun = settings.NoRerun;
    env.developerMode = settings.DeveloperMode;
    env.modelFile = settings.model.Model;
    env.notWinconsoleExe = settings.model.NotWinconsoleExe;
    env.modelInfoFile = settings.model.ModelInfoFile;
    env.dynamicInfoFile = settings.model.IsDinFile ? settings.model.DynamicInfoFile : "";
    env.solFileShocks = settings.SolFileShocks;
    env.resultsMapFile = settings.ResultsMapFile;
    env.abbreviatedSS = settings.AbbreviatedSsJobs;
    env.yearOnYearDiffs = settings.YonYDifferencesSs;
    env.firstYearList = settings.model.FirstYearList;
    env.method = settings.Method;
    env.accuracy = settings.Accuracy;
    env.altMethod = settings.AltMethod;
    env.altAccuracy = settings.AltAccuracy;
    for (int r = 1; r <= 3; ++r) env.copies[r] = JoinPath(rec.WorkDir, RunRecordCopyName(rec, settings.model.ModelName, r, settings.NoRerun));
    RunRecordRecorder recorder(env, m_dialogs, true);
    PrereqOptions prereq;
    prereq.checkPrerequisites = settings.CheckPrerequisites;
    prereq.fewerMessages = settings.FewerMessages;
    prereq.batchMode = true;
    prereq.version = &settings.model.Version;
    recorder.setPrereqOptions(std::move(prereq));
    PosixProcessLauncher launcher;
    EngineEnvironment eenv;
    eenv.programDir = m_env.programDirectory();
    eenv.tempDir = m_dirs.tempDir;
    eenv.keepDir = m_dirs.keepDir;
    eenv.batchMode = true;
    eenv.detailsFile = detailsFile;
    JobEngine engine(rec, settings, eenv, m_dialogs, m_clock, launcher, recorder);
    // The details file and the copies of the record of runs follow every
    // recorded completion, so an interrupted job leaves them matching.  A
    // details file the user named is the job's input and is left as it is
    // (this session's batch options must not be written into it).
    if (m_params.size() <= 2)
        engine.setDetailsWriter([&](int run, bool recorded) {
            if (recorded) (void)WriteDynamicSimInfo(session, detailsFile, true, run);
        });
    if (!engine.StartBigJob(batchRequest(*job, rec.NumYears))) {
        std::string why = engine.failureMessage();
        if (why.empty() && !m_dialogs.messages().empty()) why = m_dialogs.messages().back();
        return close(true, why);
    }
    while (engine.running()) {
        waitForWakeup(launcher, 1000, interrupts.fd());
        if (int sig = interrupted()) {
            engine.cancelJob("interrupted by signal " + signalText(sig));
            return close(true, "Job cancelled", kSignalExitBase + sig);
        }
        engine.tick();
    }
    if (engine.outcome() != JobOutcome::Finished) {
        if (!engine.errorLine().empty()) batchLog({engine.errorLine()});
        return close(true, engine.failureMessage());
    }
    // The durable copies of the record of runs travel with the application.
    (void)SaveRunRecordCopies(env.keep, {false, true, !settings.NoRerun, true}, env.copies,
                              {"", rec.SimNames[1].str(), rec.SimNames[2].str(), rec.SimNames[3].str()}, rec.WorkDir);
    std::cout << "Job finished successfully (" << engine.partsLaunched() << " parts, "
              << elapsedText(engine.elapsedSeconds()) << ")\n";
    return close(false, "");
}

}  // namespace

int runBatch(const std::vector<std::string>& params, const BatchArchiveCommands& archives) {
    BatchRun b(params);
    return b.run(archives);
}

}  // namespace vdln
