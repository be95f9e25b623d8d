#include "shells/distance_shells.h"

#include <algorithm>
#include <bit>
#include <memory>
#include <mutex>
#include <optional>

#include "formats/integer_sqrt.h"
#include "morphology/edge_correction.h"
#include "morphology/morphology.h"
#include "parallel/parallel_for.h"
#include "shells/euclidean_ball.h"

namespace talvik {
namespace {

using distance::kBlock;
using distance::Kernels;
using distance::KernelSet;

size_t round_up(size_t n, size_t block) {
    return (n + block - 1) / block * block;
}

// The squared distance to the set voxels of bit planes, capped at limit + 1, one plane at a
// time and row by row: along z straight from the bits, then along y over a ring of the rows
// within reach, then along x. Only offsets up to floor(sqrt(limit)) along an axis can give
// a distance at or below the limit.
//
// Work is skipped by 64-voxel blocks: along y where no bit lies within reach, along x where
// the block and its neighbours within reach are all beyond the limit (the result is beyond
// it too) and, when only each voxel's side of the limit matters, where the block is all
// within it already. A skipped block passes on its values along y: they lie on the same side
// of the limit as the exact ones.
template <class E>
class PlaneTransform {
  public:
    // `exact`: the values at or below the limit are wanted, not just which voxels they are.
    PlaneTransform(int32_t height, size_t words_per_row, int64_t limit, bool exact,
                   const Kernels<E>& kernels)
        : kernels_(kernels),
          height_(height),
          words_(words_per_row),
          stride_(words_per_row * 64),
          reach_(static_cast<int32_t>(formats::floor_sqrt(limit))),
          span_(2 * reach_ + 1),
          limit_(static_cast<E>(limit)),
          cap_(static_cast<E>(limit + 1)),
          exact_(exact),
          pad_(round_up(static_cast<size_t>(reach_), kBlock)),
          sets_((words_ + 63) / 64),
          ring_(static_cast<size_t>(span_) * stride_),
          ring_active_(static_cast<size_t>(span_) * sets_),
          filled_(static_cast<size_t>(span_), false),
          line_(pad_ + stride_ + pad_, cap_),
          out_(stride_),
          active_(sets_),
          need_x_(sets_),
          within_(sets_),
          beyond_(sets_),
          clear_(words_per_row, 0),
          sources_(static_cast<size_t>(span_)),
          rows_(static_cast<size_t>(span_)),
          slots_(static_cast<size_t>(span_)),
          adds_(static_cast<size_t>(span_)) {
        // The rows within reach by distance, dy = 0, -1, 1, -2, 2, ..., so that the kernel
        // can take the two rows at one distance together.
        for (int32_t j = 0; j < span_; ++j) {
            order_.push_back(j % 2 ? -(j + 1) / 2 : j / 2);
            order_adds_.push_back(static_cast<E>(order_.back() * order_.back()));
        }
        // For a small reach, the list of every row within reach for each ring position.
        if (span_ <= kListedSpan) {
            for (int32_t home = 0; home < span_; ++home) {
                for (const int32_t dy : order_) {
                    const int32_t slot = (home + dy + span_) % span_;
                    listed_rows_.push_back(ring_.data() + static_cast<size_t>(slot) * stride_);
                }
            }
        }
    }

    int32_t reach() const { return reach_; }

