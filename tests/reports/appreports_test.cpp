#include "reports/appreports.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include "base/clock.h"
#include "base/fileutil.h"
#include "base/paths.h"
#include "base/textfile.h"
#include "doubles/scripteddialogs.h"
#include "model/settings.h"
#include "model/simdetails.h"
#include "model/simgrid.h"
#include "model/solutionmethod.h"
#include "runrecord/runrecord.h"
#include "support/golden.h"
#include "support/tempdir.h"
#include "support/testpaths.h"

namespace vdln {
namespace {

using vdln::testing::readFile;
using vdln::testing::writeFile;

/// The demo application "growth": BS1/BR1/PL1, 2024..2029, closure BASE in
/// every Base year, POLICY through the Common row of the Policy closure
/// column, Base shocks B2024..B2029, Policy shocks in 2025 and 2026.
TSimRecord demoRecord(const std::string& workDir, int numYears = 6) {
    TSimRecord rec = CreateSimRecord();
    InitSimRecord(rec, workDir);
    rec.NumYears = numYears;
    rec.StartYear = 2024;
    rec.SimNames[1] = "BS1";
    rec.SimNames[2] = "BR1";
    rec.SimNames[3] = "PL1";
    ComputeYears(rec);
    for (int c = 1; c <= 4; ++c) {
        rec.GridStem(kGridCMFStartRow, c) = c == 2 ? "N/A" : "";
        rec.GridStem(kGridCommonRow, c) = c == 3 ? "POLICY" : "";
    }
    for (int i = 1; i <= numYears; ++i) {
        rec.GridStem(i, 1) = "BASE";
        rec.GridStem(i, 2) = "B" + std::to_string(rec.Years[i]);
        rec.GridStem(i, 3) = "?";
        rec.GridStem(i, 4) =
            (rec.Years[i] == 2025 || rec.Years[i] == 2026) ? "P" + std::to_string(rec.Years[i]) : "";
    }
    RefreshGrid(rec);
    return rec;
}

/// Compares a report with its golden file (the temporary folder replaced by
/// "<DIR>").
void expectGolden(const std::string& reportFile, const std::string& goldenName, const std::string& dir) {
    std::string text = readFile(reportFile);
    for (size_t at; (at = text.find(dir)) != std::string::npos;) text.replace(at, dir.size(), "<DIR>");
    vdln::testing::expectMatchesGolden(
        text, vdln::testing::testSourceDir() + "/tests/reports/golden/" + goldenName);
}

class ReportTest : public vdln::testing::TempDirTest {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        const char* tz = std::getenv("TZ");
        m_oldTz = tz ? std::optional<std::string>(tz) : std::nullopt;
        ::setenv("TZ", "UTC0", 1);
        ::tzset();
    }
    void TearDown() override {
        if (m_oldTz)
            ::setenv("TZ", m_oldTz->c_str(), 1);
        else
            ::unsetenv("TZ");
        ::tzset();
        TempDirTest::TearDown();
    }
    std::optional<std::string> m_oldTz;
};

TEST_F(ReportTest, TextConventions) {
    std::vector<std::string> out;
    addReportHeading(out, "Model Files");
    addLabelledEntry(out, "Working Directory", "/w");
    addLabelledEntry(out, "", "alone");
    EXPECT_EQ(out, (std::vector<std::string>{" ", "Model Files", "-----------", " ",
                                             "Working Directory :", "/w", "alone"}));
    // 2008-03-05 14:02:11 UTC.
    EXPECT_EQ(formatReportTime(fileTimeFromUnix(1204725731, 0)), "05-Mar-2008 at 14:02:11");
}

TEST_F(ReportTest, ClosureShockPageOfTheDemo) {
    TSimRecord rec = demoRecord(dir());
    ASSERT_TRUE(WriteReportSimDetails(path("demo.dr0"), rec, false));
    expectGolden(path("demo.dr0"), "demo.dr0", dir());

    // No-rerun mode leaves out the Rerun's name; a long stem pushes its
    // column to the right.
    rec.GridStem(3, 2) = "B2026LONG";
    std::vector<std::string> lines = simDetailsReportLines(rec, true);
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const std::string& l) { return l.find("Rerun") != std::string::npos; }),
              0);
    EXPECT_EQ(lines[8], "2024        BASE |    B2024 |        ? |          | ");
    EXPECT_EQ(lines[10], "2026        BASE | B2026LONG |        ? |    P2026 | ");
}

