// The Results page operations: lists, style rules, the year view with its
// checks against the record of runs, spreadsheets, graphs, the analysis of
// cumulative results and Probex, with ScriptedDialogs and a starter that
// records what would be started.
#include "results/resultsview.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "base/fileutil.h"
#include "base/paths.h"
#include "doubles/mapenvironment.h"
#include "doubles/recordingstarter.h"
#include "doubles/scripteddialogs.h"
#include "results/acclog.h"
#include "results/resultsshared.h"
#include "runrecord/filestamp.h"
#include "support/tempdir.h"

namespace vdln {
namespace {

// Four years from 2024 (base year 2023), long names, the policy from year
// number 3 (2026).  Logical files: BASEDATA (updated input), PARAMS
// (constant input), SUMMARY (text output), LAGOUT (an output of the model
// that the file table feeds into the next year as its input).
class ResultsViewTest : public testing::TempDirTest {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        work = path("work");
        keepDir = path("keep");
        progDir = path("bin");
        for (const auto& d : {work, keepDir, progDir}) std::filesystem::create_directories(d);
        rec = CreateSimRecord();
        rec.WorkDir = work;
        rec.NumYears = 4;
        rec.StartYear = 2024;
        for (int i = 1; i <= 4; ++i) rec.PeriodLength[i] = 1;
        ComputeYears(rec);
        rec.SimNames[1] = "BS1";
        rec.SimNames[2] = "BR1";
        rec.SimNames[3] = "PL1";
        rec.AltMethodInUse = 0;
        addFile("BASEDATA", "HAR", true, true);
        addFile("PARAMS", "HAR", true, false);
        addFile("SUMMARY", "TXT", false, false);
        addFile("LAGOUT", "HAR", false, false);
        rec.Files[4].Usage = kUsageLaggedInput;  // read by the next year
        rec.Files[4].IsInput = 1;
        rec.Files[4].LagFile = 4;
        rec.Files[4].InputUsage[0] = 4;
        settings.Method.NSol = 3;
        settings.model.FirstYearList = {"file BASEDATA = " + path("work/BASE2023.HAR") + " ;"};
        settings.model.ModelDir = path("model");
        env.setProgramDirectory(progDir);
        env.set("PATH", path("nopath"));
    }
    void addFile(const std::string& name, const std::string& type, bool in, bool upd) {
        const int n = ++rec.NumModelFiles;
        rec.ModelFiles[n] = makeModelFileDesc(name, type, in, upd);
        rec.NumFiles = n;
        rec.Files[n] = makeSimFileEntry(rec.ModelFiles[n], n);
        rec.Files[n].FileType = type;
    }
    ResultsContext context() {
        ResultsContext c(rec, settings, env);
        c.firstPolicyYear = 3;
        c.keep = TKeepRunInfo::inDirectory(keepDir);
        return c;
    }
    YearItem item(const std::string& label) {
        for (const auto& it : individualYearItems(rec, settings.Method.NSol))
            if (it.label == label) return it;
        ADD_FAILURE() << "no item " << label;
        return {};
    }
    std::string touch(const std::string& name, const std::string& text = "x") {
        const std::string p = JoinPath(work, name);
        testing::writeFile(p, text);
        return p;
    }
    // Writes run r's record with one stamp.
    void record(int run, const std::string& section, const std::string& key, const std::string& stamp) {
        const std::string f = RunRecordFileName(TKeepRunInfo::inDirectory(keepDir), run);
        testing::writeFile(f, "[Run]\r\nSim name=x\r\n" + (section == "Run" ? "" : "[" + section + "]\r\n") +
                                  key + "=" + stamp + "\r\n");
    }