    // Rows y0 <= y < y1 of one plane. planes[reach + dz] is the source plane dz away
    // (-reach <= dz <= reach), laid out as in a WordVolume from row `first_row` on (the rows
    // within reach of y0 .. y1 - 1 at least), or null outside the volume. emit(y, values)
    // receives the distances, values[x] for x0 <= x < x1, or nullptr when all of them are
    // beyond the limit.
    template <class Emit>
    void run(const uint64_t* const* planes, int32_t first_row, int32_t y0, int32_t y1, size_t x0,
             size_t x1, const Emit& emit) {
        const size_t first_block = x0 / kBlock;
        const size_t end_block = round_up(x1, kBlock) / kBlock;
        // Blocks whose values can reach a block along x.
        const size_t near = round_up(static_cast<size_t>(reach_), kBlock) / kBlock;
        int32_t next = std::max(0, y0 - reach_);
        // Of the last `span_` rows made, those with a bit within reach.
        int32_t made = 0;
        int32_t filled_made = 0;
        for (int32_t y = y0; y < y1; ++y) {
            // The ring holds the rows y - reach .. y + reach, each along z already.
            for (; next <= std::min(height_ - 1, y + reach_); ++next) {
                for (size_t k = 0; k < sources_.size(); ++k) {
                    sources_[k] = planes[k] != nullptr
                                      ? planes[k] + static_cast<size_t>(next - first_row) * words_
                                      : clear_.data();
                }
                const size_t slot = static_cast<size_t>(next % span_);
                filled_made -= made >= span_ ? filled_[slot] : 0;
                filled_[slot] = kernels_.from_bits(sources_.data(), reach_, words_, cap_,
                                                   ring_.data() + slot * stride_,
                                                   ring_active_.data() + slot * sets_);
                filled_made += filled_[slot];
                made = std::min(made + 1, span_);
            }
            // The rows within reach that have a bit within reach: the others are at the cap.
            size_t count = 0;
            const E* const* rows = rows_.data();
            const E* adds = adds_.data();
            const int32_t home = y % span_;
            if (span_ <= kListedSpan && y - reach_ >= 0 && y + reach_ < height_ &&
                filled_made == span_) {
                // Every row of the ring: the list is ready.
                count = static_cast<size_t>(span_);
                rows = listed_rows_.data() + static_cast<size_t>(home) * count;
                adds = order_adds_.data();
                for (size_t i = 0; i < sets_; ++i) {
                    uint64_t active = 0;
                    for (size_t slot = 0; slot < count; ++slot) {
                        active |= ring_active_[slot * sets_ + i];
                    }
                    active_[i] = active;
                }
            } else {
                for (const int32_t dy : order_) {
                    const int32_t row = y + dy;
                    int32_t slot = home + dy;
                    slot += slot < 0 ? span_ : 0;
                    slot -= slot >= span_ ? span_ : 0;
                    const bool in_volume = row >= 0 && row < height_;
                    slot = in_volume ? slot : 0;
                    rows_[count] = ring_.data() + static_cast<size_t>(slot) * stride_;
                    adds_[count] = static_cast<E>(dy * dy);
                    slots_[count] = static_cast<size_t>(slot);
                    count += in_volume && filled_[static_cast<size_t>(slot)];
                }
                for (size_t i = 0; i < sets_; ++i) {
                    uint64_t active = 0;
                    for (size_t r = 0; r < count; ++r) {
                        active |= ring_active_[slots_[r] * sets_ + i];
                    }
                    active_[i] = active;
                }
            }
            if (count == 0) {
                emit(y, nullptr);
                continue;
            }
            // Along y. The line keeps `pad_` values at the cap on both sides: the volume
            // ends there.
            E* line = line_.data() + pad_;
            std::fill(within_.begin(), within_.end(), 0);
            std::fill(beyond_.begin(), beyond_.end(), ~uint64_t{0});
            for_runs(
                active_.data(), 0, words_,
                [&](size_t a, size_t b) {
                    kernels_.along_y(rows, adds, count, a * kBlock, (b - a) * kBlock, line);
                    kernels_.classify(line, a, b - a, limit_, within_.data(), beyond_.data());
                },
                [&](size_t a, size_t b) { std::fill(line + a * kBlock, line + b * kBlock, cap_); });
            if (std::all_of(within_.begin(), within_.end(), [](uint64_t w) { return w == 0; })) {
                emit(y, nullptr);
                continue;
            }
            // Along x, in the blocks where it can change what the caller sees.
            for (size_t w = 0; w < sets_; ++w) {
                uint64_t reached = within_[w];
                for (size_t shift = 1; shift <= near; ++shift) {
                    reached |= within_[w] << shift | within_[w] >> shift;
                    reached |= w > 0 ? within_[w - 1] >> (64 - shift) : 0;
                    reached |= w + 1 < sets_ ? within_[w + 1] << (64 - shift) : 0;
                }
                need_x_[w] = exact_ ? reached : reached & beyond_[w];
            }
            for_runs(
                need_x_.data(), first_block, end_block,
                [&](size_t a, size_t b) {
                    kernels_.along_x(line + a * kBlock, reach_, (b - a) * kBlock,
                                     out_.data() + a * kBlock);
                },
                [&](size_t a, size_t b) {
                    std::copy(line + a * kBlock, line + b * kBlock, out_.data() + a * kBlock);
                });
            emit(y, static_cast<const E*>(out_.data()));
        }
    }

