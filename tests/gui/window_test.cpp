// The window's pages, grid, menus and options over a session with scripted
// dialogs.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableView>

#include "base/fileutil.h"
#include "gridmodel.h"
#include "guifixture.h"
#include "helpbrowser.h"
#include "model/optiontoggles.h"
#include "model/simgrid.h"
#include "qtdialogs.h"
#include "windowdialogs.h"

namespace vdln::gui::testing {
namespace {

TEST(WindowFonts, TheFontDatabaseHasFontsSoGrabsShowText) {
    EXPECT_FALSE(QFontDatabase::families().isEmpty());
}

TEST(WindowFilters, WindowsStyleFiltersBecomeQtFilters) {
    struct Case {
        std::string in;
        QString want;
    };
    const Case cases[] = {
        {"CSV Files (*.CSV)|*.csv", "CSV Files (*.csv *.CSV)"},
        {"Closure Files|*.CLS|All Files (*.*)|*.*", "Closure Files (*.CLS *.cls);;All Files (*.*)"},
        {"Data|*.har;*.txt", "Data (*.har *.HAR *.txt *.TXT)"},
        {"", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.in);
        EXPECT_EQ(convertFilter(c.in), c.want);
    }
    EXPECT_EQ(displayText("a\r\nb"), "a\nb");
    // Choosing a program also offers every file; other choosers do not.
    EXPECT_EQ(programFilter("EXE Files (*.EXE)|*.exe", false), "EXE Files (*.exe *.EXE);;All Files (*)");
    EXPECT_EQ(programFilter("EXE Files (*.EXE)|*.exe", true), "EXE Files (*.exe *.EXE)");
    EXPECT_EQ(programFilter("CSV Files (*.CSV)|*.csv", false), "CSV Files (*.csv *.CSV)");
    EXPECT_EQ(programFilter("Programs|*.exe|All Files (*.*)|*.*", false),
              "Programs (*.exe *.EXE);;All Files (*.*)");
}

TEST_F(WindowTest, SixPagesInOrderShowTheRecordAndEditsReachIt) {
    open(fake);
    QTabWidget* tabs = window->pages();
    const QStringList want{"Introduction",  "Model/Data", "Sim Overview",
                           "Closure/Shock", "Results",    "Other files"};
    ASSERT_EQ(tabs->count(), want.size());
    for (int i = 0; i < tabs->count(); ++i) EXPECT_EQ(tabs->tabText(i), want[i]);

    TSimRecord& rec = session->rec();
    rec.StartYear = 2030;
    rec.NumYears = 3;
    rec.SimNames[1] = "ABC";
    for (int i = 1; i <= 10; ++i) rec.PeriodLength[i] = 1;
    rec.WorkDir = path("work");
    ComputeYears(rec);
    window->refreshPages();
    EXPECT_EQ(find<QLabel>("modelLabel")->text(), "Model : (none selected)");
    EXPECT_EQ(find<QLineEdit>("simName1")->text(), "ABC");
    EXPECT_EQ(find<QLineEdit>("firstYear")->text(), "2030");
    EXPECT_EQ(find<QLabel>("firstYearNote")->text(), "(i.e., Start from data for year 2029)");
    EXPECT_EQ(find<QLabel>("numYearsNote")->text(), "(i.e., End with forecast for year 2032)");
    EXPECT_EQ(find<QLabel>("workDir")->text(), QString::fromStdString(path("work")));

    // Names are typed in lower case and kept in upper case, three at most.
    QLineEdit* name = find<QLineEdit>("simName3");
    name->selectAll();
    QTest::keyClicks(name, "xy9z");
    EXPECT_EQ(rec.SimNames[3].str(), "XY9");
    EXPECT_EQ(name->text(), "XY9");

    // Years: the derived labels and the record follow.
    QLineEdit* first = find<QLineEdit>("firstYear");
    first->selectAll();
    QTest::keyClicks(first, "2040");
    QTest::keyClick(first, Qt::Key_Return);
    QLineEdit* num = find<QLineEdit>("numYears");
    num->selectAll();
    QTest::keyClicks(num, "5");
    QTest::keyClick(num, Qt::Key_Return);
    EXPECT_EQ(rec.StartYear, 2040);
    EXPECT_EQ(rec.NumYears, 5);
    EXPECT_EQ(find<QLabel>("numYearsNote")->text(), "(i.e., End with forecast for year 2044)");
    EXPECT_EQ(window->gridModel()->rowCount(), 3 + 5);

    // A period of three years moves every later year by two.
    find<QComboBox>("period")->setCurrentIndex(1);
    find<QSpinBox>("periodLength")->setValue(3);
    EXPECT_EQ(rec.PeriodLength[2], 3);
    EXPECT_EQ(rec.Years[2], 2040 + 1 + 3 - 1);
    EXPECT_EQ(rec.Years[5], 2040 + 1 + 3 + 1 + 1 + 1 - 1);
    EXPECT_EQ(find<QLabel>("numYearsNote")->text(), "(i.e., End with forecast for year 2046)");

    find<QCheckBox>("notWinconsole")->setChecked(true);
    EXPECT_TRUE(session->settings().model.NotWinconsoleExe);
    find<QSpinBox>("reIterations1")->setValue(7);
    EXPECT_EQ(session->settings().re.BaseIterations, 7);
    find<QSpinBox>("policyStarts")->setValue(2);
    EXPECT_EQ(session->settings().re.PolicyStartYear, 2);

    // The Results page's controls are there for the results code.
    const ResultsPageControls& r = window->resultsPage();
    ASSERT_NE(r.allDifferences, nullptr);
    EXPECT_EQ(r.allDifferences->text(), "&Differences - Policy v Rerun");
    // The page compares what it shows with the record of runs, and says so.
    EXPECT_EQ(r.warning->text().toStdString().find("Warning: At present is no check"), std::string::npos);
    EXPECT_NE(r.warning->text().indexOf("last successful run"), -1);
}

TEST_F(WindowTest, GridIsRedForMissingFilesAndGreenForMissingConstituents) {
    open(fake);
    TSimRecord& rec = session->rec();
    rec.WorkDir = path("work");
    rec.NumYears = 2;
    ComputeYears(rec);
    vdln::testing::writeFile(path("work/GOOD.CLS"), "exogenous x;\r\nrest endogenous;\r\n");
    vdln::testing::writeFile(path("work/DANGLE.BSH"), "shock x = file absent.har;\r\n");
    for (int row = kGridCMFStartRow; row <= 2; ++row)
        for (int col = 1; col <= 4; ++col) rec.GridStem(row, col) = "";
    rec.GridStem(kGridCMFStartRow, kColBaseShocks) = "N/A";
    rec.GridStem(1, kColBaseClosure) = "GOOD";
    rec.GridStem(1, kColBaseShocks) = "DANGLE";
    rec.GridStem(2, kColBaseClosure) = "NOSUCH";
    rec.GridStem(2, kColBaseShocks) = "?";
    GridModel* m = window->gridModel();
    QSignalSpy ready(m, &GridModel::statesReady);
    m->reload();
    ASSERT_TRUE(ready.wait(10000));
    auto colour = [&](int row, int col) {
        return m->data(m->index(GridModel::modelRow(row), col), Qt::BackgroundRole).value<QBrush>().color();
    };
    auto text = [&](int row, int col) {
        return m->data(m->index(GridModel::modelRow(row), col), Qt::DisplayRole).toString();
    };
    EXPECT_EQ(colour(2, kColBaseClosure), GridModel::missingColour());
    EXPECT_EQ(colour(1, kColBaseShocks), GridModel::constituentColour());
    EXPECT_NE(colour(1, kColBaseClosure), GridModel::missingColour());
    EXPECT_NE(colour(1, kColBaseClosure), GridModel::constituentColour());
    EXPECT_EQ(text(1, kColBaseClosure), "GOOD.CLS");
    EXPECT_EQ(text(2, kColBaseShocks), "common");
    EXPECT_EQ(text(2, kColPolicyShocks), "none");
    EXPECT_EQ(text(kGridCMFStartRow, kColBaseShocks), "N/A");
    EXPECT_EQ(m->data(m->index(0, 1), Qt::DisplayRole).toString(),
              QString::fromStdString(GridPatternText(rec, kColBaseClosure)));

    // Typing into a cell reaches the record; the missing constituent appears
    // and the cell turns green.
    ready.clear();
    vdln::testing::writeFile(path("work/absent.har"), "");
    ASSERT_TRUE(m->setData(m->index(GridModel::modelRow(2), kColBaseClosure), "good", Qt::EditRole));
    EXPECT_EQ(rec.GridStem(2, kColBaseClosure).str(), "GOOD");
    ASSERT_TRUE(ready.wait(10000));
    EXPECT_NE(colour(2, kColBaseClosure), GridModel::missingColour());
    EXPECT_NE(colour(1, kColBaseShocks), GridModel::constituentColour());
    ASSERT_TRUE(m->setData(m->index(GridModel::modelRow(2), kColPolicyClosure), "none", Qt::EditRole));
    EXPECT_EQ(rec.GridStem(2, kColPolicyClosure).str(), "");
    // The N/A cell of the CMFStart row cannot be edited.
    EXPECT_FALSE(
        m->setData(m->index(GridModel::modelRow(kGridCMFStartRow), kColBaseShocks), "X", Qt::EditRole));

    // Follow Pattern and As Previous on a block of year rows.
    QTableView* view = window->gridView();
    view->clearSelection();
    view->selectionModel()->select(
        QItemSelection(m->index(GridModel::modelRow(1), 3), m->index(GridModel::modelRow(2), 4)),
        QItemSelectionModel::Select);
    find<QPushButton>("followPattern")->click();
    for (int row = 1; row <= 2; ++row) {
        SCOPED_TRACE(row);
        const std::string stem = rec.SimNames[3].str() + "P" + std::to_string(rec.Years[row]);
        EXPECT_EQ(rec.GridStem(row, 3).str(), stem);
        EXPECT_EQ(rec.GridStem(row, 4).str(), stem);
    }
    rec.GridStem(1, 1) = "FIRST";
    view->clearSelection();
    view->selectionModel()->select(
        QItemSelection(m->index(GridModel::modelRow(2), 1), m->index(GridModel::modelRow(2), 1)),
        QItemSelectionModel::Select);
    find<QPushButton>("asPrevious")->click();
    EXPECT_EQ(rec.GridStem(2, 1).str(), "FIRST");

    // The pop-up menus carry their items.
    QStringList cellItems, yearItems;
    for (QAction* a : window->gridCellMenu()->actions())
        if (!a->isSeparator()) cellItems << a->text();
    for (QAction* a : window->yearMenu()->actions()) yearItems << a->text();
    EXPECT_EQ(cellItems, QStringList({"&Select one", "C&ommon", "&None", "&Edit", "Check &Files Named Here",
                                      "Check &Closure", "Check Closure, Save Environment File",
                                      "Check Closure and S&hocks", "Edit Files in Selected Cells", "&Help"}));
    EXPECT_EQ(yearItems.size(), 7);
    // The year pop-up marks a year for the alternative method.
    window->setGridMenuCell(2, 0);
    for (QAction* a : window->yearMenu()->actions())
        if (a->text() == "Use the alternative solution method for THIS year") a->trigger();
    EXPECT_TRUE(rec.AltMethodYears[2]);
    EXPECT_TRUE(rec.AltMethodInUse);
    EXPECT_EQ(m->data(m->index(GridModel::modelRow(2), 0), Qt::DisplayRole).toString(),
              QString::number(rec.Years[2]) + "*");
}

TEST_F(WindowTest, OptionTogglesShowTheirCheckMarkAndConfirm) {
    open(fake);
    ProgramSettings& st = session->settings();
    QAction* fewer = window->action("&Options", "Fewer Messages and Questions");
    ASSERT_NE(fewer, nullptr);
    window->refreshMenus();
    EXPECT_FALSE(fewer->isChecked());
    fewer->trigger();
    EXPECT_TRUE(st.FewerMessages);
    EXPECT_TRUE(fewer->isChecked());
    EXPECT_EQ(dialogs.lastMessage(), optionConfirmation(OptionCommand::FewerMessages, st));

    // The pair of rerun items: one checked, the checked one refuses.
    QAction* doRerun = window->action("Run Preferences", "Do Rerun Base Case with &Policy Closures");
    QAction* noRerun = window->action("Run Preferences", "Do &Not Rerun Base Case with Policy Closures");
    ASSERT_TRUE(doRerun && noRerun);
    doRerun->trigger();
    EXPECT_FALSE(st.NoRerun);
    EXPECT_EQ(dialogs.lastMessage(),
              "This option is already checked. If you wish to change this option,\r\n please "
              "select the other option [Do Not Rerun Base Case with Policy Closures].");
    noRerun->trigger();
    EXPECT_TRUE(st.NoRerun);
    EXPECT_TRUE(noRerun->isChecked());
    EXPECT_FALSE(doRerun->isChecked());
    // The Tasks captions follow the rerun option; rerun commands are disabled.
    QAction* all = window->action("&Tasks", "Run Base to Policy");
    ASSERT_NE(all, nullptr);
    EXPECT_EQ(all->text(), "Run Base and Policy");
    EXPECT_FALSE(window->action("&Tasks", "Do Base and Base Rerun")->isEnabled());
    noRerun->trigger();
    doRerun->trigger();
    EXPECT_FALSE(st.NoRerun);
    EXPECT_EQ(all->text(), "Run Base, Base Rerun and Policy");
    EXPECT_TRUE(window->action("&Tasks", "Do Base and Base Rerun")->isEnabled());

    // The three-way group of outputs before a run.
    QAction* del = window->action("Move/Delete Outputs Before Run ?", "Delete");
    QAction* move = window->action("Move/Delete Outputs Before Run ?", "Move to Subdirectory");
    ASSERT_TRUE(del && move);
    EXPECT_TRUE(del->isChecked());
    del->trigger();
    EXPECT_EQ(dialogs.lastMessage(),
              "This option is already checked. If you wish to change this option,\r\n please "
              "select one of the other two options [Move or Do Neither].");
    move->trigger();
    EXPECT_EQ(st.Outputs, OutputsBeforeRun::Move);
    EXPECT_TRUE(move->isChecked());
    EXPECT_FALSE(del->isChecked());

    // Concurrency: the check mark moves with the command.
    QAction* two = window->action("Run Preferences", "Allow 2 Concurrent Solves");
    QAction* one = window->action("Run Preferences", "Just One Solve (no. 1)");
    two->trigger();
    EXPECT_EQ(st.ConcurrentSolves, 2);
    EXPECT_TRUE(two->isChecked());
    EXPECT_FALSE(one->isChecked());
    EXPECT_EQ(dialogs.lastMessage(), "Allowing two concurrent solves.");
}

TEST_F(WindowTest, HelpPagesAndAbout) {
    open(fake);
    window->pages()->setCurrentIndex(PageClosureShock);
    window->action("&Help", "Current &Page")->trigger();
    ASSERT_NE(window->helpBrowser(), nullptr);
    EXPECT_EQ(window->helpBrowser()->currentTopic(), "page:Closure/Shock");
    window->action("&Help", "What's &New")->trigger();
    EXPECT_EQ(window->helpBrowser()->currentTopic(), "whatsnew");
    EXPECT_TRUE(changeLogText().startsWith("Vardelon"));
    for (const char* page :
         {"Introduction", "Model/Data", "Sim Overview", "Closure/Shock", "Results", "Other files"})
        EXPECT_EQ(helpTopic(QString("page:") + page).id, QString("page:") + page);
    const std::string diag = diagnosticsText(*session);
    for (const std::string& part :
         {std::string("Temporary Directory: ") + session->dirs().tempDir,
          std::string("Keep Directory: ") + session->dirs().keepDir, std::string("SVKEEP = ") + path("keep"),
          std::string("Operating system: "), std::string("Computer: ")})
        EXPECT_NE(diag.find(part), std::string::npos) << part;
}

}  // namespace
}  // namespace vdln::gui::testing
