#include "formats/model_file.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <numbers>

#include "data_set_writer.h"
#include "formats/data_set.h"
#include "generator_run.h"
#include "model_fixtures.h"
#include "partial_folders.h"
#include "radius_law.h"
#include "random/random.h"
#include "test_support.h"

namespace brisolt {
namespace {

namespace fs = std::filesystem;
using talvik::testing::read_file;
using talvik::testing::ScratchDir;
using talvik::testing::write_file;
using testing::counted;

formats::ModelRecord small_record() {
    formats::ModelRecord r;
    r.parameters = testing::cube_model("Uniform", 1.0, 3.5, 2, 4);
    r.parameters.max_y = 5;
    r.parameters.max_z = 6;
    r.parameters.lambda = 0.1;
    r.seed = 1733650000;
    r.skip = 2218;
    r.reproduce = "--batch --x 4";
    r.balls = 17;
    r.mean_count = 52.5;
    r.truth.radius_law = {0.0, 0.4, 0.6};
    r.truth.grain = {0.5, 0.25, 1.0 / 3.0};
    r.truth.densities = {0.75, 0.125, -0.0625, 1e-5};
    r.measured_v3 = 0.7;
    return r;
}

TEST(ModelFile, OneLinePerValueRealsWithSeventeenDigits) {
    EXPECT_EQ(formats::model_file_text(small_record()),
              "x = 4\n"
              "y = 5\n"
              "z = 6\n"
              "lambda = 0.10000000000000001\n"
              "radius = 2\n"
              "law = Uniform\n"
              "p1 = 1\n"
              "p2 = 3.5\n"
              "seed = 1733650000\n"
              "skip = 2218\n"
              "balls = 17\n"
              "mean_count = 52.5\n"
              "V3 = 0.75\n"
              "V2 = 0.125\n"
              "V1 = -0.0625\n"
              "V0 = 1.0000000000000001e-05\n"
              "vbar = 0.5\n"
              "sbar = 0.25\n"
              "mbar = 0.33333333333333331\n"
              "p_r0 = 0\n"
              "p_r1 = 0.40000000000000002\n"
              "p_r2 = 0.59999999999999998\n"
              "measured_V3 = 0.69999999999999996\n"
              "reproduce = --batch --x 4\n");
    EXPECT_EQ(formats::model_file_path("out/ball007"), "out/ball007/model.txt");
}

TEST(ModelFile, ALawTypedWithALineBreakStaysOnItsLine) {
    formats::ModelRecord r = small_record();
    r.parameters.distribution = "two\nlines\r";
    const std::string text = formats::model_file_text(r);
    EXPECT_NE(text.find("\nlaw = two lines \np1 = 1\n"), std::string::npos) << text;
}

TEST(ModelFile, ReadsBackEveryValueExactly) {
    formats::ModelRecord r;
    r.parameters = testing::cube_model("LogNormal", 1.5, 0.4, 12, 160);
    r.parameters.lambda = 0.000123;
    r.seed = 20261208;
    r.balls = 12345;
    r.mean_count = ball_count_mean(r.parameters);
    r.truth = model_truth(r.parameters);
    r.measured_v3 = 1.0 / 3.0;
    formats::ModelRecord back;
    std::string error;
    ASSERT_TRUE(formats::parse_model_text(formats::model_file_text(r), back, error)) << error;
    EXPECT_EQ(error, "");
    // Seventeen digits give every double back, so the texts agree only when every value does.
    EXPECT_EQ(formats::model_file_text(back), formats::model_file_text(r));
    EXPECT_EQ(back.truth.radius_law.size(), 13u);
    EXPECT_EQ(back.parameters.lambda, 0.000123);
}

TEST(ModelFile, ReadingNamesWhatIsWrong) {
    const std::string good = formats::model_file_text(small_record());
    formats::ModelRecord r;
    std::string error;
    std::string text = good;
    text.erase(text.find("p_r2 = "), std::string("p_r2 = 0.59999999999999998\n").size());
    EXPECT_FALSE(formats::parse_model_text(text, r, error));
    EXPECT_EQ(error, "no line 'p_r2 = ...'.");
    text = good;
    text.replace(text.find("lambda = 0.1"), 12, "lambda = 0,1");
    EXPECT_FALSE(formats::parse_model_text(text, r, error));
    EXPECT_EQ(error, "the value of 'lambda' does not read: '0,10000000000000001'.");
    EXPECT_FALSE(formats::parse_model_text("# comment\n" + good, r, error));
    EXPECT_EQ(error, "the line '# comment' is not 'name = value'.");
    text = good;
    text.replace(text.find("radius = 2"), 10, "radius = 4000000000");
    EXPECT_FALSE(formats::parse_model_text(text, r, error));
    EXPECT_EQ(error, "no line 'p_r3 = ...'.");
}

TEST(ModelFile, VolumeFractionCountsTheSetVoxels) {
    formats::BitVolume v(5, 3, 2);
    EXPECT_EQ(formats::volume_fraction(v), 0.0);
    v.set(0, 0, 0);
    v.set(4, 2, 1);
    v.set(2, 1, 1);
    EXPECT_EQ(formats::volume_fraction(v), 3.0 / 30.0);
    EXPECT_EQ(formats::volume_fraction(formats::BitVolume()), 0.0);
}

GenerationRequest request_for(const std::string& out, uint32_t count) {
    GenerationRequest r;
    r.model = testing::cube_model("Exponential", 1.5, 0.0, 4, 20);
    r.model.max_y = 14;
    r.model.max_z = 9;
    r.model.lambda = 0.004;
    r.output_directory = out;
    r.prefix = "m";
    r.count = count;
    return r;
}

double loaded_fraction(const std::string& directory) {
    const formats::WordVolume v = formats::load_data_set(directory);
    uint64_t set = 0;
    for (int32_t z = 0; z < v.slices(); ++z) {
        for (int32_t y = 0; y < v.height(); ++y) {
            for (int32_t x = 0; x < v.width(); ++x) {
                set += v.get(x, y, z);
            }
        }
    }
    return static_cast<double>(set) / (double{1.0} * v.width() * v.height() * v.slices());
}

// Seeds the stream with 1733650000 and runs the request to its end; returns its plan.
RunPlan run_seeded(const GenerationRequest& request) {
    seed_from_time(1733650000);
    const RunPlan plan = plan_run(request);
    EXPECT_TRUE(plan.ok) << plan.error;
    BallSources sources;
    GenerationRun run(request, plan, sources);
    while (run.advance(std::chrono::milliseconds(100))) {
    }
    EXPECT_FALSE(run.failed()) << run.error();
    return plan;
}

TEST(ModelFileOfARun, EveryDataSetGetsItsModelAfterItsSlices) {
    ScratchDir dir;
    const GenerationRequest request = request_for(dir.path().string(), 2);
    const RunPlan plan = run_seeded(request);
    for (const char* set : {"m000", "m001"}) {
        const std::string directory = dir / set;
        formats::ModelRecord expected;
        expected.parameters = request.model;
        expected.seed = 1733650000;
        expected.skip = plan.draws_before;
        expected.reproduce = reproduce_options(request, 1733650000, plan.draws_before);
        expected.balls = plan.ball_count;
        expected.mean_count = plan.mu;
        expected.truth = model_truth(request.model);
        expected.measured_v3 = loaded_fraction(directory);
        EXPECT_GT(expected.measured_v3, 0.0);
        EXPECT_EQ(read_file(directory + "/model.txt"), formats::model_file_text(expected)) << set;
        // The estimator sees the slices only.
        EXPECT_EQ(formats::list_slice_files(directory).size(), 9u);
    }
    EXPECT_NE(read_file(dir / "m000/model.txt"), read_file(dir / "m001/model.txt"));
}

TEST(ModelFileOfARun, AFailureToWriteItStopsTheRunLikeASlice) {
    for (const bool full : {false, true}) {
        ScratchDir dir;
        BallSources sources;
        Random::set_seed(0.5);
        GenerationRun run(request_for(dir.path().string(), 2), counted(5), sources);
        // Once the first data set's slices are written, something is put in model.txt's way.
        while (!fs::exists(testing::partial_folder_of(dir / "m000") + "/mslice008.pbm")) {
            ASSERT_TRUE(run.advance(std::chrono::milliseconds(0)));
        }
        const std::string partial = testing::partial_folder_of(dir / "m000");
        if (full) {
            ASSERT_EQ(::symlink("/dev/full", (partial + "/model.txt").c_str()), 0);
        } else {
            fs::create_directory(partial + "/model.txt");
        }
        while (run.advance(std::chrono::milliseconds(0))) {
        }
        EXPECT_TRUE(run.failed());
        EXPECT_EQ(run.error(),
                  full ? "Error writing file '" + (dir / "m000/model.txt") + "'!"
                       : "Error opening file '" + (dir / "m000/model.txt") + "' for writing!");
        EXPECT_EQ(run.data_sets_written(), 0u);
        EXPECT_TRUE(fs::is_empty(dir.path()));
    }
}

// Miles' V3 against the volume fraction of a large box. Radii 3 and 4: their digital balls
// (123 and 257 voxels) together hold 0.3 % less than the Euclidean ones. The centres that
// truncate to coordinate 0 come from an interval twice as long as the others, so the
// voxels within R of the low faces are left out.
TEST(ModelFileOfARun, TrueVolumeFractionAgreesWithALargeBox) {
    ScratchDir dir;
    GenerationRequest request;
    request.model = testing::cube_model("Uniform", 3.0, 5.0, 4, 256);
    request.model.lambda = 0.0019;
    request.output_directory = dir.path().string();
    request.count = 1;
    run_seeded(request);

    formats::ModelRecord model;
    std::string error;
    ASSERT_TRUE(formats::parse_model_text(read_file(dir / "000/model.txt"), model, error)) << error;
    const formats::WordVolume v = formats::load_data_set(dir / "000");
    const int32_t first = static_cast<int32_t>(request.model.max_radius) + 1;
    uint64_t set = 0;
    for (int32_t z = first; z < v.slices(); ++z) {
        for (int32_t y = first; y < v.height(); ++y) {
            for (int32_t x = first; x < v.width(); ++x) {
                set += v.get(x, y, z);
            }
        }
    }
    const double window = std::pow(256.0 - first, 3.0);
    const double measured = static_cast<double>(set) / window;

    // Var <= (1 - V3) lambda E[v^2] / |W|: the covariance of two points h apart is
    // (1 - V3)^2 (exp(lambda gamma(h)) - 1) <= (1 - V3) lambda gamma(h), with gamma the mean
    // overlap of a ball and its shift by h, whose integral is E[v^2].
    double mean_square_volume = 0.0;
    for (size_t j = 0; j < model.truth.radius_law.size(); ++j) {
        const double volume = 4.0 / 3.0 * std::numbers::pi * std::pow(double(j), 3.0);
        mean_square_volume += model.truth.radius_law[j] * volume * volume;
    }
    const double v3 = model.truth.densities.v3;
    const double sigma =
        std::sqrt((1.0 - v3) * model.parameters.lambda * mean_square_volume / window);
    EXPECT_NEAR(v3, 0.3, 0.01);
    EXPECT_LT(sigma, 0.002);
    EXPECT_NEAR(measured, v3, 3.0 * sigma) << "sigma " << sigma;
    EXPECT_NEAR(model.measured_v3, loaded_fraction(dir / "000"), 1e-15);
}

}  // namespace
}  // namespace brisolt
