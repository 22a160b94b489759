#pragma once
/// The contract between the program and the suite's console programs, in
/// one place for both sides: the program file names, the calling convention
/// (stored input after "-sti", the log after "-lon", "-log" or "-los", "%sti"
/// naming the log after the stored input), the answers of a stored-input
/// file, and the report file every program leaves (section "Result" with
/// "Status", "Error", "Log file" and the model program's version keys).

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/result.h"

namespace vdln {

/// Program files of the suite (kept with ".exe" on every platform).
inline constexpr const char* kSectraExe = "sectraa.exe";
inline constexpr const char* kTellurExe = "tellura.exe";
inline constexpr const char* kAggrexExe = "aggrexa.exe";
inline constexpr const char* kDiveroExe = "diveroa.exe";
inline constexpr const char* kMergixExe = "mergixa.exe";
inline constexpr const char* kPryxoExe = "pryxoa.exe";
/// The general interpreter and the viewers, as located by name.
inline constexpr const char* kCalvexName = "calvex";
inline constexpr const char* kOutlensName = "outlens";
inline constexpr const char* kGridlensName = "gridlens";

/// The file name of one of the six conversion programs ("sectra" gives
/// "sectraa.exe"); "" for any other name.
std::string suiteProgramFile(std::string_view name);

/// Keys of the report file.
inline constexpr const char* kReportSection = "Result";
inline constexpr const char* kReportStatus = "Status";
inline constexpr const char* kReportError = "Error";
inline constexpr const char* kReportLogFile = "Log file";
inline constexpr const char* kReportSvVerLarge = "SVVer Large";
inline constexpr const char* kReportRelease = "Release";
inline constexpr const char* kReportPrVerInteger = "PRVer Integer";
inline constexpr const char* kReportFortranCompiler = "Fortran Compiler";
inline constexpr const char* kReportOutputFileUsed = "Output file used";
inline constexpr const char* kReportOutputFileStored = "Output file stored";
inline constexpr const char* kReportOutputFile = "Output file";

/// The contents of a report file's "Result" section.
struct SuiteReport {
    std::string status;                     ///< "ok" or "error" (any case when read)
    std::string error;                      ///< the explanation of an error
    std::string logFile;                    ///< "Log file", "" when absent
    std::optional<long long> svVerLarge;    ///< "SVVer Large"
    std::string release;                    ///< "Release"
    std::optional<long long> prVerInteger;  ///< "PRVer Integer"
    std::string fortranCompiler;            ///< "Fortran Compiler"
    /// Further keys written by a program (for example "Output file"), in order.
    std::vector<std::pair<std::string, std::string>> extra;

    /// True when "Status" is "ok" in any letter case.
    bool ok() const;
};

/// Reads the "Result" section of a report file.  Fails with "Cannot open
/// file <path>" when it cannot be read.  Missing keys stay empty.
Result<SuiteReport> readSuiteReport(const std::string& path);
/// True when the report file exists and its "Status" is "ok" (any case).
bool reportSaysOk(const std::string& path);
/// Writes a report file (section "Result": "Status", then "Error" and
/// "Log file" when set, the version keys when set, then the extra keys),
/// replacing any earlier report atomically.  Failure: the writer's message.
Status writeSuiteReport(const std::string& path, const SuiteReport& report);

/// How a program is told where its log goes.
enum class LogOption { Lon, Log, Los };
/// The log name meaning "the stored-input name with extension .log".
inline constexpr const char* kLogNamedAfterSti = "%sti";

/// The option text: "-lon", "-log" or "-los".
std::string logOptionText(LogOption option);
/// The argument vector of a suite program: "-sti", the stored input, the log
/// option and the log file (or "%sti").
std::vector<std::string> suiteArguments(const std::string& stiFile, LogOption option,
                                        const std::string& logFile);
/// A name in double quotes when it contains a blank.
std::string quoteIfBlank(const std::string& name);
/// The parameters as one text, as the program shows and logs them:
/// " -sti " + stored input + " -lon " + log (names with blanks quoted).
std::string suiteParameterText(const std::string& stiFile, LogOption option, const std::string& logFile);

/// What a suite program was asked to do on its command line.
struct SuiteCall {
    std::string stiFile;
    std::string logFile;  ///< resolved: "%sti" gives the stored input with extension ".log"
    LogOption logOption = LogOption::Lon;
    bool hasLog = false;
};

/// Parses a suite program's arguments (without the program name).  Fails
/// with "Missing -sti option", "Option <opt> needs a file name" or
/// "Unknown option <arg>".
Result<SuiteCall> parseSuiteArguments(const std::vector<std::string>& args);

/// The answer on one stored-input line: the text before a comment (" !" or a
/// "!" starting the line), trimmed.  A line of blanks is the empty answer.
std::string storedInputAnswer(std::string_view line);
/// Reads a stored-input file as its answers, one per line.  Failure: the
/// reader's message.
Result<std::vector<std::string>> readStoredInput(const std::string& path);

}  // namespace vdln
