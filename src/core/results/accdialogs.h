#pragma once
/// The two accuracy-summary dialogs as data: the summary of one simulation
/// (a list of subintervals, bars per figures value for the selected entry)
/// and the grid of every year of every run.  These classes hold the state
/// of the dialogs and produce every text, bar and grid cell they show; a
/// window only draws them and forwards clicks.  Messages go through
/// `Dialogs`.

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "base/dialogs.h"
#include "results/accsummary.h"

namespace vdln {

/// One bar of the simulation dialog: the results accurate to `figures`.
struct AccBar {
    int figures = 0;
    std::int32_t count = 0;
    /// Length relative to the longest bar, 0..1 (0 when nothing counted).
    double length = 0;
    /// The count as printed beside the bar.
    std::string countText;
};

/// One line of the entry list of the simulation dialog.
struct AccListRow {
    int entry = 0;
    /// "Overall", "Subinterval <n>", or "" when the simulation has one entry.
    std::string label;
    /// Grade shown as a face, or nullopt when there is no such part.
    std::optional<int> variablesGrade;
    /// The grade as a number, followed by " worst" on the worst entry.
    std::string variablesText;
    std::optional<int> dataGrade;
    /// As `variablesText`; "-" when the entry has no data part.
    std::string dataText;
};

/// Fixed texts of both dialogs.
struct AccTexts {
    static constexpr const char* kVariablesTab = "Variables";
    static constexpr const char* kDataTab = "Data";
    static constexpr const char* kLeastAccurate = "Least accurate";
    static constexpr const char* kMostAccurate = "Most accurate";
    static constexpr const char* kSimCaption = " Accuracy Summary";
    static constexpr const char* kAppCaption = "Accuracy Summaries";
    static constexpr const char* kFaceHint = "Click on face to see details";
    static constexpr const char* kNumberHint = "Click on number to see details";
    static constexpr const char* kLegend = "Numbers: [ 0 = Least Accurate, 10 = Most Accurate ] ";
    static constexpr const char* kNotAvailable = "N/A";
};

/// The dialog of one simulation's summary.  It opens on the overall entry
/// when there is one, else on the worst variables entry, on the variables
/// tab.
class SimAccuracyDialog {
public:
    SimAccuracyDialog(AccSummary summary, std::string titlePrefix, int helpContext);

    /// The window caption, " Accuracy Summary".
    std::string caption() const { return AccTexts::kSimCaption; }
    /// The title for the selected entry and tab.
    std::string title() const;
    /// The tab captions, "Variables" and "Data".
    std::array<std::string, 2> tabCaptions() const { return {AccTexts::kVariablesTab, AccTexts::kDataTab}; }
    AccKind tab() const { return m_tab; }
    int selectedEntry() const { return m_entry; }
    /// The entry list, one row per entry in order.
    std::vector<AccListRow> rows() const;
    /// The bars of figures 0..6 for the selected entry and tab.
    std::array<AccBar, kMaxAccFigures + 1> bars() const;
    /// The grade of the selected entry and tab (the face to highlight among
    /// the faces 0..10), nullopt when the part is missing.
    std::optional<int> selectedGrade() const;
    int helpContext() const { return m_help; }
    const AccSummary& summary() const { return m_summary; }

    /// Selects an entry of the list (1..entry count; others are ignored).
    /// On the data tab the overall entry without a data part is replaced by
    /// the worst data entry, with an information message.
    void selectEntry(int entry, Dialogs& dialogs);
    /// Switches tab.  The data tab on an overall entry without data moves to
    /// the worst data entry (information message); with no data summary at
    /// all the tab does not change ("Is no data summary in this case.").
    void selectTab(AccKind tab, Dialogs& dialogs);

private:
    bool hasAnyData() const;
    bool severalEntries() const { return m_summary.entryCount > 1; }
    /// Moves to the worst data entry from an overall entry without data;
    /// false (and a message) when there is no data summary at all.
    [[nodiscard]] bool moveToWorstData(Dialogs& dialogs);

