#pragma once
// The demonstration model "growthre" computed here from its equations, one
// year at a time, with the 4-byte stores of its files (data and RORG kept as
// floats, everything else in double): what the tests of the iterations
// expect of the real programs.
#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

namespace vdln::growthre_model {

// ---------------------------------------------------------------------------
// The model "growthre", one year at a time, with the 4-byte stores of its
// files: data and RORG are kept as floats, everything else in double.

constexpr int kYears = 6;
const double kG[kYears] = {3.0, 2.8, 2.6, 2.4, 2.2, 2.0};
const double kAlph = 0.3f, kDepr = 0.05f, kBeta = 1.0f;
const double kRnrm[3] = {0.025f, 0.05f, 0.075f};

using Rorg = std::array<std::array<float, kYears + 1>, 3>;  // [industry][year column 1..6]
struct Data {
    std::array<float, 3> caps{400, 900, 1200}, invs{30, 90, 110}, outp{100, 300, 500};
};
struct Year {
    std::array<double, 3> x{}, k{}, inv{}, a{}, dfDiseq{}, dErorO{};
};

struct Pass {
    Rorg rorg{};  // after the last year
    Rorg rorgAfterFirst{};
    Data dataAfterFirst;
    std::array<Year, kYears + 1> years{};
};

// A pass over years first..6: `base` closure (x given) or the policy one
// (a given, from `aBase`, with tax shocks `t`).
using PerYear = std::array<std::array<float, 3>, kYears + 1>;

// In the policy closure technology and the expectation reports are given:
// `aBase` and `eBase` are the Base's values (4-byte, as the BOT files hold them).
inline Pass runPass(Data d, Rorg rorg, int first, int itno, bool base, const PerYear& aBase,
                    const PerYear& eBase, int taxFrom, int taxTo) {
    Pass p;
    for (int y = first; y <= kYears; ++y) {
        Year& o = p.years[static_cast<size_t>(y)];
        for (int i = 0; i < 3; ++i) {
            const double rnow = kAlph * d.outp[i] / d.caps[i] - kDepr;
            const double expr = (itno >= 2 && y < kYears) ? rorg[i][static_cast<size_t>(y + 1)] : rnow;
            o.k[i] = 100 * (static_cast<double>(d.invs[i]) / d.caps[i] - kDepr);
            const double t = (i == 1 && y >= taxFrom && y <= taxTo) ? 10.0 : 0.0;
            o.x[i] = base ? kG[y - 1]
                          : aBase[static_cast<size_t>(y)][i] + kAlph * o.k[i] + (1 - kAlph) * 1.0 - 0.5 * t;
            o.a[i] = o.x[i] - kAlph * o.k[i] - (1 - kAlph) * 1.0 + 0.5 * t;
            o.dfDiseq[i] = 100 * kBeta * (expr / kRnrm[i] - 1);
            o.dErorO[i] = base ? 100 * (expr - kRnrm[i]) : eBase[static_cast<size_t>(y)][i];
            o.inv[i] = o.x[i] + o.dfDiseq[i];
            d.outp[i] = static_cast<float>(d.outp[i] * (1 + o.x[i] / 100));
            d.caps[i] = static_cast<float>(d.caps[i] * (1 + o.k[i] / 100));
            d.invs[i] = static_cast<float>(d.invs[i] * (1 + o.inv[i] / 100));
            rorg[i][static_cast<size_t>(y)] = static_cast<float>(kAlph * d.outp[i] / d.caps[i] - kDepr);
        }
        if (y == first) {
            p.rorgAfterFirst = rorg;
            p.dataAfterFirst = d;
        }
    }
    p.rorg = rorg;
    return p;
}

// The whole demo: NB Base passes, NR Rerun passes, NP Policy passes.
struct Demo {
    std::vector<Pass> base, rerun, policy;
    Demo(int nb, int nr, int np, int fpy = 2) {
        PerYear none{};
        Rorg rorg{};  // zeroed before the first Base pass
        for (int p = 1; p <= nb; ++p) {
            base.push_back(runPass(Data{}, rorg, 1, p, true, none, none, 0, 0));
            rorg = base.back().rorg;
        }
        // The Base's technology as the BOT files give it (4-byte).
        PerYear a{}, e{};
        for (int y = 1; y <= kYears; ++y)
            for (int i = 0; i < 3; ++i) {
                a[static_cast<size_t>(y)][i] =
                    static_cast<float>(base.back().years[static_cast<size_t>(y)].a[i]);
                e[static_cast<size_t>(y)][i] =
                    static_cast<float>(base.back().years[static_cast<size_t>(y)].dErorO[i]);
            }
        // Runs 2 and 3 start from the Base's data and ROREXT of the year before
        // their first year (the last Base pass's).
        const Pass& last = base.back();
        auto startRorg = [&] { return fpy == 1 ? base[base.size() - 2].rorg : last.rorgAfterFirst; };
        const Data startData = fpy == 1 ? Data{} : last.dataAfterFirst;
        Rorg rr = startRorg();
        for (int p = 1; p <= nr; ++p) {
            rerun.push_back(runPass(startData, rr, fpy, nb + p, false, a, e, 0, 0));
            rr = rerun.back().rorg;
        }
        // With several rerun iterations the policy starts from the rerun's
        // start copy of its last iteration.
        Rorg pr = nr > 1 ? rerun[static_cast<size_t>(nr - 2)].rorg : startRorg();
        for (int p = 1; p <= np; ++p) {
            policy.push_back(runPass(startData, pr, fpy, nb + nr + p, false, a, e, 2, 3));
            pr = policy.back().rorg;
        }
    }
};

// The report's counts over the last three passes, years first..6.
struct Counts {
    int pairs = 0, notConverging = 0, notMonotonic = 0, above[3] = {0, 0, 0};
    double largest = 0;
};
inline Counts countsOf(const std::vector<Pass>& passes, int first) {
    Counts c;
    const size_t n = passes.size();
    for (int y = first; y <= kYears; ++y)
        for (int i = 0; i < 3; ++i) {
            const double A = passes[n - 3].rorg[i][static_cast<size_t>(y)],
                         B = passes[n - 2].rorg[i][static_cast<size_t>(y)],
                         C = passes[n - 1].rorg[i][static_cast<size_t>(y)];
            const double ab = std::fabs(B - A), bc = std::fabs(C - B);
            ++c.pairs;
            const bool tiny = ab <= 1e-5 && bc <= 1e-5;
            if (!(tiny || bc < ab)) ++c.notConverging;
            if (!(tiny || (A <= B && B <= C) || (A >= B && B >= C))) ++c.notMonotonic;
            c.largest = std::max(c.largest, bc);
            c.above[0] += bc > 0.001;
            c.above[1] += bc > 0.0005;
            c.above[2] += bc > 0.0001;
        }
    return c;
}

}  // namespace vdln::growthre_model
