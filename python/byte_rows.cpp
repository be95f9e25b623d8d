// Highway compiles this file once per SIMD target (foreach_target.h includes it again for
// each); the part under HWY_ONCE, compiled once, dispatches.
#include "python/byte_rows.h"

#include <cstring>

#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "python/byte_rows.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep
#include <hwy/highway.h>

HWY_BEFORE_NAMESPACE();
namespace pytalvik::HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

int ByteRowWords(const uint8_t* row, int64_t words, uint64_t* out) {
    const hn::ScalableTag<uint8_t> d;
    const size_t lanes = hn::Lanes(d);
    // A mask's bits are stored a byte at a time: vectors of fewer than 8 lanes cannot.
    if (lanes % 8 != 0 || 64 % lanes != 0) {
        return -1;
    }
    const auto zero = hn::Zero(d);
    auto seen = zero;
    for (int64_t w = 0; w < words; ++w) {
        uint8_t bits[8];
        for (size_t i = 0; i < 64; i += lanes) {
            const auto v = hn::LoadU(d, row + 64 * w + i);
            seen = hn::Or(seen, v);
            hn::StoreMaskBits(d, hn::Ne(v, zero), bits + i / 8);
        }
        std::memcpy(&out[w], bits, sizeof bits);
    }
    return hn::AllTrue(d, hn::Eq(hn::And(seen, hn::Set(d, 0xFE)), zero)) ? 0 : 1;
}

}  // namespace pytalvik::HWY_NAMESPACE
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace pytalvik {

HWY_EXPORT(ByteRowWords);

int byte_row_words(const uint8_t* row, int64_t words, uint64_t* out) {
    return HWY_DYNAMIC_DISPATCH(ByteRowWords)(row, words, out);
}

}  // namespace pytalvik
#endif