TEST_F(ReportTest, WriteFailureCarriesTheTag) {
    TSimRecord rec = demoRecord(dir());
    Status s = WriteReportSimDetails(path("no/such/folder/x.dr0"), rec, false);
    ASSERT_FALSE(s);
    EXPECT_EQ(s.message(),
              "Cannot create file " + path("no/such/folder/x.dr0") + "[TxtCreate][WriteReportSimDetails]");
    WhenRunInfo info;
    s = WriteWhenSimsRunReport(path("no/such/folder/x.dr2"), rec, false, info);
    EXPECT_EQ(s.message(),
              "Cannot create file " + path("no/such/folder/x.dr2") + "[TxtCreate][WriteWhenSimsRunReport]");
}

TEST_F(ReportTest, IngredientsOfTheDemo) {
    std::string work = path("work");
    ASSERT_TRUE(makeDirectories(work));
    TSimRecord rec = demoRecord(work);
    writeFile(JoinPath(work, "BASE.CLS"), "exogenous x l t ;\nrest endogenous ;\n");
    writeFile(JoinPath(work, "POLICY.CLS"), "exogenous a l t ;\nrest endogenous ;\n");
    for (int y = 2024; y <= 2029; ++y) {
        std::string body = "shock l = uniform 1 ;\n";
        // Two years draw in the same file: it is listed once.
        if (y == 2026 || y == 2027)
            body += "shock x = file \"growx.har\" header \"XSHK\" ;\n";
        else
            body += "shock x = uniform 2.5 ;\n";
        writeFile(JoinPath(work, "B" + std::to_string(y) + ".BSH"), body);
    }
    writeFile(JoinPath(work, "P2025.PSH"), "ashock t(\"MAN\") = 10 ;\n");
    // P2026.PSH is missing: it is still listed.

    IngredientsInfo info;
    info.modelDir = path("model");
    info.model = "growth.exe";
    info.modelInfoFile = "growth.min";
    info.dynamicInfoFile = "growth.din";
    info.firstYearList = {"File BASEDATA = " + path("data/BASE2023.HAR") + " ; ! Base data",
                          "File PARAMS = " + path("data/PARAMS.HAR") + " ; ! Parameters"};
    info.resultsMapFile = JoinPath(info.modelDir, "growth.map");
    info.methodDescription = DescribeMethod(graggDefaultMethod(), defaultAutoAccuracy());
    ASSERT_TRUE(WriteReportIngredients(path("demo.dr1"), rec, false, info));
    expectGolden(path("demo.dr1"), "demo.dr1", dir());

    // The same information from the program settings.
    ProgramSettings settings;
    settings.model.ModelDir = info.modelDir;
    settings.model.Model = JoinPath(info.modelDir, "growth.exe");
    settings.model.ModelInfoFile = JoinPath(info.modelDir, "growth.min");
    settings.model.DynamicInfoFile = JoinPath(info.modelDir, "growth.din");
    settings.model.IsDinFile = true;
    settings.model.FirstYearList = info.firstYearList;
    settings.ResultsMapFile = info.resultsMapFile;
    settings.Method = graggDefaultMethod();
    EXPECT_EQ(ingredientsReportLines(rec, false, ingredientsInfoFor(settings)),
              ingredientsReportLines(rec, false, info));
    settings.model.IsDinFile = false;
    EXPECT_EQ(ingredientsInfoFor(settings).dynamicInfoFile, "");

    std::vector<std::string> policy = gridFilesWithConstituents(rec, {3, 4});
    EXPECT_EQ(policy, (std::vector<std::string>{"P2025.PSH", "P2026.PSH"}));

    // An interpreter model, no Dynamic Information file, no-rerun mode.
    info.interpreter = true;
    info.model = "growth.gss";
    info.dynamicInfoFile.clear();
    std::vector<std::string> lines = ingredientsReportLines(rec, true, info);
    auto has = [&](const std::string& s) { return std::find(lines.begin(), lines.end(), s) != lines.end(); };
    EXPECT_TRUE(has("Calvex Auxiliary Table (GST) file :"));
    EXPECT_TRUE(has(JoinPath(info.modelDir, "growth.gst")));
    EXPECT_FALSE(has("Dynamic Information File :"));
    EXPECT_FALSE(has("3-character key for Base Case Rerun file names is : \"BR1\""));
}

/// Completion time t0 + minutes, as the record of runs stores it.
std::string completion(int minutes) {
    // 2026-12-09 08:00:00 UTC
    return formatCompletionTime(fileTimeFromUnix(1796803200 + 60LL * minutes, 0));
}

