#pragma once
/// The accuracy summaries of the current application: what they need from
/// the simulation record and the solution-method settings.

#include "model/settings.h"
#include "model/simrecord.h"
#include "model/solutionmethod.h"
#include "results/accdialogs.h"

namespace vdln {

/// u, the number of updated data files: the user files whose usage is
/// "updated input", plus those whose usage is "lagged input" and that are
/// updated.
int NumUpdatedDataFiles(const TSimRecord& rec);

/// The settings the accuracy summaries are made with.
struct AccMethodSettings {
    TSolutionMethod method;     ///< the standard solution method
    TAutoAccuracy accuracy;     ///< its automatic-accuracy settings
    TSolutionMethod altMethod;  ///< the alternative method
};

/// Builds what the accuracy summaries need from the record: years, runs,
/// the first policy year, the number of solutions and subintervals of the
/// standard method, u, the years solved with an alternative method that
/// does not extrapolate from 3 solutions, and the simulation log of every
/// year of every run (names computed now, so the result does not refer to
/// the record).
AccApplication accApplicationFor(const TSimRecord& rec, bool noRerun, int firstPolicyYear,
                                 const AccMethodSettings& settings, int helpContext);

/// The same with the methods and the no-rerun mode of the program settings.
AccApplication accApplicationFor(const TSimRecord& rec, const ProgramSettings& settings, int firstPolicyYear,
                                 int helpContext);

}  // namespace vdln
