#include "jobs/tasks.h"

#include <algorithm>

namespace vdln {

YearsAnswer ScriptedYearsDialog::ask(const YearsDialogRequest& request) {
    m_requests.push_back(request);
    if (m_answers.empty()) return YearsAnswer::cancel();
    YearsAnswer a = m_answers.front();
    m_answers.pop_front();
    return a;
}

std::string taskName(TaskCommand command) {
    switch (command) {
        case TaskCommand::RunBaseToPolicy:
            return "Run Base to Policy";
        case TaskCommand::DoBaseAndRerun:
            return "Do Base and Base Rerun";
        case TaskCommand::RerunBaseAndRunPolicy:
            return "Rerun Base and Run Policy";
        case TaskCommand::PartBaseSamePartsOthers:
            return "Run Part Base, Same Parts Others";
        case TaskCommand::PartBaseSamePartRerun:
            return "Run Part Base, Same Part BaseRerun";
        case TaskCommand::PartRerunSamePartPolicy:
            return "Run Part BaseRerun, Same Part Policy";
        case TaskCommand::PartBaseAllPartsOthers:
            return "Run Part Base, All Parts Others";
        case TaskCommand::PartBaseAllPartsRerun:
            return "Run Part Base, All Parts BaseRerun";
        case TaskCommand::PartRerunAllPartsPolicy:
            return "Run Part BaseRerun, All Parts Policy";
        case TaskCommand::SimsForSelectedYears:
            return "Run Simulations for Selected Years";
        case TaskCommand::PartBase:
            return "Run part of Base Case";
        case TaskCommand::PartRerun:
            return "Do part of Re-run of base case with policy closures";
        case TaskCommand::PartPolicy:
            return "Do just part of the Policy Sims run";
    }
    return "";
}

std::string taskCaption(TaskCommand command, bool noRerun) {
    switch (command) {
        case TaskCommand::RunBaseToPolicy:
            return noRerun ? "Run Base and Policy" : "Run Base, Base Rerun and Policy";
        case TaskCommand::PartBaseSamePartsOthers:
            return noRerun ? "Run Part Base, Same Part Policy"
                           : "Run Part Base, Same Part BaseRerun and Policy";
        case TaskCommand::PartBaseAllPartsOthers:
            return noRerun ? "Complete Base, Do All Parts Policy"
                           : "Complete Base, Do All Parts BaseRerun and Policy";
        case TaskCommand::PartBaseAllPartsRerun:
            return noRerun ? taskName(command) : "Complete Base, Do All Parts BaseRerun";
        case TaskCommand::PartRerunAllPartsPolicy:
            return noRerun ? taskName(command) : "Complete BaseRerun, Do All Parts Policy";
        case TaskCommand::PartBase:
            return "Run part of &Base Case";
        case TaskCommand::PartRerun:
            return "Do part of R&e-run of base case with policy closures";
        case TaskCommand::PartPolicy:
            return "Do just part of the &Policy Sims run";
        default:
            return taskName(command);
    }
}

namespace {

// The runs a command works on, and how the years of its first run are chosen.
struct CommandShape {
    int firstRun = 1;
    int lastRun = 3;
    enum class Years { All, SameParts, FromYearThenAll } years = Years::All;
    bool deviations = true;
};

CommandShape shapeOf(TaskCommand command) {
    using Y = CommandShape::Years;
    switch (command) {
        case TaskCommand::RunBaseToPolicy:
            return {1, 3, Y::All, true};
        case TaskCommand::DoBaseAndRerun:
            return {1, 2, Y::All, true};
        case TaskCommand::RerunBaseAndRunPolicy:
            return {2, 3, Y::All, true};
        case TaskCommand::PartBaseSamePartsOthers:
            return {1, 3, Y::SameParts, true};
        case TaskCommand::PartBaseSamePartRerun:
            return {1, 2, Y::SameParts, true};
        case TaskCommand::PartRerunSamePartPolicy:
            return {2, 3, Y::SameParts, true};
        case TaskCommand::PartBaseAllPartsOthers:
            return {1, 3, Y::FromYearThenAll, true};
        case TaskCommand::PartBaseAllPartsRerun:
            return {1, 2, Y::FromYearThenAll, false};
        case TaskCommand::PartRerunAllPartsPolicy:
            return {2, 3, Y::FromYearThenAll, false};
        case TaskCommand::SimsForSelectedYears:
            return {1, 3, Y::All, true};
        case TaskCommand::PartBase:
            return {1, 1, Y::SameParts, false};
        case TaskCommand::PartRerun:
            return {2, 2, Y::SameParts, false};
        case TaskCommand::PartPolicy:
            return {3, 3, Y::SameParts, true};
    }
    return {};
}

int numYearsOf(const TSimRecord& rec) {
    return std::clamp(rec.NumYears, 0, kMaxYears);
}

int earliestYear(int run, const TaskEnv& env) {
    return run == kRunBase ? 1 : std::clamp(env.firstPolicyYear, 1, std::max(1, numYearsOf(env.rec)));
}

int calendarYear(const TSimRecord& rec, int i) {
    return (i >= -1 && i <= kMaxYears) ? rec.Years[i] : 0;
}

YearsDialogRequest yearsRequest(int run, bool askLast, bool offerNone, const TaskEnv& env) {
    YearsDialogRequest q;
    q.title = "Which of the " + runName(run) + " to do ?";
    q.earliest = earliestYear(run, env);
    q.latest = std::max(q.earliest, numYearsOf(env.rec));
    for (int i = q.earliest; i <= q.latest; ++i) q.calendarYears.push_back(calendarYear(env.rec, i));
    q.askLastYear = askLast;
    if (offerNone) q.noneText = "Do none of the " + runName(run);
    return q;
}

// The answer brought into the years the dialog offered; a dialog that lets
// a year outside them through cannot widen the job.
YearsAnswer keptInRange(YearsAnswer a, const YearsDialogRequest& q) {
    if (a.kind != YearsAnswer::Kind::Chosen) return a;
    a.first = std::clamp(a.first, q.earliest, q.latest);
    a.last = q.askLastYear ? std::min(a.last, q.latest) : q.latest;
    return a;
}

void setSims(JobRequest& r, int run, int first, int last) {
    r.FirstSimYear[run] = first;
    r.LastSimYear[run] = last;
}

void setSS(JobRequest& r, int run, int first, int last) {
    r.FirstSSYear[run] = first;
    r.LastSSYear[run] = last;
}

std::optional<JobRequest> selectedYearsRequest(const TaskEnv& env) {
    const bool noRerun = env.settings.NoRerun;
    const int n = numYearsOf(env.rec);
    if (!env.settings.FewerMessages)
        env.dialogs.info(std::string("You will be asked separately about which years (if any) of the Base") +
                         (noRerun ? " " : ", Base Rerun ") + "and Policy you wish to carry out.");
    JobRequest req = emptyRequest(n);
    req.DoDeviations = true;
    for (int run = 1; run <= 3; ++run) {
        if (run == kRunRerun && noRerun) continue;
        const YearsDialogRequest q = yearsRequest(run, true, true, env);
        const YearsAnswer a = keptInRange(env.years.ask(q), q);
        if (a.kind == YearsAnswer::Kind::Cancel) return std::nullopt;
        if (a.kind == YearsAnswer::Kind::None) continue;
        setSims(req, run, a.first, a.last);
        if (a.spreadsheets) setSS(req, run, a.first, a.last);
    }
    return req;
}

}  // namespace

std::optional<JobRequest> buildTaskRequest(TaskCommand command, const TaskEnv& env) {
    if (command == TaskCommand::SimsForSelectedYears) return selectedYearsRequest(env);
    const int n = numYearsOf(env.rec);
    const CommandShape shape = shapeOf(command);
    JobRequest req = emptyRequest(n);
    req.DoDeviations = shape.deviations;

    switch (shape.years) {
        case CommandShape::Years::All:
            for (int run = shape.firstRun; run <= shape.lastRun; ++run) {
                setSims(req, run, 1, n);
                setSS(req, run, 1, n);
            }
            return req;
        case CommandShape::Years::SameParts: {
            const YearsDialogRequest q = yearsRequest(shape.firstRun, true, false, env);
            const YearsAnswer a = keptInRange(env.years.ask(q), q);
            if (a.kind != YearsAnswer::Kind::Chosen) return std::nullopt;
            for (int run = shape.firstRun; run <= shape.lastRun; ++run) {
                setSims(req, run, a.first, a.last);
                if (a.spreadsheets) setSS(req, run, a.first, a.last);
            }
            return req;
        }
        case CommandShape::Years::FromYearThenAll: {
            const YearsDialogRequest q = yearsRequest(shape.firstRun, false, false, env);
            const YearsAnswer a = keptInRange(env.years.ask(q), q);
            if (a.kind != YearsAnswer::Kind::Chosen) return std::nullopt;
            std::string text = std::string("Will do ") +
                               (shape.firstRun == kRunBase ? "Base" : "Base Rerun") + " from year " +
                               std::to_string(calendarYear(env.rec, a.first)) + " to Spreadsheet job" +
                               "\r\n";
            if (command == TaskCommand::PartBaseAllPartsOthers)
                text += env.settings.NoRerun ? "and will do all parts of Policy."
                                             : "and will do all parts of Base Rerun and Policy.";
            else if (command == TaskCommand::PartBaseAllPartsRerun)
                text += "and will do all parts of Base Rerun.";
            else
                text += "and will do all parts of Policy.";
            if (env.dialogs.message(MsgKind::Confirmation, text, BtnOk | BtnCancel) != BtnOk)
                return std::nullopt;
            setSims(req, shape.firstRun, a.first, n);
            for (int run = shape.firstRun + 1; run <= shape.lastRun; ++run) setSims(req, run, 1, n);
            if (a.spreadsheets)
                for (int run = shape.firstRun; run <= shape.lastRun; ++run) setSS(req, run, 1, n);
            return req;
        }
    }
    return std::nullopt;
}

bool runTask(TaskCommand command, const TaskEnv& env, const StartBigJobFn& startBigJob) {
    const std::optional<JobRequest> req = buildTaskRequest(command, env);
    if (!req || !startBigJob) return false;
    return startBigJob(*req);
}

ReIterationCounts reIterationCounts(const ProgramSettings& settings) {
    ReIterationCounts c;
    c.maxIterations = {0, settings.re.BaseIterations, settings.NoRerun ? 0 : settings.re.RerunIterations,
                       settings.re.PolicyIterations};
    c.done = {0, 0, 0, 0};
    c.current = {0, 1, 1, 1};
    c.doingRE = settings.re.DoingRE;
    return c;
}

bool runReTask(TaskCommand command, const TaskEnv& env, const ReIterationHook& hook,
               const StartBigJobFn& startBigJob) {
    if (command != TaskCommand::RunBaseToPolicy && command != TaskCommand::DoBaseAndRerun &&
        command != TaskCommand::RerunBaseAndRunPolicy)
        return false;
    if (hook) hook(reIterationCounts(env.settings));
    return runTask(command, env, startBigJob);
}

RunSingleThenConcurrent::RunSingleThenConcurrent(Actions actions) : m_actions(std::move(actions)) {}

bool RunSingleThenConcurrent::runPass() {
    if (m_actions.runBaseToPolicy && m_actions.runBaseToPolicy()) return true;
    m_active = false;
    return false;
}

bool RunSingleThenConcurrent::start() {
    m_active = true;
    m_concurrent = false;
    m_pass = 0;
    if (m_actions.justOneSolve) m_actions.justOneSolve();
    return runPass();
}

bool RunSingleThenConcurrent::onJobFinished(bool success) {
    if (!m_active) return false;
    if (!success) {
        m_active = false;
        return false;
    }
    if (!m_concurrent) {
        m_concurrent = true;
        if (m_actions.allowTwoConcurrent) m_actions.allowTwoConcurrent();
        return runPass();
    }
    ++m_pass;
    if (m_pass >= kPassLimit) {
        m_active = false;
        return false;
    }
    m_concurrent = false;
    if (m_actions.justOneSolve) m_actions.justOneSolve();
    return runPass();
}

std::string RunSingleThenConcurrent::heading() const {
    return statusLines(TBigJobDetails{}, 1, DescribeContext{}, note(), false, PerRun<int>{}).heading;
}

}  // namespace vdln
