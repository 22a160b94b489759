#include "model/simrecord.h"

#include <gtest/gtest.h>

#include "base/dialogs.h"
#include "doubles/scripteddialogs.h"

namespace vdln {
namespace {

TEST(SimRecord, CreateGivesEmptyRecordWithNamingDefaults) {
    TSimRecord rec = CreateSimRecord();
    EXPECT_EQ(rec.NumYears, 0);
    EXPECT_EQ(rec.NumFiles, 0);
    EXPECT_TRUE(rec.FileNaming.LongNames);
    EXPECT_EQ(rec.FileNaming.Separator, "-");
    EXPECT_TRUE(rec.FileNaming.AppendRunLetter);
    EXPECT_TRUE(rec.FileNaming.AppendNextYear);
    EXPECT_TRUE(rec.AltMethodInUse);
    EXPECT_TRUE(rec.AltMethodYears[6]);
    EXPECT_FALSE(rec.AltMethodYears[5]);
    EXPECT_TRUE(rec.ModelFiles[50].Name.empty());
}

TEST(SimRecord, WidthsAndIndexRangesHold) {
    TSimRecord rec = CreateSimRecord();
    rec.SimNames[1] = "ABCDEF";
    EXPECT_EQ(rec.SimNames[1], "ABC");
    rec.GridStem(-1, 1) = "0123456789AB";
    EXPECT_EQ(rec.GridStem(-1, 1), "012345678");
    rec.GridStem(999, 4) = "x";
    EXPECT_EQ(rec.GridStem(999, 4), "x");
    EXPECT_THROW(rec.GridStem(-2, 1), std::out_of_range);
    EXPECT_THROW(rec.GridStem(1, 5), std::out_of_range);
    EXPECT_THROW(rec.Years[1000], std::out_of_range);
    EXPECT_THROW(rec.Files[0], std::out_of_range);
    EXPECT_NO_THROW(rec.Years[-1]);
}

TEST(SimRecord, InitBuildsSampleApplication) {
    TSimRecord rec = CreateSimRecord();
    InitSimRecord(rec, "/w");
    EXPECT_EQ(rec.NumYears, 4);
    EXPECT_EQ(rec.StartYear, 1998);
    EXPECT_EQ(rec.NumModelFiles, 14);
    ASSERT_EQ(rec.NumFiles, 11);
    EXPECT_FALSE(rec.AltMethodInUse);
    EXPECT_FALSE(rec.AltMethodYears[6]);
    // Special descriptors get their extensions and no user-file entry.
    EXPECT_EQ(rec.ModelFiles[12].Ext, "dis");
    EXPECT_EQ(rec.ModelFiles[13].Ext, "sl4");
    EXPECT_EQ(rec.ModelFiles[14].Ext, "eq4");
    EXPECT_TRUE(rec.ModelFiles[14].IsSpecial);
    EXPECT_EQ(rec.Files[11].Name, "WRITFILE");
    EXPECT_EQ(rec.Files[11].FileType, "TXT");
    EXPECT_EQ(rec.Files[11].Usage, kUsageOutput);
    EXPECT_EQ(rec.Files[1].Key, "FID");
    EXPECT_EQ(rec.Files[1].Usage, kUsageUpdatedInput);
    EXPECT_EQ(rec.Files[2].Key, "PAR");
    EXPECT_EQ(rec.Files[2].Usage, kUsageConstantInput);
    EXPECT_EQ(rec.Files[5].Key, "REX");
    EXPECT_EQ(rec.Files[10].Key, "RGD");
    EXPECT_EQ(rec.Files[7].LagFile, 4);
    EXPECT_EQ(rec.Files[8].LagFile, 4);
    EXPECT_EQ(rec.Files[6].InputUsage[0], 4);
    EXPECT_EQ(rec.Files[6].InputUsage[3], 2);
    EXPECT_EQ(rec.Files[7].InputUsage[3], 3);
    EXPECT_EQ(rec.Files[9].InputUsage[0], 9);
    // The sample table is itself valid.
    EXPECT_TRUE(ValidateFileTable(rec).isOk()) << ValidateFileTable(rec).message();
    // Grid defaults.
    EXPECT_EQ(rec.GridStem(-1, 2), "N/A");
    EXPECT_EQ(rec.GridStem(1, 1), "run98");
    EXPECT_EQ(rec.GridStem(4, 2), "run01");
    EXPECT_EQ(rec.GridStem(4, 3), "devmca");
    EXPECT_EQ(rec.GridStem(2, 4), "mvehtar");
    EXPECT_EQ(rec.GridStem(3, 4), "");
    EXPECT_EQ(rec.GridStem(5, 1), "?");
    EXPECT_EQ(rec.GridStem(5, 4), "");
    EXPECT_EQ(rec.Years[4], 2001);
    EXPECT_EQ(rec.GridFile(1, 1), "RUN98.CLS");
}

TEST(SimRecord, ComputeYearsFollowsPeriodLengths) {
    TSimRecord rec = CreateSimRecord();
    InitSimRecord(rec, "/w");
    rec.StartYear = 2000;
    rec.PeriodLength[1] = 1;
    rec.PeriodLength[2] = 2;
    rec.PeriodLength[3] = 1;
    ComputeYears(rec);
    EXPECT_EQ(rec.Years[-1], 1998);
    EXPECT_EQ(rec.Years[0], 1999);
    EXPECT_EQ(rec.Years[1], 2000);
    EXPECT_EQ(rec.Years[2], 2002);
    EXPECT_EQ(rec.Years[3], 2003);
    EXPECT_EQ(rec.Years[4], 2004);
    EXPECT_EQ(rec.Years[999], 2000 + 999);
    EXPECT_EQ(yearAfter(rec, 3), 2004);
    EXPECT_EQ(yearAfter(rec, 999), 2000 + 1000);

    rec.PeriodLength[1] = 5;  // a first period of 5 years ends 4 years after StartYear
    ComputeYears(rec);
    EXPECT_EQ(rec.Years[1], 2004);
}

TEST(SimRecord, LastYearCheck) {
    struct Case {
        int start, num, firstPeriod;
        bool ok;
        int numAfter;
    } cases[] = {
        {9996, 4, 1, true, 4},   // last year 9999
        {9996, 5, 1, false, 5},  // 10000
        {9990, 0, 1, true, 1},   // corrected to one year
        {9990, 5, 7, false, 5},  // period lengths push the last year to 10000
        {2000, 1500, 1, true, 999},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.start) + "+" + std::to_string(c.num));
        TSimRecord rec = CreateSimRecord();
        InitSimRecord(rec, "/w");
        rec.StartYear = c.start;
        rec.NumYears = c.num;
        rec.PeriodLength[1] = c.firstPeriod;
        ScriptedDialogs dlg;
        EXPECT_EQ(CheckLastYear(rec, dlg), c.ok);
        EXPECT_EQ(rec.NumYears, c.numAfter);
        if (c.ok) {
            EXPECT_TRUE(dlg.messages().empty());
        } else {
            EXPECT_EQ(
                dlg.lastMessage(),
                "Please adjust Starting Year and/or Number of Years on Sim Overview page so that ending year "
                "is at most 9999.");
        }
    }
}

