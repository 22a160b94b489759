#include "reports/appreports.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <utility>

#include "base/besteffort.h"
#include "base/fileutil.h"
#include "base/inifile.h"
#include "base/paths.h"
#include "base/strutil.h"
#include "base/textfile.h"
#include "cmf/cmfreader.h"
#include "model/modelsel.h"
#include "model/simdetails.h"
#include "model/simgrid.h"
#include "model/solutionmethod.h"
#include "runrecord/recordfiles.h"

namespace vdln {

namespace {

int clampedYears(const TSimRecord& rec) {
    return std::clamp(rec.NumYears, 0, kMaxYears);
}

std::string rightAlign(const std::string& s, size_t width) {
    if (s.size() >= width) return s;
    return std::string(width - s.size(), ' ') + s;
}

/// Writes report lines through the text-file layer.  A file left half
/// written by a failure is removed, so a failed report never looks like a
/// finished one.
Status writeReportFile(const std::string& file, const std::vector<std::string>& lines, const char* tag) {
    TxtFile f;
    if (Status s = TxtCreate(f, file); !s) return std::move(s).tag(tag);
    for (const std::string& line : lines) {
        if (Status s = f.writeLine(line); !s) {
            bestEffort(TxtClose(f),
                       "the partly written report is deleted next and the first failure is reported");
            bestEffort(deleteFile(file), "removing a partly written report after a failure that is reported");
            return std::move(s).tag(tag);
        }
    }
    if (Status s = TxtClose(f); !s) {
        bestEffort(deleteFile(file), "removing a partly written report after a failure that is reported");
        return std::move(s).tag(tag);
    }
    return Status::ok();
}

}  // namespace

// ---------------------------------------------------------------------------
// Text conventions

void addReportHeading(std::vector<std::string>& out, const std::string& heading) {
    out.emplace_back(" ");
    out.push_back(heading);
    out.emplace_back(heading.size(), '-');
    out.emplace_back(" ");
}

void addLabelledEntry(std::vector<std::string>& out, const std::string& label, const std::string& value) {
    if (!label.empty()) out.push_back(label + " :");
    out.push_back(value);
}

std::string formatReportTime(std::int64_t fileTime) {
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::tm tm = localTimeOfFileTime(fileTime);
    int mon = std::clamp(tm.tm_mon, 0, 11);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%02d-%s-%04d at %02d:%02d:%02d", tm.tm_mday, kMonths[mon],
                  tm.tm_year + 1900, tm.tm_hour, tm.tm_min, tm.tm_sec);
    return buf;
}

// ---------------------------------------------------------------------------
// The closure/shock page

std::vector<std::string> simDetailsReportLines(const TSimRecord& rec, bool noRerun) {
    std::vector<std::string> out;
    const int n = clampedYears(rec);
    out.emplace_back("Report of Sim Details");
    out.emplace_back(" ");
    out.push_back("Sim Name for Base is : " + rec.SimNames[1].str());
    if (!noRerun) out.push_back("Sim Name for Rerun is : " + rec.SimNames[2].str());
    out.push_back("Sim Name for Policy is : " + rec.SimNames[3].str());
    out.push_back("First sim of Base produces data for year " + std::to_string(rec.Years[1]));
    out.push_back("Last sim of Base produces data for year " + std::to_string(rec.Years[std::max(n, 1)]));
    out.emplace_back(" ");
    out.emplace_back(std::string("Year") + "    Base CLS" + "  Base Shock" + " Policy CLS" + " Policy Shock");
    for (int i = 1; i <= n; ++i) {
        std::string line = std::to_string(rec.Years[i]) + "    ";
        for (int c = 1; c <= 4; ++c) line += rightAlign(rec.GridStem(i, c).str(), 8) + " | ";
        out.push_back(std::move(line));
    }
    return out;
}

Status WriteReportSimDetails(const std::string& file, const TSimRecord& rec, bool noRerun) {
    return writeReportFile(file, simDetailsReportLines(rec, noRerun), "[WriteReportSimDetails]");
}

