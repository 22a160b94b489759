#include "jobs/ssscripts.h"

#include <algorithm>

#include "base/fileutil.h"
#include "base/paths.h"
#include "base/textfile.h"
#include "cmf/yearrun.h"
#include "doubles/scripteddialogs.h"
#include "model/filenames.h"
#include "support/tempdir.h"

namespace vdln {
namespace {

// A part as the jobs log names it.
StepChoice part(std::string_view name, std::string_view jobPart, int run, int year) {
    return StepChoice{jobKindFromText(name).value(), partKindFromText(jobPart).value(), run, year};
}

class ScriptsTest : public testing::TempDirTest {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        rec = CreateSimRecord();
        InitSimRecord(rec, path("work"));
        wd = rec.WorkDir + "/";
        testing::writeFile(wd + ".keep", "");
        rec.NumYears = 3;
        rec.StartYear = 2024;
        ComputeYears(rec);
        tmp = path("tmp");
        testing::writeFile(tmp + "/.keep", "");
    }
    ScriptContext ctx(int fpy = 1, bool noRerun = false) {
        ScriptContext c{rec, job, noRerun, fpy, tmp, {}, "", ""};
        c.opt.mapFile = "/work/growth.map";
        return c;
    }
    void wholeJob(int fpy = 1) {
        for (int r = 1; r <= 3; ++r) {
            job.FirstSSYear[r] = r == 1 ? 1 : fpy;
            job.LastSSYear[r] = 3;
            job.DoSS[r] = true;
        }
        job.DoDeviations = true;
    }
    std::vector<std::string> lines(const std::string& file) {
        auto l = readTextLines(file);
        EXPECT_TRUE(l) << l.message();
        return l ? *l : std::vector<std::string>{};
    }
    TSimRecord rec;
    TBigJobDetails job;
    std::string tmp;
    std::string wd;
};

TEST_F(ScriptsTest, CsvScriptHasAMoreLineBeforeAllButTheLastYear) {
    wholeJob();
    ScriptContext c = ctx();
    auto f = writeCsvScript(c, JobKind::Csv, 1);
    ASSERT_TRUE(f) << f.message();
    EXPECT_EQ(*f, tmp + "/BS1Bcsv.st4");
    const std::string t = tmp + "/";
    EXPECT_EQ(lines(*f), (std::vector<std::string>{"bat",
                                                   "rpt",
                                                   t + "BS1Bcsv.rpt",
                                                   "mor",
                                                   "nlv  ! No levels results",
                                                   "sss  ! Write Short SS file",
                                                   " ",
                                                   " ",
                                                   wd + "bs1b-2024    ! Sl4 file",
                                                   "c  ! just the cum column",
                                                   "y  ! use SS mapping file",
                                                   "/work/growth.map    ! SS Map file",
                                                   t + "BS1B2024.CSV    ! Output CSV file",
                                                   "mor",
                                                   "nlv  ! No levels results",
                                                   "sss  ! Write Short SS file",
                                                   " ",
                                                   " ",
                                                   wd + "bs1b-2025    ! Sl4 file",
                                                   "c  ! just the cum column",
                                                   "y  ! use SS mapping file",
                                                   "/work/growth.map    ! SS Map file",
                                                   t + "BS1B2025.CSV    ! Output CSV file",
                                                   "nlv  ! No levels results",
                                                   "sss  ! Write Short SS file",
                                                   " ",
                                                   " ",
                                                   wd + "bs1b-2026    ! Sl4 file",
                                                   "c  ! just the cum column",
                                                   "y  ! use SS mapping file",
                                                   "/work/growth.map    ! SS Map file",
                                                   t + "BS1B2026.CSV    ! Output CSV file"}));

    // One year: no "mor"; sssol form.
    job.FirstSSYear[2] = job.LastSSYear[2] = 2;
    auto s = writeCsvScript(c, JobKind::SsSol, 2);
    ASSERT_TRUE(s);
    EXPECT_EQ(lines(*s), (std::vector<std::string>{
                             "bat", "rpt", t + "BR1Rsssol.rpt", " ", wd + "bs1b-br1r-2025    ! Sl4 file",
                             "c  ! just the cum column", "n  ! do not use HAR mapping file",
                             "xx.xx  ! HAR mapping file created", t + "BR1R2025.rsl    ! Output SOL file"}));
}

TEST_F(ScriptsTest, AccumulationScriptsAndSequenceFiles) {
    wholeJob();
    ScriptContext c = ctx();
    c.opt.arithmeticNotFatal = true;
    c.opt.subtotals = true;
    auto w = writeAccumulationScripts(c, JobKind::Aggrex, 1);
    ASSERT_TRUE(w) << w.message();
    ASSERT_EQ(w->size(), 2u);
    const std::string t = tmp + "/";
    EXPECT_EQ((*w)[0], t + "BS1B-ssy.st5");
    EXPECT_EQ(lines((*w)[1]),
              (std::vector<std::string>{
                  "bat", "sub  ! accumulate subtotals", "anf  ! Arithmetic problems not fatal", "rpt",
                  t + "BS1B-ssc.rpt", "acc", " ", "3   ! no files", wd + "bs1b-2024    ! relevant SL4 file",
                  t + "BS1B2024.CSV    ! Input CSV file", t + "BS1B2025.CSV    ! Input CSV file",
                  t + "BS1B2026.CSV    ! Input CSV file", wd + "BS1B-ssc.csv   ! Output file"}));
    EXPECT_EQ(lines(wd + "bs1b.seq"),
              (std::vector<std::string>{"3 1", "bs1b-2024.sl4", "bs1b-2025.sl4", "bs1b-2026.sl4"}));
}

TEST_F(ScriptsTest, PolicyStepsAlsoWriteDeviationScripts) {
    wholeJob(2);
    ScriptContext c = ctx(2);
    c.opt.yearOnYearDiffs = true;
    auto w = writeAccumulationScripts(c, JobKind::Aggrex, 3);
    ASSERT_TRUE(w) << w.message();
    const std::string t = tmp + "/";
    ASSERT_EQ(w->size(), 4u);
    EXPECT_EQ((*w)[2], t + "BS1B-BR1R-PL1P-devy.st6");
    EXPECT_EQ(lines((*w)[3]),
              (std::vector<std::string>{"bat", "rpt", t + "BS1B-BR1R-PL1P-devc.rpt", "sol",
                                        wd + "bs1b-br1r-pl1p-2025", " ", wd + "BS1B-BR1R-ssy.csv",
                                        wd + "BS1B-BR1R-PL1P-ssy.csv",
                                        wd + "BS1B-BR1R-PL1P-devc.csv   ! Output file"}));
    EXPECT_EQ(lines((*w)[2])[3], "nac");
    // The sequence files of the policy: its own solutions, then the
    // comparison run's followed by its own.
    EXPECT_EQ(lines(wd + "bs1b-br1r-pl1p-dev.seq"),
              (std::vector<std::string>{"2 2", "bs1b-br1r-2025.sl4", "bs1b-br1r-2026.sl4",
                                        "bs1b-br1r-pl1p-2025.sl4", "bs1b-br1r-pl1p-2026.sl4"}));
    EXPECT_EQ(lines(wd + "bs1b-br1r-pl1p.seq")[0], "2 1");

    auto cs = writeAccumulationScripts(c, JobKind::Cumsol, 3);
    ASSERT_TRUE(cs);
    ASSERT_EQ(cs->size(), 2u);
    EXPECT_EQ((*cs)[1], t + "BS1B-BR1R-PL1P-devcsol.st6");
    EXPECT_EQ(lines((*cs)[1]),
              (std::vector<std::string>{"bat", "rpt", t + "BS1B-BR1R-PL1P-devcsol.rpt", "dif", " ",
                                        wd + "bs1b-br1r-pl1p-2025", wd + "BS1B-BR1R-ssc.rsl",
                                        wd + "BS1B-BR1R-PL1P-ssc.rsl",
                                        wd + "BS1B-BR1R-PL1P-devc.rsl   ! Output file"}));
}

TEST_F(ScriptsTest, AbbreviatedJobsAndPyOnlyRuns) {
    wholeJob();
    ScriptContext c = ctx();
    c.opt.abbreviated = true;
    auto w = writeAccumulationScripts(c, JobKind::Aggrex, 1);
    ASSERT_TRUE(w);
    EXPECT_EQ(w->size(), 1u) << "no cum script with abbreviated jobs";
    // A comparison run with only a "py" range gets only "py" scripts, named
    // like "yony" and "cum" over that range.
    job.DoSS[2] = false;
    job.FirstSSYear[2] = 5;
    job.LastSSYear[2] = 0;
    job.DoPY[2] = true;
    job.PYFirstYear[2] = 2;
    job.PYLastYear[2] = 3;
    auto py = writeAccumulationScripts(c, JobKind::Aggrex, 2);
    ASSERT_TRUE(py);
    ASSERT_EQ(py->size(), 1u);
    EXPECT_EQ((*py)[0], tmp + "/BS1B-BR1R-ssy-2025-2026.st5");
    auto pyc = writeAccumulationScripts(c, JobKind::Cumsol, 2);
    ASSERT_TRUE(pyc);
    ASSERT_EQ(pyc->size(), 1u);
    EXPECT_EQ((*pyc)[0], tmp + "/BS1B-BR1R-ssc-2025-2026sol.st5");
    EXPECT_EQ(lines((*pyc)[0])[3], "cml");
}

TEST_F(ScriptsTest, NoRerunDeviationsCompareWithTheBaseFromThePolicyStart) {
    wholeJob(2);
    job.DoSS[2] = false;
    ScriptContext c = ctx(2, true);
    auto w = writeAccumulationScripts(c, JobKind::Aggrex, 3);
    ASSERT_TRUE(w) << w.message();
    std::vector<std::string> dev = lines(w->back());
    EXPECT_EQ(dev[6], wd + "BS1B-ssy-2025-2026.csv");
    EXPECT_EQ(dev[7], wd + "BS1B-PL1P-ssy.csv");
}

TEST_F(ScriptsTest, SolAndSolpolScripts) {
    ScriptContext c = ctx();
    auto s = writeSolScript(c, 2, 1);
    ASSERT_TRUE(s);
    const std::string t = tmp + "/";
    EXPECT_EQ(*s, t + "BS1B2025st7.st7");
    EXPECT_EQ(lines(*s),
              (std::vector<std::string>{
                  "bat", "rpt", t + "BS1B2025st7.rpt", "wsi", "nlv  ! No levels results", " ",
                  wd + "bs1b-2025    ! Sl4 file", "c  ! the cum column", "n  ! do not use HA mapping file",
                  t + "BS1B2025.MPX    ! HA Map file", wd + "bs1b-2025.sli    ! Output SLI file",
                  wd + "bs1b-2025.sol    ! Output SOL file"}));
    auto p = writeSolpolScript(c, 1);
    ASSERT_TRUE(p);
    EXPECT_EQ(lines(*p), (std::vector<std::string>{
                             "bat", "rpt", t + "BR1R2024st8.rpt", "nlv  ! No levels results", " ",
                             wd + "bs1b-2024    ! Sl4 file", "c  ! the cum column",
                             "n  ! do not use HA mapping file", t + "PL1P2024.MPZ    ! HA Map file",
                             wd + "bs1b-br1r-2024.rsl    ! Output .RSL (SOL) file"}));
}

TEST_F(ScriptsTest, PartFilesAgreeWithTheScripts) {
    wholeJob();
    ScriptContext c = ctx();
    c.programDir = "/suite";
    auto agg = partFiles(c, part("aggrex", "cum", 1, 4), "/slot");
    ASSERT_TRUE(agg);
    EXPECT_EQ(agg->program, "/suite/aggrexa.exe");
    EXPECT_EQ(agg->stdinFile, tmp + "/BS1B-ssc.st5");
    EXPECT_EQ(agg->logFile, tmp + "/BS1B-ssc.log");
    EXPECT_EQ(agg->outputFile, wd + "BS1B-ssc.csv");
    EXPECT_EQ(agg->stepLogFile, wd + "BS1B-ss.log");
    auto cum = partFiles(c, part("cumsol", "cum", 1, 4), "/slot");
    ASSERT_TRUE(cum);
    EXPECT_EQ(cum->logFile, tmp + "/BS1B-sscsol.log");
    EXPECT_EQ(cum->outputFile, wd + "BS1B-ssc.rsl");
    auto csv = partFiles(c, part("csv", "csv", 2, 4), "/slot");
    ASSERT_TRUE(csv);
    EXPECT_EQ(csv->stdinFile, tmp + "/BR1Rcsv.st4");
    EXPECT_EQ(csv->outputFile, perYearCsvFile(c, 3, 2));
    auto sol = partFiles(c, part("sim", "sol", 1, 2), "/slot");
    ASSERT_TRUE(sol);
    EXPECT_EQ(sol->dir, tmp);
    EXPECT_EQ(sol->outputFile, wd + "bs1b-2025.sol");
    EXPECT_EQ(sol->stepLogFile, wd + "bs1b-2025.log");
    auto bot = partFiles(c, part("bot", "sectra1", 2, 1), "/slot");
    ASSERT_TRUE(bot);
    EXPECT_EQ(bot->outputFile, wd + "bs1b-br1r-2024.bot");
    EXPECT_EQ(bot->stepLogFile, wd + "bs1b-br1r-2024-bot.log");
    EXPECT_EQ(bot->dir, "/slot");
    EXPECT_FALSE(partFiles(c, part("sim", "env", 1, 1), "/slot"));
    EXPECT_FALSE(partFiles(c, part("bot", "sim", 2, 1), "/slot"));
    EXPECT_FALSE(partFiles(c, part("", "", 1, 4), "/slot"));
}

// Every part that reads a stored input someone else writes reads exactly the
// file written: the model program's and the BOT step's inputs as
// `WriteRunBat` writes them, the conversions' as the script writers do.
TEST_F(ScriptsTest, EveryPartReadsTheStoredInputThatIsWritten) {
    wholeJob();
    // No data files and no closure or shock files: the environment's
    // command file needs none.
    rec.NumFiles = 0;
    for (int row = -1; row <= kMaxYears; ++row)
        for (int col = 1; col <= 4; ++col) rec.GridStem(row, col) = "";
    ScriptContext c = ctx();
    c.modelProgram = wd + "growth.exe";
    c.programDir = "/suite";
    ScriptedDialogs dlg;
    auto locate = [](std::string_view name) { return "/suite/" + std::string(name) + "a.exe"; };
    for (bool solForShocks : {false, true}) {
        SCOPED_TRACE(solForShocks ? "SOL files for shocks" : "shocks from the Base solution");
        CmfRequest req;
        req.modelProgram = c.modelProgram;
        req.sim = 2;
        req.run = 2;
        auto bat = WriteRunBat(rec, req, tmp, solForShocks, locate, dlg);
        ASSERT_TRUE(bat) << bat.message();
        auto files = [&](const char* name, const char* jobPart) {
            auto f = partFiles(c, part(name, jobPart, 2, 2), "/slot");
            EXPECT_TRUE(f) << name << "/" << jobPart;
            return f ? *f : PartFiles{};
        };
        const PartFiles sim = files("sim", "sim");
        EXPECT_EQ(sim.stdinFile, bat->simSti);
        EXPECT_EQ(sim.program, c.modelProgram);
        EXPECT_EQ(sim.dir, "/slot");
        EXPECT_TRUE(fileExists(sim.stdinFile));
        // The sim's report is the one its stored input asks for.
        EXPECT_EQ(lines(sim.stdinFile).at(2), sim.reportFile);

        const PartFiles env = files("bot", "env");
        EXPECT_EQ(env.stdinFile, bat->envSti);
        EXPECT_EQ(env.program, c.modelProgram);
        if (!solForShocks) {
            const PartFiles map = files("bot", "tellur1");
            EXPECT_EQ(map.stdinFile, bat->mapSti);
            EXPECT_EQ(map.program, bat->tellur);
            EXPECT_EQ(lines(map.stdinFile).at(2), map.reportFile);
            // The map the map part writes is the one the BOT part reads.
            const std::vector<std::string> botLines = lines(bat->botSti);
            EXPECT_NE(std::find(botLines.begin(), botLines.end(), map.outputFile + "    ! SS Map file"),
                      botLines.end());
        }
        const PartFiles last = files("bot", solForShocks ? "tellur2" : "sectra1");
        EXPECT_EQ(last.stdinFile, bat->botSti);
        EXPECT_EQ(last.program, solForShocks ? bat->tellur : bat->sectra);
        EXPECT_EQ(lines(last.stdinFile).at(2), last.reportFile);
        for (const PartFiles* f : {&env, &last}) {
            EXPECT_TRUE(fileExists(f->stdinFile)) << f->stdinFile;
            EXPECT_EQ(f->logFile, changeExt(f->stdinFile, ".log"));
            EXPECT_EQ(f->reportFile, changeExt(f->stdinFile, ".rpt"));
        }
    }
    // The conversions' scripts.
    auto solScript = writeSolScript(c, 2, 1);
    ASSERT_TRUE(solScript);
    auto sol = partFiles(c, part("sim", "sol", 1, 2), "/slot");
    ASSERT_TRUE(sol);
    EXPECT_EQ(sol->stdinFile, *solScript);
    EXPECT_EQ(lines(*solScript).at(2), sol->reportFile);
    auto solpolScript = writeSolpolScript(c, 2);
    ASSERT_TRUE(solpolScript);
    auto solpol = partFiles(c, part("bot", "solpol", 2, 2), "/slot");
    ASSERT_TRUE(solpol);
    EXPECT_EQ(solpol->stdinFile, *solpolScript);
    EXPECT_EQ(lines(*solpolScript).at(2), solpol->reportFile);
    auto csvScript = writeCsvScript(c, JobKind::SsSol, 3);
    ASSERT_TRUE(csvScript);
    auto sssol = partFiles(c, part("sssol", "sssol", 3, 4), "/slot");
    ASSERT_TRUE(sssol);
    EXPECT_EQ(sssol->stdinFile, *csvScript);
    EXPECT_EQ(lines(*csvScript).at(2), sssol->reportFile);
}

}  // namespace
}  // namespace vdln
