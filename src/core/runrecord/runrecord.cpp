#include "runrecord/runrecord.h"

#include <algorithm>
#include <exception>

#include "base/besteffort.h"
#include "base/fileutil.h"
#include "base/paths.h"
#include "base/strutil.h"
#include "cmf/cmfreader.h"
#include "model/filenames.h"
#include "model/simgrid.h"
#include "model/simrecord.h"
#include "runrecord/filestamp.h"
#include "runrecord/recordstore.h"

namespace vdln {

bool RunRecordEnv::usesPeriods() const {
    for (int i = 1; i <= std::min(sim.NumYears, kMaxYears); ++i)
        if (sim.PeriodLength[i] != 1) return true;
    return false;
}

const TSolutionMethod& RunRecordEnv::methodForYear(int i) const {
    if (sim.AltMethodInUse && i >= 1 && i <= kMaxYears && sim.AltMethodYears[i]) return altMethod;
    return method;
}

const TAutoAccuracy& RunRecordEnv::accuracyForYear(int i) const {
    if (sim.AltMethodInUse && i >= 1 && i <= kMaxYears && sim.AltMethodYears[i]) return altAccuracy;
    return accuracy;
}

std::string RunRecordEnv::inWorkDir(const std::string& name) const {
    if (name.empty()) return name;
    return ResolvePath(sim.WorkDir, name);
}

std::string stepSection(const RunRecordEnv& env, int i, bool bot, const std::string& suffix) {
    return std::to_string(env.sim.Years[i]) + (bot ? "bot" : "") + suffix;
}

std::string runTitle(int run) {
    const std::string name = runName(run);
    return name.empty() ? "?" : name;
}

std::string simulationPhrase(const RunRecordEnv& env, int run, int i, bool capital) {
    // Made for every check of every step: built in one string.
    std::string out;
    out.reserve(64);
    out += capital ? "S" : "s";
    out += "imulation for year ";
    out += std::to_string(env.sim.Years[i]);
    out += " (";
    out += env.usesPeriods() ? "period" : "year";
    out += " number ";
    out += std::to_string(i);
    out += ") of the ";
    out += runTitle(run);
    return out;
}

std::string stepContext(const RunRecordEnv& env, int run, int i, bool bot) {
    if (i > env.sim.NumYears) return "spreadsheet job for the " + runTitle(run);
    if (bot) return "BOT job for year " + std::to_string(env.sim.Years[i]);
    return simulationPhrase(env, run, i);
}

StampCompareResult CompareFileStamp(const RunRecordEnv& env, std::string_view label, int run, int year,
                                    std::string_view storedStamp, const std::string& currentFile,
                                    std::string_view verb, bool checkName, bool checkTimeAndSize, bool bot) {
    const std::string context = year == 0 ? runTitle(run) : stepContext(env, run, year, bot);
    return CompareFileStamp(label, context, storedStamp, currentFile, verb,
                            StampCheck{checkName, checkTimeAndSize});
}

std::vector<std::pair<std::string, std::string>> spreadsheetOutputs(const RunRecordEnv& env, int run) {
    const TSimRecord& s = env.sim;
    const int f0 = env.firstYearOf(run);
    int c = env.ssRange[run].first > 0 ? env.ssRange[run].first : f0;
    int a = env.ssRange[run].second > 0 ? env.ssRange[run].second : s.NumYears;
    const bool nr = env.noRerun;
    std::vector<std::pair<std::string, std::string>> out;
    auto add = [&](const char* key, const std::string& name) { out.emplace_back(key, env.inWorkDir(name)); };
    add("Output ss YOnY", SpreadsheetCsvName(s, run, c, a, f0, nr, ResultsKind::Spreadsheet, "yony"));
    if (!env.abbreviatedSS)
        add("Output ss cum", SpreadsheetCsvName(s, run, c, a, f0, nr, ResultsKind::Spreadsheet, "cum"));
    add("SEQ file", SequenceFile(s, run, c, a, f0, nr, false));
    add("Output RSL cum", CumulativeResultsName(s, run, c, a, f0, nr, ResultsKind::Spreadsheet));
    if (run == 3) {
        if (env.yearOnYearDiffs)
            add("Output diff YOnY",
                SpreadsheetCsvName(s, run, c, a, f0, nr, ResultsKind::Deviations, "yony"));
        add("Output diff cum", SpreadsheetCsvName(s, run, c, a, f0, nr, ResultsKind::Deviations, "cum"));
        add("SEQ dev file", SequenceFile(s, run, c, a, f0, nr, true));
        add("Output RSL dev", CumulativeResultsName(s, run, c, a, f0, nr, ResultsKind::Deviations));
    }
    return out;
}

std::string yearCsvFile(const RunRecordEnv& env, int run, int i) {
    return JoinPath(env.sim.WorkDir, env.sim.SimNames[run] + std::string(1, runLetter(run)) +
                                         std::to_string(env.sim.Years[i]) + ".csv");
}

std::vector<std::string> sortedConstituents(const RunRecordEnv& env, const std::string& file) {
    std::vector<std::string> list;
    if (file.empty() || !fileExists(file)) return list;
    // A file that cannot be read simply draws in nothing here; the grid and
    // the prerequisite check report it.
    bestEffort(ListConstituents(dirOf(file), nameOf(file), list),
               "a file that cannot be read is recorded under its own name");
    std::vector<std::string> out;
    for (size_t k = 1; k < list.size(); ++k) out.push_back(env.inWorkDir(list[k]));
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
    return out;
}

std::string currentCMFStartFile(const RunRecordEnv& env, int run) {
    if (!env.useCMFStart) return std::string();
    std::string f = CMFStartFile(env.sim, run);
    if (!f.empty()) return f;
    return DefaultCMFStartFile(env.sim.WorkDir, run, env.useRunSpecificCMFStart);
}

namespace {

// Writes the sections of one step; `stage` follows the work for the error
// message.
class RecordWriter {
public:
    RecordWriter(const RunRecordEnv& env, IniFile& ini, int run, int year, bool bot, std::string& stage)
        : m_env(env), m_sim(env.sim), m_ini(ini), m_run(run), m_i(year), m_bot(bot), m_stage(stage) {}

