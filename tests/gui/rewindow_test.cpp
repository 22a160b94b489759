// The "&Rational Expectations" menu of the window: its items and check
// marks, the Sim Overview page's Rerun-count rule and policy-start label,
// and a whole iterating job of the "growthre" demonstration run from the
// menu with the real programs, its convergence reports, the convergence
// chart (against values computed here from the model's equations) and the
// convergence-file viewers.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <cmath>
#include <filesystem>

#include "base/fileutil.h"
#include "charts/convergencewindow.h"
#include "guifixture.h"
#include "support/growthremodel.h"
#include "support/testpaths.h"

namespace vdln::gui::testing {
namespace {

QStringList captions(QMenu* m) {
    QStringList out;
    for (QAction* a : m->actions())
        if (!a->isSeparator()) out << a->text();
    return out;
}

TEST_F(WindowTest, RationalExpectationsMenuHasTheItemsInOrderAndItsOptionsToggle) {
    open(fake);
    // Between the Tasks and the View menus.
    QStringList bar;
    for (QAction* a : window->menuBar()->actions()) bar << a->text();
    const int at = static_cast<int>(bar.indexOf("&Rational Expectations"));
    ASSERT_GE(at, 1) << bar.join("|").toStdString();
    EXPECT_EQ(bar[at - 1], "&Tasks");
    EXPECT_EQ(bar[at + 1], "&View");

    QMenu* re = window->menu("Rational Expectations");
    ASSERT_NE(re, nullptr);
    const QStringList want{"Help about Rational Expectations menu",
                           "Run Base to Policy",
                           "Do Base and Base Rerun",
                           "Rerun Base and Run Policy",
                           "Base - Do Extra Iterations",
                           "Rerun of Base - Do Extra Iterations",
                           "Policy - Do Extra Iterations",
                           "Create Convergence HAR Files",
                           "View Convergence HAR File",
                           "Preserve Convergence ROREXT Files",
                           "View Convergence ROREXT File",
                           "Preserve Convergence CSV Files",
                           "View Convergence CSV File",
                           "Carry out Standard KORALE Checks",
                           "TAB File Allows Several Iterations on Rerun",
                           "Iterations Done",
                           "Show Convergence Reports",
                           "Convergence Chart"};
    EXPECT_EQ(captions(re), want);
    for (const char* v :
         {"View Convergence HAR File", "View Convergence ROREXT File", "View Convergence CSV File"})
        EXPECT_EQ(captions(window->menu(v)), (QStringList{"Base", "Rerun", "Policy"})) << v;

    // Each option flips its setting and shows it as a check mark.
    struct Opt {
        const char* caption;
        bool RESettings::*field;
    };
    const Opt opts[] = {{"Create Convergence HAR Files", &RESettings::ConvergenceHar},
                        {"Preserve Convergence ROREXT Files", &RESettings::ConvergenceRorext},
                        {"Preserve Convergence CSV Files", &RESettings::ConvergenceCsv},
                        {"Carry out Standard KORALE Checks", &RESettings::StandardChecks},
                        {"TAB File Allows Several Iterations on Rerun", &RESettings::SeveralRerunIterations}};
    for (const Opt& o : opts) {
        SCOPED_TRACE(o.caption);
        QAction* a = window->action("&Rational Expectations", o.caption);
        ASSERT_NE(a, nullptr);
        const bool before = session->settings().re.*o.field;
        window->refreshMenus();
        EXPECT_EQ(a->isChecked(), before);
        a->trigger();
        EXPECT_EQ(session->settings().re.*o.field, !before);
        EXPECT_EQ(a->isChecked(), !before);
    }

    // The rerun items follow no-rerun mode; the menu follows "Hide".
    session->settings().NoRerun = true;
    window->refreshMenus();
    EXPECT_FALSE(window->action("&Rational Expectations", "Do Base and Base Rerun")->isEnabled());
    EXPECT_FALSE(
        window->action("&Rational Expectations", "Rerun of Base - Do Extra Iterations")->isEnabled());
    EXPECT_TRUE(window->action("&Rational Expectations", "Policy - Do Extra Iterations")->isEnabled());
    session->settings().NoRerun = false;
    session->settings().re.HideRE = true;
    window->refreshMenus();
    EXPECT_FALSE(re->menuAction()->isVisible());
    session->settings().re.HideRE = false;
    window->refreshMenus();
    EXPECT_TRUE(re->menuAction()->isVisible());

    // Nothing to chart or report before any iterating job.
    window->action("&Rational Expectations", "Convergence Chart")->trigger();
    QWidget* chartWindow = window->findChild<QWidget*>("convergenceChartWindow");
    ASSERT_NE(chartWindow, nullptr);
    EXPECT_EQ(convergenceChartOf(chartWindow), nullptr);
    EXPECT_NE(chartWindow->findChild<QLabel*>("convergenceChartEmpty"), nullptr);
    chartWindow->close();
    window->action("&Rational Expectations", "Show Convergence Reports")->trigger();
    EXPECT_EQ(
        dialogs.lastMessage(),
        "There is no convergence report yet: a run needs at least 3 iterations in a job that finished.");
}

TEST_F(WindowTest, RerunCountRuleAndPolicyStartLabelOnTheSimOverviewPage) {
    open(fake);
    session->settings().re.SeveralRerunIterations = false;
    window->refreshPages();
    auto* rerun = find<QSpinBox>("reIterations2");
    ASSERT_NE(rerun, nullptr);
    rerun->setValue(3);
    EXPECT_EQ(dialogs.lastMessage(), "Only one iteration is allowed for the Base Rerun.");
    EXPECT_EQ(rerun->value(), 1);
    EXPECT_EQ(session->settings().re.RerunIterations, 1);
    // With the TAB file option several rerun iterations stay.
    window->action("&Rational Expectations", "TAB File Allows Several Iterations on Rerun")->trigger();
    dialogs.clear();
    rerun->setValue(3);
    EXPECT_TRUE(dialogs.messages().empty()) << dialogs.lastMessage();
    EXPECT_EQ(session->settings().re.RerunIterations, 3);
    // Switching the option off brings the count back to 1, with the message.
    window->action("&Rational Expectations", "TAB File Allows Several Iterations on Rerun")->trigger();
    EXPECT_EQ(dialogs.lastMessage(), "Only one iteration is allowed for the Base Rerun.");
    EXPECT_EQ(session->settings().re.RerunIterations, 1);

    auto* label = find<QLabel>("policyStartLabel");
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text(), "  years before first Policy shock  ");
    find<QCheckBox>("doingRe")->setChecked(true);
    EXPECT_TRUE(label->text().startsWith("  periods before first Policy shock"))
        << label->text().toStdString();
    find<QCheckBox>("doingRe")->setChecked(false);
    EXPECT_EQ(label->text(), "  years before first Policy shock  ");
}

// ---------------------------------------------------------------------------
// The demonstration "growthre" from the menu.

class ReWindowJob : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        app = path("app");
        for (const char* program : {"/vardelon-demo", "/growth.exe"})
            ASSERT_TRUE(fileExists(kBin + program)) << kBin + program << " is not built";
        const std::string cmd =
            kBin + "/vardelon-demo " + app + " growthre > " + path("demo-out.txt") + " 2>&1";
        ASSERT_EQ(std::system(cmd.c_str()), 0) << vdln::testing::readFile(path("demo-out.txt"));
        open(real);
        ASSERT_TRUE(session->loadDetails(app + "/growthre.ds1")) << dialogs.lastMessage();
        // A short job: Base 3, Rerun 1, Policy 3 iterations.
        RESettings& re = session->settings().re;
        ASSERT_TRUE(re.DoingRE) << "the demo checks the box";
        re.BaseIterations = 3;
        re.RerunIterations = 1;
        re.PolicyIterations = 3;
        window->refreshPages();
        window->refreshMenus();
        dialogs.clear();
    }
    bool jobEnds(int ms) {
        return waitFor([&] { return !session->jobRunning(); }, ms);
    }
    QString reportOf(const QString& run) {
        for (QDialog* d : window->findChildren<QDialog*>("convergenceOverview"))
            if (d->windowTitle() == "Convergence Overview for " + run)
                if (auto* t = d->findChild<QPlainTextEdit*>("convergenceReport")) return t->toPlainText();
        return {};
    }
    std::string app;
};

