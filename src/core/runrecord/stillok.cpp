#include "runrecord/stillok.h"

#include <algorithm>

#include "base/fileutil.h"
#include "base/paths.h"
#include "base/strutil.h"
#include "model/filenames.h"
#include "model/simgrid.h"
#include "runrecord/filestamp.h"

namespace vdln {

namespace {

constexpr const char* kModelLabel =
    "The Lexor-generated program EXE (see the Model part of the Model/Data page)";
constexpr const char* kAuxLabel = "The Auxiliary file (see the Model part of the Model/Data page)";
constexpr const char* kCalvexAuxLabel =
    "The Calvex Auxiliary file (see the Model part of the Model/Data page)";
constexpr const char* kMinLabel = "The Model Information (.MIN) file";
constexpr const char* kDinLabel = "The Dynamic Information (.DIN) file";

std::string yesNo(bool b) {
    return b ? "yes" : "no";
}

}  // namespace

const std::vector<std::string>& StillOkChecker::constituents(const std::string& file) const {
    auto it = m_constituents.find(file);
    if (it != m_constituents.end()) return it->second;
    return m_constituents.emplace(file, sortedConstituents(m_env, file)).first->second;
}

std::optional<std::string> StillOkChecker::firstYearFile(const std::string& name) const {
    // The application may change between two checks of one checker: the
    // answers are kept only for the list they were found in.
    if (m_firstYearList != m_env.firstYearList) {
        m_firstYear.clear();
        m_firstYearList = m_env.firstYearList;
    }
    auto it = m_firstYear.find(name);
    if (it == m_firstYear.end())
        it = m_firstYear.emplace(name, firstYearFileFor(m_env.firstYearList, name)).first;
    return it->second;
}

void StillOkChecker::compareConstituents(CheckOutcome& out, const RunRecordView& v,
                                         const std::string& section, const std::string& prefix,
                                         const std::string& currentFile,
                                         const std::function<std::string()>& header,
                                         const std::string& context) const {
    std::vector<std::string> stored;
    for (int n = 0;; ++n) {
        const std::string_view* s = v.find(section, prefix + "Constituent " + std::to_string(n));
        if (!s) break;
        stored.emplace_back(*s);
    }
    static const std::vector<std::string> kNone;
    const std::vector<std::string>& now = currentFile.empty() ? kNone : constituents(currentFile);
    if (stored.size() != now.size()) {
        out.fail(header() + "\r\nHowever one constituent has been added or removed: now there are " +
                 std::to_string(now.size()) + " but then there were " + std::to_string(stored.size()) + ".");
        return;
    }
    for (size_t n = 0; n < now.size(); ++n) {
        auto r = CompareFileStamp("The constituent file", context, stored[n], now[n], "used", nameAndTime());
        if (!r.ok) {
            out.fail(header() + "\r\nHowever one constituent has changed:\r\n" + r.message);
            return;
        }
    }
}

CheckOutcome StillOkChecker::ModelFilesStillOk(int run, int i, bool bot) const {
    CheckOutcome out;
    const RunRecordView& v = view(run);
    const std::string s = sec(i, bot, "em");
    const std::string ctx = stepContext(m_env, run, i, bot);
    const std::string& model = m_env.modelFile;
    const bool nowCalvex = iequals(extOf(model), ".gss");
    const std::string exe = trim(v.get(s, "Exe"));
    const std::string gss = trim(v.get(s, "Gss"));

    if (nowCalvex && !exe.empty()) {
        out.fail("You are now using Calvex to solve the model.\r\nHowever, when you last ran the " + ctx +
                 " you were running a Lexor-generated program, namely: " + StampName(exe));
    } else if (!nowCalvex && exe.empty() && !gss.empty()) {
        out.fail("You are now using a Lexor-generated program, namely: " + model +
                 "\r\nHowever, when you last ran the " + ctx +
                 " you were running Calvex rather than a Lexor-generated program.");
    } else if (exe.empty() && gss.empty()) {
        out.fail("The model used when you last ran the " + ctx + " has not been recorded.");
    } else {
        auto cmp = [&](const char* label, const char* key, const std::string& file) {
            auto r = CompareFileStamp(label, ctx, v.value(s, key), file, "used", nameAndTime());
            if (!r.ok) out.fail(r.message);
        };
        if (!nowCalvex) {
            cmp(kModelLabel, "Exe", model);
            cmp(kAuxLabel, "Axs", changeExt(model, ".axs"));
            cmp(kAuxLabel, "Axt", changeExt(model, ".axt"));
        } else {
            cmp(kCalvexAuxLabel, "Gss", model);
            cmp(kCalvexAuxLabel, "Gst", changeExt(model, ".gst"));
        }
    }
    {
        auto r = CompareFileStamp(kMinLabel, ctx, v.value(s, "Model Info File"), m_env.modelInfoFile, "used",
                                  nameAndTime());
        if (!r.ok) out.fail(r.message);
    }
    const bool dinNow = !m_env.dynamicInfoFile.empty() && fileExists(m_env.dynamicInfoFile);
    const bool dinThen = v.getBool(s, "Is DIN file", false);
    if (dinNow && !dinThen) {
        out.fail("You are now using Dynamic Information file: " + m_env.dynamicInfoFile +
                 "\r\nHowever, when you last ran the " + ctx +
                 " you were not using a Dynamic Information file.");
    } else if (!dinNow && dinThen) {
        out.fail("You are not using a Dynamic Information file.\r\nHowever, when you last ran the " + ctx +
                 " you were using a Dynamic Information file.");
    } else if (dinNow) {
        auto r = CompareFileStamp(kDinLabel, ctx, v.value(s, "Dynamic Info File"), m_env.dynamicInfoFile,
                                  "used", nameAndTime());
        if (!r.ok) out.fail(r.message);
    }
    const std::string thenRerun = toLower(trim(v.get(s, "Rerun FC with Dev", "yes")));
    const std::string nowRerun = yesNo(!m_env.noRerun);
    if (thenRerun != nowRerun)
        out.fail("The setting \"Rerun FC with Dev\" has changed. Now it is " + nowRerun +
                 " but when you last ran the " + ctx + " it was " + thenRerun + ".");
    return out;
}

CheckOutcome StillOkChecker::CMFStartStillOk(int run, int i, bool bot) const {
    CheckOutcome out;
    const RunRecordView& v = view(run);
    const std::string s = sec(i, bot, "ec");
    const std::string ctx = stepContext(m_env, run, i, bot);
    const std::string file = currentCMFStartFile(m_env, run);
    const bool now = !file.empty() && fileExists(file);
    const bool then = v.getBool(s, "Exists", false);
    if (now && !then) {
        out.fail("  You are now using CMFStart file: " + file + "\r\n   However, when you last ran the " +
                 ctx + " you were not using a CMFStart file.");
        return out;
    }
    if (!now && then) {
        out.fail("  You are now not using a CMFStart file.\r\n   However, when you last ran the " + ctx +
                 " you were using a CMFStart file.");
        return out;
    }
    if (!now) return out;
    auto r =
        CompareFileStamp("The CMFStart file", ctx, v.value(s, "CMFStart file"), file, "used", nameAndTime());
    if (!r.ok) {
        out.fail("The CMFStart file to be used in the " + ctx +
                 " should be the same as when a simulation from the " + runTitle(run) + " was last run.\r\n" +
                 r.message);
        return out;
    }
    compareConstituents(
        out, v, s, "", file,
        [&] {
            return "All constituents of the CMFStart file: " + file + " to be used in the " + ctx +
                   " should be the same as when a simulation from the " + runTitle(run) + " was last run.";
        },
        ctx);
    return out;
}

CheckOutcome StillOkChecker::BaseSolutionFileOutputStillAsWhenLastUsedOrCreated(int run, int i,
                                                                                bool bot) const {
    CheckOutcome out;
    if (i > m_env.sim.NumYears || (!bot && run == 1)) return out;
    const RunRecordView& v = view(run);
    const std::string y = std::to_string(m_env.sim.Years[i]);
    const std::string_view stored =
        bot ? v.value(y + "boti", "Base Solution file used") : v.value(y + "i", "Base Solution file");
    const std::string ctx = stepContext(m_env, run, i, bot);
    const std::string current = SolutionFile(m_env.sim, i, 1, m_env.noRerun);
    auto r = CompareFileStamp("The Solution file", ctx, stored, current, "used", nameAndTime());
    if (!r.ok)
        out.fail("  The Solution file used in the " + ctx +
                 "\r\n    should be the same as the file used when you last ran the " + ctx +
                 ".\r\n    However that Solution file has changed:\r\n" + r.message +
                 "\r\n    [You need to rerun the " + ctx + " to correct this.]");
    return out;
}

namespace {

CheckOutcome botLikeCheck(const RunRecordEnv& env, const RunRecordView& v, const StampCheck& check, int run,
                          int i, bool bot, const char* key, const std::string& current,
                          const std::string& lead, const std::string& however) {
    CheckOutcome out;
    const std::string y = std::to_string(env.sim.Years[i]);
    const std::string_view stored = v.value(bot ? y : y + "i", key);
    const std::string ctx = stepContext(env, run, i, bot);
    auto r = CompareFileStamp(bot ? "The BOT file" : "The file", ctx, stored, current,
                              bot ? "created" : "used", check);
    if (!r.ok)
        out.fail(lead + simulationPhrase(env, 1, i) + "\r\n    should be the same\r\n" +
                 (bot ? std::string("    as the file created during the BOT job for that year.")
                      : "    as the file used when you last ran the " + ctx + ".") +
                 "\r\n" + however + " has changed:\r\n" + r.message +
                 "\r\n    [You need to carry out the simulation for that year of the Policy or Rerun"
                 " again in order to recreate it.]");
    return out;
}

}  // namespace

CheckOutcome StillOkChecker::BotFileStillAsWhenLastUsedOrCreated(int run, int i, bool bot) const {
    if (i > m_env.sim.NumYears || (!bot && run == 1)) return {};
    return botLikeCheck(
        m_env, view(run), nameAndTime(), run, i, bot, "Bot file", BotFile(m_env.sim, i, m_env.noRerun),
        "  The BOT file to be used to read results from the\r\n    ", "    However that BOT file");
}

CheckOutcome StillOkChecker::SolFileForShocksStillAsWhenLastUsedOrCreated(int run, int i, bool bot) const {
    if (i > m_env.sim.NumYears || (!bot && run == 1) || !m_env.solFileShocks) return {};
    return botLikeCheck(m_env, view(run), nameAndTime(), run, i, bot, "SOL file for Policy shocks",
                        BotResultsFile(m_env.sim, i, m_env.noRerun),
                        "  The SOL file for Shocks to be used to read results from the\r\n    ",
                        "    However that SOL file for Shocks");
}

CheckOutcome StillOkChecker::SimOverviewStillOk(int run, int i, bool bot) const {
    CheckOutcome out;
    const TSimRecord& sim = m_env.sim;
    const RunRecordView& v = view(run);
    const bool ss = i > sim.NumYears;
    const std::string s = ss ? std::string("sser") : sec(i, bot, "er");
    const std::string ctx = stepContext(m_env, run, i, bot);
    const std::string rn = runTitle(run);
    // The texts of the messages are made only for the checks that fail.
    auto when = [&] { return " but when you last ran the " + ctx; };

    const long long version = v.getInt("Options", "VardelVersion", 0);
    if (version < kMinRestorableVersion)
        out.fail("The record of the " + ctx + " was written by an older version of this program (" +
                 std::to_string(version) + ").");
    auto intKey = [&](const char* key, long long now, const char* whatLead) {
        long long then = v.getInt(s, key, -1);
        if (then != now)
            out.fail(whatLead + rn + " has changed. Now it is " + std::to_string(now) + when() + " it was " +
                     (then < 0 ? std::string("not recorded") : std::to_string(then)) + ".");
    };
    intKey("Start year this run", sim.Years[m_env.firstYearOf(run)],
           "The year for which data is produced in the first simulation of the ");
    auto textKey = [&](const char* key, const std::string& now, const char* whatLead, bool withRun,
                       const char* colon) {
        const std::string_view then = trimmedView(v.value(s, key));
        if (!iequals(then, now))
            out.fail(whatLead + (withRun ? rn + " " : std::string()) + "has changed. Now it is" + colon +
                     " " + now + when() + " it was" + colon + " " + std::string(then));
    };
    textKey("Sim name", sim.SimNames[run].str(), "Sim Name for ", true, "");
    textKey("Sim char", std::string(1, runLetter(run)), "Sim Type Character for ", true, "");
    textKey("Sim Directory", sim.WorkDir, "Working directory ", false, ":");

    if (!ss) {
        // The method of the year as the record writer writes it.
        const std::string es = sec(i, bot, "es");
        bool methodSame = true;
        IniFile now;
        WriteMethodSection(now, "m", m_env.methodForYear(i));
        for (const auto& [key, value] : now.entries("m"))
            if (!iequals(trimmedView(v.value(es, key, "?")), trimmedView(value))) methodSame = false;
        if (!methodSame) out.fail("Solution method has changed since you last ran the " + ctx + ".");
        if (m_env.method.AutoAccuracy) {
            bool accSame = true;
            IniFile acc;
            WriteAccuracySection(acc, "a", m_env.accuracyForYear(i));
            for (const auto& [key, value] : acc.entries("a"))
                if (!iequals(trimmedView(v.value(es, key, "?")), trimmedView(value))) accSame = false;
            if (!accSame) out.fail("Auto Accuracy details have changed since you last ran the " + ctx + ".");
        }
    } else {
        const std::string_view stored = v.value(s, "Map file");
        // No map file then and none now is no change.
        if (!(m_env.resultsMapFile.empty() && StampName(stored).empty())) {
            auto r = CompareFileStamp("The Spreadsheet Mapping file", ctx, stored, m_env.resultsMapFile,
                                      "used", nameAndTime());
            if (!r.ok) out.fail(r.message);
        }
    }
    intKey("End year", sim.Years[sim.NumYears],
           "The year for which data is produced in the last simulation of the ");
    {
        long long then = v.getInt(s, "Number of periods", -1);
        if (then != sim.NumYears) {
            const std::string unit = m_env.usesPeriods() ? "period" : "year";
            out.fail("Number of " + unit + "s has changed. Now there are " + std::to_string(sim.NumYears) +
                     when() + " there were " + std::to_string(then) + ".");
        }
    }
    auto lengthCheck = [&](int k, long long then) {
        if (then != sim.PeriodLength[k])
            out.fail("Now have " + std::to_string(sim.PeriodLength[k]) + " years in period number " +
                     std::to_string(k) + when() + " there were " + std::to_string(then) +
                     " years in this period.");
    };
    if (!ss) {
        lengthCheck(i, v.getInt(s, "Length this period", -1));
    } else {
        for (int k = 1; k <= sim.NumYears; ++k)
            lengthCheck(k, v.getInt("Length Periods", std::to_string(k), -1));
    }
    return out;
}

CheckOutcome StillOkChecker::ClosureShocksPageStillOkOneJob(int run, int i, bool bot) const {
    CheckOutcome out;
    if (i > m_env.sim.NumYears) return out;
    const RunRecordView& v = view(run);
    const std::string ctx = stepContext(m_env, run, i, bot);
    auto one = [&](const std::string& section, const std::string& prefix, const std::string& ext,
                   const std::string& kind, const std::string& rel) {
        const std::string_view stored = trimmedView(v.value(section, prefix + ext + " file"));
        const std::string current = m_env.inWorkDir(rel);
        if (stored.empty() && current.empty()) return;
        if (stored.empty()) {
            out.fail("    Now you are using " + kind + " file " + current +
                     "\r\n     but when you last ran that simulation you specified no " + kind + ".");
            return;
        }
        if (current.empty()) {
            out.fail("Now you have specified no " + kind +
                     " but when you last ran that simulation you specified " + StampName(stored));
            return;
        }
        auto r = CompareFileStamp("The " + kind + " file", ctx, stored, current, "used", nameAndTime());
        if (!r.ok) {
            out.fail("The " + kind + " file used when you last ran the " + ctx + " has changed.\r\n" +
                     r.message);
            return;
        }
        compareConstituents(
            out, v, section, prefix, current,
            [&] {
                return "All constituents of the " + kind + " file: " + current + " to be used in the " + ctx +
                       " should be the same as when a simulation from the " + runTitle(run) +
                       " was last run.";
            },
            ctx);
    };
    const TSimRecord& sim = m_env.sim;
    const std::string c = sec(i, bot, "c");
    one(c, "Common ", "CLS", "Common closure", CommonClosureFile(sim, run));
    one(c, "", "CLS", "Period-specific closure", ClosureFileForYear(sim, i, run));
    if (!bot) {
        const std::string s = sec(i, bot, "s");
        const std::string ext = run == 1 ? "BSH" : "PSH";
        one(s, "Common ", ext, "Common shocks", CommonShockFile(sim, run));
        one(s, "", ext, "Period-specific shocks",
            run == 1 ? ShockFileForYear(sim, i) : ExtraShockFileForYear(sim, i));
    }
    return out;
}

CheckOutcome StillOkChecker::IsThisSimSolutionLogSLCFileStillAsWhenLastCreated(
    int run, int i, const CheckSelection& sel) const {
    CheckOutcome out;
    if (i > m_env.sim.NumYears) return out;
    const RunRecordView& v = view(run);
    const std::string y = std::to_string(m_env.sim.Years[i]);
    const std::string ctx = stepContext(m_env, run, i, false);
    const std::string sol = SolutionFile(m_env.sim, i, run, m_env.noRerun);
    struct Item {
        const char* key;
        const char* kind;
        bool wanted;
        std::string file;
    };
    const Item items[] = {
        {"Solution file", "Solution", sel.solution, sol},
        {"SLC file", "SLC", sel.slc, changeExt(sol, ".slc")},
        {"UDC file", "UDC", sel.slc && v.has(y, "UDC file"), changeExt(sol, ".udc")},
        {"Log file", "LOG", sel.log, SimLogFile(m_env.sim, i, run, m_env.noRerun)},
    };
    for (const Item& it : items) {
        if (!it.wanted) continue;
        const std::string kind = it.kind;
        auto r = CompareFileStamp("The " + kind + " file", ctx, v.value(y, it.key), it.file, "created",
                                  nameAndTime());
        if (!r.ok)
            out.fail(
                "  The " + kind + " file from " + ctx +
                "\r\n    should be the same as the file created in the simulation for that year of the " +
                runTitle(run) + ".\r\n    However that " + kind + " file has changed:\r\n" + r.message +
                "\r\n    [You need to rerun the " + ctx + " to correct this.]");
    }
    return out;
}

CheckOutcome StillOkChecker::AreDataFileOutputsThisSimStillAsWhenLastRan(int run, int i,
                                                                         const CheckSelection& sel) const {
    CheckOutcome out;
    const TSimRecord& sim = m_env.sim;
    if (i > sim.NumYears) return out;
    const RunRecordView& v = view(run);
    const std::string y = std::to_string(sim.Years[i]);
    const std::string ctx = stepContext(m_env, run, i, false);
    const int n = std::min(sim.NumFiles, kMaxUserFiles);
    for (int k = 1; k <= n; ++k) {
        const TSimFileEntry& f = sim.Files[k];
        std::string file, kind;
        if (f.Usage == kUsageOutput && sel.otherOutputs) {
            file = DataFileName(sim, i, run, m_env.noRerun, k);
            kind = "output data";
        } else if (f.Usage != kUsageOutput && f.IsInput && f.IsUpdated && sel.updated) {
            file = UpdatedFileName(sim, i, run, m_env.noRerun, k);
            kind = "updated data";
        } else {
            continue;
        }
        auto r = CompareFileStamp("The " + kind + " file", ctx, v.value(y, f.Name.str()),
                                  m_env.inWorkDir(file), "created", nameAndTime());
        if (!r.ok)
            out.fail(
                "  The " + kind + " file with logical name " + f.Name.str() + "\r\n    from " + ctx +
                "\r\n    should be the same as the file created in that simulation.\r\n    However that file"
                " has changed:\r\n" +
                r.message + "\r\n    [You need to rerun the " + ctx + " to correct this.]");
    }
    return out;
}

CheckOutcome StillOkChecker::AreSpreadsheetAndCumDevSolFileOutputsThisSimTypeStillAsWhenLastCreated(
    int run, const CheckSelection& sel) const {
    CheckOutcome out;
    const RunRecordView& v = view(run);
    const std::string rn = runTitle(run);
    const std::string ctx = stepContext(m_env, run, m_env.sim.NumYears + 1, false);
    for (const auto& [key, file] : spreadsheetOutputs(m_env, run)) {
        std::string kind;
        bool wanted = false;
        if (iequals(key, "Output ss YOnY"))
            kind = "year-on-year spreadsheet", wanted = sel.ssSpreadsheets;
        else if (iequals(key, "Output ss cum"))
            kind = "cumulative spreadsheet", wanted = sel.ssSpreadsheets;
        else if (iequals(key, "Output RSL cum"))
            kind = "cumulative results RSL", wanted = sel.ssSpreadsheets;
        else if (iequals(key, "Output diff YOnY"))
            kind = "year-on-year differences spreadsheet", wanted = sel.ssDeviations;
        else if (iequals(key, "Output diff cum"))
            kind = "cumulative differences spreadsheet", wanted = sel.ssDeviations;
        else if (iequals(key, "Output RSL dev"))
            kind = "cumulative differences RSL", wanted = sel.ssDeviations;
        if (!wanted) continue;
        auto r = CompareFileStamp("The " + kind + " file", ctx, v.value("Run", key), file, "created",
                                  nameAndTime());
        if (!r.ok)
            out.fail("The " + kind + " file from the " + rn +
                     " should be the same as the file created in the spreadsheet job for the " + rn +
                     ".\r\n    However that " + kind + " file has changed:\r\n" + r.message +
                     "\r\n    [You need to rerun the spreadsheet job for the " + rn + " to correct this.]");
    }
    return out;
}

CheckOutcome StillOkChecker::StartingDataInputsForSimOrBotJobStillAsWhenLastRan(int run, int i,
                                                                                bool bot) const {
    CheckOutcome out;
    const TSimRecord& sim = m_env.sim;
    if (i > sim.NumYears) return out;
    const RunRecordView& v = view(run);
    const std::string s = sec(i, bot, "i");
    const std::string ctx = stepContext(m_env, run, i, bot);
    const int n = std::min(sim.NumFiles, kMaxUserFiles);
    for (int k = 1; k <= n; ++k) {
        const TSimFileEntry& f = sim.Files[k];
        if (f.Usage != kUsageUpdatedInput && f.Usage != kUsageLaggedInput && f.Usage != kUsageConstantInput)
            continue;
        auto resolved =
            ResolveLogicalFileWith(sim, i, run, m_env.firstYearOf(run), m_env.noRerun, k,
                                   [this](const std::string& name) { return firstYearFile(name); });
        const std::string current = resolved ? m_env.inWorkDir(resolved->name) : std::string();
        auto r =
            CompareFileStamp("The input file", ctx, v.value(s, f.Name.str()), current, "used", nameAndTime());
        if (!r.ok)
            out.fail("The input file to be used in the " + ctx +
                     " should be the same as the file with logical name " + f.Name.str() +
                     " used when you last ran the " + ctx + ".\r\n    However that file has changed:\r\n" +
                     r.message);
    }
    return out;
}

CheckOutcome StillOkChecker::checkStep(int run, int i, bool bot, bool prerequisites,
                                       const CheckSelection& sel, bool collectAll) const {
    CheckOutcome out;
    const bool ss = i > m_env.sim.NumYears;
    auto step = [&](const CheckOutcome& o) {
        out.merge(o);
        return out.ok || collectAll;
    };
    if (!ss && prerequisites) {
        if (!step(ModelFilesStillOk(run, i, bot))) return out;
        if (!step(CMFStartStillOk(run, i, bot))) return out;
    }
    if (!ss && (run >= 2 || bot)) {
        if (!step(BaseSolutionFileOutputStillAsWhenLastUsedOrCreated(run, i, bot))) return out;
        if ((sel.bot || prerequisites) && !step(BotFileStillAsWhenLastUsedOrCreated(run, i, bot))) return out;
        if ((sel.solShocks || prerequisites) &&
            !step(SolFileForShocksStillAsWhenLastUsedOrCreated(run, i, bot)))
            return out;
    }
    if (!step(SimOverviewStillOk(run, i, bot))) return out;
    if (!ss && prerequisites && !step(ClosureShocksPageStillOkOneJob(run, i, bot))) return out;
    if (!ss && !bot) {
        if (!step(IsThisSimSolutionLogSLCFileStillAsWhenLastCreated(run, i, sel))) return out;
        if (!step(AreDataFileOutputsThisSimStillAsWhenLastRan(run, i, sel))) return out;
    }
    if (ss && !step(AreSpreadsheetAndCumDevSolFileOutputsThisSimTypeStillAsWhenLastCreated(run, sel)))
        return out;
    if (!ss && prerequisites) step(StartingDataInputsForSimOrBotJobStillAsWhenLastRan(run, i, bot));
    return out;
}

std::optional<std::int64_t> StillOkChecker::completionTime(int run, int i, bool bot) const {
    const RunRecordView& v = view(run);
    if (i > m_env.sim.NumYears) return v.getTime("Run", "ss job finished ok");
    const std::string y = std::to_string(m_env.sim.Years[i]);
    return v.getTime(y, bot ? "Bot job finished ok" : "Year finished ok");
}

std::string StillOkChecker::notCompletedReason(int run, int i, bool bot) const {
    if (i > m_env.sim.NumYears) return "Spreadsheet job for " + runTitle(run) + " has not been completed.";
    if (bot)
        return "BOT job for year number " + std::to_string(i) + " of the " + runTitle(run) +
               " has not been completed.";
    return simulationPhrase(m_env, run, i, true) + " has not been completed.";
}

std::optional<std::string> StillOkChecker::lastRanProblem(int run) const {
    const RunRecordView& v = view(run);
    const TSimRecord& sim = m_env.sim;
    const std::string rn = runTitle(run);
    static const char* const kKeys[] = {"", "Base Sim name", "Rerun Sim name", "Policy Sim name"};
    if (!v.hasSection("LastRan") || !iequals(trim(v.get("LastRan", kKeys[run])), sim.SimNames[run].str()))
        return "None of " + rn + " has been run.";
    if (run == 1) return std::nullopt;
    const std::string base = trim(v.get("LastRan", kKeys[1]));
    const bool baseSame = iequals(base, sim.SimNames[1].str());
    if (run == 2 || m_env.noRerun) {
        if (!baseSame) return rn + " has been run after a Base with Sim Name " + base + ".";
        return std::nullopt;
    }
    const std::string rerun = trim(v.get("LastRan", kKeys[2]));
    if (!baseSame || !iequals(rerun, sim.SimNames[2].str()))
        return rn + " has been run after Base with Sim Name " + base + " and Rerun with Sim Name " + rerun +
               ".";
    return std::nullopt;
}

}  // namespace vdln
