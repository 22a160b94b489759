#pragma once
/// The simulation application record `TSimRecord`: the years and periods, the
/// three simulation names, the model's logical files and the user file
/// table, the closure/shock grid, the working directory, the file-naming
/// options and the alternative-method years.  One current record exists per
/// session; it is held by the caller (no globals) and passed by reference.
///
/// Run kinds: 1 Base ("B"), 2 Rerun ("R"), 3 Policy ("P").  Simulation index
/// i = 1..NumYears names a period, `Years[i]` its calendar year; index 0 is
/// the starting data and -1 the year before.
///
/// Letter case of file names on this (case-sensitive) file system:
///  - Names are built exactly as the program has always built them: names the
///    user supplies (grid files, first-year files, anything the resolver
///    returns for the starting data) are upper-cased, names the program
///    generates are lower-cased.  So the record, the details files and the
///    record of runs hold the same texts on every platform.
///  - Generated files are created by the program under their lower-case name,
///    so a generated name is used exactly as built.
///  - A user-supplied name is never assumed to exist in upper case: wherever
///    such a name becomes a path that is tested, opened or handed to a suite
///    program, it goes through `UserFilePath` (model/simgrid.h), which takes
///    the file as written when it exists and otherwise the single file of
///    its folder whose name matches without regard to letter case.
///  - Names taken from the first-year data list are kept as the user wrote
///    them (the list line is the user's own spelling of a path, which
///    upper-casing could only break); see `ResolveLogicalFile`.
///  - Only the name part of a generated path is lower-cased, never the
///    directory it is joined to.

#include <cstdint>
#include <string>

#include "base/result.h"
#include "model/shortstring.h"

namespace vdln {

class Dialogs;

/// A one-byte flag of the record.
using Flag = std::uint8_t;

// Limits of the record.
inline constexpr int kMaxUserFiles = 50;   ///< entries of `Files`
inline constexpr int kMaxModelFiles = 50;  ///< entries of `ModelFiles`
inline constexpr int kMaxYears = 999;      ///< simulations per run
inline constexpr int kMaxLastYear = 9999;  ///< calendar year of the last simulation
inline constexpr int kGridCMFStartRow = -1;
inline constexpr int kGridCommonRow = 0;
inline constexpr std::size_t kMaxGridStem = 9;
inline constexpr std::size_t kMaxCMFStartExt = 4;

/// Run numbers.
inline constexpr int kRunBase = 1;
inline constexpr int kRunRerun = 2;
inline constexpr int kRunPolicy = 3;
/// The run letters "BRP".
inline constexpr const char* kRunLetters = "BRP";
/// The letter of run 1..3 ('?' outside).
char runLetter(int run);
/// The run's name: "Base", "Rerun", "Policy".
std::string runName(int run);

/// `Usage` codes of a user file.
enum : int { kUsageOutput = 0, kUsageUpdatedInput = 1, kUsageLaggedInput = 2, kUsageConstantInput = 3 };
/// The role word of a usage code ("output", "updated input", "lagged input",
/// "constant input"); "" for an unknown code.
std::string usageWord(int usage);

/// One logical file as declared by the model.
struct TModelFileDesc {
    ShortString<20> Name;
    Flag IsInput = 0;
    Flag IsUpdated = 0;
    Flag IsSpecial = 0;  ///< the name begins with "("
    ShortString<3> Ext;
    ShortString<80> Description;
    bool operator==(const TModelFileDesc&) const = default;
};

/// Builds a descriptor from a declaration: the special pseudo-files
/// "(Equations)", "(Display)", "(Solution)" get "eq4", "dis", "sl4", other
/// names in brackets the three characters after "("; an ordinary name gets
/// its declared type cut to three characters.
TModelFileDesc makeModelFileDesc(const std::string& name, const std::string& type, bool isInput,
                                 bool isUpdated, const std::string& description = "");

/// One user (data) file of the model and how it passes from year to year.
struct TSimFileEntry {
    ShortString<20> Name;
    ShortString<3> FileType;  ///< "HAR" or "TXT"
    ShortString<3> Key;       ///< prefix of the generated file names
    Flag IsInput = 0;
    Flag IsUpdated = 0;
    ShortString<80> Description;
    int Usage = 0;
    int LagFile = 0;  ///< index in `Files` of the file this one lags (0: none)
    IndexedArray<int, 0, 3> InputUsage;
    bool operator==(const TSimFileEntry&) const = default;
};

/// The user-file entry n built from a model descriptor: key = first three
/// characters of the name, type "HAR" when the declared type begins with H
/// or h, usage 1/3/0 from input and updated, InputUsage = [n, 1, 2, 3].
TSimFileEntry makeSimFileEntry(const TModelFileDesc& desc, int n);

/// File-naming options.
struct TVardelonFileNames {
    bool LongNames = true;
    std::string Separator = "-";
    bool AppendRunLetter = true;
    bool AppendNextYear = true;
    bool operator==(const TVardelonFileNames&) const = default;
};

/// The application record.
struct TSimRecord {
    int NumYears = 0;
    int StartYear = 0;
    IndexedArray<ShortString<3>, 1, 3> SimNames;
    int NumModelFiles = 0;
    IndexedArray<TModelFileDesc, 1, kMaxModelFiles> ModelFiles;
    int NumFiles = 0;
    IndexedArray<TSimFileEntry, 1, kMaxUserFiles> Files;
    /// The grid as the user sees it: a stem, "?" (common), "" (none) or "N/A".
    GridArray<ShortString<9>> GridStem;
    IndexedArray<ShortString<4>, 1, 4> CMFStartExt;
    /// Upper-case file name of each cell (stem + extension).
    GridArray<ShortString<13>> GridFile;
    IndexedArray<Flag, 1, 3> Perform;
    std::string WorkDir;
    /// True when the cell names no file, the common file, or an existing file.
    GridArray<Flag> GridOK;
    IndexedArray<int, 1, kMaxYears> PeriodLength;
    IndexedArray<int, -1, kMaxYears> Years;
    TVardelonFileNames FileNaming;
    IndexedArray<Flag, 1, kMaxYears> AltMethodYears;
    Flag AltMethodInUse = 0;

