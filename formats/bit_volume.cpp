#include "formats/bit_volume.h"

#include <bit>

namespace formats {

BitVolume::BitVolume(int32_t width_, int32_t height_, int32_t slice_count_)
    : width(width_), height(height_), slice_count(slice_count_) {
    planes.resize(static_cast<size_t>(slice_count));
    for (SliceBits& plane : planes) {
        plane.bytes.assign(SliceBits::byte_count(width, height), 0);
    }
}

double volume_fraction(const BitVolume& volume) {
    // The spare bits after a plane's last voxel are never set.
    uint64_t set = 0;
    for (const SliceBits& plane : volume.planes) {
        for (const uint8_t byte : plane.bytes) {
            set += static_cast<uint64_t>(std::popcount(byte));
        }
    }
    const double voxels = static_cast<double>(volume.width) * volume.height * volume.slice_count;
    return voxels > 0.0 ? static_cast<double>(set) / voxels : 0.0;
}

}  // namespace formats
