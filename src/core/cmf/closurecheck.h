#pragma once
/// Checks of the closure and shock files named in the closure/shock grid:
/// the file-existence checks of the grid cells and their referred files,
/// and the closure-check job, which writes a command file, a stored-input
/// file and a batch file that make the model program check one closure
/// (optionally with its shocks) without solving.

#include <optional>
#include <string>
#include <vector>

#include "base/dialogs.h"
#include "base/result.h"
#include "model/simrecord.h"

namespace vdln {

/// First and last simulation of each run (index 1..3; index 0 unused).
struct GridRunRanges {
    int first[4] = {0, 1, 1, 1};
    int last[4] = {0, 0, 0, 0};
};

/// Refreshes the grid, then checks every cell of the given columns and runs:
/// run 1 uses `firstColumn` .. min(`lastColumn`, 2); runs 2 and 3 columns
/// 1 .. `lastColumn` (run 2 stops at column 3 when `lastColumn` is 4); runs
/// whose first simulation is beyond `NumYears` are skipped.  A cell whose
/// file is missing gives "CMF file for year number <i> column <c> does not
/// exist."; a file whose referred files are missing (or not short names)
/// gives the messages of `CheckConstituents` and "Above refer to files
/// referred to in file\r\n<file>".  Then the CMFSTART files of those runs
/// (run 2 skipped in no-rerun mode) are checked the same way ("... in
/// CMFStart file\r\n<file>").  Messages are information boxes, left out when
/// `quiet`.  The check stops at the first failing cell; false when anything
/// failed.
[[nodiscard]] bool CheckGridFiles(TSimRecord& rec, int firstColumn, int lastColumn,
                                  const GridRunRanges& ranges, bool noRerun, bool quiet, Dialogs& dialogs);

/// The closure-check job of one grid cell.
struct ClosureCheckRequest {
    std::string jobKind = "oneclcheck";   ///< "oneclcheck" closure only, "oneshcheck" with shocks
    int sim = 1;                          ///< simulation index i
    int column = 1;                       ///< grid column c (3 and 4 are the Policy run's)
    std::string jobDir;                   ///< folder D of the job files
    std::string modelProgram;             ///< the model program
    std::optional<std::string> suiteDir;  ///< the suite directory value, when one is set
    std::vector<std::string> firstYearList;
    bool noRerun = false;
    std::string environmentFile;  ///< an environment file to save ("" for none)
};

/// The files of a closure-check job.
struct ClosureCheckFiles {
    std::string cmf;  ///< e.g. <D>/oneB2005.cmf
    std::string sti;
    std::string bat;  ///< the batch file to run (POSIX sh lines)
    std::string rpt;
    std::string log;
    std::string flg;  ///< written by the batch file when the program fails
};

/// Writes the command, stored-input and batch files of a closure check.  The
/// CMFSTART files are checked first; when one refers to a missing file the
/// messages are shown, then "At least one constituent of the CMFStart
/// file\r\n<file>\r\n does not exist.", and the result is a failure with that
/// text (already shown).  File errors fail with "[CheckClosureCMF]" appended
/// (not shown).
Result<ClosureCheckFiles> CheckClosureCMF(const TSimRecord& rec, const ClosureCheckRequest& req,
                                          Dialogs& dialogs);

/// The lines of the closure-check batch file (POSIX sh): set SVDIR when a
/// suite directory is given, change to the Working Directory, delete the old
/// report and log, write the placeholder log, run the program, and write the
/// ".flg" file when it fails.  Fails with "[ChangeDirBat]" when the Working
/// Directory is not an absolute path.
Result<std::vector<std::string>> closureCheckBatLines(const std::string& workDir,
                                                      const ClosureCheckFiles& files,
                                                      const std::string& program,
                                                      const std::optional<std::string>& suiteDir);

}  // namespace vdln
