#include "runrecord/prereqcheck.h"

#include <exception>
#include <limits>
#include <optional>

#include "base/besteffort.h"
#include "base/paths.h"
#include "base/result.h"
#include "base/strutil.h"
#include "runrecord/prereqinputs.h"
#include "runrecord/prereqorder.h"
#include "runrecord/recordfiles.h"

namespace vdln {

const char* const kIgnoreMissingFilesQuestion =
    "Do you want to ignore these apparent problems with missing files\r\n"
    " and try running the simulation anyhow?\r\n"
    "[You should only say \"Yes\" if you think the software is incorrect in this case\r\n"
    "  when it says that the missing files are essential for this run.]";

const char* const kIgnorePrerequisiteProblemsQuestion =
    "Do you want to ignore these apparent problems with the prerequisites\r\n"
    " and try running the simulation anyhow?\r\n"
    "[You should only say \"Yes\" if you think the software is incorrect in this case\r\n"
    "  when it says that the prerequisite files are not ok.]";

const char* const kCheckPrerequisitesQuestion =
    "Do you want a check that all prerequisite files are still ok?";

namespace {

constexpr std::int64_t kNow = std::numeric_limits<std::int64_t>::max();

std::string joinLines(const std::vector<std::string>& parts) {
    std::string out;
    for (const std::string& p : parts) {
        if (!out.empty()) out += "\r\n";
        out += p;
    }
    return out;
}

bool isSim(const PrereqPlan& plan, WorkItem it) {
    return it.type != kItemBot && it.year <= plan.env().sim.NumYears;
}

// The problem when `dependent` was completed before `prerequisite`, which it
// builds on.
std::string orderProblem(const PrereqPlan& plan, WorkItem dependent, WorkItem prerequisite) {
    const RunRecordEnv& env = plan.env();
    auto year = [&](int i) { return std::to_string(env.sim.Years[i]); };
    const int rd = plan.runOf(dependent.type), rp = plan.runOf(prerequisite.type);
    if (dependent.year > env.sim.NumYears) {
        if (prerequisite.year > env.sim.NumYears)
            return "SS job for " + runTitle(rd) + " was completed before SS job for " + runTitle(rp) + ".";
        return "SS job for " + runTitle(rd) + " was completed before sim for year " +
               year(prerequisite.year) + ".";
    }
    if (dependent.type == kItemBot) {
        std::string text =
            "   The " + plan.describe(dependent) + " was completed before the " + plan.describe(prerequisite);
        if (prerequisite.year < dependent.year)
            text +=
                "\r\n      [The starting data for this BOT job includes updated data from that simulation.]";
        return text;
    }
    if (prerequisite.type == kItemBot)
        return simulationPhrase(env, rd, dependent.year, true) +
               " was completed before BOT job for the same year.";
    if (isSim(plan, prerequisite) && rd == rp)
        return "Sim for year " + year(dependent.year) + " of " + runTitle(rd) +
               " was completed before sim for year " + year(prerequisite.year) + ".";
    return "   The " + plan.describe(dependent) + " was completed before the " + plan.describe(prerequisite);
}

// The wait window, never shown in batch mode; message boxes close it first.
class WaitWindow {
public:
    WaitWindow(Dialogs& d, bool enabled, std::string title)
        : m_d(d), m_enabled(enabled), m_title(std::move(title)) {}
    ~WaitWindow() { hide(); }
    void stage(const std::string& text) {
        if (!m_enabled) return;
        if (!m_shown) m_d.waitBegin(m_title);
        m_shown = true;
        m_d.waitStage(text);
    }
    void hide() {
        if (m_shown) m_d.waitEnd();
        m_shown = false;
    }

private:
    Dialogs& m_d;
    bool m_enabled;
    std::string m_title;
    bool m_shown = false;
};

struct CacheInUse {
    explicit CacheInUse(BotCache& c) : cache(c) { cache.begin(); }
    ~CacheInUse() { cache.end(); }
    BotCache& cache;
};

}  // namespace

std::vector<std::string> previousResultProblems(const PrereqPlan& plan, const StillOkChecker& checker,
                                                const std::function<void(int)>& onYear) {
    std::vector<std::string> out;
    CheckSelection sel;
    sel.log = false;  // a log does not change what a later step reads
    auto completed = [&](WorkItem it) -> std::optional<std::int64_t> {
        if (plan.inJob(it)) return kNow;
        return checker.completionTime(plan.runOf(it.type), it.year, it.type == kItemBot);
    };
    int lastYear = 0;
    for (const WorkItem& p : plan.prerequisites()) {
        if (onYear && p.year != lastYear) onYear(p.year);
        lastYear = p.year;
        const int run = plan.runOf(p.type);
        const bool bot = p.type == kItemBot;
        const auto t = completed(p);
        if (!t) {
            out.push_back(checker.notCompletedReason(run, p.year, bot));
            continue;
        }
        for (const WorkItem& q : plan.dependsOn(p)) {
            const auto tq = completed(q);
            if (tq && *t < *tq) out.push_back(orderProblem(plan, p, q));
        }
        const CheckOutcome ok = checker.checkStep(run, p.year, bot, true, sel);
        if (!ok.ok)
            out.push_back("Results from the " + stepContext(plan.env(), run, p.year, bot) +
                          " are not ok.\r\n" + ok.reason);
    }
    return out;
}

namespace {

PrereqOutcome runCheck(const RunRecordEnv& env, const TBigJobDetails& job, const PrereqOptions& options,
                       BotCache& cache, Dialogs& dialogs) {
    WaitWindow wait(dialogs, !options.batchMode, "Please Wait - " + options.programName + " at work");
    auto stop = [&](const std::string& text) {
        wait.hide();
        dialogs.message(MsgKind::Error, text, BtnOk | BtnHelp);
        return PrereqOutcome{false, text};
    };
    auto year = [&](int i) { return env.sim.Years[i]; };
    const bool interpreter = !iendsWith(env.modelFile, ".exe");

    // The runs asked for keep each run in sequence with the Base.
    if (std::string seq =
            sequenceCheckMessage(job, env.firstPolicyYear, year, env.usesPeriods(), env.noRerun);
        !seq.empty())
        return stop(seq);

    // The model program is of a release the job can use.
    if (options.version) {
        const VersionVerdict verdict = versionVerdict(*options.version);
        if (!VersionAcceptable(*options.version, env.modelFile, interpreter, dialogs, options.clearModel))
            return {false, versionRefusalText(verdict, env.modelFile, interpreter)};
    }

    wait.stage("Checking if prerequisite files exist");

    // Essential user inputs.
    {
        const std::string stage = " Checking if essential user inputs all exist";
        wait.stage(stage);
        EssentialInputs in;
        in.modelProgram = env.modelFile;
        in.usesInterpreter = interpreter;
        in.modelInfoFile = env.modelInfoFile;
        in.resultsMapFile = env.resultsMapFile;
        in.noRerun = env.noRerun;
        in.firstPolicyYear = env.firstPolicyYear;
        const std::string missing = missingEssentialInput(
            env.sim, job, in, env.usesPeriods(), dialogs,
            [&](int i) { wait.stage(stage + ". [YearNo = " + std::to_string(i) + "]"); });
        if (!missing.empty()) return stop(missing);
    }

    // Pass 1: every file the job needs exists or is made by the job.
    wait.stage("Checking if essential files exist");
    const PrereqPlan plan(env, job, [&](int i) { return BotNeeded(env, cache, i); });
    if (auto missing = missingPrerequisiteFiles(plan); !missing.empty()) {
        const std::string text = joinLines(missing);
        wait.hide();
        dialogs.message(MsgKind::Error, text, BtnOk | BtnHelp);
        // Nobody can vouch for the files in batch mode: a job that lacks
        // inputs would only fail part-way, so it does not start.
        if (options.batchMode) return {false, text};
        if (dialogs.message(MsgKind::Confirmation, kIgnoreMissingFilesQuestion, BtnYes | BtnNo) == BtnYes)
            return {true, ""};
        return {false, text};
    }

    // Pass 2: the earlier results the job builds on are still valid.  A job
    // that builds on nothing earlier has nothing to ask about.
    if (options.checkPrerequisites && !plan.prerequisites().empty()) {
        wait.stage(" Checking if previous sims are still ok");
        if (!options.fewerMessages) {
            wait.hide();
            if (dialogs.message(MsgKind::Confirmation, kCheckPrerequisitesQuestion,
                                BtnYes | BtnNo | BtnHelp) == BtnNo)
                return {true, ""};
        }
        bestEffort(
            BackupRunRecords(env.keep),
            "the backups only tell invalidated runs apart; a missing one is refreshed at the next job start");
        const RunRecords records(env.keep);
        // The check reads many names in few folders and writes nothing.
        FolderListings listings;
        const StillOkChecker checker(env, records, &listings);
        const auto problems = previousResultProblems(plan, checker, [&](int i) {
            wait.stage("Checking if previous sims are still ok. [YearNo = " + std::to_string(i) + "]");
        });
        if (!problems.empty()) {
            const std::string text = joinLines(problems);
            wait.hide();
            dialogs.message(MsgKind::Error, text, BtnOk | BtnHelp);
            if (dialogs.message(MsgKind::Confirmation, kIgnorePrerequisiteProblemsQuestion, BtnYes | BtnNo) ==
                BtnYes)
                return {true, ""};
            return {false, text};
        }
    }
    return {true, ""};
}

}  // namespace

PrereqOutcome PreviousSimsEtcStillOk_Version2(const RunRecordEnv& env, const TBigJobDetails& job,
                                              const PrereqOptions& options, BotCache& cache,
                                              Dialogs& dialogs) {
    CacheInUse cacheInUse(cache);
    try {
        return runCheck(env, job, options, cache, dialogs);
    } catch (const std::exception& e) {
        // Whatever went wrong, the job must not start on an unfinished check.
        const std::string text =
            internalErrorText(std::string(e.what()) + " [PreviousSimsEtcStillOk_Version2]");
        dialogs.message(MsgKind::Error, text, BtnOk | BtnHelp);
        return {false, text};
    }
}

}  // namespace vdln
