#include "app/progress.h"

#include <cstdio>
#include <set>

#include "runrecord/runrecord.h"

namespace vdln {

int estimateJobParts(const JobEngine& engine, const TSimRecord& rec, const ProgramSettings& settings) {
    TBigJobDetails job = engine.job();
    if (!job.Running) return engine.partsLaunched();
    std::set<int> botsDone;
    PlanContext ctx;
    ctx.numYears = rec.NumYears;
    ctx.year = [&rec](int i) { return (i >= -1 && i <= kMaxYears) ? rec.Years[i] : 0; };
    ctx.noRerun = settings.NoRerun;
    ctx.firstPolicyYear = engine.firstPolicyYear();
    ctx.botFinishedThisJob = [&botsDone](int i) { return botsDone.count(i) > 0; };
    ctx.botNeeded = [&botsDone](int i) { return botsDone.count(i) == 0; };
    PlanOptions opt;
    opt.abbreviatedSS = settings.AbbreviatedSsJobs;
    opt.yearOnYearDiffs = settings.YonYDifferencesSs;
    opt.useSOLFilesForShocks = settings.SolFileShocks;
    const JobOrder order = settings.CompleteBaseFirst ? JobOrder::BaseAsap : JobOrder::PolicyAsap;

    int count = engine.partsLaunched();
    // Finish the busy slot with the lowest number, then fill the free slots
    // as the engine does, until nothing runs.
    for (int guard = 0; guard < 200000; ++guard) {
        int slot = 0;
        for (int s = job.FirstSlot; s <= job.LastSlot && s <= 3; ++s)
            if (job.Jobs[s].InUse) {
                slot = s;
                break;
            }
        if (!slot) break;
        const TOneDosJob finished = job.Jobs[slot];
        if (finished.JobName == JobKind::Bot && finished.JobPart == lastBotPart(settings.SolFileShocks))
            botsDone.insert(finished.Year);
        CompleteStep(job, opt, slot);
        const FillPlan plan =
            fillFreeSlots(job, ctx, opt, order,
                          StepChoice{finished.JobName, finished.JobPart, finished.Run, finished.Year}, false);
        for (const SlotFill& fill : plan.fills) {
            occupySlot(job, fill.slot, fill.part);
            ++count;
        }
        if (!plan.ok) return count;
    }
    return count;
}

std::string progressLine(const PartDone& part, int aboutTotal, const TSimRecord& rec) {
    const std::string year = (part.year >= 1 && part.year <= rec.NumYears && part.year <= kMaxYears)
                                 ? std::to_string(rec.Years[part.year])
                                 : std::string("spreadsheets");
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.1f s", part.seconds);
    std::string of = aboutTotal >= part.partsDone ? " of about " + std::to_string(aboutTotal) : "";
    return "part " + std::to_string(part.partsDone) + of + ": " + runTitle(part.run) + " " + year + " " +
           stepText(part.jobName, part.jobPart) + " (" + seconds + ")";
}

}  // namespace vdln
