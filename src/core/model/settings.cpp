#include "model/settings.h"

#include <algorithm>
#include <optional>
#include <unordered_map>

#include "base/besteffort.h"
#include "base/dialogs.h"
#include "base/fileutil.h"
#include "base/paths.h"
#include "base/strutil.h"
#include "model/simdetails.h"
#include "model/simgrid.h"

namespace vdln {

namespace {

const char* const kOptions = "Options";
const char* const kEnv = "Environment";
const char* const kInputFiles = "Input Files";
const char* const kLengthPeriods = "Length Periods";

bool flag(const IniFile& ini, const char* section, const char* key, bool def) {
    return ini.getInt(section, key, def ? 1 : 0) != 0;
}

// A yes/no option whose default is "no": only "yes" switches it on.
bool yesOption(const IniFile& ini, const char* key) {
    return iequals(ini.getString(kEnv, key, "no"), "yes");
}

int ranged(const IniFile& ini, const char* key, int def, int lo, int hi) {
    long long v = ini.getInt(kEnv, key, def);
    return v >= lo && v <= hi ? static_cast<int>(v) : def;
}

const char* flagText(bool b) {
    return b ? "1" : "0";
}
const char* yesNo(bool b) {
    return b ? "yes" : "no";
}

std::string outputsText(OutputsBeforeRun o) {
    switch (o) {
        case OutputsBeforeRun::Move:
            return "move";
        case OutputsBeforeRun::Neither:
            return "neither";
        default:
            return "delete";
    }
}

bool existingFile(const std::string& path) {
    return !path.empty() && fileExists(findFileIgnoringCase(path));
}

bool defaultCompanionsExist(const std::string& model) {
    if (iequals(extOf(model), ".gss")) return existingFile(changeExt(model, ".gst"));
    return existingFile(changeExt(model, ".axs")) && existingFile(changeExt(model, ".axt"));
}

std::string altYearsText(const TSimRecord& rec) {
    std::string s(kMaxYears, 'u');
    for (int i = 1; i <= kMaxYears; ++i)
        if (rec.AltMethodYears[i]) s[i - 1] = 'a';
    return s;
}

// The keys of section "Environment" in writing order, with their values.
// `textForm` puts "VardelVersion" after "Model Name" and "TempDir" gets the
// directory in use.
std::vector<std::pair<std::string, std::string>> environmentKeys(const ProgramSettings& st,
                                                                 const TSimRecord& rec,
                                                                 const std::string& tempDir, bool textForm) {
    const ModelSettings& m = st.model;
    std::vector<std::pair<std::string, std::string>> k;
    k.emplace_back("Model", m.Model);
    k.emplace_back("Simulation Program SV Release",
                   std::to_string(m.Version.ReleaseKnown ? m.Version.Release : 0));
    k.emplace_back("Simulation Program Version",
                   std::to_string(m.Version.VersionKnown ? m.Version.Version : 0));
    k.emplace_back("Simulation Program Compiler", m.Version.CompilerKnown ? m.Version.Compiler : "");
    k.emplace_back("Not winconsole exe", flagText(m.NotWinconsoleExe));
    k.emplace_back("Model Name", m.ModelName);
    if (textForm) k.emplace_back("VardelVersion", std::to_string(kVardelVersion));
    k.emplace_back("Model Info File", m.ModelInfoFile);
    k.emplace_back("Dynamic Info File", m.DynamicInfoFile);
    k.emplace_back("MIN File Id", std::to_string(m.MinFileId));
    k.emplace_back("DIN File Id", std::to_string(m.DinFileId));
    k.emplace_back("Is DIN file", flagText(m.IsDinFile));
    k.emplace_back("Sim Directory", rec.WorkDir);
    k.emplace_back("Results Map File", st.ResultsMapFile);
    k.emplace_back("Do Korale RE", flagText(st.re.DoingRE));
    k.emplace_back("Korale RE Base Iterations", std::to_string(st.re.BaseIterations));
    k.emplace_back("Korale RE Rerun Iterations", std::to_string(st.re.RerunIterations));
    k.emplace_back("Korale RE Policy Iterations", std::to_string(st.re.PolicyIterations));
    k.emplace_back("Korale RE Policy Start Year", std::to_string(st.re.PolicyStartYear));
    k.emplace_back("Prepare Convergence HAR files", flagText(st.re.ConvergenceHar));
    k.emplace_back("Prepare Convergence ROREXT files", flagText(st.re.ConvergenceRorext));
    k.emplace_back("Prepare Convergence CSV files", flagText(st.re.ConvergenceCsv));
    k.emplace_back("Do Standard KORALE RE checks", flagText(st.re.StandardChecks));
    k.emplace_back("Allow several KORALE RE iterations on Rerun", flagText(st.re.SeveralRerunIterations));
    k.emplace_back("Editor", st.tools.Editor);
    k.emplace_back("Spreadsheet", st.tools.Spreadsheet);
    k.emplace_back("Outlens", st.tools.Outlens);
    k.emplace_back("Gridlens", st.tools.Gridlens);
    k.emplace_back("Probex", st.tools.Probex);
    k.emplace_back("Rerun FC with Dev", yesNo(!st.NoRerun));
    k.emplace_back("Abbreviated SS jobs", yesNo(st.AbbreviatedSsJobs));
    k.emplace_back("Make YonY Differences SS", yesNo(st.YonYDifferencesSs));
    k.emplace_back("Accumulate subtotals results", yesNo(st.AccumulateSubtotals));
    k.emplace_back("Never use bat job for simulations", yesNo(st.NeverBatJob));
    k.emplace_back("UseSolvaneDir", st.tools.UseSolvaneDir);
    k.emplace_back("Clear Temp Dir when Exit", flagText(st.ClearTempDirAtExit));
    k.emplace_back("TempDir", tempDir);
    k.emplace_back("Use CMFStart", "1");
    k.emplace_back("Use RunSpecific CMFStart", flagText(!st.BeLikeOldVardelon));
    k.emplace_back("Sol File Shocks", flagText(st.SolFileShocks));
    k.emplace_back("Arith Prob Not Fatal RSL", flagText(st.ArithProbNotFatalRsl));
    k.emplace_back("Visible Log Files", flagText(st.VisibleLogFiles));
    k.emplace_back("Suppress Screen Saver", flagText(st.SuppressScreenSaver));
    k.emplace_back("Fewer Messages", flagText(st.FewerMessages));
    k.emplace_back("Check Prerequisites", flagText(st.CheckPrerequisites));
    k.emplace_back("Hide Rational Expectations", flagText(st.re.HideRE));
    k.emplace_back("Complete Base First", flagText(st.CompleteBaseFirst));
    k.emplace_back("Add to Jobs Log File", flagText(st.AddToJobsLog));
    k.emplace_back("Allow 2 Concurrent Solves", flagText(st.ConcurrentSolves == 2));
    k.emplace_back("Allow 3 Concurrent Solves", flagText(st.ConcurrentSolves >= 3));
    k.emplace_back("Outputs Before Run", outputsText(st.Outputs));
    k.emplace_back("Part Time Limit", std::to_string(st.PartTimeLimit));
    return k;
}

int periodCount(const TSimRecord& rec) {
    return std::clamp(rec.NumYears, 0, kMaxYears);
}

// The keys of a section by lower-cased name, the first of a repeated key
// winning as in `IniFile::get`.  Numbered lists are looked up here, so a long
// list reads in time linear in its length.
std::unordered_map<std::string, std::string> sectionIndex(const IniFile& ini, const char* section) {
    std::unordered_map<std::string, std::string> index;
    for (auto& [key, value] : ini.entries(section)) index.emplace(toLower(key), std::move(value));
    return index;
}

// A numbered entry of an indexed section.
const std::string* indexed(const std::unordered_map<std::string, std::string>& index, long long n) {
    auto it = index.find(std::to_string(n));
    return it == index.end() ? nullptr : &it->second;
}

}  // namespace

void ModelSettings::clearModel() {
    Model.clear();
    Version.clear();
    NotWinconsoleExe = false;
    UsesInterpreter = false;
    ModelName.clear();
    ModelDir.clear();
    ModelInfoFile.clear();
    DynamicInfoFile.clear();
    MinFileId = 0;
    DinFileId = 0;
    IsDinFile = false;
}

bool ReadIniOptionsText(std::string_view text, SettingsParts parts, ProgramSettings& st, TSimRecord& rec,
                        const SettingsContext& ctx, Dialogs& dialogs) {
    IniFile ini = IniFile::parse(text);

    // 1. Options.
    if (parts.options) {
        st.PlayMusic = flag(ini, kOptions, "PlayMusic", false);
        st.DeveloperMode = flag(ini, kOptions, "DeveloperMode", false);
        st.WarnAboutTempDirName = flag(ini, kOptions, "Warn about Temp Dir name", true);
    }
    // 2. The version of the writer.
    long long version = ini.getInt(kOptions, "VardelVersion", 0);
    st.SettingsVersion = static_cast<int>(std::clamp<long long>(version, -2147483647LL, 2147483647LL));

    // 3. The model.
    if (parts.model) {
        ModelSettings& m = st.model;
        m.Model = ini.getString(kEnv, "Model", "");
        m.Version = ReadVersionInfo(ini, kEnv);
        m.NotWinconsoleExe = flag(ini, kEnv, "Not winconsole exe", false);
        if (!m.Model.empty()) {
            std::string found = findFileIgnoringCase(m.Model);
            if (!fileExists(found)) {
                if (!ctx.batchMode)
                    dialogs.message(MsgKind::Error, "Model Exe File\r\n  " + m.Model + "\r\ndoes not exist.",
                                    BtnOk | BtnHelp);
                m.Model.clear();
            } else {
                auto companions = ctx.companionsExist ? ctx.companionsExist : defaultCompanionsExist;
                if (!companions(found)) m.Model.clear();
            }
        }
        if (!m.Model.empty()) {
            m.UsesInterpreter = !iequals(extOf(m.Model), ".exe");
            m.ModelName = ini.getString(kEnv, "Model Name", "");
            m.ModelDir = dirOf(m.Model);
            m.ModelInfoFile = ini.getString(kEnv, "Model Info File", "");
            m.DynamicInfoFile = ini.getString(kEnv, "Dynamic Info File", "");
            m.MinFileId = ini.getInt(kEnv, "MIN File Id", 0);
            m.DinFileId = ini.getInt(kEnv, "DIN File Id", 0);
            m.IsDinFile = flag(ini, kEnv, "Is DIN file", false);
        } else {
            m.clearModel();
        }
        m.FirstYearList.clear();
        const auto inputFiles = sectionIndex(ini, kInputFiles);
        for (long long i = 0;; ++i) {
            const std::string* line = indexed(inputFiles, i);
            if (!line) break;
            m.FirstYearList.push_back(*line);
        }
        if (m.Model.empty()) m.FirstYearList.clear();
    }

    // 4. Rational expectations, handed back.
    bool storedRE = flag(ini, kEnv, "Do Korale RE", false);

    // 5. Details.
    if (parts.details) {
        std::string dir = ini.getString(kEnv, "Sim Directory", ctx.programDir);
        if (!directoryExists(dir)) {
            dialogs.message(
                MsgKind::Information,
                "Previously the Working Directory (see Sim Overview page) was\r\n" + dir +
                    "\r\nSince this directory no longer exists, the Working Directory is now set to\r\n" +
                    ctx.programDir + "\r\nYou may wish to change this as soon as possible.",
                BtnOk | BtnHelp);
            dir = ctx.programDir;
        }
        rec.WorkDir = dir;
        st.ResultsMapFile = ini.getString(kEnv, "Results Map File", "");
        if (!existingFile(st.ResultsMapFile)) st.ResultsMapFile.clear();
        st.SolFileShocks = flag(ini, kEnv, "Sol File Shocks", false);
        st.ArithProbNotFatalRsl = flag(ini, kEnv, "Arith Prob Not Fatal RSL", false);
        RESettings& re = st.re;
        re.DoingRE = storedRE;
        if (re.DoingRE) {
            re.HideRE = false;
            re.BaseIterations = ranged(ini, "Korale RE Base Iterations", 30, 1, 99);
            re.RerunIterations = 1;
            re.PolicyIterations = ranged(ini, "Korale RE Policy Iterations", 20, 1, 99);
        } else {
            re.BaseIterations = 30;
            re.RerunIterations = 1;
            re.PolicyIterations = 20;
        }
        re.PolicyStartYear = ranged(ini, "Korale RE Policy Start Year", 0, 0, 99);
        re.ConvergenceHar = flag(ini, kEnv, "Prepare Convergence HAR files", true);
        re.ConvergenceRorext = flag(ini, kEnv, "Prepare Convergence ROREXT files", true);
        re.ConvergenceCsv = flag(ini, kEnv, "Prepare Convergence CSV files", true);
        re.StandardChecks = flag(ini, kEnv, "Do Standard KORALE RE checks", true);
        re.SeveralRerunIterations = false;
        st.NoRerun = toLower(ini.getString(kEnv, "Rerun FC with Dev", "yes")) == "no";
    }

    // 6. Options.
    if (parts.options) {
        st.AbbreviatedSsJobs = yesOption(ini, "Abbreviated SS jobs");
        st.YonYDifferencesSs = yesOption(ini, "Make YonY Differences SS");
        st.AccumulateSubtotals = yesOption(ini, "Accumulate subtotals results");
        st.NeverBatJob = yesOption(ini, "Never use bat job for simulations");
        st.VisibleLogFiles = flag(ini, kEnv, "Visible Log Files", false);
        st.SuppressScreenSaver = flag(ini, kEnv, "Suppress Screen Saver", true);
        st.FewerMessages = flag(ini, kEnv, "Fewer Messages", false);
        st.CheckPrerequisites = flag(ini, kEnv, "Check Prerequisites", true);
        st.PartTimeLimit =
            static_cast<int>(std::clamp<long long>(ini.getInt(kEnv, "Part Time Limit", 0), 0, 86400LL * 30));
        st.re.HideRE = flag(ini, kEnv, "Hide Rational Expectations", false) && !st.re.DoingRE;
    }

    // 7. Solution methods and alternative-method years.
    if (parts.details) {
        st.Method = ReadMethodSection(ini, kMethodSection, true);
        st.Accuracy =
            st.Method.AutoAccuracy ? ReadAccuracySection(ini, kMethodSection) : defaultAutoAccuracy();
        st.AltMethod = ReadMethodSection(ini, kAltMethodSection, true);
        st.AltAccuracy =
            st.AltMethod.AutoAccuracy ? ReadAccuracySection(ini, kAltMethodSection) : defaultAutoAccuracy();
        rec.AltMethodInUse = flag(ini, kAltMethodSection, "Alternative SLMethod In Use", false);
        std::string years =
            ini.getString(kAltMethodSection, "Use Alternatives in Years", std::string(kMaxYears, 'u'));
        for (int i = 1; i <= kMaxYears; ++i)
            rec.AltMethodYears[i] =
                static_cast<size_t>(i) <= years.size() && (years[i - 1] == 'a' || years[i - 1] == 'A');
    }

    // 8, 9. Tools, directories and job options.
    if (parts.options) {
        ToolSettings& t = st.tools;
        t.Editor = ini.getString(kEnv, "Editor", "");
        if (!existingFile(t.Editor)) t.Editor.clear();
        t.Spreadsheet = ini.getString(kEnv, "Spreadsheet", "");
        t.Outlens = ini.getString(kEnv, "Outlens", "");
        if (!existingFile(t.Outlens)) t.Outlens.clear();
        t.Gridlens = ini.getString(kEnv, "Gridlens", "");
        if (!existingFile(t.Gridlens)) t.Gridlens.clear();
        t.Probex = ini.getString(kEnv, "Probex", "");
        if (!existingFile(t.Probex)) t.Probex.clear();
        t.UseSolvaneDir = ini.getString(kEnv, "UseSolvaneDir", "");
        if (!t.UseSolvaneDir.empty() && !directoryExists(t.UseSolvaneDir)) t.UseSolvaneDir.clear();

        st.ClearTempDirAtExit = flag(ini, kEnv, "Clear Temp Dir when Exit", true);
        st.RequestedTempDir = version > kTempDirMinVersion
                                  ? ini.getString(kEnv, "TempDir", ctx.currentTempDir)
                                  : ctx.currentTempDir;
        st.CompleteBaseFirst = flag(ini, kEnv, "Complete Base First", false);
        st.AddToJobsLog = flag(ini, kEnv, "Add to Jobs Log File", false);
        bool two = flag(ini, kEnv, "Allow 2 Concurrent Solves", false);
        bool three = flag(ini, kEnv, "Allow 3 Concurrent Solves", false);
        st.ConcurrentSolves = three ? 3 : two ? 2 : 1;
        std::string outputs = ini.getString(kEnv, "Outputs Before Run", "delete");
        st.Outputs = outputs == "move"      ? OutputsBeforeRun::Move
                     : outputs == "neither" ? OutputsBeforeRun::Neither
                                            : OutputsBeforeRun::Delete;
    }

    // 10. Period lengths.
    if (parts.details) {
        long long n = ini.getInt(kLengthPeriods, "Number Periods", 0);
        if (n >= 1 && n <= kMaxYears) {
            const auto lengths = sectionIndex(ini, kLengthPeriods);
            for (int i = 1; i <= n; ++i) {
                const std::string* text = indexed(lengths, i);
                long long len = text ? parseInt(*text).value_or(1) : 1;
                if (len >= 1 && len <= 99) rec.PeriodLength[i] = static_cast<int>(len);
            }
        } else if (n == 0) {
            rec.PeriodLength.fill(1);
        }
    }

    // 11.
    ComputeYears(rec);
    return storedRE;
}

bool ReadIniOptions(const std::string& file, SettingsParts parts, ProgramSettings& settings, TSimRecord& rec,
                    const SettingsContext& ctx, Dialogs& dialogs) {
    if (!fileExists(file)) return false;
    Result<std::string> text = readWholeFile(file);
    if (!text) return false;
    return ReadIniOptionsText(*text, parts, settings, rec, ctx, dialogs);
}

void PutSettings(IniFile& ini, const ProgramSettings& st, const TSimRecord& rec) {
    ini.set(kOptions, "Warn about Temp Dir name", flagText(st.WarnAboutTempDirName));
    auto keys = environmentKeys(st, rec, st.RequestedTempDir, false);
    size_t k = 0;
    for (; k < keys.size(); ++k) {
        ini.set(kEnv, keys[k].first, keys[k].second);
        if (keys[k].first == "Model Name") break;
    }
    ini.setInt(kOptions, "VardelVersion", kVardelVersion);
    for (++k; k < keys.size(); ++k) ini.set(kEnv, keys[k].first, keys[k].second);

    // The list is rewritten whole; the section keeps its place so that
    // rewriting an unchanged file gives the same bytes.
    ini.clearSection(kInputFiles);
    const auto& list = st.model.FirstYearList;
    std::vector<std::pair<std::string, std::string>> entries;
    if (list.empty()) entries.emplace_back("0", "");
    for (size_t i = 0; i < list.size(); ++i) entries.emplace_back(std::to_string(i), list[i]);
    ini.appendKeys(kInputFiles, entries);

    WriteMethodSection(ini, kMethodSection, st.Method);
    if (st.Method.AutoAccuracy) WriteAccuracySection(ini, kMethodSection, st.Accuracy);
    WriteMethodSection(ini, kAltMethodSection, st.AltMethod);
    if (st.AltMethod.AutoAccuracy) WriteAccuracySection(ini, kAltMethodSection, st.AltAccuracy);
    ini.set(kAltMethodSection, "Alternative SLMethod In Use", flagText(rec.AltMethodInUse));
    ini.set(kAltMethodSection, "Use Alternatives in Years", altYearsText(rec));

    ini.clearSection(kLengthPeriods);
    int n = periodCount(rec);
    std::vector<std::pair<std::string, std::string>> lengths;
    lengths.emplace_back("Number periods", std::to_string(n));
    for (int i = 1; i <= n; ++i) lengths.emplace_back(std::to_string(i), std::to_string(rec.PeriodLength[i]));
    ini.appendKeys(kLengthPeriods, lengths);
}

std::vector<std::string> SettingsTextLines(const ProgramSettings& st, const TSimRecord& rec,
                                           const SettingsContext& ctx) {
    std::vector<std::string> out;
    out.push_back("[Environment]");
    for (const auto& [key, value] : environmentKeys(st, rec, ctx.currentTempDir, true))
        out.push_back(key + "=" + value);
    out.push_back(" ");
    out.push_back("[Input Files]");
    const auto& list = st.model.FirstYearList;
    if (list.empty()) out.push_back("0=");
    for (size_t i = 0; i < list.size(); ++i) out.push_back(std::to_string(i) + "=" + list[i]);
    WriteMethodText(kMethodSection, st.Method, out);
    if (st.Method.AutoAccuracy) WriteAccuracyText(st.Accuracy, out);
    WriteMethodText(kAltMethodSection, st.AltMethod, out);
    if (st.AltMethod.AutoAccuracy) WriteAccuracyText(st.AltAccuracy, out);
    out.push_back(std::string("Alternative SLMethod In Use=") + flagText(rec.AltMethodInUse));
    out.push_back("Use Alternatives in Years=" + altYearsText(rec));
    out.push_back(" ");
    out.push_back("[Length Periods]");
    int n = periodCount(rec);
    out.push_back("Number periods=" + std::to_string(n));
    for (int i = 1; i <= n; ++i) out.push_back(std::to_string(i) + "=" + std::to_string(rec.PeriodLength[i]));
    return out;
}

bool WriteIniOptions(const std::string& file, bool textForm, const ProgramSettings& settings,
                     const TSimRecord& rec, const SettingsContext& ctx, Dialogs& dialogs) {
    if (textForm) {
        Status s = writeLinesAtomic(file, SettingsTextLines(settings, rec, ctx));
        if (!s) {
            dialogs.error(
                s.message() +
                "[WriteIniOptions]\r\nIs this file locked by another application?\r\nIf so, free it and "
                "try again.");
            return false;
        }
        return true;
    }
    Result<IniFile> ini = IniFile::loadOrEmpty(file);
    if (!ini) return false;
    PutSettings(*ini, settings, rec);
    return ini->save(file).isOk();
}

Status CheckSettingsText(std::string_view text, const std::string& name) {
    bool inEnvironment = false, haveEnvironment = false, haveModel = false;
    size_t lineNo = 0;
    for (size_t start = 0; start <= text.size();) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        ++lineNo;
        const bool last = end == text.size();
        start = end + 1;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        for (unsigned char c : line)
            if ((c < 32 && c != '\t') || c == 127)
                return Status::fail("Line " + std::to_string(lineNo) + " of file " + name +
                                    " holds a control character (code " + std::to_string(c) +
                                    "): expected the text of a simulation-details file");
        const std::string t = trim(std::string(line));
        if (t.empty() || t[0] == ';') {
            if (last) break;
            continue;
        }
        if (t.front() == '[') {
            if (t.back() != ']')
                return Status::fail("Line " + std::to_string(lineNo) + " of file " + name + " (\"" +
                                    leftStr(t, 40) + "\"): expected a section name in brackets");
            inEnvironment = iequals(trim(t.substr(1, t.size() - 2)), kEnv);
            haveEnvironment = haveEnvironment || inEnvironment;
        } else if (t.find('=') == std::string::npos) {
            return Status::fail("Line " + std::to_string(lineNo) + " of file " + name + " (\"" +
                                leftStr(t, 40) +
                                "\"): expected a \"key=value\" line or a section name in brackets");
        } else if (inEnvironment && iequals(trim(t.substr(0, t.find('='))), "Model")) {
            haveModel = true;
        }
        if (last) break;
    }
    if (!haveEnvironment || !haveModel)
        return Status::fail("File " + name + " has no \"[" + std::string(kEnv) +
                            "]\" section with a \"Model\" key" +
                            ": expected the settings of a simulation-details file");
    return Status::ok();
}

