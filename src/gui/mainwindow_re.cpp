// The "&Rational Expectations" menu, the rational-expectations pieces of the
// Sim Overview and Model/Data pages, the convergence overview and chart, and
// the Run Preferences command for the time limit of a part.  Every command
// is an operation of results/remenu.h (or of the window session) on the
// current application.
#include <QAction>
#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QVBoxLayout>

#include "base/paths.h"
#include "base/strutil.h"
#include "charts/convergencewindow.h"
#include "mainwindow.h"
#include "model/modelsel.h"
#include "results/convergencechart.h"
#include "results/remenu.h"
#include "results/resultsview.h"
#ifdef VARDELON_GUI_WITH_VIEWER
#include "viewer/harviewer.h"
#endif

namespace vdln::gui {

namespace {

QString q(const std::string& s) {
    return QString::fromStdString(s);
}

// A message text with its line breaks as the widgets show them.
QString shown(const std::string& text) {
    QString t = q(text);
    t.replace("\r\n", "\n");
    return t;
}

// The text the Sim Overview page shows beside "Policy run starts" while the
// rational-expectations box is not checked.
const char* const kPolicyStartsText = "  years before first Policy shock  ";

}  // namespace

/// "Part Time Limit": whether a part of a job has a time limit, and how many
/// seconds.
class PartTimeLimitDialog : public QDialog {
public:
    PartTimeLimitDialog(int seconds, QWidget* parent) : QDialog(parent) {
        setObjectName("partTimeLimitDialog");
        setWindowTitle("Part Time Limit");
        setAttribute(Qt::WA_DeleteOnClose);
        auto* lay = new QVBoxLayout(this);
        auto* text = new QLabel(
            "A part of a job (one run of a suite program) that is still running after this time is "
            "stopped, and the job ends as failed.\nThe limit applies to jobs started from now on, in the "
            "window and in batch mode.");
        text->setWordWrap(true);
        lay->addWidget(text);
        auto* row = new QHBoxLayout;
        m_on = new QCheckBox("Stop a part that runs for longer than");
        m_on->setObjectName("partTimeLimitOn");
        m_seconds = new QSpinBox;
        m_seconds->setObjectName("partTimeLimitSeconds");
        m_seconds->setRange(1, kMaxPartTimeLimit);
        m_seconds->setSuffix(" seconds");
        m_seconds->setValue(seconds > 0 ? seconds : 3600);
        m_on->setChecked(seconds > 0);
        m_seconds->setEnabled(seconds > 0);
        connect(m_on, &QCheckBox::toggled, m_seconds, &QSpinBox::setEnabled);
        row->addWidget(m_on);
        row->addWidget(m_seconds);
        row->addStretch();
        lay->addLayout(row);
        auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
        connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
        connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
        lay->addWidget(buttons);
    }
    /// The limit chosen (0: none).
    int chosen() const { return m_on->isChecked() ? m_seconds->value() : 0; }

private:
    QCheckBox* m_on = nullptr;
    QSpinBox* m_seconds = nullptr;
};

/// The convergence report of a run: "Convergence Overview for <run>", the
/// text, OK, Help and the chart.
class ConvergenceOverview : public QDialog {
public:
    ConvergenceOverview(const std::string& title, const std::string& text, MainWindow* window)
        : QDialog(window) {
        setObjectName("convergenceOverview");
        setWindowTitle(q(title));
        setAttribute(Qt::WA_DeleteOnClose);
        auto* lay = new QVBoxLayout(this);
        auto* report = new QPlainTextEdit(shown(text));
        report->setObjectName("convergenceReport");
        report->setReadOnly(true);
        report->setMinimumSize(620, 260);
        lay->addWidget(report);
        auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Help);
        QPushButton* chart = buttons->addButton("Convergence &Chart", QDialogButtonBox::ActionRole);
        chart->setObjectName("convergenceChartButton");
        connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
        connect(buttons, &QDialogButtonBox::helpRequested, window,
                [window] { window->showHelp("menu:Rational Expectations"); });
        connect(chart, &QPushButton::clicked, window, [window] {
            openConvergenceChartWindow(convergenceChartData(convergenceSeriesOf(
                                           window->session().re(), window->session().settings())),
                                       window);
        });
        lay->addWidget(buttons);
    }
};

