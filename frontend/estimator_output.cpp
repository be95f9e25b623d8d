#include "estimator_output.h"

#include <algorithm>
#include <cstdint>
#include <string>

#include "formats/numbers.h"
#include "formats/text_lines.h"
#include "run_preparation.h"

namespace quenbar {
namespace {

std::string_view trim_blanks(std::string_view text) {
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// The numbers of one printed matrix row; false when a piece is not a number.
bool read_row(std::string_view line, std::vector<double>& row) {
    row.clear();
    double value = 0.0;
    for (size_t read; (read = formats::leading_number(line, value)) > 0;) {
        row.push_back(value);
        line.remove_prefix(read);
    }
    return trim_blanks(line).empty() && !row.empty();
}

// The rows of the matrix printed after the verbose label that ends with `label`: every line up
// to the empty line that ends a printed matrix.
std::vector<std::vector<double>> matrix_after(const std::vector<std::string_view>& lines,
                                              std::string_view label) {
    std::vector<std::vector<double>> rows;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (!lines[i].ends_with(label)) {
            continue;
        }
        std::vector<double> row;
        for (size_t j = i + 1; j < lines.size() && read_row(lines[j], row); ++j) {
            rows.push_back(row);
        }
        break;
    }
    return rows;
}

// "Balls used: 1..k of n", exactly so, with 1 <= k <= n.
std::optional<BallsUsed> read_balls_used(std::string_view rest) {
    constexpr std::string_view kFirst = "1..";
    constexpr std::string_view kOf = " of ";
    const size_t of = rest.find(kOf);
    if (!rest.starts_with(kFirst) || of == std::string_view::npos) {
        return std::nullopt;
    }
    uint32_t used = 0;
    uint32_t count = 0;
    if (!formats::parse_whole(rest.substr(kFirst.size(), of - kFirst.size()), used) ||
        !formats::parse_whole(rest.substr(of + kOf.size()), count) || used < 1 || used > count ||
        count > INT32_MAX) {
        return std::nullopt;
    }
    return BallsUsed{static_cast<int>(used), static_cast<int>(count)};
}

}  // namespace

EstimatorOutput ParseEstimatorOutput(std::string_view text) {
    EstimatorOutput output;
    const std::vector<std::string_view> lines = formats::split_lines(text);
    const std::string fatal_prefix = std::string(kEstimatorName) + ": ";
    const std::string warning_prefix = fatal_prefix + "warning: ";
    constexpr std::string_view kLabels[3] = {"V2: ", "V1: ", "V0: "};
    constexpr std::string_view kErrorLabels[3] = {"SE(V2): ", "SE(V1): ", "SE(V0): "};
    constexpr std::string_view kBallsUsed = "Balls used: ";
    std::array<bool, 3> found{};
    std::array<std::string, 3> errors;
    std::array<bool, 3> found_errors{};
    for (const std::string_view line : lines) {
        for (size_t k = 0; k < 3; ++k) {
            if (!found[k] && line.starts_with(kLabels[k])) {
                output.values[k] = trim_blanks(line.substr(kLabels[k].size()));
                found[k] = true;
            }
            double unused = 0.0;
            if (!found_errors[k] && line.starts_with(kErrorLabels[k]) &&
                formats::parse_number(trim_blanks(line.substr(kErrorLabels[k].size())), unused)) {
                errors[k] = trim_blanks(line.substr(kErrorLabels[k].size()));
                found_errors[k] = true;
            }
        }
        if (!output.balls_used && line.starts_with(kBallsUsed)) {
            output.balls_used = read_balls_used(line.substr(kBallsUsed.size()));
        }
        if (line.starts_with(warning_prefix)) {
            output.warnings.emplace_back(line.substr(warning_prefix.size()));
        } else if (output.error_line.empty() &&
                   (line.starts_with(fatal_prefix) || line.starts_with("Usage: "))) {
            output.error_line = line;
        }
    }
    if (found_errors[0] && found_errors[1] && found_errors[2]) {
        output.standard_errors = errors;
    }
    output.has_values = found[0] && found[1] && found[2];

    const auto v = matrix_after(lines, ": matrix V:");
    const auto m = matrix_after(lines, ": matrix M:");
    if (!v.empty() && m.size() == 3 && m[0].size() == v.size()) {
        for (size_t d = 0; d < v.size(); ++d) {
            if (v[d].size() != 1) {
                output.points.clear();
                break;
            }
            output.points.push_back({m[0][d] / 2.0, v[d][0]});
        }
    }
    return output;
}

}  // namespace quenbar
