// The engine's side of the rational-expectations iterations: the first pass
// of a run in a job (which need not be iteration 1), the iteration files
// named in its command file, the policy-start offset, and the state released
// when a job does not start.
#include <filesystem>

#include "base/fileutil.h"
#include "base/paths.h"
#include "doubles/fakelauncher.h"
#include "doubles/scripteddialogs.h"
#include "jobs/engine.h"
#include "model/filenames.h"
#include "model/simgrid.h"
#include "support/jobapp.h"
#include "support/tempdir.h"

namespace vdln {
namespace {

using testing::readFile;
using testing::writeFile;

// Hooks that start run 1 at a given iteration and record what happens.
class StartingRE : public RationalExpectationsHooks {
public:
    bool doingRE() const override { return doing; }
    bool boxCheckedOnSupportingModel() const override { return true; }
    int iterationsDone(int r) const override { return done[r]; }
    int maxIterations(int r) const override { return max[r]; }
    int currentIteration(int r) const override { return current[r]; }
    int startIteration(int r) const override { return start[r]; }
    void setCurrentIteration(int r, int it) override { current[r] = it; }
    TReFileNames reFileNames() const override { return {"/k/ROREXT.HAR", "/k/ITER.HAR", "/k/EXTRA.HAR"}; }
    bool startJob(const TBigJobDetails&) override { return true; }
    bool setUpIterationFiles(int r) override {
        calls.push_back("setup r" + std::to_string(r) + " it" + std::to_string(current[r]));
        return setupOk;
    }
    bool saveRerunStartCopy() override { return true; }
    bool startConvergenceFile(int r) override {
        calls.push_back("convergence r" + std::to_string(r) + " it" + std::to_string(current[r]));
        return convergenceOk;
    }
    bool standardChecks(int, int) override { return true; }
    bool endOfIteration(int r) override {
        calls.push_back("end r" + std::to_string(r) + " done " + std::to_string(done[r]));
        return true;
    }
    void countIteration(int r) override { ++done[r]; }
    void finalReport() override { calls.push_back("final report"); }
    void release() override {
        calls.push_back("release");
        doing = false;
    }

    bool doing = true;
    bool setupOk = true, convergenceOk = true;
    PerRun<int> done{}, max{}, current{0, 1, 1, 1}, start{0, 1, 1, 1};
    std::vector<std::string> calls;
};

class EngineRE : public testing::JobAppTest {
protected:
    void SetUp() override {
        JobAppTest::SetUp();
        settings.NeverBatJob = true;
        // The three iteration files beside the data.
        const char* names[] = {"ROREXT", "ITER", "EXTRA"};
        for (int f = 2; f <= 4; ++f) {
            rec.ModelFiles[f] = makeModelFileDesc(names[f - 2], "HAR", true, true, names[f - 2]);
            rec.Files[f] = makeSimFileEntry(rec.ModelFiles[f], f);
            writeFile(rec.WorkDir + "/" + names[f - 2] + ".HAR", "x");
            settings.model.FirstYearList.push_back(std::string("file ") + names[f - 2] + " = " +
                                                   names[f - 2] + ".HAR ;");
        }
        rec.NumModelFiles = rec.NumFiles = 4;
    }

    // Plays every part; the first year's Base command file is kept as each
    // iteration wrote it.
    void runToEnd(JobEngine& e) {
        JobAppTest::runToEnd(e, [&](int s) {
            const TOneDosJob& j = e.job().Jobs[s];
            if (j.JobName == JobKind::Sim && j.JobPart == PartKind::Sim && j.Year == 1 && j.Run == 1)
                firstYearCmfs.push_back(readFile(CmfFile(rec, 1, 1, false)));
            endSlot(e, s, "Status=ok\r\n", "out");
        });
    }

