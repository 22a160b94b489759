#include "results/ratexp.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <set>

#include "base/fileutil.h"
#include "base/paths.h"
#include "base/strutil.h"
#include "base/textfile.h"
#include "formats/modelinfo.h"
#include "jobs/jobslog.h"
#include "model/filenames.h"

namespace vdln {

namespace {

constexpr int kHelp = 1;
constexpr const char* kProgram = "Vardelon";

std::string str(long long v) {
    return std::to_string(v);
}

// A start copy replaces its target: the source must exist, an existing
// target goes first, and the copy must be there afterwards.
Status copyStartCopy(const std::string& from, const std::string& to) {
    if (!fileExists(from)) return Status::fail("Source file " + from + " does not exist");
    if (fileExists(to)) {
        if (Status d = deleteFile(to); !d || fileExists(to))
            return Status::fail("Could not delete dest file");
    }
    if (Status c = copyFile(from, to, false); !c || !fileExists(to)) return Status::fail("Dest not created");
    return Status::ok();
}

// A header holding one real: first dimension 1 and a single value.
Status setOneValue(HarFile& file, const std::string& name, double value, const std::string& notFound) {
    HarHeader* h = file.find(name);
    if (!h) return Status::fail(notFound);
    if (h->HeadType != "RE" || !h->HeadMat.allocated() || h->HeadMat.size() != 1 || h->dims[0] != 1)
        return Status::fail("Header " + name + " not as expected");
    h->HeadMat.Root()[0] = static_cast<float>(value);
    return Status::ok();
}

std::string missingOriginal(const std::string& name) {
    return "Original file \r\n" + name + "\r\n" + "does not exist";
}

}  // namespace

// ---------------------------------------------------------------------------
// Pure parts: counting, number form, report text, report list, variable map.

ConvergenceCounts countConvergence(const std::vector<ConvergenceTriple>& triples) {
    constexpr double tiny = 0.00001;
    ConvergenceCounts c;
    c.pairs = static_cast<int>(triples.size());
    for (const auto& t : triples) {
        const double dAB = std::fabs(t.b - t.a), dBC = std::fabs(t.c - t.b);
        c.largest = std::max(c.largest, dBC);
        if (dBC > 0.001) ++c.above001;
        if (dBC > 0.0005) ++c.above0005;
        if (dBC > 0.0001) ++c.above0001;
        const bool bothTiny = dAB <= tiny && dBC <= tiny;
        if (!(bothTiny || dBC < dAB)) ++c.notConverging;
        const bool monotonic = bothTiny || (t.a <= t.b && t.b <= t.c) || (t.a >= t.b && t.b >= t.c);
        if (!monotonic) ++c.notMonotonic;
    }
    return c;
}

std::string scientificText(double value) {
    if (!std::isfinite(value)) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%g", value);
        return buf;
    }
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.14E", std::fabs(value));
    std::string s = buf;
    const auto e = s.find('E');
    std::string mantissa = s.substr(0, e);
    const char sign = s[e + 1];
    std::string digits = s.substr(e + 2);
    if (digits.size() < 4) digits.insert(0, 4 - digits.size(), '0');
    return std::string(value < 0 ? "-" : " ") + mantissa + "E" + sign + digits;
}

std::string convergenceReportText(int maxIterations, int run, int baseIterationsNote,
                                  const ConvergenceCounts& c) {
    std::string t =
        "Convergence report after " + str(maxIterations) + " iterations of the " + runName(run) + ".";
    if (baseIterationsNote > 0)
        t += "\r\n [There were " + str(baseIterationsNote) + " iterations of the " + "Base" + ".]";
    t += "\r\nThis report relates to the IND*YEAR data (this is usually the EROR_G data) at header \"RORG\" "
         "on the "
         "ROREXT file.";
    t += "\r\nThere are " + str(c.pairs) + " IND*YEAR pairs.";
    t += "\r\nNumber apparently not converging is " + str(c.notConverging) + ".";
    t += "\r\nNumber not monotonic over last 3 iterations is " + str(c.notMonotonic) + ".";
    t += "\r\nLargest difference between last two iterations is " + scientificText(c.largest) + " .";
    t += "\r\nNumber with difference between last two iterations greater than 0.001 is " + str(c.above001) +
         ".";
    t += "\r\nNumber with difference between last two iterations greater than 0.0005 is " + str(c.above0005) +
         ".";
    t += "\r\nNumber with difference between last two iterations greater than 0.0001 is " + str(c.above0001) +
         ".";
    t += "\r\nCheck the Convergence HAR file etc to see more detail about convergence.";
    return t;
}

std::vector<int> reportList(const std::optional<std::vector<std::string>>& lines, int maxIterations) {
    std::set<int> listed;
    if (lines) {
        for (const auto& l : *lines) {
            auto v = parseInt(trim(l));
            if (v && *v > 0 && *v <= maxIterations) listed.insert(static_cast<int>(*v));
        }
    }
    const int largest = listed.empty() ? 0 : *listed.rbegin();
    for (int k = largest + 1; k <= maxIterations; ++k) listed.insert(k);
    return {listed.begin(), listed.end()};
}

