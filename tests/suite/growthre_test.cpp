// The forward-looking demonstration model growthre, driven by hand: single
// solves with hand-made expectation files, and whole sequences of
// iterations of the Base, the Rerun and the Policy prepared the way the
// rational-expectations iterations prepare them.  Every expected value is
// computed here from the model's equations, emulating each 4-byte store.

#include <sys/stat.h>
#include <sys/wait.h>

#include <cmath>
#include <cstdio>
#include <functional>

#include "base/dialogs.h"
#include "base/paths.h"
#include "base/strutil.h"
#include "doubles/scripteddialogs.h"
#include "formats/modelinfo.h"
#include "model/modelsel.h"
#include "model/settings.h"
#include "model/simdetails.h"
#include "model/simrecord.h"
#include "results/accsummary.h"
#include "suiteharness.h"

namespace vdln::testing::suitetest {
namespace {

// The variables in solution-file order (headers 0001..0015).
enum Var { X, A, K, L, T, INV, DF, DFF, DFDISEQ, DFDISEQRE, DDISEQ, DEROR, DFEROR, DELRORSE, DFRORSE, NV };
const char* const kReVars[NV] = {
    "x",         "a",           "k",       "l",        "t",          "inv",          "d_f",         "d_ff",
    "d_f_diseq", "d_f_diseqre", "d_diseq", "d_eror_o", "d_f_eror_o", "del_ror_se_o", "d_f_ror_se_o"};
const char* const kInds[] = {"AGR", "MAN", "SER"};
const double kGrowth[] = {3.0, 2.8, 2.6, 2.4, 2.2, 2.0};
constexpr int kYears = 6;

/// A value as a file stores it (a 4-byte real), for arithmetic in double.
double f32(double v) {
    return static_cast<double>(static_cast<float>(v));
}

const double kAlph = f32(0.3), kDepr = f32(0.05), kBeta = 1.0;
const double kRnrm[3] = {f32(0.025), f32(0.05), f32(0.075)};

using Values = std::array<std::array<double, 3>, NV>;    // [variable][industry]
using Rorg = std::array<std::array<double, kYears>, 3>;  // [industry][column - 1]

/// The BASEDATA levels as stored.
struct Levels {
    std::array<double, 3> CAPS{400, 900, 1200}, INVS{30, 90, 110}, OUTP{100, 300, 500}, LABR{60, 150, 400};
};

/// One year of the model by hand.
struct YearOut {
    Values v{};
    Levels next;
    std::array<double, 3> realised{};
};

/// The year's solution for the Base closure (x, l, t, d_f and the report
/// shifters given) or the Policy closure (a, l, t, d_f, d_diseq, d_eror_o,
/// del_ror_se_o given).  ADRE is 1 in every test, as in the demo.
YearOut solveYear(const Levels& d, const Rorg& rorg, int itno, int year, int horizon, bool policy,
                  const Values& given) {
    YearOut o;
    for (int i = 0; i < 3; ++i) {
        const double rnow = kAlph * d.OUTP[i] / d.CAPS[i] - kDepr;
        const bool forward = itno >= 2 && year < horizon && year + 1 <= kYears;
        const double expr = forward ? rorg[i][year] : rnow;  // column year+1
        auto& v = o.v;
        for (int g : {L, T, DF}) v[g][i] = given[g][i];
        v[K][i] = 100 * (d.INVS[i] / d.CAPS[i] - kDepr);
        if (policy) {
            v[A][i] = given[A][i];
            v[X][i] = v[A][i] + kAlph * v[K][i] + (1 - kAlph) * v[L][i] - 0.5 * v[T][i];
        } else {
            v[X][i] = given[X][i];
            v[A][i] = v[X][i] - kAlph * v[K][i] - (1 - kAlph) * v[L][i] + 0.5 * v[T][i];
        }
        v[DFDISEQ][i] = 100 * kBeta * (expr / kRnrm[i] - 1);
        v[DFF][i] = v[DFDISEQ][i] + v[DF][i];
        v[INV][i] = v[X][i] + v[DFF][i];
        if (policy) {
            v[DDISEQ][i] = given[DDISEQ][i];
            v[DEROR][i] = given[DEROR][i];
            v[DELRORSE][i] = given[DELRORSE][i];
            v[DFEROR][i] = v[DEROR][i] - 100 * (expr - kRnrm[i]);
            v[DFRORSE][i] = v[DELRORSE][i] - 100 * (rnow - kRnrm[i]);
            v[DFDISEQRE][i] = v[DDISEQ][i] - 100 * (expr - rnow);
        } else {
            v[DEROR][i] = 100 * (expr - kRnrm[i]);
            v[DELRORSE][i] = 100 * (rnow - kRnrm[i]);
            v[DDISEQ][i] = 100 * (expr - rnow);
        }
        o.next.OUTP[i] = f32(d.OUTP[i] * (1 + v[X][i] / 100));
        o.next.CAPS[i] = f32(d.CAPS[i] * (1 + v[K][i] / 100));
        o.next.INVS[i] = f32(d.INVS[i] * (1 + v[INV][i] / 100));
        o.next.LABR[i] = f32(d.LABR[i] * (1 + v[L][i] / 100));
        o.realised[i] = f32(kAlph * o.next.OUTP[i] / o.next.CAPS[i] - kDepr);
    }
    return o;
}

Values baseShocks(int year) {
    Values g{};
    for (int i = 0; i < 3; ++i) {
        g[X][i] = f32(kGrowth[year - 1]);
        g[L][i] = 1;
    }
    return g;
}

/// The convergence measure over the last three iterations of RORG.
struct Convergence {
    int pairs = 0, notConverging = 0, notMonotonic = 0, above001 = 0, above0005 = 0, above0001 = 0;
    double largest = 0;
};

Convergence measure(const Rorg& a, const Rorg& b, const Rorg& c, int firstColumn) {
    Convergence m;
    for (int i = 0; i < 3; ++i)
        for (int col = firstColumn - 1; col < kYears; ++col) {
            const double A = a[i][col], B = b[i][col], C = c[i][col];
            const double dab = std::fabs(B - A), dbc = std::fabs(C - B);
            ++m.pairs;
            m.largest = std::max(m.largest, dbc);
            const bool small = dab <= 0.00001 && dbc <= 0.00001;
            if (!(small || dbc < dab)) ++m.notConverging;
            if (!(small || (A <= B && B <= C) || (A >= B && B >= C))) ++m.notMonotonic;
            m.above001 += dbc > 0.001;
            m.above0005 += dbc > 0.0005;
            m.above0001 += dbc > 0.0001;
        }
    return m;
}

/// Half a unit of the third significant digit of v: the rounding of a
/// figure given to three digits.
double halfLastDigit(double v) {
    return 0.5 * std::pow(10.0, std::floor(std::log10(std::fabs(v))) - 2);
}

double largestChange(const Rorg& a, const Rorg& b) {
    double m = 0;
    for (int i = 0; i < 3; ++i)
        for (int c = 0; c < kYears; ++c) m = std::max(m, std::fabs(a[i][c] - b[i][c]));
    return m;
}

std::vector<std::string> fileLines(const std::string& path) {
    auto lines = readTextLines(path);
    EXPECT_TRUE(lines.isOk()) << path;
    return lines ? lines.value() : std::vector<std::string>{};
}

/// Rewrites one-value headers and RORG of a header array file, the way the
/// iteration files are prepared before a run's first pass.
void prepareFile(const std::string& from, const std::string& to, const std::map<std::string, double>& values,
                 bool zeroRorg) {
    auto f = ReadHarFile(from);
    ASSERT_TRUE(f.isOk()) << from << ": " << f.message();
    for (const auto& [name, v] : values) {
        HarHeader* h = f->find(name);
        ASSERT_NE(h, nullptr) << name << " in " << from;
        ASSERT_EQ(h->HeadMat.size(), 1) << name;
        h->HeadMat.Root()[0] = static_cast<float>(v);
    }
    if (zeroRorg) {
        HarHeader* h = f->find("RORG");
        ASSERT_NE(h, nullptr);
        for (std::int64_t k = 0; k < h->HeadMat.size(); ++k) h->HeadMat.Root()[k] = 0;
    }
    ASSERT_TRUE(WriteHarFile(to, "test", "09/12/2026 12:00:00", f.value()).isOk()) << to;
}

/// The demo application written by vardelon-demo, and runs of its model
/// program with command files written here.
class GrowthRe : public TempDirTest {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        app = path("app");
        ASSERT_EQ(runIn(dir(), binPath("vardelon-demo"), {app, "growthre"}), 0);
        korre = app + "/KorRE";
        ASSERT_EQ(mkdir(korre.c_str(), 0755), 0);
    }

