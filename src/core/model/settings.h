#pragma once
/// The settings file "Vardelon.ini" and its text form (the ".ds1" file of a
/// saved application and "app.ds1" of an ingredients archive): the
/// program-wide options, the selected model, the first-year input files and
/// the simulation details that are not part of `TSimRecord`.
///
/// The reader reads three parts, each on request: the options part (O), the
/// model part (M) and the details part (D); a few keys are always read.
/// Reading never fails: a missing file, missing keys and values that are not
/// numbers fall back to the defaults.  Both writers replace their file
/// atomically, so a failed write leaves the previous file intact.
///
/// Start-up and exit: `ChooseSettingsFolder`, `StartupReadSettings`,
/// `ExitWriteSettings` (the current-simulation file "VdlnSim.txt" is read
/// and written with the ".ds2" routines of model/simdetails.h).

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "base/inifile.h"
#include "base/result.h"
#include "model/release.h"
#include "model/simrecord.h"
#include "model/solutionmethod.h"

namespace vdln {

class Dialogs;

/// The version number the program writes as "VardelVersion".
inline constexpr int kVardelVersion = 330;
/// "TempDir" is taken from a settings file only above this version.
inline constexpr int kTempDirMinVersion = 169;
/// The settings file name.
inline constexpr const char* kSettingsFileName = "Vardelon.ini";
/// The folder earlier versions kept their settings in (the root of the
/// system drive there; the root folder here).
inline constexpr const char* kLegacySettingsDir = "/VDLNKeep";
/// The current-simulation file name.
inline constexpr const char* kCurrentSimFileName = "VdlnSim.txt";

/// What is done with a previous run's outputs before a run.
enum class OutputsBeforeRun { Delete, Move, Neither };

/// The model part of the settings.
struct ModelSettings {
    std::string Model;       ///< model program (".exe") or auxiliary statement file
    TSVVersionInfo Version;  ///< release, version and compiler of the model program
    bool NotWinconsoleExe = false;
    bool UsesInterpreter = false;  ///< the model is not an ".exe": the suite's interpreter runs it
    std::string ModelName;
    std::string ModelDir;
    std::string ModelInfoFile;
    std::string DynamicInfoFile;
    std::int64_t MinFileId = 0;  ///< packed date-time of the Model Information file
    std::int64_t DinFileId = 0;
    bool IsDinFile = false;
    /// First-year input files, lines "file <logical name> = <file> ;".
    std::vector<std::string> FirstYearList;

    /// Clears the model and everything that belongs to it (not the list).
    void clearModel();
    bool operator==(const ModelSettings&) const = default;
};

/// Rational-expectations settings.
struct RESettings {
    bool DoingRE = false;  ///< the rational-expectations check box
    /// "Hide Rational Expectations"; never on while `DoingRE` after a read.
    bool HideRE = false;
    int BaseIterations = 30;
    int RerunIterations = 1;
    int PolicyIterations = 20;
    int PolicyStartYear = 0;
    bool ConvergenceHar = true;
    bool ConvergenceRorext = true;
    bool ConvergenceCsv = true;
    bool StandardChecks = true;
    bool SeveralRerunIterations = false;  ///< "TAB File Allows Several Iterations on Rerun"
    bool operator==(const RESettings&) const = default;
};

/// Tool programs and folders.
struct ToolSettings {
    std::string Editor;
    std::string Spreadsheet;
    std::string Outlens;
    std::string Gridlens;
    std::string Probex;
    std::string UseSolvaneDir;  ///< non-empty: "Specify directory for Solvane programs"
    bool operator==(const ToolSettings&) const = default;
};

/// Everything the settings file holds besides `TSimRecord` (which carries
/// `WorkDir`, the period lengths and the alternative-method years).
/// The longest "Part Time Limit" kept (30 days, in seconds).
inline constexpr int kMaxPartTimeLimit = 86400 * 30;

struct ProgramSettings {
    // Options section.
    bool PlayMusic = false;
    bool DeveloperMode = false;
    bool WarnAboutTempDirName = true;
    /// "VardelVersion" of the last file read (0 when it had none).
    int SettingsVersion = 0;

    ModelSettings model;

    // Details part.
    std::string ResultsMapFile;
    bool SolFileShocks = false;
    bool ArithProbNotFatalRsl = false;
    RESettings re;
    bool NoRerun = false;  ///< "Rerun FC with Dev" = "no"
    TSolutionMethod Method = defaultSolutionMethod();
    TAutoAccuracy Accuracy = defaultAutoAccuracy();
    TSolutionMethod AltMethod = defaultSolutionMethod();
    TAutoAccuracy AltAccuracy = defaultAutoAccuracy();

    // Options part.
    bool AbbreviatedSsJobs = false;
    bool YonYDifferencesSs = false;
    bool AccumulateSubtotals = false;
    bool NeverBatJob = false;
    bool VisibleLogFiles = false;
    bool SuppressScreenSaver = true;
    bool FewerMessages = false;
    bool CheckPrerequisites = true;
    /// "Split batch jobs" (on) / "Do not split batch jobs": a multi-step job
    /// goes on from one part to the next only when on.  Not stored.
    bool SplitBatchJobs = true;
    ToolSettings tools;
    bool ClearTempDirAtExit = true;
    /// "TempDir": the temporary directory requested for the next start
    /// (validated by the directory chooser before use).
    std::string RequestedTempDir;
    bool CompleteBaseFirst = false;
    bool AddToJobsLog = false;
    int ConcurrentSolves = 1;  ///< 1, 2 or 3
    /// "Part Time Limit": seconds a part of a job may run before it is
    /// stopped and the job fails; 0 = no limit; at most `kMaxPartTimeLimit`.
    int PartTimeLimit = 0;
    OutputsBeforeRun Outputs = OutputsBeforeRun::Delete;
    bool BeLikeOldVardelon = false;    ///< menu option; "Use RunSpecific CMFStart" is off while on
    bool DontUpdateIniAtExit = false;  ///< menu "Don't update INI file when exit"
    /// "Use &PIF under Windows NT": kept for the menu's check mark; batch
    /// files are run by /bin/sh whatever its state.  Not stored.
    bool UsePIF = false;
    /// "Use Patterns when Change Sim Names" (on) / "Ignore Patterns when
    /// Change Sim Names": a changed simulation name renames the grid cells
    /// that followed the old name's pattern.  Not stored.
    bool PatternsOnRename = true;
    /// "Use Bat Jobs for Concurrent Solves": with more than one concurrent
    /// solve the model program runs through a batch file.  Not stored.
    bool BatJobsForConcurrent = false;

