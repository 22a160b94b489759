#pragma once
/// What every program of the demonstration suite shares: its command line
/// ("-sti FILE" and a log option), the stored-input file it reads its answers
/// from, the log it writes as it goes, and the report file that tells the
/// caller whether it succeeded.

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/result.h"

namespace vdln::suite {

/// The command line of a suite program.
struct ProgramArgs {
    std::string stiFile;  ///< after "-sti"
    std::string logFile;  ///< after "-lon", "-log" or "-los" ("%sti" already resolved)
};

/// Reads "-sti FILE" and "-lon/-log/-los FILE"; "%sti" as the log name means
/// the stored-input name with extension ".log", and so does a missing log
/// option.  Fails on a missing "-sti", an option without its value or an
/// unknown option.
Result<ProgramArgs> parseProgramArgs(const std::vector<std::string>& args);

/// The answers of a stored-input file, one per line.  Text after "!" is a
/// comment; answers are trimmed, so a line holding one blank (or only a
/// comment) is the empty answer, meaning "the default".
class StoredInput {
public:
    /// Loads the file; fails when it cannot be read.
    static Result<StoredInput> load(const std::string& path);
    /// Builds from lines held in memory (used for tests of the readers).
    static StoredInput fromLines(std::string path, std::vector<std::string> lines);

    bool atEnd() const { return m_next >= m_lines.size(); }
    /// The next answer, or a failure naming `what` was expected when the file
    /// has ended.
    Result<std::string> next(const std::string& what);
    /// The next answer without consuming it (nullopt at the end).
    std::optional<std::string> peek() const;
    /// Line number (1-based) of the answer last returned.
    int lineNumber() const { return static_cast<int>(m_next); }
    const std::string& path() const { return m_path; }

private:
    std::string m_path;
    std::vector<std::string> m_lines;
    size_t m_next = 0;
};

/// The answer with its comment removed and trimmed.
std::string answerOf(const std::string& line);

/// The log of one program run: lines are written (CR LF) and flushed as they
/// come, so a crash of the caller still leaves what was logged.
class SuiteLog {
public:
    SuiteLog() = default;
    ~SuiteLog();
    SuiteLog(const SuiteLog&) = delete;
    SuiteLog& operator=(const SuiteLog&) = delete;
    /// Creates (truncates) the log file; a log that cannot be created is
    /// reported once and the run goes on without a log.
    bool open(const std::string& path);
    void line(const std::string& text);
    const std::string& path() const { return m_path; }
    bool isOpen() const { return m_file != nullptr; }

private:
    std::string m_path;
    std::FILE* m_file = nullptr;
};

/// One run of a suite program: its arguments, log and report.  The program's
/// body fills `reportFile` as soon as its stored input names it and may add
/// keys to the report.
struct SuiteRun {
    std::string programName;
    std::string programPath;  ///< the running executable
    ProgramArgs args;
    SuiteLog log;
    std::string reportFile;                                       ///< empty until the stored input names it
    std::vector<std::pair<std::string, std::string>> reportKeys;  ///< extra "[Result]" keys
};

/// Writes a report file in INI form: section "[Result]", "Status=ok" or
/// "Status=error" with "Error=<text>", "Log file=<log>", then the extra keys.
/// The file is replaced atomically.
Status writeReport(const std::string& path, const Status& outcome, const std::string& logFile,
                   const std::vector<std::pair<std::string, std::string>>& extraKeys);

/// Runs a suite program: parses the command line, opens the log, calls the
/// body, and writes the report whatever happens (an exception from the body
/// is reported as an error, never as a crash).  The report goes where the
/// stored input said, or beside the stored input with extension ".rpt" when
/// it never got that far.  Returns the process exit code: 0 on success,
/// 1 on failure, 2 when not even a stored-input file was given.
int runSuiteProgram(int argc, char** argv, const std::string& programName,
                    const std::function<Status(SuiteRun&, StoredInput&)>& body);

/// Reads the answer after "rpt": the report file name.
Status readReportName(SuiteRun& run, StoredInput& in);

/// Reads option answers up to the first blank answer (consumed) or the end
/// of the file, or up to and including `stopWord` when one is given.  "bat"
/// is accepted and ignored, "rpt" takes the report name from the next line;
/// every other answer must be one of `allowed` and is returned lower-cased.
Result<std::vector<std::string>> readOptions(SuiteRun& run, StoredInput& in,
                                             const std::vector<std::string>& allowed,
                                             const std::string& stopWord = "");

/// The message for an answer the program does not expect.
Status unexpectedAnswer(const StoredInput& in, const std::string& answer, const std::string& expected);

/// The next non-blank answer (blank answers before it are skipped).
Result<std::string> nextNonBlank(StoredInput& in, const std::string& what);

/// The next `count` non-blank answers, each described by `what`.
Result<std::vector<std::string>> nextNames(StoredInput& in, int count, const std::string& what);

/// True when `words` holds `w`.
bool hasWord(const std::vector<std::string>& words, const std::string& w);

/// A blank-trimmed path answer with surrounding double quotes removed.
std::string unquote(const std::string& text);

/// Resolves an input file name: the name as written when it exists, else a
/// case-insensitive match in its folder; fails with "File <name> does not
/// exist." when neither exists.  `role` is put in front of the message
/// (for example "Solution file").
Result<std::string> existingInput(const std::string& name, const std::string& role);

/// Formats a real for text outputs with enough digits to give back the same
/// 4-byte real ("%.9g").
std::string formatReal(double value);

}  // namespace vdln::suite
