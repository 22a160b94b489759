#include "mainwindow.h"

#include "resultscontroller.h"
#include "textviewer.h"
#ifdef VARDELON_GUI_WITH_VIEWER
#include "viewer/harviewer.h"
#endif

#include <sys/utsname.h>
#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateTime>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFormLayout>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QSocketNotifier>
#include <QSpinBox>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QTextBrowser>
#include <QTimer>
#include <QVBoxLayout>

#include "archive/ingredients.h"
#include "archive/results.h"
#include "base/fileutil.h"
#include "base/paths.h"
#include "base/strutil.h"
#include "base/textfile.h"
#include "cmf/closurecheck.h"
#include "env/suite.h"
#include "env/tools.h"
#include "gridmodel.h"
#include "helpbrowser.h"
#include "jobs/jobscommands.h"
#include "jobs/jobslog.h"
#include "jobs/startranges.h"
#include "model/filenames.h"
#include "model/optiontoggles.h"
#include "model/simgrid.h"
#include "model/solutionmethod.h"
#include "qtdialogs.h"
#include "reports/appreports.h"
#include "results/resultsview.h"
#include "runrecord/wheretostart.h"
#include "windowdialogs.h"

// Resources of a static library are registered by hand.
static void initGuiResources() {
    Q_INIT_RESOURCE(gui);
}

