// tellura.exe: reads an environment file (the closure of a model run) and
// writes either a results map of its exogenous variables or a BOT file of
// shock statements that read the exogenous values from a SOL-format file.

#include "base/fileutil.h"
#include "base/strutil.h"
#include "lib/resultfiles.h"
#include "lib/suiterun.h"

using namespace vdln;
using namespace vdln::suite;

namespace {

Status readJustExogenous(StoredInput& in) {
    if (in.atEnd()) return Status::ok();  // the default: just the exogenous variables
    auto a = in.next("the variables answer");
    if (!a) return a.status();
    if (!a->empty() && !iequals(a.value(), "x"))
        return unexpectedAnswer(in, a.value(), "\"x\" (just exogenous)");
    while (!in.atEnd()) {
        auto rest = in.next("nothing");
        if (rest && !rest->empty()) return unexpectedAnswer(in, rest.value(), "the end of the stored input");
    }
    return Status::ok();
}

std::string quoted(const std::string& path) {
    return "\"" + path + "\"";
}

}  // namespace

int main(int argc, char** argv) {
    return runSuiteProgram(argc, argv, "tellura", [](SuiteRun& run, StoredInput& in) -> Status {
        auto options = readOptions(run, in, {});
        if (!options) return options.status();
        auto e = nextNonBlank(in, "\"e\" (environment file)");
        if (!e) return e.status();
        if (!iequals(e.value(), "e")) return unexpectedAnswer(in, e.value(), "\"e\" (environment file)");
        auto envName = nextNonBlank(in, "the environment file name");
        if (!envName) return envName.status();
        const std::string en4 =
            iendsWith(envName.value(), ".en4") ? envName.value() : envName.value() + ".en4";
        auto mode = nextNonBlank(in, "\"s\" (SS map) or \"b\" (BOT file)");
        if (!mode) return mode.status();
        const std::string m = toLower(mode.value());
        if (m != "s" && m != "b")
            return unexpectedAnswer(in, mode.value(), "\"s\" (SS map) or \"b\" (BOT file)");
        auto out = nextNonBlank(in, "the output file name");
        if (!out) return out.status();
        std::string rsl;
        if (m == "b") {
            auto r = nextNonBlank(in, "the SOL file to use");
            if (!r) return r.status();
            rsl = r.value();
        }
        Status tail = readJustExogenous(in);
        if (!tail) return tail;

        auto envFile = existingInput(en4, "Environment file");
        if (!envFile) return envFile.status();
        auto env = readEnvironmentFile(envFile.value());
        if (!env) return env.status();
        const ModelDescription& desc = *env->desc;
        const Flags& exo = env->exogenous;
        run.log.line("Environment file " + envFile.value() + " read.");

        if (m == "s") {
            Status s = writeExogenousMap(desc, out.value(), exo);
            if (!s) return Status::fail("Cannot write map file " + out.value() + ": " + s.message());
            run.log.line("Written map of the exogenous variables: " + out.value());
            return Status::ok();
        }
        auto rslFile = existingInput(rsl, "SOL file");
        if (!rslFile) return rslFile.status();
        auto results = readResults(rslFile.value());
        if (!results) return results.status();
        if (results->desc != &desc)
            return Status::fail("SOL file " + rsl + " holds results of model " + results->desc->name +
                                " but environment file " + envFile.value() + " is of model " + desc.name +
                                ".");
        if (results->years.size() != 1)
            return Status::fail("SOL file " + rsl + " holds " + std::to_string(results->years.size()) +
                                " years; shocks need the results of one year.");
        // Whole exogenous variables read their shocks from the SOL file (its
        // name exactly as given, in quotes); single components get values.
        std::vector<std::string> lines{"! Shocks from " + rsl};
        for (int v = 0; v < desc.numVars(); ++v) {
            int n = 0;
            for (int i = 0; i < kNumInd; ++i) n += exo[componentOf(v, i)] ? 1 : 0;
            if (n == kNumInd) {
                lines.push_back("shock " + desc.varNames[v] + " = file " + quoted(rsl) + " header \"" +
                                variableHeaderName(v) + "\" ;");
                continue;
            }
            for (int i = 0; i < kNumInd; ++i)
                if (exo[componentOf(v, i)])
                    lines.push_back("shock " + desc.varNames[v] + "(\"" + kIndustries[i] + "\") = " +
                                    formatReal(static_cast<float>(results->values[v][0][i])) + " ;");
        }
        const std::string bot = iendsWith(out.value(), ".bot") ? out.value() : out.value() + ".bot";
        Status s = writeLinesAtomic(bot, lines);
        if (!s) return Status::fail("Cannot write BOT file " + bot + ": " + s.message());
        run.log.line("Written BOT file " + bot);
        return Status::ok();
    });
}
