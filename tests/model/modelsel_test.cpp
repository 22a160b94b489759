#include "model/modelsel.h"

#include <gtest/gtest.h>

#include "base/fileutil.h"
#include "base/textfile.h"
#include "support/tempdir.h"

namespace vdln {
namespace {

TEST(FirstYearLines, FormsAndParts) {
    EXPECT_EQ(firstYearLine("BASEDATA", "/d/base.har", "Base data"), "File BASEDATA = /d/base.har ; ! Base data");
    EXPECT_EQ(firstYearLine("BASEDATA", "/my data/base.har", "Base"), "File BASEDATA = \"/my data/base.har\" ; ! Base");
    EXPECT_EQ(firstYearLine("PARAMS", "", "Parameters"), "File PARAMS = ?? ; ! Parameters");

    struct Case {
        std::string line;
        bool valid;
        std::string left, logical, actual, path;
        bool unset;
    };
    const std::vector<Case> cases = {
        {"File BASEDATA = /d/base.har ; ! Base data", true, "File BASEDATA = ", "BASEDATA", "/d/base.har", "/d/base.har", false},
        {"File B = \"/my data/b.har\" ; ! x", true, "File B = ", "B", "\"/my data/b.har\"", "/my data/b.har", false},
        {"file PARAMS = ?? ; ! Parameters", true, "file PARAMS = ", "PARAMS", "??", "??", true},
        {"no equals sign here", false, "", "", "", "", false},
        {"F=", true, "F= ", "", "", "", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        FirstYearLineParts p = parseFirstYearLine(c.line);
        EXPECT_EQ(p.valid, c.valid);
        EXPECT_EQ(p.left, c.left);
        EXPECT_EQ(p.logical, c.logical);
        EXPECT_EQ(p.actual, c.actual);
        EXPECT_EQ(p.actualPath(), c.path);
        EXPECT_EQ(p.unset(), c.unset);
    }
}

class ModelSelTest : public testing::TempDirTest {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        rec = CreateSimRecord();
        env.tempDir = dir();
        env.programDir = dir();
    }
    ModelSelector selector() { return ModelSelector(rec, state, dlg, env); }
    /// A model whose input files are BASEDATA, EXTRA and EXTRA3; EXTRA3 takes
    /// its data from EXTRA.
    void tiedModel() {
        state.inputFiles = {{"BASEDATA", "Base data", "har"}, {"EXTRA", "Extra data", "har"}, {"EXTRA3", "Third", "txt"}};
        rec.NumFiles = 3;
        const char* names[] = {"BASEDATA", "EXTRA", "EXTRA3"};
        for (int n = 1; n <= 3; ++n) {
            rec.Files[n] = makeSimFileEntry(makeModelFileDesc(names[n - 1], n == 3 ? "txt" : "har", true, true), n);
        }
        rec.Files[3].InputUsage[0] = 2;
        state.firstYearList.clear();
        for (const auto& f : state.inputFiles) state.firstYearList.push_back(firstYearLine(f.name, "", f.description));
    }
    TSimRecord rec;
    ModelDataState state;
    ScriptedDialogs dlg;
    ModelSelectEnv env;
};

TEST_F(ModelSelTest, RefusalsBeforeTheStampCheck) {
    testing::writeFile(path("a.exe"), "x");
    testing::writeFile(path("b.gss"), "x");
    testing::writeFile(path("c.exe"), "x");
    testing::writeFile(path("c.axs"), "x");
    testing::writeFile(path("d.EXE"), "x");
    testing::writeFile(path("d.axs"), "x");
    testing::writeFile(path("d.AXT"), "x");
    struct Case {
        std::string model;
        std::string message;
    };
    const std::vector<Case> cases = {
        {path("m.txt"), "File must have extension .EXE or .GSS"},
        {path("b.gss"), "GST file " + path("b.GST") + " does not exist.\r\nNo change made."},
        {path("a.exe"), "AXS file " + path("a.AXS") + " does not exist.\r\nNo change made."},
        {path("c.exe"), "AXT file " + path("c.AXT") + " does not exist.\r\nNo change made."},
        {path("d.EXE"), "Model Information File " + path("d.MIN") + " does not exist.\r\nNo change made."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.model);
        dlg.clear();
        EXPECT_FALSE(selector().CheckModelFiles(c.model));
        ASSERT_EQ(dlg.messages().size(), 1u);
        EXPECT_EQ(dlg.messages()[0], c.message);
        EXPECT_EQ(dlg.records()[0].kind, MsgKind::Information);
        EXPECT_TRUE(dlg.records()[0].buttons & BtnHelp);
    }
    EXPECT_TRUE(state.modelPath.empty());
}

TEST_F(ModelSelTest, FirstYearListKeepsExistingChoices) {
    testing::writeFile(path("base.har"), "x");
    testing::writeFile(path("My Extra.har"), "x");
    state.inputFiles = {{"BASEDATA", "Base data", "har"}, {"EXTRA", "Extra", "har"}, {"NEWFILE", "New one", "har"}};
    testing::writeFile(path("old.mdf"),
                       "File BASEDATA = " + path("gone.har") + " ; ! Base data\r\n"
                       "FILE basedata = " + path("base.har") + " ; ! Base data (old text)\r\n"
                       "File EXTRA = \"" + path("My Extra.har") + "\" ; ! Extra\r\n"
                       "File OTHER = " + path("base.har") + " ; ! not in this model\r\n");
    selector().BuildFirstYearList(path("old.mdf"));
    EXPECT_EQ(state.firstYearList,
              (std::vector<std::string>{"FILE basedata = " + path("base.har") + " ; ! Base data (old text)",
                                        "File EXTRA = \"" + path("My Extra.har") + "\" ; ! Extra",
                                        "File NEWFILE = ?? ; ! New one"}));
    selector().BuildFirstYearList("");
    EXPECT_EQ(state.firstYearList[0], "File BASEDATA = ?? ; ! Base data");
}

TEST_F(ModelSelTest, TiedFiles) {
    tiedModel();
    // A file fed by another cannot be changed.
    EXPECT_FALSE(selector().SelectDataFile(2));
    EXPECT_EQ(dlg.lastMessage(),
              "Cannot alter this name since it must be the same as\r\nthat of file with logical name EXTRA.");
    EXPECT_EQ(state.firstYearList[2], "File EXTRA3 = ?? ; ! Third");

    // Choosing the feeding file sets both lines.
    dlg.clear();
    state.dataDir = "/data";
    dlg.queueButton(BtnOk);
    dlg.queueText(path("extra.har"));
    ASSERT_TRUE(selector().SelectDataFile(1));
    ASSERT_EQ(dlg.records().size(), 2u);
    EXPECT_EQ(dlg.records()[0].text,
              "Whatever file name you select here will\r\nwill also be associated with logical file\r\nEXTRA3.");
    EXPECT_EQ(dlg.records()[1].title, "Please select actual data file corresponding to file with Logical name EXTRA");
    EXPECT_EQ(dlg.records()[1].file.filter, "HA Files (*.HAR,*.DAT,*.TXT)|*.HAR;*.DAT;*.TXT|All Files|*.*");
    EXPECT_EQ(dlg.records()[1].file.initialDir, "/data");
    EXPECT_EQ(state.firstYearList[1], "File EXTRA = " + path("extra.har") + " ; ! Extra data");
    EXPECT_EQ(state.firstYearList[2], "File EXTRA3 = " + path("extra.har") + " ; ! Third");
    EXPECT_EQ(state.dataDir, dir());

    // Cancelling changes nothing.
    EXPECT_FALSE(selector().SelectDataFile(0));
    EXPECT_EQ(state.firstYearList[0], "File BASEDATA = ?? ; ! Base data");

    selector().ClearDataFile(1);
    EXPECT_EQ(state.firstYearList[1], "File EXTRA = ?? ; ! Extra data");
}

TEST_F(ModelSelTest, DataFileInfoNamesTheKindOfFile) {
    tiedModel();
    selector().DataFileInfo(0);
    EXPECT_EQ(dlg.lastMessage(),
              "This is a Header Array file described as\r\n\"Base data\"\r\n"
              "To see what is read from this file, search for \"BASEDATA\" in the main Lexor file.");
    selector().DataFileInfo(2);
    EXPECT_EQ(dlg.lastMessage().rfind("This is a text file described as\r\n\"Third\"", 0), 0u);
}

TEST_F(ModelSelTest, CheckingSavingAndLoadingTheList) {
    tiedModel();
    testing::writeFile(path("base.har"), "x");
    testing::writeFile(path("extra.har"), "x");
    state.modelPath = path("growth.exe");
    state.modelDir = dir();
    state.firstYearList = {firstYearLine("BASEDATA", path("base.har"), "Base data"),
                           firstYearLine("EXTRA", path("extra.har"), "Extra data"),
                           firstYearLine("EXTRA3", path("extra.har"), "Third")};
    EXPECT_TRUE(selector().CheckDataFiles(false));
    EXPECT_TRUE(dlg.messages().empty());

    dlg.queueText(path("growth.mdf"));
    ASSERT_TRUE(selector().SaveDataFiles());
    EXPECT_EQ(dlg.records().back().title, "Save Data File Names");
    EXPECT_EQ(dlg.records().back().file.defaultName, "growth.MDF");
    EXPECT_EQ(dlg.records().back().file.filter, "Model data files|*.MDF");
    EXPECT_EQ(testing::readFile(path("growth.mdf")), joinLinesCrLf(state.firstYearList));

    // A file that disappeared becomes "??"; the user declines to choose again.
    ASSERT_TRUE(deleteFile(path("base.har")));
    dlg.clear();
    dlg.queueButton(BtnNo);
    EXPECT_FALSE(selector().CheckDataFiles(false));
    EXPECT_EQ(dlg.messages().front(),
              "Message about the Data part of Model/Data page.\r\nThe file " + path("base.har") +
                  "\r\n (associated with logical file BASEDATA) no longer exists.\r\n"
                  "Do you wish to specify this file again?");
    EXPECT_EQ(state.firstYearList[0], "File BASEDATA = ?? ; ! Base data");

    // An incomplete list cannot be saved.
    dlg.clear();
    EXPECT_FALSE(selector().SaveDataFiles());
    EXPECT_EQ(dlg.lastMessage(), "Please specify names for all files first.");

    // Loading the saved list: the line whose file is gone stays "??".
    testing::writeFile(path("extra2.har"), "x");
    state.firstYearList[1] = firstYearLine("EXTRA", path("extra2.har"), "Extra data");
    dlg.queueText(path("growth.mdf"));
    ASSERT_TRUE(selector().LoadDataFiles());
    EXPECT_EQ(dlg.records().back().title, "Model Data File ");
    EXPECT_EQ(state.firstYearList[0], "File BASEDATA = ?? ; ! Base data");
    EXPECT_EQ(state.firstYearList[1], "File EXTRA = " + path("extra.har") + " ; ! Extra data");

    // Quiet checking asks nothing.
    ASSERT_TRUE(deleteFile(path("extra.har")));
    dlg.clear();
    EXPECT_FALSE(selector().CheckDataFiles(true));
    EXPECT_TRUE(dlg.messages().empty());
    EXPECT_EQ(state.firstYearList[1], "File EXTRA = ?? ; ! Extra data");
}

}  // namespace
}  // namespace vdln
