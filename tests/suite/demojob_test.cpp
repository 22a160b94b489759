// Runs the demonstration suite programs by hand, in the order a job runs
// them, on the "growth" demo application, and compares every output with
// values computed here from the model's equations and the demo inputs.

#include <sys/stat.h>

#include <cmath>
#include <cstdio>

#include "base/paths.h"
#include "base/strutil.h"
#include "results/accsummary.h"
#include "suiteharness.h"

namespace vdln::testing::suitetest {
namespace {

const char* const kVars[] = {"x", "a", "k", "l", "t"};
const char* const kInds[] = {"AGR", "MAN", "SER"};
const double kGrowth[] = {3.0, 2.8, 2.6, 2.4, 2.2, 2.0};

/// A value as a file stores it (a 4-byte real), for arithmetic in double.
double f32(double v) {
    return static_cast<double>(static_cast<float>(v));
}

std::vector<std::string> fileLines(const std::string& path) {
    auto lines = readTextLines(path);
    EXPECT_TRUE(lines.isOk()) << path;
    return lines ? lines.value() : std::vector<std::string>{};
}

/// A job over the demo application, written and run the way the job engine
/// does it, with long file names.
class DemoJob : public TempDirTest {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        app = path("app");
        tmp = path("tmp");
        ASSERT_EQ(mkdir(tmp.c_str(), 0755), 0);
        ASSERT_EQ(runIn(dir(), binPath("vardelon-demo"), {app}), 0);
    }

    std::string at(const std::string& name) const { return app + "/" + name; }
    std::string inTmp(const std::string& name) const { return tmp + "/" + name; }
    static int year(int i) { return 2023 + i; }
    static std::string ys(int i) { return std::to_string(year(i)); }

    /// Long stem of run r (1 Base, 2 Rerun, 3 Policy) in simulation i.
    static std::string stem(int r, int i) {
        const char* names[] = {"", "bs1b", "bs1b-br1r", "bs1b-br1r-pl1p"};
        return std::string(names[r]) + "-" + ys(i);
    }
    static std::string runStem(int r, int i) {
        const char* names[] = {"", "BS1B", "BR1R", "PL1P"};
        return std::string(names[r]) + ys(i);
    }

    /// BASEDATA read by simulation i of run r (first policy year 2).
    std::string dataIn(int r, int i) const {
        if (i == 1) return at("BASE2023.HAR");
        const int from = (r > 1 && i <= 2) ? 1 : r;
        return at("bas-" + stem(from, i - 1) + ".har");
    }

    std::vector<std::string> cmfHead(int r, int i, const std::string& path) const {
        std::vector<std::string> L{"! This Command file", "! " + path, "! was written by Vardelon"};
        L.push_back("auxiliary files = " + at("growth") + ";");
        if (r != 1) L.push_back("auto_shocks = no ;");
        L.push_back("Solution file = " + at(stem(r, i)) + " ;");
        L.push_back("UDC file = yes ;");
        L.insert(L.end(),
                 {"Method = Gragg;", "Steps = 2 4 6;", "subintervals = 1;", "automatic accuracy = no;"});
        L.push_back("verbal description = autosim " + runStem(r, i) + ";");
        L.push_back("File BASEDATA = " + dataIn(r, i) + " ; ! updated input");
        L.push_back("File PARAMS = " + at("PARAMS.HAR") + " ; ! constant input");
        L.push_back("File SUMMARY = " + at("sum-" + stem(r, i) + "-" + ys(i + 1) + ".txt") + " ; ! output");
        L.push_back("updated file BASEDATA = " + at("bas-" + stem(r, i) + ".har") + ";");
        L.push_back("intermediate extra data = " + runStem(r, i) + " ;");
        return L;
    }

    void appendFile(std::vector<std::string>& L, const std::string& marker, const std::string& name) const {
        L.push_back(" ");
        L.push_back("! Begin " + marker + " \"" + name + "\"");
        for (const auto& l : fileLines(at(name))) L.push_back(l);
        L.push_back("! End " + marker + " \"" + name + "\"");
        L.push_back(" ");
    }

