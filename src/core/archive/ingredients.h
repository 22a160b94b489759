#pragma once
/// The ingredients archive: one ZIP file holding everything needed to
/// recreate an application in another folder or on another computer.
///
/// Layout (no folder names in the outer archive):
///
///     app.ds1       the settings text form, as saved
///     app.ds2       the simulation record
///     app.ds0       the simulation description, when it exists
///     ziphist.txt   the archive's history
///     model.zip     the model program (or ".gss"), its ".axs"/".axt" (or
///                   ".gst"), the Model and Dynamic Information files;
///                   left out by "except model files"
///     data.zip      the first-year input files
///     cmfbits.zip   the closure and shock files of the selected runs, the
///                   files they draw in, the start files (and, in full
///                   archives, the results map file)
///     tabetc.zip    the model's TAB and STI files, when found
///     extra.zip     extra files chosen by the user, when any
///
/// Every inner archive holds "xxfltime.xxx", the stamps of its files, so a
/// restore puts the files' last-write times back.  Closure/shock archives
/// hold only app.ds1, app.ds2, app.ds0, ziphist.txt and cmfbits.zip.
///
/// Restoring treats the archive as untrusted: every member name of every
/// inner archive is checked before anything is written, and nothing is ever
/// written outside the chosen folder (see archive/zipfile.h).

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "archive/archiveenv.h"
#include "base/result.h"

