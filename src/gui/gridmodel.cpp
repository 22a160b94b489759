#include "gridmodel.h"

#include <QBrush>
#include <QFont>
#include <QMetaObject>
#include <QPointer>

#include "model/simgrid.h"

namespace vdln::gui {

GridStateWorker::GridStateWorker(Done done) : m_done(std::move(done)), m_thread([this] { loop(); }) {}

GridStateWorker::~GridStateWorker() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
        m_latest = ~0u;
    }
    m_cv.notify_all();
    m_thread.join();
}

void GridStateWorker::submit(unsigned generation, std::vector<GridCellQuery> queries) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_generation = generation;
        m_queries = std::move(queries);
        m_pending = true;
        m_latest = generation;
    }
    m_cv.notify_one();
}

void GridStateWorker::loop() {
    for (;;) {
        unsigned gen;
        std::vector<GridCellQuery> queries;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_cv.wait(lock, [this] { return m_stop || m_pending; });
            if (m_stop) return;
            gen = m_generation;
            queries = std::move(m_queries);
            m_pending = false;
        }
        std::vector<std::pair<GridCellQuery, GridCellState>> out;
        out.reserve(queries.size());
        bool superseded = false;
        for (const GridCellQuery& q : queries) {
            if (m_latest.load() != gen) {
                superseded = true;
                break;
            }
            out.emplace_back(q, evaluateGridCell(q));
        }
        if (!superseded) m_done(gen, std::move(out));
    }
}

GridModel::GridModel(TSimRecord& rec, QObject* parent) : QAbstractTableModel(parent), m_rec(rec) {
    m_worker = std::make_unique<GridStateWorker>(
        [this](unsigned gen, std::vector<std::pair<GridCellQuery, GridCellState>> states) {
            // Back on the window's thread; dropped when the model is gone.
            QMetaObject::invokeMethod(
                this, [this, gen, states = std::move(states)] { applyStates(gen, states); },
                Qt::QueuedConnection);
        });
    recompute();
}

GridModel::~GridModel() {
    m_worker.reset();
}

int GridModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid()) return 0;
    return 3 + std::max(0, std::min(m_rec.NumYears, kMaxYears));
}

int GridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 5;
}

QVariant GridModel::headerData(int section, Qt::Orientation o, int role) const {
    if (role != Qt::DisplayRole) return {};
    if (o == Qt::Horizontal && section >= 0 && section <= 4)
        return QString::fromStdString(GridTitle(section));
    if (o == Qt::Vertical) return section;
    return {};
}

Qt::ItemFlags GridModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    const int row = dataRow(index.row());
    if (index.column() >= 1 && row >= kGridCMFStartRow &&
        !(row == kGridCMFStartRow && index.column() == kColBaseShocks))
        f |= Qt::ItemIsEditable;
    return f;
}

std::optional<GridCellState> GridModel::cellState(int row, int col) const {
    auto it = m_states.find({row, col});
    if (it == m_states.end()) return std::nullopt;
    return it->second;
}

QVariant GridModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    const int row = dataRow(index.row());
    const int col = index.column();
    if (role == Qt::DisplayRole || role == Qt::EditRole) {
        if (row < kGridCMFStartRow)
            return col == 0 ? QString("Pattern") : QString::fromStdString(GridPatternText(m_rec, col));
        if (col == 0) return QString::fromStdString(GridRowLabel(m_rec, row));
        if (role == Qt::EditRole) return QString::fromStdString(m_rec.GridStem(row, col).str()).toUpper();
        return QString::fromStdString(GridCellText(m_rec, row, col));
    }
    if (role == Qt::BackgroundRole) {
        if (col == 0 || row < kGridCMFStartRow) return QBrush(QColor(0xEC, 0xEC, 0xEC));
        auto s = cellState(row, col);
        if (s == GridCellState::Missing) return QBrush(missingColour());
        if (s == GridCellState::ConstituentMissing) return QBrush(constituentColour());
        return {};
    }
    if (role == Qt::ForegroundRole && col > 0 && row >= kGridCMFStartRow) {
        const std::string stem = m_rec.GridStem(row, col).str();
        if (stem.empty() || stem == "?" || stem == "N/A") return QBrush(QColor(0x70, 0x70, 0x70));
    }
    if (role == Qt::FontRole) {
        if (col == 0 || row < kGridCMFStartRow) {
            QFont f;
            f.setBold(col == 0);
            f.setItalic(row < kGridCMFStartRow);
            return f;
        }
    }
    if (role == Qt::ToolTipRole && col > 0 && row >= kGridCMFStartRow) {
        auto s = cellState(row, col);
        if (s == GridCellState::Missing) return QString("File does not exist");
        if (s == GridCellState::ConstituentMissing) return QString("File exists, but a constituent does not");
    }
    return {};
}

bool GridModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole || !(flags(index) & Qt::ItemIsEditable)) return false;
    std::string text = value.toString().trimmed().toStdString();
    const std::string lower = QString::fromStdString(text).toLower().toStdString();
    // The words the grid shows stand for their markers when typed back.
    if (lower == "common") text = "?";
    if (lower == "none") text.clear();
    if (Status s = SetCell(m_rec, dataRow(index.row()), index.column(), text); !s) {
        Q_EMIT editRefused(QString::fromStdString(s.message()));
        return false;
    }
    RefreshGrid(m_rec);
    Q_EMIT dataChanged(this->index(0, 0), this->index(rowCount() - 1, 4));
    Q_EMIT recordEdited();
    recompute();
    return true;
}

void GridModel::reload() {
    beginResetModel();
    RefreshGrid(m_rec);
    endResetModel();
    recompute();
}

void GridModel::recompute() {
    ++m_generation;
    m_worker->submit(m_generation, gridCellQueries(m_rec));
}

void GridModel::applyStates(unsigned generation,
                            const std::vector<std::pair<GridCellQuery, GridCellState>>& states) {
    if (generation != m_generation) return;  // an older answer
    m_outstanding = generation;
    m_states.clear();
    for (const auto& [q, s] : states) m_states[{q.row, q.col}] = s;
    if (rowCount() > 0)
        Q_EMIT dataChanged(index(0, 0), index(rowCount() - 1, 4), {Qt::BackgroundRole, Qt::ToolTipRole});
    Q_EMIT statesReady();
}

}  // namespace vdln::gui
