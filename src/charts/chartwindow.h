#pragma once
/// The results chart window: the run's results across years from the
/// spreadsheet files the jobs wrote, as Base, Rerun and Policy lines of the
/// chosen components (year-on-year or cumulative) or the Policy's deviations
/// as bars, with PNG and SVG export.  It is what "&Graphs" opens when no
/// solution viewer is configured.

#include <QMainWindow>
#include <memory>

#include "results/chartdata.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QListWidget;

namespace vdln {

class ResultsChart;

class ResultsChartWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit ResultsChartWindow(ChartSources sources, QWidget* parent = nullptr);
    ~ResultsChartWindow() override;

    /// The choices, as the controls show them.
    ChartRequest request() const;
    /// Sets the controls and redraws.  Components not in the files are ignored.
    void setRequest(const ChartRequest& request);
    /// Rereads the files and redraws (the component list is rebuilt, keeping
    /// the components that are still there checked).
    void refresh();

    const ResultsChart& chart() const { return *m_chart; }
    /// The text under the chart: missing files or the reason nothing is drawn.
    QString note() const;

    /// Exports through a file dialog ("Save Chart as PNG" / "as SVG").
    void exportPng();
    void exportSvg();

private:
    void rebuildRows(const QStringList& keepChecked);
    void redraw();

    ChartSources m_sources;
    std::unique_ptr<ResultsChart> m_chart;
    QComboBox* m_mode = nullptr;
    QComboBox* m_style = nullptr;
    QCheckBox* m_runs[4] = {};
    QListWidget* m_rows = nullptr;
    QLabel* m_note = nullptr;
    bool m_updating = false;
};

/// Opens a chart window over the application's results (deleted when closed).
ResultsChartWindow* openResultsChartWindow(const ChartSources& sources, const ChartRequest& request,
                                           QWidget* parent = nullptr);

}  // namespace vdln