    std::string work, keepDir, progDir;
    TSimRecord rec;
    ProgramSettings settings;
    MapEnvironment env;
    ScriptedDialogs dialogs;
    RecordingStarter starter{"Permission denied"};
};

TEST_F(ResultsViewTest, ItemsListSolutionLogAccuracyAndWrittenFiles) {
    struct Case {
        int nsol;
        std::vector<std::string> labels;
    } cases[] = {
        {1, {"Solution file", "Log file", "BASEDATA", "SUMMARY", "LAGOUT"}},
        {2, {"Solution file", "Log file", "BASEDATA", "SUMMARY", "LAGOUT"}},
        {3, {"Solution file", "Log file", "Accuracy Summary", "BASEDATA", "SUMMARY", "LAGOUT"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.nsol);
        EXPECT_EQ(selectionKeys(individualYearItems(rec, c.nsol)), c.labels);
    }
    // A data item names its entry of the file table.
    EXPECT_EQ(item("SUMMARY").fileIndex, 3);
    EXPECT_EQ(item("SUMMARY").kind, YearItemKind::DataFile);
}

TEST_F(ResultsViewTest, YearListSuffixesAndKeptSelection) {
    auto years = individualYearList(rec, 3);
    std::vector<std::string> labels;
    for (const auto& y : years) labels.push_back(y.label);
    EXPECT_EQ(labels, (std::vector<std::string>{"2023 (base year)", "2024 (pre-policy)", "2025 (pre-policy)",
                                                "2026", "2027"}));
    EXPECT_EQ(years[3].sim, 3);

    // Items: losing the accuracy item keeps BASEDATA selected (not the entry
    // that moved into its place).
    auto with = selectionKeys(individualYearItems(rec, 3));
    auto without = selectionKeys(individualYearItems(rec, 2));
    EXPECT_EQ(without[static_cast<size_t>(keptSelection(with, 3, without))], "BASEDATA");
    // Gone from the list: the old index when in range, else the first.
    EXPECT_EQ(keptSelection(with, 2, without), 2);
    EXPECT_EQ(keptSelection({"a", "b", "c", "d"}, 3, {"x", "y"}), 0);
    // Years keep their simulation when the policy start moves the suffixes.
    auto oldYears = selectionKeys(individualYearList(rec, 3));
    auto newYears = selectionKeys(individualYearList(rec, 2));
    EXPECT_EQ(keptSelection(oldYears, 4, newYears), 4);
}

TEST_F(ResultsViewTest, StyleRulesAndCaptions) {
    struct Case {
        AllYearsRun run;
        bool yonyDiffs, abbreviated;
        AllYearsStyle want;
    } cases[] = {
        // Differences with year-on-year differences off: only cumulative.
        {AllYearsRun::Differences, false, false, {false, false, true, true}},
        {AllYearsRun::Differences, true, true, {true, false, true, true}},
        {AllYearsRun::Base, false, false, {true, true, true, false}},
        {AllYearsRun::Policy, true, true, {true, true, false, false}},
        {AllYearsRun::Rerun, false, true, {true, true, false, false}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.run) * 10 + c.yonyDiffs * 2 + c.abbreviated);
        AllYearsStyle s = allYearsStyle(c.run, c.yonyDiffs, c.abbreviated);
        EXPECT_EQ(s.yearOnYearEnabled, c.want.yearOnYearEnabled);
        EXPECT_EQ(s.yearOnYearChecked, c.want.yearOnYearChecked);
        EXPECT_EQ(s.cumulativeEnabled, c.want.cumulativeEnabled);
        EXPECT_EQ(s.cumulativeChecked, c.want.cumulativeChecked);
    }
    EXPECT_EQ(differencesCaption(true), "&Differences - Policy v Rerun");
    EXPECT_EQ(differencesCaption(false), "&Differences - Policy v Base");
    EXPECT_EQ(graphsCaption(true), "&Graph/Outlens");
    EXPECT_EQ(graphsCaption(false), "&Graphs");
}

TEST_F(ResultsViewTest, YearViewMessagesBeforeAnyFileIsLookedAt) {
    rec.AltMethodInUse = 1;
    rec.AltMethodYears[4] = 1;
    settings.AltMethod.NSol = 2;
    struct Case {
        std::string item;
        int run, sim;
        std::string message;
    } cases[] = {
        {"Solution file", 1, 0, "There is no Solution file for the base year."},
        {"Accuracy Summary", 2, 0, "There is no Accuracy Summary for the base year."},
        {"Log file", 3, 2,
         "There is no Log file for any pre-policy year.\r\nThe first policy sim is for year 2026"},
        {"BASEDATA", 2, 1,
         "There are no data files for this run before the last pre-policy year.\r\n[The last pre-policy year "
         "is 2025.]"},
        {"Accuracy Summary", 1, 4,
         "You are using the alternative solution method for this year.\r\nThis does not extrapolate from 3 "
         "solutions "
         "so there is\r\n no Accuracy Summary information available for this year."},
        {"LAGOUT", 1, 4, "This file is output each year so there is no version of it for the final year."},
        {"SUMMARY", 1, 0, "There is no SUMMARY for the base year."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.item + " " + std::to_string(c.run) + " " + std::to_string(c.sim));
        dialogs.clear();
        ViewAction a = viewYearFile(context(), item(c.item), c.run, c.sim, dialogs);
        EXPECT_EQ(a.target, ViewTarget::None);
        EXPECT_EQ(dialogs.messages(), std::vector<std::string>{c.message});
    }
}

TEST_F(ResultsViewTest, YearFilesNamedForEachKindAndRun) {
    struct Case {
        std::string item;
        int run, sim;
        std::string file;
        ViewTarget target;
    } cases[] = {
        {"Solution file", 1, 1, "bs1b-2024.sl4", ViewTarget::SolutionViewer},
        {"Solution file", 3, 3, "bs1b-br1r-pl1p-2026.sl4", ViewTarget::SolutionViewer},
        {"Log file", 2, 4, "bs1b-br1r-2027.log", ViewTarget::TextEditor},
        {"BASEDATA", 1, 2, "bas-bs1b-2025.har", ViewTarget::HeaderArrayViewer},
        // The last pre-policy year of the Policy is the Base's file.
        {"BASEDATA", 3, 2, "bas-bs1b-2025.har", ViewTarget::HeaderArrayViewer},
        {"BASEDATA", 3, 3, "bas-bs1b-br1r-pl1p-2026.har", ViewTarget::HeaderArrayViewer},
        // Outputs carry the next year in their names.
        {"SUMMARY", 2, 3, "sum-bs1b-br1r-2026-2027.txt", ViewTarget::TextEditor},
        // The base year's data is the first-year file of the list.
        {"BASEDATA", 1, 0, "BASE2023.HAR", ViewTarget::HeaderArrayViewer},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.item + " " + std::to_string(c.run) + " " + std::to_string(c.sim));
        dialogs.clear();
        const std::string f = touch(c.file);
        ViewAction a = viewYearFile(context(), item(c.item), c.run, c.sim, dialogs);
        EXPECT_EQ(a.file, f);
        EXPECT_EQ(a.target, c.target);
        // No record of runs: the warning, and the file is still shown.
        EXPECT_EQ(dialogs.messages(),
                  std::vector<std::string>{"Can see no indication that this run completed successfully."});
    }
}

