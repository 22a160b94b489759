#pragma once
/// The release check of the model program: which suite release, program
/// version and Fortran compiler the model program was built with, where
/// that is kept (settings, the report of every model-program run), the
/// files of the checking job, the evaluation of its report and the rule
/// that refuses programs that are too old or built with an unsupported
/// compiler.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "base/dialogs.h"
#include "base/inifile.h"
#include "base/result.h"

namespace vdln {

/// Release, version and compiler of the model program.
struct TSVVersionInfo {
    bool ReleaseKnown = false;
    bool VersionKnown = false;
    bool CompilerKnown = false;
    std::int32_t Release = 0;  ///< suite release as a number, e.g. 70000 for 7.0
    std::int32_t Version = 0;  ///< the program's own version
    std::string Compiler;

    /// All flags off, numbers 0, compiler empty.
    void clear() { *this = TSVVersionInfo(); }
    bool operator==(const TSVVersionInfo&) const = default;
};

/// Reads a version record from a parsed INI-form file.  Section "Result"
/// (any case) is a suite report: keys "SVVer Large", "Release" (used only
/// when "SVVer Large" is not positive: its first digit times 10000),
/// "PRVer Integer" and "Fortran Compiler".  Any other section uses the
/// settings keys "Simulation Program SV Release", "Simulation Program
/// Version" and "Simulation Program Compiler".  Numbers are known when
/// positive, the compiler when not empty.  Never fails.
TSVVersionInfo ReadVersionInfo(const IniFile& file, std::string_view section);
/// As above for a file on disk; a file that cannot be read gives a record
/// with nothing known.
TSVVersionInfo ReadVersionInfo(const std::string& fileName, std::string_view section);

/// Writes the three "Simulation Program" keys into section "Environment";
/// unknown values are written as 0 (numbers) or empty (compiler).
void WriteVersionInfo(IniFile& settings, const TSVVersionInfo& info);

/// Why a record is refused.
enum class VersionVerdict { Accepted, CompilerRefused, CompilerUnknown, ReleaseRefused };

/// The acceptance rule: an unknown release is accepted; a release above
/// 69999 is accepted when the compiler is known and is not "f77l3" (any
/// case), refused when it is "f77l3" or not known; a release of 69999 or
/// lower is refused.
VersionVerdict versionVerdict(const TSVVersionInfo& info);

/// The refusal message for the model at `modelPath`; `interpreter` is true
/// for a model run by the suite's interpreter.
std::string versionRefusalText(VersionVerdict verdict, const std::string& modelPath, bool interpreter);

/// Applies the acceptance rule.  On refusal shows the refusal message
/// (error with Help), calls `clearModel` (which clears the model and brings
/// the Model/Data page to the front), then shows "The Model shown on the
/// Model/Data page has been cleared.\r\nPlease select a new model.".
[[nodiscard]] bool VersionAcceptable(const TSVVersionInfo& info, const std::string& modelPath,
                                     bool interpreter, Dialogs& dialogs,
                                     const std::function<void()>& clearModel);

/// The files of the checking job, all in the Temporary Directory.
struct ReleaseJobFiles {
    std::string sti;  ///< "chkmodel.sti"
    std::string bat;  ///< "chkmodel.bat" (POSIX sh lines)
    std::string rpt;  ///< "chkmodel.rpt", the expected report
    std::string log;  ///< "chkmodel.log"
    /// Arguments for launching the program directly: "-sti", the stored
    /// input, "-log", the log.
    std::vector<std::string> directArgs;
};

/// Writes the checking job's stored-input file ("rpt", the report path, a
/// line of one blank, "xxxxxx") and batch file (change to the directory,
/// then the program with "-sti" and "-log"), after deleting an existing
/// report.  Failure: the writer's message followed by
/// "[WriteReleaseJobBat]".
Result<ReleaseJobFiles> WriteReleaseJobFiles(const std::string& tempDir, const std::string& program);

/// The message shown when a program left no report file (with the program
/// named when `program` is not empty).  `afterFewSeconds` inserts
/// " after a few seconds" before the full stop.
std::string missingReportText(const std::string& report, const std::string& program,
                              bool afterFewSeconds = false);

/// The outcome of a finished checking job.
struct ReleaseJobResult {
    TSVVersionInfo info;  ///< nothing known when the report is missing
    bool reportFound = false;
    bool dateProblem = false;  ///< the report named an "E-AX"/"E-PG" date problem
};

/// Evaluates a finished checking job: reads the version record from the
/// report's "Result" section; a "Status" of "error" whose "Error" names
/// "E-AX date problem" or "E-PG date problem" shows the matching error;
/// a missing report shows the missing-report message for the program.
ReleaseJobResult EvaluateReleaseJob(const ReleaseJobFiles& files, const std::string& program,
                                    Dialogs& dialogs);

}  // namespace vdln