// ---------------------------------------------------------------------------
// The ingredients

IngredientsInfo ingredientsInfoFor(const ProgramSettings& settings) {
    IngredientsInfo info;
    info.modelDir = settings.model.ModelDir;
    info.interpreter = settings.model.UsesInterpreter;
    info.model = settings.model.Model;
    info.modelInfoFile = settings.model.ModelInfoFile;
    if (settings.model.IsDinFile) info.dynamicInfoFile = settings.model.DynamicInfoFile;
    info.firstYearList = settings.model.FirstYearList;
    info.resultsMapFile = settings.ResultsMapFile;
    info.methodDescription = DescribeMethod(settings.Method, settings.Accuracy);
    return info;
}

std::vector<std::string> gridFilesWithConstituents(const TSimRecord& rec, const std::vector<int>& columns) {
    std::vector<std::string> all;
    const int n = clampedYears(rec);
    for (int i = 1; i <= n; ++i) {
        for (int c : columns) {
            if (c < 1 || c > 4 || rec.GridStem(i, c).empty()) continue;
            std::string file;
            switch (c) {
                case 1:
                    file = ClosureFileForYear(rec, i, 1);
                    break;
                case 2:
                    file = ShockFileForYear(rec, i);
                    break;
                case 3:
                    file = ClosureFileForYear(rec, i, 3);
                    break;
                default:
                    file = ExtraShockFileForYear(rec, i);
                    break;
            }
            // A file that cannot be read is still listed (its own name comes first).
            bestEffort(ListConstituents(rec.WorkDir, file, all),
                       "a file that cannot be read is still listed under its own name");
        }
    }
    std::stable_sort(all.begin(), all.end(), [](const std::string& a, const std::string& b) {
        std::string la = toLower(a), lb = toLower(b);
        return la != lb ? la < lb : a < b;
    });
    std::vector<std::string> out;
    for (std::string& s : all)
        if (out.empty() || !iequals(out.back(), s)) out.push_back(std::move(s));
    return out;
}

std::vector<std::string> ingredientsReportLines(const TSimRecord& rec, bool noRerun,
                                                const IngredientsInfo& info) {
    std::vector<std::string> out;
    const int n = clampedYears(rec);
    const std::string q = "\"";

    addReportHeading(out, "Model Files");
    out.emplace_back("All Model Files are in directory:");
    out.push_back(info.modelDir);
    out.emplace_back(" ");
    std::string model = ResolvePath(info.modelDir, info.model);
    if (info.interpreter) {
        addLabelledEntry(out, "Calvex Auxiliary Statement (GSS) file", model);
        addLabelledEntry(out, "Calvex Auxiliary Table (GST) file", changeExt(model, ".gst"));
    } else {
        addLabelledEntry(out, "Lexor-generated program", model);
        addLabelledEntry(out, "Auxiliary Statement (AXS) file", changeExt(model, ".axs"));
        addLabelledEntry(out, "Auxiliary Table (AXT) file", changeExt(model, ".axt"));
    }
    addLabelledEntry(out, "Model Information File", ResolvePath(info.modelDir, info.modelInfoFile));
    if (!info.dynamicInfoFile.empty())
        addLabelledEntry(out, "Dynamic Information File", ResolvePath(info.modelDir, info.dynamicInfoFile));

    addReportHeading(out, "Data Files Input to First Year of Base Case");
    out.push_back("(These are data for the year " + std::to_string(rec.StartYear - 1) + ")");
    out.emplace_back(" ");
    for (const std::string& line : info.firstYearList) {
        FirstYearLineParts parts = parseFirstYearLine(line);
        if (!parts.valid) continue;
        addLabelledEntry(out, "File with logical name " + parts.logical, parts.actual);
    }

    addReportHeading(out, "As set on Sim Overview Page");
    out.push_back("First sim of Base Case produces data for year " + std::to_string(rec.Years[1]));
    out.push_back("Last sim of Base Case produces data for year " +
                  std::to_string(rec.Years[std::max(n, 1)]));
    out.push_back("3-character key for Base Case file names is : " + q + rec.SimNames[1].str() + q);
    if (!noRerun)
        out.push_back("3-character key for Base Case Rerun file names is : " + q + rec.SimNames[2].str() + q);
    out.push_back("3-character key for Policy Sims file names is : " + q + rec.SimNames[3].str() + q);
    addLabelledEntry(out, "Mapping file for results", info.resultsMapFile);
    addLabelledEntry(out, "Working Directory", rec.WorkDir);
    out.push_back("Solution method is : " + info.methodDescription);

    addReportHeading(out, "Closures, Shocks files and their Constituents (see Closures/Shocks Page)");
    addLabelledEntry(out, "All files listed here are in the Working Directory", rec.WorkDir);
    out.emplace_back(" ");
    auto list = [&](const std::string& heading, const std::vector<int>& columns) {
        addReportHeading(out, heading);
        for (std::string& f : gridFilesWithConstituents(rec, columns)) out.push_back(std::move(f));
    };
    list("An alphabetical list of all files", {1, 2, 3, 4});
    list("An alphabetical list of all files for the Base Case", {1, 2});
    list("An alphabetical list of all files for the Policy Sims", {3, 4});
    return out;
}

