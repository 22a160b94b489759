// The standard closure checks, the convergence header array files, the end
// of an iteration and the convergence report of the iterations.
#include <gtest/gtest.h>

#include <cmath>

#include "base/fileutil.h"
#include "base/paths.h"
#include "base/strutil.h"
#include "results/ratexp.h"
#include "results/retestapp.h"

namespace vdln {
namespace {

using testing::harValues;
using testing::oneValue;
using testing::overInd;
using testing::takeHeader;
using testing::writeFile;
using testing::writeHar;

std::string pad(const std::string& s, size_t n) {
    return s + std::string(n > s.size() ? n - s.size() : 0, ' ');
}

// One variable of a hand-made ".sli": its name, and its exogenous
// components ('X' all, 'N' none, or a count with ranges).
struct SliVar {
    std::string name;
    char stat;
    std::vector<std::pair<int, int>> ranges{};
};

std::string sliText(const std::vector<SliVar>& vars) {
    std::vector<std::string> l{"#SETS",
                               "1",
                               "      " + pad("IND", 12) + " 3  k Industries",
                               "AGR",
                               "MAN",
                               "SER",
                               "#VARIABLES",
                               std::to_string(vars.size())};
    for (const auto& v : vars) {
        l.push_back("      " + pad(v.name, 15) + " 3 1 " + v.stat + " " + v.name + " variable");
        l.push_back("1");
        if (v.stat == 'x') {
            int count = 0;
            for (auto [a, b] : v.ranges) count += b - a + 1;
            l.push_back(std::to_string(count));
            for (auto [a, b] : v.ranges) l.push_back(pad(std::to_string(a), 10) + pad(std::to_string(b), 10));
            l.push_back("0");
        }
    }
    l.push_back("#VCSTAT");
    l.push_back(std::string(vars.size(), 'c'));
    l.push_back("#VCTP");
    l.push_back(std::string(vars.size(), 'c'));
    l.push_back("#VBDSC");
    l.push_back("1");
    l.push_back("a test model");
    std::string s;
    for (const auto& x : l) s += x + "\r\n";
    return s;
}

std::vector<SliVar> baseClosure() {
    return {{"x", 'X'},           {"d_f", 'X'},         {"d_ff", 'N'},
            {"d_f_diseq", 'N'},   {"d_f_diseqre", 'X'}, {"d_diseq", 'N'},
            {"d_eror_o", 'N'},    {"d_f_eror_o", 'X'},  {"del_ror_se_o", 'N'},
            {"d_f_ror_se_o", 'X'}};
}
std::vector<SliVar> policyClosure() {
    return {{"x", 'N'},           {"d_f", 'X'},         {"d_ff", 'N'},
            {"d_f_diseq", 'N'},   {"d_f_diseqre", 'N'}, {"d_diseq", 'X'},
            {"d_eror_o", 'X'},    {"d_f_eror_o", 'N'},  {"del_ror_se_o", 'X'},
            {"d_f_ror_se_o", 'N'}};
}

class REConvergence : public testing::REApp {
protected:
    std::string sli(int year, int run) const {
        return changeExt(SolutionFile(rec, year, run, false), ".sli");
    }
    std::string sol(int year, int run) const {
        return changeExt(SolutionFile(rec, year, run, false), ".sol");
    }
    // A ".sol" of (year, run) holding x and k over IND with values that tell
    // the iteration, year and industry apart.
    void writeSol(int year, int run, int iteration) {
        std::vector<float> x, k;
        for (int i = 1; i <= 3; ++i) {
            x.push_back(static_cast<float>(100 * iteration + 10 * year + i));
            k.push_back(static_cast<float>(-(100 * iteration + 10 * year + i)));
        }
        std::vector<PHarHeader> h;
        h.push_back(takeHeader(makeREHeader("0001", "x Output", {{"IND", testing::inds()}}, x)));
        h.push_back(takeHeader(makeREHeader("0002", "xk Not k", {{"IND", testing::inds()}}, {0, 0, 0})));
        h.push_back(takeHeader(makeREHeader("0003", "k Capital", {{"IND", testing::inds()}}, k)));
        writeHar(sol(year, run), std::move(h));
    }
    // Runs what a pass of the Base does to these files: the solutions of
    // every year, the last year's ROREXT with RORG = `rorg`, then the end of
    // the iteration.
    bool basePass(int iteration, std::vector<float> rorg) {
        re->setCurrentIteration(1, iteration);  // as the engine does when the run restarts
        for (int y = 1; y <= 3; ++y) writeSol(y, 1, iteration);
        writeRorextOf(3, 1, std::move(rorg));
        writeFile(work + "/BS1B-ssy.csv", "yony " + std::to_string(iteration));
        writeFile(work + "/BS1B-ssc.csv", "cum " + std::to_string(iteration));
        re->countIteration(1);
        return re->endOfIteration(1);
    }
    TBigJobDetails baseJob() {
        TBigJobDetails job;
        job.DoSims[1] = true;
        job.FirstSimYear[1] = 1;
        job.LastSimYear[1] = 3;
        return job;
    }
};

// --- Standard checks ----------------------------------------------------------------

TEST_F(REConvergence, StandardChecksPassTheRightClosuresOfEachRun) {
    writeFile(sli(1, 1), sliText(baseClosure()));
    writeFile(sli(2, 2), sliText(policyClosure()));
    writeFile(sli(2, 3), sliText(policyClosure()));
    EXPECT_TRUE(re->standardChecks(1, 1)) << dialogs.lastMessage();
    EXPECT_TRUE(re->standardChecks(2, 2)) << dialogs.lastMessage();
    EXPECT_TRUE(re->standardChecks(3, 2)) << dialogs.lastMessage();
    EXPECT_TRUE(dialogs.messages().empty());
}

TEST_F(REConvergence, StandardChecksNameEveryFaultInTableOrder) {
    // The Base closure used for a rerun: every run-2 rule that differs fails.
    writeFile(sli(2, 2), sliText(baseClosure()));
    EXPECT_FALSE(re->standardChecks(2, 2));
    EXPECT_EQ(dialogs.lastMessage(),
              "Doing rational expectations (KORALE style).\r\nThere is a problem the with closure for "
              "simulation for "
              "year 2025 (year number 2) of the Rerun:"
              "\r\n Not all components of variable d_f_diseqre are endogenous."
              "\r\n Not all components of variable d_diseq are exogenous."
              "\r\n Not all components of variable d_eror_o are exogenous."
              "\r\n Not all components of variable d_f_eror_o are endogenous."
              "\r\n Not all components of variable del_ror_se_o are exogenous."
              "\r\n Not all components of variable d_f_ror_se_o are endogenous."
              "\r\nPlease fix these problems and run the application again.");
    EXPECT_EQ(dialogs.records().back().buttons, BtnOk | BtnHelp);

    // Partly exogenous, and a variable the model lacks (found without regard to case).
    std::vector<SliVar> v = baseClosure();
    v[4] = {"D_F_DISEQRE", 'x', {{1, 1}, {2, 2}}};
    v.erase(v.begin() + 2);  // no d_ff
    writeFile(sli(1, 1), sliText(v));
    EXPECT_FALSE(re->standardChecks(1, 1));
    EXPECT_EQ(dialogs.lastMessage(),
              "Doing rational expectations (KORALE style).\r\nThere is a problem the with closure for "
              "simulation for "
              "year 2024 (year number 1) of the Base:"
              "\r\n d_ff is not a variable in the model"
              "\r\n Not all components of variable d_f_diseqre are exogenous."
              "\r\nPlease fix these problems and run the application again.");

    // With the checks off nothing is read.
    settings.re.StandardChecks = false;
    EXPECT_TRUE(re->standardChecks(3, 3));
    settings.re.StandardChecks = true;
    dialogs.clear();
    EXPECT_FALSE(re->standardChecks(3, 3));  // no .sli
    EXPECT_NE(dialogs.lastMessage().find(sli(3, 3)), std::string::npos) << dialogs.lastMessage();
}

// --- Convergence files --------------------------------------------------------------

TEST_F(REConvergence, ConvergenceFileHoldsTheListedIterationsOfTheMappedVariables) {
    settings.re.BaseIterations = 5;
    writeFile(work + "/itervar.map", "x\r\nk\r\n");
    writeFile(work + "/iterB", "2\r\n");
    re->setCounts(reIterationCounts(settings));
    ASSERT_TRUE(re->startJob(baseJob())) << dialogs.lastMessage();
    writeSol(1, 1, 1);
    ASSERT_TRUE(re->startConvergenceFile(1)) << dialogs.lastMessage();
    EXPECT_EQ(re->reportListOf(1), (std::vector<int>{2, 3, 4, 5}));
    ASSERT_EQ(re->variableMap().size(), 2u);
    EXPECT_EQ(re->variableMap()[1].header, "0003");  // "xk ..." is not k

    for (int it = 1; it <= 5; ++it)
        ASSERT_TRUE(basePass(it, std::vector<float>(9, 0.1f * it))) << dialogs.lastMessage();
    const std::string file = work + "/BS1B_iter5.har";
    auto read = ReadHarFile(file);
    ASSERT_TRUE(read) << read.message();
    ASSERT_EQ(read->count(), 2);
    const HarHeader* k = read->find("0002");
    ASSERT_TRUE(k);
    EXPECT_EQ(trim(k->re.coefName), "k");
    EXPECT_EQ(k->NDim, 3);
    EXPECT_EQ(k->setName(1), "ITERATIONS");
    EXPECT_EQ(k->setName(2), "YEARS");
    EXPECT_EQ(k->elementNames(1), (std::vector<std::string>{"It2", "It3", "It4", "It5"}));
    EXPECT_EQ(k->elementNames(2), (std::vector<std::string>{"2024", "2025", "2026"}));
    EXPECT_EQ(k->elementNames(3), testing::inds());
    // Value of iteration it, year y, industry i: -(100 it + 10 y + i).
    for (int p = 1; p <= 4; ++p)
        for (int y = 1; y <= 3; ++y)
            for (int i = 1; i <= 3; ++i) {
                SCOPED_TRACE(std::to_string(p) + " " + std::to_string(y) + " " + std::to_string(i));
                EXPECT_EQ(k->HeadMat.at(p, y, i), -(100.0f * (p + 1) + 10.0f * y + i));
            }
    // Preserved ROREXT and CSV copies of every iteration.
    for (int it = 1; it <= 5; ++it) {
        EXPECT_EQ(harValues(re->preservedRorextName(1, it), "RORG"), std::vector<float>(9, 0.1f * it));
        EXPECT_EQ(testing::readFile(re->preservedCsvName(1, "yony", it)), "yony " + std::to_string(it));
        EXPECT_EQ(testing::readFile(re->preservedCsvName(1, "cum", it)), "cum " + std::to_string(it));
    }
}

TEST_F(REConvergence, ConvergenceFileFaults) {
    re->setCounts(reIterationCounts(settings));
    writeFile(work + "/itervar.map", "x\r\ninv\r\n");
    ASSERT_TRUE(re->startJob(baseJob())) << dialogs.lastMessage();
    EXPECT_FALSE(re->startConvergenceFile(1));
    EXPECT_EQ(dialogs.lastMessage(), "File " + sol(1, 1) + " does not exist");
    writeSol(1, 1, 1);
    EXPECT_FALSE(re->startConvergenceFile(1));
    EXPECT_EQ(dialogs.lastMessage(),
              "Rational Expectations: Results are not available for variable inv\r\nPlease "
              "modify file " +
                  work + "/itervar.map");
    EXPECT_EQ(dialogs.records().back().buttons, BtnOk | BtnHelp);
    settings.re.ConvergenceHar = false;
    EXPECT_TRUE(re->startConvergenceFile(1));
}

TEST_F(REConvergence, ExtraIterationsCarryTheEarlierFileForward) {
    writeFile(work + "/itervar.map", "k\r\n");
    settings.re.BaseIterations = 2;
    re->setCounts(reIterationCounts(settings));
    ASSERT_TRUE(re->startJob(baseJob()));
    writeSol(1, 1, 1);
    ASSERT_TRUE(re->startConvergenceFile(1));
    ASSERT_TRUE(basePass(1, std::vector<float>(9, 0.1f)));
    ASSERT_TRUE(basePass(2, std::vector<float>(9, 0.2f)));
    re->finalReport();  // 2 iterations: no history, no report
    EXPECT_TRUE(re->lastReports()[1].empty());
    EXPECT_TRUE(fileExists(work + "/BS1B_iter2.har"));

    // Two more: the new file names iterations 1..4 and keeps 1 and 2.
    settings.re.BaseIterations = 4;
    re->setExtraIterations(1, 2, 4, true);
    ASSERT_TRUE(re->startJob(baseJob()));
    writeSol(1, 1, 3);
    ASSERT_TRUE(re->startConvergenceFile(1)) << dialogs.lastMessage();
    ASSERT_TRUE(basePass(3, std::vector<float>(9, 0.3f)));
    ASSERT_TRUE(basePass(4, std::vector<float>(9, 0.35f)));
    auto read = ReadHarFile(work + "/BS1B_iter4.har");
    ASSERT_TRUE(read) << read.message();
    const HarHeader* k = read->find("0001");
    ASSERT_TRUE(k);
    EXPECT_EQ(k->elementNames(1), (std::vector<std::string>{"It1", "It2", "It3", "It4"}));
    for (int p = 1; p <= 4; ++p) EXPECT_EQ(k->HeadMat.at(p, 2, 3), -(100.0f * p + 23)) << p;

    // Without the earlier file the user is told, and only new iterations are kept.
    std::filesystem::remove(work + "/BS1B_iter4.har");
    settings.re.BaseIterations = 5;
    re->setExtraIterations(1, 4, 5, true);
    ASSERT_TRUE(re->startJob(baseJob()));
    dialogs.clear();
    ASSERT_TRUE(re->startConvergenceFile(1));
    EXPECT_EQ(dialogs.lastMessage(),
              "Convergence information HAR file from end of iteration number 4 does not "
              "exist.\r\nCan only put information for new iterations on this time.");
}

// --- End of an iteration, history and report ---------------------------------------------

TEST_F(REConvergence, EndOfIterationNeedsTheLastYearsRorext) {
    re->setCounts(reIterationCounts(settings));
    settings.re.ConvergenceHar = false;
    ASSERT_TRUE(re->startJob(baseJob()));
    re->countIteration(1);
    EXPECT_FALSE(re->endOfIteration(1));
    EXPECT_EQ(dialogs.lastMessage(), "Original file \r\n" + work + "/rex-bs1b-2026.har\r\ndoes not exist");
    writeRorextOf(3, 1, std::vector<float>(9, 1));
    EXPECT_FALSE(re->endOfIteration(1));  // no CSV
    EXPECT_EQ(dialogs.lastMessage(), "Original file \r\n" + work + "/BS1B-ssy.csv\r\ndoes not exist");
    writeFile(work + "/BS1B-ssy.csv", "y");
    settings.AbbreviatedSsJobs = true;  // no cumulative CSV then
    EXPECT_TRUE(re->endOfIteration(1)) << dialogs.lastMessage();
    EXPECT_FALSE(fileExists(re->preservedCsvName(1, "cum", 1)));
}

TEST_F(REConvergence, ReportComparesTheLastThreeIterations) {
    settings.re.BaseIterations = 4;
    settings.re.ConvergenceHar = false;
    re->setCounts(reIterationCounts(settings));
    ASSERT_TRUE(re->startJob(baseJob()));
    ASSERT_TRUE(re->setUpIterationFiles(1));
    // RORG(i, y) over 4 iterations; the report uses iterations 2, 3, 4.
    // Pair (AGR, 2024): 1.0, 1.2, 1.1 (converging, not monotonic); (MAN, 2024):
    // 1.0, 1.1, 1.3 (not converging); others 0.5 constant.
    auto rorg = [](float agr, float man) {
        std::vector<float> v(9, 0.5f);
        v[0] = agr;
        v[1] = man;
        return v;
    };
    ASSERT_TRUE(basePass(1, rorg(7, 7)));
    ASSERT_TRUE(basePass(2, rorg(1.0f, 1.0f)));
    ASSERT_TRUE(basePass(3, rorg(1.2f, 1.1f)));
    ASSERT_TRUE(basePass(4, rorg(1.1f, 1.3f)));
    std::vector<ConvergenceTriple> t(9, {0.5, 0.5, 0.5});
    t[0] = {1.0f, 1.2f, 1.1f};
    t[1] = {1.0f, 1.1f, 1.3f};
    const std::string expected = convergenceReportText(4, 1, 0, countConvergence(t));
    auto report = re->convergenceReport(1);
    ASSERT_TRUE(report);
    EXPECT_EQ(*report, expected);
    EXPECT_NE(expected.find("There are 9 IND*YEAR pairs."), std::string::npos);
    EXPECT_NE(expected.find("Number apparently not converging is 1."), std::string::npos);
    EXPECT_NE(expected.find("Number not monotonic over last 3 iterations is 1."), std::string::npos);

    dialogs.clear();
    re->finalReport();
    EXPECT_EQ(re->lastReports()[1], expected);
    EXPECT_EQ(dialogs.lastMessage(), expected);
    EXPECT_EQ(dialogs.records().back().buttons, BtnOk | BtnHelp);
    EXPECT_FALSE(re->doingRE());  // the next job does not iterate unless asked

    // The largest change between successive iterations, from the preserved files.
    const auto& series = re->lastSeries()[1];
    ASSERT_EQ(series.size(), 3u);
    EXPECT_EQ(series[0].iteration, 2);
    EXPECT_NEAR(series[0].change, 6.0, 1e-6);  // 7 -> 1.0
    EXPECT_NEAR(series[2].change, std::fabs(1.3f - 1.1f), 1e-6);
}

// A history whose years are not the run's years any more (the application
// changed between the start of the iterations and the report) gives no
// numbers, only the internal-error message.
TEST_F(REConvergence, ReportOfAHistoryOverOtherYearsIsTheNumYearProblem) {
    settings.re.BaseIterations = 3;
    settings.re.ConvergenceHar = false;
    re->setCounts(reIterationCounts(settings));
    ASSERT_TRUE(re->startJob(baseJob()));
    ASSERT_TRUE(re->setUpIterationFiles(1));
    for (int it = 1; it <= 3; ++it)
        ASSERT_TRUE(basePass(it, std::vector<float>(9, 0.1f * static_cast<float>(it))))
            << dialogs.lastMessage();
    ASSERT_TRUE(re->convergenceReport(1)) << "the same years give the report";
    rec.NumYears = 2;
    dialogs.clear();
    EXPECT_FALSE(re->convergenceReport(1));
    ASSERT_EQ(dialogs.records().size(), 1u);
    EXPECT_EQ(
        dialogs.lastMessage(),
        "Sorry, an internal error has occurred.\r\nProblem producing convergence report for Base.\r\n Num "
        "year problem");
    EXPECT_EQ(dialogs.records().back().kind, MsgKind::Error);
    EXPECT_EQ(dialogs.records().back().buttons, BtnOk);
    // The end of the job shows that message in place of the report.
    dialogs.clear();
    re->finalReport();
    EXPECT_TRUE(re->lastReports()[1].empty());
    ASSERT_EQ(dialogs.records().size(), 1u);
    EXPECT_NE(dialogs.lastMessage().find(" Num year problem"), std::string::npos);
}

}  // namespace
}  // namespace vdln

