#include "run_preparation.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <random>

#include "balls_file.h"
#include "diagnostics.h"
#include "results_file.h"
#include "run_settings.h"
#include "test_support.h"

namespace quenbar {
namespace {

using talvik::testing::ScratchDir;
using talvik::testing::write_file;

const char* const kBall1 = "3,1\n1,0\n";
const char* const kBall2 = "5,3,1\n3,3,0\n1,0,0\n";

const ScratchDir& scratch() {
    static const ScratchDir dir;
    return dir;
}

int count_text(const std::string& text) {
    write_file(scratch() / "balls.txt", text);
    return CountBalls(scratch() / "balls.txt");
}

// What the estimator's own reader makes of the text: its number of balls, or 0 when it stops
// with an error.
int estimator_count(const std::string& text) {
    write_file(scratch() / "balls.txt", text);
    try {
        return static_cast<int>(talvik::read_balls_file(scratch() / "balls.txt").balls.size());
    } catch (const talvik::FatalError&) {
        return 0;
    }
}

TEST(CountBalls, CountsCompleteBallsBetweenCorrectionAndEmptyLines) {
    EXPECT_EQ(count_text("[0.8]\n3,1\n1,0\n\n[1.7]\n5,3,1\n3,3,0\n1,0,0\n\n[0.1]\n1\n\n"), 3);
    EXPECT_EQ(count_text(std::string(kBall1) + kBall2 + "1\n"), 3);
    EXPECT_EQ(count_text(""), 0);
    EXPECT_EQ(count_text("\n\n[0.5]\n"), 0);
}

TEST(CountBalls, LastBallWithoutItsLastRowIsNotCounted) {
    EXPECT_EQ(count_text(std::string(kBall1) + "\n5,3,1\n3,3,0\n"), 1);
    EXPECT_EQ(count_text("5,3,1\n"), 0);
}

TEST(CountBalls, LineEndsAndLeadingBlanksDoNotMatter) {
    EXPECT_EQ(count_text("[0.8]\r\n3,1\r\n1,0\r\n\r\n1\r\n"), 2);
    EXPECT_EQ(count_text(std::string(kBall1) + "\n1"), 2);
    EXPECT_EQ(count_text(" \t3,1\n\t1,0\n  \n"), 1);
    // A carriage return counts as a line end only before a line feed.
    EXPECT_EQ(count_text("3,1\r1,0\n"), 0);
    EXPECT_EQ(count_text("3,1\n1,0\r"), 1);
}

TEST(CountBalls, BlankOrCorrectionLineInsideABallBreaksTheFile) {
    EXPECT_EQ(count_text(std::string(kBall2) + "3,1\n\n1,0\n"), 0);
    EXPECT_EQ(count_text(std::string(kBall2) + "3,1\n[0.5]\n1,0\n"), 0);
    EXPECT_EQ(count_text("3,1\n \t\n1,0\n"), 0);
}

TEST(CountBalls, FirstRowMustFitItsFirstValue) {
    EXPECT_EQ(count_text("4,1,0\n1,0,0\n1,0,0\n"), 0);  // even
    EXPECT_EQ(count_text("5,3\n3,1\n"), 0);             // 5 needs three fields
    EXPECT_EQ(count_text("3,1,0\n1,0,0\n1,0,0\n"), 0);  // 3 needs two
    EXPECT_EQ(count_text("-1\n"), 0);
    EXPECT_EQ(count_text(",,\n"), 0);  // commas but no number
    EXPECT_EQ(count_text("abc\n"), 0);
    // The first non-empty piece is the first value; blanks are read as atoi reads them.
    EXPECT_EQ(count_text(",3, 1\n1,0,0\n1,0,0\n"), 0);
    EXPECT_EQ(count_text(",5,3\n1,0,0\n1,0,0\n"), 1);
    EXPECT_EQ(count_text("3, 1\n1\n"), 1);
    // Later rows are rows, whatever they hold.
    EXPECT_EQ(count_text("3,1\nxyz\n"), 1);
}

TEST(CountBalls, MissingOrUnreadableFileIsMinusOne) {
    ScratchDir dir;
    EXPECT_EQ(CountBalls(dir / "missing.txt"), -1);
    EXPECT_EQ(CountBalls(dir.path().string()), -1);
    write_file(dir / "locked.txt", kBall1);
    ::chmod((dir / "locked.txt").c_str(), 0);
    if (::geteuid() != 0) {
        EXPECT_EQ(CountBalls(dir / "locked.txt"), -1);
    }
}

TEST(CountBalls, AgreesWithTheEstimatorOnItsLimits) {
    std::string balls;
    for (int i = 0; i < 32; ++i) {
        balls += kBall1;
    }
    EXPECT_EQ(count_text(balls), 32);
    EXPECT_EQ(count_text(balls + "5,3,1\n"), 32);
    EXPECT_EQ(count_text(balls + "1\n"), 0);
    // A line of more than 1022 characters is read as two lines, which breaks its ball.
    const std::string long_row = "3," + std::string(1030, '1') + "\n1,0\n";
    EXPECT_EQ(count_text(long_row), estimator_count(long_row));
    EXPECT_EQ(count_text(long_row), 0);
    // A value that no fit could use stops the estimator.
    EXPECT_EQ(count_text("[nan]\n1\n"), 0);
    EXPECT_EQ(count_text("[1e999]\n1\n"), 0);
    EXPECT_EQ(count_text("[abc]\n1\n"), 1);
}

// Files made of the pieces that matter to both readers, compared with the estimator's reader.
TEST(CountBalls, AgreesWithTheEstimatorOnRandomFiles) {
    const std::vector<std::string> lines = {
        "",      " ",       "[0.5]", "[nan]",   "[1e999]", "3,1",  "1,0", "1",     "5,3,1",
        "3,3,0", "1,0,0",   "3,1,0", "4,1",     ",,",      ",3,1", "x",   "  3,1", "\t1,0",
        "3,,1",  "7,5,5,1", "5",     "1,0,0,0", "-3,1,0",  "3, 1", "9"};
    std::mt19937 engine(20240611);
    for (int trial = 0; trial < 500; ++trial) {
        std::string text;
        const int count = std::uniform_int_distribution<int>(0, 12)(engine);
        for (int i = 0; i < count; ++i) {
            text += lines[std::uniform_int_distribution<size_t>(0, lines.size() - 1)(engine)];
            const int end = std::uniform_int_distribution<int>(0, 5)(engine);
            text += end == 0 ? "\r\n" : end == 1 && i + 1 == count ? "" : "\n";
        }
        ASSERT_EQ(count_text(text), estimator_count(text)) << "file:\n" << text;
    }
}

TEST(CollectDataSets, SubDirectoriesStandForTheEntryInNameOrderHiddenOnesLeftOut) {
    ScratchDir dir;
    const std::string entry = dir.path().string();
    std::filesystem::create_directories(dir.path() / "b" / "deeper");
    std::filesystem::create_directory(dir / "a");
    // Brisolt's data set while it is being written.
    std::filesystem::create_directory(dir / ".c.partial-4242");
    write_file(dir / "slice000.pbm", "P4 1 1\n\x80");
    std::vector<std::string> data_sets = {"earlier"};
    CollectDataSets(entry, data_sets);
    EXPECT_EQ(data_sets, (std::vector<std::string>{"earlier", entry + "/a", entry + "/b"}));
    data_sets.clear();
    CollectDataSets(entry + "/", data_sets);
    EXPECT_EQ(data_sets.front(), entry + "/a");
    // Only hidden sub-directories: the entry is a data set itself.
    data_sets.clear();
    CollectDataSets(dir / "b", data_sets);
    std::filesystem::rename(dir.path() / "b" / "deeper", dir.path() / "b" / ".deeper");
    CollectDataSets(dir / "b", data_sets);
    EXPECT_EQ(data_sets, (std::vector<std::string>{dir / "b" + "/deeper", dir / "b"}));
}

TEST(CollectDataSets, DirectoryWithoutSubDirectoriesIsItselfAsWritten) {
    ScratchDir dir;
    write_file(dir / "slice000.pbm", "P4 1 1\n\x80");
    const std::string entry = dir.path().string() + "/./";
    std::vector<std::string> data_sets;
    CollectDataSets(entry, data_sets);
    EXPECT_EQ(data_sets, std::vector<std::string>{entry});
}

TEST(CollectDataSets, LinkToADirectoryCountsAsOne) {
    ScratchDir dir;
    std::filesystem::create_directory(dir / "real");
    std::filesystem::create_directory(dir / "set");
    std::filesystem::create_directory_symlink(dir / "real", dir.path() / "set" / "linked");
    std::vector<std::string> data_sets;
    CollectDataSets(dir / "set", data_sets);
    EXPECT_EQ(data_sets, std::vector<std::string>{dir / "set" + "/linked"});
}

TEST(CollectDataSets, EntryThatCannotBeSearchedAddsNothingAndSaysWhy) {
    ScratchDir dir;
    write_file(dir / "plain.txt", "x");
    std::vector<std::string> data_sets;
    std::string missing;
    std::string plain;
    std::string empty;
    CollectDataSets(dir / "missing", data_sets, &missing);
    CollectDataSets(dir / "plain.txt", data_sets, &plain);
    CollectDataSets("", data_sets, &empty);
    EXPECT_TRUE(data_sets.empty());
    EXPECT_EQ(missing, "cannot list the directory: No such file or directory");
    EXPECT_EQ(plain, "cannot list the directory: Not a directory");
    EXPECT_EQ(empty, "the entry is empty");
}

TEST(InspectResultsFile, TellsWhatANameStandsFor) {
    ScratchDir dir;
    const std::string balls = dir / "balls.txt";
    write_file(balls, "3,1\n1,0\n");
    write_file(dir / "empty.txt", "");
    write_file(dir / "results.txt",
               "; Data_set\tV2\tV1\tV0\na  0.1 0.2 0.3\nb  0.1 0.2 0.3\n; Data_set\tV2\tV1\tV0\nc "
               " 0.1 0.2 0.3");
    write_file(dir / "notes.txt", "my notes\n");
    const auto kind = [&](const std::string& path) { return InspectResultsFile(path, balls).kind; };
    EXPECT_EQ(kind(dir / "new.txt"), ResultsFileKind::fresh);
    EXPECT_EQ(kind(dir / "empty.txt"), ResultsFileKind::fresh);
    EXPECT_EQ(kind(dir / "results.txt"), ResultsFileKind::results);
    EXPECT_EQ(InspectResultsFile(dir / "results.txt", balls).rows, 3);
    EXPECT_EQ(kind(dir / "notes.txt"), ResultsFileKind::foreign);
    // The balls file under another spelling of its path.
    EXPECT_EQ(kind(dir.path().string() + "/./balls.txt"), ResultsFileKind::balls_file);
    EXPECT_EQ(kind(dir / "new.PBM"), ResultsFileKind::slice);
    EXPECT_EQ(kind(dir.path().string()), ResultsFileKind::cannot_open);
    EXPECT_EQ(InspectResultsFile(dir / "balls.txt", "").kind, ResultsFileKind::foreign);
}

TEST(BuildCommandLine, PiecesInOrderWithQuotedPaths) {
    EstimatorSettings settings{"/data/balls.txt", 3, "/data/my results.txt", true};
    EXPECT_EQ(BuildCommandLine(settings, "/data/set01"),
              "talvik /v /o \"/data/my results.txt\" /d \"/data/balls.txt\" /b \"/data/set01\" "
              "/e 3");
    settings.verbose = false;
    settings.output_path.clear();
    EXPECT_EQ(BuildCommandLine(settings, " /data/set 02 "),
              "talvik /d \"/data/balls.txt\" /b \" /data/set 02 \" /e 3");
}

TEST(BuildArguments, EstimatorReadsTheIntendedSettings) {
    ScratchDir dir;
    const std::string data_set = dir / "set \"quoted\" h";
    std::filesystem::create_directory(data_set);
    const EstimatorSettings settings{"/b", 12, "/h", true};
    std::vector<std::string> args = BuildArguments(settings, data_set);
    EXPECT_EQ(args,
              (std::vector<std::string>{"/v", "/o", "/h", "/d", "/b", "/b", data_set, "/e", "12"}));
    args.insert(args.begin(), "/usr/bin/talvik");
    const talvik::CommandLine parsed = talvik::parse_command_line(args);
    EXPECT_FALSE(parsed.usage_status.has_value());
    EXPECT_EQ(parsed.settings.output_path, "/h");
    EXPECT_EQ(parsed.settings.balls_path, "/b");
    EXPECT_EQ(parsed.settings.data_set_directory, data_set);
    EXPECT_EQ(parsed.settings.epsilon_index, 11);
    EXPECT_TRUE(parsed.settings.verbose);

    std::vector<std::string> quiet = BuildArguments({"balls.txt", 1, "", false}, data_set);
    quiet.insert(quiet.begin(), "talvik");
    const talvik::CommandLine plain = talvik::parse_command_line(quiet);
    EXPECT_FALSE(plain.usage_status.has_value());
    EXPECT_FALSE(plain.settings.output_path.has_value());
    EXPECT_FALSE(plain.settings.verbose);
    EXPECT_EQ(plain.settings.epsilon_index, 0);
}

}  // namespace
}  // namespace quenbar
