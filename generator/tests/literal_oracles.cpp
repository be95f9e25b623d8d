#include "literal_oracles.h"

#include <algorithm>

namespace brisolt::testing {

void literal_add_ball(formats::BitVolume& volume, int32_t cx, int32_t cy, int32_t cz, int32_t r) {
    for (int32_t z = std::max(0, cz - r - 1); z < std::min(volume.slice_count, cz + r + 1); ++z) {
        for (int32_t y = std::max(0, cy - r - 1); y < std::min(volume.height, cy + r + 1); ++y) {
            for (int32_t x = std::max(0, cx - r - 1); x < std::min(volume.width, cx + r + 1); ++x) {
                if ((x - cx) * (x - cx) + (y - cy) * (y - cy) + (z - cz) * (z - cz) <= r * r) {
                    volume.set(x, y, z);
                }
            }
        }
    }
}

std::string literal_slice_file(const formats::BitVolume& volume, int32_t z) {
    std::string file =
        "P4\n" + std::to_string(volume.width) + " " + std::to_string(volume.height) + "\n";
    const std::vector<uint8_t>& plane = volume.planes[static_cast<size_t>(z)].bytes;
    size_t input = 0;
    unsigned input_byte = 0;
    int input_bits = 0;
    unsigned output = 0;
    int k = 0;
    for (int32_t y = 0; y < volume.height; ++y) {
        for (int32_t x = 0; x < volume.width; ++x) {
            if (input_bits == 0) {
                input_byte = plane[input++];
                input_bits = 8;
            }
            output = (output << 1) | (input_byte & 1u);
            ++k;
            input_byte >>= 1;
            --input_bits;
            if (k == 8 || x == volume.width - 1) {
                output <<= 8 - k;
                file.push_back(static_cast<char>(output & 0xFFu));
                output = 0;
                k = 0;
            }
        }
    }
    return file;
}

}  // namespace brisolt::testing