Status WriteReportIngredients(const std::string& file, const TSimRecord& rec, bool noRerun,
                              const IngredientsInfo& info) {
    return writeReportFile(file, ingredientsReportLines(rec, noRerun, info), "[WriteReportIngredients]");
}

// ---------------------------------------------------------------------------
// When the simulations were last run

namespace {

/// The completion times of one run's record-of-runs file.
struct RunTimes {
    std::map<int, std::int64_t> sim;  ///< by simulation index
    std::map<int, std::int64_t> bot;
    std::optional<std::int64_t> spreadsheet;

    std::optional<std::int64_t> simAt(int p) const {
        auto it = sim.find(p);
        return it == sim.end() ? std::nullopt : std::optional<std::int64_t>(it->second);
    }
    std::optional<std::int64_t> botAt(int p) const {
        auto it = bot.find(p);
        return it == bot.end() ? std::nullopt : std::optional<std::int64_t>(it->second);
    }
};

RunTimes readRunTimes(const std::string& file, const TSimRecord& rec) {
    RunTimes t;
    if (file.empty()) return t;
    Result<IniFile> ini = IniFile::loadOrEmpty(file);
    if (!ini) return t;
    const int n = clampedYears(rec);
    for (int p = 1; p <= n; ++p) {
        std::string section = std::to_string(rec.Years[p]);
        if (std::optional<std::string> v = ini->get(section, "Year finished ok"))
            if (std::optional<std::int64_t> time = parseCompletionTime(*v)) t.sim[p] = *time;
        if (std::optional<std::string> v = ini->get(section, "Bot job finished ok"))
            if (std::optional<std::int64_t> time = parseCompletionTime(*v)) t.bot[p] = *time;
    }
    if (std::optional<std::string> v = ini->get("Run", "ss job finished ok"))
        t.spreadsheet = parseCompletionTime(*v);
    return t;
}

}  // namespace

