#pragma once
/// The Temporary and Keep Directories: where each directory source points
/// on this platform, how a directory is chosen from a list of candidates
/// (with the log kept for the diagnostics report), the writeable check, the
/// diagnostic listing, the Temporary Directory name check and its warning,
/// "Specify Temporary Directory", the start-up failure messages and the
/// clearing of the Temporary Directory at exit.
///
/// Directory sources keep their codes and display names; their directories
/// are the POSIX counterparts of the original folders:
///   0 "Named Folder"        the directory given by the caller
///   1 "Windows Folder"      "/"
///   2 "TMP Folder"          $TMP
///   3 "TEMP Folder"         $TEMP
///   4 "HOMEPATH Folder"     $HOME
///   5 "SYSTEMDRIVE"         "/"
///   6 "SVTEMP Folder"       $SVTEMP
///   7 "SVKEEP Folder"       $SVKEEP
///   8 "C:\TEMP"             "/tmp"
///   9 "SVDIR Folder"        $SVDIR
///  10 "C:\SV"               "/opt/sv"
///  11 "User Folder"         $HOME
///  12 "AppData Folder"      $XDG_CONFIG_HOME, else $HOME/.config
///  13 "Current Directory"   the current directory
///  14 "Application Folder"  the folder of the `vardelon` executable
///  15 "C:\"                 "/"
/// There are no drive letters here, so the constant entries need no drive
/// adjustment.

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/dialogs.h"
#include "base/result.h"
#include "env/environment.h"

namespace vdln {

/// The program's name as shown in messages.
inline constexpr const char* kProgramName = "Vardelon";
/// The program's four-letter code, used for its private sub-directories.
inline constexpr const char* kProgramCode = "VDLN";

/// Directory source codes.
enum DirSource : int {
    kSrcNamed = 0,
    kSrcWindows = 1,
    kSrcTmp = 2,
    kSrcTemp = 3,
    kSrcHomePath = 4,
    kSrcSystemDrive = 5,
    kSrcSvTemp = 6,
    kSrcSvKeep = 7,
    kSrcConstTemp = 8,
    kSrcSvDir = 9,
    kSrcConstSv = 10,
    kSrcUser = 11,
    kSrcAppData = 12,
    kSrcCurrent = 13,
    kSrcApplication = 14,
    kSrcConstRoot = 15,
};

/// The folders that stand for "C:\TEMP", "C:\SV" and "C:\".
inline constexpr const char* kConstTempFolder = "/tmp";
inline constexpr const char* kConstSvFolder = "/opt/sv";
inline constexpr const char* kConstRootFolder = "/";

/// The text of an unknown source code.
inline constexpr const char* kUnexpectedSourceText = "program error: unexpected case of sdt";

/// Normalises a directory name: trims blanks, removes one trailing separator
/// (the root stays "/"), trims again and expands a relative name against
/// `currentDir` to a full path.  A blank name stays "".
std::string normaliseDirectory(const std::string& dir, const std::string& currentDir);

/// The fixed folders that stand for the Windows folder, the system drive
/// and the constant entries; tests point them at folders of their own.
struct FixedFolders {
    std::string windows = "/";
    std::string systemDrive = "/";
    std::string constTemp = kConstTempFolder;
    std::string constSv = kConstSvFolder;
    std::string constRoot = kConstRootFolder;
};

/// The directory sources of one process environment.
class DirectorySources {
public:
    explicit DirectorySources(const Environment& env, FixedFolders fixed = {})
        : m_env(env), m_fixed(std::move(fixed)) {}