namespace vdln::gui {

namespace {

QString q(const std::string& s) {
    return QString::fromStdString(s);
}
std::string s(const QString& t) {
    return t.toStdString();
}
QString plain(QString caption) {
    return caption.remove('&');
}

// Whether a command did what was asked (its failures and refusals have been
// shown by the command itself).
bool succeeded(bool ok) {
    return ok;
}
template <class T>
bool succeeded(const std::optional<T>& r) {
    return r.has_value();
}
bool succeeded(const CheckReport& r) {
    return r.done;
}

/// The colours of the three runs in the bottom panel.
QColor runColour(int run) {
    switch (run) {
        case kRunBase:
            return QColor(0x1f, 0x4e, 0xa8);
        case kRunRerun:
            return QColor(0x80, 0x30, 0x90);
        case kRunPolicy:
            return QColor(0x1d, 0x7a, 0x2e);
        default:
            return QColor(0x40, 0x40, 0x40);
    }
}

QLabel* boldLabel(const QString& text) {
    auto* l = new QLabel(text);
    QFont f = l->font();
    f.setBold(true);
    l->setFont(f);
    return l;
}

}  // namespace

// ---------------------------------------------------------------- window

MainWindow::MainWindow(WindowSession& session, QWidget* parent) : QMainWindow(parent), m_s(session) {
    initGuiResources();
    setObjectName("TMainForm");
    setWindowTitle("Vardelon");
    setWindowIcon(QIcon(":/vardelon/vardelon.svg"));
    if (auto* qd = dynamic_cast<QtDialogs*>(&m_s.dialogs())) {
        qd->setParent(this);
        qd->setHelp([this](int context, const std::string& text) {
            const QString id = "message:" + QString::number(context);
            if (!helpBrowser()) return;
            m_help->showTopic(id, q(text));
        });
    }
    auto* central = new QWidget;
    auto* lay = new QVBoxLayout(central);
    m_tabs = new QTabWidget;
    m_tabs->setObjectName("pages");
    m_tabs->addTab(buildIntroduction(), "Introduction");
    m_tabs->addTab(buildModelData(), "Model/Data");
    m_tabs->addTab(buildSimOverview(), "Sim Overview");
    m_tabs->addTab(buildClosureShock(), "Closure/Shock");
    m_tabs->addTab(buildResults(), "Results");
    m_tabs->addTab(buildOtherFiles(), "Other files");
    lay->addWidget(m_tabs, 1);
    lay->addWidget(buildBottomPanel());
    setCentralWidget(central);
    connect(m_tabs, &QTabWidget::currentChanged, this, [this](int page) {
        if (page == PageClosureShock) m_grid->reload();
        if (page == PageOtherFiles) refreshOtherFiles();
    });
    buildMenus();
    buildRationalExpectationsMenu();
    m_s.setTextViewer([this](const std::string& file) {
        QString why;
        if (openTextViewer(q(file), this, &why)) return true;
        m_s.dialogs().error("Cannot open file:\r\n" + file + "\r\n[" + s(why) + "]");
        return false;
    });
    m_resultsCtl = new ResultsController(m_results, m_s, this);
#ifdef VARDELON_GUI_WITH_VIEWER
    m_resultsCtl->setBuiltInViewer([this](const std::string& file) {
        return openHarViewer(QString::fromStdString(file), this) != nullptr;
    });
#endif
    statusBar()->showMessage("Ready");

    m_timer = new QTimer(this);
    m_timer->setInterval(1000);
    connect(m_timer, &QTimer::timeout, this, &MainWindow::onTick);
    const int fd = m_s.jobs().wakeFd();
    if (fd >= 0) {
        m_wake = new QSocketNotifier(fd, QSocketNotifier::Read, this);
        connect(m_wake, &QSocketNotifier::activated, this, &MainWindow::onTick);
    }
    refreshPages();
    refreshPanel();
    refreshMenus();
    resize(1000, 700);
}

MainWindow::~MainWindow() {
    // The session may outlive the window.
    m_s.setTextViewer(nullptr);
}

HelpBrowser* MainWindow::helpBrowser() {
    if (!m_help) m_help = new HelpBrowser(this);
    return m_help;
}

void MainWindow::showHelp(const QString& topic) {
    helpBrowser()->showTopic(topic);
}

void MainWindow::closeEvent(QCloseEvent* e) {
    if (!m_s.close(true)) {
        e->ignore();
        return;
    }
    m_timer->stop();
    if (m_help) m_help->close();
    e->accept();
}

// ---------------------------------------------------------------- pages

QWidget* MainWindow::buildIntroduction() {
    auto* w = new QWidget;
    w->setObjectName("pageIntroduction");
    auto* lay = new QVBoxLayout(w);
    auto* title = new QLabel("Vardelon");
    title->setObjectName("introTitle");
    QFont f = title->font();
    f.setPointSize(f.pointSize() * 2 + 4);
    f.setBold(true);
    title->setFont(f);
    title->setAlignment(Qt::AlignCenter);
    auto* sub = new QLabel("Year-by-year simulations of recursive-dynamic models");
    sub->setAlignment(Qt::AlignCenter);
    m_introModel = new QLabel;
    m_introModel->setObjectName("introModel");
    m_introModel->setWordWrap(true);
    m_introModel->setAlignment(Qt::AlignCenter);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    for (const char* name : {"Model", "Software", "Contact"}) {
        auto* b = new QPushButton(name);
        b->setObjectName(QString("intro") + name);
        b->setMinimumWidth(110);
        buttons->addWidget(b);
        const QString n = name;
        connect(b, &QPushButton::clicked, this, [this, n] {
            const std::string folder = n == "Model" && !m_s.model().modelDir.empty()
                                           ? m_s.model().modelDir
                                           : m_s.env().programDirectory();
            const std::string file = n == "Model" && !m_s.model().modelName.empty()
                                         ? m_s.model().modelName + ".txt"
                                         : "vardelon-" + s(n.toLower()) + ".txt";
            const QString fallback =
                n == "Model" ? "No description of the model was found.\nPut a text file named " + q(file) +
                                   " beside the model."
                : n == "Software" ? "Vardelon " VARDELON_VERSION
                                    "\n\nPrepares, runs, checks and archives year-by-year "
                                    "simulations with the suite's console programs."
                                  : "Ask the person who set up this application for help with the model.";
            showTextFile(n, q(JoinPath(folder, file)), fallback);
        });
    }
    buttons->addStretch();
    lay->addStretch();
    lay->addWidget(title);
    lay->addWidget(sub);
    lay->addSpacing(24);
    lay->addWidget(m_introModel);
    lay->addSpacing(24);
    lay->addLayout(buttons);
    lay->addStretch();
    return w;
}

void MainWindow::showTextFile(const QString& title, const QString& file, const QString& fallback) {
    QDialog dlg(this);
    dlg.setWindowTitle(title);
    auto* lay = new QVBoxLayout(&dlg);
    auto* text = new QPlainTextEdit;
    text->setReadOnly(true);
    auto content = readWholeFile(s(file));
    text->setPlainText(content ? q(*content) : fallback);
    lay->addWidget(text);
    auto* bb = new QDialogButtonBox(QDialogButtonBox::Close);
    connect(bb, &QDialogButtonBox::rejected, &dlg, &QDialog::reject);
    lay->addWidget(bb);
    dlg.resize(560, 380);
    dlg.exec();
}

QWidget* MainWindow::buildModelData() {
    auto* w = new QWidget;
    w->setObjectName("pageModelData");
    auto* lay = new QVBoxLayout(w);
    auto* top = new QHBoxLayout;
    m_modelLabel = boldLabel("Model : (none selected)");
    m_modelLabel->setObjectName("modelLabel");
    m_modelLabel->setWordWrap(true);
    auto* change = new QPushButton("Change &Model");
    change->setObjectName("changeModel");
    connect(change, &QPushButton::clicked, this, [this] {
        if (m_s.models().SelectModel()) {
            m_s.modelChanged();
            recordChanged();
        }
    });
    top->addWidget(m_modelLabel, 1);
    top->addWidget(change);
    lay->addLayout(top);
    lay->addWidget(new QLabel("Input files for First Year of Base Case:"));
    auto* hint = new QLabel("Right click on any line below to select or change actual file");
    hint->setStyleSheet("color: #555;");
    lay->addWidget(hint);
    m_dataList = new QListWidget;
    m_dataList->setObjectName("firstYearList");
    m_dataList->setContextMenuPolicy(Qt::CustomContextMenu);
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    m_dataList->setFont(mono);
    lay->addWidget(m_dataList, 1);

    m_dataMenu = new QMenu(this);
    auto lineAction = [this](const QString& caption, const std::function<void(int)>& run) {
        QAction* a = m_dataMenu->addAction(caption);
        connect(a, &QAction::triggered, this, [this, run] {
            const int line = m_dataList->currentRow();
            if (line < 0) return;
            run(line);
            m_s.modelChanged();
            refreshPages();
        });
    };
    lineAction("&Select or change the file name",
               [this](int line) { done(succeeded(m_s.models().SelectDataFile(line))); });
    lineAction("&View this file", [this](int line) {
        const auto parts = parseFirstYearLine(m_s.model().firstYearList[static_cast<size_t>(line)]);
        if (parts.actualPath().empty() || parts.actualPath() == "??")
            m_s.dialogs().info("No file has been chosen for this line yet.");
        else
            viewFile(ResolvePath(m_s.model().dataDir.empty() ? m_s.rec().WorkDir : m_s.model().dataDir,
                                 parts.actualPath()));
    });
    lineAction("&Tell me more about this file", [this](int line) { m_s.models().DataFileInfo(line); });
    lineAction("&Clear this file name", [this](int line) { m_s.models().ClearDataFile(line); });
    connect(m_dataMenu->addAction("&Help"), &QAction::triggered, this,
            [this] { showHelp("page:Model/Data"); });
    connect(m_dataList, &QListWidget::customContextMenuRequested, this, [this](const QPoint& p) {
        if (auto* item = m_dataList->itemAt(p)) m_dataList->setCurrentItem(item);
        if (m_dataList->currentRow() >= 0) m_dataMenu->popup(m_dataList->viewport()->mapToGlobal(p));
    });

    auto* row = new QHBoxLayout;
    auto* saveAs = new QPushButton("Save &As ...");
    saveAs->setObjectName("dataSaveAs");
    auto* load = new QPushButton("&Load ...");
    load->setObjectName("dataLoad");
    connect(saveAs, &QPushButton::clicked, this, [this] { done(succeeded(m_s.models().SaveDataFiles())); });
    connect(load, &QPushButton::clicked, this, [this] {
        if (m_s.models().LoadDataFiles()) {
            m_s.modelChanged();
            refreshPages();
        }
    });
    m_notWinconsole = new QCheckBox("This is not a &winconsole EXE");
    m_notWinconsole->setObjectName("notWinconsole");
    connect(m_notWinconsole, &QCheckBox::toggled, this, [this](bool on) {
        if (m_refreshing) return;
        m_s.settings().model.NotWinconsoleExe = on;
    });
    row->addWidget(saveAs);
    row->addWidget(load);
    row->addStretch();
    row->addWidget(m_notWinconsole);
    lay->addLayout(row);
    return w;
}

QWidget* MainWindow::buildSimOverview() {
    auto* w = new QWidget;
    w->setObjectName("pageSimOverview");
    auto* outer = new QHBoxLayout(w);
    auto* left = new QVBoxLayout;
    auto* names = new QGroupBox("Sim names (3 Chars) ");
    auto* nl = new QFormLayout(names);
    const char* runLabels[4] = {"", "A: Base Case", "B: Base Rerun", "C: Policy Sims"};
    for (int r = 1; r <= 3; ++r) {
        m_names[r] = new QLineEdit;
        m_names[r]->setObjectName(QString("simName%1").arg(r));
        m_names[r]->setMaxLength(3);
        m_names[r]->setMaximumWidth(70);
        m_names[r]->setValidator(
            new QRegularExpressionValidator(QRegularExpression("[A-Za-z0-9_]{0,3}"), m_names[r]));
        nl->addRow(runLabels[r], m_names[r]);
        connect(m_names[r], &QLineEdit::textEdited, this, [this, r](const QString& t) {
            const QString up = t.toUpper();
            if (up != t) {
                const int pos = m_names[r]->cursorPosition();
                m_names[r]->setText(up);
                m_names[r]->setCursorPosition(pos);
            }
            if (Status st = SetSimName(m_s.rec(), r, s(up)); !st) {
                m_s.dialogs().info(st.message());
                m_names[r]->setText(QString::fromStdString(m_s.rec().SimNames[r].str()));
                return;
            }
            m_grid->reload();
        });
        connect(m_names[r], &QLineEdit::editingFinished, this, [this, r] { simNameFinished(r); });
    }
    left->addWidget(names);

    auto* years = new QGroupBox("Years");
    auto* yl = new QGridLayout(years);
    m_firstYear = new QLineEdit;
    m_firstYear->setObjectName("firstYear");
    m_firstYear->setMaxLength(4);
    m_firstYear->setMaximumWidth(70);
    m_firstYear->setValidator(new QIntValidator(1, kMaxLastYear, m_firstYear));
    m_firstYearNote = new QLabel;
    m_firstYearNote->setObjectName("firstYearNote");
    m_numYears = new QLineEdit;
    m_numYears->setObjectName("numYears");
    m_numYears->setMaxLength(2);
    m_numYears->setMaximumWidth(70);
    m_numYears->setValidator(new QIntValidator(1, 99, m_numYears));
    m_numYearsNote = new QLabel;
    m_numYearsNote->setObjectName("numYearsNote");
    yl->addWidget(new QLabel("First Year of Base Sims (4 digits)"), 0, 0);
    yl->addWidget(m_firstYear, 0, 1);
    yl->addWidget(m_firstYearNote, 0, 2);
    yl->addWidget(new QLabel("Number of Years (1 or 2 digits)"), 1, 0);
    yl->addWidget(m_numYears, 1, 1);
    yl->addWidget(m_numYearsNote, 1, 2);
    auto yearsEdited = [this] {
        bool ok1 = false, ok2 = false;
        const int first = m_firstYear->text().toInt(&ok1);
        const int n = m_numYears->text().toInt(&ok2);
        if (ok1 && first > 0) m_s.rec().StartYear = first;
        if (ok2 && n > 0) m_s.rec().NumYears = std::min(n, kMaxYears);
        ComputeYears(m_s.rec());
        RefreshGrid(m_s.rec());
        m_grid->reload();
        refreshPages();
    };
    connect(m_firstYear, &QLineEdit::editingFinished, this, yearsEdited);
    connect(m_numYears, &QLineEdit::editingFinished, this, yearsEdited);
    left->addWidget(years);

    auto* files = new QGroupBox("Folders and files");
    auto* fl = new QGridLayout(files);
    auto fileRow = [&](int row, const QString& label, QLabel*& value, const char* obj,
                       const std::vector<std::pair<QString, std::function<void()>>>& buttons) {
        fl->addWidget(new QLabel(label), row, 0);
        value = new QLabel;
        value->setObjectName(obj);
        value->setFrameShape(QFrame::StyledPanel);
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        value->setMinimumWidth(260);
        fl->addWidget(value, row, 1);
        int col = 2;
        for (const auto& [caption, run] : buttons) {
            auto* b = new QPushButton(caption);
            b->setObjectName(QString(obj) + plain(caption));
            connect(b, &QPushButton::clicked, this, run);
            fl->addWidget(b, row, col++);
        }
    };
    fileRow(0, "Working Directory", m_workDir, "workDir", {{"Change", [this] {
                                                                auto d = m_s.dialogs().chooseFolder(
                                                                    "Working Directory", m_s.rec().WorkDir);
                                                                if (!d) return;
                                                                m_s.rec().WorkDir = *d;
                                                                RefreshGrid(m_s.rec());
                                                                m_grid->reload();
                                                                refreshPages();
                                                            }}});
    fileRow(1, "Solution Method", m_method, "solutionMethod",
            {{"Change", [this] {
                  auto r =
                      editSolutionMethod(this, m_s.settings().Method, m_s.settings().Accuracy, m_s.dialogs());
                  if (r) {
                      m_s.settings().Method = r->first;
                      m_s.settings().Accuracy = r->second;
                  }
                  refreshPages();
              }}});
    fileRow(2, "Mapping File for Results", m_mapFile, "mapFile",
            {{"Change",
              [this] {
                  FileRequest req;
                  req.title = "Mapping File for Results";
                  req.initialDir = m_s.rec().WorkDir;
                  req.filter = "Map Files (*.MAP)|*.map|All Files (*.*)|*.*";
                  auto f = m_s.dialogs().chooseFile(req);
                  if (!f) return;
                  m_s.settings().ResultsMapFile = *f;
                  refreshPages();
              }},
             {"Edit", [this] {
                  if (m_s.settings().ResultsMapFile.empty())
                      m_s.dialogs().info("No mapping file for results has been chosen.");
                  else
                      done(succeeded(m_s.editFile(m_s.settings().ResultsMapFile)));
              }}});
    left->addWidget(files);

    auto* periods = new QHBoxLayout;
    periods->addWidget(new QLabel("Lengths of Periods in years :"));
    m_period = new QComboBox;
    m_period->setObjectName("period");
    m_period->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    m_periodLength = new QSpinBox;
    m_periodLength->setObjectName("periodLength");
    m_periodLength->setRange(1, 99);
    periods->addWidget(m_period);
    periods->addWidget(m_periodLength);
    periods->addStretch();
    connect(m_period, &QComboBox::currentIndexChanged, this, [this](int i) {
        if (m_refreshing || i < 0) return;
        const QSignalBlocker b(m_periodLength);
        m_periodLength->setValue(m_s.rec().PeriodLength[i + 1]);
    });
    connect(m_periodLength, &QSpinBox::valueChanged, this, [this](int v) {
        if (m_refreshing) return;
        const int i = m_period->currentIndex() + 1;
        if (i < 1 || i > m_s.rec().NumYears) return;
        m_s.rec().PeriodLength[i] = v;
        ComputeYears(m_s.rec());
        RefreshGrid(m_s.rec());
        m_grid->reload();
        refreshPages();
    });
    left->addLayout(periods);

    auto* buttons = new QGridLayout;
    auto button = [&](const QString& caption, const char* obj, int r, int c, std::function<void()> run) {
        auto* b = new QPushButton(caption);
        b->setObjectName(obj);
        connect(b, &QPushButton::clicked, this, std::move(run));
        buttons->addWidget(b, r, c);
    };
    button("Edit Sim Desc", "editSimDesc", 0, 0, [this] {
        auto d = m_s.details();
        done(succeeded(EditSimDescription(d)));
    });
    button("Load Sim Details", "loadSimDetails", 0, 1, [this] {
        if (m_s.loadDetails(std::nullopt)) recordChanged();
    });
    button("Save Sim Details", "saveSimDetails", 1, 0, [this] {
        done(succeeded(m_s.saveDetailsAs()));
        refreshPages();
    });
    button("Omit Some Periods at Start", "omitPeriods", 1, 1, [this] {
        auto d = m_s.details();
        if (OmitPeriodsAtStart(d)) recordChanged();
    });
    left->addLayout(buttons);
    left->addStretch();
    outer->addLayout(left, 3);

    m_reGroup = new QGroupBox(" Rational Expectations ? ");
    m_reGroup->setObjectName("reGroup");
    auto* rl = new QFormLayout(m_reGroup);
    m_doingRe = new QCheckBox("Doing Rational Expectations");
    m_doingRe->setObjectName("doingRe");
    rl->addRow(m_doingRe);
    connect(m_doingRe, &QCheckBox::toggled, this, [this](bool on) {
        if (m_refreshing) return;
        m_s.settings().re.DoingRE = on;
        if (on) m_s.settings().re.HideRE = false;
    });
    m_historyYears = new QLineEdit;
    m_historyYears->setObjectName("historyYears");
    m_historyYears->setMaxLength(2);
    m_historyYears->setMaximumWidth(50);
    m_historyYears->setValidator(new QIntValidator(0, 99, m_historyYears));
    rl->addRow("Number of History Years (1 or 2 digits)", m_historyYears);
    connect(m_historyYears, &QLineEdit::editingFinished, this, [this] {
        // The history years are the periods the Policy run starts before its
        // first shock.
        bool ok = false;
        const int n = m_historyYears->text().toInt(&ok);
        if (ok) m_s.settings().re.PolicyStartYear = n;
        refreshPages();
    });
    rl->addRow(new QLabel("Numbers of iterations"));
    const char* iterLabels[4] = {"", "Base :", "Rerun :", "Policy :"};
    for (int r = 1; r <= 3; ++r) {
        m_reIter[r] = new QSpinBox;
        m_reIter[r]->setObjectName(QString("reIterations%1").arg(r));
        m_reIter[r]->setRange(1, 99);
        m_reIter[r]->setValue(1);
        rl->addRow(iterLabels[r], m_reIter[r]);
        connect(m_reIter[r], &QSpinBox::valueChanged, this, [this, r](int v) {
            if (m_refreshing) return;
            RESettings& re = m_s.settings().re;
            (r == 1 ? re.BaseIterations : r == 2 ? re.RerunIterations : re.PolicyIterations) = v;
        });
    }
    auto* starts = new QHBoxLayout;
    starts->addWidget(new QLabel("Policy run starts"));
    m_policyStarts = new QSpinBox;
    m_policyStarts->setObjectName("policyStarts");
    m_policyStarts->setRange(0, 99);
    starts->addWidget(m_policyStarts);
    starts->addWidget(new QLabel("  years before first Policy shock  "));
    rl->addRow(starts);
    connect(m_policyStarts, &QSpinBox::valueChanged, this, [this](int v) {
        if (m_refreshing) return;
        m_s.settings().re.PolicyStartYear = v;
        const QSignalBlocker b(m_historyYears);
        m_historyYears->setText(QString::number(v));
    });
    auto* right = new QVBoxLayout;
    right->addWidget(m_reGroup);
    right->addStretch();
    outer->addLayout(right, 2);
    return w;
}

QWidget* MainWindow::buildClosureShock() {
    auto* w = new QWidget;
    w->setObjectName("pageClosureShock");
    auto* lay = new QVBoxLayout(w);
    m_grid = new GridModel(m_s.rec(), this);
    connect(m_grid, &GridModel::recordEdited, this, [this] { refreshMenus(); });
    connect(m_grid, &GridModel::editRefused, this,
            [this](const QString& message) { m_s.dialogs().info(message.toStdString()); });
    m_gridView = new QTableView;
    m_gridView->setObjectName("closureShockGrid");
    m_gridView->setModel(m_grid);
    m_gridView->verticalHeader()->hide();
    m_gridView->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    m_gridView->horizontalHeader()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    m_gridView->setSelectionMode(QAbstractItemView::ContiguousSelection);
    m_gridView->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                                QAbstractItemView::AnyKeyPressed);
    m_gridView->setContextMenuPolicy(Qt::CustomContextMenu);
    m_gridView->verticalHeader()->setDefaultSectionSize(m_gridView->fontMetrics().height() + 8);
    lay->addWidget(m_gridView, 1);