std::vector<std::string> iterVarNames(const std::vector<std::string>& lines) {
    std::vector<std::string> names;
    for (const auto& l : lines) {
        std::string n = trim(l);
        if (!n.empty()) names.push_back(n);
    }
    return names;
}

// ---------------------------------------------------------------------------

KoraleRE::KoraleRE(REContext context) : m_ctx(std::move(context)) {}

KoraleRE::~KoraleRE() = default;

void KoraleRE::setCounts(const ReIterationCounts& c) {
    m_doingRE = c.doingRE;
    for (int r = 1; r <= 3; ++r) {
        m_max[r] = c.maxIterations[r];
        m_done[r] = c.done[r];
        m_currentIt[r] = std::max(1, c.current[r]);
        m_start[r] = m_currentIt[r];
    }
}

void KoraleRE::setExtraIterations(int run, int done, int wanted, bool doingRE) {
    m_doingRE = doingRE;
    m_max = {0, m_ctx.settings.re.BaseIterations,
             m_ctx.settings.NoRerun ? 0 : m_ctx.settings.re.RerunIterations,
             m_ctx.settings.re.PolicyIterations};
    m_done = {0, 0, 0, 0};
    m_currentIt = m_start = {0, 1, 1, 1};
    if (run < 1 || run > 3) return;
    m_max[run] = wanted;
    m_done[run] = done;
    m_currentIt[run] = m_start[run] = done + 1;
}

void KoraleRE::clearCounts() {
    m_doingRE = false;
    m_max = m_done = {0, 0, 0, 0};
    m_currentIt = m_start = {0, 1, 1, 1};
}

void KoraleRE::setCurrentIteration(int run, int iteration) {
    if (run >= 1 && run <= 3) m_currentIt[run] = iteration;
}

void KoraleRE::error(const std::string& text, bool help) {
    m_ctx.dialogs.message(MsgKind::Error, text, help ? (BtnOk | BtnHelp) : BtnOk, help ? kHelp : 0);
}

int KoraleRE::firstPolicyYear() const {
    const int f = m_ctx.firstPolicyYear ? m_ctx.firstPolicyYear() : 1;
    return std::clamp(f, 1, std::max(1, m_ctx.rec.NumYears));
}

int KoraleRE::firstYearOf(int run) const {
    return run == 1 ? 1 : firstPolicyYear();
}

int KoraleRE::lastYearOf(int /*run*/) const {
    return m_ctx.rec.NumYears;
}

int KoraleRE::userFile(const std::string& logical) const {
    return FindUserFileByName(m_ctx.rec, logical).value_or(0);
}

std::string KoraleRE::nowText() const {
    return logDateTime(m_ctx.clock.nowLocal());
}

std::string KoraleRE::reDirectory() const {
    return JoinPath(m_ctx.tempDir, kKorREDirName);
}

bool KoraleRE::boxCheckedOnSupportingModel() const {
    return m_ctx.settings.re.DoingRE && userFile("ITER") && userFile("ROREXT") && userFile("EXTRA");
}

int KoraleRE::globalIteration(int run, int iteration) const {
    const int nb = m_ctx.settings.re.BaseIterations;
    const int nr = m_ctx.settings.NoRerun ? 0 : m_ctx.settings.re.RerunIterations;
    if (run == 2) return nb + iteration;
    if (run == 3) return nb + nr + iteration;
    return iteration;
}

std::string KoraleRE::startCopyName(int run, const std::string& logical, int iteration) const {
    const int f = userFile(logical);
    if (!f) return "";
    const std::string stem =
        changeExt(DataFileName(m_ctx.rec, firstYearOf(run) - 1, run, m_ctx.settings.NoRerun, f), "");
    return JoinPath(m_ctx.rec.WorkDir, stem + runLetter(run) + "Iter" + str(iteration) + ".har");
}

std::string KoraleRE::preservedRorextName(int run, int iteration) const {
    const int f = userFile("ROREXT");
    if (!f) return "";
    const std::string stem =
        changeExt(DataFileName(m_ctx.rec, m_ctx.rec.NumYears, run, m_ctx.settings.NoRerun, f), "");
    return JoinPath(m_ctx.rec.WorkDir, stem + "_" + runLetter(run) + "Iter" + str(iteration) + ".har");
}

namespace {
std::string aggrexCsv(const TSimRecord& rec, int run, int firstRun, bool noRerun, const std::string& type) {
    return SpreadsheetCsvName(rec, run, firstRun, rec.NumYears, firstRun, noRerun, ResultsKind::Spreadsheet,
                              type);
}
}  // namespace