TEST_F(ReportTest, WhenRunBeforeAndAfterRuns) {
    TSimRecord rec = demoRecord(dir());
    WhenRunInfo info = whenRunInfoFor(TKeepRunInfo::inDirectory(dir()), 2);
    EXPECT_EQ(info.runRecordFiles[2], path("rbase.ini"));
    ASSERT_TRUE(WriteWhenSimsRunReport(path("before.dr2"), rec, false, info));
    expectGolden(path("before.dr2"), "demo-before.dr2", dir());

    // A whole application run, recorded by the record-of-runs writer in the
    // order the steps completed (minutes after 08:00), with some steps done
    // again out of order: the Base's 2027 at the end; the Rerun's 2026 after
    // the Policy's; the Rerun's 2029 after its spreadsheet job, with no BOT
    // job for 2029; the Policy's 2029 not run.
    struct Step {
        int minute, run, year;
        StepKind kind;
    };
    std::vector<Step> steps;
    for (int i = 1; i <= 6; ++i) steps.push_back({i, 1, i, StepKind::Sim});
    steps.push_back({7, 1, 7, StepKind::Sim});  // the Base's spreadsheet job
    for (int i = 2; i <= 5; ++i) steps.push_back({6 + i, 2, i, StepKind::Bot});
    for (int i = 2; i <= 6; ++i) steps.push_back({11 + i, 2, i, StepKind::Sim});
    steps.push_back({18, 2, 7, StepKind::Sim});
    for (int i = 2; i <= 5; ++i) steps.push_back({17 + i, 3, i, StepKind::Sim});
    steps.push_back({30, 1, 4, StepKind::Sim});
    steps.push_back({35, 2, 3, StepKind::Sim});
    steps.push_back({40, 2, 6, StepKind::Sim});
    FixedClock clock;
    RunRecordEnv env(rec, TKeepRunInfo::inDirectory(dir()), clock);
    env.firstPolicyYear = 2;
    env.method = graggDefaultMethod();
    ScriptedDialogs d;
    for (const Step& st : steps) {
        clock.set(fileTimeFromUnix(1796803200 + 60LL * st.minute, 0));
        ASSERT_TRUE(WriteRunRecord(env, d, st.run, st.year, st.kind, env.accuracy, env.method))
            << d.lastMessage();
    }
    ASSERT_TRUE(WriteWhenSimsRunReport(path("after.dr2"), rec, false, info));
    expectGolden(path("after.dr2"), "demo-after.dr2", dir());

    // A Policy year finished before the Rerun's same year names the Rerun.
    std::vector<std::string> lines = whenSimsRunReportLines(rec, false, info);
    auto policyAt = std::find(lines.begin(), lines.end(), "POLICY:");
    ASSERT_NE(policyAt, lines.end());
    EXPECT_NE(std::find(policyAt, lines.end(),
                        "   %% Needs to be rerun - was completed BEFORE same year of the Rerun"),
              lines.end());
}

TEST_F(ReportTest, WhenRunCommandRestoresTheApplicationsRecords) {
    std::string work = path("work"), keepDir = path("keep");
    ASSERT_TRUE(makeDirectories(work));
    ASSERT_TRUE(makeDirectories(keepDir));
    TSimRecord rec = demoRecord(work);
    ProgramSettings settings;
    settings.model.ModelName = "growth";
    TKeepRunInfo keep = TKeepRunInfo::inDirectory(keepDir);
    // The working copy describes another application; the durable copy of
    // this application's Base says 2024 was run.
    writeFile(keep.BaseFile, "[2025]\r\nYear finished ok=" + completion(9) + "\r\n");
    writeFile(RunRecordCopyPath(rec, "growth", 1, false),
              "[Options]\r\nVardelVersion=330\r\n[2024]\r\nYear finished ok=" + completion(3) + "\r\n");

    std::vector<std::string> viewed;
    ReportCommandEnv env = reportCommandEnvFor(
        rec, settings, [&](const std::string& f) { viewed.push_back(f); }, 6);
    EXPECT_EQ(env.defaultDetailsPath, DefaultDs1Path(rec, "growth", false));
    ScriptedDialogs d;
    d.queueText(path("when.dr2"));
    d.queueButton(BtnYes);
    ASSERT_TRUE(reportWhenSimsRunCommand(rec, settings, keep, 2, env, d));
    EXPECT_EQ(d.records()[0].file.defaultName,
              nameOf(changeExt(DefaultDs1Path(rec, "growth", false), ".dr2")));
    EXPECT_EQ(d.records()[1].helpContext, 6);
    EXPECT_EQ(viewed, std::vector<std::string>{path("when.dr2")});
    std::vector<std::string> lines = splitLines(readFile(path("when.dr2")));
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[1], " 2024 (year number 1): Completed on 09-Dec-2026 at 08:03:00");
    EXPECT_EQ(lines[2], " spreadsheet job: Not run");

    // "When Were Sims Last Run ?" shows the same lines, restored the same way,
    // without asking for a file.
    writeFile(keep.BaseFile, "[2025]\r\nYear finished ok=" + completion(9) + "\r\n");
    ScriptedDialogs shown;
    const std::string text = whenSimsLastRunCommand(rec, settings, keep, 2, shown);
    ASSERT_EQ(shown.records().size(), 1u);
    EXPECT_EQ(shown.lastMessage(), text);
    std::string want;
    for (const std::string& l : lines) want += l + "\r\n";
    EXPECT_EQ(text, want);
}

