#include "viewer/harviewer.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QFontDatabase>
#include <QTableView>

#include "formats/harfile.h"
#include "support/tempdir.h"
#include "viewer/harmodels.h"

namespace vdln::gui {
namespace {

using vdln::testing::readFile;
using vdln::testing::writeFile;

// The value stored at 1-based indices: every index shows in it.
float valueAt(const Dims7& idx) {
    float v = 0, w = 1;
    for (int k = 0; k < 7; ++k, w *= 10) v += static_cast<float>(idx[k]) * w;
    return v;
}

std::vector<std::string> elements(const std::string& prefix, std::int64_t n) {
    std::vector<std::string> out;
    for (std::int64_t i = 1; i <= n; ++i) out.push_back(prefix + std::to_string(i));
    return out;
}

PHarHeader realHeader(const std::string& name, const Dims7& sizes, int nd) {
    std::vector<HarSet> sets;
    for (int k = 0; k < nd; ++k)
        sets.push_back(
            {"SET" + std::to_string(k + 1), elements("e" + std::to_string(k + 1) + "_", sizes[k])});
    auto h = makeREHeader(name, "values over " + std::to_string(nd) + " sets", sets);
    EXPECT_TRUE(h) << h.message();
    HeadMat& m = (*h)->HeadMat;
    Dims7 idx{1, 1, 1, 1, 1, 1, 1};
    for (std::int64_t i = 0; i < m.size(); ++i) {
        m.Root()[i] = valueAt(idx);
        for (int k = 0; k < 7; ++k) {
            if (++idx[k] <= m.dim(k + 1)) break;
            idx[k] = 1;
        }
    }
    return std::move(*h);
}

QString cell(QAbstractItemModel* m, int r, int c) {
    return m->data(m->index(r, c)).toString();
}
QString rowLabel(QAbstractItemModel* m, int r) {
    return m->headerData(r, Qt::Vertical).toString();
}
QString colLabel(QAbstractItemModel* m, int c) {
    return m->headerData(c, Qt::Horizontal).toString();
}

QString realText(float v) {
    return QString::asprintf("%.9g", static_cast<double>(v));
}

class HarViewerTest : public vdln::testing::TempDirTest {
protected:
    const Dims7 sizes[8] = {{1, 1, 1, 1, 1, 1, 1}, {4, 1, 1, 1, 1, 1, 1}, {3, 5, 1, 1, 1, 1, 1},
                            {3, 4, 2, 1, 1, 1, 1}, {2, 3, 2, 2, 1, 1, 1}, {2, 2, 3, 2, 2, 1, 1},
                            {2, 2, 2, 2, 3, 2, 1}, {2, 2, 2, 2, 2, 3, 2}};
    std::string writeSample(RecordFlavour fl) {
        HarFile f = NewHarFile("tester", "now", false, false).value();
        f.flavour = fl;
        for (int nd = 0; nd <= 7; ++nd)
            EXPECT_TRUE(addHeader(f, realHeader("D" + std::to_string(nd), sizes[nd], nd)));
        EXPECT_TRUE(addHeader(f, makeStringHeader("TXT", "some text", {"alpha", "beta, gamma"}).value()));
        PHarHeader im = std::make_unique<HarHeader>();
        im->name = "IMAT";
        im->HeadType = "2I";
        im->description = "integers";
        im->rows = 2;
        im->cols = 3;
        EXPECT_TRUE(AllocArr(im->intMatrix, 2, 3, 4));
        for (int r = 1; r <= 2; ++r)
            for (int c = 1; c <= 3; ++c) im->intMatrix->i32(r, c) = 10 * r + c;
        EXPECT_TRUE(AddHeaderNil(f, im));
        const std::string file = path(fl == RecordFlavour::Lahey ? "l.har" : "f.har");
        Status s = WriteHarFile(file, "tester", "now", f);
        EXPECT_TRUE(s) << s.message();
        return file;
    }
    int rowOf(HarViewer& v, const std::string& name) {
        for (int r = 0; r < v.headerListModel()->rowCount(); ++r)
            if (cell(v.headerListModel(), r, HarHeaderListModel::Name) == QString::fromStdString(name))
                return r;
        ADD_FAILURE() << name << " not listed";
        return -1;
    }
};

TEST_F(HarViewerTest, FontsAreAvailableForRealText) {
    EXPECT_FALSE(QFontDatabase::families().isEmpty());
}

TEST_F(HarViewerTest, EveryKindAndDimensionCountShownWithItsLabelsAndValues) {
    for (RecordFlavour fl : {RecordFlavour::Lahey, RecordFlavour::Fujitsu}) {
        SCOPED_TRACE(static_cast<int>(fl));
        HarViewer v;
        ASSERT_TRUE(v.openFile(QString::fromStdString(writeSample(fl))));
        EXPECT_EQ(v.message(), "");
        auto* list = v.headerListModel();
        // The special headers first, then the file's own, in file order.
        ASSERT_EQ(list->rowCount(), 3 + 8 + 2);
        EXPECT_EQ(cell(list, 0, HarHeaderListModel::Name), "XXCD");
        // The first ordinary header is shown on opening.
        EXPECT_EQ(v.currentHeader(), rowOf(v, "D0"));
        for (int nd = 0; nd <= 7; ++nd) {
            const std::string name = "D" + std::to_string(nd);
            SCOPED_TRACE(name);
            const int row = rowOf(v, name);
            EXPECT_EQ(cell(list, row, HarHeaderListModel::Type), "RE");
            EXPECT_EQ(cell(list, row, HarHeaderListModel::Coefficient), QString::fromStdString(name));
            EXPECT_EQ(cell(list, row, HarHeaderListModel::Description),
                      QString::fromStdString("values over " + std::to_string(nd) + " sets"));
            QString dims, shortDims;
            for (int k = 1; k <= nd; ++k) {
                dims += (k > 1 ? "*" : "") + QString("SET%1").arg(k);
                shortDims += (k > 1 ? "*" : "") + QString::number(sizes[nd][k - 1]);
            }
            EXPECT_EQ(cell(list, row, HarHeaderListModel::Dimensions),
                      nd == 0 ? QString("1") : dims + "  (" + shortDims + ")");

            ASSERT_TRUE(v.showHeader(row)) << v.message().toStdString();
            auto* m = v.sliceModel();
            const int rows = nd >= 1 ? static_cast<int>(sizes[nd][0]) : 1;
            const int cols = nd >= 2 ? static_cast<int>(sizes[nd][1]) : 1;
            ASSERT_EQ(m->rowCount(), rows);
            ASSERT_EQ(m->columnCount(), cols);
            if (nd >= 1) {
                EXPECT_EQ(rowLabel(m, rows - 1), QString("e1_%1").arg(rows));
            }
            if (nd >= 2) {
                EXPECT_EQ(colLabel(m, cols - 1), QString("e2_%1").arg(cols));
            }
            if (nd == 1) {
                EXPECT_EQ(colLabel(m, 0), QString::fromStdString(name));
            }
            // Every other dimension has an element chooser at its first element.
            for (int k = 3; k <= nd; ++k) {
                ASSERT_TRUE(v.elementChooser(k));
                EXPECT_EQ(v.elementChooser(k)->count(), sizes[nd][k - 1]);
                EXPECT_EQ(v.elementChooser(k)->currentText(), QString("e%1_1").arg(k));
            }
            for (int r = 0; r < rows; ++r)
                for (int c = 0; c < cols; ++c) {
                    Dims7 idx{1, 1, 1, 1, 1, 1, 1};
                    if (nd >= 1) idx[0] = r + 1;
                    if (nd >= 2) idx[1] = c + 1;
                    EXPECT_EQ(cell(m, r, c), realText(valueAt(idx))) << r << "," << c;
                }
        }
        // Strings and integers.
        ASSERT_TRUE(v.showHeader(rowOf(v, "TXT")));
        EXPECT_EQ(cell(list, rowOf(v, "TXT"), HarHeaderListModel::Dimensions), "2 length 11");
        EXPECT_EQ(cell(list, rowOf(v, "TXT"), HarHeaderListModel::Type), "1C");
        EXPECT_EQ(v.sliceModel()->rowCount(), 2);
        EXPECT_EQ(cell(v.sliceModel(), 1, 0), "beta, gamma");
        ASSERT_TRUE(v.showHeader(rowOf(v, "IMAT")));
        EXPECT_EQ(cell(list, rowOf(v, "IMAT"), HarHeaderListModel::Type), "2I");
        EXPECT_EQ(cell(list, rowOf(v, "IMAT"), HarHeaderListModel::Dimensions), "2*3");
        EXPECT_EQ(cell(v.sliceModel(), 1, 2), "23");
        EXPECT_EQ(cell(v.sliceModel(), 0, 1), "12");
        EXPECT_EQ(rowLabel(v.sliceModel(), 1), "2");
        EXPECT_EQ(colLabel(v.sliceModel(), 2), "3");
    }
}

TEST_F(HarViewerTest, SlicingAThreeDimensionalHeaderThroughTheChoosers) {
    HarViewer v;
    ASSERT_TRUE(v.openFile(QString::fromStdString(writeSample(RecordFlavour::Fujitsu))));
    ASSERT_TRUE(v.showHeader(rowOf(v, "D3")));  // 3 x 4 x 2
    // Dimension 3 down, dimension 1 across, dimension 2 at its third element.
    v.rowChooser()->setCurrentIndex(v.rowChooser()->findData(3));
    v.columnChooser()->setCurrentIndex(v.columnChooser()->findData(1));
    ASSERT_EQ(v.sliceChoice().rowDim, 3);
    ASSERT_EQ(v.sliceChoice().colDim, 1);
    ASSERT_TRUE(v.elementChooser(2));
    EXPECT_FALSE(v.elementChooser(1));
    EXPECT_FALSE(v.elementChooser(3));
    v.elementChooser(2)->setCurrentIndex(2);
    auto* m = v.sliceModel();
    ASSERT_EQ(m->rowCount(), 2);
    ASSERT_EQ(m->columnCount(), 3);
    EXPECT_EQ(rowLabel(m, 1), "e3_2");
    EXPECT_EQ(colLabel(m, 2), "e1_3");
    for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 3; ++c)
            EXPECT_EQ(cell(m, r, c), realText(valueAt({c + 1, 3, r + 1, 1, 1, 1, 1}))) << r << "," << c;
    // Choosing for the rows the dimension shown across swaps the two.
    v.rowChooser()->setCurrentIndex(v.rowChooser()->findData(1));
    EXPECT_EQ(v.sliceChoice().rowDim, 1);
    EXPECT_EQ(v.sliceChoice().colDim, 3);
    EXPECT_EQ(v.sliceChoice().fixed[1], 3);  // the element of dimension 2 is kept
    EXPECT_EQ(cell(m, 2, 1), realText(valueAt({3, 3, 2, 1, 1, 1, 1})));
}

TEST_F(HarViewerTest, CopiesTheShownSliceAsCsvAndTsv) {
    HarViewer v;
    ASSERT_TRUE(v.openFile(QString::fromStdString(writeSample(RecordFlavour::Lahey))));
    ASSERT_TRUE(v.showHeader(rowOf(v, "D3")));
    v.elementChooser(3)->setCurrentIndex(1);
    // SET1 down (3), SET2 across (4), SET3 at its second element.
    QString csv = "SET1,e2_1,e2_2,e2_3,e2_4\r\n";
    QString tsv = "SET1\te2_1\te2_2\te2_3\te2_4\r\n";
    for (int r = 1; r <= 3; ++r) {
        csv += QString("e1_%1").arg(r);
        tsv += QString("e1_%1").arg(r);
        for (int c = 1; c <= 4; ++c) {
            csv += "," + realText(valueAt({r, c, 2, 1, 1, 1, 1}));
            tsv += "\t" + realText(valueAt({r, c, 2, 1, 1, 1, 1}));
        }
        csv += "\r\n";
        tsv += "\r\n";
    }
    EXPECT_EQ(v.sliceText(','), csv);
    EXPECT_EQ(v.sliceText('\t'), tsv);
    v.copySlice(',');
    EXPECT_EQ(QApplication::clipboard()->text(), csv);
    // A label holding the separator is quoted.
    ASSERT_TRUE(v.showHeader(rowOf(v, "TXT")));
    EXPECT_EQ(v.sliceText(','), ",TXT\r\n1,alpha\r\n2,\"beta, gamma\"\r\n");
}

TEST_F(HarViewerTest, DamagedFilesShowTheReadersMessage) {
    const std::string good = writeSample(RecordFlavour::Fujitsu);
    const std::string bytes = readFile(good);
    {
        // Cut inside the data of the last header: the index stops there.
        writeFile(path("cut.har"), bytes.substr(0, bytes.size() - 10));
        HarViewer v;
        EXPECT_TRUE(v.openFile(QString::fromStdString(path("cut.har"))));
        EXPECT_TRUE(v.message().contains("Unexpected end-of-file [FileRead] [SkipHead] [ReadHarIndex]"))
            << v.message().toStdString();
        // The last header's data is cut: reading it gives the reader's message.
        EXPECT_FALSE(v.showHeader(rowOf(v, "IMAT")));
        EXPECT_TRUE(v.message().contains("[Get2IData]")) << v.message().toStdString();
        EXPECT_EQ(v.sliceModel()->rowCount(), 0);
        // Headers before it still show.
        EXPECT_TRUE(v.showHeader(rowOf(v, "D2")));
    }
    {
        // Not a header array file at all.
        writeFile(path("text.har"), "just some text\n");
        HarViewer v;
        EXPECT_FALSE(v.openFile(QString::fromStdString(path("text.har"))));
        EXPECT_TRUE(v.message().contains("[IsWhichLaheyFile] [OpenLaheyFile] [ReadHarIndex]"))
            << v.message().toStdString();
        EXPECT_EQ(v.headerListModel()->rowCount(), 0);
    }
    {
        HarViewer v;
        EXPECT_FALSE(v.openFile(QString::fromStdString(path("missing.har"))));
        EXPECT_EQ(v.message(), QString::fromStdString("No such file:" + path("missing.har") +
                                                      " [IsWhichLaheyFile] [OpenLaheyFile] [ReadHarIndex]"));
    }
}

}  // namespace
}  // namespace vdln::gui
