#include "results/ratexp.h"

#include <gtest/gtest.h>

#include <cmath>

#include "base/fileutil.h"
#include "base/paths.h"
#include "formats/modelinfo.h"
#include "results/retestapp.h"

namespace vdln {
namespace {

using testing::harValues;
using testing::oneValue;
using testing::overInd;
using testing::rorgHeader;
using testing::writeFile;
using testing::writeHar;

PHarHeader takeHeaderRorg2() {
    return testing::takeHeader(makeREHeader("RORG", "RORG",
                                            {{"IND2", {"A", "B"}}, {"YRS", {"Y2024", "Y2025", "Y2026"}}},
                                            std::vector<float>(6, 0.0f)));
}

// --- Pure parts --------------------------------------------------------------

TEST(ConvergenceCounts, ExamplesOfConvergingAndMonotonicPairs) {
    struct Case {
        const char* what;
        ConvergenceTriple t;
        int notConverging, notMonotonic, above001, above0001;
    };
    const Case cases[] = {
        {"oscillating but converging", {1.0, 1.2, 1.1}, 0, 1, 1, 1},
        {"tiny steps", {1.0, 1.000005, 1.000008}, 0, 0, 0, 0},
        {"growing steps", {1.0, 1.1, 1.3}, 1, 0, 1, 1},
        {"equal steps are not converging", {1.0, 1.5, 2.0}, 1, 0, 1, 1},
        {"turning with a growing step", {1.0, 1.1, 0.8}, 1, 1, 1, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ConvergenceCounts n = countConvergence({c.t});
        EXPECT_EQ(n.pairs, 1);
        EXPECT_EQ(n.notConverging, c.notConverging);
        EXPECT_EQ(n.notMonotonic, c.notMonotonic);
        EXPECT_EQ(n.above001, c.above001);
        EXPECT_EQ(n.above0001, c.above0001);
        EXPECT_DOUBLE_EQ(n.largest, std::fabs(c.t.c - c.t.b));
    }
    ConvergenceCounts all = countConvergence({{1.0, 1.2, 1.1}, {2.0, 2.0004, 2.0010}, {3.0, 3.0, 3.0002}});
    EXPECT_EQ(all.pairs, 3);
    EXPECT_NEAR(all.largest, 0.1, 1e-12);
    EXPECT_EQ(all.above001, 1);   // only 0.1
    EXPECT_EQ(all.above0005, 2);  // 0.1 and 0.0006
    EXPECT_EQ(all.above0001, 3);
}

TEST(ScientificText, SignPositionFourteenDigitsAndFourDigitExponent) {
    EXPECT_EQ(scientificText(2.68742442131042e-5), " 2.68742442131042E-0005");
    EXPECT_EQ(scientificText(-1234.5), "-1.23450000000000E+0003");
    EXPECT_EQ(scientificText(0.0), " 0.00000000000000E+0000");
    EXPECT_EQ(scientificText(1e-100), " 1.00000000000000E-0100");
}

TEST(ConvergenceReportText, WholeTextWithAndWithoutTheBaseNote) {
    ConvergenceCounts c;
    c.pairs = 18;
    c.notConverging = 1;
    c.notMonotonic = 5;
    c.largest = 0.25;
    c.above001 = 2;
    c.above0005 = 3;
    c.above0001 = 4;
    const std::string body =
        "\r\nThis report relates to the IND*YEAR data (this is usually the EROR_G data) at header \"RORG\" "
        "on the "
        "ROREXT file."
        "\r\nThere are 18 IND*YEAR pairs."
        "\r\nNumber apparently not converging is 1."
        "\r\nNumber not monotonic over last 3 iterations is 5."
        "\r\nLargest difference between last two iterations is  2.50000000000000E-0001 ."
        "\r\nNumber with difference between last two iterations greater than 0.001 is 2."
        "\r\nNumber with difference between last two iterations greater than 0.0005 is 3."
        "\r\nNumber with difference between last two iterations greater than 0.0001 is 4."
        "\r\nCheck the Convergence HAR file etc to see more detail about convergence.";
    EXPECT_EQ(convergenceReportText(8, 1, 0, c), "Convergence report after 8 iterations of the Base." + body);
    EXPECT_EQ(
        convergenceReportText(5, 3, 8, c),
        "Convergence report after 5 iterations of the Policy.\r\n [There were 8 iterations of the Base.]" +
            body);
}

TEST(ReportList, ListedIterationsThenEveryLaterOne) {
    using L = std::vector<std::string>;
    EXPECT_EQ(reportList(L{"2", "4"}, 10), (std::vector<int>{2, 4, 5, 6, 7, 8, 9, 10}));
    EXPECT_EQ(reportList(std::nullopt, 3), (std::vector<int>{1, 2, 3}));
    // Lines that are not positive numbers, and numbers above the maximum, are ignored.
    EXPECT_EQ(reportList(L{" 3 ", "x", "-1", "0", "", "12"}, 5), (std::vector<int>{3, 4, 5}));
    EXPECT_EQ(reportList(L{"junk"}, 2), (std::vector<int>{1, 2}));
    EXPECT_EQ(reportList(L{"5"}, 5), (std::vector<int>{5}));
}

TEST(IterVarNames, EveryNonBlankLineNamesAVariableTheLastOneToo) {
    EXPECT_EQ(iterVarNames({"x", "k"}), (std::vector<std::string>{"x", "k"}));
    EXPECT_EQ(iterVarNames({"x", "inv", "  ", " k ", ""}), (std::vector<std::string>{"x", "inv", "k"}));
}

// --- Names ---------------------------------------------------------------------

class REFiles : public testing::REApp {};

TEST_F(REFiles, EachMissingLogicalFileIsNamedInTheOrderIterRorextExtra) {
    struct Case {
        std::vector<int> keep;
        std::string missing;
    };
    const Case cases[] = {{{1, 2, 4}, "ITER"}, {{1, 3, 4}, "ROREXT"}, {{1, 2, 3}, "EXTRA"}, {{1}, "ITER"}};
    const TSimRecord full = rec;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.missing);
        rec = full;
        rec.NumFiles = static_cast<int>(c.keep.size());
        for (size_t k = 0; k < c.keep.size(); ++k) rec.Files[static_cast<int>(k) + 1] = full.Files[c.keep[k]];
        dialogs.clear();
        EXPECT_FALSE(re->setUpNames());
        EXPECT_EQ(dialogs.lastMessage(), c.missing +
                                             " is not one of the logical file names.\r\nCannot do rational "
                                             "expectations.");
        EXPECT_EQ(dialogs.records().back().kind, MsgKind::Error);
        EXPECT_EQ(dialogs.records().back().buttons, BtnOk | BtnHelp);
        EXPECT_FALSE(re->boxCheckedOnSupportingModel());
    }
}

TEST_F(REFiles, NamesOfTheIterationCopies) {
    ASSERT_TRUE(re->setUpNames());
    EXPECT_EQ(re->currentFiles().rorext, temp + "/KorRE/ROREXT.HAR");
    EXPECT_EQ(re->currentFiles().iter, temp + "/KorRE/ITER.HAR");
    EXPECT_EQ(re->currentFiles().extra, temp + "/KorRE/EXTRA.HAR");
    EXPECT_TRUE(directoryExists(temp + "/KorRE"));
    EXPECT_EQ(re->startCopyName(1, "ROREXT", 1), work + "/rex-bs1b-2023BIter1.har");
    EXPECT_EQ(re->startCopyName(2, "ITER", 3), work + "/ite-bs1b-br1r-2024RIter3.har");
    EXPECT_EQ(re->preservedRorextName(1, 4), work + "/rex-bs1b-2026_BIter4.har");
    EXPECT_EQ(re->preservedRorextName(3, 2), work + "/rex-bs1b-br1r-pl1p-2026_PIter2.har");
    EXPECT_EQ(re->preservedCsvName(1, "yony", 2), work + "/BS1B-ssy_BIter2.csv");
    EXPECT_EQ(re->preservedCsvName(2, "cum", 1), work + "/BS1B-BR1R-ssc_RIter1.csv");
    // Global iteration numbers: the rerun continues after the Base, the policy after both.
    EXPECT_EQ(re->convergenceFileName(1, 4), work + "/BS1B_iter4.har");
    EXPECT_EQ(re->globalIteration(2, 1), 5);
    EXPECT_EQ(re->globalIteration(3, 3), 8);
    EXPECT_EQ(re->convergenceFileName(3, 8), work + "/BS1B-BR1R-PL1P_iter8.har");
    settings.NoRerun = true;
    EXPECT_EQ(re->globalIteration(3, 1), 5);
    EXPECT_EQ(re->convergenceFileName(3, 7), work + "/BS1B-PL1P_iter7.har");
}

// --- Reading a run's iteration count and checking completed runs ------------------

TEST_F(REFiles, IterationCountIsItnoMinusOneAndEveryFaultIsShown) {
    const std::string file = re->generatedLastYearFile(1, "ITER");
    EXPECT_EQ(file, work + "/ite-bs1b-2026.har");
    EXPECT_FALSE(re->readIterationCount(1));
    EXPECT_EQ(dialogs.lastMessage(), "Original file\r\n" + file + "\r\ndoes not exist.");
    EXPECT_EQ(dialogs.records().back().buttons, BtnOk);

    writeHar(file, [] {
        std::vector<PHarHeader> h;
        h.push_back(oneValue("ITNX", 5));
        return h;
    }());
    EXPECT_FALSE(re->readIterationCount(1));
    EXPECT_EQ(dialogs.lastMessage(), "Header ITNO not found on ITER file");

    writeHar(file, [] {
        std::vector<PHarHeader> h;
        h.push_back(overInd("ITNO", {5, 5, 5}));
        return h;
    }());
    EXPECT_FALSE(re->readIterationCount(1));
    EXPECT_EQ(dialogs.lastMessage(), "Header ITNO not as expected");

    writeLastIter(1, 9.0000001f);
    EXPECT_EQ(re->readIterationCount(1), 8);
    const size_t shown = dialogs.messages().size();
    std::filesystem::remove(file);
    EXPECT_FALSE(re->readIterationCount(1, true));
    EXPECT_EQ(dialogs.messages().size(), shown);  // quiet
}

TEST_F(REFiles, CompletedRunsMustMatchTheSimOverviewPage) {
    TBigJobDetails policyOnly;
    policyOnly.DoSims[3] = true;
    ASSERT_TRUE(re->setUpNames());
    writeLastIter(1, 4);  // 3 Base iterations, the page says 4
    EXPECT_FALSE(re->checkCompletedRuns(policyOnly));
    EXPECT_EQ(dialogs.lastMessage(),
              "Serious problem. When you completed the Base,\r\n you had done a total of 3 "
              "iterations.\r\nHowever the "
              "Sim Overview page says 4 iterations for the Base.\r\nPlease check. Either adjust the number "
              "on the Sim "
              "Overview page\r\n or else you may need to run the Base again.");
    EXPECT_EQ(dialogs.records().back().buttons, BtnOk | BtnHelp);

    writeLastIter(1, 5);
    writeLastIter(2, 5);  // 4 in all; the page implies 4 + 1
    EXPECT_FALSE(re->checkCompletedRuns(policyOnly));
    EXPECT_EQ(
        dialogs.lastMessage(),
        "Serious problem. When you completed the Rerun,\r\n you had done a total of 4 iterations (Base and "
        "Rerun).\r\nHowever the numbers on the Sim Overview page imply a total of 5.\r\nPlease check. Either "
        "adjust the numbers on the Sim Overview page\r\n or else you may need to start this run earlier (at "
        "the "
        "Base or the Rerun).");
    writeLastIter(2, 6);
    EXPECT_TRUE(re->checkCompletedRuns(policyOnly));

    // A rerun job checks the Base only; a job with the Base checks nothing.
    TBigJobDetails rerunOnly;
    rerunOnly.DoSims[2] = true;
    std::filesystem::remove(re->generatedLastYearFile(2, "ITER"));
    EXPECT_TRUE(re->checkCompletedRuns(rerunOnly));
    TBigJobDetails withBase;
    withBase.DoSims[1] = true;
    std::filesystem::remove(re->generatedLastYearFile(1, "ITER"));
    EXPECT_TRUE(re->checkCompletedRuns(withBase));
    // In no-rerun mode the policy job checks the Base only.
    settings.NoRerun = true;
    writeLastIter(1, 5);
    EXPECT_TRUE(re->checkCompletedRuns(policyOnly));
}

TEST_F(REFiles, JobStartNeedsTheMapFileWhenConvergenceFilesAreWanted) {
    TBigJobDetails job;
    job.DoSims[1] = true;
    job.FirstSimYear[1] = 1;
    job.LastSimYear[1] = 3;
    EXPECT_FALSE(re->startJob(job));
    EXPECT_EQ(
        dialogs.lastMessage(),
        "Since you are creating Convergence HAR files,\r\n you must specify the names of the variables to "
        "include\r\n on the Interation Variables Mapping file\r\n" +
            work + "/itervar.map\r\nThis file does not exist. Please create such a file.");
    settings.re.ConvergenceHar = false;
    EXPECT_TRUE(re->startJob(job));
}

// --- Preparing the iteration files -------------------------------------------------

TEST_F(REFiles, BaseFirstPassZeroesRorgAndSetsTheCountsAndStartCopies) {
    re->setCounts(reIterationCounts(settings));
    ASSERT_TRUE(re->setUpIterationFiles(1)) << dialogs.lastMessage();
    const auto& f = re->currentFiles();
    EXPECT_EQ(harValues(f.rorext, "RORG"), std::vector<float>(9, 0.0f));
    EXPECT_EQ(harValues(f.rorext, "ADRE"), (std::vector<float>{1, 1, 1}));
    EXPECT_EQ(harValues(f.rorext, "NFIT"), std::vector<float>{4});
    EXPECT_EQ(harValues(f.rorext, "HORZ"), std::vector<float>{3});
    EXPECT_EQ(harValues(f.rorext, "YRPL"), std::vector<float>{1});
    EXPECT_EQ(harValues(f.rorext, "NRIT"), std::vector<float>{0});
    EXPECT_EQ(harValues(f.iter, "ITNO"), std::vector<float>{1});
    EXPECT_EQ(harValues(f.extra, "YEAR"), std::vector<float>{1});
    EXPECT_EQ(testing::readFile(re->startCopyName(1, "ROREXT", 1)), testing::readFile(f.rorext));
    EXPECT_EQ(testing::readFile(re->startCopyName(1, "ITER", 1)), testing::readFile(f.iter));
    // The first-year files are left as they were.
    EXPECT_EQ(harValues(work + "/ROREXT2023.HAR", "RORG")[1], 0.05f);
    // A second call in the same pass does nothing.
    std::filesystem::remove(f.iter);
    EXPECT_TRUE(re->setUpIterationFiles(1));
    EXPECT_FALSE(fileExists(f.iter));
}

TEST_F(REFiles, RerunFirstPassStartsFromTheBasesFileOfTheYearBeforeThePolicy) {
    settings.re.SeveralRerunIterations = true;
    settings.re.RerunIterations = 2;
    re->setCounts(reIterationCounts(settings));
    ASSERT_TRUE(re->setUpNames());
    writeRorextOf(1, 1, {1, 2, 3, 4, 5, 6, 7, 8, 9});  // rex-bs1b-2024.har
    ASSERT_TRUE(re->setUpIterationFiles(2)) << dialogs.lastMessage();
    const auto& f = re->currentFiles();
    EXPECT_EQ(harValues(f.rorext, "RORG"), (std::vector<float>{1, 2, 3, 4, 5, 6, 7, 8, 9}));  // not zeroed
    EXPECT_EQ(harValues(f.rorext, "YRPL"), std::vector<float>{2});
    EXPECT_EQ(harValues(f.rorext, "NRIT"), std::vector<float>{2});
    EXPECT_EQ(harValues(f.rorext, "NFIT"), std::vector<float>{0});
    EXPECT_EQ(harValues(f.iter, "ITNO"), std::vector<float>{5});  // NB + 1
    EXPECT_FALSE(fileExists(f.extra));                            // the rerun starts in year 2
    EXPECT_TRUE(fileExists(work + "/rex-bs1b-br1r-2024RIter1.har"));

    // The policy then starts from the rerun's start copy of its last iteration.
    writeHar(re->startCopyName(2, "ROREXT", 2), testing::REApp::rorextHeaders({9, 8, 7, 6, 5, 4, 3, 2, 1}));
    ASSERT_TRUE(re->setUpIterationFiles(3)) << dialogs.lastMessage();
    EXPECT_EQ(harValues(f.rorext, "RORG"), (std::vector<float>{9, 8, 7, 6, 5, 4, 3, 2, 1}));
    EXPECT_EQ(harValues(f.iter, "ITNO"), std::vector<float>{7});  // NB + NR + 1
}

TEST_F(REFiles, WithThePolicyFromYearOneTheRerunStartsFromTheBasesNextToLastIteration) {
    fpy = 1;
    re->setCounts(reIterationCounts(settings));
    ASSERT_TRUE(re->setUpNames());
    writeHar(re->preservedRorextName(1, 3), testing::REApp::rorextHeaders({3, 3, 3, 3, 3, 3, 3, 3, 3}));
    ASSERT_TRUE(re->setUpIterationFiles(2)) << dialogs.lastMessage();
    EXPECT_EQ(harValues(re->currentFiles().rorext, "RORG"), std::vector<float>(9, 3.0f));
    EXPECT_EQ(harValues(re->currentFiles().rorext, "YRPL"), std::vector<float>{1});
    EXPECT_EQ(harValues(re->currentFiles().extra, "YEAR"), std::vector<float>{1});
}

TEST_F(REFiles, ExtraBaseIterationsContinueFromTheLastYearsFile) {
    re->setExtraIterations(1, 4, 6, true);
    EXPECT_EQ(re->startIteration(1), 5);
    EXPECT_EQ(re->currentIteration(1), 5);
    ASSERT_TRUE(re->setUpNames());
    writeRorextOf(3, 1, {4, 4, 4, 4, 4, 4, 4, 4, 4});  // rex-bs1b-2026.har
    ASSERT_TRUE(re->setUpIterationFiles(1)) << dialogs.lastMessage();
    const auto& f = re->currentFiles();
    EXPECT_EQ(harValues(f.rorext, "RORG"), std::vector<float>(9, 4.0f));  // kept
    EXPECT_EQ(harValues(f.rorext, "HORZ"), std::vector<float>{0});        // only set at iteration 1
    EXPECT_EQ(harValues(f.rorext, "NFIT"), std::vector<float>{4});
    EXPECT_EQ(harValues(f.iter, "ITNO"), std::vector<float>{5});
    EXPECT_FALSE(fileExists(re->startCopyName(1, "ROREXT", 1)));  // no start copy for a later start
}

TEST_F(REFiles, EveryPreparationFaultHasItsMessage) {
    struct Case {
        const char* what;
        std::function<void()> spoil;
        std::string message;
    };
    auto rorextWith = [this](std::vector<PHarHeader> h) { writeHar(work + "/ROREXT2023.HAR", std::move(h)); };
    auto without = [](const std::string& name) {
        std::vector<PHarHeader> all = testing::REApp::rorextHeaders(std::vector<float>(9, 0.05f));
        std::vector<PHarHeader> kept;
        for (auto& h : all)
            if (h->trimmedName() != name) kept.push_back(std::move(h));
        return kept;
    };
    const Case cases[] = {
        {"no EXTRA file", [this] { std::filesystem::remove(work + "/EXTRA2023.HAR"); },
         "Original file \r\n" + work + "/EXTRA2023.HAR\r\ndoes not exist"},
        {"no ROREXT file", [this] { std::filesystem::remove(work + "/ROREXT2023.HAR"); },
         "Original file \r\n" + work + "/ROREXT2023.HAR\r\ndoes not exist"},
        {"no ADRE", [&] { rorextWith(without("ADRE")); }, "Header ADRE not found on ROREXT file"},
        {"no RORG", [&] { rorextWith(without("RORG")); }, "Header RORG not found on ROREXT file"},
        {"no NFIT", [&] { rorextWith(without("NFIT")); }, "Header NFIT not found on ROREXT file"},
        {"no HORZ", [&] { rorextWith(without("HORZ")); }, "Header HORZ not found on ROREXT file"},
        {"no YRPL", [&] { rorextWith(without("YRPL")); }, "Header YRPL not found on ROREXT file"},
        {"RORG over other industries",
         [&] {
             auto h = without("RORG");
             h.push_back(takeHeaderRorg2());
             rorextWith(std::move(h));
         },
         "Header RORG not as expected"},
        {"NFIT of three values",
         [&] {
             auto h = without("NFIT");
             h.push_back(overInd("NFIT", {1, 2, 3}));
             rorextWith(std::move(h));
         },
         "Header NFIT not as expected"},
        {"no ITNO",
         [this] {
             std::vector<PHarHeader> h;
             h.push_back(oneValue("ITNX", 1));
             writeHar(work + "/ITER2023.HAR", std::move(h));
         },
         "Header ITNO not found on ITER file"},
        {"no YEAR",
         [this] {
             std::vector<PHarHeader> h;
             h.push_back(oneValue("YEAX", 1));
             writeHar(work + "/EXTRA2023.HAR", std::move(h));
         },
         "Header YEAR not found on EXTRA file"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        writeFirstYearFiles();
        c.spoil();
        KoraleRE fresh(REContext{rec, settings, dialogs, clock, temp, [this] { return fpy; }, {}});
        fresh.setCounts(reIterationCounts(settings));
        dialogs.clear();
        EXPECT_FALSE(fresh.setUpIterationFiles(1));
        EXPECT_EQ(dialogs.lastMessage(), c.message);
        EXPECT_EQ(dialogs.records().back().buttons, BtnOk | BtnHelp);
    }
    // The rerun needs NRIT only when its TAB file allows several iterations.
    writeFirstYearFiles();
    writeRorextOf(1, 1, std::vector<float>(9, 1.0f));
    writeHar(work + "/rex-bs1b-2024.har", without("NRIT"));
    re->setCounts(reIterationCounts(settings));
    EXPECT_TRUE(re->setUpIterationFiles(2)) << dialogs.lastMessage();
    settings.re.SeveralRerunIterations = true;
    KoraleRE several(REContext{rec, settings, dialogs, clock, temp, [this] { return fpy; }, {}});
    several.setCounts(reIterationCounts(settings));
    EXPECT_FALSE(several.setUpIterationFiles(2));
    EXPECT_EQ(dialogs.lastMessage(),
              "Header NRIT not found on ROREXT file.\r\nDoes your TAB file  really allow more than one "
              "iteration on "
              "the Rerun?");
}

}  // namespace
}  // namespace vdln