std::vector<std::string> whenSimsRunReportLines(const TSimRecord& rec, bool noRerun,
                                                const WhenRunInfo& info) {
    std::vector<std::string> out;
    const int n = clampedYears(rec);
    bool periods = false;
    for (int i = 1; i <= n; ++i) periods = periods || rec.PeriodLength[i] > 1;
    const std::string word = periods ? "period" : "year";
    const int policyStart = std::max(1, info.firstPolicyYear);
    const int botRunNo = noRerun ? 3 : 2;

    std::array<RunTimes, 4> times;
    for (int r = 1; r <= 3; ++r)
        times[static_cast<size_t>(r)] = readRunTimes(info.runRecordFiles[static_cast<size_t>(r)], rec);
    const RunTimes& botTimes = times[static_cast<size_t>(botRunNo)];

    auto yearLine = [&](int p, std::optional<std::int64_t> t) {
        return " " + std::to_string(rec.Years[p]) + " (" + word + " number " + std::to_string(p) +
               "): " + (t ? "Completed on " + formatReportTime(*t) : std::string("Not run"));
    };
    auto sameYearNotes = [&](std::int64_t t, std::optional<std::int64_t> prev, const std::string& prevName) {
        if (prev) {
            if (t < *prev)
                out.push_back("   %% Needs to be rerun - was completed BEFORE same year of the " + prevName);
        } else {
            out.push_back("   %% Needs to be rerun since same year of the " + prevName +
                          " has NOT been completed.");
        }
    };

    for (int r = 1; r <= 3; ++r) {
        if (r == 2 && noRerun) continue;
        const RunTimes& mine = times[static_cast<size_t>(r)];
        const int prevRun = r == 2 ? 1 : (noRerun ? 1 : 2);
        const RunTimes& prev = times[static_cast<size_t>(prevRun)];
        const std::string name = runName(r);
        const std::string prevName = runName(prevRun);
        const int first = r == 1 ? 1 : policyStart;

        out.push_back(toUpper(name) + ":");
        int lastFinished = 0;
        for (int p = first; p <= n; ++p)
            if (mine.simAt(p)) lastFinished = p;
        if (lastFinished == 0 && !mine.spreadsheet) {
            out.emplace_back("None have been run.");
        } else {
            for (int p = first; p <= lastFinished; ++p) {
                std::optional<std::int64_t> t = mine.simAt(p);
                out.push_back(yearLine(p, t));
                if (!t) continue;
                if (p > first) {
                    std::optional<std::int64_t> before = mine.simAt(p - 1);
                    if (before && *t < *before)
                        out.push_back("   %% Needs to be rerun - was completed BEFORE previous year of the " +
                                      name);
                }
                if (r > 1) {
                    sameYearNotes(*t, prev.simAt(p), prevName);
                    std::optional<std::int64_t> bot = botTimes.botAt(p);
                    if (bot) {
                        if (*t < *bot)
                            out.emplace_back(
                                "   %% Needs to be rerun - was completed BEFORE BOT job of same year");
                    } else {
                        out.emplace_back(
                            "   %% Needs to be rerun since BOT job of same year has NOT been completed.");
                    }
                }
            }
            std::optional<std::int64_t> lastSim = n >= 1 ? mine.simAt(n) : std::nullopt;
            if (mine.spreadsheet) {
                out.push_back(" spreadsheet job: Completed on " + formatReportTime(*mine.spreadsheet));
                if (lastSim && *mine.spreadsheet < *lastSim)
                    out.push_back("   %% Needs to be rerun - was completed BEFORE last simulation of the " +
                                  name);
                if (r == 3) {
                    if (prev.spreadsheet) {
                        if (*mine.spreadsheet < *prev.spreadsheet)
                            out.push_back(
                                "   %% Needs to be rerun - was completed BEFORE spreadsheet job of the " +
                                prevName);
                    } else {
                        out.push_back("   %% Needs to be rerun since spreadsheet job of the " + prevName +
                                      " has NOT been completed.");
                    }
                }
            } else if (!lastSim) {
                out.emplace_back(" spreadsheet job: Not run");
            }
        }

        if (r == 1) {
            out.emplace_back("BOT jobs:");
            int lastBot = 0;
            for (int p = policyStart; p <= n; ++p)
                if (botTimes.botAt(p)) lastBot = p;
            if (lastBot == 0) {
                out.emplace_back("None have been run.");
            } else {
                for (int p = policyStart; p <= lastBot; ++p) {
                    std::optional<std::int64_t> t = botTimes.botAt(p);
                    out.push_back(yearLine(p, t));
                    if (!t) continue;
                    if (p > policyStart) {
                        std::optional<std::int64_t> before = botTimes.botAt(p - 1);
                        if (before && *t < *before)
                            out.emplace_back(
                                "   %% Needs to be rerun - was completed BEFORE Bot Job for previous year");
                    }
                    sameYearNotes(*t, mine.simAt(p), name);
                }
            }
        }
    }
    return out;
}