    auto* bottom = new QHBoxLayout;
    auto legend = [](const QString& text, const QColor& c) {
        auto* l = new QLabel(text);
        l->setAutoFillBackground(true);
        l->setStyleSheet(QString("background:%1; padding:3px 8px; border:1px solid #999;").arg(c.name()));
        return l;
    };
    auto* red = legend("Red files do not exist", GridModel::missingColour());
    red->setObjectName("legendRed");
    auto* green = legend("Green files exist, but a constituent does not", GridModel::constituentColour());
    green->setObjectName("legendGreen");
    bottom->addWidget(red);
    bottom->addWidget(green);
    bottom->addWidget(new QLabel("Right click on cells for action"));
    bottom->addStretch();
    auto* follow = new QPushButton("Follow Pattern");
    follow->setObjectName("followPattern");
    auto* asPrev = new QPushButton("As Previous");
    asPrev->setObjectName("asPrevious");
    bottom->addWidget(follow);
    bottom->addWidget(asPrev);
    lay->addLayout(bottom);

    auto applyBlock = [this](bool pattern) {
        const GridSelection sel = selectedBlock();
        if (sel.top < 1 || sel.left < 1) {
            m_s.dialogs().info("Select cells in the rows of the years first.");
            return;
        }
        if (pattern)
            FollowPattern(m_s.rec(), sel);
        else
            AsPrevious(m_s.rec(), sel);
        RefreshGrid(m_s.rec());
        m_grid->reload();
    };
    connect(follow, &QPushButton::clicked, this, [applyBlock] { applyBlock(true); });
    connect(asPrev, &QPushButton::clicked, this, [applyBlock] { applyBlock(false); });

    // The cell pop-up menu.
    m_cellMenu = new QMenu(this);
    m_cellMenu->setObjectName("gridCellMenu");
    auto cell = [this](const QString& caption, const std::function<void(int row, int col)>& run) {
        QAction* a = m_cellMenu->addAction(caption);
        connect(a, &QAction::triggered, this, [this, run] {
            run(m_menuRow, m_menuCol);
            RefreshGrid(m_s.rec());
            m_grid->reload();
        });
        return a;
    };
    cell("&Select one", [this](int r, int c) { done(succeeded(SelectOne(m_s.rec(), r, c, m_s.dialogs()))); });
    cell("C&ommon", [this](int r, int c) { SetCommon(m_s.rec(), r, c); });
    cell("&None", [this](int r, int c) { SetNone(m_s.rec(), r, c); });
    cell("&Edit", [this](int r, int c) {
        const std::string stem = m_s.rec().GridStem(r, c).str();
        if (stem.empty() || stem == "?" || stem == "N/A") {
            m_s.dialogs().info("This cell names no file of its own.");
            return;
        }
        RefreshGrid(m_s.rec());
        done(succeeded(m_s.editFile(UserFilePath(m_s.rec().WorkDir, m_s.rec().GridFile(r, c).str()))));
    });
    cell("Check &Files Named Here", [this](int r, int c) {
        GridRunRanges ranges;
        const int run = gridColumnRun(c);
        for (int k = 1; k <= 3; ++k) ranges.first[k] = m_s.rec().NumYears + 1;
        ranges.first[run] = r >= 1 ? r : 1;
        ranges.last[run] = r >= 1 ? r : m_s.rec().NumYears;
        if (CheckGridFiles(m_s.rec(), c, c, ranges, m_s.settings().NoRerun, false, m_s.dialogs()))
            m_s.dialogs().info("All files named here exist, as do the files they refer to.");
    });
    auto check = [this](bool withShocks, bool saveEnvironment) {
        return [this, withShocks, saveEnvironment](int r, int c) {
            if (r < 1) {
                m_s.dialogs().info("Please choose a cell in the row of a year.");
                return;
            }
            ClosureCheckRequest common = m_s.closureCheckCommon();
            if (saveEnvironment) {
                auto name = m_s.dialogs().inputText(
                    "Check Closure, Save Environment File",
                    "Name of the environment file to save (in the Working Directory):",
                    m_s.rec().GridStem(r, c).str() + ".en4");
                if (!name || name->empty()) return;
                common.environmentFile = *name;
            }
            done(succeeded(m_s.startClosureChecks(cellClosureCheck(r, c, withShocks, common))));
            afterJobChange();
        };
    };
    m_checkActions[0] = cell("Check &Closure", check(false, false));
    m_checkActions[1] = cell("Check Closure, Save Environment File", check(false, true));
    m_checkActions[2] = cell("Check Closure and S&hocks", check(true, false));
    m_cellMenu->addSeparator();
    connect(m_cellMenu->addAction("Edit Files in Selected Cells"), &QAction::triggered, this, [this] {
        const GridSelection sel = selectedBlock();
        const int top = std::max(sel.top, kGridCMFStartRow), bottomRow = sel.bottom, left = sel.left,
                  right = sel.right;
        if (sel.bottom < kGridCMFStartRow || left < 1) return;
        std::vector<std::string> done;
        RefreshGrid(m_s.rec());
        for (int r = top; r <= bottomRow; ++r)
            for (int c = left; c <= right; ++c) {
                const std::string stem = m_s.rec().GridStem(r, c).str();
                if (stem.empty() || stem == "?" || stem == "N/A") continue;
                const std::string f = UserFilePath(m_s.rec().WorkDir, m_s.rec().GridFile(r, c).str());
                if (std::find(done.begin(), done.end(), f) != done.end()) continue;
                done.push_back(f);
                if (!m_s.editFile(f)) return;
            }
    });
    m_cellMenu->addSeparator();
    connect(m_cellMenu->addAction("&Help"), &QAction::triggered, this,
            [this] { showHelp("page:Closure/Shock"); });

