#include "radius_law.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numeric>
#include <vector>

#include "model_check.h"
#include "model_fixtures.h"

namespace brisolt {
namespace {

formats::ModelParameters model(const std::string& law, double p1, double p2, uint32_t max_radius) {
    return testing::cube_model(law, p1, p2, max_radius, 50);
}

double phi(double z) {
    return 0.5 * std::erfc(-z / std::sqrt(2.0));
}

void expect_law(const std::vector<double>& law, const std::vector<double>& expected) {
    ASSERT_EQ(law.size(), expected.size());
    for (size_t j = 0; j < law.size(); ++j) {
        EXPECT_NEAR(law[j], expected[j], 1e-14) << "r = " << j;
    }
}

// Pearson's statistic of n radii from draw_ball() against the law, and its degrees of
// freedom. Cells expecting fewer than 5 draws are pooled; a draw where the law has nothing
// makes the statistic infinite.
struct ChiSquare {
    double statistic = 0.0;
    int degrees = 0;
};

ChiSquare radius_histogram_fit(const formats::ModelParameters& p, int n) {
    const std::vector<double> law = radius_law(p);
    std::vector<int> counts(law.size());
    BallSources sources;
    for (int i = 0; i < n; ++i) {
        const int32_t r = draw_ball(p, sources).r;
        EXPECT_TRUE(r >= 0 && r <= static_cast<int32_t>(p.max_radius)) << r;
        counts.at(static_cast<size_t>(r))++;
    }
    ChiSquare fit;
    int cells = 0;
    double pooled_expected = 0.0;
    int pooled_count = 0;
    for (size_t j = 0; j < law.size(); ++j) {
        const double expected = n * law[j];
        if (expected < 5.0) {
            pooled_expected += expected;
            pooled_count += counts[j];
            continue;
        }
        fit.statistic += (counts[j] - expected) * (counts[j] - expected) / expected;
        ++cells;
    }
    if (pooled_expected > 0.0) {
        fit.statistic +=
            (pooled_count - pooled_expected) * (pooled_count - pooled_expected) / pooled_expected;
        ++cells;
    } else if (pooled_count > 0) {
        fit.statistic = INFINITY;
    }
    fit.degrees = cells - 1;
    return fit;
}

// The chi-square quantile that one fit in 10^4 exceeds (Wilson and Hilferty).
double chi_square_limit(int degrees) {
    const double k = degrees;
    const double a = 2.0 / (9.0 * k);
    return k * std::pow(1.0 - a + 3.719 * std::sqrt(a), 3.0);
}

TEST(RadiusLaw, UniformIsTheOverlapOfEachRadiusValuesWithTheBounds) {
    // (-1, 1) gives 0: twice the share of 1, 2 and 3.
    expect_law(radius_law(model("Uniform", -5.0, 5.0, 3)), {0.4, 0.2, 0.2, 0.2});
    // [1.3, 2) is 0.7 of a unit; the bounds may come in either order.
    const std::vector<double> partial = {0.0, 0.7 / 4.7, 1 / 4.7, 1 / 4.7, 1 / 4.7, 1 / 4.7};
    expect_law(radius_law(model("Uniform", 1.3, 7.8, 5)), partial);
    expect_law(radius_law(model("Uniform", 7.8, 1.3, 5)), partial);
    // Equal bounds: one value.
    expect_law(radius_law(model("Uniform", 2.5, 2.5, 3)), {0, 0, 1, 0});
    expect_law(radius_law(model("Uniform", -0.5, -0.5, 2)), {1, 0, 0});
}

TEST(RadiusLaw, LogNormalThroughTheNormalLaw) {
    const double mu = 1.0;
    const double sigma = 0.8;
    const std::vector<double> law = radius_law(model("LogNormal", mu, sigma, 6));
    // P(exp(G sigma + mu) < x) = Phi((ln x - mu) / sigma), conditioned on x < 7.
    const auto below = [&](double x) { return phi((std::log(x) - mu) / sigma); };
    EXPECT_NEAR(law[0], below(1) / below(7), 1e-14);
    EXPECT_NEAR(law[1], (below(2) - below(1)) / below(7), 1e-14);
    EXPECT_NEAR(law[6], (below(7) - below(6)) / below(7), 1e-14);
    // G is symmetric, so the sign of sigma does not matter.
    expect_law(radius_law(model("LogNormal", 0.5, -0.7, 4)),
               radius_law(model("LogNormal", 0.5, 0.7, 4)));
    expect_law(radius_law(model("LogNormal", std::log(3.5), 0.0, 4)), {0, 0, 0, 1, 0});
}

TEST(RadiusLaw, ExponentialScaledByItsMean) {
    const double mu = 3.0;
    const std::vector<double> law = radius_law(model("Exponential", mu, 0.0, 8));
    const double kept = 1.0 - std::exp(-9.0 / mu);
    EXPECT_NEAR(law[0], (1.0 - std::exp(-1.0 / mu)) / kept, 1e-14);
    for (int j = 1; j <= 8; ++j) {
        EXPECT_NEAR(law[j], (std::exp(-j / mu) - std::exp(-(j + 1) / mu)) / kept, 1e-14) << j;
    }
    // A negative mean keeps only the values in (-1, 0].
    expect_law(radius_law(model("Exponential", -0.5, 0.0, 4)), {1, 0, 0, 0, 0});
    expect_law(radius_law(model("Exponential", 0.0, 0.0, 2)), {1, 0, 0});
}

TEST(RadiusLaw, AnyOtherLawGivesMax) {
    expect_law(radius_law(model("uniform", 1.0, 2.0, 3)), {0, 0, 0, 1});
    expect_law(radius_law(model("", 0.0, 0.0, 1)), {0, 1});
}

TEST(RadiusLaw, SumsToOneAndItsMassIsTheAcceptanceOfTheRedraw) {
    const formats::ModelParameters cases[] = {
        model("Uniform", -5.0, 5.0, 3),      model("Uniform", 1.3, 7.8, 5),
        model("Uniform", -50.0, 2.0, 5),     model("Uniform", 0.2, 900.0, 1000),
        model("LogNormal", 1.0, 0.8, 6),     model("LogNormal", 3.0, 0.5, 5),
        model("LogNormal", -2.0, 1.5, 2),    model("LogNormal", 1.5, -0.4, 12),
        model("Exponential", 3.0, 0.0, 8),   model("Exponential", 40.0, 0.0, 3),
        model("Exponential", 0.05, 0.0, 10), model("Exponential", -2.0, 0.0, 4)};
    for (const formats::ModelParameters& p : cases) {
        const std::vector<double> law = radius_law(p);
        ASSERT_EQ(law.size(), p.max_radius + 1u);
        EXPECT_NEAR(std::accumulate(law.begin(), law.end(), 0.0), 1.0, 1e-12)
            << p.distribution << " " << p.parameter1;
        double mass = 0.0;
        for (uint32_t j = 0; j <= p.max_radius; ++j) {
            EXPECT_GE(radius_value_mass(p, j), 0.0);
            mass += radius_value_mass(p, j);
        }
        EXPECT_NEAR(mass, radius_acceptance(p), 1e-12) << p.distribution << " " << p.parameter1;
    }
}

TEST(RadiusLaw, NoKeptDrawGivesNoProbability) {
    expect_law(radius_law(model("Uniform", 20.0, 30.0, 3)), {0, 0, 0, 0});
}

TEST(RadiusLaw, MatchesAHistogramOfDrawnRadii) {
    Random::set_seed(0.271828);
    const formats::ModelParameters cases[] = {
        model("Uniform", -5.0, 5.0, 3),    model("Uniform", 1.3, 7.8, 5),
        model("LogNormal", 1.0, 0.8, 6),   model("LogNormal", 0.5, -0.7, 4),
        model("LogNormal", 1.5, 0.4, 12),  model("Exponential", 3.0, 0.0, 8),
        model("Exponential", 0.7, 0.0, 5), model("Exponential", -0.5, 0.0, 4),
        model("Other", 0.0, 0.0, 7)};
    for (const formats::ModelParameters& p : cases) {
        const ChiSquare fit = radius_histogram_fit(p, 100000);
        ASSERT_TRUE(std::isfinite(fit.statistic))
            << p.distribution << " " << p.parameter1 << ": a radius the law does not give";
        if (fit.degrees <= 0) {
            EXPECT_EQ(fit.statistic, 0.0) << p.distribution << " " << p.parameter1;
            continue;
        }
        EXPECT_LT(fit.statistic, chi_square_limit(fit.degrees))
            << p.distribution << " " << p.parameter1 << " " << p.parameter2 << " with "
            << fit.degrees << " degrees of freedom";
    }
}

}  // namespace
}  // namespace brisolt
