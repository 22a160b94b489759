// Runs the vardelon executable in batch mode on the demonstration
// application and checks its results against values computed here from the
// model's equations and the demo inputs.
#include <sys/wait.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "base/fileutil.h"
#include "base/strutil.h"
#include "base/textfile.h"
#include "support/tempdir.h"
#include "support/testpaths.h"

namespace vdln {
namespace {

const std::string kBin = vdln::testing::testBinDir();

class BatchE2E : public testing::TempDirTest {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        // The build makes these before the tests; their absence is a fault.
        for (const char* program : {"/vardelon", "/vardelon-demo", "/growth.exe"})
            ASSERT_TRUE(fileExists(kBin + program)) << kBin + program << " is not built";
        app = path("app");
        ASSERT_EQ(run(kBin + "/vardelon-demo " + app), 0);
    }

    // Runs a command with the Keep and Temporary Directories of this test.
    int run(const std::string& command) {
        std::string full = "cd " + dir() + " && SVKEEP=" + path("keep") + " SVTEMP=" + path("temp") + " " +
                           command + " > " + path("out.txt") + " 2>&1";
        std::filesystem::create_directories(path("keep"));
        std::filesystem::create_directories(path("temp"));
        int rc = std::system(full.c_str());
        return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    }
    std::string batchLog() {
        for (auto& e : std::filesystem::recursive_directory_iterator(path("keep")))
            if (e.path().filename() == "BatchJobs.log") return testing::readFile(e.path().string());
        return "";
    }
    // Values of a CSV table: row name -> year -> value.
    std::map<std::string, std::map<int, double>> csv(const std::string& file) {
        std::map<std::string, std::map<int, double>> t;
        auto lines = readTextLines(file);
        EXPECT_TRUE(lines) << lines.message();
        if (!lines || lines->empty()) return t;
        auto head = split((*lines)[0], ',');
        for (size_t k = 1; k < lines->size(); ++k) {
            auto cells = split((*lines)[k], ',');
            for (size_t c = 1; c < cells.size() && c < head.size(); ++c)
                t[cells[0]][static_cast<int>(*parseInt(head[c]))] = *parseDouble(cells[c]);
        }
        return t;
    }
    std::string app;
};

// The growth model solved year by year in the two closures of the demo.
struct Growth {
    // Data per industry: CAPS, INVS (the only ones the equations read).
    double caps[3] = {400, 900, 1200}, invs[3] = {30, 90, 110};
    static constexpr double kAlpha = 0.3, kDepr = 0.05;
    // Base year: x and l given; k from the data; a follows.
    void baseYear(double g, double x[3], double k[3], double a[3]) {
        for (int i = 0; i < 3; ++i) {
            x[i] = g;
            k[i] = 100 * (invs[i] / caps[i] - kDepr);
            a[i] = x[i] - kAlpha * k[i] - (1 - kAlpha) * 1.0;
            update(i, x[i], k[i]);
        }
    }
    // Policy year: a and l given (from the Base), a tax shock t.
    void policyYear(const double a[3], const double t[3], double x[3]) {
        for (int i = 0; i < 3; ++i) {
            double k = 100 * (invs[i] / caps[i] - kDepr);
            x[i] = a[i] + kAlpha * k + (1 - kAlpha) * 1.0 - 0.5 * t[i];
            update(i, x[i], k);
        }
    }
    void update(int i, double x, double k) {
        // The updated file stores 4-byte reals.
        caps[i] = static_cast<float>(caps[i] * (1 + k / 100));
        invs[i] = static_cast<float>(invs[i] * (1 + x / 100));
    }
};

TEST_F(BatchE2E, AllRunsOfTheDemoGiveTheModelsNumbers) {
    ASSERT_EQ(run(kBin + "/vardelon all all " + app + "/growth.ds1"), 0)
        << testing::readFile(path("out.txt"));
    EXPECT_NE(batchLog().find("Job ended successfully"), std::string::npos) << batchLog();

    // Independent solution: the Base, then the policy from 2025 with the
    // Base's technology and a 10% tax on MAN in 2025 and 2026.
    const double G[6] = {3.0, 2.8, 2.6, 2.4, 2.2, 2.0};
    Growth base, pol;
    double bx[6][3], ba[6][3], px[6][3];
    for (int y = 0; y < 6; ++y) {
        double k[3];
        base.baseYear(G[y], bx[y], k, ba[y]);
        if (y == 0) {
            pol = base;
            for (int i = 0; i < 3; ++i) px[0][i] = bx[0][i];
            continue;
        }
        double t[3] = {0, (y == 1 || y == 2) ? 10.0 : 0.0, 0};
        pol.policyYear(ba[y], t, px[y]);
    }
    auto cum = [](double(*v)[3], int from, int to, int i) {
        double p = 1;
        for (int y = from; y <= to; ++y) p *= 1 + v[y][i] / 100;
        return 100 * (p - 1);
    };
    const char* names[3] = {"x(AGR)", "x(MAN)", "x(SER)"};
    auto baseCum = csv(app + "/BS1B-ssc.csv");
    auto polCum = csv(app + "/BS1B-BR1R-PL1P-ssc.csv");
    auto rerunCum = csv(app + "/BS1B-BR1R-ssc.csv");
    auto dev = csv(app + "/BS1B-BR1R-PL1P-devc.csv");
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(names[i]);
        EXPECT_NEAR(baseCum[names[i]][2029], cum(bx, 0, 5, i), 1e-3);
        EXPECT_NEAR(rerunCum[names[i]][2029], cum(bx, 1, 5, i), 1e-3) << "the rerun reproduces the Base";
        EXPECT_NEAR(polCum[names[i]][2029], cum(px, 1, 5, i), 2e-3);
        for (int y = 1; y <= 5; ++y) {
            double want = 100 * ((1 + cum(px, 1, y, i) / 100) / (1 + cum(bx, 1, y, i) / 100) - 1);
            EXPECT_NEAR(dev[names[i]][2024 + y], want, 2e-3) << 2024 + y;
        }
    }
    // Running the same job again gives the same results.
    const std::string first = testing::readFile(app + "/BS1B-BR1R-PL1P-devc.csv");
    ASSERT_EQ(run(kBin + "/vardelon all all " + app + "/growth.ds1"), 0)
        << testing::readFile(path("out.txt"));
    EXPECT_EQ(testing::readFile(app + "/BS1B-BR1R-PL1P-devc.csv"), first);

