#include "jobs/recorder.h"

#include "base/besteffort.h"
#include "base/fileutil.h"
#include "base/inifile.h"
#include "base/strutil.h"
#include "runrecord/recordfiles.h"
#include "runrecord/shortnames.h"

namespace vdln {

Status RunRecordRecorder::recordCompletion(int run, int year, JobKind jobName, const TSolutionMethod& method,
                                           const TAutoAccuracy& accuracy) {
    const bool bot = jobName == JobKind::Bot;
    if (WriteRunRecord(m_env, m_dialogs, m_store, run, year, bot ? StepKind::Bot : StepKind::Sim, accuracy,
                       method))
        return Status::ok();
    return Status::fail("Problem updating Record of Runs file \r\n  " + RunRecordFileName(m_env.keep, run) +
                        "\r\nThe " + stepContext(m_env, run, year, bot) + " was not recorded.");
}

void RunRecordRecorder::setUserDsName(int run, const std::string& ds1) {
    // Every part of a job names the same file: write only when it changes,
    // so a job does not flush the record to disk once per part.
    if (run < 1 || run > 3 || m_dsName[run] == ds1) return;
    const std::string file = RunRecordFileName(m_env.keep, run);
    if (m_store.value(file, "Run", "User DS name").value_or("") != ds1 || !fileExists(file))
        if (!WriteUserDsName(file, ds1, m_store)) return;
    m_dsName[run] = ds1;
}

void RunRecordRecorder::selectionBegin() {
    m_selecting = true;
    m_cache.begin();
    m_finishedSince.clear();
    m_listings.clear();
}

void RunRecordRecorder::selectionEnd() {
    m_selecting = false;
    m_cache.end();
    m_finishedSince.clear();
    m_listings.clear();
}

void RunRecordRecorder::backupAtJobStart() {
    bestEffort(
        BackupRunRecords(m_env.keep),
        "the backups only tell invalidated runs apart; a missing one is refreshed at the next job start");
}

void RunRecordRecorder::jobEnded(const std::array<bool, 4>& progress) {
    EndRunRecordBackups(m_env.keep, progress);
}

bool RunRecordRecorder::botNeeded(int year) {
    return BotNeeded(m_env, m_cache, m_store, year, m_selecting ? &m_listings : nullptr);
}

bool RunRecordRecorder::botFinishedSince(int year, std::int64_t since) {
    if (m_selecting) {
        if (auto it = m_finishedSince.find(year); it != m_finishedSince.end()) return it->second;
        m_selecting = false;
        const bool finished = botFinishedSince(year, since);
        m_selecting = true;
        m_finishedSince[year] = finished;
        return finished;
    }
    if (year < 1 || year > m_env.sim.NumYears) return false;
    auto text = m_store.value(RunRecordFileName(m_env.keep, m_env.noRerun ? 3 : 2),
                              std::to_string(m_env.sim.Years[year]), "Bot job finished ok");
    auto t = text ? parseCompletionTime(*text) : std::nullopt;
    return t && *t >= since;
}

bool RunRecordRecorder::prerequisitesOk(const TBigJobDetails& job) {
    PrereqOptions options = m_options;
    options.batchMode = options.batchMode || m_quiet;
    const PrereqOutcome outcome = PreviousSimsEtcStillOk_Version2(m_env, job, options, m_cache, m_dialogs);
    m_problem = outcome.problem;
    if (!outcome.goAhead) return false;
    const ShortNameOutcome names = CheckShortNamesDataCMFBits(m_env, job, m_dialogs);
    m_problem = names.problem;
    return names.ok;
}

}  // namespace vdln