  private:
    // on(a, b) for each maximal run [a, b) of set bits within [begin, end), off(a, b) for
    // each run of clear bits.
    template <class On, class Off>
    static void for_runs(const uint64_t* bits, size_t begin, size_t end, const On& on,
                         const Off& off) {
        for (size_t a = begin; a < end;) {
            const bool set = (bits[a / 64] >> (a % 64)) & 1;
            // The next bit that differs.
            size_t b = a;
            while (b < end) {
                const uint64_t word = (set ? ~bits[b / 64] : bits[b / 64]) >> (b % 64);
                if (word != 0) {
                    b = std::min(end, b + static_cast<size_t>(std::countr_zero(word)));
                    break;
                }
                b = (b / 64 + 1) * 64;
            }
            b = std::min(b, end);
            set ? on(a, b) : off(a, b);
            a = b;
        }
    }

    const Kernels<E>& kernels_;
    int32_t height_;
    size_t words_;
    size_t stride_;
    int32_t reach_;
    int32_t span_;
    E limit_;
    E cap_;
    bool exact_;
    size_t pad_;
    size_t sets_;  // words of a bit set with one bit per block
    std::vector<E> ring_;
    std::vector<uint64_t> ring_active_;
    std::vector<uint8_t> filled_;
    std::vector<E> line_;
    std::vector<E> out_;
    std::vector<uint64_t> active_;
    // Bit sets with one bit per block.
    std::vector<uint64_t> need_x_;
    std::vector<uint64_t> within_;
    std::vector<uint64_t> beyond_;
    std::vector<uint64_t> clear_;
    std::vector<const uint64_t*> sources_;
    std::vector<const E*> rows_;
    std::vector<size_t> slots_;
    std::vector<E> adds_;
    std::vector<int32_t> order_;
    std::vector<E> order_adds_;
    // For span_ <= kListedSpan, the rows of the ring in order_ for each position of row y.
    static constexpr int32_t kListedSpan = 64;
    std::vector<const E*> listed_rows_;
};

// A corner voxel of some shell: its distance to (Xe)* and the correction's decision.
struct CornerVoxel {
    int64_t distance = 0;
    bool removed = false;
    bool tie = false;
    size_t block = 0;
};

struct PieceCounts {
    // [block * levels + level]: voxels of the block with 1 <= distance <= level
    std::vector<uint64_t> levels;
    std::vector<CornerVoxel> corners;
};

// The rings of (Xe)* planes, handed from piece to piece: a count keeps as many as run at once,
// each of the largest size, where an allocator would keep freed ones of every size.
class RingPool {
  public:
    explicit RingPool(size_t words) : words_(words) {}

    std::unique_ptr<uint64_t[]> take() {
        {
            std::lock_guard lock(mutex_);
            if (!free_.empty()) {
                std::unique_ptr<uint64_t[]> ring = std::move(free_.back());
                free_.pop_back();
                return ring;
            }
        }
        return std::make_unique_for_overwrite<uint64_t[]>(words_);
    }

    void give(std::unique_ptr<uint64_t[]> ring) {
        std::lock_guard lock(mutex_);
        free_.push_back(std::move(ring));
    }

