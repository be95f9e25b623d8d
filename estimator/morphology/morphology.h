// Whole-volume operations of the estimator on word volumes of one shape, and the count of a
// volume inside the measuring window.
#pragma once

#include <cstdint>

#include <vector>

#include "formats/word_volume.h"
#include "morphology/window_blocks.h"

namespace talvik {

// Voxels left out on every side of the measuring window.
inline constexpr int32_t kWindowMargin = 5;

void clear_volume(formats::WordVolume& volume);

// Flips every voxel.
void complement(formats::WordVolume& volume);

// Clears in `a` every voxel set in `b`.
void subtract(formats::WordVolume& a, const formats::WordVolume& b);

// Set voxels inside the measuring window, plus half the tie counter (rounded down).
uint64_t count_window(const formats::WordVolume& volume, uint16_t ties);

// Set voxels inside each block of the window, without ties.
std::vector<uint64_t> count_blocks(const formats::WordVolume& volume, const WindowBlocks& blocks);

// Voxels of the measuring window: (w - 10)(h - 10)(s - 10), in 64 bits.
int64_t window_size(int32_t width, int32_t height, int32_t slices);

}  // namespace talvik
