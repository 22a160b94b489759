#pragma once
/// Arithmetic of the spreadsheet programs: accumulating year-on-year
/// percentage changes and comparing two runs.

#include <optional>

namespace vdln::suite {

/// Cumulative change after a further year-on-year change v (both in
/// percent): 100*((1 + c/100)*(1 + v/100) - 1).
double accumulate(double cumulative, double yearOnYear);

/// Deviation of a policy value p from a comparison value c (both in
/// percent): 100*((1 + p/100)/(1 + c/100) - 1); nullopt when 1 + c/100 is 0
/// or the result is not finite.
std::optional<double> deviation(double policy, double comparison);

}  // namespace vdln::suite