    void write(const TAutoAccuracy& accuracy, const TSolutionMethod& method) {
        const bool ss = m_i > m_sim.NumYears;
        const bool sim = !ss && !m_bot;
        lastRan();
        m_ini.setInt("Options", "VardelVersion", kRunRecordVersion);
        if (!ss) {
            modelSection("Model");
            modelSection(sec("em"));
        }
        completion(ss);
        runSections(ss);
        if (ss) {
            m_stage = "ss";
            spreadsheetOutputs(ss);
        }
        if (!m_bot) {
            m_stage = "first year etc";
            firstYearInputs();
        }
        if (!ss) {
            m_stage = "solution file etc";
            yearFiles(sim);
            logicalFiles(sim);
            m_stage = "CLS etc";
            closureAndShocks(sim);
            m_stage = "CMFSTART etc";
            startFile();
            m_stage = "solution method";
            methods(accuracy, method);
        }
    }

private:
    std::string sec(const std::string& suffix) const { return stepSection(m_env, m_i, m_bot, suffix); }
    std::string year() const { return std::to_string(m_sim.Years[m_i]); }
    void stamp(const std::string& section, const std::string& key, const std::string& file) {
        m_ini.set(section, key, FileStamp(file, &m_listings));
    }

    void lastRan() {
        m_ini.set("LastRan", "Base Sim name", m_sim.SimNames[1].str());
        if (m_run >= 2 && !m_env.noRerun) m_ini.set("LastRan", "Rerun Sim name", m_sim.SimNames[2].str());
        if (m_run == 3) m_ini.set("LastRan", "Policy Sim name", m_sim.SimNames[3].str());
    }

    void modelSection(const std::string& section) {
        const std::string& model = m_env.modelFile;
        if (!iequals(extOf(model), ".gss")) {
            stamp(section, "Exe", model);
            stamp(section, "Axs", changeExt(model, ".axs"));
            stamp(section, "Axt", changeExt(model, ".axt"));
            m_ini.set(section, "Gss", "");
            m_ini.set(section, "Gst", "");
        } else {
            m_ini.set(section, "Exe", "");
            m_ini.set(section, "Axs", "");
            m_ini.set(section, "Axt", "");
            stamp(section, "Gss", model);
            stamp(section, "Gst", changeExt(model, ".gst"));
        }
        m_ini.setBool(section, "Not winconsole exe", m_env.notWinconsoleExe);
        stamp(section, "Model Info File", m_env.modelInfoFile);
        const bool din = !m_env.dynamicInfoFile.empty() && fileExists(m_env.dynamicInfoFile);
        m_ini.setBool(section, "Is DIN file", din);
        if (din)
            stamp(section, "Dynamic Info File", m_env.dynamicInfoFile);
        else
            m_ini.eraseKey(section, "Dynamic Info File");  // a stale stamp would mislead the checks
        m_ini.setBool(section, "Sol File Shocks", m_env.solFileShocks);
        m_ini.set(section, "Rerun FC with Dev", m_env.noRerun ? "no" : "yes");
    }