    std::string at(const std::string& name) const { return app + "/" + name; }
    static std::string ys(int i) { return std::to_string(2023 + i); }
    /// Long stem of run r (1 Base, 2 Rerun, 3 Policy) in simulation i.
    static std::string stem(int r, int i) {
        const char* names[] = {"", "bs1b", "bs1b-br1r", "bs1b-br1r-pl1p"};
        return std::string(names[r]) + "-" + ys(i);
    }

    /// The files one solve reads and writes.
    struct Solve {
        std::string stem;  // solution file and outputs: <app>/<stem>
        std::string basedata, rorext, iter, extra;
        std::vector<std::string> closureAndShocks;
        std::string method = "Method = Gragg; Steps = 2 4 6;";
        bool neq = false;
    };

    std::vector<std::string> commandFile(const Solve& s) const {
        std::vector<std::string> L{"auxiliary files = " + at("growthre") + " ;",
                                   "Solution file = " + at(s.stem) + " ;",
                                   "UDC file = yes ;",
                                   s.method,
                                   "verbal description = autosim " + s.stem + " ;",
                                   "File BASEDATA = " + s.basedata + " ;",
                                   "File PARAMS = " + at("PARAMS.HAR") + " ;",
                                   "File ROREXT = " + s.rorext + " ;",
                                   "File ITER = " + s.iter + " ;",
                                   "File EXTRA = " + s.extra + " ;",
                                   "File SUMMARY = " + at("sum-" + s.stem + ".txt") + " ;"};
        if (s.neq) {
            L.insert(L.end(), {"nwr = yes ;", "neq = yes ;", "save environment file " + at(s.stem) + " ;"});
        } else {
            for (const char* f : {"BASEDATA", "ROREXT", "ITER", "EXTRA"}) {
                const char* key = std::string(f) == "BASEDATA" ? "bas"
                                  : std::string(f) == "ROREXT" ? "rex"
                                  : std::string(f) == "ITER"   ? "ite"
                                                               : "ext";
                L.push_back(std::string("updated file ") + f + " = " +
                            at(std::string(key) + "-" + s.stem + ".har") + " ;");
            }
        }
        L.insert(L.end(), s.closureAndShocks.begin(), s.closureAndShocks.end());
        return L;
    }

    /// Runs the model program on a command file; returns its report.
    std::map<std::string, std::string> runCmf(const std::string& name, const std::vector<std::string>& cmf,
                                              const std::string& program = "growthre.exe") {
        const std::string cmfPath = at(name + ".cmf"), sti = at(name + ".sti"), rpt = at(name + ".rpt");
        writeLines(cmfPath, cmf);
        writeLines(sti, {"bat", "rpt", rpt, "cmf", cmfPath});
        const int rc = runIn(app, at(program), {"-sti", sti, "-lon", "%sti"});
        auto report = readReport(rpt);
        EXPECT_EQ(rc, report["Status"] == "ok" ? 0 : 1) << name;
        return report;
    }

    void runSolve(const Solve& s) {
        auto report = runCmf(s.stem, commandFile(s));
        ASSERT_EQ(report["Status"], "ok") << s.stem << ": " << report["Error"];
    }

    /// The closure lines of a closure file of the application.
    std::vector<std::string> closure(const std::string& name) const { return fileLines(at(name)); }

    std::vector<std::string> baseYear(int i) const {
        auto L = closure("BASE.CLS");
        for (const auto& l : fileLines(at("B" + ys(i) + ".BSH"))) L.push_back(l);
        return L;
    }

    /// Runs 2 and 3 hold the Base's values of the Policy closure's
    /// exogenous variables, read from the Base's solution of the year.
    std::vector<std::string> fromBaseYear(int r, int i, const std::string& closureFile = "POLICY.CLS") const {
        auto lines = closure(closureFile);
        const std::string sl4 = at(stem(1, i) + ".sl4");
        for (int v : {A, L, T, DF, DDISEQ, DEROR, DELRORSE}) {
            char head[16];
            std::snprintf(head, sizeof head, "%04d", v + 1);
            lines.push_back(std::string("shock ") + kReVars[v] + " = file \"" + sl4 + "\" header \"" + head +
                            "\" ;");
        }
        if (r == 3 && (i == 2 || i == 3)) lines.push_back("ashock t(\"MAN\") = 10 ;");
        return lines;
    }

    Values readValues(const std::string& solStem) {
        Values v{};
        for (int n = 0; n < NV; ++n) {
            auto vals = harVariable(at(solStem + ".sl4"), kReVars[n]);
            EXPECT_EQ(vals.size(), 3u) << kReVars[n];
            for (size_t k = 0; k < 3 && k < vals.size(); ++k) v[n][k] = vals[k];
        }
        return v;
    }

    Rorg readRorg(const std::string& file) {
        Rorg r{};
        auto vals = harReals(file, "RORG");
        EXPECT_EQ(vals.size(), 18u) << file;
        for (int c = 0; c < kYears; ++c)
            for (int i = 0; i < 3 && vals.size() == 18u; ++i) r[i][c] = vals[c * 3 + i];
        return r;
    }

    double oneValue(const std::string& file, const std::string& header) {
        auto vals = harReals(file, header);
        EXPECT_EQ(vals.size(), 1u) << header << " in " << file;
        return vals.empty() ? -1 : vals[0];
    }

    void expectValues(const Values& want, const Values& got, const std::string& what) {
        SCOPED_TRACE(what);
        for (int n = 0; n < NV; ++n)
            for (int i = 0; i < 3; ++i) {
                const double tol = 1e-5 * std::max(1.0, std::fabs(want[n][i]));
                EXPECT_NEAR(want[n][i], got[n][i], tol) << kReVars[n] << "(" << kInds[i] << ")";
            }
    }

    void expectLevels(const Levels& want, const std::string& file) {
        SCOPED_TRACE(file);
        const char* heads[] = {"CAPS", "INVS", "OUTP", "LABR"};
        const std::array<double, 3>* w[] = {&want.CAPS, &want.INVS, &want.OUTP, &want.LABR};
        for (int h = 0; h < 4; ++h) {
            auto vals = harReals(file, heads[h]);
            ASSERT_EQ(vals.size(), 3u);
            for (int i = 0; i < 3; ++i)
                EXPECT_NEAR((*w[h])[i], vals[i], 1e-5 * std::max(1.0, std::fabs((*w[h])[i])))
                    << heads[h] << "(" << kInds[i] << ")";
        }
    }

    void expectRorg(const Rorg& want, const Rorg& got, const std::string& what) {
        SCOPED_TRACE(what);
        for (int i = 0; i < 3; ++i)
            for (int c = 0; c < kYears; ++c)
                EXPECT_NEAR(want[i][c], got[i][c], 1e-6) << kInds[i] << " column " << c + 1;
    }

