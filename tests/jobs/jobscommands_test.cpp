#include "jobs/jobscommands.h"

#include "base/fileutil.h"
#include "base/inifile.h"
#include "doubles/scripteddialogs.h"
#include "jobs/jobslog.h"
#include "support/tempdir.h"

namespace vdln {
namespace {

using testing::readFile;
using testing::writeFile;

TEST(JobPreferenceCommands, ConcurrencySlotsAreStoredToldAndExplained) {
    struct Case {
        ConcurrencyCommand cmd;
        SlotChoice slots;
        const char* text;
        const char* allow2;
        const char* allow3;
    } cases[] = {
        {ConcurrencyCommand::AllowTwo, {1, 2}, "Allowing two concurrent solves.", "1", "0"},
        {ConcurrencyCommand::AllowThree, {1, 3}, "Allowing three concurrent solves.", "0", "1"},
        {ConcurrencyCommand::JustOneNo1, {1, 1}, "Will not run two concurrent solves.", "0", "0"},
        {ConcurrencyCommand::JustOneNo2,
         {2, 2},
         "Will not run two concurrent solves, and will always run as job number 2.",
         "1",
         "0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        ProgramSettings settings;
        settings.ConcurrentSolves = 3;
        int firstSlot = 2;
        ScriptedDialogs dialogs;
        std::vector<SlotChoice> told;
        applyConcurrencyCommand(
            c.cmd, settings, firstSlot,
            [&](int f, int m) {
                told.push_back({f, m});
            },
            dialogs);
        EXPECT_EQ(currentSlots(settings, firstSlot), c.slots);
        EXPECT_EQ(told, std::vector<SlotChoice>{c.slots});
        EXPECT_EQ(dialogs.messages(), std::vector<std::string>{c.text});
        IniFile ini;  // the settings file keeps the count in its two keys
        PutSettings(ini, settings, CreateSimRecord());
        EXPECT_EQ(ini.getString("Environment", "Allow 2 Concurrent Solves"), c.allow2);
        EXPECT_EQ(ini.getString("Environment", "Allow 3 Concurrent Solves"), c.allow3);
    }
}

TEST(JobPreferenceCommands, OutputsBeforeRunChangeOrAreAlreadyChecked) {
    using O = OutputsBeforeRun;
    const O options[] = {O::Move, O::Delete, O::Neither};
    const std::string chosen[] = {
        "Will now copy output files to subdirectory VDLNRes\r\n and delete the existing versions in the "
        "Working "
        "Directory before any runs.",
        "Will now delete the existing versions of output files from the Working Directory before any run.",
        "Will now neither move nor delete the existing versions of output files from the Working Directory "
        "before "
        "any run."};
    const std::string already =
        "This option is already checked. If you wish to change this option,\r\n please "
        "select one of the other two options ";
    const char* others[] = {"[Delete or Do Neither].", "[Move or Do Neither].", "[Move or Delete]."};
    for (int from = 0; from < 3; ++from)
        for (int to = 0; to < 3; ++to) {
            SCOPED_TRACE(std::to_string(from) + " -> " + std::to_string(to));
            ProgramSettings settings;
            settings.Outputs = options[from];
            ScriptedDialogs dialogs;
            EXPECT_EQ(chooseOutputsBeforeRun(options[to], settings, dialogs), from != to);
            EXPECT_EQ(settings.Outputs, options[to]);
            EXPECT_EQ(dialogs.lastMessage(), from == to ? already + others[to] : chosen[to]);
        }
}

class JobsLogCommandsTest : public testing::TempDirTest {
protected:
    JobsLogCommands commands(const std::string& keep) {
        return JobsLogCommands(keep, dialogs,
                               [this](const std::string& f) { return opened.push_back(f), true; });
    }
    ScriptedDialogs dialogs;
    std::vector<std::string> opened;
    ProgramSettings settings;
};

TEST_F(JobsLogCommandsTest, TogglingRestartingAndViewingTheLogs) {
    writeFile(path("keep/.keep"), "");
    JobsLogCommands c = commands(path("keep"));
    const std::string log = path("keep/bigjobs.log"), batch = path("keep/BatchJobs.log");
    EXPECT_FALSE(c.viewJobsLog());
    EXPECT_FALSE(c.viewBatchJobsLog());
    EXPECT_FALSE(c.viewLastErrorLog());
    EXPECT_TRUE(c.toggleAddToJobsLog(settings));
    EXPECT_EQ(readFile(log), "");
    writeFile(log, "old job\r\n");
    EXPECT_FALSE(c.toggleAddToJobsLog(settings));
    EXPECT_FALSE(settings.AddToJobsLog);
    EXPECT_TRUE(c.restartJobsLog(settings));
    EXPECT_TRUE(settings.AddToJobsLog);
    // Lines are appended only to a log that exists: a restarted log does.
    writeFile(path("tmp/.keep"), "");
    ASSERT_TRUE(appendToLog(log, {"BEGINNING A JOB"}));
    EXPECT_EQ(readFile(log), "BEGINNING A JOB\r\n");
    writeFile(batch, "old batch\r\n");
    EXPECT_TRUE(c.restartBatchJobsLog());
    EXPECT_EQ(readFile(batch), "");
    EXPECT_TRUE(c.viewJobsLog());
    EXPECT_TRUE(c.viewBatchJobsLog());
    // The copy a failed part leaves is the last error log.
    writeFile(path("keep/lasterr.log"), "error in the model\r\n");
    EXPECT_TRUE(c.viewLastErrorLog());
    EXPECT_EQ(opened, (std::vector<std::string>{log, batch, path("keep/lasterr.log")}));
    EXPECT_EQ(dialogs.messages(),
              (std::vector<std::string>{
                  "There is no Jobs Log File.", "There is no Batch Jobs Log File.",
                  "There is no Last Error Log File.", "Will add to Jobs Log File:\r\n" + log,
                  "Will not add to the Jobs Log File", "Have restarted Jobs Log File:\r\n" + log,
                  "Have restarted Batch Jobs Log File:\r\n" + batch}));
    for (const auto& r : dialogs.records()) EXPECT_EQ(r.buttons, static_cast<Buttons>(BtnOk | BtnHelp));
}

TEST_F(JobsLogCommandsTest, ALogThatCannotBeWrittenLeavesLoggingOff) {
    writeFile(path("afile"), "x");
    JobsLogCommands c = commands(path("afile"));  // a file where the folder should be
    EXPECT_FALSE(c.toggleAddToJobsLog(settings));
    EXPECT_FALSE(c.restartJobsLog(settings));
    EXPECT_FALSE(c.restartBatchJobsLog());
    EXPECT_FALSE(settings.AddToJobsLog);
    ASSERT_EQ(dialogs.records().size(), 3u);
    for (const auto& r : dialogs.records()) EXPECT_EQ(r.kind, MsgKind::Error) << r.text;
}

TEST(JobCommands, SummaryOfCurrentJobAndCancel) {
    TBigJobDetails job;
    PlanContext ctx;
    ctx.year = [](int i) { return 2020 + i; };
    ScriptedDialogs dialogs;
    EXPECT_FALSE(summaryOfCurrentJob(job, ctx, false, dialogs).has_value());
    job.Running = true;
    job.DoSims[1] = true;
    job.FirstSimYear[1] = 1;
    job.LastSimYear[1] = job.LastDoneYear[1] = 2;
    auto lines = summaryOfCurrentJob(job, ctx, false, dialogs);
    ASSERT_TRUE(lines.has_value());
    EXPECT_EQ(lines->back(), "  Last simulation done is that for 2022 [year number 2]");
    job.Running = false;
    EXPECT_EQ(refreshJobOverview(job, ctx, false), std::vector<std::string>{"[Nothing is running.]"});

    int requests = 0;
    dialogs.queueButton(BtnNo);
    dialogs.queueButton(BtnYes);
    EXPECT_FALSE(confirmCancelJob(dialogs, [&] { ++requests; }));
    EXPECT_TRUE(confirmCancelJob(dialogs, [&] { ++requests; }));
    EXPECT_EQ(requests, 1);
    EXPECT_EQ(dialogs.messages(),
              (std::vector<std::string>{"Nothing is running.", "Do you really want to kill this job?",
                                        "Do you really want to kill this job?"}));
}

}  // namespace
}  // namespace vdln
