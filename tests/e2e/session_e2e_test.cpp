// Batch mode as a client of the application session, with the real
// vardelon executable and the demonstration suite: the record-of-runs copies
// around loads and jobs, two applications sharing one Keep Directory, the
// default details file, concurrent slots reading files that shock files
// name, a full Keep Directory, and the exit sequence.
#include <sys/mount.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <regex>
#include <set>

#include "base/fileutil.h"
#include "base/inifile.h"
#include "base/paths.h"
#include "base/strutil.h"
#include "base/textfile.h"
#include "formats/harfile.h"
#include "model/simdetails.h"
#include "model/simgrid.h"
#include "support/tempdir.h"
#include "support/testpaths.h"

namespace vdln {
namespace {

const std::string kBin = vdln::testing::testBinDir();
namespace fs = std::filesystem;

class SessionE2E : public testing::TempDirTest {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        // The build makes these before the tests; their absence is a fault.
        for (const char* program : {"/vardelon", "/vardelon-demo", "/growth.exe"})
            ASSERT_TRUE(fileExists(kBin + program)) << kBin + program << " is not built";
        app = path("app");
        ASSERT_EQ(system(kBin + "/vardelon-demo " + app), 0);
        keepRoot = path("keep");
        fs::create_directories(keepRoot);
        fs::create_directories(path("temp"));
    }
    void TearDown() override {
        if (mounted) ::umount2(keepRoot.c_str(), MNT_DETACH);
        TempDirTest::TearDown();
    }

    static int system(const std::string& command) {
        int rc = std::system(command.c_str());
        return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    }
    // Runs vardelon with the Keep and Temporary Directories of this test.
    int run(const std::string& params) {
        return system("cd " + dir() + " && SVKEEP=" + keepRoot + " SVTEMP=" + path("temp") + " timeout 240 " +
                      kBin + "/vardelon " + params + " > " + path("out.txt") + " 2>&1");
    }
    std::string out() { return testing::readFile(path("out.txt")); }
    std::string keep() const { return keepRoot + "/SVKEEP/VDLNkeep"; }
    std::string tempDir() const { return path("temp") + "/SVTEMP/VDLNtemp"; }
    std::string batchLog() {
        return fileExists(keep() + "/BatchJobs.log") ? testing::readFile(keep() + "/BatchJobs.log") : "";
    }
    static std::string copyOf(const std::string& work, int run) {
        const char* names[] = {"", "growth-BS1B.ds3", "growth-BS1B-BR1R.ds4", "growth-BS1B-BR1R-PL1P.ds5"};
        return work + "/" + names[run];
    }
    std::string record(int run) const {
        const char* names[] = {"", "base.ini", "rbase.ini", "pol.ini"};
        return keep() + "/" + names[run];
    }
    // The parts a run printed, in order ("Base 2025 sim/sol", ...).
    std::vector<std::string> partsRun() {
        std::vector<std::string> parts;
        const std::regex line(R"(part \d+(?: of about \d+)?: (.*) \([0-9.]+ s\))");
        for (const std::string& l : split(out(), '\n')) {
            std::smatch m;
            if (std::regex_search(l, m, line)) parts.push_back(m[1]);
        }
        return parts;
    }