    /// The display name of a source ("" for an unknown code).
    static std::string displayName(int code);
    /// The normalised directory of a source ("" when it is not defined);
    /// `named` is the directory of code 0.  An unknown code fails with
    /// "program error: unexpected case of sdt".
    Result<std::string> directory(int code, const std::string& named = "") const;
    const Environment& environment() const { return m_env; }
    const FixedFolders& fixedFolders() const { return m_fixed; }

private:
    std::string raw(int code, const std::string& named) const;
    const Environment& m_env;
    FixedFolders m_fixed;
};

/// What `chooseDirectory` looks for.
struct DirectoryRequest {
    std::vector<int> candidates;  ///< source codes, in order
    std::string namedFolder;      ///< the directory of code 0
    std::string subPath;          ///< appended to the candidate ("" = the candidate itself)
    std::string testFile;         ///< created and erased to prove writeability
    size_t maxLength = 0;         ///< 0 = no limit
    bool rejectSpaces = false;
    bool rejectNonAscii = false;
};

/// The directory chosen (nullopt when no candidate would do) and the
/// multi-line log of the choice.
struct DirectoryChoice {
    std::optional<std::string> directory;
    std::vector<std::string> log;
    /// The log as one text, lines separated by CR LF.
    std::string logText() const;
};

/// Walks the candidates in order: logs each source's directory, applies the
/// name checks (not to SVTEMP and SVKEEP), creates the sub-directory when
/// missing and proves it writeable with the test file.  The first candidate
/// that passes is chosen.  An unknown source code is logged with its error
/// text and skipped.
DirectoryChoice chooseDirectory(const DirectorySources& sources, const DirectoryRequest& request);

/// The Temporary Directory's sub-path: "SVTEMP/VDLNtemp", or the bare
/// "SVTEMP" without the program's own sub-directory.
std::string temporarySubPath(bool withProgramDir = true);
/// The Keep Directory's sub-path: "SVKEEP/VDLNkeep", or the bare "SVKEEP".
std::string keepSubPath(bool withProgramDir = true);

/// Chooses the Temporary Directory from SVTEMP, TMP, TEMP, "C:\TEMP" and
/// the Windows folder (sub-path, test file "testfil.$$$", at most 50
/// characters, no blanks, printable ASCII only).  A non-blank `requested`
/// directory (the settings' "TempDir") is tried first, as it is, under the
/// same name checks; the standard list follows when it does not do.
DirectoryChoice chooseTemporaryDirectory(const DirectorySources& sources, const std::string& requested = "");
/// Chooses the Keep Directory from SVKEEP, the User folder, HOMEPATH and
/// "C:\" (sub-path, test file "testfil.$$$", no name checks).
DirectoryChoice chooseKeepDirectory(const DirectorySources& sources);

/// True when `dir` is non-blank, exists, and the file "g_we8~2.$@$" can be
/// created, closed and erased in it.
bool isWriteableDirectory(const std::string& dir);

/// One line per source 1..15: "<name> = <dir>" followed by
/// "    Exists, Writeable", "    Exists, Non-Writeable" or "    NonExistent",
/// or "<name> = UNDEFINED" when the source is empty.
std::vector<std::string> listDirectorySources(const DirectorySources& sources);

/// True when every character of the name is a blank, "-", a digit, ":", a
/// letter, a path separator, "_" or "~".
bool isSimpleTempDirName(const std::string& name);

/// The text of the warning about a Temporary Directory name that is not
/// simple.
std::string tempDirNameWarningText(const std::string& tempDir);
/// At start-up: when `tempDir` is not simple and `warnOption` is on, shows
/// the warning (OK, Ignore, Help); Ignore turns `warnOption` off.  Returns
/// true when the warning was shown.
bool warnAboutTempDirName(Dialogs& dialogs, const std::string& tempDir, bool& warnOption);

/// What "Specify Temporary Directory" needs to know.
struct SpecifyTempDirContext {
    std::string current;     ///< the Temporary Directory in use
    std::string defaultDir;  ///< the directory the standard choice gives ("" when none)
    std::string workDir;     ///< the Working Directory
    std::string programDir;  ///< the folder of the executable
};

/// Why a picked directory cannot be the Temporary Directory: "" when it can,
/// otherwise the full refusal text.
std::string refuseTempDirText(const std::string& dir, const SpecifyTempDirContext& context);

/// "Specify Temporary Directory": asks, offers the default or a folder
/// chooser, refuses unsuitable folders, asks before accepting a folder that
/// is not empty or whose name is not simple, and stores the new directory in
/// `tempDirSetting` (the settings' "TempDir", used at the next start).
/// Returns true when `tempDirSetting` was changed.
[[nodiscard]] bool SpecifyTemporaryDirectory(Dialogs& dialogs, const SpecifyTempDirContext& context,
                                             std::string& tempDirSetting);

/// The directories chosen at start-up and the logs of both choices.
struct StartupDirectories {
    std::string tempDir;
    std::string keepDir;
    std::vector<std::string> tempLog;
    std::vector<std::string> keepLog;
};

/// Chooses the Temporary and then the Keep Directory.  When either cannot be
/// found the two start-up failure messages are shown and the result fails
/// (with the first message's text); the program must then stop.
Result<StartupDirectories> chooseStartupDirectories(const DirectorySources& sources, Dialogs& dialogs);

/// The first start-up failure message for the Temporary (`keep` false) or
/// the Keep Directory.
std::string startupFailureText(bool keep);
/// The closing start-up failure message.
std::string startupShutdownText();

/// Deletes every file in the Temporary Directory and in its sub-directories
/// "simdir2" and "simdir3" (sub-directories themselves are left).  Nothing is
/// deleted when the directory name has fewer than 4 characters or names the
/// Working Directory (ignoring letter case).  Returns the number of files
/// deleted.
int clearTemporaryDirectory(const std::string& tempDir, const std::string& workDir);

}  // namespace vdln
