#include "runrecord/prereqfiles.h"

#include <algorithm>

#include "base/fileutil.h"
#include "base/paths.h"
#include "model/filenames.h"
#include "model/simgrid.h"

namespace vdln {

namespace {

bool inSimRange(const TBigJobDetails& job, int run, int i) {
    return job.DoSims[run] && job.FirstSimYear[run] <= i && i <= job.LastSimYear[run];
}

// A file counts as present when it exists as named or, as user-supplied
// names do, with a different letter case in its folder.
bool present(const std::string& file) {
    if (file.empty()) return false;
    return fileExists(file) || userFileExists(dirOf(file), nameOf(file));
}

}  // namespace

PrereqPlan::PrereqPlan(const RunRecordEnv& env, const TBigJobDetails& job,
                       const std::function<bool(int)>& botNeeded)
    : m_env(env), m_job(job), m_n(std::clamp(env.sim.NumYears, 0, kMaxYears)) {
    // A BOT job runs in the job when a Rerun or Policy simulation of its year
    // does and either both runs do that year (the engine then always makes it
    // afresh), or a step of the job remakes something it reads (the engine
    // judges the stored BOT files again when it comes to that year, and they
    // will then be out of date), or the stored BOT files are no longer valid.
    m_botInJob.assign(m_n + 3, false);
    for (int i = std::max(1, env.firstPolicyYear); i <= m_n; ++i) {
        const bool rerun = !env.noRerun && inSimRange(job, 2, i);
        const bool policy = inSimRange(job, 3, i);
        if (!rerun && !policy) continue;
        bool in = env.noRerun || (rerun && policy);
        for (const WorkItem& d : dependsOn({kItemBot, i})) in = in || inJob(d);  // simulations only
        m_botInJob[i] = in || (botNeeded ? botNeeded(i) : true);
    }
}

int PrereqPlan::runOf(int type) const {
    switch (type) {
        case kItemBase:
            return 1;
        case kItemBot:
            return m_env.botRecordRun();
        case kItemRerun:
            return 2;
        default:
            return 3;
    }
}

bool PrereqPlan::exists(WorkItem it) const {
    if (it.type < kItemBase || it.type > kItemPolicy || it.year < 1 || it.year > m_n + 2) return false;
    if (it.type == kItemRerun && m_env.noRerun) return false;
    if (it.type == kItemBot && it.year > m_n) return false;
    if (it.year == m_n + 2 && it.type != kItemPolicy) return false;
    if (it.type != kItemBase && it.year <= m_n && it.year < m_env.firstPolicyYear) return false;
    return true;
}

bool PrereqPlan::inJob(WorkItem it) const {
    if (!exists(it)) return false;
    if (it.type == kItemBot) return m_botInJob[it.year];
    const int run = runOf(it.type);
    if (it.year <= m_n) return inSimRange(m_job, run, it.year);
    if (it.year == m_n + 1) return m_job.DoSS[run] || m_job.DoPY[run];
    return m_job.DoDeviations;
}

std::vector<WorkItem> PrereqPlan::jobItems() const {
    std::vector<WorkItem> out;
    for (int i = 1; i <= m_n + 2; ++i)
        for (int t = kItemBase; t <= kItemPolicy; ++t)
            if (inJob({t, i})) out.push_back({t, i});
    return out;
}

std::string PrereqPlan::describe(WorkItem it) const {
    const int run = runOf(it.type);
    if (it.year == m_n + 2) return "differences ss job for the " + runTitle(3);
    if (it.year > m_n) return "ss job for the " + runTitle(run);
    if (it.type == kItemBot) return "BOT job for year " + std::to_string(m_env.sim.Years[it.year]);
    return simulationPhrase(m_env, run, it.year);
}

void PrereqPlan::dataInputs(int run, int i, std::vector<ItemInput>& out) const {
    const TSimRecord& sim = m_env.sim;
    const int n = std::min(sim.NumFiles, kMaxUserFiles);
    for (int k = 1; k <= n; ++k) {
        const TSimFileEntry& f = sim.Files[k];
        if (f.Usage != kUsageUpdatedInput && f.Usage != kUsageLaggedInput && f.Usage != kUsageConstantInput)
            continue;
        auto r =
            ResolveLogicalFile(sim, i, run, m_env.firstYearOf(run), m_env.noRerun, k, m_env.firstYearList);
        ItemInput in;
        if (!r || r->name.empty()) {
            in.role = "    The starting data file for logical name " + f.Name.str() +
                      " (no file is named for it on the Model/Data page)";
            out.push_back(std::move(in));
            continue;
        }
        in.file = m_env.inWorkDir(r->name);
        if (r->sourceIndex < 1) {
            in.role = "    The starting data file";
        } else {
            in.role = "    The data file";
            in.producer = WorkItem{typeOfRun(r->sourceRun), r->sourceIndex};
        }
        out.push_back(std::move(in));
    }
}

ItemInput PrereqPlan::solutionInput(int run, int i) const {
    const WorkItem producer{typeOfRun(run), i};
    return {"    The Solution file from the " + describe(producer),
            SolutionFile(m_env.sim, i, run, m_env.noRerun), producer};
}

std::vector<int> PrereqPlan::spreadsheetYears(int run) const {
    std::vector<int> years;
    auto add = [&](int from, int to) {
        for (int i = std::max(from, m_env.firstYearOf(run)); i <= std::min(to, m_n); ++i)
            if (std::find(years.begin(), years.end(), i) == years.end()) years.push_back(i);
    };
    if (!inJob({typeOfRun(run), m_n + 1})) {
        // An earlier spreadsheet job: the run's whole range.
        add(1, m_n);
    } else {
        if (m_job.DoSS[run]) add(m_job.FirstSSYear[run], m_job.LastSSYear[run]);
        if (m_job.DoPY[run]) add(m_job.PYFirstYear[run], m_job.PYLastYear[run]);
    }
    std::sort(years.begin(), years.end());
    return years;
}

std::vector<ItemInput> PrereqPlan::inputs(WorkItem it) const {
    std::vector<ItemInput> out;
    if (!exists(it)) return out;
    const int i = it.year;
    const TSimRecord& sim = m_env.sim;
    if (i <= m_n && it.type == kItemBot) {
        out.push_back(solutionInput(1, i));
        dataInputs(m_env.botRecordRun(), i, out);
    } else if (i <= m_n) {
        const int run = runOf(it.type);
        dataInputs(run, i, out);
        if (run >= 2) {
            const WorkItem bot{kItemBot, i};
            out.push_back({"    The BOT file", BotFile(sim, i, m_env.noRerun), bot});
            if (m_env.solFileShocks)
                out.push_back({"    The SOL file for Shocks", BotResultsFile(sim, i, m_env.noRerun), bot});
        }
    } else if (i == m_n + 1) {
        const int run = runOf(it.type);
        for (int y : spreadsheetYears(run)) out.push_back(solutionInput(run, y));
    } else {
        // The deviations compare the Policy with the comparison run over the
        // Policy's spreadsheet range.
        const int cmp = comparisonRun(m_env.noRerun);
        const int from = std::max({m_job.FirstSSYear[3], m_env.firstPolicyYear, 1});
        const int to = std::min(m_job.LastSSYear[3], m_n);
        for (int y = from; y <= to; ++y) {
            out.push_back(solutionInput(cmp, y));
            out.push_back(solutionInput(3, y));
        }
        // And the comparison run's cumulative results over that range, made
        // by its spreadsheet job (in this job, or an earlier one).
        if (from <= to) {
            const std::string name = SpreadsheetCsvName(sim, cmp, from, to, m_env.firstYearOf(cmp),
                                                        m_env.noRerun, ResultsKind::Spreadsheet, "cum");
            const WorkItem producer{typeOfRun(cmp), m_n + 1};
            out.push_back({"    The cumulative results file from the " + describe(producer),
                           JoinPath(sim.WorkDir, changeExt(name, ".rsl")), producer});
        }
    }
    return out;
}

std::vector<WorkItem> PrereqPlan::dependsOn(WorkItem it) const {
    std::vector<WorkItem> out;
    auto add = [&](WorkItem w) {
        if (exists(w) && std::find(out.begin(), out.end(), w) == out.end()) out.push_back(w);
    };
    for (const ItemInput& in : inputs(it))
        if (in.producer) add(*in.producer);
    // The deviations also read the Policy's own accumulated results.
    if (it.year == m_n + 2 && exists(it)) add({kItemPolicy, m_n + 1});
    return out;
}

std::vector<WorkItem> PrereqPlan::prerequisites() const {
    std::vector<WorkItem> found;
    std::vector<WorkItem> todo = jobItems();
    std::vector<bool> seen(static_cast<size_t>(order({kItemPolicy, m_n + 2})) + 1, false);
    while (!todo.empty()) {
        const WorkItem it = todo.back();
        todo.pop_back();
        for (const WorkItem& d : dependsOn(it)) {
            if (inJob(d) || seen[order(d)]) continue;
            seen[order(d)] = true;
            found.push_back(d);
            todo.push_back(d);
        }
    }
    std::sort(found.begin(), found.end(), [&](WorkItem a, WorkItem b) { return order(a) < order(b); });
    return found;
}

std::vector<std::string> missingPrerequisiteFiles(const PrereqPlan& plan,
                                                  const std::function<void(int)>& onYear) {
    std::vector<std::string> out;
    const int n = std::clamp(plan.env().sim.NumYears, 0, kMaxYears);
    for (int i = 1; i <= n + 2; ++i) {
        if (onYear) onYear(i);
        for (int t = kItemBase; t <= kItemPolicy; ++t) {
            const WorkItem it{t, i};
            if (!plan.inJob(it)) continue;
            for (const ItemInput& in : plan.inputs(it)) {
                if (present(in.file)) continue;
                if (in.producer && plan.inJob(*in.producer) && plan.order(*in.producer) < plan.order(it))
                    continue;
                std::string text = in.file.empty() ? in.role : in.role + " " + in.file;
                text += in.producer ? "\r\n     created by the " + plan.describe(*in.producer)
                                    : std::string("\r\n     (see the Data part of the Model/Data page)");
                text += "\r\n     does not exist.";
                text +=
                    "\r\n    This file will not be created by any of the other jobs you are about to run.";
                text += "\r\n    This makes it IMPOSSIBLE to run the " + plan.describe(it) + ".";
                out.push_back(std::move(text));
            }
        }
    }
    return out;
}

}  // namespace vdln