    // The year column's solution-method pop-up.
    m_yearMenu = new QMenu(this);
    m_yearMenu->setObjectName("yearMenu");
    auto year = [this](const QString& caption, const std::function<void(int row)>& run) {
        QAction* a = m_yearMenu->addAction(caption);
        connect(a, &QAction::triggered, this, [this, run] {
            run(m_menuRow);
            m_grid->reload();
        });
        return a;
    };
    year("Which solution method applies to this year?", [this](int r) {
        const bool alt = m_s.rec().AltMethodInUse && m_s.rec().AltMethodYears[r];
        const ProgramSettings& st = m_s.settings();
        m_s.dialogs().info(
            "The " + std::string(alt ? "alternative" : "normal") + " solution method applies to " +
            std::to_string(m_s.rec().Years[r]) + ":\r\n" +
            DescribeMethod(alt ? st.AltMethod : st.Method, alt ? st.AltAccuracy : st.Accuracy));
    });
    year("Use the normal solution method for THIS year", [this](int r) { m_s.rec().AltMethodYears[r] = 0; });
    year("Use the alternative solution method for THIS year", [this](int r) {
        m_s.rec().AltMethodYears[r] = 1;
        m_s.rec().AltMethodInUse = 1;
    });
    year("What is the alternative solution method?", [this](int) {
        m_s.dialogs().info("The alternative solution method is:\r\n" +
                           DescribeMethod(m_s.settings().AltMethod, m_s.settings().AltAccuracy));
    });
    year("Specify the alternative solution method", [this](int) {
        auto r =
            editSolutionMethod(this, m_s.settings().AltMethod, m_s.settings().AltAccuracy, m_s.dialogs());
        if (r) {
            m_s.settings().AltMethod = r->first;
            m_s.settings().AltAccuracy = r->second;
        }
    });
    year("Use the normal solution method for ALL years", [this](int) {
        for (int i = 1; i <= kMaxYears; ++i) m_s.rec().AltMethodYears[i] = 0;
        m_s.rec().AltMethodInUse = 0;
    });
    connect(m_yearMenu->addAction("Help about solution methods"), &QAction::triggered, this,
            [this] { showHelp("solutionmethods"); });

    connect(m_gridView, &QTableView::customContextMenuRequested, this, [this](const QPoint& p) {
        const QModelIndex idx = m_gridView->indexAt(p);
        if (!idx.isValid()) return;
        const int row = GridModel::dataRow(idx.row());
        if (row < kGridCMFStartRow) return;
        m_menuRow = row;
        m_menuCol = idx.column();
        if (idx.column() == 0) {
            if (row >= 1) m_yearMenu->popup(m_gridView->viewport()->mapToGlobal(p));
            return;
        }
        if (!m_gridView->selectionModel()->isSelected(idx)) m_gridView->setCurrentIndex(idx);
        for (QAction* a : m_checkActions) a->setEnabled(!m_s.jobs().watching() && row >= 1);
        for (QAction* a : m_cellMenu->actions()) {
            const QString c = plain(a->text());
            if (c == "Common") a->setEnabled(row >= 1);
            if (c == "Select one" || c == "None" || c == "Edit")
                a->setEnabled(!(row == kGridCMFStartRow && m_menuCol == kColBaseShocks));
        }
        m_cellMenu->popup(m_gridView->viewport()->mapToGlobal(p));
    });
    return w;
}

GridSelection MainWindow::selectedBlock() const {
    int top = -99, left = -99, bottom = -99, right = -99;
    const auto ranges = m_gridView->selectionModel()->selection();
    if (!ranges.isEmpty()) {
        const QItemSelectionRange& r = ranges.front();
        top = GridModel::dataRow(r.top());
        bottom = GridModel::dataRow(r.bottom());
        left = std::max(1, r.left());
        right = std::min(4, r.right());
    } else if (m_gridView->currentIndex().isValid()) {
        top = bottom = GridModel::dataRow(m_gridView->currentIndex().row());
        left = right = m_gridView->currentIndex().column();
    }
    if (top < 1 && bottom >= 1) top = 1;  // the pattern commands work on year rows only
    if (left < 1 || right < left) left = right = -99;
    return GridSelection{top, left, bottom, right};
}

QWidget* MainWindow::buildResults() {
    auto* w = new QWidget;
    w->setObjectName("pageResults");
    auto* lay = new QHBoxLayout(w);
    ResultsPageControls& c = m_results;

    c.individualGroup = new QGroupBox(" Results for Individual &Years ");
    c.individualGroup->setObjectName("resultsIndividualGroup");
    auto* il = new QVBoxLayout(c.individualGroup);
    auto* runs = new QHBoxLayout;
    c.individualBase = new QRadioButton("Bas&e  ");
    c.individualRerun = new QRadioButton("Base Rer&un ");
    c.individualPolicy = new QRadioButton("P&olicy  ");
    c.individualBase->setChecked(true);
    auto* ig = new QButtonGroup(w);
    for (QRadioButton* b : {c.individualBase, c.individualRerun, c.individualPolicy}) {
        ig->addButton(b);
        runs->addWidget(b);
    }
    il->addLayout(runs);
    auto* form = new QFormLayout;
    c.individualItem = new QComboBox;
    c.individualItem->setObjectName("resultsItem");
    c.individualYear = new QComboBox;
    c.individualYear->setObjectName("resultsYear");
    form->addRow("File", c.individualItem);
    form->addRow("Year", c.individualYear);
    il->addLayout(form);
    auto* ib = new QHBoxLayout;
    c.individualView = new QPushButton("&View");
    c.individualView->setObjectName("resultsIndividualView");
    c.individualProbex = new QPushButton("Probex");
    c.individualProbex->setObjectName("resultsIndividualProbex");
    ib->addWidget(c.individualView);
    ib->addWidget(c.individualProbex);
    il->addLayout(ib);
    il->addStretch();

    c.allYearsGroup = new QGroupBox(" &Results for All/Several Years ");
    c.allYearsGroup->setObjectName("resultsAllYearsGroup");
    auto* al = new QVBoxLayout(c.allYearsGroup);
    auto* ag = new QButtonGroup(w);
    c.allBase = new QRadioButton("&Base");
    c.allRerun = new QRadioButton("Base &Rerun");
    c.allPolicy = new QRadioButton("&Policy");
    c.allDifferences = new QRadioButton("&Differences - Policy v Base");
    c.allBase->setChecked(true);
    for (QRadioButton* b : {c.allBase, c.allRerun, c.allPolicy, c.allDifferences}) {
        ag->addButton(b);
        al->addWidget(b);
    }
    auto* yrow = new QHBoxLayout;
    auto* yg = new QButtonGroup(w);
    c.yearsAll = new QRadioButton("&All");
    c.yearsSome = new QRadioButton("&Some");
    c.yearsAll->setChecked(true);
    yg->addButton(c.yearsAll);
    yg->addButton(c.yearsSome);
    yrow->addWidget(new QLabel("Years:"));
    yrow->addWidget(c.yearsAll);
    yrow->addWidget(c.yearsSome);
    yrow->addStretch();
    al->addLayout(yrow);
    auto* srow = new QHBoxLayout;
    auto* sg = new QButtonGroup(w);
    c.styleYearOnYear = new QRadioButton("Year-o&n-year");
    c.styleCumulative = new QRadioButton("&Cumulative");
    c.styleYearOnYear->setChecked(true);
    sg->addButton(c.styleYearOnYear);
    sg->addButton(c.styleCumulative);
    srow->addWidget(new QLabel("Style:"));
    srow->addWidget(c.styleYearOnYear);
    srow->addWidget(c.styleCumulative);
    srow->addStretch();
    al->addLayout(srow);
    auto* ab = new QGridLayout;
    c.allView = new QPushButton("&View");
    c.allView->setObjectName("resultsAllView");
    c.allGraphs = new QPushButton("&Graphs");
    c.allGraphs->setObjectName("resultsAllGraphs");
    c.allAccuracy = new QPushButton("Accurac&y");
    c.allAccuracy->setObjectName("resultsAllAccuracy");
    c.allProbex = new QPushButton("Probex");
    c.allProbex->setObjectName("resultsAllProbex");
    ab->addWidget(c.allView, 0, 0);
    ab->addWidget(c.allGraphs, 0, 1);
    ab->addWidget(c.allAccuracy, 1, 0);
    ab->addWidget(c.allProbex, 1, 1);
    al->addLayout(ab);
    al->addStretch();

    auto* col = new QVBoxLayout;
    auto* groups = new QHBoxLayout;
    groups->addWidget(c.individualGroup);
    groups->addWidget(c.allYearsGroup);
    col->addLayout(groups, 1);
    // Every file shown is compared with the record of the last successful
    // run that made it; the page says so instead of warning that it does not.
    c.warning = new QLabel(
        "Files are checked before they are shown: you are told when a file is not the one created during "
        "the last successful run, or when no successful run is recorded.");
    c.warning->setWordWrap(true);
    c.warning->setObjectName("resultsWarning");
    c.warning->setStyleSheet("color: #555555;");
    col->addWidget(c.warning);
    lay->addLayout(col);
    return w;
}

