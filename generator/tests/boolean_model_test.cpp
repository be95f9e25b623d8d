#include "boolean_model.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <map>
#include <random>
#include <set>
#include <tuple>

#include "literal_oracles.h"
#include "model_fixtures.h"
#include "random/poisson.h"

namespace brisolt {
namespace {

using Voxel = std::tuple<int32_t, int32_t, int32_t>;

std::set<Voxel> set_voxels(const formats::BitVolume& v) {
    std::set<Voxel> voxels;
    for (int32_t z = 0; z < v.slice_count; ++z) {
        for (int32_t y = 0; y < v.height; ++y) {
            for (int32_t x = 0; x < v.width; ++x) {
                if (v.get(x, y, z)) {
                    voxels.insert({x, y, z});
                }
            }
        }
    }
    return voxels;
}

formats::BitVolume volume_of(uint32_t x, uint32_t y, uint32_t z) {
    formats::BitVolume volume;
    RunError error;
    EXPECT_TRUE(volume_allocate(volume, x, y, z, error));
    return volume;
}

formats::ModelParameters model(const std::string& law, double p1, double p2,
                               uint32_t max_radius = 10, uint32_t size = 100) {
    return testing::cube_model(law, p1, p2, max_radius, size);
}

TEST(BallCount, MeanIsFormedLeftToRight) {
    const formats::ModelParameters p = model("Uniform", 1, 4);
    // lambda times the product would give 1771.5610000000001.
    EXPECT_EQ(ball_count_mean(p), 1771.561);
    EXPECT_EQ(ball_count_mean(p), ((0.001 * 121) * 121) * 121);
    formats::ModelParameters q = p;
    q.max_x = 1000;
    q.max_y = 1;
    q.max_z = 7;
    q.max_radius = 1000;
    EXPECT_EQ(ball_count_mean(q), ((0.001 * 3001) * 2002) * 2008);
}

TEST(BallCount, IsOnePoissonDrawTruncated) {
    Random::set_seed(0.4);
    const int32_t n = draw_ball_count(1771.561);
    Random::set_seed(0.4);
    Poisson poisson(1771.561);
    EXPECT_EQ(n, static_cast<int32_t>(poisson.draw()));
    EXPECT_EQ(draw_ball_count(0.0), 0);
}

TEST(VoxelRule, UnitBallAtTheCornerOfATinyBox) {
    formats::BitVolume v = volume_of(2, 2, 2);
    volume_add_ball(v, 0, 0, 0, 1);
    EXPECT_EQ(set_voxels(v), (std::set<Voxel>{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}}));
}

TEST(VoxelRule, RadiusTwoSetsThe33LatticePointsWithinDistanceTwo) {
    formats::BitVolume v = volume_of(10, 10, 10);
    volume_add_ball(v, 5, 5, 5, 2);
    const std::set<Voxel> voxels = set_voxels(v);
    EXPECT_EQ(voxels.size(), 33u);
    for (const auto& [x, y, z] : voxels) {
        EXPECT_LE((x - 5) * (x - 5) + (y - 5) * (y - 5) + (z - 5) * (z - 5), 4);
    }
}

TEST(VoxelRule, BallsOutsideTheBoxSetOnlyTheirPartInside) {
    formats::BitVolume v = volume_of(10, 10, 10);
    volume_add_ball(v, -3, 4, 4, 3);
    EXPECT_EQ(set_voxels(v), (std::set<Voxel>{{0, 4, 4}}));
    formats::BitVolume w = volume_of(10, 10, 10);
    volume_add_ball(w, 12, 5, 5, 1);
    volume_add_ball(w, 5, 5, -1, 0);
    volume_add_ball(w, 5, 5, 10, 0);
    EXPECT_TRUE(set_voxels(w).empty());
}

TEST(VoxelRule, RadiusZeroSetsTheCentreOnlyAndVoxelsStaySet) {
    formats::BitVolume v = volume_of(7, 3, 2);
    volume_add_ball(v, 6, 2, 1, 0);
    volume_add_ball(v, 6, 2, 1, 0);
    EXPECT_EQ(set_voxels(v), (std::set<Voxel>{{6, 2, 1}}));
}

TEST(VoxelRule, RowRunsMatchTheVoxelByVoxelRule) {
    std::mt19937 engine(7);
    for (const auto& [w, h, s] :
         {std::tuple{13, 7, 9}, {37, 5, 3}, {8, 8, 8}, {1, 1, 1}, {64, 3, 20}, {17, 17, 1}}) {
        formats::BitVolume fast = volume_of(w, h, s);
        formats::BitVolume slow = volume_of(w, h, s);
        for (int i = 0; i < 60; ++i) {
            const int32_t r = static_cast<int32_t>(engine() % 12);
            const int32_t cx = static_cast<int32_t>(engine() % (w + 2 * r + 1)) - r;
            const int32_t cy = static_cast<int32_t>(engine() % (h + 2 * r + 1)) - r;
            const int32_t cz = static_cast<int32_t>(engine() % (s + 2 * r + 1)) - r;
            volume_add_ball(fast, cx, cy, cz, r);
            testing::literal_add_ball(slow, cx, cy, cz, r);
        }
        for (int32_t z = 0; z < s; ++z) {
            // Whole planes, so that no bit past the last voxel is touched either.
            ASSERT_EQ(fast.planes[z].bytes, slow.planes[z].bytes) << w << "x" << h << " z " << z;
        }
    }
}

TEST(ModelVolume, PlanesHoldOneSpareBitAndStartClear) {
    EXPECT_EQ(volume_of(4, 4, 1).planes[0].bytes.size(), 3u);
    EXPECT_EQ(volume_of(17, 1, 1).planes[0].bytes.size(), 3u);
    EXPECT_EQ(volume_of(5, 3, 1).planes[0].bytes.size(), 2u);
    const formats::BitVolume v = volume_of(1000, 1000, 2);
    EXPECT_EQ(v.planes.size(), 2u);
    EXPECT_EQ(v.planes[1].bytes.size(), 125001u);
    EXPECT_TRUE(set_voxels(volume_of(9, 9, 9)).empty());
}

TEST(ModelVolume, AllocationClearsTheErrorAndReleaseFreesThePlanes) {
    formats::BitVolume v;
    RunError error;
    error.set("earlier");
    EXPECT_TRUE(volume_allocate(v, 3, 2, 4, error));
    EXPECT_FALSE(error.flag);
    EXPECT_EQ(error.text, "");
    EXPECT_EQ(v.width, 3);
    EXPECT_EQ(v.slice_count, 4);
    volume_release(v);
    EXPECT_TRUE(v.planes.empty());
}

TEST(ModelVolume, NoMemoryIsReportedNotThrown) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer reserves more address space than the limit allows";
#endif
    const pid_t child = ::fork();
    if (child == 0) {
        const rlimit limit{64 << 20, 64 << 20};
        ::setrlimit(RLIMIT_AS, &limit);
        formats::BitVolume v;
        RunError error;
        const bool ok = volume_allocate(v, 1000, 1000, 1000, error);
        ::_exit(!ok && error.flag && error.text == "Memory allocation error!" ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(DrawBall, CentresThenRadiusInThatOrder) {
    const formats::ModelParameters p = model("Uniform", 1.0, 4.0);
    Random::set_seed(0.3);
    BallSources sources;
    const Ball ball = draw_ball(p, sources);
    Random::set_seed(0.3);
    const double u[] = {Random::base_draw(), Random::base_draw(), Random::base_draw(),
                        Random::base_draw()};
    EXPECT_EQ(ball.cx, static_cast<int32_t>(u[0] * 121 - 10));
    EXPECT_EQ(ball.cy, static_cast<int32_t>(u[1] * 121 - 10));
    EXPECT_EQ(ball.cz, static_cast<int32_t>(u[2] * 121 - 10));
    EXPECT_EQ(ball.r, static_cast<int32_t>(1.0 + u[3] * 3.0));
}

TEST(DrawBall, OtherLawNamesGiveRadiusMaxWithoutADraw) {
    for (const char* law : {"uniform", "", "Poisson", "Exponential "}) {
        Random::set_seed(0.9);
        BallSources sources;
        const Ball ball = draw_ball(model(law, 1.0, 4.0, 7), sources);
        EXPECT_EQ(ball.r, 7) << law;
        const double next = Random::base_draw();
        Random::set_seed(0.9);
        for (int i = 0; i < 3; ++i) {
            Random::base_draw();
        }
        EXPECT_EQ(next, Random::base_draw()) << law;
    }
}

std::map<int32_t, int> radius_counts(const formats::ModelParameters& p, int n) {
    BallSources sources;
    std::map<int32_t, int> counts;
    for (int i = 0; i < n; ++i) {
        counts[draw_ball(p, sources).r]++;
    }
    return counts;
}

TEST(RadiusLaws, UniformBetweenTwoAndAHalfAndThreeAndAHalf) {
    Random::set_seed(0.11);
    const auto counts = radius_counts(model("Uniform", 2.5, 3.5), 20000);
    ASSERT_EQ(counts.size(), 2u);
    EXPECT_NEAR(counts.at(2) / 20000.0, 0.5, 0.02);
    EXPECT_NEAR(counts.at(3) / 20000.0, 0.5, 0.02);
}

TEST(RadiusLaws, UniformRedrawKeepsZeroToMaxAndZeroTwiceAsOften) {
    Random::set_seed(0.12);
    const auto counts = radius_counts(model("Uniform", -5.0, 5.0, 3), 40000);
    ASSERT_EQ(counts.size(), 4u);
    EXPECT_EQ(counts.begin()->first, 0);
    EXPECT_EQ(counts.rbegin()->first, 3);
    EXPECT_NEAR(counts.at(0) / 40000.0, 0.4, 0.015);
    for (const int32_t r : {1, 2, 3}) {
        EXPECT_NEAR(counts.at(r) / 40000.0, 0.2, 0.015) << r;
    }
}

TEST(RadiusLaws, LogNormalAndExponentialStayWithinMax) {
    Random::set_seed(0.13);
    for (const formats::ModelParameters& p :
         {model("LogNormal", 1.0, 0.8, 4), model("Exponential", 3.0, 0.0, 4),
          model("Exponential", -0.5, 0.0, 4), model("LogNormal", -3.0, 0.1, 4)}) {
        const auto counts = radius_counts(p, 5000);
        EXPECT_GE(counts.begin()->first, 0) << p.distribution;
        EXPECT_LE(counts.rbegin()->first, 4) << p.distribution;
    }
    // A negative mean gives values in (-1, 0] most of the time, kept as 0.
    const auto negative = radius_counts(model("Exponential", -0.5, 0.0, 4), 2000);
    EXPECT_EQ(negative.size(), 1u);
    EXPECT_EQ(negative.begin()->first, 0);
}

TEST(Centres, CoverTheBoxEnlargedByMaxRadiusButNeverMinusR) {
    Random::set_seed(0.14);
    const formats::ModelParameters p = model("Other", 0.0, 0.0, 10, 100);
    BallSources sources;
    std::set<int32_t> xs;
    std::set<int32_t> zs;
    for (int i = 0; i < 20000; ++i) {
        const Ball ball = draw_ball(p, sources);
        xs.insert(ball.cx);
        zs.insert(ball.cz);
    }
    EXPECT_EQ(*xs.begin(), -9);
    EXPECT_EQ(*xs.rbegin(), 110);
    EXPECT_EQ(xs.size(), 120u);
    EXPECT_EQ(*zs.begin(), -9);
    EXPECT_EQ(*zs.rbegin(), 110);
}

}  // namespace
}  // namespace brisolt