namespace vdln {
namespace {

// The faults of the convergence file and of the end of an iteration that the
// demo never meets: headers of other shapes, a missing RORG, a start copy
// that cannot be made.
TEST_F(REConvergence, FaultsOfShapesAndCopies) {
    auto solWith = [&](int year, PHarHeader extra) {
        std::vector<PHarHeader> h;
        h.push_back(takeHeader(makeREHeader("0001", "x Output", {{"IND", testing::inds()}}, {1, 2, 3})));
        if (extra) h.push_back(std::move(extra));
        writeHar(sol(year, 1), std::move(h));
    };
    writeFile(work + "/itervar.map", "x\r\nbig\r\n");
    re->setCounts(reIterationCounts(settings));
    ASSERT_TRUE(re->startJob(baseJob()));
    std::vector<HarSet> six;
    for (int k = 0; k < 6; ++k) six.push_back({"S" + std::to_string(k), {"e"}});
    solWith(1, takeHeader(makeREHeader("0009", "big Six dimensions", six, {1})));
    EXPECT_FALSE(re->startConvergenceFile(1));
    EXPECT_EQ(dialogs.lastMessage(), "Max dimension allowed is 5. Variable big has dimension 6");

    // Three own dimensions are accepted for the file but cannot be reported.
    solWith(1, takeHeader(makeREHeader("0009", "big Three dimensions", {six[0], six[1], six[2]}, {1})));
    ASSERT_TRUE(re->startConvergenceFile(1)) << dialogs.lastMessage();
    for (int y = 2; y <= 3; ++y)
        solWith(y, takeHeader(makeREHeader("0009", "big", {six[0], six[1], six[2]}, {1})));
    writeRorextOf(3, 1, std::vector<float>(9, 0.1f));
    writeFile(work + "/BS1B-ssy.csv", "y");
    writeFile(work + "/BS1B-ssc.csv", "c");
    re->countIteration(1);
    EXPECT_FALSE(re->endOfIteration(1));
    EXPECT_EQ(dialogs.lastMessage(), "Cannot report variables of dimension 3 or more");

    // A later year's solution without the variable.
    writeFile(work + "/itervar.map", "x\r\n");
    ASSERT_TRUE(re->startConvergenceFile(1));
    writeHar(sol(2, 1), [] {
        std::vector<PHarHeader> h;
        h.push_back(oneValue("YEAR", 2025));
        return h;
    }());
    EXPECT_FALSE(re->endOfIteration(1));
    EXPECT_EQ(dialogs.lastMessage(), "Could not find header 0001 on SOL file");

    // The map file removed after the job started.
    std::filesystem::remove(work + "/itervar.map");
    EXPECT_FALSE(re->startConvergenceFile(1));
    EXPECT_EQ(dialogs.lastMessage(), "File " + work + "/itervar.map does not exist");
}

TEST_F(REConvergence, HistoryNeedsRorgAtTheEndOfTheLastIterations) {
    settings.re.BaseIterations = 3;
    settings.re.ConvergenceHar = false;
    settings.re.ConvergenceCsv = false;
    re->setCounts(reIterationCounts(settings));
    ASSERT_TRUE(re->startJob(baseJob()));
    ASSERT_TRUE(re->setUpIterationFiles(1));
    writeHar(re->generatedLastYearFile(1, "ROREXT"), [] {
        std::vector<PHarHeader> h;
        h.push_back(overInd("ADRE", {1, 1, 1}));
        return h;
    }());
    re->countIteration(1);
    EXPECT_FALSE(re->endOfIteration(1));
    EXPECT_EQ(dialogs.lastMessage(),
              "Could not find header \"RORG\" on ROREXT file at end of this iteration");
    EXPECT_FALSE(re->convergenceReport(1));  // an incomplete history gives no report
}

TEST_F(REConvergence, StartCopyThatCannotBeMadeStopsThePreparation) {
    re->setCounts(reIterationCounts(settings));
    ASSERT_TRUE(re->setUpNames());
    std::filesystem::create_directories(re->startCopyName(1, "ITER", 1));  // a folder where the copy goes
    EXPECT_FALSE(re->setUpIterationFiles(1));
    EXPECT_EQ(dialogs.lastMessage(), "Dest not created");

    // ADRE without a dimension.
    std::filesystem::remove_all(re->startCopyName(1, "ITER", 1));
    writeHar(work + "/ROREXT2023.HAR", [] {
        std::vector<PHarHeader> h;
        h.push_back(oneValue("ADRE", 1));
        return h;
    }());
    EXPECT_FALSE(re->setUpIterationFiles(1));
    EXPECT_EQ(dialogs.lastMessage(), "Header ADRE not as expected");
}

}  // namespace
}  // namespace vdln
