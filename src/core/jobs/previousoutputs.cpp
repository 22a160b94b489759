#include "jobs/previousoutputs.h"

#include <algorithm>
#include <cstdio>

#include "base/besteffort.h"
#include "base/fileutil.h"
#include "base/paths.h"
#include "model/filenames.h"

namespace vdln {

namespace {
constexpr int kHelp = 1;
}

std::vector<std::string> PreviousOutputs::files() const {
    const TSimRecord& rec = m_sc.rec;
    const TBigJobDetails& job = m_sc.job;
    const bool noRerun = m_sc.noRerun;
    std::vector<std::string> outputs;
    for (int r = 1; r <= 3; ++r) {
        if (!job.DoSims[r]) continue;
        for (int i = std::max(job.FirstSimYear[r], m_sc.firstRunOf(r)); i <= job.LastSimYear[r]; ++i) {
            const std::string sol = SolutionFile(rec, i, r, noRerun);
            for (const char* ext : {".sl4", ".slc", ".udc", ".sol", ".sli"})
                outputs.push_back(changeExt(sol, ext));
            for (int f = 1; f <= rec.NumFiles; ++f) {
                const auto& F = rec.Files[f];
                if (F.IsInput && !F.IsUpdated) continue;
                outputs.push_back(JoinPath(rec.WorkDir, DataFileName(rec, i, r, noRerun, f)));
            }
        }
    }
    // The accumulated spreadsheet results each run's spreadsheet steps write.
    const int ssYear = rec.NumYears + 1;
    for (int r = 1; r <= 3; ++r) {
        if (!job.DoSS[r] && !job.DoPY[r]) continue;
        std::vector<StepChoice> parts;
        for (PartKind part : {PartKind::Yony, PartKind::Cum, PartKind::Py})
            parts.push_back({JobKind::Aggrex, part, r, ssYear});
        for (PartKind part : {PartKind::Cum, PartKind::Py})
            parts.push_back({JobKind::Cumsol, part, r, ssYear});
        if (r == 3 && job.DoDeviations)
            for (PartKind part : {PartKind::Yony, PartKind::Cum})
                parts.push_back({JobKind::Divero, part, r, ssYear});
        if (r == 3 && job.DoDeviations) parts.push_back({JobKind::Devsol, PartKind::Cum, r, ssYear});
        for (const auto& part : parts) {
            if (part.JobPart == PartKind::Py && !job.DoPY[r]) continue;
            if (part.JobPart != PartKind::Py && !job.DoSS[r]) continue;
            auto f = partFiles(m_sc, part, rec.WorkDir);
            if (f && !f->outputFile.empty() && dirOf(f->outputFile) == dirOf(JoinPath(rec.WorkDir, "x")))
                outputs.push_back(f->outputFile);
        }
    }
    return outputs;
}

Status PreviousOutputs::treat(Dialogs& dialogs) const {
    const std::string& workDir = m_sc.rec.WorkDir;
    const std::string resDir = JoinPath(workDir, "VDLNRes");
    const OutputsBeforeRun mode = m_settings.Outputs;
    bool haveResDir = mode != OutputsBeforeRun::Delete && makeDirectories(resDir);
    std::vector<std::string> locked;
    for (const auto& f : files()) {
        if (!fileExists(f)) continue;
        const std::string to = JoinPath(resDir, nameOf(f));
        if (mode == OutputsBeforeRun::Neither) {
            // Left in place; a file that cannot be moved away and back is
            // held by another program.
            if (!haveResDir || std::rename(f.c_str(), to.c_str()) != 0) {
                locked.push_back(f);
                continue;
            }
            if (std::rename(to.c_str(), f.c_str()) != 0)
                bestEffort(copyFile(to, f, true), "the file stays in \"VDLNRes\", where the user finds it");
            continue;
        }
        if (mode == OutputsBeforeRun::Move && haveResDir) {
            bestEffort(deleteFile(to), "an older moved copy; the move below replaces it");
            if (std::rename(f.c_str(), to.c_str()) != 0)
                bestEffort(
                    deleteFile(f),
                    "an output of the previous run; the part rewrites it and is judged by its new report");
        } else {
            bestEffort(deleteFile(f),
                       "an output of the previous run; the part rewrites it and is judged by its new report");
        }
        if (fileExists(f)) locked.push_back(f);
    }
    if (locked.empty()) return Status::ok();
    std::string text = "The following files in the Working Directory: " + workDir + "\r\n" +
                       " appear to be locked by another program (eg, Excel or Word)." + "\r\n" +
                       "This will probably cause an error running this job since" + "\r\n" +
                       " new versions of these files cannot be created." + "\r\n";
    for (const auto& f : locked) text += "  " + nameOf(f) + "\r\n";
    text +=
        "\r\n\r\nWe recommend that you cancel the job now in order\r\n to unlock these files.\r\nIs this "
        "what you wish to do?";
    if (dialogs.message(MsgKind::Error, text, BtnYes | BtnNo | BtnHelp, kHelp) == BtnYes)
        return Status::fail("Files in the Working Directory are locked.");
    return Status::ok();
}

}  // namespace vdln
