// Standard errors of the fit by a delete-one block jackknife: the window is cut into blocks
// (morphology/window_blocks.h), the fit is repeated with each block left out in turn, and the
// spread of those fits gives the standard error of the fit on the whole window.
#pragma once

#include <vector>

#include "fit/steiner_fit.h"
#include "morphology/window_blocks.h"
#include "shells/shell_counter.h"

namespace talvik {

// The volume fractions of the first `balls` shells in the window less block `left_out`.
std::vector<double> fractions_without(const ShellCounts& counts, const WindowBlocks& blocks,
                                      size_t left_out, size_t balls);

// sqrt((B - 1) / B * sum over b of (theta_b - mean)^2) for each of V2, V1 and V0, from the B
// fits with one block left out; not a number for fewer than two.
IntrinsicVolumes jackknife_standard_errors(const std::vector<IntrinsicVolumes>& left_out_fits);

// The standard errors of the fit of `fit` (V ignored), from the shell counts of every block.
IntrinsicVolumes block_jackknife(const FitMatrices& fit, const ShellCounts& counts,
                                 const WindowBlocks& blocks);

}  // namespace talvik
