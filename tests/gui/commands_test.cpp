// The menu commands of the window on the demonstration application: every
// command of the menus is there, and the View, Options, Tasks and Zip
// commands reach their operations with the real suite programs.
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <filesystem>

#include "base/fileutil.h"
#include "base/paths.h"
#include "gridmodel.h"
#include "guifixture.h"
#include "model/filenames.h"
#include "model/optiontoggles.h"
#include "model/simgrid.h"

namespace vdln::gui::testing {
namespace {

class CommandsTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        app = path("app");
        if (!writeDemo(app)) GTEST_SKIP() << "the demonstration suite is not built";
        // An editor that notes what it was asked to open (the one the settings
        // name, so the launcher needs no search path).
        opened = path("opened.txt");
        vdln::testing::writeFile(path("bin/scriba.exe"), "#!/bin/sh\necho \"$1\" >> " + opened + "\n");
        std::filesystem::permissions(path("bin/scriba.exe"), std::filesystem::perms::owner_all);
    }
    void openDemo(ProcessLauncher& launcher) {
        open(launcher);
        ASSERT_TRUE(session->loadDetails(app + "/growth.ds1")) << dialogs.lastMessage();
        session->settings().tools.Editor = path("bin/scriba.exe");
        window->refreshPages();
        window->refreshMenus();
        dialogs.clear();
    }
    /// The files the editor was asked to open, once it has been.
    std::string openedFiles() {
        waitFor([&] { return fileExists(opened); }, 5000);
        QTest::qWait(100);
        return fileExists(opened) ? vdln::testing::readFile(opened) : "";
    }
    QAction* command(const char* menu, const char* caption) {
        QAction* a = window->action(menu, caption);
        EXPECT_NE(a, nullptr) << menu << " | " << caption;
        return a;
    }
    std::string app, opened;
};

TEST_F(CommandsTest, EveryCommandOfTheMenusIsThere) {
    openDemo(fake);
    const std::pair<const char*, const char*> commands[] = {
        {"&File", "Save Simulation Details &As..."},
        {"&File", "&Load Simulation Details..."},
        {"&File", "Omit Some Periods at the Start"},
        {"&File", "Write Report of Closure/Shocks page"},
        {"&File", "Compare Two Lots of Closure/Shocks files"},
        {"&File", "Write Report of all &Ingredients"},
        {"&File", "Write Report Showing When Sims Were Last Run"},
        {"&File", "Edit Dynamic Info File"},
        {"Edit CMFSTART file(s)", "CMFSTARTB (Base)"},
        {"Edit CMFSTART file(s)", "CMFSTART"},
        {"&File", "Shell to &DOS in Working Directory"},
        {"&File", "Shell to Dos in KeepDir"},
        {"&File", "Shell to Dos in Temp Dir"},
        {"&File", "E&xit"},
        {"Zip", "Save Ingredients as ZIP archive"},
        {"Zip", "Restore Ingredients from ZIP archive"},
        {"Zip", "Save ZIP archive except EXE and AUX files"},
        {"Save Closure/Shocks ZIP", "All (Base and Policy)"},
        {"List or View Contents of ZIP archive", "View Sim Description in ZIP archive"},
        {"Zip", "List Files in ZIP"},
        {"Zip", "Add First Year Input files to ZIP"},
        {"Zip", "Add Model files to ZIP"},
        {"Zip", "Zip up All Results"},
        {"Zip", "Zip up Selected Results"},
        {"Zip", "View History of Results Zip file"},
        {"Zip", "Restore files from Results Zip"},
        {"Zip", "Zip all files in Temp Directory"},
        {"Zip", "Zip all files in Keep Directory"},
        {"&Tasks", "Run part of &Base Case"},
        {"&Tasks", "Do part of R&e-run of base case with policy closures"},
        {"&Tasks", "Do just part of the &Policy Sims run"},
        {"&Tasks", "&Where to start?"},
        {"&Tasks", "Are Results Still Ok? - Same if Run Again"},
        {"&Tasks", "When Were Sims Last Run ?"},
        {"&Tasks", "Summary of Current Job"},
        {"&Tasks", "Check all Base-case &Closures"},
        {"&Tasks", "Check all policy closures and s&hocks"},
        {"&Tasks", "Run Base to Policy"},
        {"&Tasks", "Run Simulations for Selected Years"},
        {"&Tasks", "Run Single Job, then Concurrent"},
        {"&View", "&Header Array file..."},
        {"&View", "&Text file..."},
        {"&View", "&Solution files..."},
        {"&View", "S&preadsheet file..."},
        {"&View", "&Main Lexor file"},
        {"&View", "Lexor STI (&Condensation) file"},
        {"&View", "Last &Error Log"},
        {"&View", "&Jobs Log File"},
        {"&View", "&Accuracy Summaries"},
        {"&Options", "Specify &Spreadsheet program"},
        {"&Options", "Change &Editor"},
        {"&Options", "Which &Outlens to use"},
        {"&Options", "Which Gridlens to use"},
        {"&Options", "Which Probex to use"},
        {"&Options", "Usual Method for finding Solvane programs"},
        {"&Options", "Specify directory for Solvane programs"},
        {"&Options", "Specify &Temporary Directory"},
        {"&Options", "Check Temporary Directory"},
        {"Delete Temp Dir Files when Exit ?", "Delete Temp Dir Files when Exit"},
        {"&Options", "Don't update INI file when exit"},
        {"&Options", "Use &PIF under Windows NT"},
        {"&Options", "Split batch jobs"},
        {"&Options", "Do not split batch jobs"},
        {"&Options", "Fewer Messages and Questions"},
        {"&Options", "Hide Rational Expectations"},
        {"&Options", "Use Patterns when Change Sim Names"},
        {"&Options", "Ignore Patterns when Change Sim Names"},
        {"Run Preferences", "Do Rerun Base Case with &Policy Closures"},
        {"Run Preferences", "Complete Base First"},
        {"Move/Delete Outputs Before Run ?", "Move to Subdirectory"},
        {"Run Preferences", "Restart Batch Jobs Log File"},
        {"Run Preferences", "Just One Solve (no. 2)"},
        {"Run Preferences", "Never Use Bat Job for Simulations"},
        {"Run Preferences", "Use Bat Jobs for Concurrent Solves"},
        {"Run Preferences", "Check Job Prerequisites"},
        {"&Help", "Current &Page"},
        {"&Help", "&About"},
    };
    for (const auto& [menu, caption] : commands) command(menu, caption);
    // The part of the rerun is offered only while the rerun is done.
    ASSERT_TRUE(applyOptionCommand(OptionCommand::DoNotRerunBase, session->settings(), dialogs, true));
    window->refreshMenus();
    EXPECT_FALSE(command("&Tasks", "Do part of R&e-run of base case with policy closures")->isEnabled());
    EXPECT_TRUE(command("&Tasks", "Do just part of the &Policy Sims run")->isEnabled());
}

