#include "morphology/morphology.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "morphology/dilation.h"
#include "morphology/edge_correction.h"

#include "literal_oracle.h"
#include "random_ball.h"
#include "test_support.h"
#include "workloads.h"

namespace talvik {
namespace {

using talvik::testing::random_ball;
using talvik::testing::random_volume;
using talvik::workloads::euclidean_ball;

void expect_same(const formats::WordVolume& fast, const formats::BitVolume& literal,
                 const std::string& what) {
    const formats::BitVolume packed = formats::to_bit_volume(fast);
    for (int32_t z = 0; z < literal.slice_count; ++z) {
        ASSERT_EQ(packed.planes[z].bytes, literal.planes[z].bytes) << what << ", plane " << z;
    }
}

TEST(BallRows, LinesCoverExactlyTheBall) {
    std::mt19937 engine(3);
    for (int trial = 0; trial < 60; ++trial) {
        const int32_t n = 1 + trial % 9;
        const formats::DiscretizedBall ball =
            trial % 2 ? random_ball(n, engine) : euclidean_ball(n - 1);
        const BallRows rows = decompose_ball(ball);
        std::vector<int> covered(static_cast<size_t>((2 * n - 1) * (2 * n - 1) * (2 * n - 1)), 0);
        auto at = [&](int32_t dx, int32_t dy, int32_t dz) -> int& {
            const int32_t side = 2 * n - 1;
            return covered[static_cast<size_t>(((dz + n - 1) * side + dy + n - 1) * side + dx + n -
                                               1)];
        };
        for (const BallRows::Line& line : rows.lines) {
            for (int32_t dx : rows.sets[line.set].offsets) {
                at(dx, line.dy, line.dz) += 1;
                if (dx != 0) {
                    at(-dx, line.dy, line.dz) += 1;
                }
            }
        }
        for (int32_t dz = -(n - 1); dz < n; ++dz) {
            for (int32_t dy = -(n - 1); dy < n; ++dy) {
                for (int32_t dx = -(n - 1); dx < n; ++dx) {
                    ASSERT_EQ(at(dx, dy, dz), formats::ball_contains(ball, dx, dy, dz) ? 1 : 0)
                        << "trial " << trial << " offset " << dx << "," << dy << "," << dz;
                }
            }
        }
        // Each set is built from a smaller one it contains.
        for (const BallRows::DxSet& set : rows.sets) {
            size_t base = set.base >= 0 ? rows.sets[set.base].offsets.size() : 0;
            ASSERT_EQ(base + set.added.size(), set.offsets.size());
        }
    }
}

struct Shape {
    int32_t w, h, s;
};

TEST(Dilate, MatchesVoxelByVoxelStampingOnRandomVolumes) {
    std::mt19937 engine(11);
    const std::vector<Shape> shapes = {{1, 1, 1},    {1, 9, 4},   {7, 1, 3},   {13, 9, 6},
                                       {64, 3, 3},   {65, 5, 4},  {130, 4, 3}, {23, 21, 22},
                                       {20, 20, 20}, {31, 17, 12}};
    const std::vector<double> fractions = {0.0, 0.05, 0.3, 0.7, 0.97, 1.0};
    int trial = 0;
    for (const Shape& shape : shapes) {
        for (double fraction : fractions) {
            const int32_t n = 1 + static_cast<int32_t>(engine() % 6);
            const formats::DiscretizedBall ball =
                trial % 2 ? random_ball(n, engine) : euclidean_ball(n - 1);
            const formats::BitVolume x =
                trial % 3 == 2
                    ? testing::random_blobs(shape.w, shape.h, shape.s,
                                            1 + static_cast<int32_t>(fraction * 20), 5, engine())
                    : random_volume(shape.w, shape.h, shape.s, fraction, engine());
            formats::BitVolume literal(shape.w, shape.h, shape.s);
            oracle::dilate(x, literal, ball);
            const std::string what = "shape " + std::to_string(shape.w) + "x" +
                                     std::to_string(shape.h) + "x" + std::to_string(shape.s) +
                                     " fraction " + std::to_string(fraction) + " n " +
                                     std::to_string(n);
            const formats::WordVolume words = to_word_volume(x);
            for (unsigned threads : {1u, 2u, 3u}) {
                formats::WordVolume fast(shape.w, shape.h, shape.s);
                dilate(words, fast, ball, threads);
                expect_same(fast, literal, what + " threads " + std::to_string(threads));
            }
            // Plane by plane: every plane in turn, and from a plane in the middle on, so that
            // the ring of source planes starts part-filled.
            for (const int32_t first : {0, shape.s / 2}) {
                PlaneDilation planes(words, ball);
                formats::WordVolume streamed(shape.w, shape.h, shape.s);
                for (int32_t z = first; z < shape.s; ++z) {
                    planes.plane(z, streamed.plane(z));
                }
                // The planes not asked for from the whole dilation, to compare the rest.
                formats::WordVolume whole(shape.w, shape.h, shape.s);
                dilate(words, whole, ball, 1);
                for (int32_t z = 0; z < first; ++z) {
                    std::copy(whole.plane(z), whole.plane(z) + whole.words_per_plane(),
                              streamed.plane(z));
                }
                expect_same(streamed, literal,
                            what + " plane by plane from " + std::to_string(first));
            }
            ++trial;
        }
    }
}

TEST(Dilate, LargeBallsAndHolesInTheSet) {
    std::mt19937 engine(5);
    for (int trial = 0; trial < 8; ++trial) {
        const int32_t n = 7 + trial % 3;
        const formats::DiscretizedBall ball =
            trial % 2 ? random_ball(n, engine) : euclidean_ball(n - 1);
        // Dense sets with holes: inner voxels must not stamp, their neighbours do.
        const formats::BitVolume x = trial < 3 ? random_volume(40, 22, 18, 0.9, engine())
                                               : testing::random_blobs(40, 22, 18, 12, 6, engine());
        formats::BitVolume literal(40, 22, 18);
        oracle::dilate(x, literal, ball);
        formats::WordVolume fast(40, 22, 18);
        dilate(to_word_volume(x), fast, ball, 2);
        expect_same(fast, literal, "trial " + std::to_string(trial));
    }
}

TEST(Dilate, InnerVoxelsStampNothingEvenWhenTheBallReachesFurther) {
    // The set is the slab x <= 7. The ball has only its centre column and the columns at
    // dx = +-3: (9, 7, 7) is 3 voxels from the inner voxel (6, 7, 7) but 2 from the boundary
    // at x = 7, so stamping only at boundary voxels leaves it clear.
    formats::BitVolume x(15, 15, 15);
    for (int32_t z = 0; z < 15; ++z) {
        for (int32_t y = 0; y < 15; ++y) {
            for (int32_t x0 = 0; x0 <= 7; ++x0) {
                x.set(x0, y, z);
            }
        }
    }
    formats::DiscretizedBall ball;
    ball.size = 4;
    ball.lengths = {7, 0, 0, 7, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    formats::WordVolume fast(15, 15, 15);
    dilate(to_word_volume(x), fast, ball, 1);
    EXPECT_FALSE(fast.get(9, 7, 7));
    EXPECT_TRUE(fast.get(10, 7, 7));
    EXPECT_FALSE(fast.get(8, 7, 7));
    formats::BitVolume literal(15, 15, 15);
    oracle::dilate(x, literal, ball);
    expect_same(fast, literal, "slab");
}

TEST(VolumeOperations, ComplementSubtractAndCountMatchTheVoxelDefinitions) {
    std::mt19937 engine(2);
    for (const Shape& shape :
         std::vector<Shape>{{11, 11, 11}, {64, 12, 13}, {70, 30, 11}, {5, 5, 5}}) {
        const formats::BitVolume a = random_volume(shape.w, shape.h, shape.s, 0.5, engine());
        const formats::BitVolume b = random_volume(shape.w, shape.h, shape.s, 0.5, engine());
        formats::WordVolume fa = to_word_volume(a);
        const formats::WordVolume fb = to_word_volume(b);
        formats::BitVolume la = a;
        complement(fa);
        oracle::complement(la);
        expect_same(fa, la, "complement");
        subtract(fa, fb);
        oracle::subtract(la, b);
        expect_same(fa, la, "subtract");
        EXPECT_EQ(count_window(fa, 7), oracle::count_window(la, 7));
    }
}

TEST(VolumeOperations, ComplementKeepsTheBitsPastTheRowsEnd) {
    formats::WordVolume v(70, 2, 1);
    complement(v);
    EXPECT_EQ(v.row(0, 0)[1], (uint64_t{1} << 6) - 1);
    EXPECT_EQ(count_window(v, 0), 0u);  // the window of a 2-row volume is empty
}

TEST(VolumeOperations, CountWindowLeavesFiveVoxelsOnEverySide) {
    formats::WordVolume v(30, 21, 12);
    complement(v);
    EXPECT_EQ(count_window(v, 0), 20u * 11u * 2u);
    EXPECT_EQ(count_window(v, 5), 20u * 11u * 2u + 2u);
    EXPECT_EQ(window_size(30, 21, 12), 20 * 11 * 2);
    EXPECT_EQ(window_size(1010, 1010, 3010), int64_t{1000} * 1000 * 3000);
    EXPECT_EQ(count_window(formats::WordVolume(10, 40, 40), 0), 0u);
}

// The volume with every voxel set.
formats::WordVolume full(int32_t w, int32_t h, int32_t s) {
    formats::WordVolume v(w, h, s);
    complement(v);
    return v;
}

TEST(EdgeCorrection, TieAtTheWindowCornerIsRemovedAndCountedHalf) {
    formats::WordVolume reference(30, 30, 30);
    formats::WordVolume shell(30, 30, 30);
    // Nearest voxels of the reference at distance 1 on both sides of the window face.
    shell.set(5, 5, 5);
    reference.set(4, 5, 5);
    reference.set(6, 5, 5);
    shell.set(24, 24, 24);
    reference.set(25, 24, 24);
    reference.set(23, 24, 24);
    // Kept: nearest reference voxel inside the window.
    shell.set(9, 9, 9);
    reference.set(9, 9, 10);
    // Removed: nearest reference voxel outside.
    shell.set(5, 9, 20);
    reference.set(4, 9, 20);
    // Outside every band: never visited.
    shell.set(15, 15, 15);
    const uint16_t ties = correct_edges(shell, reference);
    EXPECT_EQ(ties, 2);
    EXPECT_FALSE(shell.get(5, 5, 5));
    EXPECT_FALSE(shell.get(24, 24, 24));
    EXPECT_TRUE(shell.get(9, 9, 9));
    EXPECT_FALSE(shell.get(5, 9, 20));
    EXPECT_TRUE(shell.get(15, 15, 15));
    EXPECT_EQ(count_window(shell, ties), 3u);
}

TEST(EdgeCorrection, NoReferenceVoxelInReachRemoves) {
    formats::WordVolume reference(25, 25, 25);
    uint16_t ties = 0;
    EXPECT_EQ(nearest_side(ReferencePlanes(reference), 6, 6, 6, ties), Side::remove);
    reference.set(11, 11, 11);  // exactly at the far corner of the search cube, inside
    EXPECT_EQ(nearest_side(ReferencePlanes(reference), 6, 6, 6, ties), Side::keep);
    EXPECT_EQ(ties, 0);
}

TEST(EdgeCorrection, SmallVolumesAreVisitedWholeOrNotAtAll) {
    // Every dimension at most 20: the bands are the whole window.
    formats::WordVolume shell = full(16, 16, 16);
    const formats::WordVolume reference(16, 16, 16);
    EXPECT_EQ(correct_edges(shell, reference), 0);
    EXPECT_EQ(count_window(shell, 0), 0u);
    // A dimension of 10 or less: nothing is visited.
    formats::WordVolume thin = full(10, 30, 30);
    EXPECT_EQ(correct_edges(thin, formats::WordVolume(10, 30, 30)), 0);
    EXPECT_EQ(formats::to_bit_volume(thin).planes[7].bytes,
              formats::to_bit_volume(full(10, 30, 30)).planes[7].bytes);
}

TEST(EdgeCorrection, MatchesTheVoxelDefinitionOnRandomShells) {
    std::mt19937 engine(9);
    for (const Shape& shape :
         std::vector<Shape>{{21, 21, 21}, {20, 22, 25}, {33, 12, 40}, {11, 11, 11}}) {
        for (double fraction : {0.02, 0.2, 0.6}) {
            const formats::BitVolume shell =
                random_volume(shape.w, shape.h, shape.s, 0.5, engine());
            const formats::BitVolume reference =
                random_volume(shape.w, shape.h, shape.s, fraction, engine());
            formats::BitVolume literal = shell;
            const uint16_t literal_ties = oracle::correct_edges(literal, reference);
            formats::WordVolume fast = to_word_volume(shell);
            const uint16_t ties = correct_edges(fast, to_word_volume(reference));
            EXPECT_EQ(ties, literal_ties);
            expect_same(fast, literal, "edge correction");
            EXPECT_EQ(count_window(fast, ties), oracle::count_window(literal, literal_ties));
        }
    }
}

// The shell counts of a whole run, word-parallel, for comparison with the reference.
std::vector<uint64_t> fast_shell_counts(const formats::BitVolume& x,
                                        const std::vector<formats::DiscretizedBall>& balls,
                                        size_t epsilon, unsigned threads) {
    const formats::WordVolume words = to_word_volume(x);
    formats::WordVolume xe(x.width, x.height, x.slice_count);
    dilate(words, xe, balls[epsilon], threads);
    complement(xe);
    std::vector<uint64_t> counts;
    formats::WordVolume xd(x.width, x.height, x.slice_count);
    for (const formats::DiscretizedBall& ball : balls) {
        clear_volume(xd);
        dilate(xe, xd, ball, threads);
        subtract(xd, xe);
        const uint16_t ties = correct_edges(xd, xe);
        counts.push_back(count_window(xd, ties));
    }
    return counts;
}

TEST(ShellCounts, MatchTheReferenceOnRandomVolumesAndBalls) {
    std::mt19937 engine(17);
    // Around the sizes where the edge correction changes its bands, and odd widths.
    const std::vector<Shape> shapes = {{12, 12, 12}, {20, 20, 20}, {21, 21, 21}, {22, 19, 23},
                                       {11, 30, 14}, {67, 13, 21}, {9, 25, 25}};
    int trial = 0;
    for (const Shape& shape : shapes) {
        for (int kind = 0; kind < 4; ++kind) {
            formats::BitVolume x(shape.w, shape.h, shape.s);
            if (kind == 1) {
                x = testing::random_blobs(shape.w, shape.h, shape.s, 6, 4, engine());
            } else if (kind == 2) {
                x = random_volume(shape.w, shape.h, shape.s, 0.2, engine());
            } else if (kind == 3) {
                x = random_volume(shape.w, shape.h, shape.s, 1.0, engine());  // full
            }
            std::vector<formats::DiscretizedBall> balls;
            const size_t count = 2 + engine() % 3;
            for (size_t i = 0; i < count; ++i) {
                const int32_t n = 1 + static_cast<int32_t>(engine() % 8);
                balls.push_back(engine() % 2 ? random_ball(n, engine) : euclidean_ball(n - 1));
            }
            const size_t epsilon = engine() % count;
            const std::vector<uint64_t> expected = oracle::shell_counts(x, balls, epsilon);
            for (unsigned threads : {1u, 2u}) {
                EXPECT_EQ(fast_shell_counts(x, balls, epsilon, threads), expected)
                    << "trial " << trial << " kind " << kind << " threads " << threads;
            }
            ++trial;
        }
    }
}

}  // namespace
}  // namespace talvik
