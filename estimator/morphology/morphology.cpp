#include "morphology/morphology.h"

#include <bit>
#include <cstring>
#include <vector>

namespace talvik {

void clear_volume(formats::WordVolume& volume) {
    std::memset(volume.data(), 0, volume.word_count() * sizeof(uint64_t));
}

void complement(formats::WordVolume& volume) {
    const size_t wpr = volume.words_per_row();
    const uint64_t last = volume.last_word_mask();
    uint64_t* word = volume.data();
    const size_t rows = volume.word_count() / (wpr == 0 ? 1 : wpr);
    for (size_t r = 0; r < rows && wpr > 0; ++r, word += wpr) {
        for (size_t i = 0; i + 1 < wpr; ++i) {
            word[i] = ~word[i];
        }
        // The bits past the row's last voxel stay clear.
        word[wpr - 1] = ~word[wpr - 1] & last;
    }
}

void subtract(formats::WordVolume& a, const formats::WordVolume& b) {
    uint64_t* __restrict out = a.data();
    const uint64_t* __restrict in = b.data();
    const size_t count = a.word_count();
    for (size_t i = 0; i < count; ++i) {
        out[i] &= ~in[i];
    }
}

int64_t window_size(int32_t width, int32_t height, int32_t slices) {
    return static_cast<int64_t>(width - 2 * kWindowMargin) *
           static_cast<int64_t>(height - 2 * kWindowMargin) *
           static_cast<int64_t>(slices - 2 * kWindowMargin);
}

std::vector<uint64_t> count_blocks(const formats::WordVolume& volume, const WindowBlocks& blocks) {
    std::vector<uint64_t> counts(blocks.count(), 0);
    const std::vector<RowSpan> spans = row_spans(blocks, volume.words_per_row());
    for (int32_t z = kWindowMargin; z < volume.slices() - kWindowMargin; ++z) {
        for (int32_t y = kWindowMargin; y < volume.height() - kWindowMargin; ++y) {
            const uint64_t* row = volume.row(y, z);
            const size_t base = blocks.block_of(kWindowMargin, y, z);
            for (size_t bx = 0; bx < spans.size(); ++bx) {
                uint64_t count = 0;
                for (size_t i = spans[bx].first; i <= spans[bx].last; ++i) {
                    count += static_cast<uint64_t>(std::popcount(row[i] & spans[bx].mask[i]));
                }
                counts[base + bx] += count;
            }
        }
    }
    return counts;
}

uint64_t count_window(const formats::WordVolume& volume, uint16_t ties) {
    const int32_t x0 = kWindowMargin;
    const int32_t x1 = volume.width() - kWindowMargin;
    uint64_t count = 0;
    if (x1 > x0) {
        // Masks that keep x in [x0, x1) in each word of a row.
        const size_t wpr = volume.words_per_row();
        std::vector<uint64_t> mask(wpr, 0);
        for (int32_t x = x0; x < x1; ++x) {
            mask[static_cast<size_t>(x) / 64] |= uint64_t{1} << (x % 64);
        }
        const size_t first = static_cast<size_t>(x0) / 64;
        const size_t last = static_cast<size_t>(x1 - 1) / 64;
        for (int32_t z = kWindowMargin; z < volume.slices() - kWindowMargin; ++z) {
            for (int32_t y = kWindowMargin; y < volume.height() - kWindowMargin; ++y) {
                const uint64_t* row = volume.row(y, z);
                for (size_t i = first; i <= last; ++i) {
                    count += static_cast<uint64_t>(std::popcount(row[i] & mask[i]));
                }
            }
        }
    }
    return count + ties / 2;
}

}  // namespace talvik
