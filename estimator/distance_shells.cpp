#include "distance_shells.h"

#include <algorithm>
#include <optional>

#include "edge_correction.h"
#include "integer_sqrt.h"
#include "morphology.h"
#include "parallel.h"

namespace talvik {
namespace {

using distance::kBlock;
using distance::KernelChoice;
using distance::Kernels;

size_t round_up(size_t n, size_t block) {
    return (n + block - 1) / block * block;
}

// The squared distance to the set voxels of bit planes, capped at limit + 1, one plane at a
// time and row by row: along z straight from the bits, then along y over a ring of the rows
// within reach, then along x. Only offsets up to floor(sqrt(limit)) along an axis can give
// a distance at or below the limit.
template <class E>
class PlaneTransform {
  public:
    PlaneTransform(int32_t height, size_t words_per_row, int64_t limit, const Kernels<E>& kernels)
        : kernels_(kernels),
          height_(height),
          words_(words_per_row),
          stride_(words_per_row * 64),
          reach_(static_cast<int32_t>(floor_sqrt(limit))),
          span_(2 * reach_ + 1),
          cap_(static_cast<E>(limit + 1)),
          pad_(round_up(static_cast<size_t>(reach_), kBlock)),
          ring_(static_cast<size_t>(span_) * stride_),
          filled_(static_cast<size_t>(span_), false),
          line_(pad_ + stride_ + pad_, cap_),
          out_(stride_),
          sources_(static_cast<size_t>(span_)),
          rows_(static_cast<size_t>(span_)),
          adds_(static_cast<size_t>(span_)) {}

    int32_t reach() const { return reach_; }

    // Rows y0 <= y < y1 of one plane. bits(dz, y) is row y of the source plane dz away
    // (-reach <= dz <= reach), a clear row outside the volume. emit(y, values) receives the
    // distances, values[x] for x0 <= x < x1, or nullptr when all of them are at the cap.
    template <class Bits, class Emit>
    void run(const Bits& bits, int32_t y0, int32_t y1, size_t x0, size_t x1, const Emit& emit) {
        const size_t xa = x0 / kBlock * kBlock;
        const size_t xb = round_up(x1, kBlock);
        int32_t next = std::max(0, y0 - reach_);
        for (int32_t y = y0; y < y1; ++y) {
            // The ring holds the rows y - reach .. y + reach, each along z already.
            for (; next <= std::min(height_ - 1, y + reach_); ++next) {
                for (int32_t dz = -reach_; dz <= reach_; ++dz) {
                    sources_[static_cast<size_t>(dz + reach_)] = bits(dz, next);
                }
                const size_t slot = static_cast<size_t>(next % span_);
                filled_[slot] = kernels_.from_bits(sources_.data(), reach_, words_, cap_,
                                                   ring_.data() + slot * stride_);
            }
            size_t count = 0;
            for (int32_t dy = -reach_; dy <= reach_; ++dy) {
                const int32_t row = y + dy;
                if (row < 0 || row >= height_ || !filled_[static_cast<size_t>(row % span_)]) {
                    continue;  // no bit within reach: every value at the cap
                }
                rows_[count] = ring_.data() + static_cast<size_t>(row % span_) * stride_;
                adds_[count] = static_cast<E>(dy * dy);
                ++count;
            }
            if (count == 0) {
                emit(y, nullptr);
                continue;
            }
            // The line keeps `pad_` values at the cap on both sides: the volume ends there.
            E* line = line_.data() + pad_;
            kernels_.along_y(rows_.data(), adds_.data(), count, stride_, line);
            kernels_.along_x(line + xa, reach_, xb - xa, out_.data() + xa);
            emit(y, static_cast<const E*>(out_.data()));
        }
    }

