#include <gtest/gtest.h>

#include "driver/command_line.h"
#include "test_support.h"

namespace talvik {
namespace {

using talvik::testing::run_process;
using talvik::testing::ScratchDir;
using talvik::testing::write_file;

const std::string kUsage =
    "Usage: talvik [option] [/o output_file] /d disballs_file /b bitmaps_dir /e epsilon\n\n"
    "Options are:\n\t/h\t\tprint this help\n\t/v\t\tbe verbose\n\n";

CommandLine parse(std::vector<std::string> args) {
    args.insert(args.begin(), "/usr/local/bin/talvik");
    return parse_command_line(args);
}

TEST(CommandLine, ReadsEveryOption) {
    ScratchDir dir;
    const std::string data = dir.path().string();
    const CommandLine c = parse({"/v", "/o", "out.txt", "/d", "balls.txt", "/b", data, "/e", "3"});
    EXPECT_FALSE(c.usage_status);
    EXPECT_EQ(c.settings.program_name, "talvik");
    EXPECT_EQ(c.settings.output_path, "out.txt");
    EXPECT_EQ(c.settings.balls_path, "balls.txt");
    EXPECT_EQ(c.settings.data_set_directory, data);
    EXPECT_EQ(c.settings.epsilon_index, 2);
    EXPECT_TRUE(c.settings.verbose);
}

TEST(CommandLine, LaterValueWinsAndValuesAreNeverOptions) {
    ScratchDir dir;
    const std::string data = dir.path().string();
    const CommandLine c =
        parse({"/o", "/h", "/d", "a", "/d", "b", "/b", data, "/e", "2", "/e", "5"});
    EXPECT_FALSE(c.usage_status);
    EXPECT_EQ(c.settings.output_path, "/h");
    EXPECT_EQ(c.settings.balls_path, "b");
    EXPECT_EQ(c.settings.epsilon_index, 4);
    EXPECT_FALSE(c.settings.verbose);
}

TEST(CommandLine, UnknownArgumentsAndOtherCasesAreIgnored) {
    ScratchDir dir;
    const CommandLine c =
        parse({"/V", "-v", "stray", "/d", "b", "/b", dir.path().string(), "/e", "1", "/x"});
    EXPECT_FALSE(c.usage_status);
    EXPECT_FALSE(c.settings.verbose);
}

TEST(CommandLine, EpsilonIsReadLikeAtoi) {
    ScratchDir dir;
    const std::string data = dir.path().string();
    EXPECT_EQ(parse({"/d", "b", "/b", data, "/e", " 12abc"}).settings.epsilon_index, 11);
    EXPECT_EQ(parse({"/d", "b", "/b", data, "/e", "+4"}).settings.epsilon_index, 3);
    for (const char* bad : {"0", "-3", "abc", ""}) {
        EXPECT_EQ(parse({"/d", "b", "/b", data, "/e", bad}).usage_status, 1) << bad;
    }
}

TEST(CommandLine, MissingOrBadSettingsGiveTheUsageText) {
    ScratchDir dir;
    const std::string data = dir.path().string();
    write_file(dir / "plain.txt", "");
    EXPECT_EQ(parse({"/b", data, "/e", "1"}).usage_status, 1);
    EXPECT_EQ(parse({"/d", "b", "/e", "1"}).usage_status, 1);
    EXPECT_EQ(parse({"/d", "b", "/b", data}).usage_status, 1);
    EXPECT_EQ(parse({"/d", "b", "/b", dir / "plain.txt", "/e", "1"}).usage_status, 1);
    EXPECT_EQ(parse({"/d", "b", "/b", dir / "missing", "/e", "1"}).usage_status, 1);
    EXPECT_EQ(parse({"/d", "b", "/b", data, "/e"}).usage_status, 1);
    EXPECT_EQ(parse({"/d"}).usage_status, 1);
}

TEST(CommandLine, HelpWinsWhateverFollows) {
    EXPECT_EQ(parse({"/d", "b", "/h", "/e"}).usage_status, 0);
    EXPECT_EQ(parse({"/h", "/e"}).usage_status, 0);
}

TEST(CommandLine, ProgramNameIsTheLastPathComponent) {
    EXPECT_EQ(parse_command_line({"talvik"}).settings.program_name, "talvik");
    EXPECT_EQ(parse_command_line({"./build/bin/talvik", "/h"}).settings.program_name, "talvik");
}

TEST(TalvikProcess, HelpPrintsTheUsageTextAndSucceeds) {
    const auto r = run_process(TALVIK_EXECUTABLE, {"/h"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, kUsage);
    EXPECT_EQ(r.out, "");
    const auto after = run_process(TALVIK_EXECUTABLE, {"/d", "x", "/v", "/h"});
    EXPECT_EQ(after.status, 0);
    EXPECT_EQ(after.err, kUsage);
}

TEST(TalvikProcess, BadCommandLinesPrintTheUsageTextAndFail) {
    ScratchDir dir;
    write_file(dir / "plain", "x");
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"/d", "b", "/b", dir.path().string()},
        {"/d", "b", "/b", dir.path().string(), "/e", "0"},
        {"/d", "b", "/b", dir / "plain", "/e", "1"},
        {"/d", "b", "/b", dir.path().string(), "/e"},
        {"/o", "/h"},
    };
    for (const auto& args : cases) {
        const auto r = run_process(TALVIK_EXECUTABLE, args);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, kUsage);
        EXPECT_EQ(r.out, "");
    }
}

TEST(TalvikProcess, UsageComesBeforeAnyFileIsRead) {
    ScratchDir dir;
    // The balls file does not exist, yet the missing epsilon is what is reported.
    const auto r = run_process(TALVIK_EXECUTABLE, {"/d", dir / "none", "/b", dir.path().string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, kUsage);
}

}  // namespace
}  // namespace talvik
