#include "demoapp.h"

#include <sys/stat.h>

#include <filesystem>

#include "base/dialogs.h"
#include "base/fileutil.h"
#include "base/paths.h"
#include "lib/growthmodel.h"
#include "lib/harstore.h"
#include "lib/resultfiles.h"
#include "model/modelsel.h"
#include "model/settings.h"
#include "model/simdetails.h"
#include "model/simgrid.h"
#include "model/simrecord.h"

namespace vdln::demo {

using suite::HeaderDef;
using suite::SetDef;

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

const std::vector<std::string> kCompilerInput{"growth.tab", "growth",     "a", "c",
                                              "growth.axs", "growth.axt", " "};

Status writeText(const std::string& path, const std::vector<std::string>& lines) {
    Status s = writeLinesAtomic(path, lines);
    if (!s) return Status::fail("Cannot write " + path + ": " + s.message());
    return s;
}

Status writeHar(const std::string& path, const std::vector<HeaderDef>& headers) {
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
    std::optional<std::string> chooseFolder(const std::string&, const std::string&) override {
        return std::nullopt;
    }
    std::optional<std::string> inputText(const std::string&, const std::string&,
                                         const std::string&) override {
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
Status writeSimulationDetails(const std::string& dir, const std::string& model, const RESettings* re) {
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
    state.modelPath = JoinPath(dir, model + ".exe");
    ModelSelectEnv env;
    std::error_code ec;
    env.tempDir = std::filesystem::temp_directory_path(ec).string();
    env.programDir = dir;
    ModelSelector selector(rec, state, dialogs, env);
    if (!selector.LoadModel(false, true) || !state.modelReady)
        return Status::fail("The program cannot use the demo model: " + dialogs.problems());
    selector.BuildFirstYearList(JoinPath(dir, model + ".mdf"));

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
    settings.ResultsMapFile = JoinPath(dir, model + ".map");
    if (re) settings.re = *re;
    // Three Gragg solutions, so every year has accuracy summaries.
    settings.Method = TSolutionMethod{kGragg, 3, {2, 4, 6}, 1, false};
    settings.NeverBatJob = true;
    SettingsContext ctx;
    ctx.programDir = dir;
    if (!WriteIniOptions(JoinPath(dir, model + ".ds1"), true, settings, rec, ctx, dialogs))
        return Status::fail("Cannot write " + model + ".ds1: " + dialogs.problems());
    Status s = WriteSimRecordFile(rec, JoinPath(dir, model + ".ds2"));
    if (!s) return Status::fail("Cannot write " + model + ".ds2: " + s.message());
    return Status::ok();
}

}  // namespace

namespace {

/// The application folder as an absolute path without a trailing slash,
/// created when missing.
Result<std::string> prepareFolder(const std::string& folderIn) {
    std::error_code ec;
    const std::string folder = std::filesystem::absolute(folderIn, ec).lexically_normal().string();
    const std::string dir =
        (folder.size() > 1 && folder.back() == '/') ? folder.substr(0, folder.size() - 1) : folder;
    Status made = makeDirectories(dir);
    if (!made) return Result<std::string>::fail("Cannot create folder " + dir + ": " + made.message());
    return dir;
}

/// Copies the model program growth.exe from `programDir` into `dir` under
/// `name`.  A copy, not a link: the program finds its model (and its
/// auxiliary files) from its own resolved path.
Status copyModelProgram(const std::string& programDir, const std::string& dir, const std::string& name) {
    const std::string program = JoinPath(programDir, "growth.exe");
    if (!fileExists(program)) return Status::fail("The model program " + program + " does not exist.");
    const std::string target = JoinPath(dir, name);
    Status s = copyFile(program, target, false);
    if (!s) return Status::fail("Cannot copy " + program + " into " + dir + ": " + s.message());
    if (::chmod(target.c_str(), 0755) != 0) return Status::fail("Cannot make " + target + " executable.");
    return Status::ok();
}

/// The model's auxiliary files as its compiler leaves them beside the
/// program: "<model>.axs" (compilation stamp and equations), "<model>.axt"
/// (the source and the compiler's stored input) and the source "<model>.tab".
Status writeModelAuxiliaries(const std::string& dir, const std::string& model, const std::string& stamp,
                             const std::vector<std::string>& equations,
                             const std::vector<std::string>& source,
                             const std::vector<std::string>& compilerInput) {
    auto at = [&](const std::string& ext) { return JoinPath(dir, model + ext); };
    const HeaderDef compiled = HeaderDef::text("DTXT", "Time and date of the model's compilation", {stamp});
    Status s = writeHar(at(".axs"), {compiled, HeaderDef::text("EQNS", "Equations of the model", equations)});
    if (!s) return s;
    s = writeHar(at(".axt"), {compiled, HeaderDef::text("TABN", "Model source file", {model + ".tab"}),
                              HeaderDef::text("TABF", "Model source", source),
                              HeaderDef::text("STIN", "Stored input of the model compiler", {model + ".sti"}),
                              HeaderDef::text("STIF", "Stored input of the model compiler", compilerInput)});
    if (!s) return s;
    return writeText(at(".tab"), source);
}

/// The base-year data both models start from ("BASE2023.HAR").
Status writeBaseData(const std::string& dir, const DemoData& d) {
    const SetDef ind{"IND", {"AGR", "MAN", "SER"}};
    return writeHar(JoinPath(dir, "BASE2023.HAR"), {HeaderDef::reals("CAPS", "Capital stock", {ind}, d.CAPS),
                                                    HeaderDef::reals("INVS", "Investment", {ind}, d.INVS),
                                                    HeaderDef::reals("OUTP", "Output", {ind}, d.OUTP),
                                                    HeaderDef::reals("LABR", "Employment", {ind}, d.LABR)});
}

/// The Base shocks of every year and the Policy shocks of 2025 and 2026.
Status writeShockFiles(const std::string& dir) {
    auto at = [&](const std::string& name) { return JoinPath(dir, name); };
    Status s = Status::ok();
    for (int i = 0; i < kDemoNumYears; ++i) {
        const int year = kDemoStartYear + i;
        char growth[32];
        std::snprintf(growth, sizeof growth, "%.1f", kDemoOutputGrowth[i]);
        if (!(s = writeText(at("B" + std::to_string(year) + ".BSH"),
                            {"! Base shocks for " + std::to_string(year),
                             std::string("shock x = uniform ") + growth + " ;", "shock l = uniform 1 ;"})))
            return s;
    }
    for (int year : {2025, 2026})
        if (!(s = writeText(at("P" + std::to_string(year) + ".PSH"),
                            {"! Policy: a higher tax on manufacturing in " + std::to_string(year),
                             "ashock t(\"MAN\") = 10 ;"})))
            return s;
    return s;
}

}  // namespace

Status writeDemoApplication(const std::string& folderIn, const std::string& programDir) {
    auto prepared = prepareFolder(folderIn);
    if (!prepared) return prepared.status();
    const std::string dir = prepared.value();
    auto at = [&](const std::string& name) { return JoinPath(dir, name); };

    // The model program lives beside its auxiliary files.
    Status s = copyModelProgram(programDir, dir, "growth.exe");
    if (!s) return s;

    if (!(s = writeModelAuxiliaries(
              dir, "growth", std::string(suite::kGrowthModelStamp),
              {"E1: x = a + ALPH*k + (1 - ALPH)*l - 0.5*t", "E2: k = 100*(INVS/CAPS - DEPR)"}, kTabSource,
              kCompilerInput)))
        return s;
    suite::Flags baseClosure{};
    for (int i = 0; i < suite::kNumInd; ++i)
        for (int v : {0, 3, 4}) baseClosure[suite::componentOf(v, i)] = true;
    if (!(s = writeText(at("growth.min"),
                        suite::modelInformationLines(suite::growthModel(), baseClosure, true))))
        return s;
    if (!(s = writeText(at("growth.din"),
                        {"! Dynamic information of the growth model", "file BASEDATA key BAS ;",
                         "file PARAMS key PAR role constant-input ;", "file SUMMARY key SUM ;"})))
        return s;
    if (!(s = writeText(at("growth.map"), {"x", "k", "a"}))) return s;

    const DemoData d;
    if (!(s = writeBaseData(dir, d))) return s;
    if (!(s = writeHar(at("PARAMS.HAR"), {HeaderDef::reals("ALPH", "Capital share", {}, {d.ALPH}),
                                          HeaderDef::reals("DEPR", "Depreciation rate", {}, {d.DEPR})})))
        return s;
    if (!(s = writeText(at("growth.mdf"), {"File BASEDATA = " + quoteIfBlank(at("BASE2023.HAR")) +
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
    if (!(s = writeShockFiles(dir))) return s;

    return writeSimulationDetails(dir, "growth", nullptr);
}

namespace {

const std::vector<std::string> kReTabSource{
    "! GROWTHRE: the growth model with forward-looking investment",
    "File BASEDATA # Base data: capital, investment, output and employment #;",
    "File PARAMS # Parameters: capital share, depreciation, investment response, normal returns #;",
    "File ROREXT # Rates of return: expected (from the last iteration) and realised #;",
    "File ITER # Rational-expectations iteration number #;",
    "File EXTRA # Year number within the simulated horizon #;",
    "File (new) SUMMARY # Summary table of the levels of the year #;",
    "Set IND # Industries # (AGR, MAN, SER);",
    "Set YRS # Years of the horizon # (Y2024 - Y2029);",
    "Coefficient (all,i,IND) CAPS(i) # Capital stock #;",
    "Coefficient (all,i,IND) INVS(i) # Investment #;",
    "Coefficient (all,i,IND) OUTP(i) # Output #;",
    "Coefficient (all,i,IND) LABR(i) # Employment #;",
    "Coefficient ALPH # Capital share #;",
    "Coefficient DEPR # Depreciation rate #;",
    "Coefficient BETA # Response of investment to the expected return #;",
    "Coefficient (all,i,IND) RNRM(i) # Normal rate of return #;",
    "Coefficient (all,i,IND) ADRE(i) # Weight of forward-looking expectations #;",
    "Coefficient (all,i,IND)(all,y,YRS) RORG(i,y) # Rates of return: realised, used as expectations #;",
    "Coefficient NFIT # Number of Base iterations #;",
    "Coefficient NRIT # Number of Rerun iterations #;",
    "Coefficient HORZ # Number of years in the horizon #;",
    "Coefficient YRPL # Year number at which the run starts #;",
    "Coefficient ITNO # Global iteration number #;",
    "Coefficient YEAR # Year number of the simulation #;",
    "Coefficient (all,i,IND) RNOW(i) # Rate of return at the start of the year #;",
    "Coefficient (all,i,IND) EXPR(i) # Expected rate of return for next year #;",
    "Read CAPS from file BASEDATA header \"CAPS\";",
    "Read INVS from file BASEDATA header \"INVS\";",
    "Read OUTP from file BASEDATA header \"OUTP\";",
    "Read LABR from file BASEDATA header \"LABR\";",
    "Read ALPH from file PARAMS header \"ALPH\";",
    "Read DEPR from file PARAMS header \"DEPR\";",
    "Read BETA from file PARAMS header \"BETA\";",
    "Read RNRM from file PARAMS header \"RNRM\";",
    "Read ADRE from file ROREXT header \"ADRE\";",
    "Read RORG from file ROREXT header \"RORG\";",
    "Read HORZ from file ROREXT header \"HORZ\";",
    "Read ITNO from file ITER header \"ITNO\";",
    "Read YEAR from file EXTRA header \"YEAR\";",
    "Formula (all,i,IND) RNOW(i) = ALPH*OUTP(i)/CAPS(i) - DEPR;",
    "Formula (all,i,IND) EXPR(i) = IF[ITNO >= 2 AND YEAR < HORZ,",
    "    ADRE(i)*RORG(i,YEAR+1) + (1 - ADRE(i))*RNOW(i)] + IF[ITNO < 2 OR YEAR >= HORZ, RNOW(i)];",
    "Variable (all,i,IND) x(i) # Output #;",
    "Variable (all,i,IND) a(i) # Technology #;",
    "Variable (all,i,IND) k(i) # Capital #;",
    "Variable (all,i,IND) l(i) # Employment #;",
    "Variable (all,i,IND) t(i) # Power of a tax #;",
    "Variable (all,i,IND) inv(i) # Investment #;",
    "Variable (change) (all,i,IND) d_f(i) # Free shifter of the investment rule #;",
    "Variable (change) (all,i,IND) d_ff(i) # Total shift of the investment rule #;",
    "Variable (change) (all,i,IND) d_f_diseq(i) # Shift of investment from the expected return #;",
    "Variable (change) (all,i,IND) d_f_diseqre(i) # Shifter of the expectation disequilibrium #;",
    "Variable (change) (all,i,IND) d_diseq(i) # Expected minus static rate of return #;",
    "Variable (change) (all,i,IND) d_eror_o(i) # Expected rate of return minus normal #;",
    "Variable (change) (all,i,IND) d_f_eror_o(i) # Shifter of the expected rate of return #;",
    "Variable (change) (all,i,IND) del_ror_se_o(i) # Static-expectation rate of return minus normal #;",
    "Variable (change) (all,i,IND) d_f_ror_se_o(i) # Shifter of the static-expectation rate of return #;",
    "Equation E1 (all,i,IND) x(i) = a(i) + ALPH*k(i) + (1 - ALPH)*l(i) - 0.5*t(i);",
    "Equation E2 (all,i,IND) k(i) = 100*(INVS(i)/CAPS(i) - DEPR);",
    "Equation E3 (all,i,IND) inv(i) = x(i) + d_ff(i);",
    "Equation E4 (all,i,IND) d_ff(i) = d_f_diseq(i) + d_f(i);",
    "Equation E5 (all,i,IND) d_f_diseq(i) = 100*BETA*(EXPR(i)/RNRM(i) - 1);",
    "Equation E6 (all,i,IND) d_eror_o(i) = 100*(EXPR(i) - RNRM(i)) + d_f_eror_o(i);",
    "Equation E7 (all,i,IND) del_ror_se_o(i) = 100*(RNOW(i) - RNRM(i)) + d_f_ror_se_o(i);",
    "Equation E8 (all,i,IND) d_diseq(i) = 100*(EXPR(i) - RNOW(i)) + d_f_diseqre(i);",
    "Update (all,i,IND) OUTP(i) = x(i);",
    "Update (all,i,IND) INVS(i) = inv(i);",
    "Update (all,i,IND) CAPS(i) = k(i);",
    "Update (all,i,IND) LABR(i) = l(i);",
    "Update (change) (all,i,IND) RORG(i,YEAR) = ALPH*OUTP(i)/CAPS(i) - DEPR - RORG(i,YEAR);",
    "Update (change) ITNO = IF[YEAR = HORZ, 1];",
    "Update (change) YEAR = 1;",
    "Write (all,i,IND) OUTP(i), CAPS(i), INVS(i), LABR(i) to file SUMMARY;",
};

const std::vector<std::string> kReCompilerInput{"growthre.tab", "growthre",     "a", "c",
                                                "growthre.axs", "growthre.axt", " "};

}  // namespace

const std::vector<std::string>& demoIterVarMap() {
    static const std::vector<std::string> lines{"x", "inv", "k", "d_f_diseq", "d_eror_o", " "};
    return lines;
}

RESettings demoReSettings() {
    RESettings re;
    re.DoingRE = true;
    re.HideRE = false;
    re.BaseIterations = 8;
    re.RerunIterations = 1;
    re.PolicyIterations = 8;
    re.PolicyStartYear = 0;
    re.ConvergenceHar = true;
    re.ConvergenceRorext = true;
    re.ConvergenceCsv = true;
    re.StandardChecks = true;
    re.SeveralRerunIterations = false;
    return re;
}

Status writeDemoReApplication(const std::string& folderIn, const std::string& programDir) {
    auto prepared = prepareFolder(folderIn);
    if (!prepared) return prepared.status();
    const std::string dir = prepared.value();
    auto at = [&](const std::string& name) { return JoinPath(dir, name); };

    Status s = copyModelProgram(programDir, dir, "growthre.exe");
    if (!s) return s;
    const suite::ModelDescription& desc = suite::growthReModel();
    const std::string stamp(desc.stamp);
    if (!(s = writeModelAuxiliaries(
              dir, "growthre", stamp,
              {"E1: x = a + ALPH*k + (1 - ALPH)*l - 0.5*t", "E2: k = 100*(INVS/CAPS - DEPR)",
               "E3: inv = x + d_ff", "E4: d_ff = d_f_diseq + d_f", "E5: d_f_diseq = 100*BETA*(EXPR/RNRM - 1)",
               "E6: d_eror_o = 100*(EXPR - RNRM) + d_f_eror_o",
               "E7: del_ror_se_o = 100*(RNOW - RNRM) + d_f_ror_se_o",
               "E8: d_diseq = 100*(EXPR - RNOW) + d_f_diseqre"},
              kReTabSource, kReCompilerInput)))
        return s;
    // The Model Information file shows the Base closure's statuses.
    suite::Flags baseClosure{};
    for (int i = 0; i < suite::kNumInd; ++i)
        for (int v : {suite::kX, suite::kL, suite::kT, suite::kDF, suite::kDFDiseqre, suite::kDFErorO,
                      suite::kDFRorSeO})
            baseClosure[suite::componentOf(v, i)] = true;
    if (!(s = writeText(at("growthre.min"), suite::modelInformationLines(desc, baseClosure, true)))) return s;
    if (!(s = writeText(at("growthre.din"),
                        {"! Dynamic information of the growthre model", "file BASEDATA key BAS ;",
                         "file PARAMS key PAR role constant-input ;", "file ROREXT key REX ;",
                         "file ITER key ITE ;", "file EXTRA key EXT ;", "file SUMMARY key SUM ;"})))
        return s;
    if (!(s = writeText(at("growthre.map"), {"x", "k", "inv"}))) return s;
    if (!(s = writeText(at("itervar.map"), demoIterVarMap()))) return s;

    const DemoData d;
    const SetDef ind{"IND", {"AGR", "MAN", "SER"}};
    SetDef yrs{"YRS", {}};
    for (int i = 0; i < kDemoNumYears; ++i) yrs.elements.push_back("Y" + std::to_string(kDemoStartYear + i));
    // The normal rate of return of each industry is its starting return.
    const std::vector<float> rnrm{0.025f, 0.05f, 0.075f};
    std::vector<float> rorg;
    for (int y = 0; y < kDemoNumYears; ++y) rorg.insert(rorg.end(), rnrm.begin(), rnrm.end());
    auto one = [](const std::string& name, const std::string& description, float v) {
        return HeaderDef::reals(name, description, {}, {v});
    };
    if (!(s = writeBaseData(dir, d))) return s;
    if (!(s = writeHar(at("PARAMS.HAR"),
                       {one("ALPH", "Capital share", d.ALPH), one("DEPR", "Depreciation rate", d.DEPR),
                        one("BETA", "Response of investment to the expected return", 1.0f),
                        HeaderDef::reals("RNRM", "Normal rate of return", {ind}, rnrm)})))
        return s;
    if (!(s = writeHar(
              at("ROREXT2023.HAR"),
              {HeaderDef::reals("ADRE", "Weight of forward-looking expectations", {ind}, {1, 1, 1}),
               HeaderDef::reals("RORG", "Rates of return: realised, used as expectations next iteration",
                                {ind, yrs}, rorg),
               one("NFIT", "Number of Base iterations", 0), one("NRIT", "Number of Rerun iterations", 0),
               one("HORZ", "Number of years in the horizon", 0),
               one("YRPL", "Year number at which the run starts", 0)})))
        return s;
    if (!(s = writeHar(at("ITER2023.HAR"), {one("ITNO", "Global iteration number", 1)}))) return s;
    if (!(s = writeHar(at("EXTRA2023.HAR"), {one("YEAR", "Year number of the simulation", 1)}))) return s;
    if (!(s = writeText(
              at("growthre.mdf"),
              {"File BASEDATA = " + quoteIfBlank(at("BASE2023.HAR")) +
                   " ; ! Base data: capital, investment, output and employment",
               "File PARAMS = " + quoteIfBlank(at("PARAMS.HAR")) +
                   " ; ! Parameters: capital share, depreciation, investment response, normal returns",
               "File ROREXT = " + quoteIfBlank(at("ROREXT2023.HAR")) +
                   " ; ! Rates of return: expected (from the last iteration) and realised",
               "File ITER = " + quoteIfBlank(at("ITER2023.HAR")) +
                   " ; ! Rational-expectations iteration number",
               "File EXTRA = " + quoteIfBlank(at("EXTRA2023.HAR")) +
                   " ; ! Year number within the simulated horizon"})))
        return s;

    if (!(s = writeText(at("BASE.CLS"),
                        {"! Base closure: output, employment and the tax are given; the",
                         "! shifters of the expectation reports are zero",
                         "exogenous x l t d_f d_f_diseqre d_f_eror_o d_f_ror_se_o ;", "rest endogenous ;"})))
        return s;
    const std::vector<std::string> policy{"! Policy closure: technology instead of output is given, and the",
                                          "! expectation reports are held at their Base values",
                                          "exogenous x l t d_f d_f_diseqre d_f_eror_o d_f_ror_se_o ;",
                                          "swap x = a ;",
                                          "swap d_f_diseqre = d_diseq ;",
                                          "swap d_f_eror_o = d_eror_o ;",
                                          "swap d_f_ror_se_o = del_ror_se_o ;",
                                          "rest endogenous ;"};
    if (!(s = writeText(at("POLICY.CLS"), policy))) return s;
    if (!(s = writeText(at("BADBASE.CLS"),
                        {"! Wrong on purpose: d_f_diseqre must be wholly exogenous in the Base",
                         "exogenous x l t d_f d_f_eror_o d_f_ror_se_o ;",
                         "exogenous d_f_diseqre(\"AGR\") d_f_diseqre(\"MAN\") d_diseq(\"SER\") ;",
                         "rest endogenous ;"})))
        return s;
    std::vector<std::string> badPolicy{"! Wrong on purpose: d_eror_o is not swapped with d_f_eror_o"};
    for (const auto& line : policy)
        if (line != "swap d_f_eror_o = d_eror_o ;") badPolicy.push_back(line);
    if (!(s = writeText(at("BADPOL.CLS"), badPolicy))) return s;
    if (!(s = writeShockFiles(dir))) return s;

    const RESettings re = demoReSettings();
    return writeSimulationDetails(dir, "growthre", &re);
}

}  // namespace vdln::demo
