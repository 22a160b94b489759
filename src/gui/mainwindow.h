#pragma once
/// The main window: six pages over the application record, the bottom panel
/// with the job buttons and the running jobs, and the main menu.  Every
/// command calls an operation of the core through the window session; the
/// window only shows the record and forwards the user's edits.

#include <QMainWindow>
#include <QPointer>
#include <functional>
#include <map>
#include <memory>

#include "archive/results.h"
#include "model/simgrid.h"
#include "windowsession.h"

class QAction;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QPushButton;
class QRadioButton;
class QSocketNotifier;
class QSpinBox;
class QTabWidget;
class QTableView;
class QTableWidget;
class QTimer;

namespace vdln::gui {

class GridModel;
class HelpBrowser;

/// The pages, in order.
enum Page { PageIntroduction, PageModelData, PageSimOverview, PageClosureShock, PageResults, PageOtherFiles };

/// The controls of the Results page, for the code that gives them behaviour.
struct ResultsPageControls {
    QGroupBox* individualGroup = nullptr;  ///< " Results for Individual &Years "
    QRadioButton* individualBase = nullptr;
    QRadioButton* individualRerun = nullptr;
    QRadioButton* individualPolicy = nullptr;
    QComboBox* individualItem = nullptr;  ///< the item (solution file, log file, ...)
    QComboBox* individualYear = nullptr;
    QPushButton* individualView = nullptr;
    QPushButton* individualProbex = nullptr;
    QGroupBox* allYearsGroup = nullptr;  ///< " &Results for All/Several Years "
    QRadioButton* allBase = nullptr;
    QRadioButton* allRerun = nullptr;
    QRadioButton* allPolicy = nullptr;
    QRadioButton* allDifferences = nullptr;
    QRadioButton* yearsAll = nullptr;
    QRadioButton* yearsSome = nullptr;
    QRadioButton* styleYearOnYear = nullptr;
    QRadioButton* styleCumulative = nullptr;
    QPushButton* allView = nullptr;
    QPushButton* allGraphs = nullptr;
    QPushButton* allAccuracy = nullptr;
    QPushButton* allProbex = nullptr;
    QLabel* warning = nullptr;
};

class ResultsController;

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(WindowSession& session, QWidget* parent = nullptr);
    ~MainWindow() override;

    WindowSession& session() { return m_s; }
    QTabWidget* pages() const { return m_tabs; }
    GridModel* gridModel() const { return m_grid; }
    QTableView* gridView() const { return m_gridView; }
    const ResultsPageControls& resultsPage() const { return m_results; }
    HelpBrowser* helpBrowser();

    /// A menu item by menu title and caption, "&" ignored ("Tasks", "Run Base to Policy").
    QAction* action(const QString& menu, const QString& caption) const;
    QMenu* menu(const QString& title) const;
    /// Sets enabled, captions and check marks from the current state (also
    /// done when a menu opens).
    void refreshMenus();
    /// Shows the record on every page.
    void refreshPages();
    /// The bottom panel from the engine's panel state.
    void refreshPanel();
    /// One tick of the job timer (the timer, the wake-up notifier).
    void onTick();
    /// The bottom panel's buttons and labels.
    QPushButton* panelButton(const QString& caption) const;
    QLabel* jobLabel(int n) const;
    /// The pop-up menu of a grid cell, of the year column, of the first-year list.
    QMenu* gridCellMenu() const { return m_cellMenu; }
    QMenu* yearMenu() const { return m_yearMenu; }
    QMenu* dataListMenu() const { return m_dataMenu; }
    /// The grid cell the pop-up menus act on (data row, column).
    void setGridMenuCell(int dataRow, int col) {
        m_menuRow = dataRow;
        m_menuCol = col;
    }
    /// Opens the help on a topic (a page, a menu, or a message's context).
    void showHelp(const QString& topic);
    /// What "Zip up Selected Results" asks (the selection window by default;
    /// tests put an answer in its place).
    void setResultsSelectionDialog(std::function<std::optional<ResultsSelection>()> ask) {
        m_askResultsSelection = std::move(ask);
    }

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    QWidget* buildIntroduction();
    QWidget* buildModelData();
    QWidget* buildSimOverview();
    QWidget* buildClosureShock();
    QWidget* buildResults();
    QWidget* buildOtherFiles();
    QWidget* buildBottomPanel();
    void buildMenus();
    // The "&Rational Expectations" menu, its pieces of the pages and the
    // part time limit (mainwindow_re.cpp).
    void buildRationalExpectationsMenu();
    void wireRationalExpectationsPages();
    void addPartTimeLimitCommand();
    void showIterationsDone();
    void openConvergenceFile(const REViewChoice& choice);
    // The commands of mainwindow_commands.cpp.
    void buildViewMenu(QMenu* view);
    void viewModelText(bool storedInput);
    void openHeaderArrayFile(const std::string& file);
    void checkTemporaryDirectory();
    void zipUpSelectedResults();
    void whenWereSimsLastRun();
    /// A simulation name edit ended: the record's name changes, and with
    /// "Use Patterns when Change Sim Names" the grid cells that followed it.
    void simNameFinished(int run);
    QAction* addCommand(QMenu* menu, const QString& caption, const std::function<void()>& run, int flags = 0);
    /// Tells in the status line whether a command did what was asked.
    void done(bool ok);
    void jobStarted(bool started);
    void afterJobChange();
    void recordChanged();
    void refreshOtherFiles();
    /// The selected block of the grid in data rows (top 1 at the least when it reaches the years).
    GridSelection selectedBlock() const;
    void showTextFile(const QString& title, const QString& file, const QString& fallback);
    void viewFile(const std::string& file);