QWidget* MainWindow::buildOtherFiles() {
    auto* w = new QWidget;
    w->setObjectName("pageOtherFiles");
    auto* lay = new QVBoxLayout(w);
    m_otherFiles = new QTableWidget(0, 5);
    m_otherFiles->setObjectName("otherFilesTable");
    m_otherFiles->setHorizontalHeaderLabels({"File", "What it is", "Exists", "Size", "Modified"});
    m_otherFiles->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    for (int c = 1; c <= 4; ++c)
        m_otherFiles->horizontalHeader()->setSectionResizeMode(c, QHeaderView::ResizeToContents);
    m_otherFiles->setWordWrap(false);
    m_otherFiles->verticalHeader()->hide();
    m_otherFiles->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_otherFiles->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_otherFiles->setSelectionMode(QAbstractItemView::SingleSelection);
    lay->addWidget(m_otherFiles, 1);
    auto* row = new QHBoxLayout;
    auto* open = new QPushButton("&Open in Editor");
    open->setObjectName("otherFilesOpen");
    auto* refresh = new QPushButton("Re&fresh");
    row->addStretch();
    row->addWidget(refresh);
    row->addWidget(open);
    lay->addLayout(row);
    auto openRow = [this] {
        const int r = m_otherFiles->currentRow();
        if (r < 0) return;
        const std::string f = s(m_otherFiles->item(r, 0)->data(Qt::UserRole).toString());
        if (!fileExists(f)) {
            m_s.dialogs().info("File " + f + " does not exist.");
            return;
        }
        done(succeeded(m_s.editFile(f)));
    };
    connect(open, &QPushButton::clicked, this, openRow);
    connect(m_otherFiles, &QTableWidget::cellDoubleClicked, this, openRow);
    connect(refresh, &QPushButton::clicked, this, &MainWindow::refreshOtherFiles);
    return w;
}

void MainWindow::refreshOtherFiles() {
    const TSimRecord& rec = m_s.rec();
    const ProgramSettings& st = m_s.settings();
    std::vector<std::pair<std::string, std::string>> files;
    const std::string ds1 = m_s.detailsFile().empty() ? m_s.defaultDetailsFile() : m_s.detailsFile();
    files.emplace_back(ds1, "Simulation details");
    std::string ds2 = ds1;
    if (ds2.size() > 4) ds2.replace(ds2.size() - 4, 4, ".ds2");
    files.emplace_back(ds2, "Simulation details (record)");
    files.emplace_back(DefaultDs0Path(rec, st.model.ModelName, st.NoRerun), "Simulation description");
    for (int r = 1; r <= 3; ++r) {
        if (r == kRunRerun && st.NoRerun) continue;
        files.emplace_back(RunRecordCopyPath(rec, st.model.ModelName, r, st.NoRerun),
                           "Record of runs copy (" + runName(r) + ")");
    }
    if (!st.ResultsMapFile.empty()) files.emplace_back(st.ResultsMapFile, "Results map");
    if (st.model.IsDinFile && !st.model.DynamicInfoFile.empty())
        files.emplace_back(st.model.DynamicInfoFile, "Dynamic Information file (.din)");
    if (!st.model.ModelInfoFile.empty()) files.emplace_back(st.model.ModelInfoFile, "Model Information file");
    files.emplace_back(JoinPath(m_s.dirs().keepDir, kJobsLogName), "Jobs log");
    files.emplace_back(JoinPath(m_s.dirs().keepDir, kBatchJobsLogName), "Batch jobs log");
    files.emplace_back(m_s.settingsFile(), "Settings");
    m_otherFiles->setRowCount(static_cast<int>(files.size()));
    for (int i = 0; i < static_cast<int>(files.size()); ++i) {
        const auto& [file, what] = files[static_cast<size_t>(i)];
        const QFileInfo fi(q(file));
        auto* name = new QTableWidgetItem(q(file));
        name->setData(Qt::UserRole, q(file));
        m_otherFiles->setItem(i, 0, name);
        m_otherFiles->setItem(i, 1, new QTableWidgetItem(q(what)));
        auto* exists = new QTableWidgetItem(fi.exists() ? "yes" : "no");
        if (!fi.exists()) exists->setForeground(QColor(0xa0, 0, 0));
        m_otherFiles->setItem(i, 2, exists);
        auto* size = new QTableWidgetItem(fi.exists() ? QString::number(fi.size()) : QString());
        size->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        m_otherFiles->setItem(i, 3, size);
        m_otherFiles->setItem(
            i, 4,
            new QTableWidgetItem(fi.exists() ? fi.lastModified().toString("yyyy-MM-dd hh:mm:ss")
                                             : QString()));
    }
}

void MainWindow::viewFile(const std::string& file) {
    if (!fileExists(file)) {
        m_s.dialogs().info("File " + file + " does not exist.");
        return;
    }
    done(succeeded(m_s.editFile(file)));
}

void MainWindow::refreshPages() {
    m_refreshing = true;
    TSimRecord& rec = m_s.rec();
    ProgramSettings& st = m_s.settings();
    const ModelDataState& md = m_s.model();
    const QString modelShown = md.modelPath.empty() ? "(none selected)" : q(md.modelPath);
    m_introModel->setText(md.modelPath.empty()
                              ? "No model has been chosen yet: choose one on the Model/Data page."
                              : "Model: " + q(md.modelName) + "\n" + q(md.modelPath));
    m_modelLabel->setText("Model : " + modelShown);
    m_dataList->clear();
    for (const std::string& line : md.firstYearList) m_dataList->addItem(q(line));
    m_notWinconsole->setChecked(st.model.NotWinconsoleExe);
    for (int r = 1; r <= 3; ++r) {
        if (m_names[r]->text() != q(rec.SimNames[r].str())) m_names[r]->setText(q(rec.SimNames[r].str()));
        // A name being typed is renamed from where its edit began.
        if (!m_names[r]->hasFocus()) m_committedNames[r] = rec.SimNames[r].str();
    }
    m_names[kRunRerun]->setEnabled(!st.NoRerun);
    m_firstYear->setText(QString::number(rec.StartYear));
    m_numYears->setText(QString::number(rec.NumYears));
    m_firstYearNote->setText(QString("(i.e., Start from data for year %1)").arg(rec.Years[0]));
    m_numYearsNote->setText(QString("(i.e., End with forecast for year %1)")
                                .arg(rec.NumYears >= 1 ? rec.Years[rec.NumYears] : 0));
    m_workDir->setText(q(rec.WorkDir));
    m_method->setText(displayText(DescribeMethod(st.Method, st.Accuracy)));
    m_mapFile->setText(st.ResultsMapFile.empty() ? "(none)" : q(st.ResultsMapFile));
    const int keep = std::max(0, m_period->currentIndex());
    m_period->clear();
    for (int i = 1; i <= rec.NumYears; ++i)
        m_period->addItem(QString("Period %1 (to %2)").arg(i).arg(rec.Years[i]));
    m_period->setCurrentIndex(std::min(keep, m_period->count() - 1));
    if (m_period->currentIndex() >= 0)
        m_periodLength->setValue(rec.PeriodLength[m_period->currentIndex() + 1]);
    m_reGroup->setVisible(!st.re.HideRE);
    m_doingRe->setChecked(st.re.DoingRE);
    m_historyYears->setText(QString::number(st.re.PolicyStartYear));
    m_reIter[1]->setValue(std::clamp(st.re.BaseIterations, 1, 99));
    m_reIter[2]->setValue(std::clamp(st.re.RerunIterations, 1, 99));
    m_reIter[3]->setValue(std::clamp(st.re.PolicyIterations, 1, 99));
    m_reIter[2]->setEnabled(!st.NoRerun);
    m_policyStarts->setValue(std::clamp(st.re.PolicyStartYear, 0, 99));
    m_results.allDifferences->setText(st.NoRerun ? "&Differences - Policy v Base"
                                                 : "&Differences - Policy v Rerun");
    m_results.individualRerun->setEnabled(!st.NoRerun);
    m_results.allRerun->setEnabled(!st.NoRerun);
    QString title = "Vardelon";
    if (!md.modelName.empty()) title += " - " + q(md.modelName);
    if (!m_s.detailsFile().empty()) title += " - " + QFileInfo(q(m_s.detailsFile())).fileName();
    setWindowTitle(title);
    if (m_resultsCtl) m_resultsCtl->refresh();
    m_refreshing = false;
    if (m_tabs->currentIndex() == PageOtherFiles) refreshOtherFiles();
}

void MainWindow::recordChanged() {
    ComputeYears(m_s.rec());
    RefreshGrid(m_s.rec());
    m_grid->reload();
    refreshPages();
    refreshMenus();
}

// ---------------------------------------------------------------- bottom panel

QWidget* MainWindow::buildBottomPanel() {
    auto* w = new QFrame;
    w->setObjectName("bottomPanel");
    w->setFrameShape(QFrame::StyledPanel);
    auto* lay = new QHBoxLayout(w);
    auto* labels = new QVBoxLayout;
    for (int i = 0; i < 3; ++i) {
        m_jobLabels[i] = new QLabel;
        m_jobLabels[i]->setObjectName(QString("jobLabel%1").arg(i + 1));
        QFont f = m_jobLabels[i]->font();
        f.setBold(true);
        m_jobLabels[i]->setFont(f);
        labels->addWidget(m_jobLabels[i]);
    }
    lay->addLayout(labels, 1);
    struct B {
        const char* caption;
        std::function<void()> run;
    };
    const B buttons[] = {
        {"Run &Base", [this] { jobStarted(m_s.startRun(RunButton::Base)); }},
        {"&Rerun Base", [this] { jobStarted(m_s.startRun(RunButton::Rerun)); }},
        {"Run &Policy", [this] { jobStarted(m_s.startRun(RunButton::Policy)); }},
        {"Run &All", [this] { jobStarted(m_s.startRun(RunButton::All)); }},
        {"&Cancel",
         [this] {
             done(succeeded(m_s.cancel()));
             refreshPanel();
         }},
        {"&Help", [this] { showHelp("bottom"); }},
    };
    for (const B& b : buttons) {
        auto* pb = new QPushButton(b.caption);
        pb->setObjectName("panel" + plain(b.caption).remove(' '));
        pb->setMinimumWidth(96);
        pb->setMinimumHeight(32);
        connect(pb, &QPushButton::clicked, this, b.run);
        lay->addWidget(pb);
        m_panelButtons[plain(b.caption)] = pb;
    }
    return w;
}

