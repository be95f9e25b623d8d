// The Euler characteristic of Xe per block: against the cell-by-cell count, on shapes whose
// Euler characteristic is known, and streamed from X against the dilated volume.
#include "morphology/euler_count.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>

#include "morphology/dilation.h"

#include "literal_oracle.h"
#include "random_ball.h"
#include "test_support.h"
#include "workloads.h"

namespace talvik {
namespace {

void expect_same(const CellCounts& a, const CellCounts& b, const std::string& what) {
    EXPECT_EQ(a.voxels, b.voxels) << what;
    EXPECT_EQ(a.euler6, b.euler6) << what;
    EXPECT_EQ(a.euler26, b.euler26) << what;
}

// Sets the voxels of a 64 x 64 x 64 volume with (x - 32)^2 + (y - 32)^2 + (z - 32)^2 in
// [inner, outer]; `torus` measures the distance from the circle of radius 14 in the plane
// z = 32 instead.
formats::BitVolume shape(int64_t inner, int64_t outer, bool torus) {
    formats::BitVolume v(64, 64, 64);
    for (int32_t z = 0; z < 64; ++z) {
        for (int32_t y = 0; y < 64; ++y) {
            for (int32_t x = 0; x < 64; ++x) {
                const int64_t dx = x - 32, dy = y - 32, dz = z - 32;
                int64_t d2 = dx * dx + dy * dy + dz * dz;
                if (torus) {
                    const double ring = std::sqrt(static_cast<double>(dx * dx + dy * dy)) - 14.0;
                    d2 = static_cast<int64_t>(ring * ring) + dz * dz;
                }
                if (d2 >= inner && d2 <= outer) {
                    v.set(x, y, z);
                }
            }
        }
    }
    return v;
}

TEST(EulerCount, ShapesOfKnownEulerCharacteristicWithBothAdjacencies) {
    struct Case {
        const char* name;
        formats::BitVolume volume;
        int64_t euler;
    };
    const Case cases[] = {
        {"ball", shape(0, 20 * 20, false), 1},
        {"ball with a cavity", shape(6 * 6, 20 * 20, false), 2},
        {"torus", shape(0, 5 * 5, true), 0},
        {"torus and a ball",
         [] {
             formats::BitVolume v = shape(0, 5 * 5, true);
             const formats::BitVolume ball = shape(0, 3 * 3, false);
             // The ball at the centre, apart from the torus around it.
             for (int32_t z = 0; z < 64; ++z) {
                 for (int32_t y = 0; y < 64; ++y) {
                     for (int32_t x = 0; x < 64; ++x) {
                         if (ball.get(x, y, z)) {
                             v.set(x, y, z);
                         }
                     }
                 }
             }
             return v;
         }(),
         1},
        {"nothing", formats::BitVolume(64, 64, 64), 0},
    };
    const WindowBlocks blocks = WindowBlocks::split(64, 64, 64, 3, 16);
    for (const Case& c : cases) {
        const CellCounts counts = count_cells(to_word_volume(c.volume), blocks, 2);
        EXPECT_EQ(counts.all().euler6, c.euler) << c.name;
        EXPECT_EQ(counts.all().euler26, c.euler) << c.name;
        expect_same(counts, oracle::cell_counts(c.volume, blocks), c.name);
    }
    // Two voxels that touch at an edge: one set with 26-adjacency, two with 6-adjacency.
    formats::BitVolume pair(20, 20, 20);
    pair.set(9, 9, 9);
    pair.set(10, 10, 9);
    const CellCounts counts = count_cells(to_word_volume(pair), WindowBlocks::whole(20, 20, 20), 1);
    EXPECT_EQ(counts.all().euler6, 2);
    EXPECT_EQ(counts.all().euler26, 1);
    EXPECT_EQ(counts.all().voxels, 2);
}

TEST(EulerCount, MatchesTheCellByCellCountPerBlockForEveryThreadCount) {
    std::mt19937 engine(23);
    // Rows of one word and of several, the last one partly used; windows of one block along
    // an axis and of three.
    const int32_t shapes[][3] = {{20, 20, 20}, {70, 23, 31}, {130, 40, 17}, {64, 64, 58}};
    for (const auto& s : shapes) {
        for (const double fraction : {0.1, 0.5, 0.85}) {
            const formats::BitVolume x =
                fraction == 0.5 ? testing::random_blobs(s[0], s[1], s[2], 20, 6, engine())
                                : testing::random_volume(s[0], s[1], s[2], fraction, engine());
            const WindowBlocks blocks = WindowBlocks::split(s[0], s[1], s[2], 3, 8);
            const std::string what = std::to_string(s[0]) + "x" + std::to_string(s[1]) + "x" +
                                     std::to_string(s[2]) + " fraction " + std::to_string(fraction);
            const CellCounts literal = oracle::cell_counts(x, blocks);
            const formats::WordVolume words = to_word_volume(x);
            for (const unsigned threads : {1u, 2u, 5u}) {
                expect_same(count_cells(words, blocks, threads), literal,
                            what + " threads " + std::to_string(threads));
            }
            // The blocks add up to the whole window, and leaving one out takes just its share.
            const CellCounts whole = count_cells(words, WindowBlocks::whole(s[0], s[1], s[2]), 1);
            EXPECT_EQ(whole.all().euler6, literal.all().euler6) << what;
            EXPECT_EQ(whole.all().euler26, literal.all().euler26) << what;
            EXPECT_EQ(whole.all().voxels, literal.all().voxels) << what;
            const size_t last = blocks.count() - 1;
            EXPECT_EQ(literal.without(last).euler6, literal.all().euler6 - literal.euler6[last])
                << what;
        }
    }
}

TEST(EulerCount, OfXeStreamedFromXMatchesTheDilatedVolume) {
    std::mt19937 engine(31);
    const formats::DiscretizedBall balls[] = {
        workloads::euclidean_ball(1), workloads::euclidean_ball(3), testing::random_ball(3, engine),
        workloads::euclidean_ball(0)};
    for (const formats::DiscretizedBall& ball : balls) {
        const formats::BitVolume x = testing::random_blobs(90, 37, 45, 25, 5, engine());
        const WindowBlocks blocks = WindowBlocks::split(90, 37, 45, 3, 8);
        formats::WordVolume xe(90, 37, 45);
        dilate(to_word_volume(x), xe, ball, 1);
        const CellCounts expected = count_cells(xe, blocks, 1);
        for (const unsigned threads : {1u, 3u}) {
            expect_same(count_dilated_cells(to_word_volume(x), ball, blocks, threads), expected,
                        "ball of size " + std::to_string(ball.size) + ", threads " +
                            std::to_string(threads));
        }
    }
}

}  // namespace
}  // namespace talvik
