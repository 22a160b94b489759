#include "results/accdialogs.h"

#include <gtest/gtest.h>

#include <map>

#include "doubles/scripteddialogs.h"
#include "results/acclog.h"
#include "support/tempdir.h"

namespace vdln {
namespace {

using testing::AccLogBuilder;
using testing::Counts;

const Counts k60 = {0, 0, 0, 0, 0, 0, 10};  // grade 10
const Counts k45 = {0, 0, 0, 0, 5, 5, 0};   // grade 5
const Counts k50 = {0, 0, 0, 0, 0, 10, 0};  // grade 6
const Counts k30 = {0, 0, 0, 10, 0, 0, 0};  // grade 3
const Counts k33 = {0, 0, 2, 3, 5, 0, 0};   // grade 4
const Counts kBars = {0, 0, 0, 5, 20, 10, 0};

class AccDialogTest : public vdln::testing::TempDirTest {
protected:
    AccSummary read(const AccLogBuilder& b, int u) {
        std::string p = path("sim.log");
        vdln::testing::writeFile(p, b.text());
        AccSummary s;
        Status st = GetAccSummary2(p, u, s, 1, false, false);
        EXPECT_TRUE(st) << st.message();
        return s;
    }
    ScriptedDialogs dialogs;
};

TEST_F(AccDialogTest, SeveralSubintervalsWithOverallOpenOnOverall) {
    AccLogBuilder b;
    b.variables(k60).dataOneFile(k45).variables(k30).dataOneFile(k60).variables(kBars).dataOneFile(k45);
    b.overallVariables(k50).dataOneFile(k33).line("");
    SimAccuracyDialog d = showSimulationSummary(read(b, 1), "", 77);
    EXPECT_EQ(d.caption(), " Accuracy Summary");
    EXPECT_EQ(d.selectedEntry(), 4);
    EXPECT_EQ(d.title(), "Overall Accuracy Summary");
    EXPECT_EQ(d.helpContext(), 77);

    std::vector<AccListRow> rows = d.rows();
    ASSERT_EQ(rows.size(), 4u);
    struct Expect {
        const char* label;
        const char* var;
        const char* data;
    };
    const Expect expect[] = {
        {"Subinterval 1", "10", "5 worst"},
        {"Subinterval 2", "3 worst", "10"},
        {"Subinterval 3", "5", "5"},
        {"Overall", "6", "4"},
    };
    for (size_t i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(rows[i].entry, static_cast<int>(i + 1));
        EXPECT_EQ(rows[i].label, expect[i].label);
        EXPECT_EQ(rows[i].variablesText, expect[i].var);
        EXPECT_EQ(rows[i].dataText, expect[i].data);
    }
    EXPECT_EQ(rows[1].variablesGrade, 3);

    d.selectEntry(3, dialogs);
    EXPECT_EQ(d.title(), "Accuracy Summary for Subinterval Number 3: variables");
    auto bars = d.bars();
    const double lengths[] = {0, 0, 0, 0.25, 1.0, 0.5, 0};
    for (int f = 0; f <= 6; ++f) {
        SCOPED_TRACE(f);
        EXPECT_EQ(bars[f].figures, f);
        EXPECT_DOUBLE_EQ(bars[f].length, lengths[f]);
        EXPECT_EQ(bars[f].countText, std::to_string(kBars[f]));
    }
    EXPECT_EQ(d.selectedGrade(), 5);
    d.selectTab(AccKind::Data, dialogs);
    EXPECT_EQ(d.tab(), AccKind::Data);
    EXPECT_EQ(d.title(), "Accuracy Summary for Subinterval Number 3: data");
    EXPECT_EQ(d.bars()[6].length, 0.0);
    EXPECT_DOUBLE_EQ(d.bars()[5].length, 1.0);
    d.selectEntry(9, dialogs);  // out of range: ignored
    EXPECT_EQ(d.selectedEntry(), 3);
    EXPECT_TRUE(dialogs.messages().empty());
}

TEST_F(AccDialogTest, OverallWithoutDataMovesToWorstDataEntry) {
    AccLogBuilder b;
    b.variables(k60).dataAll(k60).variables(k45).dataAll(k30).overallVariables(k50).line("");
    SimAccuracyDialog d = showSimulationSummary(read(b, 2), "Policy: Year 2026", 5);
    EXPECT_EQ(d.selectedEntry(), 3);
    EXPECT_EQ(d.title(), "Policy: Year 2026: Overall Accuracy Summary");
    EXPECT_EQ(d.rows()[2].dataText, "-");
    EXPECT_FALSE(d.rows()[2].dataGrade.has_value());

    d.selectTab(AccKind::Data, dialogs);
    EXPECT_EQ(d.tab(), AccKind::Data);
    EXPECT_EQ(d.selectedEntry(), 2);
    EXPECT_EQ(dialogs.lastMessage(),
              "The Overall Accuracy Summary does not contain a summary for the data.\r\nWill show the worst "
              "subinterval for data accuracy\r\n which is subinterval number 2.");
    EXPECT_EQ(d.title(), "Policy: Year 2026: Subinterval Number 2");

    // Choosing the overall entry again while on the data tab does the same.
    dialogs.clear();
    d.selectEntry(3, dialogs);
    EXPECT_EQ(d.selectedEntry(), 2);
    EXPECT_EQ(dialogs.messages().size(), 1u);

    d.selectTab(AccKind::Variables, dialogs);
    d.selectEntry(3, dialogs);
    EXPECT_EQ(d.selectedEntry(), 3);
    EXPECT_EQ(d.tab(), AccKind::Variables);

    // Without a prefix the title tells that the data part is missing.
    SimAccuracyDialog plain = showSimulationSummary(d.summary(), "", 0);
    EXPECT_EQ(plain.title(), "Overall Accuracy Summary (no corresponding summary for data)");
}

TEST_F(AccDialogTest, NoDataAtAllKeepsTheTab) {
    AccLogBuilder b;
    b.variables(k60).variables(k45).line("");
    SimAccuracyDialog d = showSimulationSummary(read(b, 0), "", 0);
    EXPECT_EQ(d.selectedEntry(), 2);  // the worst variables entry
    EXPECT_EQ(d.rows()[1].variablesText, "5 worst");
    EXPECT_EQ(d.rows()[0].dataText, "-");
    d.selectTab(AccKind::Data, dialogs);
    EXPECT_EQ(d.tab(), AccKind::Variables);
    EXPECT_EQ(dialogs.lastMessage(), "Is no data summary in this case.");
}

TEST_F(AccDialogTest, OneEntryHasNoLabelsAndNoWorstMarks) {
    AccLogBuilder b;
    b.variables(k45).dataOneFile(k30).line("");
    SimAccuracyDialog d = showSimulationSummary(read(b, 1), "", 0);
    ASSERT_EQ(d.rows().size(), 1u);
    EXPECT_EQ(d.rows()[0].label, "");
    EXPECT_EQ(d.rows()[0].variablesText, "5");
    EXPECT_EQ(d.rows()[0].dataText, "3");
    EXPECT_EQ(d.title(), "Accuracy Summary for whole simulation: variables");
    SimAccuracyDialog p = showSimulationSummary(d.summary(), "Base: Year 2024", 0);
    EXPECT_EQ(p.title(), "Base: Year 2024: whole simulation");
}

// ---------------------------------------------------------------------------
// The application grid

class AppAccTest : public vdln::testing::TempDirTest {
protected:
    AccApplication app(int numYears, bool noRerun, int firstPolicy) {
        AccApplication a;
        a.numYears = numYears;
        for (int i = 0; i <= numYears; ++i) a.years.push_back(2023 + i);
        a.noRerun = noRerun;
        a.firstPolicyYear = firstPolicy;
        a.numSolutions = 3;
        a.subintervals = 1;
        a.numUpdated = 1;
        a.helpContext = 12;
        std::string d = dir();
        a.logFile = [d](int i, int run) {
            return d + "/r" + std::to_string(run) + "y" + std::to_string(i) + ".log";
        };
        return a;
    }
    void writeLog(const AccApplication& a, int i, int run, const AccLogBuilder& b) {
        vdln::testing::writeFile(a.logFile(i, run), b.text());
    }
    static AccLogBuilder one(const Counts& var, const Counts& data) {
        AccLogBuilder b;
        b.variables(var).dataOneFile(data).line("");
        return b;
    }
    ScriptedDialogs dialogs;
};

TEST_F(AppAccTest, FewerThanThreeSolutionsOnlyInforms) {
    AccApplication a = app(3, false, 2);
    a.numSolutions = 2;
    EXPECT_FALSE(makeApplicationSummaries(a, dialogs));
    EXPECT_EQ(dialogs.messages(),
              std::vector<std::string>{"No accuracy summaries are available since you are "
                                       "not extrapolating from 3 separate solutions."});
}

TEST_F(AppAccTest, OneSubintervalGridWithMissingYearsAndWorstRows) {
    AccApplication a = app(4, false, 2);
    writeLog(a, 1, 1, one(k60, k45));
    writeLog(a, 2, 1, one(k30, k60));
    writeLog(a, 4, 1, one(k45, k33));
    writeLog(a, 1, 2, one(k30, k30));  // before the run's first year: not read
    writeLog(a, 2, 2, one(k50, k50));
    writeLog(a, 3, 3, one(k33, k60));
    std::optional<AppAccuracyDialog> d = makeApplicationSummaries(a, dialogs);
    ASSERT_TRUE(d);
    EXPECT_TRUE(dialogs.messages().empty());
    EXPECT_TRUE(d->overall());
    EXPECT_EQ(d->caption(), "Accuracy Summaries");
    EXPECT_EQ(d->title(), "Overall Accuracy Summaries (each year of each run)");
    EXPECT_EQ(d->columnTitles(), (std::vector<std::string>{"Base", "Rerun", "Policy"}));
    EXPECT_EQ(d->rowTitles(), (std::vector<std::string>{"2024", "2025", "2026", "2027"}));
    EXPECT_EQ(d->legend(), "Numbers: [ 0 = Least Accurate, 10 = Most Accurate ] ");

    // Variables grid, row by row (years), column by column (runs).
    const char* vars[4][3] = {
        {"10", "", ""},
        {"3", "6", "N/A"},
        {"N/A", "N/A", "4"},
        {"5", "N/A", "N/A"},
    };
    const char* data[4][3] = {
        {"5", "", ""},
        {"10", "6", "N/A"},
        {"N/A", "N/A", "10"},
        {"4", "N/A", "N/A"},
    };
    for (int i = 1; i <= 4; ++i) {
        for (int c = 0; c < 3; ++c) {
            SCOPED_TRACE(std::to_string(i) + "/" + std::to_string(c));
            AccGridCell v = d->cell(i, c, AccKind::Variables);
            EXPECT_EQ(v.text, vars[i - 1][c]);
            EXPECT_EQ(d->cell(i, c, AccKind::Data).text, data[i - 1][c]);
            EXPECT_EQ(v.clickable(), v.state == AccGridCell::State::Grade);
            if (v.clickable()) {
                EXPECT_EQ(v.faceHint, "Click on face to see details");
                EXPECT_EQ(v.numberHint, "Click on number to see details");
            }
        }
    }
    EXPECT_EQ(d->worstRowTitles()[0], "V");
    EXPECT_EQ(d->worstCell(0, AccKind::Variables).text, "3");
    EXPECT_EQ(d->worstCell(0, AccKind::Data).text, "4");
    EXPECT_EQ(d->worstCell(1, AccKind::Variables).text, "6");
    EXPECT_EQ(d->worstCell(2, AccKind::Data).text, "10");

    d->selectTab(AccKind::Data);
    EXPECT_EQ(d->title(), "Overall Accuracy Summaries for data");
    EXPECT_EQ(d->cell(1, 0).text, "5");
    d->selectTab(AccKind::Variables);
    EXPECT_EQ(d->title(), "Overall Accuracy Summaries for variables");

    // A click opens that year's simulation dialog.
    std::optional<SimAccuracyDialog> s = d->openCell(2, 1, dialogs);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->title(), "Rerun: Year 2025: whole simulation");
    EXPECT_EQ(s->helpContext(), 12);
    EXPECT_FALSE(d->openCell(3, 0, dialogs));  // N/A
    EXPECT_FALSE(d->openCell(1, 2, dialogs));  // blank
}

TEST_F(AppAccTest, NoRerunPolicyEntriesFollowTheBase) {
    AccApplication a = app(3, true, 1);
    EXPECT_EQ(accYearRunEntry(a, 2, 1), 2);
    EXPECT_EQ(accYearRunEntry(a, 2, 3), 5);
    AccApplication withRerun = app(3, false, 1);
    EXPECT_EQ(accYearRunEntry(withRerun, 2, 2), 5);
    EXPECT_EQ(accYearRunEntry(withRerun, 2, 3), 8);

    writeLog(a, 1, 3, one(k30, k45));
    writeLog(a, 3, 1, one(k60, k60));
    writeLog(a, 1, 2, one(k45, k45));  // run 2 is not used
    std::optional<AppAccuracyDialog> d = makeApplicationSummaries(a, dialogs);
    ASSERT_TRUE(d);
    EXPECT_EQ(d->runs(), (std::vector<int>{1, 3}));
    EXPECT_EQ(d->columnTitles(), (std::vector<std::string>{"Base", "Policy"}));
    EXPECT_TRUE(d->summary().entry(4).variables.present);
    EXPECT_EQ(d->summary().entry(4).variables.grade, 3);
    EXPECT_EQ(d->summary().entry(3).variables.grade, 10);
    EXPECT_EQ(d->cell(1, 1).text, "3");
    EXPECT_EQ(d->cell(3, 0).text, "10");
    EXPECT_EQ(d->cell(1, 0).text, "N/A");
}

TEST_F(AppAccTest, SeveralSubintervalsWithOverallReadOnlyTheOverall) {
    AccApplication a = app(2, false, 1);
    a.subintervals = 3;
    AccLogBuilder b;
    b.variables(k30).dataOneFile(k30).variables(k45).dataOneFile(k45).overallVariables(k50).dataOneFile(k60);
    b.line("");
    writeLog(a, 1, 1, b);
    writeLog(a, 2, 3, b);
    std::optional<AppAccuracyDialog> d = makeApplicationSummaries(a, dialogs);
    ASSERT_TRUE(d);
    EXPECT_TRUE(d->overall());
    EXPECT_EQ(d->cell(1, 0).text, "6");
    EXPECT_EQ(d->cell(1, 0, AccKind::Data).text, "10");
    EXPECT_EQ(d->cell(2, 2).text, "6");
    EXPECT_EQ(d->cell(2, 1).text, "N/A");
    EXPECT_TRUE(dialogs.messages().empty());
}

TEST_F(AppAccTest, WithoutOverallTheWorstSubintervalsAreShown) {
    AccApplication a = app(2, false, 2);
    a.autoAccuracy = true;
    AccLogBuilder b;
    b.variables(k60).dataOneFile(k33).variables(k45).dataOneFile(k60).line("");
    writeLog(a, 1, 1, b);
    writeLog(a, 2, 3, one(k50, k50));
    std::optional<AppAccuracyDialog> d = makeApplicationSummaries(a, dialogs);
    ASSERT_TRUE(d);
    EXPECT_FALSE(d->overall());
    EXPECT_EQ(
        dialogs.messages(),
        std::vector<std::string>{"Overall Accuracy information is not available here.\r\nWill show Accuracy "
                                 "Summaries for the WORST subinterval for each year of each run."});
    EXPECT_EQ(d->title(), "Accuracy Summaries of WORST Subinterval (each year of each run)");
    EXPECT_EQ(d->cell(1, 0).text, "5");                 // subinterval 2
    EXPECT_EQ(d->cell(1, 0, AccKind::Data).text, "4");  // subinterval 1
    EXPECT_EQ(d->cell(2, 2).text, "6");
    d->selectTab(AccKind::Data);
    EXPECT_EQ(d->title(), "Accuracy Summaries of WORST Subinterval for data");
}

TEST_F(AppAccTest, ReadFailuresAreShownAndNoDialogOpens) {
    AccApplication a = app(2, false, 1);
    a.numUpdated = 0;
    AccLogBuilder b;
    b.variables(k60).variables(k45).line("");  // two subintervals where one is expected
    writeLog(a, 2, 2, b);
    EXPECT_FALSE(makeApplicationSummaries(a, dialogs));
    ASSERT_EQ(dialogs.records().size(), 1u);
    EXPECT_EQ(dialogs.records()[0].kind, MsgKind::Error);
    EXPECT_EQ(dialogs.records()[0].buttons, BtnOk | BtnHelp);
    EXPECT_EQ(dialogs.records()[0].helpContext, 12);
    EXPECT_EQ(dialogs.lastMessage(),
              "Could not make accuracy summaries:\r\nExpected just one subinterval, "
              "but found more[GetAccSummary2]");

    // Too many year-run pairs for one summary record.
    AccApplication big = app(101, false, 1);
    dialogs.clear();
    EXPECT_FALSE(makeApplicationSummaries(big, dialogs));
    EXPECT_EQ(dialogs.lastMessage().rfind("Could not make accuracy summaries:\r\nToo many years", 0), 0u);
    AccApplication fits = app(150, true, 1);
    dialogs.clear();
    EXPECT_TRUE(makeApplicationSummaries(fits, dialogs));
}

TEST_F(AppAccTest, OneYearSummaryMessages) {
    AccApplication a = app(3, false, 1);
    a.altNoSummary = {false, false, true, false};
    EXPECT_FALSE(openYearAccuracySummary(a, 0, 1, dialogs));
    EXPECT_EQ(dialogs.lastMessage(), "There is no Accuracy Summary for the base year.");
    EXPECT_FALSE(openYearAccuracySummary(a, 2, 1, dialogs));
    EXPECT_EQ(
        dialogs.lastMessage(),
        "You are using the alternative solution method for this year.\r\nThis does not extrapolate from 3 "
        "solutions so there is\r\n no Accuracy Summary information available for this year.");
    EXPECT_FALSE(openYearAccuracySummary(a, 3, 1, dialogs));
    EXPECT_EQ(dialogs.lastMessage(), "Could not make accuracy summary:\r\nFile \"" + a.logFile(3, 1) +
                                         "\" not found[GetAccSummary2]");
    writeLog(a, 3, 1, AccLogBuilder().line("no summary here"));
    EXPECT_FALSE(openYearAccuracySummary(a, 3, 1, dialogs));
    EXPECT_EQ(
        dialogs.lastMessage(),
        "Could not make accuracy summary:\r\nNo accuracy summary found in file \"" + a.logFile(3, 1) + "\"");
    writeLog(a, 3, 1, one(k45, k60));
    std::optional<SimAccuracyDialog> s = openYearAccuracySummary(a, 3, 1, dialogs);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->title(), "Base: Year 2026: whole simulation");
    EXPECT_EQ(s->rows()[0].dataText, "10");
}

}  // namespace
}  // namespace vdln
