#include "array_volume.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "parallel/parallel_for.h"
#include "python/byte_rows.h"

namespace pytalvik {
namespace {

constexpr uint64_t kLowBits = 0x0101010101010101;
// Multiplying a word whose bytes are 0 or 1 by this moves byte i's bit to bit 56 + i. Every
// other product lands on a bit of its own below 56 or beyond 63, so no carry reaches the top
// byte, which then holds the eight voxels, least significant first.
constexpr uint64_t kGatherBytes = 0x0102040810204080;

// Bit 0 of each byte: whether the byte is non-zero (numpy's truth of a bool).
uint64_t nonzero_bytes(uint64_t v) {
    v |= v >> 4;
    v |= v >> 2;
    v |= v >> 1;
    return v & kLowBits;
}

struct BadElement {
    int64_t y = 0;
    int64_t x = 0;
    std::string value;
};

template <typename T>
T element(const char* p) {
    T value;
    std::memcpy(&value, p, sizeof value);
    return value;
}

// One row, element by element; false at the first element that is neither 0 nor 1.
template <typename T>
bool convert_row_elements(const char* row, int64_t width, int64_t stride, bool boolean,
                          uint64_t* out, int64_t& bad_x, std::string& bad_value) {
    uint64_t word = 0;
    for (int64_t x = 0; x < width; ++x) {
        const T value = element<T>(row + x * stride);
        if (value == 1 || (boolean && value != 0)) {
            word |= uint64_t{1} << (x % 64);
        } else if (value != 0) {
            bad_x = x;
            bad_value = std::to_string(value);
            return false;
        }
        if (x % 64 == 63 || x + 1 == width) {
            out[x / 64] = word;
            word = 0;
        }
    }
    return true;
}

// One row of one-byte elements stored side by side, a word at a time with the processor's
// vectors and eight at a time after that; false when an integer byte is neither 0 nor 1 (the
// caller then finds it element by element). Reading the array is most of the work.
bool convert_byte_row(const char* row, int64_t width, bool boolean, uint64_t* out) {
    uint64_t bad = 0;
    int64_t x = 0;
    const int64_t words = width / 64;
    const int found = byte_row_words(reinterpret_cast<const uint8_t*>(row), words, out);
    if (found >= 0) {
        bad = found == 1 && !boolean;
        x = words * 64;
    }
    for (; x + 8 <= width; x += 8) {
        uint64_t v = element<uint64_t>(row + x);
        if (boolean) {
            v = nonzero_bytes(v);
        } else {
            bad |= v & ~kLowBits;
        }
        const uint64_t bits = (v * kGatherBytes) >> 56;
        if (x % 64 == 0) {
            out[x / 64] = bits;
        } else {
            out[x / 64] |= bits << (x % 64);
        }
    }
    for (; x < width; ++x) {
        const uint8_t value = static_cast<uint8_t>(row[x]);
        bad |= boolean ? 0 : value & ~1u;
        const uint64_t bit = uint64_t{value != 0} << (x % 64);
        out[x / 64] = x % 64 == 0 ? bit : out[x / 64] | bit;
    }
    return bad == 0;
}

template <typename T>
bool convert_plane(const ArrayView& array, int64_t z, formats::WordVolume& volume,
                   std::optional<BadElement>& bad) {
    const int64_t width = array.shape[2];
    const bool boolean = array.kind == ElementKind::boolean;
    const bool side_by_side =
        sizeof(T) == 1 && array.strides[2] == 1 && std::endian::native == std::endian::little;
    for (int64_t y = 0; y < array.shape[1]; ++y) {
        const char* row = array.data + z * array.strides[0] + y * array.strides[1];
        uint64_t* out = volume.row(static_cast<int32_t>(y), static_cast<int32_t>(z));
        if (side_by_side && convert_byte_row(row, width, boolean, out)) {
            continue;
        }
        BadElement found{y, 0, {}};
        if (!convert_row_elements<T>(row, width, array.strides[2], boolean, out, found.x,
                                     found.value)) {
            bad = std::move(found);
            return false;
        }
    }
    return true;
}

bool convert_plane(const ArrayView& array, int64_t z, formats::WordVolume& volume,
                   std::optional<BadElement>& bad) {
    const bool is_signed = array.kind == ElementKind::signed_integer;
    switch (array.item_size) {
        case 1:
            return is_signed ? convert_plane<int8_t>(array, z, volume, bad)
                             : convert_plane<uint8_t>(array, z, volume, bad);
        case 2:
            return is_signed ? convert_plane<int16_t>(array, z, volume, bad)
                             : convert_plane<uint16_t>(array, z, volume, bad);
        case 4:
            return is_signed ? convert_plane<int32_t>(array, z, volume, bad)
                             : convert_plane<uint32_t>(array, z, volume, bad);
        case 8:
            return is_signed ? convert_plane<int64_t>(array, z, volume, bad)
                             : convert_plane<uint64_t>(array, z, volume, bad);
        default:
            throw std::invalid_argument("volume has elements of " +
                                        std::to_string(array.item_size) +
                                        " bytes: only 1, 2, 4 and 8 are read");
    }
}

// The eight bytes, 0 or 1, of the eight voxels of a plane byte, least significant first.
constexpr std::array<std::array<uint8_t, 8>, 256> kSpreadBits = [] {
    std::array<std::array<uint8_t, 8>, 256> table{};
    for (unsigned b = 0; b < 256; ++b) {
        for (unsigned i = 0; i < 8; ++i) {
            table[b][i] = static_cast<uint8_t>((b >> i) & 1u);
        }
    }
    return table;
}();

}  // namespace

formats::WordVolume word_volume_from_array(const ArrayView& array, unsigned threads) {
    formats::WordVolume volume(static_cast<int32_t>(array.shape[2]),
                               static_cast<int32_t>(array.shape[1]),
                               static_cast<int32_t>(array.shape[0]));
    const size_t slices = static_cast<size_t>(array.shape[0]);
    std::vector<std::optional<BadElement>> bad(slices);
    talvik::parallel_for(slices, threads, [&](size_t z) {
        convert_plane(array, static_cast<int64_t>(z), volume, bad[z]);
    });
    for (size_t z = 0; z < slices; ++z) {
        if (bad[z]) {
            throw std::invalid_argument("volume holds " + bad[z]->value + " at [" +
                                        std::to_string(z) + ", " + std::to_string(bad[z]->y) +
                                        ", " + std::to_string(bad[z]->x) +
                                        "]: only 0 and 1 mark the set (or use a bool array)");
        }
    }
    return volume;
}

void array_from_word_volume(const formats::WordVolume& volume, uint8_t* out, unsigned threads) {
    const size_t width = static_cast<size_t>(volume.width());
    const size_t height = static_cast<size_t>(volume.height());
    talvik::parallel_for(static_cast<size_t>(volume.slices()), threads, [&](size_t z) {
        for (size_t y = 0; y < height; ++y) {
            const uint64_t* words = volume.row(static_cast<int32_t>(y), static_cast<int32_t>(z));
            uint8_t* row = out + (z * height + y) * width;
            for (size_t x = 0; x < width; x += 8) {
                const unsigned byte = static_cast<unsigned>(words[x / 64] >> (x % 64)) & 0xFFu;
                std::memcpy(row + x, kSpreadBits[byte].data(), std::min<size_t>(8, width - x));
            }
        }
    });
}

}  // namespace pytalvik
