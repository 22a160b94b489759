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
        job.SSStageDone[r] = JobKind::None;
        job.SSPartDone[r] = PartKind::Csv;
        if (!doSS[r] && !job.DoPY[r]) {
            job.SSStageDone[r] = JobKind::Cumsol;
            job.SSPartDone[r] = PartKind::Cum;
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

bool IsSSJobRunning(const TBigJobDetails& job, int run, JobKind name) {
    return anySlot(job, [&](const TOneDosJob& j) {
        if (j.Run != run) return false;
        switch (name) {
            case JobKind::Csv:
            case JobKind::SsSol:
                return j.JobName == name;
            case JobKind::Aggrex:
                return j.JobName == JobKind::Aggrex || j.JobName == JobKind::Divero;
            case JobKind::Cumsol:
                return j.JobName == JobKind::Cumsol || j.JobName == JobKind::Devsol;
            default:
                return false;
        }
    });
}

bool IsBotRunning(const TBigJobDetails& job, int year) {
    return anySlot(job, [&](const TOneDosJob& j) { return j.JobName == JobKind::Bot && j.Year == year; });
}

bool IsSimRunning(const TBigJobDetails& job, int run, int year) {
    return anySlot(job, [&](const TOneDosJob& j) {
        return j.JobName == JobKind::Sim && j.Run == run && j.Year == year;
    });
}

bool YearInSimRange(const TBigJobDetails& job, const PlanContext& ctx, int year, int run) {
    return run >= 1 && run <= 3 && year >= 1 && year <= ctx.numYears && year >= job.FirstSimYear[run] &&
           year <= job.LastSimYear[run];
}

namespace {

std::optional<StepChoice> spreadsheetStep(const TBigJobDetails& job, const PlanContext& ctx, int r) {
    const int ssYear = ctx.numYears + 1;
    const JobKind stage = job.SSStageDone[r];
    const int cmp = comparisonRun(ctx.noRerun);
    if (stage == JobKind::None) {
        if (!IsSSJobRunning(job, r, JobKind::Csv)) return StepChoice{JobKind::Csv, PartKind::Csv, r, ssYear};
    } else if (stage == JobKind::Csv) {
        if (!IsSSJobRunning(job, r, JobKind::SsSol))
            return StepChoice{JobKind::SsSol, PartKind::SsSol, r, ssYear};
    } else if (stage == JobKind::SsSol) {
        if (IsSSJobRunning(job, r, JobKind::Aggrex)) return std::nullopt;
        if (r == 3 && job.SSStageDone[cmp] != JobKind::Cumsol) return std::nullopt;
        const PartKind part = (r == 3 || job.DoSS[r]) ? PartKind::Yony : PartKind::Py;
        return StepChoice{JobKind::Aggrex, part, r, ssYear};
    } else if (stage == JobKind::Aggrex) {
        if (IsSSJobRunning(job, r, JobKind::Cumsol)) return std::nullopt;
        if (r == 3 && job.SSStageDone[cmp] != JobKind::Cumsol) return std::nullopt;
        // A comparison run that only has a "py" range accumulates just that
        // range, as its "aggrex" step did.
        const PartKind part = (r == 3 || job.DoSS[r]) ? PartKind::Cum : PartKind::Py;
        return StepChoice{JobKind::Cumsol, part, r, ssYear};
    }
    return std::nullopt;
}

}  // namespace

SelectResult SelectNextStep(const TBigJobDetails& job, const PlanContext& ctx, const PlanOptions& /*opt*/,
                            JobOrder order, bool atStart) {
    SelectResult res;
    const bool baseFirst = order == JobOrder::BaseAsap;
    const int runs[3] = {baseFirst ? 1 : 3, 2, baseFirst ? 3 : 1};
    for (int r : runs) {
        if (r == 2 && ctx.noRerun) continue;
        const int i = job.LastDoneYear[r] + 1;
        std::optional<StepChoice> found;

        if ((job.DoSS[r] || job.DoPY[r]) && job.LastSimYear[r] < i) {
            found = spreadsheetStep(job, ctx, r);
        } else if (job.DoSims[r] && job.FirstSimYear[r] <= i && i <= job.LastSimYear[r] &&
                   (r == 1 || i >= ctx.firstPolicyYear)) {
            if (r == 1) {
                if (!IsSimRunning(job, 1, i)) found = StepChoice{JobKind::Sim, PartKind::Sim, 1, i};
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
                        found = StepChoice{JobKind::Bot, PartKind::Env, ctx.noRerun ? 3 : 2, i};
                    }
                }
                if (!found && !IsSimRunning(job, r, i) && !IsBotRunning(job, i) && baseDone) {
                    if (r == 2 || ctx.noRerun || job.LastDoneYear[2] >= i - 1)
                        found = StepChoice{JobKind::Sim, PartKind::Sim, r, i};
                }
            }
        }
        // Another iteration of the run when doing rational expectations, once
        // the iteration's last spreadsheet step (where iterations are
        // counted) has completed and nothing of the run is still running.
        if (!found && ctx.doingRE && job.DoSims[r] && ctx.reIterationsDone && ctx.reMaxIterations &&
            ctx.reIterationsDone(r) < ctx.reMaxIterations(r) && !IsSimRunning(job, r, i) &&
            i > job.LastSimYear[r] &&
            job.SSStageDone[r] == ((r == 3 && job.DoDeviations) ? JobKind::Devsol : JobKind::Cumsol) &&
            !IsSSJobRunning(job, r, JobKind::Aggrex) && !IsSSJobRunning(job, r, JobKind::Cumsol)) {
            found = StepChoice{JobKind::Sim, PartKind::Sim, r, job.FirstSimYear[r]};
            res.reRestart = true;
        }
        if (found) {
            if (found->JobName == JobKind::None || found->JobPart == PartKind::None) {
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
    auto next = [&](JobKind name, PartKind part) {
        return std::optional<StepChoice>(StepChoice{name, part, f.Run, f.Year});
    };
    const JobKind n = f.JobName;
    const PartKind p = f.JobPart;
    if (n == JobKind::Bot) {
        if (!opt.useSOLFilesForShocks) {
            if (p == PartKind::Env) return next(JobKind::Bot, PartKind::Tellur1);
            if (p == PartKind::Tellur1) return next(JobKind::Bot, PartKind::Sectra1);
        } else {
            if (p == PartKind::Env) return next(JobKind::Bot, PartKind::Solpol);
            if (p == PartKind::Solpol) return next(JobKind::Bot, PartKind::Tellur2);
        }
        return std::nullopt;
    }
    if (n == JobKind::Sim) {
        if (p == PartKind::Sim) return next(JobKind::Sim, PartKind::Sol);
        return std::nullopt;
    }
    if (n == JobKind::Aggrex && p == PartKind::Yony && !opt.abbreviatedSS)
        return next(JobKind::Aggrex, PartKind::Cum);
    if ((n == JobKind::Aggrex || n == JobKind::Cumsol) && f.Run >= 1 && f.Run <= 3 && job.DoPY[f.Run] &&
        job.SSPartDone[f.Run] != PartKind::Py)
        return next(n, PartKind::Py);
    if (n == JobKind::Cumsol && f.Run == 3 && job.DoDeviations &&
        (p == PartKind::Yony || p == PartKind::Cum || p == PartKind::Py))
        return next(JobKind::Divero, opt.yearOnYearDiffs ? PartKind::Yony : PartKind::Cum);
    if (n == JobKind::Divero) {
        if (p == PartKind::Yony) return next(JobKind::Divero, PartKind::Cum);
        if (p == PartKind::Cum) return next(JobKind::Devsol, PartKind::Cum);
    }
    return std::nullopt;
}

void restartRun(TBigJobDetails& job, int run) {
    if (run < 1 || run > 3) return;
    job.LastDoneYear[run] = job.FirstSimYear[run] - 1;
    job.SSStageDone[run] = JobKind::None;
    job.SSPartDone[run] = PartKind::Csv;
}

void occupySlot(TBigJobDetails& job, int slot, const StepChoice& part) {
    if (slot < 1 || slot > 3) return;
    TOneDosJob& s = job.Jobs[slot];
    s.InUse = true;
    s.JobName = part.JobName;
    s.JobPart = part.JobPart;
    s.Run = part.Run;
    s.Year = part.Year;
}

FillPlan fillFreeSlots(const TBigJobDetails& job, const PlanContext& ctx, const PlanOptions& opt,
                       JobOrder order, const std::optional<StepChoice>& finished, bool atStart) {
    FillPlan plan;
    TBigJobDetails work = job;
    for (;;) {
        int free = 0;
        for (int s = std::max(1, work.FirstSlot); s <= std::min(3, work.LastSlot); ++s)
            if (!work.Jobs[s].InUse) {
                free = s;
                break;
            }
        if (!free) break;
        SlotFill fill;
        fill.slot = free;
        std::optional<StepChoice> next;
        if (plan.fills.empty() && finished) next = followOnPart(work, opt, *finished);
        if (!next) {
            SelectResult sel = SelectNextStep(work, ctx, opt, order, atStart);
            if (!sel.ok) {
                plan.ok = false;
                plan.error = sel.error;
                plan.errorIsInfo = sel.errorIsInfo;
                return plan;
            }
            next = sel.step;
            fill.reRestart = next && sel.reRestart;
        }
        if (!next) break;
        fill.part = *next;
        occupySlot(work, free, *next);
        plan.fills.push_back(fill);
        if (fill.reRestart) {
            plan.restarted = true;
            break;
        }
    }
    return plan;
}

void CompleteStep(TBigJobDetails& job, const PlanOptions& opt, int slot) {
    if (slot < 1 || slot > 3) return;
    TOneDosJob& s = job.Jobs[slot];
    s.InUse = false;
    const int run = s.Run;
    if (run < 1 || run > 3) return;
    const JobKind name = s.JobName;
    const PartKind part = s.JobPart;
    if (name == JobKind::Sim) {
        if (part == PartKind::Sol) job.LastDoneYear[run] = s.Year;
        return;
    }
    if (name == JobKind::Csv || name == JobKind::SsSol) {
        job.SSPartDone[run] = part;
        job.SSStageDone[run] = name;
    } else if (name == JobKind::Aggrex || name == JobKind::Cumsol) {
        job.SSPartDone[run] = part;
        const bool complete =
            (name == JobKind::Aggrex && part == PartKind::Yony && opt.abbreviatedSS && !job.DoPY[run]) ||
            (part == PartKind::Cum && !job.DoPY[run]) || part == PartKind::Py;
        if (complete) job.SSStageDone[run] = name;
    } else if (isDeviationStep(name)) {
        job.SSPartDone[run] = part;
        if (part == PartKind::Cum) job.SSStageDone[run] = name;
    }
}

bool recordsCompletion(const TBigJobDetails& job, const PlanContext& ctx, const PlanOptions& opt,
                       const StepChoice& p) {
    if (p.JobName == JobKind::Sim) return p.JobPart == PartKind::Sol;
    if (p.JobName == JobKind::Bot) return p.JobPart == lastBotPart(opt.useSOLFilesForShocks);
    auto wholeRange = [&](int run) {
        int first = run == 1 ? 1 : ctx.firstPolicyYear;
        return job.FirstSSYear[run] == first && job.LastSSYear[run] == ctx.numYears;
    };
    const bool lastPart = p.JobPart == PartKind::Cum || (p.JobPart == PartKind::Yony && opt.abbreviatedSS);
    if (p.JobName == JobKind::Cumsol && (p.Run == 1 || p.Run == 2)) return wholeRange(p.Run) && lastPart;
    if (p.JobName == JobKind::Devsol && p.Run == 3) return wholeRange(3) && p.JobPart == PartKind::Cum;
    return false;
}

}  // namespace vdln