TEST_F(ResultsViewTest, YearViewAgainstTheRecordOfRuns) {
    const std::string sol = JoinPath(work, "bs1b-br1r-pl1p-2026.sl4");
    const YearItem solItem = item("Solution file");

    // Missing file.
    ViewAction a = viewYearFile(context(), solItem, 3, 3, dialogs);
    EXPECT_EQ(a.target, ViewTarget::None);
    EXPECT_EQ(dialogs.lastMessage(), "File " + sol + " does not exist.");

    // The record holds this very file: shown without a word.
    touch("bs1b-br1r-pl1p-2026.sl4", "first");
    record(3, "2026", "Solution file", FileStamp(sol));
    dialogs.clear();
    a = viewYearFile(context(), solItem, 3, 3, dialogs);
    EXPECT_EQ(a.target, ViewTarget::SolutionViewer);
    EXPECT_TRUE(dialogs.messages().empty());

    // The record names another version (size differs): the question; No
    // shows nothing, Yes shows the file.
    touch("bs1b-br1r-pl1p-2026.sl4", "second version");
    const std::string question =
        "This file is not the one created/used during the last successful run.\r\nDo you still want to look "
        "at it?";
    for (Button answer : {BtnNo, BtnYes}) {
        SCOPED_TRACE(answer == BtnYes ? "yes" : "no");
        dialogs.clear();
        dialogs.queueButton(answer);
        a = viewYearFile(context(), solItem, 3, 3, dialogs);
        EXPECT_EQ(dialogs.messages(), std::vector<std::string>{question});
        EXPECT_EQ(a.target, answer == BtnYes ? ViewTarget::SolutionViewer : ViewTarget::None);
    }
    // A record without a stamp for the file counts as another version.
    record(3, "2026", "Log file", FileStamp(sol));
    dialogs.clear();
    a = viewYearFile(context(), solItem, 3, 3, dialogs);
    EXPECT_EQ(dialogs.messages(), std::vector<std::string>{question});

    // The Base's file in the Policy's last pre-policy year is checked against
    // the Base's record, not the Policy's.
    const std::string bas = touch("bas-bs1b-2025.har");
    record(1, "2025", "BASEDATA", FileStamp(bas));
    dialogs.clear();
    a = viewYearFile(context(), item("BASEDATA"), 3, 2, dialogs);
    EXPECT_TRUE(dialogs.messages().empty());
    EXPECT_EQ(a.target, ViewTarget::HeaderArrayViewer);
}

