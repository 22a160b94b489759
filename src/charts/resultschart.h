#pragma once
/// The one class that draws a results chart.  It hides the chart library
/// (Qt Charts today) behind a widget, the series as data, and the PNG and
/// SVG exports, so the library can be replaced without touching the window.

#include <QString>
#include <QStringList>
#include <QWidget>
#include <memory>
#include <vector>

#include "results/chartdata.h"

namespace vdln {

class ResultsChart {
public:
    explicit ResultsChart(QWidget* parent = nullptr);
    ~ResultsChart();
    ResultsChart(const ResultsChart&) = delete;
    ResultsChart& operator=(const ResultsChart&) = delete;

    /// The widget that shows the chart.
    QWidget* widget() const;
    /// Draws the data: one line per series over a category axis with every
    /// year, or one bar set per series.  A missing value is left out of its
    /// line (the line joins its neighbours) and drawn as an empty bar.
    void show(const ChartData& data);

    /// What is drawn, read back from the chart: the series names, each
    /// series' value per year (NaN where nothing is drawn), the year labels
    /// of the axis, and whether bars are drawn.
    QStringList seriesNames() const;
    std::vector<double> seriesValues(int series) const;
    QStringList yearLabels() const;
    bool bars() const;
    QString title() const;

    /// Saves the chart as shown.  False with the reason in `error`.
    bool savePng(const QString& file, QString* error) const;
    bool saveSvg(const QString& file, QString* error) const;

private:
    struct Impl;
    std::unique_ptr<Impl> m;
};

}  // namespace vdln
