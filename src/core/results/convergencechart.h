#pragma once
/// The data of the convergence chart: for each run that iterated, the
/// largest change of RORG between successive iterations (one point per
/// iteration from the second on), drawn on a logarithmic scale.  A change
/// of exactly 0 cannot be drawn on that scale: it is drawn at `kChangeFloor`
/// and counted in `flooredPoints`.

#include <array>
#include <string>
#include <vector>

#include "results/ratexp.h"

namespace vdln {

/// The smallest change the chart draws (a change below it is drawn there).
inline constexpr double kChangeFloor = 1e-10;

struct ConvergenceSeries {
    int run = 0;       ///< 1..3
    std::string name;  ///< "Base", "Rerun", "Policy"
    std::vector<MaxChangePoint> points;
};

struct ConvergenceChartData {
    std::string title = "Largest change of RORG between successive iterations";
    std::string valueTitle = "Largest change (log scale)";
    std::vector<ConvergenceSeries> series;  ///< runs with at least one point, in run order
    int lastIteration = 0;                  ///< the largest iteration of any point
    double smallest = 0;                    ///< the smallest drawn value (after the floor)
    double largest = 0;
    int flooredPoints = 0;  ///< points below `kChangeFloor`
    bool empty() const { return series.empty(); }
};

/// The chart of the series of runs 1..3 (index 0 unused).
ConvergenceChartData convergenceChartData(const std::array<std::vector<MaxChangePoint>, 4>& perRun);

/// The series to draw: those of the last job when it left any, otherwise
/// those the preserved ROREXT files give for the iterations each run's
/// last ITER file counts (read quietly; a run without one has none).
std::array<std::vector<MaxChangePoint>, 4> convergenceSeriesOf(KoraleRE& re, const ProgramSettings& settings);

}  // namespace vdln
