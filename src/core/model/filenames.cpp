#include "model/filenames.h"

#include <algorithm>
#include <cstdlib>

#include "base/namecheck.h"
#include "base/paths.h"
#include "base/strutil.h"

namespace vdln {

namespace {
// Years[i] for any index the builders may see: beyond 999 one year per
// step after the last; below -1 (never a real index) the year before -1.
int yearOf(const TSimRecord& rec, int i) {
    if (i >= -1 && i <= kMaxYears) return rec.Years[i];
    if (i > kMaxYears) return rec.Years[kMaxYears] + (i - kMaxYears);
    return rec.Years[-1];
}

std::string simName(const TSimRecord& rec, int r) {
    return r >= 1 && r <= 3 ? rec.SimNames[r].str() : std::string();
}

// A generated file in `dir`: only the name part is lower-cased.
std::string generatedPath(const std::string& dir, const std::string& name) {
    return JoinPath(dir, toLower(name));
}

const TSimFileEntry* fileEntry(const TSimRecord& rec, int fileIndex) {
    if (fileIndex < 1 || fileIndex > std::min(rec.NumFiles, kMaxUserFiles)) return nullptr;
    return &rec.Files[fileIndex];
}

std::string joinedRuns(const TSimRecord& rec, int r, bool noRerun) {
    Result<std::string> j = JoinSelectedBaseNames(rec, RunSelection::upTo(r), noRerun);
    return j ? *j : std::string();
}

// The prefix of spreadsheet names: joined names (+ separator + kind) with
// long names, run prefix + kind with short names.
std::string spreadsheetPrefix(const TSimRecord& rec, int r, bool noRerun, const std::string& kind) {
    if (rec.FileNaming.LongNames) {
        std::string p = joinedRuns(rec, r, noRerun);
        if (!kind.empty()) p += rec.FileNaming.Separator + kind;
        return p;
    }
    return RunPrefix(rec, r) + kind;
}
}  // namespace

std::string twoDigitYear(int year) {
    int v = std::abs(year) % 100;
    std::string s = std::to_string(v);
    return v < 10 ? "0" + s : s;
}

std::string RunStem(const TSimRecord& rec, int i, int r) {
    std::string year = i == kNoYear ? std::string("YYYY") : std::to_string(yearOf(rec, i));
    return RunPrefix(rec, r) + year;
}

std::string RunPrefix(const TSimRecord& rec, int r) {
    return simName(rec, r) + runLetter(r);
}

std::string FiveCharStem(const TSimRecord& rec, int i, int r) {
    std::string s = RunStem(rec, i, r);
    std::string five = s.substr(0, 3);
    if (s.size() > 6) five += s.substr(6, 2);
    return five;
}

std::string BotStepInputFile(const TSimRecord& rec, int i, int r, const std::string& dir,
                             BotStepInput which) {
    const char* ending = "env.sti";
    switch (which) {
        case BotStepInput::Environment:
            break;
        case BotStepInput::Map:
            ending = "st2.st2";
            break;
        case BotStepInput::BotFromSolution:
            ending = "st3.st3";
            break;
        case BotStepInput::BotFromResults:
            ending = "st9.st9";
            break;
    }
    return JoinPath(dir, FiveCharStem(rec, i, r) + ending);
}

Result<std::string> JoinSelectedBaseNames(const TSimRecord& rec, RunSelection runs, bool noRerun) {
    if (!rec.FileNaming.LongNames)
        return Result<std::string>::fail("[JoinSelectedBaseNames] Expect long file names here");
    return joinedSimNames(rec, runs.run1, runs.run2 && !noRerun, runs.run3);
}

std::string joinedSimNames(const TSimRecord& rec, bool run1, bool run2, bool run3) {
    std::string out;
    const bool selected[] = {run1, run2, run3};
    for (int r = 1; r <= 3; ++r) {
        if (!selected[r - 1]) continue;
        if (!out.empty()) out += rec.FileNaming.Separator;
        out += rec.SimNames[r].str();
        if (rec.FileNaming.AppendRunLetter) out += runLetter(r);
    }
    return out;
}

std::string LongStem(const TSimRecord& rec, int i, int r, bool noRerun, std::optional<int> fileIndex) {
    if (!rec.FileNaming.LongNames) return RunStem(rec, i, r);
    std::string stem = joinedRuns(rec, r, noRerun);
    if (i >= -1) stem += rec.FileNaming.Separator + std::to_string(yearOf(rec, i));
    if (fileIndex && i >= -1) {
        const TSimFileEntry* f = fileEntry(rec, *fileIndex);
        if (f && f->Usage == kUsageOutput && rec.FileNaming.AppendNextYear)
            stem += rec.FileNaming.Separator + std::to_string(yearOf(rec, i + 1));
    }
    return stem;
}

std::string SolutionFile(const TSimRecord& rec, int i, int r, bool noRerun) {
    return generatedPath(rec.WorkDir, LongStem(rec, i, r, noRerun) + ".sl4");
}

std::string SimLogFile(const TSimRecord& rec, int i, int r, bool noRerun) {
    return changeExt(SolutionFile(rec, i, r, noRerun), ".log");
}

std::string CmfFile(const TSimRecord& rec, int i, int r, bool noRerun) {
    return changeExt(SolutionFile(rec, i, r, noRerun), ".cmf");
}

std::string TopFile(const TSimRecord& rec, int i, int r, bool noRerun) {
    return changeExt(SolutionFile(rec, i, r, noRerun), ".top");
}

std::string JobLogFile(const TSimRecord& rec, int i, int r, bool noRerun, const std::string& dir) {
    if (rec.FileNaming.LongNames) {
        std::string stem = changeExt(nameOf(SolutionFile(rec, i, r, noRerun)), "");
        return generatedPath(dir, stem + "sim.log");
    }
    return JoinPath(dir, FiveCharStem(rec, i, r) + "sim.log");
}

std::string StiFile(const TSimRecord& rec, int i, int r, bool noRerun, const std::string& dir) {
    return changeExt(JobLogFile(rec, i, r, noRerun, dir), ".sti");
}

std::string RptFile(const TSimRecord& rec, int i, int r, bool noRerun, const std::string& dir) {
    return changeExt(JobLogFile(rec, i, r, noRerun, dir), ".rpt");
}

TPerYearFiles PerYearFiles(const TSimRecord& rec, int i, int r, bool noRerun, const std::string& jobDir) {
    TPerYearFiles f;
    f.solution = SolutionFile(rec, i, r, noRerun);
    f.simLog = changeExt(f.solution, ".log");
    f.cmf = changeExt(f.solution, ".cmf");
    f.top = changeExt(f.solution, ".top");
    f.jobLog = JobLogFile(rec, i, r, noRerun, jobDir);
    f.sti = changeExt(f.jobLog, ".sti");
    f.rpt = changeExt(f.jobLog, ".rpt");
    return f;
}

std::string BotFile(const TSimRecord& rec, int i, bool noRerun) {
    int b = botRun(noRerun);
    std::string stem = rec.FileNaming.LongNames ? LongStem(rec, i, b, noRerun) : RunStem(rec, i, b);
    return generatedPath(rec.WorkDir, stem + ".bot");
}

std::string BotJobLogFile(const TSimRecord& rec, int i, bool noRerun) {
    return changeExt(BotFile(rec, i, noRerun), "") + "-bot.log";
}

std::string BotResultsFile(const TSimRecord& rec, int i, bool noRerun) {
    int b = botRun(noRerun);
    if (rec.FileNaming.LongNames) return generatedPath(rec.WorkDir, LongStem(rec, i, b, noRerun) + ".rsl");
    return generatedPath(rec.WorkDir,
                         rec.SimNames[1].str() + simName(rec, b) + twoDigitYear(yearOf(rec, i)) + ".rsl");
}

std::string DataFileName(const TSimRecord& rec, int i, int r, bool noRerun, int fileIndex) {
    const TSimFileEntry* f = fileEntry(rec, fileIndex);
    if (!f) return "";
    std::string name;
    if (rec.FileNaming.LongNames)
        name =
            f->Key + rec.FileNaming.Separator + LongStem(rec, i, r, noRerun, fileIndex) + "." + f->FileType;
    else
        name = f->Key + simName(rec, r) + twoDigitYear(yearOf(rec, i)) + "." + f->FileType;
    return toLower(name);
}

std::string UpdatedFileName(const TSimRecord& rec, int i, int r, bool noRerun, int fileIndex) {
    const TSimFileEntry* f = fileEntry(rec, fileIndex);
    if (!f || !f->IsInput || !f->IsUpdated) return kNotUpdated;
    return DataFileName(rec, i, r, noRerun, fileIndex);
}

std::string SpreadsheetRangeSuffix(const TSimRecord& rec, int r, int c, int a, int firstRun) {
    int f0 = r == 1 ? 1 : firstRun;
    if (c <= f0 && a >= rec.NumYears) return "";
    int from = std::max(c, f0);
    int to = std::min(a, rec.NumYears);
    return "-" + std::to_string(yearOf(rec, from)).substr(0, 4) + "-" +
           std::to_string(yearOf(rec, to)).substr(0, 4);
}

std::string SpreadsheetCsvName(const TSimRecord& rec, int r, int c, int a, int firstRun, bool noRerun,
                               ResultsKind kind, const std::string& resultType) {
    std::string name = spreadsheetPrefix(rec, r, noRerun, kind == ResultsKind::Deviations ? "dev" : "ss");
    if (!resultType.empty()) name += resultType[0];
    return name + SpreadsheetRangeSuffix(rec, r, c, a, firstRun) + ".csv";
}

std::string CumulativeResultsName(const TSimRecord& rec, int r, int c, int a, int firstRun, bool noRerun,
                                  ResultsKind kind) {
    return changeExt(SpreadsheetCsvName(rec, r, c, a, firstRun, noRerun, kind, "cum"), ".rsl");
}

std::string SequenceFile(const TSimRecord& rec, int r, int c, int a, int firstRun, bool noRerun,
                         bool differences) {
    std::string name = spreadsheetPrefix(rec, r, noRerun, differences ? "dev" : "");
    name += SpreadsheetRangeSuffix(rec, r, c, a, firstRun) + ".seq";
    return generatedPath(rec.WorkDir, name);
}

std::string SpreadsheetLogFile(const TSimRecord& rec, int r, int c, int a, int firstRun, bool noRerun) {
    std::string name = spreadsheetPrefix(rec, r, noRerun, "ss");
    return JoinPath(rec.WorkDir, name + SpreadsheetRangeSuffix(rec, r, c, a, firstRun) + ".log");
}

std::string RecordOfRunsFile(const std::string& dir, int run) {
    switch (run) {
        case 1:
            return JoinPath(dir, "base.ini");
        case 2:
            return JoinPath(dir, "rbase.ini");
        case 3:
            return JoinPath(dir, "pol.ini");
        default:
            return "";
    }
}

std::string DefaultCMFStartFile(const std::string& dir, int run, bool runSpecific) {
    std::string path = JoinPath(dir, "CMFSTART");
    if (runSpecific) path += runLetter(run);
    return path;
}

Status CheckGeneratedPaths(const TSimRecord& rec, bool noRerun, const std::string& jobDir) {
    const std::string& work = rec.WorkDir;
    auto under = [](const std::string& path, const std::string& folder) {
        if (pathIsUnder(path, folder)) return Status::ok();
        return Status::fail("The generated file \"" + path + "\" would lie outside its folder \"" + folder +
                            "\".");
    };
    const int lastYear = std::clamp(rec.NumYears, 0, kMaxYears);
    const int files = std::clamp(rec.NumFiles, 0, kMaxUserFiles);
    for (int r = 1; r <= 3; ++r) {
        for (int i : {kNoYear, -1})
            if (Status s = under(SolutionFile(rec, i, r, noRerun), work); !s) return s;
        for (int i = 0; i <= lastYear; ++i) {
            const TPerYearFiles f = PerYearFiles(rec, i, r, noRerun, jobDir);
            for (const std::string* p : {&f.solution, &f.simLog, &f.cmf, &f.top})
                if (Status s = under(*p, work); !s) return s;
            for (const std::string* p : {&f.jobLog, &f.sti, &f.rpt})
                if (Status s = under(*p, jobDir); !s) return s;
            if (Status s = under(JoinPath(jobDir, RunStem(rec, i, r)), jobDir); !s) return s;
            for (int k = 1; k <= files; ++k)
                if (Status s = under(JoinPath(work, DataFileName(rec, i, r, noRerun, k)), work); !s) return s;
            if (r == 1)
                for (const std::string& p : {BotFile(rec, i, noRerun), BotJobLogFile(rec, i, noRerun),
                                             BotResultsFile(rec, i, noRerun)})
                    if (Status s = under(p, work); !s) return s;
        }
        for (bool differences : {false, true})
            if (Status s = under(SequenceFile(rec, r, 1, lastYear, 1, noRerun, differences), work); !s)
                return s;
        if (Status s = under(SpreadsheetLogFile(rec, r, 1, lastYear, 1, noRerun), work); !s) return s;
        for (ResultsKind job : {ResultsKind::Spreadsheet, ResultsKind::Deviations})
            if (Status s = under(
                    JoinPath(work, SpreadsheetCsvName(rec, r, 1, lastYear, 1, noRerun, job, "cum")), work);
                !s)
                return s;
    }
    return Status::ok();
}

std::optional<int> FindUserFileByName(const TSimRecord& rec, const std::string& name) {
    int count = std::clamp(rec.NumFiles, 0, kMaxUserFiles);
    for (int n = 1; n <= count; ++n)
        if (iequals(rec.Files[n].Name.str(), name)) return n;
    return std::nullopt;
}

std::optional<std::string> firstYearFileFor(const std::vector<std::string>& firstYearList,
                                            const std::string& name) {
    // Lines start "file <name> = " (any case); the three parts are compared
    // in place, as this runs for every input of every step checked.
    const size_t leftSize = 5 + name.size() + 3;
    for (const std::string& line : firstYearList) {
        const std::string_view l(line);
        if (l.size() < leftSize || !istartsWith(l, "file ") || !iequals(l.substr(5, name.size()), name) ||
            l.substr(5 + name.size(), 3) != " = ")
            continue;
        // The name ends at the closing quote of a quoted name, else at the
        // ";" that ends the statement; a comment may follow.
        std::string rest = trim(l.substr(leftSize));
        if (!rest.empty() && rest.front() == '"') {
            size_t close = rest.find('"', 1);
            if (close != std::string::npos) return rest.substr(1, close - 1);
            return trim(rest.substr(1));
        }
        size_t semi = rest.find(';');
        return trim(semi == std::string::npos ? rest : rest.substr(0, semi));
    }
    return std::nullopt;
}

Result<TResolvedFile> ResolveLogicalFile(const TSimRecord& rec, int i, int run, int firstRun, bool noRerun,
                                         int fileIndex, const std::vector<std::string>& firstYearList) {
    return ResolveLogicalFileWith(
        rec, i, run, firstRun, noRerun, fileIndex,
        [&firstYearList](const std::string& name) { return firstYearFileFor(firstYearList, name); });
}

Result<TResolvedFile> ResolveLogicalFileWith(const TSimRecord& rec, int i, int run, int firstRun,
                                             bool noRerun, int fileIndex,
                                             const FirstYearLookup& firstYearFile) {
    const char* tag = " [ResolveLogicalFile]";
    const TSimFileEntry* F = fileEntry(rec, fileIndex);
    if (!F) return Result<TResolvedFile>::fail("No user file " + std::to_string(fileIndex) + tag);
    if (i < 1 || i > kMaxYears || run < 1 || run > 3)
        return Result<TResolvedFile>::fail("Bad year " + std::to_string(i) + " or run " +
                                           std::to_string(run) + tag);

    bool fIsInput =
        F->Usage == kUsageUpdatedInput || F->Usage == kUsageLaggedInput || F->Usage == kUsageConstantInput;
    if (fIsInput && run > 1 && i <= firstRun) run = 1;
    if (F->Usage == kUsageLaggedInput && run > 1 && i == firstRun + 1) run = 1;

    int wantRun = F->InputUsage[run];
    int s = 0, k = 0;
    if (F->Usage == kUsageLaggedInput) {
        s = F->LagFile;
        k = i - 1;
    } else {
        s = F->InputUsage[0];
        k = F->LagFile != 0 ? i - 1 : i;
    }
    const TSimFileEntry* S = fileEntry(rec, s);
    if (!S)
        return Result<TResolvedFile>::fail("File " + F->Name + " is fed by file " + std::to_string(s) +
                                           " which is not in the table" + tag);
    if (k <= 0 || S->Usage == kUsageConstantInput) k = 1;

    int r = (S->IsInput && k <= 1) ? 1 : wantRun;
    if (noRerun && run == 3 && wantRun == 2) r = 1;
    if (r < 1 || r > 3) return Result<TResolvedFile>::fail("File " + F->Name + " has a bad run usage" + tag);

    TResolvedFile out;
    out.sourceFile = s;
    out.sourceRun = r;
    out.sourceIndex = k - 1;
    out.sourceYear = yearOf(rec, k - 1);

    if (k == 1 && (S->Usage == kUsageUpdatedInput || S->Usage == kUsageConstantInput)) {
        // Starting data: the user's own name from the first-year list, as written.
        std::string logical = i == 1 ? F->Name.str() : S->Name.str();
        out.name = firstYearFile(logical).value_or("");
        return out;
    }
    std::string name;
    if (rec.FileNaming.LongNames)
        name = S->Key + rec.FileNaming.Separator + LongStem(rec, k - 1, r, noRerun, fileIndex) + "." +
               S->FileType;
    else
        name = S->Key + simName(rec, r) + twoDigitYear(yearOf(rec, k - 1)) + "." + S->FileType;
    out.name = k <= 1 ? toUpper(name) : toLower(name);
    return out;
}

}  // namespace vdln
