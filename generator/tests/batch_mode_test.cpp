#include "batch_mode.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "formats/model_file.h"
#include "test_support.h"

namespace brisolt {
namespace {

namespace fs = std::filesystem;
using talvik::testing::read_file;
using talvik::testing::run_process;
using talvik::testing::ScratchDir;

std::vector<std::string> arguments(const std::string& out, const std::string& seed = "1733650000") {
    return {"--batch",  "--x",   "30",       "--y",     "20",    "--z",      "10",
            "--lambda", "0.001", "--radius", "4",       "--law", "Uniform",  "--p1",
            "1",        "--p2",  "4.5",      "--count", "2",     "--prefix", "s",
            "--out",    out,     "--seed",   seed,      "--yes"};
}

std::string parse_error(std::vector<std::string> args) {
    BatchOptions options;
    return parse_batch_options(args, options);
}

// Every file below `root` with its contents, in name order.
std::vector<std::pair<std::string, std::string>> snapshot(const fs::path& root) {
    std::vector<std::pair<std::string, std::string>> files;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        const std::string name = fs::relative(entry.path(), root).string();
        files.emplace_back(name, entry.is_regular_file() ? read_file(entry.path()) : "<dir>");
    }
    std::sort(files.begin(), files.end());
    return files;
}

TEST(BatchOptions, ReadsEveryField) {
    BatchOptions o;
    ASSERT_EQ(parse_batch_options(arguments("/o"), o), "");
    const formats::ModelParameters& m = o.request.model;
    EXPECT_EQ(m.max_x, 30u);
    EXPECT_EQ(m.max_y, 20u);
    EXPECT_EQ(m.max_z, 10u);
    EXPECT_EQ(m.lambda, 0.001);
    EXPECT_EQ(m.max_radius, 4u);
    EXPECT_EQ(m.distribution, "Uniform");
    EXPECT_EQ(m.parameter1, 1.0);
    EXPECT_EQ(m.parameter2, 4.5);
    EXPECT_EQ(o.request.count, 2u);
    EXPECT_EQ(o.request.prefix, "s");
    EXPECT_EQ(o.request.output_directory, "/o");
    EXPECT_TRUE(o.seed_given);
    EXPECT_EQ(o.seed, 1733650000);
    EXPECT_TRUE(o.yes);
}

TEST(BatchOptions, NegativeNumbersAndAnEmptyPrefixAreValues) {
    std::vector<std::string> args = arguments("/o");
    args[14] = "-2e-1";  // --p1
    args[20] = "";       // --prefix
    BatchOptions o;
    ASSERT_EQ(parse_batch_options(args, o), "");
    EXPECT_EQ(o.request.model.parameter1, -0.2);
    EXPECT_EQ(o.request.prefix, "");
}

TEST(BatchOptions, BadCommandLinesNameTheProblem) {
    std::vector<std::string> args = arguments("/o");
    args[2] = "3O";
    EXPECT_EQ(parse_error(args), "--x needs a whole number, not '3O'.");
    args = arguments("/o");
    args[8] = "0,001";
    EXPECT_EQ(parse_error(args), "--lambda needs a number, not '0,001'.");
    args = arguments("/o");
    args[2] = "-5";
    EXPECT_EQ(parse_error(args), "--x needs a whole number, not '-5'.");
    EXPECT_EQ(parse_error(arguments("/o", "0")),
              "--seed needs a time in whole seconds from 1 to 2147483646, not '0'.");
    args = arguments("/o");
    args.erase(args.begin() + 21, args.begin() + 23);
    EXPECT_EQ(parse_error(args), "--out is missing.");
    args = arguments("/o");
    args.push_back("--x");
    args.push_back("5");
    EXPECT_EQ(parse_error(args), "--x is given twice.");
    args = arguments("/o");
    args.push_back("--colour");
    EXPECT_EQ(parse_error(args), "unknown option '--colour'.");
    args = arguments("/o");
    args.pop_back();
    args.push_back("--law");
    EXPECT_EQ(parse_error(args), "--law is given twice.");
    args = arguments("/o");
    args[20] = "../escaped";
    EXPECT_EQ(parse_error(args),
              "--prefix \"../escaped\" holds a path separator: a prefix only starts names "
              "inside the output folder.");
    EXPECT_EQ(parse_error(arguments("")), "--out needs a folder.");
    EXPECT_EQ(parse_error({"--batch", "--count"}), "--count needs a value.");
}

class BatchProcess : public ::testing::Test {
  protected:
    talvik::testing::ProcessResult brisolt(const std::vector<std::string>& args) {
        return run_process(BRISOLT_EXECUTABLE, args);
    }
    ScratchDir dir_;
};

TEST_F(BatchProcess, SameSeedGivesTheSameBytesAndAnotherSeedOthers) {
    const std::string a = dir_ / "a";
    const std::string b = dir_ / "b";
    const std::string c = dir_ / "c";
    for (const std::string& out : {a, b, c}) {
        fs::create_directory(out);
    }
    const auto first = brisolt(arguments(a));
    ASSERT_EQ(first.status, 0) << first.err;
    const auto second = brisolt(arguments(b));
    ASSERT_EQ(second.status, 0) << second.err;
    EXPECT_EQ(first.out.substr(0, first.out.find("Wrote")),
              second.out.substr(0, second.out.find("Wrote")));
    const auto files = snapshot(a);
    EXPECT_EQ(files.size(), 2u + 2u * (10u + 1u));  // 10 slices and model.txt each
    EXPECT_EQ(files, snapshot(b));
    ASSERT_EQ(brisolt(arguments(c, "1733650001")).status, 0);
    EXPECT_NE(snapshot(c), files);
}

TEST_F(BatchProcess, PrintsSeedMeanAndCountAndNoProgressWithoutATerminal) {
    const auto result = brisolt(arguments(dir_.path().string()));
    ASSERT_EQ(result.status, 0) << result.err;
    // mu = ((0.001 * 39) * 29) * 19
    EXPECT_TRUE(result.out.starts_with("seed: 1733650000\nmu: 21.489\nN: ")) << result.out;
    EXPECT_TRUE(result.out.ends_with("Wrote 2 data sets into " + dir_.path().string() + ".\n"));
    EXPECT_EQ(result.err, "");
}

// On a terminal the progress is one line, rewritten in place and ended once.
TEST_F(BatchProcess, ProgressOnATerminalIsOneLine) {
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    ASSERT_EQ(run_batch(arguments(dir_.path().string()), nullptr, out, err, 0, true), 0);
    std::rewind(err);
    std::string text(4096, '\0');
    text.resize(std::fread(text.data(), 1, text.size(), err));
    std::fclose(out);
    std::fclose(err);
    EXPECT_TRUE(text.starts_with("\rprogress: ")) << text;
    EXPECT_TRUE(text.ends_with("\rprogress: 100%, data set 2 of 2\n")) << text;
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1);
}