TEST_F(CommandsTest, TheViewMenuExtractsTheModelTextAndOpensTheLogs) {
    openDemo(real);
    // The model source comes out of the auxiliary table file and opens in
    // the editor.
    command("&View", "&Main Lexor file")->trigger();
    EXPECT_TRUE(dialogs.messages().empty()) << dialogs.lastMessage();
    const std::string files = openedFiles();
    EXPECT_NE(files.find(".tab"), std::string::npos) << files;

    // No part has failed yet: there is no error log; then the copy a failed
    // part leaves is opened.
    command("&View", "Last &Error Log")->trigger();
    EXPECT_EQ(dialogs.lastMessage(), "There is no Last Error Log File.");
    const std::string last = JoinPath(session->dirs().keepDir, "lasterr.log");
    vdln::testing::writeFile(last, "error\r\n");
    std::filesystem::remove(opened);
    command("&View", "Last &Error Log")->trigger();
    EXPECT_EQ(openedFiles(), last + "\n");

    // A header array file opens in the built-in viewer when no viewer is
    // installed, with no message.
    const size_t windowsBefore = QApplication::topLevelWidgets().size();
    dialogs.clear();
    dialogs.queueText(app + "/BASE2023.HAR");
    command("&View", "&Header Array file...")->trigger();
    EXPECT_TRUE(dialogs.messages().empty()) << dialogs.lastMessage();
    EXPECT_GT(QApplication::topLevelWidgets().size(), windowsBefore);
}

TEST_F(CommandsTest, WithoutAnEditorTextFilesOpenInTheWindowsOwnViewer) {
    openDemo(fake);
    session->settings().tools.Editor.clear();
    const std::string last = JoinPath(session->dirs().keepDir, "lasterr.log");
    vdln::testing::writeFile(last, "Malformed number \"two\"\r\nin line 29\r\n");
    command("&View", "Last &Error Log")->trigger();
    EXPECT_TRUE(dialogs.messages().empty()) << dialogs.lastMessage();
    QPlainTextEdit* text = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == "textViewer" && w->isVisible() && w->windowTitle().startsWith("lasterr.log"))
            text = w->findChild<QPlainTextEdit*>("textViewerText");
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->toPlainText().toStdString(), "Malformed number \"two\"\nin line 29\n");
    // A file that cannot be read says why.
    EXPECT_FALSE(session->editFile(path("nothere.log")));
    EXPECT_EQ(dialogs.lastMessage().rfind("Cannot open file:\r\n" + path("nothere.log") + "\r\n[", 0), 0u)
        << dialogs.lastMessage();
    // No launcher start was needed.
    EXPECT_TRUE(fake.detached().empty());
}

