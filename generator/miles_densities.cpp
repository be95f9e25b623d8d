#include "miles_densities.h"

#include <cmath>
#include <numbers>

namespace brisolt {

MeanGrain mean_grain(const std::vector<double>& law, double epsilon) {
    constexpr double pi = std::numbers::pi;
    MeanGrain grain;
    for (size_t j = 0; j < law.size(); ++j) {
        const double rho = static_cast<double>(j) + epsilon;
        grain.vbar += law[j] * (4.0 / 3.0 * pi * rho * rho * rho);
        grain.sbar += law[j] * (4.0 * pi * rho * rho);
        grain.mbar += law[j] * (4.0 * pi * rho);
    }
    return grain;
}

IntrinsicDensities miles_densities(double lambda, const MeanGrain& g) {
    constexpr double pi = std::numbers::pi;
    // The chance that a point lies outside every grain.
    const double empty = std::exp(-lambda * g.vbar);
    IntrinsicDensities d;
    d.v3 = -std::expm1(-lambda * g.vbar);
    d.v2 = 0.5 * lambda * g.sbar * empty;
    d.v1 = (lambda * g.mbar - pi * pi / 32.0 * lambda * lambda * g.sbar * g.sbar) * empty / pi;
    d.v0 = (lambda - lambda * lambda * g.mbar * g.sbar / (4.0 * pi) +
            pi / 384.0 * lambda * lambda * lambda * g.sbar * g.sbar * g.sbar) *
           empty;
    return d;
}

}  // namespace brisolt