std::string KoraleRE::preservedCsvName(int run, const std::string& resultType, int iteration) const {
    const std::string csv = aggrexCsv(m_ctx.rec, run, firstYearOf(run), m_ctx.settings.NoRerun, resultType);
    return JoinPath(m_ctx.rec.WorkDir,
                    changeExt(csv, "") + "_" + runLetter(run) + "Iter" + str(iteration) + ".csv");
}

std::string KoraleRE::convergenceFileName(int run, int globalIt) const {
    const bool noRerun = m_ctx.settings.NoRerun;
    const std::string joined = joinedSimNames(m_ctx.rec, true, run >= 2 && !noRerun, run >= 3);
    return JoinPath(m_ctx.rec.WorkDir, joined + "_iter" + str(globalIt) + ".har");
}

std::string KoraleRE::generatedLastYearFile(int run, const std::string& logical) const {
    const int f = userFile(logical);
    if (!f) return "";
    return JoinPath(m_ctx.rec.WorkDir,
                    DataFileName(m_ctx.rec, m_ctx.rec.NumYears, run, m_ctx.settings.NoRerun, f));
}

std::string KoraleRE::firstYearInput(const std::string& logical) const {
    const int f = userFile(logical);
    if (!f) return "";
    auto res =
        ResolveLogicalFile(m_ctx.rec, 1, 1, 1, m_ctx.settings.NoRerun, f, m_ctx.settings.model.FirstYearList);
    if (!res || res->name.empty()) return "";
    return ResolvePath(m_ctx.rec.WorkDir, res->name);
}

bool KoraleRE::setUpNames() {
    for (const char* name : {"ITER", "ROREXT", "EXTRA"}) {
        if (!userFile(name)) {
            error(std::string(name) +
                  " is not one of the logical file names.\r\nCannot do rational expectations.");
            return false;
        }
    }
    const std::string dir = reDirectory();
    if (!makeDirectories(dir)) {
        error("Cannot create directory " + dir);
        return false;
    }
    m_current = {JoinPath(dir, "ROREXT.HAR"), JoinPath(dir, "ITER.HAR"), JoinPath(dir, "EXTRA.HAR")};
    m_namesSet = true;
    return true;
}

std::optional<int> KoraleRE::readIterationCount(int run, bool quiet) {
    auto fail = [&](const std::string& text) -> std::optional<int> {
        if (!quiet) error(text, false);
        return std::nullopt;
    };
    const std::string file = generatedLastYearFile(run, "ITER");
    if (file.empty() || !fileExists(file))
        return fail("Original file\r\n" + file + "\r\n" + "does not exist.");
    auto h = ReadHeaderFromHarFile(file, "ITNO");
    if (!h) return fail(h.message());
    if (!*h) return fail("Header ITNO not found on ITER file");
    const HarHeader& itno = **h;
    if (itno.HeadType != "RE" || !itno.HeadMat.allocated() || itno.HeadMat.size() != 1)
        return fail("Header " + std::string("ITNO") + " not as expected");
    return static_cast<int>(std::lround(static_cast<double>(itno.HeadMat.Root()[0]) - 1.0));
}

bool KoraleRE::checkCompletedRuns(const TBigJobDetails& job) {
    if (job.DoSims[1]) return true;
    const int nb = m_ctx.settings.re.BaseIterations;
    const int nr = m_ctx.settings.NoRerun ? 0 : m_ctx.settings.re.RerunIterations;
    const int firstRun = (job.DoSims[2] && nr > 0) ? 2 : 3;
    for (int e = 1; e < firstRun; ++e) {
        if (e == 2 && nr == 0) continue;
        auto n = readIterationCount(e);
        if (!n) return false;
        if (e == 1 && *n != nb) {
            error("Serious problem. When you completed the " + runName(1) + "," + "\r\n" +
                  " you had done a total of " + str(*n) + " iterations." + "\r\n" +
                  "However the Sim Overview page says " + str(nb) + " iterations for the Base." + "\r\n" +
                  "Please check. Either adjust the number on the Sim Overview page" + "\r\n" +
                  " or else you may need to run the Base again.");
            return false;
        }
        if (e == 2 && *n != nb + nr) {
            error("Serious problem. When you completed the " + runName(2) + "," + "\r\n" +
                  " you had done a total of " + str(*n) + " iterations (Base and Rerun)." + "\r\n" +
                  "However the numbers on the Sim Overview page imply a total of " + str(nb + nr) + "." +
                  "\r\n" + "Please check. Either adjust the numbers on the Sim Overview page" + "\r\n" +
                  " or else you may need to start this run earlier (at the Base or the Rerun).");
            return false;
        }
    }
    return true;
}

