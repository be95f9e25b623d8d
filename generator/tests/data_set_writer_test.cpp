#include "data_set_writer.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <random>

#include "literal_oracles.h"
#include "slice_file.h"
#include "test_support.h"

namespace brisolt {
namespace {

namespace fs = std::filesystem;
using talvik::testing::read_file;
using talvik::testing::ScratchDir;
using talvik::testing::write_file;

talvik::BitVolume volume_of(int32_t x, int32_t y, int32_t z) {
    return talvik::BitVolume(x, y, z);
}

TEST(DataSetNames, DirectoryAndSliceNamesCarryThePrefixTwice) {
    EXPECT_EQ(data_set_directory("/out", "ball", 7), "/out/ball007");
    EXPECT_EQ(slice_file_path("/out/ball007", "ball", 0), "/out/ball007/ballslice000.pbm");
    EXPECT_EQ(slice_file_path("/out/ball007", "ball", 1), "/out/ball007/ballslice001.pbm");
    EXPECT_EQ(data_set_directory("/out", "", 0), "/out/000");
    EXPECT_EQ(slice_file_path("/out/000", "", 0), "/out/000/slice000.pbm");
    EXPECT_EQ(data_set_directory("out", "p", 42), "out/p042");
    EXPECT_EQ(data_set_directory("/out", "ball", 1000), "/out/ball1000");
    EXPECT_EQ(slice_file_path("d", "", 999), "d/slice999.pbm");
}

TEST(DataSetNames, LongPathsAreNotCut) {
    const std::string deep(3000, 'd');
    EXPECT_EQ(slice_file_path(deep, "p", 3), deep + "/pslice003.pbm");
}

TEST(SliceFileBytes, TenByTwoWithTheFirstAndLastVoxelOfRowZero) {
    talvik::BitVolume v = volume_of(10, 2, 1);
    v.set(0, 0, 0);
    v.set(9, 0, 0);
    EXPECT_EQ(slice_file_contents(v, 0), std::string("P4\n10 2\n\x80\x40\x00\x00", 12));
}

TEST(SliceFileBytes, EightWideRowsAreOneByteEachWithoutPadding) {
    talvik::BitVolume v = volume_of(8, 3, 1);
    for (int32_t x = 0; x < 8; ++x) {
        v.set(x, 1, 0);
    }
    v.set(7, 2, 0);
    EXPECT_EQ(slice_file_contents(v, 0), std::string("P4\n8 3\n\x00\xFF\x01", 10));
}

TEST(SliceFileBytes, PaddingBitsAreZeroEvenWhenTheNextRowIsFull) {
    talvik::BitVolume v = volume_of(3, 2, 1);
    for (int32_t x = 0; x < 3; ++x) {
        v.set(x, 0, 0);
        v.set(x, 1, 0);
    }
    EXPECT_EQ(slice_file_contents(v, 0), std::string("P4\n3 2\n\xE0\xE0", 9));
}

TEST(SliceFileBytes, MatchesTheBitByBitRasterAndReadsBack) {
    std::mt19937 engine(11);
    for (int32_t w = 1; w <= 41; w += 4) {
        for (const int32_t h : {1, 2, 7, 16}) {
            talvik::BitVolume v = volume_of(w, h, 2);
            for (int32_t y = 0; y < h; ++y) {
                for (int32_t x = 0; x < w; ++x) {
                    if (engine() % 3 == 0) {
                        v.set(x, y, 1);
                    }
                }
            }
            const std::string file = slice_file_contents(v, 1);
            ASSERT_EQ(file, testing::literal_slice_file(v, 1)) << w << "x" << h;
            const std::span<const uint8_t> bytes(reinterpret_cast<const uint8_t*>(file.data()),
                                                 file.size());
            const talvik::SliceReadResult back = talvik::read_slice(bytes);
            ASSERT_EQ(back.status, talvik::SliceStatus::ok);
            EXPECT_EQ(back.width, w);
            EXPECT_EQ(back.height, h);
            EXPECT_EQ(back.bits.bytes, v.planes[1].bytes) << w << "x" << h;
        }
    }
}

TEST(CreateDirectory, NewOrExistingDirectoriesButNothingElse) {
    ScratchDir dir;
    const std::string path = dir / "p000";
    EXPECT_TRUE(create_data_set_directory(path));
    write_file(path + "/keep.txt", "kept");
    EXPECT_TRUE(create_data_set_directory(path));
    EXPECT_EQ(read_file(path + "/keep.txt"), "kept");
    EXPECT_FALSE(create_data_set_directory(dir / "missing/p000"));
    EXPECT_FALSE(fs::exists(dir / "missing"));
    write_file(dir / "file", "");
    EXPECT_FALSE(create_data_set_directory(dir / "file"));
}

TEST(VolumeWrite, WritesEverySliceInZOrder) {
    ScratchDir dir;
    talvik::BitVolume v = volume_of(10, 2, 3);
    v.set(0, 0, 1);
    v.set(9, 1, 2);
    RunError error;
    error.set("old");
    ASSERT_TRUE(volume_write(v, dir.path().string(), "b", error));
    EXPECT_FALSE(error.flag);
    EXPECT_EQ(read_file(dir / "bslice000.pbm"), std::string("P4\n10 2\n\0\0\0\0", 12));
    EXPECT_EQ(read_file(dir / "bslice001.pbm"), std::string("P4\n10 2\n\x80\0\0\0", 12));
    EXPECT_EQ(read_file(dir / "bslice002.pbm"), std::string("P4\n10 2\n\0\0\0\x40", 12));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 3);
}

TEST(VolumeWrite, OverwritesEarlierSlices) {
    ScratchDir dir;
    write_file(dir / "slice000.pbm", std::string(100, 'x'));
    RunError error;
    ASSERT_TRUE(volume_write(volume_of(8, 1, 1), dir.path().string(), "", error));
    EXPECT_EQ(read_file(dir / "slice000.pbm"), std::string("P4\n8 1\n\0", 8));
}

TEST(VolumeWrite, SliceThatCannotBeOpenedStopsTheWriting) {
    ScratchDir dir;
    fs::create_directory(dir / "slice001.pbm");  // a directory cannot be opened for writing
    RunError error;
    EXPECT_FALSE(volume_write(volume_of(4, 4, 3), dir.path().string(), "", error));
    EXPECT_TRUE(error.flag);
    EXPECT_EQ(error.text, "Error opening file '" + (dir / "slice001.pbm") + "' for writing!");
    EXPECT_TRUE(fs::exists(dir / "slice000.pbm"));
    EXPECT_FALSE(fs::exists(dir / "slice002.pbm"));
}

TEST(VolumeWrite, FullDiskIsReportedWithTheSlicePath) {
    ScratchDir dir;
    // Writes to /dev/full fail with ENOSPC, as on a full disk.
    ASSERT_EQ(::symlink("/dev/full", (dir / "pslice001.pbm").c_str()), 0);
    RunError error;
    EXPECT_FALSE(volume_write(volume_of(100, 100, 3), dir.path().string(), "p", error));
    EXPECT_TRUE(error.flag);
    EXPECT_EQ(error.text, "Error writing file '" + (dir / "pslice001.pbm") + "'!");
    EXPECT_TRUE(fs::exists(dir / "pslice000.pbm"));
    EXPECT_FALSE(fs::exists(fs::symlink_status(dir / "pslice001.pbm")));
    EXPECT_FALSE(fs::exists(dir / "pslice002.pbm"));
}

}  // namespace
}  // namespace brisolt
