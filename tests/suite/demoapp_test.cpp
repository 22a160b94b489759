// The demo application written by vardelon-demo: its simulation details
// read back with the program's own readers, and its model accepted the way
// the program checks a model.

#include "base/dialogs.h"
#include "base/paths.h"
#include "doubles/scripteddialogs.h"
#include "formats/modelinfo.h"
#include "model/modelsel.h"
#include "model/settings.h"
#include "model/simdetails.h"
#include "model/simgrid.h"
#include "model/simrecord.h"
#include "suiteharness.h"

namespace vdln::testing::suitetest {
namespace {

class DemoApplication : public TempDirTest {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        app = path("demo app");  // a folder name with a blank
        ASSERT_EQ(runIn(dir(), binPath("vardelon-demo"), {app}), 0);
    }
    std::string at(const std::string& name) const { return app + "/" + name; }
    std::string app;
};

TEST_F(DemoApplication, DetailsFilesDescribeTheApplicationInItsFolder) {
    ScriptedDialogs dialogs;
    TSimRecord rec = CreateSimRecord();
    ASSERT_TRUE(ReadSimRecordFile(rec, at("growth.ds2"), false).isOk());
    EXPECT_EQ(rec.NumYears, 6);
    EXPECT_EQ(rec.StartYear, 2024);
    EXPECT_EQ(std::string(rec.SimNames[1]), "BS1");
    EXPECT_EQ(std::string(rec.SimNames[3]), "PL1");
    ASSERT_EQ(rec.NumFiles, 3);
    const struct {
        const char* name;
        const char* key;
        int usage;
    } files[] = {{"BASEDATA", "BAS", kUsageUpdatedInput},
                 {"PARAMS", "PAR", kUsageConstantInput},
                 {"SUMMARY", "SUM", kUsageOutput}};
    for (int n = 1; n <= 3; ++n) {
        SCOPED_TRACE(files[n - 1].name);
        EXPECT_EQ(std::string(rec.Files[n].Name), files[n - 1].name);
        EXPECT_EQ(std::string(rec.Files[n].Key), files[n - 1].key);
        EXPECT_EQ(rec.Files[n].Usage, files[n - 1].usage);
    }
    EXPECT_EQ(std::string(rec.GridStem(0, 3)), "POLICY");
    EXPECT_EQ(std::string(rec.GridStem(2, 2)), "B2025");
    EXPECT_EQ(std::string(rec.GridStem(3, 4)), "P2026");
    EXPECT_EQ(std::string(rec.GridStem(4, 4)), "");
    EXPECT_EQ(std::string(rec.GridStem(6, 1)), "BASE");

    ProgramSettings settings;
    SettingsContext ctx;
    ctx.programDir = dir();
    ctx.batchMode = true;
    ReadIniOptions(at("growth.ds1"), SettingsParts::all(), settings, rec, ctx, dialogs);
    EXPECT_EQ(settings.model.Model, at("growth.exe"));
    EXPECT_EQ(rec.WorkDir, app);
    EXPECT_EQ(settings.ResultsMapFile, at("growth.map"));
    EXPECT_EQ(settings.Method.Method, kGragg);
    EXPECT_EQ(settings.Method.NSol, 3);
    ASSERT_EQ(settings.model.FirstYearList.size(), 2u);
    auto line = parseFirstYearLine(settings.model.FirstYearList[0]);
    EXPECT_EQ(line.logical, "BASEDATA");
    EXPECT_EQ(line.actualPath(), at("BASE2023.HAR"));
    EXPECT_TRUE(fileExists(line.actualPath()));
    RefreshGrid(rec);  // every closure and shock file named in the grid exists
    for (int i = 1; i <= 6; ++i)
        for (int c = 1; c <= 4; ++c) EXPECT_TRUE(rec.GridOK(i, c)) << i << "," << c;
}

TEST_F(DemoApplication, ModelInformationMatchesTheAuxiliaryFiles) {
    // The "#TMDATE" stamp of the Model Information file is the 40-character
    // "DTXT" string of both auxiliary files.
    auto minStamp = GetTimeDateStamp("text", at("growth.min"), "#TMDATE");
    ASSERT_TRUE(minStamp.isOk()) << minStamp.message();
    ASSERT_TRUE(minStamp->found);
    EXPECT_EQ(minStamp->stamp.size(), 40u);
    for (const char* aux : {"growth.axt", "growth.axs"}) {
        auto f = ReadHarFile(at(aux));
        ASSERT_TRUE(f.isOk()) << f.message();
        const HarHeader* d = f->find("DTXT");
        ASSERT_NE(d, nullptr) << aux;
        ASSERT_EQ(d->strings.size(), 1u);
        EXPECT_EQ(d->strings[0], minStamp->stamp) << aux;
    }
    SolInfoRec info;
    ASSERT_TRUE(RequestSolInfo(at("growth.min"), standardMinRequest(), true, true, info).isOk());
    ASSERT_EQ(info.vars.size(), 5u);
    EXPECT_EQ(info.vars[0].name, "x");
    EXPECT_EQ(info.vars[0].numExog, 3);  // the Base closure: x, l, t exogenous
    EXPECT_EQ(info.vars[1].numExog, 0);
    EXPECT_EQ(info.vars[1].exoFlags, std::vector<bool>(3, false));
    EXPECT_EQ(info.svVer, 80000);
    ASSERT_EQ(info.sets.size(), 1u);
}

}  // namespace
}  // namespace vdln::testing::suitetest