bool KoraleRE::startJob(const TBigJobDetails& job) {
    releaseState();
    m_prepared = {0, 0, 0, 0};
    m_lastReports = {};
    m_lastSeries = {};
    for (int r = 1; r <= 3; ++r) {
        m_jobFirst[r] = job.DoSims[r] ? job.FirstSimYear[r] : 0;
        m_jobLast[r] = job.DoSims[r] ? job.LastSimYear[r] : 0;
    }
    if (!setUpNames()) return false;
    if (!checkCompletedRuns(job)) return false;
    if (m_ctx.settings.re.ConvergenceHar) {
        const std::string map = JoinPath(m_ctx.rec.WorkDir, kIterVarMapName);
        if (!fileExists(findFileIgnoringCase(map))) {
            error(
                "Since you are creating Convergence HAR files,\r\n you must specify the names of the "
                "variables to "
                "include\r\n on the Interation Variables Mapping file\r\n" +
                map + "\r\n" + "This file does not exist. Please create such a file.");
            return false;
        }
    }
    return true;
}

// ---------------------------------------------------------------------------
// Preparing the iteration files.

std::string KoraleRE::originalRorext(int run) const {
    const auto& re = m_ctx.settings.re;
    const int nb = re.BaseIterations;
    const int nr = m_ctx.settings.NoRerun ? 0 : re.RerunIterations;
    const int fpy = firstPolicyYear();
    if (startIteration(run) > 1) return generatedLastYearFile(run, "ROREXT");
    if (run == 1) return firstYearInput("ROREXT");
    if (run == 3 && nr > 1) return startCopyName(2, "ROREXT", nr);
    if (fpy == 1 && nb >= 2) return preservedRorextName(1, nb - 1);
    const int f = userFile("ROREXT");
    auto res = ResolveLogicalFile(m_ctx.rec, fpy, run, fpy, m_ctx.settings.NoRerun, f,
                                  m_ctx.settings.model.FirstYearList);
    if (!res || res->name.empty()) return "";
    return ResolvePath(m_ctx.rec.WorkDir, res->name);
}

Status KoraleRE::prepare(int run) {
    const auto& re = m_ctx.settings.re;
    const int nb = re.BaseIterations;
    const int nr = m_ctx.settings.NoRerun ? 0 : re.RerunIterations;
    const bool fresh = startIteration(run) == 1;
    const std::string now = nowText();

    // ROREXT.
    const std::string original = originalRorext(run);
    if (original.empty() || !fileExists(original)) return Status::fail(missingOriginal(original));
    auto rorext = ReadHarFile(original);
    if (!rorext) return rorext.status();
    HarFile& rx = *rorext;
    const HarHeader* adre = rx.find("ADRE");
    if (!adre) return Status::fail("Header ADRE not found on ROREXT file");
    if (adre->HeadType != "RE" || adre->NDim < 1 || !adre->HeadMat.allocated())
        return Status::fail("Header " + std::string("ADRE") + " not as expected");
    const std::int64_t industries = adre->dims[0];
    m_history[run].reset();
    m_historyFilled[run] = {false, false, false};
    if (m_max[run] >= 3) {
        Mat3 h;
        if (Status s = AllocMat3(h, 3, lastYearOf(run) - firstYearOf(run) + 1, industries); !s) return s;
        m_history[run] = std::move(h);
    }
    if (run == 1 && fresh) {
        HarHeader* rorg = rx.find("RORG");
        if (!rorg) return Status::fail("Header RORG not found on ROREXT file");
        if (rorg->HeadType != "RE" || rorg->NDim < 2 || rorg->dims[0] != industries ||
            !rorg->HeadMat.allocated())
            return Status::fail("Header " + std::string("RORG") + " not as expected");
        if (Status s = fillvalue7(rorg->HeadMat, 0.0f); !s) return s;
    }
    if (run == 1) {
        if (Status s = setOneValue(rx, "NFIT", nb, "Header NFIT not found on ROREXT file"); !s) return s;
    } else if (re.SeveralRerunIterations) {
        if (Status s =
                setOneValue(rx, "NRIT", nr,
                            "Header NRIT not found on ROREXT file.\r\nDoes your TAB file  really allow more "
                            "than one iteration on the Rerun?");
            !s)
            return s;
    }
    if (run == 1 && fresh)
        if (Status s = setOneValue(rx, "HORZ", m_ctx.rec.NumYears, "Header HORZ not found on ROREXT file");
            !s)
            return s;
    if (run == 1 || fresh)
        if (Status s = setOneValue(rx, "YRPL", run == 1 ? 1 : firstPolicyYear(),
                                   "Header YRPL not found on ROREXT file");
            !s)
            return s;
    if (Status s = WriteHarFile(m_current.rorext, kProgram, now, rx); !s) return s;
    if (fresh)
        if (Status s = copyStartCopy(m_current.rorext, startCopyName(run, "ROREXT", 1)); !s) return s;

    // ITER.
    const std::string iterOriginal = firstYearInput("ITER");
    if (iterOriginal.empty() || !fileExists(iterOriginal)) return Status::fail(missingOriginal(iterOriginal));
    auto iter = ReadHarFile(iterOriginal);
    if (!iter) return iter.status();
    if (Status s = setOneValue(*iter, "ITNO", globalIteration(run, m_currentIt[run]),
                               "Header ITNO not found on ITER file");
        !s)
        return s;
    if (Status s = WriteHarFile(m_current.iter, kProgram, now, *iter); !s) return s;
    if (fresh)
        if (Status s = copyStartCopy(m_current.iter, startCopyName(run, "ITER", 1)); !s) return s;

    // EXTRA, when the run starts at the first year.
    if (firstYearOf(run) == 1) {
        const std::string extraOriginal = firstYearInput("EXTRA");
        if (extraOriginal.empty() || !fileExists(extraOriginal))
            return Status::fail(missingOriginal(extraOriginal));
        auto extra = ReadHarFile(extraOriginal);
        if (!extra) return extra.status();
        if (Status s = setOneValue(*extra, "YEAR", 1, "Header YEAR not found on EXTRA file"); !s) return s;
        if (Status s = WriteHarFile(m_current.extra, kProgram, now, *extra); !s) return s;
    }
    return Status::ok();
}

