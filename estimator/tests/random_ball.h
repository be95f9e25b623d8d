// Discretized balls with random column tables, for differential tests.
#pragma once

#include <cstdint>
#include <random>

#include "formats/balls_file.h"

namespace talvik::testing {

// A ball of size n whose other columns have random lengths, odd or even, negative or longer
// than the ball, about half of them empty: nothing monotone about it.
formats::DiscretizedBall random_ball(int32_t n, std::mt19937& engine);

}  // namespace talvik::testing
