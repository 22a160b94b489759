#include "results/accapp.h"

#include <gtest/gtest.h>

#include "doubles/scripteddialogs.h"
#include "model/filenames.h"
#include "results/acclog.h"
#include "support/tempdir.h"

namespace vdln {
namespace {

TEST(NumUpdatedDataFiles, CountsUpdatedAndUpdatedLaggedInputs) {
    TSimRecord rec = CreateSimRecord();
    struct F {
        int usage;
        bool updated;
    };
    const F files[] = {
        {kUsageUpdatedInput, true},   {kUsageLaggedInput, true}, {kUsageLaggedInput, false},
        {kUsageConstantInput, false}, {kUsageOutput, false},     {kUsageUpdatedInput, true},
    };
    rec.NumFiles = 0;
    for (const F& f : files) {
        ++rec.NumFiles;
        rec.Files[rec.NumFiles].Usage = f.usage;
        rec.Files[rec.NumFiles].IsUpdated = f.updated;
        rec.Files[rec.NumFiles].IsInput = 1;
    }
    EXPECT_EQ(NumUpdatedDataFiles(rec), 3);
    rec.NumFiles = 1;
    EXPECT_EQ(NumUpdatedDataFiles(rec), 1);
    rec.NumFiles = 400;  // a damaged count never reads past the table
    EXPECT_EQ(NumUpdatedDataFiles(rec), 3);
}

class AccAppTest : public vdln::testing::TempDirTest {};

TEST_F(AccAppTest, ApplicationFromRecordAndMethod) {
    TSimRecord rec = CreateSimRecord();
    InitSimRecord(rec, dir());
    rec.NumYears = 3;
    rec.StartYear = 2024;
    ComputeYears(rec);
    rec.AltMethodInUse = 1;
    rec.AltMethodYears[2] = 1;

    AccMethodSettings settings;
    settings.method = graggDefaultMethod();
    settings.method.Subintervals = 4;
    settings.altMethod = defaultSolutionMethod();  // Johansen: one solution

    for (bool noRerun : {false, true}) {
        SCOPED_TRACE(noRerun);
        AccApplication app = accApplicationFor(rec, noRerun, 2, settings, 33);
        EXPECT_EQ(app.numYears, 3);
        ASSERT_EQ(app.years.size(), 4u);
        EXPECT_EQ(app.years[0], 2023);
        EXPECT_EQ(app.years[3], 2026);
        EXPECT_EQ(app.firstPolicyYear, 2);
        EXPECT_EQ(app.numSolutions, 3);
        EXPECT_EQ(app.subintervals, 4);
        EXPECT_FALSE(app.autoAccuracy);
        EXPECT_EQ(app.numUpdated, NumUpdatedDataFiles(rec));
        EXPECT_EQ(app.altNoSummary, (std::vector<bool>{false, false, true, false}));
        EXPECT_EQ(app.logFile(2, 3), SimLogFile(rec, 2, 3, noRerun));
        EXPECT_EQ(app.logFile(1, 1), SimLogFile(rec, 1, 1, noRerun));
        EXPECT_EQ(app.logFile(4, 1), "");
        EXPECT_EQ(app.helpContext, 33);
    }

    // With automatic accuracy the accuracy settings give the subintervals;
    // an alternative method with 3 solutions still has summaries.
    settings.method.AutoAccuracy = true;
    settings.accuracy.Subintervals = 7;
    settings.altMethod = graggDefaultMethod();
    AccApplication app = accApplicationFor(rec, false, 1, settings, 0);
    EXPECT_EQ(app.subintervals, 7);
    EXPECT_TRUE(app.autoAccuracy);
    EXPECT_EQ(app.altNoSummary, (std::vector<bool>(4, false)));

    // From the program settings.
    ProgramSettings ps;
    ps.NoRerun = true;
    ps.Method = settings.method;
    ps.Accuracy = settings.accuracy;
    ps.AltMethod = defaultSolutionMethod();
    app = accApplicationFor(rec, ps, 2, 5);
    EXPECT_TRUE(app.noRerun);
    EXPECT_EQ(app.subintervals, 7);
    EXPECT_EQ(app.altNoSummary, (std::vector<bool>{false, false, true, false}));
    EXPECT_EQ(app.logFile(1, 3), SimLogFile(rec, 1, 3, true));
    EXPECT_EQ(app.logFile(1, 2), "");
}

TEST_F(AccAppTest, GridFromTheLogsOfTheRecordsRuns) {
    TSimRecord rec = CreateSimRecord();
    InitSimRecord(rec, dir());
    rec.NumYears = 2;
    rec.StartYear = 2024;
    ComputeYears(rec);
    // One updated input file (the demo's BASEDATA): u = 1.
    rec.NumFiles = 1;
    rec.Files[1].Usage = kUsageUpdatedInput;
    AccMethodSettings settings;
    settings.method = graggDefaultMethod();
    AccApplication app = accApplicationFor(rec, true, 2, settings, 0);
    ASSERT_EQ(app.numUpdated, 1);

    vdln::testing::AccLogBuilder b;
    b.variables({0, 0, 0, 0, 0, 5, 15}).dataOneFile({0, 0, 0, 10, 10, 0, 0}).line("");
    vdln::testing::writeFile(SimLogFile(rec, 2, 3, true), b.text());
    ScriptedDialogs dialogs;
    std::optional<AppAccuracyDialog> d = makeApplicationSummaries(app, dialogs);
    ASSERT_TRUE(d);
    // Mean 57.5 rounds to 58: grade 9.  Data: mean 35, grade 4.
    EXPECT_EQ(d->cell(2, 1, AccKind::Variables).text, "9");
    EXPECT_EQ(d->cell(2, 1, AccKind::Data).text, "4");
    EXPECT_EQ(d->cell(1, 1).text, "");
    EXPECT_EQ(d->cell(1, 0).text, "N/A");
    EXPECT_EQ(d->summary().entry(rec.NumYears + 2).variables.grade, 9);
}

}  // namespace
}  // namespace vdln
