#include "jobs/slotfolders.h"

#include <algorithm>
#include <filesystem>
#include <vector>

#include "base/besteffort.h"
#include "base/fileutil.h"
#include "base/paths.h"
#include "base/strutil.h"
#include "base/textfile.h"
#include "cmf/cmfreader.h"
#include "cmf/cmfwriter.h"
#include "model/filenames.h"
#include "model/modelsel.h"
#include "model/simgrid.h"

namespace vdln {

std::string SlotFolders::dir(int slot) const {
    if (slot <= 1) return m_rec.WorkDir;
    return JoinPath(m_tempDir, "simdir" + std::to_string(slot));
}

Status SlotFolders::CopySimFilesToDir(SimFileSet set, int run, int year, bool onlyExisting,
                                      const std::string& dir, int firstPolicyYear) const {
    std::vector<std::string> files;
    const bool all = set == SimFileSet::All;
    const bool noRerun = m_settings.NoRerun;
    if (all || set == SimFileSet::Model) {
        const std::string model = m_settings.model.Model;
        for (const char* ext : {".axs", ".axt", ".gss", ".gst"}) {
            std::string f = changeExt(model, ext);
            if (fileExists(f)) files.push_back(f);
        }
    }
    if (all || set == SimFileSet::DataInputs) {
        if (year <= 1) {
            for (const auto& line : m_settings.model.FirstYearList) {
                const FirstYearLineParts parts = parseFirstYearLine(line);
                if (parts.valid && !parts.unset())
                    files.push_back(UserFilePath(m_rec.WorkDir, parts.actualPath()));
            }
        } else {
            for (int f = 1; f <= m_rec.NumFiles; ++f) {
                if (!m_rec.Files[f].IsInput) continue;
                auto res = ResolveLogicalFile(m_rec, year, run, run == 1 ? 1 : firstPolicyYear, noRerun, f,
                                              m_settings.model.FirstYearList);
                if (res && !res->name.empty()) files.push_back(ResolvePath(m_rec.WorkDir, res->name));
            }
        }
    }
    if (set == SimFileSet::UpdatedInputs) {
        for (int f = 1; f <= m_rec.NumFiles; ++f) {
            const auto& F = m_rec.Files[f];
            if (F.IsInput && F.IsUpdated)
                files.push_back(JoinPath(m_rec.WorkDir, DataFileName(m_rec, year, run, noRerun, f)));
        }
    }
    auto gridFiles = [&](int row, std::initializer_list<int> cols) {
        for (int col : cols) {
            const std::string stem = m_rec.GridStem(row, col);
            if (stem.empty() || stem == "?" || stem == "N/A") continue;
            std::string f = UserFilePath(m_rec.WorkDir, m_rec.GridFile(row, col));
            files.push_back(f);
            std::vector<std::string> parts;
            // `f` is a full path: the constituents are listed from its own
            // folder (the first entry is the file itself).
            if (fileExists(f) && ListConstituents(dirOf(f), nameOf(f), parts))
                for (size_t k = 1; k < parts.size(); ++k)
                    files.push_back(ResolvePath(m_rec.WorkDir, parts[k]));
        }
    };
    if (all || set == SimFileSet::CmfBits) {
        // The Base reads the Base columns, runs 2 and 3 the policy ones; the
        // policy also reads the year's extra shock files.
        const bool base = run == 1;
        gridFiles(0, base ? std::initializer_list<int>{1, 2} : std::initializer_list<int>{3, 4});
        if (year >= 1 && year <= m_rec.NumYears)
            gridFiles(year, base ? std::initializer_list<int>{1, 2} : std::initializer_list<int>{3, 4});
    }
    if (all || set == SimFileSet::CmfStart) gridFiles(-1, {1, 2, 3, 4});
    for (size_t k = 0; k < files.size(); ++k) {
        const std::string& f = files[k];
        if (!fileExists(f)) {
            if (onlyExisting) continue;
            return Status::fail("[CopySimFilesToDir]: File " + f +
                                " does not exist. [k=" + std::to_string(k + 1) + "]");
        }
        if (Status s = copyFile(f, JoinPath(dir, nameOf(f)), true); !s)
            return Status::fail(s.message() + " [CopySimFilesToDir]");
    }
    return Status::ok();
}

Status SlotFolders::prepare(int slot, const TBigJobDetails& job, int firstPolicyYear) const {
    const std::string folder = dir(slot);
    if (!m_settings.DeveloperMode && folder.size() > 8 && !iequals(folder, m_programDir) &&
        directoryExists(folder)) {
        for (const auto& e : std::filesystem::directory_iterator(folder))
            if (e.is_regular_file())
                bestEffort(deleteFile(e.path().string()),
                           "old files of the slot folder; the files the part needs are copied over them");
    }
    if (!makeDirectories(folder)) return Status::fail("Cannot create directory " + folder);
    auto copy = [&](SimFileSet set, int run, int year, bool onlyExisting) {
        return CopySimFilesToDir(set, run, year, onlyExisting, folder, firstPolicyYear);
    };
    if (Status s = copy(SimFileSet::Model, 1, 1, true); !s) return s;
    if (Status s = copy(SimFileSet::DataInputs, 1, 1, false); !s) return s;
    for (int r = 1; r <= 3; ++r) {
        if (!job.DoSims[r]) continue;
        // A later start reads data an earlier year wrote; when this job
        // writes it, it arrives with the updated inputs after that year.
        if (job.FirstSimYear[r] > 1)
            if (Status s = copy(SimFileSet::DataInputs, r, job.FirstSimYear[r], true); !s) return s;
        for (int i = job.FirstSimYear[r]; i <= job.LastSimYear[r]; ++i) {
            if (Status s = copy(SimFileSet::CmfBits, r, i, false); !s) return s;
            if (Status s = copy(SimFileSet::CmfStart, r, i, true); !s) return s;
        }
    }
    if (!m_settings.ResultsMapFile.empty() && fileExists(m_settings.ResultsMapFile)) {
        const std::string copyName = JoinPath(folder, nameOf(m_settings.ResultsMapFile));
        bestEffort(deleteFile(copyName), "the copy below replaces it; its failure is reported");
        if (!copyFile(m_settings.ResultsMapFile, copyName, true))
            return Status::fail("Cound not create " + copyName);
    }
    return Status::ok();
}

void SlotFolders::copyUpdatedInputs(const TBigJobDetails& job, int run, int year, int firstPolicyYear) const {
    for (int s = std::max(2, job.FirstSlot); s <= job.LastSlot; ++s)
        bestEffort(CopySimFilesToDir(SimFileSet::UpdatedInputs, run, year, true, dir(s), firstPolicyYear),
                   "a later part that needs a file that is not there stops with its own message");
}

Status SlotFolders::copySolShocks(int slot, int year, int maxConcurrent, std::string& botFile,
                                  Dialogs& dialogs) const {
    if (!m_settings.SolFileShocks || slot <= 1 || maxConcurrent < 2) return Status::ok();
    const std::string rsl = BotResultsFile(m_rec, year, m_settings.NoRerun);
    const std::string copy = JoinPath(dir(slot), nameOf(rsl));
    bestEffort(deleteFile(copy), "the copy below replaces it; its failure is reported");
    if (!copyFile(rsl, copy, false)) {
        const std::string text = "Error copying SOL File for Policy shocks to SimDir2";
        dialogs.message(MsgKind::Error, internalErrorText(text), BtnOk);
        return Status::fail(text);
    }
    auto text = readWholeFile(botFile);
    const std::string edited = JoinPath(m_tempDir, nameOf(botFile));
    Status st = text ? Status::ok() : Status::fail(text.message());
    if (st) {
        std::string body = *text;
        const std::string from = "\"" + rsl + "\"", to = "\"" + copy + "\"";
        for (size_t pos = 0; (pos = body.find(from, pos)) != std::string::npos; pos += to.size())
            body.replace(pos, from.size(), to);
        st = writeFileAtomic(edited, body, false);
    }
    if (!st) {
        const std::string message = "Error copying and editing BOT File";
        dialogs.message(MsgKind::Error, internalErrorText(message), BtnOk);
        return Status::fail(message);
    }
    botFile = edited;
    return Status::ok();
}

}  // namespace vdln
