// Image operations of the estimator on word volumes of one shape, and the edge-corrected
// count of a shell inside the measuring window.
#pragma once

#include <cstdint>
#include <vector>

#include "balls_file.h"
#include "word_volume.h"

namespace talvik {

// Voxels left out on every side of the measuring window.
inline constexpr int32_t kWindowMargin = 5;

void clear_volume(WordVolume& volume);

// Sets in `target` every voxel of `source` and every voxel of the ball stamped at each
// source voxel that is on the volume's border or has a clear face neighbour. Inner voxels
// stamp nothing. `target` is cleared by the caller.
void dilate(const WordVolume& source, WordVolume& target, const DiscretizedBall& ball,
            unsigned threads);

// Flips every voxel.
void complement(WordVolume& volume);

// Clears in `a` every voxel set in `b`.
void subtract(WordVolume& a, const WordVolume& b);

// Edge correction at the corners of the measuring window: removes the voxels of `shell`
// whose nearest voxels of `reference` lie outside the window. Returns the tie counter: the
// number of removed voxels whose nearest voxels lay on both sides (16 bits, as it counts).
uint16_t correct_edges(WordVolume& shell, const WordVolume& reference);

enum class Side { keep, remove };

// Looks for the voxels of `reference` nearest to (x, y, z) within the 11 x 11 x 11 cube
// around it; adds 1 to `ties` when they lie both inside and outside the window.
Side nearest_side(const WordVolume& reference, int32_t x, int32_t y, int32_t z, uint16_t& ties);

// Set voxels inside the measuring window, plus half the tie counter (rounded down).
uint64_t count_window(const WordVolume& volume, uint16_t ties);

// Voxels of the measuring window: (w - 10)(h - 10)(s - 10), in 64 bits.
int64_t window_size(int32_t width, int32_t height, int32_t slices);

// The dilation's view of a ball: for every (dy, dz) the set of dx with (dx, dy, dz) in the
// ball, which is symmetric in dx. Each distinct set is built once per source row, from a
// smaller set it contains where there is one.
struct BallRows {
    struct DxSet {
        std::vector<int32_t> offsets;  // the dx >= 0 of the set, ascending
        int32_t base = -1;             // an earlier set contained in this one, or -1
        std::vector<int32_t> added;    // offsets not in the base set
    };
    struct Line {
        int32_t dy = 0;
        int32_t dz = 0;
        int32_t set = 0;
    };
    int32_t reach = 0;  // n - 1
    std::vector<DxSet> sets;
    std::vector<Line> lines;  // non-empty sets only, ordered by dz, then dy
};

BallRows decompose_ball(const DiscretizedBall& ball);

}  // namespace talvik
