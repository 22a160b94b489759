#include "model/filenames.h"

#include <gtest/gtest.h>

namespace vdln {
namespace {

TSimFileEntry entry(const char* name, const char* key, const char* type, bool input, bool updated, int usage,
                    int lag, int n) {
    TSimFileEntry e;
    e.Name = name;
    e.Key = key;
    e.FileType = type;
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

// The demo-like application: 6 years from 2024, long names, files
// BASEDATA (updated), PARAMS (constant), SUMMARY (output), LAGGED (lag of
// BASEDATA), POLREAD (updated; the policy reads the rerun's version).
TSimRecord demoRecord(const std::string& workDir = "/Sims/App") {
    TSimRecord rec = CreateSimRecord();
    InitSimRecord(rec, workDir);
    rec.NumYears = 6;
    rec.StartYear = 2024;
    ComputeYears(rec);
    rec.NumFiles = 5;
    rec.Files[1] = entry("BASEDATA", "BAS", "HAR", true, true, 1, 0, 1);
    rec.Files[2] = entry("PARAMS", "PAR", "HAR", true, false, 3, 0, 2);
    rec.Files[3] = entry("SUMMARY", "SUM", "TXT", false, false, 0, 0, 3);
    rec.Files[4] = entry("LAGGED", "N/A", "HAR", true, false, 2, 1, 4);
    rec.Files[5] = entry("POLREAD", "POL", "HAR", true, true, 1, 0, 5);
    rec.Files[5].InputUsage[3] = 2;
    return rec;
}

TEST(FileNames, ShortStems) {
    TSimRecord rec = demoRecord();
    rec.FileNaming.LongNames = false;
    rec.StartYear = 2000;
    ComputeYears(rec);
    EXPECT_EQ(RunStem(rec, 3, 3), "PL1P2002");
    EXPECT_EQ(RunStem(rec, kNoYear, 1), "BS1BYYYY");
    EXPECT_EQ(RunStem(rec, 0, 2), "BR1R1999");
    EXPECT_EQ(RunPrefix(rec, 2), "BR1R");
    EXPECT_EQ(FiveCharStem(rec, 3, 3), "PL102");
    EXPECT_EQ(LongStem(rec, 3, 3, false), "PL1P2002");
    EXPECT_EQ(SolutionFile(rec, 3, 3, false), "/Sims/App/pl1p2002.sl4");
    EXPECT_EQ(JobLogFile(rec, 3, 3, false, "/T/simdir2"), "/T/simdir2/PL102sim.log");
    EXPECT_EQ(StiFile(rec, 3, 3, false, "/T/simdir2"), "/T/simdir2/PL102sim.sti");
    EXPECT_EQ(RptFile(rec, 3, 3, false, "/T"), "/T/PL102sim.rpt");
    EXPECT_EQ(BotFile(rec, 3, false), "/Sims/App/br1r2002.bot");
    EXPECT_EQ(BotFile(rec, 3, true), "/Sims/App/pl1p2002.bot");
    EXPECT_EQ(BotJobLogFile(rec, 3, false), "/Sims/App/br1r2002-bot.log");
    EXPECT_EQ(BotResultsFile(rec, 3, false), "/Sims/App/bs1br102.rsl");
    EXPECT_EQ(BotResultsFile(rec, 3, true), "/Sims/App/bs1pl102.rsl");
    EXPECT_EQ(DataFileName(rec, 3, 3, false, 1), "baspl102.har");

    Result<std::string> joined = JoinSelectedBaseNames(rec, RunSelection::upTo(3), false);
    ASSERT_FALSE(joined.isOk());
    EXPECT_EQ(joined.message(), "[JoinSelectedBaseNames] Expect long file names here");
}

TEST(FileNames, LongStemsAndJoinedNames) {
    TSimRecord rec = demoRecord();
    rec.StartYear = 2005;
    ComputeYears(rec);
    struct Case {
        int i, r;
        bool noRerun, letters;
        std::string sep;
        const char* want;
    } cases[] = {
        {1, 1, false, true, "-", "BS1B-2005"},
        {1, 2, false, true, "-", "BS1B-BR1R-2005"},
        {1, 3, false, true, "-", "BS1B-BR1R-PL1P-2005"},
        {1, 3, true, true, "-", "BS1B-PL1P-2005"},
        {1, 3, false, false, "-", "BS1-BR1-PL1-2005"},
        {0, 1, false, true, "_", "BS1B_2004"},
        {-1, 1, false, true, "", "BS1B2003"},
        {kNoYear, 3, false, true, "-", "BS1B-BR1R-PL1P"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.want);
        rec.FileNaming.AppendRunLetter = c.letters;
        rec.FileNaming.Separator = c.sep;
        EXPECT_EQ(LongStem(rec, c.i, c.r, c.noRerun), c.want);
    }
    rec.FileNaming.AppendRunLetter = false;
    rec.FileNaming.Separator = "-";
    EXPECT_EQ(*JoinSelectedBaseNames(rec, RunSelection::upTo(3), false), "BS1-BR1-PL1");
    EXPECT_EQ(*JoinSelectedBaseNames(rec, RunSelection{false, true, true}, true), "PL1");
    EXPECT_EQ(*JoinSelectedBaseNames(rec, RunSelection{false, false, false}, false), "");
}

TEST(FileNames, LongPerYearFilesKeepTheDirectoryCase) {
    TSimRecord rec = demoRecord("/Sims/App");
    rec.StartYear = 2005;
    ComputeYears(rec);
    EXPECT_EQ(SolutionFile(rec, 1, 2, false), "/Sims/App/bs1b-br1r-2005.sl4");
    EXPECT_EQ(SolutionFile(rec, 1, 3, true), "/Sims/App/bs1b-pl1p-2005.sl4");
    TPerYearFiles f = PerYearFiles(rec, 1, 3, false, "/Tmp/simdir3");
    EXPECT_EQ(f.solution, "/Sims/App/bs1b-br1r-pl1p-2005.sl4");
    EXPECT_EQ(f.simLog, "/Sims/App/bs1b-br1r-pl1p-2005.log");
    EXPECT_EQ(f.cmf, "/Sims/App/bs1b-br1r-pl1p-2005.cmf");
    EXPECT_EQ(f.top, "/Sims/App/bs1b-br1r-pl1p-2005.top");
    EXPECT_EQ(f.jobLog, "/Tmp/simdir3/bs1b-br1r-pl1p-2005sim.log");
    EXPECT_EQ(f.sti, "/Tmp/simdir3/bs1b-br1r-pl1p-2005sim.sti");
    EXPECT_EQ(f.rpt, "/Tmp/simdir3/bs1b-br1r-pl1p-2005sim.rpt");
    EXPECT_EQ(BotFile(rec, 2, false), "/Sims/App/bs1b-br1r-2006.bot");
    EXPECT_EQ(BotFile(rec, 2, true), "/Sims/App/bs1b-pl1p-2006.bot");
    EXPECT_EQ(BotJobLogFile(rec, 2, false), "/Sims/App/bs1b-br1r-2006-bot.log");
    EXPECT_EQ(BotResultsFile(rec, 2, false), "/Sims/App/bs1b-br1r-2006.rsl");
    // A working directory with trailing separators, and the root.
    rec.WorkDir = "/Sims/App//";
    EXPECT_EQ(SolutionFile(rec, 1, 1, false), "/Sims/App/bs1b-2005.sl4");
    rec.WorkDir = "/";
    EXPECT_EQ(SolutionFile(rec, 1, 1, false), "/bs1b-2005.sl4");
}

TEST(FileNames, GeneratedDataFiles) {
    TSimRecord rec = demoRecord();
    rec.StartYear = 2005;
    ComputeYears(rec);
    EXPECT_EQ(DataFileName(rec, 1, 1, false, 1), "bas-bs1b-2005.har");
    EXPECT_EQ(UpdatedFileName(rec, 1, 3, false, 1), "bas-bs1b-br1r-pl1p-2005.har");
    // An output carries both years when AppendNextYear is on.
    EXPECT_EQ(DataFileName(rec, 1, 1, false, 3), "sum-bs1b-2005-2006.txt");
    EXPECT_EQ(UpdatedFileName(rec, 1, 1, false, 3), "?notupd?");
    EXPECT_EQ(UpdatedFileName(rec, 1, 1, false, 2), "?notupd?");
    rec.FileNaming.AppendNextYear = false;
    EXPECT_EQ(DataFileName(rec, 1, 1, false, 3), "sum-bs1b-2005.txt");
    rec.FileNaming.AppendNextYear = true;
    // The last possible simulation still gets a next year.
    EXPECT_EQ(DataFileName(rec, 999, 1, false, 3), "sum-bs1b-3003-3004.txt");
    EXPECT_EQ(DataFileName(rec, 1, 1, false, 9), "");  // no such file
    EXPECT_EQ(FindUserFileByName(rec, "params"), 2);
    EXPECT_EQ(FindUserFileByName(rec, "PolRead"), 5);
    EXPECT_EQ(FindUserFileByName(rec, "WRITFILE"), std::nullopt);  // beyond NumFiles
}

TEST(FileNames, SpreadsheetNames) {
    TSimRecord rec = demoRecord();
    rec.NumYears = 5;
    rec.StartYear = 2001;
    ComputeYears(rec);
    // Base over the whole run: no range suffix.
    EXPECT_EQ(SpreadsheetCsvName(rec, 1, 1, 5, 0, false, ResultsKind::Spreadsheet, "yony"), "BS1B-ssy.csv");
    EXPECT_EQ(SpreadsheetCsvName(rec, 1, 1, 9, 0, false, ResultsKind::Spreadsheet, "cum"), "BS1B-ssc.csv");
    EXPECT_EQ(SpreadsheetCsvName(rec, 1, 2, 3, 0, false, ResultsKind::Spreadsheet, "yony"),
              "BS1B-ssy-2002-2003.csv");
    EXPECT_EQ(SpreadsheetCsvName(rec, 3, 1, 5, 2, false, ResultsKind::Deviations, "cum"),
              "BS1B-BR1R-PL1P-devc.csv");
    EXPECT_EQ(SpreadsheetCsvName(rec, 3, 2, 5, 2, true, ResultsKind::Deviations, "cum"),
              "BS1B-PL1P-devc.csv");
    // The policy range starts no earlier than the policy start.
    EXPECT_EQ(SpreadsheetCsvName(rec, 3, 3, 5, 2, false, ResultsKind::Spreadsheet, "yony"),
              "BS1B-BR1R-PL1P-ssy-2003-2005.csv");
    EXPECT_EQ(SpreadsheetRangeSuffix(rec, 3, 1, 4, 2), "-2002-2004");
    EXPECT_EQ(CumulativeResultsName(rec, 1, 1, 5, 0, false, ResultsKind::Spreadsheet), "BS1B-ssc.rsl");
    EXPECT_EQ(SequenceFile(rec, 1, 1, 5, 0, false, false), "/Sims/App/bs1b.seq");
    EXPECT_EQ(SequenceFile(rec, 3, 2, 4, 2, false, true), "/Sims/App/bs1b-br1r-pl1p-dev-2002-2004.seq");
    EXPECT_EQ(SpreadsheetLogFile(rec, 2, 2, 5, 2, false), "/Sims/App/BS1B-BR1R-ss.log");

    rec.FileNaming.LongNames = false;
    EXPECT_EQ(SpreadsheetCsvName(rec, 3, 2, 3, 2, false, ResultsKind::Spreadsheet, "cum"),
              "PL1Pssc-2002-2003.csv");
    EXPECT_EQ(SpreadsheetCsvName(rec, 2, 1, 5, 1, false, ResultsKind::Deviations, "yony"), "BR1Rdevy.csv");
    EXPECT_EQ(SequenceFile(rec, 3, 1, 5, 2, false, true), "/Sims/App/pl1pdev.seq");
    EXPECT_EQ(SpreadsheetLogFile(rec, 1, 1, 3, 0, false), "/Sims/App/BS1Bss-2001-2003.log");
}

TEST(FileNames, FixedNames) {
    EXPECT_EQ(RecordOfRunsFile("/K", 1), "/K/base.ini");
    EXPECT_EQ(RecordOfRunsFile("/K/", 2), "/K/rbase.ini");
    EXPECT_EQ(RecordOfRunsFile("/K", 3), "/K/pol.ini");
    EXPECT_EQ(DefaultCMFStartFile("/W", 2, true), "/W/CMFSTARTR");
    EXPECT_EQ(DefaultCMFStartFile("/W", 2, false), "/W/CMFSTART");
}

class Resolver : public ::testing::Test {
protected:
    TSimRecord rec = demoRecord();
    std::vector<std::string> firstYear = {
        "file BASEDATA = base2023.har ;",
        "FILE params = Data/Params.har ;",
        "file LAGGED = \"lag file.har\" ;",
        "file POLREAD = pol2023.har ;",
    };
    static constexpr int kPolicyStart = 2;

    TResolvedFile resolve(int i, int run, bool noRerun, int f) {
        Result<TResolvedFile> r = ResolveLogicalFile(rec, i, run, kPolicyStart, noRerun, f, firstYear);
        EXPECT_TRUE(r.isOk()) << r.message();
        return r ? *r : TResolvedFile{};
    }
};

TEST_F(Resolver, Cases) {
    struct Case {
        const char* what;
        int i, run;
        bool noRerun;
        int file;
        const char* name;
        int srcIndex, srcRun, srcFile;
    } cases[] = {
        {"base first year", 1, 1, false, 1, "base2023.har", 0, 1, 1},
        {"base updated", 3, 1, false, 1, "bas-bs1b-2025.har", 2, 1, 1},
        {"policy start reads base", 2, 3, false, 1, "bas-bs1b-2024.har", 1, 1, 1},
        {"rerun start reads base", 2, 2, false, 1, "bas-bs1b-2024.har", 1, 1, 1},
        {"before policy start", 1, 3, false, 1, "base2023.har", 0, 1, 1},
        {"policy after start", 3, 3, false, 1, "bas-bs1b-br1r-pl1p-2025.har", 2, 3, 1},
        {"policy no rerun", 3, 3, true, 1, "bas-bs1b-pl1p-2025.har", 2, 3, 1},
        {"rerun after start", 3, 2, false, 1, "bas-bs1b-br1r-2025.har", 2, 2, 1},
        {"constant input", 5, 3, false, 2, "Data/Params.har", 0, 1, 2},
        {"constant input base", 1, 1, false, 2, "Data/Params.har", 0, 1, 2},
        {"policy reads rerun", 4, 3, false, 5, "pol-bs1b-br1r-2026.har", 3, 2, 5},
        {"no rerun reads base", 4, 3, true, 5, "pol-bs1b-2026.har", 3, 1, 5},
        {"lag in first year", 1, 1, false, 4, "lag file.har", 0, 1, 1},
        {"lag in second year", 2, 1, false, 4, "base2023.har", 0, 1, 1},
        {"lag in base", 3, 1, false, 4, "bas-bs1b-2024.har", 1, 1, 1},
        {"lag year after policy start", 3, 3, false, 4, "bas-bs1b-2024.har", 1, 1, 1},
        {"lag later in policy", 4, 3, false, 4, "bas-bs1b-br1r-pl1p-2025.har", 2, 3, 1},
        {"output", 3, 1, false, 3, "sum-bs1b-2025-2026.txt", 2, 1, 3},
        {"output first year (upper case)", 1, 1, false, 3, "SUM-BS1B-2023-2024.TXT", 0, 1, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TResolvedFile r = resolve(c.i, c.run, c.noRerun, c.file);
        EXPECT_EQ(r.name, c.name);
        EXPECT_EQ(r.sourceIndex, c.srcIndex);
        EXPECT_EQ(r.sourceYear, rec.Years[c.srcIndex]);
        EXPECT_EQ(r.sourceRun, c.srcRun);
        EXPECT_EQ(r.sourceFile, c.srcFile);
    }
}

TEST_F(Resolver, ShortNamesAndMissingLines) {
    rec.FileNaming.LongNames = false;
    EXPECT_EQ(resolve(3, 3, false, 1).name, "baspl125.har");
    EXPECT_EQ(resolve(3, 1, false, 1).name, "basbs125.har");
    EXPECT_EQ(resolve(1, 1, false, 3).name, "SUMBS123.TXT");
    firstYear.erase(firstYear.begin());
    EXPECT_EQ(resolve(1, 1, false, 1).name, "");
}

TEST_F(Resolver, BadTablesFailWithoutCrashing) {
    struct Case {
        const char* what;
        int file, i;
        int lagOf;  // LagFile of LAGGED
    } cases[] = {
        {"no such file", 9, 2, 1},
        {"file zero", 0, 2, 1},
        {"year out of range", 1, 1000, 1},
        {"lag of missing file", 4, 3, 44},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        rec.Files[4].LagFile = c.lagOf;
        Result<TResolvedFile> r = ResolveLogicalFile(rec, c.i, 1, kPolicyStart, false, c.file, firstYear);
        ASSERT_FALSE(r.isOk());
        EXPECT_NE(r.message().find(" [ResolveLogicalFile]"), std::string::npos);
    }
}

}  // namespace
}  // namespace vdln

namespace vdln {
namespace {

// The first-year list keeps the user's description after the statement; the
// file looked up (and stamped) is the name alone.
TEST(FileNames, FirstYearNamesLeaveTheCommentOut) {
    struct Case {
        const char* line;
        const char* file;
    };
    const Case cases[] = {
        {"file BASEDATA = base.har ;", "base.har"},
        {"file BASEDATA = base.har ; ! the starting data", "base.har"},
        {"file BASEDATA = base.har; ! a; comment", "base.har"},
        {"file BASEDATA = \"my data;1.har\" ; ! quoted name", "my data;1.har"},
        {"file BASEDATA = ; ! no file yet", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(firstYearFileFor({"file OTHER = other.har ; ! not this one", c.line}, "BASEDATA"), c.file);
    }
    EXPECT_EQ(firstYearFileFor({"file OTHER = other.har ;"}, "BASEDATA"), std::nullopt);
}

}  // namespace
}  // namespace vdln
