#include "runrecord/runrecord.h"

#include <sys/stat.h>

#include "base/inifile.h"
#include "base/strutil.h"
#include "runrecord/appbuilder.h"
#include "runrecord/filestamp.h"
#include "support/tempdir.h"

namespace vdln {
namespace {

class RunRecordTest : public testing::TempDirTest {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        app = std::make_unique<testing::AppBuilder>(dir(), 3);
    }
    IniFile record(int run) { return IniFile::loadOrEmpty(RunRecordFileName(app->env->keep, run)).value(); }
    std::unique_ptr<testing::AppBuilder> app;
};

TEST_F(RunRecordTest, KeepInfoNamesTheThreeFiles) {
    TKeepRunInfo k = TKeepRunInfo::inDirectory("/k");
    EXPECT_EQ(RunRecordFileName(k, 1), "/k/base.ini");
    EXPECT_EQ(RunRecordFileName(k, 2), "/k/rbase.ini");
    EXPECT_EQ(RunRecordFileName(k, 3), "/k/pol.ini");
    EXPECT_EQ(RunRecordFileName(k, 0), "");
    EXPECT_EQ(RunRecordFileName(k, 4), "");
}

TEST_F(RunRecordTest, StampComparisonsNameTheRecordedStep) {
    const std::string f = app->work + "/BASE.CLS";
    const std::string stored = formatFileStamp(0, 1, f);
    struct Case {
        int run, year;
        bool bot;
        const char* context;
    };
    const Case cases[] = {
        {1, 0, false, "when you last ran the Base\r\n"},
        {3, 2, false, "when you last ran the simulation for year 2025 (year number 2) of the Policy\r\n"},
        {2, 3, true, "when you last ran the BOT job for year 2026\r\n"},
        {2, 4, false, "when you last ran the spreadsheet job for the Rerun\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.context);
        auto r = CompareFileStamp(*app->env, "The closure file", c.run, c.year, stored, f, "used", false,
                                  true, c.bot);
        EXPECT_FALSE(r.ok);
        EXPECT_NE(r.message.find(c.context), std::string::npos) << r.message;
    }
    app->sim.PeriodLength[1] = 2;
    ComputeYears(app->sim);
    auto r = CompareFileStamp(*app->env, "The closure file", 1, 2, stored, f, "used", false, true, false);
    EXPECT_NE(r.message.find("simulation for year 2026 (period number 2) of the Base"), std::string::npos);
}

TEST_F(RunRecordTest, CompletionTimesRoundTrip) {
    for (std::int64_t t : {0LL, 133500000001234567LL, 0x7FFFFFFF80000000LL}) {
        SCOPED_TRACE(t);
        EXPECT_EQ(parseCompletionTime(formatCompletionTime(t)), t);
    }
    EXPECT_FALSE(parseCompletionTime("12").has_value());
    EXPECT_FALSE(parseCompletionTime("a b").has_value());
    EXPECT_FALSE(parseCompletionTime("99999999999 0").has_value());
}

TEST_F(RunRecordTest, ASimulationStepWritesItsSectionsInOrder) {
    ASSERT_TRUE(app->runStep(1, 1, StepKind::Sim));
    IniFile ini = record(1);
    EXPECT_EQ(ini.sections(),
              (std::vector<std::string>{"LastRan", "Options", "Model", "2024em", "2024", "Run", "2024er",
                                        "Length Periods", "2023i", "2024i", "2024c", "2024s", "cmfstart",
                                        "2024ec", "Solution Method", "2024es"}));
    EXPECT_EQ(ini.getString("LastRan", "Base Sim name"), "BS1");
    EXPECT_FALSE(ini.hasKey("LastRan", "Rerun Sim name"));
    EXPECT_EQ(ini.getString("Options", "VardelVersion"), "330");
    EXPECT_EQ(StampName(ini.getString("2024em", "Exe")), app->env->modelFile);
    EXPECT_EQ(StampSize(ini.getString("2024em", "Exe")), 7);
    EXPECT_EQ(ini.getString("2024em", "Gss"), "");
    EXPECT_EQ(ini.getString("2024em", "Is DIN file"), "0");
    EXPECT_FALSE(ini.hasKey("2024em", "Dynamic Info File"));
    EXPECT_EQ(ini.getString("2024em", "Rerun FC with Dev"), "yes");
    EXPECT_EQ(parseCompletionTime(ini.getString("2024", "Year finished ok")), app->clock.nowFileTime());
    EXPECT_EQ(ini.getString("Run", "Start year this run"), "2024");
    EXPECT_EQ(ini.getString("Run", "End year"), "2026");
    EXPECT_EQ(ini.getString("Run", "Number of periods"), "3");
    EXPECT_EQ(ini.getString("Run", "Sim Directory"), app->work);
    EXPECT_EQ(ini.getString("2024er", "Sim char"), "B");
    EXPECT_EQ(ini.getString("2024er", "Length this period"), "1");
    EXPECT_EQ(ini.getString("Length Periods", "3"), "1");
    // The year's files, the inputs by logical name, the outputs.
    EXPECT_EQ(StampName(ini.getString("2024", "Solution file")), SolutionFile(app->sim, 1, 1, false));
    EXPECT_GT(StampSize(ini.getString("2024", "SLC file")), 0);
    EXPECT_GT(StampSize(ini.getString("2024", "Log file")), 0);
    EXPECT_EQ(StampName(ini.getString("2023i", "BASEDATA")), app->work + "/basedata2023.har");
    EXPECT_EQ(StampName(ini.getString("2024i", "PARAMS")), app->work + "/params2023.har");
    EXPECT_GT(StampSize(ini.getString("2024", "BASEDATA")), 0);  // the updated data written
    EXPECT_GT(StampSize(ini.getString("2024", "SUMMARY")), 0);   // the output-only file
    // Closure and shocks with the constituent the shock file draws in.
    EXPECT_EQ(ini.getString("2024c", "Common CLS file"), "");
    EXPECT_EQ(StampName(ini.getString("2024c", "CLS file")), app->work + "/BASE.CLS");
    EXPECT_EQ(StampName(ini.getString("2024s", "BSH file")), app->work + "/B2024.BSH");
    EXPECT_EQ(StampName(ini.getString("2024s", "Constituent 0")), app->work + "/grow.har");
    EXPECT_FALSE(ini.hasKey("2024s", "Constituent 1"));
    EXPECT_EQ(ini.getString("2024ec", "Exists"), "0");
    EXPECT_EQ(ini.getString("Solution Method", "Method"), "1");
    EXPECT_TRUE(ini.hasKey("2024es", "NSOL"));
}

TEST_F(RunRecordTest, PeriodLengthsFollowTheApplicationAtEveryCompletion) {
    ASSERT_TRUE(app->runStep(1, 1, StepKind::Sim));
    EXPECT_EQ(record(1).entries("Length Periods"),
              (std::vector<std::pair<std::string, std::string>>{
                  {"Number periods", "3"}, {"1", "1"}, {"2", "1"}, {"3", "1"}}));
    // A period length changed between two completions is written by the next.
    app->sim.PeriodLength[2] = 4;
    ComputeYears(app->sim);
    ASSERT_TRUE(app->runStep(1, 1, StepKind::Sim));
    EXPECT_EQ(record(1).getString("Length Periods", "2"), "4");
    // A key of the section the program does not write stays where it was.
    IniFile ini = record(1);
    ini.set("Length Periods", "Note", "kept");
    ASSERT_TRUE(ini.save(RunRecordFileName(app->env->keep, 1)).isOk());
    app->sim.PeriodLength[3] = 2;
    ComputeYears(app->sim);
    ASSERT_TRUE(app->runStep(1, 2, StepKind::Sim));
    EXPECT_EQ(record(1).entries("Length Periods"),
              (std::vector<std::pair<std::string, std::string>>{
                  {"Number periods", "3"}, {"1", "1"}, {"2", "4"}, {"3", "2"}, {"Note", "kept"}}));
}

TEST_F(RunRecordTest, RerunBotAndSpreadsheetStepsWriteTheirKeys) {
    app->runRun(1);
    ASSERT_TRUE(app->runStep(2, 1, StepKind::Sim));  // before the policy start: not recorded
    EXPECT_FALSE(fileExists(RunRecordFileName(app->env->keep, 2)));
    ASSERT_TRUE(app->runStep(2, 2, StepKind::Bot));
    ASSERT_TRUE(app->runStep(2, 2, StepKind::Sim));
    IniFile ini = record(2);
    EXPECT_EQ(ini.getString("LastRan", "Rerun Sim name"), "BR1");
    EXPECT_TRUE(ini.hasKey("2025", "Bot job finished ok"));
    EXPECT_EQ(StampName(ini.getString("2025", "Bot file")), BotFile(app->sim, 2, false));
    EXPECT_EQ(StampName(ini.getString("2025boti", "Base Solution file used")),
              SolutionFile(app->sim, 2, 1, false));
    EXPECT_TRUE(ini.hasSection("2025botem"));
    EXPECT_FALSE(ini.hasSection("2025bots"));  // no shocks for BOT jobs
    EXPECT_EQ(StampName(ini.getString("2025i", "Bot file")), BotFile(app->sim, 2, false));
    EXPECT_EQ(StampName(ini.getString("2025i", "Base Solution file")), SolutionFile(app->sim, 2, 1, false));
    EXPECT_EQ(StampName(ini.getString("2025s", "PSH file")), app->work + "/P2025.PSH");
    EXPECT_EQ(ini.getString("Run", "Start year this run"), "2025");

    IniFile base = record(1);
    EXPECT_TRUE(base.hasKey("Run", "ss job finished ok"));
    EXPECT_TRUE(base.hasSection("sser"));
    EXPECT_EQ(StampName(base.getString("sser", "Map file")), app->work + "/growth.map");
    EXPECT_GT(StampSize(base.getString("Run", "Output ss YOnY")), 0);
    EXPECT_GT(StampSize(base.getString("Run", "Output RSL cum")), 0);
    EXPECT_FALSE(base.hasKey("Run", "Output diff cum"));
    EXPECT_GT(StampSize(base.getString("2026", "CSV file")), 0);
    EXPECT_FALSE(base.hasSection("2027"));  // the spreadsheet job has no year of its own
}

TEST_F(RunRecordTest, LaterRunsAreInvalidatedOnlyWhenTheirNameChanged) {
    app->runAll();
    const std::string rbase = RunRecordFileName(app->env->keep, 2);
    const std::string pol = RunRecordFileName(app->env->keep, 3);
    ASSERT_TRUE(app->runStep(1, 1, StepKind::Sim));
    EXPECT_TRUE(fileExists(rbase));
    EXPECT_TRUE(fileExists(pol));

    app->sim.SimNames[2] = "BR2";
    app->env->developerMode = true;
    ASSERT_TRUE(app->runStep(1, 1, StepKind::Sim));
    EXPECT_TRUE(fileExists(rbase));  // developer mode keeps them
    app->env->developerMode = false;
    ASSERT_TRUE(app->runStep(1, 1, StepKind::Sim));
    EXPECT_FALSE(fileExists(rbase));
    EXPECT_TRUE(fileExists(pol));

    app->env->beLikeOld = true;
    ASSERT_TRUE(app->runStep(1, 2, StepKind::Sim));
    EXPECT_FALSE(fileExists(pol));
    EXPECT_TRUE(record(1).hasSection("2024"));  // not the first year: the Base's own record is kept
    ASSERT_TRUE(app->runStep(1, 1, StepKind::Sim));
    EXPECT_FALSE(record(1).hasSection("2025"));  // first year: a fresh record
}

TEST_F(RunRecordTest, NoRerunModeLeavesOutTheRerunName) {
    app->env->noRerun = true;
    app->runRun(1);
    ASSERT_TRUE(app->runStep(3, 2, StepKind::Bot));
    ASSERT_TRUE(app->runStep(3, 2, StepKind::Sim));
    IniFile ini = record(3);
    EXPECT_FALSE(ini.hasKey("LastRan", "Rerun Sim name"));
    EXPECT_EQ(ini.getString("LastRan", "Policy Sim name"), "PL1");
    EXPECT_EQ(ini.getString("2025em", "Rerun FC with Dev"), "no");
    EXPECT_TRUE(ini.hasKey("2025", "Bot job finished ok"));
}

TEST_F(RunRecordTest, AFileThatCannotBeWrittenIsReportedAndTheStepGoesOn) {
    ASSERT_EQ(::mkdir(RunRecordFileName(app->env->keep, 1).c_str(), 0755), 0);  // a folder in its place
    EXPECT_FALSE(app->runStep(1, 1, StepKind::Sim));
    EXPECT_EQ(app->dialogs.lastMessage(),
              "Problem updating Record of Runs file \r\n  " + RunRecordFileName(app->env->keep, 1) +
                  "\r\nLast part done is: File list freed\r\nBut will attempt to continue.");
    EXPECT_EQ(app->dialogs.records().back().buttons, BtnOk | BtnHelp);
    EXPECT_FALSE(app->runStep(1, 9, StepKind::Sim));  // no such step
    EXPECT_NE(app->dialogs.lastMessage().find("Last part done is: none"), std::string::npos);
}

TEST_F(RunRecordTest, DurableCopiesAreSavedAndRestoredWithTheirTimes) {
    app->runAll();
    const auto& env = *app->env;
    for (int r = 1; r <= 3; ++r) ASSERT_TRUE(fileExists(env.copies[r])) << r;
    const auto t = fileWriteTime(env.copies[2]);
    ASSERT_TRUE(setFileWriteTime(env.copies[2], *t - 500000000LL).isOk());

    ASSERT_TRUE(RestoreRunRecordCopies(env.keep, env.copies, false).isOk());
    for (int r = 1; r <= 3; ++r) EXPECT_TRUE(fileExists(RunRecordFileName(env.keep, r))) << r;
    EXPECT_EQ(fileWriteTime(RunRecordFileName(env.keep, 2)), fileWriteTime(env.copies[2]));

    // No-rerun mode never restores run 2's copy.
    ASSERT_TRUE(RestoreRunRecordCopies(env.keep, env.copies, true).isOk());
    EXPECT_FALSE(fileExists(RunRecordFileName(env.keep, 2)));

    // A copy written by an old version is ignored.
    IniFile old = IniFile::load(env.copies[3]).value();
    old.setInt("Options", "VardelVersion", 299);
    ASSERT_TRUE(old.save(env.copies[3]).isOk());
    ASSERT_TRUE(RestoreRunRecordCopies(env.keep, env.copies, false).isOk());
    EXPECT_FALSE(fileExists(RunRecordFileName(env.keep, 3)));

    // Without the Base's copy nothing is restored.
    ASSERT_TRUE(deleteFile(env.copies[1]).isOk());
    ASSERT_TRUE(RestoreRunRecordCopies(env.keep, env.copies, false).isOk());
    for (int r = 1; r <= 3; ++r) EXPECT_FALSE(fileExists(RunRecordFileName(env.keep, r))) << r;
}

TEST_F(RunRecordTest, CopiesAreSavedOnlyForTheCurrentApplication) {
    app->runRun(1);
    const auto& env = *app->env;
    std::array<std::string, 4> names{"", "BS9", "BR1", "PL1"};
    ASSERT_TRUE(
        SaveRunRecordCopies(env.keep, {false, true, false, false}, env.copies, names, app->work).isOk());
    EXPECT_FALSE(fileExists(env.copies[1]));  // another simulation name
    names[1] = "bs1";
    ASSERT_TRUE(
        SaveRunRecordCopies(env.keep, {false, true, false, false}, env.copies, names, "/elsewhere").isOk());
    EXPECT_FALSE(fileExists(env.copies[1]));  // another working directory
    ASSERT_TRUE(
        SaveRunRecordCopies(env.keep, {false, true, false, false}, env.copies, names, app->work).isOk());
    EXPECT_TRUE(fileExists(env.copies[1]));
}

TEST_F(RunRecordTest, UserDsNameAndBackups) {
    app->runRun(1);
    const auto& env = *app->env;
    const std::string base = RunRecordFileName(env.keep, 1);
    ASSERT_TRUE(WriteUserDsName(base, "/w/growth-BS1B-BR1R-PL1P.ds1").isOk());
    EXPECT_EQ(record(1).getString("Run", "User DS name"), "/w/growth-BS1B-BR1R-PL1P.ds1");
    EXPECT_TRUE(record(1).hasKey("Run", "ss job finished ok"));  // the rest is kept

    ASSERT_TRUE(BackupRunRecords(env.keep).isOk());
    EXPECT_EQ(testing::readFile(runRecordBackupName(base)), testing::readFile(base));
    EXPECT_FALSE(fileExists(runRecordBackupName(RunRecordFileName(env.keep, 2))));
    EndRunRecordBackups(env.keep, {false, true, false, false});
    EXPECT_FALSE(fileExists(runRecordBackupName(base)));
}

TEST(RunRecordView, ReadsWithoutRegardToCaseAndTreatsMissingFilesAsEmpty) {
    IniFile ini = IniFile::parse("[Run]\nSim Name=BS1\nss job finished ok=5 1\n[2024]\nFlag=yes\n");
    RunRecordView v = RunRecordView::fromIni(ini);
    EXPECT_EQ(v.get("RUN", "sim name"), "BS1");
    EXPECT_EQ(v.getTime("run", "SS JOB FINISHED OK"), (1LL << 32) | 5);
    EXPECT_TRUE(v.getBool("2024", "flag", false));
    EXPECT_EQ(v.getInt("2024", "flag", -3), -3);
    EXPECT_EQ(v.find("2025", "x"), nullptr);
    EXPECT_TRUE(v.entries("nothing").empty());
    RunRecordView missing = RunRecordView::load("/nonexistent/base.ini");
    EXPECT_FALSE(missing.present());
    EXPECT_FALSE(missing.hasSection("Run"));
}

TEST_F(RunRecordTest, FirstYearLinesAreStampedWithoutTheirComment) {
    // The Model/Data page writes each line with a "! description" after
    // the statement; a quoted name may itself hold a ";".
    testing::writeFile(app->work + "/odd;name.har", "odd");
    const std::string plain = app->work + "/basedata2023.har";
    app->env->firstYearList = {"File BASEDATA = basedata2023.har ; ! the Base data for 2023",
                               "File PARAMS = \"odd;name.har\" ; ! parameters"};
    ASSERT_TRUE(app->runStep(1, 1, StepKind::Sim));
    IniFile ini = record(1);
    EXPECT_EQ(StampName(ini.getString("2023i", "BASEDATA")), plain);
    EXPECT_EQ(StampSize(ini.getString("2023i", "BASEDATA")), fileSize(plain).value_or(-2))
        << "the stamp is that of the existing file";
    EXPECT_EQ(StampName(ini.getString("2023i", "PARAMS")), app->work + "/odd;name.har");
    EXPECT_EQ(StampSize(ini.getString("2023i", "PARAMS")), 3);
}

}  // namespace
}  // namespace vdln
