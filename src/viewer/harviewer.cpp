#include "viewer/harviewer.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPushButton>
#include <QSplitter>
#include <QTableView>
#include <QVBoxLayout>

#include "formats/harslice.h"
#include "viewer/harmodels.h"

namespace vdln::gui {

namespace {

// Largest header shown without being chosen when a file is opened.
constexpr std::int64_t kShownAtOpening = 1000000;

QString qs(const std::string& s) {
    return QString::fromStdString(s);
}
// Message chains use CR LF inside.
QString shown(const std::string& s) {
    return qs(s).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

// The number of dimensions a header's slices are taken over, and the
// caption of dimension k.
int sliceDimCount(const HarHeader& h) {
    if (h.HeadType == "2I") return 2;
    if (h.HeadType == "1C") return 1;
    return std::max(0, std::min(h.NDim, 7));
}

QString dimCaption(const HarHeader& h, int k) {
    if (h.HeadType == "2I")
        return k == 1 ? QObject::tr("rows (%1)").arg(h.rows) : QObject::tr("columns (%1)").arg(h.cols);
    if (h.HeadType == "1C") return QObject::tr("strings (%1)").arg(h.stringCount);
    const std::string& label = h.dimLabels[static_cast<std::size_t>(k - 1)];
    return QStringLiteral("%1: %2 (%3)")
        .arg(k)
        .arg(label.empty() ? QObject::tr("unnamed") : qs(label))
        .arg(h.dims[static_cast<std::size_t>(k - 1)]);
}

}  // namespace

HarViewer::HarViewer(QWidget* parent)
    : QWidget(parent),
      m_listModel(new HarHeaderListModel(this)),
      m_sliceModel(new HarSliceModel(this)),
      m_fileLabel(new QLabel(this)),
      m_message(new QLabel(this)),
      m_title(new QLabel(this)),
      m_list(new QTableView(this)),
      m_table(new QTableView(this)),
      m_rowDim(new QComboBox(this)),
      m_colDim(new QComboBox(this)),
      m_fixedGrid(nullptr),
      m_fixedBox(new QWidget(this)),
      m_fixed(7, nullptr),
      m_fixedLabels(7, nullptr),
      m_copyCsv(new QPushButton(tr("Copy as &CSV"), this)),
      m_copyTsv(new QPushButton(tr("Copy as &TSV"), this)) {
    setWindowTitle(tr("Header Array Viewer"));
    m_message->setWordWrap(true);
    m_message->setStyleSheet(QStringLiteral("QLabel { color: #a00000; }"));
    m_message->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_message->hide();
    m_fileLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QFont bold = m_title->font();
    bold.setBold(true);
    m_title->setFont(bold);
    m_title->setWordWrap(true);

    m_list->setModel(m_listModel);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->verticalHeader()->hide();
    m_list->verticalHeader()->setDefaultSectionSize(m_list->fontMetrics().height() + 6);
    m_list->horizontalHeader()->setStretchLastSection(true);
    m_list->setWordWrap(false);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);

    m_table->setModel(m_sliceModel);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->verticalHeader()->setDefaultSectionSize(m_table->fontMetrics().height() + 6);
    m_table->horizontalHeader()->setDefaultSectionSize(90);

    auto* choosers = new QHBoxLayout;
    auto* rowLabel = new QLabel(tr("&Rows:"), this);
    rowLabel->setBuddy(m_rowDim);
    choosers->addWidget(rowLabel);
    choosers->addWidget(m_rowDim, 1);
    auto* colLabel = new QLabel(tr("C&olumns:"), this);
    colLabel->setBuddy(m_colDim);
    choosers->addWidget(colLabel);
    choosers->addWidget(m_colDim, 1);
    m_fixedGrid = new QGridLayout(m_fixedBox);
    m_fixedGrid->setContentsMargins(0, 0, 0, 0);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_copyCsv);
    buttons->addWidget(m_copyTsv);

    auto* right = new QWidget(this);
    auto* rightLayout = new QVBoxLayout(right);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    rightLayout->addWidget(m_title);
    rightLayout->addLayout(choosers);
    rightLayout->addWidget(m_fixedBox);
    rightLayout->addWidget(m_table, 1);
    rightLayout->addLayout(buttons);

    auto* split = new QSplitter(Qt::Horizontal, this);
    split->addWidget(m_list);
    split->addWidget(right);
    split->setStretchFactor(0, 2);
    split->setStretchFactor(1, 3);

    auto* top = new QVBoxLayout(this);
    top->addWidget(m_fileLabel);
    top->addWidget(m_message);
    top->addWidget(split, 1);