    enum Flags { ChangesApp = 1, StartsJob = 2, NeedsRerun = 4, NeedsNoRerun = 8 };

    WindowSession& m_s;
    QTabWidget* m_tabs = nullptr;
    // Introduction
    QLabel* m_introModel = nullptr;
    // Model/Data
    QLabel* m_modelLabel = nullptr;
    QListWidget* m_dataList = nullptr;
    QCheckBox* m_notWinconsole = nullptr;
    QMenu* m_dataMenu = nullptr;
    // Sim Overview
    QLineEdit* m_names[4] = {};
    std::string m_committedNames[4];  ///< the names before the edit in progress
    QLineEdit* m_firstYear = nullptr;
    QLabel* m_firstYearNote = nullptr;
    QLineEdit* m_numYears = nullptr;
    QLabel* m_numYearsNote = nullptr;
    QLabel* m_workDir = nullptr;
    QLabel* m_method = nullptr;
    QLabel* m_mapFile = nullptr;
    QComboBox* m_period = nullptr;
    QSpinBox* m_periodLength = nullptr;
    QGroupBox* m_reGroup = nullptr;
    QCheckBox* m_doingRe = nullptr;
    QLineEdit* m_historyYears = nullptr;
    QSpinBox* m_reIter[4] = {};
    QSpinBox* m_policyStarts = nullptr;
    // Closure/Shock
    GridModel* m_grid = nullptr;
    QTableView* m_gridView = nullptr;
    QMenu* m_cellMenu = nullptr;
    QMenu* m_yearMenu = nullptr;
    QAction* m_checkActions[3] = {};
    int m_menuRow = 1, m_menuCol = 1;
    // Results
    ResultsPageControls m_results;
    ResultsController* m_resultsCtl = nullptr;  ///< the Results page's behaviour
    // Other files
    QTableWidget* m_otherFiles = nullptr;
    // Bottom panel
    QLabel* m_jobLabels[3] = {};
    std::map<QString, QPushButton*> m_panelButtons;
    // Menus
    std::map<QString, QMenu*> m_menus;
    std::map<QString, QAction*> m_actions;
    std::map<QAction*, int> m_flags;
    std::vector<std::function<void()>> m_menuUpdaters;
    QMenu* m_recentMenu = nullptr;
    // Job timer
    QTimer* m_timer = nullptr;
    QSocketNotifier* m_wake = nullptr;
    bool m_inTick = false;
    bool m_refreshing = false;
    QPointer<HelpBrowser> m_help;
    std::function<std::optional<ResultsSelection>()> m_askResultsSelection;
};

/// The program without parameters: the window on the current application.
int runWindow(int argc, char** argv);

}  // namespace vdln::gui
