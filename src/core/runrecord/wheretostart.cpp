#include "runrecord/wheretostart.h"

#include <algorithm>
#include <exception>

#include "base/besteffort.h"
#include "base/paths.h"
#include "base/result.h"
#include "base/strutil.h"

namespace vdln {

const char* const kWhichResultsBoxes[9] = {
    "Solution Files ?",
    "SLC Files (needed by Probex) ?",
    "Updated Data Files ?",
    "Other Output Data Files (produced via WRITE statements) ?",
    "Year-on-Year and Cumulative Speadsheets and Cumulative Results RSL files ?",
    "Policy Deviation Spreadsheets and Cumulative Differences RSL file?",
    "LOG files from simulations",
    "BOT files used for in Policy and Rerun",
    "SOL files used for Shocks in Policy and Rerun",
};

namespace {

constexpr const char* kRerunBaseYear = "Must rerun this year of the Base.";
constexpr const char* kRerunBasePart = "Must rerun this part of the Base.";

std::string trimLineBreaks(std::string s) {
    while (!s.empty() && (s.back() == '\r' || s.back() == '\n')) s.pop_back();
    return s;
}

bool runUsed(const RunRecordEnv& env, int r) {
    return !(r == 2 && env.noRerun);
}

}  // namespace

RunStarts WhereRunInSequence(const StillOkChecker& ck) {
    const RunRecordEnv& env = ck.env();
    const int n = env.sim.NumYears;
    const int f = env.firstPolicyYear;
    const int b = env.botRecordRun();
    RunStarts out{};
    auto year = [&](int i) { return std::to_string(env.sim.Years[i]); };

    // Base.
    RunStart& base = out[1];
    base.start = n + 2;
    if (auto p = ck.lastRanProblem(1)) {
        base = {1, *p, false};
    } else {
        std::optional<std::int64_t> prev;
        for (int i = 1; i <= n + 1; ++i) {
            auto t = ck.completionTime(1, i, false);
            if (!t) {
                base = {i, ck.notCompletedReason(1, i, false), false};
                break;
            }
            if (prev && *t < *prev) {
                std::string reason =
                    i > n ? "SS job for Base was completed before sim for year " + year(n) + "."
                          : "Sim for year " + year(i) + " of Base was completed before sim for year " +
                                year(i - 1) + ".";
                base = {i, reason, false};
                break;
            }
            prev = t;
        }
    }
    const int baseStart = base.start;
    auto baseOk = [&](int i, std::int64_t before) {  // Base step i done in sequence, before `before`
        if (i < 1) return true;
        if (i >= baseStart) return false;
        auto t = ck.completionTime(1, i, false);
        return t && *t <= before;
    };

    // BOT jobs.
    int botStart = n + 1;
    std::string botReason;
    for (int i = f; i <= n; ++i) {
        if (i >= baseStart) {
            botStart = i;
            botReason = kRerunBaseYear;
            break;
        }
        auto t = ck.completionTime(b, i, true);
        if (!t) {
            botStart = i;
            botReason = ck.notCompletedReason(b, i, true);
            break;
        }
        auto tb = ck.completionTime(1, i, false);
        if (!tb || *t < *tb) {
            botStart = i;
            botReason = "   The BOT job for year " + year(i) + " was completed before the " +
                        simulationPhrase(env, 1, i);
            break;
        }
        if (i - 1 >= f) {
            auto tp = ck.completionTime(b, i - 1, false);
            if (tp && *t < *tp) {
                botStart = i;
                botReason = "   The BOT job for year " + year(i) + " was completed before the " +
                            simulationPhrase(env, b, i - 1) +
                            "\r\n      [The starting data for this BOT job includes updated data from that "
                            "simulation.]";
                break;
            }
        }
    }

    // Rerun and Policy.
    for (int r = 2; r <= 3; ++r) {
        RunStart& rs = out[r];
        rs.start = n + 2;
        if (!runUsed(env, r)) continue;
        if (auto p = ck.lastRanProblem(r)) {
            rs = {f, *p, false};
            if (f == baseStart) rs = {f, *p + "\r\n" + kRerunBaseYear, true};
            continue;
        }
        const int cmpRun =
            env.noRerun ? 1 : 2;  // the run whose spreadsheets a Policy deviation compares with
        std::optional<std::int64_t> prev;
        for (int i = f; i <= n + 1; ++i) {
            auto t = ck.completionTime(r, i, false);
            const bool needsBaseStep = i <= n || (env.noRerun && r == 3);
            if (!t) {
                if (needsBaseStep && i == baseStart)
                    rs = {i, i > n ? kRerunBasePart : kRerunBaseYear, true};
                else if (i <= n && i == botStart)
                    rs = {i, botReason, botReason == kRerunBaseYear};
                else
                    rs = {i, ck.notCompletedReason(r, i, false), false};
                break;
            }
            if (i <= n) {
                // The previous year of this run (or of the Base before the policy start).
                if (prev && *t < *prev) {
                    rs = {i,
                          "Sim for year " + year(i) + " of " + runTitle(r) +
                              " was completed before sim for year " + year(i - 1) + ".",
                          false};
                    break;
                }
                if (!prev && i - 1 >= 1 && !baseOk(i - 1, *t)) {
                    const bool undone = i - 1 >= baseStart;
                    rs = {i,
                          undone ? std::string(kRerunBaseYear)
                                 : "   The " + simulationPhrase(env, r, i) + " was completed before the " +
                                       simulationPhrase(env, 1, i - 1),
                          undone};
                    break;
                }
                // The Base year and the BOT job of the same year.
                if (!baseOk(i, *t)) {
                    const bool undone = i >= baseStart;
                    rs = {i,
                          undone ? std::string(kRerunBaseYear)
                                 : "   The " + simulationPhrase(env, r, i) + " was completed before the " +
                                       simulationPhrase(env, 1, i),
                          undone};
                    break;
                }
                if (i >= botStart) {
                    rs = {i, botReason, botReason == kRerunBaseYear};
                    break;
                }
                auto tbot = ck.completionTime(b, i, true);
                if (tbot && *t < *tbot) {
                    rs = {i,
                          simulationPhrase(env, r, i, true) +
                              " was completed before BOT job for the same year.",
                          false};
                    break;
                }
            } else {
                if (prev && *t < *prev) {
                    rs = {i,
                          "SS job for " + runTitle(r) + " was completed before sim for year " + year(n) + ".",
                          false};
                    break;
                }
                if (r == 3) {
                    // The deviations compare with the comparison run's spreadsheets.
                    const int cmpStart = cmpRun == 1 ? baseStart : out[2].start;
                    auto tc = ck.completionTime(cmpRun, i, false);
                    if (cmpStart <= n + 1 || !tc) {
                        if (cmpRun == 1) {
                            rs = {i, kRerunBasePart, true};
                        } else {
                            rs = {i, "SS job for " + runTitle(cmpRun) + " has not been completed.", false};
                        }
                        break;
                    }
                    if (*t < *tc) {
                        rs = {i,
                              "SS job for " + runTitle(r) + " was completed before SS job for " +
                                  runTitle(cmpRun) + ".",
                              false};
                        break;
                    }
                }
            }
            prev = t;
        }
    }
    return out;
}

std::array<StepsFromResult, 4> CheckStepsFrom(const StillOkChecker& ck, const CheckSelection& sel,
                                              bool prerequisites, const RunStarts& starts, Dialogs* dialogs) {
    const RunRecordEnv& env = ck.env();
    const int n = env.sim.NumYears;
    const int b = env.botRecordRun();
    std::array<StepsFromResult, 4> out{};
    for (int r = 1; r <= 3; ++r) {
        StepsFromResult& res = out[r];
        const int first = env.firstYearOf(r);
        res.lastGood = first - 1;
        if (!runUsed(env, r)) {
            res.lastGood = n + 1;
            continue;
        }
        const int stop = std::min(starts[r].start, n + 2);
        for (int i = first; i < stop; ++i) {
            const std::string ctx = stepContext(env, r, i, false);
            if (dialogs) dialogs->waitStage("Checking outputs from (and inputs to) " + ctx);
            const bool done = ck.completionTime(r, i, false).has_value();
            if (!done && !prerequisites) {
                res.lastGood = i;  // nothing recorded, so nothing has changed
                continue;
            }
            CheckOutcome o;
            if (r == b && i <= n && (prerequisites || ck.completionTime(b, i, true))) {
                o = ck.checkStep(b, i, true, prerequisites, sel);
                if (!o.ok) {
                    res.firstFailed = i;
                    res.reason =
                        "Results from the " + stepContext(env, b, i, true) + " are not ok.\r\n" + o.reason;
                    break;
                }
            }
            o = ck.checkStep(r, i, false, prerequisites, sel);
            if (!o.ok) {
                res.firstFailed = i;
                res.reason = "Results from the " + ctx + " are not ok.\r\n" + o.reason;
                break;
            }
            res.lastGood = i;
        }
        if (r >= 2 && res.firstFailed > 0) {
            // A failure at or after the Base's own first failure lies in the Base.
            const int baseFail = out[1].firstFailed;
            const bool dependsOnBaseStep = res.firstFailed <= n || (env.noRerun && r == 3);
            if (baseFail > 0 && dependsOnBaseStep && baseFail <= res.firstFailed) res.needsBaseFirst = true;
        }
    }
    return out;
}

namespace {

// The common start of both operations: the file-name check, the wait window
// and the restore of the record of runs.  False when the check failed.
bool prepare(const RunRecordEnv& env, Dialogs& dialogs, const CheckOperationHooks& hooks, const char* sorry) {
    if (hooks.closureShockNamesOk && !hooks.closureShockNamesOk()) {
        dialogs.info(sorry);
        return false;
    }
    dialogs.waitBegin("Please Wait - " + hooks.programName + " at work");
    dialogs.waitStage("Checking times completed and prerequisites\r\n[This may take a while]");
    if (hooks.restoreRecords)
        bestEffort(RestoreRunRecordCopies(env.keep, env.copies, env.noRerun),
                   "a run whose copy cannot be restored reads as never run, which the check then says");
    return true;
}

}  // namespace

namespace {

// A record that breaks the program's own limits (for example a damaged
// application record) must not end the program: the operation stops with
// the internal-error message instead.
CheckReport guarded(Dialogs& dialogs, const char* routine, const std::function<CheckReport()>& body) {
    std::string problem;
    try {
        return body();
    } catch (const std::exception& e) {
        problem = e.what();
    }
    dialogs.waitEnd();
    dialogs.error(internalErrorText(problem + " [" + std::string(routine) + "]"));
    return CheckReport();
}

CheckReport areResultsOk(const RunRecordEnv& env, Dialogs& dialogs, bool prerequisites,
                         const CheckOperationHooks& hooks);
CheckReport whereToStart(const RunRecordEnv& env, Dialogs& dialogs, bool justSequence,
                         const CheckOperationHooks& hooks);

}  // namespace

CheckReport AreResultsOk(const RunRecordEnv& env, Dialogs& dialogs, bool prerequisites,
                         const CheckOperationHooks& hooks) {
    return guarded(dialogs, "AreResultsOk", [&] { return areResultsOk(env, dialogs, prerequisites, hooks); });
}

CheckReport WhereToStart(const RunRecordEnv& env, Dialogs& dialogs, bool justSequence,
                         const CheckOperationHooks& hooks) {
    return guarded(dialogs, "WhereToStart", [&] { return whereToStart(env, dialogs, justSequence, hooks); });
}

namespace {

CheckReport areResultsOk(const RunRecordEnv& env, Dialogs& dialogs, bool prerequisites,
                         const CheckOperationHooks& hooks) {
    CheckReport rep;
    if (hooks.closureShockNamesOk && !hooks.closureShockNamesOk()) {
        dialogs.info("Sorry, not checking Results Ok until this problem is fixed.");
        return rep;
    }
    CheckSelection sel;
    if (hooks.chooseSelection) {
        auto chosen = hooks.chooseSelection(sel, env.solFileShocks);
        if (!chosen) return rep;
        sel = *chosen;
    }
    CheckOperationHooks h = hooks;
    h.closureShockNamesOk = nullptr;  // already done
    if (!prepare(env, dialogs, h, "")) {
        // The problems have been shown; the check still says where to
        // start from the records as they are.
    }
    const int n = env.sim.NumYears;
    RunRecords records(env.keep);
    // The check reads many names in few folders and writes nothing.
    FolderListings listings;
    StillOkChecker ck(env, records, &listings);
    RunStarts starts{};
    if (prerequisites) {
        starts = WhereRunInSequence(ck);
    } else {
        for (int r = 1; r <= 3; ++r) starts[r].start = n + 2;
    }
    auto results = CheckStepsFrom(ck, sel, prerequisites, starts, &dialogs);
    dialogs.waitEnd();

    std::string text = prerequisites
                           ? "Results OK. Would the specified Results be the Same if you Run the jobs Again?"
                           : "Results OK. Are the specified Results the Same as when they were last Created?";
    text += "\r\n";
    text += prerequisites ? "The report below is based on completion of the jobs in sequence."
                          : "The report below does NOT take into account completion of the jobs in sequence.";
    text += "\r\n";
    text += prerequisites
                ? "It has checked if the results would be the same if you were to run again\r\n"
                  " by checking that the prerequisites (input files) are still ok."
                : "It does NOT take account of prerequisites being ok, so does not\r\n"
                  " indicate whether or not the results would be the same if you were to run again.";
    text += "\r\n\r\n";
    std::string reasons;
    bool allOk = true;
    for (int r = 1; r <= 3; ++r) {
        if (!runUsed(env, r)) continue;
        const StepsFromResult& res = results[r];
        const int first = env.firstYearOf(r);
        std::string line;
        std::string reason;
        if (res.firstFailed > 0) {
            reason = res.reason;
        } else if (starts[r].start <= n + 1) {
            reason = starts[r].reason;
        }
        if (res.lastGood >= n + 1 && reason.empty()) {
            line = "All results you asked to be checked are ok";
        } else if (res.lastGood >= n) {
            line =
                "Results you asked to be checked are ok for all simulations but not for the Spreadsheet job";
        } else if (res.lastGood >= first) {
            line =
                "Results you asked to be checked are ok up to the " + simulationPhrase(env, r, res.lastGood);
        } else {
            line = "Results you asked to be checked are not ok, starting with the " +
                   stepContext(env, r, first, false);
        }
        text += runTitle(r) + ": " + line + "\r\n";
        if (!reason.empty()) {
            allOk = false;
            if (!reasons.empty()) reasons += "\r\n";
            reasons += trimLineBreaks(reason);
        }
    }
    if (!allOk) text += "\r\nReasons:\r\n" + reasons;
    rep.done = true;
    rep.text = text;
    rep.sequence = starts;
    for (int r = 1; r <= 3; ++r) {
        rep.starts[r].start = results[r].firstFailed > 0 ? results[r].firstFailed : starts[r].start;
        rep.starts[r].reason = results[r].firstFailed > 0 ? results[r].reason : starts[r].reason;
    }
    dialogs.message(MsgKind::Information, text, BtnOk | BtnHelp);
    return rep;
}

CheckReport whereToStart(const RunRecordEnv& env, Dialogs& dialogs, bool justSequence,
                         const CheckOperationHooks& hooks) {
    CheckReport rep;
    if (!prepare(env, dialogs, hooks, "Sorry, not checking Where to Start until this problem is fixed."))
        return rep;
    const int n = env.sim.NumYears;
    RunRecords records(env.keep);
    // The check reads many names in few folders and writes nothing.
    FolderListings listings;
    StillOkChecker ck(env, records, &listings);
    const RunStarts seq = WhereRunInSequence(ck);
    RunStarts starts = seq;
    bool moved = false;
    if (!justSequence) {
        CheckSelection sel;
        sel.log = sel.bot = sel.solShocks = false;
        auto results = CheckStepsFrom(ck, sel, true, seq, &dialogs);
        for (int r = 1; r <= 3; ++r) {
            if (!runUsed(env, r) || results[r].firstFailed == 0) continue;
            RunStart& s = starts[r];
            s.start = results[r].firstFailed;
            s.reason = results[r].reason;
            if (results[r].needsBaseFirst) {
                s.needsBaseFirst = true;
                s.reason = std::string(s.start > n ? kRerunBasePart : kRerunBaseYear) + "\r\n" + s.reason;
            }
            moved = moved || s.start != seq[r].start;
        }
    }
    dialogs.waitEnd();

    std::string text =
        justSequence ? "Where to Start?. Just based on completion of jobs in sequence.\r\n"
                       "The report below does not take account of prerequisites being ok, so does not\r\n"
                       " indicate whether or not the results would be the same if you were to run again."
                     : "Where to Start?. Taking account of prerequisites.\r\n"
                       " That is, \"Would the Results be the Same if you Run the jobs Again?\"\r\n"
                       "The report below takes account of prerequisites (input files) and of\r\n"
                       " completion of the jobs in sequence.";
    text += "\r\n\r\n";
    std::string reasons;
    bool remaining = false;
    for (int r = 1; r <= 3; ++r) {
        if (!runUsed(env, r)) continue;
        const RunStart& s = starts[r];
        std::string line;
        if (s.start >= n + 2) {
            line =
                justSequence
                    ? "All completed in sequence."
                    : "Completed in sequence. Results would be the same if you were to run the jobs again.";
        } else if (s.start == n + 1) {
            line = "Start at Spreadsheet job";
        } else {
            line = "Start at " + simulationPhrase(env, r, s.start);
            if (s.needsBaseFirst) line += " but\r\n      only after this year of the Base has been run.";
        }
        if (s.start <= n + 1) remaining = true;
        text += runTitle(r) + ": " + line + "\r\n";
        if (s.start <= n + 1 && !s.reason.empty()) {
            if (!reasons.empty()) reasons += "\r\n";
            reasons += (justSequence ? std::string() : runTitle(r) + ":  ") + trimLineBreaks(s.reason);
        }
    }
    if (!reasons.empty()) text += "\r\nReasons:\r\n" + reasons;
    rep.done = true;
    rep.text = text;
    rep.sequence = seq;
    rep.starts = starts;
    dialogs.message(MsgKind::Information, text, BtnOk | BtnHelp);

    if (env.beLikeOld || hooks.jobRunning || !remaining) return rep;
    if (dialogs.message(MsgKind::Confirmation, "Do you want to start a job to carry out the parts not done?",
                        BtnYes | BtnNo | BtnHelp) != BtnYes)
        return rep;
    const RunStarts* chosen = &starts;
    if (!justSequence && moved) {
        Button b = dialogs.message(
            MsgKind::Confirmation,
            "Do you want the start of this job to take into account whether prerequisites are ok?",
            BtnYes | BtnNo | BtnCancel | BtnHelp);
        if (b == BtnCancel) return rep;
        if (b == BtnNo) chosen = &seq;
    }
    for (int r = 1; r <= 3; ++r) {
        if (!runUsed(env, r) || (*chosen)[r].start > n + 1) continue;
        rep.ranges[r] = {(*chosen)[r].start, n + 1};
    }
    rep.jobStarted = true;
    if (hooks.startJob) hooks.startJob(rep.ranges);
    return rep;
}

}  // namespace

bool BotNeeded(const RunRecordEnv& env, BotCache& cache, int year) {
    RunRecordStore store;
    return BotNeeded(env, cache, store, year);
}

bool BotNeeded(const RunRecordEnv& env, BotCache& cache, RunRecordStore& store, int year,
               FolderListings* listings) {
    if (cache.inUse()) {
        char c = cache.entry(year);
        if (c == 'y') return true;
        if (c == 'n') return false;
    }
    bool needed = true;
    try {
        if (year >= 1 && year <= std::min(env.sim.NumYears, kMaxYears)) {
            const int b = env.botRecordRun();
            RunRecords records;
            records.refer(1, store.view(RunRecordFileName(env.keep, 1)));
            records.refer(b, store.view(RunRecordFileName(env.keep, b)));
            StillOkChecker ck(env, records, listings);
            auto tBase = ck.completionTime(1, year, false);
            auto tBot = ck.completionTime(b, year, true);
            if (tBase && tBot && *tBot >= *tBase)
                needed = !ck.checkStep(b, year, true, true, CheckSelection{}).ok;
        }
    } catch (const std::exception&) {
        needed = true;  // whatever cannot be judged is made again
    }
    cache.set(year, needed ? 'y' : 'n');
    return needed;
}

}  // namespace vdln
