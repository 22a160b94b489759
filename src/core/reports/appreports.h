#pragma once
/// The text reports about an application: the closure/shock page (".dr0"),
/// all ingredients of the simulations (".dr1"), when each simulation was
/// last run (".dr2") and the differences between the closure/shock pages of
/// two saved applications (".DRC").  The report texts are built as lines
/// first (so a report is never half-built when a file fails), then written
/// through the text-file layer.  The menu commands that ask for the file
/// name and offer to show the report are at the end.

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "base/dialogs.h"
#include "base/result.h"
#include "model/settings.h"
#include "model/simrecord.h"
#include "runrecord/recordfiles.h"

namespace vdln {

// ---------------------------------------------------------------------------
// Text conventions

/// A heading: a line holding one space, the heading, a line of "-" of the
/// same length, and a line holding one space.
void addReportHeading(std::vector<std::string>& out, const std::string& heading);
/// A labelled entry: the label + " :" on one line and the value on the
/// next; the value alone when the label is empty.
void addLabelledEntry(std::vector<std::string>& out, const std::string& label, const std::string& value);
/// A completion time (64-bit file time) in local time as
/// "05-Mar-2008 at 14:02:11".
std::string formatReportTime(std::int64_t fileTime);

// ---------------------------------------------------------------------------
// The closure/shock page (".dr0")

/// The lines of the closure/shock page report of a record (without the
/// Rerun's name in no-rerun mode).
std::vector<std::string> simDetailsReportLines(const TSimRecord& rec, bool noRerun);
/// Writes the closure/shock page report.  Failures: those of the text-file
/// layer, followed by "[WriteReportSimDetails]".
Status WriteReportSimDetails(const std::string& file, const TSimRecord& rec, bool noRerun);

// ---------------------------------------------------------------------------
// The ingredients (".dr1")

/// What the ingredients report needs beside the record.
struct IngredientsInfo {
    /// The model's directory.
    std::string modelDir;
    /// True for a model run by the suite's interpreter from an auxiliary
    /// statement (".gss") file; false for a model program.
    bool interpreter = false;
    /// The model program, or the ".gss" file; resolved against `modelDir`.
    std::string model;
    /// The Model Information file, resolved against `modelDir`.
    std::string modelInfoFile;
    /// The Dynamic Information file; empty when the model has none.
    std::string dynamicInfoFile;
    /// The first-year data list, lines "File <name> = <actual> ; ! <description>".
    std::vector<std::string> firstYearList;
    /// The results map file setting.
    std::string resultsMapFile;
    /// The one-line description of the standard solution method.
    std::string methodDescription;
};

/// The ingredients information of the program settings (model part,
/// results map file, standard solution method).
IngredientsInfo ingredientsInfoFor(const ProgramSettings& settings);

/// Every closure and shock file named in the grid's year rows of the given
/// columns (1..4) with all the files each draws in, sorted without regard to
/// letter case, each name once.  A file that cannot be read is listed
/// without constituents.
std::vector<std::string> gridFilesWithConstituents(const TSimRecord& rec, const std::vector<int>& columns);

/// The lines of the ingredients report.
std::vector<std::string> ingredientsReportLines(const TSimRecord& rec, bool noRerun,
                                                const IngredientsInfo& info);
/// Writes the ingredients report.  Failures: those of the text-file layer,
/// followed by "[WriteReportIngredients]".
Status WriteReportIngredients(const std::string& file, const TSimRecord& rec, bool noRerun,
                              const IngredientsInfo& info);

// ---------------------------------------------------------------------------
// When the simulations were last run (".dr2")

/// Where the completion times are read from.
struct WhenRunInfo {
    /// The record-of-runs files of runs 1..3 (index 0 unused); a missing or
    /// unreadable file reads as empty.
    std::array<std::string, 4> runRecordFiles;
    /// The first simulation of runs 2 and 3.
    int firstPolicyYear = 1;
};

/// The record-of-runs files of the keep directory and the first policy year.
WhenRunInfo whenRunInfoFor(const TKeepRunInfo& keep, int firstPolicyYear);

/// The lines of the when-run report.
std::vector<std::string> whenSimsRunReportLines(const TSimRecord& rec, bool noRerun, const WhenRunInfo& info);
/// Writes the when-run report.  Failures: those of the text-file layer,
/// followed by "[WriteWhenSimsRunReport]".
Status WriteWhenSimsRunReport(const std::string& file, const TSimRecord& rec, bool noRerun,
                              const WhenRunInfo& info);

// ---------------------------------------------------------------------------
// Differences between two applications (".DRC")

/// The lines of the comparison of two records (their years computed).
std::vector<std::string> compareSimDetailsLines(const TSimRecord& first, const TSimRecord& second,
                                                bool noRerun);

// ---------------------------------------------------------------------------
// The menu commands

/// What the report commands need from the program.
struct ReportCommandEnv {
    /// The default simulation-details (".ds1") name of the application; the
    /// proposed report name is this name with the report's extension.
    std::string defaultDetailsPath;
    /// Shows a text file in the text viewer; may be empty (then nothing is shown).
    std::function<void(const std::string&)> viewText;
    /// Help context of the questions and messages.
    int helpContext = 0;
    /// Help context of the simulation-details file choosers.
    int detailsHelpContext = 0;
};

/// One report command: asks for the file name (starting in `WorkDir`),
/// writes the report with `write`, shows a failure as an error, and on
/// success asks `question` (Yes, No, Help) and shows the report on Yes.
/// Returns the file written, nullopt when cancelled or failed.
std::optional<std::string> runReportCommand(const std::string& workDir, const std::string& title,
                                            const std::string& filter, const std::string& proposedName,
                                            const std::string& question,
                                            const std::function<Status(const std::string&)>& write,
                                            const ReportCommandEnv& env, Dialogs& dialogs);

/// "Report Closure/Shocks files in Simulation" (".dr0").
std::optional<std::string> reportSimDetailsCommand(const TSimRecord& rec, bool noRerun,
                                                   const ReportCommandEnv& env, Dialogs& dialogs);
/// "Report Ingredients of Simulations" (".dr1").
std::optional<std::string> reportIngredientsCommand(const TSimRecord& rec, bool noRerun,
                                                    const IngredientsInfo& info, const ReportCommandEnv& env,
                                                    Dialogs& dialogs);
/// "Report When Simulations Were Last Run" (".dr2").  The caller restores
/// the record-of-runs files from their durable copies first.
std::optional<std::string> reportWhenSimsRunCommand(const TSimRecord& rec, bool noRerun,
                                                    const WhenRunInfo& info, const ReportCommandEnv& env,
                                                    Dialogs& dialogs);

/// The command environment of the current application: the proposed names
/// come from its default ".ds1" name (model name and simulation names).
ReportCommandEnv reportCommandEnvFor(const TSimRecord& rec, const ProgramSettings& settings,
                                     std::function<void(const std::string&)> viewText, int helpContext);

/// "Report When Simulations Were Last Run" for the current application:
/// first restores the record-of-runs files of `keep` from the application's
/// durable copies (so they describe the application loaded; a copy that
/// cannot be restored leaves that run empty), then runs the command.
std::optional<std::string> reportWhenSimsRunCommand(const TSimRecord& rec, const ProgramSettings& settings,
                                                    const TKeepRunInfo& keep, int firstPolicyYear,
                                                    const ReportCommandEnv& env, Dialogs& dialogs);

/// "When Were Sims Last Run ?" (Tasks menu): the when-run report of the
/// current application (its record-of-runs files restored first, as for the
/// written report), shown in an information message instead of a file.
/// Returns the text shown.
std::string whenSimsLastRunCommand(const TSimRecord& rec, const ProgramSettings& settings,
                                   const TKeepRunInfo& keep, int firstPolicyYear, Dialogs& dialogs);

/// Reads a simulation-details (".ds2") file into a record.
using SimRecordLoader = std::function<Status(const std::string& ds2File, TSimRecord& rec)>;
/// The loader of saved applications: `ReadSimRecordFile` in the given mode.
SimRecordLoader simDetailsLoader(bool noRerun);

/// "Report Differences in Closure/Shocks files between Two Simulations"
/// (".DRC"): asks for two ".ds1" files (again while a name does not end in
/// ".ds1" or its ".ds2" partner is missing), loads both ".ds2" files with
/// `load`, asks for the report name and writes the comparison.  A load
/// failure is shown as an error.  Failures of the file end with
/// "[CompareTwoSimDetails]".
std::optional<std::string> CompareTwoSimDetails(const std::string& workDir, bool noRerun,
                                                const SimRecordLoader& load, const ReportCommandEnv& env,
                                                Dialogs& dialogs);

}  // namespace vdln
