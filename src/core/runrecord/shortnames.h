#pragma once
/// A data file of the Model/Data page must not also be named, by its short
/// name (no folder), in a closure or shock file of the job: the job gives
/// the model its data files under their own logical names, and a closure or
/// shock file reading the same file by that short name would read whichever
/// version lies in the folder the program runs in.

#include <string>

#include "base/dialogs.h"
#include "plan/plan.h"
#include "runrecord/runrecord.h"

namespace vdln {

/// What the short-name check found.
struct ShortNameOutcome {
    bool ok = true;       ///< false: the job must not start
    std::string problem;  ///< the message shown when not ok
};

/// Checks the closure and shock files of the job's simulations against the
/// first-year data files.  A clash is shown as an error and stops the job.
/// A closure or shock file that cannot be found or read is an internal
/// problem: "Sorry, internal program problem. ..." is shown and the job may
/// still go ahead.
ShortNameOutcome CheckShortNamesDataCMFBits(const RunRecordEnv& env, const TBigJobDetails& job,
                                            Dialogs& dialogs);

/// The clash message for short name `shortName` and closure or shock file `file`.
std::string shortNameClashText(const std::string& shortName, const std::string& file);

/// The message of an internal failure to find a file.
extern const char* const kShortNameInternalProblem;

}  // namespace vdln
