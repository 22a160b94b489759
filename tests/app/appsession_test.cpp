// The application session: start-up, the record-of-runs copies around
// loads, saves and jobs, and the exit sequence.  The console programs are
// played by the fake launcher on the two-year application of the engine's
// tests.
#include "app/appsession.h"

#include <filesystem>
#include <set>

#include "base/fileutil.h"
#include "base/inifile.h"
#include "base/paths.h"
#include "base/strutil.h"
#include "doubles/fakelauncher.h"
#include "doubles/mapenvironment.h"
#include "doubles/scripteddialogs.h"
#include "model/simgrid.h"
#include "support/jobapp.h"
#include "support/tempdir.h"

namespace vdln {
namespace {

using testing::readFile;
using testing::writeFile;

class AppSessionTest : public testing::TempDirTest {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        env.set("SVTEMP", path("svt"));
        env.set("SVKEEP", path("svk"));
        env.set("HOME", path("home"));
        env.setProgramDirectory(path("bin"));
        env.setCurrentDirectory(dir());
        writeFile(path("fixed/.keep"), "");
        writeFile(path("bin/.keep"), "");
        temp = path("svt/SVTEMP/VDLNtemp");
        keep = path("svk/SVKEEP/VDLNkeep");
    }

    std::unique_ptr<AppSession> makeSession() {
        AppSessionParts parts(env, dialogs, clock, launcher, false);
        parts.legacySettingsDir = "";
        parts.processors = 1;
        parts.fixedFolders =
            FixedFolders{path("fixed"), path("fixed"), path("fixed"), path("fixed"), path("fixed")};
        return std::make_unique<AppSession>(std::move(parts));
    }

    // Opens a session and makes the two-year application its current one.
    std::unique_ptr<AppSession> openWithApplication() {
        auto s = makeSession();
        EXPECT_TRUE(s->open());
        EngineEnvironment unused;
        testing::setUpTwoYearApplication(dir(), unused, s->record(), s->settings());
        s->settings().model.ModelName = "growth";
        s->settings().FewerMessages = true;
        work = s->record().WorkDir;
        // The check before a job wants the model program's auxiliary files.
        writeFile(work + "/model.axs", "");
        writeFile(work + "/model.axt", "");
        s->refreshContexts();
        return s;
    }

    // Plays the programs of a job until it ends; returns the parts run.
    // (The first tick of the console-job timer runs its start-up checks,
    // so an ended program may need a further tick.)
    std::vector<std::string> runJob(AppSession& s) {
        std::vector<std::string> parts;
        std::set<std::uint64_t> ended;
        for (int guard = 0; guard < 400 && s.jobRunning(); ++guard) {
            for (int k = 1; k <= 3; ++k) {
                const TOneDosJob& j = s.engine().job().Jobs[k];
                const auto handle = static_cast<std::uint64_t>(j.Process);
                if (!j.InUse || ended.count(handle)) continue;
                parts.push_back(stepText(j.JobName, j.JobPart) + " r" + std::to_string(j.Run) + " y" +
                                std::to_string(j.Year));
                writeFile(j.ReportFile, "[Result]\r\nStatus=ok\r\nLog file=" + j.LogFile + "\r\n");
                writeFile(j.LogFile, "log\r\n");
                writeFile(j.OutputFile, "out");
                EXPECT_TRUE(launcher.endProcess(ProcessHandle{handle}, 0));
                ended.insert(handle);
                break;
            }
            s.tick();
        }
        return parts;
    }

    // A path built with the Working Directory joined onto a name that
    // already held it.
    bool doubled(const std::string& p) const {
        return !work.empty() && p.find(work + work) != std::string::npos;
    }