    std::string app, korre;
};

TEST_F(GrowthRe, DemoApplicationHoldsTheModelAndItsFirstYearFiles) {
    for (const char* f :
         {"growthre.exe", "growthre.axs",  "growthre.axt", "growthre.tab", "growthre.min", "growthre.din",
          "growthre.map", "growthre.mdf",  "itervar.map",  "BASE2023.HAR", "PARAMS.HAR",   "ROREXT2023.HAR",
          "ITER2023.HAR", "EXTRA2023.HAR", "BASE.CLS",     "POLICY.CLS",   "BADBASE.CLS",  "BADPOL.CLS",
          "B2024.BSH",    "B2029.BSH",     "P2025.PSH",    "P2026.PSH",    "growthre.ds1", "growthre.ds2"})
        EXPECT_TRUE(fileExists(at(f))) << f;
    // Another model name is refused.
    EXPECT_EQ(runIn(dir(), binPath("vardelon-demo"), {path("other"), "growthx"}), 2);
    EXPECT_FALSE(fileExists(path("other")));
    // A copy, not a link: the program finds its model from its resolved path.
    struct stat st {};
    ASSERT_EQ(lstat(at("growthre.exe").c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));

    EXPECT_EQ(fileLines(at("itervar.map")),
              (std::vector<std::string>{"x", "inv", "k", "d_f_diseq", "d_eror_o", " "}));
    EXPECT_EQ(fileLines(at("growthre.map")), (std::vector<std::string>{"x", "k", "inv"}));
    EXPECT_EQ(fileLines(at("growthre.din"))[0], "! Dynamic information of the growthre model");

    auto rorext = ReadHarFile(at("ROREXT2023.HAR"));
    ASSERT_TRUE(rorext.isOk()) << rorext.message();
    const HarHeader* rorg = rorext->find("RORG");
    ASSERT_NE(rorg, nullptr);
    EXPECT_EQ(rorg->setName(1), "IND");
    EXPECT_EQ(rorg->setName(2), "YRS");
    EXPECT_EQ(rorg->elementNames(2),
              (std::vector<std::string>{"Y2024", "Y2025", "Y2026", "Y2027", "Y2028", "Y2029"}));
    const Rorg start = readRorg(at("ROREXT2023.HAR"));
    for (int i = 0; i < 3; ++i)
        for (int c = 0; c < kYears; ++c) EXPECT_EQ(start[i][c], kRnrm[i]);
    EXPECT_EQ(harReals(at("ROREXT2023.HAR"), "ADRE"), (std::vector<float>{1, 1, 1}));
    for (const char* h : {"NFIT", "NRIT", "HORZ", "YRPL"})
        EXPECT_EQ(oneValue(at("ROREXT2023.HAR"), h), 0) << h;
    EXPECT_EQ(oneValue(at("ITER2023.HAR"), "ITNO"), 1);
    EXPECT_EQ(oneValue(at("EXTRA2023.HAR"), "YEAR"), 1);
    EXPECT_EQ(oneValue(at("PARAMS.HAR"), "BETA"), 1);
    // The normal returns are the starting returns of the first-year data.
    const Levels first;
    auto rnrm = harReals(at("PARAMS.HAR"), "RNRM");
    ASSERT_EQ(rnrm.size(), 3u);
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(rnrm[i], kAlph * first.OUTP[i] / first.CAPS[i] - kDepr, 1e-8);

    // The Model Information file: the program's reader sees 15 variables
    // with the Base closure and the stamp of the auxiliary files.
    SolInfoRec info;
    ASSERT_TRUE(RequestSolInfo(at("growthre.min"), standardMinRequest(), true, true, info).isOk());
    ASSERT_EQ(info.vars.size(), 15u);
    EXPECT_EQ(info.vars[14].name, "d_f_ror_se_o");
    for (int v = 0; v < NV; ++v) {
        const bool exo =
            v == X || v == L || v == T || v == DF || v == DFDISEQRE || v == DFEROR || v == DFRORSE;
        EXPECT_EQ(info.vars[v].numExog, exo ? 3 : 0) << kReVars[v];
    }
    auto stamp = GetTimeDateStamp("text", at("growthre.min"), "#TMDATE");
    ASSERT_TRUE(stamp.isOk() && stamp->found);
    EXPECT_EQ(stamp->stamp, "GROWTHRE model made 2026-12-01 at 12:00h");
    const auto minLines = fileLines(at("growthre.min"));
    auto after = [&](const std::string& tag) {
        for (size_t k = 0; k + 1 < minLines.size(); ++k)
            if (minLines[k] == tag) return minLines[k + 1];
        return std::string("(missing)");
    };
    EXPECT_EQ(after("#VCTP"), "ppppppccccccccc");
    EXPECT_EQ(after("#VCSTAT"), "ccccccccccccccc");
}

TEST_F(GrowthRe, SimulationDetailsAskForRationalExpectations) {
    ScriptedDialogs dialogs;
    TSimRecord rec = CreateSimRecord();
    ASSERT_TRUE(ReadSimRecordFile(rec, at("growthre.ds2"), false).isOk());
    EXPECT_EQ(rec.NumYears, 6);
    EXPECT_EQ(rec.StartYear, 2024);
    const struct {
        const char* name;
        const char* key;
        int usage;
    } files[] = {{"BASEDATA", "BAS", kUsageUpdatedInput}, {"PARAMS", "PAR", kUsageConstantInput},
                 {"ROREXT", "REX", kUsageUpdatedInput},   {"ITER", "ITE", kUsageUpdatedInput},
                 {"EXTRA", "EXT", kUsageUpdatedInput},    {"SUMMARY", "SUM", kUsageOutput}};
    ASSERT_EQ(rec.NumFiles, 6);
    for (int n = 1; n <= 6; ++n) {
        SCOPED_TRACE(files[n - 1].name);
        EXPECT_EQ(std::string(rec.Files[n].Name), files[n - 1].name);
        EXPECT_EQ(std::string(rec.Files[n].Key), files[n - 1].key);
        EXPECT_EQ(rec.Files[n].Usage, files[n - 1].usage);
    }
    ProgramSettings settings;
    SettingsContext ctx;
    ctx.programDir = dir();
    ctx.batchMode = true;
    ReadIniOptions(at("growthre.ds1"), SettingsParts::all(), settings, rec, ctx, dialogs);
    EXPECT_EQ(settings.model.Model, at("growthre.exe"));
    EXPECT_EQ(settings.ResultsMapFile, at("growthre.map"));
    EXPECT_TRUE(settings.re.DoingRE);
    EXPECT_EQ(settings.re.BaseIterations, 8);
    EXPECT_EQ(settings.re.RerunIterations, 1);
    EXPECT_EQ(settings.re.PolicyIterations, 8);
    EXPECT_EQ(settings.re.PolicyStartYear, 0);
    EXPECT_TRUE(settings.re.ConvergenceHar && settings.re.ConvergenceRorext && settings.re.ConvergenceCsv);
    EXPECT_TRUE(settings.re.StandardChecks);
    EXPECT_FALSE(settings.re.SeveralRerunIterations);
    ASSERT_EQ(settings.model.FirstYearList.size(), 5u);
    auto line = parseFirstYearLine(settings.model.FirstYearList[2]);
    EXPECT_EQ(line.logical, "ROREXT");
    EXPECT_EQ(line.actualPath(), at("ROREXT2023.HAR"));
}

/// One year solved with hand-made expectation files.
struct SingleCase {
    const char* name;
    int itno, year, horizon;
    bool policy;
    bool zeroRorg;
};

TEST_F(GrowthRe, SingleYearsFollowTheEquations) {
    const SingleCase cases[] = {
        {"first Base iteration: static expectations", 1, 1, 6, false, true},
        {"later iteration: expectation from column YEAR+1", 3, 2, 6, false, false},
        {"last year of the horizon: static, ITNO steps on", 4, 6, 6, false, false},
        {"no horizon (run without rational expectations)", 5, 3, 0, false, false},
        {"Policy closure with a tax shock", 12, 4, 6, true, false},
    };
    const Levels data;  // the first-year levels, in every case
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // RORG columns that differ from the static return, so that using the
        // wrong column shows.
        Rorg rorg{};
        for (int i = 0; i < 3; ++i)
            for (int col = 0; col < kYears; ++col)
                rorg[i][col] = c.zeroRorg ? 0 : f32(0.02 + 0.01 * i + 0.003 * col);
        const std::string tag = std::to_string(c.itno);
        const std::string rex = at("KorRE/ROREXT" + tag + ".HAR"), ite = at("KorRE/ITER" + tag + ".HAR"),
                          ext = at("KorRE/EXTRA" + tag + ".HAR");
        {
            auto f = ReadHarFile(at("ROREXT2023.HAR"));
            ASSERT_TRUE(f.isOk());
            HarHeader* h = f->find("RORG");
            for (int i = 0; i < 3; ++i)
                for (int col = 0; col < kYears; ++col)
                    h->HeadMat.at(i + 1, col + 1) = static_cast<float>(rorg[i][col]);
            f->find("HORZ")->HeadMat.Root()[0] = static_cast<float>(c.horizon);
            f->find("NFIT")->HeadMat.Root()[0] = 8;
            ASSERT_TRUE(WriteHarFile(rex, "test", "09/12/2026 12:00:00", f.value()).isOk());
        }
        prepareFile(at("ITER2023.HAR"), ite, {{"ITNO", c.itno}}, false);
        prepareFile(at("EXTRA2023.HAR"), ext, {{"YEAR", c.year}}, false);

        Values given = baseShocks(c.year);
        Solve s;
        s.stem = "single-" + tag;
        s.basedata = at("BASE2023.HAR");
        s.rorext = rex;
        s.iter = ite;
        s.extra = ext;
        if (c.policy) {
            given = Values{};
            for (int i = 0; i < 3; ++i) {
                given[A][i] = 0.5 + i;
                given[L][i] = 1;
                given[DDISEQ][i] = 0.25 * i;
                given[DEROR][i] = -0.5;
                given[DELRORSE][i] = 0.125;
            }
            given[T][1] = 10;
            s.closureAndShocks = closure("POLICY.CLS");
            s.closureAndShocks.insert(
                s.closureAndShocks.end(),
                {"shock a = 0.5 1.5 2.5 ;", "shock l = uniform 1 ;", "ashock t(\"MAN\") = 10 ;",
                 "shock d_diseq = 0 0.25 0.5 ;", "shock d_eror_o = uniform -0.5 ;",
                 "shock del_ror_se_o = uniform 0.125 ;"});
        } else {
            s.closureAndShocks = baseYear(c.year);
        }
        ASSERT_NO_FATAL_FAILURE(runSolve(s));

        const YearOut want = solveYear(data, rorg, c.itno, c.year, c.horizon, c.policy, given);
        expectValues(want.v, readValues(s.stem), "solution");
        expectLevels(want.next, at("bas-" + s.stem + ".har"));
        Rorg wantRorg = rorg;
        for (int i = 0; i < 3; ++i) wantRorg[i][c.year - 1] = want.realised[i];
        expectRorg(wantRorg, readRorg(at("rex-" + s.stem + ".har")), "updated RORG");
        EXPECT_EQ(oneValue(at("ite-" + s.stem + ".har"), "ITNO"), c.itno + (c.year == c.horizon ? 1 : 0));
        EXPECT_EQ(oneValue(at("ext-" + s.stem + ".har"), "YEAR"), c.year + 1);
        // Every other header is copied through unchanged.
        EXPECT_EQ(oneValue(at("rex-" + s.stem + ".har"), "NFIT"), 8);
        EXPECT_EQ(oneValue(at("rex-" + s.stem + ".har"), "HORZ"), c.horizon);
        EXPECT_EQ(harReals(at("rex-" + s.stem + ".har"), "ADRE"), (std::vector<float>{1, 1, 1}));

        // The accuracy summary of the three Gragg solutions, as the program
        // reads it from the log: all 45 results and 12 updated data values.
        AccSummary acc;
        Status read = GetAccSummary2(at(s.stem + ".log"), 1, acc, 1, false, false);
        ASSERT_TRUE(read.isOk()) << read.message();
        ASSERT_EQ(acc.entryCount, 1);
        int results = 0, dataValues = 0;
        for (int f = 0; f <= kMaxAccFigures; ++f) {
            results += acc.entry(1).variables.counts[f];
            dataValues += acc.entry(1).data.counts[f];
        }
        EXPECT_EQ(results, 45);
        EXPECT_EQ(dataValues, 12);

        const bool forward = c.itno >= 2 && c.year < c.horizon;
        const std::string logLine =
            "Rational expectations: year number " + std::to_string(c.year) + " of horizon " +
            std::to_string(c.horizon) + ", iteration " + std::to_string(c.itno) + ", " +
            (forward ? "expected returns from RORG column " + std::to_string(c.year + 1)
                     : std::string("static expectations"));
        const auto log = fileLines(at(s.stem + ".log"));
        EXPECT_NE(std::find(log.begin(), log.end(), logLine), log.end()) << logLine;
    }
}

