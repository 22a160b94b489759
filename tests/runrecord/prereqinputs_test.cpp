#include "runrecord/prereqinputs.h"

#include "doubles/scripteddialogs.h"
#include "model/simgrid.h"
#include "support/tempdir.h"

namespace vdln {
namespace {

class EssentialInputsTest : public testing::TempDirTest {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        for (const char* f : {"m.exe", "m.axs", "m.axt", "m.min", "BASE.CLS", "B1.BSH", "r.map"})
            testing::writeFile(path(f), "! nothing\n");
        rec = CreateSimRecord();
        rec.NumYears = 2;
        rec.StartYear = 2024;
        rec.SimNames[1] = "BS1";
        for (int i = 1; i <= kMaxYears; ++i) rec.PeriodLength[i] = 1;
        ComputeYears(rec);
        rec.WorkDir = dir();
        rec.GridStem(0, 1) = "BASE";
        rec.GridStem(1, 2) = "B1";
        RefreshGrid(rec);
        job.DoSims[1] = true;
        job.FirstSimYear[1] = 1;
        job.LastSimYear[1] = 2;
        job.DoSS[1] = true;
        in.modelProgram = path("m.exe");
        in.modelInfoFile = path("m.min");
        in.resultsMapFile = path("r.map");
    }
    std::string check() { return missingEssentialInput(rec, job, in, false, dialogs); }
    TSimRecord rec;
    TBigJobDetails job;
    EssentialInputs in;
    ScriptedDialogs dialogs;
};

TEST_F(EssentialInputsTest, EachMissingInputHasItsMessage) {
    EXPECT_EQ(check(), "");
    rec.GridStem(2, 2) = "B2";
    RefreshGrid(rec);
    EXPECT_EQ(
        check(),
        "Period-specific shocks file B2.BSH (see the Closure/Shocks page) does not exist.\r\n"
        "This makes it IMPOSSIBLE to carry out the simulation for year 2025 (year number 2) of the Base");
    rec.GridStem(2, 2) = "";
    rec.GridStem(0, 1) = "";
    EXPECT_EQ(
        check(),
        "No closure file (Common or period-specific) has been specified\r\n for the simulation for year 2024 "
        "(year number 1) of the Base.\r\nThis makes it IMPOSSIBLE to carry out the simulation for year 2024 "
        "(year number 1) of the Base.");
    rec.GridStem(0, 1) = "BASE";
    in.resultsMapFile = "";
    EXPECT_EQ(check(),
              "Name of Result Mapping file has not been specified - see the Sim Overview page.\r\n"
              "This means that it is IMPOSSIBLE to run any spreadsheet jobs.");
    in.modelProgram = path("gone.exe");
    EXPECT_EQ(check(), "The Model Lexor-generated EXE\r\n   " + path("gone.exe") +
                           "\r\n(see the Model part of the Model/Data page) does not exist.\r\n"
                           "This makes it IMPOSSIBLE to carry out any simulations.");
    in.modelProgram = path("m.exe");
    std::remove(path("m.axt").c_str());
    EXPECT_EQ(check(), "The Auxiliary file\r\n   " + path("m.axt") +
                           "\r\nfor the Model (see the Model part of the Model/Data page) does not exist.\r\n"
                           "This makes it IMPOSSIBLE to carry out any simulations.");
}

TEST_F(EssentialInputsTest, FilesAShockFileDrawsInMustExist) {
    testing::writeFile(path("B1.BSH"), "shock x = file \"part.har\" header \"XSHK\" ;\n");
    std::string m = check();
    EXPECT_NE(m.find("Earlier messages about missing files are about files\r\n referred to in the "
                     "Period-specific shocks file"),
              std::string::npos)
        << m;
}

}  // namespace
}  // namespace vdln
