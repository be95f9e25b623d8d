#include "run_preparation.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "driver/command_line.h"
#include "test_support.h"

namespace quenbar {
namespace {

using talvik::testing::ScratchDir;
using talvik::testing::write_file;

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
