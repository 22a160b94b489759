#pragma once
/// The command file of one simulation (one year of one run) and the parts
/// other writers share with it: the file statements, the closure and shock
/// sections copied from the user's grid files, and the quoting of names.
///
/// The Base run gets a complete command file; the Rerun and the Policy run
/// get the top part (".top"), to which the job engine appends the year's
/// BOT file.  Every line ends with CR LF.

#include <string>
#include <string_view>
#include <vector>

#include "base/result.h"
#include "base/textfile.h"
#include "model/simrecord.h"
#include "model/solutionmethod.h"

namespace vdln {

/// `s` in double quotes when it contains a blank or "&" and is not already
/// enclosed in double quotes; otherwise `s`.
std::string QuoteCmf(std::string_view s);

/// A marker line: the text immediately followed by the name in double
/// quotes, e.g. `! Begin Common Closure file "BASE.CLS"`.
std::string markerLine(std::string_view text, std::string_view name);

/// Everything a simulation's command file depends on besides the record.
struct CmfRequest {
    std::string modelProgram;  ///< path of the model program
    int sim = 1;               ///< simulation index i (1..NumYears)
    int run = 1;               ///< run r (1..3)
    TSolutionMethod method;    ///< the method used in this year
    TAutoAccuracy accuracy;
    int policyStart = 1;  ///< first simulation of runs 2 and 3
    bool noRerun = false;
    /// The first-year data list: lines "file <logical> = <actual> ;".
    std::vector<std::string> firstYearList;
    /// Folder of the job files of runs 2 and 3 in a secondary job slot (their
    /// inputs are read there); empty in the first slot, where inputs are
    /// read where they are.
    std::string jobDir;
    bool writeUdc = false;          ///< write "UDC file = yes ;"
    bool reMode = false;            ///< rational-expectations mode
    bool useReNames = false;        ///< use the rational-expectations file names
    std::string reRorextName;       ///< the rational-expectations ROREXT file
    std::string reIterName;         ///< the rational-expectations ITER file
    std::string reExtraName;        ///< the rational-expectations EXTRA file
    bool extraPolicyShocks = true;  ///< include the extra policy shocks
    int suiteRelease = 0;           ///< release of the model program's suite (0: unknown)
};

/// The path `MakeCMF` writes: the command file of (i, r) for run 1, its top
/// part for runs 2 and 3.
std::string cmfOutputPath(const TSimRecord& rec, const CmfRequest& req);

/// Appends the "File <logical> = <actual> ; ! <role>" statements of every
/// user file for simulation i of run r (see `CmfRequest` for the
/// rational-expectations names and the job directory).  Inputs are resolved
/// with `ResolveLogicalFile`; output files get the generated name of this
/// simulation (`DataFileName`) in the Working Directory.  Fails when a file
/// cannot be resolved (" [ResolveLogicalFile]") or when no actual file is
/// known for an input ("No actual file for logical file <name>").
Status FileStatements(const TSimRecord& rec, const CmfRequest& req, int i, int r,
                      std::vector<std::string>& out);

/// Writes the closure of simulation i of run r (common, then
/// period-specific; i = 0 writes only the common one) and, with
/// `includeShocks`, the shocks: for run 3 with `extraPolicyShocks` the extra
/// policy shocks, then (with extra policy shocks or for runs 1 and 2) the
/// "Base Case Shocks" header, then for run 1 the common and period-specific
/// shocks with year slices.  A missing common file is left out; a missing
/// period-specific file fails.  Tag "[AddClosureShocksToCMF]".
Status AddClosureShocksToCMF(TxtFile& out, const TSimRecord& rec, int i, int r, bool includeShocks,
                             bool extraPolicyShocks);

/// Writes the command file of simulation `req.sim` of run `req.run` and
/// returns its path.  On any failure the file is closed and deleted and the
/// error text gets "[MakeCMF]" appended.
Result<std::string> MakeCMF(const TSimRecord& rec, const CmfRequest& req);

/// Copies a user file into an open output with the copying rule (characters
/// outside codes 33..126 written as blanks).  Messages of `TxtAppend2`.
Status copyUserFile(TxtFile& out, const std::string& path);

}  // namespace vdln
