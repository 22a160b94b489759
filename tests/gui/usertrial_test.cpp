// The demo as a new user meets it, with no external viewer, editor or
// spreadsheet program installed: a whole job run from the window, every
// item of the Results page, the chart, the built-in viewer on a result file,
// and a broken input file.  The pictures go to the screenshot folder.
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QTimer>
#include <filesystem>

#include "base/fileutil.h"
#include "charts/chartwindow.h"
#include "guifixture.h"
#include "support/testpaths.h"
#include "viewer/harviewer.h"

namespace vdln::gui::testing {
namespace {

class UserTrialTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        app = path("app");
        if (!writeDemo(app)) GTEST_SKIP() << "the demonstration suite is not built";
    }
    QRadioButton* radio(const QString& text) {
        for (QRadioButton* b : window->findChildren<QRadioButton*>())
            if (b->text() == text) return b;
        ADD_FAILURE() << text.toStdString();
        return nullptr;
    }
    /// The visible top-level windows of a class, newest last.
    template <class W>
    std::vector<W*> windowsOf() {
        std::vector<W*> out;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* x = qobject_cast<W*>(w); x && x->isVisible()) out.push_back(x);
        return out;
    }
    std::vector<QWidget*> textViewers() {
        std::vector<QWidget*> out;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->objectName() == "textViewer" && w->isVisible()) out.push_back(w);
        return out;
    }
    void closeAll() {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w != window.get() && w->isVisible()) w->close();
        QTest::qWait(20);
    }
    void saveShot(QWidget* w, const QString& name) {
        const QString folder = QString::fromStdString(vdln::testing::testScreenshotDir());
        ASSERT_TRUE(QDir().mkpath(folder));
        EXPECT_TRUE(w->grab().save(folder + "/" + name)) << name.toStdString();
    }
    std::string app;
};

TEST_F(UserTrialTest, TheDemoRunsFromTheWindowAndEveryResultOpensWithoutExternalPrograms) {
    open(real);
    ASSERT_TRUE(session->loadDetails(app + "/growth.ds1")) << dialogs.lastMessage();
    window->refreshPages();
    window->refreshMenus();
    // The accuracy dialogs are modal: each is noted, pictured and closed.
    QStringList modalTitles;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (QWidget* w = QApplication::activeModalWidget()) {
            if (modalTitles.isEmpty()) saveShot(w, "accuracy-summary.png");
            modalTitles << w->windowTitle();
            w->close();
        }
    });
    closer.start(200);

    window->panelButton("Run &All")->click();
    ASSERT_TRUE(waitFor([&] { return !session->jobRunning(); }, 240000));
    ASSERT_EQ(session->jobs().engine().outcome(), JobOutcome::Finished) << dialogs.lastMessage();
    window->pages()->setCurrentIndex(PageResults);
    window->resize(1100, 720);
    QTest::qWait(50);
    saveShot(window.get(), "page-5-results-after-run.png");

    // One simulated year of each run: every item opens in a window of the
    // program's own, with no message.
    auto* items = find<QComboBox>("resultsItem");
    auto* years = find<QComboBox>("resultsYear");
    for (const char* run : {"Bas&e  ", "Base Rer&un ", "P&olicy  "}) {
        radio(run)->setChecked(true);
        years->setCurrentIndex(years->count() - 1);
        for (int i = 0; i < items->count(); ++i) {
            items->setCurrentIndex(i);
            const std::string what = std::string(run) + " " + items->itemText(i).toStdString();
            SCOPED_TRACE(what);
            dialogs.clear();
            const size_t viewers = windowsOf<HarViewer>().size(), texts = textViewers().size();
            const int modals = static_cast<int>(modalTitles.size());
            find<QPushButton>("resultsIndividualView")->click();
            QTest::qWait(20);
            EXPECT_TRUE(dialogs.messages().empty()) << dialogs.lastMessage();
            const QString item = items->itemText(i);
            if (item == "Accuracy Summary")
                EXPECT_EQ(modalTitles.size(), modals + 1);
            else if (item == "Log file" || item == "SUMMARY")
                EXPECT_EQ(textViewers().size(), texts + 1);
            else
                EXPECT_EQ(windowsOf<HarViewer>().size(), viewers + 1);
        }
    }
    ASSERT_FALSE(textViewers().empty());
    saveShot(textViewers().back(), "text-viewer.png");
    closeAll();

    // The cumulative results as a chart, with data: nothing missing.
    radio("&Policy")->setChecked(true);
    radio("&Cumulative")->setChecked(true);
    dialogs.clear();
    find<QPushButton>("resultsAllGraphs")->click();
    ASSERT_EQ(windowsOf<ResultsChartWindow>().size(), 1u);
    EXPECT_TRUE(windowsOf<ResultsChartWindow>()[0]->note().isEmpty())
        << windowsOf<ResultsChartWindow>()[0]->note().toStdString();
    EXPECT_TRUE(dialogs.messages().empty()) << dialogs.lastMessage();
    // The application's accuracy summaries.
    const int modals = static_cast<int>(modalTitles.size());
    find<QPushButton>("resultsAllAccuracy")->click();
    EXPECT_EQ(modalTitles.size(), modals + 1);
    closeAll();

    // The built-in viewer on the Policy's cumulative results file.
    std::string rsl;
    for (const auto& e : std::filesystem::directory_iterator(app))
        if (e.path().filename() == "BS1B-BR1R-PL1P-ssc.rsl") rsl = e.path().string();
    ASSERT_FALSE(rsl.empty());
    dialogs.clear();
    dialogs.queueText(rsl);
    window->action("&View", "&Header Array file...")->trigger();
    ASSERT_EQ(windowsOf<HarViewer>().size(), 1u);
    EXPECT_EQ(windowsOf<HarViewer>()[0]->fileName().toStdString(), rsl);
    EXPECT_GT(windowsOf<HarViewer>()[0]->headerListView()->model()->rowCount(), 0);
    closeAll();

    // A broken shock file: the job stops at that year with the program's
    // reason, and the log opens in the program's own text viewer.
    vdln::testing::writeFile(app + "/B2026.BSH", "shock x = uniform two ;\r\n");
    dialogs.clear();
    window->panelButton("Run &All")->click();
    ASSERT_TRUE(waitFor([&] { return !session->jobRunning(); }, 240000));
    EXPECT_NE(session->jobs().engine().outcome(), JobOutcome::Finished);
    bool reasonShown = false;
    for (const std::string& m : dialogs.messages())
        reasonShown |= m.find("Malformed number \"two\"") != std::string::npos;
    EXPECT_TRUE(reasonShown) << dialogs.lastMessage();
    ASSERT_EQ(textViewers().size(), 1u);
    auto* log = textViewers()[0]->findChild<QPlainTextEdit*>("textViewerText");
    ASSERT_NE(log, nullptr);
    EXPECT_NE(log->toPlainText().indexOf("two"), -1);
    // "Last Error Log" shows the same log again.
    closeAll();
    window->action("&View", "Last &Error Log")->trigger();
    EXPECT_EQ(textViewers().size(), 1u);
    closeAll();
}

}  // namespace
}  // namespace vdln::gui::testing
