#pragma once
/// What the archive commands need from the rest of the program: the current
/// application (record, model, first-year data, options), the directories,
/// the dialogs and the clock, and a few operations that belong to other
/// parts of the program (writing the details files, the closure/shock name
/// check, the TAB/STI extraction, loading restored details, showing a file).
/// The owner (the session, batch mode or a test) fills it for one command.
///
/// Also the helpers shared by the ingredients and results archives: a
/// private scratch folder in the Temporary Directory, the proposed restore
/// folder, the refusal of unsuitable restore folders, and the default
/// archive names.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "base/clock.h"
#include "base/dialogs.h"
#include "base/result.h"
#include "model/simrecord.h"

namespace vdln {

struct ArchiveEnv {
    ArchiveEnv(const TSimRecord& simRecord, Dialogs& dlg, const Clock& clk)
        : rec(simRecord), dialogs(dlg), clock(clk) {}

    const TSimRecord& rec;  ///< the current application (`WorkDir` included)
    Dialogs& dialogs;
    const Clock& clock;

    std::string programDir;  ///< the folder of the executable
    std::string tempDir;     ///< the Temporary Directory

    // The model part.
    std::string modelFile;      ///< model program (".exe") or auxiliary statement file (".gss"); "" when none
    std::string modelName;      ///< "Model Name"
    std::string modelInfoFile;  ///< "Model Info File"
    std::string dynamicInfoFile;  ///< "Dynamic Info File" ("" when none)
    /// First-year data list lines ("File <name> = <file> ; ! <description>").
    std::vector<std::string> firstYearList;

    // Options.
    std::string resultsMapFile;  ///< "Results Map File" ("" when none)
    bool noRerun = false;        ///< "Rerun FC with Dev" = "no"
    bool useCMFStart = true;
    bool useRunSpecificCMFStart = true;
    /// Batch mode: no question is asked (no extra files, continue on
    /// warnings, stop on a missing file), no wait window.
    bool batch = false;

    // Operations of other parts of the program.
    /// Writes the settings text form (the ".ds1" layout) to a file.
    std::function<Status(const std::string& file)> writeSettingsText;
    /// Writes the simulation record (the ".ds2" layout) to a file.
    std::function<Status(const std::string& file)> writeSimRecord;
    /// The closure/shock file-name check of the grid; true when it passes.
    /// Unset: `CheckGridFiles` over every run and year.
    std::function<bool()> checkClosureShockNames;
    /// Extracts the model's TAB and STI files from the auxiliary table file
    /// into the Temporary Directory; returns the files made (none when not
    /// found).  Unset: none (see archive/tabetc.h for the extractor).
    std::function<std::vector<std::string>()> extractTabEtc;
    /// The "Add" file list of extra files; empty when none were chosen.
    /// Unset: none.
    std::function<std::vector<std::string>()> chooseExtraFiles;
    /// Switches to the Sim Overview page.
    std::function<void()> showSimOverview;
    /// Loads restored simulation details (all parts, or the closure/shock
    /// part only) making their folder the Working Directory; true when done.
    std::function<bool(const std::string& ds1File, bool closShOnly)> loadRestored;
    /// Adds a details file to the recent-files list.
    std::function<void(const std::string& file)> addRecentFile;
    /// Shows a text file to the user (the program's file viewer).  Unset:
    /// the file's text is shown in an information message.
    std::function<void(const std::string& file)> showFile;

    /// Polls for a cancel request of the wait window.
    bool cancelled() const { return dialogs.cancelRequested(); }
};

/// A private folder in the Temporary Directory, removed with everything in
/// it when the object goes.
class ScratchFolder {
public:
    ScratchFolder() = default;
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    ~ScratchFolder();
    /// Creates a new folder in `tempDir`.  Failure: "Cannot locate the
    /// temporary directory." when `tempDir` is missing, else "Cannot create
    /// directory <name>".
    Status create(const std::string& tempDir);
    const std::string& path() const { return m_path; }
    std::string file(const std::string& name) const;

private:
    std::string m_path;
};

/// The text shown when the Temporary Directory is missing.
inline constexpr const char* kNoTempDirText = "Cannot locate the temporary directory.";

/// The default `.ds1` name of an application: <dir>/<model name><separator>
/// <names of runs 1, 2 (not in no-rerun mode) and 3>.ds1.
std::string defaultDetailsPath(const TSimRecord& rec, const std::string& dir, const std::string& modelName,
                               bool noRerun);

/// True when two folder names lead to the same folder (resolved through the
/// file system when both exist, else compared as written).
bool sameFolder(const std::string& a, const std::string& b);

/// True for a top-level folder: the root "/" or a drive root "C:", "C:\".
bool isTopLevelFolder(const std::string& dir);

/// True when the folder holds nothing at all.
bool folderIsEmpty(const std::string& dir);

/// The folder proposed for restoring `zipFile`: the archive's name without
/// extension in `programDir`, or, when that exists, the same followed by
/// "-v" and the first number from 1 up to 10000 giving a new folder; after
/// that "restorexx".
std::string proposedRestoreFolder(const std::string& programDir, const std::string& zipFile);

/// What the target-folder question of a restore says and refuses.
struct RestoreFolderTexts {
    std::string prompt;
    std::string programDirRefusal;
    std::string topLevelRefusal;
};
RestoreFolderTexts ingredientsFolderTexts();
RestoreFolderTexts resultsFolderTexts();

/// Asks for a restore folder: proposes `proposed` (created for the dialog
/// and removed again when empty and not chosen), refuses the program
/// directory and top-level folders and asks before using a folder that is
/// not empty (unless `askNonEmpty` is false); asks again after a refusal.
/// With `given` (batch mode) no question is asked and a refused folder
/// fails.  nullopt when cancelled or refused.
std::optional<std::string> chooseRestoreFolder(ArchiveEnv& env, const RestoreFolderTexts& texts,
                                               const std::string& proposed,
                                               const std::optional<std::string>& given,
                                               bool askNonEmpty = true);

/// Asks for the name of an archive to write (save dialog) until it ends in
/// ".zip" (any case); nullopt when cancelled.
std::optional<std::string> askArchiveName(ArchiveEnv& env, const std::string& title, const std::string& dir,
                                          const std::string& defaultName);

/// Asks for an archive to read; nullopt when cancelled.
std::optional<std::string> askArchiveToOpen(ArchiveEnv& env, const std::string& title,
                                            const std::string& dir);

/// "dd-mmm-yyyy at hh:mm:ss" for the clock's local time.
std::string archiveDateTime(const Clock& clock);

/// Shows a text file (through `showFile`, or as an information message).
void showTextFile(ArchiveEnv& env, const std::string& file);

}  // namespace vdln
