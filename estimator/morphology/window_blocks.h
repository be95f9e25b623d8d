// The measuring window cut into blocks, for standard errors by a delete-one block jackknife.
// Shell counts and window voxels add up over disjoint blocks, so one pass that counts per
// block gives the counts of the window with any block left out.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace talvik {

class WindowBlocks {
  public:
    // One block: the whole window of a w x h x s volume.
    static WindowBlocks whole(int32_t width, int32_t height, int32_t slices);

    // Up to `per_axis` blocks along each axis, none shorter than `shortest` voxels, of
    // lengths that differ by at most one.
    static WindowBlocks split(int32_t width, int32_t height, int32_t slices, int32_t per_axis,
                              int32_t shortest);

    size_t count() const { return along(0) * along(1) * along(2); }
    // Blocks along axis 0 (x), 1 (y) or 2 (z).
    size_t along(int axis) const { return edges_[static_cast<size_t>(axis)].size() - 1; }
    // The block's coordinates along an axis are [edge(axis, i), edge(axis, i + 1)).
    int32_t edge(int axis, size_t i) const { return edges_[static_cast<size_t>(axis)][i]; }
    // The index along an axis of the block that holds window coordinate c.
    size_t block_along(int axis, int32_t c) const;
    // Blocks are numbered x fastest, then y, then z.
    size_t index(size_t bx, size_t by, size_t bz) const {
        return (bz * along(1) + by) * along(0) + bx;
    }
    size_t block_of(int32_t x, int32_t y, int32_t z) const {
        return index(block_along(0, x), block_along(1, y), block_along(2, z));
    }
    int64_t voxels(size_t block) const;

  private:
    std::array<std::vector<int32_t>, 3> edges_;
};

// The words of a row that hold the voxels of one block along x, first .. last, with the masks
// (one per word of the row) that keep only those voxels.
struct RowSpan {
    size_t first = 0;
    size_t last = 0;
    std::vector<uint64_t> mask;
};

// One span per block along x, in order, for rows of `words_per_row` words.
std::vector<RowSpan> row_spans(const WindowBlocks& blocks, size_t words_per_row);

// The window count adds half the tie counter, rounded down. Per block that half is shared so
// that the shares add up to exactly the whole: block b gets floor(T_b / 2) - floor(T_b-1 / 2)
// of the running sums T_b of the ties made by voxels of blocks 0 .. b.
std::vector<uint64_t> half_tie_shares(const std::vector<uint32_t>& ties_per_block);

}  // namespace talvik
