#include "cmf/cmfwriter.h"

#include <gtest/gtest.h>

#include "base/fileutil.h"
#include "base/paths.h"
#include "cmf/closurecheck.h"
#include "cmf/yearrun.h"
#include "doubles/scripteddialogs.h"
#include "golden_support.h"
#include "model/filenames.h"
#include "model/simgrid.h"

namespace vdln {
namespace {

using testing::expectGolden;
using testing::readFile;
using testing::writeFile;

// A small application like the demo: three years from 2024, files BASEDATA
// (updated input), PARAMS (constant input) and SUMMARY (output), a grid with
// a CMFSTART file, common and period-specific closures and shocks.
class CmfWriterTest : public testing::TempDirTest {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        work = path("work dir");
        modelDir = path("my model");
        jobDir = path("job");
        tempDir = path("tmp");
        checkDir = path("check");
        for (const auto& d : {work, modelDir, jobDir, tempDir, checkDir}) ASSERT_TRUE(makeDirectories(d));
        vars = {{"@WORK@", work},
                {"@MODEL@", modelDir},
                {"@JOB@", jobDir},
                {"@TEMP@", tempDir},
                {"@D@", checkDir}};

        rec = CreateSimRecord();
        rec.NumYears = 3;
        rec.StartYear = 2024;
        rec.SimNames[1] = "BS1";
        rec.SimNames[2] = "BR1";
        rec.SimNames[3] = "PL1";
        rec.WorkDir = work;
        rec.PeriodLength.fill(1);
        ComputeYears(rec);
        const struct {
            const char* name;
            const char* type;
            bool in, upd;
        } decls[] = {{"BASEDATA", "HAR", true, true},
                     {"PARAMS", "HAR", true, false},
                     {"SUMMARY", "TXT", false, false}};
        rec.NumFiles = 0;
        for (const auto& d : decls) {
            ++rec.NumFiles;
            rec.Files[rec.NumFiles] =
                makeSimFileEntry(makeModelFileDesc(d.name, d.type, d.in, d.upd), rec.NumFiles);
        }
        for (int row = -1; row <= kMaxYears; ++row)
            for (int col = 1; col <= 4; ++col) rec.GridStem(row, col) = "";
        rec.GridStem(-1, 2) = "N/A";
        rec.GridStem(-1, 1) = "CMFSTART";
        rec.CMFStartExt[1] = ".TXT";
        rec.GridStem(0, 1) = "BASE";
        rec.GridStem(0, 2) = "COMMON";
        rec.GridStem(0, 3) = "POLICY";
        rec.GridStem(2, 1) = "B2025";
        for (int i = 1; i <= 3; ++i) rec.GridStem(i, 2) = "B" + std::to_string(2023 + i);
        rec.GridStem(2, 4) = "P2025";

        writeFile(JoinPath(work, "CMFSTART.TXT"), "! start options\r\nlog file = yes ;\r\n");
        writeFile(JoinPath(work, "BASE.CLS"), "exogenous x l t ;\r\nrest endogenous ;\r\n");
        writeFile(JoinPath(work, "B2025.CLS"),
                  "swap x(\"MAN\") = a(\"MAN\") ; ! period-specific\tremark\r\n");
        writeFile(JoinPath(work, "POLICY.CLS"), "exogenous a l t ;\r\nrest endogenous ;\r\n");
        writeFile(JoinPath(work, "COMMON.BSH"), "shock l = uniform 1 ;\r\n");
        writeFile(JoinPath(work, "B2024.BSH"), "shock x = uniform 3.0 ;\r\n");
        writeFile(JoinPath(work, "B2025.BSH"),
                  "! growth of output\r\nshock <year> x = uniform 2.8 ;\r\nshock <YEAR=G> a\r\n  = 1 2\r\n  "
                  "3 ;\r\n");
        writeFile(JoinPath(work, "B2026.BSH"), "shock x = uniform 2.6 ;\r\n");
        writeFile(JoinPath(work, "P2025.PSH"), "ashock t(\"MAN\") = 10 ;\r\n");
        RefreshGrid(rec);
    }

    CmfRequest request(int i, int r) const {
        CmfRequest q;
        q.modelProgram = JoinPath(modelDir, "growth.exe");
        q.sim = i;
        q.run = r;
        q.method.Method = kGragg;
        q.method.NSol = 3;
        q.method.Steps = {2, 4, 6};
        q.policyStart = 2;
        q.firstYearList = {"file BASEDATA = \"" + JoinPath(work, "base data.har") + "\" ;",
                           "file PARAMS = params.har ;"};
        q.jobDir = jobDir;
        q.suiteRelease = 80000;
        return q;
    }