    MapEnvironment env;
    ScriptedDialogs dialogs;
    FixedClock clock{fileTimeFromLocal(2026, 12, 9, 10, 0, 0)};
    FakeLauncher launcher;
    std::string temp, keep, work;
};

TEST_F(AppSessionTest, WithoutACurrentSimulationFileTheApplicationIsANewOne) {
    auto s = makeSession();
    ASSERT_TRUE(s->open());
    EXPECT_EQ(s->tempDir(), temp);
    EXPECT_EQ(s->keepDir(), keep);
    const TSimRecord& rec = s->record();
    EXPECT_EQ(rec.NumYears, 4);
    EXPECT_EQ(rec.StartYear, 1998);
    EXPECT_EQ(rec.SimNames[1].str(), "BS1");
    EXPECT_EQ(rec.SimNames[3].str(), "PL1");
    EXPECT_EQ(rec.NumFiles, 11);
    // Every period is one year, also past the last simulation: the last
    // year's output file carries the next year.
    EXPECT_EQ(rec.Years[4], 2001);
    EXPECT_EQ(rec.Years[5], 2002);
    EXPECT_FALSE(fileExists(keep + "/Vardelon.ini")) << "the probe of the settings folder is removed again";
}

TEST_F(AppSessionTest, AnUnreadableCurrentSimulationFileIsReportedAndReplaced) {
    writeFile(keep + "/VdlnSim.txt", "not a record\r\n");
    auto s = makeSession();
    ASSERT_TRUE(s->open());
    EXPECT_EQ(s->record().NumYears, 4);
    EXPECT_EQ(s->record().StartYear, 1998);
    bool told = false;
    for (const auto& m : dialogs.messages())
        if (m.find(keep + "/VdlnSim.txt") != std::string::npos &&
            m.find("Starting with a new application.") != std::string::npos)
            told = true;
    EXPECT_TRUE(told) << ::testing::PrintToString(dialogs.messages());
}

TEST_F(AppSessionTest, CloseClearsTheTemporaryDirectoryAndWritesTheSettings) {
    struct Case {
        const char* name;
        bool clear, developer, dontUpdate;
        bool tempCleared, settingsWritten;
    } cases[] = {
        {"usual exit", true, false, false, true, true},
        {"Clear Temp Dir when Exit off", false, false, false, false, true},
        {"developer mode keeps the files", true, true, false, false, true},
        {"Don't update INI file when exit", true, false, true, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        testing::removeTree(path("svk"));
        auto s = makeSession();
        ASSERT_TRUE(s->open());
        writeFile(temp + "/scratch.log", "x");
        writeFile(temp + "/simdir2/part.sl4", "x");
        s->settings().ClearTempDirAtExit = c.clear;
        s->settings().DeveloperMode = c.developer;
        s->settings().DontUpdateIniAtExit = c.dontUpdate;
        s->record().StartYear = 2031;
        ComputeYears(s->record());
        ASSERT_TRUE(s->close());
        EXPECT_EQ(!fileExists(temp + "/scratch.log"), c.tempCleared);
        EXPECT_EQ(!fileExists(temp + "/simdir2/part.sl4"), c.tempCleared);
        EXPECT_EQ(fileExists(keep + "/Vardelon.ini"), c.settingsWritten);
        EXPECT_EQ(fileExists(keep + "/VdlnSim.txt"), c.settingsWritten);
        if (c.settingsWritten) {
            // The next start reads the application back.
            auto next = makeSession();
            ASSERT_TRUE(next->open());
            EXPECT_EQ(next->record().StartYear, 2031);
            EXPECT_EQ(next->settings().ClearTempDirAtExit, c.clear);
        }
        EXPECT_TRUE(s->close()) << "a second close does nothing";
    }
}

TEST_F(AppSessionTest, SavingAndLoadingDetailsCarryTheRecordOfRunsCopies) {
    auto s = openWithApplication();
    const std::string base = keep + "/base.ini";
    const std::string ours =
        "[Options]\r\nVardelVersion=330\r\n[Run]\r\nSim name=BS1\r\nSim Directory=" + work +
        "\r\nUser DS name=ours\r\n";
    writeFile(base, ours);
    const std::string ds1 = s->defaultDetailsFile();
    EXPECT_EQ(ds1, work + "/growth-BS1B-BR1R-PL1P.ds1");
    ASSERT_TRUE(s->writeDetails(ds1));
    const DurableCopyNames copies = s->runRecordEnv().copies;
    for (int r = 1; r <= 3; ++r) {
        SCOPED_TRACE(r);
        EXPECT_EQ(copies[r].rfind(work + "/", 0), 0u) << copies[r];
        EXPECT_FALSE(doubled(copies[r])) << copies[r];
    }
    ASSERT_TRUE(fileExists(copies[1])) << copies[1];
    EXPECT_EQ(readFile(copies[1]), ours);

    // Another application used the Keep Directory meanwhile.
    writeFile(base,
              "[Options]\r\nVardelVersion=330\r\n[Run]\r\nSim name=XX1\r\nSim Directory=/elsewhere\r\n");
    writeFile(keep + "/pol.ini", "[Run]\r\nSim name=XX3\r\n");
    ASSERT_TRUE(s->loadDetails(ds1));
    EXPECT_EQ(s->currentDetailsFile(), ds1);
    EXPECT_EQ(readFile(base), ours) << "the working record is the application's copy";
    EXPECT_FALSE(fileExists(keep + "/pol.ini")) << "a run without a copy has no record";
    EXPECT_TRUE(s->problems().empty());
}

TEST_F(AppSessionTest, AJobStartsFromTheCopiesAndSavesThoseOfTheRunsItAdvanced) {
    auto s = openWithApplication();
    // A stale working record of another application must not be judged.
    writeFile(keep + "/base.ini", "[Run]\r\nSim name=XX1\r\nSim Directory=/elsewhere\r\n");
    JobRequest r = emptyRequest(2);
    r.FirstSimYear[1] = r.FirstSSYear[1] = 1;
    r.LastSimYear[1] = r.LastSSYear[1] = 2;
    ASSERT_TRUE(s->startJob(r)) << s->engine().failureMessage() << " / " << dialogs.lastMessage();
    const auto parts = runJob(*s);
    ASSERT_EQ(s->engine().outcome(), JobOutcome::Finished) << s->engine().failureMessage();
    EXPECT_EQ(std::set<std::string>(parts.begin(), parts.end()).size(), parts.size());
    const DurableCopyNames copies = s->runRecordEnv().copies;
    ASSERT_TRUE(fileExists(copies[1]));
    EXPECT_EQ(readFile(copies[1]), readFile(keep + "/base.ini"));
    auto rec = IniFile::load(keep + "/base.ini");
    ASSERT_TRUE(rec);
    EXPECT_EQ(rec->getString("Run", "Sim name"), "BS1");
    EXPECT_EQ(rec->getString("Run", "User DS name"), s->defaultDetailsFile());
    EXPECT_FALSE(fileExists(copies[2])) << "the rerun made no progress";
    // The job's details file follows every completed step.
    EXPECT_TRUE(fileExists(s->defaultDetailsFile()));
    EXPECT_TRUE(fileExists(changeExt(s->defaultDetailsFile(), ".ds2")));
    EXPECT_TRUE(s->problems().empty());
}

TEST_F(AppSessionTest, CompletionsThatCannotBeRecordedAreKeptAsProblems) {
    auto s = openWithApplication();
    JobRequest r = emptyRequest(2);
    r.FirstSimYear[1] = 1;
    r.LastSimYear[1] = 2;
    ASSERT_TRUE(s->startJob(r)) << s->engine().failureMessage();
    // The Base's record becomes a folder: no write can replace it.
    ASSERT_TRUE(deleteFile(keep + "/base.ini"));
    ASSERT_TRUE(makeDirectories(keep + "/base.ini"));
    const auto parts = runJob(*s);
    ASSERT_EQ(s->engine().outcome(), JobOutcome::Finished) << s->engine().failureMessage();
    EXPECT_EQ(parts.size(), 4u) << ::testing::PrintToString(parts);
    int unrecorded = 0;
    for (const SessionProblem& p : s->problems())
        if (p.kind == SessionProblem::Kind::UnrecordedCompletion) {
            ++unrecorded;
            EXPECT_EQ(p.text.rfind("Problem updating Record of Runs file \r\n  " + keep + "/base.ini", 0), 0u)
                << p.text;
        }
    EXPECT_EQ(unrecorded, 2) << "one per simulated year";
    bool told = false;
    for (const auto& m : dialogs.messages())
        if (m.rfind("Problem updating Record of Runs file", 0) == 0) told = true;
    EXPECT_TRUE(told);
}

TEST_F(AppSessionTest, AWholeRunButtonRunsEveryYearOfThatRun) {
    auto s = openWithApplication();
    ASSERT_TRUE(s->runWhole(RunButton::Base)) << s->engine().failureMessage();
    const auto parts = runJob(*s);
    EXPECT_EQ(s->engine().outcome(), JobOutcome::Finished);
    for (const char* p : {"sim/sim r1 y1", "sim/sol r1 y2", "cumsol/cum r1 y3"})
        EXPECT_NE(std::find(parts.begin(), parts.end(), p), parts.end()) << p;
    for (const auto& p : parts) EXPECT_NE(p.find(" r1 "), std::string::npos) << p;
}

}  // namespace
}  // namespace vdln
