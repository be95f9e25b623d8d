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

// The same dilation one plane at a time, without a target volume: plane z is made from the
// source planes within the ball's reach, whose boundary rows are x-dilated once and kept in a
// ring of 2 (n - 1) + 1 source planes, each with one plane of rows per x-profile of the ball.
// Planes asked for in ascending z reuse every source plane they share.
class PlaneDilation {
  public:
    PlaneDilation(const formats::WordVolume& source, const formats::DiscretizedBall& ball);

    // Plane z of the dilation into `out` (words_per_plane() words).
    void plane(int32_t z, uint64_t* out);

  private:
    const formats::WordVolume& source_;
    BallRows ball_;
    size_t slot_words_;
    std::vector<int32_t> held_;               // the source plane in each slot, or -1
    std::vector<std::vector<int32_t>> runs_;  // per slot, its rows with boundary voxels
    std::vector<uint64_t> dilated_;           // per slot, its x-dilated boundary rows
    std::vector<uint64_t> boundary_;          // the boundary rows of one source plane
};

}  // namespace talvik
