#include "bit_volume.h"

namespace talvik {

BitVolume::BitVolume(int32_t width_, int32_t height_, int32_t slice_count_)
    : width(width_), height(height_), slice_count(slice_count_) {
    planes.resize(static_cast<size_t>(slice_count));
    for (SliceBits& plane : planes) {
        plane.bytes.assign(SliceBits::byte_count(width, height), 0);
    }
}

}  // namespace talvik
