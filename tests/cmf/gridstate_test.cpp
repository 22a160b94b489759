// Cell states of the closure/shock grid: red for a file that does not exist,
// green for a file that exists but refers to one that does not.
#include "cmf/gridstate.h"

#include <gtest/gtest.h>

#include "base/fileutil.h"
#include "model/simgrid.h"
#include "support/tempdir.h"

namespace vdln {
namespace {

class GridStateTest : public testing::TempDirTest {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        rec = CreateSimRecord();
        InitSimRecord(rec, dir());
        rec.NumYears = 2;
        ComputeYears(rec);
    }
    void write(const std::string& name, const std::string& text) {
        ASSERT_TRUE(writeFileAtomic(path(name), text).isOk());
    }
    TSimRecord rec;
};

TEST_F(GridStateTest, CellStatesFromFilesAndTheirReferences) {
    write("GOOD.CLS", "exogenous x;\r\nrest endogenous;\r\n");
    write("usesdata.bsh", "shock x = file shk.har;\r\n");  // lower case on disk: found all the same
    write("SHK.HAR", "");
    write("DANGLE.PSH", "shock y = file absent.har;\r\n");
    write("XF.CLS", "xfile (old) work \"gone.har\";\r\nexogenous x;\r\n");
    struct Case {
        int row, col;
        std::string stem;
        GridCellState want;
    };
    const Case cases[] = {
        {1, kColBaseClosure, "GOOD", GridCellState::Exists},
        {1, kColBaseShocks, "USESDATA", GridCellState::Exists},
        {1, kColPolicyShocks, "DANGLE", GridCellState::ConstituentMissing},
        {1, kColPolicyClosure, "XF", GridCellState::ConstituentMissing},
        {2, kColBaseClosure, "NOSUCH", GridCellState::Missing},
        // The stem names a closure; the shocks column looks for ".BSH".
        {2, kColBaseShocks, "GOOD", GridCellState::Missing},
        {2, kColPolicyClosure, "?", GridCellState::Common},
        // An empty stem is no file at all, not a file called ".PSH".
        {2, kColPolicyShocks, "", GridCellState::NoFile},
        {kGridCMFStartRow, kColBaseShocks, "N/A", GridCellState::NotApplicable},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.row) + "/" + std::to_string(c.col) + " " + c.stem);
        rec.GridStem(c.row, c.col) = c.stem;
        EXPECT_EQ(gridCellState(rec, c.row, c.col), c.want);
    }
    write(".PSH", "");
    EXPECT_EQ(gridCellState(rec, 2, kColPolicyShocks), GridCellState::NoFile);
}

TEST_F(GridStateTest, CMFStartRowUsesItsOwnExtension) {
    write("START.TXT", "method = euler;\r\n");
    rec.GridStem(kGridCMFStartRow, kColBaseClosure) = "START";
    rec.CMFStartExt[kColBaseClosure] = ".TXT";
    EXPECT_EQ(gridCellState(rec, kGridCMFStartRow, kColBaseClosure), GridCellState::Exists);
    rec.CMFStartExt[kColBaseClosure] = ".CMF";
    EXPECT_EQ(gridCellState(rec, kGridCMFStartRow, kColBaseClosure), GridCellState::Missing);
}

TEST_F(GridStateTest, QueriesCoverEveryShownRowAndAgreeWithTheRecordsFileNames) {
    RefreshGrid(rec);
    const auto qs = gridCellQueries(rec);
    ASSERT_EQ(qs.size(), static_cast<size_t>((rec.NumYears + 2) * 4));
    EXPECT_EQ(qs.front().row, kGridCMFStartRow);
    EXPECT_EQ(qs.back().row, rec.NumYears);
    for (const auto& q : qs) {
        SCOPED_TRACE(std::to_string(q.row) + "/" + std::to_string(q.col));
        EXPECT_EQ(q.file, rec.GridFile(q.row, q.col).str());
        // Red exactly where the record's own existence flag is off.
        const GridCellState s = evaluateGridCell(q);
        EXPECT_EQ(s == GridCellState::Missing, !rec.GridOK(q.row, q.col));
    }
}

}  // namespace
}  // namespace vdln
