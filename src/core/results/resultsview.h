#pragma once
/// The Results page as operations: the item and year lists of the
/// individual-years group, the choices of the all-years group, viewing one
/// year's file with its checks, the spreadsheets, graphs and analysis runs
/// over all or some years, and locating and starting the analysis program
/// `Probex`.
///
/// Every operation takes a `ResultsContext` (the record, the settings, the
/// environment and the record-of-runs files) and talks to the user through
/// `Dialogs`.  Operations that show a file in one of the program's own
/// windows return what is to be shown as data (`ViewAction`); the window
/// routes a header array file to its built-in viewer when no `Gridlens` is
/// configured, shows the accuracy dialog itself, and hands everything else
/// to `openViewAction`.  External programs are started through a
/// `ProgramStarter`.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "base/dialogs.h"
#include "env/environment.h"
#include "env/tools.h"
#include "model/settings.h"
#include "model/simrecord.h"
#include "results/accdialogs.h"
#include "results/chartdata.h"
#include "runrecord/recordfiles.h"

namespace vdln {

/// What the Results page operations read.  `rec`, `settings` and `env`
/// must outlive the context.
struct ResultsContext {
    ResultsContext(const TSimRecord& r, ProgramSettings& s, const Environment& e)
        : rec(r), settings(s), env(e) {}

    const TSimRecord& rec;
    ProgramSettings& settings;  ///< tool paths chosen on the way are stored here
    const Environment& env;
    int firstPolicyYear = 1;  ///< `FirstPolicyYear` (at least 1)
    TKeepRunInfo keep;        ///< the record-of-runs files
    /// The start copy of a rational-expectations input (logical name
    /// "ROREXT" or "ITER") saved at the first iteration of a run; "" when
    /// there is none.  Unset: no start copies.
    std::function<std::string(int run, const std::string& logicalName)> reStartCopy;
    int helpContext = 0;

