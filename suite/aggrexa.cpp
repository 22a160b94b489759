// aggrexa.exe: gathers per-year CSV tables into one table over the years,
// either year-on-year or cumulative ("acc"): percentage changes compound,
// ordinary changes of the solution's model add up.

#include <cmath>

#include "base/strutil.h"
#include "lib/accumulate.h"
#include "lib/resultfiles.h"
#include "lib/suiterun.h"

using namespace vdln;
using namespace vdln::suite;

int main(int argc, char** argv) {
    return runSuiteProgram(argc, argv, "aggrexa", [](SuiteRun& run, StoredInput& in) -> Status {
        auto options = readOptions(run, in, {"sub", "anf", "acc"});
        if (!options) return options.status();
        const bool cumulative = hasWord(options.value(), "acc");
        const bool notFatal = hasWord(options.value(), "anf");
        if (hasWord(options.value(), "sub"))
            run.log.line("These results have no subtotals; the cum column is used.");
        auto countText = nextNonBlank(in, "the number of files");
        if (!countText) return countText.status();
        auto count = parseInt(countText.value());
        if (!count || *count < 1 || *count > 999)
            return Status::fail("Malformed number of files \"" + countText.value() + "\" in stored input " +
                                in.path() + ".");
        auto sl4 = nextNonBlank(in, "the relevant SL4 file");
        if (!sl4) return sl4.status();
        auto names = nextNames(in, *count, "an input CSV file name");
        if (!names) return names.status();
        const std::vector<std::string>& inputs = names.value();
        auto output = nextNonBlank(in, "the output file name");
        if (!output) return output.status();

        // The solution file names the results the tables come from.
        auto sol = readNamedSolution(sl4.value());
        if (!sol) return sol.status();

        CsvTable out;
        for (const auto& name : inputs) {
            auto t = readCsvTable(name);
            if (!t) return t.status();
            if (out.columns.empty()) {
                out.rows = t->rows;
                out.values.assign(out.rows.size(), {});
            } else if (t->rows != out.rows) {
                return Status::fail("CSV file " + name + " does not have the same rows as " + inputs[0] +
                                    ".");
            }
            for (size_t c = 0; c < t->columns.size(); ++c) {
                out.columns.push_back(t->columns[c]);
                for (size_t r = 0; r < out.rows.size(); ++r) out.values[r].push_back(t->values[r][c]);
            }
        }
        if (cumulative) {
            for (size_t r = 0; r < out.rows.size(); ++r) {
                const bool ordinary = isOrdinaryChangeRow(*sol->desc, out.rows[r]);
                std::optional<double> cum = 0.0;
                for (auto& cell : out.values[r]) {
                    if (!cum || !cell) {
                        cum.reset();
                    } else {
                        const double next = ordinary ? *cum + *cell : accumulate(*cum, *cell);
                        if (std::isfinite(next))
                            cum = next;
                        else
                            cum.reset();
                    }
                    if (!cum && !notFatal)
                        return Status::fail("Arithmetic problem accumulating " + out.rows[r] +
                                            " (a missing or non-finite value).");
                    cell = cum;
                }
            }
        }
        Status s = writeCsvTable(output.value(), out);
        if (!s) return Status::fail("Cannot write output file " + output.value() + ": " + s.message());
        run.log.line(std::string("Written ") + (cumulative ? "cumulative" : "year-on-year") + " table " +
                     output.value() + " (" + std::to_string(out.columns.size()) + " years).");
        return Status::ok();
    });
}
