#include "jobs/recorder.h"

#include "base/inifile.h"
#include "base/strutil.h"
#include "runrecord/prereqinputs.h"
#include "runrecord/prereqorder.h"
#include "runrecord/recordfiles.h"

namespace vdln {

void RunRecordRecorder::recordCompletion(int run, int year, const std::string& jobName, const TSolutionMethod& method,
                                         const TAutoAccuracy& accuracy) {
    (void)WriteRunRecord(m_env, m_dialogs, run, year, jobName == "bot" ? StepKind::Bot : StepKind::Sim, accuracy,
                         method);
}

void RunRecordRecorder::setUserDsName(int run, const std::string& ds1) {
    // Every part of a job names the same file: write only when it changes,
    // so a job does not flush the record to disk once per part.
    const std::string file = RunRecordFileName(m_env.keep, run);
    if (auto ini = IniFile::load(file); ini && ini->getString("Run", "User DS name") == ds1) return;
    (void)WriteUserDsName(file, ds1);
}

void RunRecordRecorder::backupAtJobStart() { (void)BackupRunRecords(m_env.keep); }

void RunRecordRecorder::jobEnded(const std::array<bool, 4>& progress) { EndRunRecordBackups(m_env.keep, progress); }

bool RunRecordRecorder::botNeeded(int year) { return BotNeeded(m_env, m_cache, year); }

bool RunRecordRecorder::botFinishedSince(int year, std::int64_t since) {
    const std::string file = RunRecordFileName(m_env.keep, m_env.noRerun ? 3 : 2);
    auto ini = IniFile::load(file);
    if (!ini || year < 1 || year > m_env.sim.NumYears) return false;
    auto t = parseCompletionTime(ini->getString(std::to_string(m_env.sim.Years[year]), "Bot job finished ok"));
    return t && *t >= since;
}

bool RunRecordRecorder::prerequisitesOk(const TBigJobDetails& job) {
    bool periods = false;
    for (int i = 1; i <= m_env.sim.NumYears && i <= kMaxYears; ++i)
        if (m_env.sim.PeriodLength[i] != 1) periods = true;
    const std::string seq = sequenceCheckMessage(
        job, m_env.firstPolicyYear, [this](int i) { return m_env.sim.Years[i]; }, periods, m_env.noRerun);
    m_problem = seq;
    if (!seq.empty()) {
        m_dialogs.message(MsgKind::Error, seq, BtnOk | BtnHelp, 1);
        return false;
    }
    EssentialInputs in;
    in.modelProgram = m_env.modelFile;
    in.usesInterpreter = !iendsWith(m_env.modelFile, ".exe");
    in.modelInfoFile = m_env.modelInfoFile;
    in.resultsMapFile = m_env.resultsMapFile;
    in.noRerun = m_env.noRerun;
    in.firstPolicyYear = m_env.firstPolicyYear;
    const std::string missing = missingEssentialInput(m_env.sim, job, in, periods, m_dialogs);
    m_problem = missing;
    if (!missing.empty()) {
        m_dialogs.message(MsgKind::Error, missing, BtnOk | BtnHelp, 1);
        return false;
    }
    (void)m_quiet;
    return true;
}

}  // namespace vdln
