#include "charts/convergencewindow.h"

#include <QChart>
#include <QChartView>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineSeries>
#include <QLogValueAxis>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QScatterSeries>
#include <QVBoxLayout>
#include <QValueAxis>
#include <cmath>

namespace vdln {

struct ConvergenceChart::Impl {
    QChartView* view = nullptr;
    QLogValueAxis* yAxis = nullptr;
    std::vector<QLineSeries*> lines;
};

ConvergenceChart::ConvergenceChart(QWidget* parent) : m(std::make_unique<Impl>()) {
    m->view = new QChartView(new QChart, parent);
    m->view->setRenderHint(QPainter::Antialiasing);
    m->view->setMinimumSize(560, 380);
}

// The view owns the chart; the widget's parent owns the view.
ConvergenceChart::~ConvergenceChart() = default;

QWidget* ConvergenceChart::widget() const {
    return m->view;
}

void ConvergenceChart::show(const ConvergenceChartData& data) {
    QChart* c = new QChart;
    c->legend()->setAlignment(Qt::AlignBottom);
    QChart* old = m->view->chart();
    m->view->setChart(c);
    delete old;
    m->lines.clear();
    c->setTitle(QString::fromStdString(data.title));

    // Whole iterations on the x axis, one tick each (up to a readable count).
    auto* x = new QValueAxis;
    x->setTitleText(QStringLiteral("Iteration"));
    x->setLabelFormat(QStringLiteral("%d"));
    const int last = std::max(2, data.lastIteration);
    x->setRange(1, last);
    x->setTickCount(std::min(last, 20));
    m->yAxis = new QLogValueAxis;
    m->yAxis->setBase(10);
    m->yAxis->setTitleText(QString::fromStdString(data.valueTitle));
    m->yAxis->setLabelFormat(QStringLiteral("%.0e"));
    // Whole decades around the values, so every point lies inside and at
    // least two decades are labelled.
    double lo = data.empty() ? 1e-6 : std::pow(10.0, std::floor(std::log10(data.smallest)));
    const double hi = data.empty() ? 1.0 : std::pow(10.0, std::ceil(std::log10(data.largest)));
    while (hi / lo < 99) lo /= 10;
    m->yAxis->setRange(lo, hi);
    m->yAxis->setMinorTickCount(8);
    c->addAxis(x, Qt::AlignBottom);
    c->addAxis(m->yAxis, Qt::AlignLeft);
    for (const ConvergenceSeries& s : data.series) {
        auto* line = new QLineSeries;
        line->setName(QString::fromStdString(s.name));
        line->setPointsVisible(true);
        for (const MaxChangePoint& p : s.points) line->append(p.iteration, p.change);
        c->addSeries(line);
        line->attachAxis(x);
        line->attachAxis(m->yAxis);
        m->lines.push_back(line);
    }
}

QStringList ConvergenceChart::seriesNames() const {
    QStringList out;
    for (const QLineSeries* l : m->lines) out << l->name();
    return out;
}

std::vector<QPointF> ConvergenceChart::seriesPoints(int series) const {
    if (series < 0 || series >= static_cast<int>(m->lines.size())) return {};
    const QList<QPointF> p = m->lines[static_cast<size_t>(series)]->points();
    return {p.begin(), p.end()};
}

bool ConvergenceChart::logScale() const {
    return m->yAxis != nullptr;
}

double ConvergenceChart::axisMin() const {
    return m->yAxis ? m->yAxis->min() : 0;
}

double ConvergenceChart::axisMax() const {
    return m->yAxis ? m->yAxis->max() : 0;
}

QString ConvergenceChart::title() const {
    return m->view->chart()->title();
}

bool ConvergenceChart::savePng(const QString& file, QString* error) const {
    const QPixmap pixmap = m->view->grab();
    if (pixmap.isNull() || !pixmap.save(file, "PNG")) {
        if (error) *error = QStringLiteral("Cannot write the picture file %1").arg(file);
        return false;
    }
    return true;
}

namespace {

// Keeps the chart object alive as long as its window.
class ConvergenceWindow : public QWidget {
public:
    ConvergenceWindow(const ConvergenceChartData& data, QWidget* parent) : QWidget(parent, Qt::Window) {
        setObjectName("convergenceChartWindow");
        setAttribute(Qt::WA_DeleteOnClose);
        setWindowTitle(QStringLiteral("Convergence of the Rational Expectations iterations"));
        auto* lay = new QVBoxLayout(this);
        if (data.empty()) {
            auto* none = new QLabel(QStringLiteral(
                "There is nothing to chart yet: a run needs at least two iterations whose ROREXT "
                "files were preserved."));
            none->setObjectName("convergenceChartEmpty");
            none->setWordWrap(true);
            lay->addWidget(none);
        } else {
            m_chart = std::make_unique<ConvergenceChart>(this);
            m_chart->show(data);
            lay->addWidget(m_chart->widget(), 1);
            if (data.flooredPoints > 0) {
                lay->addWidget(new QLabel(QStringLiteral("%1 change(s) of 0 are drawn at %2.")
                                              .arg(data.flooredPoints)
                                              .arg(kChangeFloor, 0, 'e', 0)));
            }
        }
        auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
        connect(buttons, &QDialogButtonBox::rejected, this, &QWidget::close);
        lay->addWidget(buttons);
        resize(720, 480);
    }
    ConvergenceChart* chart() const { return m_chart.get(); }

private:
    std::unique_ptr<ConvergenceChart> m_chart;
};

}  // namespace

QWidget* openConvergenceChartWindow(const ConvergenceChartData& data, QWidget* parent,
                                    ConvergenceChart** chart) {
    auto* w = new ConvergenceWindow(data, parent);
    if (chart) *chart = w->chart();
    w->show();
    return w;
}

}  // namespace vdln

namespace vdln {

ConvergenceChart* convergenceChartOf(QWidget* window) {
    auto* w = dynamic_cast<ConvergenceWindow*>(window);
    return w ? w->chart() : nullptr;
}

}  // namespace vdln