    void completion(bool ss) {
        const std::string now = formatCompletionTime(m_env.clock.nowFileTime());
        if (ss)
            m_ini.set("Run", "ss job finished ok", now);
        else if (m_bot)
            m_ini.set(year(), "Bot job finished ok", now);
        else
            m_ini.set(year(), "Year finished ok", now);
    }

    void runSection(const std::string& section, bool ss) {
        const int start = m_run == 1 ? 1 : m_env.firstPolicyYear;
        m_ini.setInt(section, "Start year this run", m_sim.Years[start]);
        m_ini.setInt(section, "End year", m_sim.Years[m_sim.NumYears]);
        m_ini.setInt(section, "Number of periods", m_sim.NumYears);
        m_ini.set(section, "Sim Directory", m_sim.WorkDir);
        m_ini.set(section, "Sim name", m_sim.SimNames[m_run].str());
        m_ini.set(section, "Sim char", std::string(1, runLetter(m_run)));
        if (ss) stamp(section, "Map file", m_env.resultsMapFile);
    }

    void runSections(bool ss) {
        runSection("Run", ss);
        runSection(ss ? std::string("sser") : sec("er"), ss);
        lengthPeriods();
        if (!ss) m_ini.setInt(sec("er"), "Length this period", m_sim.PeriodLength[m_i]);
    }

    // The length of every period.  The section is written again only when
    // it is not already what it would become: setting its keys one by one
    // costs the square of the number of years at every completion.
    void lengthPeriods() {
        const char* const section = "Length Periods";
        std::vector<std::pair<std::string, std::string>> want;
        want.emplace_back("Number periods", std::to_string(m_sim.NumYears));
        for (int k = 1; k <= m_sim.NumYears; ++k)
            want.emplace_back(std::to_string(k), std::to_string(m_sim.PeriodLength[k]));
        const auto have = m_ini.entries(section);
        const bool same =
            have.size() == want.size() &&
            std::equal(have.begin(), have.end(), want.begin(), [](const auto& h, const auto& w) {
                return iequals(h.first, w.first) && h.second == w.second;
            });
        if (same) return;
        for (const auto& [key, value] : want) m_ini.set(section, key, value);
    }

    void spreadsheetOutputs(bool) {
        for (const auto& [key, file] : vdln::spreadsheetOutputs(m_env, m_run)) stamp("Run", key, file);
        for (int k = m_env.firstYearOf(m_run); k <= m_sim.NumYears; ++k)
            stamp(std::to_string(m_sim.Years[k]), "CSV file", yearCsvFile(m_env, m_run, k));
        const std::string& conv = m_env.convergenceFile[m_run];
        if (!conv.empty() && fileExists(conv)) stamp("Run", "KoraleRE convergence HA file", conv);
    }

    void firstYearInputs() {
        const std::string section = std::to_string(m_sim.Years[0]) + "i";
        for (const std::string& line : m_env.firstYearList) {
            // "file <logical name> = <file> ;"
            std::string t = trim(line);
            if (!istartsWith(t, "file ")) continue;
            size_t eq = t.find('=');
            if (eq == std::string::npos) continue;
            std::string name = trim(t.substr(5, eq - 5));
            // The file ends at the statement's ";" (a quoted name may hold
            // one); the "! description" after it is not part of the name.
            std::string file = t.substr(eq + 1);
            bool quoted = false;
            for (size_t k = 0; k < file.size(); ++k) {
                if (file[k] == '"') quoted = !quoted;
                if (file[k] == ';' && !quoted) {
                    file.resize(k);
                    break;
                }
            }
            file = trim(file);
            if (file.size() >= 2 && file.front() == '"' && file.back() == '"')
                file = file.substr(1, file.size() - 2);
            if (name.empty()) continue;
            stamp(section, name, file.empty() ? file : m_env.inWorkDir(file));
        }
    }