TSimFileEntry entry(const char* name, const char* key, bool input, bool updated, int usage, int lag, int n) {
    TSimFileEntry e;
    e.Name = name;
    e.Key = key;
    e.FileType = "HAR";
    e.IsInput = input;
    e.IsUpdated = updated;
    e.Usage = usage;
    e.LagFile = lag;
    e.InputUsage[0] = n;
    e.InputUsage[1] = 1;
    e.InputUsage[2] = 2;
    e.InputUsage[3] = 3;
    return e;
}

TEST(SimRecord, ValidateFileTableReportsFirstFault) {
    struct Case {
        const char* what;
        TSimFileEntry bad;  // placed as entry 2
        const char* message;
    };
    auto withIU = [](TSimFileEntry e, int i0, int i1, int i2, int i3) {
        e.InputUsage[0] = i0;
        e.InputUsage[1] = i1;
        e.InputUsage[2] = i2;
        e.InputUsage[3] = i3;
        return e;
    };
    Case cases[] = {
        {"updated output", entry("OUT", "OUT", false, true, 0, 0, 2),
         "File OUT: output file cannot be updated"},
        {"lagged output", entry("OUT", "OUT", false, false, 2, 1, 2),
         "File OUT: output file cannot be a lagged input"},
        {"input as output", entry("INP", "INP", true, false, 0, 0, 2),
         "File INP: input file cannot be OutPutOnly"},
        {"updated not role 1", entry("UPD", "UPD", true, true, 3, 0, 2),
         "File UPD: role must be updated input"},
        {"role 1 not updated", entry("CON", "CON", true, false, 1, 0, 2),
         "File CON: role cannot be updated input"},
        {"lag of nothing", entry("LAG", "N/A", true, false, 2, 0, 2),
         "File LAG: lagged input must be lag of some file"},
        {"lag of itself", entry("LAG", "N/A", true, false, 2, 2, 2),
         "File LAG: lagged input cannot be lag of itself"},
        {"output N/A key", entry("OUT", "N/A", false, false, 0, 0, 2), "File OUT: needs a proper key"},
        {"short key", entry("OUT", "AB", false, false, 0, 0, 2), "File OUT: needs key at least 3 chars long"},
        {"bad key char", entry("OUT", "A-B", false, false, 0, 0, 2),
         "File OUT: key contains illegal characters"},
        {"IU0 vs lag", withIU(entry("CON", "CON", true, false, 3, 1, 2), 3, 1, 2, 3),
         "File CON: InputUsage[0]/LagFile data inconsistent"},
        {"IU1", withIU(entry("CON", "CON", true, false, 3, 0, 2), 2, 2, 2, 3),
         "File CON: InputUsage[1,2] not as expected"},
        {"IU2", withIU(entry("CON", "CON", true, false, 3, 0, 2), 2, 1, 3, 3),
         "File CON: InputUsage[1,2] not as expected"},
        {"IU3", withIU(entry("CON", "CON", true, false, 3, 0, 2), 2, 1, 2, 1),
         "File CON: InputUsage[3] not as expected"},
        {"same key", entry("DATA2", "bas", true, false, 3, 0, 2),
         "Files BASEDATA and DATA2 have the same key"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TSimRecord rec = CreateSimRecord();
        rec.NumFiles = 3;
        rec.Files[1] = entry("BASEDATA", "BAS", true, true, 1, 0, 1);
        rec.Files[2] = c.bad;
        // A later faulty entry must not mask the first fault (keys are only
        // compared once every entry passes, so that case has two entries).
        rec.Files[3] = entry("LATER", "x", false, true, 0, 0, 3);
        if (std::string(c.message).rfind("Files ", 0) == 0) rec.NumFiles = 2;
        Status s = ValidateFileTable(rec);
        ASSERT_FALSE(s.isOk());
        EXPECT_EQ(s.message(), c.message);
    }
}

TEST(SimRecord, ValidateFileTableAcceptsLaggedInputWithoutKey) {
    TSimRecord rec = CreateSimRecord();
    rec.NumFiles = 3;
    rec.Files[1] = entry("BASEDATA", "BAS", true, true, 1, 0, 1);
    rec.Files[2] = entry("LAG", "N/A", true, false, 2, 1, 2);
    rec.Files[3] = entry("SUM", "Su_9", false, false, 0, 0, 3);  // cut to "Su_"
    EXPECT_TRUE(ValidateFileTable(rec).isOk()) << ValidateFileTable(rec).message();
    rec.Files[3].InputUsage[3] = 2;  // run 3 reading run 2's version is allowed
    EXPECT_TRUE(ValidateFileTable(rec).isOk());
}

class FirstPolicyYear : public ::testing::Test {
protected:
    void SetUp() override {
        rec = CreateSimRecord();
        InitSimRecord(rec, "/nonexistent");
        rec.NumYears = 5;
        rec.StartYear = 2024;
        ComputeYears(rec);
        for (int i = 1; i <= 999; ++i) rec.GridStem(i, 4) = "";
    }
    TSimRecord rec;
    ScriptedDialogs dlg;
    int fpy = 1;
};

TEST_F(FirstPolicyYear, SmallestYearWithPolicyShocks) {
    rec.GridStem(5, 4) = "P5";
    rec.GridStem(3, 4) = "?";  // the Common marker counts as a shock file
    PolicyStartOptions opt;
    EXPECT_TRUE(ComputeFirstPolicyYear(rec, 3, false, true, opt, fpy, dlg));
    EXPECT_EQ(fpy, 3);
    EXPECT_TRUE(dlg.records().empty());
}

TEST_F(FirstPolicyYear, RationalExpectationsOffset) {
    rec.GridStem(3, 4) = "P3";
    struct Case {
        int mode, offset;
        bool ok;
        int fpy, offsetAfter;
        bool message;
    } cases[] = {
        {3, 1, true, 2, 1, false},
        {2, 2, true, 1, 2, false},
        {3, 3, false, 1, 2, true},
        {1, 3, true, 3, 3, false},  // the Base ignores the offset
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("mode " + std::to_string(c.mode) + " offset " + std::to_string(c.offset));
        ScriptedDialogs d;
        PolicyStartOptions opt{true, c.offset};
        int f = 99;
        EXPECT_EQ(ComputeFirstPolicyYear(rec, c.mode, false, true, opt, f, d), c.ok);
        EXPECT_EQ(f, c.fpy);
        EXPECT_EQ(opt.policyStartOffset, c.offsetAfter);
        if (c.message) {
            ASSERT_EQ(d.records().size(), 1u);
            EXPECT_EQ(d.records()[0].buttons, BtnOk | BtnHelp);
            EXPECT_EQ(d.lastMessage(),
                      "First Policy shock is in sim for year 2026.\r\n"
                      "Hence Policy run can start at most 2 periods before this.\r\n"
                      "Resetting value there so Policy run will start with first year.\r\n"
                      "Please check the Sim Overview page to see that this is what you want.");
        } else {
            EXPECT_TRUE(d.records().empty());
        }
    }
    // Quiet: same reset, no message.
    ScriptedDialogs d;
    PolicyStartOptions opt{true, 4};
    EXPECT_FALSE(ComputeFirstPolicyYear(rec, 3, true, true, opt, fpy, d));
    EXPECT_EQ(fpy, 1);
    EXPECT_EQ(opt.policyStartOffset, 2);
    EXPECT_TRUE(d.records().empty());
    // Without rational expectations the offset is not used.
    PolicyStartOptions off{false, 2};
    EXPECT_TRUE(ComputeFirstPolicyYear(rec, 3, false, true, off, fpy, d));
    EXPECT_EQ(fpy, 3);
}

TEST_F(FirstPolicyYear, NoPolicyShocks) {
    PolicyStartOptions opt;
    fpy = 7;
    EXPECT_TRUE(ComputeFirstPolicyYear(rec, 1, false, true, opt, fpy, dlg));
    EXPECT_EQ(fpy, 1);
    EXPECT_TRUE(dlg.records().empty());

    fpy = 7;
    EXPECT_FALSE(ComputeFirstPolicyYear(rec, 3, false, true, opt, fpy, dlg));
    EXPECT_EQ(fpy, 1);
    EXPECT_EQ(dlg.messages(), std::vector<std::string>{"Are no policy shocks, so nothing to do."});

    // With rational expectations and an offset there is still nothing to do.
    PolicyStartOptions re{true, 1};
    ScriptedDialogs d;
    EXPECT_FALSE(ComputeFirstPolicyYear(rec, 3, false, true, re, fpy, d));
    EXPECT_EQ(d.lastMessage(), "Are no policy shocks, so nothing to do.");
    // Shocks beyond NumYears do not count.
    rec.GridStem(6, 4) = "P6";
    EXPECT_FALSE(ComputeFirstPolicyYear(rec, 3, true, true, opt, fpy, d));
}

TEST_F(FirstPolicyYear, NoModelLoaded) {
    rec.GridStem(3, 4) = "P3";
    PolicyStartOptions opt;
    fpy = 3;
    EXPECT_FALSE(ComputeFirstPolicyYear(rec, 3, false, false, opt, fpy, dlg));
    EXPECT_EQ(fpy, 1);
    EXPECT_TRUE(dlg.records().empty());
}

}  // namespace
}  // namespace vdln
