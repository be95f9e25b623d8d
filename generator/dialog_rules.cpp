#include "dialog_rules.h"

#include <cmath>

namespace brisolt {
namespace {

bool nonzero(double value) {
    return std::fabs(value) > 1e-6;
}

}  // namespace

LawLabels law_labels(const std::string& law) {
    if (law == "LogNormal") {
        return {"Mu:", "Sigma:", true};
    }
    if (law == "Exponential") {
        return {"Mu:", "(none)", false};
    }
    return {"Lower Bound:", "Upper Bound:", true};
}

bool generate_allowed(const ModelParameters& m, const std::string& output_directory) {
    if (m.max_x < 1 || m.max_y < 1 || m.max_z < 1 || m.max_radius < 1) {
        return false;
    }
    if (!(std::fabs(m.lambda * 1e16) > 1e-6) || output_directory.empty()) {
        return false;
    }
    const double p1 = m.parameter1;
    const double p2 = m.parameter2;
    if (m.distribution == "Uniform") {
        return nonzero(p1) && nonzero(p2) && p2 - p1 > 1e-6;
    }
    if (m.distribution == "LogNormal") {
        return nonzero(p1) && nonzero(p2);
    }
    if (m.distribution == "Exponential") {
        return nonzero(p1);
    }
    return false;
}

}  // namespace brisolt
