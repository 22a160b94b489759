// The ".ds2" form of the simulation record.
#include <algorithm>
#include <cstdio>
#include <functional>

#include "base/fileutil.h"
#include "base/strutil.h"
#include "base/textfile.h"
#include "model/filenames.h"
#include "model/simdetails.h"
#include "model/simgrid.h"
#include "support/tempdir.h"

namespace vdln {
namespace {

class SimRecordFile : public testing::TempDirTest {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        rec = CreateSimRecord();
        InitSimRecord(rec, dir());
    }

    // Sets `n` years with 8-character stems in every year cell.
    void setYears(int n, int start = 2000) {
        rec.NumYears = n;
        rec.StartYear = start;
        ComputeYears(rec);
        for (int i = 1; i <= n; ++i)
            for (int c = 1; c <= 4; ++c)
                rec.GridStem(i, c) = "S" + std::to_string(c) + "Y" + std::to_string(10000 + i);
        for (int c = 1; c <= 4; ++c) rec.GridStem(0, c) = "";
        for (int c : {1, 3, 4}) rec.GridStem(-1, c) = "";
    }

    std::vector<std::string> lines() {
        Result<std::vector<std::string>> l = SimRecordLines(rec);
        EXPECT_TRUE(l.isOk()) << l.message();
        return l ? *l : std::vector<std::string>{};
    }
    // The first compatibility line (the line after the file table).
    std::string firstGridLine(const std::vector<std::string>& l) {
        size_t at = 1 + 3 + 1 + 4 * static_cast<size_t>(rec.NumModelFiles) + 1 +
                    11 * static_cast<size_t>(rec.NumFiles);
        return at < l.size() ? l[at] : "";
    }
    // Writes, reads into a fresh record, writes again; both files must be equal.
    TSimRecord roundTrip() {
        std::string a = path("a.ds2"), b = path("b.ds2");
        EXPECT_TRUE(WriteSimRecordFile(rec, a).isOk());
        TSimRecord fresh = CreateSimRecord();
        fresh.WorkDir = dir();
        fresh.PeriodLength = rec.PeriodLength;
        Status s = ReadSimRecordFile(fresh, a, false);
        EXPECT_TRUE(s.isOk()) << s.message();
        EXPECT_TRUE(WriteSimRecordFile(fresh, b).isOk());
        EXPECT_EQ(testing::readFile(a), testing::readFile(b));
        return fresh;
    }

