#include "jobs/batch.h"

#include <unistd.h>

#include <cstdio>
#include <iostream>

#include "archive/batchzip.h"
#include "base/clock.h"
#include "base/fileutil.h"
#include "base/paths.h"
#include "base/strutil.h"
#include "base/textfile.h"
#include "env/directories.h"
#include "env/environment.h"
#include "jobs/batchargs.h"
#include "jobs/engine.h"
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

    int run(const BatchArchiveCommands& archives, const BatchRationalExpectations& re);

private:
    void batchLog(const std::vector<std::string>& lines) {
        if (m_batchLog.empty()) return;
        (void)appendToLog(m_batchLog, m_dirs.tempDir, 0, lines);
    }
    int close(bool failed, const std::string& message) {
        batchLog(batchEndLines(m_clock.nowLocal(), failed, message));
        if (failed) std::cerr << "vardelon: " << (message.empty() ? "Job finished with error." : message) << "\n";
        return failed ? 1 : 0;
    }

    std::vector<std::string> m_params;
    SystemEnvironment m_env;
    SystemClock m_clock;
    BatchDialogs m_dialogs;
    StartupDirectories m_dirs;
    std::string m_batchLog;
};

int BatchRun::run(const BatchArchiveCommands& archives, const BatchRationalExpectations& reSupport) {
    DirectorySources sources(m_env);
    auto dirs = chooseStartupDirectories(sources, m_dialogs);
    if (!dirs) {
        std::cerr << "vardelon: " << dirs.message() << "\n";
        return 2;
    }
    m_dirs = *dirs;
    m_batchLog = JoinPath(m_dirs.keepDir, kBatchJobsLogName);
    if (!fileExists(m_batchLog)) (void)writeFileAtomic(m_batchLog, "");

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
            error = "Could not load the simulation details " + detailsFile;
    }
    ComputeYears(rec);
    RefreshGrid(rec);
    Result<BatchJob> job = Result<BatchJob>::fail("");
    if (error.empty()) {
        job = parseBatchJob(m_params, rec.NumYears, [&](int i) { return rec.Years[i]; }, settings.NoRerun);
        if (!job) error = job.message();
    }
    if (detailsFile.empty()) detailsFile = JoinPath(rec.WorkDir, DefaultDs1Name(rec, settings.model.ModelName, settings.NoRerun));
    batchLog(batchBeginLines(m_clock.nowLocal(), m_params, rec.WorkDir, detailsFile));
    if (!error.empty()) return close(true, error);

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
    // With the rational-expectations box checked the same request iterates.
    RationalExpectationsHooks* re = nullptr;
    if (settings.re.DoingRE && reSupport.begin) {
        re = reSupport.begin({rec, settings, m_dialogs, m_clock, m_dirs.tempDir,
                              [&engine] { return engine.firstPolicyYear(); }});
        if (re) engine.setRationalExpectations(*re);
    }
    if (!engine.StartBigJob(batchRequest(*job, rec.NumYears))) {
        std::string why = engine.failureMessage();
        if (why.empty() && !m_dialogs.messages().empty()) why = m_dialogs.messages().back();
        return close(true, why);
    }
    while (engine.running()) {
        (void)waitForWakeup(launcher, 1000);
        engine.tick();
    }
    if (engine.outcome() != JobOutcome::Finished) {
        if (!engine.errorLine().empty()) batchLog({engine.errorLine()});
        return close(true, engine.failureMessage());
    }
    // The durable copies of the record of runs travel with the application.
    (void)SaveRunRecordCopies(env.keep, {false, true, !settings.NoRerun, true}, env.copies,
                              {"", rec.SimNames[1].str(), rec.SimNames[2].str(), rec.SimNames[3].str()}, rec.WorkDir);
    if (re && reSupport.reportLines) {
        const std::vector<std::string> lines = reSupport.reportLines();
        for (const auto& l : lines) std::cout << l << "\n";
        batchLog(lines);
    }
    std::cout << "Job finished successfully (" << engine.partsLaunched() << " parts, "
              << elapsedText(engine.elapsedSeconds()) << ")\n";
    return close(false, "");
}

}  // namespace

int runBatch(const std::vector<std::string>& params, const BatchArchiveCommands& archives,
             const BatchRationalExpectations& re) {
    BatchRun b(params);
    return b.run(archives, re);
}

}  // namespace vdln