    std::map<std::string, std::string> runSim(int r, int i, const std::vector<std::string>& cmf) {
        const std::string cmfPath = at(stem(r, i) + ".cmf");
        writeLines(cmfPath, cmf);
        const std::string sti = inTmp(stem(r, i) + "sim.sti");
        writeLines(sti, {"bat", "rpt", inTmp(stem(r, i) + "sim.rpt"), "cmf", cmfPath});
        EXPECT_EQ(runSuite(app, "growth.exe", sti), 0) << fileLines(inTmp(stem(r, i) + "sim.log")).back();
        return readReport(inTmp(stem(r, i) + "sim.rpt"));
    }

    void runBase(int i) {
        std::vector<std::string> cmf = cmfHead(1, i, at(stem(1, i) + ".cmf"));
        appendFile(cmf, "Period-specific Closure file", "BASE.CLS");
        cmf.insert(cmf.end(), {"!", "! The Base Case Shocks", "! --------------------", "!"});
        appendFile(cmf, "Period-Specific Shocks file", "B" + ys(i) + ".BSH");
        auto rpt = runSim(1, i, cmf);
        ASSERT_EQ(rpt["Status"], "ok") << rpt["Error"];
    }

    /// The BOT step of year i: environment, map, BOT file of the Base results.
    void runBot(int i) {
        const std::string s5 = "BR1" + ys(i).substr(2);
        const std::string L = inTmp(runStem(2, i));
        const std::string envSti = inTmp(s5 + "env.sti"), envCmf = inTmp(s5 + "env.cmf");
        std::vector<std::string> cmf{
            "auxiliary files = " + at("growth") + ";",
            "save environment file " + L + " ;",
            "nds = yes ;",
            "nwr = yes ;",
            "neq = yes ;",
            "File BASEDATA = " + dataIn(2, i) + " ; ! updated input",
            "File PARAMS = " + at("PARAMS.HAR") + " ; ! constant input",
            "File SUMMARY = " + at("sum-" + stem(2, i) + "-" + ys(i + 1) + ".txt") + " ; ! output"};
        appendFile(cmf, "Common Closure file", "POLICY.CLS");
        writeLines(envCmf, cmf);
        writeLines(envSti, {"bat", "rpt", inTmp(s5 + "env.rpt"), "cmf", envCmf});
        ASSERT_EQ(runSuite(app, "growth.exe", envSti), 0);
        ASSERT_EQ(readReport(inTmp(s5 + "env.rpt"))["Status"], "ok");
        ASSERT_TRUE(fileExists(L + ".en4"));

        const std::string st2 = inTmp(s5 + "st2.st2");
        writeLines(st2, {"bat", "rpt", inTmp(s5 + "st2.rpt"), " ", "e  ! Env file", L, "s  ! SS map",
                         L + ".map", "x  ! Just the exog ones"});
        ASSERT_EQ(runSuite(app, "tellura.exe", st2), 0);
        ASSERT_EQ(readReport(inTmp(s5 + "st2.rpt"))["Status"], "ok");
        EXPECT_EQ(fileLines(L + ".map"), (std::vector<std::string>{"a", "l", "t"}));

        const std::string st3 = inTmp(s5 + "st3.st3");
        writeLines(st3,
                   {"bat", "rpt", inTmp(s5 + "st3.rpt"), "nlv", "shk  ! Write SHK file", " ",
                    at(stem(1, i)) + "    ! Solution file", "c  ! the cum column", "y  ! use SS mapping file",
                    L + ".map" + "    ! SS Map file", at(stem(2, i) + ".bot") + "    ! Output BOT file"});
        ASSERT_EQ(runSuite(app, "sectraa.exe", st3), 0);
        ASSERT_EQ(readReport(inTmp(s5 + "st3.rpt"))["Status"], "ok");
    }

    /// Rerun (r = 2) or Policy (r = 3) simulation i: the top part and the BOT file.
    void runFromBot(int r, int i) {
        std::vector<std::string> cmf = cmfHead(r, i, at(stem(r, i) + ".cmf"));
        appendFile(cmf, "Common Closure file", "POLICY.CLS");
        if (r == 3 && (year(i) == 2025 || year(i) == 2026)) {
            cmf.insert(cmf.end(), {"!", "! The (Extra) Policy Shocks", "! -------------------------", "!"});
            appendFile(cmf, "Period-specific Policy Shocks file", "P" + ys(i) + ".PSH");
        }
        cmf.insert(cmf.end(), {"!", "! The Base Case Shocks", "! --------------------", "!"});
        for (const auto& l : fileLines(at(stem(2, i) + ".bot"))) cmf.push_back(l);
        auto rpt = runSim(r, i, cmf);
        ASSERT_EQ(rpt["Status"], "ok") << rpt["Error"];
    }

