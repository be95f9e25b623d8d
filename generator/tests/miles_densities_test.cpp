#include "miles_densities.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

namespace brisolt {
namespace {

constexpr double pi = std::numbers::pi;

// Radius 2 with chance 0.25, radius 5 with chance 0.75.
const std::vector<double> kTwoRadii = {0.0, 0.0, 0.25, 0.0, 0.0, 0.75};

double ball_volume(double r) {
    return 4.0 / 3.0 * pi * r * r * r;
}

void expect_relative(double value, double expected, double tolerance, const char* what) {
    EXPECT_NEAR(value / expected, 1.0, tolerance) << what << ": " << value << " vs " << expected;
}

TEST(MeanGrain, AveragesTheBallsOfRadiusJPlusEpsilon) {
    const MeanGrain g = mean_grain(kTwoRadii, 0.5);
    EXPECT_DOUBLE_EQ(g.vbar, 0.25 * ball_volume(2.5) + 0.75 * ball_volume(5.5));
    EXPECT_DOUBLE_EQ(g.sbar, 0.25 * 4 * pi * 2.5 * 2.5 + 0.75 * 4 * pi * 5.5 * 5.5);
    EXPECT_DOUBLE_EQ(g.mbar, 0.25 * 4 * pi * 2.5 + 0.75 * 4 * pi * 5.5);
    const MeanGrain zero = mean_grain({1.0}, 0.0);
    EXPECT_EQ(zero.vbar, 0.0);
    EXPECT_EQ(zero.sbar, 0.0);
    EXPECT_EQ(zero.mbar, 0.0);
}

TEST(MeanGrain, DilatedGrainsFollowSteinersFormulaForBalls) {
    // The ball of radius r + e has volume v + s e + m e^2 + 4/3 pi e^3.
    const MeanGrain g = mean_grain(kTwoRadii, 0.0);
    for (const double e : {0.83, 2.88, 7.79}) {
        const MeanGrain dilated = mean_grain(kTwoRadii, e);
        EXPECT_NEAR(dilated.vbar, g.vbar + g.sbar * e + g.mbar * e * e + ball_volume(e), 1e-9) << e;
    }
}

TEST(MilesDensities, OneSparseBallHasTheBallsIntrinsicVolumes) {
    // As lambda goes to 0 each density over lambda is one ball's value.
    const double lambda = 1e-13;
    for (const double r : {1.0, 3.0, 7.5}) {
        std::vector<double> law(static_cast<size_t>(r) + 1);
        law.back() = 1.0;
        const IntrinsicDensities d = miles_densities(lambda, mean_grain(law, r - std::floor(r)));
        expect_relative(d.v3 / lambda, ball_volume(r), 1e-9, "V3");
        expect_relative(d.v2 / lambda, 2 * pi * r * r, 1e-9, "V2");
        expect_relative(d.v1 / lambda, 4 * r, 1e-9, "V1");
        expect_relative(d.v0 / lambda, 1.0, 1e-9, "V0");
    }
    const IntrinsicDensities none = miles_densities(0.0, mean_grain(kTwoRadii, 0.0));
    EXPECT_EQ(none.v3, 0.0);
    EXPECT_EQ(none.v2, 0.0);
    EXPECT_EQ(none.v1, 0.0);
    EXPECT_EQ(none.v0, 0.0);
}

TEST(MilesDensities, SurfaceIsTheGrowthOfTheDilatedVolume) {
    // dV3(X + eB)/de at e = 0 is the surface density 2 V2.
    const double lambda = 0.0004;
    const double h = 1e-5;
    const double up = miles_densities(lambda, mean_grain(kTwoRadii, h)).v3;
    const double down = miles_densities(lambda, mean_grain(kTwoRadii, -h)).v3;
    const IntrinsicDensities d = miles_densities(lambda, mean_grain(kTwoRadii, 0.0));
    expect_relative((up - down) / (2 * h), 2 * d.v2, 1e-8, "dV3/de");
}

TEST(MilesDensities, PairsOfOverlappingBallsGiveTheSecondOrder) {
    // To order lambda^2 a density is lambda E[V(B)] - lambda^2 / 2 E[integral of V(B1 and
    // (B2 + x)) dx] over independent radii. For the Euler characteristic the integral is the
    // volume of the ball of radius r1 + r2; for V1 the principal kinematic formula gives
    // V1 V3' + V3 V1' + pi / 4 V2 V2'.
    double pair_v0 = 0.0;
    double pair_v1 = 0.0;
    double mean_v1 = 0.0;
    for (size_t i = 0; i < kTwoRadii.size(); ++i) {
        const double r1 = static_cast<double>(i);
        mean_v1 += kTwoRadii[i] * 4 * r1;
        for (size_t j = 0; j < kTwoRadii.size(); ++j) {
            const double r2 = static_cast<double>(j);
            const double both = kTwoRadii[i] * kTwoRadii[j];
            pair_v0 += both * ball_volume(r1 + r2);
            pair_v1 += both * (4 * r1 * ball_volume(r2) + ball_volume(r1) * 4 * r2 +
                               pi / 4 * (2 * pi * r1 * r1) * (2 * pi * r2 * r2));
        }
    }
    const double lambda = 1e-8;
    const IntrinsicDensities d = miles_densities(lambda, mean_grain(kTwoRadii, 0.0));
    expect_relative((d.v0 - lambda) / (lambda * lambda), -0.5 * pair_v0, 1e-4, "V0");
    expect_relative((d.v1 - lambda * mean_v1) / (lambda * lambda), -0.5 * pair_v1, 1e-4, "V1");
}

TEST(MilesDensities, EqualBallsInReducedDensity) {
    // Unit balls, eta = lambda 4/3 pi: V0 = lambda (1 - 3 eta + 3 pi^2 / 32 eta^2) e^-eta and
    // V1 = lambda (4 - 3 pi^2 / 8 eta) e^-eta.
    for (const double eta : {0.1, 0.377, 1.0, 2.5}) {
        const double lambda = eta / ball_volume(1.0);
        const IntrinsicDensities d = miles_densities(lambda, mean_grain({0.0, 1.0}, 0.0));
        const double empty = std::exp(-eta);
        EXPECT_NEAR(d.v3, 1 - empty, 1e-15) << eta;
        EXPECT_NEAR(d.v2, lambda * 2 * pi * empty, 1e-15) << eta;
        EXPECT_NEAR(d.v1, lambda * (4 - 3 * pi * pi / 8 * eta) * empty, 1e-15) << eta;
        EXPECT_NEAR(d.v0, lambda * (1 - 3 * eta + 3 * pi * pi / 32 * eta * eta) * empty, 1e-15)
            << eta;
    }
}

}  // namespace
}  // namespace brisolt
