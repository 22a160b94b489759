#include "demoapp.h"

#include <sys/stat.h>

#include <filesystem>

#include "base/fileutil.h"
#include "base/paths.h"
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

std::string flags(std::initializer_list<bool> fs) {
    std::string s;
    for (bool f : fs) s += f ? "T" : "F";
    return s;
}

std::string quoteIfBlank(const std::string& s) {
    return s.find(' ') != std::string::npos || s.find('&') != std::string::npos ? "\"" + s + "\"" : s;
}

}  // namespace

std::vector<std::string> demoDs1Lines(const std::string& folder, unsigned minId, unsigned dinId) {
    std::vector<std::string> L{"[Environment]"};
    auto kv = [&](const std::string& k, const std::string& v) { L.push_back(k + "=" + v); };
    kv("Model", JoinPath(folder, "growth.exe"));
    kv("Simulation Program SV Release", "80000");
    kv("Simulation Program Version", "79000");
    kv("Simulation Program Compiler", "gfortran");
    kv("Not winconsole exe", "0");
    kv("Model Name", "growth");
    kv("VardelVersion", "330");
    kv("Model Info File", JoinPath(folder, "growth.min"));
    kv("Dynamic Info File", JoinPath(folder, "growth.din"));
    kv("MIN File Id", std::to_string(minId));
    kv("DIN File Id", std::to_string(dinId));
    kv("Is DIN file", "1");
    kv("Sim Directory", folder);
    kv("Results Map File", JoinPath(folder, "growth.map"));
    kv("Do Korale RE", "0");
    kv("Korale RE Base Iterations", "30");
    kv("Korale RE Rerun Iterations", "1");
    kv("Korale RE Policy Iterations", "20");
    kv("Korale RE Policy Start Year", "0");
    kv("Prepare Convergence HAR files", "1");
    kv("Prepare Convergence ROREXT files", "1");
    kv("Prepare Convergence CSV files", "1");
    kv("Do Standard KORALE RE checks", "1");
    kv("Allow several KORALE RE iterations on Rerun", "0");
    for (const char* k : {"Editor", "Spreadsheet", "Outlens", "Gridlens", "Probex"}) kv(k, "");
    kv("Rerun FC with Dev", "yes");
    kv("Abbreviated SS jobs", "no");
    kv("Make YonY Differences SS", "no");
    kv("Accumulate subtotals results", "no");
    kv("Never use bat job for simulations", "yes");
    kv("UseSolvaneDir", "");
    kv("Clear Temp Dir when Exit", "1");
    kv("TempDir", "");
    kv("Use CMFStart", "1");
    kv("Use RunSpecific CMFStart", "1");
    kv("Sol File Shocks", "0");
    kv("Arith Prob Not Fatal RSL", "0");
    kv("Visible Log Files", "0");
    kv("Suppress Screen Saver", "1");
    kv("Fewer Messages", "0");
    kv("Check Prerequisites", "1");
    kv("Hide Rational Expectations", "0");
    kv("Complete Base First", "0");
    kv("Add to Jobs Log File", "0");
    kv("Allow 2 Concurrent Solves", "0");
    kv("Allow 3 Concurrent Solves", "0");
    kv("Outputs Before Run", "delete");
    L.push_back(" ");
    L.push_back("[Input Files]");
    L.push_back("0=File BASEDATA = " + quoteIfBlank(JoinPath(folder, "BASE2023.HAR")) +
                " ; ! Base data: capital, investment, output and employment");
    L.push_back("1=File PARAMS = " + quoteIfBlank(JoinPath(folder, "PARAMS.HAR")) +
                " ; ! Parameters: capital share and depreciation rate");
    // The standard method extrapolates from three Gragg solutions, so every
    // year has accuracy summaries; the alternative is a one-step Johansen.
    L.insert(L.end(), {" ", "[Solution Method]", "Method=3", "NSOL=3", "Steps1=2", "Steps2=4", "Steps3=6",
                       "Non Auto Acc Subint=1", "Automatic accuracy=0"});
    L.insert(L.end(), {" ", "[Alternative Solution Method]", "Method=1", "NSOL=1", "Steps1=1", "Steps2=3", "Steps3=5",
                       "Non Auto Acc Subint=1", "Automatic accuracy=0"});
    L.push_back("Alternative SLMethod In Use=0");
    L.push_back("Use Alternatives in Years=" + std::string(999, 'u'));
    L.push_back(" ");
    L.push_back("[Length Periods]");
    L.push_back("Number periods=" + std::to_string(kDemoNumYears));
    for (int i = 1; i <= kDemoNumYears; ++i) L.push_back(std::to_string(i) + "=1");
    return L;
}

