#include "results/resultsview.h"

#include <algorithm>

#include "base/fileutil.h"
#include "base/paths.h"
#include "base/strutil.h"
#include "model/filenames.h"
#include "model/simgrid.h"
#include "results/accapp.h"
#include "results/resultsshared.h"
#include "runrecord/filestamp.h"

namespace vdln {

namespace {

constexpr const char* kSolutionItem = "Solution file";
constexpr const char* kLogItem = "Log file";
constexpr const char* kAccuracyItem = "Accuracy Summary";

constexpr const char* kAltMethodText =
    "You are using the alternative solution method for this year.\r\n"
    "This does not extrapolate from 3 solutions so there is\r\n"
    " no Accuracy Summary information available for this year.";

int yearOf(const TSimRecord& rec, int sim) {
    return rec.Years[std::clamp(sim, -1, kMaxYears)];
}

// The model's logical file of a descriptor that a simulation writes.
bool writtenLogicalFile(const TModelFileDesc& d) {
    return !d.IsSpecial && (!d.IsInput || d.IsUpdated);
}

// A data file's entry of the user table written by the simulation itself
// (an output, or an updated input); otherwise the file of a year is the one
// the next year reads.
bool writtenBySimulation(const TSimFileEntry& f) {
    return f.Usage == kUsageOutput || f.IsUpdated;
}

// Where the record keeps the stamp of a year's file.
struct RecordRef {
    int run = 0;
    std::string section, key;
    const char* verb = "created";
    bool checkName = true;
};

// The file of an item with the place of its stamp in the record.
struct ItemFile {
    std::string file;
    RecordRef ref;
};

std::optional<ItemFile> itemFile(const ResultsContext& ctx, const YearItem& item, int run, int sim,
                                 Dialogs& dialogs) {
    const TSimRecord& rec = ctx.rec;
    const int fpy = std::max(1, ctx.firstPolicyYear);
    const bool noRerun = ctx.noRerun();
    const int help = ctx.helpContext;
    if (run < 1 || run > 3 || sim < 0 || sim > std::min(rec.NumYears, kMaxYears)) return std::nullopt;

    if (item.kind != YearItemKind::DataFile) {
        if (sim == 0) {
            dialogs.info("There is no " + item.label + " for the base year.", help);
            return std::nullopt;
        }
        if (run != kRunBase && sim < fpy) {
            dialogs.info("There is no " + item.label +
                             " for any pre-policy year.\r\nThe first policy sim is for year " +
                             std::to_string(yearOf(rec, fpy)),
                         help);
            return std::nullopt;
        }
        if (item.kind == YearItemKind::Accuracy) {
            AccApplication app = accApplicationFor(rec, ctx.settings, fpy, help);
            if (sim < static_cast<int>(app.altNoSummary.size()) &&
                app.altNoSummary[static_cast<size_t>(sim)]) {
                dialogs.info(kAltMethodText, help);
                return std::nullopt;
            }
        }
        ItemFile out;
        out.file = item.kind == YearItemKind::Solution ? SolutionFile(rec, sim, run, noRerun)
                                                       : SimLogFile(rec, sim, run, noRerun);
        out.ref = {run, std::to_string(yearOf(rec, sim)),
                   item.kind == YearItemKind::Solution ? "Solution file" : "Log file"};
        return out;
    }

    if (item.fileIndex < 1 || item.fileIndex > std::min(rec.NumFiles, kMaxUserFiles)) return std::nullopt;
    const TSimFileEntry& f = rec.Files[item.fileIndex];
    const std::string logical = f.Name.str();
    if (run != kRunBase && sim < fpy - 1) {
        dialogs.info(
            "There are no data files for this run before the last pre-policy year.\r\n[The last pre-policy "
            "year is " +
                std::to_string(yearOf(rec, fpy - 1)) + ".]",
            help);
        return std::nullopt;
    }
    const bool written = writtenBySimulation(f);
    if (!written && sim >= rec.NumYears) {
        dialogs.info("This file is output each year so there is no version of it for the final year.", help);
        return std::nullopt;
    }
    // Forward-looking runs: the first year's iteration inputs change from
    // iteration to iteration.
    if (ctx.settings.re.DoingRE && sim == ctx.firstSimOf(run) - 1 &&
        (iequals(logical, "ROREXT") || iequals(logical, "ITER"))) {
        const std::string generated =
            JoinPath(rec.WorkDir, DataFileName(rec, rec.NumYears, run, noRerun, item.fileIndex));
        const std::string startCopy = ctx.reStartCopy ? ctx.reStartCopy(run, logical) : std::string();
        ItemFile out;
        out.file = generated;
        out.ref = {run, std::to_string(yearOf(rec, rec.NumYears)), logical};
        if (!startCopy.empty() && fileExists(startCopy)) {
            const std::string rn = runName(run);
            const std::string text = "This file is input into the first year of the " + rn + ".\r\n" +
                                     "Since you are doing Rational Expectations a la Korale, this file\r\n" +
                                     " changes from iteration to iteration.\r\n" +
                                     "Click \"Yes\" if you wish to see the file\r\n  " + generated + "\r\n" +
                                     "which WOULD be used if you did an EXTRA iteration of the " + rn +
                                     " or\r\n" + "click \"No\" if you wish to see the file\r\n  " +
                                     startCopy + "\r\n" + "which WAS used in the FIRST iteration of the " +
                                     rn + ".";
            if (dialogs.message(MsgKind::Confirmation, text, BtnYes | BtnNo | BtnHelp, help) == BtnNo) {
                out.file = startCopy;
                out.ref = {};  // a saved copy has no stamp of its own in the record
            }
        }
        return out;
    }
    // Years before the run's first simulation were simulated by the Base.
    const int srcRun = sim < ctx.firstSimOf(run) ? kRunBase : run;
    ItemFile out;
    if (sim == 0 || !written) {
        // The version the next simulation reads (for the base year: the
        // first-year data).
        if (sim == 0 && !f.IsInput) {
            dialogs.info("There is no " + item.label + " for the base year.", help);
            return std::nullopt;
        }
        auto resolved = ResolveLogicalFile(rec, sim + 1, run, ctx.firstSimOf(run), noRerun, item.fileIndex,
                                           ctx.settings.model.FirstYearList);
        if (!resolved || resolved->name.empty()) {
            dialogs.error(resolved ? "No first-year data file is given for logical file " + logical
                                   : resolved.message(),
                          help);
            return std::nullopt;
        }
        out.file = UserFilePath(rec.WorkDir, resolved->name);
        const int readerRun = sim + 1 < ctx.firstSimOf(run) ? kRunBase : run;
        out.ref = {readerRun, std::to_string(yearOf(rec, sim + 1)) + "i", logical, "used", sim != 0};
    } else {
        out.file = JoinPath(rec.WorkDir, DataFileName(rec, sim, srcRun, noRerun, item.fileIndex));
        out.ref = {srcRun, std::to_string(yearOf(rec, sim)), logical};
    }

    return out;
}

}  // namespace

ToolLocations ResultsContext::toolLocations() const {
    return {settings.tools.Outlens, settings.tools.Gridlens, settings.tools.Editor,
            settings.tools.UseSolvaneDir};
}

std::vector<YearItem> individualYearItems(const TSimRecord& rec, int numSolutions) {
    std::vector<YearItem> items{{YearItemKind::Solution, kSolutionItem, 0}, {YearItemKind::Log, kLogItem, 0}};
    if (numSolutions > 2) items.push_back({YearItemKind::Accuracy, kAccuracyItem, 0});
    const int n = std::clamp(rec.NumModelFiles, 0, kMaxModelFiles);
    for (int k = 1; k <= n; ++k) {
        const TModelFileDesc& d = rec.ModelFiles[k];
        if (!writtenLogicalFile(d)) continue;
        std::optional<int> idx = FindUserFileByName(rec, d.Name.str());
        if (!idx) continue;
        items.push_back({YearItemKind::DataFile, d.Name.str(), *idx});
    }
    return items;
}

std::vector<YearEntry> individualYearList(const TSimRecord& rec, int firstPolicyYear) {
    std::vector<YearEntry> years;
    const int n = std::clamp(rec.NumYears, 0, kMaxYears);
    years.push_back({0, std::to_string(rec.Years[0]) + " (base year)"});
    for (int i = 1; i <= n; ++i)
        years.push_back({i, std::to_string(rec.Years[i]) + (i < firstPolicyYear ? " (pre-policy)" : "")});
    return years;
}

int keptSelection(const std::vector<std::string>& oldKeys, int oldIndex,
                  const std::vector<std::string>& newKeys) {
    if (newKeys.empty()) return -1;
    if (oldIndex >= 0 && oldIndex < static_cast<int>(oldKeys.size())) {
        auto it = std::find(newKeys.begin(), newKeys.end(), oldKeys[static_cast<size_t>(oldIndex)]);
        if (it != newKeys.end()) return static_cast<int>(it - newKeys.begin());
    }
    return oldIndex >= 0 && oldIndex < static_cast<int>(newKeys.size()) ? oldIndex : 0;
}

std::vector<std::string> selectionKeys(const std::vector<YearItem>& items) {
    std::vector<std::string> keys;
    keys.reserve(items.size());
    for (const auto& it : items) keys.push_back(it.label);
    return keys;
}

std::vector<std::string> selectionKeys(const std::vector<YearEntry>& years) {
    std::vector<std::string> keys;
    keys.reserve(years.size());
    for (const auto& y : years) keys.push_back(std::to_string(y.sim));
    return keys;
}

std::optional<std::string> yearItemFile(const ResultsContext& ctx, const YearItem& item, int run, int sim,
                                        Dialogs& dialogs) {
    auto f = itemFile(ctx, item, run, sim, dialogs);
    if (!f) return std::nullopt;
    return f->file;
}

ViewAction viewYearFile(const ResultsContext& ctx, const YearItem& item, int run, int sim, Dialogs& dialogs) {
    ViewAction none;
    auto f = itemFile(ctx, item, run, sim, dialogs);
    if (!f) return none;
    if (!fileExists(f->file)) {
        dialogs.error("File " + f->file + " does not exist.", ctx.helpContext);
        return none;
    }
    if (f->ref.run) {
        RunRecordView view = RunRecordView::load(RunRecordFileName(ctx.keep, f->ref.run));
        RecordCheck check =
            checkAgainstRecord(view, f->ref.section, f->ref.key, f->file, f->ref.verb, f->ref.checkName);
        if (check == RecordCheck::NoRecord) {
            dialogs.warning("Can see no indication that this run completed successfully.", ctx.helpContext);
        } else if (check == RecordCheck::Differs) {
            if (!dialogs.askYesNo("This file is not the one created/used during the last successful run.\r\n"
                                  "Do you still want to look at it?",
                                  ctx.helpContext))
                return none;
        }
    }

    ViewAction out;
    out.file = f->file;
    switch (item.kind) {
        case YearItemKind::Solution:
            out.target = ViewTarget::SolutionViewer;
            break;
        case YearItemKind::Log:
            out.target = ViewTarget::TextEditor;
            break;
        case YearItemKind::Accuracy: {
            AccApplication app =
                accApplicationFor(ctx.rec, ctx.settings, ctx.firstPolicyYear, ctx.helpContext);
            app.logFile = [log = f->file](int, int) { return log; };
            out.accuracy = openYearAccuracySummary(app, sim, run, dialogs);
            if (!out.accuracy) return none;
            out.target = ViewTarget::AccuracyDialog;
            break;
        }
        case YearItemKind::DataFile: {
            const TSimFileEntry& e = ctx.rec.Files[item.fileIndex];
            out.target =
                iequals(e.FileType.str(), "TXT") ? ViewTarget::TextEditor : ViewTarget::HeaderArrayViewer;
            break;
        }
    }
    return out;
}

bool gridlensAvailable(const ResultsContext& ctx) {
    return !locateProgram(ctx.env, ctx.toolLocations(), "gridlens").empty();
}

bool openViewAction(const ViewAction& action, ResultsContext& ctx, Dialogs& dialogs,
                    ProgramStarter& starter) {
    ToolLocations tools = ctx.toolLocations();
    bool started = false;
    switch (action.target) {
        case ViewTarget::SolutionViewer:
        case ViewTarget::HeaderArrayViewer:
            started =
                LaunchViewer(action.target == ViewTarget::SolutionViewer ? Viewer::Outlens : Viewer::Gridlens,
                             action.file, ctx.settings.model.ModelDir, ctx.env, tools, dialogs, starter);
            // A viewer the user picked on the way is kept in the settings.
            ctx.settings.tools.Outlens = tools.outlens;
            ctx.settings.tools.Gridlens = tools.gridlens;
            break;
        case ViewTarget::TextEditor:
            started = OpenInEditor(action.file, ctx.env, tools, dialogs, starter);
            break;
        case ViewTarget::AccuracyDialog:
        case ViewTarget::None:
            break;
    }
    return started;
}

bool analyseYear(ResultsContext& ctx, const YearItem& item, int run, int sim, Dialogs& dialogs,
                 ProgramStarter& starter) {
    if (item.kind != YearItemKind::Solution) {
        dialogs.info("Please select the Solution file of a year to run Probex on it.", ctx.helpContext);
        return false;
    }
    auto file = yearItemFile(ctx, item, run, sim, dialogs);
    if (!file) return false;
    if (!fileExists(*file)) {
        dialogs.error("File " + *file + " does not exist.", ctx.helpContext);
        return false;
    }
    if (!fileExists(changeExt(*file, ".slc"))) {
        dialogs.error(
            "Sorry, there is no coresponding SLC file.\r\nThis means that you cannot run Probex on this "
            "Solution file.\r\n[SLC files are only created by recent releases of Solvane.]",
            ctx.helpContext);
        return false;
    }
    return startProbex(ctx, {*file}, ctx.rec.WorkDir, dialogs, starter);
}

}  // namespace vdln