    connect(m_list->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& now) {
                if (!m_updating && now.isValid()) showHeader(now.row());
            });
    connect(m_rowDim, &QComboBox::currentIndexChanged, this, [this] { choosersChanged(); });
    connect(m_colDim, &QComboBox::currentIndexChanged, this, [this] { choosersChanged(); });
    connect(m_copyCsv, &QPushButton::clicked, this, [this] { copySlice(','); });
    connect(m_copyTsv, &QPushButton::clicked, this, [this] { copySlice('\t'); });
    resize(1100, 640);
}

HarViewer::~HarViewer() = default;

void HarViewer::setMessage(const QString& text) {
    m_message->setText(text);
    m_message->setVisible(!text.isEmpty());
}

QString HarViewer::message() const {
    return m_message->text();
}

bool HarViewer::openFile(const QString& path) {
    m_path = path;
    m_current = -1;
    m_sliceModel->clear();
    m_listModel->setReader(nullptr);
    Status s = m_reader.open(path.toStdString());
    m_listModel->setReader(&m_reader);
    setWindowTitle(tr("%1 - Header Array Viewer").arg(QFileInfo(path).fileName()));
    m_fileLabel->setText(tr("%1    %2 headers, %3 bytes, %4 records")
                             .arg(path)
                             .arg(m_reader.entries().size())
                             .arg(m_reader.fileSize())
                             .arg(m_reader.flavour() == RecordFlavour::Lahey ? QStringLiteral("Lahey")
                                                                             : QStringLiteral("Fujitsu")));
    m_fileMessage = s ? QString() : shown(s.message());
    m_list->resizeColumnsToContents();
    m_list->horizontalHeader()->setStretchLastSection(true);
    setMessage(m_fileMessage);
    if (m_reader.entries().empty()) {
        m_title->clear();
        rebuildChoosers();
        return false;
    }
    // The first ordinary header is the one a user wants to see first; a
    // big one waits to be chosen, so that opening stays quick.
    int first = 0;
    for (std::size_t i = 0; i < m_reader.entries().size(); ++i)
        if (m_reader.entries()[i].name().rfind("XX", 0) != 0) {
            first = static_cast<int>(i);
            break;
        }
    const HarIndexEntry& e = m_reader.entries()[static_cast<std::size_t>(first)];
    if (e.header().elementCount <= kShownAtOpening) {
        showHeader(first);
    } else {
        m_updating = true;
        m_list->selectRow(first);
        m_updating = false;
        m_title->setText(tr("Choose a header to show its values."));
    }
    return true;
}

bool HarViewer::showHeader(int row) {
    const HarIndexEntry* e = m_listModel->entry(row);
    if (!e) return false;
    m_current = row;
    {
        m_updating = true;
        m_list->selectRow(row);
        m_updating = false;
    }
    const HarHeader& h = e->header();
    m_title->setText(QStringLiteral("%1   %2   %3")
                         .arg(qs(h.trimmedName()), HarHeaderListModel::dimensionsText(h), qs(h.description)));
    m_choice = defaultSliceChoice(h);
    rebuildChoosers();
    if (!e->readable()) {
        m_sliceModel->clear();
        setMessage((m_fileMessage.isEmpty() ? QString() : m_fileMessage + QStringLiteral("\n")) +
                   shown(e->problem));
        return false;
    }
    return loadSlice();
}

bool HarViewer::showSlice(const HarSliceChoice& choice) {
    const HarIndexEntry* e = m_listModel->entry(m_current);
    if (!e) return false;
    Status s = checkSliceChoice(e->header(), choice);
    if (!s) {
        setMessage(shown(s.message()));
        return false;
    }
    m_choice = choice;
    rebuildChoosers();
    return loadSlice();
}

bool HarViewer::loadSlice() {
    const HarIndexEntry* e = m_listModel->entry(m_current);
    if (!e) return false;
    auto slice = m_reader.readSlice(*e, m_choice);
    if (!slice) {
        m_sliceModel->clear();
        setMessage((m_fileMessage.isEmpty() ? QString() : m_fileMessage + QStringLiteral("\n")) +
                   shown(slice.message()));
        return false;
    }
    QString note = m_fileMessage;
    if (slice->replacedCount > 0)
        note += (note.isEmpty() ? QString() : QStringLiteral("\n")) +
                tr("%1 values that were not finite numbers are shown as 424242.").arg(slice->replacedCount);
    setMessage(note);
    m_sliceModel->setSlice(std::move(*slice));
    const bool fits = m_sliceModel->columnCount() <= 200;
    if (fits) {
        // Some room around the numbers, so neighbouring columns do not run together.
        m_table->resizeColumnsToContents();
        for (int c = 0; c < m_sliceModel->columnCount(); ++c)
            m_table->setColumnWidth(c, m_table->columnWidth(c) + 14);
    }
    const bool any = m_sliceModel->rowCount() > 0 && m_sliceModel->columnCount() > 0;
    m_copyCsv->setEnabled(any);
    m_copyTsv->setEnabled(any);
    return true;
}