WhenRunInfo whenRunInfoFor(const TKeepRunInfo& keep, int firstPolicyYear) {
    WhenRunInfo info;
    for (int r = 1; r <= 3; ++r) info.runRecordFiles[static_cast<size_t>(r)] = RunRecordFileName(keep, r);
    info.firstPolicyYear = firstPolicyYear;
    return info;
}

Status WriteWhenSimsRunReport(const std::string& file, const TSimRecord& rec, bool noRerun,
                              const WhenRunInfo& info) {
    return writeReportFile(file, whenSimsRunReportLines(rec, noRerun, info), "[WriteWhenSimsRunReport]");
}

// ---------------------------------------------------------------------------
// Differences between two applications

std::vector<std::string> compareSimDetailsLines(const TSimRecord& first, const TSimRecord& second,
                                                bool noRerun) {
    std::vector<std::string> out;
    auto add = [&](std::vector<std::string> more) {
        for (std::string& s : more) out.push_back(std::move(s));
    };
    out.emplace_back("Summary of First Simulation");
    out.emplace_back("---------------------------");
    out.emplace_back(" ");
    add(simDetailsReportLines(first, noRerun));
    out.emplace_back(" ");
    out.emplace_back("Summary of Second Simulation");
    out.emplace_back("----------------------------");
    out.emplace_back(" ");
    add(simDetailsReportLines(second, noRerun));
    out.emplace_back(" ");
    out.emplace_back("Summary of Differences");
    out.emplace_back("----------------------");
    out.emplace_back(" ");
    if (first.StartYear != second.StartYear) {
        out.emplace_back("They start at different years. Sorry, nothing more to report.");
        return out;
    }
    const int n1 = clampedYears(first), n2 = clampedYears(second);
    const int n = std::min(n1, n2);
    if (n1 != n2) out.push_back("Only comparing the first " + std::to_string(n) + "rows");
    static const char* const kColumns[] = {"Base Closures", "Base Shocks", "Policy Closures",
                                           "Policy Shocks"};
    auto shown = [](const std::string& stem) { return stem.empty() ? std::string("\"none\"") : stem; };
    for (int c = 1; c <= 4; ++c) {
        for (int row = 1; row <= n; ++row) {
            std::string a = shown(first.GridStem(row, c).str());
            std::string b = shown(second.GridStem(row, c).str());
            if (toLower(a) == toLower(b)) continue;
            out.push_back("Year " + std::to_string(first.Years[row]) + " " + kColumns[c - 1] + ". First is " +
                          a + ", second is " + b);
        }
    }
    return out;
}

// ---------------------------------------------------------------------------
// The menu commands

namespace {
constexpr const char* kClosureShockQuestion =
    "Report of Closure/Shocks page has been written.\r\nDo you want to view the report now?";
constexpr const char* kDetailsExtMessage =
    "Sim Details file name must end with \".ds1\".\r\nPlease choose it again.";

std::string proposedReportName(const ReportCommandEnv& env, const std::string& ext) {
    if (env.defaultDetailsPath.empty()) return "*" + toUpper(ext);
    return nameOf(changeExt(env.defaultDetailsPath, ext));
}
}  // namespace

std::optional<std::string> runReportCommand(const std::string& workDir, const std::string& title,
                                            const std::string& filter, const std::string& proposedName,
                                            const std::string& question,
                                            const std::function<Status(const std::string&)>& write,
                                            const ReportCommandEnv& env, Dialogs& dialogs) {
    FileRequest req;
    req.title = title;
    req.initialDir = workDir;
    req.filter = filter;
    req.defaultName = proposedName;
    req.save = true;
    req.mustExist = false;
    std::optional<std::string> chosen = dialogs.chooseFile(req);
    if (!chosen || chosen->empty()) return std::nullopt;
    std::string file = ResolvePath(workDir, *chosen);
    if (Status s = write(file); !s) {
        dialogs.message(MsgKind::Error, s.message(), BtnOk | BtnHelp, env.helpContext);
        return std::nullopt;
    }
    if (dialogs.message(MsgKind::Information, question, BtnYes | BtnNo | BtnHelp, env.helpContext) ==
            BtnYes &&
        env.viewText)
        env.viewText(file);
    return file;
}

