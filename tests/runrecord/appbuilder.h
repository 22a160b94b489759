#pragma once
// A small application in a folder, with helpers that play the part of the
// job engine: each step writes its output files and is then recorded with
// `WriteRunRecord`.  Used by the record-of-runs tests and benchmark (no
// test framework needed).

#include <fstream>
#include <memory>
#include <string>

#include "base/clock.h"
#include "base/dialogs.h"
#include "base/fileutil.h"
#include "base/paths.h"
#include "doubles/scripteddialogs.h"
#include "model/filenames.h"
#include "model/simgrid.h"
#include "model/simrecord.h"
#include "runrecord/recordstore.h"
#include "runrecord/runrecord.h"

namespace vdln::testing {

class AppBuilder {
public:
    /// An application of `numYears` years under `root` with one updated input
    /// (BASEDATA), `constantInputs` constant inputs (PARAMS, PARAMS2, ...)
    /// and one output-only file (SUMMARY); policy shocks from
    /// `firstPolicyYear` on.
    AppBuilder(const std::string& root, int numYears, int constantInputs = 1, int firstPolicyYear = 2)
        : m_root(root), clock(fileTimeFromLocal(2026, 1, 1, 0, 0, 0)) {
        work = JoinPath(root, "work");
        keep = JoinPath(root, "keep");
        modelDir = JoinPath(root, "model");
        (void)makeDirectories(work);
        (void)makeDirectories(keep);
        (void)makeDirectories(modelDir);
        sim = CreateSimRecord();
        InitSimRecord(sim, work);
        sim.NumYears = numYears;
        sim.StartYear = 2024;
        ComputeYears(sim);
        sim.NumFiles = 0;
        addFile(makeModelFileDesc("BASEDATA", "HAR", true, true), "BAS");
        for (int k = 0; k < constantInputs; ++k)
            addFile(
                makeModelFileDesc(k == 0 ? "PARAMS" : "PARAMS" + std::to_string(k + 1), "HAR", true, false),
                k == 0 ? "PAR" : std::string(k < 10 ? "Q0" : "Q") + std::to_string(k));
        addFile(makeModelFileDesc("SUMMARY", "TXT", false, false), "SUM");

        for (int row = -1; row <= numYears; ++row)
            for (int col = 1; col <= 4; ++col) sim.GridStem(row, col) = (row == -1 && col == 2) ? "N/A" : "";
        write(JoinPath(work, "BASE.CLS"), "exogenous x l t ; rest endogenous ;\n");
        write(JoinPath(work, "POLICY.CLS"), "exogenous a l t ; rest endogenous ;\n");
        write(JoinPath(work, "grow.har"), "growth rates");
        for (int i = 1; i <= numYears; ++i) {
            const std::string y = std::to_string(sim.Years[i]);
            sim.GridStem(i, 1) = "BASE";
            sim.GridStem(i, 2) = "B" + y;
            sim.GridStem(i, 3) = "POLICY";
            write(JoinPath(work, "B" + y + ".BSH"), "shock x = file \"grow.har\" header \"G" + y + "\" ;\n");
            if (i >= firstPolicyYear) {
                sim.GridStem(i, 4) = "P" + y;
                write(JoinPath(work, "P" + y + ".PSH"), "ashock t(\"MAN\") = 10 ;\n");
            }
        }
        RefreshGrid(sim);

        write(JoinPath(modelDir, "growth.exe"), "program");
        write(JoinPath(modelDir, "growth.axs"), "axs");
        write(JoinPath(modelDir, "growth.axt"), "axt");
        write(JoinPath(modelDir, "growth.min"), "min");
        write(JoinPath(work, "growth.map"), "x\nk\na\n");

        env = std::make_unique<RunRecordEnv>(sim, TKeepRunInfo::inDirectory(keep), clock);
        env->firstPolicyYear = firstPolicyYear;
        env->modelFile = JoinPath(modelDir, "growth.exe");
        env->modelInfoFile = JoinPath(modelDir, "growth.min");
        env->resultsMapFile = JoinPath(work, "growth.map");
        for (int r = 1; r <= 3; ++r) env->copies[r] = JoinPath(work, "growth-app.ds" + std::to_string(r + 2));
        for (int k = 1; k <= sim.NumFiles; ++k) {
            const TSimFileEntry& f = sim.Files[k];
            if (f.Usage == kUsageOutput) continue;
            const std::string file = JoinPath(work, toLowerName(f.Name.str()) + "2023.har");
            write(file, "first year data of " + f.Name.str());
            env->firstYearList.push_back("file " + f.Name.str() + " = " + file + " ;");
        }
    }

