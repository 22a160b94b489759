#include "results/convergencechart.h"

#include <algorithm>

namespace vdln {

ConvergenceChartData convergenceChartData(const std::array<std::vector<MaxChangePoint>, 4>& perRun) {
    ConvergenceChartData d;
    bool first = true;
    for (int r = 1; r <= 3; ++r) {
        const auto& points = perRun[static_cast<size_t>(r)];
        if (points.empty()) continue;
        ConvergenceSeries s;
        s.run = r;
        s.name = runName(r);
        for (const MaxChangePoint& p : points) {
            const double v = std::max(p.change, kChangeFloor);
            if (p.change < kChangeFloor) ++d.flooredPoints;
            d.smallest = first ? v : std::min(d.smallest, v);
            d.largest = first ? v : std::max(d.largest, v);
            first = false;
            d.lastIteration = std::max(d.lastIteration, p.iteration);
            s.points.push_back({p.iteration, v});
        }
        d.series.push_back(std::move(s));
    }
    return d;
}

std::array<std::vector<MaxChangePoint>, 4> convergenceSeriesOf(KoraleRE& re,
                                                               const ProgramSettings& settings) {
    std::array<std::vector<MaxChangePoint>, 4> out;
    bool any = false;
    for (int r = 1; r <= 3; ++r) {
        out[static_cast<size_t>(r)] = re.lastSeries()[static_cast<size_t>(r)];
        any |= !out[static_cast<size_t>(r)].empty();
    }
    if (any) return out;
    // No job of this session iterated: the runs' files tell how far each got.
    const int nb = settings.re.BaseIterations;
    const int nr = settings.NoRerun ? 0 : settings.re.RerunIterations;
    for (int r = 1; r <= 3; ++r) {
        if (r == 2 && settings.NoRerun) continue;
        const auto count = re.readIterationCount(r, true);
        if (!count) continue;
        const int done = r == 1 ? *count : r == 2 ? *count - nb : *count - (nb + nr);
        if (done >= 2) out[static_cast<size_t>(r)] = re.maxChangeSeries(r, done);
    }
    return out;
}

}  // namespace vdln
