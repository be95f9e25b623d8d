#include "morphology.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <numeric>

namespace talvik {

void clear_volume(WordVolume& volume) {
    std::memset(volume.data(), 0, volume.word_count() * sizeof(uint64_t));
}

void complement(WordVolume& volume) {
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

void subtract(WordVolume& a, const WordVolume& b) {
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

uint64_t count_window(const WordVolume& volume, uint16_t ties) {
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

BallRows decompose_ball(const DiscretizedBall& ball) {
    BallRows rows;
    const int32_t k = ball.size - 1;
    rows.reach = k;
    for (int32_t dz = -k; dz <= k; ++dz) {
        for (int32_t dy = -k; dy <= k; ++dy) {
            std::vector<int32_t> offsets;
            for (int32_t dx = 0; dx <= k; ++dx) {
                if (ball_contains(ball, dx, dy, dz)) {
                    offsets.push_back(dx);
                }
            }
            if (offsets.empty()) {
                continue;
            }
            int32_t index = -1;
            for (size_t s = 0; s < rows.sets.size(); ++s) {
                if (rows.sets[s].offsets == offsets) {
                    index = static_cast<int32_t>(s);
                    break;
                }
            }
            if (index < 0) {
                index = static_cast<int32_t>(rows.sets.size());
                rows.sets.push_back({std::move(offsets), -1, {}});
            }
            rows.lines.push_back({dy, dz, index});
        }
    }
    // Sets are built smallest first, each from the largest earlier set it contains.
    std::vector<int32_t> order(rows.sets.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int32_t a, int32_t b) {
        return rows.sets[a].offsets.size() < rows.sets[b].offsets.size();
    });
    std::vector<int32_t> new_index(order.size());
    std::vector<BallRows::DxSet> sorted;
    for (size_t i = 0; i < order.size(); ++i) {
        new_index[order[i]] = static_cast<int32_t>(i);
        sorted.push_back(std::move(rows.sets[order[i]]));
    }
    rows.sets = std::move(sorted);
    for (BallRows::Line& line : rows.lines) {
        line.set = new_index[line.set];
    }
    for (size_t s = 0; s < rows.sets.size(); ++s) {
        BallRows::DxSet& set = rows.sets[s];
        size_t best_size = 0;
        for (size_t t = 0; t < s; ++t) {
            const std::vector<int32_t>& other = rows.sets[t].offsets;
            bool contained = other.size() < set.offsets.size();
            for (size_t i = 0; contained && i < other.size(); ++i) {
                contained = std::binary_search(set.offsets.begin(), set.offsets.end(), other[i]);
            }
            if (contained && other.size() > best_size) {
                best_size = other.size();
                set.base = static_cast<int32_t>(t);
            }
        }
        for (int32_t dx : set.offsets) {
            if (set.base < 0 || !std::binary_search(rows.sets[set.base].offsets.begin(),
                                                    rows.sets[set.base].offsets.end(), dx)) {
                set.added.push_back(dx);
            }
        }
    }
    return rows;
}

}  // namespace talvik