    AccSummary m_summary;
    std::string m_prefix;
    int m_help = 0;
    int m_entry = 1;
    AccKind m_tab = AccKind::Variables;
};

/// Builds the simulation dialog for a summary read by `GetAccSummary2`
/// (entries from 1).  The title prefix may be empty.
SimAccuracyDialog showSimulationSummary(const AccSummary& summary, const std::string& titlePrefix,
                                        int helpContext);

/// What the accuracy summaries of an application need to know about it.
struct AccApplication {
    int numYears = 0;
    /// years[i]: calendar year of simulation i, i = 0..numYears.
    std::vector<int> years;
    bool noRerun = false;
    /// First simulation of runs 2 and 3.
    int firstPolicyYear = 1;
    /// Number of solutions the solution method extrapolates from.
    int numSolutions = 3;
    /// Subintervals of the solution method (those of the automatic accuracy
    /// settings when automatic accuracy is on).
    int subintervals = 1;
    bool autoAccuracy = false;
    /// u: the number of updated data files.
    int numUpdated = 0;
    /// altNoSummary[i]: simulation i is solved with the alternative solution
    /// method, which does not extrapolate from 3 solutions.
    std::vector<bool> altNoSummary;
    /// The simulation log of simulation i of run r.
    std::function<std::string(int i, int run)> logFile;
    /// Help context of the messages and dialogs.
    int helpContext = 0;
};

/// The name of a run as used in titles: "Base", "Rerun", "Policy".
std::string accRunName(int run);
/// The first simulation of a run: 1 for the Base, the first policy year otherwise.
int accFirstYearOfRun(const AccApplication& app, int run);
/// The entry of a year-run pair: (r' - 1) x numYears + i, where r' is the
/// run, except that in no-rerun mode the Policy uses r' = 2.
int accYearRunEntry(const AccApplication& app, int i, int run);

/// Opens the summary of simulation i of a run: the base year (i <= 0) and
/// a year solved with the alternative method only give information; else
/// the log is read (entries from 1) and a failure is shown as "Could not
/// make accuracy summary:\r\n" + message (error, OK and Help).  The title
/// prefix is the run name + ": Year " + the year.  nullopt when nothing is
/// to be shown.
std::optional<SimAccuracyDialog> openYearAccuracySummary(const AccApplication& app, int i, int run,
                                                         Dialogs& dialogs);

/// One cell of the application grid.
struct AccGridCell {
    enum class State { Blank, NotAvailable, Grade };
    State state = State::Blank;
    int grade = 0;
    /// The grade as a number, "N/A", or "" (before the run's first year).
    std::string text;
    /// Hints of the face and of the number (only for a grade).
    std::string faceHint;
    std::string numberHint;
    bool clickable() const { return state == State::Grade; }
};

/// The dialog with the grid of every year of every run.
class AppAccuracyDialog {
public:
    AppAccuracyDialog(AccApplication app, AccSummary summary, bool overall);

    std::string caption() const { return AccTexts::kAppCaption; }
    /// "Overall Accuracy Summaries (each year of each run)" or "Accuracy
    /// Summaries of WORST Subinterval (each year of each run)" until a tab
    /// is chosen, then "... for variables" / "... for data".
    std::string title() const;
    std::array<std::string, 2> tabCaptions() const { return {AccTexts::kVariablesTab, AccTexts::kDataTab}; }
    AccKind tab() const { return m_tab; }
    void selectTab(AccKind tab);
    bool overall() const { return m_overall; }

    /// The runs shown, one per column (1, 2, 3; 1, 3 in no-rerun mode).
    const std::vector<int>& runs() const { return m_runs; }
    /// Column captions (run names).
    std::vector<std::string> columnTitles() const;
    /// Row captions: the calendar years of simulations 1..numYears.
    std::vector<std::string> rowTitles() const;
    int rowCount() const { return m_app.numYears; }
    /// The cell of simulation i (1..numYears) in column `col` for the
    /// current tab, or for the given kind.
    AccGridCell cell(int i, int col) const { return cell(i, col, m_tab); }
    AccGridCell cell(int i, int col, AccKind kind) const;
    /// Captions of the two rows below the grid, "V" and "D".
    std::array<std::string, 2> worstRowTitles() const { return {"V", "D"}; }
    /// The worst grade of a column's years for a kind ("V" row: variables,
    /// "D" row: data); "N/A" when the run has no summary of that kind.
    AccGridCell worstCell(int col, AccKind kind) const;
    std::string legend() const { return AccTexts::kLegend; }
    const AccSummary& summary() const { return m_summary; }

    /// A click on the face or number of a cell: opens the simulation dialog
    /// of that year and run (nullopt for a cell without a grade, or when the
    /// log cannot be read, which is then shown).
    std::optional<SimAccuracyDialog> openCell(int i, int col, Dialogs& dialogs) const;

private:
    AccApplication m_app;
    AccSummary m_summary;
    bool m_overall = false;
    bool m_tabChosen = false;
    AccKind m_tab = AccKind::Variables;
    std::vector<int> m_runs;
};

/// The "Accuracy Summaries" command: reads the logs of every year of every
/// run and builds the grid dialog.  Shows, through `dialogs`, the
/// information when the method does not extrapolate from 3 solutions, the
/// information when only the worst subintervals can be shown, and failures
/// as "Could not make accuracy summaries:\r\n" + message (error, OK and
/// Help).  nullopt when no dialog is to be shown.
std::optional<AppAccuracyDialog> makeApplicationSummaries(const AccApplication& app, Dialogs& dialogs);

}  // namespace vdln