TEST_F(BatchProcess, WritesTheModelBesideEachDataSet) {
    const auto result = brisolt(arguments(dir_.path().string()));
    ASSERT_EQ(result.status, 0) << result.err;
    const size_t count_at = result.out.find("\nN: ");
    ASSERT_NE(count_at, std::string::npos) << result.out;
    const int32_t balls = std::stoi(result.out.substr(count_at + 4));
    for (const char* set : {"s000", "s001"}) {
        formats::ModelRecord r;
        std::string error;
        ASSERT_TRUE(formats::parse_model_text(read_file(dir_ / (std::string(set) + "/model.txt")),
                                              r, error))
            << set << ": " << error;
        EXPECT_EQ(r.parameters.max_x, 30u);
        EXPECT_EQ(r.parameters.max_y, 20u);
        EXPECT_EQ(r.parameters.max_z, 10u);
        EXPECT_EQ(r.parameters.lambda, 0.001);
        EXPECT_EQ(r.parameters.max_radius, 4u);
        EXPECT_EQ(r.parameters.distribution, "Uniform");
        EXPECT_EQ(r.parameters.parameter1, 1.0);
        EXPECT_EQ(r.parameters.parameter2, 4.5);
        EXPECT_EQ(r.seed, 1733650000);
        EXPECT_EQ(r.balls, balls);
        EXPECT_EQ(r.mean_count, ((0.001 * 39) * 29) * 19);
        // Values from 1 to 4.5: radii 1, 2 and 3 take a unit each, radius 4 half a unit.
        const std::vector<double> law = {0.0, 1 / 3.5, 1 / 3.5, 1 / 3.5, 0.5 / 3.5};
        ASSERT_EQ(r.truth.radius_law.size(), law.size());
        for (size_t j = 0; j < law.size(); ++j) {
            EXPECT_NEAR(r.truth.radius_law[j], law[j], 1e-15) << j;
        }
        EXPECT_DOUBLE_EQ(r.truth.densities.v3, -std::expm1(-0.001 * r.truth.grain.vbar));
        EXPECT_GT(r.measured_v3, 0.0);
    }
}