QPushButton* MainWindow::panelButton(const QString& caption) const {
    auto it = m_panelButtons.find(plain(caption));
    return it == m_panelButtons.end() ? nullptr : it->second;
}

QLabel* MainWindow::jobLabel(int n) const {
    return n >= 0 && n < 3 ? m_jobLabels[n] : nullptr;
}

void MainWindow::refreshPanel() {
    const BottomPanel p = m_s.jobs().engine().panel();
    for (int i = 0; i < 3; ++i) {
        m_jobLabels[i]->setText(q(p.labels[static_cast<size_t>(i)]));
        m_jobLabels[i]->setVisible(p.jobRunning ? p.visible[static_cast<size_t>(i)] : i == 0);
        const QColor c = runColour(p.runs[static_cast<size_t>(i)]);
        m_jobLabels[i]->setStyleSheet(QString("color:%1;").arg(c.name()));
    }
    if (!p.jobRunning) m_jobLabels[0]->setText(q(p.labels[0]));
    for (auto& [caption, b] : m_panelButtons) {
        if (caption == "Cancel")
            b->setVisible(p.jobRunning);
        else if (caption == "Rerun Base")
            b->setVisible(!p.jobRunning && p.rerunPanel);
        else if (caption != "Help")
            b->setVisible(!p.jobRunning);
    }
}

void MainWindow::done(bool ok) {
    statusBar()->showMessage(ok ? "Done" : "Not done", 5000);
}

void MainWindow::jobStarted(bool started) {
    // A job that did not start has shown its reason.
    statusBar()->showMessage(started ? "Job started" : "The job did not start");
    afterJobChange();
}

void MainWindow::afterJobChange() {
    if (m_s.jobs().watching()) {
        if (!m_timer->isActive()) m_timer->start();
    } else {
        m_timer->stop();
    }
    // The pages that edit the application are read-only while a job reads it.
    for (int p : {PageModelData, PageSimOverview, PageClosureShock})
        m_tabs->widget(p)->setEnabled(!m_s.jobRunning());
    refreshPanel();
    refreshMenus();
    statusBar()->showMessage(m_s.jobRunning() ? "Job running" : "Ready");
}

void MainWindow::onTick() {
    // A tick that arrives while an earlier one is at work (a message box of
    // the earlier one is up) only consumes the wake-up.
    if (m_inTick) {
        m_s.launcher().drainWakeups();
        return;
    }
    m_inTick = true;
    const bool wasRunning = m_s.jobRunning();
    m_s.tick();
    m_inTick = false;
    afterJobChange();
    if (m_resultsCtl) m_resultsCtl->afterTick();
    if (wasRunning && !m_s.jobRunning()) {
        refreshPages();
        if (m_tabs->currentIndex() == PageOtherFiles) refreshOtherFiles();
    }
}

// ---------------------------------------------------------------- menus

QAction* MainWindow::addCommand(QMenu* menu, const QString& caption, const std::function<void()>& run,
                                int flags) {
    QAction* a = menu->addAction(caption);
    connect(a, &QAction::triggered, this, [this, run] {
        run();
        refreshMenus();
    });
    m_actions[plain(menu->title()) + "|" + plain(caption)] = a;
    m_flags[a] = flags;
    return a;
}

QAction* MainWindow::action(const QString& menu, const QString& caption) const {
    auto it = m_actions.find(plain(menu) + "|" + plain(caption));
    return it == m_actions.end() ? nullptr : it->second;
}

QMenu* MainWindow::menu(const QString& title) const {
    auto it = m_menus.find(plain(title));
    return it == m_menus.end() ? nullptr : it->second;
}

void MainWindow::refreshMenus() {
    const bool running = m_s.jobRunning();
    const bool watching = m_s.jobs().watching();
    for (auto& [a, flags] : m_flags) {
        bool enabled = true;
        if ((flags & ChangesApp) && running) enabled = false;
        if ((flags & StartsJob) && (running || watching)) enabled = false;
        if ((flags & NeedsRerun) && m_s.settings().NoRerun) enabled = false;
        if ((flags & NeedsNoRerun) && !m_s.settings().NoRerun) enabled = false;
        a->setEnabled(enabled);
    }
    for (auto& update : m_menuUpdaters) update();
    for (auto& [caption, b] : m_panelButtons)
        if (caption != "Cancel" && caption != "Help") b->setEnabled(!running && !watching);
}

