#include "fit/reference_shell.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "fit/steiner_fit.h"
#include "formats/errors.h"
#include "literal_oracle.h"
#include "random_ball.h"
#include "test_support.h"
#include "workloads.h"

namespace talvik {
namespace {

using talvik::testing::random_ball;
using talvik::workloads::euclidean_ball;

TEST(ReferenceShell, ColumnCountEqualsTheLiteralGridOnSmallGrids) {
    std::mt19937 engine(21);
    // The last two put the sphere against or across the window's edge, where every column is
    // counted from its bit set.
    const std::vector<ReferenceGeometry> geometries = {
        {100, 50, 40}, {60, 30, 24}, {64, 31, 20}, {40, 20, 16}, {48, 24, 21}};
    for (const ReferenceGeometry& g : geometries) {
        std::vector<formats::DiscretizedBall> balls = {
            euclidean_ball(0), euclidean_ball(1),      euclidean_ball(3),
            euclidean_ball(5), random_ball(3, engine), random_ball(5, engine)};
        if (g.size == 100) {
            balls.push_back(euclidean_ball(7));  // reaches past the window: clipped
            balls.push_back(random_ball(8, engine));
        }
        for (size_t i = 0; i < balls.size(); ++i) {
            EXPECT_EQ(reference_shell_count(balls[i], g, 2),
                      oracle::reference_shell_count(balls[i], g))
                << "grid " << g.size << " ball " << i;
        }
    }
}

TEST(ReferenceShell, ColumnCountEqualsTheLiteralGridAtFullSize) {
    const formats::DiscretizedBall ball = euclidean_ball(1);
    const uint64_t count = reference_shell_count(ball, ReferenceGeometry{}, 2);
    EXPECT_EQ(count, oracle::reference_shell_count(ball, ReferenceGeometry{}));
    EXPECT_GT(count, 2000000u);  // about the sphere's area
}

TEST(ReferenceShell, SingleVoxelBallGainsNothing) {
    EXPECT_EQ(reference_shell_count(euclidean_ball(0), ReferenceGeometry{}, 1), 0u);
    const double de = de_from_count(0);
    EXPECT_LT(std::fabs(de), formats::kMissingDe);
}

TEST(ReferenceShell, ThreadCountDoesNotChangeTheCount) {
    std::mt19937 engine(4);
    const formats::DiscretizedBall ball = random_ball(4, engine);
    const ReferenceGeometry g{120, 60, 50};
    EXPECT_EQ(reference_shell_count(ball, g, 1), reference_shell_count(ball, g, 3));
}

TEST(ReferenceShell, DigitsOfDeAreFixed) {
    // The count of the radius-1 ball and its value as stored in balls files; worked out
    // independently in IEEE doubles with the same operation order.
    EXPECT_EQ(reference_shell_count(euclidean_ball(1), ReferenceGeometry{}, 2), 2118254u);
    EXPECT_EQ(formats::format_text("%20.16f", de_from_count(2118254)), "  0.8308861181319003");
}

TEST(ReferenceShell, DeIsTheRadiusGrowthOfTheEuclideanBall) {
    // c = 4/3 pi ((450 + de)^3 - 450^3) within rounding.
    const uint64_t c = 2545000;
    const double de = de_from_count(c);
    const double grown = 4.0 / 3.0 * M_PI * (std::pow(450.0 + de, 3) - std::pow(450.0, 3));
    EXPECT_NEAR(grown, static_cast<double>(c), 1.0);
}

std::string run_compute_de(std::vector<formats::DiscretizedBall>& balls, Matrix& m) {
    char* buffer = nullptr;
    size_t size = 0;
    std::FILE* out = open_memstream(&buffer, &size);
    compute_de(balls, m, VerboseLog(true, out), standard_reference_shell_count(2));
    std::fclose(out);
    std::string text(buffer, size);
    std::free(buffer);
    return testing::strip_timestamps(text);
}

TEST(ComputeDe, FillsMissingValuesAndScalesTheColumns) {
    std::vector<formats::DiscretizedBall> balls = {euclidean_ball(1, 0.75), euclidean_ball(1)};
    FitMatrices fit = create_fit_matrices(2);
    const std::string log = run_compute_de(balls, fit.m);
    const uint64_t c = reference_shell_count(euclidean_ball(1), ReferenceGeometry{}, 2);
    EXPECT_EQ(balls[0].de, 0.75);
    EXPECT_EQ(balls[1].de, de_from_count(c));
    EXPECT_EQ(log,
              "============================================================\n"
              "  de (e - epsilon, d - delta)\n"
              "============================================================\n"
              "de [e =  1]: 0.750000\n"
              "clearing data set Re\n"
              "done\n"
              "generating data set Re [e =  2]...\n"
              "done\n"
              "volume of (Re - R) [e =  2]: " +
                  std::to_string(c) + "\n" +
                  formats::format_text("de [e =  2]: %f\n", balls[1].de));
    EXPECT_EQ(fit.m.at(0, 0), 2.0 * 0.75);
    EXPECT_EQ(fit.m.at(1, 0), (0.75 * 0.75) * 3.141592653589793);
    EXPECT_EQ(fit.m.at(2, 0), (0.75 * 0.75 * 0.75) * 4.1887902047863905);
    const double de = balls[1].de;
    EXPECT_EQ(fit.m.at(2, 1), ((de * de) * de) * 4.1887902047863905);
}

}  // namespace
}  // namespace talvik
