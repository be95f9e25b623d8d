// "/a": standard errors by the block jackknife, the range of balls chosen from the shells, the
// lines it adds and its warnings.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <regex>

#include "driver/estimate.h"
#include "fit/adaptive_fit.h"
#include "fit/ball_range.h"
#include "fit/jackknife.h"
#include "formats/data_set.h"
#include "formats/errors.h"
#include "formats/numbers.h"
#include "literal_oracle.h"
#include "test_support.h"
#include "workloads.h"

namespace talvik {
namespace {

using talvik::testing::run_process;
using talvik::testing::ScratchDir;
using talvik::testing::write_file;
using ::testing::HasSubstr;

const std::vector<double> kDe = {0.8308861181319003, 1.7314086001144915, 2.8838096202262022,
                                 3.7149449575891254, 4.8516803994211273};

FitMatrices fit_for(const std::vector<double>& de) {
    FitMatrices fit = create_fit_matrices(static_cast<uint32_t>(de.size()));
    for (uint32_t i = 0; i < de.size(); ++i) {
        double x = 1.0;
        for (uint32_t k = 0; k < 3; ++k) {
            x *= de[i];
            fit.m.at(k, i) *= x;
        }
    }
    return fit;
}

TEST(BlockJackknife, EqualBlocksGiveTheStandardErrorOfTheMeanOfTheBlockFits) {
    // 27 blocks of 3 x 3 x 3 voxels. The cubic fit is linear in V, and a window less one of
    // equal blocks has the mean fractions of the others, so each left-out fit is the mean of
    // the other blocks' own fits, and the jackknife gives their standard deviation over
    // sqrt(27).
    const WindowBlocks blocks = WindowBlocks::split(19, 19, 19, 3, 1);
    ASSERT_EQ(blocks.count(), 27u);
    const FitMatrices fit = fit_for(kDe);
    std::mt19937 engine(5);
    ShellCounts counts;
    counts.totals.assign(kDe.size(), 0);
    std::vector<IntrinsicVolumes> own;
    for (size_t b = 0; b < blocks.count(); ++b) {
        ASSERT_EQ(blocks.voxels(b), 27);
        FitMatrices block = fit;
        for (size_t d = 0; d < kDe.size(); ++d) {
            const uint64_t count = engine() % 28;
            counts.by_block.push_back(count);
            counts.totals[d] += count;
            block.v.at(static_cast<uint32_t>(d), 0) = static_cast<double>(count) / 27.0;
        }
        own.push_back(solve(block, VerboseLog(false)));
    }
    // by_block is block-major: the loop above wrote it so.
    const CellCounts cells{std::vector<int64_t>(27, 0), std::vector<int64_t>(27, 0),
                           std::vector<int64_t>(27, 0)};
    const auto left_out_fit = [&](size_t b) {
        FitMatrices partial = fit;
        const WindowMeasures measures = window_measures(counts, cells, blocks, b);
        for (uint32_t i = 0; i < kDe.size(); ++i) {
            partial.v.at(i, 0) = measures.fractions[i];
        }
        return solve(partial, VerboseLog(false));
    };
    const IntrinsicVolumes se = block_jackknife(blocks.count(), left_out_fit);
    double mean[3] = {};
    for (const IntrinsicVolumes& v : own) {
        mean[0] += v.v2 / 27.0;
        mean[1] += v.v1 / 27.0;
        mean[2] += v.v0 / 27.0;
    }
    double squares[3] = {};
    for (const IntrinsicVolumes& v : own) {
        squares[0] += (v.v2 - mean[0]) * (v.v2 - mean[0]);
        squares[1] += (v.v1 - mean[1]) * (v.v1 - mean[1]);
        squares[2] += (v.v0 - mean[2]) * (v.v0 - mean[2]);
    }
    const double expected[3] = {std::sqrt(squares[0] / 26.0 / 27.0),
                                std::sqrt(squares[1] / 26.0 / 27.0),
                                std::sqrt(squares[2] / 26.0 / 27.0)};
    EXPECT_NEAR(se.v2, expected[0], 1e-9 * expected[0]);
    EXPECT_NEAR(se.v1, expected[1], 1e-9 * expected[1]);
    EXPECT_NEAR(se.v0, expected[2], 1e-9 * expected[2]);
    // One block: no spread to measure.
    EXPECT_TRUE(std::isnan(block_jackknife(1, left_out_fit).v1));
}

TEST(WindowBlocks, ThreeAlongEachAxisWhereTheWindowAllowsAndNoneShorterThanAsked) {
    const WindowBlocks big = WindowBlocks::split(256, 100, 40, 3, 20);
    EXPECT_EQ(big.along(0), 3u);
    EXPECT_EQ(big.along(1), 3u);
    EXPECT_EQ(big.along(2), 1u);  // a window of 30: two blocks would be shorter than 20
    EXPECT_EQ(big.edge(0, 0), 5);
    EXPECT_EQ(big.edge(0, 3), 251);
    EXPECT_EQ(big.block_of(5, 5, 5), 0u);
    EXPECT_EQ(big.block_of(250, 94, 34), 8u);
    int64_t voxels = 0;
    for (size_t b = 0; b < big.count(); ++b) {
        voxels += big.voxels(b);
    }
    EXPECT_EQ(voxels, int64_t{246} * 90 * 30);
}

TEST(BallRange, EndsWhereTheShellsFlattenTowardsTheirPlateau) {
    // A cubic of de that stops growing at de = 5: the fit keeps the balls up to 0.95 of the
    // largest fraction, and always those up to de 4.5.
    std::vector<double> de;
    std::vector<double> fractions;
    for (int i = 1; i <= 30; ++i) {
        de.push_back(0.3 * i);
        const double r = std::min(de.back(), 5.0);
        fractions.push_back(0.02 * r - 0.001 * r * r + 0.0001 * r * r * r);
    }
    const double plateau = fractions.back();
    const BallRange range = choose_ball_range(fractions, de);
    ASSERT_GT(range.used, 0u);
    EXPECT_LE(fractions[range.used - 1], 0.95 * plateau);
    EXPECT_GT(fractions[range.used], 0.95 * plateau);
    EXPECT_FALSE(range.smallest_flatten);
    EXPECT_THAT(range.reason, HasSubstr("ball " + std::to_string(range.used + 1)));
    // Grains so small that the first shells already hold nearly all of Xe: the balls up to
    // de 4.5 are fitted all the same, with the flag set.
    const std::vector<double> flat(30, 0.2);
    const BallRange small = choose_ball_range(flat, de);
    EXPECT_TRUE(small.smallest_flatten);
    EXPECT_EQ(small.used, 15u);  // de 0.3 .. 4.5
    // Shells that never flatten lose only their top twentieth, which the polynomial describes
    // as well as the rest.
    std::vector<double> straight;
    for (double d : de) {
        straight.push_back(0.01 * d);
    }
    EXPECT_EQ(choose_ball_range(straight, de).used, 28u);
}

TEST(AdaptiveEstimate, V0CountsIsolatedGrainsExactly) {
    // Eight grains of radius 4, far apart inside the window of a 60^3 volume: with either
    // adjacency Xe has eight components and no joins to add, so V0 is 8 per window voxel,
    // to the last digit, and V2 has no hidden surface to regain.
    formats::BitVolume x(60, 60, 60);
    for (const int32_t cz : {15, 40}) {
        for (const int32_t cy : {15, 40}) {
            for (const int32_t cx : {15, 40}) {
                for (int32_t dz = -4; dz <= 4; ++dz) {
                    for (int32_t dy = -4; dy <= 4; ++dy) {
                        for (int32_t dx = -4; dx <= 4; ++dx) {
                            if (dx * dx + dy * dy + dz * dz <= 16) {
                                x.set(cx + dx, cy + dy, cz + dz);
                            }
                        }
                    }
                }
            }
        }
    }
    formats::BallsFile balls;
    balls.balls = workloads::euclidean_balls(1, 5);
    for (size_t i = 0; i < balls.balls.size(); ++i) {
        balls.balls[i].de = kDe[i];
    }
    const Estimate e = estimate(formats::to_word_volume(x), balls, {"grains", "balls", 0, true},
                                estimator_engines({2, true}), VerboseLog(false), {});
    EXPECT_EQ(e.euler6, 8.0 / 125000.0);
    EXPECT_EQ(e.euler26, 8.0 / 125000.0);
    EXPECT_EQ(e.volumes.v0, 8.0 / 125000.0);
    formats::BitVolume xe(60, 60, 60);
    oracle::dilate(x, xe, balls.balls[0]);
    EXPECT_EQ(e.xe_fraction, static_cast<double>(oracle::count_window(xe, 0)) / 125000.0);
    const WindowMeasures measures{e.fractions, e.xe_fraction, e.euler6, e.euler26};
    EXPECT_EQ(e.volumes.v2, adaptive_volumes(measures, e.de, e.balls_used, VerboseLog(false)).v2);
    EXPECT_EQ(gap_joins(measures), 0.0);
}

class AdaptiveRun : public ::testing::Test {
  protected:
    testing::ProcessResult talvik(const std::vector<std::string>& args) {
        return run_process(TALVIK_EXECUTABLE, args);
    }
    ScratchDir scratch_;
};

TEST_F(AdaptiveRun, AddsStandardErrorsAndTheRangeAfterTheResultsExactly) {
    // The shipped example: 64 voxels a side, a window of 54 cut 3 x 3 x 3.
    const std::string data = std::string(EXAMPLES_DIR) + "/boolean64";
    const std::string balls = scratch_ / "balls.txt";
    write_file(balls, testing::read_file(std::string(EXAMPLES_DIR) + "/balls_recommended.txt"));
    const std::string results = scratch_ / "results.txt";
    const auto r = talvik({"/a", "/o", results, "/d", balls, "/b", data, "/e", "1"});
    ASSERT_EQ(r.status, 0) << r.err;

    formats::BallsFile file = formats::read_balls_file(balls);
    const Estimate e = estimate(formats::load_data_set(data), file, {data, balls, 0, true},
                                estimator_engines({2, true}), VerboseLog(false), {});
    EXPECT_EQ(e.blocks, 27u);
    EXPECT_EQ(e.fractions.size(), 8u);
    EXPECT_EQ(e.de.size(), 8u);
    EXPECT_GE(e.balls_used, 3u);
    const std::string v = "V2: " + formats::fixed(e.volumes.v2, 16, 20) +
                          "\nV1: " + formats::fixed(e.volumes.v1, 16, 20) +
                          "\nV0: " + formats::fixed(e.volumes.v0, 16, 20) + "\n";
    EXPECT_EQ(r.out, v + "SE(V2): " + formats::fixed(e.standard_errors.v2, 16, 20) +
                         "\nSE(V1): " + formats::fixed(e.standard_errors.v1, 16, 20) +
                         "\nSE(V0): " + formats::fixed(e.standard_errors.v0, 16, 20) +
                         "\nBalls used: 1.." + std::to_string(e.balls_used) + " of 8\n");
    EXPECT_GT(e.standard_errors.v2, 0.0);
    std::string warnings;
    for (const EstimateWarning& w : e.warnings) {
        warnings += "talvik: warning: " + w.text + "\n";
    }
    EXPECT_EQ(r.err, warnings);
    // The row keeps its four columns: the data set and the three values printed.
    const std::string row = testing::read_file(results);
    const std::string values = formats::format_text(
        " %s %s %s\n", formats::fixed(e.volumes.v2, 16, 20).c_str(),
        formats::fixed(e.volumes.v1, 16, 20).c_str(), formats::fixed(e.volumes.v0, 16, 20).c_str());
    EXPECT_THAT(row, ::testing::EndsWith(values));
    EXPECT_THAT(row, HasSubstr(std::string("\n") + data + " "));
    // Verbose output says why the range ends where it does.
    const auto verbose = talvik({"/a", "/v", "/d", balls, "/b", data, "/e", "1"});
    EXPECT_THAT(verbose.out, HasSubstr(": range of balls: " + e.range_reason));
    EXPECT_THAT(verbose.out, HasSubstr(": standard errors: delete-one jackknife over 27 blocks"));
    // V and M hold every ball, the balls left out too; the fit's own matrices the balls used.
    const std::string out = testing::strip_timestamps(verbose.out);
    auto rows_after = [&](const std::string& label) {
        const size_t at = out.find(label);
        const size_t end = out.find("\n\n", at);
        return at == std::string::npos || end == std::string::npos
                   ? -1
                   : std::count(out.begin() + static_cast<std::ptrdiff_t>(at),
                                out.begin() + static_cast<std::ptrdiff_t>(end), '\n');
    };
    EXPECT_EQ(rows_after("matrix V:\n"), 8);
    EXPECT_EQ(rows_after("matrix Mt:\n"), static_cast<std::ptrdiff_t>(e.balls_used));
}

TEST_F(AdaptiveRun, WarnsWhenTheGrainsAreTooSmallTheFitIsIllConditionedOrTheWindowTooSmall) {
    const std::string balls = scratch_ / "balls.txt";
    std::vector<formats::DiscretizedBall> list = workloads::euclidean_balls(1, 4);
    for (size_t i = 0; i < list.size(); ++i) {
        list[i].de = kDe[i];
    }
    write_file(balls, formats::format_balls_file(list));
    // Single voxels set at random: every shell holds nearly all of Xe from the first ball on.
    const std::string noise = scratch_ / "noise";
    workloads::write_data_set(noise, testing::random_volume(70, 70, 70, 0.3, 9));
    const auto r = talvik({"/a", "/d", balls, "/b", noise, "/e", "1"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err,
              "talvik: warning: the shells flatten from the smallest balls on: the grains are "
              "too small for the voxel size, and the estimates are biased\n");
    // A few large grains in a small window: V0 rests on a handful of them.
    const std::string few = scratch_ / "few";
    workloads::write_data_set(few, workloads::boolean_model(60, 60, 60, 0.04, 5, 9, 2));
    const auto sparse = talvik({"/a", "/d", balls, "/b", few, "/e", "1"});
    EXPECT_EQ(sparse.status, 0);
    EXPECT_TRUE(std::regex_match(
        sparse.err, std::regex("talvik: warning: V0 is uncertain: its standard error is [0-9.]+ "
                               "% of \\|V0\\|, so few of its digits mean anything\n")))
        << sparse.err;
    // No set at all: V0 is 0 with a standard error of 0, exact rather than uncertain.
    const std::string empty = scratch_ / "empty";
    workloads::write_data_set(empty, formats::BitVolume(60, 60, 60));
    const auto none = talvik({"/a", "/d", balls, "/b", empty, "/e", "1"});
    EXPECT_EQ(none.status, 0);
    EXPECT_THAT(none.out, HasSubstr("SE(V0):   0.0000000000000000\n"));
    EXPECT_EQ(none.err, "");
    // A window of 15 voxels a side is one block: no standard errors.
    const std::string small = scratch_ / "small";
    workloads::write_data_set(small, workloads::boolean_model(25, 25, 25, 0.3, 2, 4, 3));
    const auto one = talvik({"/a", "/d", balls, "/b", small, "/e", "1"});
    EXPECT_EQ(one.status, 0);
    EXPECT_THAT(one.out, HasSubstr("SE(V2):                  nan\n"));
    EXPECT_THAT(one.err, HasSubstr("talvik: warning: the measuring window is too small to cut "
                                   "into blocks: no standard errors\n"));
}

}  // namespace
}  // namespace talvik
