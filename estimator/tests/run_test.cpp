// The estimator as a program: what reaches the console, the files it writes, its failures.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <regex>

#include "fit/matrix.h"
#include "fit/steiner_fit.h"
#include "formats/errors.h"
#include "literal_oracle.h"
#include "shells/distance_kernels.h"
#include "test_support.h"
#include "workloads.h"

namespace talvik {
namespace {

using talvik::testing::read_file;
using talvik::testing::run_process;
using talvik::testing::ScratchDir;
using talvik::testing::strip_timestamps;
using talvik::testing::write_file;
using ::testing::HasSubstr;
using ::testing::StartsWith;

// A small data set and a balls file with stored correction values, in a scratch directory.
class TalvikRun : public ::testing::Test {
  protected:
    void SetUp() override {
        data_ = scratch_ / "data";
        volume_ = workloads::boolean_model(30, 28, 26, 0.25, 1, 3, 99);
        workloads::write_data_set(data_, volume_);
        balls_ = scratch_ / "balls.txt";
        std::vector<formats::DiscretizedBall> balls = workloads::euclidean_balls(1, 4);
        const double des[] = {0.8308861181319003, 1.7314086001144915, 2.8838096202262022,
                              3.7149449575891254};
        for (size_t i = 0; i < balls.size(); ++i) {
            balls[i].de = des[i];
        }
        write_file(balls_, formats::format_balls_file(balls));
    }

    testing::ProcessResult talvik(std::vector<std::string> args,
                                  const std::vector<std::string>& env = {}) {
        return run_process(TALVIK_EXECUTABLE, args, env);
    }

