// Digital Euclidean balls: the balls that are the set {q : |q|^2 <= t} of an integer t.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "formats/balls_file.h"

namespace talvik {

// The ball {q : |q|^2 <= t}: size floor(sqrt(t)) + 1, the column at (a, b) of length
// 2 floor(sqrt(t - a^2 - b^2)) + 1 where a^2 + b^2 <= t, else 0.
formats::DiscretizedBall threshold_ball(int64_t t);

// The smallest t whose set {q : |q|^2 <= t} has exactly the ball's members (through
// ball_contains, on its table and one voxel beyond), or nothing when no t does: the largest
// squared norm inside must lie below the smallest outside.
std::optional<int64_t> euclidean_threshold(const formats::DiscretizedBall& ball);

// The thresholds of every ball, or nothing when some ball has none.
std::optional<std::vector<int64_t>> euclidean_thresholds(
    const std::vector<formats::DiscretizedBall>& balls);

}  // namespace talvik
