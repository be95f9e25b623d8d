#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "random/discrete_gen.h"
#include "random/exception.h"
#include "random/log_gamma.h"
#include "random/poisson.h"
#include "random/pos_gen.h"
#include "random/random.h"

namespace brisolt {
namespace {

constexpr double kScale = 4.656612875e-10;
constexpr double kSmallestSeed = 4.656612873077393e-10;  // 2^-31: state 1

// The minimal standard generator by plain 64-bit arithmetic, without Schrage's trick.
int64_t lehmer_steps(int64_t state, int steps) {
    for (int i = 0; i < steps; ++i) {
        state = state * 16807 % 2147483647;
    }
    return state;
}

// The shuffled stream after seeding with `state`, built from lehmer_steps.
class ShuffleOracle {
  public:
    explicit ShuffleOracle(int64_t state) : state_(state) {
        for (double& entry : table_) {
            entry = next();
        }
    }
    double draw() {
        const int i = static_cast<int>(next() * 128);
        const double result = table_[i];
        table_[i] = next();
        return result;
    }

  private:
    double next() {
        state_ = lehmer_steps(state_, 1);
        return static_cast<double>(state_) * kScale;
    }
    int64_t state_;
    std::array<double, 128> table_{};
};

template <typename Error, typename F>
std::string thrown_text(F&& f) {
    try {
        f();
    } catch (const Error& e) {
        return e.text();
    } catch (...) {
        return "another exception";
    }
    return "nothing thrown";
}

std::string logic(const std::string& m) {
    return "\n\nAn exception has been thrown\nLogic error:- " + m;
}
std::string runtime(const std::string& m) {
    return "\n\nAn exception has been thrown\nRuntime error:- " + m;
}

TEST(BaseStream, TenThousandStepsFromStateOneGiveTheKnownState) {
    Random::set_seed(kSmallestSeed);  // state 1, then 128 steps fill the shuffle table
    ASSERT_EQ(Random::state(), lehmer_steps(1, 128));
    double last = 0.0;
    for (int i = 128; i < 10000; ++i) {
        last = Random::advance_state();
    }
    EXPECT_EQ(Random::state(), 1043618065);
    EXPECT_EQ(last, 1043618065 * kScale);
}

TEST(BaseStream, SchrageStepMatchesPlainArithmeticOverTheWholeRange) {
    for (const int64_t start : {1LL, 127772LL, 127773LL, 1073741824LL, 2147483646LL}) {
        Random::set_seed(static_cast<double>(start) / 2147483648.0);
        EXPECT_EQ(Random::state(), lehmer_steps(start, 128)) << start;
        const double value = Random::advance_state();
        EXPECT_EQ(Random::state(), lehmer_steps(start, 129)) << start;
        EXPECT_GT(value, 0.0);
        EXPECT_LT(value, 1.0);
    }
}

TEST(BaseStream, SeedOfOneHalfStartsFromTwoToThe30) {
    Random::set_seed(0.5);
    EXPECT_EQ(Random::state(), lehmer_steps(1 << 30, 128));
}

TEST(BaseStream, SeedingWithTimeTimesFactorGivesStateTime) {
    for (const int64_t t : {1LL, 86400LL, 1733600000LL, 1999999999LL, 2147483646LL}) {
        seed_from_time(t);
        EXPECT_EQ(Random::state(), lehmer_steps(t, 128)) << t;
    }
}

TEST(BaseStream, SeedStateIsWhereTheLastSeedingStartedTheStream) {
    seed_from_time(1733650000);
    Uniform u;
    u.draw();
    EXPECT_EQ(Random::seed_state(), 1733650000);
    Random::set_seed(0.5);
    EXPECT_EQ(Random::seed_state(), 1 << 30);
    Random::set_seed(1e-12);  // the nearest usable state
    EXPECT_EQ(Random::seed_state(), 1);
}

TEST(BaseStream, DrawsComeThroughTheShuffleTableTwoStepsEach) {
    Random::set_seed(0.5);
    ShuffleOracle oracle(1 << 30);
    Uniform uniform;
    Random root;
    for (int i = 0; i < 5000; ++i) {
        // Every class advances the one stream.
        Random& g = i % 2 ? static_cast<Random&>(uniform) : root;
        ASSERT_EQ(g.draw(), oracle.draw()) << i;
    }
    EXPECT_EQ(Random::state(), lehmer_steps(1 << 30, 128 + 2 * 5000));
}

TEST(BaseStream, SeedOutOfRangeIsRefused) {
    for (const double s : {0.0, 1.0, -0.5, 1.5, std::nan("")}) {
        EXPECT_EQ(thrown_text<Logic_error>([&] { Random::set_seed(s); }),
                  logic("RNG: seed out of range"))
            << s;
    }
    EXPECT_NO_THROW(Random::set_seed(0.999999));
}

TEST(BaseStream, ExtremeSeedsStillGiveAVaryingStream) {
    // trunc(s 2^31) would be 0 or 2^31 - 1 here; from either the stream never changes.
    for (const double s : {std::nextafter(1.0, 0.0), 1e-12}) {
        Random::set_seed(s);
        Uniform u;
        const double first = u.draw();
        bool varies = false;
        for (int i = 0; i < 10; ++i) {
            varies = varies || u.draw() != first;
        }
        EXPECT_TRUE(varies) << s;
    }
}

TEST(Exceptions, TextHasTheHeaderThePrefixAndTheMessage) {
    EXPECT_EQ(std::string(Logic_error("m").what()), logic("m"));
    EXPECT_EQ(Runtime_error("m").text(), runtime("m"));
    EXPECT_EQ(Bad_alloc("RNG: out of space").text(),
              "\n\nAn exception has been thrown\nbad allocation\nRNG: out of space");
    EXPECT_EQ(Exception("m").text(), "\n\nAn exception has been thrown\nm");
}

TEST(Exceptions, TextStopsAt511Characters) {
    const std::string long_message(600, 'x');
    const std::string text = Runtime_error(long_message).text();
    EXPECT_EQ(text.size(), 511u);
    EXPECT_EQ(text, runtime(long_message).substr(0, 511));
}

TEST(Exceptions, AllDeriveFromExceptionAndStdException) {
    EXPECT_EQ(thrown_text<Exception>([] { throw Bad_alloc("b"); }).back(), 'b');
    EXPECT_EQ(thrown_text<Exception>([] { throw Logic_error("l"); }).back(), 'l');
    try {
        throw Runtime_error("r");
    } catch (const std::exception& e) {
        EXPECT_EQ(std::string(e.what()), runtime("r"));
    }
}

TEST(Exceptions, RootDensityIsNotDefined) {
    Random root;
    EXPECT_EQ(thrown_text<Logic_error>([&] { root.density(0.5); }),
              logic("density function not defined"));
    Uniform uniform;
    EXPECT_EQ(uniform.density(0.5), 1.0);
    EXPECT_EQ(uniform.density(1.5), 0.0);
}

struct Moments {
    double mean = 0.0;
    double variance = 0.0;
    double low = INFINITY;
    double high = -INFINITY;
};

Moments sample(Random& g, int n) {
    Moments m;
    double sum = 0.0;
    double squares = 0.0;
    for (int i = 0; i < n; ++i) {
        const double x = g.draw();
        sum += x;
        squares += x * x;
        m.low = std::min(m.low, x);
        m.high = std::max(m.high, x);
    }
    m.mean = sum / n;
    m.variance = squares / n - m.mean * m.mean;
    return m;
}

TEST(TableGenerators, ExponentialHas54IntervalsAndStaysInZeroTo40) {
    Random::set_seed(0.25);
    Exponential e;
    EXPECT_EQ(e.intervals(), 0.0);  // built at the first draw
    const Moments m = sample(e, 200000);
    EXPECT_EQ(e.intervals(), 54.0);
    EXPECT_GE(m.low, 0.0);
    EXPECT_LE(m.high, 40.0);
    EXPECT_NEAR(m.mean, 1.0, 0.01);
    EXPECT_NEAR(m.variance, 1.0, 0.03);
}

TEST(TableGenerators, NormalHas106IntervalsAndStaysWithin8) {
    Random::set_seed(0.75);
    Normal n;
    EXPECT_EQ(Normal::shared_intervals(), 106.0);
    const Moments m = sample(n, 200000);
    EXPECT_GE(m.low, -8.0);
    EXPECT_LE(m.high, 8.0);
    EXPECT_NEAR(m.mean, 0.0, 0.01);
    EXPECT_NEAR(m.variance, 1.0, 0.02);
}

TEST(TableGenerators, NormalTablesLiveWhileANormalDoes) {
    ASSERT_EQ(Normal::living_count(), 0);
    EXPECT_EQ(Normal::shared_intervals(), 0.0);
    {
        Normal a;
        {
            Normal b;
            EXPECT_EQ(Normal::living_count(), 2);
        }
        EXPECT_EQ(Normal::living_count(), 1);
        EXPECT_EQ(Normal::shared_intervals(), 106.0);
        Random::set_seed(0.3);
        EXPECT_LE(std::fabs(a.draw()), 8.0);
    }
    EXPECT_EQ(Normal::living_count(), 0);
    EXPECT_EQ(Normal::shared_intervals(), 0.0);
    Normal again;
    EXPECT_EQ(Normal::shared_intervals(), 106.0);
}

TEST(PoissonLaw, MeanOfEightUsesTheDiscreteMethodAndStaysBelow40) {
    Random::set_seed(0.125);
    Poisson p(8.0);
    EXPECT_FALSE(p.uses_asym_method());
    const Moments m = sample(p, 100000);
    EXPECT_GE(m.low, 0.0);
    EXPECT_LE(m.high, 39.0);
    EXPECT_NEAR(m.mean, 8.0, 0.05);
    EXPECT_NEAR(m.variance, 8.0, 0.15);
    EXPECT_NEAR(p.mean(), 8.0, 1e-6);
}

TEST(PoissonLaw, MeanJustAboveEightUsesTheTableMethod) {
    Random::set_seed(0.625);
    Poisson p(8.000001);
    EXPECT_TRUE(p.uses_asym_method());
    const Moments m = sample(p, 100000);
    EXPECT_GE(m.low, 0.0);
    EXPECT_NEAR(m.mean, 8.0, 0.05);
    EXPECT_NEAR(m.variance, 8.0, 0.15);
}

TEST(PoissonLaw, WholeNumbersNearTheMeanForTheMeansOfRealRuns) {
    Random::set_seed(0.375);
    for (const double mu : {0.0, 0.5, 3.0, 12.5, 1771.561, 106496.5, 2.7e7, 2.0e9}) {
        Poisson p(mu);
        const Moments m = sample(p, 4000);
        EXPECT_EQ(std::floor(m.low), m.low) << mu;
        EXPECT_NEAR(m.mean, mu, 5.0 * std::sqrt(mu / 4000.0) + 1e-9) << mu;
        EXPECT_NEAR(m.variance, mu, 0.25 * mu + 1e-9) << mu;
    }
}

TEST(DiscreteGen, TwoValuesGiveTheirAliasTable) {
    const double prob[] = {0.25, 0.75};
    DiscreteGen g(2, prob);
    EXPECT_EQ(g.switch_probability(0), 0.5);
    EXPECT_EQ(g.switch_probability(1), 0.0);
    EXPECT_EQ(g.alias_of(0), 1);
    EXPECT_EQ(g.alias_of(1), 1);
    EXPECT_EQ(g.mean(), 0.75);
    EXPECT_EQ(g.variance(), 0.1875);
    Random::set_seed(0.1);
    int zeros = 0;
    for (int i = 0; i < 100000; ++i) {
        zeros += g.draw() == 0.0;
    }
    EXPECT_NEAR(zeros / 100000.0, 0.25, 0.005);
}

TEST(DiscreteGen, TiesGoToTheLaterValue) {
    const double prob[] = {0.125, 0.375, 0.375, 0.125};
    DiscreteGen g(4, prob);
    const double expected_switch[] = {0.5, 0.0, 0.0, 0.5};
    const int expected_alias[] = {1, 1, 2, 2};
    for (int j = 0; j < 4; ++j) {
        EXPECT_EQ(g.switch_probability(j), expected_switch[j]) << j;
        EXPECT_EQ(g.alias_of(j), expected_alias[j]) << j;
    }
}

TEST(DiscreteGen, FrequenciesFollowAnUnevenLaw) {
    const double prob[] = {0.1, 0.0, 0.5, 0.15, 0.25};
    DiscreteGen g(5, prob);
    Random::set_seed(0.2);
    std::array<int, 5> counts{};
    for (int i = 0; i < 200000; ++i) {
        counts[static_cast<size_t>(g.draw())]++;
    }
    for (size_t j = 0; j < 5; ++j) {
        EXPECT_NEAR(counts[j] / 200000.0, prob[j], 0.004) << j;
    }
}

TEST(DiscreteGen, MassThatIsNotOneIsRefused) {
    const double half[] = {0.45, 0.45};
    EXPECT_EQ(thrown_text<Runtime_error>([&] { DiscreteGen(2, half); }),
              runtime("RNG: probs don't add to 1 (b)"));
    std::array<double, 40> p{};
    p[0] = std::exp(-3.0);
    for (int k = 1; k < 40; ++k) {
        p[k] = (3.0 * p[k - 1]) / k;
    }
    for (double& v : p) {
        v *= 0.9;
    }
    EXPECT_EQ(thrown_text<Runtime_error>([&] { DiscreteGen(40, p.data()); }),
              runtime("RNG: probs don't add to 1 (a)"));
}

TEST(DiscreteGen, UnorderableProbabilitiesAndEmptyLawsFail) {
    const double nan[] = {std::nan(""), std::nan("")};
    EXPECT_EQ(thrown_text<Runtime_error>([&] { DiscreteGen(2, nan); }),
              runtime("RNG: method fails"));
    EXPECT_EQ(thrown_text<Runtime_error>([&] { DiscreteGen(0, nan); }),
              runtime("RNG: method fails"));
}

TEST(LogGamma, AgreesWithTheLibraryAboveAndBelowOne) {
    for (double x = 0.05; x < 60.0; x *= 1.37) {
        EXPECT_NEAR(log_gamma(x), std::lgamma(x), 1e-9 * std::max(1.0, std::lgamma(x))) << x;
    }
    EXPECT_NEAR(log_gamma(1e6), std::lgamma(1e6), 1e-3);
    EXPECT_TRUE(std::isnan(log_gamma(std::nan(""))));
}

}  // namespace
}  // namespace brisolt
