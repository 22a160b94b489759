#include "jobs/ssscripts.h"

#include <algorithm>
#include <set>

#include "base/fileutil.h"
#include "base/paths.h"
#include "env/suite.h"
#include "model/filenames.h"

namespace vdln {

namespace {

const char* kOneBlank = " ";

Result<std::string> writeScript(const std::string& path, const std::vector<std::string>& lines) {
    // The writer's text names the file and, on a full disk, the reason.
    if (Status s = writeLinesAtomic(path, lines, false); !s) return Result<std::string>(s);
    return path;
}

std::string tempFile(const ScriptContext& c, const std::string& name) {
    return JoinPath(c.tempDir, name);
}

std::string yearStem(const ScriptContext& c, int year, int run) {
    return RunStem(c.rec, year, run);
}

// The part names that decide an accumulated name: a "py" part is named like
// "yony" ("aggrex") or "cum" ("cumsol").
PartKind namedPart(JobKind kind, PartKind part) {
    if (part != PartKind::Py) return part;
    return kind == JobKind::Aggrex ? PartKind::Yony : PartKind::Cum;
}

// The range a part covers.
void partRange(const ScriptContext& c, PartKind part, int run, int& first, int& last) {
    if (part == PartKind::Py) {
        first = c.job.PYFirstYear[run];
        last = c.job.PYLastYear[run];
    } else {
        first = c.job.FirstSSYear[run];
        last = c.job.LastSSYear[run];
    }
}

std::string withoutExt(const std::string& name) {
    return changeExt(name, "");
}

// The stored inputs the script writers write and the parts read.
std::string csvScriptFile(const ScriptContext& c, JobKind kind, int run) {
    return tempFile(c, RunPrefix(c.rec, run) + std::string(text(kind)) + ".st4");
}

std::string solScriptFile(const ScriptContext& c, int year, int run) {
    return tempFile(c, yearStem(c, year, run) + "st7.st7");
}

std::string solpolScriptFile(const ScriptContext& c, int year) {
    return tempFile(c, yearStem(c, year, botRun(c.noRerun)) + "st8.st8");
}

std::string suiteProgram(const ScriptContext& c, const char* exe) {
    return JoinPath(c.programDir, exe);
}

}  // namespace

std::string perYearCsvFile(const ScriptContext& c, int year, int run) {
    return tempFile(c, yearStem(c, year, run) + ".CSV");
}

std::string perYearRslFile(const ScriptContext& c, int year, int run) {
    return tempFile(c, yearStem(c, year, run) + ".rsl");
}

std::string solutionStem(const ScriptContext& c, int year, int run) {
    return withoutExt(SolutionFile(c.rec, year, run, c.noRerun));
}

std::vector<int> spreadsheetYears(const ScriptContext& c, int run) {
    std::set<int> years;
    if (c.job.DoSS[run])
        for (int i = c.job.FirstSSYear[run]; i <= c.job.LastSSYear[run]; ++i) years.insert(i);
    if (c.job.DoPY[run])
        for (int i = c.job.PYFirstYear[run]; i <= c.job.PYLastYear[run]; ++i) years.insert(i);
    return {years.begin(), years.end()};
}

std::string accumulatedName(const ScriptContext& c, JobKind kind, PartKind part, int run, int first,
                            int last) {
    return SpreadsheetCsvName(c.rec, run, first, last, c.firstRunOf(run), c.noRerun,
                              isDeviationStep(kind) ? ResultsKind::Deviations : ResultsKind::Spreadsheet,
                              std::string(text(part)));
}

namespace {

// Output, script and log names of an accumulation or deviation part.
struct AccNames {
    std::string output;  // in the Working Directory
    std::string script;  // in the Temporary Directory
    std::string log;     // in the Temporary Directory
};

AccNames accNames(const ScriptContext& c, JobKind kind, PartKind part, int run) {
    int first = 0, last = 0;
    partRange(c, part, run, first, last);
    const bool sol = kind == JobKind::Cumsol || kind == JobKind::Devsol;
    const std::string csv = accumulatedName(c, kind, namedPart(kind, part), run, first, last);
    AccNames n;
    n.output = JoinPath(c.rec.WorkDir, sol ? changeExt(csv, ".rsl") : csv);
    const std::string base = sol ? withoutExt(csv) + "sol" : withoutExt(csv);
    const bool deviation = isDeviationStep(kind);
    n.script = tempFile(c, base + (deviation ? ".st6" : ".st5"));
    n.log = tempFile(c, base + ".log");
    return n;
}

std::vector<std::string> accumulationLines(const ScriptContext& c, JobKind kind, PartKind part, int run) {
    int first = 0, last = 0;
    partRange(c, part, run, first, last);
    const AccNames names = accNames(c, kind, part, run);
    const int n = last - first + 1;
    const bool aggrex = kind == JobKind::Aggrex;
    std::vector<std::string> l{"bat"};
    if (aggrex && c.opt.subtotals) l.push_back("sub  ! accumulate subtotals");
    if (c.opt.arithmeticNotFatal) l.push_back("anf  ! Arithmetic problems not fatal");
    l.push_back("rpt");
    l.push_back(changeExt(names.script, ".rpt"));
    if (aggrex && part == PartKind::Cum) l.push_back("acc");
    if (!aggrex) l.push_back("cml");
    l.push_back(kOneBlank);
    if (aggrex) l.push_back(std::to_string(n) + "   ! no files");
    l.push_back(solutionStem(c, first, run) + "    ! relevant SL4 file");
    if (!aggrex) l.push_back(std::to_string(n) + "   ! no files");
    for (int i = first; i <= last; ++i)
        l.push_back((aggrex ? perYearCsvFile(c, i, run) : perYearRslFile(c, i, run)) +
                    "    ! Input CSV file");
    l.push_back(names.output + "   ! Output file");
    return l;
}

std::vector<std::string> deviationLines(const ScriptContext& c, JobKind kind, PartKind part) {
    const bool aggrex = kind == JobKind::Aggrex;
    const JobKind devKind = aggrex ? JobKind::Divero : JobKind::Devsol;
    const AccNames names = accNames(c, devKind, part, 3);
    const PartKind cmp = aggrex ? PartKind::Yony : PartKind::Cum;
    const int cmpRun = comparisonRun(c.noRerun);
    int from = c.job.FirstSSYear[3];
    if (c.noRerun) from = std::max(from, c.firstPolicyYear);
    const int to = c.job.LastSSYear[3];
    std::vector<std::string> l{"bat", "rpt", changeExt(names.script, ".rpt")};
    if (c.opt.arithmeticNotFatal) l.push_back("anf  ! Arithmetic problems not fatal");
    if (!aggrex) {
        l.push_back("dif");
        l.push_back(kOneBlank);
    } else {
        if (part == PartKind::Yony) l.push_back("nac");
        l.push_back("sol");
    }
    l.push_back(solutionStem(c, c.firstPolicyYear, 3));
    if (aggrex) l.push_back(kOneBlank);
    auto accumulated = [&](int run) {
        std::string name = accumulatedName(c, JobKind::Aggrex, cmp, run, from, to);
        if (!aggrex) name = changeExt(name, ".rsl");
        return JoinPath(c.rec.WorkDir, name);
    };
    l.push_back(accumulated(cmpRun));
    l.push_back(accumulated(3));
    l.push_back(names.output + "   ! Output file");
    return l;
}

Status writeSequenceFiles(const ScriptContext& c, int run) {
    if (!c.job.DoSS[run]) return Status::ok();
    const int first = c.job.FirstSSYear[run], last = c.job.LastSSYear[run];
    const int n = last - first + 1;
    auto names = [&](int r) {
        std::vector<std::string> v;
        for (int i = first; i <= last; ++i) v.push_back(nameOf(SolutionFile(c.rec, i, r, c.noRerun)));
        return v;
    };
    std::vector<std::string> seq1{std::to_string(n) + " 1"};
    for (auto& s : names(run)) seq1.push_back(s);
    std::string f1 = SequenceFile(c.rec, run, first, last, c.firstRunOf(run), c.noRerun, false);
    if (Status w = writeLinesAtomic(f1, seq1, false); !w) return w;
    if (run == 3) {
        std::vector<std::string> seq2{std::to_string(n) + " 2"};
        for (auto& s : names(comparisonRun(c.noRerun))) seq2.push_back(s);
        for (auto& s : names(3)) seq2.push_back(s);
        std::string f2 = SequenceFile(c.rec, run, first, last, c.firstRunOf(run), c.noRerun, true);
        if (Status w = writeLinesAtomic(f2, seq2, false); !w) return w;
    }
    return Status::ok();
}

}  // namespace

Result<PartFiles> partFiles(const ScriptContext& c, const StepChoice& p, const std::string& slotDir) {
    PartFiles f;
    f.dir = slotDir;
    const int i = p.Year, r = p.Run;
    auto fromStdin = [&] {
        f.logFile = changeExt(f.stdinFile, ".log");
        f.reportFile = changeExt(f.stdinFile, ".rpt");
    };
    if (p.JobName == JobKind::Sim) {
        f.stepLogFile = SimLogFile(c.rec, i, r, c.noRerun);
        if (p.JobPart == PartKind::Sim) {
            // The model program: its stored input, log and report in the
            // Temporary Directory, named as `WriteRunBat` writes them.
            f.program = c.modelProgram;
            f.stdinFile = StiFile(c.rec, i, r, c.noRerun, c.tempDir);
            f.logFile = JobLogFile(c.rec, i, r, c.noRerun, c.tempDir);
            f.reportFile = RptFile(c.rec, i, r, c.noRerun, c.tempDir);
            f.outputFile = SolutionFile(c.rec, i, r, c.noRerun);
            return f;
        }
        if (p.JobPart == PartKind::Sol) {
            f.program = suiteProgram(c, kSectraExe);
            f.dir = c.tempDir;
            f.stdinFile = solScriptFile(c, i, r);
            f.outputFile = changeExt(SolutionFile(c.rec, i, r, c.noRerun), ".sol");
            fromStdin();
            return f;
        }
        return Result<PartFiles>::fail("Unexpected part " + std::string(text(p.JobPart)) + " of a sim job");
    }
    if (p.JobName == JobKind::Bot) {
        f.stepLogFile = BotJobLogFile(c.rec, i, c.noRerun);
        // The environment and map files the BOT step's parts pass on.
        const std::string saved = tempFile(c, yearStem(c, i, r));
        switch (p.JobPart) {
            case PartKind::Env:
                f.program = c.modelProgram;
                f.stdinFile = BotStepInputFile(c.rec, i, r, c.tempDir, BotStepInput::Environment);
                f.outputFile = saved + ".en4";
                break;
            case PartKind::Solpol:
                f.program = suiteProgram(c, kSectraExe);
                f.stdinFile = solpolScriptFile(c, i);
                f.outputFile = BotResultsFile(c.rec, i, c.noRerun);
                break;
            case PartKind::Tellur1:
                f.program = suiteProgram(c, kTellurExe);
                f.stdinFile = BotStepInputFile(c.rec, i, r, c.tempDir, BotStepInput::Map);
                f.outputFile = saved + ".map";
                break;
            case PartKind::Sectra1:
                f.program = suiteProgram(c, kSectraExe);
                f.stdinFile = BotStepInputFile(c.rec, i, r, c.tempDir, BotStepInput::BotFromSolution);
                f.outputFile = BotFile(c.rec, i, c.noRerun);
                break;
            case PartKind::Tellur2:
                f.program = suiteProgram(c, kTellurExe);
                f.stdinFile = BotStepInputFile(c.rec, i, r, c.tempDir, BotStepInput::BotFromResults);
                f.outputFile = BotFile(c.rec, i, c.noRerun);
                break;
            default:
                return Result<PartFiles>::fail("Unexpected part " + std::string(text(p.JobPart)) +
                                               " of a BOT job");
        }
        fromStdin();
        return f;
    }
    // Spreadsheet parts: the run's spreadsheet log, named from its range (the
    // policy's range when the run has no spreadsheets of its own).
    const int logRun = c.job.DoSS[r] ? r : 3;
    f.stepLogFile = SpreadsheetLogFile(c.rec, r, c.job.FirstSSYear[logRun], c.job.LastSSYear[logRun],
                                       c.firstRunOf(r), c.noRerun);
    if (p.JobName == JobKind::Csv || p.JobName == JobKind::SsSol) {
        f.program = suiteProgram(c, kSectraExe);
        f.stdinFile = csvScriptFile(c, p.JobName, r);
        fromStdin();
        const int lastYear =
            std::max(c.job.DoSS[r] ? c.job.LastSSYear[r] : 0, c.job.DoPY[r] ? c.job.PYLastYear[r] : 0);
        f.outputFile =
            p.JobName == JobKind::Csv ? perYearCsvFile(c, lastYear, r) : perYearRslFile(c, lastYear, r);
        return f;
    }
    if (isAccumulationStep(p.JobName)) {
        const AccNames n = accNames(c, p.JobName, p.JobPart, r);
        f.program = suiteProgram(c, p.JobName == JobKind::Aggrex   ? kAggrexExe
                                    : p.JobName == JobKind::Divero ? kDiveroExe
                                                                   : kMergixExe);
        f.stdinFile = n.script;
        f.logFile = n.log;
        f.reportFile = changeExt(n.script, ".rpt");
        f.outputFile = n.output;
        return f;
    }
    return Result<PartFiles>::fail("Unexpected part " + std::string(text(p.JobPart)) + " of job " +
                                   std::string(text(p.JobName)));
}

Result<std::string> writeCsvScript(const ScriptContext& c, JobKind kind, int run) {
    const bool csv = kind == JobKind::Csv;
    const std::string script = csvScriptFile(c, kind, run);
    std::vector<std::string> l{"bat", "rpt", changeExt(script, ".rpt")};
    const std::vector<int> years = spreadsheetYears(c, run);
    for (size_t k = 0; k < years.size(); ++k) {
        const int i = years[k];
        if (k + 1 < years.size()) l.push_back("mor");
        if (csv) {
            l.push_back("nlv  ! No levels results");
            l.push_back("sss  ! Write Short SS file");
            l.push_back(kOneBlank);
        }
        l.push_back(kOneBlank);
        l.push_back(solutionStem(c, i, run) + "    ! Sl4 file");
        if (csv) {
            l.push_back(c.opt.subtotals ? "   ! subtotals if available, otherwise cum col"
                                        : "c  ! just the cum column");
            l.push_back("y  ! use SS mapping file");
            l.push_back(c.opt.mapFile + "    ! SS Map file");
            l.push_back(perYearCsvFile(c, i, run) + "    ! Output CSV file");
        } else {
            l.push_back("c  ! just the cum column");
            l.push_back("n  ! do not use HAR mapping file");
            l.push_back("xx.xx  ! HAR mapping file created");
            l.push_back(perYearRslFile(c, i, run) + "    ! Output SOL file");
        }
    }
    return writeScript(script, l);
}

Result<std::vector<std::string>> writeAccumulationScripts(const ScriptContext& c, JobKind kind, int run) {
    std::vector<std::string> written;
    const bool aggrex = kind == JobKind::Aggrex;
    std::vector<PartKind> parts;
    if (c.job.DoSS[run]) {
        if (aggrex) parts.push_back(PartKind::Yony);
        if (!(aggrex && c.opt.abbreviated)) parts.push_back(PartKind::Cum);
    }
    if (c.job.DoPY[run]) parts.push_back(PartKind::Py);
    for (const PartKind part : parts) {
        auto w = writeScript(accNames(c, kind, part, run).script, accumulationLines(c, kind, part, run));
        if (!w) return Result<std::vector<std::string>>::fail(w.message());
        written.push_back(*w);
    }
    if (run == 3 && c.job.DoDeviations) {
        std::vector<PartKind> devParts;
        if (aggrex && c.opt.yearOnYearDiffs) devParts.push_back(PartKind::Yony);
        devParts.push_back(PartKind::Cum);
        for (const PartKind part : devParts) {
            auto w = writeScript(accNames(c, aggrex ? JobKind::Divero : JobKind::Devsol, part, 3).script,
                                 deviationLines(c, kind, part));
            if (!w) return Result<std::vector<std::string>>::fail(w.message());
            written.push_back(*w);
        }
    }
    if (aggrex)
        if (Status s = writeSequenceFiles(c, run); !s)
            return Result<std::vector<std::string>>::fail(s.message());
    return written;
}

Result<std::string> writeSolScript(const ScriptContext& c, int year, int run) {
    const std::string stem = yearStem(c, year, run);
    const std::string sol = solutionStem(c, year, run);
    std::vector<std::string> l{"bat",
                               "rpt",
                               tempFile(c, stem + "st7.rpt"),
                               "wsi",
                               "nlv  ! No levels results",
                               kOneBlank,
                               sol + "    ! Sl4 file",
                               "c  ! the cum column",
                               "n  ! do not use HA mapping file",
                               tempFile(c, stem + ".MPX") + "    ! HA Map file",
                               sol + ".sli    ! Output SLI file",
                               sol + ".sol    ! Output SOL file"};
    return writeScript(solScriptFile(c, year, run), l);
}

Result<std::string> writeSolpolScript(const ScriptContext& c, int year) {
    const std::string script = solpolScriptFile(c, year);
    std::vector<std::string> l{"bat",
                               "rpt",
                               changeExt(script, ".rpt"),
                               "nlv  ! No levels results",
                               kOneBlank,
                               solutionStem(c, year, 1) + "    ! Sl4 file",
                               "c  ! the cum column",
                               "n  ! do not use HA mapping file",
                               tempFile(c, yearStem(c, year, 3) + ".MPZ") + "    ! HA Map file",
                               BotResultsFile(c.rec, year, c.noRerun) + "    ! Output .RSL (SOL) file"};
    return writeScript(script, l);
}

}  // namespace vdln
