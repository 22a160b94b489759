#pragma once
/// The closure/shock grid as a table model over the application record.
/// Column 0 is the "Part" column (row labels), columns 1..4 the grid's
/// columns; row 0 is the "Pattern" row, row 1 CMFStart, row 2 Common, then
/// one row per simulation.  Edits go to the record through the grid
/// operations of the core.  Whether a cell's file (and the files it refers
/// to) exist is found on a worker thread, so a slow folder never blocks the
/// window; until the answer arrives the cell is drawn without colour.

#include <QAbstractTableModel>
#include <QColor>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "cmf/gridstate.h"
#include "model/simrecord.h"

namespace vdln::gui {

/// Evaluates batches of cell queries on a thread of its own; the newest batch
/// replaces any batch not yet begun, and a batch in progress stops early
/// when a newer one arrives.
class GridStateWorker {
public:
    using Done =
        std::function<void(unsigned generation, std::vector<std::pair<GridCellQuery, GridCellState>>)>;
    explicit GridStateWorker(Done done);
    ~GridStateWorker();
    void submit(unsigned generation, std::vector<GridCellQuery> queries);

private:
    void loop();
    Done m_done;
    std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_stop = false;
    bool m_pending = false;
    unsigned m_generation = 0;
    std::atomic<unsigned> m_latest{0};
    std::vector<GridCellQuery> m_queries;
    std::thread m_thread;
};

class GridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static QColor missingColour() { return QColor(0xF4, 0x8A, 0x8A); }
    static QColor constituentColour() { return QColor(0x8F, 0xD9, 0x8F); }

    explicit GridModel(TSimRecord& rec, QObject* parent = nullptr);
    ~GridModel() override;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation o, int role) const override;

    /// The record's data row of a model row (-1 CMFStart, 0 Common, 1.. years);
    /// below -1 for the Pattern row.
    static int dataRow(int modelRow) { return modelRow - 2; }
    static int modelRow(int dataRow) { return dataRow + 2; }

    /// The record changed outside the model: rebuild and recompute states.
    void reload();
    /// A cell's state as last computed (nullopt while it is being computed).
    std::optional<GridCellState> cellState(int dataRow, int col) const;
    /// True while a computation of the states is outstanding.
    bool computing() const { return m_outstanding != m_generation; }

Q_SIGNALS:
    /// The cell states of the current record are all known.
    void statesReady();
    /// An edit reached the record.
    void recordEdited();
    /// An edit was refused (a name that cannot be part of a file name); the
    /// cell keeps its file.
    void editRefused(const QString& message);

private:
    void recompute();
    void applyStates(unsigned generation, const std::vector<std::pair<GridCellQuery, GridCellState>>& states);

    TSimRecord& m_rec;
    std::map<std::pair<int, int>, GridCellState> m_states;
    unsigned m_generation = 0;
    unsigned m_outstanding = 0;
    std::unique_ptr<GridStateWorker> m_worker;
};

}  // namespace vdln::gui
