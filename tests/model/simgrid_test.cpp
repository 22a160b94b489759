#include "model/simgrid.h"

#include "base/dialogs.h"
#include "doubles/scripteddialogs.h"
#include "model/filenames.h"
#include "support/tempdir.h"

namespace vdln {
namespace {

class SimGrid : public testing::TempDirTest {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        rec = CreateSimRecord();
        InitSimRecord(rec, dir());
        rec.NumYears = 3;
        rec.StartYear = 2024;
        ComputeYears(rec);
    }
    TSimRecord rec;
    ScriptedDialogs dlg;
};

TEST_F(SimGrid, CellDisplayAndPresence) {
    testing::writeFile(path("base.cls"), "exogenous x ;\n");  // lower case on disk
    ASSERT_TRUE(SetCell(rec, 1, 1, "Base"));
    SetCommon(rec, 2, 1);
    SetNone(rec, 3, 1);
    ASSERT_TRUE(SetCell(rec, 1, 2, "missing"));
    struct Case {
        int row, col;
        const char* text;
        bool ok;
    } cases[] = {
        {1, 1, "BASE.CLS", true},      // found whatever its letter case
        {2, 1, "common", true},        // "?" counts as present
        {3, 1, "none", true},          // no file counts as present
        {1, 2, "MISSING.BSH", false},  // red
        {-1, 2, "N/A", true},          // the meaningless CMFSTART cell
        {-1, 1, "none", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.row) + "," + std::to_string(c.col));
        EXPECT_EQ(GridCellText(rec, c.row, c.col), c.text);
        EXPECT_EQ(rec.GridOK(c.row, c.col) != 0, c.ok);
    }
    EXPECT_EQ(rec.GridFile(1, 1), "BASE.CLS");
}

TEST_F(SimGrid, PresenceFollowsTheLookupOfUserNames) {
    testing::writeFile(path("one.bsh"), "x");
    testing::writeFile(path("two.bsh"), "x");
    testing::writeFile(path("Two.bsh"), "x");    // two spellings: neither is taken
    testing::writeFile(path("THREE.BSH"), "x");  // exact spelling
    testing::writeFile(path("dir.bsh/x"), "x");  // a folder, not a file
    rec.NumYears = 999;
    ComputeYears(rec);
    for (int i = 1; i <= 999; ++i) rec.GridStem(i, 2) = "nothere";
    rec.GridStem(1, 2) = "one";
    rec.GridStem(2, 2) = "two";
    rec.GridStem(3, 2) = "THREE";
    rec.GridStem(4, 2) = "dir";
    RefreshGrid(rec);
    EXPECT_TRUE(rec.GridOK(1, 2));
    EXPECT_FALSE(rec.GridOK(2, 2));
    EXPECT_TRUE(rec.GridOK(3, 2));
    EXPECT_FALSE(rec.GridOK(4, 2));
    EXPECT_FALSE(rec.GridOK(999, 2));
    for (int row : {1, 2, 3, 4})
        EXPECT_EQ(rec.GridOK(row, 2) != 0, userFileExists(dir(), rec.GridFile(row, 2))) << row;
}

TEST_F(SimGrid, RefreshOnlyTouchesRowsInUse) {
    rec.GridOK(4, 4) = 0;
    RefreshGrid(rec);
    EXPECT_FALSE(rec.GridOK(4, 4));  // row 4 is beyond NumYears
    rec.NumYears = 4;
    RefreshGrid(rec);
    EXPECT_TRUE(rec.GridOK(4, 4));   // an empty cell
    EXPECT_FALSE(rec.GridOK(4, 1));  // RUN01.CLS does not exist
}

