#include "results/remenu.h"

#include <fnmatch.h>

#include <filesystem>
#include <functional>

#include "base/fileutil.h"
#include "base/paths.h"
#include "base/strutil.h"

namespace vdln {

namespace {

constexpr int kHelp = 1;

std::string str(long long v) {
    return std::to_string(v);
}

// A running job keeps its iteration counts: the request is refused first.
bool refusedWhileRunning(REMenuContext& c) {
    if (!c.jobRunning || !c.jobRunning()) return false;
    c.dialogs.message(MsgKind::Information, "Is already a big job running. Cannot start another.", BtnOk);
    return true;
}

bool runReCommand(REMenuContext& c, const TaskEnv& env, TaskCommand command) {
    if (refusedWhileRunning(c)) return false;
    const ReIterationHook hook = [&c](const ReIterationCounts& counts) { c.re.setCounts(counts); };
    const bool started = runReTask(command, env, hook, c.startBigJob);
    // A request cancelled or refused leaves nothing to iterate for the next job.
    if (!started) c.re.clearCounts();
    return started;
}

// The name up to (not including) the last occurrence of `marker` + `marker`
// + "*" + `ext`.
std::string patternOf(const std::string& name, const std::string& marker, const std::string& ext) {
    const std::string bare = nameOf(name);
    const auto pos = bare.rfind(marker);
    if (pos == std::string::npos) return "";
    return bare.substr(0, pos) + marker + "*" + ext;
}

bool anyFileMatches(const std::string& dir, const std::string& pattern) {
    std::error_code ec;
    for (std::filesystem::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        if (!it->is_regular_file(ec)) continue;
        if (fnmatch(pattern.c_str(), it->path().filename().string().c_str(), FNM_CASEFOLD) == 0) return true;
    }
    return false;
}

// The viewers: "Convergence <kind> Files for the <run> ..." when nothing
// matches, else the open-file dialog in the Working Directory.
std::optional<REViewChoice> viewConvergence(REMenuContext& c, int run, const std::string& kind,
                                            const std::string& pattern, const std::string& shownExt,
                                            REViewChoice::Viewer viewer) {
    if (pattern.empty()) return std::nullopt;
    if (!anyFileMatches(c.rec.WorkDir, pattern)) {
        c.dialogs.message(MsgKind::Information,
                          "Convergence " + kind + " Files for the " + runName(run) + " are of the form " +
                              "\r\n" + "   " + pattern + "\r\n" + "There are no such files.",
                          BtnOk);
        return std::nullopt;
    }
    const std::string prefix = pattern.substr(0, pattern.find('*'));
    FileRequest req;
    req.title = "Select Convergence " + kind + " File";
    req.initialDir = c.rec.WorkDir;
    req.filter = "Conv. " + kind + " Files (" + prefix + shownExt + ")|" + pattern;
    auto chosen = c.dialogs.chooseFile(req);
    if (!chosen || chosen->empty()) return std::nullopt;
    return REViewChoice{ResolvePath(c.rec.WorkDir, *chosen), viewer};
}

bool isIterationInput(const std::string& logical) {
    return iequals(logical, "ROREXT") || iequals(logical, "ITER");
}

}  // namespace

bool reRunBaseToPolicy(REMenuContext& c, const TaskEnv& env) {
    return runReCommand(c, env, TaskCommand::RunBaseToPolicy);
}
bool reDoBaseAndRerun(REMenuContext& c, const TaskEnv& env) {
    return runReCommand(c, env, TaskCommand::DoBaseAndRerun);
}
bool reRerunBaseAndRunPolicy(REMenuContext& c, const TaskEnv& env) {
    return runReCommand(c, env, TaskCommand::RerunBaseAndRunPolicy);
}

bool reBaseExtraIterations(REMenuContext& c) {
    return doExtraIterations(c, 1);
}
bool reRerunExtraIterations(REMenuContext& c) {
    return doExtraIterations(c, 2);
}
bool rePolicyExtraIterations(REMenuContext& c) {
    return doExtraIterations(c, 3);
}

bool doExtraIterations(REMenuContext& c, int run) {
    if (run < 1 || run > 3 || refusedWhileRunning(c)) return false;
    const RESettings& re = c.settings.re;
    if (run == 2 && !re.SeveralRerunIterations) {
        c.dialogs.message(
            MsgKind::Information,
            "This is only possible if your TAB file allows more than one iteration of Rerun.\r\nIf so, "
            "please check the relevant menu item under the Rational Expectations menu.",
            BtnOk);
        return false;
    }
    if (!c.re.setUpNames()) return false;
    auto count = c.re.readIterationCount(run);
    if (!count) return false;
    const int nb = re.BaseIterations;
    const int nr = c.settings.NoRerun ? 0 : re.RerunIterations;
    const int done = run == 1 ? *count : run == 2 ? *count - nb : *count - (nb + nr);
    const int wanted = run == 1 ? re.BaseIterations : run == 2 ? re.RerunIterations : re.PolicyIterations;
    const std::string head = "You have done " + str(done) + " iterations." + "\r\n" +
                             "The Sim Overview page indicates that you wish to do a total of " + str(wanted) +
                             " iterations." + "\r\n";
    if (done >= wanted) {
        c.dialogs.message(MsgKind::Information,
                          head + "This leaves no iterations to do." + "\r\n" +
                              "Please adjust the Sim Overview page if you want to do more iterations.",
                          BtnOk);
        return false;
    }
    if (c.dialogs.message(MsgKind::Confirmation,
                          head + "Please click OK if this is correct or Cancel if it is not correct.",
                          BtnOk | BtnCancel | BtnHelp, kHelp) != BtnOk)
        return false;
    JobRequest req;
    const int n = c.rec.NumYears;
    for (int r = 1; r <= 3; ++r) {
        req.FirstSimYear[r] = req.FirstSSYear[r] = n + 2;
        req.LastSimYear[r] = req.LastSSYear[r] = 0;
    }
    req.FirstSimYear[run] = req.FirstSSYear[run] = 1;
    req.LastSimYear[run] = req.LastSSYear[run] = n;
    // More policy iterations change the policy results, so its deviations
    // from the rerun are made again.
    req.DoDeviations = run == 3;
    c.re.setExtraIterations(run, done, wanted, re.DoingRE);
    if (!c.startBigJob || !c.startBigJob(req)) {
        c.re.clearCounts();
        return false;
    }
    return true;
}

bool toggleCreateConvergenceHarFiles(ProgramSettings& s) {
    return s.re.ConvergenceHar = !s.re.ConvergenceHar;
}
bool togglePreserveConvergenceRorextFiles(ProgramSettings& s) {
    return s.re.ConvergenceRorext = !s.re.ConvergenceRorext;
}
bool togglePreserveConvergenceCsvFiles(ProgramSettings& s) {
    return s.re.ConvergenceCsv = !s.re.ConvergenceCsv;
}
bool toggleStandardKoraleChecks(ProgramSettings& s) {
    return s.re.StandardChecks = !s.re.StandardChecks;
}
bool toggleSeveralRerunIterations(ProgramSettings& s, Dialogs& dialogs) {
    s.re.SeveralRerunIterations = !s.re.SeveralRerunIterations;
    if (!s.re.SeveralRerunIterations) rerunCountChanged(s, s.re.RerunIterations, dialogs);
    return s.re.SeveralRerunIterations;
}

std::string convergenceHarPattern(const KoraleRE& re, int run) {
    return patternOf(re.convergenceFileName(run, 1), "_iter", ".har");
}
std::string convergenceRorextPattern(const KoraleRE& re, int run) {
    return patternOf(re.preservedRorextName(run, 1), "Iter", ".har");
}
std::string convergenceCsvPattern(const KoraleRE& re, int run) {
    return patternOf(re.preservedCsvName(run, "yony", 1), "Iter", ".csv");
}

std::optional<REViewChoice> viewConvergenceHarFile(REMenuContext& c, int run) {
    return viewConvergence(c, run, "HAR", convergenceHarPattern(c.re, run), "*.har",
                           REViewChoice::Viewer::HeaderArray);
}
std::optional<REViewChoice> viewConvergenceRorextFile(REMenuContext& c, int run) {
    if (!c.re.setUpNames()) return std::nullopt;
    return viewConvergence(c, run, "ROREXT", convergenceRorextPattern(c.re, run), "*.har",
                           REViewChoice::Viewer::HeaderArray);
}
std::optional<REViewChoice> viewConvergenceCsvFile(REMenuContext& c, int run) {
    return viewConvergence(c, run, "CSV", convergenceCsvPattern(c.re, run), "*.CSV",
                           REViewChoice::Viewer::Spreadsheet);
}

int rerunCountChanged(ProgramSettings& s, int count, Dialogs& dialogs) {
    if (count >= 2 && !s.re.SeveralRerunIterations) {
        s.re.RerunIterations = 1;
        dialogs.message(MsgKind::Information, "Only one iteration is allowed for the Base Rerun.", BtnOk);
        return 1;
    }
    s.re.RerunIterations = count;
    return count;
}

std::optional<std::string> policyStartLabel(const TSimRecord& rec, ProgramSettings& s, bool modelLoaded,
                                            int& firstPolicyYear, Dialogs& dialogs) {
    if (!s.re.DoingRE) return std::nullopt;
    PolicyStartOptions opts;
    opts.doingRE = true;
    opts.policyStartOffset = s.re.PolicyStartYear;
    // Quiet: the label is refreshed whenever the year is recomputed; the
    // reset of an offset that reaches too far shows in the box itself.
    if (!ComputeFirstPolicyYear(rec, 3, true, modelLoaded, opts, firstPolicyYear, dialogs))
        s.re.PolicyStartYear = opts.policyStartOffset;
    std::string text = std::string("period") + "s before first Policy shock";
    if (firstPolicyYear >= 1 && firstPolicyYear <= kMaxYears)
        text += " (ie, with sim for " + str(rec.Years[firstPolicyYear]) + ")";
    return text;
}

std::optional<std::string> viewFirstYearInputFile(REMenuContext& c, const std::string& logical,
                                                  const std::string& prepared) {
    if (!c.settings.re.DoingRE || !isIterationInput(logical)) return prepared;
    if (!c.re.setUpNames()) return prepared;
    const std::string copy = c.re.startCopyName(1, logical, 1);
    std::string text = "Since you are doing Rational Expectations a la Korale, the file\r\n" + prepared +
                       "\r\n" + "you prepared will be altered by " + "Vardelon" + ".";
    if (!copy.empty() && fileExists(copy)) {
        text += std::string("\r\n") + "Click \"Yes\" if you wish to see the file you prepared, or" + "\r\n" +
                "click \"No\" if you wish to see the file" + "\r\n" + "  " + copy + "\r\n" + "used by " +
                "Vardelon" + " when you ran the FIRST iteration of the Base.";
        const Button b = c.dialogs.message(MsgKind::Confirmation, text, BtnYes | BtnNo | BtnHelp, kHelp);
        return b == BtnNo ? copy : prepared;
    }
    text += std::string("\r\n") + "It looks as if you have not yet run any interations of the Base." +
            "\r\n" + "Click \"Yes\" if you wish to see the file you prepared, otherwise click \"No\".";
    const Button b = c.dialogs.message(MsgKind::Confirmation, text, BtnYes | BtnNo | BtnHelp, kHelp);
    if (b == BtnYes) return prepared;
    return std::nullopt;
}

std::string viewResultsInputFile(REMenuContext& c, int run, const std::string& logical,
                                 const std::string& offered) {
    if (!c.settings.re.DoingRE || !isIterationInput(logical) || run < 1 || run > 3) return offered;
    if (!c.re.setUpNames()) return offered;
    std::string generated = c.re.generatedLastYearFile(run, logical);
    const std::string copy = c.re.startCopyName(run, logical, 1);
    if (copy.empty() || !fileExists(copy)) return generated;
    const std::string name = runName(run);
    const std::string text = "This file is input into the first year of the " + name + "." + "\r\n" +
                             "Since you are doing Rational Expectations a la Korale, this file" + "\r\n" +
                             " changes from iteration to iteration." + "\r\n" +
                             "Click \"Yes\" if you wish to see the file" + "\r\n" + "  " + generated +
                             "\r\n" + "which WOULD be used if you did an EXTRA iteration of the " + name +
                             " or" + "\r\n" + "click \"No\" if you wish to see the file" + "\r\n" + "  " +
                             copy + "\r\n" + "which WAS used in the FIRST iteration of the " + name + ".";
    const Button b = c.dialogs.message(MsgKind::Confirmation, text, BtnYes | BtnNo | BtnHelp, kHelp);
    return b == BtnNo ? copy : generated;
}

}  // namespace vdln
