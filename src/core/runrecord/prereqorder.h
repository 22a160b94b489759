#pragma once
/// The sequence check made before a job: asking for a Base run from an
/// earlier year than a policy run would leave a year of that run out of
/// sequence with the Base it depends on.

#include <functional>
#include <string>

#include "plan/plan.h"

namespace vdln {

/// "simulation for year <Y> (year number <i>) of the <run name>"; "period"
/// instead of "year" when the application uses periods; a capital "S" when
/// `capital`.
std::string simDescription(int run, int yearIndex, const std::function<int(int)>& year, bool usesPeriods,
                           bool capital = false);

/// The message of the first run (2 then 3) whose simulations start after
/// the policy start while the Base's start earlier, or "" when the request
/// keeps every run in sequence.
std::string sequenceCheckMessage(const TBigJobDetails& job, int firstPolicyYear,
                                 const std::function<int(int)>& year, bool usesPeriods, bool noRerun);

}  // namespace vdln
