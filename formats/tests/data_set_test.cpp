#include "formats/data_set.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "formats/errors.h"
#include "literal_oracle.h"
#include "test_support.h"
#include "workloads.h"

namespace formats {
namespace {

using talvik::testing::ScratchDir;
using talvik::testing::write_file;
using ::testing::HasSubstr;

std::string fatal_message(const std::string& directory) {
    try {
        load_data_set(directory);
    } catch (const FatalError& error) {
        EXPECT_EQ(error.status(), 1);
        return error.what();
    }
    ADD_FAILURE() << "no fatal error for " << directory;
    return {};
}

std::string blank_slice(int32_t w, int32_t h) {
    return "P4\n" + std::to_string(w) + " " + std::to_string(h) + "\n" +
           std::string(raster_row_bytes(w) * static_cast<size_t>(h), '\0');
}

TEST(ListSliceFiles, TakesPbmFilesInAscendingNameOrder) {
    ScratchDir dir;
    for (const char* name :
         {"b.pbm", "a.pbm", "c.PBM", "notes.txt", "slice10.pbm", "slice02.pbm"}) {
        write_file(dir / name, "");
    }
    const std::string root = dir.path().string();
    EXPECT_EQ(list_slice_files(root),
              (std::vector<std::string>{root + "/a.pbm", root + "/b.pbm", root + "/slice02.pbm",
                                        root + "/slice10.pbm"}));
    EXPECT_TRUE(list_slice_files(root + "/missing").empty());
}

TEST(LoadDataSet, LoadsSlicesInNameOrderAsZ) {
    ScratchDir dir;
    const BitVolume volume = talvik::testing::random_volume(13, 7, 5, 0.4, 11);
    talvik::workloads::write_data_set(dir.path().string(), volume);
    const WordVolume loaded = load_data_set(dir.path().string());
    ASSERT_EQ(loaded.width(), 13);
    ASSERT_EQ(loaded.height(), 7);
    ASSERT_EQ(loaded.slices(), 5);
    const BitVolume back = to_bit_volume(loaded);
    for (int32_t z = 0; z < 5; ++z) {
        EXPECT_EQ(back.planes[z].bytes, volume.planes[z].bytes) << "slice " << z;
    }
}

TEST(LoadDataSet, OneSliceIsADataSetOfOneSlice) {
    ScratchDir dir;
    write_file(dir / "only.pbm", blank_slice(12, 12));
    EXPECT_EQ(load_data_set(dir.path().string()).slices(), 1);
}

TEST(LoadDataSet, DirectoryWithoutSlices) {
    ScratchDir dir;
    EXPECT_EQ(fatal_message(dir.path().string()),
              "Directory '" + dir.path().string() + "' does not contain bitmaps.\n");
    write_file(dir / "readme.txt", "no slices here");
    write_file(dir / "upper.PBM", blank_slice(4, 4));
    EXPECT_THAT(fatal_message(dir.path().string()), HasSubstr("does not contain bitmaps"));
}

TEST(LoadDataSet, NamesTheSliceWhoseSizeDiffers) {
    ScratchDir dir;
    write_file(dir / "s0.pbm", blank_slice(100, 100));
    write_file(dir / "s1.pbm", blank_slice(100, 100));
    write_file(dir / "s2.pbm", blank_slice(100, 99));
    EXPECT_EQ(fatal_message(dir.path().string()),
              "Invalid data set '" + (dir / "s2.pbm") + "' dimension.\n");
}

TEST(LoadDataSet, NamesTheFirstSliceThatCannotBeRead) {
    ScratchDir dir;
    write_file(dir / "s0.pbm", blank_slice(8, 8));
    write_file(dir / "s1.pbm", "P1\n8 8\n");
    write_file(dir / "s2.pbm", "garbage");
    EXPECT_EQ(fatal_message(dir.path().string()),
              "Error reading data set '" + (dir / "s1.pbm") + "'.\n");
}

TEST(LoadDataSet, ShortRasterAndBadSizeAreReadErrors) {
    ScratchDir dir;
    write_file(dir / "s0.pbm", blank_slice(8, 8).substr(0, 12));
    EXPECT_EQ(fatal_message(dir.path().string()),
              "Error reading data set '" + (dir / "s0.pbm") + "'.\n");
    write_file(dir / "s0.pbm", "P4 -8 8\n");
    EXPECT_THAT(fatal_message(dir.path().string()), HasSubstr("Error reading data set"));
}

TEST(LoadDataSet, UnopenableSliceIsAnOpenError) {
    ScratchDir dir;
    write_file(dir / "s0.pbm", blank_slice(8, 8));
    std::filesystem::create_directory(dir / "s1.pbm");
    EXPECT_EQ(fatal_message(dir.path().string()),
              "Error opening file '" + (dir / "s1.pbm") + "' for reading.\n");
}

}  // namespace
}  // namespace formats
