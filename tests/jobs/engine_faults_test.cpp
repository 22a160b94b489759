// The job engine when what it relies on fails or is missing: a record of
// runs that cannot be written, a policy request without policy shocks, a
// report that names no compiler, a shock file that reads another file in a
// second slot.
#include <algorithm>
#include <filesystem>
#include <set>

#include "base/fileutil.h"
#include "base/strutil.h"
#include "doubles/fakelauncher.h"
#include "doubles/scripteddialogs.h"
#include "jobs/engine.h"
#include "model/simgrid.h"
#include "support/jobapp.h"
#include "support/tempdir.h"

namespace vdln {
namespace {

using testing::writeFile;

// A record of runs on a full disk: nothing is ever written, so nothing it
// answers says a step finished.
class UnwritableRecorder : public NullRecorder {
public:
    Status recordCompletion(int run, int year, JobKind jobName, const TSolutionMethod&,
                            const TAutoAccuracy&) override {
        ++attempts;
        return Status::fail("Problem updating Record of Runs file (" + std::string(text(jobName)) + " r" +
                            std::to_string(run) + " y" + std::to_string(year) + ")");
    }
    bool botNeeded(int) override { return true; }
    bool botFinishedSince(int, std::int64_t) override { return false; }
    int attempts = 0;
};

class EngineFaultsTest : public testing::JobAppTest {
protected:
    void finishSlot(JobEngine& e, int slot, const std::string& extraReport = "") {
        endSlot(e, slot, "Status=ok\r\nLog file=" + e.job().Jobs[slot].LogFile + "\r\n" + extraReport, "out");
    }
    void runToEnd(JobEngine& e, int limit = 200) {
        JobAppTest::runToEnd(
            e, [&](int s) { finishSlot(e, s); }, limit);
    }
};

TEST_F(EngineFaultsTest, AnUnwritableRecordOfRunsNeverMakesAPartRunTwice) {
    UnwritableRecorder recorder;
    JobEngine e(rec, settings, env, dialogs, clock, launcher, recorder);
    ASSERT_TRUE(e.StartBigJob(testing::everythingRequest(2))) << e.failureMessage();
    runToEnd(e);
    EXPECT_EQ(e.outcome(), JobOutcome::Finished) << e.failureMessage();
    // Every part ran once: the BOT step done in this job counts as done,
    // whatever the record says.
    std::set<std::string> once(launched.begin(), launched.end());
    EXPECT_EQ(once.size(), launched.size()) << ::testing::PrintToString(launched);
    EXPECT_EQ(launched.size(), 28u) << "the same parts as with a working record";
    // Each completion that could not be recorded is kept for the owner.
    ASSERT_EQ(recorder.attempts, 8);
    ASSERT_EQ(e.unrecordedCompletions().size(), 8u);
    EXPECT_EQ(e.unrecordedCompletions()[0], "Problem updating Record of Runs file (sim r1 y1)");
    EXPECT_TRUE(e.progress()[1] && e.progress()[2] && e.progress()[3]);
    EXPECT_EQ(e.partsDone(), 28);
}

// A simulation name that reached the record without the checks made where
// names enter would make the job write its files outside the Working
// Directory: the job does not start, says which file, and nothing runs.
TEST_F(EngineFaultsTest, AJobWhoseFilesWouldLeaveTheirFolderDoesNotStart) {
    NullRecorder recorder;
    rec.SimNames[1] = "../";
    JobEngine e(rec, settings, env, dialogs, clock, launcher, recorder);
    EXPECT_FALSE(e.StartBigJob(testing::everythingRequest(2)));
    EXPECT_EQ(e.outcome(), JobOutcome::Failed);
    const std::string prefix = "The generated file \"";
    const std::string suffix = "\" would lie outside its folder \"" + rec.WorkDir + "\".";
    const std::string& m = e.failureMessage();
    ASSERT_EQ(m.rfind(prefix, 0), 0u) << m;
    ASSERT_GT(m.size(), prefix.size() + suffix.size());
    EXPECT_EQ(m.substr(m.size() - suffix.size()), suffix) << m;
    EXPECT_EQ(dialogs.lastMessage(), m);
    EXPECT_TRUE(launcher.started().empty());
    EXPECT_FALSE(e.running());
}

TEST_F(EngineFaultsTest, APolicyRequestWithoutPolicyShocksIsRefused) {
    for (int i = -1; i <= 2; ++i) rec.GridStem(i, 4) = "";
    RefreshGrid(rec);
    env.batchMode = false;
    NullRecorder recorder;
    struct Case {
        const char* name;
        int run;
        bool starts;
    } cases[] = {{"policy", 3, false}, {"rerun", 2, false}, {"base", 1, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        JobEngine e(rec, settings, env, dialogs, clock, launcher, recorder);
        dialogs.clear();
        JobRequest r = emptyRequest(2);
        r.FirstSimYear[c.run] = r.FirstSSYear[c.run] = 1;
        r.LastSimYear[c.run] = r.LastSSYear[c.run] = 2;
        r.DoDeviations = c.run == 3;
        EXPECT_EQ(e.StartBigJob(r), c.starts) << e.failureMessage();
        if (c.starts) {
            EXPECT_TRUE(e.running());
            e.requestCancel();
            e.tick();
            continue;
        }
        EXPECT_EQ(e.failureMessage(), "Are no policy shocks, so nothing to do.");
        const auto shown = dialogs.messages();
        EXPECT_NE(std::find(shown.begin(), shown.end(), "Are no policy shocks, so nothing to do."),
                  shown.end())
            << ::testing::PrintToString(shown);
        EXPECT_EQ(e.partsLaunched(), 0);
        EXPECT_FALSE(e.running());
    }
}

TEST_F(EngineFaultsTest, AReportWithAnEmptyCompilerNamesNoCompiler) {
    NullRecorder recorder;
    struct Case {
        const char* line;
        bool known;
        const char* compiler;
    } cases[] = {{"Fortran Compiler=\r\n", false, ""},
                 {"Fortran Compiler=   \r\n", false, ""},
                 {"Fortran Compiler= gfortran \r\n", true, "gfortran"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        settings.model.Version = TSVVersionInfo{};
        launched.clear();
        JobEngine e(rec, settings, env, dialogs, clock, launcher, recorder);
        JobRequest r = emptyRequest(2);
        r.FirstSimYear[1] = 1;
        r.LastSimYear[1] = 1;
        ASSERT_TRUE(e.StartBigJob(r)) << e.failureMessage();
        ASSERT_EQ(e.job().Jobs[1].JobPart, PartKind::Sim);
        finishSlot(e, 1, c.line);
        e.tick();
        EXPECT_EQ(settings.model.Version.CompilerKnown, c.known);
        EXPECT_EQ(settings.model.Version.Compiler, c.compiler);
        runToEnd(e);
    }
}

TEST_F(EngineFaultsTest, ASecondSlotGetsTheFilesAShockFileReads) {
    // The policy shocks of year 2 read a header array file of their own.
    writeFile(work + "/P2.PSH", "shock a = file \"TAX.HAR\" header \"TAX\" ;\n");
    writeFile(work + "/TAX.HAR", "tax data");
    writeFile(work + "/BASE.CLS", "exogenous x ;\n rest endogenous ;\n");
    settings.ConcurrentSolves = 2;
    NullRecorder recorder;
    JobEngine e(rec, settings, env, dialogs, clock, launcher, recorder);
    e.setSlots(1, 2);
    ASSERT_TRUE(e.StartBigJob(testing::everythingRequest(2))) << e.failureMessage();
    const std::string slot2 = env.tempDir + "/simdir2";
    EXPECT_TRUE(fileExists(slot2 + "/P2.PSH"));
    EXPECT_TRUE(fileExists(slot2 + "/TAX.HAR"))
        << "the file the shock file reads is in the second slot's folder";
    // No path was ever built with the Working Directory twice.
    for (const auto& entry : std::filesystem::recursive_directory_iterator(dir()))
        EXPECT_EQ(entry.path().string().find(work + work), std::string::npos) << entry.path();
    e.requestCancel();
    e.tick();
}

}  // namespace
}  // namespace vdln
