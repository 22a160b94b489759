#include "growthmodel.h"

#include <cmath>

#include "base/strutil.h"

namespace vdln::suite {

namespace {

ModelDescription makeGrowth() {
    ModelDescription s;
    s.name = "growth";
    s.varNames = {"x", "a", "k", "l", "t"};
    s.varDescriptions = {"Output", "Technology", "Capital", "Employment", "Power of a tax"};
    s.varTypes = "ppppp";
    s.equationsPerIndustry = 2;
    s.stamp = kGrowthModelStamp;
    s.forwardLooking = false;
    return s;
}

ModelDescription makeGrowthRe() {
    ModelDescription s = makeGrowth();
    s.name = "growthre";
    const std::vector<std::pair<std::string, std::string>> more{
        {"inv", "Investment"},
        {"d_f", "Free shifter of the investment rule"},
        {"d_ff", "Total shift of the investment rule"},
        {"d_f_diseq", "Shift of investment from the expected return"},
        {"d_f_diseqre", "Shifter of the expectation disequilibrium"},
        {"d_diseq", "Expected minus static rate of return"},
        {"d_eror_o", "Expected rate of return minus normal"},
        {"d_f_eror_o", "Shifter of the expected rate of return"},
        {"del_ror_se_o", "Static-expectation rate of return minus normal"},
        {"d_f_ror_se_o", "Shifter of the static-expectation rate of return"}};
    for (const auto& [n, d] : more) {
        s.varNames.push_back(n);
        s.varDescriptions.push_back(d);
    }
    s.varTypes = "ppppppccccccccc";
    s.equationsPerIndustry = 8;
    s.stamp = kGrowthReModelStamp;
    s.forwardLooking = true;
    return s;
}

}  // namespace

const ModelDescription& growthModel() {
    static const ModelDescription s = makeGrowth();
    return s;
}

const ModelDescription& growthReModel() {
    static const ModelDescription s = makeGrowthRe();
    return s;
}

const ModelDescription& modelForProgram(std::string_view programPath) {
    std::string name(programPath);
    const auto slash = name.find_last_of("/\\");
    if (slash != std::string::npos) name = name.substr(slash + 1);
    const auto dot = name.find_last_of('.');
    if (dot != std::string::npos && dot > 0) name = name.substr(0, dot);
    return iequals(name, "growthre") ? growthReModel() : growthModel();
}

const ModelDescription* modelByVariableCount(size_t count) {
    for (const ModelDescription* s : {&growthModel(), &growthReModel()})
        if (static_cast<size_t>(s->numVars()) == count) return s;
    return nullptr;
}

const ModelDescription* modelByVariables(const std::vector<std::string>& names) {
    const ModelDescription* s = modelByVariableCount(names.size());
    if (!s) return nullptr;
    for (size_t v = 0; v < names.size(); ++v)
        if (!iequals(trim(names[v]), s->varNames[v])) return nullptr;
    return s;
}

int ModelDescription::variableIndex(std::string_view name) const {
    for (int v = 0; v < numVars(); ++v)
        if (iequals(name, varNames[v])) return v;
    return -1;
}

std::string ModelDescription::componentName(int component) const {
    return varNames[component / kNumInd] + "(" + kIndustries[component % kNumInd] + ")";
}

int industryIndex(std::string_view name) {
    for (int i = 0; i < kNumInd; ++i)
        if (iequals(name, kIndustries[i])) return i;
    return -1;
}

GrowthData updateData(const ModelDescription& desc, const GrowthData& data, const Components& s) {
    GrowthData out = data;
    for (int i = 0; i < kNumInd; ++i) {
        const double x = s[componentOf(kX, i)], k = s[componentOf(kK, i)], l = s[componentOf(kL, i)];
        const double inv = desc.forwardLooking ? s[componentOf(kInv, i)] : x;
        out.OUTP[i] = data.OUTP[i] * (1 + x / 100);
        out.INVS[i] = data.INVS[i] * (1 + inv / 100);
        out.CAPS[i] = data.CAPS[i] * (1 + k / 100);
        out.LABR[i] = data.LABR[i] * (1 + l / 100);
    }
    return out;
}

std::vector<double> dataValues(const GrowthData& d) {
    std::vector<double> v;
    for (const auto* arr : {&d.CAPS, &d.INVS, &d.OUTP, &d.LABR}) v.insert(v.end(), arr->begin(), arr->end());
    return v;
}

namespace {

using Matrix = std::vector<std::vector<double>>;

/// The coefficient matrix (equations x components) and the constant terms;
/// equation e of industry i is row e*3 + i.
void buildSystem(const ModelDescription& desc, const GrowthData& d, Matrix& a, std::vector<double>& b) {
    const int ne = desc.numEquations();
    a.assign(ne, std::vector<double>(desc.numComponents(), 0.0));
    b.assign(ne, 0.0);
    auto row = [](int eq, int i) { return eq * kNumInd + i; };
    for (int i = 0; i < kNumInd; ++i) {
        auto& e1 = a[row(0, i)];
        e1[componentOf(kX, i)] = 1;
        e1[componentOf(kA, i)] = -1;
        e1[componentOf(kK, i)] = -d.ALPH;
        e1[componentOf(kL, i)] = -(1 - d.ALPH);
        e1[componentOf(kT, i)] = 0.5;
        a[row(1, i)][componentOf(kK, i)] = 1;
        b[row(1, i)] = 100 * (d.INVS[i] / d.CAPS[i] - d.DEPR);
        if (!desc.forwardLooking) continue;
        const double rnow = d.RNOW(i);
        auto& e3 = a[row(2, i)];  // inv = x + d_ff
        e3[componentOf(kInv, i)] = 1;
        e3[componentOf(kX, i)] = -1;
        e3[componentOf(kDFF, i)] = -1;
        auto& e4 = a[row(3, i)];  // d_ff = d_f_diseq + d_f
        e4[componentOf(kDFF, i)] = 1;
        e4[componentOf(kDFDiseq, i)] = -1;
        e4[componentOf(kDF, i)] = -1;
        a[row(4, i)][componentOf(kDFDiseq, i)] = 1;  // d_f_diseq = 100*BETA*(EXPR/RNRM - 1)
        b[row(4, i)] = 100 * d.BETA * (d.EXPR[i] / d.RNRM[i] - 1);
        auto& e6 = a[row(5, i)];  // d_eror_o = 100*(EXPR - RNRM) + d_f_eror_o
        e6[componentOf(kDErorO, i)] = 1;
        e6[componentOf(kDFErorO, i)] = -1;
        b[row(5, i)] = 100 * (d.EXPR[i] - d.RNRM[i]);
        auto& e7 = a[row(6, i)];  // del_ror_se_o = 100*(RNOW - RNRM) + d_f_ror_se_o
        e7[componentOf(kDelRorSeO, i)] = 1;
        e7[componentOf(kDFRorSeO, i)] = -1;
        b[row(6, i)] = 100 * (rnow - d.RNRM[i]);
        auto& e8 = a[row(7, i)];  // d_diseq = 100*(EXPR - RNOW) + d_f_diseqre
        e8[componentOf(kDDiseq, i)] = 1;
        e8[componentOf(kDFDiseqre, i)] = -1;
        b[row(7, i)] = 100 * (d.EXPR[i] - rnow);
    }
}

std::string endogenousList(const ModelDescription& desc, const Flags& exo) {
    std::string s;
    for (int c = 0; c < desc.numComponents(); ++c)
        if (!exo[c]) s += (s.empty() ? "" : " ") + desc.componentName(c);
    return s;
}

bool dataUsable(const ModelDescription& desc, const GrowthData& d) {
    for (int i = 0; i < kNumInd; ++i)
        if (!std::isfinite(d.CAPS[i]) || d.CAPS[i] == 0 || !std::isfinite(d.INVS[i]) ||
            !std::isfinite(d.OUTP[i]))
            return false;
    if (!std::isfinite(d.ALPH) || !std::isfinite(d.DEPR)) return false;
    if (!desc.forwardLooking) return true;
    for (int i = 0; i < kNumInd; ++i)
        if (!std::isfinite(d.RNRM[i]) || d.RNRM[i] == 0 || !std::isfinite(d.EXPR[i])) return false;
    return std::isfinite(d.BETA);
}

std::string sizeText(const ModelDescription& desc) {
    return std::to_string(desc.numComponents()) + " components, " + std::to_string(desc.numEquations()) +
           " equations";
}

}  // namespace

Status checkClosure(const ModelDescription& desc, const Flags& exogenous, const GrowthData& data) {
    int nExo = 0;
    for (int c = 0; c < desc.numComponents(); ++c) nExo += exogenous[c] ? 1 : 0;
    if (nExo != desc.numExogenous())
        return Status::fail("The closure has " + std::to_string(nExo) +
                            " exogenous components but the model needs exactly " +
                            std::to_string(desc.numExogenous()) + " (" + sizeText(desc) + ").");
    Components zero{};
    auto solved = solveLinear(desc, exogenous, zero, data);
    if (!solved) return solved.status();
    return Status::ok();
}

Result<Components> solveLinear(const ModelDescription& desc, const Flags& exo, const Components& shocks,
                               const GrowthData& data, double constantShare) {
    if (!dataUsable(desc, data))
        return Result<Components>::fail(
            desc.forwardLooking ? "The data cannot be used: CAPS and RNRM must be non-zero and every "
                                  "value finite."
                                : "The data cannot be used: CAPS must be non-zero and every value finite.");
    Matrix a;
    std::vector<double> b;
    buildSystem(desc, data, a, b);
    const int ne = desc.numEquations(), nc = desc.numComponents();
    std::vector<int> endo;
    for (int c = 0; c < nc; ++c)
        if (!exo[c]) endo.push_back(c);
    if (static_cast<int>(endo.size()) != ne)
        return Result<Components>::fail("The closure leaves " + std::to_string(endo.size()) +
                                        " endogenous components but the model has " + std::to_string(ne) +
                                        " equations.");
    // Reduced system m * y = r for the endogenous components y.
    Matrix m(ne, std::vector<double>(ne, 0.0));
    std::vector<double> r(ne, 0.0);
    double scale = 0;
    for (int e = 0; e < ne; ++e) {
        r[e] = b[e] * constantShare;
        for (int c = 0; c < nc; ++c)
            if (exo[c]) r[e] -= a[e][c] * shocks[c];
        for (int j = 0; j < ne; ++j) {
            m[e][j] = a[e][endo[j]];
            scale = std::max(scale, std::fabs(m[e][j]));
        }
    }
    const double tiny = 1e-12 * (scale > 0 ? scale : 1);
    for (int col = 0; col < ne; ++col) {
        int piv = col;
        for (int e = col + 1; e < ne; ++e)
            if (std::fabs(m[e][col]) > std::fabs(m[piv][col])) piv = e;
        if (std::fabs(m[piv][col]) <= tiny)
            return Result<Components>::fail("The closure is singular: the " + std::to_string(ne) +
                                            " equations cannot be solved for the endogenous components " +
                                            endogenousList(desc, exo) + ".");
        if (piv != col) {
            std::swap(m[piv], m[col]);
            std::swap(r[piv], r[col]);
        }
        for (int e = col + 1; e < ne; ++e) {
            const double f = m[e][col] / m[col][col];
            if (f == 0) continue;
            for (int j = col; j < ne; ++j) m[e][j] -= f * m[col][j];
            r[e] -= f * r[col];
        }
    }
    std::vector<double> y(ne, 0.0);
    for (int e = ne - 1; e >= 0; --e) {
        double s = r[e];
        for (int j = e + 1; j < ne; ++j) s -= m[e][j] * y[j];
        y[e] = s / m[e][e];
    }
    Components out{};
    for (int c = 0; c < nc; ++c) out[c] = exo[c] ? shocks[c] : 0;
    for (int j = 0; j < ne; ++j) out[endo[j]] = y[j];
    for (int c = 0; c < nc; ++c)
        if (!std::isfinite(out[c]))
            return Result<Components>::fail("The solution is not finite (arithmetic overflow).");
    return out;
}

int agreeingFigures(double a, double b) {
    const double scale = std::max(std::fabs(a), std::fabs(b));
    if (a == b || scale < 1e-12) return 6;
    const double rel = std::fabs(a - b) / scale;
    if (rel <= 0) return 6;
    const double f = std::floor(-std::log10(rel));
    if (!(f > 0)) return 0;
    return f >= 6 ? 6 : static_cast<int>(f);
}

namespace {

/// Value at h = 0 of the polynomial through (h[k], s[k]).
double extrapolate(const std::vector<double>& h, const std::vector<double>& s) {
    double sum = 0;
    for (size_t k = 0; k < h.size(); ++k) {
        double w = 1;
        for (size_t j = 0; j < h.size(); ++j)
            if (j != k) w *= (0 - h[j]) / (h[k] - h[j]);
        sum += w * s[k];
    }
    return sum;
}

AccuracyCounts judge(const std::vector<double>& best, const std::vector<double>& other) {
    AccuracyCounts acc;
    for (size_t n = 0; n < best.size(); ++n) acc.counts[agreeingFigures(best[n], other[n])]++;
    return acc;
}

}  // namespace

Result<SolveOutcome> solveWithMethod(const ModelDescription& desc, const Flags& exo, const Components& shocks,
                                     const GrowthData& data, const MethodChoice& method) {
    const int kNumComponents = desc.numComponents();
    SolveOutcome out;
    const int nsub = method.subintervals < 1 ? 1 : method.subintervals;
    std::vector<int> steps = method.method == 1 ? std::vector<int>{1} : method.steps;
    if (steps.empty()) steps = {1};
    for (int n : steps)
        if (n < 1) return Result<SolveOutcome>::fail("A solution needs at least one step.");
    const int order = (method.method == 3 || method.method == 4) ? 2 : 1;
    out.result.fill(0);
    Components bestSum{};
    GrowthData current = data;  // the model is linear with the year's coefficients
    for (int sub = 0; sub < nsub; ++sub) {
        Components subShock{};
        for (int c = 0; c < kNumComponents; ++c) subShock[c] = exo[c] ? shocks[c] / nsub : 0;
        std::vector<Components> solutions;
        for (int n : steps) {
            Components total{};
            Components stepShock{};
            for (int c = 0; c < kNumComponents; ++c) stepShock[c] = subShock[c] / n;
            for (int s = 0; s < n; ++s) {
                auto r = solveLinear(desc, exo, stepShock, current, 1.0 / (nsub * n));
                if (!r) return r.status();
                for (int c = 0; c < kNumComponents; ++c) total[c] += r.value()[c];
            }
            solutions.push_back(total);
        }
        Components subResult{};
        if (solutions.size() == 1) {
            subResult = solutions[0];
        } else {
            std::vector<double> h;
            h.reserve(steps.size());
            for (int n : steps) h.push_back(order == 2 ? 1.0 / (double(n) * n) : 1.0 / n);
            for (int c = 0; c < kNumComponents; ++c) {
                std::vector<double> s;
                s.reserve(solutions.size());
                for (const auto& sol : solutions) s.push_back(sol[c]);
                subResult[c] = extrapolate(h, s);
            }
        }
        if (solutions.size() == 3) {
            out.hasAccuracy = true;
            const Components& best = solutions.back();
            std::vector<double> e(subResult.begin(), subResult.begin() + kNumComponents),
                b(best.begin(), best.begin() + kNumComponents);
            AccuracyCounts va = judge(e, b);
            // Data accuracy: the whole year's data updated by this subinterval's
            // share, from the extrapolated result and from the best solution.
            AccuracyCounts da = judge(dataValues(updateData(desc, data, subResult)),
                                      dataValues(updateData(desc, data, best)));
            if (method.autoAccuracy) {
                int good = 0;
                for (int f = method.accuracyFigures; f <= 6; ++f) good += va.counts[f];
                if (good * 100 < method.accuracyPercent * kNumComponents && method.failStop)
                    return Result<SolveOutcome>::fail("Subinterval " + std::to_string(sub + 1) +
                                                      " is not accurate enough for automatic accuracy.");
            }
            out.variableAccuracy.push_back(va);
            out.dataAccuracy.push_back(da);
        }
        for (int c = 0; c < kNumComponents; ++c) {
            out.result[c] += subResult[c];
            bestSum[c] += solutions.back()[c];
        }
        out.lastSolutions = solutions;
    }
    if (out.hasAccuracy) {
        // The overall judgement compares the whole extrapolated result with
        // the sum of the best single solutions over all subintervals.
        std::vector<double> e(out.result.begin(), out.result.begin() + kNumComponents),
            b(bestSum.begin(), bestSum.begin() + kNumComponents);
        out.overallVariables = judge(e, b);
        out.overallData = judge(dataValues(updateData(desc, data, out.result)),
                                dataValues(updateData(desc, data, bestSum)));
    }
    return out;
}

}  // namespace vdln::suite
