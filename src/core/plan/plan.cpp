#include "plan/plan.h"

#include <algorithm>

namespace vdln {

JobRequest emptyRequest(int numYears) {
    JobRequest r;
    for (int run = 1; run <= 3; ++run) {
        r.FirstSimYear[run] = r.FirstSSYear[run] = numYears + 2;
        r.LastSimYear[run] = r.LastSSYear[run] = 0;
    }
    return r;
}

void normaliseRequest(JobRequest& req, PlanContext& ctx,
                      const std::function<void()>& recomputeFirstPolicyYear, TBigJobDetails& job) {
    const int n = ctx.numYears;
    if (ctx.noRerun) {
        req.FirstSimYear[2] = req.FirstSSYear[2] = n + 1;
        req.LastSimYear[2] = req.LastSSYear[2] = 0;
    }
    PerRun<bool> doSims{}, doSS{};
    auto flags = [&] {
        for (int r = 1; r <= 3; ++r) {
            doSims[r] = req.LastSimYear[r] >= req.FirstSimYear[r];
            doSS[r] = req.LastSSYear[r] >= req.FirstSSYear[r];
        }
    };
    flags();
    if ((doSims[2] || doSS[2] || doSims[3] || doSS[3]) && recomputeFirstPolicyYear)
        recomputeFirstPolicyYear();
    const int fpy = ctx.firstPolicyYear;
    for (int r = 2; r <= 3; ++r) {
        req.FirstSimYear[r] = std::max(req.FirstSimYear[r], fpy);
        req.FirstSSYear[r] = std::max(req.FirstSSYear[r], fpy);
    }
    flags();
    for (int r = 1; r <= 3; ++r) {
        int f = r == 1 ? 1 : fpy;
        if (doSims[r]) {
            req.FirstSimYear[r] = std::max(req.FirstSimYear[r], f);
            req.LastSimYear[r] = std::min(req.LastSimYear[r], n);
        }
        if (doSS[r]) {
            req.FirstSSYear[r] = std::max(req.FirstSSYear[r], f);
            req.LastSSYear[r] = std::min(req.LastSSYear[r], n);
        }
    }
    if (!doSS[3]) req.DoDeviations = false;

    PerRun<int> pyFirst{}, pyLast{};
    for (int r = 1; r <= 3; ++r) {
        pyFirst[r] = n + 1;
        pyLast[r] = 0;
    }
    if (req.DoDeviations && doSS[3]) {
        const int pFirst = req.FirstSSYear[3], pLast = req.LastSSYear[3];
        const bool policyWhole = pFirst == fpy && pLast == n;
        if (ctx.noRerun && fpy > 1 && policyWhole) {
            pyFirst[1] = pFirst;
            pyLast[1] = pLast;
        }
        if (!policyWhole) {
            int c = comparisonRun(ctx.noRerun);
            if (req.FirstSSYear[c] != pFirst || req.LastSSYear[c] != pLast) {
                pyFirst[c] = pFirst;
                pyLast[c] = pLast;
            }
        }
    }

    job.FirstSimYear = req.FirstSimYear;
    job.LastSimYear = req.LastSimYear;
    job.FirstSSYear = req.FirstSSYear;
    job.LastSSYear = req.LastSSYear;
    job.DoDeviations = req.DoDeviations;
    job.DoSims = doSims;
    job.DoSS = doSS;
    job.PYFirstYear = pyFirst;
    job.PYLastYear = pyLast;
    for (int r = 1; r <= 3; ++r) {
        job.DoPY[r] = pyLast[r] >= pyFirst[r];
        job.LastDoneYear[r] = doSims[r] ? req.FirstSimYear[r] - 1 : n;
        job.SSStageDone[r] = "";
        job.SSPartDone[r] = "csv";
        if (!doSS[r] && !job.DoPY[r]) {
            job.SSStageDone[r] = "cumsol";
            job.SSPartDone[r] = "cum";
        }
    }
}

bool anythingToDo(const TBigJobDetails& job) {
    for (int r = 1; r <= 3; ++r)
        if (job.DoSims[r] || job.DoSS[r] || job.DoPY[r]) return true;
    return false;
}

namespace {
template <class Pred>
bool anySlot(const TBigJobDetails& job, Pred pred) {
    for (int s = std::max(1, job.FirstSlot); s <= 3; ++s)
        if (job.Jobs[s].InUse && pred(job.Jobs[s])) return true;
    return false;
}
}  // namespace

bool IsSSJobRunning(const TBigJobDetails& job, int run, const std::string& name) {
    return anySlot(job, [&](const TOneDosJob& j) {
        if (j.Run != run) return false;
        if (name == "csv") return j.JobName == "csv";
        if (name == "sssol") return j.JobName == "sssol";
        if (name == "aggrex") return j.JobName == "aggrex" || j.JobName == "divero";
        if (name == "cumsol") return j.JobName == "cumsol" || j.JobName == "devsol";
        return false;
    });
}

bool IsBotRunning(const TBigJobDetails& job, int year) {
    return anySlot(job, [&](const TOneDosJob& j) { return j.JobName == "bot" && j.Year == year; });
}

bool IsSimRunning(const TBigJobDetails& job, int run, int year) {
    return anySlot(job,
                   [&](const TOneDosJob& j) { return j.JobName == "sim" && j.Run == run && j.Year == year; });
}

bool YearInSimRange(const TBigJobDetails& job, const PlanContext& ctx, int year, int run) {
    return run >= 1 && run <= 3 && year >= 1 && year <= ctx.numYears && year >= job.FirstSimYear[run] &&
           year <= job.LastSimYear[run];
}

namespace {

std::optional<StepChoice> spreadsheetStep(const TBigJobDetails& job, const PlanContext& ctx, int r) {
    const int ssYear = ctx.numYears + 1;
    const std::string& stage = job.SSStageDone[r];
    const int cmp = comparisonRun(ctx.noRerun);
    if (stage.empty()) {
        if (!IsSSJobRunning(job, r, "csv")) return StepChoice{"csv", "csv", r, ssYear};
    } else if (stage == "csv") {
        if (!IsSSJobRunning(job, r, "sssol")) return StepChoice{"sssol", "sssol", r, ssYear};
    } else if (stage == "sssol") {
        if (IsSSJobRunning(job, r, "aggrex")) return std::nullopt;
        if (r == 3 && job.SSStageDone[cmp] != "cumsol") return std::nullopt;
        std::string part = (r == 3 || job.DoSS[r]) ? "yony" : "py";
        return StepChoice{"aggrex", part, r, ssYear};
    } else if (stage == "aggrex") {
        if (IsSSJobRunning(job, r, "cumsol")) return std::nullopt;
        if (r == 3 && job.SSStageDone[cmp] != "cumsol") return std::nullopt;
        // A comparison run that only has a "py" range accumulates just that
        // range, as its "aggrex" step did.
        std::string part = (r == 3 || job.DoSS[r]) ? "cum" : "py";
        return StepChoice{"cumsol", part, r, ssYear};
    }
    return std::nullopt;
}

}  // namespace

SelectResult SelectNextStep(const TBigJobDetails& job, const PlanContext& ctx, const PlanOptions& /*opt*/,
                            const std::string& order, bool atStart) {
    SelectResult res;
    const int runs[3] = {order == "base-ASAP" ? 1 : 3, 2, order == "base-ASAP" ? 3 : 1};
    for (int r : runs) {
        if (r == 2 && ctx.noRerun) continue;
        const int i = job.LastDoneYear[r] + 1;
        std::optional<StepChoice> found;

        if ((job.DoSS[r] || job.DoPY[r]) && job.LastSimYear[r] < i) {
            found = spreadsheetStep(job, ctx, r);
        } else if (job.DoSims[r] && job.FirstSimYear[r] <= i && i <= job.LastSimYear[r] &&
                   (r == 1 || i >= ctx.firstPolicyYear)) {
            if (r == 1) {
                if (!IsSimRunning(job, 1, i)) found = StepChoice{"sim", "sim", 1, i};
            } else {
                const bool baseDone = job.LastDoneYear[1] >= i;
                const bool rerunReady = r == 2 || ctx.noRerun || job.LastDoneYear[2] >= i - 1;
                if (!IsBotRunning(job, i) && baseDone && rerunReady) {
                    const bool finished = ctx.botFinishedThisJob ? ctx.botFinishedThisJob(i) : false;
                    const bool inBoth =
                        ctx.noRerun || (YearInSimRange(job, ctx, i, 2) && YearInSimRange(job, ctx, i, 3));
                    bool needed;
                    if (inBoth && (atStart || !finished))
                        needed = true;
                    else
                        needed = ctx.botNeeded ? ctx.botNeeded(i) : false;
                    if (needed) {
                        if (!atStart && finished) {
                            res.ok = false;
                            res.error = "Have got into infinite loop running BOT job for year " +
                                        std::to_string(ctx.year(i)) + " [TrySimType=" + std::to_string(r) +
                                        "]";
                            return res;
                        }
                        if (r == 2 && !YearInSimRange(job, ctx, i, 2)) {
                            res.ok = false;
                            res.error = "Expect to be doing TryYearNo of the Rerun here";
                            return res;
                        }
                        found = StepChoice{"bot", "env", ctx.noRerun ? 3 : 2, i};
                    }
                }
                if (!found && !IsSimRunning(job, r, i) && !IsBotRunning(job, i) && baseDone) {
                    if (r == 2 || ctx.noRerun || job.LastDoneYear[2] >= i - 1)
                        found = StepChoice{"sim", "sim", r, i};
                }
            }
        }
        // Another iteration of the run when doing rational expectations, once
        // the iteration's last spreadsheet step (where iterations are
        // counted) has completed and nothing of the run is still running.
        if (!found && ctx.doingRE && job.DoSims[r] && ctx.reIterationsDone && ctx.reMaxIterations &&
            ctx.reIterationsDone(r) < ctx.reMaxIterations(r) && !IsSimRunning(job, r, i) &&
            i > job.LastSimYear[r] &&
            job.SSStageDone[r] == ((r == 3 && job.DoDeviations) ? "devsol" : "cumsol") &&
            !IsSSJobRunning(job, r, "aggrex") && !IsSSJobRunning(job, r, "cumsol")) {
            found = StepChoice{"sim", "sim", r, job.FirstSimYear[r]};
            res.reRestart = true;
        }
        if (found) {
            if (found->JobName.empty() || found->JobPart.empty()) {
                res.ok = false;
                res.errorIsInfo = true;
                res.error = "Found one to run, namely SimType " + std::to_string(found->Run) + " Yearno " +
                            std::to_string(found->Year) + " but JobName or JobPart is nul";
                return res;
            }
            res.step = found;
            return res;
        }
    }
    return res;
}

std::optional<StepChoice> followOnPart(const TBigJobDetails& job, const PlanOptions& opt,
                                       const StepChoice& f) {
    auto next = [&](const char* name, const char* part) {
        return std::optional<StepChoice>(StepChoice{name, part, f.Run, f.Year});
    };
    if (f.JobName == "bot") {
        if (!opt.useSOLFilesForShocks) {
            if (f.JobPart == "env") return next("bot", "tellur1");
            if (f.JobPart == "tellur1") return next("bot", "sectra1");
        } else {
            if (f.JobPart == "env") return next("bot", "solpol");
            if (f.JobPart == "solpol") return next("bot", "tellur2");
        }
        return std::nullopt;
    }
    if (f.JobName == "sim") {
        if (f.JobPart == "sim") return next("sim", "sol");
        return std::nullopt;
    }
    if (f.JobName == "aggrex" && f.JobPart == "yony" && !opt.abbreviatedSS) return next("aggrex", "cum");
    if ((f.JobName == "aggrex" || f.JobName == "cumsol") && f.Run >= 1 && f.Run <= 3 && job.DoPY[f.Run] &&
        job.SSPartDone[f.Run] != "py")
        return next(f.JobName.c_str(), "py");
    if (f.JobName == "cumsol" && f.Run == 3 && job.DoDeviations &&
        (f.JobPart == "yony" || f.JobPart == "cum" || f.JobPart == "py"))
        return next("divero", opt.yearOnYearDiffs ? "yony" : "cum");
    if (f.JobName == "divero") {
        if (f.JobPart == "yony") return next("divero", "cum");
        if (f.JobPart == "cum") return next("devsol", "cum");
    }
    return std::nullopt;
}

void CompleteStep(TBigJobDetails& job, const PlanOptions& opt, int slot) {
    if (slot < 1 || slot > 3) return;
    TOneDosJob& s = job.Jobs[slot];
    s.InUse = false;
    const int run = s.Run;
    if (run < 1 || run > 3) return;
    const std::string& name = s.JobName;
    const std::string& part = s.JobPart;
    if (name == "sim") {
        if (part == "sol") job.LastDoneYear[run] = s.Year;
        return;
    }
    if (name == "csv" || name == "sssol") {
        job.SSPartDone[run] = part;
        job.SSStageDone[run] = name;
    } else if (name == "aggrex" || name == "cumsol") {
        job.SSPartDone[run] = part;
        bool complete = (name == "aggrex" && part == "yony" && opt.abbreviatedSS && !job.DoPY[run]) ||
                        (part == "cum" && !job.DoPY[run]) || part == "py";
        if (complete) job.SSStageDone[run] = name;
    } else if (name == "divero" || name == "devsol") {
        job.SSPartDone[run] = part;
        if (part == "cum") job.SSStageDone[run] = name;
    }
}

bool recordsCompletion(const TBigJobDetails& job, const PlanContext& ctx, const PlanOptions& opt,
                       const StepChoice& p) {
    if (p.JobName == "sim") return p.JobPart == "sol";
    if (p.JobName == "bot") return p.JobPart == (opt.useSOLFilesForShocks ? "tellur2" : "sectra1");
    auto wholeRange = [&](int run) {
        int first = run == 1 ? 1 : ctx.firstPolicyYear;
        return job.FirstSSYear[run] == first && job.LastSSYear[run] == ctx.numYears;
    };
    const bool lastPart = p.JobPart == "cum" || (p.JobPart == "yony" && opt.abbreviatedSS);
    if (p.JobName == "cumsol" && (p.Run == 1 || p.Run == 2)) return wholeRange(p.Run) && lastPart;
    if (p.JobName == "devsol" && p.Run == 3) return wholeRange(3) && p.JobPart == "cum";
    return false;
}

}  // namespace vdln
