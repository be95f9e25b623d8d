#include "model_check.h"
#include "formats/numbers.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace brisolt {
namespace {

// "%g" of printf.
std::string g(double value) {
    return formats::general(value, 6);
}

std::string law_description(const formats::ModelParameters& p) {
    if (p.distribution == "Uniform") {
        return "the Uniform law from " + g(p.parameter1) + " to " + g(p.parameter2);
    }
    if (p.distribution == "LogNormal") {
        return "the LogNormal law with mu " + g(p.parameter1) + " and sigma " + g(p.parameter2);
    }
    return "the Exponential law with mu " + g(p.parameter1);
}

}  // namespace

std::string model_problem(const formats::ModelParameters& p) {
    const struct {
        const char* field;
        uint32_t value;
    } sizes[] = {{"Max. x", p.max_x},
                 {"Max. y", p.max_y},
                 {"Max. z", p.max_z},
                 {"Radius Max", p.max_radius}};
    for (const auto& size : sizes) {
        if (size.value < 1 || size.value > 1000) {
            return std::string(size.field) + " must be from 1 to 1000, not " +
                   std::to_string(size.value) + ".";
        }
    }
    const struct {
        const char* field;
        double value;
    } numbers[] = {
        {"Lambda", p.lambda}, {"Parameter1", p.parameter1}, {"Parameter2", p.parameter2}};
    for (const auto& number : numbers) {
        if (!std::isfinite(number.value)) {
            return std::string(number.field) + " must be a finite number, not " + g(number.value) +
                   ".";
        }
    }
    if (p.lambda < 0.0) {
        return "Lambda must not be negative (" + g(p.lambda) +
               "): it is the expected number of ball centres per voxel.";
    }
    const double mu = ball_count_mean(p);
    if (mu > kMaxBallCountMean) {
        return "The mean number of balls, " + formats::general(mu, 6) +
               ", is too large: a data set holds at most " + formats::fixed(kMaxBallCountMean, 0) +
               " balls. Make Lambda or the box smaller.";
    }
    const double acceptance = radius_acceptance(p);
    if (acceptance <= 0.0) {
        return "No radius from 0 to " + std::to_string(p.max_radius) + " (Max) can come from " +
               law_description(p) + ".";
    }
    if (acceptance < kMinRadiusAcceptance) {
        return "Only about one radius draw in " + formats::general(1.0 / acceptance, 3) + " from " +
               law_description(p) + " gives a radius from 0 to " + std::to_string(p.max_radius) +
               " (Max): choose parameters that fit the largest radius.";
    }
    return {};
}

}  // namespace brisolt
