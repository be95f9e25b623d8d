// The Euler characteristic of a voxel set inside each block of the measuring window, for two
// adjacencies of its voxels, from the cells of the cubical grid.
//
// Each voxel p of the window owns the cells at its lower corner: itself, the three faces it
// shares with p - x, p - y and p - z, the three edges and the one vertex at that corner. So
// the counts of disjoint blocks add up, and every count needs the plane, row and voxel before
// the window's first, which the margin holds. A cell belongs to the set
//  - with 6-adjacency (the complement 26-adjacent) when every voxel around it is set:
//    chi = voxels - faces + edges - vertices, the complex whose vertices are the set voxels;
//  - with 26-adjacency (the complement 6-adjacent) when any voxel around it is set:
//    chi = vertices - edges + faces - voxels of the union of closed unit cubes.
// Either is a sum over the 2 x 2 x 2 configurations that end at each voxel, which is what
// makes it a few ANDs, ORs and popcounts per 64 voxels.
#pragma once

#include <cstdint>
#include <vector>

#include "formats/balls_file.h"
#include "formats/word_volume.h"
#include "morphology/window_blocks.h"

namespace talvik {

struct CellCounts {
    // Per block of the window, in WindowBlocks' order.
    std::vector<int64_t> voxels;   // set voxels
    std::vector<int64_t> euler6;   // Euler characteristic, the set 6-adjacent
    std::vector<int64_t> euler26;  // Euler characteristic, the set 26-adjacent

    // The same counts over every block but `left_out`; all() leaves none out.
    struct Sums {
        int64_t voxels = 0;
        int64_t euler6 = 0;
        int64_t euler26 = 0;
    };
    Sums without(size_t left_out) const;
    Sums all() const { return without(voxels.size()); }
};

// The cells of `volume` in each of `blocks`.
CellCounts count_cells(const formats::WordVolume& volume, const WindowBlocks& blocks,
                       unsigned threads);

// The cells of `x` dilated by `ball` (as dilate() makes it), made a few planes at a time:
// besides X it holds a few planes per thread, never a volume.
CellCounts count_dilated_cells(const formats::WordVolume& x, const formats::DiscretizedBall& ball,
                               const WindowBlocks& blocks, unsigned threads);

}  // namespace talvik
