#pragma once
/// "xxfltime.xxx", stored in every inner archive: one file stamp per stored
/// file, sorted, without duplicates.  After extraction each file whose name
/// matches a stamp gets the stamp's last-write time back, so that the
/// still-ok checks see restored files as unchanged.

#include <string>
#include <vector>

#include "base/result.h"

namespace vdln {

inline constexpr const char* kStampsMemberName = "xxfltime.xxx";

/// The text of the stamps file for the given files (CR LF line ends).
std::string makeStampsText(const std::vector<std::string>& files);

/// Gives every file of `folder` named in a stamp (by the stamp name's file
/// part, without regard to letter case) the stamp's last-write time.
/// Returns how many files were touched; stamps of missing files and stamps
/// in the older form are skipped.
Result<int> applyStamps(const std::string& folder, const std::string& stampsText);

}  // namespace vdln
