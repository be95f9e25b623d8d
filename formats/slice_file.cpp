#include "formats/slice_file.h"

#include <cstring>
#include <new>

#include "formats/files.h"
#include "formats/text_lines.h"

namespace formats {
namespace {

constexpr std::array<uint8_t, 256> make_reversed_bits() {
    std::array<uint8_t, 256> table{};
    for (unsigned b = 0; b < 256; ++b) {
        unsigned r = 0;
        for (unsigned bit = 0; bit < 8; ++bit) {
            r |= ((b >> bit) & 1u) << (7 - bit);
        }
        table[b] = static_cast<uint8_t>(r);
    }
    return table;
}

bool is_space(uint8_t c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

size_t skip_space(std::span<const uint8_t> file, size_t p, size_t end) {
    while (p < end && is_space(file[p])) {
        ++p;
    }
    return p;
}

enum class Number { none, value, invalid };

// A %d conversion: optional sign and decimal digits. Refuses values that are not positive
// or that do not fit a 32-bit integer.
Number read_size(std::span<const uint8_t> file, size_t& p, size_t end, int32_t& value) {
    p = skip_space(file, p, end);
    if (p == end) {
        return Number::none;
    }
    bool negative = false;
    if (file[p] == '+' || file[p] == '-') {
        negative = file[p] == '-';
        ++p;
    }
    int64_t magnitude = 0;
    size_t digits = 0;
    while (p < end && file[p] >= '0' && file[p] <= '9') {
        if (magnitude <= INT32_MAX) {
            magnitude = magnitude * 10 + (file[p] - '0');
        }
        ++p;
        ++digits;
    }
    if (digits == 0 || negative || magnitude == 0 || magnitude > INT32_MAX) {
        return Number::invalid;
    }
    value = static_cast<int32_t>(magnitude);
    return Number::value;
}

}  // namespace

const std::array<uint8_t, 256> kReversedBits = make_reversed_bits();

size_t raster_row_bytes(int32_t width) {
    return (static_cast<size_t>(width) + 7) / 8;
}

SliceHeader read_slice_header(std::span<const uint8_t> file) {
    enum class State { magic, width, height } state = State::magic;
    SliceHeader header;
    size_t position = 0;
    LinePiece piece;
    while (next_line_piece(file, position, piece)) {
        position = piece.end;
        if (file[piece.begin] == '#') {
            continue;
        }
        size_t p = piece.begin;
        const size_t end = piece.text_end;
        if (state == State::magic) {
            p = skip_space(file, p, end);
            if (p == end) {
                continue;
            }
            size_t token_end = p;
            while (token_end < end && !is_space(file[token_end])) {
                ++token_end;
            }
            if (token_end - p != 2 || file[p] != 'P' || file[p + 1] != '4') {
                header.status = SliceStatus::bad_magic;
                return header;
            }
            p = token_end;
            state = State::width;
        }
        if (state == State::width) {
            const Number n = read_size(file, p, end, header.width);
            if (n == Number::invalid) {
                header.status = SliceStatus::bad_size;
                return header;
            }
            if (n == Number::none) {
                continue;
            }
            state = State::height;
        }
        const Number n = read_size(file, p, end, header.height);
        if (n == Number::invalid) {
            header.status = SliceStatus::bad_size;
            return header;
        }
        if (n == Number::none) {
            continue;
        }
        if (static_cast<int64_t>(header.width) * header.height > kMaxSlicePixels) {
            header.status = SliceStatus::bad_size;
            return header;
        }
        header.status = SliceStatus::ok;
        header.raster_offset = piece.end;
        return header;
    }
    header.status = SliceStatus::truncated;
    return header;
}

SliceStatus read_slice_raster(std::span<const uint8_t> raster, int32_t width, int32_t height,
                              SliceBits& out) {
    const size_t row_bytes = raster_row_bytes(width);
    if (raster.size() / row_bytes < static_cast<size_t>(height)) {
        return SliceStatus::truncated;
    }
    try {
        out.bytes.assign(SliceBits::byte_count(width, height), 0);
    } catch (const std::bad_alloc&) {
        return SliceStatus::no_memory;
    }
    // Rows are concatenated bit after bit: the plane has no row padding.
    uint8_t* dest = out.bytes.data();
    uint64_t pending = 0;
    unsigned pending_bits = 0;
    const unsigned tail_bits = static_cast<unsigned>(width % 8);
    const size_t full_bytes = static_cast<size_t>(width / 8);
    for (int32_t y = 0; y < height; ++y) {
        const uint8_t* row = raster.data() + static_cast<size_t>(y) * row_bytes;
        for (size_t i = 0; i < full_bytes; ++i) {
            pending |= static_cast<uint64_t>(kReversedBits[row[i]]) << pending_bits;
            pending_bits += 8;
            if (pending_bits >= 32) {
                std::memcpy(dest, &pending, 4);  // little-endian: bytes in bit order
                dest += 4;
                pending >>= 32;
                pending_bits -= 32;
            }
        }
        if (tail_bits != 0) {
            const uint64_t bits = kReversedBits[row[full_bytes]] & ((1u << tail_bits) - 1);
            pending |= bits << pending_bits;
            pending_bits += tail_bits;
            if (pending_bits >= 32) {
                std::memcpy(dest, &pending, 4);
                dest += 4;
                pending >>= 32;
                pending_bits -= 32;
            }
        }
    }
    while (pending_bits > 0) {
        *dest++ = static_cast<uint8_t>(pending);
        pending >>= 8;
        pending_bits = pending_bits > 8 ? pending_bits - 8 : 0;
    }
    return SliceStatus::ok;
}

SliceReadResult read_slice(std::span<const uint8_t> file) {
    SliceReadResult result;
    const SliceHeader header = read_slice_header(file);
    result.status = header.status;
    if (header.status != SliceStatus::ok) {
        return result;
    }
    result.width = header.width;
    result.height = header.height;
    result.status = read_slice_raster(file.subspan(header.raster_offset), header.width,
                                      header.height, result.bits);
    return result;
}

SliceReadResult read_slice(std::FILE* stream) {
    std::vector<uint8_t> data;
    try {
        uint8_t buffer[65536];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, stream)) > 0) {
            data.insert(data.end(), buffer, buffer + n);
        }
    } catch (const std::bad_alloc&) {
        SliceReadResult result;
        result.status = SliceStatus::no_memory;
        return result;
    }
    return read_slice(data);
}

void unpack_raster_to_words(const uint8_t* raster, int32_t width, int32_t height, uint64_t* words,
                            size_t words_per_row) {
    const size_t row_bytes = raster_row_bytes(width);
    const unsigned tail_bits = static_cast<unsigned>(width % 64);
    const uint64_t last_mask = tail_bits == 0 ? ~uint64_t{0} : (uint64_t{1} << tail_bits) - 1;
    for (int32_t y = 0; y < height; ++y) {
        const uint8_t* row = raster + static_cast<size_t>(y) * row_bytes;
        uint64_t* out = words + static_cast<size_t>(y) * words_per_row;
        size_t byte = 0;
        for (size_t w = 0; w < words_per_row; ++w) {
            uint64_t word = 0;
            for (unsigned k = 0; k < 8 && byte < row_bytes; ++k, ++byte) {
                word |= static_cast<uint64_t>(kReversedBits[row[byte]]) << (8 * k);
            }
            out[w] = word;
        }
        const size_t used_words = (static_cast<size_t>(width) + 63) / 64;
        out[used_words - 1] &= last_mask;
        for (size_t w = used_words; w < words_per_row; ++w) {
            out[w] = 0;
        }
    }
}

}  // namespace formats
