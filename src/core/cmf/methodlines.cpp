#include "cmf/methodlines.h"

#include <cstdio>

namespace vdln {

void WriteMethodLines(const TSolutionMethod& method, const TAutoAccuracy& accuracy,
                      std::vector<std::string>& out) {
    out.push_back("Method = " + methodName(method.Method) + ";");
    if (method.Method == kJohansen) {
        out.push_back("Steps = 1;");
    } else {
        std::string line = "Steps =";
        const int n = (method.NSol >= 1 && method.NSol <= 3) ? method.NSol : 1;
        for (int k = 0; k < n; ++k) line += " " + std::to_string(method.Steps[k]);
        out.push_back(line + ";");
    }
    const int sub = method.AutoAccuracy ? accuracy.Subintervals : method.Subintervals;
    out.push_back("subintervals = " + std::to_string(sub) + ";");
    if (!method.AutoAccuracy) {
        out.push_back("automatic accuracy = no;");
        return;
    }
    out.push_back("automatic accuracy = yes;");
    out.push_back("accuracy figures = " + std::to_string(accuracy.Figures) + ";");
    out.push_back("accuracy percent = " + std::to_string(accuracy.Percent) + ";");
    char buf[64];
    std::snprintf(buf, sizeof buf, "%8.1E", static_cast<double>(accuracy.MinSubinterval));
    out.push_back(std::string("minimum subinterval length = ") + buf + ";");
    out.push_back(accuracy.FailStop ? "minimum subinterval fails = stop;"
                                    : "minimum subinterval fails = continue;");
    out.push_back("accuracy criterion = " + criterionName(accuracy.Criterion) + ";");
}

}  // namespace vdln
