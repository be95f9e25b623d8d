#include "formats/slice_file.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "literal_oracle.h"

namespace formats {
namespace {

std::vector<uint8_t> bytes_of(const std::string& text) {
    return std::vector<uint8_t>(text.begin(), text.end());
}

SliceReadResult read(const std::string& text) {
    return read_slice(bytes_of(text));
}

TEST(SliceHeader, MagicWidthAndHeightOnOneLine) {
    const std::string file = std::string("P4 5 3\n") + "\xF8\x88\xF8";
    const SliceHeader header = read_slice_header(bytes_of(file));
    EXPECT_EQ(header.status, SliceStatus::ok);
    EXPECT_EQ(header.width, 5);
    EXPECT_EQ(header.height, 3);
    EXPECT_EQ(header.raster_offset, 7u);
}

TEST(SliceHeader, CommentLineAndOneTokenPerLine) {
    const SliceHeader header = read_slice_header(bytes_of("P4\n# made by hand\n5\n3\nXYZ"));
    EXPECT_EQ(header.status, SliceStatus::ok);
    EXPECT_EQ(header.width, 5);
    EXPECT_EQ(header.height, 3);
    EXPECT_EQ(header.raster_offset, 22u);
}

TEST(SliceHeader, RestOfTheHeightLineIsIgnored) {
    const SliceHeader header = read_slice_header(bytes_of("P4 5 3 trailing words\nR"));
    EXPECT_EQ(header.status, SliceStatus::ok);
    EXPECT_EQ(header.raster_offset, 22u);
}

TEST(SliceHeader, HashInsideALineIsNotAComment) {
    EXPECT_EQ(read_slice_header(bytes_of("P4 # 5 3\n")).status, SliceStatus::bad_size);
}

TEST(SliceHeader, BlankLinesBetweenTokensAreSkipped) {
    const SliceHeader header = read_slice_header(bytes_of("\n  \nP4\n\n\t\n7 \n\n2\n"));
    EXPECT_EQ(header.status, SliceStatus::ok);
    EXPECT_EQ(header.width, 7);
    EXPECT_EQ(header.height, 2);
}

TEST(SliceHeader, WrongMagicIsRefused) {
    EXPECT_EQ(read_slice_header(bytes_of("P1\n5 3\n")).status, SliceStatus::bad_magic);
    EXPECT_EQ(read_slice_header(bytes_of("P4abc 5 3\n")).status, SliceStatus::bad_magic);
    EXPECT_EQ(read_slice_header(bytes_of("P45 3\n")).status, SliceStatus::bad_magic);
    EXPECT_EQ(read_slice_header(bytes_of("p4 5 3\n")).status, SliceStatus::bad_magic);
}

TEST(SliceHeader, FileEndingInsideTheHeaderIsTruncated) {
    EXPECT_EQ(read_slice_header(bytes_of("")).status, SliceStatus::truncated);
    EXPECT_EQ(read_slice_header(bytes_of("P4\n5\n")).status, SliceStatus::truncated);
    EXPECT_EQ(read_slice_header(bytes_of("# only a comment\n")).status, SliceStatus::truncated);
}

TEST(SliceHeader, SizesThatCannotBeAllocatedAreRefused) {
    EXPECT_EQ(read_slice_header(bytes_of("P4 0 3\n")).status, SliceStatus::bad_size);
    EXPECT_EQ(read_slice_header(bytes_of("P4 5 -3\n")).status, SliceStatus::bad_size);
    EXPECT_EQ(read_slice_header(bytes_of("P4 five 3\n")).status, SliceStatus::bad_size);
    EXPECT_EQ(read_slice_header(bytes_of("P4 5x 3\n")).status, SliceStatus::bad_size);
    EXPECT_EQ(read_slice_header(bytes_of("P4 99999999999 3\n")).status, SliceStatus::bad_size);
    EXPECT_EQ(read_slice_header(bytes_of("P4 65536 65536\n")).status, SliceStatus::bad_size);
    EXPECT_EQ(read_slice_header(bytes_of("P4 +5 3\n")).width, 5);
}

TEST(SliceHeader, LinesAreReadInPiecesOf1022Characters) {
    // The height's piece ends after 1022 characters; the raster starts right there.
    const std::string line = "P4 8 1" + std::string(1022 - 6, ' ');
    const SliceHeader header = read_slice_header(bytes_of(line + "   \n\xFF"));
    EXPECT_EQ(header.status, SliceStatus::ok);
    EXPECT_EQ(header.raster_offset, 1022u);
    // A line of exactly 1022 characters keeps its newline.
    EXPECT_EQ(read_slice_header(bytes_of(line + "\n\xFF")).raster_offset, 1023u);
    // The second piece of a long comment line is not a comment.
    const std::string comment = "#" + std::string(1030, 'c') + "\nP4 8 1\n";
    EXPECT_EQ(read_slice_header(bytes_of(comment)).status, SliceStatus::bad_magic);
}

TEST(SliceRaster, RowsArePackedWithoutPadding) {
    // Width 10: two bytes per row. Pixel (8, 0) is bit 7 of the row's second byte; pixel
    // (0, 1) is bit 7 of the third raster byte.
    const SliceReadResult r = read(std::string("P4\n10 2\n") + '\x00' + '\x80' + '\x80' + '\x00');
    ASSERT_EQ(r.status, SliceStatus::ok);
    ASSERT_EQ(r.bits.bytes.size(), 3u);
    EXPECT_EQ(r.bits.bytes[0], 0x00);
    EXPECT_EQ(r.bits.bytes[1], 0x05);  // bit 0: pixel (8, 0); bit 2: pixel (0, 1)
    EXPECT_EQ(r.bits.bytes[2], 0x00);
}

TEST(SliceRaster, LastPixelsLandInTheLastByte) {
    // 5 x 4 = 20 pixels in 3 bytes; the bottom row's last four pixels are bits 0..3 of byte 2.
    const SliceReadResult r = read(std::string("P4\n5 4\n") + '\x00' + '\x00' + '\x00' + '\x78');
    ASSERT_EQ(r.status, SliceStatus::ok);
    ASSERT_EQ(r.bits.bytes.size(), 3u);
    EXPECT_EQ(r.bits.bytes[2], 0x0F);
    EXPECT_EQ(r.bits.bytes[1], 0x00);
}

TEST(SliceRaster, PlaneHasASpareByteWhenPixelsFillWholeBytes) {
    const SliceReadResult r = read(std::string("P4\n8 2\n") + '\xFF' + '\xFF');
    ASSERT_EQ(r.status, SliceStatus::ok);
    EXPECT_EQ(r.bits.bytes, (std::vector<uint8_t>{0xFF, 0xFF, 0x00}));
}

TEST(SliceRaster, PaddingBitsAndTrailingBytesAreIgnored) {
    const SliceReadResult r = read(std::string("P4\n3 2\n") + '\xFF' + '\xFF' + "extra");
    ASSERT_EQ(r.status, SliceStatus::ok);
    EXPECT_EQ(r.bits.bytes, (std::vector<uint8_t>{0x3F}));
}

TEST(SliceRaster, ControlBytesAreJustBytes) {
    const SliceReadResult r = read(std::string("P4\n8 3\n") + '\x0D' + '\x0A' + '\x1A');
    ASSERT_EQ(r.status, SliceStatus::ok);
    EXPECT_EQ(r.bits.bytes[0], kReversedBits[0x0D]);
    EXPECT_EQ(r.bits.bytes[1], kReversedBits[0x0A]);
    EXPECT_EQ(r.bits.bytes[2], kReversedBits[0x1A]);
}

TEST(SliceRaster, ShortRasterIsTruncated) {
    EXPECT_EQ(read(std::string("P4\n10 2\n") + "abc").status, SliceStatus::truncated);
    EXPECT_EQ(read(std::string("P4\n10 2\n") + "abcd").status, SliceStatus::ok);
}

TEST(SliceRaster, MatchesTheBitByBitReaderOnRandomSlices) {
    std::mt19937 engine(7);
    for (int trial = 0; trial < 300; ++trial) {
        const int32_t w = 1 + static_cast<int32_t>(engine() % 140);
        const int32_t h = 1 + static_cast<int32_t>(engine() % 20);
        std::vector<uint8_t> raster(raster_row_bytes(w) * static_cast<size_t>(h));
        for (uint8_t& b : raster) {
            b = static_cast<uint8_t>(engine());
        }
        SliceBits fast;
        SliceBits literal;
        ASSERT_EQ(read_slice_raster(raster, w, h, fast), SliceStatus::ok);
        ASSERT_EQ(talvik::oracle::read_slice_raster(raster, w, h, literal), SliceStatus::ok);
        ASSERT_EQ(fast.bytes, literal.bytes) << w << " x " << h;

        const size_t wpr = (static_cast<size_t>(w) + 63) / 64 + 1;
        std::vector<uint64_t> words(wpr * static_cast<size_t>(h), ~uint64_t{0});
        unpack_raster_to_words(raster.data(), w, h, words.data(), wpr);
        for (int32_t y = 0; y < h; ++y) {
            for (int32_t x = 0; x < static_cast<int32_t>(wpr * 64); ++x) {
                const bool word_bit =
                    (words[static_cast<size_t>(y) * wpr + x / 64] >> (x % 64)) & 1;
                const bool pixel = x < w && literal.pixel(static_cast<size_t>(y) * w + x);
                ASSERT_EQ(word_bit, pixel) << x << "," << y;
            }
        }
    }
}

TEST(SliceFile, ReadsFromAStream) {
    std::FILE* stream = std::tmpfile();
    ASSERT_NE(stream, nullptr);
    const std::string text = std::string("P4\n# c\n9 1\n") + '\xFF' + '\x80';
    std::fwrite(text.data(), 1, text.size(), stream);
    std::rewind(stream);
    const SliceReadResult r = read_slice(stream);
    std::fclose(stream);
    ASSERT_EQ(r.status, SliceStatus::ok);
    EXPECT_EQ(r.bits.bytes, (std::vector<uint8_t>{0xFF, 0x01}));
}

}  // namespace
}  // namespace formats
