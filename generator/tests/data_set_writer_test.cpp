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

// Every entry below `root`, folders marked with a trailing "/", symbolic links with "@", files
// with their contents.
std::vector<std::string> listing(const fs::path& root) {
    std::vector<std::string> entries;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        const std::string name = entry.path().lexically_relative(root).string();
        entries.push_back(entry.is_symlink()     ? name + "@"
                          : entry.is_directory() ? name + "/"
                                                 : name + "=" + read_file(entry.path()));
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
        const std::string partial = fs::path(pending.partial()).filename().string();
        EXPECT_EQ(out / partial, partial_prefix(set) + partial.substr(partial.size() - 6));
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
    fs::create_directories(set);
    write_file(set + "/readme.txt", "kept");
    write_file(set + "/model.txt", "old model");
    for (const char* old : {"pslice000.pbm", "pslice001.pbm", "pslice002.pbm", "other.pbm"}) {
        write_file(set + "/" + old, "old");
    }
    RunError error;
    ASSERT_TRUE(volume_write(volume_of(8, 1, 2), set, "p", error)) << error.text;
    const std::vector<std::string> written{
        "p000/", std::string("p000/pslice000.pbm=P4\n8 1\n\0", 27),
        std::string("p000/pslice001.pbm=P4\n8 1\n\0", 27), "p000/readme.txt=kept"};
    EXPECT_EQ(listing(out.path()), written);

    // A folder inside could not go along in the one step that replaces the data set folder:
    // refused before anything is written, and the data set folder stays as it is.
    fs::create_directories(set + "/notes");
    write_file(set + "/notes/a.txt", "mine");
    EXPECT_FALSE(volume_write(volume_of(8, 1, 3), set, "p", error));
    EXPECT_EQ(error.text, "Error replacing the data set in " + set +
                              ": it holds the folder 'notes'. Move that folder elsewhere first!");
    std::vector<std::string> with_notes = written;
    with_notes.insert(with_notes.begin() + 1, {"p000/notes/", "p000/notes/a.txt=mine"});
    EXPECT_EQ(listing(out.path()), with_notes);
}

// Two writers of one data set, as two runs in separate process-id namespaces or on two hosts
// may have the same process id: each writes into a folder of its own, leaves alone every
// hidden folder it did not make, and the data set ends whole, from the one that committed
// last.
TEST(PendingDataSet, TwoWritersOfOneDataSetNeverShareAFolder) {
    ScratchDir out;
    const std::string set = out / "p000";
    // What a killed run with this process id, or another host's run, has in the making.
    const std::string foreign = partial_prefix(set) + std::to_string(::getpid());
    fs::create_directories(foreign);
    write_file(foreign + "/pslice000.pbm", "foreign");
    RunError error;
    PendingDataSet first(set);
    PendingDataSet second(set);
    ASSERT_TRUE(first.create(error));
    ASSERT_TRUE(first.write("pslice000.pbm", "1", error));
    ASSERT_TRUE(second.create(error));
    ASSERT_TRUE(second.write("pslice000.pbm", "2", error));
    ASSERT_TRUE(first.write("pslice001.pbm", "1", error)) << error.text;
    ASSERT_TRUE(second.write("pslice001.pbm", "2", error));
    ASSERT_TRUE(first.write("model.txt", "1", error));
    ASSERT_TRUE(second.write("model.txt", "2", error));
    ASSERT_TRUE(first.commit(error)) << error.text;
    EXPECT_EQ(listing(set),
              (std::vector<std::string>{"model.txt=1", "pslice000.pbm=1", "pslice001.pbm=1"}));
    ASSERT_TRUE(second.commit(error)) << error.text;
    EXPECT_EQ(listing(set),
              (std::vector<std::string>{"model.txt=2", "pslice000.pbm=2", "pslice001.pbm=2"}));
    EXPECT_EQ(read_file(foreign + "/pslice000.pbm"), "foreign");
    EXPECT_EQ(std::distance(fs::directory_iterator(out.path()), fs::directory_iterator()), 2);
}

// A symbolic link as the output folder or as the data set folder that leads nowhere or in a
// loop: refused with the link's name, and nothing is made, neither beside the link nor where
// it would lead.
TEST(PendingDataSet, LinkThatLeadsNowhereOrInALoopIsRefused) {
    ScratchDir dir;
    fs::create_directories(dir / "out");
    fs::create_directories(dir / "elsewhere");
    fs::create_directory_symlink(dir / "elsewhere/gone", dir / "dangling");
    fs::create_directory_symlink(dir / "looping", dir / "looping");
    fs::create_directory_symlink(dir / "elsewhere/p000", dir / "out/p000");
    fs::create_directory_symlink("p001", dir / "out/p001");
    const struct {
        std::string directory;
        std::string link;
        const char* problem;
    } cases[] = {
        {dir / "dangling/p000", dir / "dangling", "leads nowhere"},
        {dir / "looping/p000", dir / "looping", "leads round in a loop"},
        {dir / "out/p000", dir / "out/p000", "leads nowhere"},
        {dir / "out/p001", dir / "out/p001", "leads round in a loop"},
    };
    const std::vector<std::string> before = listing(dir.path());
    for (const auto& c : cases) {
        RunError error;
        EXPECT_FALSE(volume_write(volume_of(8, 1, 2), c.directory, "p", error));
        EXPECT_EQ(error.text, "Error creating directory " + c.directory + ": " + c.link +
                                  " is a symbolic link that " + c.problem + "!");
    }
    EXPECT_EQ(listing(dir.path()), before);
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
    const std::string full = pending.partial() + "/slice001.pbm";
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
