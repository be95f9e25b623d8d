#include "slice_picture.h"

#include <cstddef>

namespace ferndel {

QImage slice_picture(const formats::SliceBits& bits, int32_t width, int32_t height) {
    // MonoLSB keeps the plane's bit order: only the rows have to be moved to byte boundaries.
    QImage picture(width, height, QImage::Format_MonoLSB);
    if (picture.isNull()) {
        return picture;
    }
    picture.setColorTable({qRgb(255, 255, 255), qRgb(0, 0, 0)});
    const uint8_t* plane = bits.bytes.data();
    const size_t plane_bytes = bits.bytes.size();
    const size_t row_bytes = (static_cast<size_t>(width) + 7) / 8;
    // Bits of a row's last byte past the width belong to the next row.
    const auto last_byte_mask =
        static_cast<uint8_t>(width % 8 == 0 ? 0xFF : (1u << (width % 8)) - 1);
    for (int32_t y = 0; y < height; ++y) {
        const size_t first_bit = static_cast<size_t>(y) * static_cast<size_t>(width);
        const size_t start = first_bit / 8;
        const unsigned shift = first_bit % 8;
        uint8_t* row = picture.scanLine(y);
        for (size_t i = 0; i < row_bytes; ++i) {
            const size_t at = start + i;
            unsigned byte = plane[at] >> shift;
            if (shift != 0 && at + 1 < plane_bytes) {
                byte |= static_cast<unsigned>(plane[at + 1]) << (8 - shift);
            }
            row[i] = static_cast<uint8_t>(byte);
        }
        row[row_bytes - 1] &= last_byte_mask;
    }
    return picture;
}

}  // namespace ferndel
