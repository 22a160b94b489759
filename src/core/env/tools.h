#pragma once
/// Locating the suite's programs and the external tools (viewers, editor,
/// interpreter), launching viewers and the editor, the shell commands, the
/// POSIX form of the program's batch files, and the Temporary Directory
/// check.
///
/// Suite programs and tools keep their names with ".exe" on every platform
/// ("sectraa.exe", "outlens.exe", ...), so settings and archives stay
/// exchangeable.  "C:\SV" stands for `kConstSvFolder`.

#include <string>
#include <string_view>
#include <vector>

#include "base/dialogs.h"
#include "base/result.h"
#include "env/environment.h"

namespace vdln {

/// The tool paths the settings file keeps.
struct ToolLocations {
    std::string outlens;           ///< "Outlens": the solution viewer
    std::string gridlens;          ///< "Gridlens": the header array viewer
    std::string editor;            ///< "Editor": the text editor
    std::string suiteProgramsDir;  ///< "UseSolvaneDir": "" = the usual method
};

/// Finds a suite program or tool by name (letter case ignored): the six
/// conversion programs ("aggrex", "divero", "sectra", "tellur", "pryxo",
/// "mergix") only as "<name>a.exe" in the program directory; the viewers and
/// the editor from the settings when the file exists; otherwise the first
/// existing of the program directory, the suite programs directory, the
/// PATH, "C:\SV" and its viewer folders.  Returns "" when nothing is found.
/// A program found on the PATH is returned as a full path for the viewers,
/// "notarix" and "calvex", and as the bare "<name>.exe" for the others.
std::string locateProgram(const Environment& env, const ToolLocations& settings, std::string_view name);

/// "The program <NAME> is not available."
std::string programNotAvailableText(std::string_view name);
/// Shows `programNotAvailableText` (error, OK and Help).
void reportProgramNotAvailable(Dialogs& dialogs, std::string_view name);

/// Starts a program that nobody waits for (a viewer, the editor, a shell).
class ProgramStarter {
public:
    virtual ~ProgramStarter() = default;
    /// Starts `program` with the argument vector `args` in `dir`.  Fails with
    /// the system's reason when the program cannot be started.
    virtual Status startProgram(const std::string& program, const std::vector<std::string>& args,
                                const std::string& dir) = 0;
};

/// The two viewers.
enum class Viewer { Gridlens, Outlens };

/// "Which Outlens to use" and its twin for Gridlens: a file dialog titled
/// "Select <name> to use" with the filter "<name> Files (<name>.EXE)|<name>.exe";
/// the pick is stored in `settings`.  Returns false when cancelled.
[[nodiscard]] bool chooseViewerProgram(Viewer viewer, const Environment& env, ToolLocations& settings,
                                       Dialogs& dialogs);

/// Opens a file in a viewer.  The viewer is located; when it is missing the
/// user may pick its executable (stored in `settings`) and it is located
/// again.  `fileArg` may begin with a "%" marker (no existence test) or, for
/// Outlens, a two-character "#" marker (removed for the test only).  Shows
/// "Cannot find file:\r\n<file>", the not-available message, or "Could not
/// launch Gridlens !" / "Could not launch Outlens !" followed on the next
/// line by the system's reason in brackets.  The viewer runs in
/// `modelDir`.  Returns true when it was started.
[[nodiscard]] bool LaunchViewer(Viewer viewer, const std::string& fileArg, const std::string& modelDir,
                                const Environment& env, ToolLocations& settings, Dialogs& dialogs,
                                ProgramStarter& starter);

/// Opens a file in the text editor, in the file's folder.  Shows the
/// not-available message when there is no editor and "Unable to run <editor>"
/// with the system's reason in brackets on the next line when it cannot be started.  Returns true when it was
/// started.
[[nodiscard]] bool OpenInEditor(const std::string& file, const Environment& env,
                                const ToolLocations& settings, Dialogs& dialogs, ProgramStarter& starter);

/// Quotes a text for /bin/sh: unchanged when it has only safe characters,
/// otherwise in single quotes (an embedded quote written '\'').
std::string shellQuoted(std::string_view text);
/// The lines of a batch file that change to a directory (no drive line on
/// this platform): "cd <quoted dir>".
std::vector<std::string> changeDirLines(const std::string& dir);
/// A batch-file line running a program with its arguments, every word
/// quoted for /bin/sh.
std::string commandLine(const std::string& program, const std::vector<std::string>& args);
/// Writes a batch file (run by /bin/sh, so lines end with LF only) atomically.
/// Failure: the writer's message.
Status writeBatchFile(const std::string& path, const std::vector<std::string>& lines);

/// "Shell to DOS" in a folder: writes "wg<n>.bat" in the Temporary Directory
/// (the first free number after the last one used) that changes to the folder
/// and starts the user's shell ($SHELL, else /bin/sh), and runs it in a
/// terminal window when a display and a terminal program are available,
/// directly otherwise.
class ShellCommands {
public:
    /// Opens the shell; shows "Unable to run <program>" when it cannot be
    /// started (and the writer's message when the batch file cannot be
    /// written).  Returns true when started.
    [[nodiscard]] bool openShell(const std::string& folder, const std::string& tempDir,
                                 const Environment& env, Dialogs& dialogs, ProgramStarter& starter);
    /// The number of the last batch file written (0 before the first).
    int lastNumber() const { return m_last; }

private:
    int m_last = 0;
};

/// The Temporary Directory check: the files and the command of the job that
/// makes the conversion program write "tdcheck.rpt" in the Temporary
/// Directory.
struct TempDirCheckJob {
    std::string program;            ///< the conversion program
    std::vector<std::string> args;  ///< "-sti", the stored input, "-los", the log
    std::string stiFile;
    std::string logFile;
    std::string reportFile;
};

/// Writes the stored-input file "tdcheck.sti" in the Temporary Directory
/// (lines "bat", "rpt", the report path, "tdc    ! Temporary Directory
/// check", " ") after deleting an old report.  Fails with "Program \r\n  <path>\r\n
/// does not exist." when the conversion program is missing, or the writer's
/// message.
Result<TempDirCheckJob> prepareTempDirCheck(const std::string& tempDir, const std::string& sectraProgram);
/// "Unable to start Temp Dir check.\r\n..." shown when the job cannot start.
std::string tempDirCheckStartFailureText();
/// The text of the check's end: "Temporary Directory ... seems ok." when the
/// report exists, otherwise the error text.
std::string tempDirCheckResultText(const TempDirCheckJob& job, const std::string& tempDir, bool& ok);
/// Shows the check's result (information when ok, error with Help
/// otherwise); returns whether the report was found.
[[nodiscard]] bool finishTempDirCheck(Dialogs& dialogs, const TempDirCheckJob& job,
                                      const std::string& tempDir);

}  // namespace vdln