/// Files the iterations rewrote may have lost their set names (and one-value
/// headers may carry a dimension of 1): the model reads them and writes them
/// back whole.
TEST_F(GrowthRe, ExpectationFilesWithoutSetNamesAreReadAndCopied) {
    auto unlabel = [&](const std::string& from, const std::string& to, bool oneDimension) {
        auto in = ReadHarFile(from);
        ASSERT_TRUE(in.isOk()) << in.message();
        auto out = NewHarFile("test", "09/12/2026 12:00:00", false, false);
        ASSERT_TRUE(out.isOk());
        for (const auto& h : in->headers) {
            Dims7 dims{1, 1, 1, 1, 1, 1, 1};
            int nd = h->NDim;
            for (int k = 0; k < nd; ++k) dims[k] = h->dims[k];
            if (nd == 0 && oneDimension) nd = 1;
            PHarHeader u;
            ASSERT_TRUE(CreateUnLabelledRE(u, h->trimmedName(), h->description, true, dims, nd).isOk());
            const auto vals = h->realValues();
            for (size_t k = 0; k < vals.size(); ++k) u->HeadMat.Root()[k] = vals[k];
            ASSERT_TRUE(addHeader(out.value(), std::move(u)).isOk());
        }
        ASSERT_TRUE(WriteHarFile(to, "test", "09/12/2026 12:00:00", out.value()).isOk());
    };
    const std::string rex = at("KorRE/ROREXT.HAR"), ite = at("KorRE/ITER.HAR"), ext = at("KorRE/EXTRA.HAR");
    prepareFile(at("ROREXT2023.HAR"), at("KorRE/named.HAR"), {{"HORZ", 6}}, false);
    unlabel(at("KorRE/named.HAR"), rex, true);
    prepareFile(at("ITER2023.HAR"), at("KorRE/iter-named.HAR"), {{"ITNO", 2}}, false);
    unlabel(at("KorRE/iter-named.HAR"), ite, true);
    unlabel(at("EXTRA2023.HAR"), ext, false);
    Solve s;
    s.stem = "unlabelled";
    s.basedata = at("BASE2023.HAR");
    s.rorext = rex;
    s.iter = ite;
    s.extra = ext;
    s.closureAndShocks = baseYear(1);
    ASSERT_NO_FATAL_FAILURE(runSolve(s));
    Rorg rorg{};
    for (int i = 0; i < 3; ++i)
        for (int c = 0; c < kYears; ++c) rorg[i][c] = kRnrm[i];
    const YearOut want = solveYear(Levels{}, rorg, 2, 1, 6, false, baseShocks(1));
    expectValues(want.v, readValues(s.stem), "solution");
    for (int i = 0; i < 3; ++i) rorg[i][0] = want.realised[i];
    expectRorg(rorg, readRorg(at("rex-unlabelled.har")), "updated RORG");
    EXPECT_EQ(oneValue(at("rex-unlabelled.har"), "HORZ"), 6);
    EXPECT_EQ(oneValue(at("ite-unlabelled.har"), "ITNO"), 2);
    EXPECT_EQ(oneValue(at("ext-unlabelled.har"), "YEAR"), 2);
}

