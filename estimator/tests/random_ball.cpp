#include "random_ball.h"

namespace talvik::testing {

formats::DiscretizedBall random_ball(int32_t n, std::mt19937& engine) {
    formats::DiscretizedBall ball;
    ball.size = n;
    ball.lengths.resize(static_cast<size_t>(n * n));
    // About half the columns are empty, so the ball has holes a stamp can reach across.
    std::uniform_int_distribution<int32_t> length(-2 * n - 3, 2 * n + 3);
    for (int32_t& v : ball.lengths) {
        v = length(engine);
    }
    ball.lengths[0] = 2 * n - 1;
    return ball;
}

}  // namespace talvik::testing
