// Bad input to the demonstration suite programs: every program writes a
// report with Status=error and a useful Error, and leaves no output under
// the output name.  Also the model program's release check and the other
// single-purpose modes.

#include <sys/stat.h>

#include "base/paths.h"
#include "base/strutil.h"
#include "results/accsummary.h"
#include "suiteharness.h"

namespace vdln::testing::suitetest {
namespace {

class SuiteErrors : public TempDirTest {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        app = path("app");
        ASSERT_EQ(runIn(dir(), binPath("vardelon-demo"), {app}), 0);
    }
    std::string at(const std::string& name) const { return app + "/" + name; }

    /// A Base command file for 2024 with the given closure and shock lines.
    void writeCmf(const std::string& name, const std::vector<std::string>& body) {
        std::vector<std::string> L{"auxiliary files = " + at("growth") + ";",
                                   "Solution file = " + at("out") + " ;",
                                   "Method = Johansen;",
                                   "Steps = 1;",
                                   "verbal description = autosim BS1B2024;",
                                   "File BASEDATA = " + at("BASE2023.HAR") + " ; ! updated input",
                                   "File PARAMS = " + at("PARAMS.HAR") + " ; ! constant input",
                                   "File SUMMARY = " + at("sum.txt") + " ; ! output",
                                   "updated file BASEDATA = " + at("upd.har") + ";"};
        L.insert(L.end(), body.begin(), body.end());
        writeLines(at(name), L);
    }

    /// Runs a program on stored-input lines; returns its report.
    std::map<std::string, std::string> run(const std::string& exe, const std::vector<std::string>& sti) {
        writeLines(at("job.sti"), sti);
        runSuite(app, exe, at("job.sti"));
        return readReport(at("job.rpt"));
    }