// A job that continues a run (extra iterations) finds the RORG of the
// iterations it did not run in their preserved ROREXT files, so the report
// of the last three iterations compares real values.
Status KoraleRE::fillHistoryFromPreserved(int run) {
    if (!m_history[run]) return Status::ok();
    const int max = m_max[run];
    for (int it = std::max(1, max - 2); it < startIteration(run) && it <= max; ++it) {
        const std::string f = preservedRorextName(run, it);
        if (!fileExists(f)) continue;
        if (Status s = storeHistory(run, it - max + 3, f); !s) return s;
    }
    return Status::ok();
}

Status KoraleRE::storeHistory(int run, int slot, const std::string& rorextFile) {
    if (!m_history[run] || slot < 1 || slot > 3) return Status::ok();
    auto h = ReadHeaderFromHarFile(rorextFile, "RORG");
    if (!h) return h.status();
    if (!*h) return Status::fail("Could not find header \"RORG\" on ROREXT file at end of this iteration");
    const HarHeader& rorg = **h;
    if (rorg.HeadType != "RE" || rorg.NDim < 2 || !rorg.HeadMat.allocated())
        return Status::fail("Header " + std::string("RORG") + " not as expected");
    Mat3& hist = *m_history[run];
    const int first = firstYearOf(run);
    for (std::int64_t y = 0; y < hist.rows; ++y)
        for (std::int64_t i = 0; i < hist.cols; ++i) {
            const std::int64_t col = first + y;
            hist.at(slot - 1, y, i) =
                (i < rorg.dims[0] && col <= rorg.dims[1]) ? rorg.HeadMat.at(i + 1, col) : 0.0f;
        }
    m_historyFilled[run][static_cast<size_t>(slot - 1)] = true;
    return Status::ok();
}

bool KoraleRE::setUpIterationFiles(int run) {
    if (run < 1 || run > 3) return false;
    if (m_prepared[run] == m_currentIt[run]) return true;
    if (!m_namesSet && !setUpNames()) return false;
    Status s = prepare(run);
    if (s) s = fillHistoryFromPreserved(run);
    if (!s) {
        m_history[run].reset();
        error(s.message());
        return false;
    }
    m_prepared[run] = m_currentIt[run];
    return true;
}

bool KoraleRE::saveRerunStartCopy() {
    if (!m_ctx.settings.re.SeveralRerunIterations) return true;
    const std::string from = generatedLastYearFile(2, "ROREXT");
    if (from.empty() || !fileExists(from)) return true;
    if (Status s = copyStartCopy(from, startCopyName(2, "ROREXT", m_currentIt[2])); !s) {
        error(s.message(), false);
        return false;
    }
    return true;
}

// ---------------------------------------------------------------------------
// The standard checks of a solve's closure.

bool KoraleRE::standardChecks(int run, int year) {
    if (!m_ctx.settings.re.StandardChecks) return true;
    const std::string sli = changeExt(SolutionFile(m_ctx.rec, year, run, m_ctx.settings.NoRerun), ".sli");
    SolInfoRec info;
    if (Status s = RequestSolInfo(sli, standardMinRequest(), true, true, info); !s) {
        error(s.message());
        return false;
    }
    enum Need { Exo, Endo, None };
    struct Row {
        const char* name;
        Need base, others;
    };
    static const Row rows[] = {
        {"d_f", Exo, Exo},          {"d_ff", Endo, Endo},        {"d_f_diseq", Endo, Endo},
        {"d_f_diseqre", Exo, Endo}, {"d_diseq", None, Exo},      {"d_eror_o", None, Exo},
        {"d_f_eror_o", None, Endo}, {"del_ror_se_o", None, Exo}, {"d_f_ror_se_o", None, Endo},
    };
    std::string lines;
    for (const Row& row : rows) {
        const Need need = run == 1 ? row.base : row.others;
        if (need == None) continue;
        const std::string name = row.name;
        const int k = info.findVariable(name);
        if (k < 1 || k > info.numOrdinaryVars) {
            lines += "\r\n " + name + " is not a variable in the model";
            continue;
        }
        const TVarRec& v = info.vars[static_cast<size_t>(k - 1)];
        if (need == Exo && v.numExog != v.size)
            lines += "\r\n Not all components of variable " + name + " are exogenous.";
        if (need == Endo && v.numExog != 0)
            lines += "\r\n Not all components of variable " + name + " are endogenous.";
    }
    info.clear();
    if (lines.empty()) return true;
    const int calendar = (year >= -1 && year <= kMaxYears) ? m_ctx.rec.Years[year] : 0;
    error(
        "Doing rational expectations (KORALE style).\r\nThere is a problem the with closure for simulation "
        "for year " +
        str(calendar) + " (year number " + str(year) + ") of the " + runName(run) + ":" + lines + "\r\n" +
        "Please fix these problems and run the application again.");
    return false;
}

