#include "resultscontroller.h"

#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "charts/chartwindow.h"
#include "qtdialogs.h"
#include "results/accapp.h"
#include "runrecord/recordfiles.h"
#include "windowsession.h"

namespace vdln::gui {

namespace {

QString q(const std::string& s) {
    return QString::fromStdString(s);
}

// A year's accuracy summary: its entries and the bars of the selected one.
void showSimulationAccuracy(QWidget* parent, const SimAccuracyDialog& d) {
    QDialog dlg(parent);
    dlg.setWindowTitle(q(d.caption()));
    auto* lay = new QVBoxLayout(&dlg);
    lay->addWidget(new QLabel(q(d.title())));
    const auto rows = d.rows();
    auto* list = new QTableWidget(static_cast<int>(rows.size()), 3);
    list->setHorizontalHeaderLabels({"Entry", "Variables", "Data"});
    for (size_t k = 0; k < rows.size(); ++k) {
        const int r = static_cast<int>(k);
        list->setItem(r, 0, new QTableWidgetItem(q(rows[k].label)));
        list->setItem(r, 1, new QTableWidgetItem(q(rows[k].variablesText)));
        list->setItem(r, 2, new QTableWidgetItem(q(rows[k].dataText)));
    }
    list->horizontalHeader()->setStretchLastSection(true);
    lay->addWidget(list);
    QString bars;
    for (const AccBar& b : d.bars())
        bars += QString("%1 figures: %2 %3\n")
                    .arg(b.figures)
                    .arg(QString(static_cast<int>(b.length * 40), QChar('#')), q(b.countText));
    auto* barLabel = new QLabel(bars.trimmed());
    barLabel->setFont(QFont("monospace"));
    lay->addWidget(barLabel);
    lay->addWidget(new QLabel(AccTexts::kLegend));
    auto* box = new QDialogButtonBox(QDialogButtonBox::Ok);
    QObject::connect(box, &QDialogButtonBox::accepted, &dlg, &QDialog::accept);
    lay->addWidget(box);
    dlg.exec();
}

// The grid of every year of every run.
void showApplicationAccuracy(QWidget* parent, const AppAccuracyDialog& d) {
    QDialog dlg(parent);
    dlg.setWindowTitle(q(d.caption()));
    auto* lay = new QVBoxLayout(&dlg);
    lay->addWidget(new QLabel(q(d.title())));
    const auto cols = d.columnTitles();
    const auto rows = d.rowTitles();
    auto* grid = new QTableWidget(d.rowCount() + 2, static_cast<int>(cols.size()));
    QStringList ch, rh;
    for (const auto& c : cols) ch << q(c);
    for (const auto& r : rows) rh << q(r);
    for (const auto& r : d.worstRowTitles()) rh << q(r);
    grid->setHorizontalHeaderLabels(ch);
    grid->setVerticalHeaderLabels(rh);
    for (int c = 0; c < static_cast<int>(cols.size()); ++c) {
        for (int i = 1; i <= d.rowCount(); ++i)
            grid->setItem(i - 1, c, new QTableWidgetItem(q(d.cell(i, c).text)));
        grid->setItem(d.rowCount(), c, new QTableWidgetItem(q(d.worstCell(c, AccKind::Variables).text)));
        grid->setItem(d.rowCount() + 1, c, new QTableWidgetItem(q(d.worstCell(c, AccKind::Data).text)));
    }
    lay->addWidget(grid);
    lay->addWidget(new QLabel(q(d.legend())));
    auto* box = new QDialogButtonBox(QDialogButtonBox::Ok);
    QObject::connect(box, &QDialogButtonBox::accepted, &dlg, &QDialog::accept);
    lay->addWidget(box);
    dlg.exec();
}

}  // namespace

ResultsController::ResultsController(ResultsPageControls& controls, WindowSession& session, QWidget* parent)
    : QObject(parent), m_c(controls), m_s(session), m_parent(parent) {
    connect(m_c.individualView, &QPushButton::clicked, this, &ResultsController::viewYear);
    connect(m_c.individualProbex, &QPushButton::clicked, this, &ResultsController::probexYear);
    connect(m_c.allView, &QPushButton::clicked, this, &ResultsController::viewAllYears);
    connect(m_c.allGraphs, &QPushButton::clicked, this, &ResultsController::graphs);
    connect(m_c.allAccuracy, &QPushButton::clicked, this, &ResultsController::accuracy);
    connect(m_c.allProbex, &QPushButton::clicked, this, &ResultsController::probexAll);
    auto runChosen = [this](AllYearsRun run) {
        return [this, run](bool on) {
            if (!on || m_showing) return;
            readControls();
            auto ctx = context();
            chooseAllYearsRun(m_page, run, ctx);
            showState();
        };
    };
    connect(m_c.allBase, &QRadioButton::toggled, this, runChosen(AllYearsRun::Base));
    connect(m_c.allRerun, &QRadioButton::toggled, this, runChosen(AllYearsRun::Rerun));
    connect(m_c.allPolicy, &QRadioButton::toggled, this, runChosen(AllYearsRun::Policy));
    connect(m_c.allDifferences, &QRadioButton::toggled, this, runChosen(AllYearsRun::Differences));
    refresh();
}

ResultsContext ResultsController::context() {
    ResultsContext ctx(m_s.rec(), m_s.settings(), m_s.env());
    ctx.firstPolicyYear = std::max(1, m_s.jobs().engine().firstPolicyYear());
    ctx.keep = m_s.runRecordEnv().keep;
    // An iteration input of a run's first year is offered in the version the
    // next iteration reads, or the start copy its first iteration read.
    ctx.reStartCopy = [this](int run, const std::string& logical) {
        return m_s.re().setUpNames() ? m_s.re().startCopyName(run, logical, 1) : std::string();
    };
    return ctx;
}

void ResultsController::restoreRecord() {
    // The working copies of the record of runs must describe the application
    // shown before any file is compared with them.
    RunRecordEnv& env = m_s.runRecordEnv();
    if (Status s = RestoreRunRecordCopies(env.keep, env.copies, m_s.settings().NoRerun); !s)
        m_s.dialogs().warning(s.message());
}

void ResultsController::readControls() {
    m_page.yearRun = m_c.individualPolicy->isChecked()  ? kRunPolicy
                     : m_c.individualRerun->isChecked() ? kRunRerun
                                                        : kRunBase;
    m_page.item = m_c.individualItem->currentIndex();
    m_page.year = m_c.individualYear->currentIndex();
    m_page.allYears.run = m_c.allDifferences->isChecked() ? AllYearsRun::Differences
                          : m_c.allPolicy->isChecked()    ? AllYearsRun::Policy
                          : m_c.allRerun->isChecked()     ? AllYearsRun::Rerun
                                                          : AllYearsRun::Base;
    m_page.allYears.someYears = m_c.yearsSome->isChecked();
    m_page.allYears.cumulative = m_c.styleCumulative->isChecked();
}

void ResultsController::showState() {
    m_showing = true;
    m_c.individualItem->clear();
    for (const auto& it : m_page.items) m_c.individualItem->addItem(q(it.label));
    m_c.individualItem->setCurrentIndex(m_page.item);
    m_c.individualYear->clear();
    for (const auto& y : m_page.years) m_c.individualYear->addItem(q(y.label));
    m_c.individualYear->setCurrentIndex(m_page.year);
    (m_page.yearRun == kRunPolicy  ? m_c.individualPolicy
     : m_page.yearRun == kRunRerun ? m_c.individualRerun
                                   : m_c.individualBase)
        ->setChecked(true);
    m_c.individualRerun->setEnabled(m_page.rerunEnabled);
    m_c.allRerun->setEnabled(m_page.rerunEnabled);
    switch (m_page.allYears.run) {
        case AllYearsRun::Base:
            m_c.allBase->setChecked(true);
            break;
        case AllYearsRun::Rerun:
            m_c.allRerun->setChecked(true);
            break;
        case AllYearsRun::Policy:
            m_c.allPolicy->setChecked(true);
            break;
        case AllYearsRun::Differences:
            m_c.allDifferences->setChecked(true);
            break;
    }
    (m_page.allYears.someYears ? m_c.yearsSome : m_c.yearsAll)->setChecked(true);
    m_c.styleYearOnYear->setEnabled(m_page.style.yearOnYearEnabled);
    m_c.styleCumulative->setEnabled(m_page.style.cumulativeEnabled);
    (m_page.allYears.cumulative ? m_c.styleCumulative : m_c.styleYearOnYear)->setChecked(true);
    m_c.allDifferences->setText(q(m_page.differencesCaption));
    m_c.allGraphs->setText(q(m_page.graphsCaption));
    m_showing = false;
}

void ResultsController::refresh() {
    if (m_showing) return;
    if (!m_page.items.empty()) readControls();
    auto ctx = context();
    refreshResultsPage(m_page, ctx);
    showState();
}

void ResultsController::afterTick() {
    const JobEngine& engine = m_s.jobs().engine();
    const bool running = engine.running();
    if (m_wasRunning && !running && engine.outcome() == JobOutcome::Finished) {
        readControls();
        auto ctx = context();
        applyResultsChoice(m_page, engine.resultsChoice(), ctx);
        showState();
    }
    m_wasRunning = running;
}

void ResultsController::viewYear() {
    readControls();
    const YearItem* item = m_page.selectedItem();
    if (!item || m_page.selectedSim() < 0) return;
    restoreRecord();
    auto ctx = context();
    ViewAction a = viewYearFile(ctx, *item, m_page.yearRun, m_page.selectedSim(), m_s.dialogs());
    if (a.target == ViewTarget::AccuracyDialog && a.accuracy) {
        showSimulationAccuracy(m_parent, *a.accuracy);
        return;
    }
    if (a.target == ViewTarget::HeaderArrayViewer && m_builtInViewer && !gridlensAvailable(ctx)) {
        m_builtInViewer(a.file);
        return;
    }
    // A solution file is a header array file too: without a solution viewer
    // it opens in the built-in viewer rather than in nothing.
    if (a.target == ViewTarget::SolutionViewer && m_builtInViewer && !outlensAvailable(ctx)) {
        m_builtInViewer(a.file);
        return;
    }
    // Text files go where every other text file of the window goes: the
    // editor, or the window's own viewer when there is none.
    // A failure to open has been shown either way.
    if (a.target == ViewTarget::TextEditor)
        m_s.editFile(a.file);
    else
        openViewAction(a, ctx, m_s.dialogs(), m_s.launcher());
}

void ResultsController::probexYear() {
    readControls();
    const YearItem* item = m_page.selectedItem();
    if (!item || m_page.selectedSim() < 0) return;
    auto ctx = context();
    analyseYear(ctx, *item, m_page.yearRun, m_page.selectedSim(), m_s.dialogs(), m_s.launcher());
}

void ResultsController::viewAllYears() {
    readControls();
    restoreRecord();
    auto ctx = context();
    viewSpreadsheet(ctx, m_page.allYears, m_s.dialogs(), m_s.launcher());
}

void ResultsController::graphs() {
    readControls();
    auto ctx = context();
    if (outlensAvailable(ctx)) {
        openGraphsInOutlens(ctx, m_page.allYears, m_s.dialogs(), m_s.launcher());
        return;
    }
    openResultsChartWindow(graphsChartSources(ctx), graphsChartRequest(ctx, m_page.allYears), m_parent);
}

void ResultsController::accuracy() {
    auto ctx = context();
    AccApplication app = accApplicationFor(m_s.rec(), m_s.settings(), ctx.firstPolicyYear, ctx.helpContext);
    if (auto d = makeApplicationSummaries(app, m_s.dialogs())) showApplicationAccuracy(m_parent, *d);
}

void ResultsController::probexAll() {
    readControls();
    restoreRecord();
    auto ctx = context();
    analyseCumulative(ctx, m_page.allYears, m_s.dialogs(), m_s.launcher());
}

}  // namespace vdln::gui