    std::string work, modelDir, jobDir, tempDir, checkDir;
    std::map<std::string, std::string> vars;
    TSimRecord rec;
};

TEST(CmfQuote, QuotesBlanksAndAmpersands) {
    EXPECT_EQ(QuoteCmf("/a/b.har"), "/a/b.har");
    EXPECT_EQ(QuoteCmf("/a b/c"), "\"/a b/c\"");
    EXPECT_EQ(QuoteCmf("R&D.har"), "\"R&D.har\"");
    EXPECT_EQ(QuoteCmf("\"/a b/c\""), "\"/a b/c\"");
    EXPECT_EQ(QuoteCmf(""), "");
    EXPECT_EQ(markerLine("! Begin Common Closure file ", "BASE.CLS"),
              "! Begin Common Closure file \"BASE.CLS\"");
}

TEST_F(CmfWriterTest, BaseYearWithCmfStartClosuresAndShocks) {
    auto path = MakeCMF(rec, request(2, 1));
    ASSERT_TRUE(path) << path.message();
    EXPECT_EQ(*path, JoinPath(work, "bs1b-2025.cmf"));
    expectGolden(*path, "base_2025_long.cmf", vars);
}

TEST_F(CmfWriterTest, BaseYearAutomaticAccuracyAndUdc) {
    CmfRequest q = request(1, 1);
    q.method.AutoAccuracy = true;
    q.writeUdc = true;
    auto path = MakeCMF(rec, q);
    ASSERT_TRUE(path) << path.message();
    expectGolden(*path, "base_2024_auto.cmf", vars);
}

TEST_F(CmfWriterTest, RerunTopPart) {
    auto path = MakeCMF(rec, request(2, 2));
    ASSERT_TRUE(path) << path.message();
    EXPECT_EQ(*path, JoinPath(work, "bs1b-br1r-2025.top"));
    expectGolden(*path, "rerun_2025.top", vars);
    // An older suite gets no auto_shocks statement.
    CmfRequest q = request(2, 2);
    q.suiteRelease = 78199;
    ASSERT_TRUE(MakeCMF(rec, q));
    EXPECT_EQ(readFile(*path).find("auto_shocks"), std::string::npos);
}

TEST_F(CmfWriterTest, PolicyTopWithExtraShocks) {
    auto path = MakeCMF(rec, request(2, 3));
    ASSERT_TRUE(path) << path.message();
    expectGolden(*path, "policy_2025.top", vars);
    // Without the extra shocks neither the policy shocks nor the Base Case header.
    CmfRequest q = request(2, 3);
    q.extraPolicyShocks = false;
    ASSERT_TRUE(MakeCMF(rec, q));
    const std::string text = readFile(*path);
    EXPECT_EQ(text.find("Policy Shocks"), std::string::npos);
    EXPECT_EQ(text.find("Base Case Shocks"), std::string::npos);
    EXPECT_NE(text.find("POLICY.CLS"), std::string::npos);
}

TEST_F(CmfWriterTest, PolicyLaterYearNoRerunAndShortNames) {
    rec.FileNaming.LongNames = false;
    CmfRequest q = request(3, 3);
    q.noRerun = true;
    auto path = MakeCMF(rec, q);
    ASSERT_TRUE(path) << path.message();
    EXPECT_EQ(*path, JoinPath(work, "pl1p2026.top"));
    expectGolden(*path, "policy_2026_short_norerun.top", vars);
}

TEST_F(CmfWriterTest, ShortNamesBaseYear) {
    rec.FileNaming.LongNames = false;
    auto path = MakeCMF(rec, request(3, 1));
    ASSERT_TRUE(path) << path.message();
    EXPECT_EQ(*path, JoinPath(work, "bs1b2026.cmf"));
    expectGolden(*path, "base_2026_short.cmf", vars);
}

TEST_F(CmfWriterTest, RationalExpectationsNames) {
    rec.Files[2].Name = "ROREXT";
    rec.Files[2].Key = "ROR";
    rec.Files[2].IsUpdated = 1;
    rec.Files[2].Usage = kUsageUpdatedInput;
    CmfRequest q = request(1, 1);
    q.reMode = true;
    q.firstYearList.push_back("file ROREXT = ror.har ;");
    std::vector<std::string> lines;
    // Without the rational-expectations names: the updated file of the last year.
    ASSERT_TRUE(FileStatements(rec, q, 1, 1, lines));
    EXPECT_EQ(lines[1], "File ROREXT = ror-bs1b-2026.har ; ! updated input");
    q.useReNames = true;
    q.reRorextName = JoinPath(work, "rorext.har");
    lines.clear();
    ASSERT_TRUE(FileStatements(rec, q, 1, 1, lines));
    EXPECT_EQ(lines[1], "File ROREXT = " + QuoteCmf(JoinPath(work, "rorext.har")) + " ; ! updated input");
    // Outside the run's first simulation the usual resolution applies.
    lines.clear();
    ASSERT_TRUE(FileStatements(rec, q, 2, 1, lines));
    EXPECT_EQ(lines[1], "File ROREXT = ror-bs1b-2024.har ; ! updated input");
}

TEST_F(CmfWriterTest, FailureDeletesTheHalfWrittenFile) {
    const std::string cmf = JoinPath(work, "bs1b-2025.cmf");
    writeFile(cmf, "old content");
    ASSERT_TRUE(deleteFile(JoinPath(work, "B2025.BSH")));
    auto path = MakeCMF(rec, request(2, 1));
    ASSERT_FALSE(path);
    EXPECT_EQ(path.message(), "Cannot open file " + JoinPath(work, "B2025.BSH") +
                                  "[TxtOpen] [AppendShocks][AddClosureShocksToCMF][MakeCMF]");
    EXPECT_FALSE(fileExists(cmf));

    // A missing first-year line is refused rather than written as an empty name.
    ASSERT_TRUE(makeDirectories(work));
    writeFile(JoinPath(work, "B2025.BSH"), "shock x = 1 ;\r\n");
    CmfRequest q = request(2, 1);
    q.firstYearList.clear();
    auto p2 = MakeCMF(rec, q);
    ASSERT_FALSE(p2);
    EXPECT_EQ(p2.message(), "No actual file for logical file PARAMS[MakeCMF]");
    EXPECT_FALSE(fileExists(cmf));

    // A missing common file is left out, not an error.
    ASSERT_TRUE(deleteFile(JoinPath(work, "COMMON.BSH")));
    ASSERT_TRUE(MakeCMF(rec, request(2, 1)));
    EXPECT_EQ(readFile(cmf).find("Common Shocks"), std::string::npos);
}

// ---------------------------------------------------------------------------
// Year-run input files.

std::string locateAll(std::string_view name) {
    return "/suite/" + std::string(name) + "a.exe";
}

TEST_F(CmfWriterTest, RunBatBaseWritesOnlyTheSimulationInput) {
    ScriptedDialogs dlg;
    auto files = WriteRunBat(rec, request(2, 1), tempDir, false, locateAll, dlg);
    ASSERT_TRUE(files) << files.message();
    EXPECT_EQ(files->simSti, JoinPath(tempDir, "bs1b-2025sim.sti"));
    expectGolden(files->simSti, "runbat_base_2025.sti", vars);
    EXPECT_TRUE(files->envSti.empty());
    EXPECT_FALSE(fileExists(BotStepInputFile(rec, 2, 1, tempDir, BotStepInput::Environment)));
}

TEST_F(CmfWriterTest, RunBatRerunWithSolutionShocks) {
    ScriptedDialogs dlg;
    auto files = WriteRunBat(rec, request(2, 2), tempDir, false, locateAll, dlg);
    ASSERT_TRUE(files) << files.message();
    // The BOT step's inputs: the five-character stem of the run's year.
    EXPECT_EQ(files->envSti, JoinPath(tempDir, "BR125env.sti"));
    EXPECT_EQ(files->mapSti, BotStepInputFile(rec, 2, 2, tempDir, BotStepInput::Map));
    EXPECT_EQ(files->botSti, BotStepInputFile(rec, 2, 2, tempDir, BotStepInput::BotFromSolution));
    expectGolden(files->simSti, "runbat_rerun_2025.sti", vars);
    expectGolden(files->envSti, "runbat_rerun_2025_env.sti", vars);
    expectGolden(files->envCmf, "runbat_rerun_2025_env.cmf", vars);
    expectGolden(files->mapSti, "runbat_rerun_2025.st2", vars);
    expectGolden(files->botSti, "runbat_rerun_2025.st3", vars);
    EXPECT_FALSE(fileExists(BotStepInputFile(rec, 2, 2, tempDir, BotStepInput::BotFromResults)));
    EXPECT_EQ(files->sectra, "/suite/sectraa.exe");
}

TEST_F(CmfWriterTest, RunBatRerunWithSolFilesForShocks) {
    ScriptedDialogs dlg;
    auto files = WriteRunBat(rec, request(2, 2), tempDir, true, locateAll, dlg);
    ASSERT_TRUE(files) << files.message();
    EXPECT_EQ(files->botSti, BotStepInputFile(rec, 2, 2, tempDir, BotStepInput::BotFromResults));
    expectGolden(files->botSti, "runbat_rerun_2025.st9", vars);
    EXPECT_FALSE(fileExists(BotStepInputFile(rec, 2, 2, tempDir, BotStepInput::BotFromSolution)));
}

TEST_F(CmfWriterTest, RunBatPolicyDependsOnNoRerunMode) {
    ScriptedDialogs dlg;
    auto files = WriteRunBat(rec, request(2, 3), tempDir, false, locateAll, dlg);
    ASSERT_TRUE(files) << files.message();
    EXPECT_TRUE(files->envSti.empty());
    // The Policy run's CMFSTART file is copied without marker lines, and its
    // period-specific closure ends with a marker naming the full path.
    rec.GridStem(-1, 4) = "PSTART";
    rec.CMFStartExt[4] = ".TXT";
    rec.GridStem(2, 3) = "P2025";
    writeFile(JoinPath(work, "PSTART.TXT"), "! policy start\r\nmethod = euler ;\r\n");
    writeFile(JoinPath(work, "P2025.CLS"), "swap t(\"MAN\") = x(\"MAN\") ;\r\n");
    RefreshGrid(rec);
    CmfRequest q = request(2, 3);
    q.noRerun = true;
    files = WriteRunBat(rec, q, tempDir, false, locateAll, dlg);
    ASSERT_TRUE(files) << files.message();
    EXPECT_EQ(files->envSti, JoinPath(tempDir, "PL125env.sti"));
    expectGolden(files->envCmf, "runbat_policy_norerun_2025_env.cmf", vars);
    expectGolden(files->botSti, "runbat_policy_norerun_2025.st3", vars);
}

TEST_F(CmfWriterTest, RunBatFailures) {
    ScriptedDialogs dlg;
    CmfRequest q = request(2, 2);
    q.modelProgram.clear();
    auto files = WriteRunBat(rec, q, tempDir, false, locateAll, dlg);
    ASSERT_FALSE(files);
    EXPECT_EQ(dlg.lastMessage(), "Model or program name blank in writing Bat file.");

    files = WriteRunBat(rec, request(4, 1), tempDir, false, locateAll, dlg);  // beyond NumYears
    EXPECT_EQ(files.message(), "Bad simulation 4 or run 1[WriteRunBat]");
    EXPECT_FALSE(MakeCMF(rec, request(0, 1)));

    auto none = [](std::string_view) { return std::string(); };
    files = WriteRunBat(rec, request(2, 2), tempDir, false, none, dlg);
    ASSERT_FALSE(files);
    EXPECT_EQ(files.message(), "The program TELLUR is not available.[WriteRunBat]");
    auto noSectra = [](std::string_view n) { return n == "sectra" ? std::string() : std::string("/t"); };
    files = WriteRunBat(rec, request(2, 2), tempDir, false, noSectra, dlg);
    EXPECT_EQ(files.message(), "The program SECTRA is not available.[WriteRunBat]");

    files = WriteRunBat(rec, request(2, 2), path("no such dir"), false, locateAll, dlg);
    ASSERT_FALSE(files);
    EXPECT_EQ(files.message().rfind(
                  "Cannot create file " + JoinPath(path("no such dir"), "bs1b-br1r-2025sim.sti"), 0),
              0u);
    EXPECT_EQ(files.message().substr(files.message().size() - 13), "[WriteRunBat]");
}

// ---------------------------------------------------------------------------
// Grid checks and the closure-check job.

TEST_F(CmfWriterTest, GridFileChecks) {
    ScriptedDialogs dlg;
    GridRunRanges ranges;
    ranges.first[1] = 1;
    ranges.last[1] = 3;
    ranges.first[2] = ranges.first[3] = 2;
    ranges.last[2] = ranges.last[3] = 3;
    EXPECT_TRUE(CheckGridFiles(rec, 1, 4, ranges, false, false, dlg));
    EXPECT_TRUE(dlg.messages().empty());

    // A shock file that refers to a missing header array file.
    writeFile(JoinPath(work, "B2026.BSH"), "shock x = file gone.har header \"X\" ;\r\n");
    EXPECT_FALSE(CheckGridFiles(rec, 1, 4, ranges, false, false, dlg));
    ASSERT_EQ(dlg.messages().size(), 2u);
    EXPECT_EQ(dlg.messages()[1],
              "Above refer to files referred to in file\r\n" + JoinPath(work, "B2026.BSH"));
    // Checking only the closure column does not look at the shocks.
    dlg.clear();
    EXPECT_TRUE(CheckGridFiles(rec, 1, 1, ranges, false, false, dlg));

    // A cell naming a missing file (the Policy run's extra shocks of year 2).
    writeFile(JoinPath(work, "B2026.BSH"), "shock x = uniform 2.6 ;\r\n");
    ASSERT_TRUE(deleteFile(JoinPath(work, "P2025.PSH")));
    dlg.clear();
    EXPECT_FALSE(CheckGridFiles(rec, 1, 4, ranges, false, false, dlg));
    EXPECT_EQ(dlg.messages(),
              std::vector<std::string>{"CMF file for year number 2 column 4 does not exist."});
    dlg.clear();
    EXPECT_FALSE(CheckGridFiles(rec, 1, 4, ranges, false, true, dlg));
    EXPECT_TRUE(dlg.messages().empty());  // quiet
    // Run 2 stops at column 3 when the last column is 4, so a Rerun-only job passes.
    GridRunRanges rerunOnly;
    rerunOnly.first[1] = rerunOnly.first[3] = 99;
    rerunOnly.first[2] = 2;
    rerunOnly.last[2] = 3;
    EXPECT_TRUE(CheckGridFiles(rec, 1, 4, rerunOnly, false, false, dlg));
    EXPECT_TRUE(dlg.messages().empty());

    // CMFSTART files are checked too.
    writeFile(JoinPath(work, "CMFSTART.TXT"), "xfile (old) extra \"extra.har\" ;\r\n");
    GridRunRanges baseOnly;
    baseOnly.first[1] = 1;
    baseOnly.last[1] = 3;
    baseOnly.first[2] = baseOnly.first[3] = 99;
    dlg.clear();
    EXPECT_FALSE(CheckGridFiles(rec, 1, 1, baseOnly, false, false, dlg));
    EXPECT_EQ(dlg.lastMessage(),
              "Above refer to files referred to in CMFStart file\r\n" + JoinPath(work, "CMFSTART.TXT"));
}

TEST_F(CmfWriterTest, ClosureCheckJobFiles) {
    ScriptedDialogs dlg;
    rec.StartYear = 2001;
    ComputeYears(rec);
    ClosureCheckRequest q;
    q.jobKind = "oneshcheck";
    q.sim = 2;
    q.column = 4;
    q.jobDir = checkDir;
    q.modelProgram = JoinPath(modelDir, "growth.exe");
    q.suiteDir = "/opt/solvane suite";
    q.firstYearList = {"file BASEDATA = base.har ;", "File (Terminal) = x ;"};
    auto files = CheckClosureCMF(rec, q, dlg);
    ASSERT_TRUE(files) << files.message();
    EXPECT_EQ(files->cmf, JoinPath(checkDir, "oneP2002.cmf"));
    EXPECT_EQ(files->bat, JoinPath(checkDir, "oneP2002.bat"));
    expectGolden(files->cmf, "check_oneP2002.cmf", vars);
    expectGolden(files->sti, "check_oneP2002.sti", vars);
    expectGolden(files->bat, "check_oneP2002.bat", vars, false);

    q.jobKind = "oneclcheck";
    q.column = 1;
    q.sim = 3;
    q.suiteDir.reset();
    q.environmentFile = "base";
    files = CheckClosureCMF(rec, q, dlg);
    ASSERT_TRUE(files) << files.message();
    expectGolden(files->cmf, "check_oneB2003.cmf", vars);
    const std::string bat = readFile(files->bat);
    EXPECT_EQ(bat.find("SVDIR"), std::string::npos);

    // A CMFSTART constituent that does not exist stops the job.
    writeFile(JoinPath(work, "CMFSTART.TXT"), "xfile (old) extra \"extra.har\" ;\r\n");
    dlg.clear();
    files = CheckClosureCMF(rec, q, dlg);
    ASSERT_FALSE(files);
    EXPECT_EQ(files.message(), "At least one constituent of the CMFStart file\r\n" +
                                   JoinPath(work, "CMFSTART.TXT") + "\r\n does not exist.");
    EXPECT_EQ(dlg.lastMessage(), files.message());
    EXPECT_EQ(dlg.messages().size(), 2u);
}

}  // namespace
}  // namespace vdln