    static std::string toLowerName(std::string s) {
        for (char& c : s) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        return s;
    }

    static void write(const std::string& path, const std::string& content) {
        std::ofstream f(path, std::ios::binary | std::ios::trunc);
        f << content;
    }

    /// Writes the outputs of a step and records it.
    bool runStep(int run, int i, StepKind kind) {
        clock.advanceSeconds(60);
        const bool nr = env->noRerun;
        const std::string tag =
            std::to_string(run) + "/" + std::to_string(i) + "/" + std::to_string(++m_count);
        if (i > sim.NumYears) {
            for (const auto& kv : spreadsheetOutputs(*env, run)) write(kv.second, "ss " + tag);
            for (int k = env->firstYearOf(run); k <= sim.NumYears; ++k)
                write(yearCsvFile(*env, run, k), "csv " + tag);
        } else if (kind == StepKind::Bot) {
            write(BotFile(sim, i, nr), "bot " + tag);
            if (env->solFileShocks) write(BotResultsFile(sim, i, nr), "rsl " + tag);
        } else {
            const std::string sol = SolutionFile(sim, i, run, nr);
            write(sol, "sol " + tag);
            write(changeExt(sol, ".slc"), "slc " + tag);
            write(SimLogFile(sim, i, run, nr), "log " + tag);
            for (int k = 1; k <= sim.NumFiles; ++k) {
                const TSimFileEntry& f = sim.Files[k];
                if (f.Usage == kUsageOutput)
                    write(env->inWorkDir(DataFileName(sim, i, run, nr, k)), "out " + tag);
                else if (f.IsInput && f.IsUpdated)
                    write(env->inWorkDir(UpdatedFileName(sim, i, run, nr, k)), "upd " + tag);
            }
        }
        if (store)
            return WriteRunRecord(*env, dialogs, *store, run, i, kind, env->accuracyForYear(i),
                                  env->methodForYear(i));
        return WriteRunRecord(*env, dialogs, run, i, kind, env->accuracyForYear(i), env->methodForYear(i));
    }

    /// Runs every step of a run in order (BOT jobs before the run's years).
    void runRun(int run) {
        for (int i = env->firstYearOf(run); i <= sim.NumYears; ++i) {
            if (run == env->botRecordRun()) runStep(run, i, StepKind::Bot);
            runStep(run, i, StepKind::Sim);
        }
        runStep(run, sim.NumYears + 1, StepKind::Sim);
    }

    /// Runs the whole application and saves the durable copies.
    void runAll() {
        for (int r = 1; r <= 3; ++r)
            if (!(r == 2 && env->noRerun)) runRun(r);
        saveCopies();
    }

    void saveCopies() {
        std::array<std::string, 4> names;
        for (int r = 1; r <= 3; ++r) names[r] = sim.SimNames[r].str();
        (void)SaveRunRecordCopies(env->keep, {false, true, true, true}, env->copies, names, sim.WorkDir);
    }

    std::string m_root;
    std::string work, keep, modelDir;
    TSimRecord sim;
    FixedClock clock;
    ScriptedDialogs dialogs;
    /// When set, completions go through this store as in a job.
    RunRecordStore* store = nullptr;
    std::unique_ptr<RunRecordEnv> env;

private:
    void addFile(const TModelFileDesc& d, const std::string& key) {
        ++sim.NumFiles;
        sim.Files[sim.NumFiles] = makeSimFileEntry(d, sim.NumFiles);
        sim.Files[sim.NumFiles].Key = key;
    }
    int m_count = 0;
};

}  // namespace vdln::testing