    void yearFiles(bool sim) {
        const bool nr = m_env.noRerun;
        if (sim) {
            const std::string sol = SolutionFile(m_sim, m_i, m_run, nr);
            stamp(year(), "Solution file", sol);
            stamp(year(), "SLC file", changeExt(sol, ".slc"));
            if (m_env.writesUdc) stamp(year(), "UDC file", changeExt(sol, ".udc"));
            stamp(year(), "Log file", SimLogFile(m_sim, m_i, m_run, nr));
        }
        if (m_run >= 2 || m_bot) {
            const std::string section = m_bot ? year() : year() + "i";
            stamp(section, "Bot file", BotFile(m_sim, m_i, nr));
            if (m_env.solFileShocks)
                stamp(section, "SOL file for Policy shocks", BotResultsFile(m_sim, m_i, nr));
        }
        const std::string baseSol = SolutionFile(m_sim, m_i, 1, nr);
        if (m_bot)
            stamp(year() + "boti", "Base Solution file used", baseSol);
        else if (m_run >= 2)
            stamp(year() + "i", "Base Solution file", baseSol);
    }

    void logicalFiles(bool sim) {
        const bool nr = m_env.noRerun;
        const int firstRun = m_env.firstYearOf(m_run);
        const int n = std::min(m_sim.NumFiles, kMaxUserFiles);
        for (int k = 1; k <= n; ++k) {
            m_stage = "inputs of files. k= " + std::to_string(k);
            const TSimFileEntry& f = m_sim.Files[k];
            if (f.Usage == kUsageUpdatedInput || f.Usage == kUsageLaggedInput ||
                f.Usage == kUsageConstantInput) {
                auto r = ResolveLogicalFile(m_sim, m_i, m_run, firstRun, nr, k, m_env.firstYearList);
                std::string file = r ? m_env.inWorkDir(r->name) : std::string();
                stamp(sec("i"), f.Name.str(), file);
            }
            if (!sim) continue;
            if (f.Usage == kUsageOutput)
                stamp(year(), f.Name.str(), m_env.inWorkDir(DataFileName(m_sim, m_i, m_run, nr, k)));
            else if (f.IsInput && f.IsUpdated)
                stamp(year(), f.Name.str(), m_env.inWorkDir(UpdatedFileName(m_sim, m_i, m_run, nr, k)));
        }
        m_stage = "inputs of files (all k)";
    }

    // The "Common <ext> file"/"<ext> file" keys and their constituents.
    void fileWithConstituents(const std::string& section, const std::string& prefix, const std::string& ext,
                              const std::string& relName) {
        const std::string file = relName.empty() ? std::string() : m_env.inWorkDir(relName);
        m_ini.set(section, prefix + ext + " file",
                  file.empty() ? std::string() : FileStamp(file, &m_listings));
        for (int n = 0;; ++n)  // drop constituents recorded by an earlier run of this step
            if (!m_ini.eraseKey(section, prefix + "Constituent " + std::to_string(n))) break;
        const auto list = sortedConstituents(m_env, file);
        for (size_t n = 0; n < list.size(); ++n)
            stamp(section, prefix + "Constituent " + std::to_string(n), list[n]);
    }

    void closureAndShocks(bool sim) {
        const std::string c = sec("c");
        fileWithConstituents(c, "Common ", "CLS", CommonClosureFile(m_sim, m_run));
        fileWithConstituents(c, "", "CLS", ClosureFileForYear(m_sim, m_i, m_run));
        if (!sim) return;
        const std::string s = sec("s");
        const std::string ext = m_run == 1 ? "BSH" : "PSH";
        fileWithConstituents(s, "Common ", ext, CommonShockFile(m_sim, m_run));
        fileWithConstituents(s, "", ext,
                             m_run == 1 ? ShockFileForYear(m_sim, m_i) : ExtraShockFileForYear(m_sim, m_i));
    }

