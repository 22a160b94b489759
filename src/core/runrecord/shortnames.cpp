#include "runrecord/shortnames.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "base/fileutil.h"
#include "base/paths.h"
#include "base/strutil.h"
#include "cmf/cmfreader.h"
#include "model/filenames.h"
#include "model/simgrid.h"

namespace vdln {

const char* const kShortNameInternalProblem =
    "Sorry, internal program problem.\r\n"
    "File not found in routine CheckShortNamesDataCMFBits.\r\n"
    "Please tell the developers of this program.\r\n"
    "[But you can continue running this program.]";

std::string shortNameClashText(const std::string& shortName, const std::string& file) {
    return std::string("File with short name ") + "\"" + shortName + "\"" + " is used" + "\r\n" +
           " as a data file (Model/Data page)" + "\r\n" + "and in file " + file +
           " on the Closure/Shocks page." + "\r\n" + "Sorry, but this is not allowed." + "\r\n" +
           "Please change this.";
}

namespace {

// The closure and shock files the job's simulations read (names relative to
// `WorkDir` as on the Closure/Shocks page), without duplicates.
std::vector<std::string> jobClosureAndShockFiles(const RunRecordEnv& env, const TBigJobDetails& job) {
    const TSimRecord& sim = env.sim;
    std::vector<std::string> out;
    auto add = [&](const std::string& name) {
        if (name.empty()) return;
        if (std::none_of(out.begin(), out.end(), [&](const std::string& o) { return iequals(o, name); }))
            out.push_back(name);
    };
    for (int r = 1; r <= 3; ++r) {
        if (r == 2 && env.noRerun) continue;
        if (!job.DoSims[r]) continue;
        for (int i = std::max(job.FirstSimYear[r], 1);
             i <= std::min({job.LastSimYear[r], sim.NumYears, kMaxYears}); ++i) {
            add(CommonClosureFile(sim, r));
            add(ClosureFileForYear(sim, i, r));
            if (r == 1) {
                add(CommonShockFile(sim, 1));
                add(ShockFileForYear(sim, i));
            } else if (r == 3) {
                add(CommonShockFile(sim, 3));
                add(ExtraShockFileForYear(sim, i));
            }
        }
    }
    return out;
}

// The short names of the first-year data files of the Model/Data page.
std::vector<std::string> dataShortNames(const RunRecordEnv& env) {
    const TSimRecord& sim = env.sim;
    std::vector<std::string> out;
    for (int k = 1; k <= std::min(sim.NumFiles, kMaxUserFiles); ++k) {
        const TSimFileEntry& f = sim.Files[k];
        if (f.Usage != kUsageUpdatedInput && f.Usage != kUsageLaggedInput && f.Usage != kUsageConstantInput)
            continue;
        auto file = firstYearFileFor(env.firstYearList, f.Name.str());
        if (!file || file->empty()) continue;
        const std::string shortName = nameOf(*file);
        if (!shortName.empty()) out.push_back(shortName);
    }
    return out;
}

}  // namespace

ShortNameOutcome CheckShortNamesDataCMFBits(const RunRecordEnv& env, const TBigJobDetails& job,
                                            Dialogs& dialogs) {
    const std::vector<std::string> data = dataShortNames(env);
    if (data.empty()) return {};
    bool internalShown = false;
    for (const std::string& name : jobClosureAndShockFiles(env, job)) {
        const std::string file = UserFilePath(env.sim.WorkDir, name);
        TOpenCMFFile cmf;
        if (!fileExists(file) || !cmf.OpenCMF(file)) {
            // The essential-input check found every one of these files, so
            // this is the program's own inconsistency: say so once and go on.
            if (!internalShown) dialogs.message(MsgKind::Error, kShortNameInternalProblem, BtnOk);
            internalShown = true;
            continue;
        }
        const std::vector<ReferredFile> referred = referredFiles(cmf);
        cmf.CloseCMF();
        for (const ReferredFile& ref : referred) {
            const std::string used = unquoteCmf(ref.name);
            // Only a bare name is a short name: a name with a folder is
            // never equal to one.
            if (used.empty()) continue;
            for (const std::string& d : data) {
                if (!iequals(used, d)) continue;
                const std::string text = shortNameClashText(d, file);
                dialogs.message(MsgKind::Error, text, BtnOk);
                return {false, text};
            }
        }
    }
    return {};
}

}  // namespace vdln
