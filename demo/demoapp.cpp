#include "demoapp.h"

#include <sys/stat.h>

#include <filesystem>

#include "base/fileutil.h"
#include "base/dialogs.h"
#include "base/paths.h"
#include "model/modelsel.h"
#include "model/settings.h"
#include "model/simdetails.h"
#include "model/simgrid.h"
#include "model/simrecord.h"
#include "lib/growthmodel.h"
#include "lib/harstore.h"
#include "lib/resultfiles.h"

namespace vdln::demo {

using suite::HeaderSpec;
using suite::SetSpec;

namespace {

const std::vector<std::string> kTabSource{
    "! GROWTH: output growth of three industries with capital accumulation",
    "File BASEDATA # Base data: capital, investment, output and employment #;",
    "File PARAMS # Parameters: capital share and depreciation rate #;",
    "File (new) SUMMARY # Summary table of the levels of the year #;",
    "Set IND # Industries # (AGR, MAN, SER);",
    "Coefficient (all,i,IND) CAPS(i) # Capital stock #;",
    "Coefficient (all,i,IND) INVS(i) # Investment #;",
    "Coefficient (all,i,IND) OUTP(i) # Output #;",
    "Coefficient (all,i,IND) LABR(i) # Employment #;",
    "Coefficient ALPH # Capital share #;",
    "Coefficient DEPR # Depreciation rate #;",
    "Read CAPS from file BASEDATA header \"CAPS\";",
    "Read INVS from file BASEDATA header \"INVS\";",
    "Read OUTP from file BASEDATA header \"OUTP\";",
    "Read LABR from file BASEDATA header \"LABR\";",
    "Read ALPH from file PARAMS header \"ALPH\";",
    "Read DEPR from file PARAMS header \"DEPR\";",
    "Variable (all,i,IND) x(i) # Output #;",
    "Variable (all,i,IND) a(i) # Technology #;",
    "Variable (all,i,IND) k(i) # Capital #;",
    "Variable (all,i,IND) l(i) # Employment #;",
    "Variable (all,i,IND) t(i) # Power of a tax #;",
    "Equation E1 (all,i,IND) x(i) = a(i) + ALPH*k(i) + (1 - ALPH)*l(i) - 0.5*t(i);",
    "Equation E2 (all,i,IND) k(i) = 100*(INVS(i)/CAPS(i) - DEPR);",
    "Update (all,i,IND) OUTP(i) = x(i);",
    "Update (all,i,IND) INVS(i) = x(i);",
    "Update (all,i,IND) CAPS(i) = k(i);",
    "Update (all,i,IND) LABR(i) = l(i);",
    "Write (all,i,IND) OUTP(i), CAPS(i), INVS(i), LABR(i) to file SUMMARY;",
};

const std::vector<std::string> kCompilerInput{"growth.tab", "growth", "a", "c", "growth.axs", "growth.axt", " "};

Status writeText(const std::string& path, const std::vector<std::string>& lines) {
    Status s = writeLinesAtomic(path, lines);
    if (!s) return Status::fail("Cannot write " + path + ": " + s.message());
    return s;
}

Status writeHar(const std::string& path, const std::vector<HeaderSpec>& headers) {
    Status s = suite::writeHeaderFile(path, "vardelon-demo", headers);
    if (!s) return Status::fail("Cannot write " + path + ": " + s.message());
    return s;
}

std::string quoteIfBlank(const std::string& s) {
    return s.find(' ') != std::string::npos || s.find('&') != std::string::npos ? "\"" + s + "\"" : s;
}

}  // namespace

namespace {

/// Dialogs of a command without a window: every message is kept, so that a
/// refusal can be reported; choosers answer "cancelled".
class CollectingDialogs : public Dialogs {
public:
    Button message(MsgKind kind, const std::string& text, Buttons buttons, int) override {
        if (kind == MsgKind::Error || kind == MsgKind::Warning) m_problems.push_back(text);
        return (buttons & BtnOk) ? BtnOk : (buttons & BtnYes) ? BtnYes : BtnOk;
    }
    std::optional<std::string> chooseFile(const FileRequest&) override { return std::nullopt; }
    std::optional<std::string> chooseFolder(const std::string&, const std::string&) override { return std::nullopt; }
    std::optional<std::string> inputText(const std::string&, const std::string&, const std::string&) override {
        return std::nullopt;
    }
    std::optional<int> chooseOption(const std::string&, const std::string&, const std::vector<std::string>&,
                                    int defaultIndex) override {
        return defaultIndex;
    }
    std::string problems() const {
        std::string s;
        for (const auto& p : m_problems) s += (s.empty() ? "" : " / ") + p;
        return s;
    }

private:
    std::vector<std::string> m_problems;
};

/// Builds the application record and settings the way the program does when
/// the user loads the model, chooses the data and fills the pages, then
/// saves them with the program's own simulation-details writers.
Status writeSimulationDetails(const std::string& dir) {
    CollectingDialogs dialogs;
    TSimRecord rec = CreateSimRecord();
    InitSimRecord(rec, dir);
    rec.NumYears = kDemoNumYears;
    rec.StartYear = kDemoStartYear;
    rec.SimNames[1] = "BS1";
    rec.SimNames[2] = "BR1";
    rec.SimNames[3] = "PL1";
    for (int i = 1; i <= kMaxYears; ++i) {
        rec.PeriodLength[i] = 1;
        rec.AltMethodYears[i] = 0;
    }
    rec.AltMethodInUse = 0;
    ComputeYears(rec);

    ModelDataState state;
    state.modelPath = JoinPath(dir, "growth.exe");
    ModelSelectEnv env;
    std::error_code ec;
    env.tempDir = std::filesystem::temp_directory_path(ec).string();
    env.programDir = dir;
    ModelSelector selector(rec, state, dialogs, env);
    if (!selector.LoadModel(false, true) || !state.modelReady)
        return Status::fail("The program cannot use the demo model: " + dialogs.problems());
    selector.BuildFirstYearList(JoinPath(dir, "growth.mdf"));

    // The closure/shock grid: the Base closure in every year, the Policy
    // closure through the Common row, Base shocks per year, Policy shocks in
    // 2025 and 2026; no CMFSTART files.
    for (int c = 1; c <= 4; ++c) {
        rec.GridStem(-1, c) = c == 2 ? "N/A" : "";
        rec.GridStem(0, c) = c == 3 ? "POLICY" : "";
        rec.CMFStartExt[c] = "";
    }
    for (int i = 1; i <= kMaxYears; ++i) {
        const int year = rec.Years[i];
        const bool used = i <= kDemoNumYears;
        rec.GridStem(i, 1) = used ? "BASE" : "?";
        rec.GridStem(i, 2) = used ? "B" + std::to_string(year) : "?";
        rec.GridStem(i, 3) = "?";
        rec.GridStem(i, 4) = used && (year == 2025 || year == 2026) ? "P" + std::to_string(year) : "";
    }
    RefreshGrid(rec);

    ProgramSettings settings;
    settings.model.Model = state.modelPath;
    settings.model.Version.ReleaseKnown = settings.model.Version.VersionKnown = true;
    settings.model.Version.CompilerKnown = true;
    settings.model.Version.Release = 80000;
    settings.model.Version.Version = 79000;
    settings.model.Version.Compiler = "gfortran";
    settings.model.ModelName = state.modelName;
    settings.model.ModelDir = state.modelDir;
    settings.model.ModelInfoFile = state.minDin.MinFile;
    settings.model.DynamicInfoFile = state.minDin.DinFile;
    settings.model.MinFileId = state.minDin.MinFileId;
    settings.model.DinFileId = state.minDin.DinFileId;
    settings.model.IsDinFile = state.minDin.HasDin;
    settings.model.FirstYearList = state.firstYearList;
    settings.ResultsMapFile = JoinPath(dir, "growth.map");
    // Three Gragg solutions, so every year has accuracy summaries.
    settings.Method = TSolutionMethod{kGragg, 3, {2, 4, 6}, 1, false};
    settings.NeverBatJob = true;
    SettingsContext ctx;
    ctx.programDir = dir;
    if (!WriteIniOptions(JoinPath(dir, "growth.ds1"), true, settings, rec, ctx, dialogs))
        return Status::fail("Cannot write growth.ds1: " + dialogs.problems());
    Status s = WriteSimRecordFile(rec, JoinPath(dir, "growth.ds2"));
    if (!s) return Status::fail("Cannot write growth.ds2: " + s.message());
    return Status::ok();
}

}  // namespace

Status writeDemoApplication(const std::string& folderIn, const std::string& programDir) {
    std::error_code ec;
    const std::string folder = std::filesystem::absolute(folderIn, ec).lexically_normal().string();
    const std::string dir = (folder.size() > 1 && folder.back() == '/') ? folder.substr(0, folder.size() - 1) : folder;
    Status made = makeDirectories(dir);
    if (!made) return Status::fail("Cannot create folder " + dir + ": " + made.message());
    auto at = [&](const std::string& name) { return JoinPath(dir, name); };

    // The model program lives beside its auxiliary files.
    const std::string program = JoinPath(programDir, "growth.exe");
    if (!fileExists(program)) return Status::fail("The model program " + program + " does not exist.");
    Status s = copyFile(program, at("growth.exe"), false);
    if (!s) return Status::fail("Cannot copy " + program + " into " + dir + ": " + s.message());
    ::chmod(at("growth.exe").c_str(), 0755);

    const std::string stamp(suite::kGrowthModelStamp);
    if (!(s = writeHar(at("growth.axs"),
                       {HeaderSpec::text("DTXT", "Time and date of the model's compilation", {stamp}),
                        HeaderSpec::text("EQNS", "Equations of the model",
                                         {"E1: x = a + ALPH*k + (1 - ALPH)*l - 0.5*t",
                                          "E2: k = 100*(INVS/CAPS - DEPR)"})})))
        return s;
    if (!(s = writeHar(at("growth.axt"), {HeaderSpec::text("DTXT", "Time and date of the model's compilation", {stamp}),
                                          HeaderSpec::text("TABN", "Model source file", {"growth.tab"}),
                                          HeaderSpec::text("TABF", "Model source", kTabSource),
                                          HeaderSpec::text("STIN", "Stored input of the model compiler", {"growth.sti"}),
                                          HeaderSpec::text("STIF", "Stored input of the model compiler",
                                                           kCompilerInput)})))
        return s;
    if (!(s = writeText(at("growth.tab"), kTabSource))) return s;
    suite::Flags baseClosure{};
    for (int i = 0; i < suite::kNumInd; ++i)
        for (int v : {0, 3, 4}) baseClosure[suite::componentOf(v, i)] = true;
    if (!(s = writeText(at("growth.min"), suite::modelInformationLines(baseClosure, true)))) return s;
    if (!(s = writeText(at("growth.din"), {"! Dynamic information of the growth model",
                                           "file BASEDATA key BAS ;",
                                           "file PARAMS key PAR role constant-input ;",
                                           "file SUMMARY key SUM ;"})))
        return s;
    if (!(s = writeText(at("growth.map"), {"x", "k", "a"}))) return s;

    const DemoData d;
    const SetSpec ind{"IND", {"AGR", "MAN", "SER"}};
    if (!(s = writeHar(at("BASE2023.HAR"), {HeaderSpec::reals("CAPS", "Capital stock", {ind}, d.CAPS),
                                            HeaderSpec::reals("INVS", "Investment", {ind}, d.INVS),
                                            HeaderSpec::reals("OUTP", "Output", {ind}, d.OUTP),
                                            HeaderSpec::reals("LABR", "Employment", {ind}, d.LABR)})))
        return s;
    if (!(s = writeHar(at("PARAMS.HAR"), {HeaderSpec::reals("ALPH", "Capital share", {}, {d.ALPH}),
                                          HeaderSpec::reals("DEPR", "Depreciation rate", {}, {d.DEPR})})))
        return s;
    if (!(s = writeText(at("growth.mdf"),
                        {"File BASEDATA = " + quoteIfBlank(at("BASE2023.HAR")) +
                             " ; ! Base data: capital, investment, output and employment",
                         "File PARAMS = " + quoteIfBlank(at("PARAMS.HAR")) +
                             " ; ! Parameters: capital share and depreciation rate"})))
        return s;

    if (!(s = writeText(at("BASE.CLS"), {"! Base closure: output, employment and the tax are given",
                                         "exogenous x l t ;", "rest endogenous ;"})))
        return s;
    if (!(s = writeText(at("POLICY.CLS"), {"! Policy closure: technology, employment and the tax are given",
                                           "exogenous a l t ;", "rest endogenous ;"})))
        return s;
    for (int i = 0; i < kDemoNumYears; ++i) {
        const int year = kDemoStartYear + i;
        char growth[32];
        std::snprintf(growth, sizeof growth, "%.1f", kDemoOutputGrowth[i]);
        if (!(s = writeText(at("B" + std::to_string(year) + ".BSH"),
                            {"! Base shocks for " + std::to_string(year), std::string("shock x = uniform ") + growth + " ;",
                             "shock l = uniform 1 ;"})))
            return s;
    }
    for (int year : {2025, 2026})
        if (!(s = writeText(at("P" + std::to_string(year) + ".PSH"),
                            {"! Policy: a higher tax on manufacturing in " + std::to_string(year),
                             "ashock t(\"MAN\") = 10 ;"})))
            return s;

    return writeSimulationDetails(dir);
}

}  // namespace vdln::demo
