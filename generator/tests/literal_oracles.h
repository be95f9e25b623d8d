// The generator's voxel rule and slice raster transcribed step by step, voxel by voxel and
// bit by bit: slow, plain references for the fast code.
#pragma once

#include <cstdint>
#include <string>

#include "formats/bit_volume.h"

namespace brisolt::testing {

// Scans the clipped box cx - r - 1 .. cx + r (likewise y, z) and tests every voxel.
void literal_add_ball(formats::BitVolume& volume, int32_t cx, int32_t cy, int32_t cz, int32_t r);

// The slice file of plane z, built one bit at a time from the packed plane.
std::string literal_slice_file(const formats::BitVolume& volume, int32_t z);

}  // namespace brisolt::testing
