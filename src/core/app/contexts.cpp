#include "app/contexts.h"

#include "model/simdetails.h"

namespace vdln {

SettingsContext settingsContextFor(const AppState& s) {
    SettingsContext c;
    c.programDir = s.programDir;
    c.currentTempDir = s.dirs.tempDir;
    c.batchMode = s.batchMode;
    return c;
}

ToolLocations toolLocationsFor(const ProgramSettings& settings) {
    ToolLocations t;
    t.outlens = settings.tools.Outlens;
    t.gridlens = settings.tools.Gridlens;
    t.editor = settings.tools.Editor;
    t.suiteProgramsDir = settings.tools.UseSolvaneDir;
    return t;
}

void fillRunRecordEnv(RunRecordEnv& env, const AppState& s) {
    const ProgramSettings& st = s.settings;
    env.keep = TKeepRunInfo::inDirectory(s.dirs.keepDir);
    env.copies = RunRecordCopyPaths(s.rec, st.model.ModelName, st.NoRerun);
    env.noRerun = st.NoRerun;
    env.beLikeOld = st.BeLikeOldVardelon;
    env.developerMode = st.DeveloperMode;
    env.modelFile = st.model.Model;
    env.notWinconsoleExe = st.model.NotWinconsoleExe;
    env.modelInfoFile = st.model.ModelInfoFile;
    env.dynamicInfoFile = st.model.IsDinFile ? st.model.DynamicInfoFile : std::string();
    env.solFileShocks = st.SolFileShocks;
    env.resultsMapFile = st.ResultsMapFile;
    env.abbreviatedSS = st.AbbreviatedSsJobs;
    env.yearOnYearDiffs = st.YonYDifferencesSs;
    env.useCMFStart = true;
    env.useRunSpecificCMFStart = !st.BeLikeOldVardelon;
    env.firstYearList = st.model.FirstYearList;
    env.method = st.Method;
    env.accuracy = st.Accuracy;
    env.altMethod = st.AltMethod;
    env.altAccuracy = st.AltAccuracy;
}

PrereqOptions prereqOptionsFor(const AppState& s) {
    PrereqOptions p;
    p.checkPrerequisites = s.settings.CheckPrerequisites;
    p.fewerMessages = s.settings.FewerMessages;
    p.batchMode = s.batchMode;
    p.version = &s.settings.model.Version;
    return p;
}

EngineEnvironment engineEnvironmentFor(const AppState& s, const std::string& detailsFile) {
    EngineEnvironment e;
    e.programDir = s.programDir;
    e.tempDir = s.dirs.tempDir;
    e.keepDir = s.dirs.keepDir;
    e.batchMode = s.batchMode;
    e.detailsFile = detailsFile;
    return e;
}

TimerEnvironment timerEnvironmentFor(const AppState& s) {
    return TimerEnvironment{s.dirs.tempDir, s.dirs.keepDir, s.batchMode, s.settings.NeverBatJob};
}

void fillArchiveEnv(ArchiveEnv& env, const AppState& s, const SettingsContext& ctx) {
    const ProgramSettings& settings = s.settings;
    const ModelSettings& m = settings.model;
    env.programDir = s.programDir;
    env.tempDir = s.dirs.tempDir;
    env.batch = s.batchMode;
    env.modelFile = m.Model;
    env.modelName = m.ModelName;
    env.modelInfoFile = m.ModelInfoFile;
    env.dynamicInfoFile = m.IsDinFile ? m.DynamicInfoFile : std::string();
    env.firstYearList = m.FirstYearList;
    env.resultsMapFile = settings.ResultsMapFile;
    env.noRerun = settings.NoRerun;
    env.useCMFStart = true;
    env.useRunSpecificCMFStart = !settings.BeLikeOldVardelon;
    const TSimRecord* rec = &env.rec;
    Dialogs* dialogs = &env.dialogs;
    env.writeSettingsText = [&settings, &ctx, rec, dialogs](const std::string& file) -> Status {
        if (!WriteIniOptions(file, true, settings, *rec, ctx, *dialogs))
            return Status::fail("Cannot create file " + file + "[WriteIniOptions]");
        return Status::ok();
    };
    env.writeSimRecord = [rec](const std::string& file) { return WriteSimRecordFile(*rec, file); };
}

ReportCommandEnv reportEnvFor(const AppState& s, std::function<void(const std::string&)> viewText,
                              int helpContext) {
    return reportCommandEnvFor(s.rec, s.settings, std::move(viewText), helpContext);
}

ModelSelectEnv modelSelectEnvFor(const AppState& s, const Environment& env) {
    ModelSelectEnv m;
    m.tempDir = s.dirs.tempDir;
    m.programDir = s.programDir;
    const ToolLocations tools = toolLocationsFor(s.settings);
    m.locateCalvex = [&env, tools] { return locateProgram(env, tools, "calvex"); };
    return m;
}

}  // namespace vdln
