// Standard errors by a delete-one block jackknife: the window is cut into blocks
// (morphology/window_blocks.h), the estimate is repeated with each block left out in turn,
// and the spread of those estimates gives the standard error of the estimate on the whole
// window.
#pragma once

#include <cstddef>
#include <functional>
#include <vector>

#include "fit/steiner_fit.h"

namespace talvik {

// sqrt((B - 1) / B * sum over b of (theta_b - mean)^2) for each of V2, V1 and V0, from the B
// estimates with one block left out; not a number for fewer than two.
IntrinsicVolumes jackknife_standard_errors(const std::vector<IntrinsicVolumes>& left_out_fits);

// The standard errors from `left_out_estimate(b)`, the estimate on the window less block b,
// for b = 0 .. blocks - 1.
IntrinsicVolumes block_jackknife(size_t blocks,
                                 const std::function<IntrinsicVolumes(size_t)>& left_out_estimate);

}  // namespace talvik
