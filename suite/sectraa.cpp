// sectraa.exe: converts a solution file into SOL-format results (".sol",
// ".rsl"), per-year CSV tables, a BOT file of shock statements, or a Model
// Information file of the solution (".sli"); also checks the Temporary
// Directory.

#include <cstdio>

#include "base/fileutil.h"
#include "base/paths.h"
#include "base/strutil.h"
#include "lib/resultfiles.h"
#include "lib/suiterun.h"

using namespace vdln;
using namespace vdln::suite;

namespace {

enum class Output { Sol, Csv, Bot, SliSol };

/// One solution to convert.
struct Block {
    Output kind = Output::Sol;
    std::string solution;  // input ".sl4" (name as answered, with ".sl4" added when missing)
    bool useMap = false;
    std::string mapFile;    // with useMap: the SS map file
    std::string harMapOut;  // without useMap: the HA mapping file to create (may be empty)
    std::vector<std::string> outputs;
};

std::string withSl4(const std::string& name) {
    return iendsWith(name, ".sl4") ? name : name + ".sl4";
}

Result<Block> readBlock(StoredInput& in, const std::vector<std::string>& options) {
    Block b;
    const bool wsi = hasWord(options, "wsi"), sss = hasWord(options, "sss"), shk = hasWord(options, "shk");
    if (int(wsi) + int(sss) + int(shk) > 1)
        return Result<Block>::fail(
            "Only one of \"wsi\", \"sss\" and \"shk\" may be chosen for one solution.");
    b.kind = wsi ? Output::SliSol : sss ? Output::Csv : shk ? Output::Bot : Output::Sol;
    auto sol = nextNonBlank(in, "the solution file name");
    if (!sol) return sol.status();
    b.solution = withSl4(sol.value());
    auto col = in.next("the column answer");
    if (!col) return col.status();
    if (!col->empty() && !iequals(col.value(), "c"))
        return unexpectedAnswer(in, col.value(), "\"c\" or a blank line");
    auto map = in.next("the mapping answer");
    if (!map) return map.status();
    if (iequals(map.value(), "y")) {
        b.useMap = true;
        auto f = in.next("the SS map file name");
        if (!f) return f.status();
        if (f->empty()) return Result<Block>::fail("The SS map file name is blank.");
        b.mapFile = unquote(f.value());
    } else if (iequals(map.value(), "n") || map->empty()) {
        auto f = in.next("the name of the HA mapping file to create");
        if (!f) return f.status();
        b.harMapOut = unquote(f.value());
    } else {
        return unexpectedAnswer(in, map.value(), "\"y\" or \"n\"");
    }
    if ((b.kind == Output::Csv || b.kind == Output::Bot) && !b.useMap)
        return Result<Block>::fail(std::string("A ") + (b.kind == Output::Csv ? "CSV" : "BOT") +
                                   " file needs an SS map file (answer \"y\").");
    const int nOut = b.kind == Output::SliSol ? 2 : 1;
    for (int k = 0; k < nOut; ++k) {
        auto f = in.next("an output file name");
        if (!f) return f.status();
        if (f->empty())
            return Result<Block>::fail("An output file name is blank (line " +
                                       std::to_string(in.lineNumber()) + " of " + in.path() + ").");
        b.outputs.push_back(unquote(f.value()));
    }
    return b;
}

std::vector<std::string> botLines(const SolutionData& sol, const std::vector<int>& comps,
                                  const std::string& source) {
    const auto& kVarNames = sol.desc->varNames;
    std::vector<std::string> L;
    L.push_back("! Shocks from solution " + source + " (year " + std::to_string(sol.year) + ")");
    for (size_t k = 0; k < comps.size();) {
        const int c = comps[k];
        const int v = c / kNumInd;
        if (c % kNumInd == 0 && k + kNumInd <= comps.size() && comps[k + 1] == c + 1 &&
            comps[k + 2] == c + 2) {
            std::string line = "shock " + kVarNames[v] + " =";
            for (int i = 0; i < kNumInd; ++i) line += " " + formatReal(static_cast<float>(sol.values[c + i]));
            L.push_back(line + " ;");
            k += kNumInd;
        } else {
            L.push_back("shock " + kVarNames[v] + "(\"" + kIndustries[c % kNumInd] +
                        "\") = " + formatReal(static_cast<float>(sol.values[c])) + " ;");
            ++k;
        }
    }
    return L;
}

Status convert(SuiteRun& run, const Block& b) {
    auto found = existingInput(b.solution, "Solution file");
    if (!found) return found.status();
    auto sol = readSolutionFile(found.value());
    if (!sol) return sol.status();
    std::vector<int> comps;
    if (b.useMap) {
        auto m = readMapFile(*sol->desc, b.mapFile);
        if (!m) return m.status();
        comps = m.value();
    }
    run.log.line("Converting " + found.value() + " (year " + std::to_string(sol->year) + ")");
    switch (b.kind) {
        case Output::Csv: {
            CsvTable t;
            t.columns = {std::to_string(sol->year)};
            for (int c : comps) {
                t.rows.push_back(sol->desc->componentName(c));
                t.values.push_back({static_cast<double>(static_cast<float>(sol->values[c]))});
            }
            Status s = writeCsvTable(b.outputs[0], t);
            if (!s) return Status::fail("Cannot write CSV file " + b.outputs[0] + ": " + s.message());
            break;
        }
        case Output::Bot: {
            Status s = writeLinesAtomic(b.outputs[0], botLines(sol.value(), comps, found.value()));
            if (!s) return Status::fail("Cannot write BOT file " + b.outputs[0] + ": " + s.message());
            break;
        }
        case Output::Sol: {
            Status s = writePerYearResults(b.outputs[0], "sectraa", sol.value());
            if (!s) return Status::fail("Cannot write SOL file " + b.outputs[0] + ": " + s.message());
            break;
        }
        case Output::SliSol: {
            Status s =
                writeLinesAtomic(b.outputs[0], modelInformationLines(*sol->desc, sol->exogenous, false));
            if (!s) return Status::fail("Cannot write SLI file " + b.outputs[0] + ": " + s.message());
            s = writePerYearResults(b.outputs[1], "sectraa", sol.value());
            if (!s) {
                Status removed = deleteFile(b.outputs[0]);
                if (!removed) run.log.line("Could not remove " + b.outputs[0] + ": " + removed.message());
                return Status::fail("Cannot write SOL file " + b.outputs[1] + ": " + s.message());
            }
            break;
        }
    }
    if (!b.harMapOut.empty()) {
        std::vector<std::string> lines;
        lines.reserve(static_cast<size_t>(sol->desc->numVars()));
        for (int v = 0; v < sol->desc->numVars(); ++v)
            lines.push_back(variableHeaderName(v) + " " + sol->desc->varNames[v]);
        Status s = writeLinesAtomic(b.harMapOut, lines);
        if (!s) return Status::fail("Cannot write HA mapping file " + b.harMapOut + ": " + s.message());
    }
    for (const auto& o : b.outputs) run.log.line("Written " + o);
    return Status::ok();
}

Status temporaryDirectoryCheck(SuiteRun& run) {
    const std::string dir = dirOf(run.reportFile.empty() ? run.args.stiFile : run.reportFile);
    const std::string probe = JoinPath(dir.empty() ? "." : dir, "sectraa-tdcheck.tmp");
    Status s = writeFileAtomic(probe, "check\r\n");
    if (!s) return Status::fail("Cannot write a file in the Temporary Directory " + dir + ".");
    Status removed = deleteFile(probe);
    if (!removed)
        return Status::fail("Cannot remove the probe file " + probe + " from the Temporary Directory.");
    run.log.line("Temporary Directory " + dir + " can be written to.");
    return Status::ok();
}

}  // namespace

int main(int argc, char** argv) {
    return runSuiteProgram(argc, argv, "sectraa", [](SuiteRun& run, StoredInput& in) -> Status {
        const std::vector<std::string> allowed{"mor", "nlv", "sss", "wsi", "shk", "tdc"};
        std::vector<Block> blocks;
        bool first = true;
        while (true) {
            auto options = readOptions(run, in, allowed);
            if (!options) return options.status();
            if (first && (hasWord(options.value(), "tdc") || in.atEnd())) {
                if (in.atEnd() && !hasWord(options.value(), "tdc") && options->size() > 0)
                    return Status::fail("Stored input " + in.path() +
                                        " ended before the solution file name.");
                return temporaryDirectoryCheck(run);
            }
            first = false;
            auto b = readBlock(in, options.value());
            if (!b) return b.status();
            blocks.push_back(b.value());
            if (!hasWord(options.value(), "mor")) break;
        }
        while (!in.atEnd()) {
            auto rest = in.next("nothing");
            if (rest && !rest->empty())
                return unexpectedAnswer(in, rest.value(), "the end of the stored input");
        }
        for (const auto& b : blocks) {
            Status s = convert(run, b);
            if (!s) return s;
        }
        return Status::ok();
    });
}