/// Errors of the expectation files and command files: one clear sentence
/// naming the file, and no outputs left behind.
TEST_F(GrowthRe, BadExpectationInputsAreErrors) {
    prepareFile(at("EXTRA2023.HAR"), at("KorRE/EXTRA7.HAR"), {{"YEAR", 7}}, false);
    {
        auto f = ReadHarFile(at("ROREXT2023.HAR"));
        ASSERT_TRUE(f.isOk());
        f->headers.erase(std::remove_if(f->headers.begin(), f->headers.end(),
                                        [](const PHarHeader& h) { return h->trimmedName() == "RORG"; }),
                         f->headers.end());
        ASSERT_TRUE(WriteHarFile(at("KorRE/NORORG.HAR"), "test", "09/12/2026 12:00:00", f.value()).isOk());
    }
    struct Case {
        const char* name;
        std::function<void(std::vector<std::string>&)> edit;
        std::string error;
    };
    const Case cases[] = {
        {"RORG missing",
         [&](auto& L) {
             for (auto& l : L)
                 if (l.rfind("File ROREXT", 0) == 0) l = "File ROREXT = " + at("KorRE/NORORG.HAR") + " ;";
         },
         "Header RORG (reals, 3 industries by at least 1 year) is missing from " + at("KorRE/NORORG.HAR") +
             "."},
        {"year outside RORG",
         [&](auto& L) {
             for (auto& l : L)
                 if (l.rfind("File EXTRA", 0) == 0) l = "File EXTRA = " + at("KorRE/EXTRA7.HAR") + " ;";
         },
         "Year number 7 of the EXTRA file lies outside the 6 years of header RORG of " +
             at("ROREXT2023.HAR") + "."},
        {"no updated ROREXT",
         [&](auto& L) {
             L.erase(
                 std::remove_if(L.begin(), L.end(),
                                [](const std::string& l) { return l.rfind("updated file ROREXT", 0) == 0; }),
                 L.end());
         },
         "The command file has no \"updated file ROREXT = ...\" statement."},
        {"no ITER file",
         [&](auto& L) {
             L.erase(std::remove_if(L.begin(), L.end(),
                                    [](const std::string& l) { return l.rfind("File ITER", 0) == 0; }),
                     L.end());
         },
         "The command file has no \"file ITER = ...\" statement."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Solve s;
        s.stem = "bad";
        s.basedata = at("BASE2023.HAR");
        s.rorext = at("ROREXT2023.HAR");
        s.iter = at("ITER2023.HAR");
        s.extra = at("EXTRA2023.HAR");
        s.closureAndShocks = baseYear(1);
        auto cmf = commandFile(s);
        c.edit(cmf);
        auto report = runCmf("bad", cmf);
        EXPECT_EQ(report["Status"], "error");
        EXPECT_EQ(report["Error"], c.error);
        for (const char* out : {"bad.sl4", "bas-bad.har", "rex-bad.har", "ite-bad.har", "ext-bad.har"})
            EXPECT_FALSE(fileExists(at(out))) << out;
    }

    // Each program checks the stamp of its own model, and the growth model
    // knows no expectation files.
    const std::string plain = path("plain");
    ASSERT_EQ(runIn(dir(), binPath("vardelon-demo"), {plain}), 0);
    Solve s;
    s.stem = "plain";
    s.basedata = at("BASE2023.HAR");
    s.rorext = at("ROREXT2023.HAR");
    s.iter = at("ITER2023.HAR");
    s.extra = at("EXTRA2023.HAR");
    s.closureAndShocks = baseYear(1);
    auto cmf = commandFile(s);
    cmf[0] = "auxiliary files = " + plain + "/growth ;";
    auto report = runCmf("plain", cmf);
    EXPECT_EQ(report["Error"], "E-PG date problem");
    s.closureAndShocks = {"exogenous x l t ;", "rest endogenous ;", "shock x = uniform 3 ;"};
    cmf = commandFile(s);
    cmf[0] = "auxiliary files = " + plain + "/growth ;";
    ASSERT_TRUE(copyFile(plain + "/growth.exe", at("growth.exe"), false).isOk());
    ASSERT_EQ(chmod(at("growth.exe").c_str(), 0755), 0);
    report = runCmf("plain", cmf, "growth.exe");
    EXPECT_EQ(report["Error"], "Unknown logical file \"ROREXT\" in " + at("plain.cmf") + ".");
    cmf[0] = "auxiliary files = " + at("growthre") + " ;";
    report = runCmf("plain", cmf, "growth.exe");
    EXPECT_EQ(report["Error"], "E-PG date problem");
}

TEST_F(GrowthRe, FilesOfAnUnknownModelAreRefused) {
    Solve s;
    s.stem = "known";
    s.basedata = at("BASE2023.HAR");
    s.rorext = at("ROREXT2023.HAR");
    s.iter = at("ITER2023.HAR");
    s.extra = at("EXTRA2023.HAR");
    s.closureAndShocks = baseYear(1);
    ASSERT_NO_FATAL_FAILURE(runSolve(s));
    auto f = ReadHarFile(at("known.sl4"));
    ASSERT_TRUE(f.isOk());
    HarHeader* vars = f->find("VARS");
    ASSERT_NE(vars, nullptr);
    EXPECT_EQ(vars->strings.size(), 15u);
    PHarHeader other;
    ASSERT_TRUE(Create1C(other, "VARS", "Variables of the model", 8, 3, {"x", "a", "k"}).isOk());
    ASSERT_TRUE(CompleteHeaderRecord(*other).isOk());
    for (auto& h : f->headers)
        if (h.get() == vars) h = std::move(other);
    ASSERT_TRUE(WriteHarFile(at("unknown.sl4"), "test", "09/12/2026 12:00:00", f.value()).isOk());
    const std::string sti = at("unknown-sol.sti");
    writeLines(sti, {"bat", "rpt", at("unknown.rpt"), " ", at("unknown"), "c", "n", " ", at("unknown.sol")});
    EXPECT_EQ(runIn(app, binPath("sectraa.exe"), {"-sti", sti, "-lon", "%sti"}), 1);
    auto report = readReport(at("unknown.rpt"));
    EXPECT_EQ(report["Error"],
              "File " + at("unknown.sl4") +
                  " belongs to an unknown model: its header VARS lists 3 variables, not those of "
                  "growth (5) or growthre (15).");
    EXPECT_FALSE(fileExists(at("unknown.sol")));
}

/// The release check of growthre.exe compares its auxiliary files with the
/// growthre stamp; the same program under the name growth.exe expects growth's.
TEST_F(GrowthRe, ReleaseCheckComparesTheStampOfTheModelItSolves) {
    auto releaseCheck = [&](const std::string& program) {
        const std::string sti = at("chkmodel.sti"), rpt = at("chkmodel.rpt");
        writeLines(sti, {"rpt", rpt, " ", "xxxxxx"});
        runIn(app, at(program), {"-sti", sti, "-log", at("chkmodel.log")});
        auto r = readReport(rpt);
        EXPECT_EQ(r["SVVer Large"], "80000");
        return r["Status"] == "ok" ? std::string("ok") : r["Error"];
    };
    EXPECT_EQ(releaseCheck("growthre.exe"), "ok");
    // A copy under the growth name looks for growth.axs and growth.axt
    // holding the growth stamp.
    ASSERT_TRUE(copyFile(at("growthre.exe"), at("growth.exe"), false).isOk());
    ASSERT_EQ(chmod(at("growth.exe").c_str(), 0755), 0);
    ASSERT_TRUE(copyFile(at("growthre.axs"), at("growth.axs"), false).isOk());
    ASSERT_TRUE(copyFile(at("growthre.axt"), at("growth.axt"), false).isOk());
    EXPECT_EQ(releaseCheck("growth.exe"), "E-PG date problem");
    // Auxiliary files of two different compilations.
    auto axs = ReadHarFile(at("growthre.axs"));
    ASSERT_TRUE(axs.isOk());
    axs->find("DTXT")->strings[0] = "GROWTHRE model made 2026-11-30 at 12:00h";
    ASSERT_TRUE(WriteHarFile(at("growthre.axs"), "test", "09/12/2026 12:00:00", axs.value()).isOk());
    EXPECT_EQ(releaseCheck("growthre.exe"), "E-AX date problem");
}

TEST_F(GrowthRe, ClosureCheckNeedsNoExpectationFiles) {
    Solve s;
    s.stem = "env";
    s.neq = true;
    s.basedata = at("BASE2023.HAR");
    s.rorext = at("rex-not-yet-written.har");
    s.iter = at("ite-not-yet-written.har");
    s.extra = at("ext-not-yet-written.har");
    s.closureAndShocks = closure("POLICY.CLS");
    auto report = runCmf("env", commandFile(s));
    ASSERT_EQ(report["Status"], "ok") << report["Error"];
    ASSERT_TRUE(fileExists(at("env.en4")));
    auto f = ReadHarFile(at("env.en4"));
    ASSERT_TRUE(f.isOk());
    ASSERT_NE(f->find("VARS"), nullptr);
    EXPECT_EQ(f->find("VARS")->strings.size(), 15u);
}

/// The status characters the standard checks read from a year's ".sli".
std::map<std::string, int> exogenousCounts(const std::string& sli) {
    SolInfoRec info;
    Status s = RequestSolInfo(sli, standardMinRequest(), true, true, info);
    EXPECT_TRUE(s.isOk()) << sli << ": " << s.message();
    std::map<std::string, int> out;
    for (const auto& v : info.vars) out[v.name] = v.numExog;
    return out;
}

class GrowthReIterations : public GrowthRe {
protected:
    /// Converts a year's solution to ".sli" and ".sol" as after every "sol" part.
    std::string writeSli(const std::string& solStem) {
        const std::string sti = at(solStem + "-sol.sti");
        writeLines(sti, {"bat", "rpt", at(solStem + "-sol.rpt"), "wsi", " ", at(solStem), "c", "n", " ",
                         at(solStem + ".sli"), at(solStem + ".sol")});
        EXPECT_EQ(runIn(app, binPath("sectraa.exe"), {"-sti", sti, "-lon", "%sti"}), 0);
        EXPECT_EQ(readReport(at(solStem + "-sol.rpt"))["Status"], "ok");
        return at(solStem + ".sli");
    }

    void copyTo(const std::string& from, const std::string& to) {
        ASSERT_TRUE(copyFile(at(from), at(to), false).isOk()) << from;
    }

    /// Runs one pass of run r over years first..6 and follows it by hand.
    void runPass(int r, int pass, int first, const std::string& korreRorext, const std::string& korreIter,
                 const std::string& extraFirst, Rorg& rorg, int& itno, Levels start,
                 const std::array<Values, 7>& baseValues, std::array<Values, 7>& values,
                 std::array<Levels, 7>& levels) {
        Levels d = start;
        for (int i = first; i <= kYears; ++i) {
            SCOPED_TRACE("run " + std::to_string(r) + " pass " + std::to_string(pass) + " year " + ys(i));
            Solve s;
            s.stem = stem(r, i);
            const std::string last = stem(r, kYears);
            if (i == first) {
                s.basedata = first == 1 ? at("BASE2023.HAR") : at("bas-" + stem(1, first - 1) + ".har");
                s.rorext = pass == 1 ? korreRorext : at("rex-" + last + ".har");
                s.iter = pass == 1 ? korreIter : at("ite-" + last + ".har");
                s.extra = extraFirst;
            } else {
                s.basedata = at("bas-" + stem(r, i - 1) + ".har");
                s.rorext = at("rex-" + stem(r, i - 1) + ".har");
                s.iter = at("ite-" + stem(r, i - 1) + ".har");
                s.extra = at("ext-" + stem(r, i - 1) + ".har");
            }
            Values given;
            if (r == 1) {
                s.closureAndShocks = baseYear(i);
                given = baseShocks(i);
            } else {
                s.closureAndShocks = fromBaseYear(r, i);
                given = Values{};
                for (int v : {A, L, T, DF, DDISEQ, DEROR, DELRORSE})
                    for (int k = 0; k < 3; ++k) given[v][k] = f32(baseValues[i][v][k]);
                if (r == 3 && (i == 2 || i == 3)) given[T][1] += 10;
            }
            ASSERT_NO_FATAL_FAILURE(runSolve(s));
            const YearOut o = solveYear(d, rorg, itno, i, kYears, r != 1, given);
            expectValues(o.v, readValues(s.stem), "solution");
            for (int k = 0; k < 3; ++k) rorg[k][i - 1] = o.realised[k];
            d = o.next;
            if (i == kYears) ++itno;
            values[i] = o.v;
            levels[i] = o.next;
        }
    }
};

TEST_F(GrowthReIterations, BaseRerunAndPolicyConvergeAsTheEquationsSay) {
    constexpr int NB = 8, NR = 1, NP = 8;
    // The Base starts from the first-year files with RORG zeroed, NFIT, HORZ
    // and YRPL set, ITNO 1 and YEAR 1.
    prepareFile(at("ROREXT2023.HAR"), korre + "/ROREXT.HAR", {{"NFIT", NB}, {"HORZ", 6}, {"YRPL", 1}}, true);
    prepareFile(at("ITER2023.HAR"), korre + "/ITER.HAR", {{"ITNO", 1}}, false);
    prepareFile(at("EXTRA2023.HAR"), korre + "/EXTRA.HAR", {{"YEAR", 1}}, false);

    Rorg rorg{};
    int itno = 1;
    std::vector<Rorg> baseWant, baseGot;
    std::array<Values, 7> baseValues{}, values{};
    std::array<Levels, 7> baseLevels{};
    Rorg rorgAfterFirstYear{};
    for (int p = 1; p <= NB; ++p) {
        ASSERT_NO_FATAL_FAILURE(runPass(1, p, 1, korre + "/ROREXT.HAR", korre + "/ITER.HAR",
                                        korre + "/EXTRA.HAR", rorg, itno, Levels{}, baseValues, values,
                                        baseLevels));
        // What the Rerun and the Policy will start from: the 2024 file of the
        // Base's last pass.
        if (p == NB) {
            rorgAfterFirstYear = baseWant.back();
            for (int k = 0; k < 3; ++k) rorgAfterFirstYear[k][0] = rorg[k][0];
        }
        copyTo("rex-bs1b-2029.har", "rex-bs1b-2029_BIter" + std::to_string(p) + ".har");
        baseWant.push_back(rorg);
        baseGot.push_back(readRorg(at("rex-bs1b-2029_BIter" + std::to_string(p) + ".har")));
        expectRorg(rorg, baseGot.back(), "Base iteration " + std::to_string(p));
        EXPECT_EQ(oneValue(at("ite-bs1b-2029.har"), "ITNO"), p + 1);
        // Visibly unconverged after 2 and 3 iterations.
        const double invsMan = harReals(at("bas-bs1b-2029.har"), "INVS").at(1);
        const double invMan = readValues("bs1b-2028")[INV][1];
        if (p == 2 || p == 3 || p == NB) {
            const double pageInvs = p == 2 ? 55.89 : p == 3 ? 73.28 : 65.54;
            const double pageInv = p == 2 ? -10.06 : p == 3 ? 0.79 : -4.98;
            EXPECT_NEAR(invsMan, pageInvs, 0.005) << "INVS(MAN) 2029 after " << p;
            EXPECT_NEAR(invMan, pageInv, 0.005) << "inv(MAN) 2028 after " << p;
        }
        EXPECT_NEAR(invsMan, baseLevels[6].INVS[1], 1e-4);
        baseValues = values;
    }
    // The largest change of RORG between iterations, as observed.
    const double baseChanges[] = {5.43e-3, 4.41e-3, 2.13e-3, 7.77e-4, 2.44e-4, 7.01e-5, 2.69e-5};
    for (int n = 2; n <= NB; ++n) {
        const double got = largestChange(baseGot[n - 1], baseGot[n - 2]);
        EXPECT_NEAR(got, largestChange(baseWant[n - 1], baseWant[n - 2]), 2e-8) << "iteration " << n;
        EXPECT_NEAR(got, baseChanges[n - 2], halfLastDigit(baseChanges[n - 2]) + 2e-8) << "iteration " << n;
    }
    // The convergence measure of the last three Base iterations.
    const Convergence base = measure(baseGot[5], baseGot[6], baseGot[7], 1);
    EXPECT_EQ(base.pairs, 18);
    EXPECT_EQ(base.notConverging, 0);
    EXPECT_EQ(base.notMonotonic, 5);
    EXPECT_NEAR(base.largest, 2.68742442131042E-0005, 2e-8);
    EXPECT_EQ(base.above001 + base.above0005 + base.above0001, 0);
    const Convergence baseWanted = measure(baseWant[5], baseWant[6], baseWant[7], 1);
    EXPECT_EQ(baseWanted.notMonotonic, base.notMonotonic);
    EXPECT_NEAR(baseWanted.largest, base.largest, 2e-8);
    // With only 3 iterations every threshold is exceeded.
    const Convergence short3 = measure(baseGot[0], baseGot[1], baseGot[2], 1);
    EXPECT_GT(short3.above0001, 0);
    EXPECT_GT(short3.above0005, 0);
    EXPECT_GT(short3.above001, 0);

    // The standard checks' view of the Base closure.
    {
        auto counts = exogenousCounts(writeSli("bs1b-2024"));
        EXPECT_EQ(counts["d_f"], 3);
        EXPECT_EQ(counts["d_ff"], 0);
        EXPECT_EQ(counts["d_f_diseq"], 0);
        EXPECT_EQ(counts["d_f_diseqre"], 3);
    }

    // The Rerun: one pass from 2025 with the Base's 2024 files (YRPL 2).
    prepareFile(at("rex-bs1b-2024.har"), korre + "/ROREXT.HAR", {{"YRPL", 2}}, false);
    prepareFile(at("ITER2023.HAR"), korre + "/ITER.HAR", {{"ITNO", NB + 1}}, false);
    EXPECT_EQ(oneValue(at("ext-bs1b-2024.har"), "YEAR"), 2);
    expectRorg(rorgAfterFirstYear, readRorg(korre + "/ROREXT.HAR"), "Rerun start");
    Rorg rerunRorg = rorgAfterFirstYear;
    int rerunItno = NB + 1;
    std::array<Values, 7> rerunValues{};
    std::array<Levels, 7> rerunLevels{};
    ASSERT_NO_FATAL_FAILURE(runPass(2, 1, 2, korre + "/ROREXT.HAR", korre + "/ITER.HAR",
                                    at("ext-bs1b-2024.har"), rerunRorg, rerunItno, baseLevels[1], baseValues,
                                    rerunValues, rerunLevels));
    copyTo("rex-bs1b-br1r-2029.har", "rex-bs1b-br1r-2029_RIter1.har");
    expectRorg(rerunRorg, readRorg(at("rex-bs1b-br1r-2029_RIter1.har")), "Rerun");
    EXPECT_EQ(oneValue(at("ite-bs1b-br1r-2029.har"), "ITNO"), NB + NR + 1);
    // The Rerun reproduces the Base's last iteration.
    const Rorg rerunGot = readRorg(at("rex-bs1b-br1r-2029_RIter1.har"));
    for (int k = 0; k < 3; ++k)
        for (int c = 0; c < kYears; ++c) EXPECT_NEAR(rerunGot[k][c], baseGot[NB - 1][k][c], 1e-8);
    for (int i = 2; i <= kYears; ++i) {
        const Values rerun = readValues(stem(2, i)), basev = readValues(stem(1, i));
        for (int v : {X, A, K, INV, DFF, DFDISEQ, DDISEQ, DEROR, DELRORSE})
            for (int k = 0; k < 3; ++k)
                EXPECT_NEAR(rerun[v][k], basev[v][k], 3e-7) << kReVars[v] << " " << ys(i);
        for (int v : {DFEROR, DFRORSE, DFDISEQRE})
            for (int k = 0; k < 3; ++k) EXPECT_NEAR(rerun[v][k], 0, 1e-7) << kReVars[v] << " " << ys(i);
    }
    {
        auto counts = exogenousCounts(writeSli("bs1b-br1r-2025"));
        const std::pair<const char*, int> want[] = {
            {"d_f", 3},      {"d_ff", 0},       {"d_f_diseq", 0},    {"d_f_diseqre", 0}, {"d_diseq", 3},
            {"d_eror_o", 3}, {"d_f_eror_o", 0}, {"del_ror_se_o", 3}, {"d_f_ror_se_o", 0}};
        for (const auto& [name, n] : want) EXPECT_EQ(counts[name], n) << name;
    }

    // The Policy: 8 passes from the Base's 2024 files again.
    prepareFile(at("rex-bs1b-2024.har"), korre + "/ROREXT.HAR", {{"YRPL", 2}}, false);
    prepareFile(at("ITER2023.HAR"), korre + "/ITER.HAR", {{"ITNO", NB + NR + 1}}, false);
    Rorg policyRorg = rorgAfterFirstYear;
    int policyItno = NB + NR + 1;
    std::vector<Rorg> policyGot, policyWant;
    std::array<Values, 7> policyValues{};
    std::array<Levels, 7> policyLevels{};
    for (int p = 1; p <= NP; ++p) {
        ASSERT_NO_FATAL_FAILURE(runPass(3, p, 2, korre + "/ROREXT.HAR", korre + "/ITER.HAR",
                                        at("ext-bs1b-2024.har"), policyRorg, policyItno, baseLevels[1],
                                        baseValues, policyValues, policyLevels));
        const std::string kept = "rex-bs1b-br1r-pl1p-2029_PIter" + std::to_string(p) + ".har";
        copyTo("rex-bs1b-br1r-pl1p-2029.har", kept);
        policyWant.push_back(policyRorg);
        policyGot.push_back(readRorg(at(kept)));
        expectRorg(policyRorg, policyGot.back(), "Policy iteration " + std::to_string(p));
        EXPECT_EQ(oneValue(at("ite-bs1b-br1r-pl1p-2029.har"), "ITNO"), NB + NR + p + 1);
        // Column 1 keeps the Base's value.
        for (int k = 0; k < 3; ++k) EXPECT_NEAR(policyGot.back()[k][0], baseGot[NB - 1][k][0], 1e-8);
    }
    const double policyChanges[] = {6.36e-3, 1.63e-3, 3.09e-4, 4.74e-5, 6.51e-6, 8.16e-7, 9.69e-8};
    for (int n = 2; n <= NP; ++n) {
        const double got = largestChange(policyGot[n - 1], policyGot[n - 2]);
        EXPECT_NEAR(got, largestChange(policyWant[n - 1], policyWant[n - 2]), 2e-8) << "iteration " << n;
        EXPECT_NEAR(got, policyChanges[n - 2], halfLastDigit(policyChanges[n - 2]) + 2e-8)
            << "iteration " << n;
    }
    const Convergence policy = measure(policyGot[5], policyGot[6], policyGot[7], 2);
    EXPECT_EQ(policy.pairs, 15);
    EXPECT_EQ(policy.notConverging, 0);
    EXPECT_EQ(policy.notMonotonic, 0);
    EXPECT_NEAR(policy.largest, 9.68575477600098E-0008, 2e-8);
    EXPECT_EQ(policy.above001 + policy.above0005 + policy.above0001, 0);
    EXPECT_NEAR(measure(policyWant[5], policyWant[6], policyWant[7], 2).largest, policy.largest, 2e-8);

    // The shape of the Policy: investors expect the lower 2026 return.
    const Values p2025 = readValues(stem(3, 2)), r2025 = readValues(stem(2, 2));
    const Values p2026 = readValues(stem(3, 3)), r2026 = readValues(stem(2, 3));
    EXPECT_NEAR(p2025[INV][1] - r2025[INV][1], policyValues[2][INV][1] - rerunValues[2][INV][1], 1e-4);
    EXPECT_NEAR(p2025[INV][1] - r2025[INV][1], -21.08, 0.05);
    EXPECT_NEAR(p2026[X][1] - r2026[X][1], -5.56, 0.01);
    for (int i = 2; i <= kYears; ++i) {
        const Values pv = readValues(stem(3, i)), rv = readValues(stem(2, i));
        for (int k : {0, 2}) EXPECT_NEAR(pv[X][k], rv[X][k], 0.003) << kInds[k] << " " << ys(i);
    }
}

TEST_F(GrowthReIterations, WrongClosuresShowInTheSli) {
    // BADBASE: d_f_diseqre is exogenous only for AGR and MAN, d_diseq for SER.
    prepareFile(at("ROREXT2023.HAR"), korre + "/ROREXT.HAR", {{"NFIT", 8}, {"HORZ", 6}, {"YRPL", 1}}, true);
    Solve s;
    s.stem = stem(1, 1);
    s.basedata = at("BASE2023.HAR");
    s.rorext = korre + "/ROREXT.HAR";
    s.iter = at("ITER2023.HAR");
    s.extra = at("EXTRA2023.HAR");
    s.closureAndShocks = closure("BADBASE.CLS");
    for (const auto& l : fileLines(at("B2024.BSH"))) s.closureAndShocks.push_back(l);
    ASSERT_NO_FATAL_FAILURE(runSolve(s));
    const std::string sli = writeSli(s.stem);
    SolInfoRec info;
    ASSERT_TRUE(RequestSolInfo(sli, standardMinRequest(), true, true, info).isOk());
    ASSERT_EQ(info.vars.size(), 15u);
    EXPECT_EQ(info.vars[DFDISEQRE].numExog, 2);
    EXPECT_EQ(info.vars[DFDISEQRE].exoFlags, (std::vector<bool>{true, true, false}));
    EXPECT_EQ(info.vars[DDISEQ].numExog, 1);
    EXPECT_EQ(info.vars[DDISEQ].exoFlags, (std::vector<bool>{false, false, true}));
    // The misplaced component only moves a report: the core results are
    // those of the Base closure.
    const Values want = solveYear(Levels{}, Rorg{}, 1, 1, 6, false, baseShocks(1)).v;
    const Values got = readValues(s.stem);
    for (int v : {X, A, K, INV, DFF, DFDISEQ, DEROR, DELRORSE})
        for (int k = 0; k < 3; ++k) EXPECT_NEAR(got[v][k], want[v][k], 1e-5) << kReVars[v];
    const auto sliLines = fileLines(sli);
    const auto at10 = std::find_if(sliLines.begin(), sliLines.end(), [](const std::string& l) {
        return l.find("d_f_diseqre") != std::string::npos;
    });
    ASSERT_NE(at10, sliLines.end());
    ASSERT_GE(sliLines.end() - at10, 6);
    EXPECT_NE(at10->find("     3     1 x "), std::string::npos) << *at10;
    EXPECT_EQ(*(at10 + 2), "         2");
    EXPECT_EQ(*(at10 + 3), "         1         1");
    EXPECT_EQ(*(at10 + 4), "         2         2");
    EXPECT_EQ(*(at10 + 5), "         0         0");

    // BADPOL leaves d_eror_o endogenous and d_f_eror_o exogenous.
    Solve r;
    r.stem = stem(2, 2);
    r.basedata = at("bas-" + stem(1, 1) + ".har");
    r.rorext = at("rex-" + stem(1, 1) + ".har");
    r.iter = at("ite-" + stem(1, 1) + ".har");
    r.extra = at("ext-" + stem(1, 1) + ".har");
    r.closureAndShocks = closure("BADPOL.CLS");
    r.closureAndShocks.insert(r.closureAndShocks.end(), {"shock a = uniform 1 ;", "shock l = uniform 1 ;"});
    ASSERT_NO_FATAL_FAILURE(runSolve(r));
    auto counts = exogenousCounts(writeSli(r.stem));
    EXPECT_EQ(counts["d_eror_o"], 0);
    EXPECT_EQ(counts["d_f_eror_o"], 3);
    EXPECT_EQ(counts["d_diseq"], 3);
    EXPECT_EQ(counts["del_ror_se_o"], 3);
}

/// Values of a CSV table: row name -> column title -> value.
std::map<std::string, std::map<std::string, double>> csvTable(const std::string& file) {
    std::map<std::string, std::map<std::string, double>> t;
    const auto lines = fileLines(file);
    if (lines.empty()) return t;
    const auto head = split(lines[0], ',');
    for (size_t k = 1; k < lines.size(); ++k) {
        const auto cells = split(lines[k], ',');
        for (size_t c = 1; c < cells.size() && c < head.size(); ++c)
            t[cells[0]][head[c]] = parseDouble(cells[c]).value_or(NAN);
    }
    return t;
}

/// The saved application run by the program in batch mode with the
/// rational-expectations box unchecked: every year is solved once, with
/// static expectations (ITNO stays 1, HORZ is 0), and the conversion,
/// BOT, accumulation, deviation and combining programs take growthre's
/// files.
TEST_F(GrowthRe, BatchJobWithoutRationalExpectationsSolvesEveryYearOnce) {
    std::string ds1 = readFile(at("growthre.ds1"));
    const auto pos = ds1.find("Do Korale RE=1");
    ASSERT_NE(pos, std::string::npos);
    ds1.replace(pos, 14, "Do Korale RE=0");
    writeFile(at("growthre.ds1"), ds1);
    // An ordinary change in the spreadsheets too: it adds up instead of compounding.
    writeLines(at("growthre.map"), {"x", "k", "inv", "d_f_eror_o"});
    for (const char* d : {"keep", "temp"}) ASSERT_EQ(mkdir(path(d).c_str(), 0755), 0);
    const std::string command = "cd " + dir() + " && SVKEEP=" + path("keep") + " SVTEMP=" + path("temp") +
                                " " + binPath("vardelon") + " all all " + at("growthre.ds1") + " > " +
                                path("out.txt") + " 2>&1";
    const int rc = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(rc) && WEXITSTATUS(rc) == 0) << readFile(path("out.txt"));

    // The Base, then the Rerun and the Policy from 2025 with the Base's
    // values of the Policy closure's exogenous variables.
    const Rorg none{};
    std::array<Values, 7> base{}, rerun{}, policy{};
    Levels d;
    Levels after2024;
    for (int i = 1; i <= kYears; ++i) {
        const YearOut o = solveYear(d, none, 1, i, 0, false, baseShocks(i));
        base[i] = o.v;
        d = o.next;
        if (i == 1) after2024 = d;
        expectValues(o.v, readValues(stem(1, i)), "Base " + ys(i));
    }
    EXPECT_EQ(oneValue(at("ite-bs1b-2029.har"), "ITNO"), 1);
    EXPECT_EQ(oneValue(at("ext-bs1b-2029.har"), "YEAR"), 7);
    for (int r : {2, 3}) {
        Levels dd = after2024;
        for (int i = 2; i <= kYears; ++i) {
            Values given{};
            for (int v : {A, L, T, DF, DDISEQ, DEROR, DELRORSE})
                for (int k = 0; k < 3; ++k) given[v][k] = f32(base[i][v][k]);
            if (r == 3 && (i == 2 || i == 3)) given[T][1] += 10;
            const YearOut o = solveYear(dd, none, 1, i, 0, true, given);
            (r == 2 ? rerun : policy)[i] = o.v;
            dd = o.next;
            expectValues(o.v, readValues(stem(r, i)), "run " + std::to_string(r) + " " + ys(i));
        }
    }
    // The deviation table of the Policy from the Rerun, cumulative from 2025.
    const auto dev = csvTable(at("BS1B-BR1R-PL1P-devc.csv"));
    ASSERT_EQ(dev.count("inv(MAN)"), 1u) << "rows of the growthre.map variables";
    const auto cum = csvTable(at("BS1B-BR1R-PL1P-ssc.csv"));
    ASSERT_EQ(cum.count("d_f_eror_o(MAN)"), 1u);
    double cumPolicy[NV][3], cumRerun[NV][3];
    for (int v = 0; v < NV; ++v)
        for (int k = 0; k < 3; ++k) cumPolicy[v][k] = cumRerun[v][k] = 0;
    for (int i = 2; i <= kYears; ++i) {
        for (int v = 0; v < NV; ++v)
            for (int k = 0; k < 3; ++k) {
                // Percentage changes compound; ordinary changes add up.
                const bool ordinary = v >= DF;
                auto acc = [&](double c, double y) {
                    return ordinary ? c + y : 100 * ((1 + c / 100) * (1 + f32(y) / 100) - 1);
                };
                cumPolicy[v][k] = acc(cumPolicy[v][k], ordinary ? f32(policy[i][v][k]) : policy[i][v][k]);
                cumRerun[v][k] = acc(cumRerun[v][k], ordinary ? f32(rerun[i][v][k]) : rerun[i][v][k]);
            }
        for (int v : {X, K, INV}) {
            const double want = 100 * ((1 + cumPolicy[v][1] / 100) / (1 + cumRerun[v][1] / 100) - 1);
            EXPECT_NEAR(dev.at(std::string(kReVars[v]) + "(MAN)").at(ys(i)), want,
                        1e-4 * std::max(1.0, std::fabs(want)))
                << kReVars[v] << " " << ys(i);
        }
        EXPECT_NEAR(dev.at("d_f_eror_o(MAN)").at(ys(i)), cumPolicy[DFEROR][1] - cumRerun[DFEROR][1], 1e-5)
            << ys(i);
        EXPECT_NEAR(cum.at("d_f_eror_o(MAN)").at(ys(i)), cumPolicy[DFEROR][1], 1e-5) << ys(i);
        EXPECT_NEAR(cum.at("x(MAN)").at(ys(i)), cumPolicy[X][1], 1e-4) << ys(i);
    }
    // The combined deviation results hold every variable; the ordinary
    // changes are differences of sums.
    auto f = ReadHarFile(at("BS1B-BR1R-PL1P-devc.rsl"));
    ASSERT_TRUE(f.isOk()) << f.message();
    ASSERT_NE(f->find("VARS"), nullptr);
    EXPECT_EQ(f->find("VARS")->strings.size(), 15u);
    const auto dfEror = harVariable(at("BS1B-BR1R-PL1P-devc.rsl"), "d_f_eror_o");
    ASSERT_EQ(dfEror.size(), 15u);  // IND x 5 years
    EXPECT_NEAR(dfEror[4 * 3 + 1], cumPolicy[DFEROR][1] - cumRerun[DFEROR][1], 1e-5);
}

}  // namespace
}  // namespace vdln::testing::suitetest
