// Highway compiles this file once per SIMD target (foreach_target.h includes it again for
// each); the part under HWY_ONCE, compiled once, lists the targets and dispatches.
#include "shells/distance_kernels.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>

#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "shells/distance_kernels.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep
#include <hwy/highway.h>

#ifndef TALVIK_DISTANCE_KERNELS_ONCE
#define TALVIK_DISTANCE_KERNELS_ONCE

// Masks are read from and written to the bytes of 64-bit words.
static_assert(std::endian::native == std::endian::little);

namespace talvik::distance {

// The name TALVIK_SIMD takes for a Highway target.
constexpr const char* simd_name(int64_t target) {
    switch (target) {
        case HWY_AVX3_DL:
            return "avx512_dl";
        case HWY_AVX3:
            return "avx512";
        case HWY_AVX2:
            return "avx2";
        case HWY_SSE4:
            return "sse4";
        case HWY_SSSE3:
            return "ssse3";
        case HWY_SVE2_128:
            return "sve2_128";
        case HWY_SVE_256:
            return "sve_256";
        case HWY_SVE2:
            return "sve2";
        case HWY_SVE:
            return "sve";
        case HWY_NEON:
            return "neon";
        case HWY_EMU128:
        case HWY_SCALAR:
            return "scalar";
        default:
            return "other";
    }
}

}  // namespace talvik::distance

#endif

