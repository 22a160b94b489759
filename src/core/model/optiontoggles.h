#pragma once
/// The on/off options of the Options and Run Preferences menus: each command
/// sets or toggles one setting and confirms the new state in a message.  The
/// menus show the check mark from `optionChecked`.  Options that come as a
/// pair of items ("Do Rerun ..." / "Do Not Rerun ...", "Split batch jobs" /
/// "Do not split batch jobs", "Delete Temp Dir Files when Exit ?" and its
/// twin) set the state of their item; a single item toggles.  The three-way
/// group "Move/Delete Outputs Before Run ?" and the concurrency commands are
/// in jobs/jobscommands.h.

#include <string>
#include <vector>

#include "model/settings.h"

namespace vdln {

class Dialogs;

enum class OptionCommand {
    DoRerunBase,               ///< "Do Rerun Base Case with &Policy Closures"
    DoNotRerunBase,            ///< "Do &Not Rerun Base Case with Policy Closures"
    AbbreviatedSsJobs,         ///< "Do Abbreviated SS Jobs"
    YearOnYearDifferencesSs,   ///< "Make Year-on-Year Differences SS"
    AccumulateSubtotals,       ///< "Accumulate Subtotals Results"
    ArithmeticNotFatal,        ///< "Arithmetic problems not fatal for spreadsheet jobs"
    SolFilesForShocks,         ///< "Use SOL files for Shocks"
    AddToJobsLog,              ///< "Add to Jobs Log File"
    NeverBatJob,               ///< "Never Use Bat Job for Simulations"
    BeLikeOld,                 ///< "Be Like Old Vardelon"
    VisibleLogFiles,           ///< "Log Files Visible During Run"
    SuppressScreenSaver,       ///< "Suppress Screen Saver While Job Running"
    CheckPrerequisites,        ///< "Check Job Prerequisites"
    DeleteTempFilesAtExit,     ///< "Delete Temp Dir Files when Exit ?" (yes)
    KeepTempFilesAtExit,       ///< "Delete Temp Dir Files when Exit ?" (no)
    DontUpdateIniAtExit,       ///< "Don't update INI file when exit"
    SplitBatchJobs,            ///< "Split batch jobs"
    DoNotSplitBatchJobs,       ///< "Do not split batch jobs"
    FewerMessages,             ///< "Fewer Messages and Questions"
    HideRationalExpectations,  ///< "Hide Rational Expectations"
    UsePIF,                    ///< "Use &PIF under Windows NT"
    UsePatternsOnRename,       ///< "Use Patterns when Change Sim Names"
    IgnorePatternsOnRename,    ///< "Ignore Patterns when Change Sim Names"
    BatJobsForConcurrent,      ///< "Use Bat Jobs for Concurrent Solves"
};

/// Every option command, in menu order.
const std::vector<OptionCommand>& allOptionCommands();
/// The menu caption of a command.
std::string optionCaption(OptionCommand command);
/// Whether the command's item carries the check mark now.
bool optionChecked(OptionCommand command, const ProgramSettings& settings);
/// The message confirming the state after the command.
std::string optionConfirmation(OptionCommand command, const ProgramSettings& settings);

/// Carries out the command: stores the new state and confirms it (unless
/// `quiet`).  Choosing the item of a pair that is already checked changes
/// nothing and says "This option is already checked." and the name of the
/// other item.  "Hide Rational Expectations" is refused while rational
/// expectations are being done ("Cannot hide Rational Expectations while
/// the Rational Expectations box on the Sim Overview page is checked.").
/// Returns true when the settings changed.
bool applyOptionCommand(OptionCommand command, ProgramSettings& settings, Dialogs& dialogs,
                        bool quiet = false);

}  // namespace vdln
