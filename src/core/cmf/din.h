#pragma once
/// The Dynamic Information file (".din", beside the model's ".min"): a
/// short text in which the model's author says which logical files are
/// lagged or constant inputs, which file a lagged input lags, from which
/// file and runs an input is fed, and the key used in generated names.
///
/// One statement per line, in the command-file tokenizer's terms:
///
///     ! a comment
///     file EXTRA4 role lagged-input lagof EXTRA ;
///     file BASEDATA key BAS usage BASEDATA 1 2 3 ;
///
/// Words are compared without regard to letter case.  Text after ";" on the
/// same line is read as further attribute pairs of the same file.

#include <string>

#include "base/dialogs.h"
#include "base/result.h"
#include "model/simrecord.h"

namespace vdln {

/// Rebuilds `rec.Files` from `rec.ModelFiles` (each descriptor that is not
/// special becomes the next entry) and then applies the Dynamic Information
/// file `fileName` (a missing file is accepted: the table stays as built).
/// The first error stops reading and is shown as an error with Help:
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