TEST_F(ReportTest, WhenRunInNoRerunModeWithPeriods) {
    TSimRecord rec = demoRecord(dir(), 3);
    rec.PeriodLength[2] = 2;
    ComputeYears(rec);
    WhenRunInfo info;
    info.firstPolicyYear = 2;
    info.runRecordFiles[1] = path("base.ini");
    info.runRecordFiles[2] = path("rbase.ini");
    info.runRecordFiles[3] = path("pol.ini");
    // In no-rerun mode the BOT jobs are in the Policy's file; the Rerun's
    // file is not read at all.
    writeFile(info.runRecordFiles[1], "[2024]\nYear finished ok=" + completion(1) +
                                          "\n[2026]\nYear finished ok=" + completion(2) + "\n");
    writeFile(info.runRecordFiles[2], "[2026]\nBot job finished ok=" + completion(1) + "\n");
    writeFile(info.runRecordFiles[3], "[2026]\nBot job finished ok=" + completion(3) +
                                          "\nYear finished ok=" + completion(4) +
                                          "\n[Run]\nss job finished ok=" + completion(5) + "\n");
    std::vector<std::string> lines = whenSimsRunReportLines(rec, true, info);
    std::vector<std::string> expected = {
        "BASE:",
        " 2024 (period number 1): Completed on 09-Dec-2026 at 08:01:00",
        " 2026 (period number 2): Completed on 09-Dec-2026 at 08:02:00",
        " spreadsheet job: Not run",
        "BOT jobs:",
        " 2026 (period number 2): Completed on 09-Dec-2026 at 08:03:00",
        "POLICY:",
        " 2026 (period number 2): Completed on 09-Dec-2026 at 08:04:00",
        " spreadsheet job: Completed on 09-Dec-2026 at 08:05:00",
        "   %% Needs to be rerun since spreadsheet job of the Base has NOT been completed.",
    };
    EXPECT_EQ(lines, expected);
}

/// The demo with 5 years, and a changed copy with 7 years.
std::pair<TSimRecord, TSimRecord> fiveAndSeven(const std::string& dir) {
    TSimRecord first = demoRecord(dir, 5);
    TSimRecord second = demoRecord(dir, 7);
    second.GridStem(2, 2) = "b2025";  // differs only in letter case: not reported
    second.GridStem(3, 2) = "B2026X";
    second.GridStem(4, 4) = "P2027";  // "none" in the first
    second.GridStem(3, 4) = "";       // "none" in the second
    second.GridStem(1, 1) = "BASE2";
    second.GridStem(6, 1) = "BASE9";  // beyond the first's years: not compared
    return {std::move(first), std::move(second)};
}

TEST_F(ReportTest, CompareFiveAndSevenYears) {
    auto [first, second] = fiveAndSeven(dir());
    std::vector<std::string> lines = compareSimDetailsLines(first, second, false);
    std::vector<std::string> tail(lines.end() - 5, lines.end());
    EXPECT_EQ(tail, (std::vector<std::string>{
                        "Only comparing the first 5rows",
                        "Year 2024 Base Closures. First is BASE, second is BASE2",
                        "Year 2026 Base Shocks. First is B2026, second is B2026X",
                        "Year 2026 Policy Shocks. First is P2026, second is \"none\"",
                        "Year 2027 Policy Shocks. First is \"none\", second is P2027",
                    }));
    std::string file = path("cmp.DRC");
    TxtFile f;
    ASSERT_TRUE(TxtCreate(f, file));
    for (const std::string& l : lines) ASSERT_TRUE(f.writeLine(l));
    ASSERT_TRUE(TxtClose(f));
    expectGolden(file, "demo5v7.DRC", dir());

    second.StartYear = 2020;
    lines = compareSimDetailsLines(first, second, false);
    EXPECT_EQ(lines.back(), "They start at different years. Sorry, nothing more to report.");
}

