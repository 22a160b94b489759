// Saving, loading and editing simulation details; omitting periods.
#include "model/simdetails.h"

#include <cstdio>

#include "base/dialogs.h"
#include "base/fileutil.h"
#include "base/paths.h"
#include "base/strutil.h"
#include "base/textfile.h"
#include "doubles/scripteddialogs.h"
#include "model/filenames.h"
#include "model/simgrid.h"
#include "support/tempdir.h"

namespace vdln {
namespace {

// Hooks that record what the commands asked for and answer from a script.
class RecordingHooks : public SimDetailsHooks {
public:
    std::optional<LoadPartsChoice> parts;
    std::optional<OmitPeriodsChoice> omit;
    bool finishedOk = true;
    std::vector<int> saved;
    int restored = 0;
    std::vector<std::string> recent, edited;

    std::optional<LoadPartsChoice> chooseLoadParts(Dialogs&, bool) override { return parts; }
    std::optional<OmitPeriodsChoice> chooseOmitPeriods(Dialogs&, int) override { return omit; }
    void saveRunRecordCopies(int run) override { saved.push_back(run); }
    void restoreRunRecordCopies() override { ++restored; }
    bool yearFinishedOk(int, int) override { return finishedOk; }
    void addRecentFile(const std::string& f) override { recent.push_back(f); }
    void openInEditor(const std::string& f) override { edited.push_back(f); }
};

class SimDetails : public testing::TempDirTest {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        ctx.programDir = dir();
        ctx.currentTempDir = path("tmp");
        rec = CreateSimRecord();
        InitSimRecord(rec, dir());
        settings.model.ModelName = "growth";
        for (const char* f : {"growth.exe", "growth.axs", "growth.axt"}) testing::writeFile(path(f), "x");
        settings.model.Model = path("growth.exe");
        settings.model.FirstYearList = {"file FID = fid0.har ;", "file PARAMS = par.har ;"};
    }
    SimDetailsSession session() { return SimDetailsSession{rec, settings, ctx, dlg, hooks, clock}; }

    // Saves the current application under `name` (in the test folder).
    void saveAs(const std::string& name) {
        SimDetailsSession s = session();
        ASSERT_TRUE(WriteDynamicSimInfo(s, path(name), false, 0));
    }