    ScratchDir scratch_;
    std::string data_;
    std::string balls_;
    formats::BitVolume volume_;
};

TEST_F(TalvikRun, QuietRunPrintsExactlyThreeLines) {
    const auto r = talvik({"/d", balls_, "/b", data_, "/e", "2"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_TRUE(std::regex_match(r.out, std::regex("V2: [ -][0-9 .-]{19}\nV1: [ -][0-9 .-]{19}\n"
                                                   "V0: [ -][0-9 .-]{19}\n")))
        << r.out;
}

TEST_F(TalvikRun, ShellCountsAndResultsMatchTheVoxelByVoxelAlgorithm) {
    const formats::BallsFile balls = formats::read_balls_file(balls_);
    const std::vector<uint64_t> counts = oracle::shell_counts(volume_, balls.balls, 2);
    const auto r = talvik({"/v", "/d", balls_, "/b", data_, "/e", "3"});
    ASSERT_EQ(r.status, 0) << r.err;
    for (size_t d = 0; d < counts.size(); ++d) {
        EXPECT_THAT(r.out,
                    HasSubstr(formats::format_text("volume of ((Xe)*)d\\(Xe)* [d = %2u]: %lu\n",
                                                   static_cast<unsigned>(d + 1),
                                                   static_cast<unsigned long>(counts[d]))));
    }
    // The same fit on the literal counts gives the same printed lines.
    FitMatrices fit = create_fit_matrices(4);
    for (uint32_t i = 0; i < 4; ++i) {
        double x = 1.0;
        for (uint32_t k = 0; k < 3; ++k) {
            x = x * balls.balls[i].de;
            fit.m.at(k, i) = x * fit.m.at(k, i);
        }
        fit.v.at(i, 0) = static_cast<double>(counts[i]) / (20.0 * 18.0 * 16.0);
    }
    const IntrinsicVolumes v = solve(fit, VerboseLog(false));
    const std::string expected =
        formats::format_text("V2: %20.16f\nV1: %20.16f\nV0: %20.16f\n", v.v2, v.v1, v.v0);
    EXPECT_EQ(r.out.substr(r.out.size() - expected.size()), expected);
}

TEST_F(TalvikRun, VerboseOutputComesInRunOrder) {
    const auto r = talvik({"/v", "/d", balls_, "/b", data_, "/e", "1"});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string out = strip_timestamps(r.out);
    // The epsilon ball, printed without time stamps, comes first.
    EXPECT_THAT(r.out, StartsWith("3 1 \n1 0 \n\n___\n_X_\n___\n\n_X_\nXXX\n_X_\n\n"));
    const std::vector<std::string> steps = {
        "  de (e - epsilon, d - delta)\n",
        "de [e =  1]: 0.830886\n",
        "de [e =  4]: 3.714945\n",
        "  v (e - epsilon, d - delta)\n",
        "generating data set Xe...\ndone\n",
        "generating data set (Xe)*...\ndone\n",
        "clearing data set ((Xe)*)d\ndone\ngenerating data set ((Xe)*)d [d =  1]...\ndone\n"
        "generating data set ((Xe)*)d\\(Xe)* [d =  1]...\ndone\nvolume of ((Xe)*)d\\(Xe)* [d =  "
        "1]: ",
        "[d =  4]: ",
        "matrix E:\n",
        "matrix M*V\n",
        "V2: ",
        "V1: ",
        "V0: "};
    size_t at = 0;
    for (const std::string& step : steps) {
        const size_t found = out.find(step, at);
        ASSERT_NE(found, std::string::npos) << step;
        at = found + step.size();
    }
    EXPECT_EQ(r.err, "");
    // Every progress line carries a time stamp.
    EXPECT_THAT(r.out,
                ::testing::ContainsRegex("\n[0-9]{2}:[0-9]{2}:[0-9]{2}: generating data set Xe"));
}

TEST_F(TalvikRun, OutputEqualsTheWordPathAndTheVoxelByVoxelProgramByteForByte) {
    // First Euclidean balls only (the distance path, on every SIMD target that the processor
    // runs, named in a line of its own), one without a value, so that the correction value is
    // computed every way as well; then the epsilon ball changed into one that is no Euclidean
    // ball, which puts the whole run on the word path.
    std::vector<formats::DiscretizedBall> balls = formats::read_balls_file(balls_).balls;
    balls[0].de = 0.0;
    for (const bool euclidean : {true, false}) {
        if (!euclidean) {
            balls[0].de = 0.8308861181319003;
            balls[2].lengths[1] = 3;  // (1, 0, 2) leaves the ball, (0, 2, 2) stays
        }
        const std::string literal_balls = scratch_ / "literal_balls.txt";
        write_file(literal_balls, formats::format_balls_file(balls));
        const auto literal = run_process(TALVIK_LITERAL_EXECUTABLE,
                                         {"/v", "/d", literal_balls, "/b", data_, "/e", "3"});
        ASSERT_EQ(literal.status, 0) << literal.err;
        std::vector<std::string> settings = {"TALVIK_WORD_PATH=1"};
        for (const distance::KernelSet* set : distance::compiled_kernel_sets()) {
            if (distance::runs_here(*set)) {
                settings.push_back("TALVIK_SIMD=" + std::string(set->name));
            }
        }
        for (const std::string& setting : settings) {
            write_file(balls_, formats::format_balls_file(balls));
            const auto run = talvik({"/v", "/d", balls_, "/b", data_, "/e", "3"}, {setting});
            ASSERT_EQ(run.status, 0) << run.err;
            std::string out = strip_timestamps(run.out);
            const std::string simd_line = "SIMD target: " + setting.substr(12) + "\n";
            const size_t named = out.find(simd_line);
            if (euclidean && setting.starts_with("TALVIK_SIMD=")) {
                ASSERT_NE(named, std::string::npos) << setting;
                EXPECT_EQ(out.find("generating data set Xe"), named + simd_line.size());
                out.erase(named, simd_line.size());
            }
            EXPECT_EQ(out, strip_timestamps(literal.out)) << euclidean << " " << setting;
            EXPECT_EQ(read_file(balls_), read_file(literal_balls)) << setting;
        }
    }
}

TEST_F(TalvikRun, ThreadCountDoesNotChangeAnyDigit) {
    const auto one = talvik({"/v", "/d", balls_, "/b", data_, "/e", "4"}, {"TALVIK_THREADS=1"});
    const auto two = talvik({"/v", "/d", balls_, "/b", data_, "/e", "4"}, {"TALVIK_THREADS=2"});
    ASSERT_EQ(one.status, 0);
    EXPECT_EQ(strip_timestamps(one.out), strip_timestamps(two.out));
}

TEST_F(TalvikRun, ResultsFileGetsAHeaderOnceAndARowPerRun) {
    const std::string results = scratch_ / "results.txt";
    ASSERT_EQ(talvik({"/o", results, "/d", balls_, "/b", data_, "/e", "2"}).status, 0);
    const auto second = talvik({"/o", results, "/d", balls_, "/b", data_, "/e", "2"});
    ASSERT_EQ(second.status, 0);
    const std::string text = read_file(results);
    EXPECT_THAT(text, StartsWith("; Data_set\tV2\tV1\tV0\n" + data_));
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 3);
    EXPECT_EQ(text.find("; Data_set", 1), std::string::npos);
    // The row carries the values printed on the console.
    const std::string v2 = second.out.substr(4, 20);
    EXPECT_THAT(text, HasSubstr(" " + v2 + " "));
}

TEST_F(TalvikRun, UnwritableResultsFileIsReportedAfterTheResults) {
    const std::string results = scratch_ / "no/such/dir/results.txt";
    const auto r = talvik({"/o", results, "/d", balls_, "/b", data_, "/e", "2"});
    EXPECT_EQ(r.status, 1);
    EXPECT_THAT(r.out, StartsWith("V2: "));
    EXPECT_EQ(r.err, "talvik: Error writing the results to file '" + results + "'.\n");
}

TEST_F(TalvikRun, EpsilonOutOfRangeIsCaughtAfterTheValuesAreWrittenBack) {
    // Five balls, the last without a value: it is computed and stored before the check.
    write_file(balls_,
               read_file(balls_) + formats::format_balls_file({workloads::euclidean_ball(1)}));
    const auto r = talvik({"/v", "/d", balls_, "/b", data_, "/e", "7"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "talvik: Given epsilon '7' is out of range.\n");
    EXPECT_THAT(r.out, HasSubstr("volume of (Re - R) [e =  5]: "));
    // No ball is printed for an index beyond the list.
    EXPECT_EQ(r.out.find("___"), std::string::npos);
    EXPECT_EQ(formats::read_balls_file(balls_).balls[4].de,
              formats::read_balls_file(balls_).balls[0].de);
}

TEST_F(TalvikRun, MissingValuesAreComputedAndStoredOnce) {
    write_file(balls_, "3,1\n1,0\n\n" + formats::format_balls_file(
                                            {workloads::euclidean_ball(2, 1.7314086001144915),
                                             workloads::euclidean_ball(3, 2.8838096202262022)}));
    ASSERT_EQ(talvik({"/d", balls_, "/b", data_, "/e", "1"}).status, 0);
    const std::string rewritten = read_file(balls_);
    EXPECT_THAT(rewritten,
                StartsWith("[  0.8308861181319003]\n3,1\n1,0\n\n[  1.7314086001144915]\n"));
    // Every value stored: the file is not touched again.
    const timespec old_time{1000000000, 0};
    const timespec times[2] = {old_time, old_time};
    ::utimensat(AT_FDCWD, balls_.c_str(), times, 0);
    ASSERT_EQ(talvik({"/d", balls_, "/b", data_, "/e", "1"}).status, 0);
    struct stat after {};
    ::stat(balls_.c_str(), &after);
    EXPECT_EQ(after.st_mtim.tv_sec, old_time.tv_sec);
    EXPECT_EQ(read_file(balls_), rewritten);
}

TEST_F(TalvikRun, TheSingleVoxelBallIsComputedOnEveryRun) {
    write_file(balls_, "1\n\n" + read_file(balls_));
    ASSERT_EQ(talvik({"/d", balls_, "/b", data_, "/e", "2"}).status, 0);
    EXPECT_THAT(read_file(balls_), StartsWith("1\n\n[  0.8308861181319003]\n"));
    const auto again = talvik({"/v", "/d", balls_, "/b", data_, "/e", "2"});
    EXPECT_THAT(again.out, HasSubstr("volume of (Re - R) [e =  1]: 0\n"));
    EXPECT_THAT(again.out, HasSubstr("volume of ((Xe)*)d\\(Xe)* [d =  1]: 0\n"));
}

TEST_F(TalvikRun, TooFewBallsForTheFit) {
    write_file(balls_,
               formats::format_balls_file({workloads::euclidean_ball(1, 0.8308861181319003),
                                           workloads::euclidean_ball(2, 1.7314086001144915)}));
    const auto r = talvik({"/d", balls_, "/b", data_, "/e", "1"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "talvik: Cannot fit V2, V1 and V0 with 2 balls: the discretized-balls file '" +
                         balls_ + "' must hold at least 3.\n");
    EXPECT_EQ(r.out, "");
}

TEST_F(TalvikRun, BallsWithoutThreeDistinctValuesAreRefusedOnceTheValuesAreStored) {
    const std::string singular =
        "talvik: Cannot fit V2, V1 and V0: the matrix M*Mt is singular (the fit needs at least "
        "three balls with distinct de values).\n";
    // Radii 1, 2, 2, the middle one without a value.
    write_file(balls_,
               formats::format_balls_file({workloads::euclidean_ball(1, 0.8308861181319003),
                                           workloads::euclidean_ball(2),
                                           workloads::euclidean_ball(2, 1.7314086001144915)}));
    const auto r = talvik({"/d", balls_, "/b", data_, "/e", "1"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, singular);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(formats::read_balls_file(balls_).balls[1].de, 1.7314086001144915);
    const formats::DiscretizedBall one = workloads::euclidean_ball(1, 0.8308861181319003);
    write_file(balls_, formats::format_balls_file({one, one, one}));
    EXPECT_EQ(talvik({"/d", balls_, "/b", data_, "/e", "1"}).err, singular);
}

TEST_F(TalvikRun, DataSetWithoutAMeasuringWindowIsRefused) {
    const std::string small = scratch_ / "small";
    workloads::write_data_set(small, formats::BitVolume(30, 10, 30));
    const auto r = talvik({"/d", balls_, "/b", small, "/e", "1"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "talvik: Data set '" + small +
                         "' is too small: it is 30 x 10 x 30 voxels, and the measuring window "
                         "needs at least 11 along every axis.\n");
}

TEST_F(TalvikRun, EmptyAndFullSetsHaveNoShells) {
    for (const bool full : {false, true}) {
        formats::BitVolume v(16, 16, 16);
        if (full) {
            for (formats::SliceBits& plane : v.planes) {
                std::fill(plane.bytes.begin(), plane.bytes.end() - 1, 0xFF);
            }
        }
        const std::string dir = scratch_ / (full ? "full" : "empty");
        workloads::write_data_set(dir, v);
        const auto r = talvik({"/v", "/d", balls_, "/b", dir, "/e", "2"});
        ASSERT_EQ(r.status, 0) << r.err;
        for (int d = 1; d <= 4; ++d) {
            EXPECT_THAT(r.out, HasSubstr(formats::format_text("[d = %2d]: 0\n", d)));
        }
        EXPECT_THAT(r.out, HasSubstr("V2:   0.0000000000000000\n"));
    }
}

TEST_F(TalvikRun, FatalErrorsNameTheProgramAndTheFile) {
    const auto missing = talvik({"/d", scratch_ / "none.txt", "/b", data_, "/e", "1"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err,
              "talvik: Error opening file '" + (scratch_ / "none.txt") + "' for reading.\n");
    const std::string empty = scratch_ / "empty";
    std::filesystem::create_directory(empty);
    const auto no_slices = talvik({"/d", balls_, "/b", empty, "/e", "1"});
    EXPECT_EQ(no_slices.err, "talvik: Directory '" + empty + "' does not contain bitmaps.\n");
    write_file(balls_, "3,1\n\n1,0\n");
    const auto broken = talvik({"/d", balls_, "/b", data_, "/e", "1"});
    EXPECT_EQ(broken.status, 1);
    EXPECT_EQ(broken.err, "talvik: discretized balls: Invalid file format.\n");
}

TEST_F(TalvikRun, OnlyRegularFilesAreRead) {
    // A FIFO would block the run for ever and /dev/zero fill the memory; the alarm ends
    // such a run, and the test fails, instead of waiting for ever.
    auto run = [&](const std::string& balls, const std::string& data) {
        return testing::run_process_prepared(
            TALVIK_EXECUTABLE, {"/d", balls, "/b", data, "/e", "1"}, [] { ::alarm(60); });
    };
    const std::string fifo_set = scratch_ / "fifo";
    const std::string device_set = scratch_ / "device";
    std::filesystem::create_directory(fifo_set);
    std::filesystem::create_directory(device_set);
    ASSERT_EQ(::mkfifo((fifo_set + "/slice000.pbm").c_str(), 0600), 0);
    std::filesystem::create_symlink("/dev/zero", device_set + "/slice000.pbm");
    for (const std::string& set : {fifo_set, device_set}) {
        const auto r = run(balls_, set);
        EXPECT_EQ(r.status, 1) << set;
        EXPECT_EQ(r.err, "talvik: Error opening file '" + set + "/slice000.pbm' for reading.\n");
    }
    const std::string fifo_balls = scratch_ / "balls-fifo.txt";
    const std::string device_balls = scratch_ / "balls-device.txt";
    ASSERT_EQ(::mkfifo(fifo_balls.c_str(), 0600), 0);
    std::filesystem::create_symlink("/dev/zero", device_balls);
    for (const std::string& balls : {fifo_balls, device_balls}) {
        const auto r = run(balls, data_);
        EXPECT_EQ(r.status, 1) << balls;
        EXPECT_EQ(r.err, "talvik: Error opening file '" + balls + "' for reading.\n");
    }
}

TEST(TalvikExample, ShippedExampleRunsWithItsStoredValues) {
    ScratchDir scratch;
    const std::string balls = scratch / "balls.txt";
    std::filesystem::copy_file(EXAMPLES_DIR "/balls_r1-5.txt", balls);
    const auto r =
        run_process(TALVIK_EXECUTABLE, {"/d", balls, "/b", EXAMPLES_DIR "/boolean64", "/e", "5"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "V2:   0.0101642065656193\n"
              "V1:  -0.0033368334897299\n"
              "V0:  -0.0000778998206898\n");
    EXPECT_EQ(read_file(balls), read_file(EXAMPLES_DIR "/balls_r1-5.txt"));
}

}  // namespace
}  // namespace talvik
