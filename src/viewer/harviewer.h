#pragma once
// The built-in header array viewer: a window listing a file's headers (name,
// type, dimensions with their sets, coefficient, description) and showing
// one header as a table, the set elements as row and column labels, with a
// choice of the two dimensions shown and of the element of every other
// dimension; the slice shown can be copied as CSV or TSV.  The file's index
// is read on opening and a header's data only when it is shown, so a large
// file opens at once and memory follows what is on the screen.

#include <QString>
#include <QWidget>
#include <string>
#include <vector>

#include "formats/harindex.h"

class QComboBox;
class QLabel;
class QPushButton;
class QTableView;
class QGridLayout;

namespace vdln::gui {

class HarHeaderListModel;
class HarSliceModel;

class HarViewer : public QWidget {
    Q_OBJECT
public:
    explicit HarViewer(QWidget* parent = nullptr);
    ~HarViewer() override;

    /// Opens a file and lists its headers, showing the first.  A file that
    /// cannot be indexed (or only in part) shows the reader's message; false
    /// when nothing could be listed.
    bool openFile(const QString& path);
    const QString& fileName() const { return m_path; }

    /// Shows the header of that row of the list; false (and the reader's
    /// message) when it cannot be read.
    bool showHeader(int row);
    int currentHeader() const { return m_current; }
    /// Shows dimension `rowDim` down and `colDim` across (1-based, 0 none),
    /// every other dimension k at element `fixed[k-1]`.
    bool showSlice(const HarSliceChoice& choice);
    const HarSliceChoice& sliceChoice() const { return m_choice; }

    /// The slice shown as text (',' or '\t' between fields, CR LF lines).
    QString sliceText(char separator) const;
    /// Puts the slice shown on the clipboard as CSV or TSV.
    void copySlice(char separator);

    /// The message shown about the file or the header (empty when none).
    QString message() const;
    HarHeaderListModel* headerListModel() const { return m_listModel; }
    HarSliceModel* sliceModel() const { return m_sliceModel; }
    QTableView* headerListView() const { return m_list; }
    QTableView* sliceView() const { return m_table; }
    QComboBox* rowChooser() const { return m_rowDim; }
    QComboBox* columnChooser() const { return m_colDim; }
    /// The element chooser of dimension k (1-based), null when k is shown.
    QComboBox* elementChooser(int k) const;

private:
    void setMessage(const QString& text);
    void rebuildChoosers();
    void choosersChanged();
    bool loadSlice();

    HarReader m_reader;
    QString m_path;
    int m_current = -1;
    HarSliceChoice m_choice;
    bool m_updating = false;
    QString m_fileMessage;

    HarHeaderListModel* m_listModel;
    HarSliceModel* m_sliceModel;
    QLabel* m_fileLabel;
    QLabel* m_message;
    QLabel* m_title;
    QTableView* m_list;
    QTableView* m_table;
    QComboBox* m_rowDim;
    QComboBox* m_colDim;
    QGridLayout* m_fixedGrid;
    QWidget* m_fixedBox;
    std::vector<QComboBox*> m_fixed;  // per dimension 1..7, null when shown or absent
    std::vector<QLabel*> m_fixedLabels;
    QPushButton* m_copyCsv;
    QPushButton* m_copyTsv;
};

/// Opens the viewer on a file as a window of its own (deleted when closed)
/// and returns it; the main window calls this to show a header array file.
HarViewer* openHarViewer(const QString& path, QWidget* parent = nullptr);

/// `vardelon --view FILE`: creates the application object, shows the viewer
/// on the file and runs until it is closed; returns the exit status.
int runHarViewerApp(int& argc, char** argv, const std::string& path);

}  // namespace vdln::gui