TEST_F(ResultsViewTest, AccuracySummaryFromTheYearsLog) {
    const std::string log = touch("bs1b-2025.log", "no summary in here\r\n");
    dialogs.clear();
    ViewAction a = viewYearFile(context(), item("Accuracy Summary"), 1, 2, dialogs);
    EXPECT_EQ(a.target, ViewTarget::None);
    ASSERT_EQ(dialogs.messages().size(), 2u);
    EXPECT_EQ(dialogs.messages()[1].rfind("Could not make accuracy summary:\r\n", 0), 0u)
        << dialogs.messages()[1];
    EXPECT_NE(dialogs.messages()[1].find(log), std::string::npos);

    // A log with a summary: the dialog of that year, titled with the run.
    testing::AccLogBuilder b;
    b.variables({0, 0, 1, 2, 3, 4, 90}).dataOneFile({0, 0, 0, 1, 1, 8, 90}).line("");
    touch("bs1b-br1r-pl1p-2026.log", b.text());
    dialogs.clear();
    a = viewYearFile(context(), item("Accuracy Summary"), 3, 3, dialogs);
    ASSERT_EQ(a.target, ViewTarget::AccuracyDialog);
    ASSERT_TRUE(a.accuracy);
    EXPECT_EQ(a.accuracy->title(), "Policy: Year 2026: whole simulation");
    EXPECT_EQ(a.accuracy->bars()[6].count, 90);
}

TEST_F(ResultsViewTest, RationalExpectationsInputOfTheFirstYear) {
    settings.re.DoingRE = true;
    addFile("ROREXT", "HAR", true, true);
    const std::string generated = touch("ror-bs1b-2027.har");
    const std::string copy = touch("rorstart.har");
    auto ctx = context();
    ctx.reStartCopy = [&](int run, const std::string& name) {
        return run == 1 && name == "ROREXT" ? copy : "";
    };
    dialogs.queueButton(BtnNo);
    auto f = yearItemFile(ctx, item("ROREXT"), 1, 0, dialogs);
    ASSERT_TRUE(f);
    EXPECT_EQ(*f, copy);
    ASSERT_EQ(dialogs.messages().size(), 1u);
    EXPECT_EQ(
        dialogs.messages()[0],
        "This file is input into the first year of the Base.\r\nSince you are doing Rational Expectations a "
        "la "
        "Korale, this file\r\n changes from iteration to iteration.\r\nClick \"Yes\" if you wish to see the "
        "file\r\n  " +
            generated +
            "\r\nwhich WOULD be used if you did an EXTRA iteration of the Base or\r\n"
            "click \"No\" if you wish to see the file\r\n  " +
            copy + "\r\nwhich WAS used in the FIRST iteration of the Base.");
    dialogs.clear();
    f = yearItemFile(ctx, item("ROREXT"), 1, 0, dialogs);  // unscripted: Yes
    EXPECT_EQ(f.value_or(""), generated);
    // Without a start copy (the Rerun) the generated file, without asking.
    dialogs.clear();
    ctx.firstPolicyYear = 1;
    f = yearItemFile(ctx, item("ROREXT"), 2, 0, dialogs);
    EXPECT_EQ(f.value_or(""), JoinPath(work, "ror-bs1b-br1r-2027.har"));
    EXPECT_TRUE(dialogs.messages().empty());
}

TEST_F(ResultsViewTest, OpeningActionsInExternalPrograms) {
    auto ctx = context();
    // No Gridlens: the window's own viewer takes header array files.
    EXPECT_FALSE(gridlensAvailable(ctx));
    testing::writeFile(JoinPath(progDir, "gridlens.exe"), "");
    EXPECT_TRUE(gridlensAvailable(ctx));
    const std::string har = touch("bas-bs1b-2024.har");
    ViewAction a;
    a.target = ViewTarget::HeaderArrayViewer;
    a.file = har;
    EXPECT_TRUE(openViewAction(a, ctx, dialogs, starter));
    ASSERT_EQ(starter.calls.size(), 1u);
    EXPECT_EQ(starter.calls[0].program, JoinPath(progDir, "gridlens.exe"));
    EXPECT_EQ(starter.calls[0].args, std::vector<std::string>{har});
    EXPECT_EQ(starter.calls[0].dir, settings.model.ModelDir);
}

