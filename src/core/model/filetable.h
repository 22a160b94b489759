#pragma once
/// The simulation record's table of logical files (`TSimRecord::Files`):
/// built from the model's file descriptors, then given the roles, lags,
/// usages and keys of the model's Dynamic Information file.

#include <string>

#include "base/dialogs.h"
#include "base/result.h"
#include "model/simrecord.h"

namespace vdln {

/// Rebuilds `rec.Files` from `rec.ModelFiles` (each descriptor that is not
/// special becomes the next entry) and then applies the Dynamic Information
/// file `fileName` (a missing file is accepted: the table stays as built).
/// The first error stops reading (what the statements before it said is
/// applied) and is shown as an error with Help:
/// "<error> in DIN file\r\n<file>\r\nUnable to process this DIN file.".
/// After the whole file, `ValidateFileTable` runs; a fault is shown as
/// "Problem with Model Information on DIN file\r\n<file>\r\n<fault>\r\nUse
/// menu item \"Edit Dynamic Info File\" under the File menu to fix the
/// problem.".  Either failure returns that text.  With `quiet` nothing is
/// shown.
Status ReadDinFile(const std::string& fileName, TSimRecord& rec, Dialogs& dialogs, bool quiet = false);

/// Rebuilds `rec.Files` from `rec.ModelFiles` without reading a DIN file.
void RebuildFilesFromModel(TSimRecord& rec);

}  // namespace vdln
