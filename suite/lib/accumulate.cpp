#include "accumulate.h"

#include <cmath>

namespace vdln::suite {

double accumulate(double cumulative, double yearOnYear) {
    return 100 * ((1 + cumulative / 100) * (1 + yearOnYear / 100) - 1);
}

std::optional<double> deviation(double policy, double comparison) {
    const double base = 1 + comparison / 100;
    if (base == 0) return std::nullopt;
    const double d = 100 * ((1 + policy / 100) / base - 1);
    if (!std::isfinite(d)) return std::nullopt;
    return d;
}

}  // namespace vdln::suite