    // "all ss" after a full run redoes only the spreadsheet jobs: five steps
    // for the Base and the rerun, seven for the policy with its deviations.
    ASSERT_EQ(run(kBin + "/vardelon all ss " + app + "/growth.ds1"), 0) << testing::readFile(path("out.txt"));
    EXPECT_NE(testing::readFile(path("out.txt")).find("(17 parts"), std::string::npos)
        << testing::readFile(path("out.txt"));
}

TEST_F(BatchE2E, OneTwoAndThreeSlotsGiveTheSameResults) {
    std::map<int, std::string> devs, cums;
    for (int slots : {1, 2, 3}) {
        SCOPED_TRACE(slots);
        // The settings file of the Keep Directory chooses the concurrency.
        testing::writeFile(path("keep/SVKEEP/VDLNkeep/Vardelon.ini"),
                           std::string("[Options]\r\nVardelVersion=330\r\n[Environment]\r\n") +
                               "Allow 2 Concurrent Solves=" + (slots == 2 ? "1" : "0") + "\r\n" +
                               "Allow 3 Concurrent Solves=" + (slots == 3 ? "1" : "0") + "\r\n");
        ASSERT_EQ(run(kBin + "/vardelon all all " + app + "/growth.ds1"), 0)
            << testing::readFile(path("out.txt"));
        devs[slots] = testing::readFile(app + "/BS1B-BR1R-PL1P-devc.csv");
        cums[slots] = testing::readFile(app + "/BS1B-BR1R-PL1P-ssc.csv");
        EXPECT_FALSE(devs[slots].empty());
        bool third = false;
        for (auto& e : std::filesystem::recursive_directory_iterator(path("temp")))
            if (e.path().filename() == "simdir3") third = true;
        EXPECT_EQ(third, slots == 3) << "the third slot's folder is made only when three slots are allowed";
    }
    EXPECT_EQ(devs[1], devs[2]);
    EXPECT_EQ(devs[1], devs[3]);
    EXPECT_EQ(cums[1], cums[3]);
}