TEST_F(BatchProcess, WithoutYesItAsksAndOnlyAYesWrites) {
    std::vector<std::string> args = arguments(dir_.path().string());
    args.pop_back();
    const auto refused = brisolt(args);  // standard input is empty
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.out.find("About to make "), std::string::npos);
    EXPECT_NE(refused.out.find(" balls for each of 2 data sets.\nDo you want to continue? [y/N] "),
              std::string::npos);
    EXPECT_EQ(refused.err, "Brisolt: not confirmed; nothing written.\n");
    EXPECT_TRUE(fs::is_empty(dir_.path()));

    std::string command = "printf 'y\\n' | '" + std::string(BRISOLT_EXECUTABLE) + "'";
    for (const std::string& a : args) {
        command += " '" + a + "'";
    }
    const auto accepted = run_process("/bin/sh", {"-c", command});
    EXPECT_EQ(accepted.status, 0) << accepted.err;
    EXPECT_TRUE(fs::exists(dir_ / "s001/sslice009.pbm"));
}

TEST_F(BatchProcess, FailuresEndWithAMessageAndStatusOne) {
    const auto missing = brisolt(arguments(dir_ / "missing"));
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err,
              "Brisolt: The output folder '" + (dir_ / "missing") + "' does not exist.\n");
    EXPECT_EQ(missing.out, "");  // found before the count is drawn or the question asked

    std::vector<std::string> args = arguments(dir_.path().string());
    args[14] = "20";  // --p1
    args[16] = "30";  // --p2
    const auto impossible = brisolt(args);
    EXPECT_EQ(impossible.status, 1);
    EXPECT_EQ(impossible.err,
              "Brisolt: No radius from 0 to 4 (Max) can come from the Uniform law from 20 to "
              "30.\n");
    EXPECT_TRUE(fs::is_empty(dir_.path()));
}

TEST_F(BatchProcess, BadCommandLineIsStatusTwoAndHelpIsZero) {
    const auto bad = brisolt({"--batch", "--x"});
    EXPECT_EQ(bad.status, 2);
    EXPECT_EQ(bad.err, "Brisolt: --x needs a value.\nRun 'Brisolt --help' for the options.\n");
    const auto help = brisolt({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out, kBatchUsage);
}

TEST_F(BatchProcess, UnknownLawIsWarnedAbout) {
    std::vector<std::string> args = arguments(dir_.path().string());
    args[12] = "uniform";  // --law
    const auto result = brisolt(args);
    EXPECT_EQ(result.status, 0);
    EXPECT_TRUE(
        result.err.starts_with("Brisolt: 'uniform' is none of Uniform, LogNormal and "
                               "Exponential: every ball gets the radius 4.\n"));
}

TEST_F(BatchProcess, NeedsNoWindowSystem) {
    std::vector<std::string> args = {"-u",
                                     "DISPLAY",
                                     "-u",
                                     "WAYLAND_DISPLAY",
                                     "-u",
                                     "QT_QPA_PLATFORM",
                                     "QT_QPA_PLATFORM=xcb",
                                     BRISOLT_EXECUTABLE};
    for (const std::string& a : arguments(dir_.path().string())) {
        args.push_back(a);
    }
    const auto result = run_process("/usr/bin/env", args);
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_TRUE(fs::exists(dir_ / "s001/sslice009.pbm"));
}

}  // namespace
}  // namespace brisolt
