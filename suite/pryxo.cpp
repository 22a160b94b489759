// pryxo.exe: extracts the model source ("t") or the model compiler's stored
// input ("s") kept in the auxiliary table file (".axt").

#include "base/fileutil.h"
#include "base/paths.h"
#include "base/strutil.h"
#include "lib/harstore.h"
#include "lib/suiterun.h"

using namespace vdln;
using namespace vdln::suite;

int main(int argc, char** argv) {
    return runSuiteProgram(argc, argv, "pryxo", [](SuiteRun& run, StoredInput& in) -> Status {
        auto options = readOptions(run, in, {});
        if (!options) return options.status();
        auto what = nextNonBlank(in, "\"t\" (model source) or \"s\" (stored input)");
        if (!what) return what.status();
        const std::string w = toLower(what.value());
        if (w != "t" && w != "s") return unexpectedAnswer(in, what.value(), "\"t\" or \"s\"");
        auto axtName = nextNonBlank(in, "the auxiliary table file name");
        if (!axtName) return axtName.status();
        while (!in.atEnd()) {
            auto rest = in.next("nothing");
            if (rest && !rest->empty())
                return unexpectedAnswer(in, rest.value(), "the end of the stored input");
        }
        auto axt = existingInput(axtName.value(), "Auxiliary table file");
        if (!axt) return axt.status();
        auto hs = readHeaderFile(axt.value());
        if (!hs) return Status::fail("Cannot read auxiliary table file " + axt.value() + ": " + hs.message());
        const HeaderDef* name = findHeader(hs.value(), w == "t" ? "TABN" : "STIN");
        const HeaderDef* text = findHeader(hs.value(), w == "t" ? "TABF" : "STIF");
        const bool used =
            name && name->isStrings && !name->strings.empty() && !iequals(trim(name->strings[0]), "%none");
        const bool stored = used && text && text->isStrings;
        run.reportKeys.push_back({"Output file used", used ? "yes" : "no"});
        run.reportKeys.push_back({"Output file stored", stored ? "yes" : "no"});
        if (!stored) {
            run.log.line(std::string("The ") + (w == "t" ? "model source" : "stored input") +
                         (used ? " is not stored in " : " was not used for ") + axt.value() + ".");
            return Status::ok();
        }
        const std::string dir = dirOf(run.reportFile.empty() ? run.args.stiFile : run.reportFile);
        const std::string out = JoinPath(dir.empty() ? "." : dir, nameOf(trim(name->strings[0])));
        std::vector<std::string> lines;
        for (const auto& s : text->strings) lines.push_back(trimRight(s));
        Status s = writeLinesAtomic(out, lines);
        if (!s) return Status::fail("Cannot write " + out + ": " + s.message());
        run.reportKeys.push_back({"Output file", out});
        run.log.line("Extracted " + out);
        return Status::ok();
    });
}
