#pragma once
/// The one place where the contexts the modules take are made from the
/// application's state: the settings, the current record and the start-up
/// directories.  No module copies settings fields by hand: the session (and
/// anything else that runs a command outside it) asks here.

#include <functional>
#include <string>

#include "archive/archiveenv.h"
#include "env/directories.h"
#include "env/environment.h"
#include "env/tools.h"
#include "jobs/engine.h"
#include "jobs/singlejob.h"
#include "model/modelsel.h"
#include "model/settings.h"
#include "model/simrecord.h"
#include "reports/appreports.h"
#include "runrecord/prereqcheck.h"
#include "runrecord/runrecord.h"

namespace vdln {

/// What every context is made from; the references must outlive the
/// contexts made from them.
struct AppState {
    const TSimRecord& rec;
    const ProgramSettings& settings;
    const StartupDirectories& dirs;
    std::string programDir;  ///< the folder of the executable
    bool batchMode = false;
};

/// The settings reader's and writers' context (program directory, the
/// Temporary Directory in use, batch mode).
SettingsContext settingsContextFor(const AppState& s);

/// The tool locations kept in the settings.
ToolLocations toolLocationsFor(const ProgramSettings& settings);

/// Fills everything of a record-of-runs context except `firstPolicyYear`
/// (which the job sets): model, options, methods, first-year list and the
/// paths of the durable copies of the current names.
void fillRunRecordEnv(RunRecordEnv& env, const AppState& s);

/// The options of the check before a job.  `version` points into `s.settings`.
PrereqOptions prereqOptionsFor(const AppState& s);

/// The job engine's folders and modes; `detailsFile` is the job's ".ds1".
EngineEnvironment engineEnvironmentFor(const AppState& s, const std::string& detailsFile);

/// The console-job timer's folders and modes.
TimerEnvironment timerEnvironmentFor(const AppState& s);

/// Fills the folders, the model part, the options and the details writers of
/// an archive context (`env.rec` is the record the archive is made from;
/// `ctx` and `s.settings` must outlive `env`).  The first-year list, the
/// options and the details text are those of `s.settings`.
void fillArchiveEnv(ArchiveEnv& env, const AppState& s, const SettingsContext& ctx);

/// The report commands' context of the current application.
ReportCommandEnv reportEnvFor(const AppState& s, std::function<void(const std::string&)> viewText,
                              int helpContext);

/// Model selection's context: the folders and the interpreter's location.
ModelSelectEnv modelSelectEnvFor(const AppState& s, const Environment& env);

}  // namespace vdln
