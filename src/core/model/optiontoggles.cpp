#include "model/optiontoggles.h"

#include "base/dialogs.h"

namespace vdln {

namespace {

struct OptionDef {
    OptionCommand command;
    const char* caption;
    bool* (*field)(ProgramSettings&);
    bool valueWhenChecked;  ///< the field's value that checks this item
    int pair;               ///< index of the other item of a pair; -1 for a toggle
    const char* onText;     ///< confirmation when the option is on after the command
    const char* offText;    ///< confirmation when it is off
};

// The member name cannot be put in parentheses.
#define FIELD(name) [](ProgramSettings& s) -> bool* { return &s.name; }  // NOLINT(bugprone-macro-parentheses)

const OptionDef kDefs[] = {
    {OptionCommand::DoRerunBase, "Do Rerun Base Case with &Policy Closures", FIELD(NoRerun), false, 1,
     "The Base Case will be rerun with the Policy closures.", ""},
    {OptionCommand::DoNotRerunBase, "Do &Not Rerun Base Case with Policy Closures", FIELD(NoRerun), true, 0,
     "The Base Case will not be rerun with the Policy closures.\r\nPolicy deviations will be from the Base "
     "Case.",
     ""},
    {OptionCommand::AbbreviatedSsJobs, "Do Abbreviated SS Jobs", FIELD(AbbreviatedSsJobs), true, -1,
     "Will do abbreviated spreadsheet jobs (year-on-year results only).",
     "Will do full spreadsheet jobs (year-on-year and cumulative results)."},
    {OptionCommand::YearOnYearDifferencesSs, "Make Year-on-Year Differences SS", FIELD(YonYDifferencesSs),
     true, -1, "Will make year-on-year differences spreadsheets.",
     "Will not make year-on-year differences spreadsheets."},
    {OptionCommand::AccumulateSubtotals, "Accumulate Subtotals Results", FIELD(AccumulateSubtotals), true, -1,
     "Will accumulate subtotals results.", "Will not accumulate subtotals results."},
    {OptionCommand::ArithmeticNotFatal, "Arithmetic problems not fatal for spreadsheet jobs",
     FIELD(ArithProbNotFatalRsl), true, -1, "Arithmetic problems will not be fatal for spreadsheet jobs.",
     "Arithmetic problems will be fatal for spreadsheet jobs."},
    {OptionCommand::SolFilesForShocks, "Use SOL files for Shocks", FIELD(SolFileShocks), true, -1,
     "Will use SOL files for shocks.", "Will not use SOL files for shocks."},
    {OptionCommand::AddToJobsLog, "Add to Jobs Log File", FIELD(AddToJobsLog), true, -1,
     "Each job will add to the Jobs Log File.", "Each job will restart the Jobs Log File."},
    {OptionCommand::NeverBatJob, "Never Use Bat Job for Simulations", FIELD(NeverBatJob), true, -1,
     "Will never use a BAT job for simulations.",
     "Will use a BAT job for simulations when the model program needs one."},
    {OptionCommand::BeLikeOld, "Be Like Old Vardelon", FIELD(BeLikeOldVardelon), true, -1,
     "Vardelon will now behave like older versions.", "Vardelon will now behave as the current version."},
    {OptionCommand::VisibleLogFiles, "Log Files Visible During Run", FIELD(VisibleLogFiles), true, -1,
     "Log files will be visible during runs.", "Log files will not be visible during runs."},
    {OptionCommand::SuppressScreenSaver, "Suppress Screen Saver While Job Running",
     FIELD(SuppressScreenSaver), true, -1, "The screen saver will be suppressed while a job runs.",
     "The screen saver will not be suppressed while a job runs."},
    {OptionCommand::CheckPrerequisites, "Check Job Prerequisites", FIELD(CheckPrerequisites), true, -1,
     "Will check the prerequisites of each job before it starts.",
     "Will not check the prerequisites of jobs before they start."},
    {OptionCommand::DeleteTempFilesAtExit, "Delete Temp Dir Files when Exit", FIELD(ClearTempDirAtExit), true,
     14, "Files in the Temporary Directory will be deleted when Vardelon exits.", ""},
    {OptionCommand::KeepTempFilesAtExit, "Do not Delete Temp Dir Files when Exit", FIELD(ClearTempDirAtExit),
     false, 13, "Files in the Temporary Directory will be kept when Vardelon exits.", ""},
    {OptionCommand::DontUpdateIniAtExit, "Don't update INI file when exit", FIELD(DontUpdateIniAtExit), true,
     -1, "The INI file will not be updated when Vardelon exits.",
     "The INI file will be updated when Vardelon exits."},
    {OptionCommand::SplitBatchJobs, "Split batch jobs", FIELD(SplitBatchJobs), true, 17,
     "Batch jobs will be split: each part starts when the one before has ended.", ""},
    {OptionCommand::DoNotSplitBatchJobs, "Do not split batch jobs", FIELD(SplitBatchJobs), false, 16,
     "Batch jobs will not be split.", ""},
    {OptionCommand::FewerMessages, "Fewer Messages and Questions", FIELD(FewerMessages), true, -1,
     "Vardelon will show fewer messages and ask fewer questions.",
     "Vardelon will show all messages and questions."},
    {OptionCommand::HideRationalExpectations, "Hide Rational Expectations",
     [](ProgramSettings& s) -> bool* { return &s.re.HideRE; }, true, -1,
     "The Rational Expectations controls are now hidden.",
     "The Rational Expectations controls are now shown."},
    {OptionCommand::UsePIF, "Use &PIF under Windows NT", FIELD(UsePIF), true, -1,
     "Will use PIF files under Windows NT.\r\n[On this system batch files are always run by /bin/sh, so "
     "this changes nothing here.]",
     "Will not use PIF files under Windows NT.\r\n[On this system batch files are always run by /bin/sh, "
     "so this changes nothing here.]"},
    {OptionCommand::UsePatternsOnRename, "Use Patterns when Change Sim Names", FIELD(PatternsOnRename), true,
     22,
     "When a Sim name changes, closure and shock files that follow the pattern of the old name will follow "
     "the new one.",
     ""},
    {OptionCommand::IgnorePatternsOnRename, "Ignore Patterns when Change Sim Names", FIELD(PatternsOnRename),
     false, 21,
     "When a Sim name changes, the closure and shock files named on the Closure/Shock page stay "
     "as they are.",
     ""},
    {OptionCommand::BatJobsForConcurrent, "Use Bat Jobs for Concurrent Solves", FIELD(BatJobsForConcurrent),
     true, -1, "Concurrent solves will run the model through a BAT job.",
     "Concurrent solves will run the model as any other solve."},
};

#undef FIELD

const OptionDef& def(OptionCommand c) {
    return kDefs[static_cast<int>(c)];
}

std::string plainCaption(const char* caption) {
    std::string s;
    for (const char* p = caption; *p; ++p)
        if (*p != '&') s += *p;
    return s;
}

}  // namespace

const std::vector<OptionCommand>& allOptionCommands() {
    static const std::vector<OptionCommand> all = [] {
        std::vector<OptionCommand> v;
        for (const OptionDef& d : kDefs) v.push_back(d.command);
        return v;
    }();
    return all;
}

std::string optionCaption(OptionCommand c) {
    return def(c).caption;
}

bool optionChecked(OptionCommand c, const ProgramSettings& settings) {
    const OptionDef& d = def(c);
    return *d.field(const_cast<ProgramSettings&>(settings)) == d.valueWhenChecked;
}

std::string optionConfirmation(OptionCommand c, const ProgramSettings& settings) {
    const OptionDef& d = def(c);
    if (d.pair >= 0) {
        // The checked item of the pair explains the state.
        const OptionDef& checked = optionChecked(c, settings) ? d : kDefs[d.pair];
        return checked.onText;
    }
    return optionChecked(c, settings) ? d.onText : d.offText;
}

bool applyOptionCommand(OptionCommand c, ProgramSettings& settings, Dialogs& dialogs, bool quiet) {
    const OptionDef& d = def(c);
    bool* field = d.field(settings);
    if (d.pair >= 0) {
        if (*field == d.valueWhenChecked) {
            if (!quiet)
                dialogs.info(
                    "This option is already checked. If you wish to change this option,\r\n please select "
                    "the "
                    "other option [" +
                    plainCaption(kDefs[d.pair].caption) + "].");
            return false;
        }
        *field = d.valueWhenChecked;
    } else {
        if (c == OptionCommand::HideRationalExpectations && !settings.re.HideRE && settings.re.DoingRE) {
            if (!quiet)
                dialogs.info(
                    "Cannot hide Rational Expectations while the Rational Expectations box on the Sim "
                    "Overview page is checked.");
            return false;
        }
        *field = !*field;
    }
    if (!quiet) dialogs.info(optionConfirmation(c, settings));
    return true;
}

}  // namespace vdln
