#include "slice_inspection.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <random>
#include <string>

#include "test_support.h"

namespace ferndel {
namespace {

using talvik::testing::ScratchDir;
using talvik::testing::write_file;

std::string read_error(const std::string& path) {
    return "Error reading data from PBM file '" + path + "'!";
}

std::string open_error(const std::string& path) {
    return "Error opening file '" + path + "' for reading!";
}

// Counts the raster the way the file lays it out: rows of whole bytes, most significant bit
// first, the low bits of a row's last byte unused.
unsigned reference_count(const std::string& raster, int width, int height) {
    const int row_bytes = (width + 7) / 8;
    unsigned count = 0;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const auto byte = static_cast<uint8_t>(raster[y * row_bytes + x / 8]);
            count += (byte >> (7 - x % 8)) & 1u;
        }
    }
    return count;
}

class SliceInspection : public ::testing::Test {
  protected:
    Inspection inspect(const std::string& bytes) {
        write_file(path(), bytes);
        return inspect_slice(path());
    }
    std::string path() const { return dir / "slice.pbm"; }

    ScratchDir dir;
};

TEST_F(SliceInspection, CountAgreesWithThePixelsOfTheRasterForEveryRowLength) {
    std::mt19937 engine(20240611);
    std::uniform_int_distribution<int> byte(0, 255);
    for (const int width : {1, 3, 7, 8, 9, 15, 16, 17, 31, 33, 63, 64, 65, 100}) {
        for (const int height : {1, 2, 5, 13}) {
            std::string raster;
            for (int i = 0; i < height * ((width + 7) / 8); ++i) {
                raster += static_cast<char>(byte(engine));
            }
            const std::string header =
                "P4\n" + std::to_string(width) + " " + std::to_string(height) + "\n";
            // Bytes after the last row are not pixels.
            const Inspection result = inspect(header + raster + "\xFF\xFF");
            ASSERT_TRUE(result.ok) << width << "x" << height;
            EXPECT_EQ(result.dimension, std::to_string(width) + "x" + std::to_string(height));
            EXPECT_EQ(result.black_pixels, std::to_string(reference_count(raster, width, height)))
                << width << "x" << height;
        }
    }
}

TEST_F(SliceInspection, BlackFractionIsNeverRoundedToNoneOrAll) {
    EXPECT_EQ(inspect("P4 8 8\n" + std::string(8, '\0')).black_fraction, "(0 %)");
    EXPECT_EQ(inspect("P4 10 3\n" + std::string(6, '\xFF')).black_fraction, "(100 %)");
    EXPECT_EQ(inspect("P4 8 8\n\x80" + std::string(7, '\0')).black_fraction, "(1.56 %)");
    EXPECT_EQ(format_black_fraction(1, 24000), "(< 0.01 %)");
    EXPECT_EQ(format_black_fraction(23999, 24000), "(> 99.99 %)");
    EXPECT_EQ(format_black_fraction(1, 3), "(33.33 %)");
}

TEST_F(SliceInspection, SizesThatDoNotFitAreReadErrors) {
    for (const std::string header :
         {"P4 0 3\n", "P4 -8 1\n", "P4 8 -1\n", "P4 99999999999 1\n", "P4 4294967304 1\n",
          "P4 65536 65536\n", "P4 2147483647 2\n", "P4 eight 1\n"}) {
        const Inspection result = inspect(header + std::string(64, '\xFF'));
        EXPECT_FALSE(result.ok) << header;
        EXPECT_EQ(result.message, read_error(path())) << header;
    }
}

TEST_F(SliceInspection, UnreadableContentsAreReadErrors) {
    for (const std::string bytes : {"", "P4\n", "P4 8\n", "# only a comment\n", "P5 8 1\n\xFF"}) {
        EXPECT_EQ(inspect(bytes).message, read_error(path())) << bytes;
    }
}

TEST_F(SliceInspection, WhatIsNotARegularFileCannotBeOpened) {
    EXPECT_EQ(inspect_slice(dir / "missing.pbm").message, open_error(dir / "missing.pbm"));
    EXPECT_EQ(inspect_slice(dir.path().string()).message, open_error(dir.path().string()));
    EXPECT_EQ(inspect_slice("/dev/null").message, open_error("/dev/null"));
    // Opening a FIFO would wait for a writer for ever.
    const std::string fifo = dir / "fifo.pbm";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(inspect_slice(fifo).message, open_error(fifo));
}

TEST_F(SliceInspection, NulInsideThePathIsNotCutShort) {
    inspect("P4 8 1\n\xFF");
    const std::string named = path() + std::string(1, '\0') + "x";
    const Inspection result = inspect_slice(named);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.message, open_error(named));
}

TEST_F(SliceInspection, SymbolicLinkToASliceIsFollowed) {
    inspect("P4 8 1\n\x0F");
    const std::string link = dir / "link.pbm";
    std::filesystem::create_symlink(path(), link);
    const Inspection result = inspect_slice(link);
    ASSERT_TRUE(result.ok);
    EXPECT_EQ(result.black_pixels, "4");
}

}  // namespace
}  // namespace ferndel
