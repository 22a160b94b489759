#include "results/accdialogs.h"

#include <algorithm>
#include <utility>

#include "base/fileutil.h"
#include "model/simrecord.h"

namespace vdln {

namespace {

constexpr const char* kNoDataInfo = "Is no data summary in this case.";
constexpr const char* kNo3SolutionsInfo =
    "No accuracy summaries are available since you are not extrapolating from 3 separate solutions.";
constexpr const char* kWorstOnlyInfo =
    "Overall Accuracy information is not available here.\r\nWill show Accuracy Summaries for the WORST "
    "subinterval for each year of each run.";
constexpr const char* kAltMethodInfo =
    "You are using the alternative solution method for this year.\r\nThis does not extrapolate from 3 "
    "solutions so there is\r\n no Accuracy Summary information available for this year.";

size_t kindIndex(AccKind k) {
    return static_cast<size_t>(k);
}

std::vector<int> runsShown(const AccApplication& app) {
    if (app.noRerun) return {1, 3};
    return {1, 2, 3};
}

bool altNoSummary(const AccApplication& app, int i) {
    return i >= 0 && static_cast<size_t>(i) < app.altNoSummary.size() &&
           app.altNoSummary[static_cast<size_t>(i)];
}

int yearOf(const AccApplication& app, int i) {
    if (i >= 0 && static_cast<size_t>(i) < app.years.size()) return app.years[static_cast<size_t>(i)];
    return 0;
}

}  // namespace

// ---------------------------------------------------------------------------
// One simulation

SimAccuracyDialog::SimAccuracyDialog(AccSummary summary, std::string titlePrefix, int helpContext)
    : m_summary(std::move(summary)), m_prefix(std::move(titlePrefix)), m_help(helpContext) {
    m_entry = m_summary.overall ? m_summary.overallIndex : m_summary.worstEntry[0];
    if (m_entry < 1 || m_entry > m_summary.entryCount) m_entry = 1;
}

bool SimAccuracyDialog::hasAnyData() const {
    for (int e = 1; e <= m_summary.entryCount; ++e)
        if (m_summary.entry(e).data.present) return true;
    return false;
}

std::string SimAccuracyDialog::title() const {
    if (m_summary.isOverall(m_entry)) {
        if (!m_prefix.empty()) return m_prefix + ": Overall Accuracy Summary";
        if (m_summary.overallData) return "Overall Accuracy Summary";
        return "Overall Accuracy Summary (no corresponding summary for data)";
    }
    std::string n = std::to_string(m_entry);
    if (!m_prefix.empty())
        return severalEntries() ? m_prefix + ": Subinterval Number " + n : m_prefix + ": whole simulation";
    std::string t = severalEntries() ? "Accuracy Summary for Subinterval Number " + n
                                     : std::string("Accuracy Summary for whole simulation");
    return t + (m_tab == AccKind::Variables ? ": variables" : ": data");
}

std::vector<AccListRow> SimAccuracyDialog::rows() const {
    std::vector<AccListRow> out;
    bool several = severalEntries();
    for (int e = 1; e <= m_summary.entryCount; ++e) {
        const AccEntry& entry = m_summary.entry(e);
        AccListRow row;
        row.entry = e;
        bool isOverall = m_summary.isOverall(e);
        if (isOverall)
            row.label = "Overall";
        else if (several)
            row.label = "Subinterval " + std::to_string(e);
        auto gradeText = [&](AccKind k) {
            const AccPlaces& p = entry.part(k);
            std::string t = std::to_string(p.grade);
            if (several && !isOverall && m_summary.hasWorst(k) && m_summary.worstEntry[kindIndex(k)] == e)
                t += " worst";
            return t;
        };
        if (entry.variables.present) {
            row.variablesGrade = entry.variables.grade;
            row.variablesText = gradeText(AccKind::Variables);
        } else {
            row.variablesText = "-";
        }
        if (entry.data.present) {
            row.dataGrade = entry.data.grade;
            row.dataText = gradeText(AccKind::Data);
        } else {
            row.dataText = "-";
        }
        out.push_back(std::move(row));
    }
    return out;
}

std::array<AccBar, kMaxAccFigures + 1> SimAccuracyDialog::bars() const {
    const AccPlaces& p = m_summary.entry(m_entry).part(m_tab);
    std::int32_t longest = 0;
    for (std::int32_t c : p.counts) longest = std::max(longest, c);
    std::array<AccBar, kMaxAccFigures + 1> out;
    for (int f = 0; f <= kMaxAccFigures; ++f) {
        AccBar& b = out[static_cast<size_t>(f)];
        b.figures = f;
        b.count = p.counts[static_cast<size_t>(f)];
        b.length = longest > 0 ? static_cast<double>(b.count) / static_cast<double>(longest) : 0.0;
        b.countText = std::to_string(b.count);
    }
    return out;
}

std::optional<int> SimAccuracyDialog::selectedGrade() const {
    const AccPlaces& p = m_summary.entry(m_entry).part(m_tab);
    if (!p.present) return std::nullopt;
    return p.grade;
}

bool SimAccuracyDialog::moveToWorstData(Dialogs& dialogs) {
    if (!m_summary.hasWorst(AccKind::Data)) {
        dialogs.info(kNoDataInfo, m_help);
        return false;
    }
    m_entry = m_summary.worstEntry[kindIndex(AccKind::Data)];
    dialogs.info(
        "The Overall Accuracy Summary does not contain a summary for the data.\r\nWill show the worst "
        "subinterval for data accuracy\r\n which is subinterval number " +
            std::to_string(m_entry) + ".",
        m_help);
    return true;
}

void SimAccuracyDialog::selectEntry(int entry, Dialogs& dialogs) {
    if (entry < 1 || entry > m_summary.entryCount) return;
    m_entry = entry;
    if (m_tab == AccKind::Data && m_summary.isOverall(entry) && !m_summary.overallData) {
        if (!moveToWorstData(dialogs)) m_tab = AccKind::Variables;
    }
}

void SimAccuracyDialog::selectTab(AccKind tab, Dialogs& dialogs) {
    if (tab == m_tab) return;
    if (tab == AccKind::Variables) {
        m_tab = tab;
        return;
    }
    if (!hasAnyData()) {
        dialogs.info(kNoDataInfo, m_help);
        return;
    }
    if (m_summary.isOverall(m_entry) && !m_summary.overallData) {
        if (!moveToWorstData(dialogs)) return;
    }
    m_tab = AccKind::Data;
}

SimAccuracyDialog showSimulationSummary(const AccSummary& summary, const std::string& titlePrefix,
                                        int helpContext) {
    return SimAccuracyDialog(summary, titlePrefix, helpContext);
}

// ---------------------------------------------------------------------------
// The application

std::string accRunName(int run) {
    const std::string name = runName(run);
    return name.empty() ? "Run " + std::to_string(run) : name;
}

int accFirstYearOfRun(const AccApplication& app, int run) {
    return run == 1 ? 1 : std::max(1, app.firstPolicyYear);
}

int accYearRunEntry(const AccApplication& app, int i, int run) {
    int r = (app.noRerun && run == 3) ? 2 : run;
    return (r - 1) * app.numYears + i;
}

std::optional<SimAccuracyDialog> openYearAccuracySummary(const AccApplication& app, int i, int run,
                                                         Dialogs& dialogs) {
    if (i <= 0) {
        dialogs.info(std::string("There is no ") + "Accuracy Summary" + " for the base year.",
                     app.helpContext);
        return std::nullopt;
    }
    if (altNoSummary(app, i)) {
        dialogs.info(kAltMethodInfo, app.helpContext);
        return std::nullopt;
    }
    std::string log = app.logFile ? app.logFile(i, run) : std::string();
    AccSummary summary;
    Status s = GetAccSummary2(log, app.numUpdated, summary, 1, false, false);
    if (s && summary.entryCount < 1) s = Status::fail("No accuracy summary found in file \"" + log + "\"");
    if (!s) {
        dialogs.message(MsgKind::Error, "Could not make accuracy summary:\r\n" + s.message(), BtnOk | BtnHelp,
                        app.helpContext);
        return std::nullopt;
    }
    return SimAccuracyDialog(std::move(summary), accRunName(run) + ": Year " + std::to_string(yearOf(app, i)),
                             app.helpContext);
}

AppAccuracyDialog::AppAccuracyDialog(AccApplication app, AccSummary summary, bool overall)
    : m_app(std::move(app)), m_summary(std::move(summary)), m_overall(overall), m_runs(runsShown(m_app)) {}

std::string AppAccuracyDialog::title() const {
    if (!m_tabChosen)
        return m_overall ? "Overall Accuracy Summaries (each year of each run)"
                         : "Accuracy Summaries of WORST Subinterval (each year of each run)";
    std::string t =
        m_overall ? "Overall Accuracy Summaries for " : "Accuracy Summaries of WORST Subinterval for ";
    return t + (m_tab == AccKind::Variables ? "variables" : "data");
}

void AppAccuracyDialog::selectTab(AccKind tab) {
    m_tab = tab;
    m_tabChosen = true;
}

std::vector<std::string> AppAccuracyDialog::columnTitles() const {
    std::vector<std::string> out;
    for (int r : m_runs) out.push_back(accRunName(r));
    return out;
}

std::vector<std::string> AppAccuracyDialog::rowTitles() const {
    std::vector<std::string> out;
    for (int i = 1; i <= m_app.numYears; ++i) out.push_back(std::to_string(yearOf(m_app, i)));
    return out;
}

AccGridCell AppAccuracyDialog::cell(int i, int col, AccKind kind) const {
    AccGridCell c;
    if (col < 0 || static_cast<size_t>(col) >= m_runs.size() || i < 1 || i > m_app.numYears) return c;
    int run = m_runs[static_cast<size_t>(col)];
    if (i < accFirstYearOfRun(m_app, run)) return c;
    const AccPlaces& p = m_summary.entry(accYearRunEntry(m_app, i, run)).part(kind);
    if (!p.present) {
        c.state = AccGridCell::State::NotAvailable;
        c.text = AccTexts::kNotAvailable;
        return c;
    }
    c.state = AccGridCell::State::Grade;
    c.grade = p.grade;
    c.text = std::to_string(p.grade);
    c.faceHint = AccTexts::kFaceHint;
    c.numberHint = AccTexts::kNumberHint;
    return c;
}

AccGridCell AppAccuracyDialog::worstCell(int col, AccKind kind) const {
    AccGridCell worst;
    worst.state = AccGridCell::State::NotAvailable;
    worst.text = AccTexts::kNotAvailable;
    for (int i = 1; i <= m_app.numYears; ++i) {
        AccGridCell c = cell(i, col, kind);
        if (c.state != AccGridCell::State::Grade) continue;
        if (worst.state != AccGridCell::State::Grade || c.grade < worst.grade) {
            worst.state = AccGridCell::State::Grade;
            worst.grade = c.grade;
            worst.text = std::to_string(c.grade);
        }
    }
    return worst;
}

std::optional<SimAccuracyDialog> AppAccuracyDialog::openCell(int i, int col, Dialogs& dialogs) const {
    if (!cell(i, col).clickable()) return std::nullopt;
    return openYearAccuracySummary(m_app, i, m_runs[static_cast<size_t>(col)], dialogs);
}

std::optional<AppAccuracyDialog> makeApplicationSummaries(const AccApplication& app, Dialogs& dialogs) {
    if (app.numSolutions < 3) {
        dialogs.info(kNo3SolutionsInfo, app.helpContext);
        return std::nullopt;
    }
    auto failed = [&](const std::string& message) {
        dialogs.message(MsgKind::Error, "Could not make accuracy summaries:\r\n" + message, BtnOk | BtnHelp,
                        app.helpContext);
        return std::nullopt;
    };
    std::vector<int> runs = runsShown(app);
    if (app.numYears < 1) return failed("No years to summarise");
    int pairs = static_cast<int>(runs.size()) * app.numYears;
    if (pairs > kMaxAccEntries)
        return failed("Too many years for accuracy summaries: at most " + std::to_string(kMaxAccEntries) +
                      " year-run pairs can be shown, but this application has " + std::to_string(pairs) +
                      ".");
    auto logOf = [&](int i, int run) { return app.logFile ? app.logFile(i, run) : std::string(); };
    auto hasLog = [&](int i, int run) { return !altNoSummary(app, i) && fileExists(logOf(i, run)); };

    // Are overall summaries available?
    bool overall = false;
    if (app.subintervals <= 1 && !app.autoAccuracy) {
        overall = true;
    } else {
        for (int run : runs) {
            int first = accFirstYearOfRun(app, run);
            if (first > app.numYears || !hasLog(first, run)) continue;
            AccSummary probe;
            if (Status s = GetAccSummary2(logOf(first, run), app.numUpdated, probe, 1, false, false); !s)
                return failed(s.message());
            overall = probe.overall;
            break;
        }
    }

    AccSummary all;
    if (overall) {
        bool onlyOverall = app.subintervals > 1 || app.autoAccuracy;
        bool exactlyOne = app.subintervals <= 1;
        for (int run : runs) {
            for (int i = accFirstYearOfRun(app, run); i <= app.numYears; ++i) {
                if (!hasLog(i, run)) continue;
                int entry = accYearRunEntry(app, i, run);
                if (Status s =
                        GetAccSummary2(logOf(i, run), app.numUpdated, all, entry, onlyOverall, exactlyOne);
                    !s)
                    return failed(s.message());
            }
        }
    } else {
        dialogs.info(kWorstOnlyInfo, app.helpContext);
        for (int run : runs) {
            for (int i = accFirstYearOfRun(app, run); i <= app.numYears; ++i) {
                if (!hasLog(i, run)) continue;
                AccSummary one;
                if (Status s = GetAccSummary2(logOf(i, run), app.numUpdated, one, 1, false, false); !s)
                    return failed(s.message());
                AccEntry& target = all.entries[static_cast<size_t>(accYearRunEntry(app, i, run))];
                for (AccKind k : {AccKind::Variables, AccKind::Data})
                    if (one.hasWorst(k)) target.part(k) = one.entry(one.worstEntry[kindIndex(k)]).part(k);
            }
        }
    }
    all.entryCount = pairs;
    return AppAccuracyDialog(app, std::move(all), overall);
}

}  // namespace vdln
