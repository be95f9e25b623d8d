// Edge correction at the corners of the measuring window: a shell voxel there is kept when
// its nearest voxels of the reference lie inside the window, dropped when they lie outside,
// and counted half (dropped, with a tie counted) when they lie on both sides.
#pragma once

#include <cstdint>
#include <vector>

#include "formats/word_volume.h"
#include "morphology/window_blocks.h"

namespace talvik {

// The nearest-side search looks at most this many voxels away along each axis.
inline constexpr int32_t kSearchReach = 5;

// Read access to those planes of a reference volume that a search around one voxel touches.
// Planes the caller did not give are never read: the search looks at most kSearchReach planes away.
class ReferencePlanes {
  public:
    // The planes given hold rows first_row and on (a band of rows of a plane).
    ReferencePlanes(int32_t width, int32_t height, int32_t slices, size_t words_per_row,
                    int32_t first_row = 0);
    // Every plane of the volume.
    explicit ReferencePlanes(const formats::WordVolume& volume);
    // Plane z from row first_row on, laid out as the rows of a WordVolume of the same shape.
    void set_plane(int32_t z, const uint64_t* words) { planes_[static_cast<size_t>(z)] = words; }

    int32_t width() const { return width_; }
    int32_t height() const { return height_; }
    int32_t slices() const { return slices_; }
    bool get(int32_t x, int32_t y, int32_t z) const {
        const uint64_t* row =
            planes_[static_cast<size_t>(z)] + static_cast<size_t>(y - first_row_) * words_per_row_;
        return (row[x / 64] >> (x % 64)) & 1u;
    }

  private:
    int32_t width_;
    int32_t height_;
    int32_t slices_;
    size_t words_per_row_;
    int32_t first_row_;
    std::vector<const uint64_t*> planes_;
};

enum class Side { keep, remove };

// Looks for the voxels of `reference` nearest to (x, y, z) within the 11 x 11 x 11 cube
// around it; adds 1 to `ties` when they lie both inside and outside the window.
Side nearest_side(const ReferencePlanes& reference, int32_t x, int32_t y, int32_t z,
                  uint16_t& ties);

// The coordinates of an axis of length n that the correction visits: 5 .. 9 and
// n - 10 .. n - 6 when n > 20, every window coordinate 5 .. n - 6 otherwise.
std::vector<int32_t> band_set(int32_t n);

// Removes the voxels of `shell` in the corner bands whose nearest voxels of `reference` lie
// outside the window. Returns the tie counter (16 bits, as it counts). Does nothing when a
// dimension is 10 or less.
uint16_t correct_edges(formats::WordVolume& shell, const formats::WordVolume& reference);

// The same, adding to ties_per_block[b] (one entry per block) the ties that voxels of block b
// made. The correction visits at most 10 x 10 x 10 voxels, so the 16-bit counter never wraps.
uint16_t correct_edges(formats::WordVolume& shell, const formats::WordVolume& reference,
                       const WindowBlocks& blocks, std::vector<uint32_t>& ties_per_block);

}  // namespace talvik
