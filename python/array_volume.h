// Between numpy's (z, y, x) arrays and the estimator's word volume, on raw memory only, so
// that the conversions run with the GIL released and never hold a second copy of the array.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "formats/word_volume.h"

namespace pytalvik {

enum class ElementKind { boolean, signed_integer, unsigned_integer };

// An array's memory as numpy describes it: element [z, y, x] starts at
// data + z * strides[0] + y * strides[1] + x * strides[2]; strides may be 0 or negative.
struct ArrayView {
    const char* data = nullptr;
    ElementKind kind = ElementKind::boolean;
    size_t item_size = 1;  // 1, 2, 4 or 8 bytes, in the machine's byte order
    std::array<int64_t, 3> shape{};
    std::array<int64_t, 3> strides{};
};

// X from the array: voxel (x, y, z) is set where element [z, y, x] is true, or 1 for
// integers. Planes are converted on up to `threads` threads. Throws std::invalid_argument
// naming the first element (in z, y, x order) of an integer array that is neither 0 nor 1,
// and std::bad_alloc when the volume does not fit in memory.
formats::WordVolume word_volume_from_array(const ArrayView& array, unsigned threads);

// Writes every voxel of `volume` as one byte, 1 or 0, into the C-ordered array `out` of
// slices x height x width bytes.
void array_from_word_volume(const formats::WordVolume& volume, uint8_t* out, unsigned threads);

}  // namespace pytalvik
