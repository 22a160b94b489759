#include "results/accapp.h"

#include <algorithm>
#include <memory>

#include "model/filenames.h"

namespace vdln {

int NumUpdatedDataFiles(const TSimRecord& rec) {
    int u = 0;
    int n = std::clamp(rec.NumFiles, 0, kMaxUserFiles);
    for (int f = 1; f <= n; ++f) {
        const TSimFileEntry& e = rec.Files[f];
        if (e.Usage == kUsageUpdatedInput || (e.Usage == kUsageLaggedInput && e.IsUpdated)) ++u;
    }
    return u;
}

AccApplication accApplicationFor(const TSimRecord& rec, bool noRerun, int firstPolicyYear,
                                 const AccMethodSettings& settings, int helpContext) {
    AccApplication app;
    app.numYears = std::clamp(rec.NumYears, 0, kMaxYears);
    for (int i = 0; i <= app.numYears; ++i) app.years.push_back(rec.Years[i]);
    app.noRerun = noRerun;
    app.firstPolicyYear = std::max(1, firstPolicyYear);
    app.numSolutions = settings.method.NSol;
    app.autoAccuracy = settings.method.AutoAccuracy;
    app.subintervals = app.autoAccuracy ? settings.accuracy.Subintervals : settings.method.Subintervals;
    app.numUpdated = NumUpdatedDataFiles(rec);
    app.altNoSummary.assign(static_cast<size_t>(app.numYears) + 1, false);
    if (rec.AltMethodInUse && settings.altMethod.NSol < 3)
        for (int i = 1; i <= app.numYears; ++i)
            app.altNoSummary[static_cast<size_t>(i)] = rec.AltMethodYears[i] != 0;
    // logs[(run - 1) * (numYears + 1) + i]
    auto logs = std::make_shared<std::vector<std::string>>();
    const size_t stride = static_cast<size_t>(app.numYears) + 1;
    logs->resize(3 * stride);
    for (int r = 1; r <= 3; ++r) {
        if (r == 2 && noRerun) continue;
        for (int i = 1; i <= app.numYears; ++i)
            (*logs)[static_cast<size_t>(r - 1) * stride + static_cast<size_t>(i)] =
                SimLogFile(rec, i, r, noRerun);
    }
    app.logFile = [logs, stride](int i, int run) -> std::string {
        if (run < 1 || run > 3 || i < 1 || static_cast<size_t>(i) >= stride) return {};
        return (*logs)[static_cast<size_t>(run - 1) * stride + static_cast<size_t>(i)];
    };
    app.helpContext = helpContext;
    return app;
}

AccApplication accApplicationFor(const TSimRecord& rec, const ProgramSettings& settings, int firstPolicyYear,
                                 int helpContext) {
    AccMethodSettings methods;
    methods.method = settings.Method;
    methods.accuracy = settings.Accuracy;
    methods.altMethod = settings.AltMethod;
    return accApplicationFor(rec, settings.NoRerun, firstPolicyYear, methods, helpContext);
}

}  // namespace vdln
