#include "charts/chartwindow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QSplitter>
#include <QVBoxLayout>

#include "charts/resultschart.h"

namespace vdln {

namespace {

QString q(const std::string& s) {
    return QString::fromStdString(s);
}

}  // namespace

ResultsChartWindow::ResultsChartWindow(ChartSources sources, QWidget* parent)
    : QMainWindow(parent), m_sources(std::move(sources)) {
    setWindowTitle(QStringLiteral("Results across years"));
    auto* central = new QWidget(this);
    auto* outer = new QHBoxLayout(central);

    auto* side = new QWidget(central);
    auto* controls = new QVBoxLayout(side);
    controls->setContentsMargins(0, 0, 0, 0);
    m_mode = new QComboBox(side);
    m_mode->addItem(QStringLiteral("Base, Rerun and Policy"));
    m_mode->addItem(QStringLiteral("Policy deviations (bars)"));
    m_style = new QComboBox(side);
    m_style->addItem(QStringLiteral("Year-on-year"));
    m_style->addItem(QStringLiteral("Cumulative"));
    controls->addWidget(new QLabel(QStringLiteral("Show:"), side));
    controls->addWidget(m_mode);
    controls->addWidget(m_style);
    const char* names[] = {"", "&Base", "Base &Rerun", "&Policy"};
    for (int r = 1; r <= 3; ++r) {
        m_runs[r] = new QCheckBox(QString::fromLatin1(names[r]), side);
        m_runs[r]->setChecked(true);
        m_runs[r]->setEnabled(!m_sources.yearOnYear[static_cast<size_t>(r)].empty());
        controls->addWidget(m_runs[r]);
        connect(m_runs[r], &QCheckBox::toggled, this, [this] { redraw(); });
    }
    controls->addWidget(new QLabel(QStringLiteral("Components:"), side));
    m_rows = new QListWidget(side);
    controls->addWidget(m_rows, 1);
    auto* png = new QPushButton(QStringLiteral("Export P&NG..."), side);
    auto* svg = new QPushButton(QStringLiteral("Export &SVG..."), side);
    controls->addWidget(png);
    controls->addWidget(svg);
    side->setMaximumWidth(230);

    auto* right = new QWidget(central);
    auto* rightLayout = new QVBoxLayout(right);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    m_chart = std::make_unique<ResultsChart>(right);
    rightLayout->addWidget(m_chart->widget(), 1);
    m_note = new QLabel(right);
    m_note->setWordWrap(true);
    rightLayout->addWidget(m_note);

    outer->addWidget(side);
    outer->addWidget(right, 1);
    setCentralWidget(central);

    connect(m_mode, &QComboBox::currentIndexChanged, this, [this] { refresh(); });
    connect(m_style, &QComboBox::currentIndexChanged, this, [this] { refresh(); });
    connect(m_rows, &QListWidget::itemChanged, this, [this] { redraw(); });
    connect(png, &QPushButton::clicked, this, &ResultsChartWindow::exportPng);
    connect(svg, &QPushButton::clicked, this, &ResultsChartWindow::exportSvg);
    refresh();
}

ResultsChartWindow::~ResultsChartWindow() = default;

ChartRequest ResultsChartWindow::request() const {
    ChartRequest r;
    r.mode = m_mode->currentIndex() == 1 ? ChartMode::DeviationBars : ChartMode::Lines;
    r.cumulative = m_style->currentIndex() == 1;
    for (int k = 1; k <= 3; ++k)
        r.runs[static_cast<size_t>(k)] = m_runs[k]->isEnabled() && m_runs[k]->isChecked();
    for (int i = 0; i < m_rows->count(); ++i)
        if (m_rows->item(i)->checkState() == Qt::Checked)
            r.rows.push_back(m_rows->item(i)->text().toStdString());
    return r;
}

void ResultsChartWindow::setRequest(const ChartRequest& request) {
    m_updating = true;
    m_mode->setCurrentIndex(request.mode == ChartMode::DeviationBars ? 1 : 0);
    m_style->setCurrentIndex(request.cumulative ? 1 : 0);
    for (int k = 1; k <= 3; ++k) m_runs[k]->setChecked(request.runs[static_cast<size_t>(k)]);
    m_updating = false;
    QStringList rows;
    for (const auto& r : request.rows) rows << q(r);
    rebuildRows(rows);
    redraw();
}

void ResultsChartWindow::refresh() {
    if (m_updating) return;
    QStringList checked;
    for (int i = 0; i < m_rows->count(); ++i)
        if (m_rows->item(i)->checkState() == Qt::Checked) checked << m_rows->item(i)->text();
    rebuildRows(checked);
    redraw();
}

void ResultsChartWindow::rebuildRows(const QStringList& keepChecked) {
    ChartRequest probe = request();
    probe.rows.clear();
    const bool bars = probe.mode == ChartMode::DeviationBars;
    for (int k = 1; k <= 3; ++k) m_runs[k]->setVisible(!bars);
    m_updating = true;
    m_rows->clear();
    bool any = false;
    for (const std::string& row : chartRowNames(m_sources, probe)) {
        auto* item = new QListWidgetItem(q(row), m_rows);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        const bool on = keepChecked.contains(q(row));
        item->setCheckState(on ? Qt::Checked : Qt::Unchecked);
        any = any || on;
    }
    // Nothing chosen yet: the first variable's components.
    if (!any && m_rows->count() > 0) {
        const std::string first = splitRowName(m_rows->item(0)->text().toStdString()).first;
        for (int i = 0; i < m_rows->count(); ++i)
            if (splitRowName(m_rows->item(i)->text().toStdString()).first == first)
                m_rows->item(i)->setCheckState(Qt::Checked);
    }
    m_updating = false;
}

void ResultsChartWindow::redraw() {
    if (m_updating) return;
    ChartRequest r = request();
    if (r.rows.empty()) {
        m_chart->show(ChartData{});
        m_note->setText(m_rows->count() ? QStringLiteral("Choose the components to draw.")
                                        : QStringLiteral("There are no results to chart."));
        if (auto d = buildChartData(m_sources, r); !d)
            m_note->setText(q(d.message()).replace(QLatin1String("\r\n"), "\n"));
        return;
    }
    auto d = buildChartData(m_sources, r);
    if (!d) {
        m_chart->show(ChartData{});
        m_note->setText(q(d.message()).replace(QLatin1String("\r\n"), "\n"));
        return;
    }
    m_chart->show(*d);
    QString note;
    for (const auto& f : d->missingFiles) note += QStringLiteral("Not drawn (no file): %1\n").arg(q(f));
    m_note->setText(note.trimmed());
}

QString ResultsChartWindow::note() const {
    return m_note->text();
}

void ResultsChartWindow::exportPng() {
    const QString file = QFileDialog::getSaveFileName(this, QStringLiteral("Save Chart as PNG"), QString(),
                                                      QStringLiteral("PNG Files (*.png)"));
    if (file.isEmpty()) return;
    QString error;
    if (!m_chart->savePng(file, &error)) QMessageBox::critical(this, windowTitle(), error);
}

void ResultsChartWindow::exportSvg() {
    const QString file = QFileDialog::getSaveFileName(this, QStringLiteral("Save Chart as SVG"), QString(),
                                                      QStringLiteral("SVG Files (*.svg)"));
    if (file.isEmpty()) return;
    QString error;
    if (!m_chart->saveSvg(file, &error)) QMessageBox::critical(this, windowTitle(), error);
}

ResultsChartWindow* openResultsChartWindow(const ChartSources& sources, const ChartRequest& request,
                                           QWidget* parent) {
    auto* w = new ResultsChartWindow(sources, parent);
    w->setAttribute(Qt::WA_DeleteOnClose);
    w->setRequest(request);
    w->resize(1000, 600);
    w->show();
    return w;
}

}  // namespace vdln
