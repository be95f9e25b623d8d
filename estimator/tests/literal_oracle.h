// The estimator's algorithms written voxel by voxel, exactly as they are defined, on the
// packed bit volume. Slow, and kept only to check the fast implementations against.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "fit/reference_shell.h"
#include "formats/balls_file.h"
#include "formats/bit_volume.h"
#include "formats/slice_file.h"
#include "morphology/euler_count.h"
#include "morphology/window_blocks.h"

namespace talvik::oracle {

// The raster step of the slice reader bit by bit: an input byte per row position, an output
// mask running on across rows.
formats::SliceStatus read_slice_raster(const std::vector<uint8_t>& raster, int32_t width,
                                       int32_t height, formats::SliceBits& out);

void dilate(const formats::BitVolume& source, formats::BitVolume& target,
            const formats::DiscretizedBall& ball);
void complement(formats::BitVolume& volume);
void subtract(formats::BitVolume& a, const formats::BitVolume& b);
// Returns the tie counter; sets in `tie_voxels`, when given, every voxel that made a tie.
uint16_t correct_edges(formats::BitVolume& shell, const formats::BitVolume& reference,
                       formats::BitVolume* tie_voxels = nullptr);
uint64_t count_window(const formats::BitVolume& volume, uint16_t ties);

// Builds the reference grid, stamps the ball at every voxel of the layer and counts Re - R.
uint64_t reference_shell_count(const formats::DiscretizedBall& ball,
                               const ReferenceGeometry& geometry);

// The shell counts of a whole run: Xe from X and the epsilon ball, (Xe)*, and for every
// ball the edge-corrected count of ((Xe)*)d\(Xe)*.
std::vector<uint64_t> shell_counts(const formats::BitVolume& x,
                                   const std::vector<formats::DiscretizedBall>& balls,
                                   size_t epsilon_index);

// The voxels and Euler characteristics of the set in each block, cell by cell: every cell of
// the grid at the lower corner of a window voxel, counted with its sign, when every voxel
// around it is set (6-adjacency) or any is (26-adjacency).
CellCounts cell_counts(const formats::BitVolume& volume, const WindowBlocks& blocks);

// Loads a data-set directory with the packed slice reader.
formats::BitVolume load_data_set(const std::string& directory);

}  // namespace talvik::oracle
