// diveroa.exe: deviations of a policy run from its comparison run, from the
// two runs' year-on-year CSV tables.  Both are accumulated over the policy
// table's years (unless "nac": then the year-on-year values are compared),
// and each cell is 100*((1 + p/100)/(1 + c/100) - 1).  Ordinary changes of
// the solution's model (growthre's d_* variables) add up instead and their
// deviation is the difference p - c.

#include "base/strutil.h"
#include "lib/accumulate.h"
#include "lib/resultfiles.h"
#include "lib/suiterun.h"

using namespace vdln;
using namespace vdln::suite;

int main(int argc, char** argv) {
    return runSuiteProgram(argc, argv, "diveroa", [](SuiteRun& run, StoredInput& in) -> Status {
        auto options = readOptions(run, in, {"anf", "nac"}, "sol");
        if (!options) return options.status();
        const bool notFatal = hasWord(options.value(), "anf");
        const bool yearOnYear = hasWord(options.value(), "nac");
        auto sl4 = nextNonBlank(in, "the policy solution file");
        if (!sl4) return sl4.status();
        auto cmpName = nextNonBlank(in, "the comparison run's table");
        if (!cmpName) return cmpName.status();
        auto polName = nextNonBlank(in, "the policy run's table");
        if (!polName) return polName.status();
        auto output = nextNonBlank(in, "the output file name");
        if (!output) return output.status();

        auto sol = readNamedSolution(sl4.value());
        if (!sol) return sol.status();

        auto cmp = readCsvTable(cmpName.value());
        if (!cmp) return cmp.status();
        auto pol = readCsvTable(polName.value());
        if (!pol) return pol.status();
        CsvTable out;
        out.columns = pol->columns;
        out.rows = pol->rows;
        for (size_t r = 0; r < pol->rows.size(); ++r) {
            size_t cr = 0;
            while (cr < cmp->rows.size() && !iequals(cmp->rows[cr], pol->rows[r])) ++cr;
            if (cr == cmp->rows.size())
                return Status::fail("Row " + pol->rows[r] + " of " + polName.value() + " is missing from " +
                                    cmpName.value() + ".");
            const bool ordinary = isOrdinaryChangeRow(*sol->desc, pol->rows[r]);
            auto add = [&](double cum, double v) { return ordinary ? cum + v : accumulate(cum, v); };
            std::vector<std::optional<double>> row;
            std::optional<double> pCum = 0.0, cCum = 0.0;
            for (size_t c = 0; c < pol->columns.size(); ++c) {
                size_t cc = 0;
                while (cc < cmp->columns.size() && cmp->columns[cc] != pol->columns[c]) ++cc;
                if (cc == cmp->columns.size())
                    return Status::fail("Year " + pol->columns[c] + " of " + polName.value() +
                                        " is missing from " + cmpName.value() + ".");
                std::optional<double> p = pol->values[r][c];
                std::optional<double> q = cmp->values[cr][cc];
                if (!yearOnYear) {
                    pCum = (pCum && p) ? std::optional<double>(add(*pCum, *p)) : std::nullopt;
                    cCum = (cCum && q) ? std::optional<double>(add(*cCum, *q)) : std::nullopt;
                    p = pCum;
                    q = cCum;
                }
                std::optional<double> d;
                if (p && q) d = ordinary ? std::optional<double>(*p - *q) : deviation(*p, *q);
                if (!d && !notFatal)
                    return Status::fail("Arithmetic problem computing the deviation of " + pol->rows[r] +
                                        " in " + pol->columns[c] + ".");
                row.push_back(d);
            }
            out.values.push_back(row);
        }
        Status s = writeCsvTable(output.value(), out);
        if (!s) return Status::fail("Cannot write output file " + output.value() + ": " + s.message());
        run.log.line(std::string("Written ") + (yearOnYear ? "year-on-year" : "cumulative") + " deviations " +
                     output.value() + " (" + std::to_string(out.columns.size()) + " years).");
        return Status::ok();
    });
}