void MainWindow::buildRationalExpectationsMenu() {
    // The reports at the end of an iterating job open in their own windows.
    m_s.setOverviewViewer([this](const std::string& title, const std::string& text) {
        auto* d = new ConvergenceOverview(title, text, this);
        d->show();
    });

    auto* re = new QMenu("&Rational Expectations", this);
    m_menus["Rational Expectations"] = re;
    if (QMenu* view = menu("View"))
        menuBar()->insertMenu(view->menuAction(), re);
    else
        menuBar()->addMenu(re);
    connect(re, &QMenu::aboutToShow, this, &MainWindow::refreshMenus);
    connect(re->addAction("Help about Rational Expectations menu"), &QAction::triggered, this,
            [this] { showHelp("menu:Rational Expectations"); });
    re->addSeparator();
    // The menu follows "Hide Rational Expectations".
    m_menuUpdaters.push_back([this, re] { re->menuAction()->setVisible(!m_s.settings().re.HideRE); });

    // Jobs.
    using Job = bool (*)(REMenuContext&, const TaskEnv&);
    const std::pair<const char*, Job> jobs[] = {{"Run Base to Policy", &reRunBaseToPolicy},
                                                {"Do Base and Base Rerun", &reDoBaseAndRerun},
                                                {"Rerun Base and Run Policy", &reRerunBaseAndRunPolicy}};
    for (const auto& [caption, run] : jobs) {
        const Job job = run;
        const bool rerun = job != &reRunBaseToPolicy;
        addCommand(
            re, caption,
            [this, job] {
                REMenuContext c = m_s.reMenu();
                const TaskEnv env = m_s.taskEnv();
                jobStarted(job(c, env));
            },
            StartsJob | (rerun ? NeedsRerun : 0));
    }
    re->addSeparator();
    const char* extra[4] = {"", "Base - Do Extra Iterations", "Rerun of Base - Do Extra Iterations",
                            "Policy - Do Extra Iterations"};
    for (int r = 1; r <= 3; ++r) {
        addCommand(
            re, extra[r],
            [this, r] {
                REMenuContext c = m_s.reMenu();
                jobStarted(doExtraIterations(c, r));
            },
            StartsJob | (r == 2 ? NeedsRerun : 0));
    }
    re->addSeparator();

    // Options and viewers, in the menu's order.
    auto option = [this, re](const char* caption, bool (*toggle)(ProgramSettings&), bool RESettings::*field) {
        QAction* a = addCommand(
            re, caption, [this, toggle] { toggle(m_s.settings()); }, ChangesApp);
        a->setCheckable(true);
        m_menuUpdaters.push_back([this, a, field] { a->setChecked(m_s.settings().re.*field); });
    };
    using Viewer = std::optional<REViewChoice> (*)(REMenuContext&, int);
    auto viewer = [this, re](const char* caption, Viewer view) {
        QMenu* sub = re->addMenu(caption);
        m_menus[caption] = sub;
        const char* runs[4] = {"", "Base", "Rerun", "Policy"};
        for (int r = 1; r <= 3; ++r) {
            addCommand(
                sub, runs[r],
                [this, view, r] {
                    REMenuContext c = m_s.reMenu();
                    if (auto choice = view(c, r)) openConvergenceFile(*choice);
                },
                r == 2 ? NeedsRerun : 0);
        }
    };
    option("Create Convergence HAR Files", &toggleCreateConvergenceHarFiles, &RESettings::ConvergenceHar);
    viewer("View Convergence HAR File", &viewConvergenceHarFile);
    option("Preserve Convergence ROREXT Files", &togglePreserveConvergenceRorextFiles,
           &RESettings::ConvergenceRorext);
    viewer("View Convergence ROREXT File", &viewConvergenceRorextFile);
    option("Preserve Convergence CSV Files", &togglePreserveConvergenceCsvFiles, &RESettings::ConvergenceCsv);
    viewer("View Convergence CSV File", &viewConvergenceCsvFile);
    option("Carry out Standard KORALE Checks", &toggleStandardKoraleChecks, &RESettings::StandardChecks);
    {
        QAction* a = addCommand(
            re, "TAB File Allows Several Iterations on Rerun",
            [this] {
                toggleSeveralRerunIterations(m_s.settings(), m_s.dialogs());
                refreshPages();
            },
            ChangesApp);
        a->setCheckable(true);
        m_menuUpdaters.push_back([this, a] { a->setChecked(m_s.settings().re.SeveralRerunIterations); });
    }
    re->addSeparator();

    // How the iterations went.
    addCommand(re, "Iterations Done", [this] { showIterationsDone(); });
    addCommand(re, "Show Convergence Reports", [this] {
        bool any = false;
        for (int r = 1; r <= 3; ++r) {
            const std::string& text = m_s.re().lastReports()[static_cast<size_t>(r)];
            if (text.empty()) continue;
            any = true;
            (new ConvergenceOverview("Convergence Overview for " + runName(r), text, this))->show();
        }
        if (!any)
            m_s.dialogs().info(
                "There is no convergence report yet: a run needs at least 3 iterations in a job that "
                "finished.");
    });
    addCommand(re, "Convergence Chart", [this] {
        openConvergenceChartWindow(convergenceChartData(convergenceSeriesOf(m_s.re(), m_s.settings())), this);
    });

    wireRationalExpectationsPages();
    addPartTimeLimitCommand();
}

void MainWindow::showIterationsDone() {
    if (!m_s.re().setUpNames()) return;
    const RESettings& st = m_s.settings().re;
    const bool noRerun = m_s.settings().NoRerun;
    const int nb = st.BaseIterations, nr = noRerun ? 0 : st.RerunIterations;
    std::string text;
    for (int r = 1; r <= 3; ++r) {
        if (r == 2 && noRerun) continue;
        const int wanted = r == 1 ? st.BaseIterations : r == 2 ? st.RerunIterations : st.PolicyIterations;
        const auto count = m_s.re().readIterationCount(r, true);
        text += runName(r) + ": ";
        if (!count) {
            text += "no iterations done yet";
        } else {
            const int done = r == 1 ? *count : r == 2 ? *count - nb : *count - (nb + nr);
            text += std::to_string(done) + " iteration" + (done == 1 ? "" : "s") + " done";
        }
        text += " (the Sim Overview page asks for " + std::to_string(wanted) + ").\r\n";
    }
    m_s.dialogs().info(text);
}