// ---------------------------------------------------------------------------
// The commands

TEST_F(ReportTest, CompareCommandReadsSavedApplications) {
    auto [first, second] = fiveAndSeven(dir());
    ASSERT_TRUE(WriteSimRecordFile(first, path("five.ds2")));
    ASSERT_TRUE(WriteSimRecordFile(second, path("seven.ds2")));
    writeFile(path("five.ds1"), "");
    writeFile(path("seven.ds1"), "");
    ScriptedDialogs d;
    d.queueText(path("five.ds1"));
    d.queueText(path("seven.ds1"));
    d.queueText(path("five-seven.DRC"));
    d.queueButton(BtnNo);
    std::optional<std::string> written = CompareTwoSimDetails(dir(), false, {}, ReportCommandEnv{}, d);
    ASSERT_TRUE(written) << d.lastMessage();
    expectGolden(*written, "demo5v7.DRC", dir());

    // The period lengths come from the ".ds1" file.
    first.PeriodLength[2] = 2;
    ProgramSettings settings;
    SettingsContext ctx;
    writeFile(path("five.ds1"), joinLinesCrLf(SettingsTextLines(settings, first, ctx)));
    ScriptedDialogs periods;
    periods.queueText(path("five.ds1"));
    periods.queueText(path("seven.ds1"));
    periods.queueText(path("periods.DRC"));
    periods.queueButton(BtnNo);
    written = CompareTwoSimDetails(dir(), false, {}, ReportCommandEnv{}, periods);
    ASSERT_TRUE(written);
    std::string text = readFile(*written);
    EXPECT_NE(text.find("Last sim of Base produces data for year 2029\r\n"), std::string::npos);
    EXPECT_NE(text.find("Year 2027 Base Shocks. First is B2026, second is B2026X\r\n"), std::string::npos);

    // A damaged file is reported and nothing is written.
    writeFile(path("seven.ds2"), "7 2024\nBS1\n");
    ScriptedDialogs bad;
    bad.queueText(path("five.ds1"));
    bad.queueText(path("seven.ds1"));
    EXPECT_FALSE(CompareTwoSimDetails(dir(), false, {}, ReportCommandEnv{}, bad));
    ASSERT_FALSE(bad.messages().empty());
    EXPECT_NE(bad.lastMessage().find("[ReadSimRecordFile]"), std::string::npos) << bad.lastMessage();
}

