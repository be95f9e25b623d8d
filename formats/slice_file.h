// Slice bitmap files in the binary PBM format ("P4"): the reader that turns one file into a
// packed bit plane.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <span>
#include <string_view>
#include <vector>

namespace formats {

// One slice in memory: pixel (x, y) is bit i = y * width + x, byte i / 8, bit i % 8 (least
// significant bit first), no row padding, floor((width * height + 8) / 8) bytes; bits past
// the last pixel are clear.
struct SliceBits {
    std::vector<uint8_t> bytes;

    static size_t byte_count(int32_t width, int32_t height) {
        return (static_cast<size_t>(width) * static_cast<size_t>(height) + 8) / 8;
    }
    bool pixel(size_t index) const { return (bytes[index / 8] >> (index % 8)) & 1u; }
};

enum class SliceStatus : int {
    ok = 0,
    truncated = 1,  // the file ended inside the header or the raster
    bad_magic = 2,  // the first token is not exactly "P4"
    no_memory = 3,
    bad_size = 4,  // width or height not a positive decimal integer, or too many pixels
};

// The largest width * height a slice may have: the bit index stays a signed 32-bit value.
inline constexpr int64_t kMaxSlicePixels = INT32_MAX - 8;

struct SliceHeader {
    SliceStatus status = SliceStatus::truncated;
    int32_t width = 0;
    int32_t height = 0;
    size_t raster_offset = 0;  // first raster byte: just after the line that held the height
};

struct SliceReadResult {
    SliceStatus status = SliceStatus::truncated;
    int32_t width = 0;
    int32_t height = 0;
    SliceBits bits;
};

SliceHeader read_slice_header(std::span<const uint8_t> file);

// Packs `height` rows of ceil(width / 8) bytes, most significant bit first, into `out`.
// Status truncated when `raster` is shorter than the rows.
SliceStatus read_slice_raster(std::span<const uint8_t> raster, int32_t width, int32_t height,
                              SliceBits& out);

SliceReadResult read_slice(std::span<const uint8_t> file);

// Reads the rest of `stream` and parses it as one slice file.
SliceReadResult read_slice(std::FILE* stream);

size_t raster_row_bytes(int32_t width);

// Whether a directory entry is a slice of its data set: its name ends in ".pbm", in lower case.
inline bool is_slice_file_name(std::string_view name) {
    return name.ends_with(".pbm");
}

// Unpacks the raster rows into rows of 64-bit words, least significant bit first, each row
// starting at a word boundary (`words_per_row` words apart) and its unused bits clear.
// The caller has checked that `raster` holds every row.
void unpack_raster_to_words(const uint8_t* raster, int32_t width, int32_t height, uint64_t* words,
                            size_t words_per_row);

// kReversedBits[b] is b with its bit order reversed: file bytes are most significant bit
// first, planes least significant bit first.
extern const std::array<uint8_t, 256> kReversedBits;

}  // namespace formats
