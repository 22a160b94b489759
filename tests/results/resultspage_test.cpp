// The Results page's state: lists kept across rebuilds, the style rules,
// and the choices a finished job leaves.
#include "results/resultspage.h"

#include <gtest/gtest.h>

#include "doubles/mapenvironment.h"

namespace vdln {
namespace {

class ResultsPageTest : public ::testing::Test {
protected:
    void SetUp() override {
        rec = CreateSimRecord();
        rec.WorkDir = "/nonexistent/work";
        rec.NumYears = 3;
        rec.StartYear = 2024;
        for (int i = 1; i <= 3; ++i) rec.PeriodLength[i] = 1;
        ComputeYears(rec);
        rec.NumModelFiles = rec.NumFiles = 1;
        rec.ModelFiles[1] = makeModelFileDesc("BASEDATA", "HAR", true, true);
        rec.Files[1] = makeSimFileEntry(rec.ModelFiles[1], 1);
        settings.Method.NSol = 3;
        env.set("PATH", "/nonexistent");
    }
    ResultsContext context() {
        ResultsContext c(rec, settings, env);
        c.firstPolicyYear = 2;
        return c;
    }
    TSimRecord rec;
    ProgramSettings settings;
    MapEnvironment env;
};

TEST_F(ResultsPageTest, ChoicesAfterAJob) {
    struct Case {
        const char* name;
        ResultsPageChoice choice;
        bool yonyDiffs, abbreviated;
        AllYearsRun run;
        bool some, cumulative;
        int yearRun;
    } cases[] = {
        // The Policy with deviations: Differences, cumulative.
        {"differences",
         {true, true, true, 3, true, true, true, 3},
         false,
         false,
         AllYearsRun::Differences,
         false,
         true,
         3},
        // Some years of the Rerun, year-on-year.
        {"rerun",
         {true, true, false, 2, false, false, false, 2},
         false,
         false,
         AllYearsRun::Rerun,
         true,
         false,
         2},
        // Cumulative asked for but disabled by abbreviated jobs.
        {"abbreviated",
         {true, false, true, 1, false, true, true, 1},
         false,
         true,
         AllYearsRun::Base,
         false,
         false,
         1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        settings.YonYDifferencesSs = c.yonyDiffs;
        settings.AbbreviatedSsJobs = c.abbreviated;
        ResultsPageState page;
        applyResultsChoice(page, c.choice, context());
        EXPECT_EQ(page.allYears.run, c.run);
        EXPECT_EQ(page.allYears.someYears, c.some);
        EXPECT_EQ(page.allYears.cumulative, c.cumulative);
        EXPECT_EQ(page.style.cumulativeChecked, c.cumulative);
        EXPECT_EQ(page.style.yearOnYearChecked, !c.cumulative);
        EXPECT_EQ(page.yearRun, c.yearRun);
        // The year shown is one the run simulated: the last, as the page
        // started on the base year.
        ASSERT_FALSE(page.years.empty());
        EXPECT_EQ(page.year, static_cast<int>(page.years.size()) - 1);
        EXPECT_GE(page.selectedSim(), context().firstSimOf(c.yearRun));
    }
    {
        // A simulated year chosen before stays chosen.
        ResultsPageState page;
        refreshResultsPage(page, context());
        ASSERT_GE(page.years.size(), 3u);
        page.year = 2;
        const int sim = page.selectedSim();
        ASSERT_GE(sim, 1);
        applyResultsChoice(page, cases[0].choice, context());
        EXPECT_EQ(page.yearRun, kRunPolicy);
        EXPECT_EQ(page.selectedSim(), sim);
    }
    // No valid choice: nothing changes.
    ResultsPageState page;
    page.yearRun = 2;
    applyResultsChoice(page, ResultsPageChoice{}, context());
    EXPECT_EQ(page.yearRun, 2);
    EXPECT_TRUE(page.items.empty());
}

TEST_F(ResultsPageTest, RebuildKeepsSelectionsAndFollowsTheApplication) {
    ResultsPageState page;
    refreshResultsPage(page, context());
    ASSERT_EQ(page.items.size(), 4u);  // Solution, Log, Accuracy, BASEDATA
    page.item = 3;
    page.year = 2;
    page.yearRun = 2;
    page.allYears.run = AllYearsRun::Rerun;
    // Two solutions and no rerun: the accuracy item goes, BASEDATA stays
    // selected; the Rerun choices fall back to the Base.
    settings.Method.NSol = 2;
    settings.NoRerun = true;
    refreshResultsPage(page, context());
    ASSERT_NE(page.selectedItem(), nullptr);
    EXPECT_EQ(page.selectedItem()->label, "BASEDATA");
    EXPECT_EQ(page.selectedSim(), 2);
    EXPECT_FALSE(page.rerunEnabled);
    EXPECT_EQ(page.yearRun, 1);
    EXPECT_EQ(page.allYears.run, AllYearsRun::Base);
    EXPECT_EQ(page.differencesCaption, "&Differences - Policy v Base");
    EXPECT_EQ(page.graphsCaption, "&Graphs");

    // Choosing Differences with year-on-year differences off: cumulative only.
    chooseAllYearsRun(page, AllYearsRun::Differences, context());
    EXPECT_TRUE(page.allYears.cumulative);
    EXPECT_FALSE(page.style.yearOnYearEnabled);
    // Back to the Policy: year-on-year checked again.
    chooseAllYearsRun(page, AllYearsRun::Policy, context());
    EXPECT_FALSE(page.allYears.cumulative);
    EXPECT_TRUE(page.style.yearOnYearChecked);
}

}  // namespace
}  // namespace vdln
