#include "support/jobapp.h"

#include "model/simgrid.h"
#include "support/tempdir.h"

namespace vdln::testing {

void setUpTwoYearApplication(const std::string& root, EngineEnvironment& env, TSimRecord& rec,
                             ProgramSettings& settings) {
    const std::string work = root + "/work";
    env.tempDir = root + "/tmp";
    env.keepDir = root + "/keep";
    env.programDir = root + "/bin";
    env.batchMode = true;
    for (const auto& d : {work, env.tempDir, env.keepDir, env.programDir}) writeFile(d + "/.keep", "");
    for (const char* p : {"tellura.exe", "sectraa.exe", "aggrexa.exe", "diveroa.exe", "mergixa.exe"})
        writeFile(env.programDir + "/" + p, "");
    writeFile(work + "/model.exe", "");
    writeFile(work + "/BASE.CLS", "exogenous x ;\n rest endogenous ;\n");
    writeFile(work + "/POL.CLS", "exogenous a ;\n rest endogenous ;\n");
    writeFile(work + "/P2.PSH", "shock a = 1 ;\n");
    writeFile(work + "/base.har", "data");
    writeFile(work + "/growth.map", "x\n");
    rec = CreateSimRecord();
    rec.NumYears = 2;
    rec.StartYear = 2024;
    rec.SimNames[1] = "BS1";
    rec.SimNames[2] = "BR1";
    rec.SimNames[3] = "PL1";
    rec.WorkDir = work;
    rec.NumModelFiles = 1;
    rec.ModelFiles[1] = makeModelFileDesc("BASEDATA", "HAR", true, true, "data");
    rec.NumFiles = 1;
    rec.Files[1] = makeSimFileEntry(rec.ModelFiles[1], 1);
    for (int i = 1; i <= kMaxYears; ++i) rec.PeriodLength[i] = 1;
    ComputeYears(rec);
    rec.GridStem(-1, 2) = "N/A";
    rec.GridStem(0, 1) = "BASE";
    rec.GridStem(0, 3) = "POL";
    for (int i = 1; i <= 2; ++i) {
        rec.GridStem(i, 1) = "?";
        rec.GridStem(i, 3) = "?";
    }
    rec.GridStem(2, 4) = "P2";
    RefreshGrid(rec);
    settings.model.Model = work + "/model.exe";
    settings.model.FirstYearList = {"file BASEDATA = base.har ;"};
    settings.ResultsMapFile = work + "/growth.map";
    settings.ConcurrentSolves = 1;
    settings.Outputs = OutputsBeforeRun::Delete;
}

JobRequest everythingRequest(int numYears) {
    JobRequest r = emptyRequest(numYears);
    for (int run = 1; run <= 3; ++run) {
        r.FirstSimYear[run] = r.FirstSSYear[run] = 1;
        r.LastSimYear[run] = r.LastSSYear[run] = numYears;
    }
    r.DoDeviations = true;
    return r;
}

void JobAppTest::SetUp() {
    TempDirTest::SetUp();
    setUpTwoYearApplication(dir(), env, rec, settings);
    work = rec.WorkDir;
}

int JobAppTest::busySlot(const JobEngine& e) {
    for (int s = 1; s <= 3; ++s)
        if (e.job().Jobs[s].InUse) return s;
    return 0;
}

void JobAppTest::endSlot(JobEngine& e, int slot, const std::string& reportLines, const char* output) {
    const TOneDosJob& j = e.job().Jobs[slot];
    ASSERT_TRUE(j.InUse) << "slot " << slot;
    launched.push_back(stepText(j.JobName, j.JobPart) + " r" + std::to_string(j.Run) + " y" +
                       std::to_string(j.Year));
    writeFile(j.ReportFile, "[Result]\r\n" + reportLines);
    writeFile(j.LogFile, "log of " + std::string(text(j.JobPart)) + "\r\n");
    if (output) writeFile(j.OutputFile, output);
    ASSERT_TRUE(launcher.endProcess(ProcessHandle{static_cast<std::uint64_t>(j.Process)}, 0));
}

void JobAppTest::runToEnd(JobEngine& e, const std::function<void(int slot)>& play, int limit) {
    for (int guard = 0; guard < limit && e.running(); ++guard) {
        const int s = busySlot(e);
        ASSERT_GT(s, 0) << "a running job with no busy slot";
        play(s);
        e.tick();
    }
}

}  // namespace vdln::testing