    TSimRecord rec;
};

TEST_F(SimRecordFile, RoundTripKeepsEveryField) {
    rec.SimNames[2] = "";
    rec.Perform[2] = 1;
    rec.Files[3].Description = "some description";
    rec.ModelFiles[2].Description = "params";
    ASSERT_TRUE(SetCell(rec, 0, 3, "polcom"));
    SetCommon(rec, 2, 1);
    SetNone(rec, 3, 2);
    rec.GridStem(-1, 1) = "BSTART";
    rec.CMFStartExt[1] = ".STA";
    rec.GridStem(-1, 3) = "ABCDEFGHI";
    rec.CMFStartExt[3] = ".CMF";
    rec.GridStem(-1, 4) = "CMFSTARTP";
    TSimRecord back = roundTrip();
    EXPECT_EQ(back.NumYears, 4);
    EXPECT_EQ(back.StartYear, 1998);
    EXPECT_EQ(back.SimNames[1], "BS1");
    EXPECT_EQ(back.SimNames[2], "");
    EXPECT_EQ(back.NumModelFiles, 14);
    EXPECT_EQ(back.ModelFiles[14], rec.ModelFiles[14]);
    EXPECT_EQ(back.ModelFiles[2], rec.ModelFiles[2]);
    EXPECT_EQ(back.NumFiles, 11);
    for (int k = 1; k <= 11; ++k) EXPECT_EQ(back.Files[k], rec.Files[k]) << k;
    for (int row = 0; row <= 4; ++row)
        for (int c = 1; c <= 4; ++c)
            EXPECT_EQ(back.GridStem(row, c), rec.GridStem(row, c)) << row << "," << c;
    // Start files with extensions split back into the same stem and extension.
    EXPECT_EQ(back.GridStem(-1, 1), "BSTART");
    EXPECT_EQ(back.CMFStartExt[1], ".STA");
    EXPECT_EQ(back.GridStem(-1, 3), "ABCDEFGHI");
    EXPECT_EQ(back.CMFStartExt[3], ".CMF");
    EXPECT_EQ(back.GridStem(-1, 4), "CMFSTARTP");
    EXPECT_EQ(back.CMFStartExt[4], "");
    EXPECT_EQ(back.GridStem(-1, 2), "N/A");
    EXPECT_EQ(back.GridFile(-1, 1), "BSTART.STA");
    EXPECT_EQ(back.GridFile(2, 3), "DEVMCA.CLS");
    EXPECT_FALSE(back.Perform[1]);
    EXPECT_TRUE(back.Perform[2]);
    EXPECT_EQ(back.Years[4], 2001);
}

TEST_F(SimRecordFile, CompactOrNoticeForm) {
    struct Case {
        const char* what;
        int years;
        std::function<void(TSimRecord&)> change;
        bool compact;
    };
    std::vector<Case> cases = {
        {"98 years, 8-character stems", 98, [](TSimRecord&) {}, true},
        {"99 years", 99, [](TSimRecord&) {}, false},
        {"one 9-character stem", 98, [](TSimRecord& r) { r.GridStem(50, 2) = "NINECHARS"; }, false},
        {"common row used", 5, [](TSimRecord& r) { r.GridStem(0, 4) = "X"; }, false},
        {"default start file", 5, [](TSimRecord& r) { r.GridStem(-1, 3) = "CMFSTARTR"; }, true},
        {"plain start file, default missing", 5, [](TSimRecord& r) { r.GridStem(-1, 4) = "CMFSTART"; }, true},
        {"start file with extension", 5,
         [](TSimRecord& r) {
             r.GridStem(-1, 1) = "CMFSTARTB";
             r.CMFStartExt[1] = ".X";
         },
         false},
        {"other start file", 5, [](TSimRecord& r) { r.GridStem(-1, 1) = "MYSTART"; }, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        setYears(c.years);
        c.change(rec);
        std::vector<std::string> l = lines();
        std::string first = firstGridLine(l);
        ASSERT_EQ(first.size(), 36u);
        EXPECT_EQ(first[8], '!');
        EXPECT_EQ(first[17], '!');
        EXPECT_EQ(first[26], '|');
        if (c.compact) {
            EXPECT_EQ(first, "S1Y10001!S2Y10001!S3Y10001|S4Y10001|");
        } else {
            EXPECT_EQ(first, "This____!sim_____!requires|newer___|");
        }
        TSimRecord back = roundTrip();
        for (int i = 0; i <= c.years; ++i)
            for (int col = 1; col <= 4; ++col) ASSERT_EQ(back.GridStem(i, col), rec.GridStem(i, col));
    }
}

TEST_F(SimRecordFile, CompactLineLayoutAndNoticeLines) {
    setYears(2);
    rec.GridStem(1, 1) = "A";
    rec.GridStem(1, 2) = "B";
    rec.GridStem(1, 3) = "C";
    rec.GridStem(1, 4) = "D";
    std::vector<std::string> l = lines();
    EXPECT_EQ(firstGridLine(l), "       A!       B!       C|       D|");

    // A start file present in the working directory makes an empty cell
    // unrepresentable by the compact lines.
    testing::writeFile(path("CMFSTART"), "");
    l = lines();
    size_t at = 1 + 3 + 1 + 4 * 14 + 1 + 11 * 11;
    EXPECT_EQ(l[at], "This____!Requires!Newer___|Software|");
    EXPECT_EQ(l[at + 1], "Contact_|SOLVANE_|Contact_|SOLVANE_|");
    EXPECT_EQ(l[at + 2], "#FILES");
    rec.NumYears = 1;
    l = lines();
    EXPECT_EQ(l[at], "Update__!Software!Contact_|SOLVANE_|");
    EXPECT_EQ(l[at + 1], "#FILES");
    roundTrip();
}

TEST_F(SimRecordFile, NoRerunMarksRerunStartCell) {
    rec.GridStem(-1, 3) = "RSTART";
    ASSERT_TRUE(WriteSimRecordFile(rec, path("a.ds2")).isOk());
    TSimRecord back = CreateSimRecord();
    ASSERT_TRUE(ReadSimRecordFile(back, path("a.ds2"), true).isOk());
    EXPECT_EQ(back.GridStem(-1, 3), "N/A");
    EXPECT_EQ(back.GridFile(-1, 3), "N/A");
    ASSERT_TRUE(ReadSimRecordFile(back, path("a.ds2"), false).isOk());
    EXPECT_EQ(back.GridStem(-1, 3), "RSTART");
}

// "N/A" in a start-file cell names no file.  A cell set to it keeps the
// extension of the file it named before, and a damaged file can put one
// after it: neither may turn the marker into a name with a separator that
// the reader then refuses (found by fuzzing the reader).
TEST_F(SimRecordFile, TheNotApplicableMarkerOfAStartFileKeepsNoExtension) {
    rec.GridStem(-1, 1) = "BSTART";
    rec.CMFStartExt[1] = ".CMF";
    ASSERT_TRUE(SetCell(rec, -1, 1, "N/A").isOk());
    TSimRecord back = roundTrip();
    EXPECT_EQ(back.GridStem(-1, 1), "N/A");
    EXPECT_EQ(back.CMFStartExt[1], "");
    EXPECT_EQ(GridCellText(back, -1, 1), "N/A");

    // Written with a narrow stem column, the marker and an extension.
    std::vector<std::string> l = lines();
    auto files = std::find(l.begin(), l.end(), "#FILES");
    ASSERT_NE(files, l.end());
    *(files + 1) = "3";
    *(files + 2) = "4";
    *(files + 5) = "N/ASUMM";  // the Policy closure's start file
    std::string text;
    for (const std::string& line : l) text += line + "\r\n";
    TSimRecord read = CreateSimRecord();
    read.WorkDir = dir();
    ASSERT_TRUE(ReadSimRecordText(read, text, false, "narrow.ds2").isOk());
    EXPECT_EQ(read.GridStem(-1, 3), "N/A");
    Result<std::vector<std::string>> again = SimRecordLines(read);
    ASSERT_TRUE(again.isOk()) << again.message();
    text.clear();
    for (const std::string& line : *again) text += line + "\r\n";
    TSimRecord reread = CreateSimRecord();
    reread.WorkDir = dir();
    Status s = ReadSimRecordText(reread, text, false, "again.ds2");
    EXPECT_TRUE(s.isOk()) << s.message();
    EXPECT_EQ(reread.GridStem(-1, 3), "N/A");
}

TEST_F(SimRecordFile, OldStyleFileTakesStartFilesFromWorkDir) {
    // Header lines of a two-year record, then old-style grid lines.
    setYears(2);
    std::vector<std::string> l = lines();
    size_t at = 1 + 3 + 1 + 4 * 14 + 1 + 11 * 11;
    l.resize(at);
    l.push_back("   base1|  shk 1 |POLCLOSE|   psh1 |");
    l.push_back("   base2|   shk2 |POLCLOSE|        |");
    l.push_back("TFT");
    testing::writeFile(path("old.ds2"), joinLinesCrLf(l));
    testing::writeFile(path("CMFSTARTB"), "");
    testing::writeFile(path("CMFSTART"), "");

    TSimRecord back = CreateSimRecord();
    back.WorkDir = dir();
    back.PeriodLength.fill(1);
    back.GridStem(0, 1) = "OLD";
    Status s = ReadSimRecordFile(back, path("old.ds2"), false);
    ASSERT_TRUE(s.isOk()) << s.message();
    EXPECT_EQ(back.GridStem(1, 1), "BASE1");
    EXPECT_EQ(back.GridStem(1, 2), "SHK1");
    EXPECT_EQ(back.GridStem(2, 3), "POLCLOSE");
    EXPECT_EQ(back.GridStem(2, 4), "");
    EXPECT_EQ(back.GridFile(1, 2), "SHK1.BSH");
    EXPECT_EQ(back.GridStem(0, 1), "");  // Common row cleared
    EXPECT_EQ(back.GridStem(-1, 1), "CMFSTARTB");
    EXPECT_EQ(back.GridStem(-1, 3), "CMFSTART");
    EXPECT_EQ(back.GridStem(-1, 4), "CMFSTART");
    EXPECT_TRUE(back.Perform[1]);
    EXPECT_FALSE(back.Perform[2]);
    EXPECT_TRUE(back.Perform[3]);

    // The same file without start files in the folder.
    std::remove(path("CMFSTARTB").c_str());
    std::remove(path("CMFSTART").c_str());
    ASSERT_TRUE(ReadSimRecordFile(back, path("old.ds2"), false).isOk());
    EXPECT_EQ(back.GridStem(-1, 1), "");
    EXPECT_EQ(back.GridStem(-1, 4), "");
}

TEST_F(SimRecordFile, FilesBlockWithoutCompatibilityLinesAndPaddedStartFiles) {
    setYears(2);
    std::vector<std::string> l = lines();
    size_t at = 1 + 3 + 1 + 4 * 14 + 1 + 11 * 11;
    l.erase(l.begin() + static_cast<long>(at),
            l.begin() + static_cast<long>(at) + 2);  // no compatibility lines
    ASSERT_EQ(l[at], "#FILES");
    l[at + 3] = "BST      .STA";  // a start file written at fixed widths
    l[at + 5] = "ABCDEFGH.ST";    // ... and one written without padding
    l[at + 6] = "CMFSTARTP";
    testing::writeFile(path("x.ds2"), joinLinesCrLf(l));
    TSimRecord back = CreateSimRecord();
    ASSERT_TRUE(ReadSimRecordFile(back, path("x.ds2"), false).isOk());
    EXPECT_EQ(back.GridStem(-1, 1), "BST");
    EXPECT_EQ(back.CMFStartExt[1], ".STA");
    EXPECT_EQ(back.GridStem(-1, 3), "ABCDEFGH");
    EXPECT_EQ(back.CMFStartExt[3], ".ST");
    EXPECT_EQ(back.GridStem(-1, 4), "CMFSTARTP");
    EXPECT_EQ(back.CMFStartExt[4], "");
    EXPECT_EQ(back.GridStem(2, 4), rec.GridStem(2, 4));
}

TEST_F(SimRecordFile, Refusals) {
    setYears(3);
    std::vector<std::string> good = lines();
    size_t at = 1 + 3 + 1 + 4 * 14 + 1 + 11 * 11;
    struct Case {
        const char* what;
        std::function<void(std::vector<std::string>&)> change;
        std::string message;
    };
    std::string longLine(80, 'x');
    std::vector<Case> cases = {
        {"garbage first grid line", [&](auto& l) { l[at] = longLine; },
         "Unexpected FirstLine: " + std::string(58, 'x') + " [ReadSimRecordFile]"},
        {"no #FILES after notice lines", [&](auto& l) { l[at + 3] = longLine; },
         "Unexpected FirstLine for NewNewStyle : " + std::string(75, 'x') + " [ReadSimRecordFile]"},
        {"51 model files", [&](auto& l) { l[4] = "51"; },
         internalErrorText(
             "Sorry, there are too many files in this model. This model has 51 files\r\nbut the "
             "maximum this program can handle is 50.") +
             " [ReadSimRecordFile]"},
        {"years not numbers", [&](auto& l) { l[0] = "three 2000"; }, ""},
        {"1000 years", [&](auto& l) { l[0] = "1000 2000"; }, ""},
        {"usage not a number", [&](auto& l) { l[5 + 4 * 14 + 1 + 5] = "x"; }, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::string> l = good;
        c.change(l);
        testing::writeFile(path("bad.ds2"), joinLinesCrLf(l));
        TSimRecord back = CreateSimRecord();
        back.WorkDir = dir();
        Status s = ReadSimRecordFile(back, path("bad.ds2"), false);
        ASSERT_FALSE(s.isOk());
        if (!c.message.empty()) {
            EXPECT_EQ(s.message(), c.message);
        }
        EXPECT_TRUE(iendsWith(s.message(), " [ReadSimRecordFile]"));
    }
    // A record with 51 model files is not written.
    rec.NumModelFiles = 51;
    Status w = WriteSimRecordFile(rec, path("w.ds2"));
    ASSERT_FALSE(w.isOk());
    EXPECT_NE(w.message().find("This model has 51 files"), std::string::npos);
    EXPECT_FALSE(fileExists(path("w.ds2")));
}

TEST_F(SimRecordFile, TruncatedOrDamagedFilesNeverCrash) {
    setYears(3);
    std::string text = joinLinesCrLf(lines());
    // Every prefix of a good file reads without crashing; all but the
    // complete file (and the one missing only its flags line) fail.
    std::vector<std::string> l = splitLines(text);
    for (size_t n = 0; n < l.size() - 1; ++n) {
        std::vector<std::string> part(l.begin(), l.begin() + static_cast<long>(n));
        TSimRecord back = CreateSimRecord();
        back.WorkDir = dir();
        Status s = ReadSimRecordText(back, joinLinesCrLf(part), false, "t");
        EXPECT_FALSE(s.isOk()) << n;
    }
    // Arbitrary bytes.
    std::string junk;
    for (int i = 0; i < 4000; ++i) junk += static_cast<char>((i * 7919) % 256);
    TSimRecord back = CreateSimRecord();
    EXPECT_FALSE(ReadSimRecordText(back, junk, false, "junk").isOk());
    EXPECT_FALSE(ReadSimRecordFile(back, path("missing.ds2"), false).isOk());
}

TEST_F(SimRecordFile, FailedWriteIsReported) {
    Status s = WriteSimRecordFile(rec, path("no/such/folder/x.ds2"));
    ASSERT_FALSE(s.isOk());
    EXPECT_TRUE(iendsWith(s.message(), " [WriteSimRecordFile]"));
}

}  // namespace
}  // namespace vdln

namespace vdln {
namespace {

// Damaged files: every line of a good file replaced in turn by hostile
// values.  A read may fail but must never throw, crash or leave the record
// outside its limits.
// A user file's key and type make the names of the data files each year
// writes in the Working Directory: names that could leave it are refused
// when the details are read, naming the file.
TEST_F(SimRecordFile, UserFileKeysAndTypesThatCouldLeaveTheFolderAreRefused) {
    setYears(3);
    struct Case {
        std::string key, type, message;
    } cases[] = {
        {"../", "HAR",
         "The key of user file 1 \"../\" cannot be used as part of a file name: it contains a folder "
         "separator."},
        {"BAS", "a/b",
         "The type of user file 1 \"a/b\" cannot be used as part of a file name: it contains a folder "
         "separator."},
        {"..", "HAR",
         "The key of user file 1 \"..\" cannot be used as part of a file name: it contains \"..\"."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key + " " + c.type);
        rec.NumFiles = 1;
        rec.Files[1].Name = "BASEDATA";
        rec.Files[1].Key = c.key;
        rec.Files[1].FileType = c.type;
        TSimRecord back = CreateSimRecord();
        back.WorkDir = dir();
        Status s = ReadSimRecordText(back, joinLinesCrLf(lines()), false, "app.ds2");
        ASSERT_FALSE(s);
        EXPECT_EQ(s.message().rfind(c.message + "\r\nFile: app.ds2", 0), 0u) << s.message();
    }
    // "N/A", the key of a file that needs one, is no name.
    rec.Files[1].Key = "N/A";
    rec.Files[1].FileType = "HAR";
    TSimRecord back = CreateSimRecord();
    back.WorkDir = dir();
    EXPECT_TRUE(ReadSimRecordText(back, joinLinesCrLf(lines()), false, "app.ds2"));
}

TEST_F(SimRecordFile, HostileLinesAreRefusedOrContained) {
    setYears(3);
    rec.GridStem(-1, 1) = "BSTART";
    rec.CMFStartExt[1] = ".STA";
    std::vector<std::string> good = lines();
    const std::vector<std::string> hostile = {"",
                                              " ",
                                              "-1",
                                              "51",
                                              "999",
                                              "1000",
                                              "2147483648",
                                              "-2147483649",
                                              "999 2000",
                                              "1000 2000",
                                              "-5 2000",
                                              "TTTTTTTTTTTTTTTTTT",
                                              "#FILES",
                                              "this_is_a_very_long_line_" + std::string(300, 'x'),
                                              "........|",
                                              "       A!       B!       C|       D|",
                                              "   base1|  shk 1 |POLCLOSE|   psh1 |",
                                              "\xff\xfe\x00zz"};
    for (size_t n = 0; n < good.size(); ++n) {
        for (const std::string& h : hostile) {
            std::vector<std::string> l = good;
            l[n] = h;
            TSimRecord back = CreateSimRecord();
            back.WorkDir = dir();
            back.PeriodLength.fill(1);
            Status s;
            ASSERT_NO_THROW(s = ReadSimRecordText(back, joinLinesCrLf(l), n % 2 == 0, "x")) << n << ":" << h;
            ASSERT_GE(back.NumYears, 0);
            ASSERT_LE(back.NumYears, kMaxYears);
            ASSERT_LE(back.NumModelFiles, kMaxModelFiles);
            ASSERT_LE(back.NumFiles, kMaxUserFiles);
            // Whatever was read can be written again and used for names.
            if (s.isOk()) {
                ASSERT_NO_THROW((void)SimRecordLines(back));
                ASSERT_NO_THROW((void)ValidateFileTable(back));
                for (int f = 1; f <= back.NumFiles; ++f)
                    for (int run = 1; run <= 3; ++run)
                        ASSERT_NO_THROW((void)ResolveLogicalFile(back, 2, run, 1, false, f, {}));
            }
        }
    }
}

}  // namespace
}  // namespace vdln
