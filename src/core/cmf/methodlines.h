#pragma once
/// The command-file lines of a solution method (the values themselves and
/// their settings-file forms are in `model/solutionmethod.h`).

#include <string>
#include <vector>

#include "model/solutionmethod.h"

namespace vdln {

/// Appends the command-file lines of a method: "Method = ...;", the steps
/// line, the subintervals line and the accuracy lines.  Cannot fail.
void WriteMethodLines(const TSolutionMethod& method, const TAutoAccuracy& accuracy,
                      std::vector<std::string>& out);

}  // namespace vdln
