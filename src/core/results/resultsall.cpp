// The all-years group of the Results page (spreadsheets, graphs, analysis
// of cumulative results) and locating and starting Probex.
#include <algorithm>
#include <cctype>
#include <filesystem>

#include "base/fileutil.h"
#include "base/paths.h"
#include "base/strutil.h"
#include "env/directories.h"
#include "model/filenames.h"
#include "results/resultsshared.h"
#include "results/resultsview.h"
#include "runrecord/filestamp.h"

namespace vdln {

namespace {

std::string joinCrLf(const std::vector<std::string>& lines) {
    std::string out;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i) out += "\r\n";
        out += lines[i];
    }
    return out;
}

std::string noFilesText(const std::string& pattern) {
    return "Are no files with names\r\n" + pattern + "\r\nso nothing to show.";
}

// Asks whether to go on with a file that differs from the record, after
// the warning when there is no record.  False when the user declines.
bool acceptAgainstRecord(const ResultsContext& ctx, int run, const std::string& key, const std::string& file,
                         Dialogs& dialogs) {
    RunRecordView view = RunRecordView::load(RunRecordFileName(ctx.keep, run));
    switch (checkAgainstRecord(view, "Run", key, file, "created", true)) {
        case RecordCheck::Same:
            return true;
        case RecordCheck::NoRecord:
            dialogs.warning("Can see no indication that this run completed successfully.", ctx.helpContext);
            return true;
        case RecordCheck::Differs:
            return dialogs.askYesNo(
                "This file is not the one created during the last successful run.\r\n"
                "Do you still want to look at it?",
                ctx.helpContext);
    }
    return false;
}

int lastSim(const ResultsContext& ctx) {
    return std::clamp(ctx.rec.NumYears, 1, kMaxYears);
}

}  // namespace

RecordCheck checkAgainstRecord(const RunRecordView& view, const std::string& section, const std::string& key,
                               const std::string& file, const std::string& verb, bool checkName) {
    if (!view.present()) return RecordCheck::NoRecord;
    const std::string_view* stored = view.find(section, key);
    if (!stored || trimmedView(*stored).empty()) return RecordCheck::Differs;
    StampCompareResult r =
        CompareFileStamp("The file", "run", *stored, file, verb, StampCheck{checkName, true});
    return r.ok ? RecordCheck::Same : RecordCheck::Differs;
}