    bool noRerun() const { return settings.NoRerun; }
    /// The first simulation of a run: 1 for the Base, `firstPolicyYear` otherwise.
    int firstSimOf(int run) const { return run == kRunBase ? 1 : firstPolicyYear; }
    /// The tool paths of the settings in the form the locator takes.
    ToolLocations toolLocations() const;
};

// ---------------------------------------------------------------------------
// Individual years.

/// The items of the individual-years group.
enum class YearItemKind { Solution, Log, Accuracy, DataFile };

struct YearItem {
    YearItemKind kind = YearItemKind::Solution;
    std::string label;  ///< "Solution file", "Log file", "Accuracy Summary" or the logical name
    int fileIndex = 0;  ///< data files: the index in `Files` (1-based)
    bool operator==(const YearItem&) const = default;
};

/// "Solution file", "Log file", "Accuracy Summary" (only when the solution
/// method extrapolates from more than 2 solutions), then the model's logical
/// files (at most 50) that a simulation writes (outputs and updated inputs),
/// under their logical names.  A logical file without an entry in the user
/// file table has no file to show and is left out.
std::vector<YearItem> individualYearItems(const TSimRecord& rec, int numSolutions);

struct YearEntry {
    int sim = 0;        ///< simulation index (0: the base year)
    std::string label;  ///< the year, with " (base year)" or " (pre-policy)"
};

/// The year before the first simulation (" (base year)"), the years before
/// the first policy year (" (pre-policy)"), then the remaining simulated years.
std::vector<YearEntry> individualYearList(const TSimRecord& rec, int firstPolicyYear);

/// The selection to keep when a list is rebuilt: the entry with the key of
/// the previous selection when it is still there (items by label, years by
/// simulation), else the previous index when it is in range, else 0.
int keptSelection(const std::vector<std::string>& oldKeys, int oldIndex,
                  const std::vector<std::string>& newKeys);
/// The keys `keptSelection` compares.
std::vector<std::string> selectionKeys(const std::vector<YearItem>& items);
std::vector<std::string> selectionKeys(const std::vector<YearEntry>& years);

/// Where a year's file goes.
enum class ViewTarget { None, SolutionViewer, HeaderArrayViewer, TextEditor, AccuracyDialog };

/// What to show: nothing (a message was shown or the user declined), a file
/// in a viewer or the editor, or the accuracy dialog.
struct ViewAction {
    ViewTarget target = ViewTarget::None;
    std::string file;
    std::optional<SimAccuracyDialog> accuracy;  ///< for `AccuracyDialog`
};

/// The file an item names for simulation `sim` of `run`, with the checks
/// that need no file access: the base-year and pre-policy messages, the
/// alternative-method accuracy case, the final-year case.  nullopt when a
/// message was shown (or the user cancelled the rational-expectations
/// question).
std::optional<std::string> yearItemFile(const ResultsContext& ctx, const YearItem& item, int run, int sim,
                                        Dialogs& dialogs);

/// "&View" of the individual-years group: the file of the item, then
/// "File <file> does not exist.", the warning "Can see no indication that
/// this run completed successfully." when the run has no record, or the
/// question whether to see a file that is not the one the record holds;
/// then what to show it in.
ViewAction viewYearFile(const ResultsContext& ctx, const YearItem& item, int run, int sim, Dialogs& dialogs);

/// True when an external header array viewer (`Gridlens`) can be found;
/// otherwise the window shows header array files in its own viewer.
bool gridlensAvailable(const ResultsContext& ctx);

/// Opens the action's file in the external program it names (the solution
/// viewer, `Gridlens`, the editor).  The accuracy dialog and `None` are the
/// caller's.  Returns true when a program was started.
bool openViewAction(const ViewAction& action, ResultsContext& ctx, Dialogs& dialogs, ProgramStarter& starter);

/// The analysis button of the individual-years group: only for a solution
/// file, which must have its ".slc" file beside it; starts `Probex` with the
/// solution file.
bool analyseYear(ResultsContext& ctx, const YearItem& item, int run, int sim, Dialogs& dialogs,
                 ProgramStarter& starter);

// ---------------------------------------------------------------------------
// All or some years.

/// The run choice of the all-years group (values as the runs, 4 = Differences).
enum class AllYearsRun { Base = 1, Rerun = 2, Policy = 3, Differences = 4 };

/// The enabled and checked state of the two style buttons.
struct AllYearsStyle {
    bool yearOnYearEnabled = true;
    bool yearOnYearChecked = true;
    bool cumulativeEnabled = true;
    bool cumulativeChecked = false;
};

/// Differences: cumulative checked and enabled, year-on-year enabled only
/// with "Make Year-on-Year Differences SS"; any other run: year-on-year
/// checked and enabled, cumulative disabled with "Do Abbreviated SS Jobs".
AllYearsStyle allYearsStyle(AllYearsRun run, bool yearOnYearDifferences, bool abbreviatedJobs);

/// "&Differences - Policy v Rerun" when the Base rerun is part of the
/// application, else "&Differences - Policy v Base".
std::string differencesCaption(bool rerunInApplication);
/// "&Graph/Outlens" when the solution viewer draws the graphs, else "&Graphs".
std::string graphsCaption(bool solutionViewerForGraphs);

/// One request of the all-years group.
struct AllYearsRequest {
    AllYearsRun run = AllYearsRun::Base;
    bool someYears = false;   ///< "&Some" (else "&All")
    bool cumulative = false;  ///< the style (else year-on-year)
};

/// The run whose files a request reads (Differences: the Policy).
int requestRun(AllYearsRun run);

/// The spreadsheet of the run, kind and style over the run's whole range,
/// in the Working Directory.
std::string allYearsSpreadsheetFile(const ResultsContext& ctx, const AllYearsRequest& req);
/// The record-of-runs key of that spreadsheet: "Output ss YOnY",
/// "Output ss cum", "Output diff YOnY" or "Output diff cum".
std::string spreadsheetRecordKey(const AllYearsRequest& req);

/// "&View" of the all-years group: the spreadsheet (picked among the
/// "-*.csv" files with "&Some"), checked against the record, opened in the
/// spreadsheet program of the options (asked for when none is set).
bool viewSpreadsheet(ResultsContext& ctx, const AllYearsRequest& req, Dialogs& dialogs,
                     ProgramStarter& starter);

/// The one-letter graph code: "d" Differences, "p" Policy, "b" Base and
/// Base rerun; upper case for cumulative.
char graphCode(AllYearsRun run, bool cumulative);
/// The solution viewer's argument: "#", the code and the sequence file.
std::string graphsArgument(AllYearsRun run, bool cumulative, const std::string& sequenceFile);
/// The sequence file of the run over its whole range (the Policy's serves
/// the Differences too).
std::string allYearsSequenceFile(const ResultsContext& ctx, const AllYearsRequest& req);

/// The sequence file "&Graphs" passes to the solution viewer: the run's, or
/// with "&Some" one the user picks among "*.seq" ("Are no files with names
/// ..." when there is none).  nullopt when nothing is to be shown.
std::optional<std::string> graphsSequenceFile(const ResultsContext& ctx, const AllYearsRequest& req,
                                              Dialogs& dialogs);
/// "&Graphs" with the solution viewer: starts `Outlens` with `graphsArgument`.
bool openGraphsInOutlens(ResultsContext& ctx, const AllYearsRequest& req, Dialogs& dialogs,
                         ProgramStarter& starter);

/// True when the solution viewer (`Outlens`) can be found: "&Graphs" then
/// starts it (`openGraphsInOutlens`); otherwise the window opens its own
/// results chart over `graphsChartSources` with `graphsChartRequest`.
bool outlensAvailable(const ResultsContext& ctx);
/// The spreadsheet files the chart reads.
ChartSources graphsChartSources(const ResultsContext& ctx);
/// The chart of a request: Differences as the Policy's deviations (bars);
/// a run as its lines with those of the runs before it (the Base alone,
/// the Base and its rerun, or all three), in the request's style.
ChartRequest graphsChartRequest(const ResultsContext& ctx, const AllYearsRequest& req);

/// What an analysis of cumulative results loads.
struct CumulativeAnalysis {
    int firstSim = 0, lastSim = 0;  ///< the simulations the RSL file covers
    std::string solutionFile;       ///< of the last simulation covered (its closure is shown)
    std::string coefficientsFile;   ///< its ".udc" when it exists, else its ".slc"
    std::string rslFile;
    std::string information;  ///< the message shown before starting
};

/// The RSL file of the request over the run's whole range.
std::string allYearsRslFile(const ResultsContext& ctx, const AllYearsRequest& req);
/// The simulations a picked RSL file covers, from its name: the run's RSL
/// name followed by "-<year>-<year>.rsl"; nullopt when the name is not of
/// that form or names years outside the run.
std::optional<std::pair<int, int>> rslFileRange(const ResultsContext& ctx, const AllYearsRequest& req,
                                                const std::string& file);
/// Works out the files and the information text (no checks, no messages).
CumulativeAnalysis describeCumulativeAnalysis(const ResultsContext& ctx, const AllYearsRequest& req,
                                              const std::string& rslFile, int firstSim, int lastSim);
/// The analysis button of the all-years group: picks the RSL file (with
/// "&Some"), shows the information, checks the three files and, with
/// "&All", the record; then starts `Probex` with the solution, coefficients
/// and RSL files.
bool analyseCumulative(ResultsContext& ctx, const AllYearsRequest& req, Dialogs& dialogs,
                       ProgramStarter& starter);

// ---------------------------------------------------------------------------
// Probex.

/// Where `Probex` was looked for.
struct ProbexLocation {
    std::string program;   ///< "" when not found
    std::string triedDir;  ///< the suite programs directory tried ("" none)
};
/// The configured path when that file exists; else "probex.exe" in the
/// directory of the suite's programs; else on the PATH; else in the fixed
/// suite folder.
ProbexLocation locateProbex(const ResultsContext& ctx);
/// "Cannot find Probex.\r\n[In <dir>,\r\non PATH or in <folder>]".
std::string probexNotFoundText(const ProbexLocation& where);
/// Opens a file with the spreadsheet program of the settings, asking for one
/// first when none is set ("Select Spreadsheet Program", kept in the
/// settings); a failed start shows "Failed to execute <PROGRAM>" with the
/// reason.  Used by the all-years "&View" and "S&preadsheet file...".
bool openInSpreadsheetProgram(ResultsContext& ctx, const std::string& file, Dialogs& dialogs,
                              ProgramStarter& starter);

/// "Which Probex to use": a file dialog titled "Select Probex to use" with
/// the filter "Probex Files (Probex.EXE)|Probex.exe", starting in the folder
/// of the program found now (or the program directory); the pick is stored
/// in the settings ("Probex") and confirmed.  False when cancelled.
[[nodiscard]] bool chooseProbexProgram(ResultsContext& ctx, Dialogs& dialogs);
/// Starts `Probex` with `args` in `workDir` ("/" when empty); shows the
/// not-found text or "Could not run \r\n<program>".
bool startProbex(const ResultsContext& ctx, const std::vector<std::string>& args, const std::string& workDir,
                 Dialogs& dialogs, ProgramStarter& starter);

}  // namespace vdln
