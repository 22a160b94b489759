#include "viewer/harmodels.h"

#include <QColor>
#include <QFont>

namespace vdln::gui {

namespace {
QString qs(const std::string& s) {
    return QString::fromStdString(s);
}
}  // namespace

HarHeaderListModel::HarHeaderListModel(QObject* parent) : QAbstractTableModel(parent) {}

void HarHeaderListModel::setReader(const HarReader* reader) {
    beginResetModel();
    m_reader = reader;
    endResetModel();
}

const HarIndexEntry* HarHeaderListModel::entry(int row) const {
    if (!m_reader || row < 0 || row >= static_cast<int>(m_reader->entries().size())) return nullptr;
    return &m_reader->entries()[static_cast<std::size_t>(row)];
}

int HarHeaderListModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid() || !m_reader) return 0;
    return static_cast<int>(m_reader->entries().size());
}

int HarHeaderListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QString HarHeaderListModel::typeText(const HarHeader& h) {
    QString t = qs(h.typeRead.empty() ? h.HeadType : h.typeRead);
    if (h.storage == "SPSE") t += QStringLiteral(" sparse");
    return t;
}

QString HarHeaderListModel::dimensionsText(const HarHeader& h) {
    if (h.HeadType != "RE" || h.dimsText == h.shortDimsText) return qs(h.dimsText);
    return qs(h.dimsText) + QStringLiteral("  (") + qs(h.shortDimsText) + QStringLiteral(")");
}

QVariant HarHeaderListModel::data(const QModelIndex& index, int role) const {
    const HarIndexEntry* e = entry(index.row());
    if (!e) return {};
    const HarHeader& h = e->header();
    if (role == Qt::DisplayRole) {
        if (!e->readable()) {
            if (index.column() == Name) return qs(h.trimmedName());
            if (index.column() == Description) return tr("cannot be read");
            return {};
        }
        switch (index.column()) {
            case Name:
                return qs(h.trimmedName());
            case Type:
                return typeText(h);
            case Dimensions:
                return dimensionsText(h);
            case Coefficient:
                return h.HeadType == "RE" ? qs(h.re.coefName) : QString();
            case Description:
                return qs(h.description);
            default:
                return {};
        }
    }
    if (role == Qt::ToolTipRole && !e->readable())
        return qs(e->problem).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    if (role == Qt::ForegroundRole && !e->readable()) return QColor(Qt::darkRed);
    if (role == Qt::FontRole && index.column() == Name) {
        QFont f;
        f.setFamily(QStringLiteral("monospace"));
        f.setBold(true);
        return f;
    }
    return {};
}

QVariant HarHeaderListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole) return {};
    if (orientation == Qt::Vertical) return section + 1;
    switch (section) {
        case Name:
            return tr("Header");
        case Type:
            return tr("Type");
        case Dimensions:
            return tr("Dimensions");
        case Coefficient:
            return tr("Coefficient");
        case Description:
            return tr("Description");
        default:
            return {};
    }
}

HarSliceModel::HarSliceModel(QObject* parent) : QAbstractTableModel(parent) {}

void HarSliceModel::setSlice(HarSlice slice) {
    beginResetModel();
    m_slice = std::move(slice);
    endResetModel();
}

void HarSliceModel::clear() {
    setSlice(HarSlice{});
}

// A slice without cells (a dimension of size 0) shows as an empty table,
// however long its other dimension.
int HarSliceModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() || m_slice.cols == 0 ? 0 : static_cast<int>(m_slice.rows);
}

int HarSliceModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() || m_slice.rows == 0 ? 0 : static_cast<int>(m_slice.cols);
}

QVariant HarSliceModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= m_slice.rows || index.column() >= m_slice.cols) return {};
    if (role == Qt::DisplayRole) return qs(m_slice.cellText(index.row(), index.column()));
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(m_slice.strings.empty() ? Qt::AlignRight | Qt::AlignVCenter
                                                           : Qt::AlignLeft | Qt::AlignVCenter);
    return {};
}

QVariant HarSliceModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole || section < 0) return {};
    if (orientation == Qt::Horizontal)
        return section < m_slice.cols ? qs(m_slice.colLabel(section)) : QVariant();
    return section < m_slice.rows ? qs(m_slice.rowLabel(section)) : QVariant();
}

}  // namespace vdln::gui
