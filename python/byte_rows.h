// Whole 64-voxel words of a row of one-byte elements (numpy's bool, uint8, int8), with the
// widest vectors the processor has.
#pragma once

#include <cstdint>

namespace pytalvik {

// Sets bit i of out[w] when byte 64 w + i of the row is not zero, for w < words. Returns
// whether some byte has a bit above bit 0 (an integer that is neither 0 nor 1), or -1 when no
// vector target is there, for the caller's plain loop.
int byte_row_words(const uint8_t* row, int64_t words, uint64_t* out);

}  // namespace pytalvik