void MainWindow::openConvergenceFile(const REViewChoice& choice) {
    if (choice.viewer == REViewChoice::Viewer::Spreadsheet) {
        // The spreadsheet program when one is set; a CSV file is text.
        const std::string program = m_s.settings().tools.Spreadsheet;
        if (program.empty()) {
            done(m_s.editFile(choice.file));
            return;
        }
        if (Status st = m_s.launcher().startProgram(program, {choice.file}, m_s.rec().WorkDir); !st) {
            m_s.dialogs().error("Failed to execute " + program + "\r\n[" + st.message() + "]");
            done(false);
            return;
        }
        done(true);
        return;
    }
    ResultsContext ctx(m_s.rec(), m_s.settings(), m_s.env());
    if (gridlensAvailable(ctx)) {
        ViewAction action;
        action.target = ViewTarget::HeaderArrayViewer;
        action.file = choice.file;
        done(openViewAction(action, ctx, m_s.dialogs(), m_s.launcher()));
        return;
    }
#ifdef VARDELON_GUI_WITH_VIEWER
    done(openHarViewer(q(choice.file), this) != nullptr);
#else
    done(m_s.editFile(choice.file));
#endif
}

void MainWindow::wireRationalExpectationsPages() {
    // Sim Overview: the Rerun count rule.
    connect(m_reIter[2], &QSpinBox::valueChanged, this, [this](int v) {
        if (m_refreshing) return;
        const int kept = rerunCountChanged(m_s.settings(), v, m_s.dialogs());
        if (kept != v) {
            const QSignalBlocker b(m_reIter[2]);
            m_reIter[2]->setValue(kept);
        }
    });
    // The label beside "Policy run starts".
    QLabel* label = nullptr;
    for (QLabel* l : m_reGroup->findChildren<QLabel*>())
        if (l->text() == kPolicyStartsText) label = l;
    if (label) {
        label->setObjectName("policyStartLabel");
        auto refresh = [this, label] {
            int fpy = m_s.jobs().engine().firstPolicyYear();
            const auto text =
                policyStartLabel(m_s.rec(), m_s.settings(), m_s.model().modelReady, fpy, m_s.dialogs());
            if (text) {
                m_s.jobs().engine().setFirstPolicyYear(fpy);
                label->setText("  " + q(*text) + "  ");
            } else {
                label->setText(kPolicyStartsText);
            }
        };
        connect(m_policyStarts, &QSpinBox::valueChanged, this, [this, refresh] {
            if (!m_refreshing) refresh();
        });
        connect(m_doingRe, &QCheckBox::toggled, this, [this, refresh] {
            if (!m_refreshing) refresh();
        });
        // Whenever the window refreshes its menus (after every command and
        // record change), `FirstPolicyYear` may have been recomputed.
        m_menuUpdaters.push_back([this, refresh] {
            if (!m_s.jobRunning()) refresh();
        });
    }

    // Model/Data: viewing a first-year iteration file asks which version.
    for (QAction* a : m_dataMenu->actions()) {
        if (a->text() != "&View this file") continue;
        disconnect(a, &QAction::triggered, nullptr, nullptr);
        connect(a, &QAction::triggered, this, [this] {
            const int line = m_dataList->currentRow();
            if (line < 0 || line >= static_cast<int>(m_s.model().firstYearList.size())) return;
            const auto parts = parseFirstYearLine(m_s.model().firstYearList[static_cast<size_t>(line)]);
            if (parts.actualPath().empty() || parts.unset()) {
                m_s.dialogs().info("No file has been chosen for this line yet.");
                return;
            }
            const std::string prepared = ResolvePath(
                m_s.model().dataDir.empty() ? m_s.rec().WorkDir : m_s.model().dataDir, parts.actualPath());
            REMenuContext c = m_s.reMenu();
            if (auto file = viewFirstYearInputFile(c, trim(parts.logical), prepared)) viewFile(*file);
        });
    }
}

void MainWindow::addPartTimeLimitCommand() {
    QMenu* prefs = menu("Run Preferences");
    if (!prefs) return;
    prefs->addSeparator();
    QAction* a = addCommand(
        prefs, "Part Time Limit...",
        [this] {
            auto* d = new PartTimeLimitDialog(m_s.settings().PartTimeLimit, this);
            connect(d, &QDialog::accepted, this, [this, d] {
                m_s.setPartTimeLimit(d->chosen());
                refreshMenus();
            });
            d->open();
        },
        ChangesApp);
    a->setCheckable(true);
    m_menuUpdaters.push_back([this, a] { a->setChecked(m_s.settings().PartTimeLimit > 0); });
}

}  // namespace vdln::gui
