// The row kernels of the capped squared-distance transform, for 8-bit and 16-bit distances.
// Values saturate at the type's maximum, which lies above every cap in use, so a sum is exact
// whenever it matters (at or below the cap). The kernels are written once with Highway and
// compiled for every SIMD target of the architecture (AVX-512, AVX2, SSE4, SSSE3 on x86-64;
// NEON and SVE on ARM; a plain one everywhere); every target gives the same values.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace talvik::distance {

// Every row buffer holds a whole number of 64-element blocks.
inline constexpr size_t kBlock = 64;

template <class E>
struct Kernels {
    // out[x] for x < 64 * words: the smallest k * k, 0 <= k <= reach (at most 255), with bit x
    // set in rows[reach - k] or rows[reach + k]; `cap` where there is none. Bit i of the bit
    // set `active` is whether block i has a bit; returns whether any block has.
    bool (*from_bits)(const uint64_t* const* rows, int32_t reach, size_t words, E cap, E* out,
                      uint64_t* active);
    // out[x] = min over r < count of rows[r][x] + adds[r], for first <= x < first + n (both
    // multiples of kBlock).
    void (*along_y)(const E* const* rows, const E* adds, size_t count, size_t first, size_t n,
                    E* out);
    // out[x] = min over |i| <= reach of in[x + i] + i * i, for x < n (a multiple of kBlock);
    // in[-reach] .. in[n - 1 + reach] are readable.
    void (*along_x)(const E* in, int32_t reach, size_t n, E* out);
    // For blocks first <= b < first + count of `in`: bit b of the bit set `some_within` is set
    // when some value of the block is at most `limit`, bit b of `some_beyond` when some value
    // is above it (other bits stay as they are).
    void (*classify)(const E* in, size_t first, size_t count, E limit, uint64_t* some_within,
                     uint64_t* some_beyond);
    // Bit x of out[x / 64] is set when in[x] > limit, for x < 64 * words.
    void (*pack_above)(const E* in, E limit, size_t words, uint64_t* out);
    // counts[l] += the number of x in [x0, x1) with 1 <= in[x] <= levels[l], for l < count;
    // x0 and x1 lie within whole blocks of `in`.
    void (*count_levels)(const E* in, size_t x0, size_t x1, const E* levels, size_t count,
                         uint64_t* counts);
};

// The kernels of one SIMD target.
struct KernelSet {
    const char* name;  // as TALVIK_SIMD names it: "avx512", "avx2", "sse4", "neon", "scalar", ...
    int64_t target;    // Highway's bit for the target
    size_t (*vector_bytes)();  // bytes that one vector of the kernels holds (at most a block)
    Kernels<uint8_t> bytes;
    Kernels<uint16_t> words;

    template <class E>
    const Kernels<E>& of() const {
        if constexpr (sizeof(E) == 1) {
            return bytes;
        } else {
            return words;
        }
    }
};

// Every kernel set compiled in, best first; the last runs on every processor.
const std::vector<const KernelSet*>& compiled_kernel_sets();

// Whether this processor runs the set's instructions.
bool runs_here(const KernelSet& set);

// The best set this processor runs, by Highway's dynamic dispatch (which its per-target tests
// restrict to one target at a time).
const KernelSet& dispatched_kernel_set();

// The compiled set of that name, or null.
const KernelSet* kernel_set_named(const std::string& name);

}  // namespace talvik::distance
