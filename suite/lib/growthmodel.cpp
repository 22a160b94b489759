#include "growthmodel.h"

#include <cmath>

#include "base/strutil.h"

namespace vdln::suite {

int variableIndex(std::string_view name) {
    for (int v = 0; v < kNumVars; ++v)
        if (iequals(name, kVarNames[v])) return v;
    return -1;
}

int industryIndex(std::string_view name) {
    for (int i = 0; i < kNumInd; ++i)
        if (iequals(name, kIndustries[i])) return i;
    return -1;
}

std::string componentName(int component) {
    return kVarNames[component / kNumInd] + "(" + kIndustries[component % kNumInd] + ")";
}

GrowthData updateData(const GrowthData& data, const Components& s) {
    GrowthData out = data;
    for (int i = 0; i < kNumInd; ++i) {
        const double x = s[componentOf(0, i)], k = s[componentOf(2, i)], l = s[componentOf(3, i)];
        out.OUTP[i] = data.OUTP[i] * (1 + x / 100);
        out.INVS[i] = data.INVS[i] * (1 + x / 100);
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

/// The coefficient matrix (equations x components) and the constant terms.
void buildSystem(const GrowthData& d, std::array<std::array<double, kNumComponents>, kNumEquations>& a,
                 std::array<double, kNumEquations>& b) {
    for (auto& row : a) row.fill(0);
    for (int i = 0; i < kNumInd; ++i) {
        auto& e1 = a[i];
        e1[componentOf(0, i)] = 1;
        e1[componentOf(1, i)] = -1;
        e1[componentOf(2, i)] = -d.ALPH;
        e1[componentOf(3, i)] = -(1 - d.ALPH);
        e1[componentOf(4, i)] = 0.5;
        b[i] = 0;
        a[kNumInd + i][componentOf(2, i)] = 1;
        b[kNumInd + i] = 100 * (d.INVS[i] / d.CAPS[i] - d.DEPR);
    }
}

std::string endogenousList(const Flags& exo) {
    std::string s;
    for (int c = 0; c < kNumComponents; ++c)
        if (!exo[c]) s += (s.empty() ? "" : " ") + componentName(c);
    return s;
}

bool dataUsable(const GrowthData& d) {
    for (int i = 0; i < kNumInd; ++i)
        if (!std::isfinite(d.CAPS[i]) || d.CAPS[i] == 0 || !std::isfinite(d.INVS[i])) return false;
    return std::isfinite(d.ALPH) && std::isfinite(d.DEPR);
}

}  // namespace

Status checkClosure(const Flags& exogenous, const GrowthData& data) {
    int nExo = 0;
    for (bool e : exogenous) nExo += e ? 1 : 0;
    if (nExo != kNumExogenous)
        return Status::fail("The closure has " + std::to_string(nExo) +
                            " exogenous components but the model needs exactly " + std::to_string(kNumExogenous) +
                            " (15 components, 6 equations).");
    Components zero{};
    auto solved = solveLinear(exogenous, zero, data);
    if (!solved) return solved.status();
    return Status::ok();
}

Result<Components> solveLinear(const Flags& exo, const Components& shocks, const GrowthData& data,
                               double constantShare) {
    if (!dataUsable(data))
        return Result<Components>::fail("The data cannot be used: CAPS must be non-zero and every value finite.");
    std::array<std::array<double, kNumComponents>, kNumEquations> a{};
    std::array<double, kNumEquations> b{};
    buildSystem(data, a, b);
    std::vector<int> endo;
    for (int c = 0; c < kNumComponents; ++c)
        if (!exo[c]) endo.push_back(c);
    if (static_cast<int>(endo.size()) != kNumEquations)
        return Result<Components>::fail("The closure leaves " + std::to_string(endo.size()) +
                                        " endogenous components but the model has 6 equations.");
    // Reduced system m * y = r for the endogenous components y.
    double m[kNumEquations][kNumEquations];
    double r[kNumEquations];
    double scale = 0;
    for (int e = 0; e < kNumEquations; ++e) {
        r[e] = b[e] * constantShare;
        for (int c = 0; c < kNumComponents; ++c)
            if (exo[c]) r[e] -= a[e][c] * shocks[c];
        for (int j = 0; j < kNumEquations; ++j) {
            m[e][j] = a[e][endo[j]];
            scale = std::max(scale, std::fabs(m[e][j]));
        }
    }
    const double tiny = 1e-12 * (scale > 0 ? scale : 1);
    for (int col = 0; col < kNumEquations; ++col) {
        int piv = col;
        for (int e = col + 1; e < kNumEquations; ++e)
            if (std::fabs(m[e][col]) > std::fabs(m[piv][col])) piv = e;
        if (std::fabs(m[piv][col]) <= tiny)
            return Result<Components>::fail("The closure is singular: the 6 equations cannot be solved for the "
                                            "endogenous components " +
                                            endogenousList(exo) + ".");
        if (piv != col) {
            for (int j = 0; j < kNumEquations; ++j) std::swap(m[piv][j], m[col][j]);
            std::swap(r[piv], r[col]);
        }
        for (int e = col + 1; e < kNumEquations; ++e) {
            const double f = m[e][col] / m[col][col];
            if (f == 0) continue;
            for (int j = col; j < kNumEquations; ++j) m[e][j] -= f * m[col][j];
            r[e] -= f * r[col];
        }
    }
    double y[kNumEquations];
    for (int e = kNumEquations - 1; e >= 0; --e) {
        double s = r[e];
        for (int j = e + 1; j < kNumEquations; ++j) s -= m[e][j] * y[j];
        y[e] = s / m[e][e];
    }
    Components out = shocks;
    for (int c = 0; c < kNumComponents; ++c)
        if (!exo[c]) out[c] = 0;
    for (int j = 0; j < kNumEquations; ++j) out[endo[j]] = y[j];
    for (double v : out)
        if (!std::isfinite(v)) return Result<Components>::fail("The solution is not finite (arithmetic overflow).");
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

Result<SolveOutcome> solveWithMethod(const Flags& exo, const Components& shocks, const GrowthData& data,
                                     const MethodSpec& method) {
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
        Components subShock;
        for (int c = 0; c < kNumComponents; ++c) subShock[c] = exo[c] ? shocks[c] / nsub : 0;
        std::vector<Components> solutions;
        for (int n : steps) {
            Components total{};
            Components stepShock;
            for (int c = 0; c < kNumComponents; ++c) stepShock[c] = subShock[c] / n;
            for (int s = 0; s < n; ++s) {
                auto r = solveLinear(exo, stepShock, current, 1.0 / (nsub * n));
                if (!r) return r.status();
                for (int c = 0; c < kNumComponents; ++c) total[c] += r.value()[c];
            }
            solutions.push_back(total);
        }
        Components subResult;
        if (solutions.size() == 1) {
            subResult = solutions[0];
        } else {
            std::vector<double> h;
            for (int n : steps) h.push_back(order == 2 ? 1.0 / (double(n) * n) : 1.0 / n);
            for (int c = 0; c < kNumComponents; ++c) {
                std::vector<double> s;
                for (const auto& sol : solutions) s.push_back(sol[c]);
                subResult[c] = extrapolate(h, s);
            }
        }
        if (solutions.size() == 3) {
            out.hasAccuracy = true;
            const Components& best = solutions.back();
            std::vector<double> e(subResult.begin(), subResult.end()), b(best.begin(), best.end());
            AccuracyCounts va = judge(e, b);
            // Data accuracy: the whole year's data updated by this subinterval's
            // share, from the extrapolated result and from the best solution.
            AccuracyCounts da = judge(dataValues(updateData(data, subResult)), dataValues(updateData(data, best)));
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
        std::vector<double> e(out.result.begin(), out.result.end()), b(bestSum.begin(), bestSum.end());
        out.overallVariables = judge(e, b);
        out.overallData = judge(dataValues(updateData(data, out.result)), dataValues(updateData(data, bestSum)));
    }
    return out;
}

}  // namespace vdln::suite