bool namePatternMatch(const std::string& pattern, const std::string& name) {
    // Iterative matching with one back-tracking point for the last "*".
    size_t p = 0, n = 0, star = std::string::npos, mark = 0;
    auto same = [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
    };
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || (pattern[p] != '*' && same(pattern[p], name[n])))) {
            ++p;
            ++n;
        } else if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            mark = n;
        } else if (star != std::string::npos) {
            p = star + 1;
            n = ++mark;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

std::vector<std::string> filesMatching(const std::string& pattern) {
    std::vector<std::string> out;
    std::string dir = dirOf(pattern);
    const std::string mask = nameOf(pattern);
    std::error_code ec;
    for (std::filesystem::directory_iterator it(dir.empty() ? "." : dir, ec), end; !ec && it != end;
         it.increment(ec)) {
        std::error_code fe;
        if (!it->is_regular_file(fe)) continue;
        const std::string name = it->path().filename().string();
        if (namePatternMatch(mask, name)) out.push_back(JoinPath(dir, name));
    }
    std::sort(out.begin(), out.end());
    return out;
}

AllYearsStyle allYearsStyle(AllYearsRun run, bool yearOnYearDifferences, bool abbreviatedJobs) {
    AllYearsStyle s;
    if (run == AllYearsRun::Differences) {
        s.cumulativeChecked = s.cumulativeEnabled = true;
        s.yearOnYearChecked = false;
        s.yearOnYearEnabled = yearOnYearDifferences;
    } else {
        s.yearOnYearChecked = s.yearOnYearEnabled = true;
        s.cumulativeChecked = false;
        s.cumulativeEnabled = !abbreviatedJobs;
    }
    return s;
}

std::string differencesCaption(bool rerunInApplication) {
    return rerunInApplication ? "&Differences - Policy v Rerun" : "&Differences - Policy v Base";
}

std::string graphsCaption(bool solutionViewerForGraphs) {
    return solutionViewerForGraphs ? "&Graph/Outlens" : "&Graphs";
}

int requestRun(AllYearsRun run) {
    return run == AllYearsRun::Differences ? kRunPolicy : static_cast<int>(run);
}

std::string allYearsSpreadsheetFile(const ResultsContext& ctx, const AllYearsRequest& req) {
    const int r = requestRun(req.run);
    const int f0 = ctx.firstSimOf(r);
    const ResultsKind job =
        req.run == AllYearsRun::Differences ? ResultsKind::Deviations : ResultsKind::Spreadsheet;
    return JoinPath(ctx.rec.WorkDir, SpreadsheetCsvName(ctx.rec, r, f0, lastSim(ctx), f0, ctx.noRerun(), job,
                                                        req.cumulative ? "cum" : "yony"));
}

std::string spreadsheetRecordKey(const AllYearsRequest& req) {
    const bool diff = req.run == AllYearsRun::Differences;
    return std::string(diff ? "Output diff " : "Output ss ") + (req.cumulative ? "cum" : "YOnY");
}

bool viewSpreadsheet(ResultsContext& ctx, const AllYearsRequest& req, Dialogs& dialogs,
                     ProgramStarter& starter) {
    std::string file = allYearsSpreadsheetFile(ctx, req);
    if (req.someYears) {
        const std::string pattern = changeExt(file, "-*.csv");
        if (filesMatching(pattern).empty()) {
            dialogs.info(noFilesText(pattern), ctx.helpContext);
            return false;
        }
        FileRequest fr;
        fr.title = "Select Spreadsheet File";
        fr.initialDir = ctx.rec.WorkDir;
        fr.filter = "CSV Files (*.CSV)|*.csv";
        auto pick = dialogs.chooseFile(fr);
        if (!pick || trim(*pick).empty()) return false;
        file = ResolvePath(ctx.rec.WorkDir, trim(*pick));
    }
    if (!fileExists(file)) {
        dialogs.error("File \r\n" + file + "\r\ndoes not exist.", ctx.helpContext);
        return false;
    }
    if (!req.someYears &&
        !acceptAgainstRecord(ctx, requestRun(req.run), spreadsheetRecordKey(req), file, dialogs))
        return false;

    return openInSpreadsheetProgram(ctx, file, dialogs, starter);
}

bool openInSpreadsheetProgram(ResultsContext& ctx, const std::string& file, Dialogs& dialogs,
                              ProgramStarter& starter) {
    std::string program = trim(ctx.settings.tools.Spreadsheet);
    if (program.empty()) {
        FileRequest fr;
        fr.title = "Select Spreadsheet Program";
        fr.initialDir = ctx.env.programDirectory();
        fr.filter = "EXE Files (*.EXE)|*.exe";
        auto pick = dialogs.chooseFile(fr);
        if (!pick || trim(*pick).empty()) return false;
        program = trim(*pick);
        ctx.settings.tools.Spreadsheet = program;
    }
    if (Status s = starter.startProgram(program, {file}, ctx.rec.WorkDir); !s) {
        dialogs.error("Failed to execute " + toUpper(nameOf(program)) + "\r\n[" + s.message() + "]",
                      ctx.helpContext);
        return false;
    }
    return true;
}

char graphCode(AllYearsRun run, bool cumulative) {
    char c = run == AllYearsRun::Differences ? 'd' : run == AllYearsRun::Policy ? 'p' : 'b';
    return cumulative ? static_cast<char>(std::toupper(static_cast<unsigned char>(c))) : c;
}

std::string graphsArgument(AllYearsRun run, bool cumulative, const std::string& sequenceFile) {
    return std::string("#") + graphCode(run, cumulative) + sequenceFile;
}

std::string allYearsSequenceFile(const ResultsContext& ctx, const AllYearsRequest& req) {
    const int r = requestRun(req.run);
    const int f0 = ctx.firstSimOf(r);
    return SequenceFile(ctx.rec, r, f0, lastSim(ctx), f0, ctx.noRerun(), false);
}

std::optional<std::string> graphsSequenceFile(const ResultsContext& ctx, const AllYearsRequest& req,
                                              Dialogs& dialogs) {
    std::string file = allYearsSequenceFile(ctx, req);
    if (!req.someYears) return file;
    const std::string pattern = JoinPath(ctx.rec.WorkDir, "*.seq");
    if (filesMatching(pattern).empty()) {
        dialogs.info(noFilesText(pattern), ctx.helpContext);
        return std::nullopt;
    }
    FileRequest fr;
    fr.title = "Select Sequence File";
    fr.initialDir = ctx.rec.WorkDir;
    fr.filter = "SEQ Files (*.SEQ)|*.seq";
    auto pick = dialogs.chooseFile(fr);
    if (!pick || trim(*pick).empty()) return std::nullopt;
    return ResolvePath(ctx.rec.WorkDir, trim(*pick));
}

bool openGraphsInOutlens(ResultsContext& ctx, const AllYearsRequest& req, Dialogs& dialogs,
                         ProgramStarter& starter) {
    auto seq = graphsSequenceFile(ctx, req, dialogs);
    if (!seq) return false;
    ToolLocations tools = ctx.toolLocations();
    bool ok = LaunchViewer(Viewer::Outlens, graphsArgument(req.run, req.cumulative, *seq),
                           ctx.settings.model.ModelDir, ctx.env, tools, dialogs, starter);
    ctx.settings.tools.Outlens = tools.outlens;
    return ok;
}

bool outlensAvailable(const ResultsContext& ctx) {
    return !locateProgram(ctx.env, ctx.toolLocations(), "outlens").empty();
}

ChartSources graphsChartSources(const ResultsContext& ctx) {
    return chartSourcesFor(ctx.rec, ctx.firstPolicyYear, ctx.noRerun());
}

ChartRequest graphsChartRequest(const ResultsContext& ctx, const AllYearsRequest& req) {
    ChartRequest c;
    c.cumulative = req.cumulative;
    if (req.run == AllYearsRun::Differences) {
        c.mode = ChartMode::DeviationBars;
        return c;
    }
    const int r = requestRun(req.run);
    for (int k = 1; k <= 3; ++k)
        c.runs[static_cast<size_t>(k)] = k <= r && !(k == kRunRerun && ctx.noRerun());
    return c;
}

std::string allYearsRslFile(const ResultsContext& ctx, const AllYearsRequest& req) {
    const int r = requestRun(req.run);
    const int f0 = ctx.firstSimOf(r);
    const ResultsKind job =
        req.run == AllYearsRun::Differences ? ResultsKind::Deviations : ResultsKind::Spreadsheet;
    return JoinPath(ctx.rec.WorkDir,
                    CumulativeResultsName(ctx.rec, r, f0, lastSim(ctx), f0, ctx.noRerun(), job));
}

std::optional<std::pair<int, int>> rslFileRange(const ResultsContext& ctx, const AllYearsRequest& req,
                                                const std::string& file) {
    const std::string stem = toLower(nameOf(changeExt(allYearsRslFile(ctx, req), "")));
    const std::string name = toLower(nameOf(file));
    // <stem>-YYYY-YYYY.rsl
    if (name.size() != stem.size() + 14 || name.compare(0, stem.size(), stem) != 0) return std::nullopt;
    const std::string rest = name.substr(stem.size());
    if (rest[0] != '-' || rest[5] != '-' || rest.substr(10) != ".rsl") return std::nullopt;
    auto y1 = parseInt(rest.substr(1, 4));
    auto y2 = parseInt(rest.substr(6, 4));
    if (!y1 || !y2) return std::nullopt;
    const int r = requestRun(req.run);
    int first = 0, last = 0;
    for (int i = ctx.firstSimOf(r); i <= lastSim(ctx); ++i) {
        if (ctx.rec.Years[i] == *y1) first = i;
        if (ctx.rec.Years[i] == *y2) last = i;
    }
    if (!first || !last || first > last) return std::nullopt;
    return std::make_pair(first, last);
}

CumulativeAnalysis describeCumulativeAnalysis(const ResultsContext& ctx, const AllYearsRequest& req,
                                              const std::string& rslFile, int firstSim, int lastSimCovered) {
    CumulativeAnalysis a;
    const int r = requestRun(req.run);
    a.firstSim = firstSim;
    a.lastSim = lastSimCovered;
    a.rslFile = rslFile;
    a.solutionFile = SolutionFile(ctx.rec, lastSimCovered, r, ctx.noRerun());
    const std::string udc = changeExt(a.solutionFile, ".udc");
    const bool haveUdc = fileExists(udc);
    a.coefficientsFile = haveUdc ? udc : changeExt(a.solutionFile, ".slc");

    const std::string first = std::to_string(ctx.rec.Years[firstSim]);
    const std::string last = std::to_string(ctx.rec.Years[lastSimCovered]);
    const std::string sim = " simulation for year " + last + " of the " + runName(r) + ".";
    std::vector<std::string> lines;
    if (req.run == AllYearsRun::Differences)
        lines.push_back("Will load cumulative differences for years " + first + " to " + last + ".");
    else
        lines.push_back("Will load cumulative results for years " + first + " to " + last + " of the " +
                        runName(r) + ".");
    if (haveUdc)
        lines.push_back("Coefficient values will be taken from the updated data at the end of the" + sim);
    else
        lines.push_back("Coefficient values will be taken from data as it was just before the" + sim +
                        " [The UDC file after this simulation does not exist.]");
    lines.push_back("Closure shown in Probex will be taken from the simulation for year " + last +
                    " of the " + runName(r) + ".");
    a.information = joinCrLf(lines);
    return a;
}

bool analyseCumulative(ResultsContext& ctx, const AllYearsRequest& req, Dialogs& dialogs,
                       ProgramStarter& starter) {
    const int r = requestRun(req.run);
    std::string rsl = allYearsRslFile(ctx, req);
    int first = ctx.firstSimOf(r), last = lastSim(ctx);
    if (req.someYears) {
        const std::string stem = nameOf(changeExt(rsl, ""));
        FileRequest fr;
        fr.title = "Select RSL File";
        fr.initialDir = ctx.rec.WorkDir;
        fr.filter = "RSL Files (*.RSL)|" + stem + "-*.rsl";
        auto pick = dialogs.chooseFile(fr);
        if (!pick || trim(*pick).empty()) return false;
        rsl = ResolvePath(ctx.rec.WorkDir, trim(*pick));
        auto range = rslFileRange(ctx, req, rsl);
        if (!range) {
            dialogs.error("This file is not of the expected form. Cannot load.", ctx.helpContext);
            return false;
        }
        first = range->first;
        last = range->second;
    }
    CumulativeAnalysis a = describeCumulativeAnalysis(ctx, req, rsl, first, last);
    dialogs.info(a.information, ctx.helpContext);
    if (!fileExists(a.solutionFile)) {
        dialogs.error("The designated Solution file\r\n     " + a.solutionFile + "\r\ndoes not exist.",
                      ctx.helpContext);
        return false;
    }
    if (!fileExists(a.coefficientsFile)) {
        dialogs.error("The designated file from which Coefficient values are to be read\r\n     " +
                          a.coefficientsFile + "\r\ndoes not exist.",
                      ctx.helpContext);
        return false;
    }
    if (!fileExists(a.rslFile)) {
        dialogs.error("The designated Header Array (RSL) file containing results\r\n     " + a.rslFile +
                          "\r\ndoes not exist.",
                      ctx.helpContext);
        return false;
    }
    if (!req.someYears &&
        !acceptAgainstRecord(ctx, r,
                             req.run == AllYearsRun::Differences ? "Output RSL dev" : "Output RSL cum",
                             a.rslFile, dialogs))
        return false;
    return startProbex(ctx, {a.solutionFile, a.coefficientsFile, a.rslFile}, ctx.rec.WorkDir, dialogs,
                       starter);
}

bool chooseProbexProgram(ResultsContext& ctx, Dialogs& dialogs) {
    const ProbexLocation now = locateProbex(ctx);
    FileRequest req;
    req.title = "Select Probex to use";
    req.initialDir = now.program.empty() ? ctx.env.programDirectory() : dirOf(now.program);
    req.filter = "Probex Files (Probex.EXE)|Probex.exe";
    const std::optional<std::string> pick = dialogs.chooseFile(req);
    if (!pick || trim(*pick).empty()) return false;
    ctx.settings.tools.Probex = trim(*pick);
    dialogs.info("Will use\r\n  " + ctx.settings.tools.Probex + "\r\nas Probex.");
    return true;
}

ProbexLocation locateProbex(const ResultsContext& ctx) {
    ProbexLocation where;
    const std::string configured = trim(ctx.settings.tools.Probex);
    if (!configured.empty() && fileExists(configured)) {
        where.program = configured;
        return where;
    }
    const std::string suiteDir = trim(ctx.settings.tools.UseSolvaneDir).empty()
                                     ? ctx.env.programDirectory()
                                     : trim(ctx.settings.tools.UseSolvaneDir);
    if (!suiteDir.empty()) {
        where.triedDir = suiteDir;
        const std::string p = JoinPath(suiteDir, "probex.exe");
        if (fileExists(p)) {
            where.program = p;
            return where;
        }
    }
    for (const std::string& entry : split(ctx.env.variable("PATH"), ':')) {
        const std::string p = JoinPath(entry.empty() ? ctx.env.currentDirectory() : entry, "probex.exe");
        if (fileExists(p)) {
            where.program = p;
            return where;
        }
    }
    const std::string fixed = JoinPath(kConstSvFolder, "probex.exe");
    if (fileExists(fixed)) where.program = fixed;
    return where;
}

std::string probexNotFoundText(const ProbexLocation& where) {
    std::string text = "Cannot find Probex.\r\n[";
    if (!where.triedDir.empty()) text += "In " + where.triedDir + ",\r\n";
    return text + "on PATH or in " + kConstSvFolder + "]";
}

bool startProbex(const ResultsContext& ctx, const std::vector<std::string>& args, const std::string& workDir,
                 Dialogs& dialogs, ProgramStarter& starter) {
    ProbexLocation where = locateProbex(ctx);
    if (where.program.empty()) {
        dialogs.error(probexNotFoundText(where), ctx.helpContext);
        return false;
    }
    if (Status s = starter.startProgram(where.program, args, workDir.empty() ? std::string("/") : workDir);
        !s) {
        dialogs.error("Could not run \r\n" + where.program + "\r\n[" + s.message() + "]", ctx.helpContext);
        return false;
    }
    return true;
}

}  // namespace vdln
