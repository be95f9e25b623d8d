#include "estimator_output.h"

#include <gtest/gtest.h>

#include "result_rows.h"

namespace quenbar {
namespace {

// talvik /a, quiet: the three results, their standard errors and the range of balls, with a
// warning on standard error merged into the same pane.
TEST(ParseEstimatorOutput, StandardErrorsBallsUsedAndWarningsOfSlashA) {
    const EstimatorOutput output = ParseEstimatorOutput(
        "talvik: warning: the fit is ill-conditioned: few digits of V0 mean anything\n"
        "V2:   0.0412345678901234\n"
        "V1:   0.0012345678901234\n"
        "V0:  -0.0000056789012345\n"
        "SE(V2):   0.0000412345678901\n"
        "SE(V1):   0.0000123456789012\n"
        "SE(V0):   0.0000009876543210\n"
        "Balls used: 1..14 of 37\n");
    ASSERT_TRUE(output.has_values);
    EXPECT_EQ(output.values[2], "-0.0000056789012345");
    ASSERT_TRUE(output.standard_errors);
    EXPECT_EQ(*output.standard_errors,
              (std::array<std::string, 3>{"0.0000412345678901", "0.0000123456789012",
                                          "0.0000009876543210"}));
    ASSERT_TRUE(output.balls_used);
    EXPECT_EQ(output.balls_used->used, 14);
    EXPECT_EQ(output.balls_used->count, 37);
    // A warning is no failure.
    EXPECT_EQ(output.error_line, "");
    EXPECT_EQ(output.warnings, std::vector<std::string>{
                                   "the fit is ill-conditioned: few digits of V0 mean anything"});

    ResultRow row;
    row.directory = "/nowhere/without/model";
    EstimatorSettings settings{"balls.txt", 2, "", false, true};
    FinishRow(row, output, "", settings);
    EXPECT_EQ(row.status, RowStatus::done);
    EXPECT_EQ(row.note.rfind("warning: the fit is ill-conditioned", 0), 0u) << row.note;
    EXPECT_EQ(row.options, "/a");
    const std::vector<std::string> fields = RowFields(row);
    EXPECT_EQ(fields.size(), CsvTitles().size());
}

TEST(ParseEstimatorOutput, WithoutSlashAOrWithBrokenLinesThereAreNoStandardErrors) {
    const EstimatorOutput plain = ParseEstimatorOutput(
        "V2:   0.1000000000000000\nV1:   0.2000000000000000\n"
        "V0:   0.3000000000000000\n");
    EXPECT_TRUE(plain.has_values);
    EXPECT_FALSE(plain.standard_errors);
    EXPECT_FALSE(plain.balls_used);
    EXPECT_TRUE(plain.warnings.empty());

    for (const char* range : {"Balls used: 0..3 of 5\n", "Balls used: 1..6 of 5\n",
                              "Balls used: 2..3 of 5\n", "Balls used: 1..3 out of 5\n"}) {
        EXPECT_FALSE(ParseEstimatorOutput(range).balls_used) << range;
    }
    // Two of three standard errors, or one that is no number, are none.
    EXPECT_FALSE(ParseEstimatorOutput("SE(V2):   0.1\nSE(V1):   0.2\n").standard_errors);
    EXPECT_FALSE(
        ParseEstimatorOutput("SE(V2):   0.1\nSE(V1):   0.2\nSE(V0):   nope\n").standard_errors);
    // A fatal message is still the error line.
    const EstimatorOutput failed =
        ParseEstimatorOutput("talvik: warning: something\ntalvik: cannot open the data set\n");
    EXPECT_EQ(failed.error_line, "talvik: cannot open the data set");
    EXPECT_FALSE(failed.has_values);
}

// Near zero: within 3 standard errors, or below 1e-3 of the largest truth.
TEST(NearZero, ByStandardErrorsOrByShareOfTheLargestTruth) {
    EXPECT_TRUE(NearZero(-5.6e-6, 0.04, std::nullopt));
    EXPECT_FALSE(NearZero(5e-5, 0.04, std::nullopt));
    EXPECT_TRUE(NearZero(5e-5, 0.04, 2e-5));
    EXPECT_FALSE(NearZero(5e-5, 0.04, 1e-5));
    EXPECT_FALSE(NearZero(0.04, 0.04, 1e-5));
}

}  // namespace
}  // namespace quenbar
