// Small dense matrices of doubles for the least-squares fit. No operation changes its
// arguments; every result is a new matrix.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <vector>

namespace talvik {

// Element (i, j), row i and column j, lies at index i * columns + j.
struct Matrix {
    uint32_t columns = 0;
    uint32_t rows = 0;
    std::vector<double> values;

    double& at(uint32_t i, uint32_t j) { return values[static_cast<size_t>(i) * columns + j]; }
    double at(uint32_t i, uint32_t j) const { return values[static_cast<size_t>(i) * columns + j]; }
};

// Every element 0.0. Fatal "Memory allocation error.\n" when the memory is not there.
Matrix matrix_create(uint32_t rows, uint32_t columns);
Matrix matrix_copy(const Matrix& a);
Matrix matrix_transpose(const Matrix& a);
// A * B; fatal "Matrices have incompatible dimensions.\n" unless B.rows == A.columns.
Matrix matrix_multiply(const Matrix& a, const Matrix& b);
// Gauss-Jordan elimination with partial pivoting; empty when a pivot is NaN. Fatal
// "Matrix is not squre matrix.\n" for a matrix that is not square.
std::optional<Matrix> matrix_invert(const Matrix& a);
// Each element as printf's "%<width>.<precision>f" and one blank, a newline after each row,
// and one more at the end.
void matrix_print(std::FILE* out, const Matrix& a, int width, int precision);

}  // namespace talvik