    bool operator==(const TSimRecord&) const = default;
};

/// A record with every field zero or empty, 50 empty model descriptors,
/// long-name defaults {on, "-", on, on}, and `AltMethodYears[6]` and
/// `AltMethodInUse` set.
TSimRecord CreateSimRecord();

/// Resets a record to a new application: 4 years from 1998, the names
/// "BS1", "BR1", "PL1", the 14 sample model files with 11 user files, the
/// sample grid, all period lengths 1, no alternative-method years; `Years`
/// and the grid state are recomputed.
void InitSimRecord(TSimRecord& rec, const std::string& workDir);

/// Fills `Years` from `StartYear` and `PeriodLength`:
/// Years[-1] = StartYear-2, Years[0] = StartYear-1,
/// Years[i] = StartYear + (PeriodLength[1] + ... + PeriodLength[i]) - 1.
void ComputeYears(TSimRecord& rec);

/// The calendar year after simulation i: `Years[i + 1]`, and for the last
/// index (999) one year after `Years[999]`.
int yearAfter(const TSimRecord& rec, int i);

/// The check made before a job: a `NumYears` of 0 (or less) becomes 1, and
/// when the last simulated year (by `StartYear` + `NumYears` - 1 or by the
/// period lengths, whichever is later) is above 9999, "Please adjust Starting
/// Year and/or Number of Years on Sim Overview page so that ending year is at
/// most 9999." is shown and the result is false (the caller then shows the
/// Sim Overview page).  A `NumYears` above 999 (which the record cannot
/// hold) is brought down to 999 the same way.
[[nodiscard]] bool CheckLastYear(TSimRecord& rec, Dialogs& dialogs);

/// Checks the user file table.  Success when it is valid, else a failure
/// whose text is the first fault, for example "File BASEDATA: needs a proper
/// key" or "Files A and B have the same key" (no tag).
Status ValidateFileTable(const TSimRecord& rec);

/// The refusal of a policy request when no year has policy shocks.
inline constexpr const char* kNoPolicyShocksText = "Are no policy shocks, so nothing to do.";

/// The inputs of `ComputeFirstPolicyYear` that come from the Sim Overview
/// page.  `policyStartOffset` ("Policy run starts ... years before first
/// Policy shock") is changed when it has to be reset.
struct PolicyStartOptions {
    bool doingRE = false;
    int policyStartOffset = 0;
};

/// Computes the first simulation index from which runs 2 and 3 differ from
/// the Base into `firstPolicyYear` (held by the caller's session; 1 until
/// first computed).  `mode` is the run being prepared (1, 2, 3); `quiet`
/// suppresses the messages.  False when no model is loaded, when the
/// rational-expectations offset reaches before the first year (message and
/// reset of the offset to first - 1), or when a policy request finds no
/// policy shocks ("Are no policy shocks, so nothing to do.").
[[nodiscard]] bool ComputeFirstPolicyYear(const TSimRecord& rec, int mode, bool quiet, bool modelLoaded,
                                          PolicyStartOptions& options, int& firstPolicyYear,
                                          Dialogs& dialogs);

}  // namespace vdln
