#include "results/rebatch.h"

#include "base/strutil.h"

namespace vdln {

std::vector<std::string> reBatchReportLines(const KoraleRE& re) {
    std::vector<std::string> lines;
    for (int r = 1; r <= 3; ++r) {
        const std::string& text = re.lastReports()[r];
        if (text.empty()) continue;
        size_t from = 0;
        for (size_t at; (at = text.find("\r\n", from)) != std::string::npos; from = at + 2)
            lines.push_back(text.substr(from, at - from));
        lines.push_back(text.substr(from));
    }
    for (int r = 1; r <= 3; ++r) {
        const auto& series = re.lastSeries()[r];
        if (series.empty()) continue;
        lines.push_back("Largest change of RORG between successive iterations of the " + runName(r) + ":");
        for (const auto& p : series)
            lines.push_back("  iteration " + std::to_string(p.iteration) + ":" + scientificText(p.change));
    }
    return lines;
}

}  // namespace vdln