std::optional<std::string> reportSimDetailsCommand(const TSimRecord& rec, bool noRerun,
                                                   const ReportCommandEnv& env, Dialogs& dialogs) {
    return runReportCommand(
        rec.WorkDir, "Report Closure/Shocks files in Simulation", "Sim Report files (*.DR0)|*.DR0",
        proposedReportName(env, ".dr0"), kClosureShockQuestion,
        [&](const std::string& f) { return WriteReportSimDetails(f, rec, noRerun); }, env, dialogs);
}

std::optional<std::string> reportIngredientsCommand(const TSimRecord& rec, bool noRerun,
                                                    const IngredientsInfo& info, const ReportCommandEnv& env,
                                                    Dialogs& dialogs) {
    return runReportCommand(
        rec.WorkDir, "Report Ingredients of Simulations", "Sim Report files (*.DR1)|*.DR1",
        proposedReportName(env, ".dr1"),
        "Report of ingredients has been written.\r\nDo you want to view the report now?",
        [&](const std::string& f) { return WriteReportIngredients(f, rec, noRerun, info); }, env, dialogs);
}

std::optional<std::string> reportWhenSimsRunCommand(const TSimRecord& rec, bool noRerun,
                                                    const WhenRunInfo& info, const ReportCommandEnv& env,
                                                    Dialogs& dialogs) {
    return runReportCommand(
        rec.WorkDir, "Report When Simulations Were Last Run", "\"When Run\" Report files (*.DR2)|*.DR2",
        proposedReportName(env, ".dr2"),
        "Report of When Simulations Were Last Run has been written.\r\nDo you want to view the report now?",
        [&](const std::string& f) { return WriteWhenSimsRunReport(f, rec, noRerun, info); }, env, dialogs);
}

ReportCommandEnv reportCommandEnvFor(const TSimRecord& rec, const ProgramSettings& settings,
                                     std::function<void(const std::string&)> viewText, int helpContext) {
    ReportCommandEnv env;
    env.defaultDetailsPath = DefaultDs1Path(rec, settings.model.ModelName, settings.NoRerun);
    env.viewText = std::move(viewText);
    env.helpContext = helpContext;
    return env;
}

std::optional<std::string> reportWhenSimsRunCommand(const TSimRecord& rec, const ProgramSettings& settings,
                                                    const TKeepRunInfo& keep, int firstPolicyYear,
                                                    const ReportCommandEnv& env, Dialogs& dialogs) {
    DurableCopyNames copies;
    for (int r = 1; r <= 3; ++r)
        copies[static_cast<size_t>(r)] =
            RunRecordCopyPath(rec, settings.model.ModelName, r, settings.NoRerun);
    bestEffort(RestoreRunRecordCopies(keep, copies, settings.NoRerun),
               "a run whose copy cannot be restored reads as never run, which the report then says");
    return reportWhenSimsRunCommand(rec, settings.NoRerun, whenRunInfoFor(keep, firstPolicyYear), env,
                                    dialogs);
}

std::string whenSimsLastRunCommand(const TSimRecord& rec, const ProgramSettings& settings,
                                   const TKeepRunInfo& keep, int firstPolicyYear, Dialogs& dialogs) {
    DurableCopyNames copies;
    for (int r = 1; r <= 3; ++r)
        copies[static_cast<size_t>(r)] =
            RunRecordCopyPath(rec, settings.model.ModelName, r, settings.NoRerun);
    bestEffort(RestoreRunRecordCopies(keep, copies, settings.NoRerun),
               "a run whose copy cannot be restored reads as never run, which the text then says");
    std::string text;
    for (const std::string& line :
         whenSimsRunReportLines(rec, settings.NoRerun, whenRunInfoFor(keep, firstPolicyYear)))
        text += line + "\r\n";
    dialogs.info(text);
    return text;
}

