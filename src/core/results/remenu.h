#pragma once
/// The "&Rational Expectations" menu as operations, one function per
/// command, and the rational-expectations pieces of the Sim Overview and
/// Model/Data pages: the Rerun-count rule, the policy-start label and the
/// questions asked when an iteration input file is viewed.  The window calls
/// these and opens what they return; batch mode and tests call them the same
/// way.  Messages go through the `Dialogs` of the context.

#include <functional>
#include <optional>
#include <string>

#include "base/dialogs.h"
#include "jobs/tasks.h"
#include "model/settings.h"
#include "model/simrecord.h"
#include "results/ratexp.h"

namespace vdln {

/// What the menu commands work with; every reference must outlive the call.
struct REMenuContext {
    TSimRecord& rec;
    ProgramSettings& settings;
    Dialogs& dialogs;
    KoraleRE& re;
    /// Starts a job (the engine's `StartBigJob`); false when it did not start.
    StartBigJobFn startBigJob;
    /// A job is running (the engine's `running()`): the iteration counts of
    /// that job are then left alone and no job is started.  May be empty.
    std::function<bool()> jobRunning = {};
};

// --- Jobs ------------------------------------------------------------------

/// "Run Base to Policy", "Do Base and Base Rerun", "Rerun Base and Run
/// Policy": the iteration counts come from the settings (the rerun's 0 in
/// no-rerun mode), "doing rational expectations" from the check box, and the
/// Tasks command's request is started.  False when cancelled or not started.
bool reRunBaseToPolicy(REMenuContext& c, const TaskEnv& env);
bool reDoBaseAndRerun(REMenuContext& c, const TaskEnv& env);
bool reRerunBaseAndRunPolicy(REMenuContext& c, const TaskEnv& env);

/// "Base - Do Extra Iterations", "Rerun of Base - Do Extra Iterations",
/// "Policy - Do Extra Iterations": reads how many iterations the run has
/// done, asks for confirmation and starts a job over all years of the run
/// that continues with the next iteration.  False when nothing was started.
bool reBaseExtraIterations(REMenuContext& c);
bool reRerunExtraIterations(REMenuContext& c);
bool rePolicyExtraIterations(REMenuContext& c);
/// The same for run 1, 2 or 3.
bool doExtraIterations(REMenuContext& c, int run);

// --- Options (check marks) ----------------------------------------------------
// Each toggles its setting and returns the new state (the check mark).

bool toggleCreateConvergenceHarFiles(ProgramSettings& s);
bool togglePreserveConvergenceRorextFiles(ProgramSettings& s);
bool togglePreserveConvergenceCsvFiles(ProgramSettings& s);
bool toggleStandardKoraleChecks(ProgramSettings& s);
/// "TAB File Allows Several Iterations on Rerun"; switching it off brings a
/// Rerun count above 1 back to 1 (with the Rerun-count message).
bool toggleSeveralRerunIterations(ProgramSettings& s, Dialogs& dialogs);

// --- Viewers -------------------------------------------------------------------

/// A file to open and the program to open it with.
struct REViewChoice {
    enum class Viewer { HeaderArray, Spreadsheet };
    std::string file;
    Viewer viewer = Viewer::HeaderArray;
};

/// "View Convergence HAR File", "View Convergence ROREXT File", "View
/// Convergence CSV File" for run r: tells when no such file exists,
/// otherwise lets the user choose one in the Working Directory.  Nothing
/// when there is none or the choice was cancelled.
std::optional<REViewChoice> viewConvergenceHarFile(REMenuContext& c, int run);
std::optional<REViewChoice> viewConvergenceRorextFile(REMenuContext& c, int run);
std::optional<REViewChoice> viewConvergenceCsvFile(REMenuContext& c, int run);

/// The file-name patterns of the three viewers of run r ("BS1B_iter*.har",
/// "rex-bs1b-2029_BIter*.har", "bs1b-ssy_BIter*.csv").
std::string convergenceHarPattern(const KoraleRE& re, int run);
std::string convergenceRorextPattern(const KoraleRE& re, int run);
std::string convergenceCsvPattern(const KoraleRE& re, int run);

// --- Sim Overview and Model/Data pages ------------------------------------------

/// The Rerun count was changed to `count`: 2 or more without "TAB File
/// Allows Several Iterations on Rerun" is set back to 1 with "Only one
/// iteration is allowed for the Base Rerun.".  Returns the count kept.
int rerunCountChanged(ProgramSettings& s, int count, Dialogs& dialogs);

/// The label beside "Policy run starts" while the rational-expectations box
/// is checked (nothing otherwise): `FirstPolicyYear` is recomputed into
/// `firstPolicyYear` first.
std::optional<std::string> policyStartLabel(const TSimRecord& rec, ProgramSettings& s, bool modelLoaded,
                                            int& firstPolicyYear, Dialogs& dialogs);

/// The file to show when the user views the first-year input `prepared` of
/// logical file `logical` from the Model/Data page: with the box checked,
/// for "ROREXT" and "ITER" the user is asked whether to see the prepared file
/// or the Base's start copy.  Nothing when the user chose to see nothing.
std::optional<std::string> viewFirstYearInputFile(REMenuContext& c, const std::string& logical,
                                                  const std::string& prepared);

/// The file to show for the first-year input of logical file `logical` of
/// run r in the results view: with the box checked, for "ROREXT" and "ITER"
/// the file the next iteration would read, or (when asked) the run's start
/// copy; otherwise `offered`.
std::string viewResultsInputFile(REMenuContext& c, int run, const std::string& logical,
                                 const std::string& offered);

}  // namespace vdln
