// The vardelon executable under interrupts, hung programs and a second job
// on the same folders: every case ends, in bounded time, without a suite
// program left running and without reporting another job's numbers.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "base/fileutil.h"
#include "base/strutil.h"
#include "base/textfile.h"
#include "e2e/e2esupport.h"

namespace vdln {
namespace {

using e2e::kBin;

class InterruptE2E : public e2e::DemoTest {};

// Expected Base results of year 2024 for a uniform growth shock g on x.
std::map<std::string, double> baseFirstYear(double g) {
    e2e::Growth m;
    double x[3], k[3], a[3];
    m.baseYear(g, x, k, a);
    return {{"x(AGR)", x[0]}, {"x(MAN)", x[1]}, {"x(SER)", x[2]}};
}

TEST_F(InterruptE2E, AnInterruptMidSolveCancelsAndAnImmediateRerunGivesTheNewShock) {
    // The first solve takes 3 seconds; SIGINT arrives while it runs.
    pid_t job = spawn(kBin + "/vardelon base all " + app + "/growth.ds1", "VDLN_DEMO_FAULT=delay:3");
    const long solver = waitForProgram(job, "growth.exe");
    ASSERT_GT(solver, 0) << out();
    ::kill(job, SIGINT);
    const int rc = waitExit(job, 20000);
    EXPECT_EQ(rc, 128 + SIGINT) << out();
    EXPECT_TRUE(e2e::goneWithin(solver, 5000)) << "the running suite program was stopped";
    EXPECT_NE(out().find("Job cancelled"), std::string::npos) << out();
    const std::string log = batchLog();
    EXPECT_NE(log.find("Interrupted by signal 2 (SIGINT)"), std::string::npos) << log;
    EXPECT_NE(log.find("Job finished with error: Job cancelled"), std::string::npos) << log;
    EXPECT_EQ(log.rfind("+++++++++++++++++++++++++++++++++++++\r\n"), log.size() - 39)
        << "the block has its end";
    EXPECT_FALSE(fileExists(app + "/bs1b-2024.sl4")) << "nothing of the interrupted solve is kept";

    // The user fixes the shock and runs again at once.
    testing::writeFile(app + "/B2024.BSH", "shock x = uniform 3.5 ;\r\nshock l = uniform 1 ;\r\n");
    ASSERT_EQ(run(kBin + "/vardelon base all " + app + "/growth.ds1"), 0) << out();
    const std::string sl4 = testing::readFile(app + "/bs1b-2024.sl4");
    auto table = csv(app + "/BS1B-ssc.csv");
    for (const auto& [name, want] : baseFirstYear(3.5)) {
        SCOPED_TRACE(name);
        EXPECT_NEAR(table[name][2024], want, 1e-3);
    }
    // Nothing of the first job comes late (its solve would have ended by now).
    std::this_thread::sleep_for(std::chrono::milliseconds(3500));
    EXPECT_EQ(testing::readFile(app + "/bs1b-2024.sl4"), sl4);
}

TEST_F(InterruptE2E, SigkillOfTheProgramLeavesNoSuiteProgramRunning) {
    pid_t job = spawn(kBin + "/vardelon base all " + app + "/growth.ds1", "VDLN_DEMO_FAULT=hang");
    const long solver = waitForProgram(job, "growth.exe");
    ASSERT_GT(solver, 0) << out();
    ::kill(job, SIGKILL);
    EXPECT_EQ(waitExit(job, 20000), 128 + SIGKILL);
    EXPECT_TRUE(e2e::goneWithin(solver, 5000)) << "growth.exe " << solver << " outlived vardelon";
}

TEST_F(InterruptE2E, AHungProgramIsStoppedByTheTimeLimitAndBySigterm) {
    // The time limit of the settings file.
    testing::writeFile(path("keep/SVKEEP/VDLNkeep/Vardelon.ini"),
                       "[Options]\r\nVardelVersion=330\r\n[Environment]\r\nPart Time Limit=2\r\n");
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(run(kBin + "/vardelon base all " + app + "/growth.ds1", "VDLN_DEMO_FAULT=hang"), 1) << out();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(60)) << "the job ended";
    const std::string log = batchLog();
    for (const std::string& line :
         {std::string("Time limit exceeded for:"), "Program: " + app + "/growth.exe",
          std::string("Run: Base"), std::string("Year: 2024 (year number 1)"),
          std::string("Limit: 2 seconds")}) {
        SCOPED_TRACE(line);
        EXPECT_NE(log.find(line), std::string::npos) << log;
        EXPECT_NE(out().find(line), std::string::npos) << out();
    }
    EXPECT_TRUE(e2e::runningPrograms("growth.exe", path("")).empty());

