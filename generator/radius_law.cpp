#include "radius_law.h"

#include <algorithm>
#include <cmath>

namespace brisolt {
namespace {

// The cuts of the sampler's tables: the normal at |G| = 8, the exponential at 40.
constexpr double kNormalCut = 8.0;
constexpr double kExponentialCut = 40.0;

// The values that truncate to a radius in first .. last: from -1 (open) for 0, else from
// first, up to last + 1 (open). Which ends are open matters only for a law with all its mass
// in one point, handled apart.
struct Values {
    double low;
    double high;
    uint32_t first;
    uint32_t last;
};

Values values_of(uint32_t first, uint32_t last) {
    return {first == 0 ? -1.0 : static_cast<double>(first), last + 1.0, first, last};
}

// As the sampler keeps a draw: trunc(v) in first .. last, with (-1, 0) truncating to 0.
bool truncates_into(double value, Values v) {
    const double t = std::trunc(value);
    return t >= 0.0 && t >= v.first && t <= v.last;
}

// P(a < G < b) for G standard normal cut to [-8, 8], each tail taken through erfc on its own
// side of 0 so that small masses keep their digits.
double cut_normal_mass(double a, double b) {
    a = std::clamp(a, -kNormalCut, kNormalCut);
    b = std::clamp(b, -kNormalCut, kNormalCut);
    if (!(a < b)) {
        return 0.0;
    }
    const double s = 1.0 / std::sqrt(2.0);
    double mass;
    if (a >= 0.0) {
        mass = 0.5 * (std::erfc(a * s) - std::erfc(b * s));
    } else if (b <= 0.0) {
        mass = 0.5 * (std::erfc(-b * s) - std::erfc(-a * s));
    } else {
        mass = 1.0 - 0.5 * (std::erfc(-a * s) + std::erfc(b * s));
    }
    return mass / (1.0 - std::erfc(kNormalCut * s));
}

// P(a <= E < b) for E exponential of mean 1 cut to [0, 40].
double cut_exponential_mass(double a, double b) {
    a = std::max(a, 0.0);
    b = std::min(b, kExponentialCut);
    if (!(a < b)) {
        return 0.0;
    }
    return std::exp(-a) * -std::expm1(-(b - a)) / -std::expm1(-kExponentialCut);
}

double uniform_mass(double p1, double p2, Values v) {
    const double low = std::min(p1, p2);
    const double high = std::max(p1, p2);
    if (low == high) {
        return truncates_into(low, v) ? 1.0 : 0.0;
    }
    const double overlap = std::min(v.high, high) - std::max(v.low, low);
    return overlap > 0.0 ? overlap / (high - low) : 0.0;
}

// exp(G sigma + mu) lies in [low, high) when G sigma lies in [ln low - mu, ln high - mu).
double log_normal_mass(double mu, double sigma, Values v) {
    if (sigma == 0.0) {
        return truncates_into(std::exp(mu), v) ? 1.0 : 0.0;
    }
    // The values are positive: ln of a bound at or below 0 is -inf.
    const double a = (std::log(std::max(v.low, 0.0)) - mu) / sigma;
    const double b = (std::log(v.high) - mu) / sigma;
    return sigma > 0.0 ? cut_normal_mass(a, b) : cut_normal_mass(b, a);
}

double exponential_mass(double mu, Values v) {
    if (mu == 0.0) {
        return truncates_into(0.0, v) ? 1.0 : 0.0;
    }
    const double a = v.low / mu;
    const double b = v.high / mu;
    return mu > 0.0 ? cut_exponential_mass(a, b) : cut_exponential_mass(b, a);
}

// The chance that one value of the law, before truncation, gives a radius in v.
double value_mass(const formats::ModelParameters& p, Values v) {
    if (p.distribution == "Uniform") {
        return uniform_mass(p.parameter1, p.parameter2, v);
    }
    if (p.distribution == "LogNormal") {
        return log_normal_mass(p.parameter1, p.parameter2, v);
    }
    if (p.distribution == "Exponential") {
        return exponential_mass(p.parameter1, v);
    }
    return v.first <= p.max_radius && p.max_radius <= v.last ? 1.0 : 0.0;
}

}  // namespace

double radius_value_mass(const formats::ModelParameters& p, uint32_t j) {
    return value_mass(p, values_of(j, j));
}

double radius_acceptance(const formats::ModelParameters& p) {
    return value_mass(p, values_of(0, p.max_radius));
}

std::vector<double> radius_law(const formats::ModelParameters& p) {
    std::vector<double> law(size_t{p.max_radius} + 1);
    double total = 0.0;
    for (uint32_t j = 0; j <= p.max_radius; ++j) {
        law[j] = radius_value_mass(p, j);
        total += law[j];
    }
    if (total > 0.0) {
        for (double& probability : law) {
            probability /= total;
        }
    }
    return law;
}

}  // namespace brisolt
