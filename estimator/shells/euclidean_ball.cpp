#include "shells/euclidean_ball.h"

#include <algorithm>
#include <limits>

#include "formats/integer_sqrt.h"

namespace talvik {

formats::DiscretizedBall threshold_ball(int64_t t) {
    formats::DiscretizedBall ball;
    ball.size = static_cast<int32_t>(formats::floor_sqrt(t)) + 1;
    ball.lengths.resize(static_cast<size_t>(ball.size) * static_cast<size_t>(ball.size));
    for (int64_t a = 0; a < ball.size; ++a) {
        for (int64_t b = 0; b < ball.size; ++b) {
            const int64_t rest = t - a * a - b * b;
            ball.lengths[static_cast<size_t>(a * ball.size + b)] =
                rest >= 0 ? static_cast<int32_t>(2 * formats::floor_sqrt(rest) + 1) : 0;
        }
    }
    return ball;
}

std::optional<int64_t> euclidean_threshold(const formats::DiscretizedBall& ball) {
    // A column's members are |dz| <= its half length, so per column the largest squared norm
    // inside is at that half length and the smallest outside one voxel further. Columns at
    // |dx| = n or |dy| = n, just beyond the table, are empty.
    const int64_t n = ball.size;
    int64_t largest_inside = -1;
    int64_t smallest_outside = std::numeric_limits<int64_t>::max();
    for (int64_t b = 0; b <= n; ++b) {
        for (int64_t a = 0; a <= n; ++a) {
            const int64_t half =
                formats::column_half_length(ball, static_cast<int32_t>(a), static_cast<int32_t>(b));
            const int64_t base = a * a + b * b;
            if (half >= 0) {
                largest_inside = std::max(largest_inside, base + half * half);
            }
            smallest_outside = std::min(smallest_outside, base + (half + 1) * (half + 1));
        }
    }
    // The centre must be a member: the dilation always keeps the source voxel itself.
    if (largest_inside < 0 || largest_inside >= smallest_outside) {
        return std::nullopt;
    }
    return largest_inside;
}

std::optional<std::vector<int64_t>> euclidean_thresholds(
    const std::vector<formats::DiscretizedBall>& balls) {
    std::vector<int64_t> thresholds;
    for (const formats::DiscretizedBall& ball : balls) {
        const std::optional<int64_t> t = euclidean_threshold(ball);
        if (!t) {
            return std::nullopt;
        }
        thresholds.push_back(*t);
    }
    return thresholds;
}

}  // namespace talvik
