#include "model/modelsel.h"

#include <gtest/gtest.h>

#include "base/fileutil.h"
#include "base/strutil.h"
#include "base/textfile.h"
#include "doubles/scripteddialogs.h"
#include "formats/harfile.h"
#include "formats/modelinfo.h"
#include "support/tempdir.h"

namespace vdln {
namespace {

std::string pad(const std::string& s, size_t n) {
    return s + std::string(n > s.size() ? n - s.size() : 0, ' ');
}

/// A "#FILES" line: type in 23-25, updated flag in 30, direction in 33-35.
std::string fileLine(const std::string& name, const std::string& type, char upd, const std::string& dir,
                     const std::string& rest = "") {
    return pad(name, 20) + "  " + pad(type, 3) + "    " + upd + "  " + pad(dir, 3) + "  " + rest;
}

const char* kStamp = "GROWTH 09-DEC-2026 10:11:12";

/// The text of a Model Information file with the given file lines.
std::string minText(const std::vector<std::string>& fileLines, const std::string& stamp = kStamp) {
    std::string t = "#FILES\r\nLogical name         Typ    Upd  Dir  Actual\r\n";
    for (const auto& l : fileLines) t += l + "\r\n";
    t += "#TABFILE\r\ngrowth.tab\r\n#TMDATE\r\n" + stamp + "\r\n#STIFILE\r\n%none\r\n#SVVER\r\n80000\r\n";
    return t;
}

/// An Auxiliary Table file: a header array file whose "DTXT" header holds
/// the 40-character stamp.
void writeAxt(const std::string& path, const std::string& stamp) {
    auto file = NewHarFile("test", "", false, false);
    ASSERT_TRUE(file) << file.message();
    PHarHeader h;
    ASSERT_TRUE(Create1C(h, "DTXT", "Time and date stamp", 40, 1, {pad(stamp, 40)}));
    ASSERT_TRUE(AddHeaderNil(file.value(), h));
    Status s = WriteHarFile(path, "test", "now", file.value());
    ASSERT_TRUE(s) << s.message();
}

/// The usual files of the growth model.
std::vector<std::string> growthFiles() {
    return {fileLine("BASEDATA", "har", 'y', "in"), "Base data of the year",
            fileLine("PARAMS", "har", 'n', "in"),   "Parameters",
            fileLine("SUMMARY", "txt", 'n', "out"), "Summary table",
            fileLine("(solution)", "", 'y', "out")};
}

TEST(FirstYearLines, FormsAndParts) {
    EXPECT_EQ(firstYearLine("BASEDATA", "/d/base.har", "Base data"),
              "File BASEDATA = /d/base.har ; ! Base data");
    EXPECT_EQ(firstYearLine("BASEDATA", "/my data/base.har", "Base"),
              "File BASEDATA = \"/my data/base.har\" ; ! Base");
    EXPECT_EQ(firstYearLine("PARAMS", "", "Parameters"), "File PARAMS = ?? ; ! Parameters");

    struct Case {
        std::string line;
        bool valid;
        std::string left, logical, actual, path;
        bool unset;
    };
    const std::vector<Case> cases = {
        {"File BASEDATA = /d/base.har ; ! Base data", true, "File BASEDATA = ", "BASEDATA", "/d/base.har",
         "/d/base.har", false},
        {"File B = \"/my data/b.har\" ; ! x", true, "File B = ", "B", "\"/my data/b.har\"", "/my data/b.har",
         false},
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
        state.inputFiles = {
            {"BASEDATA", "Base data", "har"}, {"EXTRA", "Extra data", "har"}, {"EXTRA3", "Third", "txt"}};
        rec.NumFiles = 3;
        const char* names[] = {"BASEDATA", "EXTRA", "EXTRA3"};
        for (int n = 1; n <= 3; ++n) {
            rec.Files[n] =
                makeSimFileEntry(makeModelFileDesc(names[n - 1], n == 3 ? "txt" : "har", true, true), n);
        }
        rec.Files[3].InputUsage[0] = 2;
        state.firstYearList.clear();
        for (const auto& f : state.inputFiles)
            state.firstYearList.push_back(firstYearLine(f.name, "", f.description));
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

TEST_F(ModelSelTest, ModelFileRefusalsAfterTheStampCheck) {
    std::vector<std::string> tooMany;
    for (int k = 1; k <= 51; ++k) {
        tooMany.push_back(fileLine("F" + std::to_string(k), "har", 'n', "in"));
        tooMany.push_back("a file");
    }
    struct Case {
        const char* what;
        std::vector<std::string> files;
        std::string axtStamp;
        std::string message;  // empty: accepted
    };
    const std::string m = path("m.exe");
    const std::vector<Case> cases = {
        {"good", growthFiles(), kStamp, ""},
        {"stamps differ", growthFiles(), "GROWTH 01-JAN-2020",
         "Model Information File " + toUpper(path("m.MIN")) +
             " was not created at the same time as the Auxiliary Table File " + toUpper(path("m.AXT"))},
        {"terminal",
         {fileLine("(terminal)", "", 'n', "in"), fileLine("(solution)", "", 'y', "out")},
         kStamp,
         "This model reads data from the terminal.\r\nAt present such models cannot be used with "
         "Vardelon.\r\n"
         "No change made."},
        {"nothing updated",
         {fileLine("PARAMS", "har", 'n', "in"), "Parameters", fileLine("(solution)", "", 'n', "out")},
         kStamp,
         "Nothing in this model is updated, so\r\n it is not possible to carry out simulations with this "
         "model.\r\n"
         "Such models cannot be used with Vardelon.\r\nNo change made."},
        {"hard-wired",
         {fileLine("PARAMS", "har", 'n', "in", "/fixed/params.har"), "Parameters"},
         kStamp,
         "In this model, the name of the data file corresponding \r\n to logical name PARAMS\r\n is "
         "hard-wired in "
         "the TAB file as \r\n/fixed/params.har\r\nAt present models where actual file names are hard-wired "
         "cannot be used with Vardelon.\r\nNo change made."},
        {"too many files", tooMany, kStamp,
         "Sorry, there are too many files in this model. This model has 51 files\r\nbut the maximum this "
         "program "
         "can handle is 50."},
    };
    testing::writeFile(m, "x");
    testing::writeFile(path("m.axs"), "x");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        testing::writeFile(path("m.min"), minText(c.files));
        writeAxt(path("m.axt"), c.axtStamp);
        dlg.clear();
        EXPECT_EQ(selector().CheckModelFiles(m), c.message.empty());
        EXPECT_EQ(dlg.lastMessage(), c.message);
    }
    EXPECT_TRUE(state.modelPath.empty());
    EXPECT_EQ(rec.NumModelFiles, 0);
}

class LoadModelTest : public ModelSelTest {
protected:
    void SetUp() override {
        ModelSelTest::SetUp();
        env.startReleaseCheck = [this] { ++releaseChecks; };
        makeModel("growth", growthFiles(),
                  "file BASEDATA key BAS ;\nfile PARAMS key PAR role constant-input ;\n"
                  "file SUMMARY key SUM ;\n");
    }
    void makeModel(const std::string& name, const std::vector<std::string>& files, const std::string& din) {
        testing::writeFile(path(name + ".exe"), "x");
        testing::writeFile(path(name + ".axs"), "x");
        writeAxt(path(name + ".axt"), kStamp);
        testing::writeFile(path(name + ".min"), minText(files));
        if (!din.empty()) testing::writeFile(path(name + ".din"), din);
    }
    int releaseChecks = 0;
};

TEST_F(LoadModelTest, ChoosingAModelFillsTheRecord) {
    dlg.queueText(path("growth.exe"));
    ASSERT_TRUE(selector().SelectModel());
    EXPECT_EQ(dlg.records().front().title, "Select Model");
    EXPECT_EQ(dlg.records().front().file.filter, "Model EXE Files (*.EXE)|*.exe");
    EXPECT_EQ(dlg.records().size(), 1u);  // no other message

    EXPECT_EQ(state.modelPath, path("growth.exe"));
    EXPECT_EQ(state.programPath, path("growth.exe"));
    EXPECT_EQ(state.modelName, "growth");
    EXPECT_EQ(state.modelLabel, "Model: " + path("growth.exe"));
    EXPECT_EQ(state.dataDir, dir());
    EXPECT_TRUE(state.modelReady);
    EXPECT_EQ(state.suiteRelease, 80000);
    EXPECT_EQ(state.minDin.MinFile, path("growth.min"));
    EXPECT_EQ(state.minDin.MinFileId, fileIdentity(path("growth.min")));
    EXPECT_NE(state.minDin.MinFileId, 0u);
    EXPECT_TRUE(state.minDin.HasDin);
    EXPECT_EQ(state.minDin.DinFileId, fileIdentity(path("growth.din")));
    EXPECT_EQ(releaseChecks, 1);

    ASSERT_EQ(rec.NumModelFiles, 4);
    EXPECT_EQ(rec.ModelFiles[1].Description.str(), "Base data of the year");
    EXPECT_TRUE(rec.ModelFiles[4].IsSpecial);
    ASSERT_EQ(rec.NumFiles, 3);
    EXPECT_EQ(rec.Files[2].Key.str(), "PAR");
    EXPECT_EQ(rec.Files[2].Usage, kUsageConstantInput);
    EXPECT_EQ(state.firstYearList, (std::vector<std::string>{"File BASEDATA = ?? ; ! Base data of the year",
                                                             "File PARAMS = ?? ; ! Parameters"}));
}

TEST_F(LoadModelTest, ChangingModelKeepsChosenDataFiles) {
    state.modelPath = path("growth.exe");
    ASSERT_TRUE(selector().LoadModel(false));
    EXPECT_EQ(releaseChecks, 0);
    testing::writeFile(path("base.har"), "x");
    state.firstYearList[0] = firstYearLine("BASEDATA", path("base.har"), "Base data of the year");
    state.firstYearList[1] = firstYearLine("PARAMS", path("gone.har"), "Parameters");

    makeModel("other",
              {fileLine("BASEDATA", "har", 'y', "in"), "Base data", fileLine("NEWIN", "har", 'n', "in"),
               "New input", fileLine("(solution)", "", 'y', "out")},
              "");
    state.modelPath = path("other.exe");
    dlg.clear();
    ASSERT_TRUE(selector().LoadModel(false));
    EXPECT_EQ(dlg.messages(),
              (std::vector<std::string>{"Dynamic Info file " + path("other.DIN") + " does not exist."}));
    EXPECT_FALSE(state.minDin.HasDin);
    EXPECT_EQ(state.minDin.DinFileId, 0u);
    EXPECT_EQ(state.firstYearList,
              (std::vector<std::string>{"File BASEDATA = " + path("base.har") + " ; ! Base data of the year",
                                        "File NEWIN = ?? ; ! New input"}));
    // The previous list was kept in the Temporary Directory.
    EXPECT_NE(testing::readFile(path("temp.mdf")).find("File PARAMS = " + path("gone.har")),
              std::string::npos);
    EXPECT_EQ(rec.NumFiles, 2);
}

TEST_F(LoadModelTest, MissingFilesAndDinProblems) {
    state.modelPath = path("nothere.exe");
    EXPECT_FALSE(selector().LoadModel(false));
    EXPECT_EQ(dlg.lastMessage(), "Model Exe File\r\n  " + path("nothere.exe") + "\r\ndoes not exist.");
    EXPECT_EQ(state.modelShown(), "(None selected)");
    EXPECT_EQ(state.modelLabel, "Model: (None selected)");

    ASSERT_TRUE(deleteFile(path("growth.min")));
    state.modelPath = path("growth.exe");
    dlg.clear();
    EXPECT_FALSE(selector().LoadModel(false));
    EXPECT_EQ(dlg.lastMessage(), "Model Info file " + path("growth.MIN") + " does not exist.");
    EXPECT_TRUE(state.modelPath.empty());

    makeModel("growth", growthFiles(), "file NOSUCH key ABC ;\n");
    state.modelPath = path("growth.exe");
    dlg.clear();
    EXPECT_FALSE(selector().LoadModel(false));
    EXPECT_FALSE(state.modelReady);
    EXPECT_EQ(state.modelPath, path("growth.exe"));  // chosen, but not ready
    EXPECT_EQ(dlg.lastMessage().rfind("Unknown logical file \"NOSUCH\" in DIN file", 0), 0u);
}

TEST_F(LoadModelTest, StateSurvivesTheSettings) {
    state.modelPath = path("growth.exe");
    ASSERT_TRUE(selector().LoadModel(false));
    state.version = {true, true, true, 80000, 79000, "gfortran"};
    ModelSettings settings;
    modelStateToSettings(state, settings);
    EXPECT_EQ(settings.ModelInfoFile, path("growth.min"));
    EXPECT_EQ(settings.MinFileId, static_cast<std::int64_t>(state.minDin.MinFileId));
    ModelDataState back;
    modelStateFromSettings(settings, back);
    EXPECT_EQ(back.minDin, state.minDin);
    EXPECT_EQ(back.version, state.version);
    EXPECT_EQ(back.firstYearList, state.firstYearList);
    EXPECT_EQ(back.modelLabel, "Model: " + path("growth.exe"));
}

TEST_F(LoadModelTest, ReleaseRefusalClearsTheModel) {
    state.modelPath = path("growth.exe");
    ASSERT_TRUE(selector().LoadModel(false));
    testing::writeFile(path("chkmodel.rpt"),
                       "[Result]\r\nStatus=ok\r\nSVVer Large=80000\r\nFortran Compiler=F77L3\r\n");
    ReleaseJobFiles files;
    files.rpt = path("chkmodel.rpt");
    EXPECT_FALSE(selector().finishReleaseCheck(files));
    EXPECT_EQ(state.modelShown(), "(None selected)");
    EXPECT_FALSE(state.version.ReleaseKnown);  // cleared with the model

    state.modelPath = path("growth.exe");
    ASSERT_TRUE(selector().LoadModel(false));
    ASSERT_TRUE(deleteFile(path("chkmodel.rpt")));
    dlg.clear();
    EXPECT_TRUE(selector().finishReleaseCheck(files));  // no report: accepted after the message
    EXPECT_EQ(dlg.messages().size(), 1u);
    EXPECT_EQ(state.modelPath, path("growth.exe"));
}

TEST_F(ModelSelTest, FirstYearListKeepsExistingChoices) {
    testing::writeFile(path("base.har"), "x");
    testing::writeFile(path("My Extra.har"), "x");
    state.inputFiles = {
        {"BASEDATA", "Base data", "har"}, {"EXTRA", "Extra", "har"}, {"NEWFILE", "New one", "har"}};
    testing::writeFile(path("old.mdf"), "File BASEDATA = " + path("gone.har") +
                                            " ; ! Base data\r\n"
                                            "FILE basedata = " +
                                            path("base.har") +
                                            " ; ! Base data (old text)\r\n"
                                            "File EXTRA = \"" +
                                            path("My Extra.har") +
                                            "\" ; ! Extra\r\n"
                                            "File OTHER = " +
                                            path("base.har") + " ; ! not in this model\r\n");
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
    EXPECT_EQ(
        dlg.records()[0].text,
        "Whatever file name you select here will\r\nwill also be associated with logical file\r\nEXTRA3.");
    EXPECT_EQ(dlg.records()[1].title,
              "Please select actual data file corresponding to file with Logical name EXTRA");
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
    EXPECT_EQ(dlg.messages().front(), "Message about the Data part of Model/Data page.\r\nThe file " +
                                          path("base.har") +
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
