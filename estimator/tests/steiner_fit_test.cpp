#include "fit/steiner_fit.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>

#include "formats/errors.h"
#include "test_support.h"

namespace talvik {
namespace {

using talvik::testing::strip_timestamps;
using ::testing::HasSubstr;

class Capture {
  public:
    Capture() : out_(open_memstream(&buffer_, &size_)) {}
    ~Capture() {
        if (out_) {
            std::fclose(out_);
        }
        std::free(buffer_);
    }
    std::FILE* stream() { return out_; }
    std::string text() {
        std::fclose(out_);
        out_ = nullptr;
        return std::string(buffer_, size_);
    }

  private:
    char* buffer_ = nullptr;
    size_t size_ = 0;
    std::FILE* out_;
};

// M scaled by the de values as compute_de leaves it, and V.
FitMatrices fit_for(const std::vector<double>& des, const std::vector<double>& volumes) {
    FitMatrices fit = create_fit_matrices(static_cast<uint32_t>(des.size()));
    for (uint32_t i = 0; i < des.size(); ++i) {
        double x = 1.0;
        for (uint32_t k = 0; k < 3; ++k) {
            x = x * des[i];
            fit.m.at(k, i) = x * fit.m.at(k, i);
        }
        fit.v.at(i, 0) = volumes[i];
    }
    return fit;
}

TEST(SteinerFit, MatricesStartAsSpecified) {
    const FitMatrices fit = create_fit_matrices(2);
    EXPECT_EQ(fit.e.values, (std::vector<double>{1, 0, 0, 0, -1, 0, 0, 0, 1}));
    EXPECT_EQ(fit.m.values, (std::vector<double>{2.0, 2.0, 3.141592653589793, 3.141592653589793,
                                                 4.1887902047863905, 4.1887902047863905}));
    EXPECT_EQ(fit.v.rows, 2u);
    EXPECT_EQ(fit.v.columns, 1u);
}

TEST(SteinerFit, ThreeBallsFitThroughEveryPoint) {
    const FitMatrices fit = fit_for({1.1, 2.3, 3.7}, {0.01, 0.03, 0.08});
    const IntrinsicVolumes r = solve(fit, VerboseLog(false));
    // With u = (V2, -V1, V0), Mt u reproduces V.
    for (uint32_t i = 0; i < 3; ++i) {
        const double predicted =
            fit.m.at(0, i) * r.v2 - fit.m.at(1, i) * r.v1 + fit.m.at(2, i) * r.v0;
        EXPECT_NEAR(predicted, fit.v.at(i, 0), 1e-12);
    }
}

TEST(SteinerFit, EveryPrintedDigitIsFixedByTheOperationOrder) {
    // Worked out by an independent implementation of the same operations in IEEE doubles. A
    // fused multiply-add anywhere, or another grouping of the products, changes them.
    const FitMatrices fit =
        fit_for({0.9876543210987654, 1.7320508075688772, 2.449489742783178, 3.1622776601683795,
                 4.123105625617661},
                {0.0123456789, 0.0234567891, 0.0345678912, 0.0456789123, 0.0567891234});
    Capture out;
    print_results(out.stream(), solve(fit, VerboseLog(false)));
    EXPECT_EQ(out.text(),
              "V2:   0.0049609263036288\n"
              "V1:  -0.0009378876398436\n"
              "V0:  -0.0001163204620641\n");
}

TEST(SteinerFit, VerboseModePrintsEveryMatrixInOrder) {
    const FitMatrices fit = fit_for({1.0, 2.0, 3.0}, {0.1, 0.2, 0.3});
    Capture out;
    solve(fit, VerboseLog(true, out.stream()));
    const std::string text = strip_timestamps(out.text());
    const std::vector<std::string> labels = {"matrix E:\n",
                                             "matrix V:\n",
                                             "matrix M:\n",
                                             "matrix Mt:\n",
                                             "matrix M*Mt:\n",
                                             "matrix (M*Mt)^-1\n",
                                             "matrix E*((M*Mt)^-1)\n",
                                             "matrix M*V\n"};
    size_t at = 0;
    for (const std::string& label : labels) {
        const size_t found = text.find(label, at);
        ASSERT_NE(found, std::string::npos) << label;
        at = found + label.size();
    }
    EXPECT_THAT(text, HasSubstr("matrix E:\n  1.0000000000000000   0.0000000000000000 "));
    // M*Mt uses 25-character fields: 2*2 + 4*4... = 56 for its first element.
    EXPECT_THAT(text, HasSubstr("matrix M*Mt:\n      56.0000000000000000 "));
    // R follows M*V without a label: two printed matrices of three rows each.
    const std::string tail = text.substr(text.find("matrix M*V\n") + 11);
    EXPECT_EQ(std::count(tail.begin(), tail.end(), '\n'), 8);
}

TEST(SteinerFit, FewerThanThreeBallsCannotBeFitted) {
    for (const std::vector<double>& des : {std::vector<double>{1.0, 2.0}, std::vector<double>{}}) {
        const FitMatrices fit = fit_for(des, std::vector<double>(des.size(), 0.1));
        try {
            solve(fit, VerboseLog(false));
            ADD_FAILURE() << des.size() << " balls fitted";
        } catch (const formats::FatalError& error) {
            EXPECT_EQ(std::string(error.what()),
                      "Cannot fit V2, V1 and V0: the matrix M*Mt is singular (the fit needs at "
                      "least three balls with distinct de values).\n");
        }
    }
}

TEST(SteinerFit, BallsThatCannotDetermineTheFitAreRefused) {
    const double tiny = 1e-13;  // the single voxel's de
    const std::vector<std::vector<double>> refused = {{0.83, 1.73, 1.73},
                                                      {0.83, 0.83, 0.83},
                                                      {0.83, 1.73, 0.83, 1.73},
                                                      {tiny, 0.83, 1.73},
                                                      {1.0, 1.0 + 1e-12, 2.0}};
    for (const std::vector<double>& des : refused) {
        try {
            check_fit_is_determined(fit_for(des, std::vector<double>(des.size(), 0.1)).m);
            ADD_FAILURE() << des.size() << " balls accepted, the second de " << des[1];
        } catch (const formats::FatalError& error) {
            EXPECT_THAT(error.what(), HasSubstr("M*Mt is singular"));
        }
    }
    const std::vector<std::vector<double>> accepted = {
        {tiny, 0.83, 1.73, 2.88},
        {-0.5, 0.5, 1.0},
        {29.9, 30.0, 30.1},
        {0.8308861181319003, 1.7314086001144915, 2.8838096202262022, 3.7149449575891254,
         4.8516803994211273}};
    for (const std::vector<double>& des : accepted) {
        EXPECT_NO_THROW(
            check_fit_is_determined(fit_for(des, std::vector<double>(des.size(), 0.1)).m));
    }
}

}  // namespace
}  // namespace talvik
