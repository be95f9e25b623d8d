// Dilation of a word volume by a discretized ball, a 64-bit word at a time.
#pragma once

#include <cstdint>
#include <vector>

#include "formats/balls_file.h"
#include "formats/word_volume.h"

namespace talvik {

// Sets in `target` every voxel of `source` and every voxel of the ball stamped at each
// source voxel that is on the volume's border or has a clear face neighbour. Inner voxels
// stamp nothing. `target` is cleared by the caller.
void dilate(const formats::WordVolume& source, formats::WordVolume& target,
            const formats::DiscretizedBall& ball, unsigned threads);

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

BallRows decompose_ball(const formats::DiscretizedBall& ball);

}  // namespace talvik
