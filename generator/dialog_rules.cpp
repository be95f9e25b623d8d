#include "dialog_rules.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "formats/numbers.h"
#include "model_check.h"
#include "model_truth.h"

namespace brisolt {
namespace {

bool nonzero(double value) {
    return std::fabs(value) > 1e-6;
}

std::string trimmed(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

FieldRead refused(const std::string& name, const std::string& why) {
    return {false, name + ": " + why};
}

}  // namespace

FieldRead read_whole_field(const std::string& name, const std::string& text, uint32_t lowest,
                           uint32_t highest, uint32_t& value, uint32_t usable) {
    const std::string number = trimmed(text);
    if (number.empty()) {
        return refused(name, "the field is empty.");
    }
    int64_t whole = 0;
    if (!formats::parse_integer(number, whole)) {
        return refused(name, "\"" + text + "\" is not a whole number.");
    }
    FieldRead read{true, {}};
    if (whole < 0) {
        const uint32_t from = std::max(lowest, usable);
        read.problem = name + ": " + number + " is negative: give a whole number from " +
                       std::to_string(from) +
                       (highest == std::numeric_limits<uint32_t>::max()
                            ? " up."
                            : " to " + std::to_string(highest) + ".");
    } else if (whole > std::numeric_limits<uint32_t>::max()) {
        read.problem = name + ": " + number + " is above " + std::to_string(highest) + ".";
    } else {
        value = static_cast<uint32_t>(whole);
        if (value < lowest) {
            read.problem = name + ": " + number + " is below " + std::to_string(lowest) + ".";
        } else if (value > highest) {
            read.problem = name + ": " + number + " is above " + std::to_string(highest) + ".";
        }
    }
    return read;
}

FieldRead read_number_field(const std::string& name, const std::string& text, double& value) {
    const std::string number = trimmed(text);
    if (number.empty()) {
        return refused(name, "the field is empty.");
    }
    double read = 0.0;
    if (!formats::parse_number(number, read)) {
        std::string pointed = number;
        std::replace(pointed.begin(), pointed.end(), ',', '.');
        double unused = 0.0;
        if (pointed != number && formats::parse_number(pointed, unused)) {
            return refused(
                name, "\"" + text + "\" is not a number; decimals take a point: " + pointed + ".");
        }
        return refused(name, "\"" + text + "\" is not a number.");
    }
    value = read;
    return {true, {}};
}

FieldRead read_lambda_field(const std::string& text, double& value) {
    double lambda = value;
    FieldRead read = read_number_field("Lambda", text, lambda);
    if (read.ok() && lambda < 0.0) {
        read.problem = "Lambda: " + trimmed(text) + " is negative: it must be above 0.";
    }
    value = lambda;
    return read;
}

std::string expected_fill(const formats::ModelParameters& model) {
    if (!model_problem(model).empty()) {
        return {};
    }
    const double percent = 100.0 * model_truth(model).densities.v3;
    const std::string text = formats::fixed(percent, 1);
    if (text == "0.0" && percent > 0.0) {
        return "< 0.1 %";
    }
    if (text == "100.0" && percent < 100.0) {
        return "> 99.9 %";
    }
    return text + " %";
}

LawLabels law_labels(const std::string& law) {
    if (law == "LogNormal") {
        return {"Mu:", "Sigma:", true};
    }
    if (law == "Exponential") {
        return {"Mu:", "(none)", false};
    }
    return {"Lower Bound:", "Upper Bound:", true};
}

bool generate_allowed(const formats::ModelParameters& m, const std::string& output_directory) {
    if (m.max_x < 1 || m.max_y < 1 || m.max_z < 1 || m.max_radius < 1) {
        return false;
    }
    if (!(m.lambda * 1e16 > 1e-6) || output_directory.empty()) {
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
