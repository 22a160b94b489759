// Jobs from the window on the demonstration application: the menus while a
// job runs, Cancel, a whole job from "Run &All" with the real launcher and
// the demonstration suite, and screenshots of every page.
#include <sys/wait.h>

#include <QAction>
#include <QDir>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <filesystem>
#include <map>
#include <sstream>

#include "base/fileutil.h"
#include "gridmodel.h"
#include "guifixture.h"
#include "support/testpaths.h"

namespace vdln::gui::testing {
namespace {

class WindowJobTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        app = path("app");
        ASSERT_TRUE(writeDemo(app)) << "the demonstration application could not be written";
    }
    void openDemo(ProcessLauncher& launcher) {
        open(launcher);
        ASSERT_TRUE(session->loadDetails(app + "/growth.ds1")) << dialogs.lastMessage();
        window->refreshPages();
        window->refreshMenus();
        dialogs.clear();
    }
    bool jobEnds(int ms) {
        return waitFor([&] { return !session->jobRunning(); }, ms);
    }
    std::string app;
};

TEST_F(WindowJobTest, MenusAndPanelWhileAJobRunsAndCancel) {
    openDemo(fake);
    QAction* load = window->action("&File", "&Load Simulation Details...");
    QAction* runAll = window->action("&Tasks", "Run Base to Policy");
    QAction* where = window->action("&Tasks", "&Where to start?");
    QAction* concurrent = window->action("Run Preferences", "Allow 2 Concurrent Solves");
    QAction* summary = window->action("&Tasks", "Summary of Current Job");
    QAction* text = window->action("&View", "&Text file...");
    ASSERT_TRUE(load && runAll && where && concurrent && summary && text);
    for (QAction* a : {load, runAll, where, concurrent, summary, text})
        EXPECT_TRUE(a->isEnabled()) << a->text().toStdString();
    EXPECT_EQ(window->jobLabel(0)->text(), "[None running.]");
    EXPECT_TRUE(window->panelButton("Run &All")->isVisible());
    EXPECT_FALSE(window->panelButton("&Cancel")->isVisible());

    window->panelButton("Run &All")->click();
    ASSERT_TRUE(session->jobRunning()) << dialogs.lastMessage();
    ASSERT_FALSE(fake.started().empty());
    // What changes the application or starts a job is off; looking is not.
    for (QAction* a : {load, runAll, where, concurrent})
        EXPECT_FALSE(a->isEnabled()) << a->text().toStdString();
    for (QAction* a : {summary, text}) EXPECT_TRUE(a->isEnabled()) << a->text().toStdString();
    EXPECT_TRUE(window->panelButton("&Cancel")->isVisible());
    EXPECT_FALSE(window->panelButton("Run &All")->isVisible());
    EXPECT_FALSE(window->pages()->widget(PageClosureShock)->isEnabled())
        << "the grid is read while the job runs";
    EXPECT_TRUE(window->pages()->widget(PageResults)->isEnabled());
    // The first label names the running part, in the Base's colour.
    window->onTick();
    EXPECT_NE(window->jobLabel(0)->text(), "[None running.]");
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(vdln::testing::testScreenshotDir())));
    window->resize(1100, 720);
    window->pages()->setCurrentIndex(PageSimOverview);
    EXPECT_TRUE(
        window->grab().save(QString::fromStdString(vdln::testing::testScreenshotDir()) + "/job-running.png"));

    // Cancel asks, then the next tick ends the job.
    dialogs.queueButton(BtnYes);
    window->panelButton("&Cancel")->click();
    EXPECT_EQ(dialogs.messages().back(), "Do you really want to kill this job?");
    window->onTick();
    EXPECT_FALSE(session->jobRunning());
    EXPECT_EQ(session->jobs().engine().outcome(), JobOutcome::Cancelled);
    const auto msgs = dialogs.messages();
    EXPECT_NE(std::find(msgs.begin(), msgs.end(), "Solve job aborted via Cancel button"), msgs.end());
    for (QAction* a : {load, runAll, where, concurrent})
        EXPECT_TRUE(a->isEnabled()) << a->text().toStdString();
    EXPECT_TRUE(window->panelButton("Run &All")->isVisible());
    EXPECT_TRUE(window->pages()->widget(PageClosureShock)->isEnabled());
}

// Reads the numbers of a CSV file (row name -> cells).
std::map<std::string, std::vector<std::string>> csvRows(const std::string& file) {
    std::map<std::string, std::vector<std::string>> out;
    std::istringstream in(vdln::testing::readFile(file));
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::vector<std::string> cells;
        std::stringstream ls(line);
        for (std::string c; std::getline(ls, c, ',');) cells.push_back(c);
        if (!cells.empty()) out[cells[0]] = cells;
    }
    return out;
}

