// The data of the results charts: reading the spreadsheet tables and
// building the series of each run over every simulated year.
#include "results/chartdata.h"

#include <gtest/gtest.h>

#include <cmath>

#include "base/paths.h"
#include "support/tempdir.h"

namespace vdln {
namespace {

class ChartDataTest : public testing::TempDirTest {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        rec = CreateSimRecord();
        rec.WorkDir = dir();
        rec.NumYears = 4;
        rec.StartYear = 2024;
        for (int i = 1; i <= 4; ++i) rec.PeriodLength[i] = 1;
        ComputeYears(rec);
        rec.SimNames[1] = "BS1";
        rec.SimNames[2] = "BR1";
        rec.SimNames[3] = "PL1";
        sources = chartSourcesFor(rec, 2, false);
    }
    TSimRecord rec;
    ChartSources sources;
};

TEST_F(ChartDataTest, FilesOfEachRunAndStyle) {
    EXPECT_EQ(sources.years, (std::vector<int>{2024, 2025, 2026, 2027}));
    EXPECT_EQ(sources.yearOnYear[1], path("BS1B-ssy.csv"));
    EXPECT_EQ(sources.cumulative[2], path("BS1B-BR1R-ssc.csv"));
    EXPECT_EQ(sources.cumulative[3], path("BS1B-BR1R-PL1P-ssc.csv"));
    EXPECT_EQ(sources.deviationsCumulative, path("BS1B-BR1R-PL1P-devc.csv"));
    EXPECT_EQ(sources.comparisonRunName, "Rerun");
    ChartSources nr = chartSourcesFor(rec, 2, true);
    EXPECT_TRUE(nr.yearOnYear[2].empty());
    EXPECT_EQ(nr.comparisonRunName, "Base");
}

TEST_F(ChartDataTest, LinesOfEveryRunOverEverySimulatedYear) {
    testing::writeFile(sources.yearOnYear[1],
                       "Variable,2024,2025,2026,2027\r\nx(AGR),3,2.8,2.6,2.4\r\nx(MAN),1,2,3,4\r\n");
    testing::writeFile(sources.yearOnYear[3], "Variable,2025,2026,2027\nx(MAN),-2.5,0.5,\nk(MAN),1e-1,2,3\n");
    ChartRequest req;
    req.runs = {false, true, true, true};
    req.rows = {"x(MAN)", "k(MAN)"};
    auto d = buildChartData(sources, req);
    ASSERT_TRUE(d) << d.message();
    EXPECT_EQ(d->years, (std::vector<int>{2024, 2025, 2026, 2027}));
    // The Rerun's file is missing: listed, the others drawn.
    EXPECT_EQ(d->missingFiles, std::vector<std::string>{sources.yearOnYear[2]});
    ASSERT_EQ(d->series.size(), 3u);
    EXPECT_EQ(d->series[0].name, "Base x(MAN)");
    EXPECT_EQ(d->series[0].values, (std::vector<double>{1, 2, 3, 4}));
    EXPECT_EQ(d->series[1].name, "Policy x(MAN)");
    // No Policy value before its first year, nor in an empty cell.
    EXPECT_TRUE(std::isnan(d->series[1].values[0]));
    EXPECT_EQ(d->series[1].values[1], -2.5);
    EXPECT_EQ(d->series[1].values[2], 0.5);
    EXPECT_TRUE(std::isnan(d->series[1].values[3]));
    EXPECT_EQ(d->series[2].name, "Policy k(MAN)");
    EXPECT_DOUBLE_EQ(d->series[2].values[1], 0.1);

    // All components when none is chosen, in file order.
    req.rows.clear();
    EXPECT_EQ(chartRowNames(sources, req), (std::vector<std::string>{"x(AGR)", "x(MAN)", "k(MAN)"}));
}

TEST_F(ChartDataTest, DeviationBarsAndFailures) {
    ChartRequest req;
    req.mode = ChartMode::DeviationBars;
    req.cumulative = true;
    auto none = buildChartData(sources, req);
    ASSERT_FALSE(none);
    EXPECT_EQ(none.message(), "There are no results to chart. Missing:\r\n  " + sources.deviationsCumulative);

    testing::writeFile(sources.deviationsCumulative, "Variable,2025,2026,2027\nx(MAN),-5,-5.14,-5.3\n");
    auto d = buildChartData(sources, req);
    ASSERT_TRUE(d) << d.message();
    ASSERT_EQ(d->series.size(), 1u);
    EXPECT_EQ(d->series[0].name, "x(MAN)");
    EXPECT_EQ(d->series[0].run, 0);
    EXPECT_EQ(d->title, "Cumulative deviations of the Policy from the Rerun");

    struct Bad {
        std::string text, message;
    } bads[] = {
        {"Variable,2025,x\n", ", line 1: \"x\" is not a year"},
        {"Variable,2026,2025\n", ", line 1: the years are not in increasing order"},
        {"Variable,2025\nx(MAN),1,2\n", ", line 2: more cells than years"},
        {"Variable,2025\n\nx(MAN),abc\n", ", line 3: \"abc\" is not a number"},
        {"Variable\n", ", line 1: the header names no years"},
    };
    for (const auto& b : bads) {
        SCOPED_TRACE(b.text);
        testing::writeFile(sources.deviationsCumulative, b.text);
        auto r = buildChartData(sources, req);
        ASSERT_FALSE(r);
        EXPECT_EQ(r.message(), "File " + sources.deviationsCumulative + b.message);
    }
}

TEST(ChartRows, SplitsVariableAndComponent) {
    EXPECT_EQ(splitRowName("x(AGR)"), std::make_pair(std::string("x"), std::string("AGR")));
    EXPECT_EQ(splitRowName("gdp"), std::make_pair(std::string("gdp"), std::string()));
}

}  // namespace
}  // namespace vdln
