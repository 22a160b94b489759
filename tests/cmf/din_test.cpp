#include <gtest/gtest.h>

#include "doubles/scripteddialogs.h"
#include "model/filetable.h"
#include "support/tempdir.h"

namespace vdln {
namespace {

class DinTest : public testing::TempDirTest {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        rec = CreateSimRecord();
        const struct {
            const char* name;
            const char* type;
            bool in, upd;
        } files[] = {{"BASEDATA", "har", true, true}, {"PARAMS", "har", true, false},
                     {"(Solution)", "", false, true}, {"EXTRA", "har", true, true},
                     {"EXTRA4", "har", true, false},  {"SUMMARY", "txt", false, false}};
        for (const auto& f : files)
            rec.ModelFiles[++rec.NumModelFiles] = makeModelFileDesc(f.name, f.type, f.in, f.upd, "");
    }
    Status readDin(const std::string& text) {
        testing::writeFile(path("m.din"), text);
        return ReadDinFile(path("m.din"), rec, dlg);
    }
    std::string dinError(const std::string& error) {
        return error + " in DIN file\r\n" + path("m.din") + "\r\nUnable to process this DIN file.";
    }
    TSimRecord rec;
    ScriptedDialogs dlg;
};

TEST_F(DinTest, MissingFileKeepsTheTableBuiltFromTheModel) {
    rec.NumFiles = 1;  // stale contents are rebuilt
    ASSERT_TRUE(ReadDinFile(path("none.din"), rec, dlg));
    ASSERT_EQ(rec.NumFiles, 5);  // the special file gets no entry
    EXPECT_EQ(rec.Files[3].Name.str(), "EXTRA");
    EXPECT_EQ(rec.Files[4].Usage, kUsageConstantInput);
    EXPECT_EQ(rec.Files[1].Usage, kUsageUpdatedInput);
    EXPECT_EQ(rec.Files[5].Usage, kUsageOutput);
    EXPECT_TRUE(dlg.messages().empty());
}

TEST_F(DinTest, AttributesAreApplied) {
    Status s = readDin(
        "! roles of the files\r\n"
        "\r\n"
        "file EXTRA4 role lagged-input lagof EXTRA ;\r\n"
        "file EXTRA4 key EX4 ;\r\n"
        "  FILE basedata KEY bas1 ; usage BASEDATA 1 2 2 ;\n"
        "file PARAMS role constant-input key PRM ;\n"
        "file SUMMARY key SUM;\n");
    ASSERT_TRUE(s) << s.message();
    EXPECT_EQ(rec.Files[5 - 1].Usage, kUsageLaggedInput);  // EXTRA4 is entry 4
    EXPECT_EQ(rec.Files[4].LagFile, 3);
    EXPECT_EQ(rec.Files[1].Key.str(), "bas");
    EXPECT_EQ(rec.Files[1].InputUsage[3], 2);
    EXPECT_EQ(rec.Files[2].Key.str(), "PRM");
    EXPECT_EQ(rec.Files[5].Key.str(), "SUM");
    EXPECT_TRUE(dlg.messages().empty());
}

TEST_F(DinTest, ErrorsStopReadingWithTheirMessage) {
    struct Case {
        const char* what;
        std::string text;
        std::string error;
    };
    const std::vector<Case> cases = {
        {"no final semicolon, odd", "file EXTRA4 role lagged-input lagof\n",
         "A line containing \"lagof\" does not end with \";\""},
        {"no final semicolon, even", "file EXTRA4 role lagged-input\n",
         "A line containing \"lagged-input\" does not end with \";\""},
        {"not file first", "role EXTRA lagged-input ;\n",
         "Expected \"file\" at start of line but found \"role\""},
        {"unknown file", "file NOSUCH key ABC ;\n", "Unknown logical file \"NOSUCH\""},
        {"key without value", "file EXTRA key ; ;\n", "Expect logical file name after \"key\""},
        {"bad role", "file EXTRA role output ;\n", "Unexpected word \"output\""},
        {"unknown lag", "file EXTRA4 lagof NOSUCH ;\n", "Unknown logical file \"NOSUCH\" (after lagof)"},
        {"unknown usage file", "file EXTRA4 usage NOSUCH 1 2 3 ;\n",
         "Unknown logical file \"NOSUCH\" (after usage)"},
        {"two integers", "file EXTRA4 usage EXTRA 1 2 ;\n",
         "Expect logical file then 3 integers after \"usage\". Only found 2"},
        {"unknown word", "file EXTRA4 colour red ;\n", "Unexpected word \"colour\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ScriptedDialogs d;
        testing::writeFile(path("m.din"), c.text);
        Status s = ReadDinFile(path("m.din"), rec, d);
        EXPECT_EQ(s.message(), dinError(c.error));
        ASSERT_EQ(d.messages().size(), 1u);
        EXPECT_EQ(d.messages()[0], dinError(c.error));
        EXPECT_EQ(d.records()[0].kind, MsgKind::Error);
        EXPECT_TRUE(d.records()[0].buttons & BtnHelp);
    }
}

TEST_F(DinTest, ValidationRunsAfterTheWholeFile) {
    Status s = readDin("file EXTRA4 role lagged-input ;\nfile EXTRA4 key EX4 ;\n");
    const std::string want =
        "Problem with Model Information on DIN file\r\n" + path("m.din") +
        "\r\nFile EXTRA4: lagged input must be lag of some file\r\n"
        "Use menu item \"Edit Dynamic Info File\" under the File menu to fix the problem.";
    EXPECT_EQ(s.message(), want);
    EXPECT_EQ(dlg.lastMessage(), want);

    ScriptedDialogs quiet;
    testing::writeFile(path("m.din"), "file EXTRA key BAS ;\n");
    s = ReadDinFile(path("m.din"), rec, quiet, true);
    EXPECT_NE(s.message().find("Files BASEDATA and EXTRA have the same key"), std::string::npos);
    EXPECT_TRUE(quiet.messages().empty());
}

}  // namespace
}  // namespace vdln
