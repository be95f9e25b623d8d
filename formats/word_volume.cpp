#include "formats/word_volume.h"

#include <new>

namespace formats {

WordVolume::WordVolume(int32_t width, int32_t height, int32_t slices)
    : width_(width), height_(height), slices_(slices) {
    words_per_row_ = (static_cast<size_t>(width) + 63) / 64;
    const unsigned tail = static_cast<unsigned>(width % 64);
    last_word_mask_ = tail == 0 ? ~uint64_t{0} : (uint64_t{1} << tail) - 1;
    const size_t count = word_count();
    if (count > 0) {
        // calloc hands out zero pages lazily for large blocks: no clearing pass.
        words_.reset(static_cast<uint64_t*>(std::calloc(count, sizeof(uint64_t))));
        if (!words_) {
            throw std::bad_alloc();
        }
    }
}

WordVolume to_word_volume(const BitVolume& packed) {
    WordVolume words(packed.width, packed.height, packed.slice_count);
    for (int32_t z = 0; z < packed.slice_count; ++z) {
        for (int32_t y = 0; y < packed.height; ++y) {
            for (int32_t x = 0; x < packed.width; ++x) {
                if (packed.get(x, y, z)) {
                    words.set(x, y, z);
                }
            }
        }
    }
    return words;
}

BitVolume to_bit_volume(const WordVolume& words) {
    BitVolume packed(words.width(), words.height(), words.slices());
    for (int32_t z = 0; z < words.slices(); ++z) {
        for (int32_t y = 0; y < words.height(); ++y) {
            for (int32_t x = 0; x < words.width(); ++x) {
                if (words.get(x, y, z)) {
                    packed.set(x, y, z);
                }
            }
        }
    }
    return packed;
}

}  // namespace formats