    testing::BotRecorder recorder;
    std::vector<std::string> firstYearCmfs;
};

TEST_F(EngineRE, ALaterStartingPassPreparesTheFilesAndNamesThemInTheCommandFile) {
    StartingRE re;
    re.max[1] = 4;
    re.done[1] = 2;
    re.current[1] = re.start[1] = 3;  // "Do Extra Iterations" after 2
    JobEngine e(rec, settings, env, dialogs, clock, launcher, recorder);
    e.setRationalExpectations(re);
    JobRequest base = emptyRequest(2);
    base.FirstSimYear[1] = base.FirstSSYear[1] = 1;
    base.LastSimYear[1] = base.LastSSYear[1] = 2;
    ASSERT_TRUE(e.StartBigJob(base)) << e.failureMessage();
    runToEnd(e);
    ASSERT_EQ(e.outcome(), JobOutcome::Finished) << e.failureMessage();
    EXPECT_EQ(re.calls, (std::vector<std::string>{"setup r1 it3", "convergence r1 it3", "end r1 done 3",
                                                  "end r1 done 4", "final report"}));
    ASSERT_EQ(firstYearCmfs.size(), 2u);
    // The job's first pass reads the prepared files ...
    EXPECT_NE(firstYearCmfs[0].find("File ROREXT = /k/ROREXT.HAR ; ! updated input"), std::string::npos)
        << firstYearCmfs[0];
    EXPECT_NE(firstYearCmfs[0].find("File ITER = /k/ITER.HAR ; ! updated input"), std::string::npos);
    EXPECT_NE(firstYearCmfs[0].find("File EXTRA = /k/EXTRA.HAR ; ! updated input"), std::string::npos);
    // ... a later pass what the last year of the pass before wrote; EXTRA starts anew every pass.
    EXPECT_NE(firstYearCmfs[1].find("File ROREXT = ror-bs1b-2025.har ; ! updated input"), std::string::npos)
        << firstYearCmfs[1];
    EXPECT_NE(firstYearCmfs[1].find("File ITER = ite-bs1b-2025.har ; ! updated input"), std::string::npos);
    EXPECT_NE(firstYearCmfs[1].find("File EXTRA = /k/EXTRA.HAR ; ! updated input"), std::string::npos);
}

TEST_F(EngineRE, PolicyStartOffsetMovesTheFirstPolicyYearOnlyWhileIterating) {
    settings.re.PolicyStartYear = 1;
    StartingRE re;
    re.max = {0, 1, 1, 1};
    JobEngine e(rec, settings, env, dialogs, clock, launcher, recorder);
    e.setRationalExpectations(re);
    ASSERT_TRUE(e.StartBigJob(testing::everythingRequest(2))) << e.failureMessage();
    EXPECT_EQ(e.firstPolicyYear(), 1);  // the policy shock is in year 2
    EXPECT_EQ(e.job().FirstSimYear[3], 1);
    e.requestCancel();
    e.tick();
    EXPECT_EQ(re.calls.back(), "release");

    JobEngine plain(rec, settings, env, dialogs, clock, launcher, recorder);
    ASSERT_TRUE(plain.StartBigJob(testing::everythingRequest(2))) << plain.failureMessage();
    EXPECT_EQ(plain.firstPolicyYear(), 2);

    // An offset reaching before the first year is reset on the page.
    settings.re.PolicyStartYear = 3;
    StartingRE again;
    again.max = {0, 1, 1, 1};
    JobEngine e3(rec, settings, env, dialogs, clock, launcher, recorder);
    e3.setRationalExpectations(again);
    ASSERT_TRUE(e3.StartBigJob(testing::everythingRequest(2))) << e3.failureMessage();
    EXPECT_EQ(e3.firstPolicyYear(), 1);
    EXPECT_EQ(settings.re.PolicyStartYear, 1);
}

class RefusingRecorder : public testing::BotRecorder {
public:
    bool prerequisitesOk(const TBigJobDetails&) override { return false; }
};

TEST_F(EngineRE, AJobThatDoesNotStartLeavesNoIterationStateBehind) {
    RefusingRecorder refusing;
    StartingRE re;
    re.max = {0, 2, 1, 1};
    JobEngine e(rec, settings, env, dialogs, clock, launcher, refusing);
    e.setRationalExpectations(re);
    EXPECT_FALSE(e.StartBigJob(testing::everythingRequest(2)));
    EXPECT_EQ(re.calls, std::vector<std::string>{"release"});
    EXPECT_FALSE(re.doingRE());
}

TEST_F(EngineRE, FailuresOfTheIterationFilesAndOfTheConvergenceFileStopTheJob) {
    JobRequest base = emptyRequest(2);
    base.FirstSimYear[1] = base.FirstSSYear[1] = 1;
    base.LastSimYear[1] = base.LastSSYear[1] = 2;
    {
        StartingRE re;
        re.max[1] = 2;
        re.setupOk = false;
        JobEngine e(rec, settings, env, dialogs, clock, launcher, recorder);
        e.setRationalExpectations(re);
        EXPECT_FALSE(e.StartBigJob(base));
        EXPECT_EQ(dialogs.lastMessage(), "Could not set up ROREXT, ITER and EXTRA files to start Base");
        EXPECT_EQ(dialogs.records().back().buttons, BtnOk | BtnHelp);
        EXPECT_EQ(e.outcome(), JobOutcome::Failed);
        EXPECT_EQ(re.calls.back(), "release");
    }
    {
        StartingRE re;
        re.max[1] = 2;
        re.convergenceOk = false;
        JobEngine e(rec, settings, env, dialogs, clock, launcher, recorder);
        e.setRationalExpectations(re);
        ASSERT_TRUE(e.StartBigJob(base));
        runToEnd(e);
        EXPECT_EQ(e.outcome(), JobOutcome::Failed);
        EXPECT_EQ(dialogs.lastMessage(),
                  "Cannot continue with Rational Expectations because of earlier error.");
        EXPECT_EQ(re.calls, (std::vector<std::string>{"setup r1 it1", "convergence r1 it1", "release"}));
    }
}

}  // namespace
}  // namespace vdln