Status CheckSettingsFile(const std::string& file) {
    Result<std::string> text = readWholeFile(file);
    if (!text) return text.status();
    return CheckSettingsText(*text, file);
}

int ReadSettingsVersion(const std::string& file) {
    if (!fileExists(file)) return 0;
    Result<IniFile> ini = IniFile::load(file);
    if (!ini) return 0;
    long long v = ini->getInt(kOptions, "VardelVersion", 0);
    return static_cast<int>(std::clamp<long long>(v, -2147483647LL, 2147483647LL));
}

void ApplyStartupDefaults(ProgramSettings& st, int processors) {
    st.AbbreviatedSsJobs = false;
    st.YonYDifferencesSs = false;
    st.AccumulateSubtotals = false;
    st.NeverBatJob = false;
    st.VisibleLogFiles = false;
    st.SuppressScreenSaver = true;
    st.FewerMessages = false;
    st.CheckPrerequisites = true;
    st.PartTimeLimit = 0;
    st.re.DoingRE = false;
    st.re.HideRE = false;
    st.tools = ToolSettings{};
    st.ClearTempDirAtExit = true;
    st.CompleteBaseFirst = false;
    st.AddToJobsLog = false;
    st.ConcurrentSolves = processors >= 3 ? 3 : processors == 2 ? 2 : 1;
    st.Outputs = OutputsBeforeRun::Delete;
    st.NoRerun = false;
    st.SolFileShocks = true;
    st.ArithProbNotFatalRsl = false;
    st.PlayMusic = false;
    st.DeveloperMode = false;
    st.WarnAboutTempDirName = true;
}