TEST_F(ResultsViewTest, ProbexForOneYear) {
    const YearItem sol = item("Solution file");
    const std::string f = touch("bs1b-2024.sl4");
    auto ctx = context();
    EXPECT_FALSE(analyseYear(ctx, sol, 1, 1, dialogs, starter));
    EXPECT_EQ(
        dialogs.lastMessage(),
        "Sorry, there is no coresponding SLC file.\r\nThis means that you cannot run Probex on this Solution "
        "file.\r\n[SLC files are only created by recent releases of Solvane.]");
    touch("bs1b-2024.slc");
    dialogs.clear();
    EXPECT_FALSE(analyseYear(ctx, sol, 1, 1, dialogs, starter));
    EXPECT_EQ(dialogs.lastMessage(), "Cannot find Probex.\r\n[In " + progDir + ",\r\non PATH or in /opt/sv]");
    testing::writeFile(JoinPath(progDir, "probex.exe"), "");
    dialogs.clear();
    EXPECT_TRUE(analyseYear(ctx, sol, 1, 1, dialogs, starter));
    ASSERT_EQ(starter.calls.size(), 1u);
    EXPECT_EQ(starter.calls[0].program, JoinPath(progDir, "probex.exe"));
    EXPECT_EQ(starter.calls[0].args, std::vector<std::string>{f});
    EXPECT_EQ(starter.calls[0].dir, work);
    starter.fail = true;
    EXPECT_FALSE(analyseYear(ctx, sol, 1, 1, dialogs, starter));
    EXPECT_EQ(dialogs.lastMessage(),
              "Could not run \r\n" + JoinPath(progDir, "probex.exe") + "\r\n[Permission denied]");
}

TEST_F(ResultsViewTest, ProbexLocationOrder) {
    auto ctx = context();
    const std::string onPath = path("pathdir");
    std::filesystem::create_directories(onPath);
    env.set("PATH", "/nonexistent:" + onPath);
    testing::writeFile(JoinPath(onPath, "probex.exe"), "");
    EXPECT_EQ(locateProbex(ctx).program, JoinPath(onPath, "probex.exe"));
    testing::writeFile(JoinPath(progDir, "probex.exe"), "");
    EXPECT_EQ(locateProbex(ctx).program, JoinPath(progDir, "probex.exe"));
    const std::string configured = path("mine/probex");
    settings.tools.Probex = configured;
    EXPECT_EQ(locateProbex(ctx).program, JoinPath(progDir, "probex.exe"));  // configured file missing
    testing::writeFile(configured, "");
    EXPECT_EQ(locateProbex(ctx).program, configured);
    // A suite programs folder replaces the program directory.
    settings.tools.Probex.clear();
    settings.tools.UseSolvaneDir = path("suite");
    ProbexLocation w = locateProbex(ctx);
    EXPECT_EQ(w.triedDir, path("suite"));
    EXPECT_EQ(w.program, JoinPath(onPath, "probex.exe"));
    // Working directory "/" when none is given.
    EXPECT_TRUE(startProbex(ctx, {"a"}, "", dialogs, starter));
    EXPECT_EQ(starter.calls.back().dir, "/");

    // "Which Probex to use": the pick is kept and found first from then on.
    dialogs.clear();
    EXPECT_FALSE(chooseProbexProgram(ctx, dialogs));  // cancelled
    EXPECT_EQ(settings.tools.Probex, "");
    dialogs.queueText(configured);
    EXPECT_TRUE(chooseProbexProgram(ctx, dialogs));
    EXPECT_EQ(settings.tools.Probex, configured);
    EXPECT_EQ(locateProbex(ctx).program, configured);
    ASSERT_EQ(dialogs.records().size(), 3u);
    const FileRequest& req = dialogs.records()[1].file;
    EXPECT_EQ(req.title, "Select Probex to use");
    EXPECT_EQ(req.filter, "Probex Files (Probex.EXE)|Probex.exe");
    EXPECT_EQ(req.initialDir, onPath);
    EXPECT_EQ(dialogs.lastMessage(), "Will use\r\n  " + configured + "\r\nas Probex.");
}

