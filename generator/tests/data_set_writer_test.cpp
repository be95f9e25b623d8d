#include "data_set_writer.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <random>

#include "formats/slice_file.h"
#include "literal_oracles.h"
#include "test_support.h"

namespace brisolt {
namespace {

namespace fs = std::filesystem;
using talvik::testing::read_file;
using talvik::testing::ScratchDir;
using talvik::testing::write_file;

formats::BitVolume volume_of(int32_t x, int32_t y, int32_t z) {
    return formats::BitVolume(x, y, z);
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
    formats::BitVolume v = volume_of(10, 2, 1);
    v.set(0, 0, 0);
    v.set(9, 0, 0);
    EXPECT_EQ(slice_file_contents(v, 0), std::string("P4\n10 2\n\x80\x40\x00\x00", 12));
}

TEST(SliceFileBytes, EightWideRowsAreOneByteEachWithoutPadding) {
    formats::BitVolume v = volume_of(8, 3, 1);
    for (int32_t x = 0; x < 8; ++x) {
        v.set(x, 1, 0);
    }
    v.set(7, 2, 0);
    EXPECT_EQ(slice_file_contents(v, 0), std::string("P4\n8 3\n\x00\xFF\x01", 10));
}

TEST(SliceFileBytes, PaddingBitsAreZeroEvenWhenTheNextRowIsFull) {
    formats::BitVolume v = volume_of(3, 2, 1);
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
            formats::BitVolume v = volume_of(w, h, 2);
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
            const formats::SliceReadResult back = formats::read_slice(bytes);
            ASSERT_EQ(back.status, formats::SliceStatus::ok);
            EXPECT_EQ(back.width, w);
            EXPECT_EQ(back.height, h);
            EXPECT_EQ(back.bits.bytes, v.planes[1].bytes) << w << "x" << h;
        }
    }
}

// Every entry below `root`, folders marked with a trailing "/", files with their contents.
std::vector<std::string> listing(const fs::path& root) {
    std::vector<std::string> entries;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        const std::string name = fs::relative(entry.path(), root).string();
        entries.push_back(entry.is_directory() ? name + "/" : name + "=" + read_file(entry.path()));
    }
    std::sort(entries.begin(), entries.end());
    return entries;
}

TEST(PendingDataSet, AppearsOnlyWhenCompleteAndNothingElseStays) {
    ScratchDir out;
    const std::string set = out / "p000";
    RunError error;
    {
        PendingDataSet pending(set);
        ASSERT_TRUE(pending.create(error));
        ASSERT_TRUE(pending.write("pslice000.pbm", "a", error));
        ASSERT_TRUE(pending.write("model.txt", "m", error));
        const std::string partial = ".p000.partial-" + std::to_string(::getpid());
        EXPECT_EQ(partial_directory(set), out / partial);
        EXPECT_EQ(listing(out.path()),
                  (std::vector<std::string>{partial + "/", partial + "/model.txt=m",
                                            partial + "/pslice000.pbm=a"}));
        ASSERT_TRUE(pending.commit(error)) << error.text;
    }
    EXPECT_EQ(listing(out.path()),
              (std::vector<std::string>{"p000/", "p000/model.txt=m", "p000/pslice000.pbm=a"}));

    // Not committed: gone, whether abandoned or dropped.
    for (const bool abandon : {true, false}) {
        PendingDataSet pending(out / "p001");
        ASSERT_TRUE(pending.create(error));
        ASSERT_TRUE(pending.write("pslice000.pbm", "b", error));
        if (abandon) {
            pending.abandon();
        }
    }
    EXPECT_EQ(listing(out.path()).size(), 3u);
}

TEST(PendingDataSet, ReusedFolderKeepsItsOtherFilesAndLosesEveryOldSlice) {
    ScratchDir out;
    const std::string set = out / "p000";
    fs::create_directories(set + "/notes");
    write_file(set + "/notes/a.txt", "kept too");
    write_file(set + "/readme.txt", "kept");
    write_file(set + "/model.txt", "old model");
    for (const char* old : {"pslice000.pbm", "pslice001.pbm", "pslice002.pbm", "other.pbm"}) {
        write_file(set + "/" + old, "old");
    }
    RunError error;
    ASSERT_TRUE(volume_write(volume_of(8, 1, 2), set, "p", error)) << error.text;
    EXPECT_EQ(listing(out.path()),
              (std::vector<std::string>{"p000/", "p000/notes/", "p000/notes/a.txt=kept too",
                                        std::string("p000/pslice000.pbm=P4\n8 1\n\0", 27),
                                        std::string("p000/pslice001.pbm=P4\n8 1\n\0", 27),
                                        "p000/readme.txt=kept"}));
}

TEST(PendingDataSet, FailuresNameTheDataSetsOwnPathsAndLeaveNothing) {
    ScratchDir out;
    RunError error;
    write_file(out / "p000", "in the way");
    EXPECT_FALSE(PendingDataSet(out / "p000").create(error));
    EXPECT_EQ(error.text, "Error creating directory " + (out / "p000") + "!");
    EXPECT_FALSE(PendingDataSet(out / "missing/p000").create(error));
    EXPECT_EQ(error.text, "Error creating directory " + (out / "missing/p000") + "!");

    PendingDataSet pending(out / "p001");
    ASSERT_TRUE(pending.create(error));
    EXPECT_FALSE(pending.write("sub/slice000.pbm", "x", error));
    EXPECT_EQ(error.text,
              "Error opening file '" + (out / "p001/sub/slice000.pbm") + "' for writing!");
    // Writes to /dev/full fail with ENOSPC, as on a full disk.
    const std::string full = partial_directory(out / "p001") + "/slice001.pbm";
    ASSERT_EQ(::symlink("/dev/full", full.c_str()), 0);
    EXPECT_FALSE(pending.write("slice001.pbm", std::string(10000, 'x'), error));
    EXPECT_EQ(error.text, "Error writing file '" + (out / "p001/slice001.pbm") + "'!");
    EXPECT_FALSE(fs::exists(fs::symlink_status(full)));
    pending.abandon();
    EXPECT_EQ(listing(out.path()), (std::vector<std::string>{"p000=in the way"}));
}

TEST(DataSetNames, PrefixMustStayInsideTheOutputFolder) {
    EXPECT_EQ(prefix_problem("ball"), "");
    EXPECT_EQ(prefix_problem(".b"), "");
    EXPECT_EQ(prefix_problem("../escaped"),
              "\"../escaped\" holds a path separator: a prefix only starts names inside the "
              "output folder.");
    EXPECT_EQ(prefix_problem(".."),
              "\"..\" names a folder: a prefix only starts names inside the output folder.");
    EXPECT_NE(prefix_problem("."), "");
    EXPECT_NE(prefix_problem("a/b"), "");
}

}  // namespace
}  // namespace brisolt