TEST_F(SimGrid, Edits) {
    ASSERT_TRUE(SetCell(rec, 2, 3, "abcdefghijkl"));
    EXPECT_EQ(rec.GridStem(2, 3), "ABCDEFGHI");
    ASSERT_TRUE(SetCell(rec, -1, 2, "X"));
    EXPECT_EQ(rec.GridStem(-1, 2), "N/A");
    SetNone(rec, -1, 2);
    EXPECT_EQ(rec.GridStem(-1, 2), "N/A");

    FollowPattern(rec, 2, 1);
    EXPECT_EQ(rec.GridStem(2, 1), "BS1B2025");
    FollowPattern(rec, 3, 4);
    EXPECT_EQ(rec.GridStem(3, 4), "PL1P2026");
    FollowPattern(rec, 0, 1);  // not a year row
    EXPECT_EQ(rec.GridStem(0, 1), "");

    std::string before = rec.GridStem(1, 1);
    AsPrevious(rec, 1, 1);  // the first year row has no previous row
    EXPECT_EQ(rec.GridStem(1, 1), before);
    EXPECT_EQ(rec.GridStem(1, 1), "run98");

    // A block fills down from the row above it.
    ASSERT_TRUE(SetCell(rec, 1, 2, "first"));
    AsPrevious(rec, GridSelection{2, 2, 3, 2});
    EXPECT_EQ(rec.GridStem(2, 2), "FIRST");
    EXPECT_EQ(rec.GridStem(3, 2), "FIRST");

    FollowPattern(rec, GridSelection{1, 3, 3, 3});
    EXPECT_EQ(rec.GridStem(1, 3), "PL1P2024");
    EXPECT_EQ(rec.GridStem(3, 3), "PL1P2026");

    SetCommon(rec, 0, 1);  // no meaning outside the year rows
    EXPECT_EQ(rec.GridStem(0, 1), "");
    SetCommon(rec, 3, 1);
    EXPECT_EQ(GridCellText(rec, 3, 1), "common");
}

TEST_F(SimGrid, AChangedSimNameRenamesOnlyTheCellsThatFollowedItsPattern) {
    ASSERT_EQ(rec.SimNames[1].str(), "BS1");
    FollowPattern(rec, GridSelection{1, 1, 3, 2});  // BS1B2024 .. BS1B2026 in both Base columns
    ASSERT_TRUE(SetCell(rec, 2, 2, "B2025"));       // a file of the user's own
    SetCommon(rec, 3, 1);
    FollowPattern(rec, 1, 3);  // PL1P2024: another run's pattern
    EXPECT_EQ(ChangeSimName(rec, 1, "bs2", true), 4);
    EXPECT_EQ(rec.SimNames[1].str(), "BS2");
    const struct {
        int row, col;
        const char* stem;
    } want[] = {
        {1, 1, "BS2B2024"}, {2, 1, "BS2B2025"}, {3, 1, "?"},        {1, 2, "BS2B2024"},
        {2, 2, "B2025"},    {3, 2, "BS2B2026"}, {1, 3, "PL1P2024"},
    };
    for (const auto& w : want) {
        SCOPED_TRACE(std::to_string(w.row) + "," + std::to_string(w.col));
        EXPECT_EQ(rec.GridStem(w.row, w.col).str(), w.stem);
    }
    // Ignoring patterns changes the name only.
    EXPECT_EQ(ChangeSimName(rec, 1, "BS3", false), 0);
    EXPECT_EQ(rec.GridStem(1, 1).str(), "BS2B2024");
    // An empty name had no pattern: "B2025" is not taken for its file.
    EXPECT_EQ(ChangeSimName(rec, 1, "", true), 0);
    EXPECT_EQ(ChangeSimName(rec, 1, "NEW", true), 0);
    EXPECT_EQ(rec.GridStem(2, 2).str(), "B2025");
    // The rerun has no columns of its own; a run outside 1..3 is refused.
    EXPECT_EQ(ChangeSimName(rec, 2, "BR2", true), 0);
    EXPECT_EQ(rec.SimNames[2].str(), "BR2");
    EXPECT_EQ(ChangeSimName(rec, 4, "XXX", true), 0);
}

TEST_F(SimGrid, SelectOneRefusals) {
    struct Case {
        int row, col;
        std::string chosen;
        const char* message;
    } cases[] = {
        {1, 1, dir() + "/base.bsh", "Suffix must be .CLS"},
        {1, 4, dir() + "/p.psx", "Suffix must be .PSH"},
        {1, 1, "/elsewhere/base.cls", nullptr},
        {1, 1, dir() + "/sub/base.cls", nullptr},
        {1, 1, dir() + "/abcdefghij.cls", "Name cannot have more than 9 characters."},
        {-1, 1, dir() + "/start.abcd", "Suffix cannot have more than 4 characters."},
        {1, 1, dir() + "/ba\x01se.cls",
         "The file \"ba?se.cls\" cannot be used as part of a file name: it contains a control character."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.chosen);
        ScriptedDialogs d;
        std::string before = rec.GridStem(c.row, c.col);
        EXPECT_FALSE(SelectOne(rec, c.row, c.col, d, c.chosen));
        EXPECT_EQ(rec.GridStem(c.row, c.col), before);
        std::string want = c.message ? c.message : "File must be in directory " + dir();
        EXPECT_EQ(d.messages(), std::vector<std::string>{want});
    }
}

