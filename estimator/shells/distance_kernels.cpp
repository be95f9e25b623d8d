#include "shells/distance_kernels.h"

#include <algorithm>
#include <bit>
#include <limits>
#include <vector>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace talvik::distance {
namespace {

template <class E>
E saturated_sum(E a, E b) {
    const unsigned sum = unsigned{a} + unsigned{b};
    return static_cast<E>(std::min<unsigned>(sum, std::numeric_limits<E>::max()));
}

// Plain C++: loops over whole rows that the compiler vectorises where it can.

template <class E>
bool from_bits_portable(const uint64_t* const* rows, int32_t reach, size_t words, E cap, E* out,
                        uint64_t* active) {
    std::fill(out, out + words * 64, cap);
    std::fill(active, active + (words + 63) / 64, 0);
    uint64_t seen = 0;
    for (size_t i = 0; i < words; ++i) {
        uint64_t left = ~uint64_t{0};  // voxels without a distance yet
        for (int32_t k = 0; k <= reach && left != 0; ++k) {
            uint64_t hit = (rows[reach - k][i] | rows[reach + k][i]) & left;
            left &= ~hit;
            const E value = static_cast<E>(k * k);
            for (; hit != 0; hit &= hit - 1) {
                out[i * 64 + static_cast<size_t>(std::countr_zero(hit))] = value;
            }
        }
        active[i / 64] |= static_cast<uint64_t>(left != ~uint64_t{0}) << (i % 64);
        seen |= ~left;
    }
    return seen != 0;
}

template <class E>
void along_y_portable(const E* const* rows, const E* adds, size_t count, size_t first, size_t n,
                      E* out) {
    out += first;
    std::fill(out, out + n, std::numeric_limits<E>::max());
    for (size_t r = 0; r < count; ++r) {
        const E* row = rows[r] + first;
        const E add = adds[r];
        for (size_t x = 0; x < n; ++x) {
            out[x] = std::min(out[x], saturated_sum(row[x], add));
        }
    }
}

template <class E>
void along_x_portable(const E* in, int32_t reach, size_t n, E* out) {
    std::copy(in, in + n, out);
    for (int32_t i = 1; i <= reach; ++i) {
        const E add = static_cast<E>(i * i);
        const E* left = in - i;
        const E* right = in + i;
        for (size_t x = 0; x < n; ++x) {
            out[x] = std::min(out[x], saturated_sum(std::min(left[x], right[x]), add));
        }
    }
}

void set_bit(uint64_t* bits, size_t i, bool value) {
    const uint64_t mask = uint64_t{1} << (i % 64);
    bits[i / 64] = value ? bits[i / 64] | mask : bits[i / 64] & ~mask;
}

template <class E>
void classify_portable(const E* in, size_t first, size_t count, E limit, uint64_t* some_within,
                       uint64_t* some_beyond) {
    for (size_t b = first; b < first + count; ++b) {
        const E* block = in + b * kBlock;
        const auto [low, high] = std::minmax_element(block, block + kBlock);
        set_bit(some_within, b, *low <= limit);
        set_bit(some_beyond, b, *high > limit);
    }
}

template <class E>
void pack_above_portable(const E* in, E limit, size_t words, uint64_t* out) {
    for (size_t w = 0; w < words; ++w) {
        uint64_t word = 0;
        for (unsigned b = 0; b < 64; ++b) {
            word |= static_cast<uint64_t>(in[w * 64 + b] > limit) << b;
        }
        out[w] = word;
    }
}

template <class E>
void count_levels_portable(const E* in, size_t x0, size_t x1, const E* levels, size_t count,
                           uint64_t* counts) {
    for (size_t l = 0; l < count; ++l) {
        uint64_t c = 0;
        for (size_t x = x0; x < x1; ++x) {
            // 1 <= v <= t exactly when v - 1, wrapping at 0, is below t.
            c += static_cast<E>(in[x] - 1) < levels[l];
        }
        counts[l] += c;
    }
}

template <class E>
const Kernels<E> kPortable = {from_bits_portable<E>,  along_y_portable<E>,
                              along_x_portable<E>,    classify_portable<E>,
                              pack_above_portable<E>, count_levels_portable<E>};

#if defined(__x86_64__)

#define TALVIK_AVX512 __attribute__((target("avx512f,avx512bw,popcnt")))

// The lane operations of 512-bit vectors of E; a 64-voxel block is one vector of bytes or two
// of 16-bit words, each lane a voxel.
template <class E>
struct Lanes;

template <>
struct Lanes<uint8_t> {
    static constexpr size_t count = 64;
    TALVIK_AVX512 static __m512i splat(uint8_t v) { return _mm512_set1_epi8(static_cast<char>(v)); }
    TALVIK_AVX512 static __m512i adds(__m512i a, __m512i b) { return _mm512_adds_epu8(a, b); }
    TALVIK_AVX512 static __m512i min(__m512i a, __m512i b) { return _mm512_min_epu8(a, b); }
    // Lanes of `a` whose bit of `m` is set become min(a, b).
    TALVIK_AVX512 static __m512i min_where(__m512i a, uint64_t m, __m512i b) {
        return _mm512_mask_min_epu8(a, m, a, b);
    }
    TALVIK_AVX512 static uint64_t greater(__m512i a, __m512i b) {
        return _mm512_cmpgt_epu8_mask(a, b);
    }
    TALVIK_AVX512 static uint64_t less(__m512i a, __m512i b) {
        return _mm512_cmplt_epu8_mask(a, b);
    }
    TALVIK_AVX512 static __m512i minus_one(__m512i a) {
        return _mm512_sub_epi8(a, _mm512_set1_epi8(1));
    }
};

template <>
struct Lanes<uint16_t> {
    static constexpr size_t count = 32;
    TALVIK_AVX512 static __m512i splat(uint16_t v) {
        return _mm512_set1_epi16(static_cast<short>(v));
    }
    TALVIK_AVX512 static __m512i adds(__m512i a, __m512i b) { return _mm512_adds_epu16(a, b); }
    TALVIK_AVX512 static __m512i min(__m512i a, __m512i b) { return _mm512_min_epu16(a, b); }
    TALVIK_AVX512 static __m512i min_where(__m512i a, uint64_t m, __m512i b) {
        return _mm512_mask_min_epu16(a, static_cast<__mmask32>(m), a, b);
    }
    TALVIK_AVX512 static uint64_t greater(__m512i a, __m512i b) {
        return _mm512_cmpgt_epu16_mask(a, b);
    }
    TALVIK_AVX512 static uint64_t less(__m512i a, __m512i b) {
        return _mm512_cmplt_epu16_mask(a, b);
    }
    TALVIK_AVX512 static __m512i minus_one(__m512i a) {
        return _mm512_sub_epi16(a, _mm512_set1_epi16(1));
    }
};

template <class E>
TALVIK_AVX512 __m512i load(const E* p) {
    return _mm512_loadu_si512(static_cast<const void*>(p));
}

template <class E>
TALVIK_AVX512 void store(E* p, __m512i v) {
    _mm512_storeu_si512(static_cast<void*>(p), v);
}

template <class E>
TALVIK_AVX512 bool from_bits_avx512(const uint64_t* const* rows, int32_t reach, size_t words, E cap,
                                    E* out, uint64_t* active) {
    using L = Lanes<E>;
    constexpr size_t parts = 64 / L::count;
    // pairs[k][i]: word i of the rows at dz = -k and +k; any[i]: any of them.
    thread_local std::vector<uint64_t> scratch;
    const size_t depth = static_cast<size_t>(reach) + 1;
    scratch.resize((depth + 1) * words);
    uint64_t* any = scratch.data();
    uint64_t* pairs = any + words;
    std::copy(rows[reach], rows[reach] + words, pairs);
    std::copy(rows[reach], rows[reach] + words, any);
    for (size_t k = 1; k < depth; ++k) {
        const uint64_t* below = rows[static_cast<size_t>(reach) - k];
        const uint64_t* above = rows[static_cast<size_t>(reach) + k];
        uint64_t* pair = pairs + k * words;
        for (size_t i = 0; i < words; ++i) {
            pair[i] = below[i] | above[i];
            any[i] |= pair[i];
        }
    }
    const __m512i cap_v = L::splat(cap);
    std::fill(active, active + (words + 63) / 64, 0);
    uint64_t seen = 0;
    for (size_t i = 0; i < words; ++i) {
        seen |= any[i];
        active[i / 64] |= static_cast<uint64_t>(any[i] != 0) << (i % 64);
        for (size_t p = 0; p < parts; ++p) {
            __m512i g = cap_v;
            if (any[i] != 0) {
                // Minima in ascending k: the nearest plane with the bit gives the value.
                for (size_t k = 0; k < depth; ++k) {
                    g = L::min_where(g, pairs[k * words + i] >> (p * L::count),
                                     L::splat(static_cast<E>(k * k)));
                }
            }
            store(out + i * 64 + p * L::count, g);
        }
    }
    return seen != 0;
}

template <class E>
TALVIK_AVX512 void along_y_avx512(const E* const* rows, const E* adds, size_t count, size_t first,
                                  size_t n, E* out) {
    using L = Lanes<E>;
    out += first;
    const __m512i top = L::splat(std::numeric_limits<E>::max());
    size_t x = 0;
    // Four vectors at a time: independent chains of minima. Two rows in a row with the same
    // add (dy and -dy) take one add for both.
    for (; x + 4 * L::count <= n; x += 4 * L::count) {
        __m512i a0 = top, a1 = top, a2 = top, a3 = top;
        for (size_t r = 0; r < count;) {
            const E* row = rows[r] + first + x;
            const __m512i add = L::splat(adds[r]);
            __m512i v0 = load(row), v1 = load(row + L::count), v2 = load(row + 2 * L::count),
                    v3 = load(row + 3 * L::count);
            if (r + 1 < count && adds[r + 1] == adds[r]) {
                const E* other = rows[r + 1] + first + x;
                v0 = L::min(v0, load(other));
                v1 = L::min(v1, load(other + L::count));
                v2 = L::min(v2, load(other + 2 * L::count));
                v3 = L::min(v3, load(other + 3 * L::count));
                r += 2;
            } else {
                r += 1;
            }
            a0 = L::min(a0, L::adds(v0, add));
            a1 = L::min(a1, L::adds(v1, add));
            a2 = L::min(a2, L::adds(v2, add));
            a3 = L::min(a3, L::adds(v3, add));
        }
        store(out + x, a0);
        store(out + x + L::count, a1);
        store(out + x + 2 * L::count, a2);
        store(out + x + 3 * L::count, a3);
    }
    for (; x < n; x += L::count) {
        __m512i a = top;
        for (size_t r = 0; r < count; ++r) {
            a = L::min(a, L::adds(load(rows[r] + first + x), L::splat(adds[r])));
        }
        store(out + x, a);
    }
}

template <class E>
TALVIK_AVX512 void along_x_avx512(const E* in, int32_t reach, size_t n, E* out) {
    using L = Lanes<E>;
    size_t x = 0;
    for (; x + 4 * L::count <= n; x += 4 * L::count) {
        const E* c = in + x;
        __m512i a0 = load(c), a1 = load(c + L::count), a2 = load(c + 2 * L::count),
                a3 = load(c + 3 * L::count);
        for (int32_t i = 1; i <= reach; ++i) {
            const __m512i add = L::splat(static_cast<E>(i * i));
            a0 = L::min(a0, L::adds(L::min(load(c - i), load(c + i)), add));
            a1 = L::min(a1, L::adds(L::min(load(c + L::count - i), load(c + L::count + i)), add));
            a2 = L::min(
                a2, L::adds(L::min(load(c + 2 * L::count - i), load(c + 2 * L::count + i)), add));
            a3 = L::min(
                a3, L::adds(L::min(load(c + 3 * L::count - i), load(c + 3 * L::count + i)), add));
        }
        store(out + x, a0);
        store(out + x + L::count, a1);
        store(out + x + 2 * L::count, a2);
        store(out + x + 3 * L::count, a3);
    }
    for (; x < n; x += L::count) {
        const E* c = in + x;
        __m512i a = load(c);
        for (int32_t i = 1; i <= reach; ++i) {
            a = L::min(a,
                       L::adds(L::min(load(c - i), load(c + i)), L::splat(static_cast<E>(i * i))));
        }
        store(out + x, a);
    }
}

template <class E>
TALVIK_AVX512 void classify_avx512(const E* in, size_t first, size_t count, E limit,
                                   uint64_t* some_within, uint64_t* some_beyond) {
    using L = Lanes<E>;
    const __m512i limit_v = L::splat(limit);
    const uint64_t lanes = L::count == 64 ? ~uint64_t{0} : (uint64_t{1} << L::count) - 1;
    // The bits of one word of the bit sets at a time.
    for (size_t b = first; b < first + count;) {
        const size_t word = b / 64;
        const size_t end = std::min(first + count, (word + 1) * 64);
        uint64_t within = 0;
        uint64_t beyond = 0;
        uint64_t mask = 0;
        for (; b < end; ++b) {
            uint64_t above = 0;
            uint64_t below = 0;
            for (size_t p = 0; p < kBlock / L::count; ++p) {
                const uint64_t a = L::greater(load(in + b * kBlock + p * L::count), limit_v);
                above |= a;
                below |= ~a & lanes;
            }
            const uint64_t bit = uint64_t{1} << (b % 64);
            within |= below != 0 ? bit : 0;
            beyond |= above != 0 ? bit : 0;
            mask |= bit;
        }
        some_within[word] = (some_within[word] & ~mask) | within;
        some_beyond[word] = (some_beyond[word] & ~mask) | beyond;
    }
}

template <class E>
TALVIK_AVX512 void pack_above_avx512(const E* in, E limit, size_t words, uint64_t* out) {
    using L = Lanes<E>;
    const __m512i limit_v = L::splat(limit);
    for (size_t w = 0; w < words; ++w) {
        uint64_t word = 0;
        for (size_t p = 0; p < 64 / L::count; ++p) {
            word |= L::greater(load(in + w * 64 + p * L::count), limit_v) << (p * L::count);
        }
        out[w] = word;
    }
}

template <class E>
TALVIK_AVX512 void count_levels_avx512(const E* in, size_t x0, size_t x1, const E* levels,
                                       size_t count, uint64_t* counts) {
    using L = Lanes<E>;
    if (count == 0 || x0 >= x1) {
        return;
    }
    const uint64_t lanes = L::count == 64 ? ~uint64_t{0} : (uint64_t{1} << L::count) - 1;
    const __m512i largest = L::splat(levels[count - 1]);
    for (size_t x = x0 / L::count * L::count; x < x1; x += L::count) {
        uint64_t valid = lanes;
        if (x < x0) {
            valid &= ~((uint64_t{1} << (x0 - x)) - 1);
        }
        if (x1 - x < L::count) {
            valid &= (uint64_t{1} << (x1 - x)) - 1;
        }
        // 1 <= v <= t exactly when v - 1, wrapping at 0, is below t.
        const __m512i below = L::minus_one(load(in + x));
        const uint64_t any = L::less(below, largest) & valid;
        if (any == 0) {
            continue;
        }
        for (size_t l = 0; l < count; ++l) {
            counts[l] +=
                static_cast<uint64_t>(std::popcount(L::less(below, L::splat(levels[l])) & any));
        }
    }
}

template <class E>
const Kernels<E> kAvx512 = {from_bits_avx512<E>, along_y_avx512<E>,    along_x_avx512<E>,
                            classify_avx512<E>,  pack_above_avx512<E>, count_levels_avx512<E>};

bool has_avx512() {
    static const bool supported =
        __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw");
    return supported;
}

#endif

}  // namespace

template <class E>
const Kernels<E>& kernels(KernelChoice choice) {
#if defined(__x86_64__)
    if (choice == KernelChoice::fastest && has_avx512()) {
        return kAvx512<E>;
    }
#endif
    (void)choice;
    return kPortable<E>;
}

template const Kernels<uint8_t>& kernels<uint8_t>(KernelChoice);
template const Kernels<uint16_t>& kernels<uint16_t>(KernelChoice);

}  // namespace talvik::distance
