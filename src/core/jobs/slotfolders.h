#pragma once
/// The folders the parts of a job run in and the copies of the files a
/// simulation reads that the secondary slots' folders are given.  Slot 1
/// runs in the Working Directory; slots 2 and 3 in "simdir2" and "simdir3"
/// of the Temporary Directory, which must hold every file their parts read.

#include <string>
#include <utility>

#include "base/dialogs.h"
#include "base/result.h"
#include "model/settings.h"
#include "model/simrecord.h"
#include "plan/plan.h"

namespace vdln {

class SlotFolders {
public:
    /// `rec` and `settings` are the engine's and must outlive this object.
    SlotFolders(const TSimRecord& rec, const ProgramSettings& settings, std::string tempDir,
                std::string programDir)
        : m_rec(rec),
          m_settings(settings),
          m_tempDir(std::move(tempDir)),
          m_programDir(std::move(programDir)) {}

    /// The folder slot `slot` runs in.
    std::string dir(int slot) const;

    /// Copies a set of the files a simulation reads into `dir`: "model"
    /// (the model's auxiliary files), "data inputs" (the data run `run`
    /// reads in `year`: the first-year data, or the updated data of the
    /// year before), "updated inputs" (the data `year` of `run` wrote),
    /// "cmfbits" (the closure and shock files of `run` in `year` with what
    /// they draw in), "cmfstart" (the start files) or "all".  A file that
    /// must be there and is not stops the copy, unless `onlyExisting`.
    Status CopySimFilesToDir(SimFileSet set, int run, int year, bool onlyExisting, const std::string& dir,
                             int firstPolicyYear) const;

    /// Makes a secondary slot's folder ready for a job: removes the files
    /// an earlier job left (not in developer mode, and never in the
    /// programs' own folder), then copies the model's auxiliary files, the
    /// first-year data, the data of each run that starts after the first
    /// year, the closure, shock and start files of every run and simulated
    /// year, and the results map file.
    Status prepare(int slot, const TBigJobDetails& job, int firstPolicyYear) const;

    /// After the model program of `year` of `run` ended: the data it wrote
    /// go to every secondary slot of the job, for the next year's parts.
    void copyUpdatedInputs(const TBigJobDetails& job, int run, int year, int firstPolicyYear) const;

    /// With SOL files for shocks the BOT file names the year's SOL-format
    /// results by their path in the Working Directory.  A policy sim in a
    /// secondary slot reads a copy in its own folder, through an edited
    /// copy of the BOT file in the Temporary Directory, which then becomes
    /// `botFile`.  Failures are shown through `dialogs`.
    Status copySolShocks(int slot, int year, int maxConcurrent, std::string& botFile, Dialogs& dialogs) const;

private:
    const TSimRecord& m_rec;
    const ProgramSettings& m_settings;
    std::string m_tempDir;
    std::string m_programDir;
};

}  // namespace vdln
