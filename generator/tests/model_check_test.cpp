#include "model_check.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "boolean_model.h"
#include "model_fixtures.h"

namespace brisolt {
namespace {

formats::ModelParameters model(const std::string& law, double p1, double p2,
                               uint32_t max_radius = 5) {
    return testing::cube_model(law, p1, p2, max_radius, 50);
}

TEST(ModelProblem, UsableParametersPass) {
    EXPECT_EQ(model_problem(model("Uniform", 1, 4)), "");
    EXPECT_EQ(model_problem(model("LogNormal", 1, 0.5)), "");
    EXPECT_EQ(model_problem(model("Exponential", 2, 0)), "");
    EXPECT_EQ(model_problem(model("anything", 0, 0)), "");
    formats::ModelParameters empty = model("Uniform", 1, 4);
    empty.lambda = 0.0;  // no balls: empty data sets
    EXPECT_EQ(model_problem(empty), "");
}

TEST(ModelProblem, SizesOutsideOneTo1000) {
    formats::ModelParameters p = model("Uniform", 1, 4);
    p.max_y = 0;
    EXPECT_EQ(model_problem(p), "Max. y must be from 1 to 1000, not 0.");
    p.max_y = 50;
    p.max_radius = 1001;
    EXPECT_EQ(model_problem(p), "Radius Max must be from 1 to 1000, not 1001.");
}

TEST(ModelProblem, NonFiniteAndNegativeNumbers) {
    const double inf = std::numeric_limits<double>::infinity();
    formats::ModelParameters p = model("Uniform", 1, 4);
    p.lambda = std::nan("");
    EXPECT_EQ(model_problem(p), "Lambda must be a finite number, not nan.");
    p.lambda = -0.001;
    EXPECT_EQ(model_problem(p),
              "Lambda must not be negative (-0.001): it is the expected number of ball centres "
              "per voxel.");
    EXPECT_EQ(model_problem(model("Exponential", inf, 0)),
              "Parameter1 must be a finite number, not inf.");
    // Checked for every law: the field must hold a number either way.
    EXPECT_EQ(model_problem(model("Exponential", 1, -inf)),
              "Parameter2 must be a finite number, not -inf.");
}

TEST(ModelProblem, MeansBeyondA32BitCount) {
    formats::ModelParameters p = model("Uniform", 1, 4, 1000);
    p.max_x = p.max_y = p.max_z = 1000;
    p.lambda = 0.07;  // mu = 0.07 * 3001^3, about 1.9e9: still fits
    EXPECT_EQ(model_problem(p), "");
    p.lambda = 0.08;
    EXPECT_EQ(model_problem(p),
              "The mean number of balls, 2.16216e+09, is too large: a data set holds at most "
              "2000000000 balls. Make Lambda or the box smaller.");
}

TEST(ModelProblem, LawsThatCannotGiveARadiusUpToMax) {
    EXPECT_EQ(model_problem(model("Uniform", 20, 30)),
              "No radius from 0 to 5 (Max) can come from the Uniform law from 20 to 30.");
    EXPECT_EQ(model_problem(model("Uniform", -30, -1)),
              "No radius from 0 to 5 (Max) can come from the Uniform law from -30 to -1.");
    EXPECT_EQ(model_problem(model("LogNormal", 100, 1)),
              "No radius from 0 to 5 (Max) can come from the LogNormal law with mu 100 and sigma "
              "1.");
    EXPECT_EQ(model_problem(model("LogNormal", 2, 0)),
              "No radius from 0 to 5 (Max) can come from the LogNormal law with mu 2 and sigma "
              "0.");
    EXPECT_EQ(model_problem(model("Uniform", -1e308, 1e308)),
              "No radius from 0 to 5 (Max) can come from the Uniform law from -1e+308 to "
              "1e+308.");
    EXPECT_EQ(model_problem(model("Exponential", 1e7, 0, 1)),
              "Only about one radius draw in 5e+06 from the Exponential law with mu 1e+07 gives "
              "a radius from 0 to 1 (Max): choose parameters that fit the largest radius.");
}

TEST(RadiusAcceptance, ChanceOfAKeptDrawPerLaw) {
    EXPECT_EQ(radius_acceptance(model("Uniform", -5, 5, 3)), 0.5);
    EXPECT_EQ(radius_acceptance(model("Uniform", 5, -5, 3)), 0.5);
    EXPECT_EQ(radius_acceptance(model("Uniform", 2.5, 2.5, 3)), 1.0);
    EXPECT_EQ(radius_acceptance(model("Uniform", 4, 4, 3)), 0.0);
    EXPECT_EQ(radius_acceptance(model("Uniform", 3.99, 3.99, 3)), 1.0);
    EXPECT_DOUBLE_EQ(radius_acceptance(model("Exponential", 2, 0, 3)), 1 - std::exp(-2.0));
    EXPECT_DOUBLE_EQ(radius_acceptance(model("Exponential", -2, 0, 3)), 1 - std::exp(-0.5));
    EXPECT_EQ(radius_acceptance(model("Exponential", 0, 0, 3)), 1.0);
    EXPECT_NEAR(radius_acceptance(model("LogNormal", std::log(4.0), 1, 3)), 0.5, 1e-12);
    EXPECT_EQ(radius_acceptance(model("LogNormal", std::log(3.9), 0, 3)), 1.0);
    EXPECT_EQ(radius_acceptance(model("other", 1e9, 1e9, 3)), 1.0);
}

// The computed chance against the kept fraction of the laws' own draws.
TEST(RadiusAcceptance, MatchesTheRedrawsOfTheSampler) {
    for (const formats::ModelParameters& p :
         {model("Uniform", -10, 10, 3), model("Exponential", 4, 0, 2),
          model("LogNormal", 1.5, 1, 3)}) {
        Random::set_seed(0.77);
        BallSources sources;
        const int balls = 20000;
        int kept = 0;
        int tries = 0;
        while (kept < balls) {
            double value = 0.0;
            if (p.distribution == "Uniform") {
                value = p.parameter1 + sources.radius.draw() * (p.parameter2 - p.parameter1);
            } else if (p.distribution == "Exponential") {
                value = sources.exponential.draw() * p.parameter1;
            } else {
                value = std::exp(sources.normal.draw() * p.parameter2 + p.parameter1);
            }
            ++tries;
            kept += std::trunc(value) >= 0 && std::trunc(value) <= p.max_radius;
        }
        EXPECT_NEAR(static_cast<double>(kept) / tries, radius_acceptance(p), 0.01)
            << p.distribution;
    }
}

}  // namespace
}  // namespace brisolt
