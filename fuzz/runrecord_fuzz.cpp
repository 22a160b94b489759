// libFuzzer target over the record-of-runs files ("base.ini", "rbase.ini",
// "pol.ini") of a six-year application: the parsed views, the step checks,
// "Are Results Ok?", "Where to Start?", what a job does with them (the check
// before it, the BOT questions, the backups), recording a step into a broken
// file, and saving and restoring the durable copies.
//
// Input: the three files separated by NUL bytes (missing parts are missing
// files).  An odd input length selects no-rerun mode.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "base/dialogs.h"
#include "base/fileutil.h"
#include "base/paths.h"
#include "doubles/scripteddialogs.h"
#include "jobs/recorder.h"
#include "plan/plan.h"
#include "runrecord/appbuilder.h"
#include "runrecord/prereqcheck.h"
#include "runrecord/recordfiles.h"
#include "runrecord/runrecord.h"
#include "runrecord/stillok.h"
#include "runrecord/wheretostart.h"

using namespace vdln;

namespace {
void check(bool condition) {
    if (!condition) std::abort();
}

constexpr int kYears = 6;

testing::AppBuilder& app() {
    static std::unique_ptr<testing::AppBuilder> a = [] {
        // A fixed folder: the seeds name files in it (one fuzzing process at a time).
        // The program makes its writes durable, which costs little in a
        // memory-backed folder: when there is one, the fixed folder is a link
        // to it.
        const std::string root = "/tmp/vdln_runrecord_fuzz";
        if (!directoryExists(root) && directoryExists("/dev/shm")) {
            const std::string shm = "/dev/shm/vdln_runrecord_fuzz";
            (void)makeDirectories(shm);
            (void)::symlink(shm.c_str(), root.c_str());
        }
        (void)makeDirectories(root);
        auto b = std::make_unique<testing::AppBuilder>(root, kYears, 1, 2);
        // The names of the demonstration application, so that records it
        // wrote are this application's records.
        b->sim.SimNames[1] = "BS1";
        b->sim.SimNames[2] = "BR1";
        b->sim.SimNames[3] = "PL1";
        return b;
    }();
    return *a;
}

void put(const std::string& file, const std::string& text) {
    std::FILE* f = std::fopen(file.c_str(), "wb");
    if (!f) return;
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
}

std::vector<std::string> parts(const std::string& input) {
    std::vector<std::string> out;
    size_t from = 0;
    for (;;) {
        size_t nul = input.find('\0', from);
        out.push_back(input.substr(from, nul == std::string::npos ? std::string::npos : nul - from));
        if (nul == std::string::npos || out.size() == 3) break;
        from = nul + 1;
    }
    return out;
}

void writeRecords(const RunRecordEnv& env, const std::vector<std::string>& files) {
    for (int r = 1; r <= 3; ++r) {
        const std::string name = RunRecordFileName(env.keep, r);
        if (static_cast<size_t>(r) <= files.size())
            put(name, files[static_cast<size_t>(r - 1)]);
        else
            (void)deleteFile(name);
    }
}

void checkStarts(const RunStarts& starts) {
    for (int r = 1; r <= 3; ++r) check(starts[r].start >= 1 && starts[r].start <= kYears + 2);
}

TBigJobDetails wholeJob(const RunRecordEnv& env) {
    JobRequest req = emptyRequest(kYears);
    for (int r = 1; r <= 3; ++r) {
        req.FirstSimYear[r] = 1;
        req.LastSimYear[r] = kYears;
        req.FirstSSYear[r] = 1;
        req.LastSSYear[r] = kYears;
    }
    req.DoDeviations = true;
    PlanContext ctx;
    ctx.numYears = kYears;
    ctx.year = [&env](int i) { return env.sim.Years[i]; };
    ctx.noRerun = env.noRerun;
    ctx.firstPolicyYear = env.firstPolicyYear;
    TBigJobDetails j;
    normaliseRequest(req, ctx, {}, j);
    return j;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    testing::AppBuilder& a = app();
    RunRecordEnv& env = *a.env;
    env.noRerun = size % 2 == 1;
    const std::vector<std::string> files = parts(std::string(reinterpret_cast<const char*>(data), size));
    writeRecords(env, files);

    // The parsed views and every step check.
    {
        RunRecords records(env.keep);
        for (int r = 1; r <= 3; ++r)
            check(records.run(r).present() == (static_cast<size_t>(r) <= files.size()));
        StillOkChecker checker(env, records);
        RunStarts starts = WhereRunInSequence(checker);
        checkStarts(starts);
        CheckSelection all;
        for (bool prerequisites : {false, true}) {
            auto steps = CheckStepsFrom(checker, all, prerequisites, starts, nullptr);
            for (int r = 1; r <= 3; ++r)
                check(steps[r].firstFailed >= 0 && steps[r].firstFailed <= kYears + 1);
        }
        for (int r = 1; r <= 3; ++r) {
            (void)checker.lastRanProblem(r);
            for (int i = 1; i <= kYears + 1; ++i) {
                (void)checker.completionTime(r, i, false);
                (void)checker.checkStep(r, i, false, true, all, true);
            }
            for (int i = 1; i <= kYears; ++i)
                (void)checker.checkStep(env.botRecordRun(), i, true, true, all, true);
        }
    }

    // The two questions and the job they may offer.
    {
        ScriptedDialogs dialogs;
        CheckOperationHooks hooks;
        hooks.restoreRecords = false;
        JobStartRanges offered{};
        hooks.startJob = [&offered](const JobStartRanges& r) { offered = r; };
        for (bool prerequisites : {false, true}) {
            CheckReport rep = AreResultsOk(env, dialogs, prerequisites, hooks);
            check(rep.done);
            checkStarts(rep.starts);
        }
        for (bool justSequence : {false, true}) {
            dialogs.queueButton(BtnYes);
            CheckReport rep = WhereToStart(env, dialogs, justSequence, hooks);
            check(rep.done);
            checkStarts(rep.starts);
            for (int r = 1; r <= 3; ++r)
                if (offered[r].any()) check(offered[r].first >= 1 && offered[r].last <= kYears + 1);
        }
    }

    // What a job does with the files: the check before it over everything
    // (with the short-name check), the BOT questions, the backups.
    {
        ScriptedDialogs dialogs;
        RunRecordRecorder recorder(env, dialogs, true);
        PrereqOptions options;
        options.batchMode = true;
        options.fewerMessages = true;
        recorder.setPrereqOptions(options);
        recorder.jobStarting(env.firstPolicyYear);
        recorder.backupAtJobStart();
        (void)recorder.prerequisitesOk(wholeJob(env));
        recorder.selectionBegin();
        for (int i = 0; i <= kYears + 1; ++i) {
            (void)recorder.botNeeded(i);
            (void)recorder.botFinishedSince(i, 0);
        }
        recorder.selectionEnd();
        recorder.setUserDsName(1, "/tmp/app.ds1");
        recorder.jobEnded({false, true, false, true});
        writeRecords(env, files);
    }

    // Saving the durable copies reads "Run"; restoring them reads "Options".
    {
        std::array<std::string, 4> names;
        for (int r = 1; r <= 3; ++r) names[r] = env.sim.SimNames[r].str();
        (void)SaveRunRecordCopies(env.keep, {false, true, true, true}, env.copies, names, env.sim.WorkDir);
        (void)RestoreRunRecordCopies(env.keep, env.copies, env.noRerun);
        for (int r = 1; r <= 3; ++r) (void)deleteFile(env.copies[r]);
    }

    // Recording a step into each broken file.
    {
        writeRecords(env, files);
        ScriptedDialogs dialogs;
        (void)WriteRunRecord(env, dialogs, 1, 1, StepKind::Sim, env.accuracyForYear(1), env.methodForYear(1));
        (void)WriteRunRecord(env, dialogs, env.botRecordRun(), 2, StepKind::Bot, env.accuracyForYear(2),
                             env.methodForYear(2));
        (void)WriteRunRecord(env, dialogs, 3, kYears + 1, StepKind::Sim, env.accuracyForYear(1),
                             env.methodForYear(1));
        (void)WriteUserDsName(RunRecordFileName(env.keep, 2), "user.ds1");
        RunRecords again(env.keep);
        check(again.run(1).present());
    }
    return 0;
}
