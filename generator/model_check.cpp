#include "model_check.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace brisolt {
namespace {

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
