#pragma once
/// The convergence chart: the largest change of RORG between successive
/// iterations of each run, on a logarithmic value axis, in a small window
/// of its own.  Like `ResultsChart`, only this class knows the chart
/// library.

#include <QPointF>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <memory>
#include <vector>

#include "results/convergencechart.h"

namespace vdln {

class ConvergenceChart {
public:
    explicit ConvergenceChart(QWidget* parent = nullptr);
    ~ConvergenceChart();
    ConvergenceChart(const ConvergenceChart&) = delete;
    ConvergenceChart& operator=(const ConvergenceChart&) = delete;

    /// The widget that shows the chart.
    QWidget* widget() const;
    /// Draws one line with point markers per run over the iterations.
    void show(const ConvergenceChartData& data);

    /// What is drawn, read back from the chart.
    QStringList seriesNames() const;
    std::vector<QPointF> seriesPoints(int series) const;
    bool logScale() const;
    /// The value axis' range.
    double axisMin() const;
    double axisMax() const;
    QString title() const;

    /// Saves the chart as shown.  False with the reason in `error`.
    bool savePng(const QString& file, QString* error) const;

private:
    struct Impl;
    std::unique_ptr<Impl> m;
};

/// A window with the chart (object name "convergenceChartWindow"), or, when
/// no run has two iterations with preserved ROREXT files, a window saying
/// so.  The window deletes itself when closed; `chart` (when given) gets the
/// chart it shows.
QWidget* openConvergenceChartWindow(const ConvergenceChartData& data, QWidget* parent,
                                    ConvergenceChart** chart = nullptr);
/// The chart a window of `openConvergenceChartWindow` shows (nullptr for
/// another widget, or a window with nothing to chart).
ConvergenceChart* convergenceChartOf(QWidget* window);

}  // namespace vdln