    bool operator==(const ProgramSettings&) const = default;
};

/// The environment the reader needs.
struct SettingsContext {
    std::string programDir;      ///< default "Sim Directory"
    std::string currentTempDir;  ///< default "TempDir"; written in the text form
    bool batchMode = false;      ///< no message for a missing model
    /// Whether the companion files of a model exist (".gst" beside a ".gss";
    /// ".axs" and ".axt" beside a model program).  Empty: that rule.
    std::function<bool(const std::string& model)> companionsExist;
};

/// Which parts `ReadIniOptions` reads.
struct SettingsParts {
    bool options = false;
    bool model = false;
    bool details = false;
    static SettingsParts all() { return {true, true, true}; }
};

/// Reads a settings file or a ".ds1" file into `settings` and `rec` (the
/// details part sets `WorkDir`, the period lengths and the alternative-method
/// years; the years are always recomputed).  Does nothing to the settings
/// when the file does not exist.  Returns the stored "Do Korale RE" flag.
/// Messages (through `dialogs`): a missing model ("Model Exe File\r\n  <model>
/// \r\ndoes not exist.", not in batch mode) and a missing working directory.
bool ReadIniOptions(const std::string& file, SettingsParts parts, ProgramSettings& settings, TSimRecord& rec,
                    const SettingsContext& ctx, Dialogs& dialogs);
/// As above from text already read (used for archive members).
bool ReadIniOptionsText(std::string_view text, SettingsParts parts, ProgramSettings& settings,
                        TSimRecord& rec, const SettingsContext& ctx, Dialogs& dialogs);

/// Checks the text of a ".ds1" file (or of an archive's "app.ds1") before
/// it is read: only text (no NUL or other control character but tab, CR and
/// LF), every line a "[section]", a "key=value", a ";" comment or blank, and
/// an "[Environment]" section holding the key "Model".  The failure names
/// `name`, the line and what was expected there.
Status CheckSettingsText(std::string_view text, const std::string& name);
/// As above for a file; a file that cannot be read fails with the reason.
Status CheckSettingsFile(const std::string& file);

/// Writes the settings.  Settings-file form (`textForm` false): the keys are
/// replaced in the existing file, whose other sections (such as "MRUFiles")
/// are kept; a failure gives false without a message.  Text form: the file
/// is created anew with the ".ds1" layout; a failure shows the error
/// "<reason>[WriteIniOptions]\r\nIs this file locked by another
/// application?\r\nIf so, free it and try again." and gives false.
[[nodiscard]] bool WriteIniOptions(const std::string& file, bool textForm, const ProgramSettings& settings,
                                   const TSimRecord& rec, const SettingsContext& ctx, Dialogs& dialogs);
/// The lines of the text form (without line endings).
std::vector<std::string> SettingsTextLines(const ProgramSettings& settings, const TSimRecord& rec,
                                           const SettingsContext& ctx);
/// Puts the settings-file keys into a parsed settings file.
void PutSettings(IniFile& ini, const ProgramSettings& settings, const TSimRecord& rec);

/// "VardelVersion" of section "Options" of a file; 0 when the file or the
/// key is missing.
int ReadSettingsVersion(const std::string& file);

/// The options part at its start-up defaults (used when no settings file
/// exists and none can be created).  `processors` is the processor count.
void ApplyStartupDefaults(ProgramSettings& settings, int processors);

/// The settings folder: the keep directory when it holds "Vardelon.ini",
/// else `legacyDir` when that holds it (a location of earlier versions),
/// else the keep directory.
std::string ChooseSettingsFolder(const std::string& keepDir, const std::string& legacyDir);

/// The start-up sequence: reads the settings from the settings folder (all
/// parts), or, when it has none, the defaults (an empty file read with the
/// options part, or `ApplyStartupDefaults` when the folder is not
/// writable); then reads "VdlnSim.txt" of the settings folder into `rec`,
/// resetting the record when that read fails.  Returns the settings folder.
std::string StartupReadSettings(const std::string& keepDir, const std::string& legacyDir, int processors,
                                ProgramSettings& settings, TSimRecord& rec, const SettingsContext& ctx,
                                Dialogs& dialogs);

/// The exit sequence (unless "Don't update INI file when exit"): refreshes
/// the grid, writes "Vardelon.ini" and "VdlnSim.txt" in the keep directory.
/// A failure shows an error ending with "[CloseDown]" (the current-simulation
/// writer's message first) and gives false.  `keepDirUsable` false skips the
/// settings file.
[[nodiscard]] bool ExitWriteSettings(const std::string& keepDir, bool keepDirUsable,
                                     const ProgramSettings& settings, TSimRecord& rec,
                                     const SettingsContext& ctx, Dialogs& dialogs);

}  // namespace vdln
