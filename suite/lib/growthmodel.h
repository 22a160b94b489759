#pragma once
/// The "growth" model: three industries, five percentage-change variables
/// and six linear equations whose coefficients come from the year's data.
///
///     E1(i): x(i) = a(i) + ALPH*k(i) + (1 - ALPH)*l(i) - 0.5*t(i)
///     E2(i): k(i) = 100*(INVS(i)/CAPS(i) - DEPR)
///
/// A closure makes 9 of the 15 components exogenous; the other 6 are solved
/// for by dense elimination with partial pivoting.

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "base/result.h"

namespace vdln::suite {

inline constexpr int kNumInd = 3;
inline constexpr int kNumVars = 5;
inline constexpr int kNumComponents = kNumVars * kNumInd;
inline constexpr int kNumEquations = 2 * kNumInd;
inline constexpr int kNumExogenous = kNumComponents - kNumEquations;

/// The industries, in set order.
inline const std::array<std::string, kNumInd> kIndustries{"AGR", "MAN", "SER"};
/// The variables' names, in model order (x, a, k, l, t).
inline const std::array<std::string, kNumVars> kVarNames{"x", "a", "k", "l", "t"};
/// The variables' descriptions.
inline const std::array<std::string, kNumVars> kVarDescriptions{
    "Output", "Technology", "Capital", "Employment", "Power of a tax"};

/// The 40-character stamp that ties the model program to its auxiliary and
/// Model Information files.
inline constexpr std::string_view kGrowthModelStamp = "GROWTH model made 2026-12-01 at 12:00:00";

/// Index of a variable (case-insensitive), -1 when unknown.
int variableIndex(std::string_view name);
/// Index of an industry (case-insensitive), -1 when unknown.
int industryIndex(std::string_view name);
/// Component number of variable v, industry i.
inline int componentOf(int v, int i) { return v * kNumInd + i; }
/// "x(AGR)".
std::string componentName(int component);

using Components = std::array<double, kNumComponents>;
using Flags = std::array<bool, kNumComponents>;

/// The data one year's solve reads.
struct GrowthData {
    std::array<double, kNumInd> CAPS{}, INVS{}, OUTP{}, LABR{};
    double ALPH = 0;
    double DEPR = 0;
};

/// The data after a solution: the four flows grow with their variables.
GrowthData updateData(const GrowthData& data, const Components& solution);

/// Checks a closure: exactly 9 exogenous components and a nonsingular
/// system for the 6 endogenous ones.  The message names what is wrong.
Status checkClosure(const Flags& exogenous, const GrowthData& data);

/// Solves the linear system for the given exogenous values, with the
/// constant terms of E2 scaled by `constantShare` (1 for a whole solve, a
/// fraction for one step of a multi-step solve).  Exogenous components keep
/// their given values.
Result<Components> solveLinear(const Flags& exogenous, const Components& shocks, const GrowthData& data,
                               double constantShare = 1.0);

/// The solution method of a command file.
struct MethodSpec {
    int method = 1;  ///< 1 Johansen, 2 Euler, 3 Gragg, 4 Midpoint
    std::vector<int> steps{1};
    int subintervals = 1;
    bool autoAccuracy = false;
    int accuracyFigures = 4;
    int accuracyPercent = 80;
    bool failStop = true;
};

/// Accuracy of one part (variables or data): counts[f] = number of results
/// accurate to f figures.
struct AccuracyCounts {
    std::array<int, 7> counts{};
};

/// Everything one multi-step solve produced.
struct SolveOutcome {
    Components result{};                      ///< the (extrapolated) solution
    std::vector<Components> lastSolutions;    ///< the separate solutions of the last subinterval
    std::vector<AccuracyCounts> variableAccuracy;  ///< per subinterval (three-solution methods)
    std::vector<AccuracyCounts> dataAccuracy;      ///< per subinterval
    AccuracyCounts overallVariables, overallData;
    bool hasAccuracy = false;                 ///< three solutions were extrapolated
};

/// Number of significant figures (0..6) to which two values agree.
int agreeingFigures(double a, double b);

/// Solves with the method: each subinterval takes its share of the shocks;
/// each of the method's solutions splits it into its number of steps; with
/// several solutions the results are extrapolated (in 1/n for Euler, 1/n^2
/// for Gragg and Midpoint).  With three solutions the accuracy of every
/// variable and updated-data value is judged from the agreement of the
/// extrapolated result with the most accurate single solution.
Result<SolveOutcome> solveWithMethod(const Flags& exogenous, const Components& shocks, const GrowthData& data,
                                     const MethodSpec& method);

/// The updated data values in a fixed order (CAPS, INVS, OUTP, LABR).
std::vector<double> dataValues(const GrowthData& data);

}  // namespace vdln::suite
