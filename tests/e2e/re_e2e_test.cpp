// The rational-expectations demonstration ("growthre") run by the real
// programs: batch jobs of the vardelon executable, and the core's "Do Extra
// Iterations" driven in this process.  Every expected number is computed
// here from the model's equations and the demo's inputs.
#include <sys/wait.h>

#include <array>
#include <cmath>
#include <filesystem>
#include <regex>

#include "base/clock.h"
#include "base/fileutil.h"
#include "base/strutil.h"
#include "base/textfile.h"
#include "doubles/scripteddialogs.h"
#include "env/directories.h"
#include "env/environment.h"
#include "env/process.h"
#include "formats/harfile.h"
#include "jobs/engine.h"
#include "jobs/recorder.h"
#include "model/filenames.h"
#include "model/settings.h"
#include "model/simdetails.h"
#include "model/simgrid.h"
#include "results/ratexp.h"
#include "results/remenu.h"
#include "runrecord/recordfiles.h"
#include "support/growthremodel.h"
#include "support/tempdir.h"
#include "support/testpaths.h"

namespace vdln {
namespace {

const std::string kBin = vdln::testing::testBinDir();

using namespace growthre_model;

// The report text with the largest difference left as "#".
std::string reportText(int iterations, const std::string& run, int baseNote, const Counts& c) {
    std::string t =
        "Convergence report after " + std::to_string(iterations) + " iterations of the " + run + ".";
    if (baseNote) t += "\n [There were " + std::to_string(baseNote) + " iterations of the Base.]";
    t += "\nThis report relates to the IND*YEAR data (this is usually the EROR_G data) at header \"RORG\" on "
         "the "
         "ROREXT file.\nThere are " +
         std::to_string(c.pairs) + " IND*YEAR pairs.\nNumber apparently not converging is " +
         std::to_string(c.notConverging) + ".\nNumber not monotonic over last 3 iterations is " +
         std::to_string(c.notMonotonic) + ".\nLargest difference between last two iterations is # .";
    const char* th[3] = {"0.001", "0.0005", "0.0001"};
    for (int k = 0; k < 3; ++k)
        t += std::string("\nNumber with difference between last two iterations greater than ") + th[k] +
             " is " + std::to_string(c.above[k]) + ".";
    return t + "\nCheck the Convergence HAR file etc to see more detail about convergence.";
}

// Finds the report of a run in the output, puts "#" for the number and
// returns the number separately.
bool findReport(const std::string& out, const std::string& run, std::string& text, double& largest) {
    const std::string head = "Convergence report after ";
    for (size_t at = out.find(head); at != std::string::npos; at = out.find(head, at + 1)) {
        const size_t end = out.find("more detail about convergence.", at);
        if (end == std::string::npos) return false;
        std::string t = out.substr(at, end + 30 - at);
        if (t.find("iterations of the " + run + ".") == std::string::npos) continue;
        std::smatch m;
        static const std::regex num("is ([ -][0-9]\\.[0-9]{14}E[+-][0-9]{4}) \\.");
        if (!std::regex_search(t, m, num)) return false;
        largest = std::stod(m[1].str());
        text = t.replace(static_cast<size_t>(m.position(1)), static_cast<size_t>(m.length(1)), "#");
        for (size_t p; (p = text.find('\r')) != std::string::npos;) text.erase(p, 1);
        return true;
    }
    return false;
}

std::vector<float> values(const std::string& file, const std::string& header) {
    auto h = ReadHeaderFromHarFile(file, header);
    EXPECT_TRUE(h) << h.message();
    if (!h || !*h) {
        ADD_FAILURE() << "no header " << header << " on " << file;
        return {};
    }
    return (*h)->realValues();
}

void expectRorg(const std::string& file, const Rorg& want, const std::string& what) {
    SCOPED_TRACE(what + " " + file);
    const auto v = values(file, "RORG");
    ASSERT_EQ(v.size(), 18u);
    for (int y = 1; y <= kYears; ++y)
        for (int i = 0; i < 3; ++i)
            EXPECT_NEAR(v[static_cast<size_t>((y - 1) * 3 + i)], want[i][static_cast<size_t>(y)], 1e-6)
                << "industry " << i << " year " << y;
}

// ---------------------------------------------------------------------------

class ReE2E : public testing::TempDirTest {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        // The build makes these before the tests; their absence is a fault.
        for (const char* program : {"/vardelon", "/vardelon-demo", "/growth.exe"})
            ASSERT_TRUE(fileExists(kBin + program)) << kBin + program << " is not built";
        app = path("app");
        ASSERT_EQ(run(kBin + "/vardelon-demo " + app + " growthre"), 0) << output();
        ASSERT_TRUE(fileExists(app + "/growthre.ds1")) << output();
    }
    int run(const std::string& command) {
        std::string full = "cd " + dir() + " && SVKEEP=" + path("keep") + " SVTEMP=" + path("temp") + " " +
                           command + " > " + path("out.txt") + " 2>&1";
        std::filesystem::create_directories(path("keep"));
        std::filesystem::create_directories(path("temp"));
        int rc = std::system(full.c_str());
        return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    }
    std::string output() { return fileExists(path("out.txt")) ? testing::readFile(path("out.txt")) : ""; }
    std::string batchLog() {
        for (auto& e : std::filesystem::recursive_directory_iterator(path("keep")))
            if (e.path().filename() == "BatchJobs.log") return testing::readFile(e.path().string());
        return "";
    }
    // Sets "key=value" in the application's ".ds1".
    void setDetail(const std::string& key, const std::string& value) {
        const std::string f = app + "/growthre.ds1";
        std::string text = testing::readFile(f);
        const size_t at = text.find(key + "=");
        ASSERT_NE(at, std::string::npos) << key;
        const size_t end = text.find_first_of("\r\n", at);
        text.replace(at, end - at, key + "=" + value);
        testing::writeFile(f, text);
    }
    int batch(const std::string& what = "all all") {
        return run(kBin + "/vardelon " + what + " " + app + "/growthre.ds1");
    }
    std::string app;
};

TEST_F(ReE2E, AllRunsIterateAsTheEquationsSay) {
    ASSERT_EQ(batch(), 0) << output();
    const std::string out = output();
    const Demo d(8, 1, 8);

    // RORG after every iteration, from the preserved ROREXT files.
    for (int n = 1; n <= 8; ++n)
        expectRorg(app + "/rex-bs1b-2029_BIter" + std::to_string(n) + ".har", d.base[n - 1].rorg, "Base");
    expectRorg(app + "/rex-bs1b-br1r-2029_RIter1.har", d.rerun[0].rorg, "Rerun");
    for (int n = 1; n <= 8; ++n)
        expectRorg(app + "/rex-bs1b-br1r-pl1p-2029_PIter" + std::to_string(n) + ".har", d.policy[n - 1].rorg,
                   "Policy");
    // The rerun reproduces the Base's last iteration.
    for (int y = 1; y <= kYears; ++y)
        for (int i = 0; i < 3; ++i) EXPECT_NEAR(d.rerun[0].rorg[i][y], d.base[7].rorg[i][y], 1e-6);
    expectRorg(app + "/rex-bs1b-br1r-2029_RIter1.har", d.base[7].rorg, "Rerun = Base 8");

    // The iteration numbers the last years wrote: last global iteration + 1.
    EXPECT_EQ(values(app + "/ite-bs1b-2029.har", "ITNO"), std::vector<float>{9});
    EXPECT_EQ(values(app + "/ite-bs1b-br1r-2029.har", "ITNO"), std::vector<float>{10});
    EXPECT_EQ(values(app + "/ite-bs1b-br1r-pl1p-2029.har", "ITNO"), std::vector<float>{18});

    // The convergence files: sets and the values of every reported iteration.
    struct Conv {
        std::string file;
        const std::vector<Pass>* passes;
        int first, global0;
    };
    const Conv convs[] = {{"BS1B_iter8.har", &d.base, 1, 0},
                          {"BS1B-BR1R_iter9.har", &d.rerun, 2, 8},
                          {"BS1B-BR1R-PL1P_iter17.har", &d.policy, 2, 9}};
    for (const auto& c : convs) {
        SCOPED_TRACE(c.file);
        auto f = ReadHarFile(app + "/" + c.file);
        ASSERT_TRUE(f) << f.message();
        ASSERT_EQ(f->count(), 5);
        const char* vars[5] = {"x", "inv", "k", "d_f_diseq", "d_eror_o"};
        for (int h = 0; h < 5; ++h) {
            char name[8];
            std::snprintf(name, sizeof name, "%04d", h + 1);
            const HarHeader* hh = f->find(name);
            ASSERT_TRUE(hh) << name;
            EXPECT_EQ(trim(hh->re.coefName), vars[h]);
            std::vector<std::string> its, years;
            for (size_t p = 1; p <= c.passes->size(); ++p)
                its.push_back("It" + std::to_string(c.global0 + static_cast<int>(p)));
            for (int y = c.first; y <= kYears; ++y) years.push_back(std::to_string(2023 + y));
            EXPECT_EQ(hh->elementNames(1), its);
            EXPECT_EQ(hh->elementNames(2), years);
            for (size_t p = 0; p < c.passes->size(); ++p)
                for (int y = c.first; y <= kYears; ++y)
                    for (int i = 0; i < 3; ++i) {
                        const Year& yr = (*c.passes)[p].years[static_cast<size_t>(y)];
                        const double want[5] = {yr.x[i], yr.inv[i], yr.k[i], yr.dfDiseq[i], yr.dErorO[i]};
                        const double got =
                            hh->HeadMat.at(static_cast<std::int64_t>(p) + 1, y - c.first + 1, i + 1);
                        EXPECT_NEAR(got, want[h], 1e-5 * std::max(1.0, std::fabs(want[h])))
                            << vars[h] << " pass " << p + 1 << " year " << y << " ind " << i;
                    }
        }
    }

    // Both reports, whole, on standard output and in the batch log.
    struct Rep {
        std::string run;
        const std::vector<Pass>* passes;
        int first, note;
    };
    for (const Rep& r : {Rep{"Base", &d.base, 1, 0}, Rep{"Policy", &d.policy, 2, 8}}) {
        SCOPED_TRACE(r.run);
        const Counts c = countsOf(*r.passes, r.first);
        std::string text;
        double largest = 0;
        ASSERT_TRUE(findReport(out, r.run, text, largest)) << out;
        EXPECT_EQ(text, reportText(8, r.run, r.note, c));
        EXPECT_NEAR(largest, c.largest, 2e-8);
        std::string logText;
        double logLargest = 0;
        EXPECT_TRUE(findReport(batchLog(), r.run, logText, logLargest)) << batchLog();
        EXPECT_EQ(logText, text);
    }
    // The page's headline figures.
    EXPECT_EQ(countsOf(d.base, 1).notMonotonic, 5);
    EXPECT_NEAR(countsOf(d.base, 1).largest, 2.68742442131042e-5, 2e-8);
    EXPECT_EQ(out.find("iterations of the Rerun."), std::string::npos) << "one Rerun iteration: no report";
    // The largest change per iteration after the reports.
    for (int n = 2; n <= 8; ++n) {
        double want = 0;
        for (int y = 1; y <= kYears; ++y)
            for (int i = 0; i < 3; ++i)
                want = std::max(want, std::fabs(static_cast<double>(d.base[n - 1].rorg[i][y]) -
                                                d.base[n - 2].rorg[i][y]));
        std::smatch m;
        const std::regex line(
            "Largest change of RORG between successive iterations of the Base:\\n(?:  iteration .*\\n)*?  "
            "iteration " +
            std::to_string(n) + ":([ -][0-9.E+-]+)");
        ASSERT_TRUE(std::regex_search(out, m, line)) << n << out;
        EXPECT_NEAR(std::stod(m[1].str()), want, 1e-7) << n;
    }
}

TEST_F(ReE2E, AShortRunIsVisiblyUnconverged) {
    setDetail("Korale RE Base Iterations", "3");
    setDetail("Korale RE Policy Iterations", "3");
    ASSERT_EQ(batch(), 0) << output();
    const Demo d(3, 1, 3);
    for (const auto& [run, passes, first, note] : {std::tuple{std::string("Base"), &d.base, 1, 0},
                                                   std::tuple{std::string("Policy"), &d.policy, 2, 3}}) {
        SCOPED_TRACE(run);
        const Counts c = countsOf(*passes, first);
        std::string text;
        double largest = 0;
        ASSERT_TRUE(findReport(output(), run, text, largest)) << output();
        EXPECT_EQ(text, reportText(3, run, note, c));
        EXPECT_NEAR(largest, c.largest, 2e-8);
    }
    const Counts base = countsOf(d.base, 1);
    EXPECT_GT(base.above[0], 0);  // counts above every threshold
    EXPECT_GT(base.largest, 0.001);
    expectRorg(app + "/rex-bs1b-br1r-pl1p-2029_PIter3.har", d.policy[2].rorg, "Policy 3");
}

TEST_F(ReE2E, WrongClosuresFailTheStandardChecksWhenTheyAreOn) {
    const std::string base = testing::readFile(app + "/BASE.CLS");
    testing::writeFile(app + "/BASE.CLS", testing::readFile(app + "/BADBASE.CLS"));
    EXPECT_EQ(batch(), 1) << output();
    EXPECT_NE(
        output().find(
            "vardelon: Doing rational expectations (KORALE style).\n  There is a problem the with closure "
            "for simulation for year 2024 (year number 1) of the Base:\n   Not all components of "
            "variable d_f_diseqre are exogenous.\n  Please fix these problems and run the application "
            "again."),
        std::string::npos)
        << output();
    EXPECT_FALSE(fileExists(app + "/rex-bs1b-2029_BIter1.har"));  // stopped after the first "sol"

    // With the checks off the job finishes with the demo's numbers.
    setDetail("Do Standard KORALE RE checks", "0");
    setDetail("Korale RE Base Iterations", "3");
    setDetail("Korale RE Policy Iterations", "2");
    ASSERT_EQ(batch(), 0) << output();
    const Demo d(3, 1, 2);
    expectRorg(app + "/rex-bs1b-2029_BIter3.har", d.base[2].rorg, "Base 3, checks off");
    expectRorg(app + "/rex-bs1b-br1r-pl1p-2029_PIter2.har", d.policy[1].rorg, "Policy 2, checks off");

    // The wrong policy closure fails at the rerun's first year.
    testing::writeFile(app + "/BASE.CLS", base);
    testing::writeFile(app + "/POLICY.CLS", testing::readFile(app + "/BADPOL.CLS"));
    setDetail("Do Standard KORALE RE checks", "1");
    EXPECT_EQ(batch(), 1) << output();
    EXPECT_NE(
        output().find("of the Rerun:\n   Not all components of variable d_eror_o are exogenous.\n   Not all "
                      "components of variable d_f_eror_o are endogenous.\n  Please fix"),
        std::string::npos)
        << output();
    EXPECT_NE(output().find("for year 2025 (year number 2) of the Rerun"), std::string::npos);
}

TEST_F(ReE2E, AModelWithoutTheIterationFilesCannotIterate) {
    const std::string growth = path("growth");
    ASSERT_EQ(run(kBin + "/vardelon-demo " + growth), 0) << output();
    const std::string ds1 = growth + "/growth.ds1";
    std::string text = testing::readFile(ds1);
    const size_t at = text.find("Do Korale RE=");
    ASSERT_NE(at, std::string::npos);
    text.replace(at, text.find_first_of("\r\n", at) - at, "Do Korale RE=1");
    testing::writeFile(ds1, text);
    EXPECT_EQ(run(kBin + "/vardelon all all " + ds1), 1) << output();
    EXPECT_NE(output().find(
                  "vardelon: ITER is not one of the logical file names.\n  Cannot do rational expectations."),
              std::string::npos)
        << output();
}

TEST_F(ReE2E, PolicyRunStartingOnePeriodEarly) {
    setDetail("Korale RE Base Iterations", "3");
    setDetail("Korale RE Policy Iterations", "3");
    setDetail("Korale RE Policy Start Year", "1");
    ASSERT_EQ(batch(), 0) << output();
    const Demo d(3, 1, 3, 1);
    // All runs start in 2024; the rerun from the Base's next-to-last iteration.
    expectRorg(app + "/rex-bs1b-br1r-2029_RIter1.har", d.rerun[0].rorg, "Rerun from 2024");
    expectRorg(app + "/rex-bs1b-br1r-pl1p-2029_PIter3.har", d.policy[2].rorg, "Policy from 2024");
    EXPECT_EQ(values(app + "/ite-bs1b-br1r-pl1p-2029.har", "ITNO"), std::vector<float>{8});
}

// The program's state as batch mode builds it, in this process, so that the
// core's menu operations can be driven with the real programs.
struct InProcess {
    ScriptedDialogs dialogs;
    SystemClock clock;
    ProgramSettings settings;
    TSimRecord rec = CreateSimRecord();
    SettingsContext sctx;
    std::unique_ptr<SimDetailsSession> session;
    SimDetailsHooks hooks;
    std::unique_ptr<RunRecordEnv> renv;
    std::unique_ptr<RunRecordRecorder> recorder;
    PosixProcessLauncher launcher;
    std::unique_ptr<JobEngine> engine;
    std::unique_ptr<KoraleRE> re;

