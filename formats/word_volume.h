// The estimator's working voxel store: one bit per voxel, each row starting at a 64-bit word
// boundary, so that whole rows can be shifted, combined and counted a word at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "formats/bit_volume.h"

namespace formats {

class WordVolume {
  public:
    WordVolume() = default;
    // All voxels clear. Throws std::bad_alloc when the memory is not there.
    WordVolume(int32_t width, int32_t height, int32_t slices);

    int32_t width() const { return width_; }
    int32_t height() const { return height_; }
    int32_t slices() const { return slices_; }
    size_t words_per_row() const { return words_per_row_; }
    size_t words_per_plane() const { return words_per_row_ * static_cast<size_t>(height_); }
    size_t word_count() const { return words_per_plane() * static_cast<size_t>(slices_); }
    // Mask of the bits of a row's last word that are voxels; the others stay clear.
    uint64_t last_word_mask() const { return last_word_mask_; }

    uint64_t* data() { return words_.get(); }
    const uint64_t* data() const { return words_.get(); }
    uint64_t* plane(int32_t z) { return data() + static_cast<size_t>(z) * words_per_plane(); }
    const uint64_t* plane(int32_t z) const {
        return data() + static_cast<size_t>(z) * words_per_plane();
    }
    uint64_t* row(int32_t y, int32_t z) {
        return plane(z) + static_cast<size_t>(y) * words_per_row_;
    }
    const uint64_t* row(int32_t y, int32_t z) const {
        return plane(z) + static_cast<size_t>(y) * words_per_row_;
    }

    bool get(int32_t x, int32_t y, int32_t z) const { return (row(y, z)[x / 64] >> (x % 64)) & 1u; }
    void set(int32_t x, int32_t y, int32_t z) { row(y, z)[x / 64] |= uint64_t{1} << (x % 64); }
    void reset(int32_t x, int32_t y, int32_t z) { row(y, z)[x / 64] &= ~(uint64_t{1} << (x % 64)); }
    bool same_shape(const WordVolume& other) const {
        return width_ == other.width_ && height_ == other.height_ && slices_ == other.slices_;
    }

  private:
    struct FreeDeleter {
        void operator()(uint64_t* p) const { std::free(p); }
    };
    int32_t width_ = 0;
    int32_t height_ = 0;
    int32_t slices_ = 0;
    size_t words_per_row_ = 0;
    uint64_t last_word_mask_ = 0;
    std::unique_ptr<uint64_t[], FreeDeleter> words_;
};

// Conversions between the packed plane layout of slice files and the word layout.
WordVolume to_word_volume(const BitVolume& packed);
BitVolume to_bit_volume(const WordVolume& words);

}  // namespace formats
