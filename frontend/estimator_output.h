// What one estimator run printed, read back from the text that the runner relayed: the three
// results as printed, with /a their standard errors and the range of balls used, the warnings,
// the first error line, and in verbose mode the points of the fit.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quenbar {

// One shell d of the fit: its ball's correction value de and its measured volume fraction V(d).
struct FitPoint {
    double de = 0.0;
    double fraction = 0.0;
};

// "Balls used: 1..k of n": the fit took balls 1 to `used` of the file's `count`.
struct BallsUsed {
    int used = 0;
    int count = 0;
};

struct EstimatorOutput {
    bool has_values = false;
    std::array<std::string, 3> values;  // V2, V1, V0 as printed, without the blanks before them
    // With /a: SE(V2), SE(V1), SE(V0) as printed, and the range of balls.
    std::optional<std::array<std::string, 3>> standard_errors;
    std::optional<BallsUsed> balls_used;
    // The text of every "talvik: warning: <text>" line; a warning is no failure.
    std::vector<std::string> warnings;
    std::string error_line;        // the first line of a formats::fatal message or the usage text
    std::vector<FitPoint> points;  // from the verbose matrices V and M; empty when quiet
};

// Reads the merged output of one run. The points come from "matrix V:", the volume fractions,
// and "matrix M:", whose first row holds 2 de of every ball, both printed with 16 decimals.
EstimatorOutput ParseEstimatorOutput(std::string_view text);

}  // namespace quenbar
