#include "fit/matrix.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "formats/errors.h"

namespace talvik {
namespace {

Matrix make(uint32_t rows, uint32_t columns, std::vector<double> values) {
    Matrix m = matrix_create(rows, columns);
    m.values = std::move(values);
    return m;
}

std::string printed(const Matrix& m, int width, int precision) {
    char* buffer = nullptr;
    size_t size = 0;
    std::FILE* out = open_memstream(&buffer, &size);
    matrix_print(out, m, width, precision);
    std::fclose(out);
    std::string text(buffer, size);
    std::free(buffer);
    return text;
}

std::string fatal_text(const std::function<void()>& action) {
    try {
        action();
    } catch (const formats::FatalError& error) {
        return error.what();
    }
    return "no error";
}

TEST(Matrix, CreateIsAllZero) {
    const Matrix m = matrix_create(2, 3);
    EXPECT_EQ(m.rows, 2u);
    EXPECT_EQ(m.columns, 3u);
    EXPECT_EQ(m.values, std::vector<double>(6, 0.0));
}

TEST(Matrix, PrintWritesEachElementAndABlankLineAfterTheMatrix) {
    EXPECT_EQ(printed(make(2, 1, {1.5, -2.0}), 20, 16),
              "  1.5000000000000000 \n -2.0000000000000000 \n\n");
    EXPECT_EQ(printed(make(1, 2, {1.0, 2.0}), 5, 1), "  1.0   2.0 \n\n");
    EXPECT_EQ(printed(matrix_create(0, 3), 20, 16), "\n");
}

TEST(Matrix, TransposeOfAColumn) {
    const Matrix a = make(3, 1, {1.0, 2.0, 3.0});
    const Matrix t = matrix_transpose(a);
    EXPECT_EQ(t.rows, 1u);
    EXPECT_EQ(t.columns, 3u);
    EXPECT_EQ(t.values, a.values);
}

TEST(Matrix, MultiplyAccumulatesInOrder) {
    const Matrix a = make(2, 3, {1, 2, 3, 4, 5, 6});
    const Matrix b = make(3, 2, {7, 8, 9, 10, 11, 12});
    const Matrix r = matrix_multiply(a, b);
    EXPECT_EQ(r.values, (std::vector<double>{58, 64, 139, 154}));
    // Summed from k = 0 upward: (1e16 + 1) - 1e16 rounds differently from 1 + (1e16 - 1e16).
    const Matrix x = make(1, 3, {1e16, 1.0, -1e16});
    const Matrix ones = make(3, 1, {1.0, 1.0, 1.0});
    EXPECT_EQ(matrix_multiply(x, ones).values[0], 0.0);
}

TEST(Matrix, MultiplyRefusesIncompatibleSizes) {
    const Matrix a = make(3, 2, {1, 2, 3, 4, 5, 6});
    const Matrix b = make(3, 1, {1, 2, 3});
    EXPECT_EQ(fatal_text([&] { matrix_multiply(a, b); }),
              "Matrices have incompatible dimensions.\n");
}

TEST(Matrix, InvertRefusesNonSquare) {
    EXPECT_EQ(fatal_text([] { matrix_invert(matrix_create(2, 3)); }),
              "Matrix is not squre matrix.\n");
}

TEST(Matrix, InvertExchangesRows) {
    const Matrix a = make(2, 2, {0, 1, 1, 0});
    const std::optional<Matrix> inverse = matrix_invert(a);
    ASSERT_TRUE(inverse);
    EXPECT_EQ(inverse->values, a.values);
    EXPECT_EQ(matrix_invert(make(1, 1, {4.0}))->values, std::vector<double>{0.25});
}

TEST(Matrix, PivotMovesOnlyForAStrictlyLargerMagnitude) {
    // The last digits tell which row was the pivot: these values were worked out with both
    // pivot choices, and only the specified one gives them.
    const std::optional<Matrix> keep = matrix_invert(make(2, 2, {2.0, 3.0, -2.0, 2.0 / 7.0}));
    ASSERT_TRUE(keep);
    EXPECT_EQ(keep->at(0, 0), 0.04347826086956519);  // 0.043478260869565216 after an exchange
    const std::optional<Matrix> swapped =
        matrix_invert(make(2, 2, {2.0, 2.0 / 7.0, 3.0, 8.0 / 7.0}));
    ASSERT_TRUE(swapped);
    EXPECT_EQ(swapped->at(0, 1), -0.1999999999999999);  // -0.2 without the exchange
    EXPECT_EQ(swapped->at(1, 1), 1.4);
}

TEST(Matrix, InvertGivesNothingForANaNPivot) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_FALSE(matrix_invert(make(2, 2, {nan, 1, 2, 3})));
    EXPECT_FALSE(matrix_invert(make(2, 2, {1, 2, nan, 3})));
}

TEST(Matrix, SingularMatrixGivesInfiniteEntries) {
    const std::optional<Matrix> inverse = matrix_invert(make(2, 2, {1, 2, 2, 4}));
    ASSERT_TRUE(inverse);
    bool any_infinite = false;
    for (double v : inverse->values) {
        any_infinite = any_infinite || std::isinf(v);
    }
    EXPECT_TRUE(any_infinite);
}

TEST(Matrix, ArgumentsAreNeverChanged) {
    const Matrix a = make(2, 2, {4, 7, 2, 6});
    const Matrix before = a;
    matrix_invert(a);
    matrix_transpose(a);
    matrix_multiply(a, a);
    matrix_copy(a);
    EXPECT_EQ(a.values, before.values);
    EXPECT_EQ(a.rows, before.rows);
    EXPECT_EQ(a.columns, before.columns);
}

TEST(Matrix, InverseTimesMatrixIsIdentity) {
    const Matrix a = make(3, 3, {2, -1, 0, -1, 2, -1, 0, -1, 2});
    const Matrix product = matrix_multiply(*matrix_invert(a), a);
    for (uint32_t i = 0; i < 3; ++i) {
        for (uint32_t j = 0; j < 3; ++j) {
            EXPECT_NEAR(product.at(i, j), i == j ? 1.0 : 0.0, 1e-15);
        }
    }
}

}  // namespace
}  // namespace talvik