HWY_BEFORE_NAMESPACE();
namespace talvik::distance::HWY_NAMESPACE {
namespace {

namespace hn = hwy::HWY_NAMESPACE;

// At most one block per vector: on targets with wider vectors a block is a part of one.
template <class E>
using Tag = hn::CappedTag<E, kBlock>;

// The lanes of `d` whose bit of `bits` (bit 0 for lane 0) is set.
template <class D>
auto mask_of(D d, uint64_t bits) {
    uint8_t bytes[8];
    std::memcpy(bytes, &bits, sizeof(bits));
    return hn::LoadMaskBits(d, bytes);
}

// The low bits of a word that govern one vector of `lanes` lanes.
inline uint64_t lane_bits(size_t lanes) {
    return lanes >= 64 ? ~uint64_t{0} : (uint64_t{1} << lanes) - 1;
}

// The nearest planes of a few words, in bits. With N_k the voxels that have their bit in some
// row within k of the middle one, the smallest such k of a voxel, K, has bit b set exactly
// when K lies in [j * 2^(b+1) + 2^b, (j + 1) * 2^(b+1) - 1] for some j, that is when the voxel
// is outside N_(lo - 1) and inside N_hi for such a range [lo, hi]. Going up in k, a range of
// bit b begins after the k whose k + 1 has b as its lowest set bit, and ends at each k whose
// k + 1 has more trailing zeros. Words first .. first + count - 1, a whole number of vectors
// of `d`; near[w] receives N_reach.
inline constexpr size_t kChunk = 8;
inline constexpr int kKBits = 9;  // K <= 255

template <class D64>
void nearest_planes(D64 d, const uint64_t* const* rows, int32_t reach, size_t first, size_t count,
                    uint64_t (&bits)[kKBits][kChunk], uint64_t* near) {
    const size_t lanes = hn::Lanes(d);
    uint64_t low[kKBits][kChunk];
    for (size_t w = 0; w < count; w += lanes) {
        auto n = hn::LoadU(d, rows[reach] + first + w);
        for (int b = 0; b < kKBits; ++b) {
            hn::StoreU(hn::Zero(d), d, bits[b] + w);
        }
        for (int32_t k = 0; k <= reach; ++k) {
            if (k > 0) {
                n = hn::Or(n, hn::Or(hn::LoadU(d, rows[reach - k] + first + w),
                                     hn::LoadU(d, rows[reach + k] + first + w)));
            }
            const int lowest = std::countr_zero(static_cast<unsigned>(k + 1));
            for (int b = 0; b < lowest; ++b) {
                hn::StoreU(hn::Or(hn::LoadU(d, bits[b] + w), hn::And(hn::LoadU(d, low[b] + w), n)),
                           d, bits[b] + w);
            }
            hn::StoreU(hn::Not(n), d, low[lowest] + w);
        }
        // The ranges still open end at K = reach.
        for (int b = 0; b < kKBits; ++b) {
            if (((reach + 1) >> b) & 1) {
                hn::StoreU(hn::Or(hn::LoadU(d, bits[b] + w), hn::And(hn::LoadU(d, low[b] + w), n)),
                           d, bits[b] + w);
            }
        }
        hn::StoreU(n, d, near + w);
    }
}

// k * k in every lane (k <= 15 for bytes).
template <class D, class V>
V squares(D d, V k) {
    if constexpr (sizeof(hn::TFromD<D>) == 2) {
        return hn::Mul(k, k);
    } else {
#if HWY_TARGET == HWY_SCALAR
        const unsigned lane = hn::GetLane(k);
        return hn::Set(d, static_cast<uint8_t>(lane * lane));
#else
        alignas(16) static constexpr uint8_t kSquares[16] = {0,  1,  4,   9,   16,  25,  36,  49,
                                                             64, 81, 100, 121, 144, 169, 196, 225};
        return hn::TableLookupBytes(hn::LoadDup128(d, kSquares), k);
#endif
    }
}

template <class E>
bool from_bits(const uint64_t* const* rows, int32_t reach, size_t words, E cap, E* out,
               uint64_t* active) {
    const Tag<E> d;
    const size_t lanes = hn::Lanes(d);
    const uint64_t low = lane_bits(lanes);
    const auto cap_v = hn::Set(d, cap);
    const int k_bits = std::bit_width(static_cast<unsigned>(reach));
    for (size_t i = 0; i < (words + 63) / 64; ++i) {
        active[i] = 0;
    }
    bool seen = false;
    const hn::CappedTag<uint64_t, kChunk> chunk;
    const size_t span = static_cast<size_t>(2 * reach + 1);
    thread_local std::vector<uint64_t> tail;
    thread_local std::vector<const uint64_t*> tail_rows;
    if (words % kChunk != 0) {
        tail.resize(span * kChunk);
        tail_rows.resize(span);
    }
    uint64_t bits[kKBits][kChunk];
    uint64_t near[kChunk];
    for (size_t first = 0; first < words; first += kChunk) {
        const size_t count = std::min(kChunk, words - first);
        if (count == kChunk) {
            nearest_planes(chunk, rows, reach, first, kChunk, bits, near);
        } else {
            // The last words of the rows, copied into whole chunks.
            for (size_t r = 0; r < span; ++r) {
                uint64_t* copy = tail.data() + r * kChunk;
                std::copy(rows[r] + first, rows[r] + first + count, copy);
                std::fill(copy + count, copy + kChunk, 0);
                tail_rows[r] = copy;
            }
            nearest_planes(chunk, tail_rows.data(), reach, 0, kChunk, bits, near);
        }
        for (size_t w = 0; w < count; ++w) {
            const size_t i = first + w;
            E* block = out + i * kBlock;
            if (near[w] == 0) {
                for (size_t p = 0; p < kBlock; p += lanes) {
                    hn::StoreU(cap_v, d, block + p);
                }
                continue;
            }
            active[i / 64] |= uint64_t{1} << (i % 64);
            seen = true;
            for (size_t p = 0; p < kBlock; p += lanes) {
                auto k = hn::Zero(d);
                for (int b = 0; b < k_bits; ++b) {
                    k = hn::Or(k, hn::IfThenElseZero(mask_of(d, (bits[b][w] >> p) & low),
                                                     hn::Set(d, static_cast<E>(1u << b))));
                }
                const auto none = mask_of(d, (~near[w] >> p) & low);
                hn::StoreU(hn::IfThenElse(none, cap_v, squares(d, k)), d, block + p);
            }
        }
    }
    return seen;
}

template <class E>
void along_y(const E* const* rows, const E* adds, size_t count, size_t first, size_t n, E* out) {
    const Tag<E> d;
    const size_t lanes = hn::Lanes(d);
    out += first;
    const auto top = hn::Set(d, std::numeric_limits<E>::max());
    size_t x = 0;
    // Four vectors at a time: independent chains of minima. Two rows in a row with the same
    // add (dy and -dy) take one add for both.
    for (; x + 4 * lanes <= n; x += 4 * lanes) {
        auto a0 = top, a1 = top, a2 = top, a3 = top;
        for (size_t r = 0; r < count;) {
            const E* row = rows[r] + first + x;
            const auto add = hn::Set(d, adds[r]);
            auto v0 = hn::LoadU(d, row);
            auto v1 = hn::LoadU(d, row + lanes);
            auto v2 = hn::LoadU(d, row + 2 * lanes);
            auto v3 = hn::LoadU(d, row + 3 * lanes);
            if (r + 1 < count && adds[r + 1] == adds[r]) {
                const E* other = rows[r + 1] + first + x;
                v0 = hn::Min(v0, hn::LoadU(d, other));
                v1 = hn::Min(v1, hn::LoadU(d, other + lanes));
                v2 = hn::Min(v2, hn::LoadU(d, other + 2 * lanes));
                v3 = hn::Min(v3, hn::LoadU(d, other + 3 * lanes));
                r += 2;
            } else {
                r += 1;
            }
            a0 = hn::Min(a0, hn::SaturatedAdd(v0, add));
            a1 = hn::Min(a1, hn::SaturatedAdd(v1, add));
            a2 = hn::Min(a2, hn::SaturatedAdd(v2, add));
            a3 = hn::Min(a3, hn::SaturatedAdd(v3, add));
        }
        hn::StoreU(a0, d, out + x);
        hn::StoreU(a1, d, out + x + lanes);
        hn::StoreU(a2, d, out + x + 2 * lanes);
        hn::StoreU(a3, d, out + x + 3 * lanes);
    }
    for (; x < n; x += lanes) {
        auto a = top;
        for (size_t r = 0; r < count; ++r) {
            a = hn::Min(a,
                        hn::SaturatedAdd(hn::LoadU(d, rows[r] + first + x), hn::Set(d, adds[r])));
        }
        hn::StoreU(a, d, out + x);
    }
}

template <class E>
void along_x(const E* in, int32_t reach, size_t n, E* out) {
    const Tag<E> d;
    const size_t lanes = hn::Lanes(d);
    size_t x = 0;
    for (; x + 4 * lanes <= n; x += 4 * lanes) {
        const E* c = in + x;
        auto a0 = hn::LoadU(d, c);
        auto a1 = hn::LoadU(d, c + lanes);
        auto a2 = hn::LoadU(d, c + 2 * lanes);
        auto a3 = hn::LoadU(d, c + 3 * lanes);
        for (int32_t i = 1; i <= reach; ++i) {
            const auto add = hn::Set(d, static_cast<E>(i * i));
            a0 = hn::Min(a0,
                         hn::SaturatedAdd(hn::Min(hn::LoadU(d, c - i), hn::LoadU(d, c + i)), add));
            a1 = hn::Min(
                a1, hn::SaturatedAdd(
                        hn::Min(hn::LoadU(d, c + lanes - i), hn::LoadU(d, c + lanes + i)), add));
            a2 = hn::Min(a2, hn::SaturatedAdd(hn::Min(hn::LoadU(d, c + 2 * lanes - i),
                                                      hn::LoadU(d, c + 2 * lanes + i)),
                                              add));
            a3 = hn::Min(a3, hn::SaturatedAdd(hn::Min(hn::LoadU(d, c + 3 * lanes - i),
                                                      hn::LoadU(d, c + 3 * lanes + i)),
                                              add));
        }
        hn::StoreU(a0, d, out + x);
        hn::StoreU(a1, d, out + x + lanes);
        hn::StoreU(a2, d, out + x + 2 * lanes);
        hn::StoreU(a3, d, out + x + 3 * lanes);
    }
    for (; x < n; x += lanes) {
        const E* c = in + x;
        auto a = hn::LoadU(d, c);
        for (int32_t i = 1; i <= reach; ++i) {
            a = hn::Min(a, hn::SaturatedAdd(hn::Min(hn::LoadU(d, c - i), hn::LoadU(d, c + i)),
                                            hn::Set(d, static_cast<E>(i * i))));
        }
        hn::StoreU(a, d, out + x);
    }
}

template <class E>
void classify(const E* in, size_t first, size_t count, E limit, uint64_t* some_within,
              uint64_t* some_beyond) {
    const Tag<E> d;
    const size_t lanes = hn::Lanes(d);
    const auto limit_v = hn::Set(d, limit);
    // The bits of one word of the bit sets at a time.
    for (size_t b = first; b < first + count;) {
        const size_t word = b / 64;
        const size_t end = std::min(first + count, (word + 1) * 64);
        uint64_t within = 0;
        uint64_t beyond = 0;
        uint64_t mask = 0;
        for (; b < end; ++b) {
            const E* block = in + b * kBlock;
            auto low = hn::LoadU(d, block);
            auto high = low;
            for (size_t p = lanes; p < kBlock; p += lanes) {
                const auto v = hn::LoadU(d, block + p);
                low = hn::Min(low, v);
                high = hn::Max(high, v);
            }
            const uint64_t bit = uint64_t{1} << (b % 64);
            within |= hn::AllTrue(d, hn::Gt(low, limit_v)) ? 0 : bit;
            beyond |= hn::AllFalse(d, hn::Gt(high, limit_v)) ? 0 : bit;
            mask |= bit;
        }
        some_within[word] = (some_within[word] & ~mask) | within;
        some_beyond[word] = (some_beyond[word] & ~mask) | beyond;
    }
}

template <class E>
void pack_above(const E* in, E limit, size_t words, uint64_t* out) {
    const Tag<E> d;
    const size_t lanes = hn::Lanes(d);
    const auto limit_v = hn::Set(d, limit);
    for (size_t w = 0; w < words; ++w) {
        uint64_t word = 0;
        for (size_t p = 0; p < kBlock; p += lanes) {
            // Whole bytes of mask bits, of which the first `lanes` bits count.
            uint8_t bytes[8] = {};
            hn::StoreMaskBits(d, hn::Gt(hn::LoadU(d, in + w * kBlock + p), limit_v), bytes);
            uint64_t bits = 0;
            std::memcpy(&bits, bytes, sizeof(bits));
            word |= bits << p;
        }
        out[w] = word;
    }
}

template <class E>
void count_levels(const E* in, size_t x0, size_t x1, const E* levels, size_t count,
                  uint64_t* counts) {
    const Tag<E> d;
    const size_t lanes = hn::Lanes(d);
    if (count == 0 || x0 >= x1) {
        return;
    }
    const auto one = hn::Set(d, E{1});
    const auto largest = hn::Set(d, levels[count - 1]);
    for (size_t x = x0 / lanes * lanes; x < x1; x += lanes) {
        // FirstN takes at most the lane count: its count is held in a lane.
        auto valid = hn::FirstN(d, std::min(x1 - x, lanes));
        if (x < x0) {
            valid = hn::AndNot(hn::FirstN(d, x0 - x), valid);
        }
        // 1 <= v <= t exactly when v - 1, wrapping at 0, is below t.
        const auto below = hn::Sub(hn::LoadU(d, in + x), one);
        const auto any = hn::And(hn::Lt(below, largest), valid);
        if (hn::AllFalse(d, any)) {
            continue;
        }
        for (size_t l = 0; l < count; ++l) {
            counts[l] += hn::CountTrue(d, hn::And(hn::Lt(below, hn::Set(d, levels[l])), any));
        }
    }
}

}  // namespace

size_t vector_bytes() {
    return hn::Lanes(Tag<uint8_t>());
}

extern const KernelSet kSet;
const KernelSet kSet = {
    simd_name(HWY_TARGET),
    HWY_TARGET,
    vector_bytes,
    {from_bits<uint8_t>, along_y<uint8_t>, along_x<uint8_t>, classify<uint8_t>, pack_above<uint8_t>,
     count_levels<uint8_t>},
    {from_bits<uint16_t>, along_y<uint16_t>, along_x<uint16_t>, classify<uint16_t>,
     pack_above<uint16_t>, count_levels<uint16_t>},
};

const KernelSet* target_kernel_set() {
    return &kSet;
}

}  // namespace talvik::distance::HWY_NAMESPACE
HWY_AFTER_NAMESPACE();