    Results readSolution(int r, int i) {
        Results out{};
        for (int v = 0; v < 5; ++v) {
            auto vals = harVariable(at(stem(r, i) + ".sl4"), kVars[v]);
            EXPECT_EQ(vals.size(), 3u);
            for (size_t k = 0; k < vals.size() && k < 3; ++k) out[v * 3 + k] = vals[k];
        }
        return out;
    }

    void checkYear(int r, int i, const Results& expected, const YearData& expectedData) {
        SCOPED_TRACE("run " + std::to_string(r) + " year " + ys(i));
        const Results got = readSolution(r, i);
        for (int c = 0; c < 15; ++c)
            expectNear(static_cast<float>(expected[c]), got[c],
                       std::string(kVars[c / 3]) + "(" + kInds[c % 3] + ")");
        const std::string upd = at("bas-" + stem(r, i) + ".har");
        const char* heads[] = {"CAPS", "INVS", "OUTP", "LABR"};
        const std::array<float, 3>* want[] = {&expectedData.CAPS, &expectedData.INVS, &expectedData.OUTP,
                                              &expectedData.LABR};
        for (int h = 0; h < 4; ++h) {
            auto vals = harReals(upd, heads[h]);
            ASSERT_EQ(vals.size(), 3u);
            for (int k = 0; k < 3; ++k) expectNear((*want[h])[k], vals[k], std::string(heads[h]) + kInds[k]);
        }
    }

    /// Runs the whole Base, and the Rerun and Policy from 2025, checking each
    /// year; leaves the expected yearly results for the spreadsheet tests.
    void runAllYears() {
        YearData data = firstYearData();
        std::vector<YearData> baseData{data};
        for (int i = 1; i <= 6; ++i) {
            Results given{};
            for (int k = 0; k < 3; ++k) {
                given[k] = static_cast<float>(kGrowth[i - 1]);
                given[9 + k] = 1;
            }
            const Results want = solveByHand(data, true, given);
            runBase(i);
            const YearData next = updateByHand(data, want);
            checkYear(1, i, want, next);
            expected[1][i] = want;
            data = next;
            baseData.push_back(data);
        }
        for (int r : {2, 3}) {
            YearData d = baseData[1];
            for (int i = 2; i <= 6; ++i) {
                if (r == 2) runBot(i);
                // The BOT file gives a, l and t the Base's values, as stored.
                Results given{};
                for (int k = 0; k < 3; ++k) {
                    given[3 + k] = static_cast<float>(expected[1][i][3 + k]);
                    given[9 + k] = static_cast<float>(expected[1][i][9 + k]);
                    given[12 + k] = 0;
                }
                if (r == 3 && (year(i) == 2025 || year(i) == 2026)) given[12 + 1] = 10;
                const Results want = solveByHand(d, false, given);
                runFromBot(r, i);
                const YearData next = updateByHand(d, want);
                checkYear(r, i, want, next);
                expected[r][i] = want;
                d = next;
            }
        }
    }

