#include "charts/resultschart.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QLineSeries>
#include <QPainter>
#include <QPen>
#include <QPixmap>
#include <QSvgGenerator>
#include <QValueAxis>
#include <cmath>
#include <limits>

namespace vdln {

struct ResultsChart::Impl {
    QChartView* view = nullptr;
    QChart* chart = nullptr;
    bool bars = false;
    int years = 0;
};

ResultsChart::ResultsChart(QWidget* parent) : m(std::make_unique<Impl>()) {
    m->chart = new QChart;
    m->chart->legend()->setAlignment(Qt::AlignBottom);
    m->view = new QChartView(m->chart, parent);
    m->view->setRenderHint(QPainter::Antialiasing);
    m->view->setMinimumSize(640, 420);
}

// The view owns the chart; the widget's parent owns the view.
ResultsChart::~ResultsChart() = default;

QWidget* ResultsChart::widget() const {
    return m->view;
}

void ResultsChart::show(const ChartData& data) {
    // A fresh chart each time: series and axes of the previous data leave
    // nothing behind.
    QChart* c = new QChart;
    c->legend()->setAlignment(Qt::AlignBottom);
    QChart* old = m->view->chart();
    m->view->setChart(c);
    m->chart = c;
    delete old;
    c->setTitle(QString::fromStdString(data.title));
    m->bars = data.mode == ChartMode::DeviationBars;
    m->years = static_cast<int>(data.years.size());

    // Every simulated year is a category, so each one has its label.
    auto* xAxis = new QBarCategoryAxis;
    for (int y : data.years) xAxis->append(QString::number(y));
    xAxis->setTitleText(QStringLiteral("Year"));
    auto* yAxis = new QValueAxis;
    yAxis->setTitleText(QString::fromStdString(data.valueTitle));
    yAxis->setLabelFormat(QStringLiteral("%.2f"));
    c->addAxis(xAxis, Qt::AlignBottom);
    c->addAxis(yAxis, Qt::AlignLeft);

    double lo = 0, hi = 0;
    auto widen = [&](double v) {
        if (!std::isfinite(v)) return;
        lo = std::min(lo, v);
        hi = std::max(hi, v);
    };
    if (m->bars) {
        auto* series = new QBarSeries;
        for (const ChartSeries& s : data.series) {
            auto* set = new QBarSet(QString::fromStdString(s.name));
            for (double v : s.values) {
                set->append(std::isfinite(v) ? v : 0.0);
                widen(v);
            }
            series->append(set);
        }
        c->addSeries(series);
        series->attachAxis(xAxis);
        series->attachAxis(yAxis);
    } else {
        for (const ChartSeries& s : data.series) {
            auto* line = new QLineSeries;
            line->setName(QString::fromStdString(s.name));
            for (size_t k = 0; k < s.values.size(); ++k) {
                if (!std::isfinite(s.values[k])) continue;
                line->append(static_cast<double>(k), s.values[k]);
                widen(s.values[k]);
            }
            line->setPointsVisible(true);
            c->addSeries(line);
            // The Rerun usually repeats the Base: the Base is drawn wide and
            // the Rerun dashed over it, so both stay visible (after adding,
            // so the pen keeps the colour the chart gave the series).
            QPen pen = line->pen();
            pen.setWidthF(s.run == kRunBase ? 4.0 : 2.0);
            if (s.run == kRunRerun) pen.setStyle(Qt::DashLine);
            line->setPen(pen);
            line->attachAxis(xAxis);
            line->attachAxis(yAxis);
        }
    }
    if (hi - lo <= 0) {
        yAxis->setRange(lo - 1, hi + 1);
    } else {
        const double pad = (hi - lo) * 0.08;
        yAxis->setRange(lo - (lo < 0 ? pad : 0), hi + (hi > 0 ? pad : 0));
        yAxis->applyNiceNumbers();
    }
}

QStringList ResultsChart::seriesNames() const {
    QStringList names;
    for (QAbstractSeries* s : m->chart->series()) {
        if (auto* b = qobject_cast<QBarSeries*>(s)) {
            for (QBarSet* set : b->barSets()) names << set->label();
        } else {
            names << s->name();
        }
    }
    return names;
}

std::vector<double> ResultsChart::seriesValues(int series) const {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    std::vector<double> values(static_cast<size_t>(m->years), nan);
    int k = 0;
    for (QAbstractSeries* s : m->chart->series()) {
        if (auto* b = qobject_cast<QBarSeries*>(s)) {
            for (QBarSet* set : b->barSets()) {
                if (k++ != series) continue;
                for (int i = 0; i < set->count() && i < m->years; ++i)
                    values[static_cast<size_t>(i)] = set->at(i);
                return values;
            }
        } else if (auto* l = qobject_cast<QLineSeries*>(s)) {
            if (k++ != series) continue;
            for (const QPointF& p : l->points()) {
                const int i = static_cast<int>(std::lround(p.x()));
                if (i >= 0 && i < m->years) values[static_cast<size_t>(i)] = p.y();
            }
            return values;
        }
    }
    return {};
}

QStringList ResultsChart::yearLabels() const {
    for (QAbstractAxis* a : m->chart->axes(Qt::Horizontal))
        if (auto* cat = qobject_cast<QBarCategoryAxis*>(a)) return cat->categories();
    return {};
}

bool ResultsChart::bars() const {
    return m->bars;
}

QString ResultsChart::title() const {
    return m->chart->title();
}

bool ResultsChart::savePng(const QString& file, QString* error) const {
    const QPixmap pixmap = m->view->grab();
    if (pixmap.isNull() || !pixmap.save(file, "PNG")) {
        if (error) *error = QStringLiteral("Cannot write the picture file %1").arg(file);
        return false;
    }
    return true;
}

bool ResultsChart::saveSvg(const QString& file, QString* error) const {
    QSvgGenerator svg;
    svg.setFileName(file);
    const QSize size = m->view->size();
    svg.setSize(size);
    svg.setViewBox(QRect(QPoint(0, 0), size));
    svg.setTitle(m->chart->title());
    QPainter painter;
    if (!painter.begin(&svg)) {
        if (error) *error = QStringLiteral("Cannot write the drawing file %1").arg(file);
        return false;
    }
    m->view->render(&painter);
    if (!painter.end()) {
        if (error) *error = QStringLiteral("Cannot finish the drawing file %1").arg(file);
        return false;
    }
    return true;
}

}  // namespace vdln