TEST_F(ResultsViewTest, GraphCodesAndOutlensArgument) {
    struct Case {
        AllYearsRun run;
        bool cum;
        char code;
    } cases[] = {{AllYearsRun::Policy, true, 'P'},      {AllYearsRun::Rerun, false, 'b'},
                 {AllYearsRun::Base, true, 'B'},        {AllYearsRun::Differences, false, 'd'},
                 {AllYearsRun::Differences, true, 'D'}, {AllYearsRun::Policy, false, 'p'}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        EXPECT_EQ(graphCode(c.run, c.cum), c.code);
        EXPECT_EQ(graphsArgument(c.run, c.cum, "/w/a.seq"), std::string("#") + c.code + "/w/a.seq");
    }
    auto ctx = context();
    // The Policy's sequence file serves the Differences.
    const std::string seq = JoinPath(work, "bs1b-br1r-pl1p.seq");
    EXPECT_EQ(allYearsSequenceFile(ctx, {AllYearsRun::Differences, false, true}), seq);
    EXPECT_EQ(allYearsSequenceFile(ctx, {AllYearsRun::Rerun, false, false}), JoinPath(work, "bs1b-br1r.seq"));

    testing::writeFile(JoinPath(progDir, "outlens.exe"), "");
    EXPECT_FALSE(openGraphsInOutlens(ctx, {AllYearsRun::Policy, false, true}, dialogs, starter));
    EXPECT_EQ(dialogs.lastMessage(), "Cannot find file:\r\n" + seq);
    touch("bs1b-br1r-pl1p.seq");
    EXPECT_TRUE(openGraphsInOutlens(ctx, {AllYearsRun::Policy, false, true}, dialogs, starter));
    ASSERT_EQ(starter.calls.size(), 1u);
    EXPECT_EQ(starter.calls[0].args, std::vector<std::string>{"#P" + seq});

    // Some years: a pick among the sequence files, or the message.
    std::filesystem::remove(seq);
    dialogs.clear();
    EXPECT_FALSE(graphsSequenceFile(ctx, {AllYearsRun::Base, true, false}, dialogs));
    EXPECT_EQ(dialogs.lastMessage(),
              "Are no files with names\r\n" + JoinPath(work, "*.seq") + "\r\nso nothing to show.");
    touch("bs1b-2025-2026.seq");
    dialogs.queueText("bs1b-2025-2026.seq");
    auto picked = graphsSequenceFile(ctx, {AllYearsRun::Base, true, false}, dialogs);
    EXPECT_EQ(picked.value_or(""), JoinPath(work, "bs1b-2025-2026.seq"));
    EXPECT_EQ(dialogs.records().back().file.title, "Select Sequence File");
    EXPECT_EQ(dialogs.records().back().file.filter, "SEQ Files (*.SEQ)|*.seq");
}

TEST_F(ResultsViewTest, SpreadsheetsForAllAndSomeYears) {
    auto ctx = context();
    struct Name {
        AllYearsRequest req;
        std::string file, key;
    } names[] = {
        {{AllYearsRun::Base, false, false}, "BS1B-ssy.csv", "Output ss YOnY"},
        {{AllYearsRun::Rerun, false, true}, "BS1B-BR1R-ssc.csv", "Output ss cum"},
        {{AllYearsRun::Differences, false, true}, "BS1B-BR1R-PL1P-devc.csv", "Output diff cum"},
        {{AllYearsRun::Differences, false, false}, "BS1B-BR1R-PL1P-devy.csv", "Output diff YOnY"},
    };
    for (const auto& n : names) {
        SCOPED_TRACE(n.file);
        EXPECT_EQ(allYearsSpreadsheetFile(ctx, n.req), JoinPath(work, n.file));
        EXPECT_EQ(spreadsheetRecordKey(n.req), n.key);
    }

    const AllYearsRequest devAll{AllYearsRun::Differences, false, true};
    const std::string dev = JoinPath(work, "BS1B-BR1R-PL1P-devc.csv");
    EXPECT_FALSE(viewSpreadsheet(ctx, devAll, dialogs, starter));
    EXPECT_EQ(dialogs.lastMessage(), "File \r\n" + dev + "\r\ndoes not exist.");

    // No spreadsheet program set: asked for; cancelling starts nothing.
    touch("BS1B-BR1R-PL1P-devc.csv");
    record(3, "Run", "Output diff cum", FileStamp(dev));
    dialogs.clear();
    EXPECT_FALSE(viewSpreadsheet(ctx, devAll, dialogs, starter));
    ASSERT_EQ(dialogs.records().size(), 1u);
    EXPECT_EQ(dialogs.records()[0].file.title, "Select Spreadsheet Program");
    EXPECT_EQ(dialogs.records()[0].file.filter, "EXE Files (*.EXE)|*.exe");
    EXPECT_TRUE(starter.calls.empty());
    // The program picked is kept in the options and started with the file.
    dialogs.queueText("/usr/bin/calc");
    EXPECT_TRUE(viewSpreadsheet(ctx, devAll, dialogs, starter));
    EXPECT_EQ(settings.tools.Spreadsheet, "/usr/bin/calc");
    ASSERT_EQ(starter.calls.size(), 1u);
    EXPECT_EQ(starter.calls[0].args, std::vector<std::string>{dev});
    // A changed file: the question.
    touch("BS1B-BR1R-PL1P-devc.csv", "changed contents");
    dialogs.clear();
    dialogs.queueButton(BtnNo);
    EXPECT_FALSE(viewSpreadsheet(ctx, devAll, dialogs, starter));
    EXPECT_EQ(dialogs.lastMessage(),
              "This file is not the one created during the last successful run.\r\nDo you still want to look "
              "at it?");
    // No record of the Base: the warning, and the file is still opened.
    touch("BS1B-ssy.csv");
    dialogs.clear();
    EXPECT_TRUE(viewSpreadsheet(ctx, {AllYearsRun::Base, false, false}, dialogs, starter));
    EXPECT_EQ(dialogs.messages(),
              std::vector<std::string>{"Can see no indication that this run completed successfully."});
    starter.fail = true;
    EXPECT_FALSE(viewSpreadsheet(ctx, {AllYearsRun::Base, false, false}, dialogs, starter));
    EXPECT_EQ(dialogs.lastMessage(), "Failed to execute CALC\r\n[Permission denied]");
    starter.fail = false;

    // Some years.
    dialogs.clear();
    EXPECT_FALSE(viewSpreadsheet(ctx, {AllYearsRun::Policy, true, true}, dialogs, starter));
    EXPECT_EQ(dialogs.lastMessage(), "Are no files with names\r\n" +
                                         JoinPath(work, "BS1B-BR1R-PL1P-ssc-*.csv") +
                                         "\r\nso nothing to show.");
    const std::string part = touch("BS1B-BR1R-PL1P-ssc-2026-2026.csv");
    dialogs.clear();
    dialogs.queueText(part);
    EXPECT_TRUE(viewSpreadsheet(ctx, {AllYearsRun::Policy, true, true}, dialogs, starter));
    EXPECT_EQ(dialogs.records()[0].file.title, "Select Spreadsheet File");
    EXPECT_EQ(dialogs.records()[0].file.filter, "CSV Files (*.CSV)|*.csv");
    EXPECT_EQ(starter.calls.back().args, std::vector<std::string>{part});
    EXPECT_EQ(dialogs.messages().size(), 0u);  // no record comparison for a pick
}