// The largest |RORG(n) - RORG(n-1)| over the run's years and industries.
double largestChange(const growthre_model::Pass& before, const growthre_model::Pass& after, int first) {
    double m = 0;
    for (int y = first; y <= growthre_model::kYears; ++y)
        for (int i = 0; i < 3; ++i)
            m = std::max(m, std::fabs(static_cast<double>(after.rorg[i][static_cast<size_t>(y)]) -
                                      before.rorg[i][static_cast<size_t>(y)]));
    return m;
}

TEST_F(ReWindowJob, RunBaseToPolicyFromTheMenuIteratesReportsAndCharts) {
    window->action("&Rational Expectations", "Run Base to Policy")->trigger();
    ASSERT_TRUE(session->jobRunning()) << dialogs.lastMessage();
    EXPECT_TRUE(session->holdsJobLocks());
    // While it runs nothing else starts, from this menu either.
    EXPECT_FALSE(window->action("&Rational Expectations", "Base - Do Extra Iterations")->isEnabled());
    ASSERT_TRUE(jobEnds(240000)) << "the job did not end";
    ASSERT_EQ(session->jobs().engine().outcome(), JobOutcome::Finished) << dialogs.lastMessage();
    EXPECT_FALSE(session->holdsJobLocks()) << "the locks are given up at the end of the job";
    const auto msgs = dialogs.messages();
    EXPECT_NE(std::find(msgs.begin(), msgs.end(), "Doing Rational Expectations a la KORALE."), msgs.end());

    // The reports of the Base and the Policy (3 iterations each; the Rerun
    // has one and no report), with the counts the equations give.
    const growthre_model::Demo d(3, 1, 3);
    struct Want {
        QString run;
        const std::vector<growthre_model::Pass>* passes;
        int first;
    };
    for (const Want& w : {Want{"Base", &d.base, 1}, Want{"Policy", &d.policy, 2}}) {
        SCOPED_TRACE(w.run.toStdString());
        const QString text = reportOf(w.run);
        ASSERT_FALSE(text.isEmpty()) << "no overview window";
        const growthre_model::Counts c = growthre_model::countsOf(*w.passes, w.first);
        EXPECT_TRUE(text.startsWith("Convergence report after 3 iterations of the " + w.run + "."));
        EXPECT_TRUE(text.contains(QString("There are %1 IND*YEAR pairs.").arg(c.pairs)));
        EXPECT_TRUE(text.contains(QString("Number apparently not converging is %1.").arg(c.notConverging)));
        EXPECT_TRUE(
            text.contains(QString("Number not monotonic over last 3 iterations is %1.").arg(c.notMonotonic)));
        EXPECT_TRUE(
            text.endsWith("Check the Convergence HAR file etc to see more detail about convergence."));
    }
    EXPECT_TRUE(reportOf("Rerun").isEmpty());
    for (QDialog* d : window->findChildren<QDialog*>("convergenceOverview"))
        if (d->windowTitle() == "Convergence Overview for Policy") {
            ASSERT_TRUE(QDir().mkpath(QString::fromStdString(vdln::testing::testScreenshotDir())));
            EXPECT_TRUE(d->grab().save(QString::fromStdString(vdln::testing::testScreenshotDir()) +
                                       "/convergence-overview.png"));
        }

    // The chart: the largest change per iteration of each run that has one.
    window->action("&Rational Expectations", "Convergence Chart")->trigger();
    QWidget* w = window->findChild<QWidget*>("convergenceChartWindow");
    ASSERT_NE(w, nullptr);
    const ConvergenceChart* chart = convergenceChartOf(w);
    ASSERT_NE(chart, nullptr);
    EXPECT_TRUE(chart->logScale());
    ASSERT_EQ(chart->seriesNames(), (QStringList{"Base", "Policy"}));
    const std::vector<QPointF> base = chart->seriesPoints(0), policy = chart->seriesPoints(1);
    ASSERT_EQ(base.size(), 2u);
    ASSERT_EQ(policy.size(), 2u);
    for (int n = 2; n <= 3; ++n) {
        SCOPED_TRACE(n);
        const auto k = static_cast<size_t>(n - 2);
        EXPECT_EQ(base[k].x(), n);
        EXPECT_NEAR(base[k].y(), largestChange(d.base[k], d.base[k + 1], 1), 2e-6);
        EXPECT_EQ(policy[k].x(), n);
        EXPECT_NEAR(policy[k].y(), largestChange(d.policy[k], d.policy[k + 1], 2), 2e-6);
        EXPECT_GE(base[k].y(), chart->axisMin());
        EXPECT_LE(base[k].y(), chart->axisMax());
    }
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(vdln::testing::testScreenshotDir())));
    QString error;
    EXPECT_TRUE(chart->savePng(
        QString::fromStdString(vdln::testing::testScreenshotDir()) + "/convergence-chart.png", &error))
        << error.toStdString();

    // A session that ran no job finds the same series in the preserved
    // files, as far as the runs' ITER files count.
    KoraleRE fresh(REContext{session->rec(),
                             session->settings(),
                             dialogs,
                             clock,
                             session->dirs().tempDir,
                             [this] { return session->jobs().engine().firstPolicyYear(); },
                             {}});
    const auto again = convergenceSeriesOf(fresh, session->settings());
    EXPECT_TRUE(again[2].empty()) << "one Rerun iteration has no change";
    ASSERT_EQ(again[1].size(), 2u);
    ASSERT_EQ(again[3].size(), 2u);
    for (size_t k = 0; k < 2; ++k) {
        EXPECT_EQ(again[1][k].iteration, base[k].x());
        EXPECT_DOUBLE_EQ(again[1][k].change, base[k].y());
        EXPECT_DOUBLE_EQ(again[3][k].change, policy[k].y());
    }

    // "Iterations Done" reads the runs' ITER files.
    window->action("&Rational Expectations", "Iterations Done")->trigger();
    EXPECT_EQ(dialogs.lastMessage(),
              "Base: 3 iterations done (the Sim Overview page asks for 3).\r\n"
              "Rerun: 1 iteration done (the Sim Overview page asks for 1).\r\n"
              "Policy: 3 iterations done (the Sim Overview page asks for 3).\r\n");

    // Nothing left to do for the Base; with one more asked, it confirms and
    // continues with iteration 4.
    window->action("&Rational Expectations", "Base - Do Extra Iterations")->trigger();
    EXPECT_EQ(
        dialogs.lastMessage(),
        "You have done 3 iterations.\r\nThe Sim Overview page indicates that you wish to do a total of 3 "
        "iterations.\r\nThis leaves no iterations to do.\r\nPlease adjust the Sim Overview page if you "
        "want to do more iterations.");
    EXPECT_FALSE(session->jobRunning());
    find<QSpinBox>("reIterations1")->setValue(4);
    dialogs.queueButton(BtnOk);
    window->action("&Rational Expectations", "Base - Do Extra Iterations")->trigger();
    ASSERT_TRUE(session->jobRunning()) << dialogs.lastMessage();
    EXPECT_EQ(session->re().startIteration(1), 4);
    ASSERT_TRUE(jobEnds(120000));
    ASSERT_EQ(session->jobs().engine().outcome(), JobOutcome::Finished) << dialogs.lastMessage();
    EXPECT_TRUE(fileExists(session->re().preservedRorextName(1, 4)));
}

