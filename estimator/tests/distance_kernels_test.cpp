// The distance kernels of every SIMD target that this processor runs, one target at a time
// through Highway's per-target tests, against plain loops that say what each kernel computes.
#include "shells/distance_kernels.h"

#include <gtest/gtest.h>
#include <hwy/tests/hwy_gtest.h>

#include <algorithm>
#include <limits>
#include <random>
#include <vector>

namespace talvik::distance {
namespace {

constexpr size_t kWords = 70;  // rows of 4480 voxels: bit sets of more than one word

template <class E>
E saturated_sum(E a, E b) {
    return static_cast<E>(std::min<unsigned>(unsigned{a} + b, std::numeric_limits<E>::max()));
}

// Values of every size, many of them near the type's maximum.
template <class E>
E random_value(std::mt19937& engine) {
    const unsigned top = std::numeric_limits<E>::max();
    switch (engine() % 4) {
        case 0:
            return static_cast<E>(top - engine() % 4);
        case 1:
            return static_cast<E>(engine() % 16);
        default:
            return static_cast<E>(engine() % (top + 1));
    }
}

template <class E>
std::vector<E> random_row(size_t n, std::mt19937& engine) {
    std::vector<E> row(n);
    for (E& v : row) {
        v = random_value<E>(engine);
    }
    return row;
}

// Bits with a density of about 1 in `sparseness`; whole words left empty now and then.
uint64_t random_word(std::mt19937_64& engine, unsigned sparseness) {
    if (engine() % 5 == 0) {
        return 0;
    }
    uint64_t word = 0;
    for (unsigned b = 0; b < 64; ++b) {
        word |= static_cast<uint64_t>(engine() % sparseness == 0) << b;
    }
    return word;
}

// The reaches of one element type: the largest a cap of that type allows (15 in 8 bits, 255
// in 16), and small ones.
template <class E>
std::vector<int32_t> reaches() {
    return sizeof(E) == 1 ? std::vector<int32_t>{0, 1, 3, 10, 15}
                          : std::vector<int32_t>{0, 2, 17, 100, 255};
}

template <class E>
void from_bits_agrees(const Kernels<E>& kernels) {
    std::mt19937_64 engine(7);
    for (int32_t reach : reaches<E>()) {
        for (unsigned sparseness : {2u, 40u, 5000u}) {
            const size_t span = static_cast<size_t>(2 * reach + 1);
            std::vector<std::vector<uint64_t>> planes(span, std::vector<uint64_t>(kWords));
            for (auto& plane : planes) {
                for (uint64_t& w : plane) {
                    w = random_word(engine, sparseness);
                }
            }
            std::vector<const uint64_t*> rows;
            for (const auto& plane : planes) {
                rows.push_back(plane.data());
            }
            const E cap = static_cast<E>(sizeof(E) == 1 ? 255 : reach * reach + 1 + engine() % 50);
            std::vector<E> out(kWords * kBlock);
            std::vector<uint64_t> active((kWords + 63) / 64, ~uint64_t{0});
            const bool any =
                kernels.from_bits(rows.data(), reach, kWords, cap, out.data(), active.data());
            bool expected_any = false;
            for (size_t x = 0; x < kWords * kBlock; ++x) {
                E expected = cap;
                for (int32_t k = reach; k >= 0; --k) {
                    if (((planes[static_cast<size_t>(reach - k)][x / 64] |
                          planes[static_cast<size_t>(reach + k)][x / 64]) >>
                         (x % 64)) &
                        1) {
                        expected = static_cast<E>(k * k);
                    }
                }
                ASSERT_EQ(out[x], expected) << "reach " << reach << ", x " << x;
            }
            for (size_t i = 0; i < kWords; ++i) {
                bool block = false;
                for (const auto& plane : planes) {
                    block |= plane[i] != 0;
                }
                expected_any |= block;
                ASSERT_EQ((active[i / 64] >> (i % 64)) & 1, block) << "reach " << reach;
            }
            EXPECT_EQ(any, expected_any);
        }
    }
}

template <class E>
void along_y_and_x_agree(const Kernels<E>& kernels) {
    std::mt19937 engine(11);
    const size_t n = kWords * kBlock;
    for (int trial = 0; trial < 30; ++trial) {
        // Along y: rows taken in pairs at the same distance, as the transform gives them.
        const size_t count = 1 + engine() % 21;
        std::vector<std::vector<E>> rows;
        std::vector<const E*> pointers;
        std::vector<E> adds;
        for (size_t r = 0; r < count; ++r) {
            rows.push_back(random_row<E>(n, engine));
            const unsigned dy = static_cast<unsigned>((r + 1) / 2);
            adds.push_back(engine() % 3 == 0 ? random_value<E>(engine) : static_cast<E>(dy * dy));
        }
        for (const auto& row : rows) {
            pointers.push_back(row.data());
        }
        const size_t first = kBlock * (engine() % 5);
        const size_t length = n - first - kBlock * (engine() % 5);
        std::vector<E> out(n, 7);
        kernels.along_y(pointers.data(), adds.data(), count, first, length, out.data());
        for (size_t x = 0; x < n; ++x) {
            E expected = 7;
            if (x >= first && x < first + length) {
                expected = std::numeric_limits<E>::max();
                for (size_t r = 0; r < count; ++r) {
                    expected = std::min(expected, saturated_sum(rows[r][x], adds[r]));
                }
            }
            ASSERT_EQ(out[x], expected) << "trial " << trial << ", x " << x;
        }

        // Along x, with `reach` readable values on both sides.
        const int32_t reach = reaches<E>()[engine() % reaches<E>().size()];
        const std::vector<E> in = random_row<E>(n + 2 * static_cast<size_t>(reach), engine);
        std::vector<E> along(n);
        kernels.along_x(in.data() + reach, reach, n, along.data());
        for (size_t x = 0; x < n; ++x) {
            E expected = std::numeric_limits<E>::max();
            for (int32_t i = -reach; i <= reach; ++i) {
                expected = std::min(expected, saturated_sum(in[x + static_cast<size_t>(reach + i)],
                                                            static_cast<E>(i * i)));
            }
            ASSERT_EQ(along[x], expected) << "trial " << trial << ", reach " << reach;
        }
    }
}

// Limits and levels across the type: for 16 bits between 300 and 65534.
template <class E>
E random_limit(std::mt19937& engine) {
    return sizeof(E) == 1 ? static_cast<E>(engine() % 255)
                          : static_cast<E>(300 + engine() % (65534 - 300 + 1));
}

template <class E>
void classify_pack_and_count_agree(const Kernels<E>& kernels) {
    std::mt19937 engine(13);
    const size_t n = kWords * kBlock;
    for (int trial = 0; trial < 40; ++trial) {
        const E limit = trial % 4 == 0 ? static_cast<E>(std::numeric_limits<E>::max() - 1)
                                       : random_limit<E>(engine);
        std::vector<E> in = random_row<E>(n, engine);
        // Blocks all at or just below the limit, and all just above it.
        const unsigned top = std::numeric_limits<E>::max();
        for (size_t b = 0; b < kWords; b += 3) {
            for (size_t x = b * kBlock; x < (b + 1) * kBlock; ++x) {
                const unsigned step = engine() % 3;
                in[x] = b % 2 ? static_cast<E>(limit >= step ? limit - step : 0)
                              : static_cast<E>(std::min(top, limit + 1 + step));
            }
        }

        std::vector<uint64_t> within((kWords + 63) / 64, 0x5555555555555555);
        std::vector<uint64_t> beyond(within);
        const size_t first = engine() % 8;
        const size_t count = kWords - first - engine() % 8;
        kernels.classify(in.data(), first, count, limit, within.data(), beyond.data());
        for (size_t b = 0; b < kWords; ++b) {
            bool some_within = (b % 2) == 0;  // the pattern stays outside [first, first + count)
            bool some_beyond = some_within;
            if (b >= first && b < first + count) {
                const auto [low, high] =
                    std::minmax_element(in.begin() + static_cast<ptrdiff_t>(b * kBlock),
                                        in.begin() + static_cast<ptrdiff_t>((b + 1) * kBlock));
                some_within = *low <= limit;
                some_beyond = *high > limit;
            }
            ASSERT_EQ((within[b / 64] >> (b % 64)) & 1, some_within) << "block " << b;
            ASSERT_EQ((beyond[b / 64] >> (b % 64)) & 1, some_beyond) << "block " << b;
        }

        std::vector<uint64_t> packed(kWords);
        kernels.pack_above(in.data(), limit, kWords, packed.data());
        for (size_t x = 0; x < n; ++x) {
            ASSERT_EQ((packed[x / 64] >> (x % 64)) & 1, in[x] > limit) << "x " << x;
        }

        std::vector<E> levels;
        for (size_t l = 0, levels_count = engine() % 33; l < levels_count; ++l) {
            levels.push_back(random_limit<E>(engine));
        }
        levels.push_back(limit);
        std::sort(levels.begin(), levels.end());
        const size_t x0 = engine() % (2 * kBlock);
        const size_t x1 = n - engine() % (2 * kBlock);
        std::vector<uint64_t> counts(levels.size(), 5);
        kernels.count_levels(in.data(), x0, x1, levels.data(), levels.size(), counts.data());
        for (size_t l = 0; l < levels.size(); ++l) {
            const uint64_t expected = 5 + static_cast<uint64_t>(std::count_if(
                                              in.begin() + static_cast<ptrdiff_t>(x0),
                                              in.begin() + static_cast<ptrdiff_t>(x1),
                                              [&](E v) { return v >= 1 && v <= levels[l]; }));
            ASSERT_EQ(counts[l], expected) << "level " << levels[l];
        }
    }
}

HWY_BEFORE_TEST(DistanceKernels);

// Highway restricts its dispatch to the target under test.
const KernelSet& target_under_test(int64_t target) {
    const KernelSet& set = dispatched_kernel_set();
    EXPECT_EQ(set.target, target) << set.name;
    EXPECT_TRUE(runs_here(set));
    return set;
}

TEST_P(DistanceKernels, FromBitsTakesTheNearestPlane) {
    const KernelSet& set = target_under_test(GetParam());
    from_bits_agrees(set.bytes);
    from_bits_agrees(set.words);
}

TEST_P(DistanceKernels, AlongYAndXTakeTheSmallestSaturatedSum) {
    const KernelSet& set = target_under_test(GetParam());
    along_y_and_x_agree(set.bytes);
    along_y_and_x_agree(set.words);
}

TEST_P(DistanceKernels, ClassifyPackAndCountSplitAtTheLimits) {
    const KernelSet& set = target_under_test(GetParam());
    classify_pack_and_count_agree(set.bytes);
    classify_pack_and_count_agree(set.words);
}

TEST(DistanceKernelSets, EveryTargetIsNamedOnceAndThePlainOneRunsEverywhere) {
    const std::vector<const KernelSet*>& sets = compiled_kernel_sets();
    ASSERT_FALSE(sets.empty());
    EXPECT_STREQ(sets.back()->name, "scalar");
    EXPECT_TRUE(runs_here(*sets.back()));
    for (const KernelSet* set : sets) {
        EXPECT_EQ(kernel_set_named(set->name), set);
    }
    EXPECT_EQ(kernel_set_named("no such target"), nullptr);
    EXPECT_TRUE(runs_here(dispatched_kernel_set()));
}

}  // namespace
}  // namespace talvik::distance