TEST_F(ResultsViewTest, AnalysisOfCumulativeResults) {
    testing::writeFile(JoinPath(progDir, "probex.exe"), "");
    auto ctx = context();
    const AllYearsRequest pol{AllYearsRun::Policy, false, true};
    const std::string rsl = JoinPath(work, "BS1B-BR1R-PL1P-ssc.rsl");
    EXPECT_EQ(allYearsRslFile(ctx, pol), rsl);
    EXPECT_EQ(allYearsRslFile(ctx, {AllYearsRun::Differences, false, true}),
              JoinPath(work, "BS1B-BR1R-PL1P-devc.rsl"));

    const std::string sol = JoinPath(work, "bs1b-br1r-pl1p-2027.sl4");
    const std::string info =
        "Will load cumulative results for years 2026 to 2027 of the Policy.\r\n"
        "Coefficient values will be taken from data as it was just before the simulation for year 2027 of "
        "the "
        "Policy. [The UDC file after this simulation does not exist.]\r\n"
        "Closure shown in Probex will be taken from the simulation for year 2027 of the Policy.";
    EXPECT_FALSE(analyseCumulative(ctx, pol, dialogs, starter));
    EXPECT_EQ(dialogs.messages(), (std::vector<std::string>{info, "The designated Solution file\r\n     " +
                                                                      sol + "\r\ndoes not exist."}));
    touch("bs1b-br1r-pl1p-2027.sl4");
    dialogs.clear();
    EXPECT_FALSE(analyseCumulative(ctx, pol, dialogs, starter));
    EXPECT_EQ(dialogs.lastMessage(),
              "The designated file from which Coefficient values are to be read\r\n     " +
                  changeExt(sol, ".slc") + "\r\ndoes not exist.");
    touch("bs1b-br1r-pl1p-2027.udc");
    dialogs.clear();
    EXPECT_FALSE(analyseCumulative(ctx, pol, dialogs, starter));
    EXPECT_EQ(dialogs.messages()[0],
              "Will load cumulative results for years 2026 to 2027 of the Policy.\r\n"
              "Coefficient values will be taken from the updated data at the end of the simulation for year "
              "2027 of "
              "the Policy.\r\nClosure shown in Probex will be taken from the simulation for year 2027 of the "
              "Policy.");
    EXPECT_EQ(dialogs.lastMessage(), "The designated Header Array (RSL) file containing results\r\n     " +
                                         rsl + "\r\ndoes not exist.");
    touch("BS1B-BR1R-PL1P-ssc.rsl");
    dialogs.clear();
    EXPECT_TRUE(analyseCumulative(ctx, pol, dialogs, starter));
    ASSERT_EQ(starter.calls.size(), 1u);
    EXPECT_EQ(starter.calls[0].args, (std::vector<std::string>{sol, changeExt(sol, ".udc"), rsl}));
    EXPECT_EQ(dialogs.messages().back(), "Can see no indication that this run completed successfully.");

    // Differences with a record that holds another file.
    record(3, "Run", "Output RSL dev", FileStamp(rsl));
    touch("BS1B-BR1R-PL1P-devc.rsl");
    dialogs.clear();
    dialogs.queueButton(BtnOk);  // the information
    dialogs.queueButton(BtnNo);
    EXPECT_FALSE(analyseCumulative(ctx, {AllYearsRun::Differences, false, true}, dialogs, starter));
    EXPECT_EQ(dialogs.messages()[0].rfind("Will load cumulative differences for years 2026 to 2027.\r\n", 0),
              0u);
    EXPECT_EQ(dialogs.lastMessage(),
              "This file is not the one created during the last successful run.\r\nDo you still want to look "
              "at it?");

    // Some years: the picked file's name gives the years covered.
    struct Pick {
        std::string name;
        bool ok;
        int first, last;
    } picks[] = {{"bs1b-ssc-2024-2025.rsl", true, 1, 2},
                 {"bs1b-ssc-2025-2027.rsl", true, 2, 4},
                 {"bs1b-ssc-2025.rsl", false, 0, 0},
                 {"other-ssc-2024-2025.rsl", false, 0, 0},
                 {"bs1b-ssc-2024-2031.rsl", false, 0, 0}};
    const AllYearsRequest base{AllYearsRun::Base, true, true};
    for (const auto& p : picks) {
        SCOPED_TRACE(p.name);
        auto range = rslFileRange(ctx, base, JoinPath(work, p.name));
        ASSERT_EQ(range.has_value(), p.ok);
        if (p.ok) {
            EXPECT_EQ(*range, std::make_pair(p.first, p.last));
        }
    }
    dialogs.clear();
    dialogs.queueText(JoinPath(work, "bs1b-ssc-2025.rsl"));
    EXPECT_FALSE(analyseCumulative(ctx, base, dialogs, starter));
    EXPECT_EQ(dialogs.records()[0].file.filter, "RSL Files (*.RSL)|BS1B-ssc-*.rsl");
    EXPECT_EQ(dialogs.records()[0].file.title, "Select RSL File");
    EXPECT_EQ(dialogs.lastMessage(), "This file is not of the expected form. Cannot load.");
}

