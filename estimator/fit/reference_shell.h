// Correction values: the radius by which a Euclidean ball of radius 450 must grow to gain
// the volume that the digital ball of radius 450 gains when dilated by a discretized ball.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "driver/verbose_log.h"
#include "fit/matrix.h"
#include "formats/balls_file.h"

namespace talvik {

// The reference grid: a cube of `size` voxels a side, the digital ball R of the voxels p with
// |p - c|^2 <= radius^2 around c = (centre, centre, centre), and its outer layer of the
// voxels with (radius - 1)^2 <= |p - c|^2 <= radius^2. Counts are taken over the window
// [5, size - 5) on every axis. The estimator uses the defaults.
struct ReferenceGeometry {
    int32_t size = 1000;
    int32_t centre = 500;
    int32_t radius = 450;
};

// The number of voxels in the window that the ball, stamped at every voxel of the layer,
// sets outside R: the count of Re - R, computed per (x, y) column of the grid.
uint64_t reference_shell_count(const formats::DiscretizedBall& ball,
                               const ReferenceGeometry& geometry, unsigned threads);

// The count of Re - R on the standard grid for a ball.
using ReferenceShellCount = std::function<uint64_t(const formats::DiscretizedBall&)>;

// reference_shell_count on the standard grid with `threads` threads.
ReferenceShellCount standard_reference_shell_count(unsigned threads);

// de from the count c of Re - R on the standard grid.
double de_from_count(uint64_t count);

// Fills in every missing de from `count`, writing the verbose lines, and scales each ball's
// column of M by the powers of its de.
void compute_de(std::vector<formats::DiscretizedBall>& balls, Matrix& m, const VerboseLog& log,
                const ReferenceShellCount& count);

}  // namespace talvik
