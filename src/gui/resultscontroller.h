#pragma once
/// The behaviour of the Results page: its controls mirror a
/// `ResultsPageState` and their buttons run the operations of
/// `results/resultsview.h`.  A header array file opens in the built-in
/// viewer when no `Gridlens` is found and one is set (`setBuiltInViewer`);
/// "&Graphs" opens the results chart when no `Outlens` is found; the choices
/// a finished job leaves are applied when the job ends.

#include <QObject>
#include <QPointer>
#include <functional>
#include <string>

#include "mainwindow.h"
#include "results/resultspage.h"

namespace vdln::gui {

class ResultsController : public QObject {
    Q_OBJECT
public:
    ResultsController(ResultsPageControls& controls, WindowSession& session, QWidget* parent);

    /// Opens a file in the built-in header array viewer; true when shown.
    void setBuiltInViewer(std::function<bool(const std::string&)> open) { m_builtInViewer = std::move(open); }

    /// Rebuilds the lists and captions from the application (keeping the
    /// selections) and shows the state in the controls.
    void refresh();
    /// Called after every tick: when a job has just finished, applies the
    /// choices it left.
    void afterTick();

    const ResultsPageState& state() const { return m_page; }

    // The buttons.
    void viewYear();
    void probexYear();
    void viewAllYears();
    void graphs();
    void accuracy();
    void probexAll();

private:
    ResultsContext context();
    void readControls();
    void showState();
    void restoreRecord();

    ResultsPageControls& m_c;
    WindowSession& m_s;
    QWidget* m_parent;
    ResultsPageState m_page;
    std::function<bool(const std::string&)> m_builtInViewer;
    bool m_wasRunning = false;
    bool m_showing = false;
};

}  // namespace vdln::gui