TEST_F(ReportTest, ReportCommandAsksNameWritesAndOffersToShow) {
    TSimRecord rec = demoRecord(dir());
    ReportCommandEnv env;
    env.defaultDetailsPath = path("growth-BS1B-BR1R-PL1P.ds1");
    env.helpContext = 9;
    std::vector<std::string> viewed;
    env.viewText = [&](const std::string& f) { viewed.push_back(f); };

    ScriptedDialogs d;
    d.queueText(path("r.dr0"));
    d.queueButton(BtnYes);
    std::optional<std::string> written = reportSimDetailsCommand(rec, false, env, d);
    ASSERT_TRUE(written);
    EXPECT_EQ(*written, path("r.dr0"));
    ASSERT_EQ(d.records().size(), 2u);
    EXPECT_EQ(d.records()[0].file.title, "Report Closure/Shocks files in Simulation");
    EXPECT_EQ(d.records()[0].file.filter, "Sim Report files (*.DR0)|*.DR0");
    EXPECT_EQ(d.records()[0].file.defaultName, "growth-BS1B-BR1R-PL1P.dr0");
    EXPECT_EQ(d.records()[0].file.initialDir, dir());
    EXPECT_TRUE(d.records()[0].file.save);
    EXPECT_EQ(d.records()[1].text,
              "Report of Closure/Shocks page has been written.\r\nDo you want to view the report now?");
    EXPECT_EQ(d.records()[1].buttons, BtnYes | BtnNo | BtnHelp);
    EXPECT_EQ(viewed, std::vector<std::string>{path("r.dr0")});
    EXPECT_TRUE(fileExists(path("r.dr0")));

    // Cancel ends the command; No does not show the report.
    ScriptedDialogs cancel;
    cancel.queueCancel();
    EXPECT_FALSE(reportIngredientsCommand(rec, false, IngredientsInfo{}, env, cancel));
    EXPECT_EQ(cancel.records().size(), 1u);
    ScriptedDialogs no;
    no.queueText(path("r.dr2"));
    no.queueButton(BtnNo);
    WhenRunInfo info;
    EXPECT_TRUE(reportWhenSimsRunCommand(rec, false, info, env, no));
    EXPECT_EQ(no.records()[0].file.filter, "\"When Run\" Report files (*.DR2)|*.DR2");
    EXPECT_EQ(
        no.records()[1].text,
        "Report of When Simulations Were Last Run has been written.\r\nDo you want to view the report now?");
    EXPECT_EQ(viewed.size(), 1u);

    // A failure to write is shown as an error.
    ScriptedDialogs bad;
    bad.queueText(path("missing/r.dr1"));
    EXPECT_FALSE(reportIngredientsCommand(rec, false, IngredientsInfo{}, env, bad));
    ASSERT_EQ(bad.records().size(), 2u);
    EXPECT_EQ(bad.records()[1].kind, MsgKind::Error);
    EXPECT_EQ(bad.records()[1].text,
              "Cannot create file " + path("missing/r.dr1") + "[TxtCreate][WriteReportIngredients]");
}

TEST_F(ReportTest, CompareCommandAsksAgainForBadNames) {
    writeFile(path("a.ds1"), "x");
    writeFile(path("a.ds2"), "x");
    writeFile(path("b.ds1"), "x");
    writeFile(path("b.DS2"), "x");  // found without regard to letter case
    writeFile(path("c.ds1"), "x");  // no partner
    std::vector<std::string> loaded;
    SimRecordLoader load = [&](const std::string& ds2, TSimRecord& rec) {
        loaded.push_back(nameOf(ds2));
        rec = demoRecord(dir(), loaded.size() == 1 ? 5 : 7);
        return Status::ok();
    };
    ReportCommandEnv env;
    env.detailsHelpContext = 4;
    ScriptedDialogs d;
    d.queueText(path("a.txt"));
    d.queueButton(BtnOk);
    d.queueText(path("a.ds1"));
    d.queueText(path("c.ds1"));
    d.queueButton(BtnOk);
    d.queueText(path("b.ds1"));
    d.queueText(path("cmp.DRC"));
    d.queueButton(BtnNo);
    std::optional<std::string> written = CompareTwoSimDetails(dir(), false, load, env, d);
    ASSERT_TRUE(written);
    std::vector<std::string> texts;
    for (const DialogRecord& r : d.records())
        texts.push_back(r.type == DialogRecord::Type::File ? r.file.title : r.text);
    EXPECT_EQ(texts,
              (std::vector<std::string>{
                  "First Sim Details File",
                  "Sim Details file name must end with \".ds1\".\r\nPlease choose it again.",
                  "First Sim Details File",
                  "Second Sim Details File",
                  "Associated file " + path("c.ds2") + " does not exist.\r\nPlease try again.",
                  "Second Sim Details File",
                  "Report Differences in Closure/Shocks files between Two Simulations",
                  "Report of Closure/Shocks page has been written.\r\nDo you want to view the report now?",
              }));
    EXPECT_EQ(d.records()[0].file.filter, "Sim Details files (*.DS1)|*.ds1");
    EXPECT_EQ(d.records()[6].file.defaultName, "*.DRC");
    EXPECT_EQ(loaded, (std::vector<std::string>{"a.ds2", "b.DS2"}));
    std::string text = readFile(*written);
    EXPECT_NE(text.find("Only comparing the first 5rows\r\n"), std::string::npos);

    // A load failure is shown and nothing is written.
    SimRecordLoader failing = [](const std::string&, TSimRecord&) {
        return Status::fail("Unexpected FirstLine: junk");
    };
    ScriptedDialogs f;
    f.queueText(path("a.ds1"));
    f.queueText(path("b.ds1"));
    EXPECT_FALSE(CompareTwoSimDetails(dir(), false, failing, env, f));
    EXPECT_EQ(f.lastMessage(), "Unexpected FirstLine: junk");
}

}  // namespace
}  // namespace vdln
