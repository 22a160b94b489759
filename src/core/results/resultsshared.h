#pragma once
/// Helpers the Results page operations share: the comparison of a file with
/// the record of the last successful run, and the files of a folder that
/// match a name pattern.

#include <string>
#include <vector>

#include "runrecord/recordfiles.h"

namespace vdln {

/// How a file compares with the record of runs.
enum class RecordCheck { Same, Differs, NoRecord };

/// Compares `file` with the stamp the record keeps under `section`/`key`
/// (the name too when `checkName`).  `NoRecord` when the record-of-runs file
/// does not exist; a record that has no stamp for the file counts as
/// `Differs`.
RecordCheck checkAgainstRecord(const RunRecordView& view, const std::string& section, const std::string& key,
                               const std::string& file, const std::string& verb, bool checkName);

/// "*" and "?" match without regard to letter case.
bool namePatternMatch(const std::string& pattern, const std::string& name);
/// The regular files of `pattern`'s folder whose names match its name part,
/// sorted.
std::vector<std::string> filesMatching(const std::string& pattern);

}  // namespace vdln