// ---------------------------------------------------------------------------
// The convergence header array files.

namespace {

PSetRec namedSet(const std::string& name, const std::vector<std::string>& elements) {
    auto s = std::make_unique<TSetRec>();
    s->size = static_cast<std::int64_t>(elements.size());
    s->name = name;
    s->description = "Set " + name;
    s->ElmsKnown = true;
    s->SetElms = elements;
    return s;
}

// The header of a solution file whose description starts with the name and
// a blank (case ignored).
const HarHeader* headerOfVariable(const HarFile& sol, const std::string& variable) {
    for (const auto& h : sol.headers)
        if (h && istartsWith(h->description, variable + " ")) return h.get();
    return nullptr;
}

std::string fourDigits(int n) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%04d", n);
    return buf;
}

}  // namespace

Status KoraleRE::buildConvergenceFile(int run, const std::string& solName) {
    const std::string mapName = findFileIgnoringCase(JoinPath(m_ctx.rec.WorkDir, kIterVarMapName));
    if (!fileExists(solName)) return Status::fail("File " + solName + " does not exist");
    if (!fileExists(mapName)) return Status::fail("File " + mapName + " does not exist");
    auto sol = ReadHarFile(solName);
    if (!sol) return sol.status();
    auto mapLines = readTextLines(mapName);
    if (!mapLines) return mapLines.status();
    m_varMap.clear();
    for (const auto& name : iterVarNames(*mapLines)) {
        const HarHeader* h = headerOfVariable(*sol, name);
        if (!h)
            return Status::fail("Rational Expectations: Results are not available for variable " + name +
                                "\r\n" + "Please modify file " + mapName);
        m_varMap.push_back({name, h->trimmedName()});
    }

    // The report list.
    const int max = m_max[run];
    const std::string listFile =
        findFileIgnoringCase(JoinPath(m_ctx.rec.WorkDir, std::string("iter") + runLetter(run)));
    std::optional<std::vector<std::string>> listLines;
    if (fileExists(listFile)) {
        auto l = readTextLines(listFile);
        if (!l) return l.status();
        listLines = *l;
    }
    m_reportList[run] = reportList(listLines, max);

    // A new file: one header per variable over ITERATIONS x YEARS x its own sets.
    auto file = NewHarFile(kProgram, nowText(), false, false);
    if (!file) return file.status();
    std::vector<std::string> years, iterations;
    for (int y = firstYearOf(run); y <= lastYearOf(run); ++y) years.push_back(str(m_ctx.rec.Years[y]));
    for (int k : m_reportList[run]) iterations.push_back("It" + str(globalIteration(run, k)));
    if (iterations.empty()) iterations.push_back("It" + str(globalIteration(run, std::max(1, max))));
    for (size_t n = 0; n < m_varMap.size(); ++n) {
        const IterVarEntry& e = m_varMap[n];
        const HarHeader* h = sol->find(e.header);
        if (!h) return Status::fail("Could not find header " + e.header + " on SOL file");
        if (h->NDim > 5)
            return Status::fail("Max dimension allowed is 5. Variable " + e.variable + " has dimension " +
                                str(h->NDim));
        PHarHeader withYears, withIterations;
        if (Status s = AddADim(*h, namedSet("YEARS", years), true, withYears, false); !s) return s;
        if (Status s = AddADim(*withYears, namedSet("ITERATIONS", iterations), true, withIterations, true);
            !s)
            return s;
        withIterations->name = fourDigits(static_cast<int>(n + 1));
        setCoefficientName(*withIterations, e.variable);
        if (Status s = addHeader(*file, std::move(withIterations)); !s) return s;
    }

    // An earlier job's file: its values go where the same variable, year and
    // iteration sit in the new file.
    if (m_currentIt[run] > 1) {
        const int previous = globalIteration(run, m_currentIt[run] - 1);
        const std::string oldName = convergenceFileName(run, previous);
        std::optional<HarFile> old;
        if (fileExists(oldName)) {
            auto o = ReadHarFile(oldName);
            if (o) old = std::move(*o);
        }
        if (!old) {
            m_ctx.dialogs.message(MsgKind::Information,
                                  "Convergence information HAR file from end of iteration number " +
                                      str(previous) + " does not exist." + "\r\n" +
                                      "Can only put information for new iterations on this time.",
                                  BtnOk);
        } else {
            for (auto& nh : file->headers) {
                if (!nh || nh->HeadType != "RE") continue;
                const HarHeader* oh = nullptr;
                for (const auto& c : old->headers)
                    if (c && c->HeadType == "RE" && iequals(trim(c->re.coefName), trim(nh->re.coefName)))
                        oh = c.get();
                if (!oh || oh->NDim != nh->NDim || oh->elementNames(2) != nh->elementNames(2)) continue;
                bool sameShape = true;
                for (int k = 2; k <= nh->NDim; ++k)
                    sameShape = sameShape && oh->dims[k - 1] == nh->dims[k - 1];
                if (!sameShape) continue;
                const auto oldIts = oh->elementNames(1);
                const auto newIts = nh->elementNames(1);
                std::int64_t rest = 1;
                for (int k = 2; k <= nh->NDim; ++k) rest *= nh->dims[k - 1];
                for (size_t oi = 0; oi < oldIts.size(); ++oi) {
                    auto pos = std::find_if(newIts.begin(), newIts.end(), [&](const std::string& s) {
                        return iequals(trim(s), trim(oldIts[oi]));
                    });
                    if (pos == newIts.end()) continue;
                    const std::int64_t ni = pos - newIts.begin();
                    for (std::int64_t j = 0; j < rest; ++j)
                        nh->HeadMat.Root()[ni + nh->dims[0] * j] =
                            oh->HeadMat.Root()[static_cast<std::int64_t>(oi) + oh->dims[0] * j];
                }
            }
        }
    }
    m_convergence[run] = std::move(*file);
    return Status::ok();
}

