// The distance path against the word-parallel general path and the voxel-by-voxel reference.
#include "shells/distance_shells.h"

#include <gtest/gtest.h>
#include <hwy/targets.h>

#include <random>

#include "driver/engines.h"
#include "literal_engine.h"
#include "literal_oracle.h"
#include "morphology/dilation.h"
#include "morphology/edge_correction.h"
#include "morphology/morphology.h"
#include "random_ball.h"
#include "shells/euclidean_ball.h"
#include "shells/word_shells.h"
#include "test_support.h"
#include "workloads.h"

namespace talvik {
namespace {

// The recognition's criterion decided voxel by voxel over the table and one voxel beyond.
std::optional<int64_t> threshold_by_voxels(const formats::DiscretizedBall& ball) {
    const int32_t n = ball.size;
    int64_t inside = -1;
    int64_t outside = INT64_MAX;
    for (int32_t dz = -n; dz <= n; ++dz) {
        for (int32_t dy = -n; dy <= n; ++dy) {
            for (int32_t dx = -n; dx <= n; ++dx) {
                const int64_t norm = dx * dx + dy * dy + dz * dz;
                if (formats::ball_contains(ball, dx, dy, dz)) {
                    inside = std::max(inside, norm);
                } else {
                    outside = std::min(outside, norm);
                }
            }
        }
    }
    if (inside < 0 || inside >= outside) {
        return std::nullopt;
    }
    return inside;
}

TEST(EuclideanBall, RecognisedExactlyWhenTheMembersAreAThresholdSet) {
    // Every threshold ball, t a square or not; 7 is no sum of three squares, so its set is
    // that of 6.
    for (int64_t t = 0; t <= 120; ++t) {
        const std::optional<int64_t> found = euclidean_threshold(threshold_ball(t));
        ASSERT_TRUE(found) << t;
        EXPECT_EQ(found, threshold_by_voxels(threshold_ball(t))) << t;
        EXPECT_LE(*found, t);
    }
    EXPECT_EQ(euclidean_threshold(threshold_ball(7)), 6);
    // Random tables and threshold balls with one column changed: mostly not Euclidean, and
    // exactly as the voxels say.
    std::mt19937 engine(31);
    int euclidean = 0;
    for (int trial = 0; trial < 300; ++trial) {
        formats::DiscretizedBall ball = testing::random_ball(1 + trial % 6, engine);
        if (trial % 2) {
            ball = threshold_ball(engine() % 40);
            const size_t column = engine() % ball.lengths.size();
            ball.lengths[column] += static_cast<int32_t>(engine() % 5) - 2;
        }
        const std::optional<int64_t> found = euclidean_threshold(ball);
        ASSERT_EQ(found, threshold_by_voxels(ball)) << "trial " << trial;
        euclidean += found.has_value();
    }
    EXPECT_GT(euclidean, 10);
    EXPECT_LT(euclidean, 200);
}

bool distance_path_taken(const EngineSettings& settings,
                         const std::vector<formats::DiscretizedBall>& balls) {
    const auto counter =
        estimator_engines(settings).shell_counter(formats::WordVolume(1, 1, 1), balls);
    return dynamic_cast<DistanceShells*>(counter.get()) != nullptr;
}

TEST(EuclideanBall, TheDistancePathTakesOnlyFilesOfEuclideanBalls) {
    std::vector<formats::DiscretizedBall> balls = {threshold_ball(1), threshold_ball(2),
                                                   threshold_ball(5)};
    // The kernels named, as TALVIK_SIMD does, so that only the balls decide.
    const auto path_taken = [&](bool distance_path) -> bool {
        return distance_path_taken({2, distance_path, &distance::dispatched_kernel_set()}, balls);
    };
    EXPECT_TRUE(path_taken(true));
    EXPECT_FALSE(path_taken(false));
    // 65535 is no sum of three squares: its set is that of 65534, which is taken.
    balls.push_back(threshold_ball(kLargestDistanceThreshold + 1));
    EXPECT_TRUE(path_taken(true));
    balls.back() = threshold_ball(kLargestDistanceThreshold + 2);
    EXPECT_FALSE(path_taken(true));
    balls.back() = threshold_ball(3);
    balls.back().lengths[1] = 1;  // (1, 0, 1) is out, (1, 1, 1) in
    EXPECT_FALSE(path_taken(true));
}

TEST(PathChoice, TheDistancePathWithVectorKernelsOrWhereItsKernelsAreNamed) {
    const std::vector<formats::DiscretizedBall> balls = {threshold_ball(1), threshold_ball(4),
                                                         threshold_ball(25)};
    for (const distance::KernelSet* set : distance::compiled_kernel_sets()) {
        if (!distance::runs_here(*set)) {
            continue;
        }
        // A processor whose best target is this one, as Highway's tests make one.
        hwy::SetSupportedTargetsForTest(set->target);
        EXPECT_EQ(distance_path_taken({2, true, nullptr}, balls), set->vector_bytes() >= 16)
            << set->name;
        EXPECT_TRUE(distance_path_taken({2, true, set}, balls)) << set->name;
        hwy::SetSupportedTargetsForTest(0);
    }
}

// The general path's counts, word-parallel.
std::vector<uint64_t> word_counts(const formats::BitVolume& x,
                                  const std::vector<formats::DiscretizedBall>& balls,
                                  size_t epsilon) {
    const formats::WordVolume words = to_word_volume(x);
    formats::WordVolume xe(x.width, x.height, x.slice_count);
    dilate(words, xe, balls[epsilon], 2);
    complement(xe);
    std::vector<uint64_t> counts;
    formats::WordVolume xd(x.width, x.height, x.slice_count);
    for (const formats::DiscretizedBall& ball : balls) {
        clear_volume(xd);
        dilate(xe, xd, ball, 2);
        subtract(xd, xe);
        const uint16_t ties = correct_edges(xd, xe);
        counts.push_back(count_window(xd, ties));
    }
    return counts;
}

// Every thread count, SIMD target that the processor runs and cut into pieces gives
// `expected`. Pieces of one byte are bands of the fewest rows.
void expect_counts(const formats::BitVolume& x, const std::vector<int64_t>& thresholds,
                   size_t epsilon, const std::vector<uint64_t>& expected, const std::string& what) {
    const formats::WordVolume words = to_word_volume(x);
    for (unsigned threads : {1u, 2u, 3u}) {
        for (const distance::KernelSet* kernels : distance::compiled_kernel_sets()) {
            if (!distance::runs_here(*kernels)) {
                continue;
            }
            for (int64_t piece_bytes : {int64_t{1} << 22, int64_t{1}}) {
                ASSERT_EQ(distance_shell_counts(words, thresholds, epsilon, threads,
                                                {kernels, piece_bytes}),
                          expected)
                    << what << ", threads " << threads << ", kernels " << kernels->name
                    << ", piece bytes " << piece_bytes;
            }
        }
    }
}

// Full, with pairs of clear voxels on both sides of window faces near the corners: voxels
// between them are at equal distance from (Xe)* inside and outside the window.
formats::BitVolume corner_ties(int32_t w, int32_t h, int32_t s) {
    formats::BitVolume x = testing::random_volume(w, h, s, 1.0, 1);
    for (int32_t c : {4, 6}) {
        x.reset(c, 5, 5);
        x.reset(w - 1 - c, 7, s - 6);
        x.reset(6, c + 3, 8);
        x.reset(w - 8, h - 1 - c, 6);
    }
    return x;
}

TEST(DistanceShells, EqualTheVoxelByVoxelCountsOnSmallVolumes) {
    std::mt19937 engine(41);
    struct Shape {
        int32_t w, h, s;
    };
    // At most 20 along an axis the correction visits the whole window; above, the corners.
    // The tall one is cut into bands of rows when pieces are small.
    const std::vector<Shape> shapes = {{11, 11, 11}, {16, 13, 20}, {20, 20, 20}, {21, 21, 21},
                                       {22, 19, 23}, {12, 30, 25}, {70, 14, 21}, {23, 64, 22}};
    const std::vector<int64_t> choices = {0,  1,  2,  3,  4,  5,  6,  8,  9,
                                          10, 11, 12, 13, 16, 18, 25, 30, 36};
    int trial = 0;
    for (const Shape& shape : shapes) {
        for (int kind = 0; kind < 7; ++kind) {
            formats::BitVolume x(shape.w, shape.h, shape.s);  // kind 0: empty
            if (kind == 1) {
                x = testing::random_volume(shape.w, shape.h, shape.s, 1.0, 1);
            } else if (kind == 2) {
                x = testing::random_volume(shape.w, shape.h, shape.s, 0.08, engine());
            } else if (kind == 3) {
                x = testing::random_blobs(shape.w, shape.h, shape.s, 8, 5, engine());
            } else if (kind == 4) {
                x = workloads::boolean_model(shape.w, shape.h, shape.s, 0.3, 1, 4, engine());
            } else if (kind == 5) {
                x = corner_ties(shape.w, shape.h, shape.s);
            } else if (kind == 6) {
                x = testing::random_volume(shape.w, shape.h, shape.s, 0.997, engine());
            }
            std::vector<int64_t> thresholds;
            std::vector<formats::DiscretizedBall> balls;
            for (size_t i = 0, count = 3 + engine() % 3; i < count; ++i) {
                thresholds.push_back(choices[engine() % choices.size()]);
                balls.push_back(threshold_ball(thresholds.back()));
            }
            // The corner ties and the lone holes need t_e = 0; with the holes, voxels exactly
            // the largest reach away (36 = 6 * 6) count.
            const size_t epsilon = engine() % balls.size();
            if (kind >= 5) {
                thresholds[epsilon] = 0;
                balls[epsilon] = threshold_ball(0);
            }
            if (kind == 6) {
                thresholds[(epsilon + 1) % balls.size()] = 36;
                balls[(epsilon + 1) % balls.size()] = threshold_ball(36);
            }
            const std::vector<uint64_t> expected = oracle::shell_counts(x, balls, epsilon);
            expect_counts(x, thresholds, epsilon, expected,
                          "trial " + std::to_string(trial) + " kind " + std::to_string(kind));
            ++trial;
        }
    }
}

TEST(DistanceShells, ReachAcrossTheEdgesOfBandsOfRows) {
    // A full volume but for one voxel, row after row: (Xe)* is that voxel, and the shell of
    // t = 36 holds the voxels exactly 6 rows from it, whichever band of rows they fall in.
    const std::vector<int64_t> thresholds = {0, 1, 25, 36};
    std::vector<formats::DiscretizedBall> balls;
    for (int64_t t : thresholds) {
        balls.push_back(threshold_ball(t));
    }
    for (int32_t y = 0; y < 64; ++y) {
        formats::BitVolume x = testing::random_volume(23, 64, 22, 1.0, 1);
        x.reset(11, y, 11);
        expect_counts(x, thresholds, 0, word_counts(x, balls, 0), "row " + std::to_string(y));
    }
}

TEST(DistanceShells, EqualTheWordCountsWithSixteenBitDistances) {
    // Largest t above 254: 16-bit distances, with an epsilon ball below (8-bit Xe) and above.
    std::mt19937 engine(43);
    const formats::BitVolume sparse = testing::random_blobs(47, 100, 66, 10, 4, engine());
    const formats::BitVolume dense = workloads::boolean_model(70, 96, 50, 0.3, 2, 6, engine());
    for (const formats::BitVolume* x : {&sparse, &dense}) {
        for (int64_t epsilon_t : {int64_t{6}, int64_t{260}}) {
            const std::vector<int64_t> thresholds = {1, 30, epsilon_t, 255, 300};
            std::vector<formats::DiscretizedBall> balls;
            for (int64_t t : thresholds) {
                balls.push_back(threshold_ball(t));
            }
            expect_counts(*x, thresholds, 2, word_counts(*x, balls, 2),
                          "epsilon t " + std::to_string(epsilon_t));
        }
    }
}

TEST(ShellCounts, EveryPathCountsEachBlockAsTheVoxelByVoxelReferenceDoes) {
    // Half of the ties, shared by running sums: 5 ties in all give 2.
    EXPECT_EQ(half_tie_shares({1, 1, 0, 3}), (std::vector<uint64_t>{0, 1, 0, 1}));
    std::mt19937 engine(47);
    struct Case {
        formats::BitVolume x;
        int32_t shortest;  // of a block
    };
    // Corner ties in blocks of their own and in one block; small windows cut or not at all.
    const std::vector<Case> cases = {{corner_ties(23, 22, 21), 3},
                                     {corner_ties(31, 26, 24), 20},
                                     {workloads::boolean_model(40, 33, 29, 0.3, 1, 4, engine()), 4},
                                     {testing::random_blobs(16, 13, 20, 6, 4, engine()), 2},
                                     {testing::random_volume(12, 30, 25, 0.9, engine()), 5}};
    const std::vector<int64_t> thresholds = {0, 1, 5, 9, 18};
    std::vector<formats::DiscretizedBall> balls;
    for (int64_t t : thresholds) {
        balls.push_back(threshold_ball(t));
    }
    for (size_t c = 0; c < cases.size(); ++c) {
        const formats::BitVolume& x = cases[c].x;
        const WindowBlocks blocks =
            WindowBlocks::split(x.width, x.height, x.slice_count, 3, cases[c].shortest);
        const formats::WordVolume words = to_word_volume(x);
        const VerboseLog quiet(false);
        const ShellCounts expected =
            oracle::LiteralShells(words).count_shells(balls, 0, blocks, ShellSteps(quiet));
        ASSERT_EQ(expected.totals, oracle::shell_counts(x, balls, 0)) << "case " << c;
        for (size_t d = 0; d < balls.size(); ++d) {
            uint64_t sum = 0;
            for (size_t b = 0; b < blocks.count(); ++b) {
                sum += expected.in_block(b, d);
            }
            EXPECT_EQ(sum, expected.totals[d]) << "case " << c << " ball " << d;
        }
        for (unsigned threads : {1u, 2u, 3u}) {
            const std::string what = "case " + std::to_string(c) + ", " +
                                     std::to_string(blocks.count()) + " blocks, threads " +
                                     std::to_string(threads);
            const ShellCounts word = WordShells(to_word_volume(x), threads)
                                         .count_shells(balls, 0, blocks, ShellSteps(quiet));
            EXPECT_EQ(word.totals, expected.totals) << what;
            EXPECT_EQ(word.by_block, expected.by_block) << what;
            for (int64_t piece_bytes : {int64_t{1} << 22, int64_t{1}}) {
                const ShellCounts distance = distance_shell_counts(words, thresholds, 0, threads,
                                                                   blocks, {nullptr, piece_bytes});
                EXPECT_EQ(distance.totals, expected.totals) << what;
                EXPECT_EQ(distance.by_block, expected.by_block) << what;
            }
        }
    }
}

}  // namespace
}  // namespace talvik
