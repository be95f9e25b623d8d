// The estimate of "/a" from what it measures in a window (or in the window less one block):
// V0 from the Euler characteristic of Xe counted on its voxels, V2 and V1 from the shells with
// V0 known.
//
// The shells alone determine V0 poorly: its term, (4/3) pi V0 de^3, is where the shells of
// grains no thicker than a ball depart from the polynomial first. The Euler characteristic of
// the digital Xe is biased in one known direction instead: adjacency joins grains across gaps
// narrower than a voxel, which the continuous Xe keeps apart, and each such join lowers it by
// one. 26-adjacency joins across wider gaps than 6-adjacency, so the two counts extrapolate to
// an adjacency that joins none: chi6 + w (chi6 - chi26). With V0 known the cubic term is no
// longer fitted, and a term in de^4 takes up the start of the flattening instead. The surface
// that the gaps hide from the digital Xe is put back into V2 (adaptive_volumes()).
#pragma once

#include <cstddef>
#include <limits>
#include <vector>

#include "driver/verbose_log.h"
#include "fit/steiner_fit.h"
#include "morphology/euler_count.h"
#include "morphology/window_blocks.h"
#include "shells/shell_counter.h"

namespace talvik {

struct WindowMeasures {
    std::vector<double> fractions;  // shell d's voxels over the window's, every ball
    double xe_fraction = 0.0;       // Xe's voxels over the window's
    double euler6 = 0.0;            // Euler characteristic of Xe per voxel, Xe 6-adjacent
    double euler26 = 0.0;           // the same, Xe 26-adjacent
};

inline constexpr size_t kWholeWindow = std::numeric_limits<size_t>::max();

// The measures of the window less block `left_out` (of none: kWholeWindow).
WindowMeasures window_measures(const ShellCounts& shells, const CellCounts& cells,
                               const WindowBlocks& blocks, size_t left_out = kWholeWindow);

// Joins across sub-voxel gaps per voxel, w (chi6 - chi26): what V0 of Xe lacks in chi6.
double gap_joins(const WindowMeasures& measures);

// V0 of Xe: chi6 + gap_joins().
double euler_v0(const WindowMeasures& measures);

// The fit with V0 known: E = diag(1, -1, 1); M of every ball 2 de, pi de^2 and de^4; V of every
// ball its shell fraction less (4/3) pi V0 de^3. solve() gives V2, V1 and the coefficient of
// de^4.
FitMatrices euler_fit_matrices(const WindowMeasures& measures, const std::vector<double>& de);

// V2, V1 and V0 from balls 1 .. balls_used; in verbose mode the fit's matrices and how each
// volume was obtained.
IntrinsicVolumes adaptive_volumes(const WindowMeasures& measures, const std::vector<double>& de,
                                  size_t balls_used, const VerboseLog& log);

}  // namespace talvik