TEST_F(ReWindowJob, ConvergenceFileViewersAndIterationInputQuestions) {
    // Before any iteration: no such files, each viewer says so.
    window->action("View Convergence HAR File", "Base")->trigger();
    EXPECT_EQ(dialogs.lastMessage(),
              "Convergence HAR Files for the Base are of the form \r\n   BS1B_iter*.har\r\nThere are no such "
              "files.");
    // Viewing the prepared ROREXT file of the first-year list asks first.
    QListWidget* list = find<QListWidget>("firstYearList");
    int row = -1;
    for (int i = 0; i < list->count(); ++i)
        if (list->item(i)->text().startsWith("File ROREXT")) row = i;
    ASSERT_GE(row, 0);
    list->setCurrentRow(row);
    QAction* view = nullptr;
    for (QAction* a : window->dataListMenu()->actions())
        if (a->text() == "&View this file") view = a;
    ASSERT_NE(view, nullptr);
    dialogs.queueButton(BtnNo);  // "otherwise click No": nothing is shown
    view->trigger();
    ASSERT_FALSE(dialogs.records().empty());
    EXPECT_EQ(dialogs.records().back().kind, MsgKind::Confirmation);
    EXPECT_NE(dialogs.lastMessage().find("It looks as if you have not yet run any interations of the Base."),
              std::string::npos)
        << dialogs.lastMessage();

    // After a job the Base's convergence files are offered in the Working Directory.
    window->action("&Rational Expectations", "Run Base to Policy")->trigger();
    ASSERT_TRUE(jobEnds(240000));
    ASSERT_EQ(session->jobs().engine().outcome(), JobOutcome::Finished) << dialogs.lastMessage();
    dialogs.clear();
    dialogs.queueCancel();
    window->action("View Convergence HAR File", "Base")->trigger();
    ASSERT_FALSE(dialogs.records().empty());
    const DialogRecord& r = dialogs.records().back();
    EXPECT_EQ(r.type, DialogRecord::Type::File);
    EXPECT_EQ(r.file.title, "Select Convergence HAR File");
    EXPECT_EQ(r.file.filter, "Conv. HAR Files (BS1B_iter*.har)|BS1B_iter*.har");
    EXPECT_EQ(r.file.initialDir, session->rec().WorkDir);
    // Now the start copy exists: the question offers it.
    dialogs.clear();
    dialogs.queueButton(BtnYes);
    list->setCurrentRow(row);  // the list was shown again at the end of the job
    view->trigger();
    ASSERT_FALSE(dialogs.records().empty());
    const std::string question = dialogs.records().front().text;
    EXPECT_NE(question.find("used by Vardelon when you ran the FIRST iteration of the Base."),
              std::string::npos)
        << question;
    EXPECT_NE(question.find(session->re().startCopyName(1, "ROREXT", 1)), std::string::npos) << question;

    // The Results page offers the first year's ROREXT input of the Base in
    // the version the next iteration reads, or its start copy.
    const ResultsPageControls& rp = window->resultsPage();
    rp.individualBase->setChecked(true);
    window->refreshPages();
    const int item = rp.individualItem->findText("ROREXT");
    ASSERT_GE(item, 0);
    rp.individualItem->setCurrentIndex(item);
    rp.individualYear->setCurrentIndex(0);  // the base year: the first year's input
    dialogs.clear();
    dialogs.queueButton(BtnNo);
    rp.individualView->click();
    ASSERT_FALSE(dialogs.records().empty());
    const std::string offer = dialogs.records().front().text;
    EXPECT_TRUE(offer.rfind("This file is input into the first year of the Base.\r\n", 0) == 0) << offer;
    EXPECT_NE(offer.find(session->re().generatedLastYearFile(1, "ROREXT") +
                         "\r\nwhich WOULD be used if you did an EXTRA iteration of the Base"),
              std::string::npos)
        << offer;
    EXPECT_NE(offer.find(session->re().startCopyName(1, "ROREXT", 1) +
                         "\r\nwhich WAS used in the FIRST iteration of the Base."),
              std::string::npos)
        << offer;
}

}  // namespace
}  // namespace vdln::gui::testing