  private:
    size_t words_;
    std::mutex mutex_;
    std::vector<std::unique_ptr<uint64_t[]>> free_;
};

struct Setup {
    const formats::WordVolume& x;
    int64_t epsilon;              // t of the epsilon ball
    int64_t largest;              // the largest t
    std::vector<int64_t> levels;  // the distinct t >= 1, ascending
    std::vector<int32_t> band_x;  // the edge correction's coordinates
    std::vector<bool> in_band_y;
    std::vector<bool> in_band_z;
    const KernelSet& kernels;
    int32_t halo;  // the rows and planes of (Xe)* that a voxel's count reads around it
    RingPool* rings;
    const WindowBlocks& blocks;
};

// A part of the window: planes z0 <= z < z1, rows y0 <= y < y1, every x.
struct Piece {
    int32_t z0, z1, y0, y1;
};

// The rows of (Xe)* that a piece reads.
std::pair<int32_t, int32_t> star_rows(const Piece& piece, int32_t halo, int32_t height) {
    return {std::max(0, piece.y0 - halo), std::min(height, piece.y1 + halo)};
}

// The counts of a piece of the window. (Xe)* is made plane by plane into a ring that holds
// the planes within reach of the current one, from the planes of X within the epsilon ball's
// reach; of each plane only the rows within reach of the piece's rows.
template <class Ee, class Ed>
PieceCounts count_piece(const Setup& setup, const Piece& piece) {
    const formats::WordVolume& x = setup.x;
    const int32_t w = x.width();
    const int32_t h = x.height();
    const int32_t s = x.slices();
    const size_t wpr = x.words_per_row();
    const uint64_t last = x.last_word_mask();
    const Kernels<Ee>& kernels_e = setup.kernels.of<Ee>();
    const Kernels<Ed>& kernels_d = setup.kernels.of<Ed>();
    // Xe needs only which voxels lie within t_e of X; the shells need the distances.
    PlaneTransform<Ee> to_x(h, wpr, setup.epsilon, false, kernels_e);
    PlaneTransform<Ed> to_star(h, wpr, setup.largest, true, kernels_d);
    const int32_t halo = setup.halo;
    const int32_t slots = 2 * halo + 1;
    // Of each plane of (Xe)* the ring holds the band of rows that the piece reads. Every row
    // of a plane is made before it is read.
    const std::pair<int32_t, int32_t> star_band = star_rows(piece, halo, h);
    const int32_t star_y0 = star_band.first;
    const int32_t star_y1 = star_band.second;
    const size_t star_plane_words = static_cast<size_t>(star_y1 - star_y0) * wpr;
    std::unique_ptr<uint64_t[]> star = setup.rings->take();
    // The source planes of one transform, null outside the volume.
    std::vector<const uint64_t*> x_planes(static_cast<size_t>(2 * to_x.reach() + 1));
    std::vector<const uint64_t*> star_planes(static_cast<size_t>(2 * to_star.reach() + 1));
    auto star_plane = [&](int32_t z) {
        return star.get() + static_cast<size_t>(z % slots) * star_plane_words;
    };

    // (Xe)* plane z: the voxels farther than t_e from X.
    auto make_star = [&](int32_t z) {
        uint64_t* plane = star_plane(z);
        if (setup.epsilon == 0) {
            for (int32_t y = star_y0; y < star_y1; ++y) {
                const uint64_t* in = x.row(y, z);
                uint64_t* row = plane + static_cast<size_t>(y - star_y0) * wpr;
                for (size_t i = 0; i < wpr; ++i) {
                    row[i] = ~in[i];
                }
                row[wpr - 1] &= last;
            }
            return;
        }
        for (int32_t dz = -to_x.reach(); dz <= to_x.reach(); ++dz) {
            const int32_t zz = z + dz;
            x_planes[static_cast<size_t>(dz + to_x.reach())] =
                zz < 0 || zz >= s ? nullptr : x.plane(zz);
        }
        to_x.run(x_planes.data(), 0, star_y0, star_y1, 0, static_cast<size_t>(w),
                 [&](int32_t y, const Ee* values) {
                     uint64_t* row = plane + static_cast<size_t>(y - star_y0) * wpr;
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
    PieceCounts counts;
    counts.levels.assign(setup.blocks.count() * levels.size(), 0);
    const size_t x0 = kWindowMargin;
    const size_t x1 = static_cast<size_t>(w - kWindowMargin);
    // The levels of a row of the window, into the blocks that it crosses.
    auto count_row = [&](int32_t y, int32_t z, const Ed* values) {
        const size_t first = setup.blocks.block_of(kWindowMargin, y, z);
        for (size_t bx = 0; bx < setup.blocks.along(0); ++bx) {
            kernels_d.count_levels(values, static_cast<size_t>(setup.blocks.edge(0, bx)),
                                   static_cast<size_t>(setup.blocks.edge(0, bx + 1)), levels.data(),
                                   levels.size(),
                                   counts.levels.data() + (first + bx) * levels.size());
        }
    };
    int32_t next = std::max(0, piece.z0 - halo);
    for (int32_t z = piece.z0; z < piece.z1; ++z) {
        for (; next <= std::min(s - 1, z + halo); ++next) {
            make_star(next);
        }
        std::optional<ReferencePlanes> near;
        if (setup.in_band_z[static_cast<size_t>(z)]) {
            near.emplace(w, h, s, wpr, star_y0);
            for (int32_t zz = std::max(0, z - kSearchReach);
                 zz <= std::min(s - 1, z + kSearchReach); ++zz) {
                near->set_plane(zz, star_plane(zz));
            }
        }
        for (int32_t dz = -to_star.reach(); dz <= to_star.reach(); ++dz) {
            const int32_t zz = z + dz;
            star_planes[static_cast<size_t>(dz + to_star.reach())] =
                zz < 0 || zz >= s ? nullptr : star_plane(zz);
        }
        to_star.run(star_planes.data(), star_y0, piece.y0, piece.y1, x0, x1,
                    [&](int32_t y, const Ed* values) {
                        if (values == nullptr) {
                            return;
                        }
                        count_row(y, z, values);
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
                            counts.corners.push_back({distance, side == Side::remove, ties != 0,
                                                      setup.blocks.block_of(bx, y, z)});
                        }
                    });
    }
    setup.rings->give(std::move(star));
    return counts;
}

PieceCounts count_piece(const Setup& setup, const Piece& piece) {
    // 8 bits hold distances capped at 255 exactly.
    constexpr int64_t kByteLimit = 254;
    if (setup.largest <= kByteLimit) {
        return count_piece<uint8_t, uint8_t>(setup, piece);
    }
    if (setup.epsilon <= kByteLimit) {
        return count_piece<uint8_t, uint16_t>(setup, piece);
    }
    return count_piece<uint16_t, uint16_t>(setup, piece);
}

// The window cut into pieces, as independent pieces of work. A few runs of planes per thread,
// so that a thread slowed by other work on the machine leaves its share to the others, but
// long enough that the planes made twice, at the ends, stay a small part. Bands of rows, so
// that the planes a piece reads around the current one, of X and of (Xe)*, stay within a few
// megabytes of cache whatever the width.
std::vector<Piece> pieces(const formats::WordVolume& x, int64_t reach_e, int64_t reach,
                          unsigned threads, int64_t piece_bytes) {
    const int64_t workers = std::max(1u, threads);
    const int64_t halo = std::max<int64_t>(reach, kSearchReach);
    const int64_t planes = x.slices() - 2 * kWindowMargin;
    const int64_t rows = x.height() - 2 * kWindowMargin;
    const int64_t runs =
        workers == 1 ? 1 : std::min(planes, std::clamp(planes / (16 * halo), workers, 4 * workers));
    const int64_t row_bytes = static_cast<int64_t>(x.words_per_row() * sizeof(uint64_t));
    const int64_t band =
        std::max(4 * halo, piece_bytes / (row_bytes * (2 * reach_e + 2 * halo + 2)));
    const int64_t bands = (rows + band - 1) / band;
    std::vector<Piece> result;
    for (int64_t r = 0; r < runs; ++r) {
        for (int64_t b = 0; b < bands; ++b) {
            result.push_back({static_cast<int32_t>(kWindowMargin + planes * r / runs),
                              static_cast<int32_t>(kWindowMargin + planes * (r + 1) / runs),
                              static_cast<int32_t>(kWindowMargin + rows * b / bands),
                              static_cast<int32_t>(kWindowMargin + rows * (b + 1) / bands)});
        }
    }
    return result;
}

std::vector<bool> band_flags(int32_t n) {
    std::vector<bool> flags(static_cast<size_t>(n), false);
    for (int32_t c : band_set(n)) {
        flags[static_cast<size_t>(c)] = true;
    }
    return flags;
}

}  // namespace

std::vector<uint64_t> distance_shell_counts(const formats::WordVolume& x,
                                            const std::vector<int64_t>& thresholds,
                                            size_t epsilon_index, unsigned threads,
                                            const DistanceTuning& tuning) {
    return distance_shell_counts(x, thresholds, epsilon_index, threads,
                                 WindowBlocks::whole(x.width(), x.height(), x.slices()), tuning)
        .totals;
}

ShellCounts distance_shell_counts(const formats::WordVolume& x,
                                  const std::vector<int64_t>& thresholds, size_t epsilon_index,
                                  unsigned threads, const WindowBlocks& blocks,
                                  const DistanceTuning& tuning) {
    ShellCounts counts;
    counts.totals.assign(thresholds.size(), 0);
    counts.by_block.assign(blocks.count() * thresholds.size(), 0);
    const int32_t w = x.width();
    const int32_t h = x.height();
    const int32_t s = x.slices();
    const int64_t largest = *std::max_element(thresholds.begin(), thresholds.end());
    // An empty window, or single-voxel balls only: no shell has a voxel to count.
    if (w <= 2 * kWindowMargin || h <= 2 * kWindowMargin || s <= 2 * kWindowMargin ||
        largest == 0) {
        return counts;
    }
    Setup setup{x,
                thresholds[epsilon_index],
                largest,
                {},
                band_set(w),
                band_flags(h),
                band_flags(s),
                tuning.kernels != nullptr ? *tuning.kernels : distance::dispatched_kernel_set(),
                std::max(static_cast<int32_t>(formats::floor_sqrt(largest)), kSearchReach),
                nullptr,
                blocks};
    for (int64_t t : thresholds) {
        if (t >= 1) {
            setup.levels.push_back(t);
        }
    }
    std::sort(setup.levels.begin(), setup.levels.end());
    setup.levels.erase(std::unique(setup.levels.begin(), setup.levels.end()), setup.levels.end());

    // Each piece makes the (Xe)* it needs itself: the pieces are independent, and their
    // integer counts add up the same in any order.
    const std::vector<Piece> work =
        pieces(x, formats::floor_sqrt(setup.epsilon), formats::floor_sqrt(largest), threads,
               tuning.piece_bytes);
    size_t ring_words = 0;
    for (const Piece& piece : work) {
        const auto [y0, y1] = star_rows(piece, setup.halo, h);
        ring_words = std::max(ring_words, static_cast<size_t>(2 * setup.halo + 1) *
                                              static_cast<size_t>(y1 - y0) * x.words_per_row());
    }
    RingPool rings(ring_words);
    setup.rings = &rings;
    std::vector<PieceCounts> parts(work.size());
    parallel_for(work.size(), threads, [&](size_t c) { parts[c] = count_piece(setup, work[c]); });

    for (size_t d = 0; d < thresholds.size(); ++d) {
        const int64_t t = thresholds[d];
        if (t == 0) {
            continue;
        }
        const size_t level = static_cast<size_t>(
            std::lower_bound(setup.levels.begin(), setup.levels.end(), t) - setup.levels.begin());
        std::vector<uint64_t> window(blocks.count(), 0);
        std::vector<uint64_t> removed(blocks.count(), 0);
        std::vector<uint32_t> ties(blocks.count(), 0);
        for (const PieceCounts& part : parts) {
            for (size_t b = 0; b < blocks.count(); ++b) {
                window[b] += part.levels[b * setup.levels.size() + level];
            }
            for (const CornerVoxel& corner : part.corners) {
                if (corner.distance <= t) {
                    removed[corner.block] += corner.removed;
                    ties[corner.block] += corner.tie;
                }
            }
        }
        uint64_t total = 0;
        const std::vector<uint64_t> shares = half_tie_shares(ties);
        for (size_t b = 0; b < blocks.count(); ++b) {
            const uint64_t in_block = window[b] - removed[b];
            total += in_block;
            counts.by_block[b * thresholds.size() + d] = in_block + shares[b];
        }
        // The tie counter counts in 16 bits, as on the general path.
        uint64_t all_ties = 0;
        for (const uint32_t n : ties) {
            all_ties += n;
        }
        counts.totals[d] = total + static_cast<uint16_t>(all_ties) / 2;
    }
    return counts;
}

std::optional<std::vector<int64_t>> distance_thresholds(
    const std::vector<formats::DiscretizedBall>& balls) {
    if (balls.empty()) {
        return std::nullopt;
    }
    std::optional<std::vector<int64_t>> thresholds = euclidean_thresholds(balls);
    if (!thresholds ||
        *std::max_element(thresholds->begin(), thresholds->end()) > kLargestDistanceThreshold) {
        return std::nullopt;
    }
    return thresholds;
}

DistanceShells::DistanceShells(formats::WordVolume x, std::vector<int64_t> thresholds,
                               unsigned threads, const DistanceTuning& tuning)
    : x_(std::move(x)), thresholds_(std::move(thresholds)), threads_(threads), tuning_(tuning) {}

ShellCounts DistanceShells::count_shells(const std::vector<formats::DiscretizedBall>& balls,
                                         size_t epsilon_index, const WindowBlocks& blocks,
                                         const ShellSteps& steps) {
    ShellCounts counts;
    steps.simd_target(tuning_.kernels != nullptr ? tuning_.kernels->name
                                                 : distance::dispatched_kernel_set().name);
    steps.reference(
        [&] {
            counts =
                distance_shell_counts(x_, thresholds_, epsilon_index, threads_, blocks, tuning_);
        },
        {});
    for (size_t i = 0; i < balls.size(); ++i) {
        steps.shell(static_cast<unsigned>(i + 1), {}, {}, {}, [&] { return counts.totals[i]; });
    }
    return counts;
}

}  // namespace talvik
