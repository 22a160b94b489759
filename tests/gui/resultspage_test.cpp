// The Results page wired to the results operations: the lists follow the
// application, the year view gives its messages, the choices of a finished
// job are applied, and "&Graphs" opens the results chart when no solution
// viewer is found.
#include <QComboBox>
#include <QPushButton>
#include <QRadioButton>

#include "charts/chartwindow.h"
#include "charts/resultschart.h"
#include "guifixture.h"

namespace vdln::gui::testing {
namespace {

class ResultsPageTest : public WindowTest {
protected:
    void setUpRecord() {
        TSimRecord& rec = session->rec();
        rec.StartYear = 2024;
        rec.NumYears = 3;
        for (int i = 1; i <= 3; ++i) rec.PeriodLength[i] = 1;
        rec.WorkDir = path("work");
        ComputeYears(rec);
        session->settings().Method.NSol = 3;
        session->settings().NoRerun = false;
        window->refreshPages();
    }
    QStringList texts(QComboBox* box) {
        QStringList t;
        for (int i = 0; i < box->count(); ++i) t << box->itemText(i);
        return t;
    }
};

TEST_F(ResultsPageTest, ListsFollowTheApplicationAndTheYearViewChecks) {
    open(fake);
    setUpRecord();
    auto* items = find<QComboBox>("resultsItem");
    auto* years = find<QComboBox>("resultsYear");
    ASSERT_GE(items->count(), 3);
    EXPECT_EQ(items->itemText(0), "Solution file");
    EXPECT_EQ(items->itemText(2), "Accuracy Summary");
    EXPECT_EQ(texts(years).first(), "2023 (base year)");
    EXPECT_EQ(texts(years).size(), 4);

    // The base year's solution file.
    items->setCurrentIndex(0);
    years->setCurrentIndex(0);
    dialogs.clear();
    find<QPushButton>("resultsIndividualView")->click();
    EXPECT_EQ(dialogs.lastMessage(), "There is no Solution file for the base year.");
    // A simulated year whose file is missing.
    years->setCurrentIndex(1);
    dialogs.clear();
    find<QPushButton>("resultsIndividualView")->click();
    EXPECT_EQ(dialogs.lastMessage(),
              "File " + SolutionFile(session->rec(), 1, 1, false) + " does not exist.");

    // Two solutions: no accuracy item; the selection stays on its year.
    session->settings().Method.NSol = 2;
    window->refreshPages();
    EXPECT_FALSE(texts(items).contains("Accuracy Summary"));
    EXPECT_EQ(years->currentIndex(), 1);
}

TEST_F(ResultsPageTest, DifferencesStyleAndGraphsChart) {
    open(fake);
    setUpRecord();
    session->settings().YonYDifferencesSs = false;
    QRadioButton* differences = nullptr;
    for (QRadioButton* b : window->findChildren<QRadioButton*>())
        if (b->text().startsWith("&Differences")) differences = b;
    ASSERT_NE(differences, nullptr);
    EXPECT_EQ(differences->text(), "&Differences - Policy v Rerun");
    differences->setChecked(true);
    QRadioButton* yony = nullptr;
    QRadioButton* cum = nullptr;
    for (QRadioButton* b : window->findChildren<QRadioButton*>()) {
        if (b->text() == "Year-o&n-year") yony = b;
        if (b->text() == "&Cumulative") cum = b;
    }
    ASSERT_TRUE(yony && cum);
    EXPECT_TRUE(cum->isChecked());
    EXPECT_FALSE(yony->isEnabled());

    // No solution viewer anywhere: the chart window opens (with the reason
    // nothing is drawn, as no job has run).
    find<QPushButton>("resultsAllGraphs")->click();
    ResultsChartWindow* chart = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* c = qobject_cast<ResultsChartWindow*>(w)) chart = c;
    ASSERT_NE(chart, nullptr);
    EXPECT_EQ(chart->request().mode, ChartMode::DeviationBars);
    EXPECT_TRUE(chart->request().cumulative);
    EXPECT_TRUE(chart->note().startsWith("There are no results to chart.")) << chart->note().toStdString();
    chart->close();
}

}  // namespace
}  // namespace vdln::gui::testing