QComboBox* HarViewer::elementChooser(int k) const {
    if (k < 1 || k > 7) return nullptr;
    return m_fixed[static_cast<std::size_t>(k - 1)];
}

void HarViewer::rebuildChoosers() {
    m_updating = true;
    m_rowDim->clear();
    m_colDim->clear();
    for (int k = 0; k < 7; ++k) {
        delete m_fixed[static_cast<std::size_t>(k)];
        delete m_fixedLabels[static_cast<std::size_t>(k)];
        m_fixed[static_cast<std::size_t>(k)] = nullptr;
        m_fixedLabels[static_cast<std::size_t>(k)] = nullptr;
    }
    const HarIndexEntry* e = m_listModel->entry(m_current);
    const int nd = e ? sliceDimCount(e->header()) : 0;
    if (e && e->readable()) {
        const HarHeader& h = e->header();
        m_rowDim->addItem(tr("(none)"), 0);
        m_colDim->addItem(tr("(none)"), 0);
        for (int k = 1; k <= nd; ++k) {
            m_rowDim->addItem(dimCaption(h, k), k);
            m_colDim->addItem(dimCaption(h, k), k);
        }
        m_rowDim->setCurrentIndex(m_rowDim->findData(m_choice.rowDim));
        m_colDim->setCurrentIndex(m_colDim->findData(m_choice.colDim));
        int row = 0;
        for (int k = 1; k <= nd; ++k) {
            if (k == m_choice.rowDim || k == m_choice.colDim) continue;
            auto* label = new QLabel(dimCaption(h, k) + QStringLiteral(":"), m_fixedBox);
            auto* box = new QComboBox(m_fixedBox);
            const auto names = dimensionLabels(h, k);
            const std::int64_t n = h.HeadType == "RE" ? h.dims[static_cast<std::size_t>(k - 1)] : 1;
            for (std::int64_t i = 1; i <= n; ++i) box->addItem(qs(dimensionLabel(names, i)));
            box->setCurrentIndex(static_cast<int>(m_choice.fixed[static_cast<std::size_t>(k - 1)] - 1));
            label->setBuddy(box);
            m_fixedGrid->addWidget(label, row / 2, (row % 2) * 2);
            m_fixedGrid->addWidget(box, row / 2, (row % 2) * 2 + 1);
            ++row;
            connect(box, &QComboBox::currentIndexChanged, this, [this, k](int i) {
                if (m_updating || i < 0) return;
                m_choice.fixed[static_cast<std::size_t>(k - 1)] = i + 1;
                loadSlice();
            });
            m_fixed[static_cast<std::size_t>(k - 1)] = box;
            m_fixedLabels[static_cast<std::size_t>(k - 1)] = label;
        }
        m_fixedBox->setVisible(row > 0);
    } else {
        m_fixedBox->hide();
    }
    m_rowDim->setEnabled(nd >= 1);
    m_colDim->setEnabled(nd >= 2);
    m_updating = false;
}

void HarViewer::choosersChanged() {
    if (m_updating) return;
    const HarIndexEntry* e = m_listModel->entry(m_current);
    if (!e) return;
    HarSliceChoice choice = m_choice;
    const int row = m_rowDim->currentData().toInt(), col = m_colDim->currentData().toInt();
    // Choosing the dimension the other chooser shows swaps the two.
    if (row != 0 && row == col) {
        if (sender() == m_rowDim)
            choice.colDim = m_choice.rowDim, choice.rowDim = row;
        else
            choice.rowDim = m_choice.colDim, choice.colDim = col;
    } else {
        choice.rowDim = row;
        choice.colDim = col;
    }
    if (choice.rowDim == 0 && choice.colDim != 0) std::swap(choice.rowDim, choice.colDim);
    const int nd = sliceDimCount(e->header());
    // Every dimension must be shown or fixed: one left out of both
    // choosers when the header has room for it goes back down the rows.
    if (choice.rowDim == 0 && nd >= 1) choice.rowDim = choice.colDim == 1 ? 2 : 1;
    if (choice.colDim == 0 && nd >= 2) choice.colDim = choice.rowDim == 1 ? 2 : 1;
    showSlice(choice);
}

QString HarViewer::sliceText(char separator) const {
    return qs(vdln::sliceText(m_sliceModel->slice(), separator, true));
}

void HarViewer::copySlice(char separator) {
    if (QClipboard* c = QApplication::clipboard()) c->setText(sliceText(separator));
}

HarViewer* openHarViewer(const QString& path, QWidget* parent) {
    auto* v = new HarViewer(parent);
    v->setWindowFlag(Qt::Window, true);
    v->setAttribute(Qt::WA_DeleteOnClose, true);
    v->openFile(path);
    v->show();
    return v;
}

int runHarViewerApp(int& argc, char** argv, const std::string& path) {
    QApplication app(argc, argv);
    openHarViewer(QString::fromStdString(path));
    return app.exec();
}

}  // namespace vdln::gui