TEST_F(ResultsViewTest, GraphsWithoutOutlensOpenTheChart) {
    auto ctx = context();
    EXPECT_FALSE(outlensAvailable(ctx));
    struct Case {
        AllYearsRequest req;
        bool noRerun;
        ChartMode mode;
        std::array<bool, 4> runs;
    } cases[] = {
        {{AllYearsRun::Base, false, false}, false, ChartMode::Lines, {false, true, false, false}},
        {{AllYearsRun::Rerun, false, true}, false, ChartMode::Lines, {false, true, true, false}},
        {{AllYearsRun::Policy, false, true}, false, ChartMode::Lines, {false, true, true, true}},
        {{AllYearsRun::Policy, false, false}, true, ChartMode::Lines, {false, true, false, true}},
        {{AllYearsRun::Differences, false, true}, false, ChartMode::DeviationBars, {false, true, true, true}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.req.run));
        settings.NoRerun = c.noRerun;
        ChartRequest r = graphsChartRequest(ctx, c.req);
        EXPECT_EQ(r.mode, c.mode);
        EXPECT_EQ(r.cumulative, c.req.cumulative);
        if (c.mode == ChartMode::Lines) {
            EXPECT_EQ(r.runs, c.runs);
        }
    }
    settings.NoRerun = false;
    EXPECT_EQ(graphsChartSources(ctx).deviationsCumulative, JoinPath(work, "BS1B-BR1R-PL1P-devc.csv"));
    testing::writeFile(JoinPath(progDir, "outlens.exe"), "");
    EXPECT_TRUE(outlensAvailable(ctx));
}

TEST(ResultsPatterns, NameMatchIgnoresCase) {
    struct Case {
        const char *pattern, *name;
        bool match;
    } cases[] = {{"*.seq", "A.SEQ", true},
                 {"bs1b-ssy-*.csv", "bs1b-ssy-2024-2025.csv", true},
                 {"bs1b-ssy-*.csv", "BS1B-ssy.csv", false},
                 {"a?c", "abc", true},
                 {"a?c", "ac", false},
                 {"*x*y", "axxbyy", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.pattern) + " " + c.name);
        EXPECT_EQ(namePatternMatch(c.pattern, c.name), c.match);
    }
}

}  // namespace
}  // namespace vdln