bool KoraleRE::startConvergenceFile(int run) {
    if (!m_ctx.settings.re.ConvergenceHar || run < 1 || run > 3) return true;
    const int year = m_jobFirst[run] >= 1 ? m_jobFirst[run] : firstYearOf(run);
    const std::string sol = changeExt(SolutionFile(m_ctx.rec, year, run, m_ctx.settings.NoRerun), ".sol");
    if (Status s = buildConvergenceFile(run, sol); !s) {
        m_convergence[run].reset();
        error(s.message());
        return false;
    }
    return true;
}

Status KoraleRE::addIterationToConvergenceFile(int run, int position) {
    HarFile& file = *m_convergence[run];
    const int first = firstYearOf(run);
    for (int y = first; y <= lastYearOf(run); ++y) {
        const std::string solName =
            changeExt(SolutionFile(m_ctx.rec, y, run, m_ctx.settings.NoRerun), ".sol");
        auto sol = ReadHarFile(solName);
        if (!sol) return sol.status();
        for (size_t n = 0; n < m_varMap.size(); ++n) {
            const IterVarEntry& e = m_varMap[n];
            const HarHeader* h = sol->find(e.header);
            if (!h) return Status::fail("Could not find header " + e.header + " on SOL file");
            if (h->NDim >= 3) return Status::fail("Cannot report variables of dimension 3 or more");
            HarHeader* c = file.find(fourDigits(static_cast<int>(n + 1)));
            if (!c || !c->HeadMat.allocated() || !h->HeadMat.allocated())
                return Status::fail("Could not find header " + fourDigits(static_cast<int>(n + 1)) +
                                    " on the convergence file");
            const std::int64_t nIt = c->dims[0], nY = c->dims[1];
            std::int64_t own = 1;
            for (int k = 3; k <= c->NDim; ++k) own *= c->dims[k - 1];
            if (own != h->HeadMat.size()) return Status::fail("Header " + e.header + " not as expected");
            for (std::int64_t j = 0; j < own; ++j)
                c->HeadMat.Root()[(position - 1) + nIt * ((y - first) + nY * j)] = h->HeadMat.Root()[j];
        }
    }
    return WriteHarFile(convergenceFileName(run, globalIteration(run, m_max[run])), kProgram, nowText(),
                        file);
}