    std::string app, tmp;
    std::array<std::array<Results, 7>, 4> expected{};
};

TEST_F(DemoJob, BaseRerunAndPolicyGiveTheModelsNumbers) {
    runAllYears();
    if (HasFatalFailure()) return;
    // The Rerun reproduces the Base: same x and same updated data.
    for (int i = 2; i <= 6; ++i) {
        SCOPED_TRACE("year " + ys(i));
        for (int c = 0; c < 15; ++c) expectNear(readSolution(1, i)[c], readSolution(2, i)[c], "component");
        for (const char* h : {"CAPS", "INVS", "OUTP", "LABR"}) {
            auto b = harReals(at("bas-" + stem(1, i) + ".har"), h);
            auto rr = harReals(at("bas-" + stem(2, i) + ".har"), h);
            ASSERT_EQ(b.size(), rr.size());
            for (size_t k = 0; k < b.size(); ++k) expectNear(b[k], rr[k], h);
        }
    }
    // The Policy's x("MAN") is 5 lower in 2025 and 2026, and lower
    // investment keeps k("MAN") and x("MAN") lower afterwards.
    for (int i = 2; i <= 6; ++i) {
        SCOPED_TRACE("year " + ys(i));
        const Results rerun = readSolution(2, i), pol = readSolution(3, i);
        if (i == 2) {
            expectNear(rerun[1] - 5, pol[1], "x(MAN) 5 lower");
        } else if (i == 3) {
            // 5 lower from the tax, and lower again from the capital lost in 2025.
            EXPECT_LT(pol[1], rerun[1] - 5) << "x(MAN)";
            EXPECT_LT(pol[7], rerun[7]) << "k(MAN)";
        } else {
            EXPECT_LT(pol[7], rerun[7]) << "k(MAN)";
            EXPECT_LT(pol[1], rerun[1]) << "x(MAN)";
        }
        expectNear(rerun[0], pol[0], "x(AGR) unchanged");
    }
    // The BOT file holds the Base values of the exogenous variables of the
    // policy closure, readable as shock statements.
    const auto bot = fileLines(at(stem(2, 2) + ".bot"));
    int shocks = 0;
    for (const auto& line : bot) {
        if (line.rfind("shock ", 0) != 0) continue;
        ++shocks;
        auto words = split(line, ' ');
        const int v = line[6] == 'a' ? 1 : line[6] == 'l' ? 3 : 4;
        ASSERT_EQ(words.size(), 7u) << line;
        for (int k = 0; k < 3; ++k)
            expectNear(static_cast<float>(expected[1][2][v * 3 + k]), *parseDouble(words[3 + k]), line);
    }
    EXPECT_EQ(shocks, 3);
    // Summary and updated-coefficients files are written beside the solution.
    EXPECT_TRUE(fileExists(at("sum-" + stem(1, 1) + "-2025.txt")));
    EXPECT_TRUE(fileExists(at(stem(1, 1) + ".slc")));
    EXPECT_TRUE(fileExists(at(stem(1, 1) + ".udc")));
    // The accuracy summary of a three-solution method is read back by the
    // program's own log reader: every result agrees to 6 figures.
    AccSummary acc;
    ASSERT_TRUE(GetAccSummary2(inTmp(stem(1, 3) + "sim.log"), 1, acc, 1, false, true).isOk());
    EXPECT_EQ(acc.entryCount, 1);
    EXPECT_EQ(acc.entry(1).variables.counts[6], 15);
    EXPECT_EQ(acc.entry(1).data.counts[6], 12);
    EXPECT_EQ(acc.entry(1).variables.grade, 10);
}

TEST_F(DemoJob, SpreadsheetStepsAccumulateAndCompareTheRuns) {
    runAllYears();
    if (HasFatalFailure()) return;
    // Per-year CSV files of the Base through the results map (x, k, a).
    std::vector<std::string> st4{"bat", "rpt", inTmp("BS1Bcsv.rpt")};
    for (int i = 1; i <= 6; ++i) {
        if (i < 6) st4.push_back("mor");
        st4.insert(st4.end(), {"nlv  ! No levels results", "sss  ! Write Short SS file", " ", " ",
                               at(stem(1, i)) + "    ! Sl4 file", "c  ! just the cum column",
                               "y  ! use SS mapping file", at("growth.map") + "    ! SS Map file",
                               inTmp(stem(1, i) + ".CSV") + "    ! Output CSV file"});
    }
    writeLines(inTmp("BS1Bcsv.st4"), st4);
    ASSERT_EQ(runSuite(app, "sectraa.exe", inTmp("BS1Bcsv.st4")), 0);
    ASSERT_EQ(readReport(inTmp("BS1Bcsv.rpt"))["Status"], "ok");
    const int mapped[] = {0, 2, 1};  // x, k, a
    for (int i = 1; i <= 6; ++i) {
        const auto lines = fileLines(inTmp(stem(1, i) + ".CSV"));
        ASSERT_EQ(lines.size(), 10u);
        EXPECT_EQ(lines[0], "Variable," + ys(i));
        for (int m = 0; m < 3; ++m)
            for (int k = 0; k < 3; ++k) {
                const auto cells = split(lines[1 + m * 3 + k], ',');
                ASSERT_EQ(cells.size(), 2u);
                EXPECT_EQ(cells[0], std::string(kVars[mapped[m]]) + "(" + kInds[k] + ")");
                expectNear(static_cast<float>(expected[1][i][mapped[m] * 3 + k]), *parseDouble(cells[1]),
                           cells[0]);
            }
    }

    // Year-on-year and cumulative tables over 2024..2029.
    auto aggrex = [&](const std::string& name, int r, int first, bool cum) {
        std::vector<std::string> st5{"bat", "rpt", inTmp(name + ".rpt")};
        if (cum) st5.push_back("acc");
        st5.push_back(" ");
        st5.push_back(std::to_string(7 - first) + "   ! no files");
        st5.push_back(at(stem(r, first)) + "    ! relevant SL4 file");
        for (int i = first; i <= 6; ++i) st5.push_back(inTmp(stem(r, i) + ".CSV") + "    ! Input CSV file");
        st5.push_back(at(name + ".csv") + "   ! Output file");
        writeLines(inTmp(name + ".st5"), st5);
        EXPECT_EQ(runSuite(app, "aggrexa.exe", inTmp(name + ".st5")), 0);
        EXPECT_EQ(readReport(inTmp(name + ".rpt"))["Status"], "ok")
            << readReport(inTmp(name + ".rpt"))["Error"];
        return fileLines(at(name + ".csv"));
    };
    const auto yony = aggrex("bs1b-ssy", 1, 1, false);
    const auto cum = aggrex("bs1b-ssc", 1, 1, true);
    ASSERT_EQ(cum.size(), 10u);
    EXPECT_EQ(cum[0], "Variable,2024,2025,2026,2027,2028,2029");
    EXPECT_EQ(yony[0], cum[0]);
    for (int m = 0; m < 3; ++m)
        for (int k = 0; k < 3; ++k) {
            const auto yc = split(yony[1 + m * 3 + k], ','), cc = split(cum[1 + m * 3 + k], ',');
            ASSERT_EQ(cc.size(), 7u);
            double acc = 0;
            for (int i = 1; i <= 6; ++i) {
                const double v = static_cast<float>(expected[1][i][mapped[m] * 3 + k]);
                acc = 100 * ((1 + acc / 100) * (1 + v / 100) - 1);
                expectNear(v, *parseDouble(yc[i]), yc[0] + " yony " + ys(i));
                expectNear(acc, *parseDouble(cc[i]), cc[0] + " cum " + ys(i));
            }
        }

    // Per-year SOL-format results and the cumulative SOL file.
    std::vector<std::string> sssol{"bat", "rpt", inTmp("BS1Bsssol.rpt")};
    for (int i = 1; i <= 6; ++i) {
        if (i < 6) sssol.push_back("mor");
        sssol.insert(sssol.end(), {" ", at(stem(1, i)) + "    ! Sl4 file", "c  ! just the cum column",
                                   "n  ! do not use HAR mapping file", "xx.xx  ! HAR mapping file created",
                                   inTmp(stem(1, i) + ".rsl") + "    ! Output SOL file"});
    }
    writeLines(inTmp("BS1Bsssol.st4"), sssol);
    ASSERT_EQ(runSuite(app, "sectraa.exe", inTmp("BS1Bsssol.st4")), 0);
    std::vector<std::string> cml{"bat",           "rpt", inTmp("bs1b-sscumsol.rpt"),
                                 "cml",           " ",   at(stem(1, 1)) + "    ! relevant SL4 file",
                                 "6   ! no files"};
    for (int i = 1; i <= 6; ++i) cml.push_back(inTmp(stem(1, i) + ".rsl") + "    ! Input CSV file");
    cml.push_back(at("bs1b-sscum.rsl") + "   ! Output file");
    writeLines(inTmp("bs1b-sscumsol.st5"), cml);
    ASSERT_EQ(runSuite(app, "mergixa.exe", inTmp("bs1b-sscumsol.st5")), 0);
    ASSERT_EQ(readReport(inTmp("bs1b-sscumsol.rpt"))["Status"], "ok");
    for (int v = 0; v < 5; ++v) {
        const auto vals = harVariable(at("bs1b-sscum.rsl"), kVars[v]);
        ASSERT_EQ(vals.size(), 18u);
        for (int k = 0; k < 3; ++k) {
            double acc = 0;
            for (int i = 1; i <= 6; ++i) {
                acc = 100 * ((1 + acc / 100) * (1 + f32(expected[1][i][v * 3 + k]) / 100) - 1);
                expectNear(static_cast<float>(acc), vals[(i - 1) * 3 + k],
                           std::string(kVars[v]) + "(" + kInds[k] + ") cum rsl " + ys(i));
            }
        }
    }

    // Policy deviations from the Rerun over 2025..2029.
    for (int r : {2, 3}) {
        std::vector<std::string> s{"bat", "rpt", inTmp("csv" + std::to_string(r) + ".rpt")};
        for (int i = 2; i <= 6; ++i) {
            if (i < 6) s.push_back("mor");
            s.insert(s.end(), {"nlv", "sss", " ", " ", at(stem(r, i)), "c", "y", at("growth.map"),
                               inTmp(stem(r, i) + ".CSV")});
        }
        writeLines(inTmp("csv" + std::to_string(r) + ".st4"), s);
        ASSERT_EQ(runSuite(app, "sectraa.exe", inTmp("csv" + std::to_string(r) + ".st4")), 0);
    }
    // The deviation steps read the two runs' year-on-year tables.
    aggrex("bs1b-br1r-ssy-2025-2029", 2, 2, false);
    aggrex("bs1b-br1r-pl1p-ssy", 3, 2, false);
    auto divero = [&](bool yearOnYear, const std::string& out) {
        std::vector<std::string> st6{"bat", "rpt", inTmp("dev.rpt")};
        if (yearOnYear) st6.push_back("nac");
        st6.insert(st6.end(), {"sol", at(stem(3, 2)), " ", at("bs1b-br1r-ssy-2025-2029.csv"),
                               at("bs1b-br1r-pl1p-ssy.csv"), at(out) + "   ! Output file"});
        writeLines(inTmp("dev.st6"), st6);
        EXPECT_EQ(runSuite(app, "diveroa.exe", inTmp("dev.st6")), 0);
        EXPECT_EQ(readReport(inTmp("dev.rpt"))["Status"], "ok") << readReport(inTmp("dev.rpt"))["Error"];
        return fileLines(at(out));
    };
    const auto dev = divero(false, "bs1b-br1r-pl1p-devc.csv");
    const auto devy = divero(true, "bs1b-br1r-pl1p-devy.csv");
    ASSERT_EQ(dev.size(), 10u);
    ASSERT_EQ(devy.size(), 10u);
    EXPECT_EQ(dev[0], "Variable,2025,2026,2027,2028,2029");
    for (int m = 0; m < 3; ++m)
        for (int k = 0; k < 3; ++k) {
            const auto cells = split(dev[1 + m * 3 + k], ','), ycells = split(devy[1 + m * 3 + k], ',');
            ASSERT_EQ(cells.size(), 6u);
            ASSERT_EQ(ycells.size(), 6u);
            double c = 0, p = 0;
            for (int i = 2; i <= 6; ++i) {
                const double cy = f32(expected[2][i][mapped[m] * 3 + k]),
                             py = f32(expected[3][i][mapped[m] * 3 + k]);
                c = 100 * ((1 + c / 100) * (1 + cy / 100) - 1);
                p = 100 * ((1 + p / 100) * (1 + py / 100) - 1);
                expectNear(100 * ((1 + p / 100) / (1 + c / 100) - 1), *parseDouble(cells[i - 1]),
                           cells[0] + " " + ys(i));
                expectNear(100 * ((1 + py / 100) / (1 + cy / 100) - 1), *parseDouble(ycells[i - 1]),
                           ycells[0] + " year-on-year " + ys(i));
            }
        }
    // x("MAN") of the policy is below the rerun's from 2025 on.
    const auto xman = split(dev[2], ',');
    for (size_t c = 1; c < xman.size(); ++c) EXPECT_LT(*parseDouble(xman[c]), 0) << dev[2];
}

}  // namespace
}  // namespace vdln::testing::suitetest
