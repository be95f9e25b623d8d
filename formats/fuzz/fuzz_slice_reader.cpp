// libFuzzer target: the slice reader on arbitrary bytes. A slice it accepts must unpack to
// the same pixels through the fast raster path, the word layout and the bit-by-bit reader.
#include <cstdlib>
#include <vector>

#include "formats/slice_file.h"
#include "literal_oracle.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace talvik;
    const std::span<const uint8_t> file(data, size);
    const formats::SliceReadResult slice = formats::read_slice(file);
    if (slice.status != formats::SliceStatus::ok) {
        return 0;
    }
    const formats::SliceHeader header = formats::read_slice_header(file);
    const std::vector<uint8_t> raster(data + header.raster_offset, data + size);
    formats::SliceBits literal;
    if (oracle::read_slice_raster(raster, slice.width, slice.height, literal) !=
            formats::SliceStatus::ok ||
        literal.bytes != slice.bits.bytes) {
        std::abort();
    }
    const size_t wpr = (static_cast<size_t>(slice.width) + 63) / 64;
    std::vector<uint64_t> words(wpr * static_cast<size_t>(slice.height));
    formats::unpack_raster_to_words(raster.data(), slice.width, slice.height, words.data(), wpr);
    for (int32_t y = 0; y < slice.height; ++y) {
        for (int32_t x = 0; x < slice.width; ++x) {
            const bool word_bit = (words[static_cast<size_t>(y) * wpr + x / 64] >> (x % 64)) & 1;
            if (word_bit != slice.bits.pixel(static_cast<size_t>(y) * slice.width + x)) {
                std::abort();
            }
        }
    }
    return 0;
}