  private:
    const Kernels<E>& kernels_;
    int32_t height_;
    size_t words_;
    size_t stride_;
    int32_t reach_;
    int32_t span_;
    E cap_;
    size_t pad_;
    std::vector<E> ring_;
    std::vector<bool> filled_;
    std::vector<E> line_;
    std::vector<E> out_;
    std::vector<const uint64_t*> sources_;
    std::vector<const E*> rows_;
    std::vector<E> adds_;
};

// A corner voxel of some shell: its distance to (Xe)* and the correction's decision.
struct CornerVoxel {
    int64_t distance = 0;
    bool removed = false;
    bool tie = false;
};

struct ChunkCounts {
    std::vector<uint64_t> levels;  // voxels of the window with 1 <= distance <= level
    std::vector<CornerVoxel> corners;
};

struct Setup {
    const WordVolume& x;
    int64_t epsilon;              // t of the epsilon ball
    int64_t largest;              // the largest t
    std::vector<int64_t> levels;  // the distinct t >= 1, ascending
    std::vector<int32_t> band_x;  // the edge correction's coordinates
    std::vector<bool> in_band_y;
    std::vector<bool> in_band_z;
    KernelChoice choice;
};

// The counts of the window planes z0 <= z < z1. (Xe)* is made plane by plane into a ring
// that holds the planes within reach of the current one, from the planes of X within the
// epsilon ball's reach.
template <class Ee, class Ed>
ChunkCounts count_chunk(const Setup& setup, int32_t z0, int32_t z1) {
    const WordVolume& x = setup.x;
    const int32_t w = x.width();
    const int32_t h = x.height();
    const int32_t s = x.slices();
    const size_t wpr = x.words_per_row();
    const size_t wpp = x.words_per_plane();
    const uint64_t last = x.last_word_mask();
    const Kernels<Ee>& kernels_e = distance::kernels<Ee>(setup.choice);
    const Kernels<Ed>& kernels_d = distance::kernels<Ed>(setup.choice);
    PlaneTransform<Ee> to_x(h, wpr, setup.epsilon, kernels_e);
    PlaneTransform<Ed> to_star(h, wpr, setup.largest, kernels_d);
    const int32_t halo = std::max(to_star.reach(), kSearchReach);
    const int32_t slots = 2 * halo + 1;
    std::vector<uint64_t> star(static_cast<size_t>(slots) * wpp);
    const std::vector<uint64_t> clear_row(wpr, 0);
    auto star_plane = [&](int32_t z) { return star.data() + static_cast<size_t>(z % slots) * wpp; };

    // (Xe)* plane z: the voxels farther than t_e from X.
    auto make_star = [&](int32_t z) {
        uint64_t* plane = star_plane(z);
        if (setup.epsilon == 0) {
            for (int32_t y = 0; y < h; ++y) {
                const uint64_t* in = x.row(y, z);
                uint64_t* row = plane + static_cast<size_t>(y) * wpr;
                for (size_t i = 0; i < wpr; ++i) {
                    row[i] = ~in[i];
                }
                row[wpr - 1] &= last;
            }
            return;
        }
        to_x.run(
            [&](int32_t dz, int32_t y) {
                const int32_t zz = z + dz;
                return zz < 0 || zz >= s ? clear_row.data() : x.row(y, zz);
            },
            0, h, 0, static_cast<size_t>(w),
            [&](int32_t y, const Ee* values) {
                uint64_t* row = plane + static_cast<size_t>(y) * wpr;
                if (values == nullptr) {
                    std::fill(row, row + wpr, ~uint64_t{0});
                } else {
                    kernels_e.pack_above(values, static_cast<Ee>(setup.epsilon), wpr, row);
                }
                row[wpr - 1] &= last;
            });
    };

    std::vector<Ed> levels;
    for (int64_t t : setup.levels) {
        levels.push_back(static_cast<Ed>(t));
    }
    ChunkCounts counts;
    counts.levels.assign(levels.size(), 0);
    const size_t x0 = kWindowMargin;
    const size_t x1 = static_cast<size_t>(w - kWindowMargin);
    int32_t next = std::max(0, z0 - halo);
    for (int32_t z = z0; z < z1; ++z) {
        for (; next <= std::min(s - 1, z + halo); ++next) {
            make_star(next);
        }
        std::optional<ReferencePlanes> near;
        if (setup.in_band_z[static_cast<size_t>(z)]) {
            near.emplace(w, h, s, wpr);
            for (int32_t zz = std::max(0, z - kSearchReach);
                 zz <= std::min(s - 1, z + kSearchReach); ++zz) {
                near->set_plane(zz, star_plane(zz));
            }
        }
        to_star.run(
            [&](int32_t dz, int32_t y) {
                const int32_t zz = z + dz;
                return zz < 0 || zz >= s ? clear_row.data()
                                         : star_plane(zz) + static_cast<size_t>(y) * wpr;
            },
            kWindowMargin, h - kWindowMargin, x0, x1,
            [&](int32_t y, const Ed* values) {
                if (values == nullptr) {
                    return;
                }
                kernels_d.count_levels(values, x0, x1, levels.data(), levels.size(),
                                       counts.levels.data());
                if (!near || !setup.in_band_y[static_cast<size_t>(y)]) {
                    return;
                }
                for (int32_t bx : setup.band_x) {
                    const int64_t distance = values[bx];
                    if (distance < 1 || distance > setup.largest) {
                        continue;  // in (Xe)*, or in no shell
                    }
                    uint16_t ties = 0;
                    const Side side = nearest_side(*near, bx, y, z, ties);
                    counts.corners.push_back({distance, side == Side::remove, ties != 0});
                }
            });
    }
    return counts;
}

ChunkCounts count_chunk(const Setup& setup, int32_t z0, int32_t z1) {
    // 8 bits hold distances capped at 255 exactly.
    constexpr int64_t kByteLimit = 254;
    if (setup.largest <= kByteLimit) {
        return count_chunk<uint8_t, uint8_t>(setup, z0, z1);
    }
    if (setup.epsilon <= kByteLimit) {
        return count_chunk<uint8_t, uint16_t>(setup, z0, z1);
    }
    return count_chunk<uint16_t, uint16_t>(setup, z0, z1);
}

std::vector<bool> band_flags(int32_t n) {
    std::vector<bool> flags(static_cast<size_t>(n), false);
    for (int32_t c : band_set(n)) {
        flags[static_cast<size_t>(c)] = true;
    }
    return flags;
}

}  // namespace

std::vector<uint64_t> distance_shell_counts(const WordVolume& x,
                                            const std::vector<int64_t>& thresholds,
                                            size_t epsilon_index, unsigned threads,
                                            KernelChoice kernels) {
    std::vector<uint64_t> counts(thresholds.size(), 0);
    const int32_t w = x.width();
    const int32_t h = x.height();
    const int32_t s = x.slices();
    const int64_t largest = *std::max_element(thresholds.begin(), thresholds.end());
    // An empty window, or single-voxel balls only: no shell has a voxel to count.
    if (w <= 2 * kWindowMargin || h <= 2 * kWindowMargin || s <= 2 * kWindowMargin ||
        largest == 0) {
        return counts;
    }
    Setup setup{
        x,      thresholds[epsilon_index], largest, {}, band_set(w), band_flags(h), band_flags(s),
        kernels};
    for (int64_t t : thresholds) {
        if (t >= 1) {
            setup.levels.push_back(t);
        }
    }
    std::sort(setup.levels.begin(), setup.levels.end());
    setup.levels.erase(std::unique(setup.levels.begin(), setup.levels.end()), setup.levels.end());

    // Each chunk of window planes makes the (Xe)* planes within reach of its own: the
    // chunks are independent, and their integer counts add up the same in any order.
    const int32_t first = kWindowMargin;
    const int32_t planes = s - 2 * kWindowMargin;
    const int32_t chunks = std::min(planes, static_cast<int32_t>(std::max(1u, threads)));
    std::vector<ChunkCounts> parts(static_cast<size_t>(chunks));
    parallel_for(parts.size(), threads, [&](size_t c) {
        const int32_t z0 = first + static_cast<int32_t>(static_cast<int64_t>(planes) *
                                                        static_cast<int64_t>(c) / chunks);
        const int32_t z1 = first + static_cast<int32_t>(static_cast<int64_t>(planes) *
                                                        static_cast<int64_t>(c + 1) / chunks);
        parts[c] = count_chunk(setup, z0, z1);
    });

    for (size_t d = 0; d < thresholds.size(); ++d) {
        const int64_t t = thresholds[d];
        if (t == 0) {
            continue;
        }
        const size_t level = static_cast<size_t>(
            std::lower_bound(setup.levels.begin(), setup.levels.end(), t) - setup.levels.begin());
        uint64_t window = 0;
        uint64_t removed = 0;
        uint64_t ties = 0;
        for (const ChunkCounts& part : parts) {
            window += part.levels[level];
            for (const CornerVoxel& corner : part.corners) {
                if (corner.distance <= t) {
                    removed += corner.removed;
                    ties += corner.tie;
                }
            }
        }
        // The tie counter counts in 16 bits, as on the general path.
        counts[d] = window - removed + static_cast<uint16_t>(ties) / 2;
    }
    return counts;
}

}  // namespace talvik
