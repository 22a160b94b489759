// The convergence chart's data: one series per run that has points, in run
// order, with the range of the values and the changes of 0 drawn at the floor.
#include "results/convergencechart.h"

#include <gtest/gtest.h>

namespace vdln {
namespace {

TEST(ConvergenceChartData, OneSeriesPerRunWithPointsAndZeroChangesAtTheFloor) {
    std::array<std::vector<MaxChangePoint>, 4> perRun;
    perRun[1] = {{2, 0.5}, {3, 0.01}, {4, 0.0}};
    perRun[3] = {{2, 2e-3}};
    const ConvergenceChartData d = convergenceChartData(perRun);
    ASSERT_EQ(d.series.size(), 2u) << "the Rerun has no points";
    EXPECT_EQ(d.series[0].run, 1);
    EXPECT_EQ(d.series[0].name, "Base");
    EXPECT_EQ(d.series[1].run, 3);
    EXPECT_EQ(d.series[1].name, "Policy");
    ASSERT_EQ(d.series[0].points.size(), 3u);
    EXPECT_EQ(d.series[0].points[2].iteration, 4);
    EXPECT_EQ(d.series[0].points[2].change, kChangeFloor);
    EXPECT_EQ(d.series[0].points[1].change, 0.01);
    EXPECT_EQ(d.flooredPoints, 1);
    EXPECT_EQ(d.smallest, kChangeFloor);
    EXPECT_EQ(d.largest, 0.5);
    EXPECT_EQ(d.lastIteration, 4);
    EXPECT_FALSE(d.empty());

    const ConvergenceChartData none = convergenceChartData({});
    EXPECT_TRUE(none.empty());
    EXPECT_EQ(none.flooredPoints, 0);
}

}  // namespace
}  // namespace vdln