    void startFile() {
        const std::string file = currentCMFStartFile(m_env, m_run);
        const bool exists = !file.empty() && fileExists(file);
        for (const std::string& section : {std::string("cmfstart"), sec("ec")}) {
            m_ini.setBool(section, "UseCMFStart", m_env.useCMFStart);
            m_ini.setBool(section, "UseRunSpecificCMFStart", m_env.useRunSpecificCMFStart);
            m_ini.setBool(section, "Exists", exists);
            m_ini.set(section, "CMFStart file", exists ? FileStamp(file, &m_listings) : std::string());
            for (int n = 0;; ++n)
                if (!m_ini.eraseKey(section, "Constituent " + std::to_string(n))) break;
            if (!exists) continue;
            const auto list = sortedConstituents(m_env, file);
            for (size_t n = 0; n < list.size(); ++n)
                stamp(section, "Constituent " + std::to_string(n), list[n]);
        }
    }

    void methods(const TAutoAccuracy& accuracy, const TSolutionMethod& method) {
        WriteMethodSection(m_ini, kMethodSection, m_env.method);
        const std::string es = sec("es");
        WriteMethodSection(m_ini, es, method);
        if (m_env.method.AutoAccuracy) {
            WriteAccuracySection(m_ini, kMethodSection, m_env.accuracy);
            WriteAccuracySection(m_ini, es, accuracy);
        }
    }

    const RunRecordEnv& m_env;
    const TSimRecord& m_sim;
    IniFile& m_ini;
    int m_run;
    int m_i;
    bool m_bot;
    std::string& m_stage;
    /// The folders of the stamped files, each read at most once for the
    /// names missing as written: recording a step creates no file there.
    FolderListings m_listings;
};

void invalidateLaterRuns(const RunRecordEnv& env, int run, RunRecordStore& store) {
    if (env.developerMode) return;
    for (int r = run + 1; r <= 3; ++r) {
        const std::string file = RunRecordFileName(env.keep, r);
        if (!fileExists(file)) continue;
        bool remove = env.beLikeOld;
        if (!remove) {
            remove =
                !iequals(trim(store.value(file, "Run", "Sim name").value_or("")), env.sim.SimNames[r].str());
        }
        if (remove) {
            bestEffort(deleteFile(file),
                       "a later run's record of other names: its checks compare the names and "
                       "its next completion rewrites it");
            store.forget(file);
        }
    }
}

}  // namespace

bool WriteRunRecord(const RunRecordEnv& env, Dialogs& dialogs, int run, int year, StepKind kind,
                    const TAutoAccuracy& accuracy, const TSolutionMethod& method) {
    RunRecordStore store;
    return WriteRunRecord(env, dialogs, store, run, year, kind, accuracy, method);
}

bool WriteRunRecord(const RunRecordEnv& env, Dialogs& dialogs, RunRecordStore& store, int run, int year,
                    StepKind kind, const TAutoAccuracy& accuracy, const TSolutionMethod& method) {
    const std::string file = RunRecordFileName(env.keep, run);
    std::string stage = "none";
    std::string detail;
    try {
        if (file.empty() || year < 1 || year > env.sim.NumYears + 1 ||
            (kind == StepKind::Bot && year > env.sim.NumYears))
            throw std::invalid_argument("no such step");
        if (year < env.firstYearOf(run)) return true;
        if (env.beLikeOld && year == env.firstYearOf(run)) {
            bestEffort(deleteFile(file),
                       "old-style saving starts a fresh record; the write below replaces the file anyway");
            store.forget(file);
        }
        invalidateLaterRuns(env, run, store);

        auto loaded = store.edit(file);
        if (!loaded) throw std::runtime_error(loaded.message());
        IniFile& ini = **loaded;
        stage = "starting INI";
        try {
            RecordWriter(env, ini, run, year, kind == StepKind::Bot, stage).write(accuracy, method);
        } catch (...) {
            store.forget(file);  // a step half written in memory is not kept: the file on disk is read again
            throw;
        }
        stage = "File list freed";
        Status saved = store.save(file);
        if (!saved) throw std::runtime_error(saved.message());
        stage = "Ini file updated";
        stage = "Ini freed";
        stage = "Result set true";
        return true;
    } catch (const std::exception&) {
        dialogs.message(MsgKind::Error,
                        "Problem updating Record of Runs file \r\n  " + file +
                            "\r\nLast part done is: " + stage + "\r\nBut will attempt to continue.",
                        BtnOk | BtnHelp);
        return false;
    }
}

}  // namespace vdln
