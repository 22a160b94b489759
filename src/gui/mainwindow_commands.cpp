// Menu commands of the main window that need more than a line: the View
// menu, the model text extraction, the Temporary Directory check, the
// selected-results archive, "When Were Sims Last Run ?" and the pattern rule
// of a changed simulation name.
#include <QLineEdit>
#include <QMenu>
#include <QStatusBar>
#include <QTimer>

#include "archive/tabetc.h"
#include "base/fileutil.h"
#include "env/tools.h"
#include "gridmodel.h"
#include "jobs/jobscommands.h"
#include "mainwindow.h"
#include "model/simgrid.h"
#include "reports/appreports.h"
#include "results/resultsview.h"
#include "resultscontroller.h"
#include "windowdialogs.h"
#ifdef VARDELON_GUI_WITH_VIEWER
#include "viewer/harviewer.h"
#endif

namespace vdln::gui {

namespace {

FileRequest openRequest(const std::string& title, const std::string& dir, const std::string& filter) {
    FileRequest req;
    req.title = title;
    req.initialDir = dir;
    req.filter = filter;
    return req;
}

}  // namespace

void MainWindow::openHeaderArrayFile(const std::string& file) {
    // A configured or installed header array viewer is used; otherwise the
    // one that comes with the program.
    ToolLocations tools = m_s.tools();
    const bool external = !locateProgram(m_s.env(), tools, "gridlens").empty();
#ifdef VARDELON_GUI_WITH_VIEWER
    if (!external) {
        if (!fileExists(file)) {
            m_s.dialogs().error("Cannot find file:\r\n" + file);
            return;
        }
        done(openHarViewer(QString::fromStdString(file), this) != nullptr);
        return;
    }
#endif
    done(LaunchViewer(Viewer::Gridlens, file, m_s.model().modelDir, m_s.env(), tools, m_s.dialogs(),
                      m_s.launcher()));
    m_s.settings().tools.Gridlens = tools.gridlens;
}

void MainWindow::buildViewMenu(QMenu* view) {
    const std::string harFilter =
        "Header Array Files (*.har;*.sl4;*.sol;*.rsl)|*.har;*.sl4;*.sol;*.rsl|All Files (*.*)|*.*";
    addCommand(view, "&Header Array file...", [this, harFilter] {
        if (auto f = m_s.dialogs().chooseFile(openRequest("Header Array file", m_s.rec().WorkDir, harFilter)))
            openHeaderArrayFile(*f);
    });
    addCommand(view, "&Text file...", [this] {
        if (auto f =
                m_s.dialogs().chooseFile(openRequest("Text file", m_s.rec().WorkDir, "All Files (*.*)|*.*")))
            done(m_s.editFile(*f));
    });
    addCommand(view, "&Solution files...", [this] {
        auto f = m_s.dialogs().chooseFile(openRequest("Solution file", m_s.rec().WorkDir,
                                                      "Solution Files (*.SL4)|*.sl4|All Files (*.*)|*.*"));
        if (!f) return;
        ToolLocations tools = m_s.tools();
        // Solution files are header array files: without a solution viewer
        // they open in the header array viewer.
        if (locateProgram(m_s.env(), tools, "outlens").empty()) {
            openHeaderArrayFile(*f);
            return;
        }
        done(LaunchViewer(Viewer::Outlens, *f, m_s.model().modelDir, m_s.env(), tools, m_s.dialogs(),
                          m_s.launcher()));
    });
    addCommand(view, "S&preadsheet file...", [this] {
        auto f = m_s.dialogs().chooseFile(
            openRequest("Select Spreadsheet File", m_s.rec().WorkDir, "CSV Files (*.CSV)|*.csv"));
        if (!f) return;
        ResultsContext ctx(m_s.rec(), m_s.settings(), m_s.env());
        done(openInSpreadsheetProgram(ctx, *f, m_s.dialogs(), m_s.launcher()));
    });
    addCommand(view, "&Main Lexor file", [this] { viewModelText(false); });
    addCommand(view, "Lexor STI (&Condensation) file", [this] { viewModelText(true); });
    auto logs = [this] {
        return JobsLogCommands(m_s.dirs().keepDir, m_s.dialogs(),
                               [this](const std::string& f) { return m_s.editFile(f); });
    };
    addCommand(view, "Last &Error Log", [this, logs] { done(logs().viewLastErrorLog()); });
    addCommand(view, "&Jobs Log File", [this, logs] { done(logs().viewJobsLog()); });
    addCommand(view, "&Accuracy Summaries", [this] { m_resultsCtl->accuracy(); });
}

void MainWindow::viewModelText(bool storedInput) {
    const std::string model =
        m_s.model().programPath.empty() ? m_s.settings().model.Model : m_s.model().programPath;
    const std::string pryxo = locateProgram(m_s.env(), m_s.tools(), "pryxo");
    statusBar()->showMessage(storedInput ? "Extracting Lexor STI file" : "Extracting TAB file");
    auto file = extractModelTextForViewing(storedInput ? ModelTextKind::Sti : ModelTextKind::Tab,
                                           m_s.launcher(), m_s.dialogs(), pryxo, m_s.dirs().tempDir, model);
    done(file && m_s.editFile(*file));
}

void MainWindow::checkTemporaryDirectory() {
    const std::string sectra = locateProgram(m_s.env(), m_s.tools(), "sectra");
    // The check is a console job: the timer sees its end and reports.
    done(m_s.jobs().timer().startTempDirCheck(sectra));
    afterJobChange();
}

void MainWindow::zipUpSelectedResults() {
    std::optional<ResultsSelection> sel = m_askResultsSelection
                                              ? m_askResultsSelection()
                                              : askResultsSelection(this, m_s.rec(), m_s.settings().NoRerun);
    if (!sel) return;
    ArchiveEnv env = m_s.archiveEnv();
    done(ZipUpResults(env, m_s.runRecordEnv(), &*sel));
}

void MainWindow::whenWereSimsLastRun() {
    whenSimsLastRunCommand(m_s.rec(), m_s.settings(), m_s.runRecordEnv().keep,
                           m_s.jobs().engine().firstPolicyYear(), m_s.dialogs());
}

void MainWindow::simNameFinished(int run) {
    const std::string now = m_s.rec().SimNames[run].str();
    std::string& before = m_committedNames[run];
    if (now == before) return;
    // The name was kept as typed; the rename is made once, from the name the
    // edit started with, so the names in between never take a user's file.
    m_s.rec().SimNames[run] = before;
    const int renamed = ChangeSimName(m_s.rec(), run, now, m_s.settings().PatternsOnRename);
    before = now;
    m_grid->reload();
    if (renamed > 0)
        statusBar()->showMessage(
            QString("%1 closure/shock file name(s) follow the new Sim name").arg(renamed), 5000);
}

}  // namespace vdln::gui