bool KoraleRE::endOfIteration(int run) {
    if (run < 1 || run > 3) return false;
    const int n = m_currentIt[run];
    const std::string rorext = generatedLastYearFile(run, "ROREXT");
    if (rorext.empty() || !fileExists(rorext)) {
        error(missingOriginal(rorext), false);
        return false;
    }
    if (Status s = copyFile(rorext, preservedRorextName(run, n), false); !s) {
        error(s.message(), false);
        return false;
    }
    if (m_ctx.settings.re.ConvergenceCsv) {
        // An abbreviated spreadsheet job writes no cumulative CSV.
        std::vector<std::string> types{"yony"};
        if (!m_ctx.settings.AbbreviatedSsJobs) types.push_back("cum");
        for (const auto& type : types) {
            const std::string csv = JoinPath(
                m_ctx.rec.WorkDir, aggrexCsv(m_ctx.rec, run, firstYearOf(run), m_ctx.settings.NoRerun, type));
            if (!fileExists(csv)) {
                error(missingOriginal(csv), false);
                return false;
            }
            if (Status s = copyFile(csv, preservedCsvName(run, type, n), false); !s) {
                error(s.message(), false);
                return false;
            }
        }
    }
    if (m_ctx.settings.re.ConvergenceHar && m_convergence[run]) {
        const auto& list = m_reportList[run];
        auto pos = std::find(list.begin(), list.end(), m_done[run]);
        if (pos != list.end()) {
            if (Status s = addIterationToConvergenceFile(run, static_cast<int>(pos - list.begin()) + 1); !s) {
                error(s.message(), false);
                return false;
            }
        }
    }
    if (m_history[run] && m_done[run] >= m_max[run] - 2) {
        if (Status s = storeHistory(run, m_done[run] - m_max[run] + 3, rorext); !s) {
            error(s.message(), false);
            return false;
        }
    }
    return true;
}

void KoraleRE::countIteration(int run) {
    if (run >= 1 && run <= 3) ++m_done[run];
}

// ---------------------------------------------------------------------------
// The report.

std::optional<std::string> KoraleRE::convergenceReport(int run) {
    if (run < 1 || run > 3 || m_max[run] < 3 || !m_history[run]) return std::nullopt;
    const auto& filled = m_historyFilled[run];
    if (!filled[0] || !filled[1] || !filled[2]) return std::nullopt;
    const Mat3& h = *m_history[run];
    if (h.rows != lastYearOf(run) - firstYearOf(run) + 1) {
        error("Sorry, an internal error has occurred.\r\nProblem producing convergence report for " +
                  runName(run) + "." + "\r\n" + " Num year problem",
              false);
        return std::nullopt;
    }
    std::vector<ConvergenceTriple> triples;
    for (std::int64_t y = 0; y < h.rows; ++y)
        for (std::int64_t i = 0; i < h.cols; ++i)
            triples.push_back({h.at(0, y, i), h.at(1, y, i), h.at(2, y, i)});
    int note = 0;
    if (run == 3) {
        auto base = readIterationCount(1, true);
        if (base && *base == m_ctx.settings.re.BaseIterations) note = *base;
    }
    return convergenceReportText(m_max[run], run, note, countConvergence(triples));
}

std::vector<MaxChangePoint> KoraleRE::maxChangeSeries(int run) const {
    std::vector<MaxChangePoint> series;
    if (run < 1 || run > 3) return series;
    const int first = firstYearOf(run), last = lastYearOf(run);
    std::optional<std::vector<float>> previous;
    std::int64_t prevInd = 0;
    const int max = std::max(m_max[run], m_done[run]);
    for (int it = 1; it <= max; ++it) {
        std::optional<std::vector<float>> values;
        std::int64_t industries = 0;
        const std::string f = preservedRorextName(run, it);
        if (fileExists(f)) {
            auto h = ReadHeaderFromHarFile(f, "RORG");
            if (h && *h && (*h)->HeadType == "RE" && (*h)->NDim >= 2 && (*h)->HeadMat.allocated()) {
                const HarHeader& rorg = **h;
                industries = rorg.dims[0];
                std::vector<float> v;
                for (int y = first; y <= last && y <= rorg.dims[1]; ++y)
                    for (std::int64_t i = 1; i <= industries; ++i) v.push_back(rorg.HeadMat.at(i, y));
                values = std::move(v);
            }
        }
        if (values && previous && industries == prevInd && values->size() == previous->size()) {
            double change = 0;
            for (size_t k = 0; k < values->size(); ++k)
                change = std::max(change, std::fabs(static_cast<double>((*values)[k]) - (*previous)[k]));
            series.push_back({it, change});
        }
        previous = std::move(values);
        prevInd = industries;
    }
    return series;
}

void KoraleRE::finalReport() {
    for (int r = 1; r <= 3; ++r) {
        if (m_jobFirst[r] >= 1) m_lastSeries[r] = maxChangeSeries(r);
        auto text = convergenceReport(r);
        if (!text) continue;
        m_lastReports[r] = *text;
        const std::string title = "Convergence Overview for " + runName(r);
        if (m_ctx.showOverview)
            m_ctx.showOverview(title, *text);
        else
            m_ctx.dialogs.message(MsgKind::Information, *text, BtnOk | BtnHelp, kHelp);
    }
    release();
}

void KoraleRE::releaseState() {
    for (int r = 1; r <= 3; ++r) {
        m_convergence[r].reset();
        m_history[r].reset();
        m_historyFilled[r] = {false, false, false};
    }
}

void KoraleRE::release() {
    releaseState();
    m_doingRE = false;
}

}  // namespace vdln
