#include "runrecord/prereqinputs.h"

#include <vector>

#include "base/fileutil.h"
#include "base/paths.h"
#include "cmf/cmfreader.h"
#include "model/simgrid.h"
#include "runrecord/prereqorder.h"

namespace vdln {

namespace {
const char* kImpossibleSims = "\r\nThis makes it IMPOSSIBLE to carry out any simulations.";
const char* kModelTail = "\r\nfor the Model (see the Model part of the Model/Data page) does not exist.";
}  // namespace

std::string missingEssentialInput(const TSimRecord& rec, const TBigJobDetails& job, const EssentialInputs& in,
                                  bool usesPeriods, Dialogs& dialogs,
                                  const std::function<void(int)>& onYear) {
    bool anySims = false, anySS = false;
    for (int r = 1; r <= 3; ++r) {
        if (r == 2 && in.noRerun) continue;
        anySims = anySims || job.DoSims[r];
        anySS = anySS || job.DoSS[r] || job.DoPY[r];
    }
    if (anySims) {
        if (!fileExists(in.modelProgram))
            return "The Model Lexor-generated EXE\r\n   " + in.modelProgram +
                   "\r\n(see the Model part of the Model/Data page) does not exist." + kImpossibleSims;
        const std::vector<std::string> exts = in.usesInterpreter ? std::vector<std::string>{".gss", ".gst"}
                                                                 : std::vector<std::string>{".axs", ".axt"};
        for (const std::string& ext : exts) {
            const std::string aux = changeExt(in.modelProgram, ext);
            if (!fileExists(aux))
                return std::string(in.usesInterpreter ? "The Calvex Auxiliary file\r\n   "
                                                      : "The Auxiliary file\r\n   ") +
                       aux + kModelTail + kImpossibleSims;
        }
        if (!in.modelInfoFile.empty() && !fileExists(in.modelInfoFile))
            return "The Model Information file\r\n   " + in.modelInfoFile + kModelTail + kImpossibleSims;
    }
    auto year = [&](int i) { return rec.Years[i]; };
    for (int i = 1; i <= rec.NumYears && i <= kMaxYears; ++i) {
        if (onYear) onYear(i);
        for (int r = 1; r <= 3; ++r) {
            if (r == 2 && in.noRerun) continue;
            if (!job.DoSims[r] || i < job.FirstSimYear[r] || i > job.LastSimYear[r]) continue;
            const std::string what = simDescription(r, i, year, usesPeriods);
            const int closureCol = r == 1 ? 1 : 3;
            const std::string common = rec.GridStem(0, closureCol);
            const std::string period = rec.GridStem(i, closureCol);
            const bool hasPeriod = !period.empty() && period != "?";
            if (common.empty() && !hasPeriod)
                return "No closure file (Common or period-specific) has been specified\r\n for the " + what +
                       "." + "\r\nThis makes it IMPOSSIBLE to carry out the " + what + ".";
            struct Named {
                const char* kind;
                int row, col;
            };
            std::vector<Named> named{{"CMFStart", -1, r == 1 ? 1 : (r == 2 ? 3 : 4)},
                                     {"Common closure", 0, closureCol},
                                     {"Period-specific closure", i, closureCol}};
            if (r == 1) {
                named.push_back({"Common shocks", 0, 2});
                named.push_back({"Period-specific shocks", i, 2});
            } else if (r == 3) {
                named.push_back({"Common shocks", 0, 4});
                named.push_back({"Period-specific shocks", i, 4});
            }
            for (const Named& n : named) {
                const std::string stem = rec.GridStem(n.row, n.col);
                if (stem.empty() || stem == "?" || stem == "N/A") continue;
                const std::string name = rec.GridFile(n.row, n.col);
                const std::string file = UserFilePath(rec.WorkDir, name);
                if (!fileExists(file))
                    return std::string(n.kind) + " file " + name +
                           " (see the Closure/Shocks page) does not exist." +
                           "\r\nThis makes it IMPOSSIBLE to carry out the " + what;
                std::vector<std::string> problems;
                if (!CheckConstituents(file, false, true, dialogs, &problems)) {
                    std::string text;
                    for (const auto& p : problems) text += p + "\r\n";
                    return text +
                           "Earlier messages about missing files are about files\r\n referred to in the " +
                           n.kind + " file" + "\r\n" + "   " + name + "  (see the Closure/Shocks page)." +
                           "\r\n" + "These missing files make it IMPOSSIBLE to carry out the " + "\r\n" +
                           "  " + what + ".";
                }
            }
        }
    }
    if (anySS) {
        const char* tail = "\r\nThis means that it is IMPOSSIBLE to run any spreadsheet jobs.";
        if (in.resultsMapFile.empty())
            return std::string(
                       "Name of Result Mapping file has not been specified - see the Sim Overview page.") +
                   tail;
        if (!fileExists(in.resultsMapFile))
            return "Result Mapping file\r\n  " + in.resultsMapFile +
                   "\r\n(see the Sim Overview page) does not exist." + tail;
    }
    return "";
}

}  // namespace vdln
