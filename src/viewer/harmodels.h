#pragma once
// Table models of the header array viewer: the list of a file's headers
// (from its index) and the slice of one header on show.

#include <QAbstractTableModel>
#include <vector>

#include "formats/harindex.h"
#include "formats/harslice.h"

namespace vdln::gui {

/// One row per header of the index: name, type, dimensions (set names),
/// coefficient, description; an unreadable header shows its message.
class HarHeaderListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Name, Type, Dimensions, Coefficient, Description, ColumnCount };
    explicit HarHeaderListModel(QObject* parent = nullptr);
    /// Shows the entries of `reader` (which must outlive the model's use).
    void setReader(const HarReader* reader);
    const HarIndexEntry* entry(int row) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    /// The text of a cell, as shown.
    static QString typeText(const HarHeader& h);
    static QString dimensionsText(const HarHeader& h);

private:
    const HarReader* m_reader = nullptr;
};

/// The slice of a header: set elements as row and column labels.
class HarSliceModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit HarSliceModel(QObject* parent = nullptr);
    void setSlice(HarSlice slice);
    void clear();
    const HarSlice& slice() const { return m_slice; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    HarSlice m_slice;
};

}  // namespace vdln::gui