std::string ChooseSettingsFolder(const std::string& keepDir, const std::string& legacyDir) {
    if (fileExists(JoinPath(keepDir, kSettingsFileName))) return keepDir;
    if (!legacyDir.empty() && fileExists(JoinPath(legacyDir, kSettingsFileName))) return legacyDir;
    return keepDir;
}

std::string StartupReadSettings(const std::string& keepDir, const std::string& legacyDir, int processors,
                                ProgramSettings& settings, TSimRecord& rec, const SettingsContext& ctx,
                                Dialogs& dialogs) {
    std::string folder = ChooseSettingsFolder(keepDir, legacyDir);
    std::string ini = JoinPath(folder, kSettingsFileName);
    if (fileExists(ini)) {
        ReadIniOptions(ini, SettingsParts::all(), settings, rec, ctx, dialogs);
    } else if (writeFileAtomic(ini, "").isOk()) {
        ReadIniOptions(ini, SettingsParts{true, false, false}, settings, rec, ctx, dialogs);
        bestEffort(deleteFile(ini), "the empty probe file; a leftover one reads as defaults next time");
    } else {
        ApplyStartupDefaults(settings, processors);
    }
    // The current application: "VdlnSim.txt", or a new application when it
    // is missing or cannot be read (so that every name the program builds
    // comes from a whole record, whatever the state of the folder).
    std::string sim = JoinPath(folder, kCurrentSimFileName);
    const std::string workDir = rec.WorkDir;
    if (!fileExists(sim)) {
        InitSimRecord(rec, workDir);
    } else if (Status r = ReadSimRecordFile(rec, sim, settings.NoRerun); !r) {
        InitSimRecord(rec, workDir);
        dialogs.message(MsgKind::Error,
                        r.message() + "\r\nThe current simulation details could not be read from " + sim +
                            "\r\nStarting with a new application.",
                        BtnOk);
    }
    ComputeYears(rec);
    return folder;
}

bool ExitWriteSettings(const std::string& keepDir, bool keepDirUsable, const ProgramSettings& settings,
                       TSimRecord& rec, const SettingsContext& ctx, Dialogs& dialogs) {
    if (settings.DontUpdateIniAtExit) return true;
    RefreshGrid(rec);
    bool ok = true;
    if (keepDirUsable) {
        std::string ini = JoinPath(keepDir, kSettingsFileName);
        if (!WriteIniOptions(ini, false, settings, rec, ctx, dialogs)) {
            dialogs.error("Cannot write settings file " + ini + "[CloseDown]");
            ok = false;
        }
    }
    Status s = WriteSimRecordFile(rec, JoinPath(keepDir, kCurrentSimFileName));
    if (!s) {
        dialogs.error(s.message() + "[CloseDown]");
        ok = false;
    }
    return ok;
}

}  // namespace vdln