TEST_F(CommandsTest, OptionsCheckTheTemporaryDirectoryAndChooseProbex) {
    openDemo(real);
    command("&Options", "Check Temporary Directory")->trigger();
    ASSERT_TRUE(waitFor([&] { return !session->jobs().watching(); }, 30000));
    EXPECT_EQ(dialogs.lastMessage(), "Temporary Directory\r\n  " + session->dirs().tempDir + "\r\nseems ok.");

    const std::string probex = path("bin/probex.exe");
    vdln::testing::writeFile(probex, "");
    dialogs.queueText(probex);
    command("&Options", "Which Probex to use")->trigger();
    EXPECT_EQ(session->settings().tools.Probex, probex);

    // A changed Sim name takes the closure and shock files that followed its
    // pattern with it, unless patterns are ignored.
    TSimRecord& rec = session->rec();
    FollowPattern(rec, GridSelection{1, 1, 2, 1});
    auto* name = window->findChild<QLineEdit*>("simName1");
    ASSERT_NE(name, nullptr);
    window->pages()->setCurrentIndex(PageSimOverview);
    name->setFocus();
    name->selectAll();
    QTest::keyClicks(name, "bs2");
    QTest::keyClick(name, Qt::Key_Return);
    EXPECT_EQ(rec.SimNames[1].str(), "BS2");
    EXPECT_EQ(rec.GridStem(1, 1).str(), "BS2B2024");
    EXPECT_EQ(rec.GridStem(2, 1).str(), "BS2B2025");
    EXPECT_EQ(rec.GridStem(3, 2).str(), "B2026") << "a file of the user's own stays";
    command("&Options", "Ignore Patterns when Change Sim Names")->trigger();
    EXPECT_FALSE(session->settings().PatternsOnRename);
    name->selectAll();
    QTest::keyClicks(name, "bs3");
    QTest::keyClick(name, Qt::Key_Return);
    EXPECT_EQ(rec.SimNames[1].str(), "BS3");
    EXPECT_EQ(rec.GridStem(1, 1).str(), "BS2B2024");
}

TEST_F(CommandsTest, PartOfARunAndSelectedResultsReachTheirOperations) {
    openDemo(fake);
    // "Run part of Base Case" asks the Base's years and runs only those.
    years.queue(YearsAnswer::chosen(2, 3, false));
    command("&Tasks", "Run part of &Base Case")->trigger();
    ASSERT_EQ(years.requests().size(), 1u);
    EXPECT_EQ(years.requests()[0].title, "Which of the Base to do ?");
    ASSERT_TRUE(session->jobRunning()) << dialogs.lastMessage();
    const auto& job = session->jobs().engine().job();
    EXPECT_EQ(job.FirstSimYear[kRunBase], 2);
    EXPECT_EQ(job.LastSimYear[kRunBase], 3);
    EXPECT_FALSE(job.DoSims[kRunPolicy]);
    dialogs.queueButton(BtnYes);
    window->panelButton("&Cancel")->click();
    ASSERT_TRUE(waitFor([&] { return !session->jobRunning(); }, 10000));

    // "Zip up Selected Results" zips what the selection names: nothing
    // selected, nothing to save.
    ResultsSelection none;
    window->setResultsSelectionDialog([&] { return std::optional<ResultsSelection>(none); });
    dialogs.clear();
    dialogs.queueText(path("some.zip"));
    command("Zip", "Zip up Selected Results")->trigger();
    EXPECT_EQ(dialogs.lastMessage(), "Are no results to save");
    EXPECT_FALSE(fileExists(path("some.zip")));
    // Cancelled selection: no name is asked.
    window->setResultsSelectionDialog([] { return std::optional<ResultsSelection>(); });
    dialogs.clear();
    command("Zip", "Zip up Selected Results")->trigger();
    EXPECT_TRUE(dialogs.records().empty());

    // "When Were Sims Last Run ?" tells without writing a file.
    command("&Tasks", "When Were Sims Last Run ?")->trigger();
    ASSERT_EQ(dialogs.records().size(), 1u);
    EXPECT_NE(dialogs.lastMessage().find("None have been run."), std::string::npos) << dialogs.lastMessage();

    // The Results page says what it checks.
    EXPECT_EQ(window->resultsPage().warning->text().toStdString().find("Warning: At present"),
              std::string::npos);
}

}  // namespace
}  // namespace vdln::gui::testing
