#pragma once
/// The results archive: the results files of an application (per-year
/// solutions and data outputs, spreadsheets, cumulative results, command
/// files) with the record-of-runs copies, "xxfltime.xxx" (the stamps of the
/// stored files) and "aahist" (a history text), all stored without folders.
/// Restoring puts the files' times back so that the still-ok checks
/// recognise them, and can rewrite the record-of-runs copies for another
/// working directory.

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "archive/archiveenv.h"
#include "runrecord/runrecord.h"

namespace vdln {

inline constexpr const char* kResultsHistory = "aahist";

/// The kinds of results files, in the order of "Which Results to Save".
enum ResultKind : int {
    kResSolution = 0,  ///< solution files (with the simulation log and UDC file)
    kResSlc,           ///< SLC files
    kResUpdatedData,   ///< updated data files
    kResOtherOutputs,  ///< output-only data files
    kResSpreadsheets,  ///< year-on-year and cumulative spreadsheets, per-year CSV, cumulative RSL
    kResDeviations,    ///< policy deviation spreadsheets and the cumulative differences RSL
    kResCommandFiles,  ///< command files of the simulations
    kResSolSli,        ///< SOL and SLI files
    kResSeq,           ///< SEQ files
    kResultKinds
};

/// The label of a kind in "Which Results to Save".
std::string resultKindLabel(int kind);

/// Which results go into the archive.
struct ResultsSelection {
    std::array<bool, 4> runs{false, true, true, true};  ///< index 1..3
    int firstYear = 1;                                  ///< year numbers
    int lastYear = 999;
    std::array<bool, kResultKinds> kinds{};

    /// All runs, all years, every kind.
    static ResultsSelection all();
};

/// The files of a selection, all in the working directory, in the order
/// they are stored (duplicates removed).  Run 2 is left out in no-rerun
/// mode; runs 2 and 3 start at the first policy year.
std::vector<std::string> collectResultsFiles(const RunRecordEnv& rr, const ResultsSelection& sel);

/// The default name: model name, "-", the joined simulation names and
/// "-res1.zip" (all) or "-someres1.zip" (selected).
std::string defaultResultsName(const ArchiveEnv& env, bool selected);

/// The "aahist" lines.
std::vector<std::string> resultsHistoryLines(const ArchiveEnv& env, const RunRecordEnv& rr,
                                             const ResultsSelection& sel, int missing);

/// "Zip up All Results" (`selection` null) and "Zip up Selected Results"
/// (the selection the user made in " Which Years and Runs to Save " and
/// "Which Results to Save").  `archiveName` skips the name dialog.  True
/// when the archive was made; no archive is left after a failure or when
/// the user does not keep an incomplete one.
bool ZipUpResults(ArchiveEnv& env, const RunRecordEnv& rr, const ResultsSelection* selection,
                  std::optional<std::string> archiveName = std::nullopt);

/// The three choices for the records of runs in a results archive.
enum class RecordsChoice { DoNothing = 0, Unchanged = 1, Rewrite = 2 };

/// Rewrites a record-of-runs file made in another working directory so
/// that it names the current application's files: "Sim Directory" becomes
/// the working directory; the model's stamps name the current model files;
/// the first-year input stamps name the current first-year files; any other
/// stamp of a file in the recorded working directory names the same file in
/// the current one.  Times and sizes are kept.  Failure: the file cannot be
/// read or written.
Status rewriteRecordOfRuns(const std::string& file, const ArchiveEnv& env);

/// "Restore files from Results Zip".  `zipFile`, `folder` and `choice` are
/// asked for when not given.  True when the unzipping was done.
bool RestoreResultsFromZip(ArchiveEnv& env, const RunRecordEnv& rr,
                           std::optional<std::string> zipFile = std::nullopt,
                           const std::optional<std::string>& folder = std::nullopt,
                           std::optional<RecordsChoice> choice = std::nullopt);

/// "View History of Results Zip file": extracts "aahist" into the Temporary
/// Directory and shows it.  False when cancelled or absent ("Sorry, there
/// is no History saved in this Results Zip archive.").
bool ViewResultsHistory(ArchiveEnv& env, std::optional<std::string> zipFile = std::nullopt);

}  // namespace vdln
