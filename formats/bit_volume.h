// A 3D binary image held as one packed SliceBits plane per slice.
#pragma once

#include <cstdint>
#include <vector>

#include "formats/slice_file.h"

namespace formats {

// Voxel (x, y, z) is bit y * width + x of plane z.
struct BitVolume {
    int32_t width = 0;
    int32_t height = 0;
    int32_t slice_count = 0;
    std::vector<SliceBits> planes;

    // All voxels clear. Throws std::bad_alloc.
    BitVolume(int32_t width, int32_t height, int32_t slice_count);
    BitVolume() = default;

    size_t bit_index(int32_t x, int32_t y) const {
        return static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x);
    }
    bool get(int32_t x, int32_t y, int32_t z) const {
        const size_t i = bit_index(x, y);
        return (planes[z].bytes[i / 8] >> (i % 8)) & 1u;
    }
    void set(int32_t x, int32_t y, int32_t z) {
        const size_t i = bit_index(x, y);
        planes[z].bytes[i / 8] |= static_cast<uint8_t>(1u << (i % 8));
    }
    void reset(int32_t x, int32_t y, int32_t z) {
        const size_t i = bit_index(x, y);
        planes[z].bytes[i / 8] &= static_cast<uint8_t>(~(1u << (i % 8)));
    }
};

// The share of the volume's voxels that are set.
double volume_fraction(const BitVolume& volume);

}  // namespace formats