TEST_F(BatchE2E, SolFilesForShocksInTwoSlotsGiveTheSameResults) {
    ASSERT_EQ(run(kBin + "/vardelon all all " + app + "/growth.ds1"), 0)
        << testing::readFile(path("out.txt"));
    const auto dev = csv(app + "/BS1B-BR1R-PL1P-devc.csv");
    const auto cum = csv(app + "/BS1B-BR1R-PL1P-ssc.csv");

    // The BOT files now read the rerun's results from its SOL file, and the
    // policy may run in the second slot with its own copy of that file.
    auto ds1 = readTextLines(app + "/growth.ds1");
    ASSERT_TRUE(ds1);
    for (auto& line : *ds1)
        if (line == "Sol File Shocks=0") line = "Sol File Shocks=1";
    ASSERT_TRUE(writeLinesAtomic(app + "/growth.ds1", *ds1));
    testing::writeFile(path("keep/SVKEEP/VDLNkeep/Vardelon.ini"),
                       "[Options]\r\nVardelVersion=330\r\n[Environment]\r\nAllow 2 Concurrent Solves=1\r\n");
    ASSERT_EQ(run(kBin + "/vardelon all all " + app + "/growth.ds1"), 0)
        << testing::readFile(path("out.txt"));
    auto bot = readWholeFile(app + "/bs1b-br1r-2026.bot");
    ASSERT_TRUE(bot) << bot.message();
    EXPECT_NE(bot->find(".rsl\" header"), std::string::npos) << *bot;
    const auto dev2 = csv(app + "/BS1B-BR1R-PL1P-devc.csv");
    const auto cum2 = csv(app + "/BS1B-BR1R-PL1P-ssc.csv");
    for (const char* name : {"x(AGR)", "x(MAN)", "x(SER)"}) {
        SCOPED_TRACE(name);
        for (int y = 2025; y <= 2029; ++y) {
            EXPECT_NEAR(dev2.at(name).at(y), dev.at(name).at(y), 1e-3) << y;
            EXPECT_NEAR(cum2.at(name).at(y), cum.at(name).at(y), 1e-3) << y;
        }
    }
}

TEST_F(BatchE2E, ARestoredIngredientsArchiveGivesTheSameResults) {
    ASSERT_EQ(run(kBin + "/vardelon all all " + app + "/growth.ds1"), 0)
        << testing::readFile(path("out.txt"));
    ASSERT_EQ(run(kBin + "/vardelon -savezip " + app + "/growth.ds1 " + path("growth.zip")), 0)
        << testing::readFile(path("out.txt"));
    ASSERT_EQ(run(kBin + "/vardelon -loadzip " + path("growth.zip") + " -workdir " + path("restored")), 0)
        << testing::readFile(path("out.txt"));
    const std::string ds1 = path("restored/growth-BS1B-BR1R-PL1P.ds1");
    ASSERT_TRUE(fileExists(ds1));
    EXPECT_TRUE(fileExists(path("restored/model/growth.exe")));
    EXPECT_TRUE(fileExists(path("restored/data/BASE2023.HAR")));
    ASSERT_EQ(run(kBin + "/vardelon all all " + ds1), 0) << testing::readFile(path("out.txt"));
    for (const char* f : {"BS1B-ssc.csv", "BS1B-BR1R-PL1P-ssc.csv", "BS1B-BR1R-PL1P-devc.csv"}) {
        SCOPED_TRACE(f);
        EXPECT_EQ(testing::readFile(path("restored/") + f), testing::readFile(app + "/" + f));
    }
}