// Names typed into the Sim Overview and the grid become parts of paths in
// the Working Directory: a name that could leave it is refused where it is
// typed, with a message, and the record keeps what it had.
TEST_F(SimGrid, EditedNamesThatCouldLeaveTheWorkingDirectoryAreRefused) {
    const std::string tail = " cannot be used as part of a file name: it contains ";
    struct Case {
        std::string name;
        std::string reason;
    } cases[] = {
        {"../", "a folder separator."},
        {"a/b", "a folder separator."},
        {"a\\b", "a folder separator."},
        {"..", "\"..\"."},
        {"x..y", "\"..\"."},
        {std::string("a\tb"), "a control character."},
        {std::string("a\x7f"), "a control character."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string shown;
        for (unsigned char ch : c.name) shown += (ch < 32 || ch == 127) ? '?' : static_cast<char>(ch);

        const std::string oldName = rec.SimNames[2].str();
        Status s = SetSimName(rec, 2, c.name);
        ASSERT_FALSE(s);
        EXPECT_EQ(s.message(), "The simulation name of run 2 \"" + shown + "\"" + tail + c.reason);
        EXPECT_EQ(rec.SimNames[2].str(), oldName);

        const std::string oldStem = rec.GridStem(2, 3).str();
        s = SetCell(rec, 2, 3, c.name);
        ASSERT_FALSE(s);
        EXPECT_EQ(s.message(), "The Policy Closure file of row " + std::to_string(rec.Years[2]) + " \"" +
                                   shown + "\"" + tail + c.reason);
        EXPECT_EQ(rec.GridStem(2, 3).str(), oldStem);
    }
    // Plain names and the grid's markers are taken.
    ASSERT_TRUE(SetSimName(rec, 3, "po2"));
    EXPECT_EQ(rec.SimNames[3].str(), "PO2");
    EXPECT_EQ(RunStem(rec, 1, 3), std::string("PO2") + runLetter(3) + std::to_string(rec.Years[1]));
    for (const char* marker : {"?", "", "N/A"}) {
        ASSERT_TRUE(SetCell(rec, 1, 1, marker)) << marker;
        EXPECT_EQ(rec.GridStem(1, 1).str(), marker);
    }
    EXPECT_FALSE(SetSimName(rec, 4, "ABC"));
}

TEST_F(SimGrid, SelectOneStoresStemAndStartExtension) {
    ScriptedDialogs d;
    EXPECT_TRUE(SelectOne(rec, 2, 2, d, dir() + "/b2025.bsh"));
    EXPECT_EQ(rec.GridStem(2, 2), "B2025");
    EXPECT_TRUE(SelectOne(rec, 1, 1, d, dir() + "/ninechars.CLS"));
    EXPECT_EQ(rec.GridStem(1, 1), "NINECHARS");
    // The CMFSTART row takes any extension of up to 4 characters.
    testing::writeFile(path("mystart.txt"), "x");
    EXPECT_TRUE(SelectOne(rec, -1, 3, d, dir() + "/mystart.txt"));
    EXPECT_EQ(rec.GridStem(-1, 3), "MYSTART");
    EXPECT_EQ(rec.CMFStartExt[3], ".txt");
    EXPECT_EQ(rec.GridFile(-1, 3), "MYSTART.TXT");
    EXPECT_TRUE(rec.GridOK(-1, 3));
    EXPECT_EQ(CMFStartFile(rec, 2), path("mystart.txt"));
    EXPECT_TRUE(d.messages().empty());
    // The chooser is asked when no path is given; cancelling changes nothing.
    EXPECT_FALSE(SelectOne(rec, 1, 4, d));
    ASSERT_EQ(d.records().size(), 1u);
    EXPECT_EQ(d.records()[0].file.title, "Extra Shocks File");
    EXPECT_EQ(d.records()[0].file.initialDir, dir());
    d.queueText(dir() + "/p1.psh");
    EXPECT_TRUE(SelectOne(rec, 1, 4, d));
    EXPECT_EQ(rec.GridStem(1, 4), "P1");
}

TEST_F(SimGrid, PerYearQueries) {
    ASSERT_TRUE(SetCell(rec, 1, 1, "bclos"));
    SetCommon(rec, 2, 1);
    ASSERT_TRUE(SetCell(rec, 1, 3, "pclos"));
    SetNone(rec, 2, 3);
    ASSERT_TRUE(SetCell(rec, 1, 2, "b2024"));
    ASSERT_TRUE(SetCell(rec, 1, 4, "p2024"));
    SetCommon(rec, 2, 4);
    EXPECT_EQ(ClosureFileForYear(rec, 1, 1), "BCLOS.CLS");
    EXPECT_EQ(ClosureFileForYear(rec, 1, 2), "PCLOS.CLS");
    EXPECT_EQ(ClosureFileForYear(rec, 1, 3), "PCLOS.CLS");
    EXPECT_EQ(ClosureFileForYear(rec, 2, 1), "");  // "?"
    EXPECT_EQ(ClosureFileForYear(rec, 2, 3), "");  // none
    EXPECT_EQ(ShockFileForYear(rec, 1), "B2024.BSH");
    EXPECT_EQ(ExtraShockFileForYear(rec, 1), "P2024.PSH");
    EXPECT_EQ(ExtraShockFileForYear(rec, 2), "");

    // Common files are returned only when they exist.
    ASSERT_TRUE(SetCell(rec, 0, 1, "common"));
    ASSERT_TRUE(SetCell(rec, 0, 2, "comshk"));
    ASSERT_TRUE(SetCell(rec, 0, 3, "polcom"));
    ASSERT_TRUE(SetCell(rec, 0, 4, "polshk"));
    EXPECT_EQ(CommonClosureFile(rec, 1), "");
    testing::writeFile(path("COMMON.CLS"), "x");
    testing::writeFile(path("PolCom.cls"), "x");
    testing::writeFile(path("comshk.bsh"), "x");
    testing::writeFile(path("POLSHK.PSH"), "x");
    EXPECT_EQ(CommonClosureFile(rec, 1), "COMMON.CLS");
    EXPECT_EQ(CommonClosureFile(rec, 2), "POLCOM.CLS");
    EXPECT_EQ(CommonClosureFile(rec, 3), "POLCOM.CLS");
    EXPECT_EQ(CommonShockFile(rec, 1), "COMSHK.BSH");
    EXPECT_EQ(CommonShockFile(rec, 2), "");
    EXPECT_EQ(CommonShockFile(rec, 3), "POLSHK.PSH");
    EXPECT_EQ(UserFilePath(dir(), "POLCOM.CLS"), path("PolCom.cls"));

    // CMFSTART files: full paths, none for empty and N/A cells.
    EXPECT_EQ(CMFStartFile(rec, 1), "");
    rec.GridStem(-1, 1) = "BSTART";
    rec.CMFStartExt[1] = ".sta";
    EXPECT_EQ(CMFStartFile(rec, 1), dir() + "/BSTART.STA");
}

TEST_F(SimGrid, ScreenTexts) {
    EXPECT_EQ(GridTitle(0), "Part");
    EXPECT_EQ(GridTitle(4), "Policy Shocks");
    EXPECT_EQ(GridPatternText(rec, 1), "BS1BYYYY.CLS");
    EXPECT_EQ(GridPatternText(rec, 4), "PL1PYYYY.PSH");
    EXPECT_EQ(GridRowLabel(rec, gridDataRow(2)), "CMFStart");
    EXPECT_EQ(GridRowLabel(rec, gridDataRow(3)), "Common");
    EXPECT_EQ(GridRowLabel(rec, 2), "2025");
    rec.AltMethodYears[2] = 1;
    EXPECT_EQ(GridRowLabel(rec, 2), "2025");
    rec.AltMethodInUse = 1;
    EXPECT_EQ(GridRowLabel(rec, 2), "2025*");
}

}  // namespace
}  // namespace vdln
