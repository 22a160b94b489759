#pragma once
/// The essential user inputs of a job, checked before it starts: the model
/// program and its companion files, the Model Information file, a closure
/// for every simulation, every named closure, shock and start file with the
/// files they draw in, and the results map file when spreadsheet jobs are
/// asked for.  Each missing input is reported with its own message and stops
/// the job.

#include <functional>
#include <string>

#include "base/dialogs.h"
#include "model/simrecord.h"
#include "plan/plan.h"

namespace vdln {

/// The inputs checked beside the record.
struct EssentialInputs {
    std::string modelProgram;  ///< the model program (or interpreter statement file)
    bool usesInterpreter = false;
    std::string modelInfoFile;   ///< the Model Information file
    std::string resultsMapFile;  ///< "Results Map File"
    bool noRerun = false;
    int firstPolicyYear = 1;
};

/// The first missing essential input of the job, as its message, or "" when
/// everything is there.  `usesPeriods` chooses "period" over "year".
/// `onYear` (when given) is told each year index before its files are
/// examined.
std::string missingEssentialInput(const TSimRecord& rec, const TBigJobDetails& job, const EssentialInputs& in,
                                  bool usesPeriods, Dialogs& dialogs,
                                  const std::function<void(int)>& onYear = {});

}  // namespace vdln
