// mergixa.exe: combines SOL-format results: "cml" accumulates per-year
// results into cumulative results over the years; "dif" computes the
// deviations of a policy run's cumulative results from its comparison run's.
// Percentage changes compound and deviate in percent; ordinary changes
// (growthre's d_* variables) add up and deviate as differences.

#include <cmath>
#include <optional>

#include "base/strutil.h"
#include "lib/accumulate.h"
#include "lib/resultfiles.h"
#include "lib/suiterun.h"

using namespace vdln;
using namespace vdln::suite;

namespace {

Result<MultiYearResults> readRsl(const std::string& name, const ModelDescription& desc) {
    auto f = existingInput(name, "Results file");
    if (!f) return f.status();
    auto r = readResults(f.value());
    if (!r) return r.status();
    if (r->desc != &desc)
        return Result<MultiYearResults>::fail("Results file " + name + " holds results of model " +
                                              r->desc->name + ", not of model " + desc.name +
                                              " of the solution file.");
    return r;
}

}  // namespace

int main(int argc, char** argv) {
    return runSuiteProgram(argc, argv, "mergixa", [](SuiteRun& run, StoredInput& in) -> Status {
        auto options = readOptions(run, in, {"anf", "cml", "dif"});
        if (!options) return options.status();
        const bool cml = hasWord(options.value(), "cml"), dif = hasWord(options.value(), "dif");
        const bool notFatal = hasWord(options.value(), "anf");
        if (cml == dif) return Status::fail("Exactly one of \"cml\" and \"dif\" must be chosen.");
        auto sl4 = nextNonBlank(in, "the relevant SL4 file");
        if (!sl4) return sl4.status();
        MultiYearResults out;
        std::string outName;
        if (cml) {
            auto countText = nextNonBlank(in, "the number of files");
            if (!countText) return countText.status();
            auto count = parseInt(countText.value());
            if (!count || *count < 1 || *count > 999)
                return Status::fail("Malformed number of files \"" + countText.value() +
                                    "\" in stored input " + in.path() + ".");
            auto names = nextNames(in, *count, "an input results file name");
            if (!names) return names.status();
            const std::vector<std::string>& inputs = names.value();
            auto o = nextNonBlank(in, "the output file name");
            if (!o) return o.status();
            outName = o.value();
            auto sol = readNamedSolution(sl4.value());
            if (!sol) return sol.status();
            const ModelDescription& desc = *sol->desc;
            const int kNumVars = desc.numVars();
            out.desc = &desc;
            out.values.assign(kNumVars, {});
            std::vector<std::array<double, kNumInd>> cum(kNumVars);
            for (auto& c : cum) c.fill(0);
            for (const auto& name : inputs) {
                auto r = readRsl(name, desc);
                if (!r) return r.status();
                if (r->years.size() != 1)
                    return Status::fail("Results file " + name + " holds several years; expected one year.");
                out.years.push_back(r->years[0]);
                for (int v = 0; v < kNumVars; ++v) {
                    for (int i = 0; i < kNumInd; ++i) {
                        const double next = desc.varTypes[v] == 'c'
                                                ? cum[v][i] + r->values[v][0][i]
                                                : accumulate(cum[v][i], r->values[v][0][i]);
                        if (!std::isfinite(next)) {
                            if (!notFatal)
                                return Status::fail("Arithmetic problem accumulating " +
                                                    desc.componentName(componentOf(v, i)) + ".");
                            cum[v][i] = 0;
                        } else {
                            cum[v][i] = next;
                        }
                    }
                    out.values[v].push_back(cum[v]);
                }
            }
        } else {
            auto cmpName = nextNonBlank(in, "the comparison run's results");
            if (!cmpName) return cmpName.status();
            auto polName = nextNonBlank(in, "the policy run's results");
            if (!polName) return polName.status();
            auto o = nextNonBlank(in, "the output file name");
            if (!o) return o.status();
            outName = o.value();
            auto sol = readNamedSolution(sl4.value());
            if (!sol) return sol.status();
            const ModelDescription& desc = *sol->desc;
            const int kNumVars = desc.numVars();
            out.desc = &desc;
            auto cmp = readRsl(cmpName.value(), desc);
            if (!cmp) return cmp.status();
            auto pol = readRsl(polName.value(), desc);
            if (!pol) return pol.status();
            out.years = pol->years;
            out.values.assign(kNumVars, {});
            for (size_t y = 0; y < pol->years.size(); ++y) {
                size_t cy = 0;
                while (cy < cmp->years.size() && cmp->years[cy] != pol->years[y]) ++cy;
                if (cy == cmp->years.size())
                    return Status::fail("Year " + std::to_string(pol->years[y]) + " of " + polName.value() +
                                        " is missing from " + cmpName.value() + ".");
                for (int v = 0; v < kNumVars; ++v) {
                    std::array<double, kNumInd> row{};
                    for (int i = 0; i < kNumInd; ++i) {
                        auto d = desc.varTypes[v] == 'c'
                                     ? std::optional<double>(pol->values[v][y][i] - cmp->values[v][cy][i])
                                     : deviation(pol->values[v][y][i], cmp->values[v][cy][i]);
                        if (!d && !notFatal)
                            return Status::fail("Arithmetic problem computing the deviation of " +
                                                desc.componentName(componentOf(v, i)) + ".");
                        row[i] = d.value_or(0);
                    }
                    out.values[v].push_back(row);
                }
            }
        }
        while (!in.atEnd()) {
            auto rest = in.next("nothing");
            if (rest && !rest->empty())
                return unexpectedAnswer(in, rest.value(), "the end of the stored input");
        }
        Status s = writeMultiYearResults(outName, "mergixa", out);
        if (!s) return Status::fail("Cannot write output file " + outName + ": " + s.message());
        run.log.line(std::string("Written ") + (cml ? "cumulative" : "deviation") + " results " + outName +
                     " (" + std::to_string(out.years.size()) + " years).");
        return Status::ok();
    });
}