namespace vdln {

/// Member names of the outer archive.
inline constexpr const char* kAppDs1 = "app.ds1";
inline constexpr const char* kAppDs2 = "app.ds2";
inline constexpr const char* kAppDs0 = "app.ds0";
inline constexpr const char* kZipHist = "ziphist.txt";
/// The most bytes a member that is parsed as text ("app.ds1", "app.ds2",
/// "app.ds0", "ziphist.txt") may hold; a larger one is refused unread.
inline constexpr std::uint64_t kParsedMemberLimit = 8u << 20;
inline constexpr const char* kModelZip = "model.zip";
inline constexpr const char* kDataZip = "data.zip";
inline constexpr const char* kCmfBitsZip = "cmfbits.zip";
inline constexpr const char* kTabEtcZip = "tabetc.zip";
inline constexpr const char* kExtraZip = "extra.zip";

/// What a save makes.
enum class IngredientsKind { Full, ExceptModel, ClosSh };
/// The runs of a closure/shock archive.
enum class ClosShRuns { All, Base, Policy };
/// The files of a closure/shock archive.
enum class ClosShFiles { Closures, Shocks, Both };

/// The closure/shock selection ("all"/"base"/"pol", "clos"/"sh"/"clos-sh").
struct CMFBitsSelection {
    ClosShRuns runs = ClosShRuns::All;
    ClosShFiles files = ClosShFiles::Both;
};

/// One save request.
struct IngredientsRequest {
    IngredientsKind kind = IngredientsKind::Full;
    CMFBitsSelection bits;  ///< for ClosSh (full archives take everything)
    /// The archive to write; when set no name is asked (batch mode, tests).
    std::optional<std::string> archiveName;
};

/// The runs selected: index 1..3.
std::array<bool, 4> selectedRuns(const ArchiveEnv& env, const CMFBitsSelection& sel);

/// The default archive name (no folder): the model name, "-" and the joined
/// names of runs 1, 2 and 3, then for closure/shock archives "-", the joined
/// names of the selected runs and "-cl", "-sh" or "-clsh"; then ".zip".
std::string defaultIngredientsName(const ArchiveEnv& env, const IngredientsRequest& request);

/// The folder where archives are proposed: "archive" in the program
/// directory, its sub-folder "clos-sh" for closure/shock archives.
std::string ingredientsFolder(const ArchiveEnv& env, IngredientsKind kind);

/// Creates the folders "archive" and "archive/clos-sh" of the program
/// directory when missing (done at start-up).  Failure: the folder that
/// could not be made.
Status createArchiveFolders(const std::string& programDir);

/// How missing files are handled while collecting files.
struct MissingFilePolicy {
    bool warn = true;  ///< ask about a missing file (turned off by "No")
    bool failInBatch = true;
    std::vector<std::string> missing;
};

/// The files "cmfbits.zip" holds for a selection: every year's closure
/// and/or shock files of the selected runs with the files they draw in, the
/// start files with theirs, and (`withMapFile`) the results map file; full
/// paths, no duplicates, existing or not.  `environmentFiles` receives the
/// ".en4" files among them.
std::vector<std::string> collectCMFBits(const ArchiveEnv& env, const CMFBitsSelection& sel, bool withMapFile,
                                        std::vector<std::string>* environmentFiles = nullptr);

/// Makes "cmfbits.zip" at `zipFile`.  A missing file asks whether to stop
/// (batch mode: stops).  Failure (or stop): "There was an error creating the
/// CMFBits ZIP file." with the reason and "[AddCMFBitsToZip]"; a stop by the
/// user fails with an empty text.
Status AddCMFBitsToZip(ArchiveEnv& env, const std::string& zipFile, const CMFBitsSelection& sel,
                       bool withMapFile, MissingFilePolicy& policy,
                       std::vector<std::string>* environmentFiles = nullptr);

/// The model files: the model program with its ".axs" and ".axt" files, or
/// the ".gss" with its ".gst"; the Model Information file and the Dynamic
/// Information file when there is one.
std::vector<std::string> modelFiles(const ArchiveEnv& env);

/// Makes "model.zip" at `zipFile`.  Fails ("[AddModelFilesToZip]") when
/// there is no model or one of its files is missing or cannot be zipped.
Status AddModelFilesToZip(ArchiveEnv& env, const std::string& zipFile);

/// The first-year input files named by the first-year data list (lines
/// without a file left out).
std::vector<std::string> firstYearFiles(const ArchiveEnv& env);

/// Makes "data.zip" at `zipFile` with the first-year input files, stored
/// without folders.  Fails ("[AddFirstYearDataToZip]") when one is missing.
Status AddFirstYearDataToZip(ArchiveEnv& env, const std::string& zipFile);

/// The Zip menu's "Add First Year Input files to ZIP" (`model` false) and
/// "Add Model files to ZIP" (true): asks for the archive's name (titles
/// "Zip up First Year Input files" / "Zip up Model files", proposing
/// "<model name>-data.zip" / "<model name>-model.zip" in the Working
/// Directory; a name must end with ".zip"), makes it with
/// `AddFirstYearDataToZip` / `AddModelFilesToZip` and says "Created ZIP
/// file\r\n  <name>", or shows the failure.  The name
/// of the archive, or nullopt when cancelled or failed.
std::optional<std::string> ZipUpFirstYearOrModelFiles(ArchiveEnv& env, bool model);

/// Makes an inner archive of the given files (stored without folders) with
/// their stamps as "xxfltime.xxx".  Failures are the ZIP writer's texts.
Status writeInnerZip(const std::string& zipFile, const std::vector<std::string>& files);

/// The "ziphist.txt" lines.
std::vector<std::string> zipHistoryLines(const ArchiveEnv& env);

/// "Save Ingredients as ZIP archive" and its variants.  True when the
/// archive was made and checked; every question and message goes through
/// the dialogs.  A failed or cancelled save leaves no archive behind.
bool SaveIngredientsAsZip(ArchiveEnv& env, const IngredientsRequest& request);

/// What a successful restore produced.
struct RestoreOutcome {
    std::string folder;
    std::string ds1File;  ///< the default-named ".ds1" in the folder
    std::string modelName;
    std::vector<std::string> simNames;  ///< index 0..2 for runs 1..3
    bool loaded = false;
};

/// "Restore Ingredients from ZIP archive" (`closShOnly` false) and "Restore
/// Closure/Shocks files from Closure/Shocks ZIP" (true).  `zipFile` and
/// `folder` are asked for when not given (batch mode gives both and asks
/// nothing).  nullopt when cancelled or failed (the failure is reported,
/// ending with "Restoring unsuccessful.").
std::optional<RestoreOutcome> RestoreIngredientsFromZip(ArchiveEnv& env, std::optional<std::string> zipFile,
                                                        const std::optional<std::string>& folder,
                                                        bool closShOnly);

/// The parts the listing commands show.
enum class ArchivePart { ClosSh, FirstYearData, Model, TabEtc, Extra, Description, History };

/// The listing commands: list the files of an inner archive, or show the
/// simulation description or the history.  The member is extracted into the
/// Temporary Directory and shown.  False when cancelled or missing (with a
/// message).
bool ListIngredientsPart(ArchiveEnv& env, std::optional<std::string> zipFile, ArchivePart part);

/// "List Files in ZIP": every member of a ZIP archive (size and name, one a
/// line, under "Files in <archive>") written to "ziplist.txt" in the
/// Temporary Directory and shown.  False when cancelled or the archive
/// cannot be read (with the reader's message).
bool ListZipFiles(ArchiveEnv& env, std::optional<std::string> zipFile = std::nullopt);

/// "Zip all files in Temp Directory" / "... in Keep Directory": the regular
/// files of `folder` (not its sub-folders) into an archive whose name is
/// asked for (or given).  True when made.
bool ZipAllFilesInFolder(ArchiveEnv& env, const std::string& folder,
                         std::optional<std::string> archiveName = std::nullopt);

/// The listing text of an inner archive held in memory: one line per file
/// (size and name), "xxfltime.xxx" left out.
Result<std::string> innerZipListing(const std::string& bytes);

}  // namespace vdln
