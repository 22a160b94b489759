#pragma once
/// The outputs an earlier run left in the Working Directory, dealt with at
/// the first launch of a job as the "Outputs Before Run" option says:
/// deleted, moved to "VDLNRes", or left in place.

#include <string>
#include <vector>

#include "base/dialogs.h"
#include "base/result.h"
#include "jobs/ssscripts.h"
#include "model/settings.h"

namespace vdln {

class PreviousOutputs {
public:
    /// `sc` describes the job about to run (its record, ranges and options).
    PreviousOutputs(const ScriptContext& sc, const ProgramSettings& settings)
        : m_sc(sc), m_settings(settings) {}

    /// The files the job's parts will write in the Working Directory: per
    /// simulated year the solution files and the updated data, per run with
    /// spreadsheets the accumulated results its spreadsheet steps write.
    std::vector<std::string> files() const;

    /// Deletes, moves or leaves the files that exist.  Files that stay
    /// locked are listed to the user, who may stop the job: then it fails.
    Status treat(Dialogs& dialogs) const;

private:
    const ScriptContext& m_sc;
    const ProgramSettings& m_settings;
};

}  // namespace vdln