    InProcess(const std::string& keep, const std::string& temp, const std::string& ds1) {
        sctx.programDir = kBin;
        sctx.currentTempDir = temp;
        sctx.batchMode = true;
        StartupReadSettings(keep, kLegacySettingsDir, 1, settings, rec, sctx,
                            dialogs);  // the folder it names is not needed
        session = std::make_unique<SimDetailsSession>(
            SimDetailsSession{rec, settings, sctx, dialogs, hooks, clock});
        EXPECT_TRUE(LoadSimDetails(*session, ds1)) << dialogs.lastMessage();
        ComputeYears(rec);
        RefreshGrid(rec);
        settings.FewerMessages = true;
        renv = std::make_unique<RunRecordEnv>(rec, TKeepRunInfo::inDirectory(keep), clock);
        renv->modelFile = settings.model.Model;
        renv->modelInfoFile = settings.model.ModelInfoFile;
        renv->dynamicInfoFile = settings.model.IsDinFile ? settings.model.DynamicInfoFile : "";
        renv->resultsMapFile = settings.ResultsMapFile;
        renv->firstYearList = settings.model.FirstYearList;
        renv->method = settings.Method;
        renv->accuracy = settings.Accuracy;
        renv->altMethod = settings.AltMethod;
        renv->altAccuracy = settings.AltAccuracy;
        recorder = std::make_unique<RunRecordRecorder>(*renv, dialogs, true);
        EngineEnvironment eenv;
        eenv.programDir = kBin;
        eenv.tempDir = temp;
        eenv.keepDir = keep;
        eenv.batchMode = true;
        engine = std::make_unique<JobEngine>(rec, settings, eenv, dialogs, clock, launcher, *recorder);
        re = std::make_unique<KoraleRE>(
            REContext{rec, settings, dialogs, clock, temp, [this] { return engine->firstPolicyYear(); }, {}});
        engine->setRationalExpectations(*re);
    }
    REMenuContext menu() {
        return REMenuContext{rec, settings, dialogs, *re,
                             [this](const JobRequest& r) { return engine->StartBigJob(r); }};
    }
    std::string shown() const {
        std::string all;
        for (const auto& m : dialogs.messages()) all += m + "\n---\n";
        return all;
    }
    void runToEnd() {
        while (engine->running()) {
            waitForWakeup(launcher, 1000);  // woken by a program's end or after a second
            engine->tick();
        }
    }
};

// "Do Extra Iterations" of the Base: a finished 3-iteration Base goes on to 5.
TEST_F(ReE2E, ExtraIterationsContinueAFinishedBase) {
    setDetail("Korale RE Base Iterations", "3");
    ASSERT_EQ(batch("base all"), 0) << output();
    EXPECT_EQ(values(app + "/ite-bs1b-2029.har", "ITNO"), std::vector<float>{4});

    InProcess p(path("keep"), path("temp"), app + "/growthre.ds1");
    p.settings.re.BaseIterations = 5;
    auto menu = p.menu();
    p.dialogs.queueButton(BtnOk);
    ASSERT_TRUE(reBaseExtraIterations(menu)) << p.shown();
    EXPECT_EQ(p.dialogs.messages().front(),
              "You have done 3 iterations.\r\nThe Sim Overview page indicates that you "
              "wish to do a total of 5 iterations.\r\nPlease click OK if this is correct "
              "or Cancel if it is not correct.");
    p.runToEnd();
    ASSERT_EQ(p.engine->outcome(), JobOutcome::Finished) << p.engine->failureMessage() << "\n" << p.shown();
    const Demo d(5, 1, 1);
    for (int n = 1; n <= 5; ++n)
        expectRorg(app + "/rex-bs1b-2029_BIter" + std::to_string(n) + ".har", d.base[n - 1].rorg, "Base");
    EXPECT_EQ(values(app + "/ite-bs1b-2029.har", "ITNO"), std::vector<float>{6});
    // The convergence file holds all five iterations, the first three carried forward.
    auto f = ReadHarFile(app + "/BS1B_iter5.har");
    ASSERT_TRUE(f) << f.message();
    const HarHeader* inv = f->find("0002");
    ASSERT_TRUE(inv);
    EXPECT_EQ(inv->elementNames(1), (std::vector<std::string>{"It1", "It2", "It3", "It4", "It5"}));
    for (int it = 1; it <= 5; ++it)
        EXPECT_NEAR(inv->HeadMat.at(it, 6, 2), d.base[static_cast<size_t>(it - 1)].years[6].inv[1], 1e-4)
            << it;
    // Its report uses iterations 3 (of the earlier job), 4 and 5.
    const Counts c = countsOf(d.base, 1);
    std::string text;
    double largest = 0;
    ASSERT_TRUE(findReport(p.re->lastReports()[1], "Base", text, largest)) << p.re->lastReports()[1];
    EXPECT_EQ(text, reportText(5, "Base", 0, c));
    EXPECT_NEAR(largest, c.largest, 2e-8);

    // Asking again: nothing is left to do.
    auto again = p.menu();
    p.dialogs.clear();
    EXPECT_FALSE(reBaseExtraIterations(again));
    EXPECT_EQ(p.dialogs.lastMessage(),
              "You have done 5 iterations.\r\nThe Sim Overview page indicates that you wish "
              "to do a total of 5 iterations.\r\nThis leaves no iterations to do.\r\nPlease "
              "adjust the Sim Overview page if you want to do more iterations.");
}

// Several Rerun iterations (the TAB file allows them): the rerun's later
// passes read what its last year wrote, its start copies are kept, and the
// policy starts from the copy its last pass started from.
TEST_F(ReE2E, SeveralRerunIterations) {
    InProcess p(path("keep"), path("temp"), app + "/growthre.ds1");
    p.settings.re.BaseIterations = 3;
    p.settings.re.SeveralRerunIterations = true;
    p.settings.re.RerunIterations = 3;
    p.settings.re.PolicyIterations = 2;
    ScriptedYearsDialog years;
    TaskEnv env{p.rec, p.settings, p.engine->firstPolicyYear(), p.dialogs, years};
    auto menu = p.menu();
    ASSERT_TRUE(reRunBaseToPolicy(menu, env)) << p.shown();
    p.runToEnd();
    ASSERT_EQ(p.engine->outcome(), JobOutcome::Finished) << p.engine->failureMessage() << "\n" << p.shown();
    const Demo d(3, 3, 2);
    for (int n = 1; n <= 3; ++n) {
        expectRorg(app + "/rex-bs1b-br1r-2029_RIter" + std::to_string(n) + ".har", d.rerun[n - 1].rorg,
                   "Rerun");
        EXPECT_EQ(values(app + "/rex-bs1b-br1r-2029_RIter" + std::to_string(n) + ".har", "NRIT"),
                  std::vector<float>{3});
    }
    // The start copies of passes 2 and 3 hold what the pass before wrote.
    expectRorg(app + "/rex-bs1b-br1r-2024RIter2.har", d.rerun[0].rorg, "Rerun start copy 2");
    expectRorg(app + "/rex-bs1b-br1r-2024RIter3.har", d.rerun[1].rorg, "Rerun start copy 3");
    for (int n = 1; n <= 2; ++n)
        expectRorg(app + "/rex-bs1b-br1r-pl1p-2029_PIter" + std::to_string(n) + ".har", d.policy[n - 1].rorg,
                   "Policy");
    EXPECT_EQ(values(app + "/ite-bs1b-br1r-2029.har", "ITNO"), std::vector<float>{7});
    EXPECT_EQ(values(app + "/ite-bs1b-br1r-pl1p-2029.har", "ITNO"), std::vector<float>{9});
    // Three Rerun iterations give the Rerun a report of its own.
    const Counts c = countsOf(d.rerun, 2);
    std::string text;
    double largest = 0;
    ASSERT_TRUE(findReport(p.re->lastReports()[2], "Rerun", text, largest)) << p.re->lastReports()[2];
    EXPECT_EQ(text, reportText(3, "Rerun", 0, c));
    EXPECT_NEAR(largest, c.largest, 2e-8);
    EXPECT_TRUE(p.re->lastReports()[3].empty());  // two policy iterations: no report
}

}  // namespace
}  // namespace vdln