    std::string app;
    std::string keepRoot;
    bool mounted = false;
};

TEST_F(SessionE2E, AfterAJobTheCopiesEqualTheWorkingRecordsAndALoadRestoresThem) {
    ASSERT_EQ(run("all all " + app + "/growth.ds1"), 0) << out();
    for (int r = 1; r <= 3; ++r) {
        SCOPED_TRACE(r);
        ASSERT_TRUE(fileExists(copyOf(app, r))) << copyOf(app, r);
        EXPECT_EQ(testing::readFile(copyOf(app, r)), testing::readFile(record(r)));
    }
    // Working records spoiled by anything else; a load (here one whose job
    // then stops on its parameters) makes them the application's again.
    const std::string policyCopy = testing::readFile(copyOf(app, 3));
    for (int r = 1; r <= 3; ++r)
        testing::writeFile(record(r), "[Run]\r\nSim name=XX" + std::to_string(r) + "\r\n");
    EXPECT_NE(run("all 1990-1991 " + app + "/growth.ds1"), 0);
    EXPECT_NE(batchLog().find("1990 is not one of the years on Closure/Shocks page"), std::string::npos);
    for (int r = 1; r <= 3; ++r)
        EXPECT_EQ(testing::readFile(record(r)), testing::readFile(copyOf(app, r))) << r;
    EXPECT_EQ(testing::readFile(record(3)), policyCopy);
    // Every stored path names the application's folder once.
    for (int r = 1; r <= 3; ++r) EXPECT_EQ(testing::readFile(record(r)).find(app + app), std::string::npos);
}

TEST_F(SessionE2E, TwoApplicationsSharingAKeepDirectoryJudgeOnlyTheirOwnResults) {
    const std::string other = path("other");
    ASSERT_EQ(system(kBin + "/vardelon-demo " + other), 0);
    ASSERT_EQ(run("all all " + app + "/growth.ds1"), 0) << out();
    ASSERT_EQ(run("all all " + other + "/growth.ds1"), 0) << out();
    // The first application again, only part of it: its earlier results
    // are judged from its own records, so nothing of the other's shows.
    ASSERT_EQ(run("policy 2026-2029 " + app + "/growth.ds1"), 0) << out();
    EXPECT_EQ(out().find(other), std::string::npos) << out();
    auto pol = IniFile::load(record(3));
    ASSERT_TRUE(pol);
    EXPECT_EQ(pol->getString("Run", "Sim Directory"), app);
    EXPECT_EQ(testing::readFile(copyOf(app, 3)), testing::readFile(record(3)));
    // And the other one still has its own copies, untouched by the first.
    auto otherPol = IniFile::load(copyOf(other, 3));
    ASSERT_TRUE(otherPol);
    EXPECT_EQ(otherPol->getString("Run", "Sim Directory"), other);
    ASSERT_EQ(run("policy 2026-2029 " + other + "/growth.ds1"), 0) << out();
    EXPECT_EQ(out().find(app + "/"), std::string::npos) << out();
}

TEST_F(SessionE2E, WithoutADetailsFileTheDefaultDetailsFileIsKeptUpToDate) {
    // The first run makes the demo the current application ("VdlnSim.txt"
    // and the settings are written at exit).
    ASSERT_EQ(run("all all " + app + "/growth.ds1"), 0) << out();
    ASSERT_TRUE(fileExists(keep() + "/VdlnSim.txt"));
    const std::string ds1 = app + "/growth-BS1B-BR1R-PL1P.ds1";
    fs::remove(ds1);
    fs::remove(changeExt(ds1, ".ds2"));
    ASSERT_EQ(run("base all"), 0) << out();
    EXPECT_NE(batchLog().find("Sim Details File Name is: growth-BS1B-BR1R-PL1P.ds1"), std::string::npos)
        << batchLog();
    ASSERT_TRUE(fileExists(ds1)) << out();
    ASSERT_TRUE(fileExists(changeExt(ds1, ".ds2")));
    // The file describes the application: loading it gives the same years.
    TSimRecord rec = CreateSimRecord();
    ASSERT_TRUE(ReadSimRecordFile(rec, changeExt(ds1, ".ds2"), false));
    EXPECT_EQ(rec.StartYear, 2024);
    EXPECT_EQ(rec.NumYears, 6);
    auto base = IniFile::load(record(1));
    ASSERT_TRUE(base);
    EXPECT_EQ(base->getString("Run", "User DS name"), ds1);
    EXPECT_EQ(testing::readFile(copyOf(app, 1)), testing::readFile(record(1)));
}

TEST_F(SessionE2E, ConcurrentSlotsReadTheFilesShockFilesNameAndGiveOneSlotsResults) {
    // The policy shocks come from a header array file the shock files name.
    auto tax = makeREHeader("TAX", "Tax shock", {{"IND", {"AGR", "MAN", "SER"}}}, {0, 10, 0});
    ASSERT_TRUE(tax) << tax.message();
    HarFile file = NewHarFile("test", "", false, false).value();
    ASSERT_TRUE(addHeader(file, std::move(*tax)));
    ASSERT_TRUE(WriteHarFile(app + "/TAX.HAR", "test", "09/12/2026 10:00:00", file));
    for (int year : {2025, 2026})
        testing::writeFile(app + "/P" + std::to_string(year) + ".PSH",
                           "! Policy tax from a file\r\nashock t = file \"TAX.HAR\" header \"TAX\" ;\r\n");
    auto settings = [&](int slots) {
        testing::writeFile(keep() + "/Vardelon.ini",
                           std::string("[Options]\r\nVardelVersion=330\r\n[Environment]\r\n") +
                               "Allow 2 Concurrent Solves=" + (slots == 2 ? "1" : "0") + "\r\n" +
                               "Allow 3 Concurrent Solves=" + (slots == 3 ? "1" : "0") + "\r\n");
    };
    settings(1);
    ASSERT_EQ(run("all all " + app + "/growth.ds1"), 0) << out();
    const std::string want = testing::readFile(app + "/BS1B-BR1R-PL1P-devc.csv");
    const std::string wantCum = testing::readFile(app + "/BS1B-BR1R-PL1P-ssc.csv");
    ASSERT_FALSE(want.empty());
    for (int k = 0; k < 10; ++k) {
        const int slots = 2 + k % 2;
        SCOPED_TRACE("run " + std::to_string(k + 1) + " with " + std::to_string(slots) + " slots");
        settings(slots);
        ASSERT_EQ(run("all all " + app + "/growth.ds1"), 0) << out();
        EXPECT_EQ(testing::readFile(app + "/BS1B-BR1R-PL1P-devc.csv"), want);
        EXPECT_EQ(testing::readFile(app + "/BS1B-BR1R-PL1P-ssc.csv"), wantCum);
    }
}

TEST_F(SessionE2E, AFullKeepDirectoryEndsTheJobOnceWithTheMessageAndAFailure) {
    if (::mount("tmpfs", keepRoot.c_str(), "tmpfs", 0, "size=1m") != 0)
        GTEST_SKIP() << "a small file system for the Keep Directory cannot be mounted here";
    mounted = true;
    fs::create_directories(keep());
    // Fill it: the directories exist, but no file can grow any more.
    {
        std::FILE* f = std::fopen((keepRoot + "/filler").c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::string block(64 * 1024, 'x');
        while (std::fwrite(block.data(), 1, block.size(), f) == block.size() && std::fflush(f) == 0) {
        }
        std::fclose(f);
    }
    const auto start = std::chrono::steady_clock::now();
    const int status = run("all all " + app + "/growth.ds1");
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_NE(status, 0) << out();
    EXPECT_NE(status, 124) << "the job did not end by itself";
    EXPECT_LT(seconds, 240);
    EXPECT_NE(out().find("Problem updating Record of Runs file"), std::string::npos) << out();
    EXPECT_NE(out().find("Not written: Problem updating Record of Runs file"), std::string::npos) << out();
    // Every part ran once.
    const auto parts = partsRun();
    EXPECT_FALSE(parts.empty()) << out();
    std::map<std::string, int> seen;
    for (const auto& p : parts) EXPECT_EQ(++seen[p], 1) << p << " ran twice";
    // The results are there even though nothing could be recorded.
    EXPECT_TRUE(fileExists(app + "/BS1B-BR1R-PL1P-devc.csv"));
}

TEST_F(SessionE2E, TheBatchExitClearsTheTemporaryDirectoryAndWritesTheSettings) {
    for (bool clear : {true, false}) {
        SCOPED_TRACE(clear ? "Clear Temp Dir when Exit on" : "off");
        fs::remove_all(keepRoot);
        fs::create_directories(keepRoot);
        if (!clear)
            testing::writeFile(
                keep() + "/Vardelon.ini",
                "[Options]\r\nVardelVersion=330\r\n[Environment]\r\nClear Temp Dir when Exit=0\r\n");
        ASSERT_EQ(run("all all " + app + "/growth.ds1"), 0) << out();
        int files = 0;
        if (fs::exists(tempDir()))
            for (const auto& e : fs::recursive_directory_iterator(tempDir()))
                if (e.is_regular_file()) ++files;
        if (clear)
            EXPECT_EQ(files, 0) << "every file of the Temporary Directory and its slot folders is deleted";
        else
            EXPECT_GT(files, 10);
        ASSERT_TRUE(fileExists(keep() + "/Vardelon.ini"));
        ASSERT_TRUE(fileExists(keep() + "/VdlnSim.txt"));
        auto ini = IniFile::load(keep() + "/Vardelon.ini");
        ASSERT_TRUE(ini);
        EXPECT_EQ(ini->getString("Environment", "Sim Directory"), app);
        EXPECT_EQ(ini->getString("Environment", "Fewer Messages"), "0")
            << "batch mode's own option is not kept";
        EXPECT_EQ(ini->getString("Environment", "Clear Temp Dir when Exit"), clear ? "1" : "0");
        TSimRecord rec = CreateSimRecord();
        ASSERT_TRUE(ReadSimRecordFile(rec, keep() + "/VdlnSim.txt", false));
        EXPECT_EQ(rec.StartYear, 2024);
        EXPECT_EQ(rec.NumYears, 6);
    }
}

TEST_F(SessionE2E, APolicyRequestWithoutPolicyShocksIsRefused) {
    TSimRecord rec = CreateSimRecord();
    rec.WorkDir = app;
    ASSERT_TRUE(ReadSimRecordFile(rec, app + "/growth.ds2", false));
    for (int i = -1; i <= rec.NumYears; ++i) rec.GridStem(i, 4) = "";
    ASSERT_TRUE(WriteSimRecordFile(rec, app + "/growth.ds2"));
    EXPECT_NE(run("policy all " + app + "/growth.ds1"), 0);
    EXPECT_NE(batchLog().find("Job finished with error: Are no policy shocks, so nothing to do."),
              std::string::npos)
        << batchLog();
    EXPECT_FALSE(fileExists(app + "/bs1b-2024.sl4")) << "nothing runs";
    // The Base alone still runs.
    ASSERT_EQ(run("base 2024-2024 " + app + "/growth.ds1"), 0) << out();
}

TEST_F(SessionE2E, WithoutACurrentSimulationFileTheApplicationIsTheInitialOne) {
    // No details file and no "VdlnSim.txt": the new application's names.
    EXPECT_NE(run("base all"), 0);
    EXPECT_NE(batchLog().find("BS1B-BR1R-PL1P.ds1"), std::string::npos) << batchLog();
    ASSERT_TRUE(fileExists(keep() + "/VdlnSim.txt"));
    TSimRecord rec = CreateSimRecord();
    ASSERT_TRUE(ReadSimRecordFile(rec, keep() + "/VdlnSim.txt", false));
    EXPECT_EQ(rec.StartYear, 1998);
    EXPECT_EQ(rec.NumYears, 4);
    EXPECT_EQ(rec.SimNames[3].str(), "PL1");
}

}  // namespace
}  // namespace vdln