namespace {
/// The period lengths of section "Length Periods" of a ".ds1" file
/// ("Number periods", then "1".."n"); a missing or unusable length is 1.
void readPeriodLengths(const std::string& ds1, TSimRecord& rec) {
    rec.PeriodLength.fill(1);
    Result<IniFile> ini = IniFile::loadOrEmpty(ds1);
    if (!ini) return;
    long long n = std::clamp<long long>(ini->getInt("Length Periods", "Number periods", 0), 0, kMaxYears);
    for (int i = 1; i <= n; ++i) {
        long long len = ini->getInt("Length Periods", std::to_string(i), 1);
        rec.PeriodLength[i] = (len >= 1 && len <= 99) ? static_cast<int>(len) : 1;
    }
}
}  // namespace

SimRecordLoader simDetailsLoader(bool noRerun) {
    return
        [noRerun](const std::string& ds2, TSimRecord& rec) { return ReadSimRecordFile(rec, ds2, noRerun); };
}

std::optional<std::string> CompareTwoSimDetails(const std::string& workDir, bool noRerun,
                                                const SimRecordLoader& load, const ReportCommandEnv& env,
                                                Dialogs& dialogs) {
    // The ".ds1" and ".ds2" names of a saved application.
    auto askDetails = [&](const std::string& title) -> std::optional<std::pair<std::string, std::string>> {
        for (;;) {
            FileRequest req;
            req.title = title;
            req.initialDir = workDir;
            req.filter = "Sim Details files (*.DS1)|*.ds1";
            req.mustExist = true;
            std::optional<std::string> chosen = dialogs.chooseFile(req);
            if (!chosen || chosen->empty()) return std::nullopt;
            std::string name = ResolvePath(workDir, *chosen);
            if (toLower(extOf(name)) != ".ds1") {
                dialogs.message(MsgKind::Information, kDetailsExtMessage, BtnOk | BtnHelp,
                                env.detailsHelpContext);
                continue;
            }
            std::string ds2 = findFileIgnoringCase(changeExt(name, ".ds2"));
            if (!fileExists(ds2)) {
                dialogs.message(MsgKind::Error,
                                "Associated file " + changeExt(name, ".ds2") + " does not exist." + "\r\n" +
                                    "Please try again.",
                                BtnOk, env.detailsHelpContext);
                continue;
            }
            return std::make_pair(name, ds2);
        }
    };
    std::optional<std::pair<std::string, std::string>> firstFiles = askDetails("First Sim Details File");
    if (!firstFiles) return std::nullopt;
    std::optional<std::pair<std::string, std::string>> secondFiles = askDetails("Second Sim Details File");
    if (!secondFiles) return std::nullopt;

    TSimRecord first = CreateSimRecord();
    TSimRecord second = CreateSimRecord();
    for (auto [files, rec] : {std::pair{*firstFiles, &first}, std::pair{*secondFiles, &second}}) {
        rec->WorkDir = workDir;
        // The period lengths live in the ".ds1" file; without them every
        // period is one year long.
        readPeriodLengths(findFileIgnoringCase(files.first), *rec);
        Status s = load ? load(files.second, *rec) : simDetailsLoader(noRerun)(files.second, *rec);
        if (!s) {
            dialogs.message(MsgKind::Error, s.message(), BtnOk | BtnHelp, env.helpContext);
            return std::nullopt;
        }
        ComputeYears(*rec);
    }
    std::vector<std::string> lines = compareSimDetailsLines(first, second, noRerun);
    return runReportCommand(
        workDir, "Report Differences in Closure/Shocks files between Two Simulations",
        "Sim Comparison Report files (*.DRC)|*.DRC", "*.DRC", kClosureShockQuestion,
        [&](const std::string& f) { return writeReportFile(f, lines, "[CompareTwoSimDetails]"); }, env,
        dialogs);
}

}  // namespace vdln