std::vector<std::string> demoDs2Lines() {
    std::vector<std::string> L;
    L.push_back(std::to_string(kDemoNumYears) + " " + std::to_string(kDemoStartYear));
    L.insert(L.end(), {"BS1", "BR1", "PL1"});
    // The model's logical files as its Model Information file declares them.
    L.push_back("4");
    L.insert(L.end(), {"BASEDATA", flags({true, true, false}), "har",
                       "Base data: capital, investment, output and employment"});
    L.insert(L.end(), {"PARAMS", flags({true, false, false}), "har", "Parameters: capital share and depreciation rate"});
    L.insert(L.end(), {"SUMMARY", flags({false, false, false}), "txt", "Summary table of the levels of the year"});
    L.insert(L.end(), {"(solution)", flags({false, true, true}), "sl4", ""});
    // The user files, completed by the Dynamic Information file.
    L.push_back("3");
    struct F {
        const char *name, *type, *key;
        bool in, upd;
        const char* desc;
        int usage, n;
    };
    const F files[] = {{"BASEDATA", "HAR", "BAS", true, true, "Base data: capital, investment, output and employment", 1, 1},
                       {"PARAMS", "HAR", "PAR", true, false, "Parameters: capital share and depreciation rate", 3, 2},
                       {"SUMMARY", "TXT", "SUM", false, false, "Summary table of the levels of the year", 0, 3}};
    for (const auto& f : files) {
        L.insert(L.end(), {f.name, f.type, f.key, flags({f.in, f.upd}), f.desc, std::to_string(f.usage), "0",
                           std::to_string(f.n), "1", "2", "3"});
    }
    // The Common row names the Policy closure, so the notice form is written.
    L.insert(L.end(), {"This____!sim_____!requires|newer___|", "version_|of______|this____|software|"});
    for (int y = 3; y <= kDemoNumYears; ++y) L.push_back("Contact_|SOLVANE_|Contact_|SOLVANE_|");
    L.push_back("#FILES");
    L.push_back("9");
    L.push_back("4");
    L.insert(L.end(), {"", "N/A", "", ""});           // CMFSTART row
    L.insert(L.end(), {"", "", "POLICY", ""});        // Common row
    for (int i = 1; i <= kDemoNumYears; ++i) {
        const int year = kDemoStartYear + i - 1;
        const bool policyShock = year == 2025 || year == 2026;
        L.insert(L.end(), {"BASE", "B" + std::to_string(year), "?", policyShock ? "P" + std::to_string(year) : ""});
    }
    L.push_back(flags({false, false, false}));
    return L;
}

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

    auto fileId = [&](const std::string& name) -> unsigned {
        auto t = fileWriteTime(at(name));
        return t ? dosDateTimeOfFileTime(*t) : 0u;
    };
    if (!(s = writeText(at("growth.ds1"), demoDs1Lines(dir, fileId("growth.min"), fileId("growth.din"))))) return s;
    if (!(s = writeText(at("growth.ds2"), demoDs2Lines()))) return s;
    return Status::ok();
}

}  // namespace vdln::demo
