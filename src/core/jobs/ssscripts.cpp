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
std::string namedPart(const std::string& kind, const std::string& part) {
    if (part != "py") return part;
    return kind == "aggrex" ? "yony" : "cum";
}

// The range a part covers.
void partRange(const ScriptContext& c, const std::string& part, int run, int& first, int& last) {
    if (part == "py") {
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

std::string accumulatedName(const ScriptContext& c, const std::string& kind, const std::string& part, int run,
                            int first, int last) {
    return SpreadsheetCsvName(c.rec, run, first, last, c.firstRunOf(run), c.noRerun, kind, part);
}

namespace {

// Output, script and log names of an accumulation or deviation part.
struct AccNames {
    std::string output;  // in the Working Directory
    std::string script;  // in the Temporary Directory
    std::string log;     // in the Temporary Directory
};

AccNames accNames(const ScriptContext& c, const std::string& kind, const std::string& part, int run) {
    int first = 0, last = 0;
    partRange(c, part, run, first, last);
    const bool sol = kind == "cumsol" || kind == "devsol";
    const std::string csv = accumulatedName(c, kind, namedPart(kind, part), run, first, last);
    AccNames n;
    n.output = JoinPath(c.rec.WorkDir, sol ? changeExt(csv, ".rsl") : csv);
    const std::string base = sol ? withoutExt(csv) + "sol" : withoutExt(csv);
    const bool deviation = kind == "divero" || kind == "devsol";
    n.script = tempFile(c, base + (deviation ? ".st6" : ".st5"));
    n.log = tempFile(c, base + ".log");
    return n;
}

std::vector<std::string> accumulationLines(const ScriptContext& c, const std::string& kind,
                                           const std::string& part, int run) {
    int first = 0, last = 0;
    partRange(c, part, run, first, last);
    const AccNames names = accNames(c, kind, part, run);
    const int n = last - first + 1;
    const bool aggrex = kind == "aggrex";
    std::vector<std::string> l{"bat"};
    if (aggrex && c.opt.subtotals) l.push_back("sub  ! accumulate subtotals");
    if (c.opt.arithmeticNotFatal) l.push_back("anf  ! Arithmetic problems not fatal");
    l.push_back("rpt");
    l.push_back(changeExt(names.script, ".rpt"));
    if (aggrex && part == "cum") l.push_back("acc");
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

std::vector<std::string> deviationLines(const ScriptContext& c, const std::string& kind,
                                        const std::string& part) {
    const bool aggrex = kind == "aggrex";
    const std::string devKind = aggrex ? "divero" : "devsol";
    const AccNames names = accNames(c, devKind, part, 3);
    const std::string cmp = aggrex ? "yony" : "cum";
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
        if (part == "yony") l.push_back("nac");
        l.push_back("sol");
    }
    l.push_back(solutionStem(c, c.firstPolicyYear, 3));
    if (aggrex) l.push_back(kOneBlank);
    auto accumulated = [&](int run) {
        std::string name = accumulatedName(c, "aggrex", cmp, run, from, to);
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
    if (p.JobName == "sim" && p.JobPart == "sol") {
        f.program = kSectraExe;
        f.dir = c.tempDir;
        f.stdinFile = tempFile(c, yearStem(c, i, r) + "st7.st7");
        f.outputFile = changeExt(SolutionFile(c.rec, i, r, c.noRerun), ".sol");
        f.stepLogFile = SimLogFile(c.rec, i, r, c.noRerun);
        fromStdin();
        return f;
    }
    if (p.JobName == "bot") {
        f.stepLogFile = BotJobLogFile(c.rec, i, c.noRerun);
        const std::string stem = yearStem(c, i, r);
        if (p.JobPart == "solpol") {
            f.program = kSectraExe;
            f.stdinFile = tempFile(c, stem + "st8.st8");
            f.outputFile = BotResultsFile(c.rec, i, c.noRerun);
        } else if (p.JobPart == "tellur1") {
            f.program = kTellurExe;
            f.stdinFile = tempFile(c, stem + "st2.st2");
            f.outputFile = tempFile(c, stem + ".map");
        } else if (p.JobPart == "sectra1") {
            f.program = kSectraExe;
            f.stdinFile = tempFile(c, stem + "st3.st3");
            f.outputFile = BotFile(c.rec, i, c.noRerun);
        } else if (p.JobPart == "tellur2") {
            f.program = kTellurExe;
            f.stdinFile = tempFile(c, stem + "st9.st9");
            f.outputFile = BotFile(c.rec, i, c.noRerun);
        } else {
            return Result<PartFiles>::fail("Unexpected part " + p.JobPart + " of a BOT job");
        }
        fromStdin();
        return f;
    }
    // Spreadsheet parts: the run's spreadsheet log, named from its range (the
    // policy's range when the run has no spreadsheets of its own).
    const int logRun = c.job.DoSS[r] ? r : 3;
    f.stepLogFile = SpreadsheetLogFile(c.rec, r, c.job.FirstSSYear[logRun], c.job.LastSSYear[logRun],
                                       c.firstRunOf(r), c.noRerun);
    if (p.JobName == "csv" || p.JobName == "sssol") {
        f.program = kSectraExe;
        f.logFile = tempFile(c, RunPrefix(c.rec, r) + p.JobName + ".log");
        f.stdinFile = changeExt(f.logFile, ".st4");
        f.reportFile = changeExt(f.stdinFile, ".rpt");
        const int lastYear =
            std::max(c.job.DoSS[r] ? c.job.LastSSYear[r] : 0, c.job.DoPY[r] ? c.job.PYLastYear[r] : 0);
        f.outputFile = p.JobName == "csv" ? perYearCsvFile(c, lastYear, r) : perYearRslFile(c, lastYear, r);
        return f;
    }
    if (p.JobName == "aggrex" || p.JobName == "cumsol" || p.JobName == "divero" || p.JobName == "devsol") {
        const AccNames n = accNames(c, p.JobName, p.JobPart, r);
        f.program = p.JobName == "aggrex" ? kAggrexExe : p.JobName == "divero" ? kDiveroExe : kMergixExe;
        f.stdinFile = n.script;
        f.logFile = n.log;
        f.reportFile = changeExt(n.script, ".rpt");
        f.outputFile = n.output;
        return f;
    }
    return Result<PartFiles>::fail("Unexpected part " + p.JobPart + " of job " + p.JobName);
}

Result<std::string> writeCsvScript(const ScriptContext& c, const std::string& kind, int run) {
    const bool csv = kind == "csv";
    const std::string script = tempFile(c, RunPrefix(c.rec, run) + kind + ".st4");
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

Result<std::vector<std::string>> writeAccumulationScripts(const ScriptContext& c, const std::string& kind,
                                                          int run) {
    std::vector<std::string> written;
    const bool aggrex = kind == "aggrex";
    std::vector<std::string> parts;
    if (c.job.DoSS[run]) {
        if (aggrex) parts.push_back("yony");
        if (!(aggrex && c.opt.abbreviated)) parts.push_back("cum");
    }
    if (c.job.DoPY[run]) parts.push_back("py");
    for (const auto& part : parts) {
        auto w = writeScript(accNames(c, kind, part, run).script, accumulationLines(c, kind, part, run));
        if (!w) return Result<std::vector<std::string>>::fail(w.message());
        written.push_back(*w);
    }
    if (run == 3 && c.job.DoDeviations) {
        std::vector<std::string> devParts;
        if (aggrex && c.opt.yearOnYearDiffs) devParts.push_back("yony");
        devParts.push_back("cum");
        for (const auto& part : devParts) {
            auto w = writeScript(accNames(c, aggrex ? "divero" : "devsol", part, 3).script,
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
    return writeScript(tempFile(c, stem + "st7.st7"), l);
}

Result<std::string> writeSolpolScript(const ScriptContext& c, int year) {
    const int botRunIndex = c.noRerun ? 3 : 2;
    const std::string script = tempFile(c, yearStem(c, year, botRunIndex) + "st8.st8");
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