TEST_F(BatchE2E, PartOfTheBaseRunsOnlyThoseYears) {
    // Year 2024 was never solved, so its updated data are missing: the job
    // does not start.
    ASSERT_EQ(run(kBin + "/vardelon base 2025-2027 " + app + "/growth.ds1"), 1);
    EXPECT_NE(batchLog().find("Job finished with error: "), std::string::npos);
    EXPECT_NE(batchLog().find("This file will not be created by any of the other jobs you are about to run."),
              std::string::npos)
        << batchLog();
    EXPECT_FALSE(fileExists(app + "/bs1b-2025.sl4"));
    ASSERT_EQ(run(kBin + "/vardelon base 2024-2026 " + app + "/growth.ds1"), 0)
        << testing::readFile(path("out.txt"));
    EXPECT_TRUE(fileExists(app + "/bs1b-2026.sl4"));
    EXPECT_FALSE(fileExists(app + "/bs1b-2027.sl4"));
    EXPECT_FALSE(fileExists(app + "/BS1B-ssc.csv")) << "no spreadsheet job unless the last year is reached";
}

TEST_F(BatchE2E, BadParametersEndWithTheMessageInTheBatchLog) {
    struct Case {
        std::string params;
        std::string message;
    } cases[] = {
        {"bsae all " + app + "/growth.ds1",
         "Unexpected Param1 - expected base, rerun, policy, all, base+rerun or rerun+policy"},
        {"all 2020-2024 " + app + "/growth.ds1", "2020 is not one of the years on Closure/Shocks page"},
        {"all all " + app + "/missing.ds1", "DS1 file: " + app + "/missing.ds1 does not exist"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.params);
        EXPECT_NE(run(kBin + "/vardelon " + c.params), 0);
        EXPECT_NE(batchLog().find("Job finished with error: " + c.message), std::string::npos) << batchLog();
        EXPECT_NE(testing::readFile(path("out.txt")).find(c.message), std::string::npos);
    }
}

TEST_F(BatchE2E, AMissingClosureStopsTheJobBeforeAnythingRuns) {
    std::filesystem::remove(app + "/POLICY.CLS");
    EXPECT_NE(run(kBin + "/vardelon all all " + app + "/growth.ds1"), 0);
    const std::string log = batchLog();
    EXPECT_NE(log.find("Common closure file POLICY.CLS (see the Closure/Shocks page) does not exist."),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("Cannot run this simulation because of problems reported."), std::string::npos);
    EXPECT_FALSE(fileExists(app + "/bs1b-2024.sl4")) << "nothing runs";
}

TEST_F(BatchE2E, NoRerunModeHasNothingToDoForTheRerun) {
    // Switch the application to no-rerun mode ("Rerun FC with Dev" = "no").
    std::string ds1 = testing::readFile(app + "/growth.ds1");
    size_t p = ds1.find("Rerun FC with Dev=");
    ASSERT_NE(p, std::string::npos);
    ds1.replace(p, ds1.find('\r', p) - p, "Rerun FC with Dev=no");
    testing::writeFile(app + "/growth.ds1", ds1);
    EXPECT_NE(run(kBin + "/vardelon rerun all " + app + "/growth.ds1"), 0);
    EXPECT_NE(batchLog().find("Job finished with error: Nothing to do"), std::string::npos) << batchLog();
}

TEST_F(BatchE2E, AFailingProgramEndsTheRunWithItsLog) {
    // A shock file with an unknown statement makes the model program fail.
    testing::writeFile(app + "/B2025.BSH", "shock x = uniform 2.8 ;\nfrobnicate y ;\n");
    EXPECT_NE(run(kBin + "/vardelon base all " + app + "/growth.ds1"), 0);
    const std::string log = batchLog();
    EXPECT_NE(log.find("Job finished with error: Error running job - see log file"), std::string::npos)
        << log;
    EXPECT_NE(log.find("ERROR Base: sim for year 2025 (year number 2)"), std::string::npos) << log;
    EXPECT_TRUE(fileExists(app + "/bs1b-2024.sl4"));
    EXPECT_FALSE(fileExists(app + "/bs1b-2025.sl4"));
}

}  // namespace
}  // namespace vdln
