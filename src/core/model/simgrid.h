#pragma once
/// The closure/shock grid of `TSimRecord`: its state (`RefreshGrid`), its
/// edits, how its cells are shown, and the per-year closure, shock and
/// CMFSTART files it names.
///
/// Columns: 1 Base closure (".CLS"), 2 Base shocks (".BSH"), 3 Policy closure
/// (".CLS"), 4 Policy extra shocks (".PSH").  Rows: -1 CMFSTART (column 2 is
/// "N/A"; the other cells may name a file of any extension of at most 4
/// characters, kept in `CMFStartExt`), 0 Common, 1..NumYears the years.  A
/// stem of "?" means the Common row's file, an empty stem no file.
///
/// Grid names are user-supplied, so they are shown and stored upper-case and
/// found on disk through `UserFilePath` (see model/simrecord.h).

#include <optional>
#include <string>

#include "base/result.h"
#include "model/simrecord.h"

namespace vdln {

class Dialogs;

inline constexpr int kColBaseClosure = 1;
inline constexpr int kColBaseShocks = 2;
inline constexpr int kColPolicyClosure = 3;
inline constexpr int kColPolicyShocks = 4;

/// The extension of a grid column (".CLS", ".BSH", ".CLS", ".PSH"; "" outside 1..4).
std::string gridColumnExt(int col);
/// The run whose stem the column follows: 1 for columns 1 and 2, 3 for 3 and 4.
int gridColumnRun(int col);

/// The existing file for a user-supplied name: ResolvePath(dir, name) when
/// that file exists, else the single file of its folder whose name matches
/// without regard to letter case, else ResolvePath(dir, name) unchanged.
std::string UserFilePath(const std::string& dir, const std::string& name);
/// True when a user-supplied name exists in `dir` (letter case ignored as in
/// `UserFilePath`).
bool userFileExists(const std::string& dir, const std::string& name);

/// Recomputes `GridFile` and `GridOK` of rows -1..NumYears.
void RefreshGrid(TSimRecord& rec);

/// A rectangular selection of year rows (top..bottom, left..right).
struct GridSelection {
    int top = 1, left = 1, bottom = 1, right = 1;
};

/// Stores `text` upper-cased and cut to 9 characters; the "N/A" cell of the
/// CMFSTART row and cells outside rows -1..999 / columns 1..4 are left alone.
/// A name that cannot be part of a file name (a folder separator, "..", a
/// control character; see base/namecheck.h) is refused with its message and
/// the cell keeps its stem.  The markers "?", "" and "N/A" are no names.
[[nodiscard]] Status SetCell(TSimRecord& rec, int row, int col, const std::string& text);
/// The simulation name of run 1..3, as the Sim Overview edits it: stored
/// upper-cased and cut to 3 characters, then the grid is refreshed.  A name
/// that cannot be part of a file name is refused with its message ("The
/// simulation name of run <r> ...") and the old name is kept; a run outside
/// 1..3 fails too.
[[nodiscard]] Status SetSimName(TSimRecord& rec, int run, const std::string& name);
/// The cell becomes the short stem of the column's run for that year
/// (`SimNames[r]` + letter + `Years[row]`).  Only year rows 1..999.
void FollowPattern(TSimRecord& rec, int row, int col);
/// `FollowPattern` on every cell of a block of year rows.
void FollowPattern(TSimRecord& rec, const GridSelection& sel);
/// Changes the simulation name of `run` to `newName` (upper-cased, cut to 3
/// characters).  With `followPatterns` ("Use Patterns when Change Sim
/// Names") every year cell of the run's columns whose stem was the old name's
/// pattern for that year becomes the new name's; an old name that was empty
/// had no pattern, so nothing else changes then.  Returns the number of cells
/// renamed.
int ChangeSimName(TSimRecord& rec, int run, const std::string& newName, bool followPatterns);
/// The cell takes the stem of the row above; only rows 2..999 (the first
/// year row is left unchanged).
void AsPrevious(TSimRecord& rec, int row, int col);
/// `AsPrevious` on every cell of a block, top row first (so a block fills
/// down from the row above it).
void AsPrevious(TSimRecord& rec, const GridSelection& sel);
/// Stores "?" (use the Common row's file); only year rows 1..999.
void SetCommon(TSimRecord& rec, int row, int col);
/// Stores the empty stem (no file); not the "N/A" cell.
void SetNone(TSimRecord& rec, int row, int col);

/// Chooses the file of a grid cell.  When `chosenPath` is not given, the file
/// chooser is shown (titles "Closure File ", "Base Case Shocks File",
/// "Extra Shocks File", "CMFSTART File"; the column's extension, "*.*" in the
/// CMFSTART row; starting in `WorkDir`).  Refusals (information message, no
/// change, result false): "Suffix must be <ext>", "File must be in directory
/// <WorkDir>", "Name cannot have more than 9 characters.", "Suffix cannot
/// have more than 4 characters.".  Otherwise stores the stem (upper-cased)
/// and, in the CMFSTART row, the extension; true.
[[nodiscard]] bool SelectOne(TSimRecord& rec, int row, int col, Dialogs& dialogs,
                             std::optional<std::string> chosenPath = std::nullopt);

/// The text shown in a cell: "common" for "?", "none" for an empty stem,
/// "N/A" for "N/A", otherwise the file name (`GridFile`, upper case).
std::string GridCellText(const TSimRecord& rec, int row, int col);
/// Titles of screen row 0: "Part", "Base Closure", "Base Shocks",
/// "Policy Closure", "Policy Shocks" for columns 0..4.
std::string GridTitle(int col);
/// The "Pattern" row text of a column, e.g. "BS1BYYYY.CLS".
std::string GridPatternText(const TSimRecord& rec, int col);
/// The label of a data row: "CMFStart", "Common", or the year (followed by
/// "*" when the alternative method is used in that year).
std::string GridRowLabel(const TSimRecord& rec, int row);
/// Screen rows: two header rows, then CMFStart, Common and the years.
inline int gridDataRow(int screenRow) {
    return screenRow - 3;
}
inline int gridScreenRow(int dataRow) {
    return dataRow + 3;
}

// Per-year file queries; names are relative to `WorkDir`, "" when none.

/// Closure file of year i: column 1 for run 1, column 3 otherwise, stem
/// upper-cased + ".CLS"; "" for an empty or "?" stem.
std::string ClosureFileForYear(const TSimRecord& rec, int i, int run);
/// Base shocks of year i (column 2, ".BSH"); "" for an empty or "?" stem.
std::string ShockFileForYear(const TSimRecord& rec, int i);
/// Extra policy shocks of year i (column 4, ".PSH"); "" for an empty or "?" stem.
std::string ExtraShockFileForYear(const TSimRecord& rec, int i);
/// Common-row closure (column 1 for run 1, column 3 for runs 2 and 3) +
/// ".CLS", only when that file exists in `WorkDir`.
std::string CommonClosureFile(const TSimRecord& rec, int run);
/// Common-row shocks (column 2 for run 1, column 4 for run 3) with the
/// column's extension, only when the file exists; run 2 has none.
std::string CommonShockFile(const TSimRecord& rec, int run);
/// Full path of the CMFSTART-row file of a run (column 1, 3, 4 for runs 1,
/// 2, 3) in `WorkDir`; "" for an empty or "N/A" stem.  The path is that of
/// the existing file when only its letter case differs.
std::string CMFStartFile(const TSimRecord& rec, int run);

}  // namespace vdln
