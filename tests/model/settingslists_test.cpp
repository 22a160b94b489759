// The numbered sections of a settings file ("Input Files", "Length
// Periods"): read whole however long, in key order, with the same rules as
// single keys (the first of a repeated key wins, a key must be spelled as
// the number), and written back whole.
#include <string>
#include <vector>

#include "base/dialogs.h"
#include "base/fileutil.h"
#include "base/inifile.h"
#include "doubles/scripteddialogs.h"
#include "model/settings.h"
#include "support/tempdir.h"

namespace vdln {
namespace {

class SettingsLists : public testing::TempDirTest {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        ctx.programDir = dir();
        ctx.currentTempDir = path("tmp");
        for (const char* f : {"growth.exe", "growth.axs", "growth.axt"}) testing::writeFile(path(f), "x");
    }
    // A settings text whose model exists, so that its list is kept.
    std::string withModel(const std::string& sections) {
        return "[Environment]\r\nModel=" + path("growth.exe") + "\r\nSim Directory=" + dir() + "\r\n" +
               sections;
    }
    std::vector<std::string> readList(const std::string& text) {
        ProgramSettings st;
        TSimRecord rec = CreateSimRecord();
        ReadIniOptionsText(text, SettingsParts::all(), st, rec, ctx, dlg);
        return st.model.FirstYearList;
    }
    static std::string line(int k) {
        return "file F" + std::to_string(k) + " = f" + std::to_string(k) + ".har ;";
    }

    SettingsContext ctx;
    ScriptedDialogs dlg;
};

TEST_F(SettingsLists, FirstYearListRules) {
    struct Case {
        const char* what;
        std::string section;
        std::vector<std::string> expected;
    };
    std::string longSection = "[Input Files]\r\n";
    std::vector<std::string> longList;
    for (int k = 0; k < 20000; ++k) {
        longSection += std::to_string(k) + "=" + line(k) + "\r\n";
        longList.push_back(line(k));
    }
    const std::vector<Case> cases = {
        {"a long list, read whole and in order", longSection, longList},
        {"written out of order", "[Input Files]\r\n1=b\r\n0=a\r\n2=c\r\n", {"a", "b", "c"}},
        {"ends at the first missing number", "[Input Files]\r\n0=a\r\n1=b\r\n3=d\r\n", {"a", "b"}},
        {"the first of a repeated key wins", "[Input Files]\r\n0=a\r\n1=b\r\n1=x\r\n", {"a", "b"}},
        {"a number spelled otherwise is not that key", "[Input Files]\r\n0=a\r\n01=b\r\n", {"a"}},
        {"the first of a repeated section wins",
         "[Input Files]\r\n0=a\r\n[input files]\r\n0=x\r\n1=y\r\n",
         {"a"}},
        {"values kept as written", "[Input Files]\r\n0= spaced ; ! note \r\n", {" spaced ; ! note "}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(readList(withModel(c.section)), c.expected);
    }
}

TEST_F(SettingsLists, PeriodLengthRules) {
    struct Case {
        const char* what;
        std::string lines;
        std::vector<int> expected;  // lengths of periods 1, 2, 3
    };
    const std::vector<Case> cases = {
        {"in order", "Number periods=3\r\n1=2\r\n2=3\r\n3=4\r\n", {2, 3, 4}},
        {"out of order", "3=4\r\n1=2\r\nNumber periods=3\r\n2=3\r\n", {2, 3, 4}},
        {"the first of a repeated key wins", "Number periods=3\r\n1=2\r\n1=9\r\n2=3\r\n3=4\r\n", {2, 3, 4}},
        {"missing and unreadable lengths are one year", "Number periods=3\r\n1=x\r\n3=5\r\n", {1, 1, 5}},
        {"out of range lengths keep the old length",
         "Number periods=3\r\n1=0\r\n2=100\r\n3=99\r\n",
         {7, 7, 99}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ProgramSettings st;
        TSimRecord rec = CreateSimRecord();
        rec.PeriodLength.fill(7);
        ReadIniOptionsText(withModel("[Length Periods]\r\n" + c.lines), SettingsParts::all(), st, rec, ctx,
                           dlg);
        EXPECT_EQ((std::vector<int>{rec.PeriodLength[1], rec.PeriodLength[2], rec.PeriodLength[3]}),
                  c.expected);
    }
}

TEST_F(SettingsLists, LongListsAreWrittenWholeInBothForms) {
    ProgramSettings st;
    st.model.Model = path("growth.exe");
    for (int k = 0; k < 20000; ++k) st.model.FirstYearList.push_back(line(k));
    TSimRecord rec = CreateSimRecord();
    InitSimRecord(rec, dir());
    rec.NumYears = 999;
    for (int i = 1; i <= 999; ++i) rec.PeriodLength[i] = 1 + i % 5;

    // The settings-file form replaces the sections of an existing file in place.
    testing::writeFile(
        path("Vardelon.ini"),
        "[Input Files]\r\n0=old\r\n5=old\r\n\r\n[Length Periods]\r\n1=9\r\n\r\n[MRUFiles]\r\nFile1=a\r\n");
    ASSERT_TRUE(WriteIniOptions(path("Vardelon.ini"), false, st, rec, ctx, dlg));
    ASSERT_TRUE(WriteIniOptions(path("app.ds1"), true, st, rec, ctx, dlg));
    for (const char* file : {"Vardelon.ini", "app.ds1"}) {
        SCOPED_TRACE(file);
        ProgramSettings back;
        TSimRecord rec2 = CreateSimRecord();
        ReadIniOptions(path(file), SettingsParts::all(), back, rec2, ctx, dlg);
        EXPECT_EQ(back.model.FirstYearList, st.model.FirstYearList);
        for (int i : {1, 2, 500, 999}) EXPECT_EQ(rec2.PeriodLength[i], rec.PeriodLength[i]) << i;
    }
    IniFile ini = IniFile::load(path("Vardelon.ini")).value();
    EXPECT_EQ(ini.sections(),
              (std::vector<std::string>{"Input Files", "Length Periods", "MRUFiles", "Options", "Environment",
                                        "Solution Method", "Alternative Solution Method"}));
    EXPECT_EQ(ini.getString("MRUFiles", "File1"), "a");
    EXPECT_EQ(ini.keys("Length Periods").front(), "Number periods");
}

}  // namespace
}  // namespace vdln
