#include "estimator_output.h"

#include <algorithm>
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

}  // namespace

EstimatorOutput ParseEstimatorOutput(std::string_view text) {
    EstimatorOutput output;
    const std::vector<std::string_view> lines = formats::split_lines(text);
    const std::string fatal_prefix = std::string(kEstimatorName) + ": ";
    constexpr std::string_view kLabels[3] = {"V2: ", "V1: ", "V0: "};
    std::array<bool, 3> found{};
    for (const std::string_view line : lines) {
        for (size_t k = 0; k < 3; ++k) {
            if (!found[k] && line.starts_with(kLabels[k])) {
                output.values[k] = trim_blanks(line.substr(kLabels[k].size()));
                found[k] = true;
            }
        }
        if (output.error_line.empty() &&
            (line.starts_with(fatal_prefix) || line.starts_with("Usage: "))) {
            output.error_line = line;
        }
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