    // Without a limit, SIGTERM stops it.
    testing::writeFile(path("keep/SVKEEP/VDLNkeep/Vardelon.ini"), "[Options]\r\nVardelVersion=330\r\n");
    pid_t job = spawn(kBin + "/vardelon base all " + app + "/growth.ds1", "VDLN_DEMO_FAULT=hang");
    const long solver = waitForProgram(job, "growth.exe");
    ASSERT_GT(solver, 0) << out();
    ::kill(job, SIGTERM);
    EXPECT_EQ(waitExit(job, 20000), 128 + SIGTERM) << out();
    EXPECT_TRUE(e2e::goneWithin(solver, 5000));
    EXPECT_NE(batchLog().find("Interrupted by signal 15 (SIGTERM)"), std::string::npos) << batchLog();
}

TEST_F(InterruptE2E, TwoApplicationsSharingATemporaryDirectoryNeverGetEachOthersNumbers) {
    // Application B: the same names (the defaults), another shock in 2024.
    const std::string appB = path("appB");
    ASSERT_EQ(run(kBin + "/vardelon-demo " + appB), 0);
    testing::writeFile(appB + "/B2024.BSH", "shock x = uniform 5 ;\r\nshock l = uniform 1 ;\r\n");

    // A is slow and holds the Temporary Directory; B starts meanwhile with
    // a Keep Directory of its own and the same Temporary Directory.
    pid_t jobA = spawn(kBin + "/vardelon base all " + app + "/growth.ds1", "VDLN_DEMO_FAULT=delay:2");
    ASSERT_GT(waitForProgram(jobA, "growth.exe"), 0) << out();
    const int rcB = run(kBin + "/vardelon base all " + appB + "/growth.ds1", "", path("keepB"), "out-b.txt");
    EXPECT_EQ(waitExit(jobA, 120000), 0) << out();
    const std::string outB = testing::readFile(path("out-b.txt"));
    if (rcB == 0) {
        // Had B run, its numbers would have to be its own.
        auto b = csv(appB + "/BS1B-ssc.csv");
        for (const auto& [name, want] : baseFirstYear(5)) EXPECT_NEAR(b[name][2024], want, 1e-3) << name;
    } else {
        EXPECT_NE(outB.find("Another Vardelon job is using the Temporary Directory"), std::string::npos)
            << outB;
        EXPECT_NE(outB.find("(process " + std::to_string(jobA) + " on host "), std::string::npos) << outB;
        EXPECT_FALSE(fileExists(appB + "/bs1b-2024.sl4"));
    }
    auto a = csv(app + "/BS1B-ssc.csv");
    for (const auto& [name, want] : baseFirstYear(3.0)) EXPECT_NEAR(a[name][2024], want, 1e-3) << name;

    // Once A has finished, B runs and gets its own numbers.
    ASSERT_EQ(run(kBin + "/vardelon base all " + appB + "/growth.ds1", "", path("keepB"), "out-b.txt"), 0)
        << testing::readFile(path("out-b.txt"));
    auto b = csv(appB + "/BS1B-ssc.csv");
    for (const auto& [name, want] : baseFirstYear(5)) EXPECT_NEAR(b[name][2024], want, 1e-3) << name;
}

TEST_F(InterruptE2E, ALockLeftByAKilledJobIsTakenOverWithANote) {
    pid_t job = spawn(kBin + "/vardelon base all " + app + "/growth.ds1", "VDLN_DEMO_FAULT=hang");
    ASSERT_GT(waitForProgram(job, "growth.exe"), 0) << out();
    ::kill(job, SIGKILL);
    waitExit(job, 20000);
    ASSERT_EQ(run(kBin + "/vardelon base all " + app + "/growth.ds1"), 0) << out();
    const std::string log = batchLog();
    EXPECT_NE(log.find("Took over the lock of the Temporary Directory "), std::string::npos) << log;
    EXPECT_NE(log.find("left by process " + std::to_string(job) + " on host "), std::string::npos) << log;
}

}  // namespace
}  // namespace vdln