void MainWindow::buildMenus() {
    auto addMenu = [this](const QString& title) {
        QMenu* m = menuBar()->addMenu(title);
        m_menus[plain(title)] = m;
        connect(m, &QMenu::aboutToShow, this, &MainWindow::refreshMenus);
        const QString t = plain(title);
        QAction* h = m->addAction("Help about " + t + " menu");
        connect(h, &QAction::triggered, this, [this, t] { showHelp("menu:" + t); });
        m->addSeparator();
        return m;
    };

    // File
    QMenu* file = addMenu("&File");
    addCommand(file, "Save Simulation Details &As...", [this] {
        done(succeeded(m_s.saveDetailsAs()));
        refreshPages();
    });
    addCommand(
        file, "&Load Simulation Details...",
        [this] {
            if (m_s.loadDetails(std::nullopt)) recordChanged();
        },
        ChangesApp);
    addCommand(
        file, "Omit Some Periods at the Start",
        [this] {
            auto d = m_s.details();
            if (OmitPeriodsAtStart(d)) recordChanged();
        },
        ChangesApp);
    file->addSeparator();
    auto viewText = [this](const std::string& f) { done(succeeded(m_s.editFile(f))); };
    addCommand(file, "Write Report of Closure/Shocks page", [this, viewText] {
        auto env = reportCommandEnvFor(m_s.rec(), m_s.settings(), viewText, 0);
        done(succeeded(reportSimDetailsCommand(m_s.rec(), m_s.settings().NoRerun, env, m_s.dialogs())));
    });
    addCommand(file, "Compare Two Lots of Closure/Shocks files", [this, viewText] {
        auto env = reportCommandEnvFor(m_s.rec(), m_s.settings(), viewText, 0);
        done(succeeded(CompareTwoSimDetails(m_s.rec().WorkDir, m_s.settings().NoRerun,
                                            simDetailsLoader(m_s.settings().NoRerun), env, m_s.dialogs())));
    });
    addCommand(file, "Write Report of all &Ingredients", [this, viewText] {
        auto env = reportCommandEnvFor(m_s.rec(), m_s.settings(), viewText, 0);
        done(succeeded(reportIngredientsCommand(m_s.rec(), m_s.settings().NoRerun,
                                                ingredientsInfoFor(m_s.settings()), env, m_s.dialogs())));
    });
    addCommand(file, "Write Report Showing When Sims Were Last Run", [this, viewText] {
        auto env = reportCommandEnvFor(m_s.rec(), m_s.settings(), viewText, 0);
        done(succeeded(reportWhenSimsRunCommand(m_s.rec(), m_s.settings(), m_s.runRecordEnv().keep,
                                                m_s.jobs().engine().firstPolicyYear(), env, m_s.dialogs())));
    });
    file->addSeparator();
    addCommand(file, "Edit Dynamic Info File", [this] {
        const ModelSettings& m = m_s.settings().model;
        if (!m.IsDinFile || m.DynamicInfoFile.empty())
            m_s.dialogs().info("This model has no Dynamic Information file.");
        else
            done(succeeded(m_s.editFile(m.DynamicInfoFile)));
    });
    QMenu* cmfstart = file->addMenu("Edit CMFSTART file(s)");
    m_menus["Edit CMFSTART file(s)"] = cmfstart;
    const std::pair<const char*, int> starts[] = {
        {"CMFSTARTB (Base)", kRunBase}, {"CMFSTARTR (Rerun)", kRunRerun}, {"CMFSTARTP (Policy)", kRunPolicy}};
    for (const auto& [caption, run] : starts) {
        const int r = run;
        addCommand(cmfstart, caption, [this, r] {
            const std::string f = CMFStartFile(m_s.rec(), r);
            if (f.empty())
                m_s.dialogs().info("No CMFSTART file is named for the " + runName(r) +
                                   " on the Closure/Shock page (row CMFStart).");
            else
                done(succeeded(m_s.editFile(f)));
        });
    }
    addCommand(cmfstart, "CMFSTART", [this] {
        FileRequest req;
        req.title = "CMFSTART File";
        req.initialDir = m_s.rec().WorkDir;
        req.filter = "All Files (*.*)|*.*";
        if (auto f = m_s.dialogs().chooseFile(req)) done(succeeded(m_s.editFile(*f)));
    });
    file->addSeparator();
    auto shell = [this](const std::string& folder) {
        ShellCommands sh;
        done(succeeded(sh.openShell(folder, m_s.dirs().tempDir, m_s.env(), m_s.dialogs(), m_s.launcher())));
    };
    addCommand(file, "Shell to &DOS in Working Directory", [this, shell] { shell(m_s.rec().WorkDir); });
    addCommand(file, "Shell to Dos in KeepDir", [this, shell] { shell(m_s.dirs().keepDir); });
    addCommand(file, "Shell to Dos in Temp Dir", [this, shell] { shell(m_s.dirs().tempDir); });
    file->addSeparator();
    m_recentMenu = file->addMenu("Recent Simulation Details");
    m_menus["Recent Simulation Details"] = m_recentMenu;
    m_menuUpdaters.push_back([this] {
        m_recentMenu->clear();
        int n = 0;
        for (const std::string& f : m_s.recentFiles()) {
            QAction* a = m_recentMenu->addAction(QString("&%1 %2").arg(++n).arg(q(f)));
            a->setEnabled(!m_s.jobRunning());
            connect(a, &QAction::triggered, this, [this, file = f] {
                if (m_s.loadDetails(file)) recordChanged();
            });
        }
        m_recentMenu->setEnabled(n > 0);
    });
    file->addSeparator();
    addCommand(file, "E&xit", [this] { close(); });

    // Zip
    QMenu* zip = addMenu("Zip");
    auto saveZip = [this](IngredientsKind kind, ClosShRuns runs, ClosShFiles files) {
        return [this, kind, runs, files] {
            ArchiveEnv env = m_s.archiveEnv();
            IngredientsRequest req;
            req.kind = kind;
            req.bits = {runs, files};
            done(succeeded(SaveIngredientsAsZip(env, req)));
        };
    };
    addCommand(zip, "Save Ingredients as ZIP archive",
               saveZip(IngredientsKind::Full, ClosShRuns::All, ClosShFiles::Both));
    addCommand(zip, "Save ZIP archive except EXE and AUX files",
               saveZip(IngredientsKind::ExceptModel, ClosShRuns::All, ClosShFiles::Both));
    addCommand(
        zip, "Restore Ingredients from ZIP archive",
        [this] {
            ArchiveEnv env = m_s.archiveEnv();
            if (RestoreIngredientsFromZip(env, std::nullopt, std::nullopt, false)) recordChanged();
        },
        ChangesApp);
    QMenu* closSh = zip->addMenu("Save Closure/Shocks ZIP");
    m_menus["Save Closure/Shocks ZIP"] = closSh;
    addCommand(closSh, "All (Base and Policy)",
               saveZip(IngredientsKind::ClosSh, ClosShRuns::All, ClosShFiles::Both));
    addCommand(closSh, "Base only", saveZip(IngredientsKind::ClosSh, ClosShRuns::Base, ClosShFiles::Both));
    addCommand(closSh, "Policy only",
               saveZip(IngredientsKind::ClosSh, ClosShRuns::Policy, ClosShFiles::Both));
    addCommand(closSh, "Closures only",
               saveZip(IngredientsKind::ClosSh, ClosShRuns::All, ClosShFiles::Closures));
    addCommand(closSh, "Shocks only", saveZip(IngredientsKind::ClosSh, ClosShRuns::All, ClosShFiles::Shocks));
    addCommand(
        zip, "Restore Closure/Shocks files from Closure/Shocks ZIP",
        [this] {
            ArchiveEnv env = m_s.archiveEnv();
            if (RestoreIngredientsFromZip(env, std::nullopt, std::nullopt, true)) recordChanged();
        },
        ChangesApp);
    QMenu* list = zip->addMenu("List or View Contents of ZIP archive");
    m_menus["List or View Contents of ZIP archive"] = list;
    const std::pair<const char*, ArchivePart> parts[] = {
        {"List Closure/Shocks files in ZIP", ArchivePart::ClosSh},
        {"List First Year Input files in ZIP", ArchivePart::FirstYearData},
        {"List Model files in ZIP", ArchivePart::Model},
        {"List TAB and STI files in ZIP", ArchivePart::TabEtc},
        {"List Extra files in ZIP", ArchivePart::Extra},
        {"View Sim Description in ZIP archive", ArchivePart::Description},
        {"View History of ZIP archive", ArchivePart::History}};
    for (const auto& [caption, part] : parts) {
        const ArchivePart p = part;
        addCommand(list, caption, [this, p] {
            ArchiveEnv env = m_s.archiveEnv();
            done(succeeded(ListIngredientsPart(env, std::nullopt, p)));
        });
    }
    addCommand(zip, "List Files in ZIP", [this] {
        ArchiveEnv env = m_s.archiveEnv();
        done(succeeded(ListZipFiles(env)));
    });
    addCommand(zip, "Add First Year Input files to ZIP", [this] {
        ArchiveEnv env = m_s.archiveEnv();
        done(succeeded(ZipUpFirstYearOrModelFiles(env, false)));
    });
    addCommand(zip, "Add Model files to ZIP", [this] {
        ArchiveEnv env = m_s.archiveEnv();
        done(succeeded(ZipUpFirstYearOrModelFiles(env, true)));
    });
    zip->addSeparator();
    addCommand(
        zip, "Zip up All Results",
        [this] {
            ArchiveEnv env = m_s.archiveEnv();
            done(succeeded(ZipUpResults(env, m_s.runRecordEnv(), nullptr)));
        },
        StartsJob);
    addCommand(
        zip, "Zip up Selected Results", [this] { zipUpSelectedResults(); }, StartsJob);
    addCommand(zip, "View History of Results Zip file", [this] {
        ArchiveEnv env = m_s.archiveEnv();
        done(succeeded(ViewResultsHistory(env)));
    });
    addCommand(
        zip, "Restore files from Results Zip",
        [this] {
            ArchiveEnv env = m_s.archiveEnv();
            done(succeeded(RestoreResultsFromZip(env, m_s.runRecordEnv())));
            refreshPages();
        },
        ChangesApp);
    zip->addSeparator();
    addCommand(zip, "Zip all files in Temp Directory", [this] {
        ArchiveEnv env = m_s.archiveEnv();
        done(succeeded(ZipAllFilesInFolder(env, m_s.dirs().tempDir)));
    });
    addCommand(zip, "Zip all files in Keep Directory", [this] {
        ArchiveEnv env = m_s.archiveEnv();
        done(succeeded(ZipAllFilesInFolder(env, m_s.dirs().keepDir)));
    });

    // Tasks
    QMenu* tasks = addMenu("&Tasks");
    auto startTask = [this](TaskCommand c) { return [this, c] { jobStarted(m_s.startTask(c)); }; };
    auto whereTo = [this](bool justSequence) {
        return [this, justSequence] {
            CheckOperationHooks hooks;
            hooks.jobRunning = m_s.jobRunning();
            hooks.startJob = [this](const JobStartRanges& ranges) {
                jobStarted(m_s.startRequest(requestFromStartRanges(ranges, m_s.rec().NumYears)));
            };
            done(succeeded(WhereToStart(m_s.runRecordEnv(), m_s.dialogs(), justSequence, hooks)));
            afterJobChange();
        };
    };
    for (TaskCommand c : {TaskCommand::PartBase, TaskCommand::PartRerun, TaskCommand::PartPolicy})
        addCommand(tasks, q(taskCaption(c, m_s.settings().NoRerun)), startTask(c),
                   StartsJob | (c == TaskCommand::PartRerun ? NeedsRerun : 0));
    tasks->addSeparator();
    addCommand(tasks, "&Where to start?", whereTo(false), StartsJob);
    addCommand(tasks, "Where to start? - Results Same if Run Again", whereTo(false), StartsJob);
    addCommand(tasks, "Where to start? - Just Check Run in Sequence", whereTo(true), StartsJob);
    auto areOk = [this](bool prereq) {
        return [this, prereq] {
            CheckOperationHooks hooks;
            hooks.jobRunning = m_s.jobRunning();
            done(succeeded(AreResultsOk(m_s.runRecordEnv(), m_s.dialogs(), prereq, hooks)));
        };
    };
    addCommand(tasks, "Are Results Still Ok? - Same if Run Again", areOk(true));
    addCommand(tasks, "Are Results Still Ok? - Still as when Created", areOk(false));
    addCommand(tasks, "When Were Sims Last Run ?", [this] { whenWereSimsLastRun(); });
    addCommand(tasks, "Summary of Current Job", [this] {
        PlanContext ctx;
        ctx.numYears = m_s.rec().NumYears;
        ctx.year = [this](int i) { return m_s.rec().Years[i]; };
        ctx.noRerun = m_s.settings().NoRerun;
        ctx.firstPolicyYear = m_s.jobs().engine().firstPolicyYear();
        bool periods = false;
        for (int i = 1; i <= m_s.rec().NumYears; ++i) periods |= m_s.rec().PeriodLength[i] != 1;
        auto lines = summaryOfCurrentJob(m_s.jobs().engine().job(), ctx, periods, m_s.dialogs());
        if (lines) {
            std::string text;
            for (const auto& l : *lines) text += l + "\r\n";
            m_s.dialogs().info(text);
        }
    });
    tasks->addSeparator();
    auto checkAll = [this](ClosureCheckScope scope) {
        return [this, scope] {
            const ClosureCheckPlan plan = allYearsClosureChecks(
                scope, m_s.rec().NumYears, m_s.jobs().engine().firstPolicyYear(), m_s.closureCheckCommon());
            done(succeeded(m_s.startClosureChecks(plan)));
            afterJobChange();
        };
    };
    addCommand(tasks, "Check all Base-case &Closures", checkAll(ClosureCheckScope::BaseClosures), StartsJob);
    addCommand(tasks, "Check all policy cl&osures", checkAll(ClosureCheckScope::PolicyClosures), StartsJob);
    addCommand(tasks, "Check all Base-case closures and &shocks",
               checkAll(ClosureCheckScope::BaseClosuresAndShocks), StartsJob);
    addCommand(tasks, "Check all policy closures and s&hocks",
               checkAll(ClosureCheckScope::PolicyClosuresAndShocks), StartsJob);
    tasks->addSeparator();
    const TaskCommand jobCommands[] = {
        TaskCommand::RunBaseToPolicy,         TaskCommand::DoBaseAndRerun,
        TaskCommand::RerunBaseAndRunPolicy,   TaskCommand::PartBaseSamePartsOthers,
        TaskCommand::PartBaseSamePartRerun,   TaskCommand::PartRerunSamePartPolicy,
        TaskCommand::PartBaseAllPartsOthers,  TaskCommand::PartBaseAllPartsRerun,
        TaskCommand::PartRerunAllPartsPolicy, TaskCommand::SimsForSelectedYears,
    };
    for (TaskCommand c : jobCommands) {
        const bool rerunOnly =
            c == TaskCommand::DoBaseAndRerun || c == TaskCommand::RerunBaseAndRunPolicy ||
            c == TaskCommand::PartBaseSamePartRerun || c == TaskCommand::PartRerunSamePartPolicy ||
            c == TaskCommand::PartBaseAllPartsRerun || c == TaskCommand::PartRerunAllPartsPolicy;
        QAction* a =
            addCommand(tasks, q(taskName(c)), startTask(c), StartsJob | (rerunOnly ? NeedsRerun : 0));
        m_menuUpdaters.push_back([this, a, c] { a->setText(q(taskCaption(c, m_s.settings().NoRerun))); });
    }
    addCommand(
        tasks, "Run Single Job, then Concurrent",
        [this] { jobStarted(m_s.jobs().runSingleThenConcurrent()); }, StartsJob);
    addCommand(tasks, "Choose Outputs to Save", [this] {
        if (!m_s.settings().BeLikeOldVardelon)
            m_s.dialogs().info("Not implemented");
        else
            m_s.dialogs().info(
                "Choose the outputs to save on the Closure/Shock page of the older way of running.");
    });

    // View
    buildViewMenu(addMenu("&View"));
    auto logs = [this] {
        return JobsLogCommands(m_s.dirs().keepDir, m_s.dialogs(),
                               [this](const std::string& f) { return m_s.editFile(f); });
    };

    // Options
    QMenu* options = addMenu("&Options");
    addCommand(options, "Specify &Spreadsheet program", [this] {
        FileRequest req;
        req.title = "Select Spreadsheet Program";
        req.initialDir = "/usr/bin";
        req.filter = "All Files (*.*)|*.*";
        if (auto f = m_s.dialogs().chooseFile(req)) m_s.settings().tools.Spreadsheet = *f;
    });
    addCommand(options, "Change &Editor", [this] {
        FileRequest req;
        req.title = "Select Editor";
        req.initialDir = "/usr/bin";
        req.filter = "All Files (*.*)|*.*";
        if (auto f = m_s.dialogs().chooseFile(req)) {
            m_s.settings().tools.Editor = *f;
            m_s.dialogs().info("The editor is now " + *f);
        }
    });
    addCommand(options, "Which &Outlens to use", [this] {
        ToolLocations t = m_s.tools();
        if (chooseViewerProgram(Viewer::Outlens, m_s.env(), t, m_s.dialogs()))
            m_s.settings().tools.Outlens = t.outlens;
    });
    addCommand(options, "Which Gridlens to use", [this] {
        ToolLocations t = m_s.tools();
        if (chooseViewerProgram(Viewer::Gridlens, m_s.env(), t, m_s.dialogs()))
            m_s.settings().tools.Gridlens = t.gridlens;
    });
    addCommand(options, "Which Probex to use", [this] {
        ResultsContext ctx(m_s.rec(), m_s.settings(), m_s.env());
        done(chooseProbexProgram(ctx, m_s.dialogs()));
    });
    options->addSeparator();
    addCommand(
        options, "Usual Method for finding Solvane programs",
        [this] {
            m_s.settings().tools.UseSolvaneDir.clear();
            m_s.dialogs().info("The suite's programs will be found in the usual way.");
        },
        ChangesApp);
    addCommand(
        options, "Specify directory for Solvane programs",
        [this] {
            auto d = m_s.dialogs().chooseFolder("Specify directory for Solvane programs",
                                                m_s.settings().tools.UseSolvaneDir);
            if (d) m_s.settings().tools.UseSolvaneDir = *d;
        },
        ChangesApp);
    options->addSeparator();
    addCommand(options, "Specify &Temporary Directory", [this] {
        auto d = m_s.dialogs().chooseFolder("Specify Temporary Directory", m_s.dirs().tempDir);
        if (!d) return;
        m_s.settings().RequestedTempDir = *d;
        m_s.dialogs().info("The Temporary Directory will be " + *d + " from the next start of Vardelon.");
    });
    addCommand(
        options, "Check Temporary Directory", [this] { checkTemporaryDirectory(); }, StartsJob);
    auto optionItem = [this](QMenu* menu, OptionCommand c, int flags) {
        QAction* a = addCommand(
            menu, q(optionCaption(c)),
            [this, c] {
                if (applyOptionCommand(c, m_s.settings(), m_s.dialogs())) refreshPages();
            },
            flags);
        a->setCheckable(true);
        m_menuUpdaters.push_back([this, a, c] { a->setChecked(optionChecked(c, m_s.settings())); });
    };
    QMenu* delTemp = options->addMenu("Delete Temp Dir Files when Exit ?");
    m_menus["Delete Temp Dir Files when Exit ?"] = delTemp;
    optionItem(delTemp, OptionCommand::DeleteTempFilesAtExit, 0);
    optionItem(delTemp, OptionCommand::KeepTempFilesAtExit, 0);
    options->addSeparator();
    optionItem(options, OptionCommand::DontUpdateIniAtExit, 0);
    optionItem(options, OptionCommand::UsePIF, 0);
    optionItem(options, OptionCommand::SplitBatchJobs, ChangesApp);
    optionItem(options, OptionCommand::DoNotSplitBatchJobs, ChangesApp);
    optionItem(options, OptionCommand::FewerMessages, 0);
    optionItem(options, OptionCommand::HideRationalExpectations, 0);
    optionItem(options, OptionCommand::UsePatternsOnRename, 0);
    optionItem(options, OptionCommand::IgnorePatternsOnRename, 0);

    // Run Preferences
    QMenu* prefs = addMenu("Run Preferences");
    optionItem(prefs, OptionCommand::DoRerunBase, ChangesApp);
    optionItem(prefs, OptionCommand::DoNotRerunBase, ChangesApp);
    prefs->addSeparator();
    optionItem(prefs, OptionCommand::AbbreviatedSsJobs, ChangesApp);
    optionItem(prefs, OptionCommand::YearOnYearDifferencesSs, ChangesApp);
    optionItem(prefs, OptionCommand::AccumulateSubtotals, ChangesApp);
    optionItem(prefs, OptionCommand::ArithmeticNotFatal, ChangesApp);
    optionItem(prefs, OptionCommand::SolFilesForShocks, ChangesApp);
    {
        QAction* a = addCommand(
            prefs, "Complete Base First",
            [this] { done(succeeded(toggleCompleteBaseFirst(m_s.settings(), m_s.dialogs()))); }, ChangesApp);
        a->setCheckable(true);
        m_menuUpdaters.push_back([this, a] { a->setChecked(m_s.settings().CompleteBaseFirst); });
    }
    QMenu* outputs = prefs->addMenu("Move/Delete Outputs Before Run ?");
    m_menus["Move/Delete Outputs Before Run ?"] = outputs;
    const std::pair<const char*, OutputsBeforeRun> outs[] = {
        {"Move to Subdirectory", OutputsBeforeRun::Move},
        {"Delete", OutputsBeforeRun::Delete},
        {"Do not Move or Delete", OutputsBeforeRun::Neither}};
    for (const auto& [caption, choice] : outs) {
        const OutputsBeforeRun c = choice;
        QAction* a = addCommand(
            outputs, caption,
            [this, c] { done(succeeded(chooseOutputsBeforeRun(c, m_s.settings(), m_s.dialogs()))); },
            ChangesApp);
        a->setCheckable(true);
        m_menuUpdaters.push_back([this, a, c] { a->setChecked(m_s.settings().Outputs == c); });
    }
    prefs->addSeparator();
    {
        QAction* a = addCommand(prefs, "Add to Jobs Log File",
                                [this, logs] { done(succeeded(logs().toggleAddToJobsLog(m_s.settings()))); });
        a->setCheckable(true);
        m_menuUpdaters.push_back([this, a] { a->setChecked(m_s.settings().AddToJobsLog); });
    }
    addCommand(
        prefs, "Restart Jobs Log File",
        [this, logs] { done(succeeded(logs().restartJobsLog(m_s.settings()))); }, StartsJob);
    addCommand(prefs, "View Jobs Log File", [this, logs] { done(succeeded(logs().viewJobsLog())); });
    addCommand(prefs, "Restart Batch Jobs Log File",
               [this, logs] { done(succeeded(logs().restartBatchJobsLog())); });
    addCommand(prefs, "View Batch Jobs Log File",
               [this, logs] { done(succeeded(logs().viewBatchJobsLog())); });
    prefs->addSeparator();
    const std::pair<const char*, ConcurrencyCommand> conc[] = {
        {"Allow 2 Concurrent Solves", ConcurrencyCommand::AllowTwo},
        {"Allow 3 Concurrent Solves", ConcurrencyCommand::AllowThree},
        {"Just One Solve (no. 1)", ConcurrencyCommand::JustOneNo1},
        {"Just One Solve (no. 2)", ConcurrencyCommand::JustOneNo2}};
    for (const auto& [caption, command] : conc) {
        const ConcurrencyCommand c = command;
        QAction* a = addCommand(
            prefs, caption, [this, c] { m_s.jobs().concurrency(c); }, ChangesApp);
        a->setCheckable(true);
        m_menuUpdaters.push_back([this, a, c] {
            const int most = m_s.settings().ConcurrentSolves;
            const int first = m_s.jobs().firstSlot();
            a->setChecked((c == ConcurrencyCommand::AllowTwo && most == 2) ||
                          (c == ConcurrencyCommand::AllowThree && most == 3) ||
                          (c == ConcurrencyCommand::JustOneNo1 && most == 1 && first == 1) ||
                          (c == ConcurrencyCommand::JustOneNo2 && most == 1 && first == 2));
        });
    }
    prefs->addSeparator();
    optionItem(prefs, OptionCommand::NeverBatJob, ChangesApp);
    optionItem(prefs, OptionCommand::BatJobsForConcurrent, ChangesApp);
    optionItem(prefs, OptionCommand::BeLikeOld, ChangesApp);
    optionItem(prefs, OptionCommand::VisibleLogFiles, 0);
    optionItem(prefs, OptionCommand::SuppressScreenSaver, 0);
    optionItem(prefs, OptionCommand::CheckPrerequisites, ChangesApp);

    // Help
    QMenu* help = menuBar()->addMenu("&Help");
    m_menus["Help"] = help;
    connect(help, &QMenu::aboutToShow, this, &MainWindow::refreshMenus);
    addCommand(help, "&Contents", [this] { showHelp("contents"); });
    addCommand(help, "Current &Page",
               [this] { showHelp("page:" + plain(m_tabs->tabText(m_tabs->currentIndex()))); });
    addCommand(help, "What's &New", [this] { showHelp("whatsnew"); });
    addCommand(help, "&About", [this] { showAbout(this, m_s); });
}

}  // namespace vdln::gui
