// The picture of a slice: a 1-bit image whose pixel (x, y) is the slice's pixel (x, y), black
// for a 1 bit and white for a 0 bit.
#pragma once

#include <QImage>
#include <cstdint>

#include "formats/slice_file.h"

namespace ferndel {

// Built from the packed bits row by row, a byte at a time; a null image when Qt cannot hold
// one of this size.
QImage slice_picture(const formats::SliceBits& bits, int32_t width, int32_t height);

}  // namespace ferndel
