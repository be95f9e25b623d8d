#include "model_check.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace brisolt {
namespace {

// Kept radii come from values v with -1 < v < R + 1.
bool kept(double value, double max_radius) {
    return value > -1.0 && value < max_radius + 1.0;
}

double uniform_acceptance(double p1, double p2, double max_radius) {
    const double low = std::min(p1, p2);
    const double high = std::max(p1, p2);
    if (low == high) {
        return kept(low, max_radius) ? 1.0 : 0.0;
    }
    const double overlap = std::min(high, max_radius + 1.0) - std::max(low, -1.0);
    return overlap > 0.0 ? overlap / (high - low) : 0.0;
}

// exp(G sigma + mu) with G standard normal, cut at |G| = 8 like the sampler.
double log_normal_acceptance(double mu, double sigma, double max_radius) {
    const double limit = std::log(max_radius + 1.0);
    if (sigma == 0.0) {
        return mu < limit ? 1.0 : 0.0;
    }
    const double z = (limit - mu) / std::fabs(sigma);
    if (z <= -8.0) {
        return 0.0;
    }
    return z >= 8.0 ? 1.0 : 0.5 * std::erfc(-z / std::sqrt(2.0));
}

// E mu with E exponential of mean 1, cut at 40 like the sampler.
double exponential_acceptance(double mu, double max_radius) {
    if (mu == 0.0) {
        return 1.0;
    }
    const double bound = mu > 0.0 ? (max_radius + 1.0) / mu : 1.0 / -mu;
    return bound >= 40.0 ? 1.0 : -std::expm1(-bound);
}

// Every message here holds numbers and fixed words only, so it fits this buffer.
using MessageBuffer = char[512];

std::string law_description(const ModelParameters& p) {
    MessageBuffer text;
    if (p.distribution == "Uniform") {
        std::snprintf(text, sizeof text, "the Uniform law from %g to %g", p.parameter1,
                      p.parameter2);
    } else if (p.distribution == "LogNormal") {
        std::snprintf(text, sizeof text, "the LogNormal law with mu %g and sigma %g", p.parameter1,
                      p.parameter2);
    } else {
        std::snprintf(text, sizeof text, "the Exponential law with mu %g", p.parameter1);
    }
    return text;
}

}  // namespace

double radius_acceptance(const ModelParameters& p) {
    const double max_radius = p.max_radius;
    if (p.distribution == "Uniform") {
        return uniform_acceptance(p.parameter1, p.parameter2, max_radius);
    }
    if (p.distribution == "LogNormal") {
        return log_normal_acceptance(p.parameter1, p.parameter2, max_radius);
    }
    if (p.distribution == "Exponential") {
        return exponential_acceptance(p.parameter1, max_radius);
    }
    return 1.0;
}

std::string model_problem(const ModelParameters& p) {
    MessageBuffer text;
    const struct {
        const char* field;
        uint32_t value;
    } sizes[] = {{"Max. x", p.max_x},
                 {"Max. y", p.max_y},
                 {"Max. z", p.max_z},
                 {"Radius Max", p.max_radius}};
    for (const auto& size : sizes) {
        if (size.value < 1 || size.value > 1000) {
            std::snprintf(text, sizeof text, "%s must be from 1 to 1000, not %u.", size.field,
                          size.value);
            return text;
        }
    }
    const struct {
        const char* field;
        double value;
    } numbers[] = {
        {"Lambda", p.lambda}, {"Parameter1", p.parameter1}, {"Parameter2", p.parameter2}};
    for (const auto& number : numbers) {
        if (!std::isfinite(number.value)) {
            std::snprintf(text, sizeof text, "%s must be a finite number, not %g.", number.field,
                          number.value);
            return text;
        }
    }
    if (p.lambda < 0.0) {
        std::snprintf(text, sizeof text,
                      "Lambda must not be negative (%g): it is the expected number of ball "
                      "centres per voxel.",
                      p.lambda);
        return text;
    }
    const double mu = ball_count_mean(p);
    if (mu > kMaxBallCountMean) {
        std::snprintf(text, sizeof text,
                      "The mean number of balls, %.6g, is too large: a data set holds at most "
                      "%.0f balls. Make Lambda or the box smaller.",
                      mu, kMaxBallCountMean);
        return text;
    }
    const double acceptance = radius_acceptance(p);
    if (acceptance <= 0.0) {
        std::snprintf(text, sizeof text, "No radius from 0 to %u (Max) can come from %s.",
                      p.max_radius, law_description(p).c_str());
        return text;
    }
    if (acceptance < kMinRadiusAcceptance) {
        std::snprintf(text, sizeof text,
                      "Only about one radius draw in %.3g from %s gives a radius from 0 to %u "
                      "(Max): choose parameters that fit the largest radius.",
                      1.0 / acceptance, law_description(p).c_str(), p.max_radius);
        return text;
    }
    return {};
}

}  // namespace brisolt
