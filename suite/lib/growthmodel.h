#pragma once
/// The demonstration models: three industries and linear equations whose
/// coefficients come from the year's data.
///
/// "growth" (five percentage-change variables, two equations per industry):
///
///     E1(i): x(i) = a(i) + ALPH*k(i) + (1 - ALPH)*l(i) - 0.5*t(i)
///     E2(i): k(i) = 100*(INVS(i)/CAPS(i) - DEPR)
///
/// "growthre" adds forward-looking investment (ten more variables, six more
/// equations per industry); EXPR is the expected rate of return, RNOW the
/// rate of return at the start of the year:
///
///     E3(i): inv(i) = x(i) + d_ff(i)
///     E4(i): d_ff(i) = d_f_diseq(i) + d_f(i)
///     E5(i): d_f_diseq(i) = 100*BETA*(EXPR(i)/RNRM(i) - 1)
///     E6(i): d_eror_o(i) = 100*(EXPR(i) - RNRM(i)) + d_f_eror_o(i)
///     E7(i): del_ror_se_o(i) = 100*(RNOW(i) - RNRM(i)) + d_f_ror_se_o(i)
///     E8(i): d_diseq(i) = 100*(EXPR(i) - RNOW(i)) + d_f_diseqre(i)
///
/// A closure makes (components - equations) components exogenous; the others
/// are solved for by dense elimination with partial pivoting.

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "base/result.h"

namespace vdln::suite {

inline constexpr int kNumInd = 3;
/// The most variables a model has (growthre's 15); arrays are sized for it.
inline constexpr int kMaxVars = 15;
inline constexpr int kMaxComponents = kMaxVars * kNumInd;

/// The industries, in set order.
inline const std::array<std::string, kNumInd> kIndustries{"AGR", "MAN", "SER"};

/// The 40-character stamps that tie each model program to its auxiliary and
/// Model Information files.
inline constexpr std::string_view kGrowthModelStamp = "GROWTH model made 2026-12-01 at 12:00:00";
inline constexpr std::string_view kGrowthReModelStamp = "GROWTHRE model made 2026-12-01 at 12:00h";

/// What distinguishes the two models.
struct ModelDescription {
    std::string name;                          ///< "growth" or "growthre"
    std::vector<std::string> varNames;         ///< in model order; header "0001" is the first
    std::vector<std::string> varDescriptions;  ///< text after "name " in headers
    std::string varTypes;                      ///< per variable: 'p' percentage change, 'c' ordinary change
    int equationsPerIndustry = 2;
    std::string_view stamp;
    bool forwardLooking = false;

    int numVars() const { return static_cast<int>(varNames.size()); }
    int numComponents() const { return numVars() * kNumInd; }
    int numEquations() const { return equationsPerIndustry * kNumInd; }
    int numExogenous() const { return numComponents() - numEquations(); }
    /// Index of a variable (case-insensitive), -1 when unknown.
    int variableIndex(std::string_view name) const;
    /// "x(AGR)".
    std::string componentName(int component) const;
};

const ModelDescription& growthModel();
const ModelDescription& growthReModel();
/// The model whose program file name (without folder and extension,
/// ignoring case) is `programName`: growthre for "growthre", else growth.
const ModelDescription& modelForProgram(std::string_view programPath);
/// The model with that many variables (5 growth, 15 growthre), or null.
const ModelDescription* modelByVariableCount(size_t count);
/// The model whose variable names are these (in order), or null.
const ModelDescription* modelByVariables(const std::vector<std::string>& names);

/// Index of an industry (case-insensitive), -1 when unknown.
int industryIndex(std::string_view name);
/// Component number of variable v, industry i.
inline int componentOf(int v, int i) {
    return v * kNumInd + i;
}

/// Index of the variables growthre's equations name (growth uses the first five).
enum GrowthVar {
    kX = 0,
    kA,
    kK,
    kL,
    kT,
    kInv,
    kDF,
    kDFF,
    kDFDiseq,
    kDFDiseqre,
    kDDiseq,
    kDErorO,
    kDFErorO,
    kDelRorSeO,
    kDFRorSeO
};

using Components = std::array<double, kMaxComponents>;
using Flags = std::array<bool, kMaxComponents>;

/// The data one year's solve reads.  growthre also reads BETA, RNRM and ADRE
/// and is given EXPR (computed from ROREXT, ITER and EXTRA).
struct GrowthData {
    std::array<double, kNumInd> CAPS{}, INVS{}, OUTP{}, LABR{};
    double ALPH = 0;
    double DEPR = 0;
    double BETA = 0;
    std::array<double, kNumInd> RNRM{}, ADRE{}, EXPR{};

    /// Rate of return at the start of the year: ALPH*OUTP/CAPS - DEPR.
    double RNOW(int i) const { return ALPH * OUTP[i] / CAPS[i] - DEPR; }
};

/// The data after a solution: output, capital and employment grow with
/// x, k and l; investment with x (growth) or inv (growthre).
GrowthData updateData(const ModelDescription& desc, const GrowthData& data, const Components& solution);

/// Checks a closure: exactly the model's number of exogenous components and
/// a nonsingular system for the endogenous ones.  The message names what is
/// wrong.
Status checkClosure(const ModelDescription& desc, const Flags& exogenous, const GrowthData& data);

/// Solves the linear system for the given exogenous values, with the
/// constant terms (E2, E5-E8) scaled by `constantShare` (1 for a whole solve,
/// a fraction for one step of a multi-step solve).  Exogenous components
/// keep their given values.
Result<Components> solveLinear(const ModelDescription& desc, const Flags& exogenous, const Components& shocks,
                               const GrowthData& data, double constantShare = 1.0);

/// The solution method of a command file.
struct MethodChoice {
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
    Components result{};                           ///< the (extrapolated) solution
    std::vector<Components> lastSolutions;         ///< the separate solutions of the last subinterval
    std::vector<AccuracyCounts> variableAccuracy;  ///< per subinterval (three-solution methods)
    std::vector<AccuracyCounts> dataAccuracy;      ///< per subinterval
    AccuracyCounts overallVariables, overallData;
    bool hasAccuracy = false;  ///< three solutions were extrapolated
};

/// Number of significant figures (0..6) to which two values agree.
int agreeingFigures(double a, double b);

/// Solves with the method: each subinterval takes its share of the shocks;
/// each of the method's solutions splits it into its number of steps; with
/// several solutions the results are extrapolated (in 1/n for Euler, 1/n^2
/// for Gragg and Midpoint).  With three solutions the accuracy of every
/// variable and updated-data value is judged from the agreement of the
/// extrapolated result with the most accurate single solution.
Result<SolveOutcome> solveWithMethod(const ModelDescription& desc, const Flags& exogenous,
                                     const Components& shocks, const GrowthData& data,
                                     const MethodChoice& method);

/// The updated data values in a fixed order (CAPS, INVS, OUTP, LABR).
std::vector<double> dataValues(const GrowthData& data);

}  // namespace vdln::suite