    TSimRecord rec;
    ProgramSettings settings;
    SettingsContext ctx;
    ScriptedDialogs dlg;
    RecordingHooks hooks;
    FixedClock clock{fileTimeFromLocal(2026, 3, 4, 5, 6, 7)};
};

TEST_F(SimDetails, DefaultNames) {
    EXPECT_EQ(DefaultDs1Path(rec, "growth", false), path("growth-BS1B-BR1R-PL1P.ds1"));
    EXPECT_EQ(DefaultDs1Path(rec, "growth", true), path("growth-BS1B-PL1P.ds1"));
    EXPECT_EQ(DefaultDs0Path(rec, "growth", false), path("growth-BS1B-BR1R-PL1P.ds0"));
    EXPECT_EQ(RunRecordCopyPath(rec, "growth", 1, false), path("growth-BS1B.ds3"));
    EXPECT_EQ(RunRecordCopyPath(rec, "growth", 2, false), path("growth-BS1B-BR1R.ds4"));
    EXPECT_EQ(RunRecordCopyPath(rec, "growth", 3, true), path("growth-BS1B-PL1P.ds5"));
    rec.FileNaming.LongNames = false;  // the names are joined in either style
    rec.FileNaming.AppendRunLetter = false;
    rec.FileNaming.Separator = "_";
    EXPECT_EQ(DefaultDs1Path(rec, "m", false), path("m_BS1_BR1_PL1.ds1"));
}

TEST_F(SimDetails, SaveAsksForADs1Name) {
    testing::writeFile(path("exists.ds1"), "old");
    dlg.queueText(path("app.txt"));  // refused
    dlg.queueButton(BtnOk);
    dlg.queueText(path("exists.ds1"));  // exists: asked, answered No
    dlg.queueButton(BtnNo);
    dlg.queueText(path("App.DS1"));  // accepted
    SimDetailsSession s = session();
    std::optional<std::string> saved = SaveSimDetails(s);
    ASSERT_TRUE(saved);
    EXPECT_EQ(*saved, path("App.DS1"));
    const auto& r = dlg.records();
    ASSERT_EQ(r.size(), 5u);
    EXPECT_EQ(r[0].file.title, "Save Sim Details");
    EXPECT_EQ(r[0].file.filter, "Sim Details files (*.DS1)|*.DS1");
    EXPECT_EQ(r[0].file.defaultName, "growth-BS1B-BR1R-PL1P.ds1");
    EXPECT_EQ(r[0].file.initialDir, dir());
    EXPECT_EQ(r[1].text, "Sim Details file name must end with \".ds1\".\r\nPlease choose it again.");
    EXPECT_EQ(r[1].buttons, BtnOk | BtnHelp);
    EXPECT_EQ(r[3].text, "Overwrite existing Sim Details in file\r\n" + path("exists.ds1"));
    EXPECT_EQ(testing::readFile(path("exists.ds1")), "old");
    EXPECT_TRUE(fileExists(path("App.DS1")));
    EXPECT_TRUE(fileExists(path("App.ds2")));
    EXPECT_EQ(hooks.saved, std::vector<int>{0});
    EXPECT_EQ(hooks.recent, std::vector<std::string>{path("App.DS1")});

    // The proposed name follows the names in use.
    settings.NoRerun = true;
    ScriptedDialogs d2;
    SimDetailsSession s2{rec, settings, ctx, d2, hooks, clock};
    ASSERT_FALSE(SaveSimDetails(s2));  // cancelled
    EXPECT_EQ(d2.records()[0].file.defaultName, "growth-BS1B.ds1");
    settings.NoRerun = false;
    rec.SimNames[3] = "";
    ScriptedDialogs d3;
    SimDetailsSession s3{rec, settings, ctx, d3, hooks, clock};
    ASSERT_FALSE(SaveSimDetails(s3));
    EXPECT_EQ(d3.records()[0].file.defaultName, "growth-BS1B-BR1R.ds1");

    // Batch mode: the proposed name, no dialog, overwriting.
    rec.SimNames[3] = "PL1";
    ctx.batchMode = true;
    ScriptedDialogs d4;
    SimDetailsSession s4{rec, settings, ctx, d4, hooks, clock};
    EXPECT_EQ(SaveSimDetails(s4), path("growth-BS1B-BR1R-PL1P.ds1"));
    EXPECT_EQ(SaveSimDetails(s4), path("growth-BS1B-BR1R-PL1P.ds1"));
    EXPECT_TRUE(d4.records().empty());
}

TEST_F(SimDetails, OldStyleOptionDeletesRecordCopies) {
    for (const char* e : {"a.ds3", "a.ds4", "a.ds5"}) testing::writeFile(path(e), "x");
    saveAs("a.ds1");
    EXPECT_TRUE(fileExists(path("a.ds3")));
    settings.BeLikeOldVardelon = true;
    saveAs("a.ds1");
    EXPECT_FALSE(fileExists(path("a.ds3")));
    EXPECT_FALSE(fileExists(path("a.ds5")));
    SimDetailsSession s = session();
    EXPECT_FALSE(WriteDynamicSimInfo(s, path("none/a.ds1"), true, 2));
    EXPECT_EQ(dlg.lastMessage(), "[WriteDynamicSimInfo]");
    EXPECT_TRUE(hooks.saved.empty());
}

TEST_F(SimDetails, LoadAllIntoAnotherSession) {
    rec.StartYear = 2024;
    rec.NumYears = 3;
    ASSERT_TRUE(SetCell(rec, 2, 4, "p2025"));
    rec.SimNames[1] = "XB1";
    settings.re.DoingRE = true;
    saveAs("app.ds1");

    TSimRecord other = CreateSimRecord();
    InitSimRecord(other, "/elsewhere");
    ProgramSettings otherSettings;
    RecordingHooks h;
    ScriptedDialogs d;
    h.parts = LoadPartsChoice{};
    SimDetailsSession s{other, otherSettings, ctx, d, h, clock};
    ASSERT_TRUE(LoadSimDetails(s, path("app.ds1")));
    EXPECT_TRUE(d.records().empty());
    EXPECT_EQ(other.WorkDir, dir());
    EXPECT_EQ(other.StartYear, 2024);
    EXPECT_EQ(other.NumYears, 3);
    EXPECT_EQ(other.SimNames[1], "XB1");
    EXPECT_EQ(other.GridStem(2, 4), "P2025");
    EXPECT_EQ(otherSettings.model.Model, path("growth.exe"));
    EXPECT_EQ(otherSettings.model.FirstYearList, settings.model.FirstYearList);
    EXPECT_TRUE(otherSettings.re.DoingRE);
    EXPECT_EQ(h.recent, std::vector<std::string>{path("app.ds1")});
    EXPECT_EQ(h.restored, 1);
}

TEST_F(SimDetails, LoadRefusals) {
    saveAs("app.ds1");
    std::remove(path("app.ds2").c_str());
    SimDetailsSession s = session();
    hooks.parts = LoadPartsChoice{};
    TSimRecord before = rec;
    EXPECT_FALSE(LoadSimDetails(s, path("app.ds1")));
    EXPECT_EQ(dlg.lastMessage(),
              "Associated file " + path("app.ds2") + " does not exist.\r\nNo action taken.");
    EXPECT_TRUE(rec == before);

    saveAs("app.ds1");
    struct Case {
        std::optional<LoadPartsChoice> choice;
        const char* message;
    } cases[] = {
        {LoadPartsChoice{LoadPartsChoice::Nothing, {}},
         "You did not specify any parts to load.\r\nPlease try again, and make sure that one button is "
         "checked."},
        {LoadPartsChoice{LoadPartsChoice::Columns, {false, false, false, false}},
         "You did not specify any parts of the Closure/Shocks page to load."},
        {std::nullopt, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message ? c.message : "cancel");
        ScriptedDialogs d;
        RecordingHooks h;
        h.parts = c.choice;
        SimDetailsSession s2{rec, settings, ctx, d, h, clock};
        EXPECT_FALSE(LoadSimDetails(s2, path("app.ds1")));
        if (c.message) {
            EXPECT_EQ(d.lastMessage(), c.message);
        } else {
            EXPECT_TRUE(d.records().empty());
        }
        EXPECT_EQ(h.restored, 0);
        EXPECT_TRUE(rec == before);
    }
    // A name that is not a ".ds1" file: the chooser, then the ".ds1" message.
    ScriptedDialogs d;
    d.queueText(path("app.txt"));
    SimDetailsSession s3{rec, settings, ctx, d, hooks, clock};
    EXPECT_FALSE(LoadSimDetails(s3, path("app.txt")));
    ASSERT_EQ(d.records().size(), 3u);
    EXPECT_EQ(d.records()[0].file.title, "Sim Details Files");
    EXPECT_EQ(d.records()[0].file.filter, "Sim Details files (*.DS1)|*.ds1");
    EXPECT_EQ(d.records()[1].text,
              "Sim Details file name must end with \".ds1\".\r\nPlease choose it again.");
}

TEST_F(SimDetails, LoadColumnsFromFewerYears) {
    rec.NumYears = 10;
    rec.StartYear = 2000;
    ComputeYears(rec);
    for (int i = 1; i <= 10; ++i) rec.GridStem(i, 2) = "F" + std::to_string(i);
    rec.SimNames[1] = "NEW";
    rec.SimNames[3] = "NPL";
    saveAs("ten.ds1");

    InitSimRecord(rec, dir());
    rec.NumYears = 12;
    rec.StartYear = 2000;
    ComputeYears(rec);
    for (int i = 1; i <= 12; ++i) rec.GridStem(i, 1) = rec.GridStem(i, 2) = "OLD";
    hooks.parts = LoadPartsChoice{LoadPartsChoice::Columns, {false, true, false, false}};
    SimDetailsSession s = session();
    ASSERT_TRUE(LoadSimDetails(s, path("ten.ds1")));
    EXPECT_EQ(
        dlg.lastMessage(),
        "Currently there are simulations for 12 years\r\nHowever the Simulation Details you are loading from "
        "has sims for 10 years.\r\nThere will still be simulations for 12 years after you load these "
        "Simulation Details.\r\nThe extra years of the relevant columns on the Closure/Shocks page will be "
        "filled with default names.");
    EXPECT_EQ(rec.NumYears, 12);
    EXPECT_EQ(rec.SimNames[1], "NEW");
    EXPECT_EQ(rec.SimNames[3], "PL1");  // policy shocks not selected
    EXPECT_EQ(rec.GridStem(10, 2), "F10");
    EXPECT_EQ(rec.GridStem(11, 2), "NEWB2010");
    EXPECT_EQ(rec.GridStem(12, 2), "NEWB2011");
    EXPECT_EQ(rec.GridStem(12, 1), "OLD");  // column not selected
    EXPECT_EQ(hooks.restored, 1);
}

TEST_F(SimDetails, LoadColumnsFromMoreYears) {
    rec.NumYears = 6;
    rec.StartYear = 2000;
    ComputeYears(rec);
    for (int i = 1; i <= 6; ++i) rec.GridStem(i, 4) = "P" + std::to_string(i);
    rec.SimNames[3] = "NPL";
    rec.SimNames[2] = "NRR";
    saveAs("six.ds1");
    InitSimRecord(rec, dir());
    rec.StartYear = 2000;
    ComputeYears(rec);
    hooks.parts = LoadPartsChoice{LoadPartsChoice::Columns, {false, false, true, true}};
    SimDetailsSession s = session();
    ASSERT_TRUE(LoadSimDetails(s, path("six.ds1")));
    EXPECT_TRUE(iendsWith(
        dlg.lastMessage(),
        "has sims for 6 years.\r\nThere will still be simulations for 4 years after you load these "
        "Simulation Details.\r\nThe extra years from the Simulation Details you are loading will be "
        "ignored."));
    EXPECT_EQ(rec.NumYears, 4);
    EXPECT_EQ(rec.GridStem(4, 4), "P4");
    EXPECT_EQ(rec.GridStem(5, 4), "");  // beyond the years in use: untouched
    EXPECT_EQ(rec.SimNames[2], "NRR");  // policy closures bring the rerun name
    EXPECT_EQ(rec.SimNames[3], "NPL");
    EXPECT_EQ(rec.SimNames[1], "BS1");
}

TEST_F(SimDetails, LoadColumnsFromAnotherStartYearChangesNothing) {
    rec.StartYear = 2005;
    saveAs("other.ds1");
    rec.StartYear = 2000;
    ComputeYears(rec);
    TSimRecord before = rec;
    hooks.parts = LoadPartsChoice{LoadPartsChoice::Columns, {true, true, true, true}};
    SimDetailsSession s = session();
    EXPECT_FALSE(LoadSimDetails(s, path("other.ds1")));
    EXPECT_EQ(
        dlg.lastMessage(),
        "When you load just come columns into the Closure/Shocks page, the\r\n Starting year from the loaded "
        "file must be the same as is currently shown\r\n on the Sim Overview page. But on the Sim Overview "
        "page "
        "the Starting year is 2000\r\n whereas on the Sim Details you are loading from, the Starting year "
        "was "
        "2005.\r\nLoading of the specified parts of the Closure/Shocks page will not be done.");
    EXPECT_TRUE(rec == before);
    EXPECT_EQ(hooks.restored, 0);
}

TEST_F(SimDetails, LoadDetailsPartKeepsStartYear) {
    rec.StartYear = 2005;
    rec.NumYears = 6;
    ComputeYears(rec);
    for (int i = 1; i <= 6; ++i) rec.GridStem(i, 3) = "POL" + std::to_string(i);
    rec.Perform[1] = 1;
    ASSERT_TRUE(SetCell(rec, 0, 1, "COMMON"));
    settings.SolFileShocks = true;
    saveAs("d.ds1");

    InitSimRecord(rec, dir());
    ComputeYears(rec);
    settings.SolFileShocks = false;
    std::string modelBefore = settings.model.Model;
    settings.model.Model = "/keep/this.exe";
    hooks.parts = LoadPartsChoice{LoadPartsChoice::DetailsOnly, {}};
    SimDetailsSession s = session();
    ASSERT_TRUE(LoadSimDetails(s, path("d.ds1")));
    EXPECT_EQ(rec.StartYear, 1998);
    EXPECT_EQ(rec.NumYears, 6);
    EXPECT_EQ(rec.GridStem(6, 3), "POL6");
    EXPECT_EQ(rec.GridStem(0, 1), "");  // the Common row stays
    EXPECT_FALSE(rec.Perform[1]);
    EXPECT_TRUE(settings.SolFileShocks);
    EXPECT_EQ(settings.model.Model, "/keep/this.exe");  // model part not loaded
    EXPECT_EQ(rec.Years[6], 2003);
}

TEST_F(SimDetails, LoadModelPartTakesTheFileTable) {
    rec.NumFiles = 2;
    rec.Files[2].Key = "ZZZ";
    saveAs("m.ds1");
    InitSimRecord(rec, dir());
    rec.StartYear = 1990;
    hooks.parts = LoadPartsChoice{LoadPartsChoice::ModelOnly, {}};
    settings.model.FirstYearList.clear();
    SimDetailsSession s = session();
    ASSERT_TRUE(LoadSimDetails(s, path("m.ds1")));
    EXPECT_EQ(rec.NumFiles, 2);
    EXPECT_EQ(rec.Files[2].Key, "ZZZ");
    EXPECT_EQ(rec.StartYear, 1990);
    EXPECT_EQ(settings.model.FirstYearList.size(), 2u);
}

TEST_F(SimDetails, EditDescription) {
    SimDetailsSession s = session();
    ASSERT_TRUE(EditSimDescription(s));
    std::string file = path("growth-BS1B-BR1R-PL1P.ds0");
    EXPECT_EQ(testing::readFile(file),
              "Simulation Description for Sim Names:\r\n   Base: BS1\r\n   Rerun: BR1\r\n   Policy: PL1\r\n"
              "This Simulation Description file was begun on 2026-03-04 05:06:07\r\n"
              " when the Working Directory was:\r\n   " +
                  dir() + "\r\n \r\n");
    EXPECT_EQ(dlg.lastMessage(),
              "At present there is no Simulation Description for these Simulation Details.\r\n"
              "Please edit the file\r\n   " +
                  file + "\r\n and then save the changes.");
    ASSERT_TRUE(EditSimDescription(s));
    EXPECT_EQ(dlg.lastMessage(),
              "The current Simulation Description for these Simulation Details\r\n is in the "
              "file\r\n   " +
                  file + "\r\nPlease edit this file and then save the changes.");
    EXPECT_EQ(hooks.edited, (std::vector<std::string>{file, file}));

    // No-rerun mode leaves the Rerun out of the name and the text.
    settings.NoRerun = true;
    ASSERT_TRUE(EditSimDescription(s));
    std::vector<std::string> l = splitLines(testing::readFile(path("growth-BS1B-PL1P.ds0")));
    ASSERT_GT(l.size(), 3u);
    EXPECT_EQ(l[1], "   Base: BS1");
    EXPECT_EQ(l[2], "   Policy: PL1");
    EXPECT_EQ(l[3], "This Simulation Description file was begun on 2026-03-04 05:06:07");
}

TEST_F(SimDetails, OmitPeriods) {
    rec.NumYears = 1;
    SimDetailsSession s = session();
    EXPECT_FALSE(OmitPeriodsAtStart(s));
    EXPECT_EQ(dlg.messages(),
              (std::vector<std::string>{
                  "There is only one year on the Closure/Shocks page so you cannot omit it.",
                  "Omitting some years at the start.\r\nNo change has been made because of the "
                  "earlier message."}));

    InitSimRecord(rec, dir());
    rec.StartYear = 2000;
    rec.PeriodLength[1] = 2;  // years 2001, 2002, 2003, 2004
    rec.PeriodLength[3] = 3;  // ... 2001, 2002, 2005, 2006
    rec.AltMethodYears[3] = 1;
    ComputeYears(rec);
    EXPECT_EQ(rec.Years[3], 2005);
    EXPECT_EQ(
        omitPeriodsBoxText(rec, 2, true),
        "Will change First Year Data files (Model/Data page) to the files\r\n produced by the simulation for "
        "year 2002 of the Base.");
    EXPECT_EQ(omitPeriodsBoxText(rec, 2, false),
              "Will not change the First Year Data files on the Model/Data page.");
    hooks.omit = OmitPeriodsChoice{2, false};
    ASSERT_TRUE(OmitPeriodsAtStart(s));
    EXPECT_EQ(rec.NumYears, 2);
    EXPECT_EQ(rec.StartYear, 2003);
    EXPECT_EQ(rec.Years[1], 2005);  // the old third period
    EXPECT_EQ(rec.Years[2], 2006);
    EXPECT_EQ(rec.PeriodLength[1], 3);
    EXPECT_TRUE(rec.AltMethodYears[1]);
    EXPECT_EQ(rec.GridStem(1, 1), "run00");
    EXPECT_EQ(rec.GridStem(2, 2), "run01");
    EXPECT_EQ(rec.GridStem(997, 1), "?");
    EXPECT_EQ(settings.model.FirstYearList[0], "file FID = fid0.har ;");
}

TEST_F(SimDetails, OmitPeriodsMovesFirstYearData) {
    rec.StartYear = 2000;
    ComputeYears(rec);
    std::string updated = JoinPath(dir(), UpdatedFileName(rec, 1, 1, false, 1));
    hooks.omit = OmitPeriodsChoice{1, true};
    hooks.finishedOk = false;

    // Cancel at the "not completed" question: nothing changes.
    TSimRecord before = rec;
    dlg.queueButton(BtnCancel);
    SimDetailsSession s = session();
    EXPECT_FALSE(OmitPeriodsAtStart(s));
    EXPECT_EQ(dlg.lastMessage(),
              "It seems that you have not completed the Base simulation for year 2000\r\nDo you "
              "wish to continue? [Click on \"Yes\" to continue or \"Cancel\" to stop.]");
    EXPECT_TRUE(rec == before);

    // Yes, then the missing updated file: Yes writes "??".
    dlg.queueButton(BtnYes);
    dlg.queueButton(BtnYes);
    ASSERT_TRUE(OmitPeriodsAtStart(s));
    EXPECT_EQ(dlg.lastMessage(),
              "Data file \r\n   " + updated +
                  "\r\ndoes not exist.\r\nThis is one of the data files you have asked to be put in "
                  "the First Year Data on the Model/Data page.");
    EXPECT_EQ(settings.model.FirstYearList,
              (std::vector<std::string>{"file FID = ?? ;", "file PARAMS = par.har ;"}));
    EXPECT_EQ(rec.StartYear, 2001);

    // With the Base's file present the line names it.
    hooks.finishedOk = true;
    std::string next = JoinPath(dir(), UpdatedFileName(rec, 1, 1, false, 1));
    testing::writeFile(next, "x");
    ASSERT_TRUE(OmitPeriodsAtStart(s));
    EXPECT_EQ(settings.model.FirstYearList[0], "file FID = " + next + " ;");
}

}  // namespace
}  // namespace vdln