TEST_F(WindowJobTest, RunAllFromThePanelGivesBatchModesResults) {
    // The same application run by batch mode, in its own folders.
    const std::string batchApp = path("batchapp");
    ASSERT_TRUE(writeDemo(batchApp));
    std::filesystem::create_directories(path("bkeep"));
    std::filesystem::create_directories(path("btemp"));
    const std::string cmd = "SVKEEP=" + path("bkeep") + " SVTEMP=" + path("btemp") + " " + kBin +
                            "/vardelon all all " + batchApp + "/growth.ds1 > " + path("batch-out.txt") +
                            " 2>&1";
    const int rc = std::system(cmd.c_str());
    ASSERT_TRUE(WIFEXITED(rc) && WEXITSTATUS(rc) == 0) << vdln::testing::readFile(path("batch-out.txt"));

    openDemo(real);
    window->panelButton("Run &All")->click();
    ASSERT_TRUE(session->jobRunning()) << dialogs.lastMessage();
    ASSERT_TRUE(jobEnds(240000)) << "the job did not end";
    EXPECT_EQ(session->jobs().engine().outcome(), JobOutcome::Finished) << dialogs.lastMessage();
    EXPECT_EQ(window->jobLabel(0)->text().toStdString().find("[Job finished]"), 0u)
        << window->jobLabel(0)->text().toStdString();
    for (const char* f :
         {"BS1B-ssc.csv", "BS1B-BR1R-ssc.csv", "BS1B-BR1R-PL1P-ssc.csv", "BS1B-BR1R-PL1P-devc.csv"}) {
        SCOPED_TRACE(f);
        ASSERT_TRUE(fileExists(app + "/" + f));
        const auto mine = csvRows(app + "/" + f);
        EXPECT_FALSE(mine.empty());
        EXPECT_EQ(mine, csvRows(batchApp + "/" + f));
    }
    // Every tick of a part's end came at once, not a second later: the
    // panel is idle again and the details were kept up to date.
    EXPECT_TRUE(window->panelButton("Run &All")->isVisible());
    EXPECT_TRUE(fileExists(app + "/growth.ds1"));
    // The durable copies of the record of runs travel with the application.
    for (const char* copy : {"/growth-BS1B.ds3", "/growth-BS1B-BR1R.ds4", "/growth-BS1B-BR1R-PL1P.ds5"})
        EXPECT_TRUE(fileExists(app + copy)) << copy;
}

TEST_F(WindowJobTest, ScreenshotsOfEveryPage) {
    openDemo(fake);
    // One cell of each colour, so the pictures show the legend at work.
    vdln::testing::writeFile(app + "/EXTRA.PSH", "shock t(\"MAN\") = file extra.har;\r\n");
    session->rec().GridStem(5, 4) = "EXTRA";
    session->rec().GridStem(6, 4) = "MISSING";
    QSignalSpy ready(window->gridModel(), &GridModel::statesReady);
    window->gridModel()->reload();
    ASSERT_TRUE(ready.wait(10000));
    window->resize(1100, 720);
    const QString folder = QString::fromStdString(vdln::testing::testScreenshotDir());
    ASSERT_TRUE(QDir().mkpath(folder));
    const char* names[] = {"introduction",  "model-data", "sim-overview",
                           "closure-shock", "results",    "other-files"};
    for (int p = 0; p < window->pages()->count(); ++p) {
        window->pages()->setCurrentIndex(p);
        QTest::qWait(50);
        const QPixmap shot = window->grab();
        ASSERT_FALSE(shot.isNull());
        const QString file = folder + QString("/page-%1-%2.png").arg(p + 1).arg(names[p]);
        EXPECT_TRUE(shot.save(file)) << file.toStdString();
    }
}

}  // namespace
}  // namespace vdln::gui::testing

namespace vdln::gui::testing {
namespace {

TEST_F(WindowJobTest, CheckClosureFromTheGridRunsTheModelProgramAndReports) {
    openDemo(real);
    window->setGridMenuCell(1, 1);
    QAction* check = nullptr;
    for (QAction* a : window->gridCellMenu()->actions())
        if (a->text() == "Check &Closure") check = a;
    ASSERT_NE(check, nullptr);
    check->trigger();
    ASSERT_TRUE(session->jobs().watching()) << dialogs.lastMessage();
    // A job cannot start while the check runs.
    window->refreshMenus();
    EXPECT_FALSE(window->action("&Tasks", "Run Base to Policy")->isEnabled());
    ASSERT_TRUE(waitFor([&] { return !session->jobs().watching(); }, 60000));
    EXPECT_EQ(dialogs.lastMessage(), "The model program found no problems checking the closure in\r\n  " +
                                         session->dirs().tempDir + "/oneB2024.cmf");
    window->refreshMenus();
    EXPECT_TRUE(window->action("&Tasks", "Run Base to Policy")->isEnabled());
}

}  // namespace
}  // namespace vdln::gui::testing

namespace vdln::gui::testing {
namespace {

TEST_F(WindowJobTest, TheZipMenuSavesAndListsAnIngredientsArchive) {
    openDemo(fake);
    const std::string zip = path("growth-app.zip");
    QAction* save = window->action("Zip", "Save Ingredients as ZIP archive");
    ASSERT_NE(save, nullptr);
    dialogs.queueButton(BtnIgnore);  // no review of the description first
    dialogs.queueText(zip);
    dialogs.queueButton(BtnNo);  // no extra files
    save->trigger();
    ASSERT_TRUE(fileExists(zip)) << dialogs.lastMessage();
    EXPECT_EQ(dialogs.lastMessage(), "ZIP archive " + zip + " created.");

    // Restored into another folder and loaded, it becomes the application.
    const std::string other = path("restored");
    std::filesystem::create_directories(other);
    dialogs.clear();
    dialogs.queueText(zip);
    dialogs.queueButton(BtnOk);  // the archive's history
    dialogs.queueText(other);
    window->action("Zip", "Restore Ingredients from ZIP archive")->trigger();
    EXPECT_EQ(
        dialogs.lastMessage(),
        "The restored Simulation Details have been loaded.\r\nThe Working Directory is now\r\n   " + other);
    EXPECT_EQ(session->rec().WorkDir, other);
    EXPECT_TRUE(fileExists(session->defaultDetailsFile())) << session->defaultDetailsFile();
    EXPECT_TRUE(fileExists(other + "/BASE.CLS"));
    EXPECT_EQ(window->findChild<QLabel*>("workDir")->text().toStdString(), other);
}

}  // namespace
}  // namespace vdln::gui::testing