#if HWY_ONCE

namespace talvik::distance {

HWY_EXPORT(target_kernel_set);

const std::vector<const KernelSet*>& compiled_kernel_sets() {
    // The sets in the order of Highway's dispatch table, best first, without calling into
    // any of them: a processor may lack a target's instructions.
    static const std::vector<const KernelSet*> sets = [] {
        const KernelSet* const table[] = {HWY_CHOOSE_TARGET_LIST(kSet), HWY_CHOOSE_FALLBACK(kSet)};
        std::vector<const KernelSet*> result;
        for (const KernelSet* set : table) {
            if (set != nullptr && std::find(result.begin(), result.end(), set) == result.end()) {
                result.push_back(set);
            }
        }
        return result;
    }();
    return sets;
}

bool runs_here(const KernelSet& set) {
    return set.target == HWY_EMU128 || set.target == HWY_SCALAR ||
           (hwy::SupportedTargets() & set.target) != 0;
}

const KernelSet& dispatched_kernel_set() {
    return *HWY_DYNAMIC_DISPATCH(target_kernel_set)();
}

const KernelSet* kernel_set_named(const std::string& name) {
    for (const KernelSet* set : compiled_kernel_sets()) {
        if (name == set->name) {
            return set;
        }
    }
    return nullptr;
}

}  // namespace talvik::distance

#endif