    std::string app;
};

TEST_F(SuiteErrors, ModelProgramRefusesBadCommandFiles) {
    struct Case {
        const char* name;
        std::vector<std::string> body;
        const char* errorPart;
    };
    const std::vector<Case> cases{
        {"good closure and shocks", {"exogenous x l t ;", "rest endogenous ;", "shock x = uniform 3 ;"}, ""},
        {"unknown statement",
         {"exogenous x l t ;", "rest endogenous ;", "frobnicate x ;"},
         "Unknown statement"},
        {"singular closure", {"exogenous k l t ;", "rest endogenous ;"}, "singular"},
        {"too few exogenous", {"exogenous x l ;", "rest endogenous ;"}, "exactly 9"},
        {"shocked endogenous",
         {"exogenous x l t ;", "rest endogenous ;", "shock a = uniform 1 ;"},
         "a(AGR) is shocked but it is endogenous"},
        {"malformed number",
         {"exogenous x l t ;", "rest endogenous ;", "shock x = uniform 3..1 ;"},
         "Malformed number \"3..1\""},
        {"wrong number of values",
         {"exogenous x l t ;", "rest endogenous ;", "shock l = 1 2 ;"},
         "2 shock values"},
        {"unknown element", {"exogenous x l t ;", "rest endogenous ;", "shock x(\"MIN\") = 1 ;"}, "MIN"},
        {"shocked twice",
         {"exogenous x l t ;", "rest endogenous ;", "shock x = uniform 1 ;", "shock x(\"MAN\") = 2 ;"},
         "shocked twice"},
        {"missing shock file",
         {"exogenous x l t ;", "rest endogenous ;", "shock x = file \"nothere.har\" header \"XSHK\" ;"},
         "nothere.har does not exist"},
        {"statement without semicolon", {"exogenous x l t ;", "rest endogenous"}, "does not end with"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        (void)deleteFile(at("out.sl4"));
        (void)deleteFile(at("upd.har"));
        writeCmf("t.cmf", c.body);
        auto rpt = run("growth.exe", {"bat", "rpt", at("job.rpt"), "cmf", at("t.cmf")});
        EXPECT_EQ(rpt["SVVer Large"], "80000");
        EXPECT_EQ(rpt["Fortran Compiler"], "gfortran");
        EXPECT_EQ(rpt["Log file"], at("job.log"));
        if (std::string(c.errorPart).empty()) {
            EXPECT_EQ(rpt["Status"], "ok") << rpt["Error"];
            EXPECT_TRUE(fileExists(at("out.sl4")));
            continue;
        }
        EXPECT_EQ(rpt["Status"], "error");
        EXPECT_NE(rpt["Error"].find(c.errorPart), std::string::npos) << rpt["Error"];
        EXPECT_FALSE(fileExists(at("out.sl4")));
        EXPECT_FALSE(fileExists(at("upd.har")));
    }
}

TEST_F(SuiteErrors, ShocksAddUpWhateverTheOrderAndReadFiles) {
    // ashock before shock, a second ashock, and a shock read from a file.
    auto xshk = ReadHarFile(at("BASE2023.HAR"));
    ASSERT_TRUE(xshk.isOk());
    writeCmf("t.cmf",
             {"exogenous x l t ;", "rest endogenous ;", "ashock t(\"MAN\") = 4 ;", "shock t = 1 2 3 ;",
              "ashock t(MAN) = 6 ;", "shock l = file \"" + at("BASE2023.HAR") + "\" header \"INVS\" ;"});
    auto rpt = run("growth.exe", {"bat", "rpt", at("job.rpt"), "cmf", at("t.cmf")});
    ASSERT_EQ(rpt["Status"], "ok") << rpt["Error"];
    auto t = harVariable(at("out.sl4"), "t");
    ASSERT_EQ(t.size(), 3u);
    EXPECT_FLOAT_EQ(t[0], 1);
    EXPECT_FLOAT_EQ(t[1], 12);
    EXPECT_FLOAT_EQ(t[2], 3);
    auto l = harVariable(at("out.sl4"), "l");
    ASSERT_EQ(l.size(), 3u);
    EXPECT_FLOAT_EQ(l[1], 90);  // INVS("MAN")
    // a = x - ALPH*k - (1 - ALPH)*l + 0.5*t with x = 0
    YearData d = firstYearData();
    Results given{};
    given[9] = 30, given[10] = 90, given[11] = 110, given[12] = 1, given[13] = 12, given[14] = 3;
    const Results want = solveByHand(d, true, given);
    auto a = harVariable(at("out.sl4"), "a");
    ASSERT_EQ(a.size(), 3u);
    for (int k = 0; k < 3; ++k) expectNear(static_cast<float>(want[3 + k]), a[k], "a");
}

TEST_F(SuiteErrors, SolFileShocksReproduceTheBase) {
    // A Base solution, its SOL-format results ("solpol"), the policy
    // closure's environment, and the BOT file that reads the results file.
    writeCmf("base.cmf",
             {"exogenous x l t ;", "rest endogenous ;", "shock x = uniform 3 ;", "shock l = uniform 1 ;"});
    ASSERT_EQ(run("growth.exe", {"bat", "rpt", at("job.rpt"), "cmf", at("base.cmf")})["Status"], "ok");
    auto rpt = run("sectraa.exe",
                   {"bat", "rpt", at("job.rpt"), "nlv  ! No levels results", " ",
                    at("out") + "    ! Sl4 file", "c  ! the cum column", "n  ! do not use HA mapping file",
                    at("pl.MPZ") + "    ! HA Map file", at("res.rsl") + "    ! Output .RSL (SOL) file"});
    ASSERT_EQ(rpt["Status"], "ok") << rpt["Error"];
    writeLines(at("env.cmf"),
               {"auxiliary files = " + at("growth") + ";", "save environment file " + at("pol") + " ;",
                "nds = yes ;", "nwr = yes ;", "neq = yes ;",
                "File BASEDATA = " + at("BASE2023.HAR") + " ; ! updated input",
                "File PARAMS = " + at("PARAMS.HAR") + " ; ! constant input", "exogenous a l ;",
                "exogenous t(\"AGR\") t(SER) ;", "exogenous x(\"MAN\") ;", "rest endogenous ;"});
    ASSERT_EQ(run("growth.exe", {"bat", "rpt", at("job.rpt"), "cmf", at("env.cmf")})["Status"], "ok");
    rpt = run("tellura.exe",
              {"bat", "rpt", at("job.rpt"), " ", "e    ! environment file", at("pol") + "    ! EN4 file name",
               "b    ! write bot file", at("res") + "    ! Output BOT file",
               at("res.rsl") + "    ! Sol file to use", "x  ! just exogenous variables"});
    ASSERT_EQ(rpt["Status"], "ok") << rpt["Error"];
    auto bot = readTextLines(at("res.bot"));
    ASSERT_TRUE(bot.isOk());
    ASSERT_EQ(bot.value().size(), 6u);
    EXPECT_EQ(bot.value()[2], "shock a = file \"" + at("res.rsl") + "\" header \"0002\" ;");
    EXPECT_EQ(bot.value()[4].rfind("shock t(\"AGR\") = ", 0), 0u) << bot.value()[4];

    // The rerun with that closure and these shocks gives the Base's x.
    auto base = harVariable(at("out.sl4"), "x");
    std::vector<std::string> body{"exogenous a l t(AGR) t(SER) x(MAN) ;", "rest endogenous ;"};
    body.insert(body.end(), bot.value().begin(), bot.value().end());
    writeCmf("rerun.cmf", body);
    (void)deleteFile(at("out.sl4"));
    rpt = run("growth.exe", {"bat", "rpt", at("job.rpt"), "cmf", at("rerun.cmf")});
    ASSERT_EQ(rpt["Status"], "ok") << rpt["Error"];
    auto rerun = harVariable(at("out.sl4"), "x");
    ASSERT_EQ(base.size(), 3u);
    ASSERT_EQ(rerun.size(), 3u);
    for (int k = 0; k < 3; ++k) expectNear(base[k], rerun[k], "x");
}

TEST_F(SuiteErrors, EveryMethodGivesTheSameResultsAndReadableAccuracySummaries) {
    struct Case {
        const char* name;
        std::vector<std::string> method;
        int entries;  // variables summaries in the log (0: none)
        bool overall;
    };
    const std::vector<Case> cases{
        {"Johansen", {"Method = Johansen;", "Steps = 1;"}, 0, false},
        {"Euler 3 solutions, 2 subintervals",
         {"Method = Euler;", "Steps = 3 4 5;", "subintervals = 2;"},
         3,
         true},
        {"Midpoint with automatic accuracy",
         {"Method = Midpoint;", "Steps = 2 4 6;", "automatic accuracy = yes;", "accuracy figures = 5;",
          "accuracy percent = 90;", "minimum subinterval length = 1.0E-03;",
          "minimum subinterval fails = stop;", "accuracy criterion = Data;"},
         2,
         true},
        {"Gragg 2 solutions", {"Method = Gragg;", "Steps = 2 4;"}, 0, false},
    };
    std::vector<float> first;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> body = c.method;
        body.insert(body.end(),
                    {"exogenous x l t ;", "rest endogenous ;", "shock x = uniform 3 ;", "shock l = 1 2 3 ;"});
        writeCmf("m.cmf", body);
        auto rpt = run("growth.exe", {"bat", "rpt", at("job.rpt"), "cmf", at("m.cmf")});
        ASSERT_EQ(rpt["Status"], "ok") << rpt["Error"];
        auto a = harVariable(at("out.sl4"), "a");
        ASSERT_EQ(a.size(), 3u);
        if (first.empty()) first = a;
        for (int k = 0; k < 3; ++k) expectNear(first[k], a[k], "a");
        AccSummary acc;
        Status read = GetAccSummary2(at("job.log"), 1, acc, 1, false, false);
        ASSERT_TRUE(read.isOk()) << read.message();
        EXPECT_EQ(acc.entryCount, c.entries);
        EXPECT_EQ(acc.overall, c.overall);
        if (c.overall) {
            EXPECT_EQ(acc.entry(acc.overallIndex).variables.counts[6], 15);
            EXPECT_EQ(acc.entry(acc.overallIndex).data.counts[6], 12);
        }
    }
}

TEST_F(SuiteErrors, ClosureCheckAndEnvironmentModes) {
    const std::vector<std::string> check{"nds = yes ;", "nwr = yes ;", "neq = yes ;", "nas = yes ;",
                                         "range test initial values = no ;"};
    auto body = std::vector<std::string>{"exogenous a l t ;", "rest endogenous ;",
                                         "save Environment file " + at("pol") + " ;"};
    body.insert(body.end(), check.begin(), check.end());
    writeCmf("c.cmf", body);
    auto rpt = run("growth.exe", {"rpt", at("job.rpt"), "cmf", at("c.cmf")});
    EXPECT_EQ(rpt["Status"], "ok") << rpt["Error"];
    EXPECT_TRUE(fileExists(at("pol.en4")));
    EXPECT_FALSE(fileExists(at("out.sl4")));  // a check writes no solution

    body = {"exogenous a k l ;", "rest endogenous ;"};
    body.insert(body.end(), check.begin(), check.end());
    writeCmf("c.cmf", body);
    rpt = run("growth.exe", {"rpt", at("job.rpt"), "cmf", at("c.cmf")});
    EXPECT_EQ(rpt["Status"], "error");
    EXPECT_NE(rpt["Error"].find("singular"), std::string::npos) << rpt["Error"];
}

TEST_F(SuiteErrors, ReleaseCheckReportsVersionAndStampProblems) {
    const std::vector<std::string> sti{"rpt", at("chkmodel.rpt"), " ", "xxxxxx"};
    writeLines(at("chkmodel.sti"), sti);
    ASSERT_EQ(runIn(app, at("growth.exe"), {"-sti", at("chkmodel.sti"), "-log", at("chkmodel.log")}), 0);
    auto rpt = readReport(at("chkmodel.rpt"));
    EXPECT_EQ(rpt["Status"], "ok");
    EXPECT_EQ(rpt["SVVer Large"], "80000");
    EXPECT_EQ(rpt["Release"], "8.0");
    EXPECT_EQ(rpt["PRVer Integer"], "79000");
    EXPECT_EQ(rpt["Log file"], at("chkmodel.log"));

    // An auxiliary table file made at another time.
    auto f = NewHarFile("test", "", false, false);
    ASSERT_TRUE(f.isOk());
    auto h = makeStringHeader("DTXT", "stamp", {"GROWTH model made 2026-12-02 at 12:00:00"});
    ASSERT_TRUE(h.isOk());
    ASSERT_TRUE(addHeader(f.value(), std::move(h.value())).isOk());
    ASSERT_TRUE(WriteHarFile(at("growth.axt"), "test", "", f.value()).isOk());
    EXPECT_EQ(runIn(app, at("growth.exe"), {"-sti", at("chkmodel.sti"), "-log", at("chkmodel.log")}), 1);
    rpt = readReport(at("chkmodel.rpt"));
    EXPECT_EQ(rpt["Status"], "error");
    EXPECT_EQ(rpt["Error"], "E-AX date problem");
    EXPECT_EQ(rpt["SVVer Large"], "80000");
}

TEST_F(SuiteErrors, EveryProgramReportsBadInput) {
    struct Case {
        const char* name;
        const char* exe;
        std::vector<std::string> sti;
        const char* errorPart;
        const char* output;  // must not exist afterwards
    };
    const std::string rpt = at("job.rpt");
    const std::vector<Case> cases{
        {"growth: missing command file",
         "growth.exe",
         {"bat", "rpt", rpt, "cmf", at("none.cmf")},
         "none.cmf does not exist",
         ""},
        {"growth: unexpected answer",
         "growth.exe",
         {"bat", "rpt", rpt, "cmd", at("x.cmf")},
         "Unexpected answer \"cmd\"",
         ""},
        {"sectraa: missing solution",
         "sectraa.exe",
         {"bat", "rpt", rpt, "nlv", " ", at("nosol"), "c", "n", "xx.xx", at("out.rsl")},
         "nosol.sl4 does not exist",
         "out.rsl"},
        {"sectraa: unknown option",
         "sectraa.exe",
         {"bat", "rpt", rpt, "qqq", " ", at("nosol")},
         "Unexpected answer \"qqq\"",
         ""},
        {"sectraa: stored input ends early",
         "sectraa.exe",
         {"bat", "rpt", rpt, "nlv", " ", at("nosol"), "c"},
         "ended after line 7",
         ""},
        {"tellura: missing environment",
         "tellura.exe",
         {"bat", "rpt", rpt, " ", "e", at("noenv"), "s", at("out.map"), "x"},
         "noenv.en4 does not exist",
         "out.map"},
        {"tellura: neither map nor bot",
         "tellura.exe",
         {"bat", "rpt", rpt, " ", "e", at("noenv"), "q"},
         "Unexpected answer \"q\"",
         ""},
        {"aggrexa: malformed count",
         "aggrexa.exe",
         {"bat", "rpt", rpt, " ", "six   ! no files"},
         "Malformed number of files \"six\"",
         ""},
        {"aggrexa: missing CSV",
         "aggrexa.exe",
         {"bat", "rpt", rpt, "acc", " ", "1", at("nosol"), at("no.csv"), at("out.csv")},
         "does not exist",
         "out.csv"},
        {"diveroa: missing tables",
         "diveroa.exe",
         {"bat", "rpt", rpt, "sol", at("nosol"), " ", at("a.csv"), at("b.csv"), at("out.csv")},
         "does not exist",
         "out.csv"},
        {"mergixa: neither cml nor dif", "mergixa.exe", {"bat", "rpt", rpt, " ", at("nosol")}, "cml", ""},
        {"mergixa: missing results",
         "mergixa.exe",
         {"bat", "rpt", rpt, "dif", " ", at("nosol"), at("a.rsl"), at("b.rsl"), at("out.rsl")},
         "does not exist",
         "out.rsl"},
        {"pryxo: missing table file",
         "pryxo.exe",
         {"bat", "rpt", rpt, " ", "t", at("none.axt"), " "},
         "none.axt does not exist",
         ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        (void)deleteFile(rpt);
        auto report = run(c.exe, c.sti);
        EXPECT_EQ(report["Status"], "error");
        EXPECT_NE(report["Error"].find(c.errorPart), std::string::npos) << report["Error"];
        EXPECT_EQ(report["Log file"], at("job.log"));
        if (*c.output) {
            EXPECT_FALSE(fileExists(at(c.output)));
        }
    }
}

TEST_F(SuiteErrors, MissingStoredInputIsReportedBesideIt) {
    EXPECT_EQ(runSuite(app, "aggrexa.exe", at("gone.st5")), 1);
    auto rpt = readReport(at("gone.rpt"));
    EXPECT_EQ(rpt["Status"], "error");
    EXPECT_NE(rpt["Error"].find("gone.st5 does not exist"), std::string::npos) << rpt["Error"];
}

TEST_F(SuiteErrors, PryxoExtractsTheModelSourceAndTheTemporaryDirectoryCheckWorks) {
    auto rpt = run("pryxo.exe", {"bat", "rpt", at("job.rpt"), " ", "t", at("growth.axt"), " "});
    ASSERT_EQ(rpt["Status"], "ok") << rpt["Error"];
    EXPECT_EQ(rpt["Output file used"], "yes");
    EXPECT_EQ(rpt["Output file stored"], "yes");
    auto extracted = readTextLines(rpt["Output file"]);
    auto source = readTextLines(at("growth.tab"));
    ASSERT_TRUE(extracted.isOk() && source.isOk());
    EXPECT_EQ(extracted.value(), source.value());

    writeLines(at("tdcheck.sti"), {"bat", "rpt", at("tdcheck.rpt"), "tdc  ! Temporary Directory check"});
    EXPECT_EQ(runIn(app, binPath("sectraa.exe"), {"-sti", at("tdcheck.sti"), "-los", at("tdcheck.log")}), 0);
    EXPECT_EQ(readReport(at("tdcheck.rpt"))["Status"], "ok");
}

}  // namespace
}  // namespace vdln::testing::suitetest
